#pragma once

namespace cvi {

class PageHost;

// Puts the page in its place in the main window and registers its instrument list.
void installSamplingPage(PageHost& host);

} // namespace cvi

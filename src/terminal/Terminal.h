#pragma once

namespace cvi {

class PageHost;

// Puts the Terminal page into the main window.
void installTerminalPage(PageHost& host);

} // namespace cvi

#pragma once

namespace cvi {

class PageHost;

// Puts the Sampling, System and Atmo3 pages into the main window and wires the live windows'
// menu items.
void installReadingPages(PageHost& host);

} // namespace cvi

#pragma once

namespace cvi {

class PageHost;

// Puts the Configuration and Calibration pages into the main window and wires their value boxes,
// option dialogs and the Units dialog.
void installParameterPages(PageHost& host);

} // namespace cvi

#pragma once

namespace cvi {

class MainWindow;

// Puts the Configuration and Calibration pages into the main window and wires their value boxes,
// option dialogs and the Units dialog.
void installParameterPages(MainWindow& main);

} // namespace cvi

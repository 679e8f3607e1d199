#pragma once

namespace cvi {

class MainWindow;

// Wires loop discovery into the main window: the Startup menu item, Communication Setup
// (Settings and Timeout), and the renumbering asked for by the Configuration page.
void installDiscovery(MainWindow& main);
// Shows the Startup dialog modally, as the program does when it starts.
void showStartupDialog(MainWindow& main);

} // namespace cvi

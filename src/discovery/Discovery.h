#pragma once

namespace cvi {

class PageHost;

// Wires loop discovery into the main window: the Startup menu item, Communication Setup
// (Settings and Timeout), and the renumbering asked for by the Configuration page.
void installDiscovery(PageHost& host);
// Shows the Startup dialog modally, as the program does when it starts.
void showStartupDialog(PageHost& host);

} // namespace cvi

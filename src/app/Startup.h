#pragma once

#include <functional>

namespace cvi {

class MainWindow;

// The start of the program ("Main"): splash for about a second, the main window, the Startup
// dialog, then — while the Startup dialog's flag says "No" — the user interface runs until a
// detection is accepted or cancelled, and the menus follow what was found.
struct StartupSequence {
    MainWindow& main;
    // Shows the Startup dialog modally; the discovery subsystem provides it.
    std::function<void()> showStartupDialog;
    bool showSplash = true;

    // Returns false when the main window was closed during the start-up wait.
    bool run();
    // Screen size in pixels from the primary screen.
    static void measureScreen(MainWindow& main);
};

} // namespace cvi

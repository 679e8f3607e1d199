#pragma once

#include "AppState.h"
#include "CommandLine.h"
#include "MainWindow.h"
#include "PortFactory.h"

#include <memory>

namespace cvi {

namespace sim {
class EmbeddedLoop;
}

// The whole program put together: shared state, ports (real, or the embedded simulated loop for
// slots mapped to "sim"), the main window with its pages and dialogs. main() runs it with the
// real operator; the end-to-end tests run the very same composition with a scripted one.
class Program {
public:
    Program(const CommandLine& options, Runtime& runtime, WindowOperator& op, const QString& programFolder,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
    ~Program();

    AppState& state() { return state_; }
    MainWindow& main() { return *main_; }
    sim::EmbeddedLoop* simulated() { return simulated_.get(); }

    // Splash, main window, Startup dialog and the start-up wait. False when the main window was
    // closed meanwhile.
    bool start(bool splash);

private:
    AppState state_;
    PortFactory ports_;
    std::unique_ptr<sim::EmbeddedLoop> simulated_;
    std::unique_ptr<MainWindow> main_;
};

} // namespace cvi

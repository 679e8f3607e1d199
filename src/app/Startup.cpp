#include "Startup.h"

#include "MainWindow.h"
#include "Splash.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

namespace cvi {

void StartupSequence::measureScreen(MainWindow& main) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        main.state().ScreenWidthPx = screen->geometry().width();
        main.state().ScreenHeightPx = screen->geometry().height();
    }
}

bool StartupSequence::run() {
    AppState& state = main.state();
    Runtime& runtime = main.runtime();

    if (showSplash) {
        Splash splash(state.ScreenWidthPx, state.ScreenHeightPx);
        splash.show();
        runtime.pump();
        const double shown = runtime.now();
        while (runtime.now() - shown <= 1.0)
            runtime.sleep(1.0 - (runtime.now() - shown) + 0.001);
        main.show();
    } else {
        main.show();
    }

    QPointer<MainWindow> alive(&main);
    if (showStartupDialog) showStartupDialog();
    if (!alive) return false;
    if (state.StartupFlag.isEmpty() && state.IDList.isEmpty())
        main.setLeftMessage(QStringLiteral("Select startup to establish communication!"));

    // A failed detection leaves the flag "No"; the operator finishes start-up through the
    // Startup menu item meanwhile.
    while (state.StartupFlag == QStringLiteral("No")) {
        if (!alive || !main.isVisible()) return false;
        runtime.pump(0.5);
    }
    if (!alive) return false;

    if (!state.IDList.isEmpty()) {
        main.setActionEnabled(QStringLiteral("mnuMeasure"), true);
        main.setActionEnabled(QStringLiteral("mnuSettings"), true);
        main.host().focusIdList(PageHost::Configuration);
        main.setLeftMessage(QStringLiteral("Click the start button!"));
    }
    return true;
}

} // namespace cvi

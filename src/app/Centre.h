#pragma once

#include "AppState.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace cvi {

// Places a window in the middle of the screen: left = (screen width - window width) \ 2, top
// likewise, with the screen size the program measured at start (the primary screen's when it
// has not been measured).
inline void centreOnScreen(QWidget& window, const AppState& state) {
    int width = state.ScreenWidthPx;
    int height = state.ScreenHeightPx;
    if (width <= 0 || height <= 0) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            width = screen->geometry().width();
            height = screen->geometry().height();
        }
    }
    window.move((width - window.width()) / 2, (height - window.height()) / 2);
}

} // namespace cvi

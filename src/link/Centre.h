#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace cvi {

// Places a window in the middle of the screen it is on (the primary screen before it is shown).
inline void centreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize size = window.frameGeometry().size();
    window.move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

} // namespace cvi

#include "Pointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace cvi {

namespace {
bool overridden = false;
}

void setPointer(Qt::CursorShape shape) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    if (overridden)
        QGuiApplication::changeOverrideCursor(QCursor(shape));
    else
        QGuiApplication::setOverrideCursor(QCursor(shape));
    overridden = true;
}

void normalPointer() {
    if (!overridden) return;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::restoreOverrideCursor();
    overridden = false;
}

bool pointerIsBusy() {
    return overridden && QGuiApplication::overrideCursor() &&
           QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

} // namespace cvi

#pragma once

#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QObject>

namespace cvi {

// A report box the operator may copy from but not type into: every key but Ctrl+C is dropped,
// except those that move on from it (Tab, Shift+Tab) or go to its dialog (Enter, Escape).
class CopyOnlyKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->matches(QKeySequence::Copy)) return QObject::eventFilter(watched, event);
            switch (key->key()) {
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
            case Qt::Key_Escape:
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (event->type() == QEvent::KeyPress) return QObject::eventFilter(watched, event);
                break;
            default:
                break;
            }
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace cvi

#pragma once

#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QObject>

namespace cvi {

// A report box the operator may copy from but not type into: every key but Ctrl+C is dropped.
class CopyOnlyKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->matches(QKeySequence::Copy)) return QObject::eventFilter(watched, event);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace cvi

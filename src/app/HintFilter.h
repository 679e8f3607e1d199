#pragma once

#include <QEvent>
#include <QFocusEvent>
#include <QObject>

#include <functional>

namespace cvi {

// Calls `onHover` whenever the mouse enters or moves over the watched widget, and when the
// keyboard (Tab, Shift+Tab) moves the focus to it.
class HintFilter : public QObject {
    Q_OBJECT
public:
    HintFilter(QObject* parent, std::function<void()> onHover)
        : QObject(parent), onHover_(std::move(onHover)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove ||
            event->type() == QEvent::HoverMove)
            onHover_();
        else if (event->type() == QEvent::FocusIn) {
            const Qt::FocusReason why = static_cast<QFocusEvent*>(event)->reason();
            if (why == Qt::TabFocusReason || why == Qt::BacktabFocusReason) onHover_();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onHover_;
};

} // namespace cvi

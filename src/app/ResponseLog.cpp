#include "ResponseLog.h"

#include "PageFrame.h"
#include "PageHost.h"

#include <QKeyEvent>
#include <QScrollBar>

#include <limits>

namespace cvi {

ResponseLog::ResponseLog(PageHost& main, const QString& name, qint16& counter, Rules rules, QWidget* parent)
    : QPlainTextEdit(parent), main_(main), counter_(counter), rules_(std::move(rules)) {
    setObjectName(name);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setMaximumBlockCount(MaxLines);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    connect(this, &QPlainTextEdit::textChanged, this, &ResponseLog::changed);
}

void ResponseLog::appendReply(const QString& text) {
    cvi::appendReply(this, text);
}

void ResponseLog::changed() {
    // The counter is 16 bits wide; it stops at its top instead of wrapping.
    if (counter_ < std::numeric_limits<qint16>::max()) ++counter_;
    if (counter_ < rules_.scrollFrom) return;
    // Keep the newest line in view (without taking the keyboard focus from the operator).
    if (QScrollBar* bar = verticalScrollBar()) bar->setValue(bar->maximum());
    ++scrolls_;
}

void ResponseLog::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    event->accept(); // every other key is discarded
}

void ResponseLog::mousePressEvent(QMouseEvent* event) {
    QPlainTextEdit::mousePressEvent(event);
    if (!rules_.clickHint.isEmpty() && !document()->isEmpty()) main_.setLeftMessage(rules_.clickHint);
}

void ResponseLog::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    if (!rules_.focusHint.isEmpty() && !document()->isEmpty()) main_.setLeftMessage(rules_.focusHint);
}

void ResponseLog::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    if (rules_.clearOnLeave) main_.setLeftMessage(QString());
}

} // namespace cvi

#include "ResponseLog.h"

#include "PageFrame.h"
#include "PageHost.h"

#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>
#include <limits>

namespace cvi {

ResponseLog::ResponseLog(PageHost& main, const QString& name, qint16& counter, Rules rules, QWidget* parent)
    : ResponseLog(
          main, name,
          [&counter](int changes) {
              // The counter is 16 bits wide; it stops at its top instead of wrapping.
              constexpr int top = std::numeric_limits<qint16>::max();
              counter = static_cast<qint16>(std::min<int>(top, counter + changes));
              return double(counter);
          },
          std::move(rules), parent) {}

ResponseLog::ResponseLog(PageHost& main, const QString& name, double& counter, Rules rules, QWidget* parent)
    : ResponseLog(
          main, name,
          [&counter](int changes) {
              counter += changes;
              return counter;
          },
          std::move(rules), parent) {}

ResponseLog::ResponseLog(PageHost& main, const QString& name, std::function<double(int)> raise, Rules rules,
                         QWidget* parent)
    : QPlainTextEdit(parent), main_(main), raise_(std::move(raise)), rules_(std::move(rules)) {
    setObjectName(name);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // At most MaxLines lines on screen, the oldest dropped first; the limit also turns off the
    // document's undo history, so a box fed for hours keeps its memory flat.
    setMaximumBlockCount(MaxLines);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    connect(this, &QPlainTextEdit::textChanged, this, &ResponseLog::changed);
}

void ResponseLog::appendReply(const QString& text) {
    cvi::appendReply(this, text);
}

void ResponseLog::appendReplies(const QString& text, int lines) {
    if (text.isEmpty()) return;
    extraChanges_ = std::max(lines - 1, 0);
    cvi::appendReply(this, text);
    extraChanges_ = 0;
}

void ResponseLog::changed() {
    const double count = raise_(1 + extraChanges_);
    extraChanges_ = 0;
    if (count < rules_.scrollFrom) return;
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

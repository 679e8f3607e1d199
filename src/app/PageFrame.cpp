#include "PageFrame.h"

namespace cvi {

void appendReply(QPlainTextEdit* box, const QString& text) {
    if (!box || text.isEmpty()) return;
    box->moveCursor(QTextCursor::End);
    box->insertPlainText(QString(text).remove('\r'));
}

void PageObserver::brokenLine() {
    op_.message(QStringLiteral("CR and LF can not be detected !"), QStringLiteral("Data Error"),
                Operator::Icon::Exclamation);
}

void PageObserver::unexpectedReply() {
    op_.message(QStringLiteral("The responce is not an expected responce!"), QStringLiteral("Error!"),
                Operator::Icon::Information);
}

} // namespace cvi

#include "PageFrame.h"

#include "Catalogue.h"

#include <utility>

namespace cvi {

void appendReply(QPlainTextEdit* box, const QString& text) {
    if (!box || text.isEmpty()) return;
    box->moveCursor(QTextCursor::End);
    box->insertPlainText(QString(text).remove('\r'));
}

void PageObserver::brokenLine() {
    if (std::exchange(toldBroken_, true)) return;
    op_.message(texts::BrokenLine, texts::BrokenLineTitle, Operator::Icon::Exclamation);
}

void PageObserver::unexpectedReply() {
    op_.message(texts::UnexpectedReply, texts::UnexpectedReplyTitle, Operator::Icon::Information);
}

} // namespace cvi

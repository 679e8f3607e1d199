#include "PageHost.h"

#include "ValueBox.h"

#include "Guard.h"
#include "MainWindow.h"
#include "Pointer.h"

#include <QComboBox>
#include <QTabWidget>

namespace cvi {

PageHost::PageHost(MainWindow& frame) : QObject(&frame), frame_(frame) {
    setObjectName(QStringLiteral("host"));
}

AppState& PageHost::state() {
    return frame_.state();
}
Runtime& PageHost::runtime() {
    return frame_.runtime();
}
WindowOperator& PageHost::op() {
    return frame_.op();
}
Link& PageHost::link() {
    return frame_.link();
}
std::unique_ptr<Link> PageHost::makeLink() {
    return frame_.makeLink();
}
Channel PageHost::channel() {
    return channelOf(frame_.link(), frame_.state());
}
QWidget* PageHost::window() {
    return &frame_;
}

void PageHost::setLeftMessage(const QString& text) {
    frame_.setLeftMessage(text);
}
void PageHost::setMiddleMessage(const QString& text) {
    frame_.setMiddleMessage(text);
}

void PageHost::setActionEnabled(const QString& name, bool enabled) {
    frame_.setActionEnabled(name, enabled);
}
void PageHost::setMenusEnabled(bool enabled) {
    frame_.setMenusEnabled(enabled);
}
void PageHost::onAction(const QString& name, std::function<void()> handler) {
    frame_.onAction(name, std::move(handler));
}

void PageHost::showPages(bool shown) {
    frame_.panel()->setVisible(shown);
}
void PageHost::setCurrentPage(int page) {
    frame_.panel()->setCurrentIndex(page);
}
void PageHost::setPage(int index, QWidget* page) {
    frame_.setPage(index, page);
}

void PageHost::registerIdList(int place, QComboBox* list) {
    frame_.registerIdList(place, list);
}
void PageHost::syncIdLists(QComboBox* source) {
    frame_.syncIdLists(source);
}
void PageHost::onIdChosen(QComboBox* list, std::function<void()> handler) {
    frame_.onIdChosen(list, std::move(handler));
}
void PageHost::RefreshIdLists() {
    frame_.RefreshIdLists();
}

bool PageHost::chooseInstrument(const QString& id) {
    const auto& lists = frame_.idLists();
    const int shown = frame_.panel()->currentIndex();
    QComboBox* list = shown >= 0 && shown < lists.size() ? lists[shown].data() : nullptr;
    if (!list) list = lists[Configuration].data();
    const int index = list ? list->findText(id) : -1;
    if (index < 0) return false;
    if (list->currentIndex() != index)
        list->setCurrentIndex(index);
    else
        emit list->activated(index); // picked again: the pages start afresh
    return true;
}

void PageHost::clearIdLists() {
    for (const auto& list : frame_.idLists()) {
        if (!list) continue;
        const QSignalBlocker quiet(list);
        list->clear();
    }
}

void PageHost::focusIdList(int place) {
    const auto& lists = frame_.idLists();
    if (place >= 0 && place < lists.size() && lists[place]) lists[place]->setFocus();
}

void PageHost::hint(QWidget* widget, std::function<QString()> text) {
    frame_.hint(widget, std::move(text));
}
void PageHost::hint(QWidget* widget, const QString& text) {
    frame_.hint(widget, text);
}
void PageHost::blankHint(QWidget* widget) {
    frame_.blankHint(widget);
}

bool PageHost::runExchange(const std::function<void()>& action) {
    if (exchangeRunning_) return true;
    exchangeRunning_ = true;
    const bool ok = guarded(op(), action);
    exchangeRunning_ = false;
    if (!ok) {
        link().ClosePort();
        setMiddleMessage(QString());
        normalPointer();
    }
    return ok;
}

void PageHost::setValueBoxEditor(ValueBoxEditor editor) {
    editor_ = std::move(editor);
    if (!editor_) return;
    auto waiting = std::move(unattached_);
    unattached_.clear();
    for (auto& [page, box] : waiting)
        if (box) editor_(*this, page, box);
}

void PageHost::attachValueBox(const PageContext& page, ValueBox* box) {
    if (!box) return;
    if (editor_)
        editor_(*this, page, box);
    else
        unattached_.emplace_back(page, QPointer<ValueBox>(box));
}

} // namespace cvi

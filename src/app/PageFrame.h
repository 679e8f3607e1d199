#pragma once

#include "Link.h"
#include "Operator.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>

#include <functional>

namespace cvi {

// The controls of a page that its exchanges report to: the Start button, whose enabled state is
// the page's start-required state (enabled: the page must be read first), the command label and
// the response box; and the page's own value boxes by name, for the dialogs it opens.
struct PageContext {
    QPointer<QAbstractButton> start;
    QPointer<QLabel> command;
    QPointer<QPlainTextEdit> response;
    std::function<QLabel*(const QString& name)> box;

    bool needsStart() const { return !start || start->isEnabled(); }
    void showCommand(const QString& text) const {
        if (command) command->setText(text);
    }
    QLabel* boxNamed(const QString& name) const { return box ? box(name) : nullptr; }
};

// Appends a reply to a response box as the instruments send it: CR dropped, LF kept.
void appendReply(QPlainTextEdit* box, const QString& text);

// Shows a page's exchanges: each command text in its command label, each reply in its response
// box, and the reader's complaints as the operator's message boxes.
class PageObserver : public ExchangeObserver {
public:
    PageObserver(PageContext page, Operator& op) : page_(std::move(page)), op_(op) {}

    void command(const QString& text) override { page_.showCommand(text); }
    void received(const QString& line) override { appendReply(page_.response, line); }
    void brokenLine() override;
    void unexpectedReply() override;
    void watching() override { toldBroken_ = false; }

private:
    PageContext page_;
    Operator& op_;
    bool toldBroken_ = false; // one "CR and LF" message per exchange, however many lines broke
};

// Puts an observer on a link for the length of a scope, and the previous one back after it.
class Observing {
public:
    Observing(Link& link, ExchangeObserver* observer) : link_(link), previous_(link.observer()) {
        if (observer) observer->watching();
        link_.setObserver(observer);
    }
    ~Observing() { link_.setObserver(previous_); }
    Observing(const Observing&) = delete;
    Observing& operator=(const Observing&) = delete;

private:
    Link& link_;
    ExchangeObserver* previous_;
};

} // namespace cvi

#pragma once

#include "MainWindow.h"
#include "OptionTable.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace cvi {

// The controls of the main window's pages that the option dialogs read and update, found by
// name. A control that is not there is skipped. Controls of a dialog itself (frmMD has its own
// lblMD) are never taken for the page's.
class PageControls {
public:
    explicit PageControls(MainWindow& main) : main_(main) {}

    template <typename T> T* find(const QString& name) const {
        for (T* w : main_.findChildren<T*>(name))
            if (w->window() == &main_) return w;
        return nullptr;
    }
    QString text(const QString& name) const {
        const QLabel* label = find<QLabel>(name);
        return label ? label->text() : QString();
    }
    void setText(const QString& name, const QString& text) {
        if (QLabel* label = find<QLabel>(name)) label->setText(text);
    }
    // Turns boxes on or off.
    void setSwitches(const QList<options::Switch>& switches) {
        for (const auto& s : switches)
            if (QWidget* w = find<QWidget>(s.box)) w->setHidden(!s.on);
    }
    void command(const QString& text) { setText(QStringLiteral("lblCommand"), text); }
    void middle(const QString& text) { main_.setMiddleMessage(text); }
    // Adds a reply to the response log, which keeps every reply the page receives.
    void append(const QString& reply) {
        if (reply.isEmpty()) return;
        if (auto* box = find<QPlainTextEdit>(QStringLiteral("txtResponseBox"))) {
            box->moveCursor(QTextCursor::End);
            box->insertPlainText(QString(reply).remove('\r'));
        }
    }

private:
    MainWindow& main_;
};

} // namespace cvi

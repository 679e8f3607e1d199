#pragma once

#include "WindowOperator.h"

#include <QDialog>
#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>

namespace cvi::test {

// An operator who answers from a script and remembers everything he was shown.
class ScriptedOperator : public WindowOperator {
public:
    struct Shown {
        QString text;
        QString title;
        Icon icon;
    };
    struct Asked {
        QString prompt;
        QString title;
        QString defaultAnswer;
    };

    void message(const QString& text, const QString& title, Icon icon) override {
        messages.append({text, title, icon});
        if (onMessage) onMessage(messages.last());
    }
    QString input(const QString& prompt, const QString& title, const QString& defaultAnswer) override {
        asked.append({prompt, title, defaultAnswer});
        return answers.isEmpty() ? QString() : answers.dequeue();
    }
    QString saveFileName(const QString& title, const QString& filter, const QString& folder) override {
        saveRequests.append(title + "|" + filter + "|" + folder);
        return saveAnswer;
    }
    QString openFileName(const QString&, const QString&, const QString&) override { return openAnswer; }
    bool openHelp(const QString& indexPath) override {
        helpOpened.append(indexPath);
        return helpWorks;
    }
    // Each dialog is handed to the next scripted handler; without one it is cancelled.
    int runModal(QDialog& dialog) override {
        dialogsRun.append(dialog.objectName());
        if (dialogs.isEmpty()) return QDialog::Rejected;
        auto handler = dialogs.dequeue();
        return handler(dialog);
    }

    QStringList messageTexts() const {
        QStringList out;
        for (const auto& m : messages)
            out << m.text;
        return out;
    }

    QList<Shown> messages;
    QList<Asked> asked;
    QQueue<QString> answers;
    QQueue<std::function<int(QDialog&)>> dialogs;
    QStringList dialogsRun;
    QStringList saveRequests;
    QString saveAnswer;
    QString openAnswer;
    QStringList helpOpened;
    bool helpWorks = true;
    std::function<void(const Shown&)> onMessage;
};

} // namespace cvi::test

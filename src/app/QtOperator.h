#pragma once

#include "WindowOperator.h"

#include <QPointer>

namespace cvi {

class HelpWindow;

// The operator at the screen: Qt's message boxes, input boxes and file dialogs.
class QtOperator : public WindowOperator {
public:
    void message(const QString& text, const QString& title, Icon icon) override;
    QString input(const QString& prompt, const QString& title, const QString& defaultAnswer) override;
    QString saveFileName(const QString& title, const QString& filter, const QString& folder) override;
    QString openFileName(const QString& title, const QString& filter, const QString& folder) override;
    bool openHelp(const QString& indexPath) override;
    int runModal(QDialog& dialog) override;

    // "Text Files (*.txt)|*.txt" → "Text Files (*.txt)".
    static QString qtFilter(const QString& filter);

private:
    QPointer<HelpWindow> help_;
};

} // namespace cvi

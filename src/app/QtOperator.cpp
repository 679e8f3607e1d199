#include "QtOperator.h"

#include "HelpWindow.h"
#include "Pointer.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>

namespace cvi {

namespace {
// Message and input boxes show the normal pointer while they wait for the operator and give
// the previous one back afterwards.
struct PointerPause {
    bool busy = pointerIsBusy();
    PointerPause() {
        if (busy) normalPointer();
    }
    ~PointerPause() {
        if (busy) hourglass();
    }
};
} // namespace

void QtOperator::message(const QString& text, const QString& title, Icon icon) {
    PointerPause pause;
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? ProgramTitle : title);
    box.setText(text);
    switch (icon) {
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::None:
        break;
    }
    box.exec();
}

QString QtOperator::input(const QString& prompt, const QString& title, const QString& defaultAnswer) {
    PointerPause pause;
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setObjectName(QStringLiteral("InputBox"));
    dialog.setWindowTitle(title.isEmpty() ? ProgramTitle : title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultAnswer);
    dialog.setInputMode(QInputDialog::TextInput);
    if (auto* label = dialog.findChild<QLabel*>()) label->setWordWrap(true);
    dialog.resize(420, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted) return QString();
    return dialog.textValue();
}

QString QtOperator::qtFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i];
    if (out.isEmpty()) out << filter;
    return out.join(QStringLiteral(";;"));
}

QString QtOperator::saveFileName(const QString& title, const QString& filter, const QString& folder) {
    PointerPause pause;
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, folder, qtFilter(filter));
}

QString QtOperator::openFileName(const QString& title, const QString& filter, const QString& folder) {
    PointerPause pause;
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, folder, qtFilter(filter));
}

bool QtOperator::openHelp(const QString& indexPath) {
    if (!help_) help_ = new HelpWindow;
    if (!help_->showPage(indexPath)) {
        help_->close();
        return false;
    }
    help_->showMaximized();
    help_->raise();
    help_->activateWindow();
    return true;
}

int QtOperator::runModal(QDialog& dialog) {
    return dialog.exec();
}

} // namespace cvi

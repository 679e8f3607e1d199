#pragma once

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QList>
#include <QPointer>
#include <QPushButton>

namespace cvi {

// Keeps a dialog's default button (the one Enter presses) on the first of `candidates` that can be
// pressed now: shown and enabled. The Startup dialog offers Detect, then OK after a detection;
// Communication Setup the OK of the tab shown. Follows every change of the candidates' state.
// A candidate that loses the keyboard focus by being disabled (Detect while it runs) hands it
// to the next default, rather than leaving it wherever the focus chain put it. Enter on a closed
// list of the dialog (the Startup dialog's port) presses the default too, whatever the desktop
// theme would otherwise do with it.
class DefaultButton : public QObject {
public:
    DefaultButton(QDialog& dialog, QList<QPushButton*> candidates)
        : QObject(&dialog), dialog_(&dialog), candidates_(std::move(candidates)) {
        for (QPushButton* b : candidates_)
            b->installEventFilter(this);
        for (QComboBox* list : dialog.findChildren<QComboBox*>())
            if (!list->isEditable()) list->installEventFilter(this);
        update();
    }

    void update() {
        QPushButton* chosen = nullptr;
        for (QPushButton* b : candidates_)
            if (!chosen && b->isEnabled() && b->isVisibleTo(dialog_)) chosen = b;
        for (QPushButton* b : candidates_)
            if (b != chosen && b->isDefault()) b->setDefault(false);
        if (!chosen) return;
        if (!chosen->isDefault()) chosen->setDefault(true);
        if (focusLost_) {
            focusLost_ = false;
            chosen->setFocus(Qt::OtherFocusReason);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (auto* list = qobject_cast<QComboBox*>(watched)) {
            const auto* key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
            if (key && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                !list->view()->isVisible()) {
                for (QPushButton* b : candidates_)
                    if (b->isDefault() && b->isEnabled() && b->isVisibleTo(dialog_)) b->click();
                return true;
            }
            return QObject::eventFilter(watched, event);
        }
        switch (event->type()) {
        case QEvent::FocusOut:
            if (!static_cast<QWidget*>(watched)->isEnabled()) focusLost_ = true;
            break;
        case QEvent::EnabledChange:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
            update();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QDialog> dialog_;
    QList<QPushButton*> candidates_;
    bool focusLost_ = false;
};

} // namespace cvi

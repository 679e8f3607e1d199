#pragma once

#include "AppState.h"
#include "Link.h"
#include "Runtime.h"

#include <QDialog>

#include <exception>
#include <functional>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace cvi {

// "Warning: Unexpected Data": lists the instruments found streaming readings unasked (ModeList)
// and offers to switch them to MD=0 or MD=1, or to leave the program.
class frmModeWarning : public QDialog {
    Q_OBJECT
public:
    struct Hooks {
        // The Startup dialog's message line.
        std::function<void(const QString&)> startupMessage;
        // False once the detection that asked for this dialog was abandoned.
        std::function<bool()> stillWanted;
    };

    // `settings` are the ones the detection found.
    frmModeWarning(AppState& state, Runtime& runtime, std::unique_ptr<Link> comm1,
                   const LinkSettings& settings, Hooks hooks, QWidget* parent = nullptr);
    ~frmModeWarning() override;

    // The explanation shown for a ModeList.
    static QString warningText(const QString& modeList);
    // A port failure while writing MD; the caller reports it once the dialog is gone.
    std::exception_ptr failure() const { return failure_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void acceptMode(char value);
    void highlight(int option);

    AppState& state_;
    Runtime& runtime_;
    std::unique_ptr<Link> comm1_;
    LinkSettings settings_;
    Hooks hooks_;
    std::exception_ptr failure_;
    bool centred_ = false;

    QPlainTextEdit* txtWarning_ = nullptr;
    // Exit, MD=0, MD=1: each option's caption and button.
    QLabel* labels_[3] = {};
    QPushButton* buttons_[3] = {};
};

} // namespace cvi

#pragma once

#include "AppState.h"
#include "Link.h"
#include "LinkSettings.h"
#include "Operator.h"
#include "Runtime.h"

#include <QDialog>
#include <QWidget>

#include <memory>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;

namespace cvi {

// Two arrow buttons; each press of an arrow is one step of whatever the owner counts.
class SpinButton : public QWidget {
    Q_OBJECT
public:
    explicit SpinButton(QWidget* parent = nullptr);
    QToolButton* upArrow() const { return up_; }
    QToolButton* downArrow() const { return down_; }

signals:
    void SpinUp();
    void SpinDown();

private:
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
};

// "Communication Setup": baud rate and parity of the whole loop (tab 0) and the program's two
// time-outs (tab 1). A new rate or parity is checked against the instruments' baud lock, sent to
// every instrument at the settings they still use, and only then adopted by the program; the
// time-outs change with every press of their arrows.
//
// The dialog knows nothing of the main window: it says what the main window should do through
// its signals.
class CommsSetup : public QDialog {
    Q_OBJECT
public:
    static constexpr int TabSettings = 0;
    static constexpr int TabTimeout = 1;

    // Wait after the baud-lock question, and after each of the two broadcasts.
    static constexpr double LockSettle = 1.5;
    static constexpr double BroadcastPause = 1.0;
    static constexpr double CommStep = 0.1;
    static constexpr double MeasureStep = 0.5;

    CommsSetup(AppState& state, Runtime& runtime, Operator& op, std::unique_ptr<Link> comm1,
               QWidget* parent = nullptr);
    ~CommsSetup() override;

    // Shows a tab; the Timeout tab shows the current time-outs.
    void selectTab(int index);

    // The settings OK will send: the ones in force at opening until an option is chosen.
    QString chosenBaudRate() const { return chosenBaud_; }
    QString chosenParity() const { return chosenParity_; }
    QString chosenDataBits() const { return chosenDataBits_; }

    // True once one of the dialog's own ways out has closed it.
    bool closedByOperator() const { return closed_; }
    // Closing the window or Escape: as Cancel.
    void reject() override;

    // 500 / baud rate x instruments + 0.2 s, to two decimals.
    static double commTimeoutFor(int baudRate, int instrumentCount);

signals:
    // The main window's left message panel.
    void leftMessageChanged(const QString& text);
    // The main window's tab control is to be shown again.
    void panelShown();
    // New baud rate and parity are in force: the pages that show them, and the Sampling page, follow.
    void settingsAdopted();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildSettingsTab(QWidget* tab);
    void buildTimeoutTab(QWidget* tab);
    void showChosen();
    void chooseBaud(const QString& rate);
    void chooseParity(const QString& parity);
    void stepComm(double delta);
    void stepMeasure(double delta);
    void showTimeouts();
    void okSettings();
    void runOkSettings();
    void okTimeout();
    void cancelTimeout();
    void closeWith(int result);

    AppState& state_;
    Runtime& runtime_;
    Operator& op_;
    std::unique_ptr<Link> comm1_;

    // The settings the instruments still use while the dialog runs.
    LinkSettings old_;
    QString chosenBaud_, chosenParity_, chosenDataBits_;
    bool closed_ = false;
    bool centred_ = false;

    QTabWidget* tabs_ = nullptr;
    QList<QRadioButton*> baudOptions_;
    QRadioButton* optNone_ = nullptr;
    QRadioButton* optEven_ = nullptr;
    QRadioButton* optOdd_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QLabel* pnlCT_ = nullptr;
    QLabel* pnlMT_ = nullptr;
};

} // namespace cvi

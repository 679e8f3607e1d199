#pragma once

#include "AppState.h"
#include "Detection.h"
#include "Link.h"

#include <QDialog>
#include <QString>

#include <array>
#include <memory>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace cvi {

class PageHost;

// The Startup dialog: finds the baud rate of the loop on the chosen port with a short probe that
// the loop echoes, asks every instrument for its software version in one broadcast (identifiers,
// parity and versions come from the replies), checks for instruments that stream readings unasked
// (Get_MD), and on OK publishes what it found and remembers the port in cvi.ini.
class frmSystemCheck : public QDialog {
    Q_OBJECT
public:
    enum class Closing { Open, OK, ProblemOK, Cancel };

    static QString loopFailureText();
    static QString reportHeading();

    explicit frmSystemCheck(PageHost& main);
    ~frmSystemCheck() override;

    // Listens for readings nobody asked for and, if there are any, asks every instrument found for
    // its mode and offers to quieten those that stream. Runs at the end of every scan; settles the
    // dialog's final state.
    void Get_MD();

    Closing closing() const { return closing_; }
    bool detecting() const { return detecting_; }
    // The report as composed (CR LF line ends); empty when no instrument line was read.
    QString reportText() const { return report_; }
    // Closes the dialog the way Cancel does, if nothing else has closed it.
    void settleUnclosed();
    // Closing the window or pressing Escape acts as Cancel while Cancel is available.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Abandoned {};

    void buildControls();
    void choosePort(int index);
    void detect();
    std::optional<int> probeBaudRate();
    char scan(int baudRate);
    void loopFailure();
    void applyTimeouts(int baudRate);
    void portUnavailable(const QString& why);
    void otherFailure();
    void okClicked();
    void problemOkClicked();
    void cancelClicked();
    void storePort();
    void showReport(bool visible);

    // Lets the user interface run; a Cancel pressed meanwhile ends the detection here.
    void letInterfaceRun(double maxWait = 0.0);
    void checkAbandoned() const;
    LinkSettings detectedSettings() const;

    PageHost& main_;
    AppState& state_;
    std::unique_ptr<Link> comm1_;
    std::array<QString, 12> PortList;
    bool ReplySeen = false;
    Closing closing_ = Closing::Open;
    bool detecting_ = false;
    bool abandoned_ = false;
    bool centred_ = false;
    QString report_;

    // What the running detection found, for the mode check and the mode warning.
    int detectedRate_ = 0;
    char detectedParity_ = 0;
    QString letter_; // the parity letter of the last scan line that told one

    QComboBox* LstPortID = nullptr;
    QLabel* lblTimeout = nullptr;
    QGroupBox* frmContainer = nullptr;
    QLabel* PnlPort = nullptr;
    QLabel* PnlBaudRate = nullptr;
    QLabel* PnlParity = nullptr;
    QLabel* PnlDataBits = nullptr;
    QGroupBox* FrmStatus = nullptr;
    QLabel* lblMessage = nullptr;
    QPlainTextEdit* txtReport = nullptr;
    QPushButton* cmdStart = nullptr;
    QPushButton* CmdOK = nullptr;
    QPushButton* cmdProblemOK = nullptr;
    QPushButton* CmdCancel = nullptr;
};

} // namespace cvi

#include "SystemCheck.h"

#include "Centre.h"
#include "CommsSetup.h"
#include "DefaultButton.h"
#include "Frames.h"
#include "ModeWarning.h"
#include "PageHost.h"
#include "Pointer.h"
#include "ReadOnlyText.h"
#include "SettingsFile.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace cvi {

namespace {
const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");
const QString StartMessage = QStringLiteral("Please start the system check!");
const QString SelectStartup = QStringLiteral("Select startup to establish communication!");
QLabel* displayPanel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(90);
    return label;
}

} // namespace

QString frmSystemCheck::loopFailureText() {
    return QStringList{
        QStringLiteral("Due to communication problems, the instruments in the loop can not be detected!!"),
        QStringLiteral("This might be because of;"),
        QStringLiteral("a) A bad connection or,"),
        QStringLiteral("b) Mixed baud rate in the loop."),
        QStringLiteral("c) An instrument bursting data in the loop."),
        QStringLiteral("Please check these parameters and retry...")}
        .join(CRLF);
}

QString frmSystemCheck::reportHeading() {
    return QStringLiteral("       ID              Parity          Software Version") + CRLF +
           QStringLiteral("       ==             ======          ============") + CRLF;
}

frmSystemCheck::frmSystemCheck(PageHost& main)
    : QDialog(main.window()), main_(main), state_(main.state()), comm1_(main.makeLink()) {
    setObjectName(QStringLiteral("frmSystemCheck"));
    setWindowTitle(QStringLiteral("Startup"));
    comm1_->setObjectName(QStringLiteral("Comm1"));
    buildControls();

    // The four ports, the one used last preselected.
    PortList = {QStringLiteral("COM 1"), QStringLiteral("COM 2"), QStringLiteral("COM 3"),
                QStringLiteral("COM 4")};
    {
        const QSignalBlocker quiet(LstPortID);
        for (int i = 0; i < 4; ++i)
            LstPortID->addItem(PortList[static_cast<size_t>(i)]);
        LstPortID->setCurrentIndex(settings_file::storedPortIndex(state_.ProgramFolder));
    }
    choosePort(LstPortID->currentIndex());
    lblMessage->setText(StartMessage);
    state_.StartupFlag = No;
}

frmSystemCheck::~frmSystemCheck() {
    if (comm1_) comm1_->ClosePort();
}

void frmSystemCheck::buildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* parameters = new QGroupBox(QStringLiteral("Communication Parameters"), this);
    auto* paramLayout = new QFormLayout(parameters);
    LstPortID = new QComboBox(parameters);
    LstPortID->setObjectName(QStringLiteral("LstPortID"));
    lblTimeout = displayPanel(parameters, "lblTimeout");
    paramLayout->addRow(QStringLiteral("Port ID"), LstPortID);
    paramLayout->addRow(QStringLiteral("Timeout (sec)"), lblTimeout);
    layout->addWidget(parameters);

    frmContainer = new QGroupBox(QStringLiteral("Checking"), this);
    frmContainer->setObjectName(QStringLiteral("frmContainer"));
    auto* grid = new QGridLayout(frmContainer);
    PnlPort = displayPanel(frmContainer, "PnlPort");
    PnlBaudRate = displayPanel(frmContainer, "PnlBaudRate");
    PnlParity = displayPanel(frmContainer, "PnlParity");
    PnlDataBits = displayPanel(frmContainer, "PnlDataBits");
    const std::pair<const char*, QLabel*> panels[] = {{"Port Number", PnlPort},
                                                      {"Baud Rate", PnlBaudRate},
                                                      {"Parity", PnlParity},
                                                      {"Data Bits", PnlDataBits}};
    int column = 0;
    for (const auto& [caption, panel] : panels) {
        grid->addWidget(new QLabel(QString::fromLatin1(caption), frmContainer), 0, column);
        grid->addWidget(panel, 1, column);
        ++column;
    }
    layout->addWidget(frmContainer);

    FrmStatus = new QGroupBox(QStringLiteral("Status"), this);
    FrmStatus->setObjectName(QStringLiteral("FrmStatus"));
    auto* status = new QVBoxLayout(FrmStatus);
    lblMessage = new QLabel(FrmStatus);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    txtReport = new QPlainTextEdit(FrmStatus);
    txtReport->setObjectName(QStringLiteral("txtReport"));
    txtReport->setReadOnly(true);
    txtReport->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtReport->setMinimumSize(520, 150);
    txtReport->setFont(QFont(QStringLiteral("Monospace")));
    txtReport->installEventFilter(new CopyOnlyKeys(txtReport));
    txtReport->viewport()->installEventFilter(this);
    // The dialog keeps its size when the report appears.
    QSizePolicy keep = txtReport->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    txtReport->setSizePolicy(keep);
    txtReport->hide();
    status->addWidget(lblMessage);
    status->addWidget(txtReport);
    layout->addWidget(FrmStatus);

    auto* buttons = new QHBoxLayout;
    cmdStart = new QPushButton(QStringLiteral("&Detect"), this);
    cmdStart->setObjectName(QStringLiteral("cmdStart"));
    CmdOK = new QPushButton(QStringLiteral("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    cmdProblemOK = new QPushButton(QStringLiteral("OK"), this);
    cmdProblemOK->setObjectName(QStringLiteral("cmdProblemOK"));
    cmdProblemOK->hide();
    CmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    buttons->addWidget(cmdStart);
    buttons->addStretch();
    buttons->addWidget(CmdOK);
    buttons->addWidget(cmdProblemOK);
    buttons->addWidget(CmdCancel);
    layout->addLayout(buttons);
    for (QPushButton* b : {cmdStart, CmdOK, cmdProblemOK, CmdCancel})
        b->setAutoDefault(false);
    // Enter: Detect before a detection, OK after one (nothing while it runs); Escape is Cancel.
    new DefaultButton(*this, {CmdOK, cmdProblemOK, cmdStart});

    setMouseTracking(true);
    connect(LstPortID, &QComboBox::currentIndexChanged, this, &frmSystemCheck::choosePort);
    connect(cmdStart, &QPushButton::clicked, this, &frmSystemCheck::detect);
    connect(CmdOK, &QPushButton::clicked, this, &frmSystemCheck::okClicked);
    connect(cmdProblemOK, &QPushButton::clicked, this, &frmSystemCheck::problemOkClicked);
    connect(CmdCancel, &QPushButton::clicked, this, &frmSystemCheck::cancelClicked);
}

void frmSystemCheck::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen(*this, state_);
    }
}

void frmSystemCheck::mouseMoveEvent(QMouseEvent* event) {
    main_.setLeftMessage(QString());
    QDialog::mouseMoveEvent(event);
}

bool frmSystemCheck::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtReport->viewport()) {
        if (event->type() == QEvent::MouseButtonPress)
            main_.setLeftMessage(QStringLiteral("To copy select and press Ctrl + C"));
        else if (event->type() == QEvent::Leave)
            main_.setLeftMessage(QString());
    }
    return QDialog::eventFilter(watched, event);
}

// A port chosen: everything shown for the previous one is blanked.
void frmSystemCheck::choosePort(int index) {
    if (index < 0) return;
    state_.Link.port = LstPortID->itemText(index);
    lblMessage->setText(StartMessage);
    for (QLabel* panel : {PnlPort, PnlBaudRate, PnlParity, PnlDataBits, lblTimeout})
        panel->clear();
    report_.clear();
    txtReport->clear();
    showReport(false);
    CmdOK->setEnabled(false);
    cmdStart->setEnabled(true);
}

void frmSystemCheck::showReport(bool visible) {
    txtReport->setVisible(visible);
}

void frmSystemCheck::letInterfaceRun(double maxWait) {
    main_.runtime().pump(maxWait);
    checkAbandoned();
}

void frmSystemCheck::checkAbandoned() const {
    if (abandoned_) throw Abandoned{};
}

LinkSettings frmSystemCheck::detectedSettings() const {
    return LinkSettings::of(state_.Link.port, detectedRate_, detectedParity_ ? detectedParity_ : 'N');
}

// Detect: baud rate, then the instruments, then their modes.
void frmSystemCheck::detect() {
    if (detecting_ || closing_ != Closing::Open) return;
    detecting_ = true;
    abandoned_ = false;
    // Another port chosen in the middle of a detection would start a second one inside it.
    LstPortID->setEnabled(false);
    try {
        cmdStart->setEnabled(false);
        lblMessage->setText(QStringLiteral("Please Wait !..."));
        hourglass();
        report_.clear();
        txtReport->clear();
        const std::optional<int> rate = probeBaudRate();
        state_.Link.baud = rate ? *rate : 0;
        if (rate) applyTimeouts(*rate);
        normalPointer();
    } catch (const Abandoned&) {
        comm1_->ClosePort();
        normalPointer();
    } catch (const PortError& e) {
        comm1_->ClosePort();
        normalPointer();
        switch (e.kind()) {
        case PortError::Kind::Unavailable:
        case PortError::Kind::PermissionDenied:
        case PortError::Kind::DeviceLost:
            portUnavailable(e.kind() == PortError::Kind::PermissionDenied ? e.text() : QString());
            break;
        case PortError::Kind::NotOpen:
            break;
        case PortError::Kind::BadSettings:
            otherFailure();
            break;
        }
    } catch (const std::exception&) {
        comm1_->ClosePort();
        normalPointer();
        otherFailure();
    }
    LstPortID->setEnabled(true);
    detecting_ = false;
}

namespace {
// The detection's progress on the dialog; a Cancel pressed meanwhile ends it at the next breath.
class Progress : public detection::DetectionObserver {
public:
    std::function<void(double)> breatheFn;
    std::function<void(int, double)> probingFn;
    std::function<void(double)> scanningFn;
    std::function<void(const detection::ScanLine&)> lineFn;

    void breathe(double maxWait) override { breatheFn(maxWait); }
    void probing(int baudRate, double wait) override { probingFn(baudRate, wait); }
    void scanning(double wait) override { scanningFn(wait); }
    void line(const detection::ScanLine& line) override { lineFn(line); }
};
} // namespace

// From 19200 baud down, sends a short probe and waits for the loop to bring it back.
std::optional<int> frmSystemCheck::probeBaudRate() {
    PnlParity->setText(QStringLiteral("N"));
    PnlDataBits->setText(QStringLiteral("8"));
    cmdStart->setEnabled(false);

    Progress progress;
    progress.breatheFn = [this](double maxWait) { letInterfaceRun(maxWait); };
    progress.probingFn = [this](int rate, double wait) {
        state_.ReadTimeout = wait;
        PnlPort->setText(state_.PortName());
        PnlBaudRate->setText(QString::number(rate));
        lblTimeout->setText(numberText(wait));
    };
    const std::optional<int> rate = detection::probeBaudRate(*comm1_, state_.Link.port, progress);
    ReplySeen = rate.has_value();
    if (!rate) {
        loopFailure();
        return std::nullopt;
    }
    PnlParity->clear();
    state_.Link.parity = scan(*rate);
    state_.Link.dataBits = LinkSettings::dataBitsFor(state_.Link.parity);
    cmdProblemOK->hide();
    return rate;
}

void frmSystemCheck::loopFailure() {
    PnlBaudRate->clear();
    PnlParity->clear();
    PnlDataBits->clear();
    report_ = loopFailureText();
    txtReport->setPlainText(report_);
    showReport(true);
    cmdProblemOK->show();
    cmdProblemOK->setEnabled(true);
    CmdCancel->setEnabled(false);
    CmdOK->hide();
}

// The time-outs follow from the rate and the number of instruments.
void frmSystemCheck::applyTimeouts(int baudRate) {
    state_.CommTimeout = CommsSetup::commTimeoutFor(baudRate, state_.InstrumentCount);
    state_.ReadTimeout = state_.CommTimeout + 2;
    state_.MeasureTimeout = state_.CommTimeout + 2;
}

// One version broadcast; every line that comes back is an instrument, until the broadcast
// itself returns.
char frmSystemCheck::scan(int baudRate) {
    state_.Link.dataBits = 8;
    letter_.clear();
    QString report = reportHeading();

    Progress progress;
    progress.breatheFn = [this](double maxWait) { letInterfaceRun(maxWait); };
    progress.probingFn = [](int, double) {};
    progress.scanningFn = [this](double wait) { state_.ReadTimeout = wait; };
    progress.lineFn = [this, &report](const detection::ScanLine& line) {
        if (line.echo()) return;
        report += QString(7, QLatin1Char(' ')) + line.id;
        if (line.parity == QStringLiteral("N")) {
            PnlParity->setText(QStringLiteral("N"));
            PnlDataBits->setText(QStringLiteral("8"));
        } else if (line.parity == QStringLiteral("E")) {
            PnlParity->setText(QStringLiteral("Even"));
            PnlDataBits->setText(QStringLiteral("7"));
        } else if (line.parity == QStringLiteral("O")) {
            PnlParity->setText(QStringLiteral("Odd"));
            PnlDataBits->setText(QStringLiteral("7"));
        } else {
            lblMessage->setText(QStringLiteral("Can not detect parity! Check your connections."));
        }
        if (!line.parity.isEmpty()) {
            letter_ = line.parity;
            state_.Link.dataBits = LinkSettings::dataBitsFor(letter_.at(0).toLatin1());
        }
        letInterfaceRun();
        report += QString(17, QLatin1Char(' ')) + letter_;
        report += QString(20, QLatin1Char(' ')) + line.version + CRLF;
        report_ = report;
        txtReport->setPlainText(report_);
    };
    const detection::Scan found = detection::scanLoop(*comm1_, state_.Link.port, baudRate, progress);

    state_.IDList = found.ids;
    state_.InstrumentCount = static_cast<qint16>(found.count);
    // Replies with different parity letters: the loop is mixed.
    if (found.mixed()) {
        PnlParity->setText(QStringLiteral("Mixed"));
        PnlDataBits->setText(QStringLiteral("Mixed"));
    }
    frmContainer->setTitle(QStringLiteral("Result"));

    detectedRate_ = baudRate;
    detectedParity_ = found.parity;
    Get_MD();
    return found.parity;
}

void frmSystemCheck::Get_MD() {
    Link& comm = *comm1_;
    lblMessage->setText(QStringLiteral("Checking the mode of the instrument(s).  Please Wait !..."));
    letInterfaceRun();
    state_.ModeList.clear();
    const LinkSettings settings = detectedSettings();

    // Nothing is sent: whatever arrives now, nobody asked for.
    const int unasked = detection::listenForUnasked(comm, settings);
    checkAbandoned();

    if (unasked > 0) {
        lblMessage->setText(QStringLiteral("Unexpected Data Detected.  Please Wait !..."));
        state_.ModeList.clear();
        const QString ids = state_.IDList;
        for (int i = 0; i + 1 < ids.size(); i += 2) {
            checkAbandoned();
            const QString id = ids.mid(i, 2);
            const std::optional<QString> digit = detection::modeIn(detection::askMode(comm, settings, id));
            checkAbandoned();
            if (digit) {
                if (*digit == QStringLiteral("2") || *digit == QStringLiteral("3"))
                    state_.ModeList += id + *digit;
            } else {
                main_.op().message(QStringLiteral("Can't detect the MD value for ID=") + id +
                                       QStringLiteral(".") +
                                       QStringLiteral(" If MD=2,3 for this ID, you should change it to 1,2."),
                                   ProgramTitle, Operator::Icon::Exclamation);
            }
        }
        checkAbandoned();
        if (!state_.ModeList.isEmpty()) {
            frmModeWarning::Hooks hooks;
            hooks.startupMessage = [this](const QString& text) { lblMessage->setText(text); };
            hooks.stillWanted = [this] { return !abandoned_; };
            frmModeWarning warning(state_, main_.runtime(), main_.makeLink(), settings, hooks, this);
            main_.op().runModal(warning);
            checkAbandoned();
            if (warning.failure()) std::rethrow_exception(warning.failure());
        }
    }

    if (report_.isEmpty()) {
        lblMessage->setText(QStringLiteral("There is no Corvanel Instrument at this port!"));
        CmdOK->setEnabled(false);
        cmdStart->setEnabled(true);
    } else {
        showReport(true);
        CmdOK->show();
        CmdOK->setEnabled(true);
    }
}

void frmSystemCheck::portUnavailable(const QString& why) {
    lblMessage->setText(QStringLiteral("There is no instrument at this port!"));
    main_.setLeftMessage(QStringLiteral("Please choose a different port !"));
    CmdCancel->setEnabled(true);
    cmdStart->setEnabled(true);
    report_.clear();
    txtReport->clear();
    showReport(false);
    // A port the operator may not open needs more than "choose another one".
    if (!why.isEmpty()) main_.op().message(why, QStringLiteral("Error !"), Operator::Icon::Exclamation);
}

void frmSystemCheck::otherFailure() {
    lblMessage->setText(QStringLiteral("Try a different port and check your connection."));
    main_.op().message(QStringLiteral("Communication Error!"), QStringLiteral("Error !"),
                       Operator::Icon::Exclamation);
    cmdStart->setEnabled(true);
}

void frmSystemCheck::storePort() {
    QString why;
    if (settings_file::storePort(state_.ProgramFolder, state_.PortName(), &why)) return;
    main_.op().message(QStringLiteral("The settings file %1 could not be written (%2). The port will not be "
                                      "remembered at the next start.")
                           .arg(settings_file::path(state_.ProgramFolder), why),
                       QStringLiteral("Warning"), Operator::Icon::Exclamation);
}

// The ways out of the dialog.
void frmSystemCheck::okClicked() {
    if (detecting_) return;
    closing_ = Closing::OK;
    storePort();
    state_.StartupFlag = Yes;
    done(QDialog::Accepted);
    main_.RefreshIdLists();
    main_.setCurrentPage(PageHost::Configuration);
    if (!state_.IDList.isEmpty()) main_.showPages(true);
    main_.setActionEnabled(QStringLiteral("mnuSettings"), true);
    main_.setActionEnabled(QStringLiteral("mnuTimeout"), true);
}

void frmSystemCheck::problemOkClicked() {
    if (detecting_) return;
    closing_ = Closing::ProblemOK;
    storePort();
    main_.setLeftMessage(SelectStartup);
    done(QDialog::Rejected);
}

void frmSystemCheck::cancelClicked() {
    closing_ = Closing::Cancel;
    // A detection still running stops at its next look at the interface.
    if (detecting_) abandoned_ = true;
    main_.setLeftMessage(SelectStartup);
    state_.StartupFlag = Yes;
    state_.IDList.clear();
    done(QDialog::Rejected);
}

void frmSystemCheck::reject() {
    if (closing_ != Closing::Open) return;
    if (CmdCancel->isEnabled()) {
        cancelClicked();
    } else if (!cmdProblemOK->isHidden() && cmdProblemOK->isEnabled() && !detecting_) {
        problemOkClicked();
    }
}

void frmSystemCheck::settleUnclosed() {
    if (closing_ == Closing::Open) cancelClicked();
}

} // namespace cvi

#include "SystemCheck.h"

#include "Centre.h"
#include "CommsSetup.h"
#include "Frames.h"
#include "MainWindow.h"
#include "ModeWarning.h"
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
// Every wait reaches just past its deadline, so that the clock has surely got there.
constexpr double PastDeadline = 0.001;

// The probe "*00" as it comes back from a loop without parity, with even parity, with odd parity
// (7-bit characters read as 8 bits keep their parity bit in bit 7).
const QString ProbeEchoes[3] = {QStringLiteral("*00"),
                                QString::fromLatin1("\xAA"
                                                    "00"),
                                QString::fromLatin1("*\xB0\xB0")};
// "VR" in a version reply read the same way.
const QString VersionMnemonics[3] = {QStringLiteral("VR"), QString::fromLatin1("V\xD2"),
                                     QString::fromLatin1("\xD6R")};

QChar low7(QChar c) {
    return QChar(static_cast<ushort>(c.unicode() & 0x7F));
}
bool isLineEnd(QChar c) {
    return c.unicode() == 0x0A || c.unicode() == 0x8A;
}
bool isCR(QChar c) {
    return c.unicode() == 0x0D || c.unicode() == 0x8D;
}

QLabel* displayPanel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(90);
    return label;
}

bool idListHolds(const QString& list, const QString& id) {
    for (int i = 0; i + 1 < list.size(); i += 2)
        if (list.mid(i, 2) == id) return true;
    return false;
}
} // namespace

double frmSystemCheck::probeWait(int baudRate) {
    if (baudRate >= 4800) return 2.5;
    if (baudRate >= 2400) return 3.5;
    if (baudRate >= 1200) return 4.0;
    if (baudRate >= 600) return 5.5;
    return 10.5;
}

double frmSystemCheck::scanWait(int baudRate) {
    if (baudRate >= 4800) return 1.5;
    if (baudRate >= 2400) return 2.0;
    if (baudRate >= 1200) return 3.0;
    if (baudRate >= 600) return 5.5;
    return 10.5;
}

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

frmSystemCheck::frmSystemCheck(MainWindow& main)
    : QDialog(&main), main_(main), state_(main.state()), comm1_(main.makeLink()) {
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
        centreOnScreen(*this);
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
    state_.PortName = LstPortID->itemText(index);
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

void frmSystemCheck::checkPort() const {
    if (!comm1_->PortOpen() || comm1_->port().isLost())
        throw PortError(PortError::Kind::DeviceLost,
                        QStringLiteral("The port was lost during the detection."));
}

QString frmSystemCheck::detectedSettingsText() const {
    const QString parity = detectedParity_.isEmpty() ? QStringLiteral("N") : detectedParity_;
    const QString dataBits = parity == QStringLiteral("N") ? QStringLiteral("8") : QStringLiteral("7");
    return QString::number(detectedRate_) + QLatin1Char(',') + parity + QLatin1Char(',') + dataBits +
           QStringLiteral(",1");
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
        state_.BaudRate = rate ? QString::number(*rate) : QString();
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

// From 19200 baud down, sends a short probe and waits for the loop to bring it back.
std::optional<int> frmSystemCheck::probeBaudRate() {
    ReplySeen = false;
    PnlParity->setText(QStringLiteral("N"));
    PnlDataBits->setText(QStringLiteral("8"));
    cmdStart->setEnabled(false);
    Link& comm = *comm1_;

    int candidate = 38400;
    int lastTried = 0;
    for (;;) {
        if (candidate < 600) break;
        checkAbandoned();
        candidate /= 2;
        lastTried = candidate;
        const double wait = probeWait(candidate);
        state_.ReadTimeout = wait;
        const QString settings = QString::number(candidate) + QStringLiteral(",N,8,1");
        PnlPort->setText(state_.PortName);
        PnlBaudRate->setText(QString::number(candidate));
        lblTimeout->setText(numberText(wait));
        letInterfaceRun();

        // An unfinished broadcast first, so that every instrument drops whatever it was reading;
        // the probe's own star then starts a line that no instrument takes.
        comm.OpenPortWith(state_.PortName, settings);
        comm.Output(QStringLiteral("*9900VR"));
        comm.ClosePort();
        comm.Delay(0.3);
        checkAbandoned();
        comm.OpenPortWith(state_.PortName, settings);
        comm.Output(QStringLiteral("*00"));

        const double start = comm.SecondsNow();
        for (;;) {
            if (comm.InBufferCount() >= 3) {
                ReplySeen = true;
                break;
            }
            const double elapsed = comm.SecondsNow() - start;
            if (elapsed >= wait) break;
            checkPort();
            letInterfaceRun(wait - elapsed + PastDeadline);
        }
        const QString reply = comm.InputAll();
        comm.ClosePort();
        if (std::find(std::begin(ProbeEchoes), std::end(ProbeEchoes), reply) != std::end(ProbeEchoes)) break;
    }

    if (!ReplySeen) {
        loopFailure();
        return std::nullopt;
    }
    PnlParity->clear();
    const QString parity = scan(lastTried);
    state_.Parity = parity;
    cmdProblemOK->hide();
    return lastTried;
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
QString frmSystemCheck::scan(int baudRate) {
    Link& comm = *comm1_;
    state_.DataBits = QStringLiteral("8");
    comm.SetInBufferSize(1500);
    comm.OpenPortWith(state_.PortName, QString::number(baudRate) + QStringLiteral(",N,8,1"));
    comm.Output(QStringLiteral("**9900VR") + CRLF);

    const double wait = scanWait(baudRate);
    state_.ReadTimeout = wait;
    const double start = comm.SecondsNow();
    // A long loop can still be answering when the wait is over (98 instruments need more than
    // 1.5 s at 9600 baud): the scan then goes on until the line has been quiet for 20 character
    // times, and never longer than a full receive buffer takes to arrive.
    const double charTime = 10.0 / baudRate;
    const double quietGap = 20 * charTime;
    const double longest = wait + 1500 * charTime;
    double lastChar = start;

    int count = -1;
    QString ids;
    QString line;
    QString letters;
    QString letter;
    QString report = reportHeading();
    for (;;) {
        const QString got = comm.InBufferCount() > 0 ? comm.InputChar() : QString();
        if (!got.isEmpty()) {
            lastChar = comm.SecondsNow();
            const QChar c = got.at(0);
            line += c;
            if (isLineEnd(c)) {
                QString id;
                for (const QChar k : line.mid(3, 2))
                    id += low7(k);
                ++count;
                report += QString(7, QLatin1Char(' ')) + id;
                if (id == QStringLiteral("00")) break; // the broadcast, back from the last instrument
                if (!idListHolds(ids, id)) ids += id;

                const QString mnemonic = line.mid(5, 2);
                if (mnemonic == VersionMnemonics[0]) {
                    letter = QStringLiteral("N");
                    state_.DataBits = QStringLiteral("8");
                    PnlParity->setText(QStringLiteral("N"));
                    PnlDataBits->setText(QStringLiteral("8"));
                } else if (mnemonic == VersionMnemonics[1]) {
                    letter = QStringLiteral("E");
                    state_.DataBits = QStringLiteral("7");
                    PnlParity->setText(QStringLiteral("Even"));
                    PnlDataBits->setText(QStringLiteral("7"));
                } else if (mnemonic == VersionMnemonics[2]) {
                    letter = QStringLiteral("O");
                    state_.DataBits = QStringLiteral("7");
                    PnlParity->setText(QStringLiteral("Odd"));
                    PnlDataBits->setText(QStringLiteral("7"));
                } else {
                    lblMessage->setText(QStringLiteral("Can not detect parity! Check your connections."));
                }
                letInterfaceRun();

                report += QString(17, QLatin1Char(' ')) + letter;
                letters += letter;
                QString version;
                for (int i = 8; i < line.size() && !isCR(line.at(i)) && !isLineEnd(line.at(i)); ++i)
                    version += low7(line.at(i));
                report += QString(20, QLatin1Char(' ')) + version + CRLF;
                line.clear();
                report_ = report;
                txtReport->setPlainText(report_);
                letInterfaceRun();
            } else if (line.size() > Link::MaxLine) {
                line.clear(); // no reply is this long: noise
            }
            letInterfaceRun();
            continue;
        }
        const double now = comm.SecondsNow();
        const double elapsed = now - start;
        if (elapsed >= wait && (now - lastChar >= quietGap || elapsed >= longest)) break;
        checkPort();
        const double until = elapsed < wait ? wait - elapsed : std::max(quietGap - (now - lastChar), 0.0);
        letInterfaceRun(until + PastDeadline);
    }

    state_.IDList = ids;
    // Every line but the returning broadcast is an instrument; a silent line means none.
    state_.InstrumentCount = static_cast<qint16>(std::max(count, 0));
    // Replies with different parity letters: the loop is mixed.
    for (int i = 1; i < letters.size(); ++i)
        if (letters.at(i) != letters.at(0)) {
            PnlParity->setText(QStringLiteral("Mixed"));
            PnlDataBits->setText(QStringLiteral("Mixed"));
        }
    comm.ClosePort();
    frmContainer->setTitle(QStringLiteral("Result"));

    detectedRate_ = baudRate;
    detectedParity_ = letter;
    Get_MD();
    return letter;
}

void frmSystemCheck::Get_MD() {
    Link& comm = *comm1_;
    lblMessage->setText(QStringLiteral("Checking the mode of the instrument(s).  Please Wait !..."));
    letInterfaceRun();
    state_.ModeList.clear();
    const QString settings = detectedSettingsText();

    // Nothing is sent: whatever arrives now, nobody asked for.
    comm.OpenPortWith(state_.PortName, settings);
    comm.Delay(2.0);
    const int unasked = comm.InBufferCount();
    comm.ClosePort();
    checkAbandoned();

    if (unasked > 0) {
        lblMessage->setText(QStringLiteral("Unexpected Data Detected.  Please Wait !..."));
        state_.ModeList.clear();
        const QString ids = state_.IDList;
        for (int i = 0; i + 1 < ids.size(); i += 2) {
            checkAbandoned();
            const QString id = ids.mid(i, 2);
            comm.OpenPortWith(state_.PortName, settings);
            comm.Output(QStringLiteral("**") + id + QStringLiteral("00MD") + CRLF);
            comm.Delay(0.7);
            const QString reply = comm.InputAll();
            comm.ClosePort();
            checkAbandoned();
            const qsizetype at = reply.indexOf(QStringLiteral("MD"));
            if (at >= 0) {
                const QString digit = reply.mid(at + 3, 1);
                if (digit == QStringLiteral("2") || digit == QStringLiteral("3"))
                    state_.ModeList += id + digit;
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
    if (settings_file::storePort(state_.ProgramFolder, state_.PortName, &why)) return;
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
    main_.panel()->setCurrentIndex(MainWindow::PageConfiguration);
    if (!state_.IDList.isEmpty()) main_.panel()->show();
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

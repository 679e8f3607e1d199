#include "CommsSetup.h"

#include "Centre.h"
#include "DefaultButton.h"
#include "Detection.h"
#include "Frames.h"
#include "Guard.h"
#include "Pointer.h"
#include "Transactions.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace cvi {

namespace {
const char* const BaudCaptions[] = {"150", "300", "600", "1200", "2400", "4800", "9600", "19200"};

// Steps of 0.1 and 0.5 add up with binary rounding errors; the time-outs keep nine decimals.
double tidy(double seconds) {
    return std::round(seconds * 1e9) / 1e9;
}

QLabel* valuePanel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(70);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}
} // namespace

// ---------------------------------------------------------------------------------------------

SpinButton::SpinButton(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    up_ = new QToolButton(this);
    up_->setObjectName(QStringLiteral("up"));
    up_->setArrowType(Qt::UpArrow);
    down_ = new QToolButton(this);
    down_->setObjectName(QStringLiteral("down"));
    down_->setArrowType(Qt::DownArrow);
    up_->setAccessibleName(QStringLiteral("Increase"));
    down_->setAccessibleName(QStringLiteral("Decrease"));
    for (QToolButton* b : {up_, down_}) {
        b->setFixedSize(22, 13);
        layout->addWidget(b);
    }
    connect(up_, &QToolButton::clicked, this, &SpinButton::SpinUp);
    connect(down_, &QToolButton::clicked, this, &SpinButton::SpinDown);
}

// ---------------------------------------------------------------------------------------------

CommsSetup::CommsSetup(AppState& state, Runtime& runtime, Operator& op, std::unique_ptr<Link> comm1,
                       QWidget* parent)
    : QDialog(parent), state_(state), runtime_(runtime), op_(op), comm1_(std::move(comm1)) {
    setObjectName(QStringLiteral("CommsSetup"));
    setWindowTitle(QStringLiteral("Communication Setup"));
    if (comm1_) comm1_->setObjectName(QStringLiteral("Comm1"));

    old_ = state_.Link;
    chosenBaud_ = state_.BaudRate();
    chosenParity_ = state_.Parity();
    chosenDataBits_ = state_.DataBits();

    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabComSettings"));
    auto* settingsTab = new QWidget;
    auto* timeoutTab = new QWidget;
    tabs_->addTab(settingsTab, QStringLiteral("Communication Setup"));
    tabs_->addTab(timeoutTab, QStringLiteral("Timeout"));
    layout->addWidget(tabs_);
    buildSettingsTab(settingsTab);
    buildTimeoutTab(timeoutTab);
    // Enter is the OK of the tab shown; Escape cancels (reject()).
    new DefaultButton(*this, {cmdOK_, timeoutTab->findChild<QPushButton*>(QStringLiteral("cmdTimeoutOK"))});

    showChosen();
    showTimeouts();
}

CommsSetup::~CommsSetup() {
    if (comm1_) comm1_->ClosePort();
}

void CommsSetup::buildSettingsTab(QWidget* tab) {
    auto* layout = new QVBoxLayout(tab);
    auto* frames = new QHBoxLayout;

    auto* baudFrame = new QGroupBox(QStringLiteral("Baud Rate"), tab);
    baudFrame->setObjectName(QStringLiteral("FrmBaudRate"));
    auto* baudLayout = new QGridLayout(baudFrame);
    int row = 0;
    for (const char* caption : BaudCaptions) {
        auto* option = new QRadioButton(QString::fromLatin1(caption), baudFrame);
        option->setObjectName(QStringLiteral("Opt") + QString::fromLatin1(caption));
        baudLayout->addWidget(option, row % 4, row / 4);
        ++row;
        baudOptions_.append(option);
        const QString rate = QString::fromLatin1(caption);
        connect(option, &QRadioButton::clicked, this, [this, rate] { chooseBaud(rate); });
    }

    auto* parityFrame = new QGroupBox(QStringLiteral("Parity"), tab);
    parityFrame->setObjectName(QStringLiteral("FrmParity"));
    auto* parityLayout = new QVBoxLayout(parityFrame);
    optNone_ = new QRadioButton(QStringLiteral("No Parity"), parityFrame);
    optNone_->setObjectName(QStringLiteral("OptNoParity"));
    optEven_ = new QRadioButton(QStringLiteral("Even Parity"), parityFrame);
    optEven_->setObjectName(QStringLiteral("OptEvenParity"));
    optOdd_ = new QRadioButton(QStringLiteral("Odd Parity"), parityFrame);
    optOdd_->setObjectName(QStringLiteral("OptOddParity"));
    for (QRadioButton* o : {optNone_, optEven_, optOdd_})
        parityLayout->addWidget(o);
    connect(optNone_, &QRadioButton::clicked, this, [this] { chooseParity(QStringLiteral("N")); });
    connect(optEven_, &QRadioButton::clicked, this, [this] { chooseParity(QStringLiteral("E")); });
    connect(optOdd_, &QRadioButton::clicked, this, [this] { chooseParity(QStringLiteral("O")); });

    frames->addWidget(baudFrame);
    frames->addWidget(parityFrame);
    layout->addLayout(frames);

    auto* buttons = new QHBoxLayout;
    cmdOK_ = new QPushButton(QStringLiteral("OK"), tab);
    cmdOK_->setObjectName(QStringLiteral("CmdOK"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), tab);
    cancel->setObjectName(QStringLiteral("CmdCancel"));
    buttons->addStretch();
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(cmdOK_, &QPushButton::clicked, this, &CommsSetup::okSettings);
    connect(cancel, &QPushButton::clicked, this, &CommsSetup::reject);
}

void CommsSetup::buildTimeoutTab(QWidget* tab) {
    auto* layout = new QVBoxLayout(tab);
    auto* frame = new QGroupBox(QStringLiteral("Timeout  in seconds"), tab);
    frame->setObjectName(QStringLiteral("SSFrame1"));
    auto* grid = new QGridLayout(frame);
    pnlCT_ = valuePanel(frame, "PnlCT");
    pnlMT_ = valuePanel(frame, "PnlMT");
    auto* spinCT = new SpinButton(frame);
    spinCT->setObjectName(QStringLiteral("SpinButton2"));
    auto* spinMT = new SpinButton(frame);
    spinMT->setObjectName(QStringLiteral("SpinButton1"));
    grid->addWidget(new QLabel(QStringLiteral("Communication Timeout Value :"), frame), 0, 0);
    grid->addWidget(pnlCT_, 0, 1);
    grid->addWidget(spinCT, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Measurement Timeout Value   :"), frame), 1, 0);
    grid->addWidget(pnlMT_, 1, 1);
    grid->addWidget(spinMT, 1, 2);
    layout->addWidget(frame);
    connect(spinCT, &SpinButton::SpinUp, this, [this] { stepComm(CommStep); });
    connect(spinCT, &SpinButton::SpinDown, this, [this] { stepComm(-CommStep); });
    connect(spinMT, &SpinButton::SpinUp, this, [this] { stepMeasure(MeasureStep); });
    connect(spinMT, &SpinButton::SpinDown, this, [this] { stepMeasure(-MeasureStep); });

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), tab);
    ok->setObjectName(QStringLiteral("cmdTimeoutOK"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), tab);
    cancel->setObjectName(QStringLiteral("cmdTimeoutCancel"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CommsSetup::okTimeout);
    connect(cancel, &QPushButton::clicked, this, &CommsSetup::cancelTimeout);
}

void CommsSetup::selectTab(int index) {
    tabs_->setCurrentIndex(index);
    if (index == TabTimeout) showTimeouts();
}

void CommsSetup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen(*this, state_);
    }
}

void CommsSetup::showChosen() {
    for (QRadioButton* option : baudOptions_)
        if (option->text() == chosenBaud_) option->setChecked(true);
    if (chosenParity_ == QStringLiteral("N")) optNone_->setChecked(true);
    if (chosenParity_ == QStringLiteral("E")) optEven_->setChecked(true);
    if (chosenParity_ == QStringLiteral("O")) optOdd_->setChecked(true);
}

void CommsSetup::chooseBaud(const QString& rate) {
    // 150 baud is offered but never used: choosing it leaves the choice as it was.
    if (rate == QStringLiteral("150")) {
        baudOptions_.first()->setAutoExclusive(false);
        baudOptions_.first()->setChecked(false);
        baudOptions_.first()->setAutoExclusive(true);
        showChosen();
        return;
    }
    chosenBaud_ = rate;
}

void CommsSetup::chooseParity(const QString& parity) {
    chosenParity_ = parity;
    chosenDataBits_ = parity == QStringLiteral("N") ? QStringLiteral("8") : QStringLiteral("7");
}

void CommsSetup::showTimeouts() {
    pnlCT_->setText(fixedText(state_.CommTimeout));
    pnlMT_->setText(fixedText(state_.MeasureTimeout));
}

void CommsSetup::stepComm(double delta) {
    double value = tidy(state_.CommTimeout + delta);
    if (value <= 0) value = 0;
    state_.CommTimeout = value;
    state_.ReadTimeout = value;
    pnlCT_->setText(fixedText(value));
}

void CommsSetup::stepMeasure(double delta) {
    double value = tidy(state_.MeasureTimeout + delta);
    if (value <= 0) value = 0;
    state_.MeasureTimeout = value;
    state_.ReadTimeout = value;
    pnlMT_->setText(fixedText(value));
}

double CommsSetup::commTimeoutFor(int baudRate, int instrumentCount) {
    return detection::commTimeoutFor(baudRate, instrumentCount);
}

void CommsSetup::closeWith(int result) {
    closed_ = true;
    QDialog::done(result);
}

void CommsSetup::reject() {
    // Cancel on either tab: nothing chosen on the first tab is kept.
    if (!closed_) emit panelShown();
    closeWith(QDialog::Rejected);
}

void CommsSetup::okTimeout() {
    hourglass();
    closeWith(QDialog::Accepted);
    if (!state_.IDList.isEmpty()) emit panelShown();
    normalPointer();
}

void CommsSetup::cancelTimeout() {
    reject();
}

void CommsSetup::okSettings() {
    cmdOK_->setEnabled(false);
    if (!guarded(op_, [this] { runOkSettings(); })) {
        if (comm1_) comm1_->ClosePort();
        emit leftMessageChanged(QString());
        normalPointer();
    }
    cmdOK_->setEnabled(true);
}

void CommsSetup::runOkSettings() {
    emit leftMessageChanged(QStringLiteral("Checking Baud Lock parameter"));
    // Every question goes out at the settings the instruments use now.
    const Channel loop{*comm1_, old_, QString(), &state_};
    hourglass();
    const BaudLock lock = checkBaudLock(loop);

    if (!lock.answered()) {
        emit leftMessageChanged(QString());
        closeWith(QDialog::Rejected);
        op_.message(texts::NoResponse, QStringLiteral("Warning"), Operator::Icon::Exclamation);
        emit panelShown();
        normalPointer();
        return;
    }
    if (lock.locked()) {
        closeWith(QDialog::Rejected);
        runtime_.pump();
        op_.message(texts::BaudLocked, QStringLiteral("Warning"), Operator::Icon::Exclamation);
        emit panelShown();
        emit leftMessageChanged(QString());
        normalPointer();
        return;
    }

    emit leftMessageChanged(QStringLiteral("Baud is unlocked!"));
    LinkSettings next = old_;
    next.baud = chosenBaud_.trimmed().toInt();
    next.parity = chosenParity_.isEmpty() ? char(0) : chosenParity_.at(0).toLatin1();
    next.dataBits = chosenDataBits_.trimmed().toInt();
    broadcastLinkSettings(loop, next);
    normalPointer();
    emit leftMessageChanged(QString());

    // The instruments have been told: from now on the program talks at the new settings.
    state_.Link = next;
    state_.CommTimeout = commTimeoutFor(next.baud, state_.InstrumentCount);
    state_.ReadTimeout = state_.CommTimeout;
    emit settingsAdopted();
    emit panelShown();
    closeWith(QDialog::Accepted);
}

} // namespace cvi

#include "SystemPage.h"

#include "Frames.h"
#include "PageCommands.h"
#include "PageHeader.h"
#include "PageHost.h"
#include "Pointer.h"
#include "ResponseLog.h"
#include "ValueBox.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace cvi {

namespace {

const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");
const QString SelectCommand = QStringLiteral("Select a command !");
const QString ClickSend = QStringLiteral("Please click the Send button !");
const QString ClickSendTight = QStringLiteral("Please click the Send button!");
const QString WatchDisplay = QStringLiteral("Watch the display...");
const QString DisplayPrompt =
    QStringLiteral("Enter the value you would like to display. (For lasting display, "
                   "set MD=0 on the configuration page.)");

// The SN and VR reads of the Send button show their commands in the Atmo3 page's command box and
// leave the System page's command label and log alone; a broken line is still reported.
class ShownOnAtmo3 : public PageObserver {
public:
    ShownOnAtmo3(CommandBox box, Operator& op) : PageObserver(PageContext{}, op), box_(std::move(box)) {}
    void command(const QString& text) override {
        if (box_) box_(text);
    }

private:
    CommandBox box_;
};

// The "&System" page: display commands (a value left- or right-adjusted, the segment check) and
// the instrument's self-tests (check stack, memory check) with their answers.
class SystemPage : public QWidget {
public:
    SystemPage(PageHost& host, CommandBox serialCommands)
        : main_(host), serialCommands_(std::move(serialCommands)) {
        setObjectName(QStringLiteral("pageSystem"));
        build();
    }

    QComboBox* idList() const { return ids_; }

private:
    struct Option {
        QRadioButton* button = nullptr;
        ValueBox* result = nullptr; // null for DC
    };

    void build();
    PageContext context() const;
    QRadioButton* addOption(QGroupBox* frame, const char* name, const char* caption, const char* result);
    void clearOptions();
    void clearResults();
    void selectInstrument();
    void choose(QRadioButton* option);
    void chooseCheck(const QString& mnemonic);
    void display(QRadioButton* option, const QString& mnemonic, const QString& title, ValueBox* shown);
    void send();

    PageHost& main_;
    CommandBox serialCommands_;
    QComboBox* ids_ = nullptr;
    QPushButton* send_ = nullptr;
    QLabel* command_ = nullptr;
    ResponseLog* log_ = nullptr;
    ValueBox* serial_ = nullptr;
    ValueBox* version_ = nullptr;
    QButtonGroup* options_ = nullptr;
    QRadioButton *dv_ = nullptr, *dr_ = nullptr, *dc_ = nullptr, *cs_ = nullptr, *mc_ = nullptr;
    ValueBox *dvBox_ = nullptr, *drBox_ = nullptr, *csBox_ = nullptr, *mcBox_ = nullptr;
    QString replyExpected_ = No; // "Yes" after a CS or MC choice, "No" after every send
};

PageContext SystemPage::context() const {
    const QPointer<const SystemPage> self(this);
    return PageContext{send_, command_, log_, [self](const QString& name) -> QLabel* {
                           return self ? self->findChild<QLabel*>(name) : nullptr;
                       }};
}

QRadioButton* SystemPage::addOption(QGroupBox* frame, const char* name, const char* caption,
                                    const char* result) {
    auto* grid = static_cast<QGridLayout*>(frame->layout());
    const int row = grid->rowCount() - (grid->count() == 0 ? 1 : 0);
    auto* option = new QRadioButton(QString::fromLatin1(caption), frame);
    option->setObjectName(QString::fromLatin1(name));
    options_->addButton(option);
    grid->addWidget(option, row, 0);
    if (result) {
        auto* box = new ValueBox(QString::fromLatin1(result), main_.state().Record, frame);
        grid->addWidget(box, row, 1);
    }
    return option;
}

void SystemPage::build() {
    const PageHeader header =
        PageHeader::build(main_, this, {"cboSystem", "cmdSysSend", "lblCmdSys", "txtSysResponse"},
                          main_.state().SystemLineCount, ResponseLog::Rules{8, QString(), QString(), false});
    // The header's button is the page's Send; it waits for a command to be chosen.
    send_ = header.start;
    send_->setText(QStringLiteral("Send Command"));
    send_->setEnabled(false);
    ids_ = header.ids;
    command_ = header.command;
    log_ = header.log;

    InstrumentRecord& record = main_.state().Record;
    QGroupBox* info =
        boxFrame(QStringLiteral("fraSystemInformation"), QStringLiteral("Instrument Information"), this);
    serial_ = addValueBox(info, QStringLiteral("lblSystemSN"), QStringLiteral("Serial Number"), record, 0);
    version_ =
        addValueBox(info, QStringLiteral("lblSystemsoftver"), QStringLiteral("Software Version"), record, 1);

    options_ = new QButtonGroup(this);
    QGroupBox* display = boxFrame(QStringLiteral("fraSystemDisplay"), QStringLiteral("Display"), this);
    dv_ = addOption(display, "OptDV", "Display left-adjusted value (DV)", "lblDV");
    dr_ = addOption(display, "OptDR", "Display right-adjusted value (DR)", "lblDR");
    dc_ = addOption(display, "OptDC", "Segment Check (DC)", nullptr);
    QGroupBox* diagnostic = boxFrame(QStringLiteral("fraDiagnostic"), QStringLiteral("Diagnostic"), this);
    cs_ = addOption(diagnostic, "OptCS", "Check stack (CS)", "lblCS");
    mc_ = addOption(diagnostic, "OptMC", "Memory check (MC)", "lblMC");
    dvBox_ = findChild<ValueBox*>(QStringLiteral("lblDV"));
    drBox_ = findChild<ValueBox*>(QStringLiteral("lblDR"));
    csBox_ = findChild<ValueBox*>(QStringLiteral("lblCS"));
    mcBox_ = findChild<ValueBox*>(QStringLiteral("lblMC"));

    auto* frames = new QGridLayout;
    frames->addWidget(info, 0, 0);
    frames->addWidget(display, 0, 1);
    frames->addWidget(diagnostic, 1, 1);
    frames->setRowStretch(2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header.layout);
    layout->addLayout(frames, 1);

    main_.onIdChosen(ids_, [this] { selectInstrument(); });
    connect(options_, &QButtonGroup::buttonClicked, this, [this](QAbstractButton* option) {
        runPageExchange(main_, context(), [this, option] { choose(static_cast<QRadioButton*>(option)); });
    });
    connect(send_, &QPushButton::clicked, this, [this] {
        // A send the port broke off can be tried again.
        if (!runPageExchange(main_, context(), [this] { send(); })) send_->setEnabled(true);
    });
    followInstrumentInformation(main_, serial_, version_);
    for (QGroupBox* f : {info, display, diagnostic})
        main_.blankHint(f);
}

void SystemPage::clearOptions() {
    options_->setExclusive(false);
    for (QAbstractButton* b : options_->buttons())
        b->setChecked(false);
    options_->setExclusive(true);
}

void SystemPage::clearResults() {
    for (ValueBox* b : {dvBox_, drBox_, csBox_, mcBox_})
        b->show(QString());
}

void SystemPage::selectInstrument() {
    AppState& state = main_.state();
    state.CurrentSN.clear();
    state.CurrentVR.clear();
    emit main_.informationCleared();
    main_.syncIdLists(ids_);
    state.AddressPrefix = addressPrefixFor(ids_->currentText());
    state.SystemLineCount = 0;
    main_.setLeftMessage(SelectCommand);
    main_.setMiddleMessage(QString());
    // A command chosen for the instrument before must not go to this one: choose again.
    clearOptions();
    clearResults();
    command_->clear();
    send_->setEnabled(false);
    replyExpected_ = No;
}

void SystemPage::choose(QRadioButton* option) {
    clearResults();
    // The group has already deselected the other four.
    if (option == cs_) {
        chooseCheck(QStringLiteral("CS"));
    } else if (option == mc_) {
        chooseCheck(QStringLiteral("MC"));
    } else if (option == dc_) {
        main_.setLeftMessage(ClickSendTight);
        main_.setMiddleMessage(WatchDisplay);
        command_->setText(readCommand(main_.state().AddressPrefix, QStringLiteral("DC")));
        send_->setEnabled(true);
    } else if (option == dr_) {
        display(dr_, QStringLiteral("DR="), QStringLiteral("Display Right-Adjusted Value"), drBox_);
    } else if (option == dv_) {
        display(dv_, QStringLiteral("DV="), QStringLiteral("Display Left-Adjusted Value"), dvBox_);
    }
}

void SystemPage::chooseCheck(const QString& mnemonic) {
    main_.setMiddleMessage(QString());
    main_.setLeftMessage(ClickSend);
    command_->setText(readCommand(main_.state().AddressPrefix, mnemonic));
    send_->setEnabled(true);
    replyExpected_ = Yes;
}

void SystemPage::display(QRadioButton* option, const QString& mnemonic, const QString& title,
                         ValueBox* shown) {
    send_->setEnabled(false);
    command_->clear();
    const QString answer = main_.op().input(DisplayPrompt, title, QString());
    hourglass();
    // However it ends, the option is deselected again.
    struct Deselect {
        SystemPage& page;
        QRadioButton* option;
        ~Deselect() {
            page.options_->setExclusive(false);
            option->setChecked(false);
            page.options_->setExclusive(true);
            normalPointer();
        }
    } deselect{*this, option};
    if (answer.isEmpty()) return;
    if (!fitsOnLine(answer)) {
        main_.setMiddleMessage(texts::InvalidEntry);
        return;
    }
    shown->show(answer);
    const QString text = main_.state().AddressPrefix + mnemonic + answer;
    command_->setText(text);
    sendCommand(main_.channel(), text, main_.state().ReadTimeout, CommandStep{true, 1.0, false});
}

void SystemPage::send() {
    AppState& state = main_.state();
    send_->setEnabled(false);
    main_.setLeftMessage(QString());
    hourglass();
    const Channel channel = main_.channel();
    {
        ShownOnAtmo3 elsewhere(serialCommands_, main_.op());
        const Observing observing(main_.link(), &elsewhere);
        const int broken = main_.link().brokenLines();
        const Reply sn =
            readAfterWakeUp(channel, QStringLiteral("SN"), QStringLiteral("*"), true, state.ReadTimeout);
        if (!sn.answered()) {
            normalPointer();
            if (main_.link().brokenLines() == broken) // else the line's own message said it
                main_.op().message(texts::CantReadSN, QStringLiteral("Warning"), Operator::Icon::Exclamation);
            main_.setMiddleMessage(QString());
            return;
        }
        if (const auto serial = valueOf(main_, sn, QStringLiteral("SN"))) {
            serial_->showReading(QStringLiteral("SN"), sn.line, *serial);
            state.CurrentSN = *serial;
        }
        const Reply vr = readParameter(channel, QStringLiteral("VR"), state.ReadTimeout);
        if (const auto version = valueOf(main_, vr, QStringLiteral("VR"))) {
            version_->showReading(QStringLiteral("VR"), vr.line, *version);
            state.CurrentVR = *version;
        }
    }

    const QString command = command_->text();
    const bool expected = replyExpected_ == Yes;
    const Reply reply = sendCommand(channel, command, state.ReadTimeout, CommandStep{false, 1.0, expected});
    if (expected)
        if (const auto value = valueOf(main_, reply, command.right(2)))
            (isMemoryCheckAnswer(*value) ? mcBox_ : csBox_)->show(*value);

    replyExpected_ = No;
    clearOptions();
    main_.setLeftMessage(QString());
    main_.setMiddleMessage(QString());
    normalPointer();
}

} // namespace

void installSystemPage(PageHost& host, CommandBox serialCommands) {
    auto* page = new SystemPage(host, std::move(serialCommands));
    host.setPage(PageHost::System, page);
    host.registerIdList(PageHost::System, page->idList());
}

} // namespace cvi

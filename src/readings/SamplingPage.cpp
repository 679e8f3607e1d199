#include "SamplingPage.h"

#include "Sampling.h"

#include "Frames.h"
#include "MeasureTimeout.h"
#include "PageHeader.h"
#include "PageHost.h"
#include "Pointer.h"
#include "ResponseLog.h"
#include "ValueBox.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCursor>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace cvi {

namespace {
const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");
const QString PushStart = QStringLiteral("Please push the start button !");
const QString CalculatingTimeout = QStringLiteral("Calculating timeout....");
const QString CantReadSN = QStringLiteral("Can't read SN! Increase timeout and check connections.");
const QString CantReadVersion = QStringLiteral("Can't read software version!");
const QString SelectCommand = QStringLiteral("Select a command and send it...");
const QString PleaseWait = QStringLiteral("Please Wait !");
const QString SendDump = QStringLiteral("Send a DB or DS command !");
const QString ReadingData = QStringLiteral("Reading data....");
const QString BufferFull = QStringLiteral("Data buffer is full !");
const QString Corrupted = QStringLiteral("Corrupted Data");
const QString Silent = QStringLiteral("No Response !");
const QString CheckConnections = QStringLiteral("Check the connections !");
const QString Unknown = QStringLiteral("Can't recognize the command !");
const QString Warning = QStringLiteral("Warning");
const QString Error = QStringLiteral("Error");

// The number a data reply carries, as lblValue shows it.
QString numberOf(const QString& reply) {
    QString cut = reply;
    return ReplyNumber(cut);
}

// Lines of a continuous reading on their way to the response box. A busy loop delivers more than
// a hundred lines a second; an edit of the box for each would lay it out and repaint it as often
// and starve the reader. The lines are collected and appended together at most every 100 ms or
// every 50 lines, whichever comes first, and whatever is collected is appended when the batch
// goes out of scope, so no line read is lost however the reading ends. The box keeps at most
// ResponseLog::MaxLines lines on screen, so hours of reading keep the memory flat.
class LineBatch {
public:
    static constexpr double Interval = 0.1;
    static constexpr int MostLines = 50;

    LineBatch(ResponseLog* log, Runtime& runtime) : log_(log), runtime_(runtime), last_(runtime.now()) {}
    ~LineBatch() { flush(); }
    LineBatch(const LineBatch&) = delete;
    LineBatch& operator=(const LineBatch&) = delete;

    void add(const QString& line) {
        text_ += line;
        ++lines_;
        if (lines_ >= MostLines || runtime_.now() - last_ >= Interval) flush();
    }
    void flush() {
        last_ = runtime_.now();
        if (lines_ == 0) return;
        log_->appendReplies(text_, lines_);
        text_.clear();
        lines_ = 0;
    }

private:
    ResponseLog* log_;
    Runtime& runtime_;
    double last_;
    QString text_;
    int lines_ = 0;
};
} // namespace

// One option button: the command it chooses and what its click does besides.
struct SamplingPage::Option {
    enum class Flag { No, Yes, Unchanged };
    enum class Clears { Nothing, Value, ValueAndHint };
    const char* name;
    const char* caption;
    const char* mnemonic;
    Group group;
    Flag flag;
    Clears clears;
};

void installSamplingPage(PageHost& host) {
    auto* page = new SamplingPage(host);
    host.setPage(PageHost::Sampling, page);
    host.registerIdList(PageHost::Sampling, page->idList());
}

SamplingPage::SamplingPage(PageHost& host) : main_(host), observer_(PageContext{}, host.op()) {
    setObjectName(QStringLiteral("pageSampling"));
    build();
}

void SamplingPage::build() {
    using F = Option::Flag;
    using C = Option::Clears;
    static const Option pressure[] = {
        {"OptP1", "Sample and send period (P1)", "P1", Pressure, F::No, C::Nothing},
        {"OptP2", "Continuously sample and send periods (P2)", "P2", Pressure, F::Yes, C::Nothing},
        {"OptP3", "Sample and send pressure (P3)", "P3", Pressure, F::No, C::Nothing},
        {"OptP4", "Continuously sample and send pressure (P4)", "P4", Pressure, F::Yes, C::Nothing},
        {"OptP5", "Sample and hold one pressure (P5)", "P5", Pressure, F::No, C::Value},
        {"OptP6", "Sample and hold one period (P6)", "P6", Pressure, F::No, C::Value},
        {"OptP7", "Burst and sample pressure (P7)", "P7", Pressure, F::Yes, C::Nothing},
        {"OptPressDB", "Dump Buffer (DB)", "DB", Dump, F::Unchanged, C::Value},
        {"OptPressDS", "Dump Buffer Sequentially (DS)", "DS", Dump, F::Unchanged, C::Value},
    };
    static const Option temperature[] = {
        {"OptQ1", "Sample and send period (Q1)", "Q1", Temperature, F::No, C::Nothing},
        {"OptQ2", "Continuously sample and send periods (Q2)", "Q2", Temperature, F::Yes, C::Nothing},
        {"OptQ3", "Sample and send one temperature (Q3)", "Q3", Temperature, F::No, C::Nothing},
        {"OptQ4", "Continuously sample and send temperature (Q4)", "Q4", Temperature, F::Yes, C::Nothing},
        {"OptQ5", "Sample and hold one temperature (Q5)", "Q5", Temperature, F::No, C::Value},
        {"OptQ6", "Sample and hold one temperature period (Q6)", "Q6", Temperature, F::No, C::Value},
        {"OptTempDB", "Dump Buffer (DB)", "DB", Dump, F::Unchanged, C::ValueAndHint},
        {"OptTempDS", "Dump Buffer Sequentially (DS)", "DS", Dump, F::Unchanged, C::ValueAndHint},
    };
    static const Option analog[] = {
        {"OptN1", "Sample and send channel 1 integer count (N1)", "N1", Analog, F::No, C::Nothing},
        {"OptN2", "Sample and send channel 2 integer count (N2)", "N2", Analog, F::No, C::Nothing},
        {"OptTT", "Sample and send channel 1 analog value (TT)", "TT", Analog, F::No, C::Nothing},
        {"OptRH", "Sample and send channel 2 analog value (RH)", "RH", Analog, F::No, C::Nothing},
    };

    AppState& state = main_.state();
    ids_ = new QComboBox(this);
    ids_->setObjectName(QStringLiteral("cboSampling"));
    start_ = new QPushButton(QStringLiteral("Start"), this);
    start_->setObjectName(QStringLiteral("cmdSamplingStart"));

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabSampling"));
    options_ = new QButtonGroup(this);
    options_->setExclusive(true);
    auto addTab = [this](const QString& title, const auto& rows) {
        auto* tab = new QWidget;
        auto* column = new QVBoxLayout(tab);
        for (const Option& o : rows)
            column->addWidget(addOption(tab, o));
        column->addStretch(1);
        tabs_->addTab(tab, title);
    };
    addTab(QStringLiteral("Pressure"), pressure);
    addTab(QStringLiteral("Temperature"), temperature);
    addTab(QStringLiteral("Analog"), analog);

    auto plainLabel = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return l;
    };
    command_ = plainLabel("lblCommandBox");
    command_->setMinimumWidth(160);
    value_ = plainLabel("lblValue");
    send_ = new QPushButton(QStringLiteral("Send"), this);
    send_->setObjectName(QStringLiteral("cmdSend"));
    send_->setEnabled(false);
    stop_ = new QPushButton(QStringLiteral("Stop"), this);
    stop_->setObjectName(QStringLiteral("cmdStop"));
    stop_->setEnabled(false);
    log_ = new ResponseLog(main_, QStringLiteral("txtResponse"), state.SamplingLineCount,
                           ResponseLog::Rules{19, texts::CopyHint, QString(), false}, this);

    QGroupBox* info =
        boxFrame(QStringLiteral("fraSamplingInformation"), QStringLiteral("Instrument Information"), this);
    serial_ = plainLabel("lblSerialNumber");
    version_ = plainLabel("lblSoftVer");
    auto* infoGrid = static_cast<QGridLayout*>(info->layout());
    infoGrid->addWidget(fieldCaption(QStringLiteral("Serial Number"), info), 0, 0);
    infoGrid->addWidget(serial_, 0, 1);
    infoGrid->addWidget(fieldCaption(QStringLiteral("Software Version"), info), 1, 0);
    infoGrid->addWidget(version_, 1, 1);
    infoGrid->setColumnStretch(1, 1);

    // Left: the instrument, its information and the options; right: command, value and replies.
    auto* left = new QGridLayout;
    left->addWidget(fieldCaption(QStringLiteral("Instrument ID"), this), 0, 0);
    left->addWidget(ids_, 1, 0);
    left->addWidget(start_, 1, 1);
    left->addWidget(info, 2, 0, 1, 2);
    left->addWidget(tabs_, 3, 0, 1, 2);
    left->setRowStretch(3, 1);

    auto* right = new QGridLayout;
    right->addWidget(fieldCaption(QStringLiteral("Command"), this), 0, 0);
    right->addWidget(command_, 1, 0);
    right->addWidget(send_, 1, 1);
    right->addWidget(stop_, 1, 2);
    right->addWidget(fieldCaption(QStringLiteral("Value"), this), 2, 0);
    right->addWidget(value_, 3, 0);
    right->addWidget(fieldCaption(QStringLiteral("Response"), this), 4, 0);
    right->addWidget(log_, 5, 0, 1, 3);
    right->setRowStretch(5, 1);
    right->setColumnStretch(0, 1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);

    // Handlers.
    main_.onIdChosen(ids_, [this] { selectInstrument(); });
    connect(start_, &QPushButton::clicked, this, [this] {
        const Observing watch(main_.link(), &observer_);
        // A Start that the port ended may be tried again.
        if (!main_.runExchange([this] { start(); })) start_->setEnabled(true);
    });
    connect(send_, &QPushButton::clicked, this, [this] {
        const Observing watch(main_.link(), &observer_);
        // A port that failed mid-Send was closed and reported once; the page is usable again.
        if (!main_.runExchange([this] { send(); })) endReading();
    });
    connect(stop_, &QPushButton::clicked, this, &SamplingPage::stop);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        CleanOptions();
        main_.setLeftMessage(PushStart);
        main_.setMiddleMessage(QString());
        command_->clear();
    });
    connect(log_, &QPlainTextEdit::textChanged, this, [this] { main_.setLeftMessage(QString()); });
    connect(&main_, &PageHost::samplingResetRequested, this, &SamplingPage::reset);
    connect(&main_, &PageHost::samplingSendEnabled, send_, [this] { send_->setEnabled(true); });
    connect(&main_, &PageHost::informationCleared, this, &SamplingPage::clearInformation);
    connect(&main_, &PageHost::pageChanged, this, [this](int index) {
        showInformation();
        // Leaving the page closes the port under a continuous reading: it ends as a Stop would.
        if (reading_ && index != PageHost::Sampling) {
            pageLeft_ = true;
            continuous_ = No;
        }
    });
    hintStartButton(main_, start_);
    main_.blankHint(info);
}

QRadioButton* SamplingPage::addOption(QWidget* tab, const Option& option) {
    auto* button = new QRadioButton(QString::fromLatin1(option.caption), tab);
    button->setObjectName(QString::fromLatin1(option.name));
    // The group alone makes them exclusive, so that CleanOptions can deselect them all.
    button->setAutoExclusive(false);
    options_->addButton(button);
    groups_[option.group] << button;
    connect(button, &QRadioButton::clicked, this, [this, &option, button] { optionClicked(option, button); });
    return button;
}

void SamplingPage::CleanOptions() {
    options_->setExclusive(false);
    for (QAbstractButton* b : options_->buttons())
        b->setChecked(false);
    options_->setExclusive(true);
}

void SamplingPage::uncheck(QRadioButton* button) {
    options_->setExclusive(false);
    button->setChecked(false);
    options_->setExclusive(true);
}

void SamplingPage::setOptionGroupsEnabled(bool enabled) {
    for (const auto& group : groups_)
        for (QRadioButton* b : group)
            b->setEnabled(enabled);
}

void SamplingPage::reset() {
    CleanOptions();
    start_->setEnabled(true);
    send_->setEnabled(false);
    command_->clear();
}

void SamplingPage::showInformation() {
    serial_->setText(main_.state().CurrentSN);
    version_->setText(main_.state().CurrentVR);
}

void SamplingPage::clearInformation() {
    serial_->clear();
    version_->clear();
}

void SamplingPage::selectInstrument() {
    AppState& state = main_.state();
    state.CurrentSN.clear();
    state.CurrentVR.clear();
    start_->setEnabled(true);
    send_->setEnabled(false);
    main_.syncIdLists(ids_);
    state.AddressPrefix = addressPrefixFor(ids_->currentText());
    log_->clear();
    value_->clear();
    emit main_.informationCleared();
    command_->clear();
    state.SamplingLineCount = 0;
    CleanOptions();
    setOptionGroupsEnabled(true);
    main_.runtime().pump();
    main_.setLeftMessage(PushStart);
    main_.setMiddleMessage(QString());
}

void SamplingPage::optionClicked(const Option& option, QRadioButton* button) {
    if (option.flag == Option::Flag::Yes) continuous_ = Yes;
    if (option.flag == Option::Flag::No) continuous_ = No;
    if (start_->isEnabled()) {
        main_.setLeftMessage(texts::StartFirst);
        uncheck(button);
        return;
    }
    send_->setEnabled(true);
    if (option.clears != Option::Clears::Nothing) value_->clear();
    if (option.clears == Option::Clears::ValueAndHint) main_.setLeftMessage(QString());
    command_->setText(main_.state().AddressPrefix + QString::fromLatin1(option.mnemonic));
}

// ---- Start --------------------------------------------------------------------------------------

void SamplingPage::start() {
    AppState& state = main_.state();
    setOptionGroupsEnabled(true);
    main_.runtime().pump();
    send_->setEnabled(false);
    start_->setEnabled(false);
    main_.setLeftMessage(QString());
    main_.setMiddleMessage(CalculatingTimeout);
    hourglass();
    state.ReadTimeout = state.CommTimeout + 1.0;

    const Channel channel{main_.link(), state.Link, addressPrefixFor(ids_->currentText())};
    Reply version;
    {
        const Transaction t(channel, true);
        const QString sn = readCommand(channel.prefix, QStringLiteral("SN"));
        t.show(sn);
        t.write(sn + CRLF);
        const int broken = main_.link().brokenLines();
        const Reply serial = t.readAnswer(QStringLiteral("SN"), state.ReadTimeout);
        if (!serial.answered()) {
            normalPointer();
            if (main_.link().brokenLines() == broken) // else the line's own message said it
                main_.op().message(CantReadSN, Warning, Operator::Icon::Exclamation);
            main_.setMiddleMessage(QString());
            return;
        }
        state.CurrentSN = serial.value();
        serial_->setText(state.CurrentSN);
        t.close();
        t.reopen();
        const QString vr = readCommand(channel.prefix, QStringLiteral("VR"));
        t.show(vr);
        t.write(vr + CRLF);
        version = t.readAnswer(QStringLiteral("VR"), state.ReadTimeout);
    }
    if (version.answered()) {
        state.CurrentVR = version.value();
        version_->setText(state.CurrentVR);
    } else {
        main_.op().message(CantReadVersion, Warning, Operator::Icon::Exclamation);
    }

    measureTimeout(channel);
    main_.setMiddleMessage(QString());
    main_.setLeftMessage(SelectCommand);
    normalPointer();
}

void SamplingPage::measureTimeout(const Channel& channel) {
    AppState& state = main_.state();
    const auto pr = measure::readResolution(channel, QStringLiteral("PR"), state.ReadTimeout);
    if (!pr) main_.op().message(measure::CantReadPR, measure::MessageTitle, Operator::Icon::Exclamation);
    state.CurrentPR = pr.value_or(QString::number(measure::DefaultPR));
    const auto tr = measure::readResolution(channel, QStringLiteral("TR"), state.ReadTimeout);
    if (!tr) main_.op().message(measure::CantReadTR, measure::MessageTitle, Operator::Icon::Exclamation);
    state.CurrentTR = tr.value_or(QString::number(measure::DefaultTR));

    const std::optional<double> t1 = measure::readT1(channel, state.ReadTimeout);
    const measure::Result result =
        measure::sampling({state.CurrentPR, state.CurrentTR, t1, state.CommTimeout});
    measure::adopt(state, result);
    if (t1)
        main_.setLeftMessage(QString());
    else
        main_.setMiddleMessage(QString());
}

// ---- Send and Stop ------------------------------------------------------------------------------

void SamplingPage::send() {
    send_->setEnabled(false);
    main_.setLeftMessage(QString());
    main_.setMiddleMessage(PleaseWait);
    hourglass();
    const QString commandText = command_->text();
    const Channel channel = main_.channel();
    try {
        switch (sampleKind(commandText.mid(5, 2))) {
        case SampleKind::Single:
            readOnce(channel, commandText);
            break;
        case SampleKind::Hold:
            // The held sample is fetched later with DB or DS.
            sampleOnce(channel, commandText, main_.state().ReadTimeout, false);
            main_.setMiddleMessage(QString());
            main_.setLeftMessage(SendDump);
            normalPointer();
            send_->setEnabled(true);
            break;
        case SampleKind::Continuous:
            readContinuously(channel, commandText);
            break;
        case SampleKind::Unknown:
            sampleOnce(channel, commandText, main_.state().ReadTimeout, false);
            normalPointer();
            main_.op().message(Unknown, Error, Operator::Icon::Exclamation);
            send_->setEnabled(true);
            main_.setMenusEnabled(true);
            break;
        }
    } catch (const PortError& e) {
        // The port could not be had: the serial control's own complaint, and the page usable again.
        if (e.code() != 8010) throw;
        main_.link().ClosePort();
        normalPointer();
        main_.op().message(QStringLiteral("Communication Error!"), Error, Operator::Icon::Exclamation);
        main_.setMiddleMessage(QString());
        endReading();
    }
}

void SamplingPage::readOnce(const Channel& channel, const QString& commandText) {
    const Reply reply = sampleOnce(channel, commandText, main_.state().ReadTimeout);
    if (reply.answered()) {
        log_->appendReply(reply.line);
        value_->clear();
        value_->setText(numberOf(reply.line));
        main_.setMiddleMessage(QString());
    } else {
        main_.setMiddleMessage(texts::NoResponse);
    }
    normalPointer();
    send_->setEnabled(true);
}

void SamplingPage::readContinuously(const Channel& channel, const QString& commandText) {
    AppState& state = main_.state();
    Runtime& runtime = main_.runtime();
    continuous_ = Yes;
    main_.setMenusEnabled(false);
    ContinuousReading reading(channel);
    if (!reading.start(commandText, state.ReadTimeout)) {
        main_.setMiddleMessage(texts::NoResponse);
        normalPointer();
        send_->setEnabled(true);
        main_.setMenusEnabled(true);
        return;
    }
    // The first line only tells that the instrument has begun: it is not shown.
    setOptionGroupsEnabled(false);
    main_.setMiddleMessage(ReadingData);
    normalPointer();
    stop_->setEnabled(true);
    send_->setEnabled(false);
    reading_ = true;
    pageLeft_ = false;
    struct Running {
        bool& flag;
        ~Running() { flag = false; }
    } running{reading_};

    // Stops every instrument (the wake-up, "*9900VR", the rest of the input dropped) and closes
    // the port; after the page was left the port is opened again for it.
    auto stopAll = [&] {
        endReading();
        if (pageLeft_ && !channel.link.PortOpen()) channel.link.OpenPort(channel.settings);
        reading.stop();
        normalPointer();
    };

    LineBatch batch(log_, runtime);
    bool handedOver = false;
    handOver_ = [&] {
        // Stop enables the menus at once while the reading holds the port up to its next line;
        // a window opened meanwhile has it stop now and takes the port.
        handedOver = true;
        batch.flush();
        endReading();
        reading.stop();
    };
    struct Forget {
        std::function<void()>& f;
        ~Forget() { f = nullptr; }
    } forget{handOver_};
    for (;;) {
        // The no-drop pointer, set again only when something else replaced it.
        if (const QCursor* c = QGuiApplication::overrideCursor(); !c || c->shape() != Qt::ForbiddenCursor)
            setPointer(Qt::ForbiddenCursor);
        if (continuous_ == No) {
            batch.flush();
            stopAll();
            return;
        }
        QString line;
        try {
            line = reading.next(state.ReadTimeout);
            if (handedOver) return;
        } catch (const PortError& e) {
            // Another window wanted the port after Stop: the reading was stopped for it.
            if (handedOver) {
                batch.flush();
                normalPointer();
                return;
            }
            if (!pageLeft_ || e.kind() != PortError::Kind::NotOpen) throw;
            batch.flush();
            stopAll();
            return;
        }
        if (line == QStringLiteral("Overflow")) {
            batch.flush();
            reading.abandon();
            main_.op().message(BufferFull, QStringLiteral("Buffer Overflow"), Operator::Icon::Exclamation);
            endReading();
            normalPointer();
            return;
        }
        if (line.contains('?')) {
            batch.add(Corrupted + CRLF);
            value_->setText(Corrupted);
        } else if (!line.isEmpty()) {
            // A good line after corrupted ones is shown again: one bad line does not hide the
            // rest of the reading.
            batch.add(line);
            value_->setText(numberOf(line));
        } else {
            batch.flush();
            // Silence after corrupted data: the instrument is taken to be gone.
            if (value_->text() == Corrupted) {
                endReading();
                main_.setLeftMessage(Silent);
                main_.setMiddleMessage(CheckConnections);
                channel.link.ClosePort();
                normalPointer();
                return;
            }
        }
        runtime.pump();
    }
}

void SamplingPage::endReading() {
    continuous_ = No;
    send_->setEnabled(true);
    stop_->setEnabled(false);
    setOptionGroupsEnabled(true);
    main_.setMenusEnabled(true);
}

void SamplingPage::stop() {
    continuous_ = No;
    if (reading_ && handOver_) main_.link().offerRelease(handOver_);
    main_.setMiddleMessage(QString());
    main_.setMenusEnabled(true);
}

} // namespace cvi

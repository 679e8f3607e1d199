#include "ConfigurationPage.h"

#include "Frames.h"
#include "PageCommands.h"
#include "PageHeader.h"
#include "PageHost.h"
#include "PageReads.h"
#include "Pointer.h"
#include "ResponseLog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace cvi {

using namespace catalogue;

namespace {
QGroupBox* frame(const char* name, const QString& title, QWidget* parent) {
    return boxFrame(QString::fromLatin1(name), title, parent);
}

QString captionOf(const char* mnemonic) {
    return catalogue::find(QString::fromLatin1(mnemonic))->boxCaption();
}
} // namespace

ConfigurationPage::ConfigurationPage(PageHost& host) : main_(host) {
    setObjectName(QStringLiteral("pageConfiguration"));
    build();
    showLinkSettings();
    setUserFactorShown(false);
}

PageContext ConfigurationPage::context() const {
    const QPointer<const ConfigurationPage> self(this);
    return PageContext{start_, command_, log_, [self](const QString& name) -> QLabel* {
                           return self ? self->findChild<QLabel*>(name) : nullptr;
                       }};
}

ValueBox* ConfigurationPage::addBox(QGroupBox* f, const char* name, const QString& text, int row,
                                    int column) {
    ValueBox* b = addValueBox(f, QString::fromLatin1(name), text, main_.state().Record, row, column);
    boxes_ << b;
    return b;
}

ValueBox* ConfigurationPage::box(const char* name) const {
    return findChild<ValueBox*>(QString::fromLatin1(name));
}

void ConfigurationPage::setBox(const char* name, const QString& text) const {
    if (ValueBox* b = box(name)) b->show(text);
}

void ConfigurationPage::build() {
    autoNumber_ = new QPushButton(QStringLiteral("Renumber"), this);
    autoNumber_->setObjectName(QStringLiteral("cmdAutoNumber"));
    const PageHeader header = PageHeader::build(
        main_, this, {"cboConfiguration", "cmdConfigurationStart", "lblCommand", "txtResponseBox"},
        main_.state().ConfigLineCount, ResponseLog::Rules{10, texts::CopyHint, QString(), true}, autoNumber_);
    QGridLayout* top = header.layout;
    ids_ = header.ids;
    start_ = header.start;
    command_ = header.command;
    log_ = header.log;

    QGroupBox* info = frame("fraInstrumentInformation", QStringLiteral("Instrument Information"), this);
    addBox(info, "lblSoftwareVersion", captionOf("VR"), 0);
    addBox(info, "lblserialNum", captionOf("SN"), 1);

    QGroupBox* transmission = frame("fraTransmission", QStringLiteral("Transmission"), this);
    addBox(transmission, "lblBaudRate", captionOf("BR"), 0);
    addBox(transmission, "lblParity", captionOf("PT"), 1);
    addBox(transmission, "lblBL", captionOf("BL"), 2);

    QGroupBox* taring = frame("fraTaring", QStringLiteral("Taring"), this);
    addBox(taring, "lblZL", captionOf("ZL"), 0);
    {
        auto* grid = static_cast<QGridLayout*>(taring->layout());
        auto* name = fieldCaption(captionOf("ZV"), taring);
        name->setObjectName(QStringLiteral("lblZVName"));
        grid->addWidget(name, 1, 0);
        addBox(taring, "lblZV", QString(), 1);
    }
    addBox(taring, "lblZS", captionOf("ZS"), 2);
    update_ = new QPushButton(QStringLiteral("Update"), taring);
    update_->setObjectName(QStringLiteral("cmdUpdate"));
    update_->setEnabled(false);
    static_cast<QGridLayout*>(taring->layout())->addWidget(update_, 3, 1);

    outputFrame_ = frame("frmOutputtype", texts::OutputNotRead, this);
    addBox(outputFrame_, "lblIC", captionOf("IC"), 0);
    addBox(outputFrame_, "lblIM", captionOf("IM"), 1);
    addBox(outputFrame_, "lblLH", captionOf("LH"), 2);
    addBox(outputFrame_, "lblLL", captionOf("LL"), 3);

    QGroupBox* resolution = frame("fraResolution", QStringLiteral("Resolution"), this);
    addBox(resolution, "lblPR", captionOf("PR"), 0);
    addBox(resolution, "lblTR", captionOf("TR"), 1);
    addBox(resolution, "lblAR", captionOf("AR"), 2);
    addBox(resolution, "lblIntegrationTime", QStringLiteral("Pressure Integration Time"), 3);
    static_cast<QGridLayout*>(resolution->layout())
        ->addWidget(fieldCaption(QStringLiteral("sec"), resolution), 3, 2);

    QGroupBox* units = frame("fraUnits", QStringLiteral("Units"), this);
    addBox(units, "lblUnit", captionOf("UN"), 0);
    {
        auto* grid = static_cast<QGridLayout*>(units->layout());
        auto* heading = fieldCaption(captionOf("UF"), units);
        heading->setObjectName(QStringLiteral("lblUFHeading"));
        grid->addWidget(heading, 1, 0);
        addBox(units, "lblUF", QString(), 1);
        auto* unit = fieldCaption(QStringLiteral("per psi"), units);
        unit->setObjectName(QStringLiteral("lblUFUnit"));
        grid->addWidget(unit, 1, 2);
    }

    QGroupBox* display = frame("fraDisplay", QStringLiteral("Display"), this);
    addBox(display, "lblDP", captionOf("DP"), 0);
    addBox(display, "lblDD", captionOf("DD"), 1);

    QGroupBox* background = frame("fraBackgroundMode", QStringLiteral("Background Mode"), this);
    addBox(background, "lblMD", QStringLiteral("MD"), 0);
    addBox(background, "lblDisplay", QStringLiteral("Display"), 1);
    addBox(background, "lblRS232", QStringLiteral("Continuous RS-232"), 2);

    QGroupBox* overpressure = frame("fraOverpressure", QStringLiteral("Overpressure"), this);
    addBox(overpressure, "lblOverpressure", captionOf("OP"), 0);
    beep_ = new QPushButton(QStringLiteral("Beep (BP)"), overpressure);
    beep_->setObjectName(QStringLiteral("cmdOverpressure"));
    static_cast<QGridLayout*>(overpressure->layout())->addWidget(beep_, 1, 1);

    auto* frames = new QGridLayout;
    frames->addWidget(info, 0, 0);
    frames->addWidget(transmission, 1, 0);
    frames->addWidget(taring, 2, 0);
    frames->addWidget(outputFrame_, 0, 1);
    frames->addWidget(resolution, 1, 1);
    frames->addWidget(units, 2, 1);
    frames->addWidget(display, 0, 2);
    frames->addWidget(background, 1, 2);
    frames->addWidget(overpressure, 2, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(frames, 1);

    // Handlers.
    main_.onIdChosen(ids_, [this] { selectInstrument(); });
    connect(start_, &QPushButton::clicked, this, [this] {
        // A page that could not be read because the port failed still needs its Start.
        if (!runPageExchange(main_, context(), [this] { start(); })) start_->setEnabled(true);
    });
    connect(update_, &QPushButton::clicked, this, [this] {
        if (!runPageExchange(main_, context(), [this] { updateTaring(); })) update_->setEnabled(true);
    });
    connect(autoNumber_, &QPushButton::clicked, this, [this] { main_.requestRenumbering(command_); });
    connect(beep_, &QPushButton::clicked, this,
            [this] { runPageExchange(main_, context(), [this] { beep(); }); });
    followInstrumentInformation(main_, box("lblserialNum"), box("lblSoftwareVersion"));
    connect(&main_, &PageHost::linkSettingsChanged, this, &ConfigurationPage::showLinkSettings);

    const PageContext page = context();
    for (ValueBox* b : boxes_)
        attachValueBox(main_, page, b);
    hintStartButton(main_, start_);
    main_.hint(autoNumber_,
               [this]() -> QString { return start_->isEnabled() ? QString() : texts::ClickToChange; });
    for (QGroupBox* f :
         {info, transmission, taring, outputFrame_, resolution, units, display, background, overpressure})
        main_.blankHint(f);
}

void ConfigurationPage::showLinkSettings() {
    setBox("lblBaudRate", main_.state().BaudRate());
    setBox("lblParity", main_.state().Parity());
}

void ConfigurationPage::setUserFactorShown(bool shown) {
    for (const char* name : {"lblUFHeading", "lblUF", "lblUFUnit"})
        if (QLabel* l = findChild<QLabel*>(QString::fromLatin1(name))) l->setHidden(!shown);
}

void ConfigurationPage::selectInstrument() {
    AppState& state = main_.state();
    command_->clear();
    main_.setActionEnabled(QStringLiteral("mnuPrint"), false);
    start_->setEnabled(true);
    for (ValueBox* b : boxes_)
        b->show(QString());
    setUserFactorShown(false);
    main_.setLeftMessage(texts::PushStart);
    main_.setMiddleMessage(QString());
    main_.syncIdLists(ids_);
    state.AddressPrefix = addressPrefixFor(ids_->currentText());
    state.Record.clear(ids_->currentText());
    state.CurrentSN.clear();
    state.CurrentVR.clear();
    emit main_.informationCleared();
    log_->clear();
    state.ConfigLineCount = 0;
    outputFrame_->setTitle(texts::OutputNotRead);
    update_->setEnabled(false);
}

std::optional<QString> ConfigurationPage::valueOf(const Reply& reply, const QString& mnemonic) {
    return cvi::valueOf(main_, reply, mnemonic);
}

std::optional<QString> ConfigurationPage::showInto(const QString& mnemonic, const Reply& reply) {
    const Parameter& p = *catalogue::find(mnemonic);
    std::optional<QString> value = valueOf(reply, mnemonic);
    showCoded(findChild<ValueBox*>(p.box), p, reply);
    return value;
}

void ConfigurationPage::showOutputType() {
    const bool im = box("lblIM")->text() != texts::NoValue;
    const bool ic = box("lblIC")->text() != texts::NoValue;
    if (!im && !ic)
        outputFrame_->setTitle(texts::OutputNone);
    else if (im && !ic)
        outputFrame_->setTitle(texts::OutputSerial);
    else if (im && ic)
        outputFrame_->setTitle(texts::OutputParallel);
}

void ConfigurationPage::showRead(const QString& m, const Reply& reply, bool& prRead) {
    AppState& state = main_.state();
    if (m == QLatin1String("SN")) {
        const std::optional<QString> serial = valueOf(reply, m);
        box("lblserialNum")->showReading(m, reply.line, serial.value_or(texts::NoValue));
        state.CurrentSN = serial.value_or(QString());
    } else if (m == QLatin1String("VR")) {
        const QString version = valueOf(reply, m).value_or(QString());
        box("lblSoftwareVersion")->showReading(m, reply.line, version);
        state.CurrentVR = version;
        showLinkSettings();
        // An "M" instrument has no 16-bit output, overpressure or taring: those boxes say so.
        if (pages::modelM(reply))
            for (const char* name : {"lblDD", "lblDP", "lblLL", "lblLH", "lblIM", "lblIC", "lblOverpressure",
                                     "lblZS", "lblZV", "lblZL"})
                setBox(name, texts::NoValue);
    } else if (m == QLatin1String("MD")) {
        if (const auto md = valueOf(reply, m)) {
            box("lblMD")->showReading(m, reply.line, *md);
            showBackgroundMode(context(), md);
        } else {
            setBox("lblDisplay", texts::NoValue);
            setBox("lblRS232", texts::NoValue);
        }
    } else if (m == QLatin1String("PR")) {
        const auto pr = showInto(m, reply);
        prRead = pr.has_value();
        if (pr) state.CurrentPR = *pr;
    } else if (m == QLatin1String("TR")) {
        if (const auto tr = showInto(m, reply)) state.CurrentTR = *tr;
    } else if (m == QLatin1String("T1")) {
        // Without a PR of this instrument the time would be another instrument's.
        setBox("lblIntegrationTime",
               prRead ? integrationTimeText(state.CurrentPR, reply.valueIfAny()) : texts::NoValue);
    } else if (m == QLatin1String("UN")) {
        if (showInto(m, reply) == QStringLiteral("0")) setUserFactorShown(true);
    } else if (m == QLatin1String("ZS")) {
        if (reply.answered()) update_->setEnabled(true);
        const auto taring = valueOf(reply, m);
        showCoded(box("lblZS"), *catalogue::find(m), reply);
        if (taring) showTaring(context(), *taring);
    } else {
        showInto(m, reply);
        if (m == QLatin1String("IC")) showOutputType();
    }
}

void ConfigurationPage::start() {
    AppState& state = main_.state();
    if (ids_->currentIndex() < 0 || ids_->currentText().isEmpty()) {
        main_.setLeftMessage(texts::NoInstrument);
        return;
    }
    state.ReadTimeout = state.CommTimeout + 1.0;
    hourglass();
    main_.setLeftMessage(QString());
    main_.setMiddleMessage(texts::ReadingParameters);
    start_->setEnabled(false);
    setBox("lblserialNum", QString());
    setBox("lblSoftwareVersion", QString());
    state.AddressPrefix = addressPrefixFor(ids_->currentText());

    const int broken = main_.link().brokenLines();
    bool prRead = false;
    const bool read =
        pages::readConfiguration(main_.channel(), state.ReadTimeout,
                                 [&](const QString& m, const Reply& r) { showRead(m, r, prRead); });
    if (!read) {
        normalPointer();
        if (main_.link().brokenLines() == broken) // else the line's own message said it
            main_.op().message(texts::CantReadSN, QStringLiteral("Warning"), Operator::Icon::Exclamation);
        main_.setMiddleMessage(QString());
        return;
    }

    normalPointer();
    command_->setText(state.AddressPrefix);
    main_.setMiddleMessage(QString());
    main_.setActionEnabled(QStringLiteral("mnuPrint"), true);
}

void ConfigurationPage::beep() {
    command_->clear();
    main_.runtime().pump();
    if (start_->isEnabled()) {
        main_.setLeftMessage(texts::StartFirst);
        return;
    }
    hourglass();
    // One line, no wake-up star, nothing read: the instrument answers with its beeper.
    sendCommand(main_.channel(), readCommand(main_.state().AddressPrefix, QStringLiteral("BP")),
                main_.state().ReadTimeout, CommandStep{});
    normalPointer();
}

void ConfigurationPage::updateTaring() {
    AppState& state = main_.state();
    update_->setEnabled(false);
    hourglass();
    Reply zs;
    {
        const Transaction t(main_.channel(), false);
        main_.link().WakeUp();
        t.send(readCommand(state.AddressPrefix, QStringLiteral("ZS")));
        zs = t.readAnswer(QStringLiteral("ZS"), state.ReadTimeout, 0.5);
    }
    main_.setLeftMessage(QString());
    main_.setMiddleMessage(QString());

    const QString taring = zs.holdsValue() ? zs.value() : QString();
    const auto shown = catalogue::find(QStringLiteral("ZS"))->show(taring);
    box("lblZS")->showReading(QStringLiteral("ZS"), zs.line, shown.value_or(texts::Unrecognised));
    showTaring(context(), taring);
    if (taring == QLatin1String("1") || taring == QLatin1String("2")) {
        Reply zv;
        {
            const Transaction t(main_.channel(), false);
            t.send(readCommand(state.AddressPrefix, QStringLiteral("ZV")));
            zv = t.readAnswer(QStringLiteral("ZV"), state.ReadTimeout, 0.5);
        }
        if (zv.answered())
            box("lblZV")->showReading(QStringLiteral("ZV"), zv.line,
                                      zv.holdsValue() ? zv.value() : texts::NoValue);
    }
    update_->setEnabled(true);
    normalPointer();
}

} // namespace cvi

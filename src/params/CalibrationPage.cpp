#include "CalibrationPage.h"

#include "Frames.h"
#include "PageHeader.h"
#include "PageHost.h"
#include "PageReads.h"
#include "Pointer.h"
#include "ResponseLog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace cvi {

using namespace catalogue;

CalibrationPage::CalibrationPage(PageHost& host) : main_(host) {
    setObjectName(QStringLiteral("pageCalibration"));
    build();
}

PageContext CalibrationPage::context() const {
    const QPointer<const CalibrationPage> self(this);
    return PageContext{start_, command_, log_, [self](const QString& name) -> QLabel* {
                           return self ? self->findChild<QLabel*>(name) : nullptr;
                       }};
}

ValueBox* CalibrationPage::box(const QString& name) const {
    return findChild<ValueBox*>(name);
}

void CalibrationPage::build() {
    const PageHeader header = PageHeader::build(
        main_, this, {"cboCalibration", "cmdCalibrationStart", "lblCmd", "txtCalResponse"},
        main_.state().CalLineCount, ResponseLog::Rules{10, texts::CopyHint, texts::CopyHintFocus, true});
    QGridLayout* top = header.layout;
    ids_ = header.ids;
    start_ = header.start;
    command_ = header.command;
    log_ = header.log;

    auto makeFrame = [this](const char* name, const char* title) {
        QGroupBox* f = boxFrame(QString::fromLatin1(name), QString::fromLatin1(title), this);
        main_.blankHint(f);
        return f;
    };
    auto addBox = [this](QGroupBox* f, const QString& name, const QString& text) {
        const int row = f->layout()->count() / 2; // a caption and a box per row
        ValueBox* b = addValueBox(f, name, text, main_.state().Record, row);
        boxes_ << b;
        return b;
    };
    auto addCoefficients = [&](QGroupBox* f, std::initializer_list<const char*> mnemonics) {
        for (const char* m : mnemonics) {
            const Parameter* p = catalogue::find(QString::fromLatin1(m));
            addBox(f, p->box, p->boxCaption());
        }
    };

    QGroupBox* info = makeFrame("fraCalInformation", "Instrument Information");
    addBox(info, QStringLiteral("lblSN"), QStringLiteral("Serial Number"));
    addBox(info, QStringLiteral("lblVer"), QStringLiteral("Software Version"));
    QGroupBox* pressure = makeFrame("fraPressure", "Pressure");
    addCoefficients(pressure, {"PA", "PM", "TC"});
    QGroupBox* cd = makeFrame("fraCDCoefficients", "C , D Coefficients");
    addCoefficients(cd, {"C1", "C2", "C3", "D1", "D2"});
    QGroupBox* t = makeFrame("fraTCoefficients", "T Coefficients");
    addCoefficients(t, {"T1", "T2", "T3", "T4", "T5"});
    QGroupBox* temperature = makeFrame("fraTemperature", "Temperature");
    addCoefficients(temperature, {"U0"});
    QGroupBox* y = makeFrame("fraYCoefficients", "Y Coefficients");
    addCoefficients(y, {"Y1", "Y2", "Y3"});

    auto* frames = new QGridLayout;
    frames->addWidget(info, 0, 0);
    frames->addWidget(pressure, 1, 0);
    frames->addWidget(cd, 0, 1, 2, 1);
    frames->addWidget(t, 0, 2, 2, 1);
    frames->addWidget(temperature, 2, 0);
    frames->addWidget(y, 2, 1, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(frames, 1);

    main_.onIdChosen(ids_, [this] { selectInstrument(); });
    connect(start_, &QPushButton::clicked, this, [this] {
        if (!runPageExchange(main_, context(), [this] { start(); })) start_->setEnabled(true);
    });
    followInstrumentInformation(main_, box(QStringLiteral("lblSN")), box(QStringLiteral("lblVer")));
    const PageContext page = context();
    for (ValueBox* b : boxes_)
        attachValueBox(main_, page, b);
    hintStartButton(main_, start_);
}

void CalibrationPage::selectInstrument() {
    AppState& state = main_.state();
    state.CurrentSN.clear();
    state.CurrentVR.clear();
    emit main_.informationCleared();
    start_->setEnabled(true);
    main_.setActionEnabled(QStringLiteral("mnuPrint"), false);
    main_.setLeftMessage(texts::PushStart);
    main_.setMiddleMessage(QString());
    main_.syncIdLists(ids_);
    state.AddressPrefix = addressPrefixFor(ids_->currentText());
    state.Record.clear(ids_->currentText());
    log_->clear();
    command_->clear();
    state.CalLineCount = 0;
    for (ValueBox* b : boxes_)
        b->show(QString());
}

void CalibrationPage::start() {
    AppState& state = main_.state();
    if (ids_->currentIndex() < 0 || ids_->currentText().isEmpty()) {
        main_.setLeftMessage(texts::NoInstrument);
        return;
    }
    state.ReadTimeout = state.CommTimeout + 1.0;
    state.AddressPrefix = addressPrefixFor(ids_->currentText());
    start_->setEnabled(false);
    for (ValueBox* b : boxes_)
        b->show(QString());
    hourglass();
    main_.setMiddleMessage(texts::ReadingParameters);
    const int broken = main_.link().brokenLines();
    const bool read =
        pages::readCalibration(main_.channel(), state.ReadTimeout, [&](const QString& m, const Reply& reply) {
            const auto value = valueOf(main_, reply, m);
            if (m == QLatin1String("SN")) {
                box(QStringLiteral("lblSN"))->showReading(m, reply.line, value.value_or(texts::NoValue));
                state.CurrentSN = value.value_or(QString());
            } else if (m == QLatin1String("VR")) {
                box(QStringLiteral("lblVer"))->showReading(m, reply.line, value.value_or(texts::NoValue));
                state.CurrentVR = value.value_or(QString());
            } else {
                box(catalogue::find(m)->box)->showReading(m, reply.line, value.value_or(texts::NoValue));
            }
        });
    if (!read) {
        normalPointer();
        if (main_.link().brokenLines() == broken) // else the line's own message said it
            main_.op().message(texts::CantReadSN, QStringLiteral("Warning"), Operator::Icon::Exclamation);
        main_.setMiddleMessage(QString());
        return;
    }

    main_.runtime().pump();
    command_->clear();
    main_.setMenusEnabled(true);
    main_.setMiddleMessage(QString());
    main_.setActionEnabled(QStringLiteral("mnuPrint"), true);
    normalPointer();
}

} // namespace cvi

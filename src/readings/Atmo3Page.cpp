#include "Atmo3Page.h"

#include "Frames.h"
#include "PageCommands.h"
#include "PageHeader.h"
#include "PageHost.h"
#include "PageReads.h"
#include "Pointer.h"
#include "ResponseLog.h"
#include "ValueBox.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace cvi {

namespace {

const QString ClickToStart = QStringLiteral("Click to start !");
const QString ReadingParameters = QStringLiteral("Reading Parameters...");
const QString CopyHint = QStringLiteral("To copy select and press Ctrl+C");
// The Atmo 3 system wakes up on a broadcast address rather than a lone star.

// The "&Atmo3" page: the coefficients of the meteorological system's two analog channels, read by
// Start in a fixed order and each edited by a click on its box.
class Atmo3Page : public QWidget {
public:
    explicit Atmo3Page(PageHost& host) : main_(host) {
        setObjectName(QStringLiteral("pageAtmo3"));
        build();
    }

    QComboBox* idList() const { return ids_; }
    void showCommand(const QString& text) { command_->setText(text); }

private:
    void build();
    PageContext context() const;
    void selectInstrument();
    void start();

    PageHost& main_;
    QComboBox* ids_ = nullptr;
    QPushButton* start_ = nullptr;
    QLabel* command_ = nullptr;
    ResponseLog* log_ = nullptr;
    ValueBox* serial_ = nullptr;
    ValueBox* version_ = nullptr;
    QList<ValueBox*> coefficients_; // in reading order
};

PageContext Atmo3Page::context() const {
    const QPointer<const Atmo3Page> self(this);
    return PageContext{start_, command_, log_, [self](const QString& name) -> QLabel* {
                           return self ? self->findChild<QLabel*>(name) : nullptr;
                       }};
}

void Atmo3Page::build() {
    const PageHeader header =
        PageHeader::build(main_, this, {"cboAnalog", "cmdAnalogSend", "PnlCmdBox", "txtAnalogResponse"},
                          main_.state().AnalogLineCount, ResponseLog::Rules{22, CopyHint, QString(), true});
    ids_ = header.ids;
    start_ = header.start;
    command_ = header.command;
    log_ = header.log;

    InstrumentRecord& record = main_.state().Record;
    QGroupBox* info =
        boxFrame(QStringLiteral("fraAnalogInformation"), QStringLiteral("Instrument Information"), this);
    serial_ = addValueBox(info, QStringLiteral("lblSerNum"), QStringLiteral("Serial Number"), record, 0);
    version_ = addValueBox(info, QStringLiteral("lblVersion"), QStringLiteral("Software Version"), record, 1);

    QGroupBox* channel1 =
        boxFrame(QStringLiteral("fraChannel1"), QStringLiteral("Channel 1 (Temperature)"), this);
    QGroupBox* channel2 =
        boxFrame(QStringLiteral("fraChannel2"), QStringLiteral("Channel 2 (Humidity)"), this);
    const QStringList& order = catalogue::atmo3Order();
    for (int i = 0; i < order.size(); ++i) {
        const catalogue::Parameter* p = catalogue::find(order[i]);
        QGroupBox* frame = order[i].endsWith('1') ? channel1 : channel2;
        coefficients_ << addValueBox(frame, p->box, p->boxCaption(), record, i % 7);
    }

    auto* frames = new QGridLayout;
    frames->addWidget(info, 0, 0);
    frames->addWidget(channel1, 0, 1);
    frames->addWidget(channel2, 0, 2);
    frames->setRowStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header.layout);
    layout->addLayout(frames, 1);

    main_.onIdChosen(ids_, [this] { selectInstrument(); });
    connect(start_, &QPushButton::clicked, this, [this] {
        // A page that could not be read because the port failed still needs its Start.
        if (!runPageExchange(main_, context(), [this] { start(); })) start_->setEnabled(true);
    });
    followInstrumentInformation(main_, serial_, version_);
    const PageContext page = context();
    for (ValueBox* b : coefficients_)
        main_.attachValueBox(page, b);
    main_.hint(start_, ClickToStart);
    for (QGroupBox* f : {info, channel1, channel2})
        main_.blankHint(f);
}

void Atmo3Page::selectInstrument() {
    AppState& state = main_.state();
    state.CurrentSN.clear();
    state.CurrentVR.clear();
    emit main_.informationCleared();
    main_.setActionEnabled(QStringLiteral("mnuPrint"), false);
    start_->setEnabled(true);
    main_.setLeftMessage(texts::PleaseClickStart);
    main_.setMiddleMessage(QString());
    main_.syncIdLists(ids_);
    state.AddressPrefix = addressPrefixFor(ids_->currentText());
    state.Record.clear(ids_->currentText());
    log_->clear();
    state.AnalogLineCount = 0;
    command_->clear();
    for (ValueBox* b : coefficients_)
        b->show(QString());
}

void Atmo3Page::start() {
    AppState& state = main_.state();
    if (ids_->currentIndex() < 0 || ids_->currentText().isEmpty()) {
        main_.setLeftMessage(texts::NoInstrument);
        return;
    }
    main_.setLeftMessage(QString());
    main_.setMiddleMessage(ReadingParameters);
    start_->setEnabled(false);
    main_.setActionEnabled(QStringLiteral("mnuPrint"), true);
    serial_->show(QString());
    version_->show(QString());
    main_.runtime().pump();
    hourglass();
    const Channel channel = main_.channel();
    const double timeout = state.ReadTimeout;

    QMap<QString, ValueBox*> boxes;
    for (ValueBox* box : coefficients_)
        boxes.insert(box->objectName().mid(3), box);
    // Each value is on screen as soon as it has come, before the next read.
    const int broken = main_.link().brokenLines();
    const bool answered =
        pages::readAtmo3(channel, timeout, [&](const QString& mnemonic, const Reply& reply) {
            const auto value = valueOf(main_, reply, mnemonic);
            if (mnemonic == QStringLiteral("SN")) {
                serial_->showReading(mnemonic, reply.line, value.value_or(texts::NoValue));
                state.CurrentSN = value.value_or(QString());
            } else if (mnemonic == QStringLiteral("VR")) {
                version_->showReading(mnemonic, reply.line, value.value_or(texts::NoValue));
                state.CurrentVR = value.value_or(QString());
            } else if (ValueBox* box = boxes.value(mnemonic)) {
                box->showReading(mnemonic, reply.line, value.value_or(texts::NoValue));
            }
        });
    if (!answered) {
        normalPointer();
        if (main_.link().brokenLines() == broken) // else the line's own message said it
            main_.op().message(texts::CantReadSN, QStringLiteral("Warning"), Operator::Icon::Exclamation);
        main_.setMiddleMessage(QString());
        return;
    }

    main_.setMenusEnabled(true);
    main_.setLeftMessage(QString());
    main_.setMiddleMessage(QString());
    normalPointer();
}

} // namespace

CommandBox installAtmo3Page(PageHost& host) {
    auto* page = new Atmo3Page(host);
    host.setPage(PageHost::Atmo3, page);
    host.registerIdList(PageHost::Atmo3, page->idList());
    const QPointer<Atmo3Page> shown(page);
    return [shown](const QString& text) {
        if (shown) shown->showCommand(text);
    };
}

} // namespace cvi

#include "Session.h"

#include "Detection.h"
#include "Frames.h"
#include "PortFactory.h"
#include "SettingsFile.h"

#include <QJsonValue>

namespace cvi::ctl {

void fail(int status, const QString& message) {
    throw Failure{status, message};
}

QString visible(const QByteArray& bytes) {
    QString text;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\r')
            text += QStringLiteral("<CR>");
        else if (c == '\n')
            text += QStringLiteral("<LF>");
        else if (c < 0x20 || c >= 0x7F)
            text += QStringLiteral("<%1>").arg(c, 2, 16, QLatin1Char('0'));
        else
            text += QChar::fromLatin1(ch);
    }
    return text;
}

// ---- the tracing port ---------------------------------------------------------------------------

TracingPort::TracingPort(std::unique_ptr<SerialPort> inner, std::function<void(const QString&)> trace)
    : inner_(std::move(inner)), trace_(std::move(trace)) {
    QObject::connect(inner_.get(), &SerialPort::readyRead, this, &SerialPort::readyRead);
    QObject::connect(inner_.get(), &SerialPort::deviceLost, this, &SerialPort::deviceLost);
}

TracingPort::~TracingPort() {
    flush();
}

void TracingPort::open(const PortSettings& settings) {
    inner_->open(settings);
    partial_.clear();
}

void TracingPort::close() {
    flush();
    inner_->close();
}

void TracingPort::write(const QByteArray& bytes) {
    inner_->write(bytes);
    if (trace_) trace_(QStringLiteral("> ") + visible(bytes));
}

QByteArray TracingPort::read(int maxBytes) {
    QByteArray bytes = inner_->read(maxBytes);
    if (!trace_) return bytes;
    for (const char c : bytes) {
        partial_ += c;
        if (c == '\n' || static_cast<unsigned char>(c) == 0x8A) flush();
    }
    return bytes;
}

void TracingPort::discardInput() {
    const int dropped = inner_->bytesWaiting();
    inner_->discardInput();
    flush();
    if (trace_ && dropped > 0) trace_(QStringLiteral("< (%1 characters dropped)").arg(dropped));
}

void TracingPort::flush() {
    if (partial_.isEmpty() || !trace_) return;
    trace_(QStringLiteral("< ") + visible(partial_));
    partial_.clear();
}

// ---- the session ----------------------------------------------------------------------------------

namespace {
// The detection's progress: on stderr for detect, silent otherwise.
class Progress : public detection::DetectionObserver {
public:
    Progress(Runtime& runtime, std::function<void(const QString&)> say, QList<detection::ScanLine>& lines)
        : runtime_(runtime), say_(std::move(say)), lines_(lines) {}
    void breathe(double maxWait) override { runtime_.pump(maxWait); }
    void probing(int baudRate, double wait) override {
        if (say_) say_(QStringLiteral("probing at %1 baud (up to %2 s)").arg(baudRate).arg(wait));
    }
    void scanning(double wait) override {
        if (say_) say_(QStringLiteral("asking every instrument for its version (%1 s)").arg(wait));
    }
    void line(const detection::ScanLine& line) override {
        if (!line.echo()) lines_ << line;
    }

private:
    Runtime& runtime_;
    std::function<void(const QString&)> say_;
    QList<detection::ScanLine>& lines_;
};
} // namespace

Session::Session(Context& context, const Options& options, const Io& io)
    : context_(context), options_(options), io_(io), map_(PortMap::fromEnvironment(context.env)) {
    for (const QString& mapping : options.com)
        map_.applyOverride(mapping);
    slot_ = options.slot > 0 ? options.slot : settings_file::storedPortIndex(folder()) + 1;
    if (!options.port.isEmpty()) map_.setDevice(slot_, options.port);
    state_.Link.port = slotName();
    state_.ProgramFolder = folder();

    PortFactory factory;
    factory.map = map_;
    auto trace = options.verbose ? io.err : std::function<void(const QString&)>();
    PortMaker make = context.makePort;
    factory.maker = [make, trace](const QString& device) -> std::unique_ptr<SerialPort> {
        std::unique_ptr<SerialPort> port = make(device);
        if (!port) return nullptr;
        return std::make_unique<TracingPort>(std::move(port), trace);
    };
    link_ = std::make_unique<Link>(context.runtime, map_, factory.create());
}

Session::~Session() {
    if (link_) link_->ClosePort();
}

QString Session::folder() const {
    return options_.folder.isEmpty() ? context_.folder : options_.folder;
}

QString Session::slotName() const {
    return QStringLiteral("COM %1").arg(slot_);
}

QString Session::device() const {
    return map_.device(slot_);
}

void Session::note(const QString& text) const {
    io_.err(text);
}

QJsonObject Session::portJson() const {
    const LinkSettings& s = state_.Link;
    return QJsonObject{{"slot", slotName()},
                       {"device", device()},
                       {"baud", s.baud > 0 ? QJsonValue(s.baud) : QJsonValue()},
                       {"parity", s.parity ? QJsonValue(s.parityText()) : QJsonValue()},
                       {"data_bits", s.dataBits > 0 ? QJsonValue(s.dataBits) : QJsonValue()},
                       {"stop_bits", s.stopBits}};
}

void Session::connect(bool needIds, bool progress) {
    Progress observer(context_.runtime, progress ? io_.err : std::function<void(const QString&)>(), lines_);
    // For link, --baud and --parity are the settings to come; the ones in use are --current-*.
    const bool link = options_.command == QLatin1String("link");
    const std::optional<int> givenBaud = link ? options_.currentBaud : options_.baud;
    const char givenParity = link ? options_.currentParity : options_.parity;
    int baud = 0;
    if (givenBaud) {
        baud = *givenBaud;
        state_.Link = LinkSettings::of(slotName(), baud, givenParity ? givenParity : 'N');
    } else {
        const std::optional<int> rate = detection::probeBaudRate(*link_, slotName(), observer);
        if (!rate)
            fail(NoResponse,
                 QStringLiteral("no echo of the probe on %1 (%2) at any baud rate from 19200 down to "
                                "300: check the connections and that no instrument streams readings")
                     .arg(slotName(), device()));
        baud = *rate;
        needIds = true;
    }
    if (needIds) {
        lines_.clear();
        const detection::Scan found = detection::scanLoop(*link_, slotName(), baud, observer);
        if (found.count == 0 || found.ids.isEmpty())
            fail(NoResponse,
                 QStringLiteral("There is no Corvanel Instrument at this port! (%1, %2 at %3 baud)")
                     .arg(slotName(), device())
                     .arg(baud));
        const char parity = givenBaud && givenParity ? givenParity : (found.parity ? found.parity : 'N');
        state_.Link = LinkSettings::of(slotName(), baud, parity);
        state_.IDList = found.ids;
        state_.InstrumentCount = static_cast<qint16>(found.count);
        idsKnown_ = true;
        if (found.mixed()) note(QStringLiteral("warning: the instruments answered with different parities"));
    }
    state_.CommTimeout = detection::commTimeoutFor(baud, idsKnown_ ? state_.InstrumentCount : 1);
    state_.ReadTimeout = readTimeout();
}

double Session::readTimeout() const {
    return options_.timeout ? *options_.timeout : state_.CommTimeout + 1.0;
}

Channel Session::channelTo(const QString& id) {
    if (idsKnown_ && !state_.idListHolds(id)) {
        QStringList ids;
        for (int i = 0; i < state_.idCount(); ++i)
            ids << state_.idAt(i);
        fail(Refused, QStringLiteral("instrument %1 is not on the loop on %2 (found %3)")
                          .arg(id, slotName(), ids.join(QStringLiteral(", "))));
    }
    state_.AddressPrefix = addressPrefixFor(id);
    if (state_.Record.id != id) state_.Record.clear(id);
    return channelOf(*link_, state_);
}

Channel Session::channel() {
    return channelTo(options_.id);
}

QStringList Session::streaming() {
    QStringList found;
    if (detection::listenForUnasked(*link_, state_.Link) == 0) return found;
    for (int i = 0; i < state_.idCount(); ++i) {
        const QString id = state_.idAt(i);
        const std::optional<QString> md = detection::modeIn(detection::askMode(*link_, state_.Link, id));
        if (!md)
            note(QStringLiteral("Can't detect the MD value for ID=%1.").arg(id));
        else if (*md == QLatin1String("2") || *md == QLatin1String("3"))
            found << id + *md;
    }
    return found;
}

} // namespace cvi::ctl

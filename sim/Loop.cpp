#include "Loop.h"

namespace cvi::sim {

// ---- wire log ----

void WireLog::add(double time, WireEvent::Dir dir, const QByteArray& bytes) {
    // Characters arriving back to back are kept together.
    if (dir == WireEvent::Dir::ToHost && !events_.isEmpty() && events_.last().dir == dir &&
        time - events_.last().time < 0.0021 && !events_.last().bytes.endsWith('\n')) {
        events_.last().bytes += bytes;
        events_.last().time = time;
        return;
    }
    events_.append({time, dir, bytes});
}

QList<WireEvent> WireLog::writes() const {
    QList<WireEvent> out;
    for (const auto& e : events_)
        if (e.dir == WireEvent::Dir::FromHost) out.append(e);
    return out;
}

QByteArray WireLog::written() const {
    QByteArray out;
    for (const auto& e : events_)
        if (e.dir == WireEvent::Dir::FromHost) out += e.bytes;
    return out;
}

QByteArray WireLog::received() const {
    QByteArray out;
    for (const auto& e : events_)
        if (e.dir == WireEvent::Dir::ToHost) out += e.bytes;
    return out;
}

QStringList WireLog::writtenTexts() const {
    QStringList out;
    for (const auto& e : events_) {
        if (e.dir != WireEvent::Dir::FromHost) continue;
        QByteArray rest = e.bytes;
        while (!rest.isEmpty()) {
            const int lf = static_cast<int>(rest.indexOf('\n'));
            if (lf < 0) {
                out << QString::fromLatin1(rest);
                break;
            }
            out << QString::fromLatin1(rest.left(lf + 1));
            rest.remove(0, lf + 1);
        }
    }
    return out;
}

double WireLog::timeOfWrite(const QByteArray& bytes, double from) const {
    for (const auto& e : events_)
        if (e.dir == WireEvent::Dir::FromHost && e.time >= from && e.bytes == bytes) return e.time;
    return -1.0;
}

// ---- loop ----

Loop::Loop(Scheduler& scheduler, LoopConfig config, QObject* parent)
    : QObject(parent), scheduler_(scheduler), config_(std::move(config)) {
    for (int i = 0; i < config_.instruments.size(); ++i)
        instruments_.push_back(std::make_unique<Instrument>(*this, i, config_.instruments[i]));
}

Loop::~Loop() = default;

Instrument* Loop::instrument(const QString& id) {
    for (auto& i : instruments_)
        if (i->id() == id) return i.get();
    return nullptr;
}

double Loop::hop(int index) const {
    if (config_.hopDelay >= 0) return config_.hopDelay;
    if (index < 0 || index >= static_cast<int>(instruments_.size())) return charTime(config_.baud);
    return charTime(instruments_[index]->baud());
}

unsigned char Loop::encode(unsigned char c, char parity, int dataBits) {
    if (dataBits >= 8 || parity == 'N') return c;
    const unsigned char data = c & 0x7F;
    int ones = 0;
    for (int b = 0; b < 7; ++b)
        ones += (data >> b) & 1;
    const bool bit = parity == 'E' ? (ones % 2 == 1) : (ones % 2 == 0);
    return static_cast<unsigned char>(data | (bit ? 0x80 : 0));
}

unsigned char Loop::decode(unsigned char image, int dataBits) {
    return dataBits >= 8 ? image : static_cast<unsigned char>(image & 0x7F);
}

unsigned char Loop::noise(unsigned char image) {
    // What a receiver at the wrong rate assembles: mostly break-like bytes, never a star or a
    // line end.
    static const unsigned char junk[] = {0x00, 0x80, 0xF0, 0xFE, 0xFF, 0xE0, 0xF8, 0x78, 0x06, 0x9E};
    noiseState_ = noiseState_ * 1103515245u + 12345u + image;
    return junk[(noiseState_ >> 16) % (sizeof junk)];
}

bool Loop::attach(const void* owner, const HostFrame& frame, std::function<void(const QByteArray&)> deliver) {
    if (lost_) return false;
    if (owner_ && owner_ != owner) return false;
    owner_ = owner;
    host_ = frame;
    deliver_ = std::move(deliver);
    return true;
}

void Loop::detach(const void* owner) {
    if (owner_ != owner) return;
    owner_ = nullptr;
    deliver_ = nullptr;
}

void Loop::loseDevice() {
    lost_ = true;
    owner_ = nullptr;
    deliver_ = nullptr;
    tx_.clear();
    if (onDeviceLost) onDeviceLost();
}

void Loop::setInstrumentsBaud(int baud) {
    for (auto& i : instruments_)
        i->setBaud(baud);
}

void Loop::hostWrite(const QByteArray& bytes) {
    const double now = scheduler_.now();
    if (config_.lostAfterWrites > 0 && ++writes_ == config_.lostAfterWrites)
        scheduler_.at(now + 0.01, [this] {
            if (!lost_ && config_.lostAfterWrites > 0) loseDevice();
        });
    wire_.add(now, WireEvent::Dir::FromHost, bytes);
    const int dataBits = host_.parity == 'N' ? 8 : host_.dataBits;
    for (char b : bytes)
        tx_.push_back({encode(static_cast<unsigned char>(b), host_.parity, dataBits), host_.baud, now});
    if (txFree_ < now) txFree_ = now;
    pumpTx();
}

void Loop::pumpTx() {
    if (txArmed_ || tx_.empty()) return;
    // The computer's transmitter sends one character after another at its own rate.
    const Pending& head = tx_.front();
    const double done = std::max(txFree_, head.ready) + charTime(head.senderBaud);
    txArmed_ = true;
    scheduler_.at(done, [this, done] {
        txArmed_ = false;
        if (tx_.empty()) return;
        const Pending p = tx_.front();
        tx_.pop_front();
        txFree_ = done;
        arrive(0, p.image, p.senderBaud, done);
        pumpTx();
    });
}

void Loop::carry(int from, const QByteArray& images, double t) {
    const int next = from + 1;
    const int baud = from >= 0 && from < size() ? instruments_[from]->baud() : host_.baud;
    const double when = t + (from >= 0 ? hop(from) : 0.0);
    for (char b : images)
        arrive(next, static_cast<unsigned char>(b), baud, when);
}

void Loop::carryLater(int from, const QByteArray& images, double t) {
    scheduler_.at(t, [this, from, images, t] { carry(from, images, t); });
}

void Loop::arrive(int index, unsigned char image, int senderBaud, double t) {
    if (index >= size()) {
        rx_.push_back({image, senderBaud, t});
        pumpRx();
        return;
    }
    Instrument& inst = *instruments_[index];
    if (senderBaud != inst.baud()) image = noise(image);
    const QByteArray out = inst.feed(image, t);
    if (!out.isEmpty()) carry(index, out, t);
}

void Loop::pumpRx() {
    if (rxArmed_ || rx_.empty()) return;
    // The line into the computer carries one character after another at the last
    // instrument's rate.
    const Pending& head = rx_.front();
    const double done = std::max(rxFree_, head.ready) + charTime(head.senderBaud);
    rxArmed_ = true;
    scheduler_.at(done, [this, done] {
        rxArmed_ = false;
        if (rx_.empty()) return;
        const Pending p = rx_.front();
        rx_.pop_front();
        rxFree_ = done;
        if (owner_ && deliver_ && !lost_ && !config_.cut) {
            unsigned char image = p.image;
            if (p.senderBaud != host_.baud) image = noise(image);
            const int dataBits = host_.parity == 'N' ? 8 : host_.dataBits;
            const QByteArray byte(1, static_cast<char>(decode(image, dataBits)));
            wire_.add(done, WireEvent::Dir::ToHost, byte);
            deliver_(byte);
        }
        pumpRx();
    });
}

} // namespace cvi::sim

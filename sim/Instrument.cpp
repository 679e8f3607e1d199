#include "Instrument.h"

#include "Loop.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace cvi::sim {

namespace {
const QStringList& singleSet() {
    static const QStringList s = {"P1", "P3", "Q1", "Q3", "N1", "N2", "TT", "RH", "A1", "A2"};
    return s;
}
const QStringList& holdSet() {
    static const QStringList s = {"P5", "P6", "Q5", "Q6"};
    return s;
}
const QStringList& continuousSet() {
    static const QStringList s = {"P2", "P4", "P7", "Q2", "Q4"};
    return s;
}
const QStringList& readOnly() {
    static const QStringList s = {"SN", "VR", "TC"};
    return s;
}

double number(const QString& text, double fallback = 0.0) {
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(v) ? v : fallback;
}

QString fixed(double v, int decimals) {
    if (!std::isfinite(v)) v = 0.0;
    return QString::number(v, 'f', std::clamp(decimals, 0, 8));
}

QString general(double v) {
    return QString::number(v, 'g', 8);
}

bool isBaud(int b) {
    return b == 150 || b == 300 || b == 600 || b == 1200 || b == 2400 || b == 4800 || b == 9600 || b == 19200;
}
} // namespace

Instrument::Instrument(Loop& loop, int index, const InstrumentConfig& config)
    : loop_(loop), index_(index), config_(config), id_(config.id),
      parity_(config.parity ? config.parity : loop.config().parity),
      baud_(config.baud ? config.baud : loop.config().baud),
      junkSeed_(0x9E3779B9u + static_cast<unsigned>(index)) {
    // The factory calibration: the sensor's periods follow from the pressure and temperature it
    // is exposed to through these coefficients, and the instrument turns the periods back into
    // readings with whatever coefficients it holds now.
    factory_ = {{"U0", 5.8},    {"Y1", -3900.0}, {"Y2", -10000.0}, {"Y3", 0.0},  {"C1", 120.0}, {"C2", 1.5},
                {"C3", -20.0},  {"D1", 0.03},    {"D2", 0.0},      {"T1", 30.1}, {"T2", 0.6},   {"T3", 30.0},
                {"T4", 0.0},    {"T5", 0.0},     {"E1", -40.0},    {"F1", 30.0}, {"G1", 0.5},   {"K1", 0.0},
                {"M1", 0.0001}, {"Z1", 30000.0}, {"E2", 0.0},      {"F2", 25.0}, {"G2", 0.3},   {"H2", 0.0},
                {"K2", 0.0},    {"M2", 0.0001},  {"Z2", 20000.0}};

    params_ = {{"SN", config.serial},
               {"VR", config.version},
               {"BL", "0"},
               {"BR", QString::number(baud_)},
               {"PT", QString(QChar(parity_))},
               {"MD", config.streamingFromStart ? "2" : "0"},
               {"PR", "238"},
               {"TR", "952"},
               {"AR", "0"},
               {"UN", "1"},
               {"UF", "1.000000"},
               {"UM", "USER"},
               {"TU", "0"},
               {"PA", "0.0000"},
               {"PM", "1.000000"},
               {"TC", "0.9998542"}};
    for (const char* c : {"U0", "Y1", "Y2", "Y3", "C1", "C2", "C3", "D1", "D2", "T1", "T2", "T3", "T4", "T5"})
        params_.insert(c, general(factory_.value(c)));
    if (!config.version.startsWith('M')) {
        params_.insert("DD", "0");
        params_.insert("DP", "4");
        params_.insert("LL", "0.0000");
        params_.insert("LH", "30.0000");
        params_.insert("IM", "0");
        params_.insert("IC", "0");
        params_.insert("OP", "35.0000");
        params_.insert("ZS", "0");
        params_.insert("ZV", "0.0000");
        params_.insert("ZL", "0");
    }
    if (config.atmo3) {
        for (const char* c : {"E1", "F1", "G1", "K1", "M1", "Z1", "E2", "F2", "G2", "H2", "K2", "M2", "Z2"})
            params_.insert(c, general(factory_.value(c)));
        params_.insert("H1", "RHT-2");
    }
    for (auto it = config.params.begin(); it != config.params.end(); ++it)
        params_.insert(it.key(), it.value());
    if (streaming()) scheduleStream(loop_.scheduler().now() + 0.5);
}

void Instrument::setParam(const QString& mnemonic, const QString& value) {
    params_.insert(mnemonic, value);
    if (mnemonic == QStringLiteral("MD")) {
        ++streamGeneration_;
        if (streaming()) scheduleStream(loop_.scheduler().now() + sampleSeconds());
    }
}

void Instrument::setBaud(int baud) {
    baud_ = baud;
    params_.insert(QStringLiteral("BR"), QString::number(baud));
}

unsigned char Instrument::image(unsigned char c) const {
    return Loop::encode(c, parity_, parity_ == 'N' ? 8 : 7);
}

QByteArray Instrument::passOn(const QByteArray& images) const {
    if (loop_.config().transparentRepeat) return images;
    QByteArray out;
    out.reserve(images.size());
    for (char b : images) {
        const unsigned char data = Loop::decode(static_cast<unsigned char>(b), parity_ == 'N' ? 8 : 7);
        out.append(static_cast<char>(image(data)));
    }
    return out;
}

QByteArray Instrument::feed(unsigned char img, double t) {
    const unsigned char c = Loop::decode(img, parity_ == 'N' ? 8 : 7);
    const char ch = static_cast<char>(c);
    QByteArray out;

    // A star starts a command afresh, except the one that opens the write after an enable-write
    // in the same line.
    const bool inWrite = (mode_ == Mode::Mine || mode_ == Mode::Broadcast) && text_.endsWith("EW");
    if (ch == '*' && !inWrite) {
        held_ = QByteArray(1, static_cast<char>(img));
        text_ = "*";
        mode_ = Mode::Header;
        return out;
    }

    switch (mode_) {
    case Mode::Idle:
        return passOn(QByteArray(1, static_cast<char>(img)));
    case Mode::Pass:
        if (ch == '\n') mode_ = Mode::Idle;
        return passOn(QByteArray(1, static_cast<char>(img)));
    case Mode::Header: {
        held_.append(static_cast<char>(img));
        text_.append(ch);
        if (ch == '\r' || ch == '\n') {
            mode_ = ch == '\n' ? Mode::Idle : Mode::Pass;
            out = passOn(held_);
            held_.clear();
            return out;
        }
        if (text_.size() < 3) return out;
        const QString dest = QString::fromLatin1(text_.mid(1, 2));
        if (dest == id_) {
            mode_ = Mode::Mine;
        } else if (dest == QStringLiteral("99")) {
            mode_ = Mode::Broadcast;
        } else {
            mode_ = Mode::Pass;
            out = passOn(held_);
            held_.clear();
        }
        return out;
    }
    case Mode::Mine:
    case Mode::Broadcast:
        held_.append(static_cast<char>(img));
        text_.append(ch);
        if (text_.size() > 256) { // no command is this long: drop it
            mode_ = Mode::Idle;
            held_.clear();
            text_.clear();
            return out;
        }
        if (ch != '\n') return out;
        {
            const Mode was = mode_;
            const QByteArray line = text_;
            mode_ = Mode::Idle;
            held_.clear();
            text_.clear();
            ++linesHandled_;
            if (was == Mode::Mine) {
                lineForMe(line, t);
                return out;
            }
            return lineForAll(line, t);
        }
    }
    return out;
}

QString Instrument::finish(const QString& text) const {
    return text + (config_.faults.missingCR ? QStringLiteral("\n") : QStringLiteral("\r\n"));
}

void Instrument::send(const QString& text, double t, bool later) {
    if (config_.faults.silent || text.isEmpty()) return;
    QByteArray images;
    if (config_.faults.garbage) {
        // Junk of the reply's length: no star, no line end.
        std::uint32_t s = junkSeed_;
        for (int i = 0; i < text.size() + 2; ++i) {
            s = s * 1664525u + 1013904223u;
            unsigned char b = static_cast<unsigned char>(s >> 24);
            if (b == '*' || b == '\r' || b == '\n' || b == 0x8A || b == 0x8D || b == 0xAA) b = 0xFF;
            images.append(static_cast<char>(b));
        }
        junkSeed_ = s;
    } else {
        const QByteArray bytes = finish(text).toLatin1();
        for (char b : bytes)
            images.append(static_cast<char>(image(static_cast<unsigned char>(b))));
    }
    const double delay = loop_.config().answerDelay + config_.faults.slowSeconds;
    if (later || delay > 0)
        loop_.carryLater(index_, images, t + delay);
    else
        loop_.carry(index_, images, t);
}

void Instrument::lineForMe(const QByteArray& line, double t) {
    // "*" + destination + source + body + CR LF
    QString body = QString::fromLatin1(line.mid(5));
    while (body.endsWith('\n') || body.endsWith('\r'))
        body.chop(1);
    // A single or held measurement still running is finished and sent before the answer; a
    // continuous output is simply ended by the command.
    const bool measuring =
        busyUntil_ > t && !continuous() && !streaming() && loop_.config().finishMeasurementFirst;
    stopContinuous();
    bool deferred = false;
    QString reply = execute(body, false, t, deferred);
    // A parameter reply ("*0001PR=238") names another parameter; data replies carry no mnemonic.
    if (config_.faults.wrongMnemonic && reply.size() >= 8 && reply[7] == '=') reply.replace(5, 2, "XX");
    if (!deferred) {
        if (measuring && !reply.isEmpty())
            send(reply, busyUntil_ + 1e-6, true);
        else
            send(reply, t);
    }
    applyLineChanges();
}

QByteArray Instrument::lineForAll(const QByteArray& line, double t) {
    QString body = QString::fromLatin1(line.mid(5));
    while (body.endsWith('\n') || body.endsWith('\r'))
        body.chop(1);
    const QString source = QString::fromLatin1(line.mid(3, 2));
    stopContinuous();

    QByteArray forward = line;
    QString reply;
    if (body == QStringLiteral("ID")) {
        // Renumbering: take the number after the one in the source field, pass on our own.
        bool ok = false;
        const int from = source.toInt(&ok);
        if (ok && from >= 0 && from < 98) {
            id_ = QStringLiteral("%1").arg(from + 1, 2, 10, QLatin1Char('0'));
            forward = "*99" + id_.toLatin1() + "ID\r\n";
            emit loop_.instrumentsChanged();
        }
    } else {
        bool deferred = false;
        reply = execute(body, true, t, deferred);
        if (deferred) reply.clear();
        if (config_.faults.wrongMnemonic && reply.size() >= 7) reply.replace(5, 2, QStringLiteral("XX"));
    }

    QByteArray images;
    if (!(loop_.config().broken && loop_.isLast(index_)))
        for (char b : forward)
            images.append(static_cast<char>(image(static_cast<unsigned char>(b))));

    // Our answer goes first; the broadcast follows it around the loop.
    const double delay = loop_.config().answerDelay + config_.faults.slowSeconds;
    const bool answering = !reply.isEmpty() && !config_.faults.silent;
    send(reply, t);
    applyLineChanges();
    if (answering && delay > 0) {
        if (!images.isEmpty()) loop_.carryLater(index_, images, t + delay);
        return {};
    }
    return images;
}

QString Instrument::parameterReply(const QString& mnemonic) const {
    return QStringLiteral("*00") + id_ + mnemonic + QStringLiteral("=") + params_.value(mnemonic);
}

QString Instrument::dataReply(const QString& value) const {
    QString v = value;
    if (config_.faults.questionMark && v.size() > 2) v[v.size() - 2] = '?';
    return QStringLiteral("*00") + id_ + v;
}

QString Instrument::execute(const QString& body, bool broadcast, double t, bool& deferred) {
    deferred = false;
    QString cmd = body;
    bool enabled = false;
    if (cmd.startsWith(QStringLiteral("EW"))) {
        // Enable-write: the write that follows in the same line must be for this instrument
        // (or for all, in a broadcast).
        const QString rest = cmd.mid(2);
        if (rest.size() < 5 || rest[0] != '*') return {};
        const QString dest = rest.mid(1, 2);
        cmd = rest.mid(5);
        // An enable-write for another instrument does not unlock this one.
        enabled = dest == id_ || (broadcast && dest == QStringLiteral("99"));
    }
    if (cmd.size() < 2) return {};
    const QString mnemonic = cmd.left(2);
    const int eq = static_cast<int>(cmd.indexOf('='));
    if (eq == 2) {
        const QString value = cmd.mid(3);
        if (mnemonic == QStringLiteral("DV") || mnemonic == QStringLiteral("DR"))
            return {}; // shown on the display
        if (!has(mnemonic)) return {};
        write(mnemonic, value, enabled);
        return parameterReply(mnemonic);
    }
    if (cmd.size() != 2) return {};
    if (config_.faults.unanswered.contains(mnemonic)) return {};

    if (singleSet().contains(mnemonic)) {
        const bool analog = mnemonic == "N1" || mnemonic == "N2" || mnemonic == "TT" || mnemonic == "RH" ||
                            mnemonic == "A1" || mnemonic == "A2";
        if (analog && !config_.atmo3) return {};
        const double duration = analog ? 0.2 : sampleSeconds();
        const double start = std::max(t, busyUntil_);
        busyUntil_ = start + duration;
        deferred = true;
        send(dataReply(sampleValue(mnemonic, busyUntil_)), busyUntil_, true);
        return {};
    }
    if (holdSet().contains(mnemonic)) {
        const double start = std::max(t, busyUntil_);
        busyUntil_ = start + sampleSeconds();
        const QString value = sampleValue(mnemonic == "P5"   ? "P3"
                                          : mnemonic == "P6" ? "P1"
                                          : mnemonic == "Q5" ? "Q3"
                                                             : "Q1",
                                          busyUntil_);
        hold_.append(value);
        if (hold_.size() > 16) hold_.removeFirst();
        return {};
    }
    if (mnemonic == QStringLiteral("DB") || mnemonic == QStringLiteral("DS")) {
        if (hold_.isEmpty()) return {};
        const QString value = mnemonic == QStringLiteral("DS") ? hold_.takeFirst() : hold_.last();
        if (busyUntil_ > t) {
            deferred = true;
            send(dataReply(value), busyUntil_, true);
            return {};
        }
        return dataReply(value);
    }
    if (continuousSet().contains(mnemonic)) {
        startContinuous(mnemonic, t);
        return {};
    }
    if (mnemonic == QStringLiteral("CS")) {
        std::uint32_t sum = 0;
        for (auto it = params_.begin(); it != params_.end(); ++it)
            for (QChar c : it.value())
                sum = sum * 31u + c.unicode();
        return QStringLiteral("*00") + id_ + QStringLiteral("CS=") +
               QStringLiteral("%1").arg(sum & 0xFFFFu, 4, 16, QLatin1Char('0')).toUpper();
    }
    if (mnemonic == QStringLiteral("MC")) return QStringLiteral("*00") + id_ + QStringLiteral("MC=Y");
    if (mnemonic == QStringLiteral("DC") || mnemonic == QStringLiteral("BP") ||
        mnemonic == QStringLiteral("EW"))
        return {};
    if (has(mnemonic)) return parameterReply(mnemonic);
    return {};
}

bool Instrument::write(const QString& mnemonic, const QString& value, bool enabled) {
    if (config_.faults.refusedWrites.contains(mnemonic)) return false;
    const bool lineSetting = mnemonic == QStringLiteral("BR") || mnemonic == QStringLiteral("PT");
    if (lineSetting) {
        // The loop's line settings need no enable-write; the baud lock protects them.
        if (params_.value(QStringLiteral("BL")) != QStringLiteral("0")) return false;
        if (mnemonic == QStringLiteral("BR")) {
            const int b = value.trimmed().toInt();
            if (!isBaud(b)) return false;
            pendingBaud_ = b;
            params_.insert("BR", QString::number(b));
        } else {
            const QString p = value.trimmed().toUpper();
            if (p != "N" && p != "E" && p != "O") return false;
            pendingParity_ = p[0].toLatin1();
            params_.insert("PT", p);
        }
        return true;
    }
    if (!enabled || readOnly().contains(mnemonic)) return false;
    if (mnemonic == QStringLiteral("PR")) {
        const double pr = number(value, -1);
        if (pr < 1 || pr > 16383 || std::floor(pr) != pr) return false;
        params_.insert("PR", QString::number(static_cast<int>(pr)));
        params_.insert("TR", QString::number(4 * static_cast<int>(pr)));
        return true;
    }
    if (mnemonic == QStringLiteral("TR")) {
        const double tr = number(value, -1);
        if (tr < 1 || tr > 65535) return false;
        params_.insert("TR", QString::number(static_cast<int>(tr)));
        return true;
    }
    if (mnemonic == QStringLiteral("UN")) {
        const QString code = value.trimmed();
        if (code.size() != 1 || code[0] < '0' || code[0] > '8') return false;
        // Values kept in pressure units follow the unit.
        const double from = unitFactor(params_.value("UN"));
        const double to = unitFactor(code);
        params_.insert("UN", code);
        const int dp = params_.contains("DP") ? params_.value("DP").toInt() : 4;
        for (const char* m : {"PA", "OP", "ZV"})
            if (params_.contains(m) && from > 0)
                params_.insert(m, fixed(number(params_.value(m)) / from * to, dp));
        return true;
    }
    if (mnemonic == QStringLiteral("MD")) {
        const QString code = value.trimmed();
        if (code.size() != 1 || code[0] < '0' || code[0] > '3') return false;
        setParam("MD", code);
        return true;
    }
    if (mnemonic == QStringLiteral("DP")) {
        const int dp = value.trimmed().toInt();
        if (value.trimmed().isEmpty() || dp < 0 || dp > 6) return false;
        params_.insert("DP", QString::number(dp));
        return true;
    }
    if (mnemonic == QStringLiteral("ZS")) {
        const QString code = value.trimmed();
        if (code == "0") {
            params_.insert("ZS", "0");
        } else if (code == "1") {
            // Taring requested: after one measurement the zero is taken and taring is on.
            params_.insert("ZS", "1");
            const double when = std::max(loop_.scheduler().now(), busyUntil_) + sampleSeconds();
            loop_.scheduler().at(when, [this, when] {
                if (params_.value("ZS") != "1") return;
                params_.insert("ZS", "0");
                const double p = pressureReading(when);
                params_.insert("ZV", fixed(p, params_.value("DP").toInt()));
                params_.insert("ZS", "2");
            });
        } else {
            return false;
        }
        return true;
    }
    params_.insert(mnemonic, value);
    return true;
}

void Instrument::applyLineChanges() {
    if (pendingBaud_ == 0 && pendingParity_ == 0) return;
    // The new settings take effect once this instrument's answer and the passing broadcast are
    // on their way.
    const int baud = pendingBaud_;
    const char parity = pendingParity_;
    pendingBaud_ = 0;
    pendingParity_ = 0;
    const double when = loop_.scheduler().now() + 40 * loop_.charTime(baud_);
    loop_.scheduler().at(when, [this, baud, parity] {
        if (baud) baud_ = baud;
        if (parity) parity_ = parity;
        params_.insert("BR", QString::number(baud_));
        params_.insert("PT", QString(QChar(parity_)));
        emit loop_.instrumentsChanged();
    });
}

double Instrument::coeff(const QString& mnemonic) const {
    return number(params_.value(mnemonic), factory_.value(mnemonic));
}

double Instrument::unitFactor(const QString& un) const {
    switch (un.trimmed().toInt()) {
    case 1:
        return 1.0;
    case 2:
        return 68.94757;
    case 3:
        return 0.06894757;
    case 4:
        return 6.894757;
    case 5:
        return 0.006894757;
    case 6:
        return 2.036021;
    case 7:
        return 51.71493;
    case 8:
        return 0.7030696;
    case 0:
        return number(params_.value("UF"), 1.0);
    }
    return 1.0;
}

double Instrument::solveTemperaturePeriodOffset(double temperature, double y1, double y2, double y3) {
    double u = y1 != 0 ? temperature / y1 : 0.0;
    for (int i = 0; i < 40; ++i) {
        const double f = y1 * u + y2 * u * u + y3 * u * u * u - temperature;
        const double df = y1 + 2 * y2 * u + 3 * y3 * u * u;
        if (df == 0) break;
        const double next = u - f / df;
        if (std::fabs(next - u) < 1e-15) break;
        u = next;
    }
    return u;
}

double Instrument::temperaturePeriod(double t) const {
    const double temperature = config_.sensorTemperature + 0.05 * std::sin(t / 53.0);
    const double uw =
        solveTemperaturePeriodOffset(temperature, factory_["Y1"], factory_["Y2"], factory_["Y3"]);
    return factory_["U0"] + uw;
}

double Instrument::pressurePeriod(double t) const {
    const double p = config_.pressurePsi + 0.0015 * std::sin(t / 37.0) + 0.0004 * std::sin(t / 3.1);
    const double uw = temperaturePeriod(t) - factory_["U0"];
    const double c = factory_["C1"] + factory_["C2"] * uw + factory_["C3"] * uw * uw;
    const double d = factory_["D1"] + factory_["D2"] * uw;
    const double t0 = factory_["T1"] + factory_["T2"] * uw + factory_["T3"] * uw * uw +
                      factory_["T4"] * std::pow(uw, 3) + factory_["T5"] * std::pow(uw, 4);
    double x = p / c;
    if (d != 0) {
        const double disc = c * c - 4 * c * d * p;
        if (disc >= 0) x = (c - std::sqrt(disc)) / (2 * c * d);
    }
    x = std::clamp(x, -0.9, 0.95);
    return t0 / std::sqrt(1.0 - x);
}

double Instrument::pressurePsi(double t) const {
    const double tau = pressurePeriod(t);
    const double uw = temperaturePeriod(t) - coeff("U0");
    const double c = coeff("C1") + coeff("C2") * uw + coeff("C3") * uw * uw;
    const double d = coeff("D1") + coeff("D2") * uw;
    const double t0 = coeff("T1") + coeff("T2") * uw + coeff("T3") * uw * uw + coeff("T4") * std::pow(uw, 3) +
                      coeff("T5") * std::pow(uw, 4);
    const double x = 1.0 - (t0 / tau) * (t0 / tau);
    return c * x * (1.0 - d * x);
}

double Instrument::pressureReading(double t) const {
    double p = pressurePsi(t) * unitFactor(params_.value("UN"));
    p = p * coeff("PM") + coeff("PA");
    if (params_.value("ZS") == QStringLiteral("2")) p -= number(params_.value("ZV"));
    return p;
}

double Instrument::temperatureReading(double t) const {
    const double uw = temperaturePeriod(t) - coeff("U0");
    const double celsius = coeff("Y1") * uw + coeff("Y2") * uw * uw + coeff("Y3") * uw * uw * uw;
    return params_.value("TU") == QStringLiteral("1") ? celsius * 9.0 / 5.0 + 32.0 : celsius;
}

int Instrument::channelCount(int channel, double t) const {
    const QString n = QString::number(channel);
    const double target = channel == 1 ? config_.airTemperature + 0.02 * std::sin(t / 41.0)
                                       : config_.humidity + 0.1 * std::sin(t / 29.0);
    const double e = factory_["E" + n], f = factory_["F" + n], g = factory_["G" + n];
    const double h = channel == 2 ? factory_["H2"] : 0.0, k = factory_["K" + n];
    double v = f != 0 ? (target - e) / f : 0.0;
    for (int i = 0; i < 40; ++i) {
        const double y = channel == 1 ? e + f * v + g * v * v + k * v * v * v
                                      : e + f * v + g * v * v + h * v * v * v + k * v * v * v * v;
        const double dy =
            channel == 1 ? f + 2 * g * v + 3 * k * v * v : f + 2 * g * v + 3 * h * v * v + 4 * k * v * v * v;
        if (dy == 0) break;
        v -= (y - target) / dy;
    }
    const double m = factory_["M" + n];
    const double count = m != 0 ? v / m + factory_["Z" + n] : factory_["Z" + n];
    return static_cast<int>(std::lround(std::clamp(count, 0.0, 65535.0)));
}

double Instrument::channelValue(int channel, double t) const {
    const QString n = QString::number(channel);
    const double v = (channelCount(channel, t) - coeff("Z" + n)) * coeff("M" + n);
    if (channel == 1) return coeff("E1") + coeff("F1") * v + coeff("G1") * v * v + coeff("K1") * v * v * v;
    return coeff("E2") + coeff("F2") * v + coeff("G2") * v * v + coeff("H2") * v * v * v +
           coeff("K2") * v * v * v * v;
}

QString Instrument::formattedPressure(double t) const {
    const int dp = params_.contains("DP") ? std::clamp(params_.value("DP").toInt(), 0, 6) : 4;
    const double p = pressureReading(t);
    const QString text = fixed(std::fabs(p), dp);
    return (p < 0 && text.toDouble() != 0.0 ? QStringLiteral("-") : QStringLiteral(" ")) + text;
}

QString Instrument::sampleValue(const QString& m, double t) const {
    if (m == "P3" || m == "P4" || m == "P7") return formattedPressure(t);
    if (m == "P1" || m == "P2") return QStringLiteral(" ") + fixed(pressurePeriod(t), 6);
    if (m == "Q1" || m == "Q2") return QStringLiteral(" ") + fixed(temperaturePeriod(t), 6);
    if (m == "Q3" || m == "Q4") {
        const double v = temperatureReading(t);
        return (v < 0 ? QStringLiteral("-") : QStringLiteral(" ")) + fixed(std::fabs(v), 2);
    }
    const int decimals = params_.value("AR") == QStringLiteral("1") ? 2 : 1;
    if (m == "N1") return QStringLiteral(" ") + QString::number(channelCount(1, t));
    if (m == "N2") return QStringLiteral(" ") + QString::number(channelCount(2, t));
    if (m == "TT" || m == "A1") {
        const double v = channelValue(1, t);
        return (v < 0 ? QStringLiteral("-") : QStringLiteral(" ")) + fixed(std::fabs(v), decimals);
    }
    if (m == "RH" || m == "A2") return QStringLiteral(" ") + fixed(channelValue(2, t), 1);
    return {};
}

double Instrument::sampleSeconds() const {
    if (config_.measurementSeconds >= 0) return config_.measurementSeconds;
    const double pr = std::max(1.0, number(params_.value("PR"), 238));
    const double tr = std::max(1.0, number(params_.value("TR"), 952));
    const int k = std::lround(coeff("T1")) > 33 ? 60 : 33;
    return std::max(0.05, 0.8 * (k * pr + 6 * tr) / 10000.0);
}

bool Instrument::streaming() const {
    const QString md = params_.value("MD");
    return md == QStringLiteral("2") || md == QStringLiteral("3");
}

void Instrument::startContinuous(const QString& mnemonic, double t) {
    continuousMnemonic_ = mnemonic;
    ++streamGeneration_;
    busyUntil_ = std::max(t, busyUntil_) + sampleSeconds();
    const std::uint64_t generation = streamGeneration_;
    loop_.scheduler().at(busyUntil_, [this, generation] { streamTick(generation); });
}

void Instrument::stopContinuous() {
    if (!continuousMnemonic_.isEmpty()) {
        continuousMnemonic_.clear();
        ++streamGeneration_;
        if (streaming()) scheduleStream(loop_.scheduler().now() + sampleSeconds());
    }
}

void Instrument::scheduleStream(double t) {
    const std::uint64_t generation = streamGeneration_;
    loop_.scheduler().at(t, [this, generation] { streamTick(generation); });
}

void Instrument::streamTick(std::uint64_t generation) {
    if (generation != streamGeneration_) return;
    const QString m = continuous() ? continuousMnemonic_ : (streaming() ? QStringLiteral("P4") : QString());
    if (m.isEmpty()) return;
    const double now = loop_.scheduler().now();
    if (mode_ == Mode::Pass || mode_ == Mode::Mine || mode_ == Mode::Broadcast || loop_.backlogged()) {
        // Never in the middle of a passing line: try again once it has gone by.
        loop_.scheduler().at(now + 20 * loop_.charTime(baud_),
                             [this, generation] { streamTick(generation); });
        return;
    }
    send(dataReply(sampleValue(m, now)), now, true);
    busyUntil_ = now + sampleSeconds();
    loop_.scheduler().at(busyUntil_, [this, generation] { streamTick(generation); });
}

} // namespace cvi::sim

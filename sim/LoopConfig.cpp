#include "LoopConfig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cvi::sim {

LoopConfig LoopConfig::demo() {
    LoopConfig c;
    c.baud = 9600;
    c.parity = 'N';
    InstrumentConfig a;
    a.id = "01";
    a.serial = "104512";
    a.version = "5.10";
    InstrumentConfig m;
    m.id = "02";
    m.serial = "87120";
    m.version = "M2.04";
    m.pressurePsi = 14.5120;
    InstrumentConfig atmo;
    atmo.id = "03";
    atmo.serial = "300417";
    atmo.version = "A3-1.20";
    atmo.atmo3 = true;
    atmo.pressurePsi = 14.6022;
    c.instruments = {a, m, atmo};
    return c;
}

LoopConfig LoopConfig::numbered(int n, int baud, char parity) {
    LoopConfig c;
    c.baud = baud;
    c.parity = parity;
    for (int i = 1; i <= n; ++i) {
        InstrumentConfig ic;
        ic.id = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        ic.serial = QString::number(100000 + i);
        c.instruments.append(ic);
    }
    return c;
}

bool LoopConfig::validId(const QString& id) {
    if (id.size() != 2) return false;
    for (const QChar c : id)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return id != QLatin1String("00") && id != QLatin1String("99");
}

bool LoopConfig::validBaud(int baud) {
    for (const int b : {300, 600, 1200, 2400, 4800, 9600, 19200})
        if (baud == b) return true;
    return false;
}

namespace {
bool parityOf(const QJsonValue& v, char& out, QString* error, const QString& where) {
    if (v.isUndefined()) return true;
    const QString p = v.toString().toUpper();
    if (p != "N" && p != "E" && p != "O") {
        if (error) *error = QStringLiteral("%1: parity must be \"N\", \"E\" or \"O\"").arg(where);
        return false;
    }
    out = p[0].toLatin1();
    return true;
}
} // namespace

bool LoopConfig::fromJson(const QByteArray& json, LoopConfig& out, QString* error) {
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (doc.isNull() || !doc.isObject()) {
        if (error) *error = QStringLiteral("not a JSON object: %1").arg(pe.errorString());
        return false;
    }
    const QJsonObject o = doc.object();
    LoopConfig c;
    c.baud = o.value("baud").toInt(c.baud);
    if (!validBaud(c.baud)) {
        if (error) *error = QStringLiteral("loop: baud must be 300, 600, 1200, 2400, 4800, 9600 or 19200");
        return false;
    }
    if (!parityOf(o.value("parity"), c.parity, error, "loop")) return false;
    c.transparentRepeat = o.value("transparentRepeat").toBool(false);
    c.broken = o.value("broken").toBool(false);
    c.cut = o.value("cut").toBool(false);
    c.lostAfterWrites = o.value("lostAfterWrites").toInt(0);
    if (c.lostAfterWrites < 0) {
        if (error) *error = QStringLiteral("loop: lostAfterWrites must be 0 or more");
        return false;
    }
    c.answerDelay = o.value("answerDelay").toDouble(0.0);
    c.hopDelay = o.value("hopDelay").toDouble(-1.0);
    c.finishMeasurementFirst = o.value("finishMeasurementFirst").toBool(true);
    const QJsonArray list = o.value("instruments").toArray();
    for (int i = 0; i < list.size(); ++i) {
        const QJsonObject io = list[i].toObject();
        InstrumentConfig ic;
        ic.id = io.value("id").toString(QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')));
        if (!validId(ic.id)) {
            if (error)
                *error = QStringLiteral("instrument %1: id must be two digits from 01 to 98").arg(i + 1);
            return false;
        }
        ic.serial = io.value("serial").toString(QString::number(100000 + i + 1));
        ic.version = io.value("version").toString(ic.version);
        ic.atmo3 = io.value("atmo3").toBool(false);
        if (!parityOf(io.value("parity"), ic.parity, error, "instrument " + ic.id)) return false;
        ic.baud = io.value("baud").toInt(0);
        if (ic.baud != 0 && !validBaud(ic.baud)) {
            if (error)
                *error =
                    QStringLiteral("instrument %1: baud must be 300, 600, 1200, 2400, 4800, 9600 or 19200")
                        .arg(ic.id);
            return false;
        }
        ic.streamingFromStart = io.value("streamingFromStart").toBool(false);
        ic.measurementSeconds = io.value("measurementSeconds").toDouble(-1.0);
        ic.pressurePsi = io.value("pressurePsi").toDouble(ic.pressurePsi);
        ic.sensorTemperature = io.value("sensorTemperature").toDouble(ic.sensorTemperature);
        ic.airTemperature = io.value("airTemperature").toDouble(ic.airTemperature);
        ic.humidity = io.value("humidity").toDouble(ic.humidity);
        const QJsonObject params = io.value("params").toObject();
        for (auto it = params.begin(); it != params.end(); ++it)
            ic.params.insert(it.key(), it.value().toString());
        const QJsonObject f = io.value("faults").toObject();
        ic.faults.silent = f.value("silent").toBool(false);
        ic.faults.slowSeconds = f.value("slowSeconds").toDouble(0.0);
        ic.faults.garbage = f.value("garbage").toBool(false);
        ic.faults.missingCR = f.value("missingCR").toBool(false);
        ic.faults.questionMark = f.value("questionMark").toBool(false);
        ic.faults.wrongMnemonic = f.value("wrongMnemonic").toBool(false);
        for (const QJsonValue& m : f.value("refusedWrites").toArray())
            ic.faults.refusedWrites << m.toString();
        c.instruments.append(ic);
    }
    out = c;
    return true;
}

QString LoopConfig::jsonHelp() {
    return QStringLiteral(
        "{\n"
        "  \"baud\": 9600, \"parity\": \"N\",        loop settings (parity N, E or O)\n"
        "  \"transparentRepeat\": false,         repeat passing characters bit for bit (mixed parity)\n"
        "  \"broken\": false,                    broadcasts never come back around the loop\n"
        "  \"cut\": false,                       the wire into the computer is cut: nothing comes back\n"
        "  \"lostAfterWrites\": 0,               the device vanishes 10 ms after the program's n-th write\n"
        "                                      (0: never); on a pseudo-terminal the link goes too\n"
        "  \"answerDelay\": 0.0,                 seconds before an instrument answers\n"
        "  \"hopDelay\": -1,                     seconds per instrument for passing characters (-1: one "
        "character)\n"
        "  \"finishMeasurementFirst\": true,     a measuring instrument sends its reading before it "
        "answers\n"
        "  \"instruments\": [\n"
        "    { \"id\": \"01\", \"serial\": \"100001\", \"version\": \"5.10\", \"atmo3\": false,\n"
        "      \"parity\": \"E\", \"baud\": 9600,       this instrument's own settings (default: the "
        "loop's)\n"
        "      \"streamingFromStart\": false,     powers up with MD=2\n"
        "      \"measurementSeconds\": -1,        one measurement's duration (-1: from PR, TR and T1)\n"
        "      \"pressurePsi\": 14.6959, \"sensorTemperature\": 22.5,\n"
        "      \"airTemperature\": 18.3, \"humidity\": 45.2,\n"
        "      \"params\": { \"PR\": \"238\", \"UN\": \"2\" },\n"
        "      \"faults\": { \"silent\": false, \"slowSeconds\": 0, \"garbage\": false,\n"
        "                  \"missingCR\": false, \"questionMark\": false, \"wrongMnemonic\": false,\n"
        "                  \"refusedWrites\": [\"BL\"] } }          parameters whose writes it refuses\n"
        "  ]\n"
        "}\n");
}

} // namespace cvi::sim

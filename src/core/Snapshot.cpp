#include "Snapshot.h"

#include "Edits.h"
#include "Frames.h"
#include "OptionTable.h"
#include "PageCommands.h"
#include "PageReads.h"

#include <QFile>
#include <QJsonDocument>

namespace cvi::snapshot {

using catalogue::Page;

QStringList pageNames() {
    return {QStringLiteral("configuration"), QStringLiteral("calibration"), QStringLiteral("atmo3")};
}

QString pageName(Page page) {
    return pageNames().value(static_cast<int>(page));
}

QString shownFor(const catalogue::Parameter& p, const std::optional<QString>& value) {
    if (!value) return texts::NoValue;
    static const QStringList modes = {"0", "1", "2", "3"};
    if (p.mnemonic == QLatin1String("MD") && modes.contains(*value)) {
        const int md = value->toInt();
        return QStringLiteral("Display %1, Continuous RS-232 %2")
            .arg(md & 1 ? QStringLiteral("On") : QStringLiteral("Off"),
                 md & 2 ? QStringLiteral("On") : QStringLiteral("Off"));
    }
    return p.show(*value).value_or(texts::Unrecognised);
}

bool sameValue(const QString& a, const QString& b) {
    if (a.trimmed() == b.trimmed()) return true;
    return isNumeric(a) && isNumeric(b) && leadingNumber(a.trimmed()) == leadingNumber(b.trimmed());
}

QJsonArray parametersJson(const QList<Parameter>& parameters) {
    QJsonArray array;
    for (const Parameter& r : parameters) {
        const catalogue::Parameter& p = *catalogue::find(r.name);
        array.append(QJsonObject{{"name", r.name},
                                 {"page", r.page},
                                 {"caption", p.boxCaption()},
                                 {"value", r.value ? QJsonValue(*r.value) : QJsonValue()},
                                 {"shown", r.shown},
                                 {"writable", p.editable()}});
    }
    return array;
}

QJsonObject portJson(const QString& slot, const QString& device, const LinkSettings& s) {
    return QJsonObject{{"slot", slot},
                       {"device", device},
                       {"baud", s.baud > 0 ? QJsonValue(s.baud) : QJsonValue()},
                       {"parity", s.parity ? QJsonValue(s.parityText()) : QJsonValue()},
                       {"data_bits", s.dataBits > 0 ? QJsonValue(s.dataBits) : QJsonValue()},
                       {"stop_bits", s.stopBits}};
}

QJsonObject document(const QString& id, const QStringList& pages, const QList<Parameter>& parameters,
                     const std::optional<QString>& integrationTime, const QJsonObject& port) {
    return QJsonObject{{"command", "read"},
                       {"port", port},
                       {"id", id},
                       {"pages", QJsonArray::fromStringList(pages)},
                       {"parameters", parametersJson(parameters)},
                       {"integration_time", integrationTime ? QJsonValue(*integrationTime) : QJsonValue()},
                       {"status", 0},
                       {"error", QJsonValue()}};
}

QList<Parameter> fromRecord(const AppState& state, QStringList* pages) {
    const InstrumentRecord& record = state.Record;
    QList<Parameter> out;
    QStringList read;
    for (const QString& page : pageNames()) {
        for (const catalogue::Parameter& p : catalogue::all()) {
            if (pageName(p.page) != page || !record.has(p.mnemonic)) continue;
            const Reply reply{record.reply(p.mnemonic)};
            // A value box shows what the instrument told, or the answer typed for the limits.
            std::optional<QString> value = reply.valueIfAny();
            if (p.showsAnswer && reply.answered() && record.shown(p.mnemonic) != texts::NoValue)
                value = record.shown(p.mnemonic);
            if (p.mnemonic == QLatin1String("BR") || p.mnemonic == QLatin1String("PT")) continue;
            out << Parameter{p.mnemonic, page, value, shownFor(p, value)};
            if (p.mnemonic == QLatin1String("VR") && page == QLatin1String("configuration")) {
                out << Parameter{"BR", page, state.Link.baudText(), state.Link.baudText()};
                out << Parameter{"PT", page, state.Link.parityText(), state.Link.parityText()};
            }
            if (!read.contains(page)) read << page;
        }
    }
    if (pages) *pages = read;
    return out;
}

QString problemOf(const QJsonObject& doc) {
    if (doc.value("command").toString() != QLatin1String("read"))
        return QStringLiteral("no \"command\": \"read\"");
    if (doc.value("status").toInt(-1) != 0) return QStringLiteral("it records a read that failed");
    if (!doc.value("parameters").isArray()) return QStringLiteral("no \"parameters\" list");
    const QJsonArray pages = doc.value("pages").toArray();
    if (pages.isEmpty()) return QStringLiteral("no \"pages\" list");
    for (const QJsonValue page : pages)
        if (!pageNames().contains(page.toString()))
            return QStringLiteral("unknown page \"%1\"").arg(page.toString());
    for (const QJsonValue v : doc.value("parameters").toArray()) {
        const QJsonObject p = v.toObject();
        if (!v.isObject() || !catalogue::find(p.value("name").toString()))
            return QStringLiteral("unknown parameter \"%1\"").arg(p.value("name").toString());
        if (!p.value("value").isString() && !p.value("value").isNull())
            return QStringLiteral("the value of %1 is not text").arg(p.value("name").toString());
    }
    return {};
}

std::optional<QJsonObject> load(const QString& path, QString* why) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why) *why = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(file.read(qint64{16} * 1024 * 1024), &error);
    QString problem;
    if (error.error != QJsonParseError::NoError)
        problem = error.errorString();
    else if (!json.isObject())
        problem = QStringLiteral("no \"command\": \"read\"");
    else
        problem = problemOf(json.object());
    if (!problem.isEmpty()) {
        if (why)
            *why =
                QStringLiteral("%1 is not a document written by 'cvictl read --json': %2").arg(path, problem);
        return std::nullopt;
    }
    return json.object();
}

Plan plan(const QJsonObject& source, const QMap<QString, std::optional<QString>>& current,
          const QString& id) {
    Plan result;
    result.sourceId = source.value("id").toString();
    bool unitChanges = false;
    for (const QJsonValue v : source.value("parameters").toArray()) {
        const QJsonObject o = v.toObject();
        const catalogue::Parameter& p = *catalogue::find(o.value("name").toString());
        if (p.mnemonic == QLatin1String("SN")) result.serial = o.value("value").toString();
        // The serial number and version are the instrument's own: never a difference to write.
        if (p.mnemonic == QLatin1String("SN") || p.mnemonic == QLatin1String("VR")) continue;
        if (o.value("value").isNull() || !current.contains(p.mnemonic)) continue;
        const QString wanted = o.value("value").toString();
        const std::optional<QString> here = current.value(p.mnemonic);
        // After a new unit the instrument has rescaled what it keeps in pressure units.
        const bool rescaled =
            unitChanges && (p.mnemonic == QLatin1String("PA") || p.mnemonic == QLatin1String("OP"));
        if (here && *here == wanted && !rescaled) continue;
        QString why;
        if (!p.editable())
            why = QStringLiteral("read-only");
        else if (p.mnemonic == QLatin1String("BL"))
            why = QStringLiteral("it would change every instrument of the loop; use 'set --id NN BL=...'");
        else if (p.mnemonic == QLatin1String("ZS") || p.mnemonic == QLatin1String("ZV"))
            why = QStringLiteral("taring is the instrument's own state");
        else if (!here)
            why = QStringLiteral("instrument %1 did not answer for it").arg(id);
        result.differences << Difference{p.mnemonic, here, wanted, why};
        if (!why.isEmpty()) continue;
        // The unit goes first, its factor with it: the other values are then taken in that unit.
        if (p.mnemonic == QLatin1String("UN") || p.mnemonic == QLatin1String("UF")) {
            result.writes.insert(p.mnemonic == QLatin1String("UN")
                                     ? 0
                                     : static_cast<int>(std::min<qsizetype>(1, result.writes.size())),
                                 {&p, wanted});
            if (p.mnemonic == QLatin1String("UN")) unitChanges = true;
        } else {
            result.writes.append({&p, wanted});
        }
    }
    return result;
}

QStringList plannedLines(const catalogue::Parameter& p, const QString& value, const QString& prefix) {
    const QString wake = QStringLiteral("*");
    const QString write = pageLine(writeCommand(prefix, p.mnemonic, value));
    auto readLine = [&prefix](const char* m) {
        return pageLine(readCommand(prefix, QString::fromLatin1(m)));
    };
    QStringList lines;
    if (p.mnemonic == QLatin1String("BL")) return {pageLine(broadcastWrite(p.mnemonic, value))};
    if (p.mnemonic == QLatin1String("UN")) lines << readLine("VR");
    lines << wake;
    if (p.secondWakeUp) lines << wake;
    lines << write;
    if (p.mnemonic == QLatin1String("PR")) lines << readLine("TR") << readLine("T1");
    if (p.mnemonic == QLatin1String("ZV")) lines << readLine("ZS");
    if (p.mnemonic == QLatin1String("ZS") && value == QLatin1String("1"))
        lines << readLine("ZS") << readLine("ZV");
    if (p.mnemonic == QLatin1String("UN"))
        for (const QString& m : options::unitRereadsFor(false))
            lines << pageLine(readCommand(prefix, m));
    return lines;
}

Change write(const Channel& channel, const catalogue::Parameter& p, const QString& value, double timeout,
             int instrumentCount) {
    Change c(p.mnemonic, value);
    const QString& m = p.mnemonic;
    auto fromEcho = [&c](const QString& echo) {
        c.echo = echo;
        c.answered = !echo.isEmpty();
        c.value = ParameterValue(echo);
        c.confirmed = !c.value.isEmpty();
    };
    if (p.edit == catalogue::Edit::Prompt) {
        const edit::PromptWrite w = edit::writePrompted(channel, p, value, timeout);
        c.echo = w.echo.line;
        c.answered = w.echo.answered();
        c.confirmed = w.confirmed;
        c.value = w.echo.holdsValue() ? w.echo.value() : QString();
        if (p.showsAnswer && c.confirmed) c.value = value;
        if (w.tr && w.tr->answered()) c.rereads.append({"TR", w.tr->value()});
        if (w.zs) c.rereads.append({"ZS", shownFor(*catalogue::find("ZS"), w.zs->valueIfAny())});
        if (m == QLatin1String("PR")) {
            const Reply t1 = edit::readIntegrationT1(channel, timeout);
            c.rereads.append({"integration_time", edit::integrationTimeText(c.value, t1.valueIfAny())});
        }
    } else if (m == QLatin1String("BL")) {
        const QStringList lines = writeBaudLock(channel, value, instrumentCount, timeout);
        const options::BaudLockAnswers answers = options::baudLockAnswers(lines, value);
        c.echo = lines.join(QString());
        c.answered = !lines.isEmpty();
        c.confirmed = answers.confirmed > 0;
        c.value = c.confirmed ? value : QString();
        if (answers.mismatch) c.refusal = options::baudLockMismatch();
    } else if (m == QLatin1String("MD")) {
        const BroadcastReplies replies =
            collectBroadcastReplies(channel, writeCommand(channel.prefix, m, value));
        c.echo = replies.lines.join(QString());
        c.answered = !replies.lines.isEmpty();
        c.value = replies.value();
        c.confirmed = !c.value.isEmpty();
    } else if (m == QLatin1String("ZS")) {
        const ZeroSet z = writeZeroSet(channel, value, timeout);
        fromEcho(value == QLatin1String("0") ? z.writeEcho : z.state);
        if (!z.offset.isEmpty()) c.rereads.append({"ZV", ParameterValue(z.offset)});
        // Taring requested is answered with "1" (requested) or "2" (on).
        if (value == QLatin1String("1") && c.value == QLatin1String("2")) c.value = value;
    } else if (m == QLatin1String("UN")) {
        // The rereads depend on the model, which the page knows from its Start: VR is read first.
        const Reply vr = readParameter(channel, QStringLiteral("VR"), timeout);
        const UnitsChange u = writeUnits(channel, value, options::unitRereadsFor(pages::modelM(vr)), timeout);
        fromEcho(u.echo);
        for (const auto& [mnemonic, answer] : u.rereads)
            c.rereads.append(
                {mnemonic, ParameterValue(answer).isEmpty() ? texts::NoValue : ParameterValue(answer)});
    } else {
        fromEcho(writeOption(channel, m, value, timeout));
    }
    c.shown = !c.confirmed                        ? texts::NoValue
              : p.mnemonic == QLatin1String("MD") ? shownFor(p, c.value)
                                                  : p.showWritten(c.value).value_or(c.value);
    if (c.confirmed && c.refusal.isEmpty() && !sameValue(c.value, value))
        c.refusal = QStringLiteral("the instrument kept %1=%2").arg(m, c.value);
    return c;
}

} // namespace cvi::snapshot

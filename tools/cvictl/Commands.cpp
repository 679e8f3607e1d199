#include "Cli.h"
#include "Edits.h"
#include "Frames.h"
#include "MeasureTimeout.h"
#include "OptionTable.h"
#include "PageCommands.h"
#include "PageReads.h"
#include "Sampling.h"
#include "Session.h"
#include "SettingsFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSerialPortInfo>

namespace cvi::ctl {

using catalogue::Parameter;

namespace {

// ---- output -------------------------------------------------------------------------------------

// Text lines go out as they come, unless the run answers with one JSON document.
void say(const Session& s, const QString& text) {
    if (!s.options().json) s.io().out(text);
}

QJsonValue textOrNull(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue();
}

QString withoutLineEnd(QString line) {
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

QJsonObject settingsJson(const LinkSettings& s) {
    return QJsonObject{{"baud", s.baud}, {"parity", s.parityText()}, {"data_bits", s.dataBits}};
}

// Two values are the same when their texts are, or when both are the same number.
bool sameValue(const QString& a, const QString& b) {
    if (a.trimmed() == b.trimmed()) return true;
    return isNumeric(a) && isNumeric(b) && leadingNumber(a.trimmed()) == leadingNumber(b.trimmed());
}

const Parameter& parameterNamed(const QString& name) {
    const Parameter* p = catalogue::find(name.toUpper());
    if (!p) {
        QStringList names;
        for (const Parameter& q : catalogue::all())
            names << q.mnemonic;
        fail(Usage, QStringLiteral("unknown parameter \"%1\" (known: %2)").arg(name, names.join(' ')));
    }
    return *p;
}

// ---- reading pages ------------------------------------------------------------------------------

struct ParameterRead {
    QString name;
    QString page;
    std::optional<QString> value; // none without a reply holding one
    QString shown;
};

QStringList pagesOf(const QString& page) {
    if (page == QLatin1String("all")) return {"configuration", "calibration", "atmo3"};
    return {page};
}

// What a page shows for a reply: the catalogue's text for a code, "???" for one it does not know,
// "-" without a value.
QString shownFor(const Parameter& p, const std::optional<QString>& value) {
    if (!value) return texts::NoValue;
    // MD is shown as the two switches of the Background Mode frame.
    static const QStringList modes = {"0", "1", "2", "3"};
    if (p.mnemonic == QLatin1String("MD") && modes.contains(*value)) {
        const int md = value->toInt();
        return QStringLiteral("Display %1, Continuous RS-232 %2")
            .arg(md & 1 ? QStringLiteral("On") : QStringLiteral("Off"),
                 md & 2 ? QStringLiteral("On") : QStringLiteral("Off"));
    }
    return p.show(*value).value_or(texts::Unrecognised);
}

struct PageRead {
    QList<ParameterRead> parameters;
    std::optional<QString> integrationTime;
};

// The pages' Start routines, with the lines the pages send.
PageRead readPages(Session& s, const Channel& channel, const QStringList& pages) {
    PageRead result;
    QStringList seen;
    QString pr;
    bool prRead = false;
    for (const QString& page : pages) {
        const auto sink = [&](const QString& m, const Reply& reply) {
            if (m == QLatin1String("T1") && page == QLatin1String("configuration")) {
                result.integrationTime =
                    prRead ? edit::integrationTimeText(pr, reply.valueIfAny()) : texts::NoValue;
                return;
            }
            if (m == QLatin1String("PR")) {
                prRead = reply.holdsValue();
                pr = reply.value();
            }
            if (seen.contains(m)) return;
            seen << m;
            const Parameter& p = *catalogue::find(m);
            result.parameters << ParameterRead{m, page, reply.valueIfAny(), shownFor(p, reply.valueIfAny())};
            // The page shows the loop's settings beside the version.
            if (m == QLatin1String("VR") && page == QLatin1String("configuration"))
                for (const auto& [name, v] : {std::pair{QStringLiteral("BR"), s.state().Link.baudText()},
                                              std::pair{QStringLiteral("PT"), s.state().Link.parityText()}}) {
                    seen << name;
                    result.parameters << ParameterRead{name, page, v, v};
                }
        };
        const double timeout = s.readTimeout();
        const bool read =
            page == QLatin1String("configuration") ? pages::readConfiguration(channel, timeout, sink)
            : page == QLatin1String("calibration") ? pages::readCalibration(channel, timeout, sink)
                                                   : pages::readAtmo3(channel, timeout, sink);
        if (!read) fail(NoResponse, texts::CantReadSN);
    }
    return result;
}

QJsonArray parametersJson(const QList<ParameterRead>& parameters) {
    QJsonArray array;
    for (const ParameterRead& r : parameters) {
        const Parameter& p = *catalogue::find(r.name);
        array.append(QJsonObject{{"name", r.name},
                                 {"page", r.page},
                                 {"caption", p.boxCaption()},
                                 {"value", textOrNull(r.value)},
                                 {"shown", r.shown},
                                 {"writable", p.editable()}});
    }
    return array;
}

void printParameters(const Session& s, const QList<ParameterRead>& parameters) {
    QString page;
    for (const ParameterRead& r : parameters) {
        if (r.page != page) say(s, QStringLiteral("# %1").arg(page = r.page));
        const QString value = r.value.value_or(texts::NoValue);
        const QString shown = r.shown != value ? r.shown : QString();
        say(s, QStringLiteral("%1\t%2\t%3\t%4")
                   .arg(r.name, value, shown, catalogue::find(r.name)->boxCaption()));
    }
}

// ---- writing parameters -------------------------------------------------------------------------

struct Change {
    Change(const QString& n, const QString& r) : name(n), requested(r) {}
    QString name;
    QString requested;
    QStringList lines; // a dry run's lines
    QString echo;
    QString value;
    QString shown;
    bool answered = false;
    bool confirmed = false;
    QList<QPair<QString, QString>> rereads;
    QString refusal; // the instrument kept or told another value
};

// The lines a change sends, as far as they do not depend on the replies.
QStringList plannedLines(const Parameter& p, const QString& value, const QString& prefix) {
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

Change writeOne(Session& s, const Channel& channel, const Parameter& p, const QString& value) {
    Change c(p.mnemonic, value);
    const double timeout = s.readTimeout();
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
        const int count = s.idsKnown() ? s.state().InstrumentCount : 96;
        const QStringList lines = writeBaudLock(channel, value, count, timeout);
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

QJsonObject changeJson(const Change& c, bool dryRun) {
    QJsonObject o{{"name", c.name}, {"requested", c.requested}};
    if (dryRun) {
        QJsonArray lines;
        for (const QString& l : c.lines)
            lines.append(l);
        o.insert("lines", lines);
        return o;
    }
    QJsonObject rereads;
    for (const auto& [name, v] : c.rereads)
        rereads.insert(name, v);
    o.insert("echo", c.answered ? QJsonValue(withoutLineEnd(c.echo)) : QJsonValue());
    o.insert("value", c.confirmed ? QJsonValue(c.value) : QJsonValue());
    o.insert("shown", c.shown);
    o.insert("confirmed", c.confirmed && c.refusal.isEmpty());
    o.insert("rereads", rereads);
    return o;
}

// Writes the changes in order, after checking every one of them; the worst outcome is the status.
int writeAll(Session& s, const QString& id, const QList<QPair<const Parameter*, QString>>& writes,
             QJsonArray& changes, QStringList& problems) {
    for (const auto& [p, value] : writes) {
        const QString why = edit::refusal(*p, value);
        if (!why.isEmpty())
            fail(Refused, QStringLiteral("%1=%2 refused: %3; nothing was sent")
                              .arg(p->mnemonic, visible(value.toUtf8()), why));
    }
    const bool dryRun = s.options().dryRun;
    const Channel channel = s.channelTo(id);
    int status = Done;
    for (const auto& [p, value] : writes) {
        Change c(p->mnemonic, value);
        if (dryRun) {
            c.lines = plannedLines(*p, value, channel.prefix);
            for (const QString& line : c.lines)
                say(s, QStringLiteral("%1: would send %2").arg(p->mnemonic, visible(line.toLatin1())));
            for (QString& line : c.lines)
                line = visible(line.toLatin1());
        } else {
            c = writeOne(s, channel, *p, value);
            QStringList after;
            for (const auto& [name, v] : c.rereads)
                after << QStringLiteral("%1 %2").arg(name, v);
            const QString tail = after.isEmpty() ? QString() : QStringLiteral("\t(%1)").arg(after.join(", "));
            if (!c.answered) {
                problems << QStringLiteral("%1: %2 (instrument %3)").arg(c.name, texts::NoResponse, id);
                status = std::max<int>(status, NoResponse);
            } else if (!c.confirmed || !c.refusal.isEmpty()) {
                problems << (QStringLiteral("%1=%2 refused: %3")
                                 .arg(c.name, value,
                                      c.refusal.isEmpty() ? QStringLiteral("the echo %1 holds no value")
                                                                .arg(visible(c.echo.toLatin1()))
                                                          : c.refusal));
                status = std::max<int>(status, Refused);
            }
            const QString value = c.confirmed ? c.value : texts::NoValue;
            if (c.answered)
                say(s, QStringLiteral("%1\t%2\t%3%4")
                           .arg(c.name, value, c.shown == value ? QString() : c.shown, tail));
        }
        changes.append(changeJson(c, dryRun));
    }
    return status;
}

// ---- the commands -------------------------------------------------------------------------------

int ports(Session& s, QJsonObject& doc) {
    QJsonArray list;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        auto hex = [](bool has, quint16 id) {
            return has ? QJsonValue(QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'))) : QJsonValue();
        };
        list.append(QJsonObject{{"name", info.portName()},
                                {"location", info.systemLocation()},
                                {"description", info.description()},
                                {"manufacturer", info.manufacturer()},
                                {"serial_number", info.serialNumber()},
                                {"vendor_id", hex(info.hasVendorIdentifier(), info.vendorIdentifier())},
                                {"product_id", hex(info.hasProductIdentifier(), info.productIdentifier())}});
        QString usb;
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            usb = QStringLiteral(" [%1:%2]")
                      .arg(list.last()["vendor_id"].toString(), list.last()["product_id"].toString());
        say(s, QStringLiteral("%1\t%2%3").arg(info.systemLocation(), info.description(), usb));
    }
    if (list.isEmpty())
        say(s, QStringLiteral("(no serial ports found; pseudo-terminals are used with --port)"));
    PortMap map = PortMap::fromEnvironment(s.context().env);
    for (const QString& mapping : s.options().com)
        map.applyOverride(mapping);
    QJsonArray slotList;
    for (int slot = 1; slot <= PortMap::SlotCount; ++slot) {
        const QString name = QStringLiteral("COM %1").arg(slot);
        const QString device =
            name == s.slotName() && !s.options().port.isEmpty() ? s.options().port : map.device(slot);
        slotList.append(QJsonObject{{"slot", name}, {"device", device}});
        say(s, QStringLiteral("%1 = %2").arg(name, device));
    }
    doc.insert("ports", list);
    doc.insert("slots", slotList);
    return Done;
}

int detect(Session& s, QJsonObject& doc) {
    s.connect(true, true);
    const QStringList streaming = s.streaming();
    const LinkSettings& link = s.state().Link;
    say(s, QStringLiteral("%1 (%2): %3 baud, parity %4, %5 data bits, %6 stop bit")
               .arg(s.slotName(), s.device())
               .arg(link.baud)
               .arg(link.parityText())
               .arg(link.dataBits)
               .arg(link.stopBits));
    say(s, QStringLiteral("ID\tParity\tSoftware Version"));
    QJsonArray instruments;
    QString letters;
    for (const detection::ScanLine& line : s.scanLines()) {
        say(s, QStringLiteral("%1\t%2\t%3")
                   .arg(line.id, line.parity.isEmpty() ? "?" : line.parity, line.version));
        instruments.append(QJsonObject{{"id", line.id}, {"parity", line.parity}, {"version", line.version}});
        if (!line.parity.isEmpty() && !letters.contains(line.parity)) letters += line.parity;
    }
    QJsonArray modes;
    for (const QString& record : streaming) {
        modes.append(QJsonObject{{"id", record.left(2)}, {"md", record.mid(2)}});
        s.note(QStringLiteral(
                   "instrument %1 streams readings unasked (MD=%2); 'cvictl set --id %1 MD=0' stops it")
                   .arg(record.left(2), record.mid(2)));
    }
    doc.insert("port", s.portJson());
    doc.insert("instruments", instruments);
    doc.insert("mixed_parity", letters.size() > 1);
    doc.insert("streaming", modes);
    bool saved = false;
    if (s.options().save) {
        QString why;
        saved = settings_file::storePort(s.folder(), s.slotName(), &why);
        doc.insert("saved", saved);
        if (!saved)
            fail(Refused, QStringLiteral("The settings file %1 could not be written (%2).")
                              .arg(settings_file::path(s.folder()), why));
        say(s, QStringLiteral("# %1 remembered in %2").arg(s.slotName(), settings_file::path(s.folder())));
    }
    doc.insert("saved", saved);
    return Done;
}

int read(Session& s, QJsonObject& doc) {
    s.connect(false);
    const Channel channel = s.channel();
    doc.insert("port", s.portJson());
    const PageRead result = readPages(s, channel, pagesOf(s.options().page));
    say(s, QStringLiteral("# instrument %1 on %2 (%3) at %4")
               .arg(s.options().id, s.slotName(), s.device(), s.state().Link.settingsText()));
    printParameters(s, result.parameters);
    if (result.integrationTime)
        say(s, QStringLiteral("# pressure integration time %1 s").arg(*result.integrationTime));
    doc.insert("id", s.options().id);
    doc.insert("pages", QJsonArray::fromStringList(pagesOf(s.options().page)));
    doc.insert("parameters", parametersJson(result.parameters));
    doc.insert("integration_time", textOrNull(result.integrationTime));
    return Done;
}

int set(Session& s, QJsonObject& doc) {
    QList<QPair<const Parameter*, QString>> writes;
    for (const QString& word : s.options().arguments) {
        const int eq = static_cast<int>(word.indexOf('='));
        if (eq <= 0) fail(Usage, QStringLiteral("\"%1\" is not NAME=VALUE").arg(word));
        writes.append({&parameterNamed(word.left(eq)), word.mid(eq + 1)});
    }
    // Nothing goes out for a refused value, not even the detection.
    for (const auto& [p, value] : writes)
        if (const QString why = edit::refusal(*p, value); !why.isEmpty())
            fail(Refused, QStringLiteral("%1=%2 refused: %3; nothing was sent")
                              .arg(p->mnemonic, visible(value.toUtf8()), why));
    doc.insert("id", s.options().id);
    doc.insert("dry_run", s.options().dryRun);
    QJsonArray changes;
    if (!s.options().dryRun) {
        s.connect(false);
        doc.insert("port", s.portJson());
    }
    QStringList problems;
    const int status = writeAll(s, s.options().id, writes, changes, problems);
    doc.insert("changes", changes);
    if (status != Done) fail(status, problems.join(QStringLiteral("; ")));
    return status;
}

// A document written by read --json, or a usage failure saying why not.
QJsonObject readDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(Usage, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(file.read(qint64{16} * 1024 * 1024), &error);
    auto notOurs = [&path](const QString& why) {
        fail(Usage,
             QStringLiteral("%1 is not a document written by 'cvictl read --json': %2").arg(path, why));
    };
    if (error.error != QJsonParseError::NoError) notOurs(error.errorString());
    QJsonObject doc = json.object();
    if (!json.isObject() || doc.value("command").toString() != QLatin1String("read"))
        notOurs("no \"command\": \"read\"");
    if (doc.value("status").toInt(-1) != Done) notOurs("it records a read that failed");
    if (!doc.value("parameters").isArray()) notOurs("no \"parameters\" list");
    const QJsonArray pages = doc.value("pages").toArray();
    if (pages.isEmpty()) notOurs("no \"pages\" list");
    for (const QJsonValue page : pages)
        if (!pagesOf("all").contains(page.toString()))
            notOurs(QStringLiteral("unknown page \"%1\"").arg(page.toString()));
    for (const QJsonValue v : doc.value("parameters").toArray()) {
        const QJsonObject p = v.toObject();
        if (!v.isObject() || !catalogue::find(p.value("name").toString()))
            notOurs(QStringLiteral("unknown parameter \"%1\"").arg(p.value("name").toString()));
        if (!p.value("value").isString() && !p.value("value").isNull())
            notOurs(QStringLiteral("the value of %1 is not text").arg(p.value("name").toString()));
    }
    return doc;
}

int apply(Session& s, QJsonObject& doc) {
    const QJsonObject source = readDocument(s.options().arguments.first());
    s.connect(false);
    doc.insert("port", s.portJson());
    doc.insert("id", s.options().id);
    doc.insert("dry_run", s.options().dryRun);
    const Channel channel = s.channel();
    QStringList pages;
    for (const QJsonValue page : source.value("pages").toArray())
        pages << page.toString();
    const PageRead now = readPages(s, channel, pages);

    QMap<QString, std::optional<QString>> current;
    for (const ParameterRead& r : now.parameters)
        current.insert(r.name, r.value);
    QString serial;
    QList<QPair<const Parameter*, QString>> writes;
    QJsonArray differences;
    bool unitChanges = false;
    for (const QJsonValue v : source.value("parameters").toArray()) {
        const QJsonObject o = v.toObject();
        const Parameter& p = *catalogue::find(o.value("name").toString());
        if (p.mnemonic == QLatin1String("SN")) serial = o.value("value").toString();
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
            why = QStringLiteral("instrument %1 did not answer for it").arg(s.options().id);
        differences.append(QJsonObject{{"name", p.mnemonic},
                                       {"from", textOrNull(here)},
                                       {"to", wanted},
                                       {"action", why.isEmpty() ? "write" : "skip"},
                                       {"why", why.isEmpty() ? QJsonValue() : QJsonValue(why)}});
        say(s, QStringLiteral("%1\t%2 -> %3%4")
                   .arg(p.mnemonic, here.value_or(texts::NoValue), wanted,
                        why.isEmpty() ? QString() : QStringLiteral("\t(skipped: %1)").arg(why)));
        if (!why.isEmpty()) continue;
        // The unit goes first, its factor with it: the other values are then taken in that unit.
        if (p.mnemonic == QLatin1String("UN") || p.mnemonic == QLatin1String("UF")) {
            writes.insert(p.mnemonic == QLatin1String("UN")
                              ? 0
                              : static_cast<int>(std::min<qsizetype>(1, writes.size())),
                          {&p, wanted});
            if (p.mnemonic == QLatin1String("UN")) unitChanges = true;
        } else {
            writes.append({&p, wanted});
        }
    }
    if (differences.isEmpty()) say(s, QStringLiteral("# no differences"));
    doc.insert("source", QJsonObject{{"id", source.value("id").toString()}, {"serial", serial}});
    doc.insert("differences", differences);
    QJsonArray changes;
    QStringList problems;
    int status = Done;
    if (!s.options().dryRun && !writes.isEmpty()) {
        say(s, QStringLiteral("# writing %1 parameter(s)").arg(writes.size()));
        status = writeAll(s, s.options().id, writes, changes, problems);
    }
    doc.insert("changes", changes);
    if (status != Done) fail(status, problems.join(QStringLiteral("; ")));
    return status;
}

QJsonObject readingJson(Session& s, const QString& line) {
    QString cut = line;
    const QString reply = withoutLineEnd(line);
    const QDateTime now = s.context().now();
    const QString time = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
    const bool corrupted = reply.contains('?');
    const QString value = corrupted ? QStringLiteral("Corrupted Data") : ReplyNumber(cut);
    say(s, QStringLiteral("%1\t%2\t%3").arg(time, reply, value));
    return QJsonObject{{"time", time}, {"line", reply}, {"value", value}};
}

int sample(Session& s, QJsonObject& doc) {
    const QString mnemonic = s.options().arguments.first().toUpper();
    const SampleKind kind = sampleKind(mnemonic);
    if (kind == SampleKind::Unknown)
        fail(Usage,
             QStringLiteral("\"%1\" is not a sampling command (single: P1 P3 Q1 Q3 N1 N2 A1 A2 TT RH DB DS; "
                            "hold: P5 P6 Q5 Q6; continuous: P2 P4 P7 Q2 Q4)")
                 .arg(s.options().arguments.first()));
    s.connect(false);
    doc.insert("port", s.portJson());
    const Channel channel = s.channel();
    double timeout = s.readTimeout();
    if (!s.options().timeout) {
        // The Sampling page's Start: PR, TR and T1 give the measurement time-out.
        AppState& state = s.state();
        const auto pr = measure::readResolution(channel, QStringLiteral("PR"), timeout);
        if (!pr) s.note(measure::CantReadPR);
        const auto tr = measure::readResolution(channel, QStringLiteral("TR"), timeout);
        if (!tr) s.note(measure::CantReadTR);
        const std::optional<double> t1 = measure::readT1(channel, timeout);
        measure::adopt(state, measure::sampling({pr.value_or(QString::number(measure::DefaultPR)),
                                                 tr.value_or(QString::number(measure::DefaultTR)), t1,
                                                 state.CommTimeout}));
        timeout = state.ReadTimeout;
    }
    const QString command = channel.prefix + mnemonic;
    static const char* const kinds[] = {"single", "hold", "continuous"};
    doc.insert("id", s.options().id);
    doc.insert("mnemonic", mnemonic);
    doc.insert("kind", kinds[static_cast<int>(kind)]);
    QJsonArray readings;
    auto finish = [&](int status) {
        doc.insert("readings", readings);
        return status;
    };
    if (kind != SampleKind::Continuous) {
        for (int i = 0; i < s.options().count.value_or(1); ++i) {
            if (kind == SampleKind::Hold) sampleOnce(channel, command, timeout, false);
            const Reply reply = sampleOnce(
                channel, kind == SampleKind::Hold ? channel.prefix + QStringLiteral("DB") : command, timeout);
            if (!reply.answered()) {
                doc.insert("readings", readings);
                fail(NoResponse, QStringLiteral("%1 (instrument %2, %3)")
                                     .arg(texts::NoResponse, s.options().id, mnemonic));
            }
            readings.append(readingJson(s, reply.line));
        }
        return finish(Done);
    }

    ContinuousReading reading(channel);
    if (!reading.start(command, timeout))
        fail(NoResponse,
             QStringLiteral("%1 (instrument %2, %3)").arg(texts::NoResponse, s.options().id, mnemonic));
    struct Watch {
        Context& c;
        explicit Watch(Context& context) : c(context) { c.watchInterrupt(true); }
        ~Watch() { c.watchInterrupt(false); }
    } watch(s.context());
    const int most = s.options().count.value_or(-1);
    for (;;) {
        if (s.context().interrupted() || (most > 0 && readings.size() >= most)) break;
        const QString line = reading.next(timeout);
        if (line == QLatin1String("Overflow")) {
            reading.abandon();
            doc.insert("readings", readings);
            fail(Refused,
                 QStringLiteral("Data buffer is full ! (the readings came faster than they could be taken)"));
        }
        if (line.isEmpty()) {
            // The page waits on; a tool must not: silence for a whole time-out ends the reading.
            if (s.context().interrupted()) break;
            reading.stop();
            doc.insert("readings", readings);
            fail(NoResponse,
                 QStringLiteral("No Response ! Check the connections ! (instrument %1 quiet for %2 s)")
                     .arg(s.options().id)
                     .arg(timeout));
        }
        readings.append(readingJson(s, line));
    }
    reading.stop();
    return finish(Done);
}

int link(Session& s, QJsonObject& doc) {
    s.connect(false);
    const LinkSettings now = s.state().Link;
    const LinkSettings next =
        LinkSettings::of(now.port, *s.options().baud, s.options().parity ? s.options().parity : now.parity);
    doc.insert("port", s.portJson());
    doc.insert("from", settingsJson(now));
    doc.insert("to", settingsJson(next));
    // Every question goes out at the settings the instruments use now.
    const Channel loop{s.link(), now, QString()};
    const BaudLock lock = checkBaudLock(loop);
    doc.insert("locked", lock.locked());
    if (!lock.answered())
        fail(NoResponse, texts::NoResponse + QStringLiteral(" (no instrument answered *9900BL)"));
    if (lock.locked()) fail(Refused, texts::BaudLocked);
    broadcastLinkSettings(loop, next);
    say(s, QStringLiteral("%1: %2 -> %3").arg(s.slotName(), now.settingsText(), next.settingsText()));
    return Done;
}

int renumber(Session& s, QJsonObject& doc) {
    s.connect(true);
    doc.insert("port", s.portJson());
    const AppState& state = s.state();
    const int first = s.options().to.toInt();
    if (!s.options().from.isEmpty() && state.idAt(0) != s.options().from)
        fail(Refused, QStringLiteral("the first instrument on the loop is %1, not %2; nothing was sent")
                          .arg(state.idAt(0), s.options().from));
    if (const QString why = renumberRefusal(first, state.InstrumentCount); !why.isEmpty())
        fail(Refused, QStringLiteral("%1 (%2 instruments from %3)")
                          .arg(why)
                          .arg(state.InstrumentCount)
                          .arg(s.options().to));
    QStringList before, after;
    for (int i = 0; i < state.InstrumentCount; ++i) {
        before << state.idAt(i);
        after << QStringLiteral("%1").arg(first + i, 2, 10, QLatin1Char('0'));
    }
    renumberLoop(Channel{s.link(), state.Link, QString()}, first);
    say(s, QStringLiteral("%1 -> %2").arg(before.join(' '), after.join(' ')));
    doc.insert("from", QJsonArray::fromStringList(before));
    doc.insert("to", QJsonArray::fromStringList(after));
    doc.insert("line", visible(pageLine(renumberCommand(first)).toLatin1()));
    return Done;
}

int send(Session& s, QJsonObject& doc) {
    const QString line = s.options().arguments.first();
    if (!fitsOnLine(line))
        fail(Usage,
             QStringLiteral("the line holds line breaks, control characters or characters beyond Latin-1"));
    s.connect(false);
    doc.insert("port", s.portJson());
    doc.insert("line", line);
    Link& link = s.link();
    QStringList replies;
    {
        link.OpenPort(s.state().Link);
        const struct Closer {
            Link& l;
            ~Closer() { l.ClosePort(); }
        } closer{link};
        link.Output(line + CRLF);
        while (const std::optional<QString> reply = link.ReadTerminalInput(s.readTimeout())) {
            replies << *reply;
            say(s, *reply);
        }
    }
    doc.insert("replies", QJsonArray::fromStringList(replies));
    if (replies.isEmpty())
        fail(NoResponse, QStringLiteral("nothing came back within %1 s").arg(s.readTimeout()));
    return Done;
}

int dispatch(Session& s, QJsonObject& doc) {
    const QString& c = s.options().command;
    if (c == QLatin1String("ports")) return ports(s, doc);
    if (c == QLatin1String("detect")) return detect(s, doc);
    if (c == QLatin1String("read")) return read(s, doc);
    if (c == QLatin1String("set")) return set(s, doc);
    if (c == QLatin1String("apply")) return apply(s, doc);
    if (c == QLatin1String("sample")) return sample(s, doc);
    if (c == QLatin1String("link")) return link(s, doc);
    if (c == QLatin1String("renumber")) return renumber(s, doc);
    return send(s, doc);
}

// A message stays one line whatever the operator typed into it.
QString oneLine(const QString& text) {
    QString line;
    for (const QChar c : text)
        line += c.unicode() < 0x20 || c.unicode() == 0x7F
                    ? visible(QByteArray(1, static_cast<char>(c.unicode())))
                    : QString(c);
    return line;
}

} // namespace

int run(const QStringList& arguments, Context& context, const Io& io) {
    const Options options = Options::parse(arguments);
    if (!options.error.isEmpty()) {
        io.err(QStringLiteral("cvictl: %1 (see cvictl --help)").arg(oneLine(options.error)));
        return Usage;
    }
    if (options.version) {
        io.out(QStringLiteral("cvictl (Corvanel Interactive %1)").arg(QStringLiteral(CVI_VERSION)));
        return Done;
    }
    if (options.help) {
        io.out(Options::helpText(options.command).trimmed());
        return Done;
    }
    QJsonObject doc{{"command", options.command}};
    int status = Done;
    QString error;
    {
        Session session(context, options, io);
        try {
            status = dispatch(session, doc);
        } catch (const Failure& f) {
            status = f.status;
            error = f.message;
        } catch (const PortError& e) {
            status = PortFailed;
            error = QStringLiteral("%1 (%2): %3").arg(session.slotName(), session.device(), e.text());
        }
    }
    if (!error.isEmpty()) io.err(QStringLiteral("cvictl: %1").arg(oneLine(error)));
    if (options.json && status != Usage) {
        doc.insert("status", status);
        doc.insert("error", error.isEmpty() ? QJsonValue() : QJsonValue(error));
        io.out(QString::fromUtf8(QJsonDocument(doc).toJson(QJsonDocument::Indented)).trimmed());
    }
    return status;
}

} // namespace cvi::ctl

#include "Cli.h"
#include "Edits.h"
#include "Frames.h"
#include "Journal.h"
#include "MeasureTimeout.h"
#include "OptionTable.h"
#include "PageCommands.h"
#include "PageReads.h"
#include "Sampling.h"
#include "Session.h"
#include "SettingsFile.h"
#include "Snapshot.h"

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

using ParameterRead = snapshot::Parameter;
using snapshot::Change;
using snapshot::shownFor;

QStringList pagesOf(const QString& page) {
    if (page == QLatin1String("all")) return snapshot::pageNames();
    return {page};
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
            // What was read is what a write's journal row calls the value before.
            s.state().Record.set(m, reply.line, shownFor(p, reply.valueIfAny()));
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

Change writeOne(Session& s, const Channel& channel, const Parameter& p, const QString& value) {
    return snapshot::write(channel, p, value, s.readTimeout(), s.idsKnown() ? s.state().InstrumentCount : 96);
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
            c.lines = snapshot::plannedLines(*p, value, channel.prefix);
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
    doc.insert("parameters", snapshot::parametersJson(result.parameters));
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
    QString why;
    const std::optional<QJsonObject> doc = snapshot::load(path, &why);
    if (!doc) fail(Usage, why);
    return *doc;
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
    const snapshot::Plan plan = snapshot::plan(source, current, s.options().id);
    QJsonArray differences;
    for (const snapshot::Difference& d : plan.differences) {
        differences.append(QJsonObject{{"name", d.name},
                                       {"from", textOrNull(d.from)},
                                       {"to", d.to},
                                       {"action", d.why.isEmpty() ? "write" : "skip"},
                                       {"why", d.why.isEmpty() ? QJsonValue() : QJsonValue(d.why)}});
        say(s, QStringLiteral("%1\t%2 -> %3%4")
                   .arg(d.name, d.from.value_or(texts::NoValue), d.to,
                        d.why.isEmpty() ? QString() : QStringLiteral("\t(skipped: %1)").arg(d.why)));
    }
    const QString serial = plan.serial;
    const auto& writes = plan.writes;
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
    const Channel loop{s.link(), now, QString(), &s.state()};
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
    renumberLoop(Channel{s.link(), state.Link, QString(), &state}, first);
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

int showJournal(Session& s, QJsonObject& doc) {
    QString why;
    const auto rows = journal::load(s.folder(), s.options().serial, s.options().since, &why);
    if (!rows)
        fail(Usage,
             QStringLiteral("the change journal %1 cannot be read (%2)").arg(journal::path(s.folder()), why));
    doc.insert("rows", journal::json(*rows));
    if (s.options().csv) {
        s.io().out(journal::csv(*rows).trimmed().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        return Done;
    }
    for (const journal::Row& r : *rows)
        say(s, QStringList{r.time, r.port, r.id, r.serial, r.parameter, r.before, r.written,
                           visible(r.echo.toLatin1()),
                           r.confirmed ? QStringLiteral("yes") : QStringLiteral("no"), r.tool}
                   .join(QLatin1Char('\t')));
    if (rows->isEmpty()) say(s, QStringLiteral("# no changes recorded"));
    return Done;
}

int dispatch(Session& s, QJsonObject& doc) {
    const QString& c = s.options().command;
    if (c == QLatin1String("journal")) return showJournal(s, doc);
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
    journal::setTool(QStringLiteral("cvictl"));
    journal::setClock(context.now);
    journal::setWarning(
        [&io](const QString& why) { io.err(QStringLiteral("cvictl: warning: %1").arg(why)); });
    const struct Unhook {
        ~Unhook() { journal::setWarning({}); }
    } unhook;
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

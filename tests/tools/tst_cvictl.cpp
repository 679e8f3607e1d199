// cvictl in process on the simulated loop and simulated time: the bytes it writes for an operation
// are those of the transactions the windows run, apply copies one instrument onto another, every
// exit status, and the --json documents.
#include "Cli.h"
#include "CoreBench.h"
#include "Edits.h"
#include "Frames.h"
#include "MeasureTimeout.h"
#include "OptionTable.h"
#include "PageReads.h"
#include "RealSerialPort.h"
#include "ScratchMount.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace cvi;

namespace {

struct Result {
    int status = -1;
    QString out, err;
    QByteArray wire; // every byte written to the loop
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

// One loop on simulated time; each run of cvictl gets a fresh port on it, as a process would.
struct Bench : test::CoreBench {
    QTemporaryDir folder;
    int interruptAfter = -1; // Ctrl+C once this many readings were printed
    int loseAfter = -1;      // the device vanishes once this many were printed
    explicit Bench(const sim::LoopConfig& config = sim::LoopConfig::numbered(3)) : CoreBench(config) {}
    void silence() {
        for (int i = 0; i < loop->size(); ++i)
            loop->at(i).faults().silent = true;
    }

    Result run(const QStringList& args) {
        Result r;
        wire().clear();
        ctl::Context context{runtime, {}, QProcessEnvironment(), folder.path()};
        context.makePort = [this](const QString& device) -> std::unique_ptr<SerialPort> {
            if (device == PortMap::Simulated) return std::make_unique<sim::SimPort>(*loop);
            return std::make_unique<RealSerialPort>();
        };
        context.now = [] { return QDateTime(QDate(2026, 5, 4), QTime(10, 0), Qt::UTC); };
        context.interrupted = [this, &r] {
            if (loseAfter >= 0 && r.out.count('\n') >= loseAfter) loop->loseDevice();
            return interruptAfter >= 0 && r.out.count('\n') >= interruptAfter;
        };
        const ctl::Io io{[&r](const QString& t) { r.out += t + '\n'; },
                         [&r](const QString& t) { r.err += t + '\n'; }};
        r.status = ctl::run(QStringList{"--device", "sim"} + args, context, io);
        r.wire = wire().written();
        idle(5); // whatever the loop still had on its way
        return r;
    }
    // What the windows' transaction writes on a fresh loop, at 9600 baud to instrument `id`.
    QByteArray reference(const QString& id, const std::function<void(const Channel&)>& transaction) {
        wire().clear();
        const auto link = makeLink();
        transaction(Channel{*link, state.Link, addressPrefixFor(id)});
        return wire().written();
    }
};

const double Wait = 1.25; // the read time-out at 9600 baud: 0.25 s + 1 s
const catalogue::Parameter& param(const char* m) {
    return *catalogue::find(QString::fromLatin1(m));
}
} // namespace

class TestCvictl : public QObject {
    Q_OBJECT
private slots:
    // detect --save in a read-only folder: the detection stands, but the run fails with one line
    // naming the file and why, after its progress lines; the old cvi.ini is kept.
    void saveReadOnly() {
        SCRATCH_MOUNT(disk, 16);
        Bench b;
        const QString ini = disk.filePath("cvi.ini");
        QVERIFY(b.run({"detect", "--slot", "2", "--save", "--folder", disk.path()}).status == 0 &&
                disk.readOnly());
        const Result r = b.run({"detect", "--slot", "3", "--save", "--folder", disk.path()});
        QCOMPARE(r.status, int(ctl::Refused));
        QCOMPARE(r.err.section('\n', -2),
                 "cvictl: The settings file " + ini + " could not be written (Read-only file system).\n");
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly) && f.readAll() == "2\r\n");
    }

    void sendsWhatTheWindowsSend() {
        using Tx = std::function<void(const Channel&)>;
        const auto none = [](auto&&...) {};
        // clang-format off
        const struct { const char* name; QStringList args; QString id; Tx window; } rows[] = {
            {"read configuration", {"read", "--id", "01"}, "01",
             [&](const Channel& c) { pages::readConfiguration(c, Wait, none); }},
            {"read calibration", {"read", "--id", "02", "--page", "calibration"}, "02",
             [&](const Channel& c) { pages::readCalibration(c, Wait, none); }},
            {"read atmo3", {"read", "--id", "03", "--page", "atmo3"}, "03",
             [&](const Channel& c) { pages::readAtmo3(c, Wait, none); }},
            {"set PR (TR re-read, T1)", {"set", "--id", "01", "PR=400"}, "01", [](const Channel& c) {
                 edit::writePrompted(c, param("PR"), "400", Wait);
                 edit::readIntegrationT1(c, Wait);
             }},
            {"set PA (second wake-up)", {"set", "--id", "02", "PA=1.5"}, "02",
             [](const Channel& c) { edit::writePrompted(c, param("PA"), "1.5", Wait); }},
            {"set DD (option dialog)", {"set", "--id", "01", "DD=1"}, "01",
             [](const Channel& c) { writeOption(c, "DD", "1", Wait); }},
            {"set UN (re-reads)", {"set", "--id", "01", "UN=2"}, "01", [](const Channel& c) {
                 readParameter(c, "VR", Wait);
                 writeUnits(c, "2", options::unitRereadsFor(false), Wait);
             }},
            {"set MD (page broadcast)", {"set", "--id", "01", "MD=1"}, "01",
             [](const Channel& c) { collectBroadcastReplies(c, writeCommand(c.prefix, "MD", "1")); }},
            {"set ZS=1 (taring)", {"set", "--id", "01", "ZS=1"}, "01",
             [](const Channel& c) { writeZeroSet(c, "1", Wait); }},
            {"sample P3", {"sample", "--id", "01", "P3", "--timeout", "1.25"}, "01",
             [](const Channel& c) { sampleOnce(c, c.prefix + "P3", Wait); }},
            {"sample P3, measured", {"sample", "--id", "01", "P3"}, "01", [](const Channel& c) {
                 measure::readResolution(c, "PR", Wait);
                 measure::readResolution(c, "TR", Wait);
                 measure::readT1(c, Wait);
                 sampleOnce(c, c.prefix + "P3", 4);
             }},
            {"sample P5 hold and dump", {"sample", "--id", "01", "P5", "--timeout", "1.25"}, "01",
             [](const Channel& c) {
                 sampleOnce(c, c.prefix + "P5", Wait, false);
                 sampleOnce(c, c.prefix + "DB", Wait);
             }},
            {"sample P4 continuous", {"sample", "--id", "01", "P4", "--count", "3", "--timeout", "1.25"},
             "01", [](const Channel& c) {
                 ContinuousReading r(c);
                 r.start(c.prefix + "P4", Wait);
                 for (int i = 0; i < 3; ++i) r.next(Wait);
                 r.stop();
             }},
            {"link", {"link", "--current-baud", "9600", "--baud", "4800", "--parity", "E"}, "01",
             [](const Channel& c) {
                 const Channel loop{c.link, c.settings, QString()};
                 checkBaudLock(loop);
                 broadcastLinkSettings(loop, LinkSettings::of("COM 1", 4800, 'E'));
             }},
        };
        // clang-format on
        for (const auto& row : rows) {
            Bench ctl;
            const Result r = ctl.run(QStringList{"--baud", "9600"} + row.args);
            QVERIFY2(r.status == 0, qPrintable(QStringLiteral("%1: %2").arg(row.name, r.err)));
            Bench window;
            const QByteArray reference = window.reference(row.id, row.window);
            QCOMPARE(QString::fromLatin1(r.wire), QString::fromLatin1(reference));
            if (row.args.first() != "set") continue;
            // A dry run names the same lines and sends none.
            const Result dry = Bench().run(row.args + QStringList{"--dry-run", "--json"});
            QString lines;
            for (const QJsonValue& line : dry.json()["changes"][0]["lines"].toArray())
                lines += line.toString();
            QCOMPARE(lines, ctl::visible(reference));
            QVERIFY(dry.wire.isEmpty());
        }
    }

    void applyCopiesOneInstrumentToAnother() {
        Bench b;
        auto values = [](const QJsonObject& doc) {
            QStringList v;
            for (const QJsonValue& p : doc["parameters"].toArray())
                if (!QStringList{"SN", "BL", "ZS", "ZV"}.contains(p["name"].toString()))
                    v << p["name"].toString() + "=" + p["value"].toString();
            return v;
        };
        QCOMPARE(b.run({"set", "--id", "01", "PR=400", "UN=2", "DD=1", "LL=5", "--baud", "9600"}).status, 0);
        b.inst("01").setParam("BL", "1");                                        // loop-wide: never copied
        b.inst("01").setParam("ZS", "2"), b.inst("01").setParam("ZV", "1.2500"); // its own taring: neither
        const Result source = b.run({"read", "--id", "01", "--json"});
        QCOMPARE(source.status, 0);
        QVERIFY(values(source.json()) != values(b.run({"read", "--id", "02", "--json"}).json()));
        const QString file = b.folder.filePath("01.json");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(source.out.toUtf8());
        f.close();

        const Result dry = b.run({"apply", "--id", "02", "--dry-run", file, "--json"});
        QCOMPARE(dry.status, 0);
        QVERIFY(!dry.wire.contains("EW")); // the differences only
        const Result applied = b.run({"apply", "--id", "02", file, "--json"});
        QCOMPARE(applied.status, 0);
        QVERIFY(!applied.wire.contains("BL=") && !applied.wire.contains("ZS=") &&
                !applied.wire.contains("ZV="));
        QCOMPARE(applied.json()["changes"].toArray().size(),
                 dry.json()["differences"].toArray().size() - 3); // BL, ZS and ZV
        QCOMPARE(values(b.run({"read", "--id", "02", "--json"}).json()), values(source.json()));
        QVERIFY(b.run({"apply", "--id", "02", file}).out.startsWith("BL\t0 -> 1\t(skipped: "));
    }

    void exitStatuses() {
        QTemporaryDir dir;
        const QString notJson = dir.filePath("x.json");
        QFile f(notJson);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("{\"command\": \"detect\"}") > 0);
        f.close();
        using Setup = std::function<void(Bench&)>;
        // clang-format off
        // sendsNothing: not even the detection
        const struct { QStringList args; Setup setup; int status; bool sendsNothing; } rows[] = {
            {{"read", "--id", "01"}, {}, 0, false},
            {{"detect", "--save"}, {}, 0, false},
            {{"set", "--id", "01", "PR=0"}, {}, 1, true},
            {{"set", "--id", "01", "DD=7"}, {}, 1, true},
            {{"set", "--id", "01", "H1=XYZ"}, {}, 1, true},
            {{"set", "--id", "01", "SN=5"}, {}, 1, true},
            {{"set", "--id", "01", "--baud", "9600", "PR=16383"}, {}, 0, false},
            {{"set", "--id", "01", "PR=16384"}, {}, 1, true},
            {{"set", "--id", "01", "MD=4"}, {}, 1, true},
            {{"set", "--id", "01", "LL=1\r\n*9900ID"}, {}, 1, true},
            {{"set", "--id", "01", "--baud", "9600", "DD=1"},
             [](Bench& b) { b.inst("01").faults().refusedWrites << "DD"; }, 1, false},
            {{"read", "--id", "07"}, {}, 1, false},
            {{"link", "--baud", "4800"}, [](Bench& b) { b.inst("02").setParam("BL", "1"); }, 1, false},
            {{"renumber", "--to", "97"}, {}, 1, false},
            {{"renumber", "--to", "05", "--from", "02"}, {}, 1, false},
            {{"frobnicate"}, {}, 2, true},
            {{"read"}, {}, 2, true},
            {{"read", "--id", "7"}, {}, 2, true},
            {{"set", "--id", "01", "XX=1"}, {}, 2, true},
            {{"apply", "--id", "02", notJson}, {}, 2, true},
            {{"sample", "--id", "01", "P9"}, {}, 2, true},
            {{"send", "a\tb"}, {}, 2, true},
            {{"read", "--id", "01", "--baud", "9600"},
             [](Bench& b) { b.inst("01").faults().silent = true; }, 3, false},
            {{"detect"}, [](Bench& b) { b.silence(); }, 3, false},
            // An instrument not on the loop: only the command itself comes back around the loop.
            {{"read", "--id", "42", "--baud", "9600"}, {}, 3, false},
            {{"read", "--id", "01", "--port", "/nonexistent/tty"}, {}, 4, true},
        };
        // clang-format on
        for (const auto& row : rows) {
            Bench b;
            if (row.setup) row.setup(b);
            const Result r = b.run(row.args);
            const QString what = row.args.join(' ') + ": " + r.err;
            QVERIFY2(r.status == row.status, qPrintable(what));
            // A failure ends with one line saying what and why.
            if (row.status != 0)
                QVERIFY2(r.err.section('\n', -2, -2).startsWith("cvictl: "), qPrintable(what));
            if (row.sendsNothing) QVERIFY2(r.wire.isEmpty(), qPrintable(what));
        }
    }

    void jsonDocuments() {
        Bench b(sim::LoopConfig::demo());
        const QJsonObject detect = b.run({"detect", "--json"}).json();
        QCOMPARE(detect["status"].toInt(), 0);
        QCOMPARE(detect["port"]["baud"].toInt(), 9600);
        QStringList ids;
        for (const QJsonValue& i : detect["instruments"].toArray())
            ids << i["id"].toString() + "/" + i["version"].toString();
        QCOMPARE(ids, (QStringList{"01/5.10", "02/M2.04", "03/A3-1.20"}));

        const QJsonObject read = b.run({"read", "--id", "01", "--baud", "9600", "--json"}).json();
        QJsonObject un;
        for (const QJsonValue& p : read["parameters"].toArray())
            if (p["name"] == "UN") un = p.toObject();
        QCOMPARE(un["value"].toString(), "1");
        QCOMPARE(un["shown"].toString(), "psi");
        QCOMPARE(read["integration_time"].toString(), "0.79");

        // A continuous reading ended by Ctrl+C stops the loop and keeps what it read.
        b.interruptAfter = 2;
        const Result sample = b.run({"sample", "--id", "01", "P4", "--baud", "9600", "--timeout", "2"});
        QCOMPARE(sample.status, 0);
        QCOMPARE(sample.out.count('\n'), 2);
        QVERIFY(sample.out.startsWith("2026-05-04T10:00:00.000Z\t*0001 14.69"));
        QVERIFY(sample.wire.endsWith("*" + StopAll.toLatin1() + "\r\n"));

        // The device lost in the middle of a reading: status 4, what was read kept.
        b.interruptAfter = -1;
        b.loseAfter = 1;
        const Result lost = b.run({"sample", "--id", "01", "P4", "--baud", "9600", "--timeout", "2"});
        QCOMPARE(lost.status, 4);
        QCOMPARE(lost.out.count('\n'), 1);
        b.loop->restoreDevice();
        b.loseAfter = -1;

        const Result verbose = b.run({"send", "*0100SN", "--baud", "9600", "--verbose"});
        QVERIFY(verbose.err.contains("> *0100SN<CR><LF>\n< *0001SN="));

        const QJsonObject silent = [&] {
            b.inst("01").faults().silent = true;
            return b.run({"send", "*0100SN", "--baud", "9600", "--json"}).json();
        }();
        QCOMPARE(silent["status"].toInt(), 3);
        QVERIFY(silent["error"].toString().contains("nothing came back"));
        QCOMPARE(silent["replies"].toArray().size(), 0);
    }

    void portsSlotsAndRenumbering() {
        Bench b;
        // Every command has its help; the tool's help names every command.
        const QString overview = b.run({"--help"}).out;
        for (const char* command :
             {"ports", "detect", "read", "set", "apply", "sample", "link", "renumber", "send"}) {
            const Result help = b.run({command, "--help"});
            QCOMPARE(help.status, 0);
            QVERIFY(help.out.startsWith(QStringLiteral("Usage: cvictl %1").arg(command)));
            QVERIFY(overview.contains(QStringLiteral("\n  %1 ").arg(command)));
        }

        // COM slots: the environment, then --com; the one in use takes --port (here --device sim).
        ctl::Context context{b.runtime, {}, QProcessEnvironment(), b.folder.path()};
        context.env.insert("CVI_COM2", "/dev/ttyUSB7");
        QString out;
        const ctl::Io io{[&out](const QString& t) { out += t; }, [](const QString&) {}};
        QCOMPARE(ctl::run({"ports", "--com", "3=/dev/ttyACM0", "--port", "sim", "--json"}, context, io), 0);
        QStringList devices;
        for (const QJsonValue& slot : QJsonDocument::fromJson(out.toUtf8())["slots"].toArray())
            devices << slot["device"].toString();
        QCOMPARE(devices, (QStringList{"sim", "/dev/ttyUSB7", "/dev/ttyACM0", "/dev/ttyS3"}));

        // detect --save remembers the slot in cvi.ini; the next run uses it without --slot.
        QCOMPARE(b.run({"detect", "--slot", "3", "--save"}).status, 0);
        QCOMPARE(
            b.run({"read", "--id", "01", "--baud", "9600", "--json"}).json().value("port")["slot"].toString(),
            "COM 3");

        // Renumbering: the loop counts on from the new first ID, and says so when detected again.
        const QJsonObject renumbered = b.run({"renumber", "--from", "01", "--to", "20", "--json"}).json();
        QCOMPARE(renumbered["to"].toArray().toVariantList(), (QVariantList{"20", "21", "22"}));
        QCOMPARE(renumbered["line"].toString(), "**9919ID<CR><LF>");
        b.idle(2);
        QStringList ids;
        for (const QJsonValue& i : b.run({"detect", "--json"}).json()["instruments"].toArray())
            ids << i["id"].toString();
        QCOMPARE(ids, (QStringList{"20", "21", "22"}));
    }
};

QTEST_GUILESS_MAIN(TestCvictl)
#include "tst_cvictl.moc"

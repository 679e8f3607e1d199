// cvictl's apply file as any file may be. First on a port that cannot be opened: the file is
// either refused as a usage error, in one line, or it is a document of a successful read (an
// object with "command": "read", "status": 0, a "parameters" list and a "pages" list) and the run
// goes on to the port. A file that is taken then runs as a dry run against a simulated
// instrument: it ends done, refused or unanswered, never as a usage error, and its --json document
// says so and names only known parameters.
//
// The input is the file's contents.
#include "Catalogue.h"
#include "Cli.h"
#include "FuzzCheck.h"
#include "Loop.h"
#include "PortMap.h"
#include "SimPort.h"
#include "SimRuntime.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace cvi;
using fuzz::check;

namespace {

// A port whose device is never there.
class AbsentPort : public SerialPort {
public:
    void open(const PortSettings&) override {
        throw PortError(PortError::Kind::Unavailable, QStringLiteral("no such device"));
    }
    void close() override {}
    bool isOpen() const override { return false; }
    bool isLost() const override { return false; }
    void write(const QByteArray&) override {
        throw PortError(PortError::Kind::NotOpen, QStringLiteral("not open"));
    }
    int bytesWaiting() override { return 0; }
    QByteArray read(int) override { return {}; }
    void discardInput() override {}
    void setInputBufferSize(int) override {}
    bool waitForInput(double, int) override { return false; }
    QString deviceName() const override { return QStringLiteral("absent"); }
};

struct Bench {
    QTemporaryDir folder{fuzz::scratchTemplate()};
    sim::VirtualClock clock;
    sim::SimRuntime runtime{clock};
    sim::Loop loop{clock, sim::LoopConfig::numbered(1)};
    QString file = folder.filePath(QStringLiteral("apply.json"));
};

struct Run {
    int status = -1;
    QString out;
    QStringList err;
};

Run run(Bench& b, const QStringList& args) {
    Run r;
    ctl::Context context{b.runtime, {}, QProcessEnvironment(), b.folder.path()};
    context.makePort = [&b](const QString& device) -> std::unique_ptr<SerialPort> {
        if (device == PortMap::Simulated) return std::make_unique<sim::SimPort>(b.loop);
        return std::make_unique<AbsentPort>();
    };
    const ctl::Io io{[&r](const QString& t) { r.out += t + '\n'; }, [&r](const QString& t) { r.err << t; }};
    r.status = ctl::run(args, context, io);
    return r;
}

// What a document must be for apply to go on to the port.
bool readDocument(const QByteArray& bytes) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes.left(16 * 1024 * 1024), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return false;
    const QJsonObject o = doc.object();
    return o.value("command") == QLatin1String("read") && o.value("status").toDouble(-1) == 0 &&
           o.value("parameters").isArray() && !o.value("pages").toArray().isEmpty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static Bench b;
    check(b.folder.isValid(), "no temporary folder");
    const QByteArray bytes = fuzz::bytesOf(data, size);
    {
        QFile f(b.file);
        check(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size(),
              "cannot write the apply file");
    }
    const QStringList common = {"--slot", "1", "--baud", "9600"};
    const Run absent =
        run(b, QStringList{"--port", "absent"} + common + QStringList{"apply", "--id", "01", b.file});
    check(absent.status == ctl::Usage || absent.status == ctl::PortFailed,
          "apply ended neither refused nor at the port");
    check(absent.err.size() == 1 && !absent.err[0].contains('\n'),
          "a failed apply said more or less than one line");
    if (absent.status == ctl::Usage) return 0;
    check(readDocument(bytes), "apply went on to the port with a file that is no read document");

    const Run dry = run(b, QStringList{"--device", "sim"} + common +
                               QStringList{"--json", "apply", "--id", "01", "--dry-run", b.file});
    check(dry.status == ctl::Done || dry.status == ctl::Refused || dry.status == ctl::NoResponse,
          "a dry run of a taken file ended as a usage error or at the port");
    const QJsonObject doc = QJsonDocument::fromJson(dry.out.toUtf8()).object();
    check(doc.value("command") == QLatin1String("apply") && doc.value("status").toInt(-1) == dry.status,
          "the --json document does not tell the run");
    for (const QJsonValue d : doc.value("differences").toArray())
        check(catalogue::find(d.toObject().value("name").toString()) != nullptr,
              "a difference for no parameter");
    check(doc.value("changes").toArray().isEmpty() || dry.status != ctl::NoResponse,
          "changes without an answer");
    b.clock.advanceBy(5); // whatever the loop still had on its way
    b.loop.wire().clear();
    return 0;
}

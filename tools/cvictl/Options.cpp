#include "Options.h"

#include "Journal.h"

#include <QHash>
#include <QRegularExpression>

namespace cvi::ctl {

namespace {

const QStringList Commands = {"ports",  "detect", "read",     "set",  "apply",
                              "sample", "link",   "renumber", "send", "journal"};

// The options each command takes besides the common ones.
const QHash<QString, QStringList>& commandOptions() {
    static const QHash<QString, QStringList> options = {
        {"ports", {}},
        {"detect", {"--save"}},
        {"read", {"--id", "--page"}},
        {"set", {"--id", "--dry-run"}},
        {"apply", {"--id", "--dry-run"}},
        {"sample", {"--id", "--count"}},
        {"link", {"--current-baud", "--current-parity"}},
        {"renumber", {"--from", "--to"}},
        {"send", {}},
        {"journal", {"--sn", "--since", "--csv"}},
    };
    return options;
}

const QStringList Flags = {"--json",    "--verbose", "--help",    "-h",
                           "--version", "--save",    "--dry-run", "--csv"};
const QStringList Valued = {"--com",    "--port",         "--device",         "--slot", "--baud",
                            "--parity", "--timeout",      "--folder",         "--id",   "--page",
                            "--count",  "--current-baud", "--current-parity", "--from", "--to",
                            "--sn",     "--since"};

std::optional<int> wholeNumber(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

char parityOf(const QString& text) {
    const QString p = text.toUpper();
    if (p == QLatin1String("N") || p == QLatin1String("E") || p == QLatin1String("O"))
        return p.at(0).toLatin1();
    return 0;
}

const char* const Overview =
    "Usage: cvictl [options] COMMAND [command options] [arguments]\n"
    "Corvanel Interactive " CVI_VERSION " from a shell: one operation on the instruments of a serial loop,\n"
    "with the same exchanges the windows of cvi use, then exit.\n"
    "\n"
    "Commands:\n"
    "  ports                           the machine's serial ports and what COM 1..COM 4 map to\n"
    "  detect [--save]                 find the loop: baud rate, parity and every instrument\n"
    "  read --id NN [--page P]         read a page: configuration (default), calibration, atmo3, all\n"
    "  set --id NN NAME=VALUE...       change parameters as the value boxes and option dialogs do\n"
    "  apply --id NN FILE              write the parameters a 'read --json' saved in FILE\n"
    "  sample --id NN MNEMONIC         a reading: single, hold and dump, or continuous\n"
    "  link --baud B [--parity P]      change the whole loop's baud rate and parity\n"
    "  renumber --to MM [--from NN]    give the loop new identifiers from MM on\n"
    "  send LINE                       one raw line, and whatever comes back\n"
    "  journal [--sn SN] [--since D]   the change journal: every write of cvi and cvictl\n"
    "'cvictl help COMMAND' or 'cvictl COMMAND --help' tells more of each.\n"
    "\n"
    "Options:\n"
    "  --port DEVICE      use this device (/dev/ttyUSB0, a pseudo-terminal, COM3 on Windows)\n"
    "  --device sim       the built-in simulated loop (01 pressure, 02 model M, 03 Atmo 3 at 9600,N);\n"
    "                     it starts afresh with every run\n"
    "  --com N=DEVICE     what COM N means (N = 1..4), as for cvi; CVI_COM1..CVI_COM4 likewise\n"
    "  --slot N           use COM N (default: the port cvi.ini remembers, else COM 1)\n"
    "  --baud B           the loop's baud rate (300..19200): skips the detection\n"
    "  --parity N|E|O     the loop's parity with --baud (default N; E and O use 7 data bits)\n"
    "  --timeout SECONDS  how long to wait for a reply (default: the loop's communication time-out\n"
    "                     + 1 s, as the pages use; sample measures its own, as the Sampling page)\n"
    "  --folder DIR       where cvi.ini is read and written (default: as cvi)\n"
    "  --json             one JSON document on stdout (see below)\n"
    "  --verbose          every line sent (>) and received (<) on stderr\n"
    "  --help, --version\n"
    "\n"
    "Without --baud each command first finds the loop as the Startup dialog does (probe from\n"
    "19200 baud down, then the version broadcast) and checks the ID is on it.\n"
    "\n"
    "Exit status: 0 done; 1 an instrument refused or a check failed; 2 usage error or an input file\n"
    "that cannot be used; 3 no response; 4 the port could not be opened or was lost.\n"
    "Bad input is told in one line on stderr, and nothing is sent for it.\n"
    "\n"
    "JSON: every document is an object with \"command\" (the command's name), \"status\" (the exit\n"
    "status) and \"error\" (null, or the message of a failure), and where the loop was used\n"
    "\"port\": {\"slot\", \"device\", \"baud\", \"parity\", \"data_bits\", \"stop_bits\"}. The rest is the\n"
    "command's own (see each command's help). Usage errors (status 2) print no document.\n";

QString commandHelp(const QString& command) {
    if (command == QLatin1String("ports"))
        return QStringLiteral(
            "Usage: cvictl ports\n"
            "Lists the serial ports of the machine (name, location, description, manufacturer, USB\n"
            "vendor and product ids where known) and the device each of COM 1..COM 4 maps to, after\n"
            "CVI_COM1..4 and --com. Pseudo-terminals never appear in the list; use them with --port.\n"
            "JSON: \"ports\": [{\"name\", \"location\", \"description\", \"manufacturer\", "
            "\"serial_number\",\n"
            "\"vendor_id\", \"product_id\"}] (ids as 4-digit hex text, null when unknown),\n"
            "\"slots\": [{\"slot\": \"COM 1\", \"device\"}].\n");
    if (command == QLatin1String("detect"))
        return QStringLiteral(
            "Usage: cvictl detect [--save]\n"
            "The Startup dialog's detection on the port: a probe from 19200 baud down to 300 until the\n"
            "loop echoes it, one version broadcast (identifiers, parity and versions), then two seconds\n"
            "of listening for readings nobody asked for and, if some came, each instrument's MD.\n"
            "Progress goes to stderr. Instruments that stream readings unasked are listed; cvictl does\n"
            "not change their mode (set --id NN MD=0 does). --save writes cvi.ini as the dialog's OK.\n"
            "With --baud the probe is skipped and the broadcast goes out at that rate.\n"
            "JSON: \"instruments\": [{\"id\", \"parity\", \"version\"}], \"mixed_parity\": bool,\n"
            "\"streaming\": [{\"id\", \"md\"}], \"saved\": bool.\n");
    if (command == QLatin1String("read"))
        return QStringLiteral(
            "Usage: cvictl read --id NN [--page configuration|calibration|atmo3|all]\n"
            "The page's Start: every parameter it reads, in its order, with the same lines. Prints one\n"
            "line per parameter: name, value as the instrument sent it (\"-\" without one), what the\n"
            "page shows for it where that differs (the meaning of a code), and the page's caption.\n"
            "The Configuration page also reads T1 for the pressure integration time. 'all' reads the\n"
            "three pages in turn. Only the instrument's own answer counts: a line of another\n"
            "instrument, for another parameter, or the command itself come back around the loop is\n"
            "passed over. Nothing back (no serial number) is status 3 and nothing more is read; a\n"
            "partial answer is status 0, with \"-\" where nothing came.\n"
            "JSON: \"id\", \"pages\": [names], \"parameters\": [{\"name\", \"page\", \"caption\", \"value\"\n"
            "(null without a reply), \"shown\", \"writable\"}], \"integration_time\" (text or null).\n"
            "The document is what 'apply' takes.\n");
    if (command == QLatin1String("set"))
        return QStringLiteral(
            "Usage: cvictl set --id NN [--dry-run] NAME=VALUE...\n"
            "Writes each parameter as its value box or option dialog does: the same checks (a value\n"
            "the window refuses is refused with its message, and nothing at all is sent), the wake-up,\n"
            "the enable-write line and the echo that confirms it, and the same reads after it (PR: TR\n"
            "and T1; ZV: ZS; UN: VR first, then PA, OP and ZV; ZS=1: ZS and ZV). Coded parameters take\n"
            "their codes (DD=1, UN=2, MD=3...). BL goes to every instrument of the loop, as the Baud\n"
            "Lock dialog sends it. An echo that holds another value than the one written is a refusal\n"
            "(status 1). --dry-run prints the lines it would send and sends nothing.\n"
            "JSON: \"id\", \"dry_run\", \"changes\": [{\"name\", \"requested\", \"lines\" (dry run: the "
            "lines\n"
            "it would send), \"echo\", \"value\", \"shown\", \"confirmed\", \"rereads\": {NAME: value}}].\n");
    if (command == QLatin1String("apply"))
        return QStringLiteral(
            "Usage: cvictl apply --id NN [--dry-run] FILE\n"
            "Reads the pages FILE holds from instrument NN, prints the differences, then writes every\n"
            "parameter that differs as 'set' does: UN and UF first, the rest in the page's order.\n"
            "Serial number, version and read-only values are skipped, and so are BL (it would change\n"
            "every instrument of the loop), the taring state ZS and its offset ZV, and parameters the\n"
            "instrument did not answer for. --dry-run stops after the differences.\n"
            "FILE must be a document written by 'cvictl read --json'.\n"
            "JSON: \"id\", \"source\": {\"id\", \"serial\"}, \"dry_run\", \"differences\": [{\"name\", "
            "\"from\",\n"
            "\"to\", \"action\": \"write\"|\"skip\", \"why\"}], \"changes\": [as for set].\n");
    if (command == QLatin1String("sample"))
        return QStringLiteral(
            "Usage: cvictl sample --id NN MNEMONIC [--count N]\n"
            "A reading as the Sampling page's Send makes it, one per line with an ISO 8601 time stamp,\n"
            "the reply and its number. Without --timeout the measurement time-out is worked out first\n"
            "from PR, TR and T1, as the page's Start does.\n"
            "  single (P1 P3 Q1 Q3 N1 N2 A1 A2 TT RH DB DS): N readings (default 1), one command each;\n"
            "  hold (P5 P6 Q5 Q6): each reading is the hold command, then DB to fetch it;\n"
            "  continuous (P2 P4 P7 Q2 Q4): until N readings (default: until Ctrl+C), then the page's\n"
            "  stop sequence (wake-up, *9900VR). A reading that goes silent for the time-out ends too.\n"
            "JSON: \"id\", \"mnemonic\", \"kind\", \"readings\": [{\"time\", \"line\", \"value\"}].\n");
    if (command == QLatin1String("link"))
        return QStringLiteral(
            "Usage: cvictl link --baud B [--parity N|E|O] [--current-baud B --current-parity P]\n"
            "Communication Setup: asks every instrument for its baud lock at the settings it uses now\n"
            "(found by detection, or --current-baud/--current-parity), and when none is locked tells\n"
            "every instrument the new parity, then the new baud rate. A locked loop is status 1.\n"
            "--parity defaults to the current one.\n"
            "JSON: \"from\" and \"to\": {\"baud\", \"parity\", \"data_bits\"}, \"locked\": bool.\n");
    if (command == QLatin1String("renumber"))
        return QStringLiteral(
            "Usage: cvictl renumber --to MM [--from NN]\n"
            "Renumbering: one broadcast gives the first instrument the ID MM and the others the\n"
            "following numbers, in loop order. --from NN is checked against the first ID found on the\n"
            "loop first. The last new ID must not pass 98.\n"
            "JSON: \"from\": [old IDs], \"to\": [new IDs], \"line\": the command sent.\n");
    if (command == QLatin1String("send"))
        return QStringLiteral(
            "Usage: cvictl send LINE\n"
            "Writes LINE and CR LF as the Terminal page does, then prints every line that comes back\n"
            "until the line has been quiet for the time-out. Nothing back is status 3.\n"
            "JSON: \"line\", \"replies\": [lines without CR LF].\n");
    if (command == QLatin1String("journal"))
        return QStringLiteral(
            "Usage: cvictl journal [--sn SN] [--since DATE] [--csv|--json]\n"
            "Prints the change journal, newest first: every write cvi and cvictl made to an instrument\n"
            "(value boxes, option dialogs, Units, Communication Setup, Renumber, restores, and cvictl\n"
            "set, apply, link and renumber), one line each: time (ISO 8601 with its UTC offset), port,\n"
            "ID (99: the whole loop), serial number, parameter, value shown before, value written, the\n"
            "echo, confirmed yes or no, and the tool. The journal is Journal.db beside Report.mdb (the\n"
            "folder of cvi.ini, see --folder); the loop is not used. --sn keeps one instrument's rows,\n"
            "--since those made from a date (2026-05-01, from local midnight) or an ISO 8601 time on.\n"
            "--csv prints comma-separated values with a heading line.\n"
            "JSON: \"rows\": [{\"time\", \"port\", \"id\", \"serial\", \"parameter\", \"before\", "
            "\"written\",\n"
            "\"echo\", \"confirmed\", \"tool\"}].\n");
    return QString::fromLatin1(Overview);
}

} // namespace

bool validBaud(int baud) {
    return baud == 300 || baud == 600 || baud == 1200 || baud == 2400 || baud == 4800 || baud == 9600 ||
           baud == 19200;
}

bool validId(const QString& id) {
    static const QRegularExpression twoDigits(QStringLiteral("^[0-9]{2}$"));
    if (!twoDigits.match(id).hasMatch()) return false;
    const int n = id.toInt();
    return n >= 1 && n <= 98;
}

bool Options::knownCommand(const QString& command) {
    return Commands.contains(command);
}

QString Options::helpText(const QString& command) {
    return commandHelp(command);
}

Options Options::parse(const QStringList& arguments) {
    Options o;
    QStringList given; // command options seen, to check them against the command
    auto bad = [&o](const QString& why) {
        if (o.error.isEmpty()) o.error = why;
    };
    for (int i = 0; i < arguments.size() && o.error.isEmpty(); ++i) {
        QString a = arguments[i];
        QString value;
        bool inlineValue = false;
        if (a.startsWith(QLatin1String("--")) && a.contains('=')) {
            value = a.section('=', 1);
            a = a.section('=', 0, 0);
            inlineValue = true;
        }
        if (a.startsWith('-') && a.size() > 1 && !o.command.isEmpty() && o.command == QLatin1String("send") &&
            !Flags.contains(a) && !Valued.contains(a)) {
            o.arguments << arguments[i]; // a raw line may begin with a dash
            continue;
        }
        if (Flags.contains(a)) {
            if (inlineValue) {
                bad(QStringLiteral("%1 takes no value").arg(a));
                break;
            }
            if (a == QLatin1String("--json")) o.json = true;
            if (a == QLatin1String("--verbose")) o.verbose = true;
            if (a == QLatin1String("--help") || a == QLatin1String("-h")) o.help = true;
            if (a == QLatin1String("--version")) o.version = true;
            if (a == QLatin1String("--save")) o.save = true, given << a;
            if (a == QLatin1String("--dry-run")) o.dryRun = true, given << a;
            if (a == QLatin1String("--csv")) o.csv = true, given << a;
            continue;
        }
        if (Valued.contains(a)) {
            if (!inlineValue) {
                if (i + 1 >= arguments.size()) {
                    bad(QStringLiteral("%1 needs a value").arg(a));
                    break;
                }
                value = arguments[++i];
            }
            if (a == QLatin1String("--com")) {
                static const QRegularExpression mapping(QStringLiteral("^[1-4]=.+$"));
                if (!mapping.match(value).hasMatch())
                    bad(QStringLiteral("--com expects N=DEVICE with N from 1 to 4, not \"%1\"").arg(value));
                o.com << value;
            } else if (a == QLatin1String("--port") || a == QLatin1String("--device")) {
                if (value.isEmpty()) bad(QStringLiteral("%1 needs a device").arg(a));
                if (a == QLatin1String("--device") && value != QLatin1String("sim"))
                    bad(QStringLiteral("--device knows only \"sim\"; use --port for \"%1\"").arg(value));
                o.port = value;
            } else if (a == QLatin1String("--slot")) {
                const auto n = wholeNumber(value);
                if (!n || *n < 1 || *n > 4)
                    bad(QStringLiteral("--slot expects 1 to 4, not \"%1\"").arg(value));
                o.slot = n.value_or(0);
            } else if (a == QLatin1String("--baud") || a == QLatin1String("--current-baud")) {
                const auto n = wholeNumber(value);
                if (!n || !validBaud(*n))
                    bad(QStringLiteral("%1 expects 300, 600, 1200, 2400, 4800, 9600 or 19200, not \"%2\"")
                            .arg(a, value));
                (a == QLatin1String("--baud") ? o.baud : o.currentBaud) = n;
                if (a == QLatin1String("--current-baud")) given << a;
            } else if (a == QLatin1String("--parity") || a == QLatin1String("--current-parity")) {
                const char p = parityOf(value);
                if (!p) bad(QStringLiteral("%1 expects N, E or O, not \"%2\"").arg(a, value));
                (a == QLatin1String("--parity") ? o.parity : o.currentParity) = p;
                if (a == QLatin1String("--current-parity")) given << a;
            } else if (a == QLatin1String("--timeout")) {
                bool ok = false;
                const double s = value.toDouble(&ok);
                if (!ok || !(s > 0) || s > 600)
                    bad(QStringLiteral("--timeout expects seconds above 0 and at most 600, not \"%1\"")
                            .arg(value));
                o.timeout = s;
            } else if (a == QLatin1String("--folder")) {
                o.folder = value;
            } else if (a == QLatin1String("--id") || a == QLatin1String("--from") ||
                       a == QLatin1String("--to")) {
                if (!validId(value))
                    bad(QStringLiteral("%1 expects a two-digit ID from 01 to 98, not \"%2\"").arg(a, value));
                (a == QLatin1String("--id") ? o.id : a == QLatin1String("--from") ? o.from : o.to) = value;
                given << a;
            } else if (a == QLatin1String("--page")) {
                static const QStringList pages = {"configuration", "calibration", "atmo3", "all"};
                if (!pages.contains(value))
                    bad(QStringLiteral("--page expects configuration, calibration, atmo3 or all, not \"%1\"")
                            .arg(value));
                o.page = value;
                given << a;
            } else if (a == QLatin1String("--sn")) {
                o.serial = value.trimmed();
                given << a;
            } else if (a == QLatin1String("--since")) {
                o.since = journal::parseSince(value);
                if (!o.since.isValid())
                    bad(QStringLiteral("--since expects a date (2026-05-01) or an ISO 8601 date and time "
                                       "(2026-05-01T14:30:00+02:00), not \"%1\"")
                            .arg(value));
                given << a;
            } else if (a == QLatin1String("--count")) {
                const auto n = wholeNumber(value);
                if (!n || *n < 1)
                    bad(QStringLiteral("--count expects a whole number from 1, not \"%1\"").arg(value));
                o.count = n;
                given << a;
            }
            continue;
        }
        if (a.startsWith('-') && a.size() > 1 && o.command != QLatin1String("send")) {
            bad(QStringLiteral("unknown option \"%1\"").arg(arguments[i]));
            break;
        }
        if (o.command.isEmpty()) {
            if (a == QLatin1String("help")) {
                o.help = true;
                continue;
            }
            if (!knownCommand(a)) {
                bad(QStringLiteral("unknown command \"%1\"").arg(a));
                break;
            }
            o.command = a;
        } else {
            o.arguments << arguments[i];
        }
    }
    if (!o.error.isEmpty() || o.help || o.version) return o;
    if (o.command.isEmpty()) {
        bad(QStringLiteral("no command given"));
        return o;
    }
    for (const QString& g : given)
        if (!commandOptions().value(o.command).contains(g))
            bad(QStringLiteral("%1 is not an option of %2").arg(g, o.command));
    if (o.command == QLatin1String("link")) {
        if (!o.baud) bad(QStringLiteral("link needs --baud, the loop's new baud rate"));
        if (o.currentParity && !o.currentBaud)
            bad(QStringLiteral("--current-parity goes with --current-baud"));
    } else if (o.parity && !o.baud) {
        bad(QStringLiteral("--parity goes with --baud"));
    }
    if (o.csv && o.json) bad(QStringLiteral("--csv and --json do not go together"));
    const bool needsId = o.command == QLatin1String("read") || o.command == QLatin1String("set") ||
                         o.command == QLatin1String("apply") || o.command == QLatin1String("sample");
    if (needsId && o.id.isEmpty()) bad(QStringLiteral("%1 needs --id NN").arg(o.command));
    if (o.command == QLatin1String("renumber") && o.to.isEmpty())
        bad(QStringLiteral("renumber needs --to MM, the first new ID"));
    const int words = static_cast<int>(o.arguments.size());
    if (o.command == QLatin1String("set") && words == 0) bad(QStringLiteral("set needs NAME=VALUE"));
    if ((o.command == QLatin1String("apply") || o.command == QLatin1String("sample") ||
         o.command == QLatin1String("send")) &&
        words != 1) {
        static const QHash<QString, QString> what = {
            {"apply", "one FILE"}, {"sample", "one MNEMONIC"}, {"send", "one LINE (quote it)"}};
        bad(QStringLiteral("%1 needs %2").arg(o.command, what.value(o.command)));
    }
    const bool noWords = !(o.command == QLatin1String("set") || o.command == QLatin1String("apply") ||
                           o.command == QLatin1String("sample") || o.command == QLatin1String("send"));
    if (noWords && words > 0)
        bad(QStringLiteral("%1 takes no argument \"%2\"").arg(o.command, o.arguments.first()));
    return o;
}

} // namespace cvi::ctl

// cvi-sim: serves a simulated loop of instruments on a pseudo-terminal.
#include "LoopConfig.h"
#include "PtyHost.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace cvi::sim;

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int signal) {
    const char c = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[0], &c, 1);
}

const char* usage =
    "Usage: cvi-sim [options]\n"
    "Serves a simulated loop of Corvanel instruments on a pseudo-terminal until interrupted.\n\n"
    "  --link PATH         create PATH as a link to the pseudo-terminal (default /tmp/cvi/COM1)\n"
    "  --baud N            the loop's baud rate: 300, 600, 1200, 2400, 4800, 9600 or 19200 (default 9600)\n"
    "  --parity N|E|O      the loop's parity (default N; E and O use 7 data bits)\n"
    "  --ids 01,02,...     a loop of pressure instruments with these identifiers, in loop order\n"
    "                      (default: 01 a pressure instrument, 02 an \"M\" instrument, 03 an Atmo 3)\n"
    "  --config FILE       instruments, values and faults from a JSON file (see --config-help);\n"
    "                      --baud and --parity given on the command line still apply\n"
    "  --host-frame RULE   how the program listens: auto (default), 8N1 or loop (see below)\n"
    "  --verbose           log the program's writes and its opens and closes on stderr\n"
    "  --config-help       print the JSON form of --config\n"
    "  --help\n\n"
    "Unplugging: SIGUSR1 pulls the adapter (the link and the pseudo-terminal vanish; a program\n"
    "holding the port sees its device lost), SIGUSR2 plugs it in again (a new pseudo-terminal behind\n"
    "the same link, the instruments as they were). \"lostAfterWrites\" in --config pulls it in the\n"
    "middle of an exchange.\n\n"
    "Then start the program on it:  CVI_COM1=/tmp/cvi/COM1 cvi\n\n"
    "What the simulator infers. A pseudo-terminal carries 8 bits without parity whatever the\n"
    "program sets, so the simulator sees only this of the program's side:\n"
    "  - its baud rate, from the terminal settings (read on the master side); a program at another\n"
    "    rate than the loop hears noise and is not understood, as on a real line;\n"
    "  - whether it has the port open: its serial library makes the terminal raw on open and\n"
    "    restores the canonical, no-echo idle settings on close. What the loop sends while the\n"
    "    port is closed is dropped, as a real line drops it;\n"
    "  - its parity and data bits, never: with --host-frame auto the program is taken to listen\n"
    "    with 8 data bits and no parity while its last line was a discovery probe (\"*9900VR\"\n"
    "    without line end, \"*00\") or the discovery broadcast (\"**9900VR\" CR LF), so it sees each\n"
    "    character's parity bit in bit 7 as loop discovery expects, and with the loop's own parity\n"
    "    (clean 7-bit characters) otherwise. --host-frame 8N1 or loop fixes the choice.\n";
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QString link = QStringLiteral("/tmp/cvi/COM1");
    int baud = 0;
    char parity = 0;
    QString ids;
    QString configFile;
    PtyHost::FrameRule rule = PtyHost::FrameRule::Auto;
    bool verbose = false;

    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "cvi-sim: %s needs a value\n", qPrintable(a));
                std::exit(2);
            }
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (a == "--config-help") {
            std::fputs(qPrintable(LoopConfig::jsonHelp()), stdout);
            return 0;
        } else if (a == "--link") {
            link = value();
        } else if (a == "--baud") {
            baud = value().toInt();
            if (baud != 300 && baud != 600 && baud != 1200 && baud != 2400 && baud != 4800 && baud != 9600 &&
                baud != 19200) {
                std::fprintf(stderr, "cvi-sim: unsupported baud rate\n");
                return 2;
            }
        } else if (a == "--parity") {
            const QString p = value().toUpper();
            if (p != "N" && p != "E" && p != "O") {
                std::fprintf(stderr, "cvi-sim: parity must be N, E or O\n");
                return 2;
            }
            parity = p[0].toLatin1();
        } else if (a == "--ids") {
            ids = value();
        } else if (a == "--config") {
            configFile = value();
        } else if (a == "--host-frame") {
            const QString r = value().toLower();
            if (r == "auto")
                rule = PtyHost::FrameRule::Auto;
            else if (r == "8n1")
                rule = PtyHost::FrameRule::EightNone;
            else if (r == "loop")
                rule = PtyHost::FrameRule::Loop;
            else {
                std::fprintf(stderr, "cvi-sim: --host-frame is auto, 8N1 or loop\n");
                return 2;
            }
        } else if (a == "--verbose") {
            verbose = true;
        } else {
            std::fprintf(stderr, "cvi-sim: unknown option %s\n\n%s", qPrintable(a), usage);
            return 2;
        }
    }

    LoopConfig config = LoopConfig::demo();
    if (!configFile.isEmpty()) {
        QFile f(configFile);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cvi-sim: cannot read %s\n", qPrintable(configFile));
            return 2;
        }
        QString error;
        if (!LoopConfig::fromJson(f.readAll(), config, &error)) {
            std::fprintf(stderr, "cvi-sim: %s: %s\n", qPrintable(configFile), qPrintable(error));
            return 2;
        }
    } else if (!ids.isEmpty()) {
        const QStringList list = ids.split(',', Qt::SkipEmptyParts);
        config.instruments.clear();
        for (int i = 0; i < list.size(); ++i) {
            const QString id = list[i].trimmed();
            if (!LoopConfig::validId(id)) {
                std::fprintf(stderr, "cvi-sim: identifier \"%s\" is not 01..98\n", qPrintable(id));
                return 2;
            }
            InstrumentConfig ic;
            ic.id = id;
            ic.serial = QString::number(100000 + i + 1);
            config.instruments.append(ic);
        }
    }
    if (baud) config.baud = baud;
    if (parity) config.parity = parity;

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return 1;
    PtyHost host(config, link, rule, verbose);
    QSocketNotifier stop(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, [&host] {
        char c = 0;
        if (::read(signalPipe[1], &c, 1) != 1) return;
        if (c == SIGUSR1) {
            host.unplug();
        } else if (c == SIGUSR2) {
            QString error;
            if (!host.replug(&error)) std::fprintf(stderr, "cvi-sim: %s\n", qPrintable(error));
        } else {
            QCoreApplication::quit();
        }
    });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
    std::signal(SIGUSR1, onSignal);
    std::signal(SIGUSR2, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    QString error;
    if (!host.start(&error)) {
        std::fprintf(stderr, "cvi-sim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("cvi-sim: %d instrument(s) at %d baud, parity %c, on %s (link %s)\n",
                static_cast<int>(config.instruments.size()), config.baud, config.parity,
                qPrintable(host.slavePath()), qPrintable(link));
    std::fflush(stdout);
    const int rc = QCoreApplication::exec();
    std::printf("cvi-sim: delivered %ld bytes, dropped %ld while the port was closed or full\n",
                host.delivered(), host.droppedWhileClosed());
    std::printf("cvi-sim: the loop fell behind the wire by %.1f ms at most\n", host.longestLate() * 1000.0);
    return rc;
}

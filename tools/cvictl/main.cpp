#include "Cli.h"
#include "Embedded.h"
#include "PortMap.h"
#include "RealSerialPort.h"
#include "SettingsFile.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace {
volatile std::sig_atomic_t interruptedFlag = 0;

void onInterrupt(int) {
    interruptedFlag = 1;
}

// A reader that went away (cvictl sample ... | head) ends a continuous reading as Ctrl+C does.
void write(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    const bool written = std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream) ==
                             static_cast<size_t>(bytes.size()) &&
                         std::fputc('\n', stream) != EOF && std::fflush(stream) == 0;
    if (!written) interruptedFlag = 1;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Corvanel Interactive"));
    QCoreApplication::setOrganizationName(QStringLiteral("Corvanel"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    cvi::QtRuntime runtime;
    // The built-in loop exists only once a port asks for it, and only for this run.
    std::unique_ptr<cvi::sim::EmbeddedLoop> simulated;
    cvi::ctl::Context context{runtime, {}, QProcessEnvironment::systemEnvironment(), {}};
    context.makePort = [&simulated](const QString& device) -> std::unique_ptr<cvi::SerialPort> {
        if (device == cvi::PortMap::Simulated) {
            if (!simulated) simulated = std::make_unique<cvi::sim::EmbeddedLoop>();
            return simulated->makePort();
        }
        return std::make_unique<cvi::RealSerialPort>();
    };
    context.folder = cvi::chooseProgramFolder(QCoreApplication::applicationDirPath());
    // Ctrl+C (or a kill) ends a continuous reading with its stop sequence; elsewhere it ends the program.
    context.watchInterrupt = [](bool on) {
        interruptedFlag = 0;
        std::signal(SIGINT, on ? onInterrupt : SIG_DFL);
        std::signal(SIGTERM, on ? onInterrupt : SIG_DFL);
    };
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN); // a closed output is told by the failed write instead
#endif
    context.interrupted = [] { return interruptedFlag != 0; };
    const cvi::ctl::Io io{[](const QString& text) { write(stdout, text); },
                          [](const QString& text) { write(stderr, text); }};
    return cvi::ctl::run(arguments, context, io);
}

#include "AppState.h"
#include "CommandLine.h"
#include "Discovery.h"
#include "MainWindow.h"
#include "Params.h"
#include "PortFactory.h"
#include "QtOperator.h"
#include "RealSerialPort.h"
#include "Runtime.h"
#include "Startup.h"

#include "Embedded.h"

#include <QApplication>
#include <QProcessEnvironment>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvanel Interactive"));
    QApplication::setOrganizationName(QStringLiteral("Corvanel"));
    QApplication::setApplicationVersion(QStringLiteral("1.2"));

    const cvi::CommandLine options = cvi::CommandLine::parse(QApplication::arguments().mid(1));
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "cvi: %s\n\n%s", qPrintable(options.error), qPrintable(cvi::CommandLine::usage()));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(cvi::CommandLine::usage()), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("Corvanel Interactive 1.2");
        return 0;
    }

    cvi::AppState state;
    state.ProgramFolder = cvi::chooseProgramFolder(QApplication::applicationDirPath());

    cvi::PortFactory ports;
    ports.map = options.portMap(QProcessEnvironment::systemEnvironment());
    // The simulated loop exists only when some slot is mapped to it.
    std::unique_ptr<cvi::sim::EmbeddedLoop> simulated;
    if (ports.map.anySimulated()) simulated = std::make_unique<cvi::sim::EmbeddedLoop>();
    ports.maker = [&simulated](const QString& device) -> std::unique_ptr<cvi::SerialPort> {
        if (device == cvi::PortMap::Simulated) return simulated ? simulated->makePort() : nullptr;
        return std::make_unique<cvi::RealSerialPort>();
    };

    cvi::QtRuntime runtime;
    cvi::QtOperator op;
    cvi::MainWindow main(state, runtime, op, ports);
    cvi::StartupSequence::measureScreen(main);

    cvi::installParameterPages(main);
    cvi::installDiscovery(main);

    cvi::StartupSequence startup{main, [&main] { cvi::showStartupDialog(main); }, !options.noSplash};
    if (!startup.run()) return 0;
    return QApplication::exec();
}

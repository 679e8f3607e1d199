#include "CommandLine.h"
#include "Program.h"
#include "QtOperator.h"
#include "Runtime.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    // The command line is read before any window system is needed, so --help and --version
    // answer on a machine without a display (over SSH, on a headless bench PC).
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const cvi::CommandLine options = cvi::CommandLine::parse(arguments);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "cvi: %s\n\n%s", qPrintable(options.error),
                     qPrintable(cvi::CommandLine::usage()));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(cvi::CommandLine::usage()), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("Corvanel Interactive %s\n", CVI_VERSION);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvanel Interactive"));
    QApplication::setOrganizationName(QStringLiteral("Corvanel"));
    QApplication::setApplicationVersion(QStringLiteral(CVI_VERSION));

    cvi::QtRuntime runtime;
    cvi::QtOperator op;
    cvi::Program program(options, runtime, op, cvi::chooseProgramFolder(QApplication::applicationDirPath()));
    if (!program.start(!options.noSplash)) return 0;
    return QApplication::exec();
}

#include "CommandLine.h"
#include "Program.h"
#include "QtOperator.h"
#include "Runtime.h"

#include <QApplication>

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

    cvi::QtRuntime runtime;
    cvi::QtOperator op;
    cvi::Program program(options, runtime, op, cvi::chooseProgramFolder(QApplication::applicationDirPath()));
    if (!program.start(!options.noSplash)) return 0;
    return QApplication::exec();
}

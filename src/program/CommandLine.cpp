#include "CommandLine.h"

namespace cvi {

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine cl;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QStringLiteral("--simulate")) {
            cl.simulate = true;
        } else if (a == QStringLiteral("--no-splash")) {
            cl.noSplash = true;
        } else if (a == QStringLiteral("--help") || a == QStringLiteral("-h")) {
            cl.help = true;
        } else if (a == QStringLiteral("--version")) {
            cl.version = true;
        } else if (a == QStringLiteral("--com") || a.startsWith(QStringLiteral("--com="))) {
            QString mapping;
            if (a == QStringLiteral("--com")) {
                if (i + 1 >= arguments.size()) {
                    cl.error = QStringLiteral("--com needs N=DEVICE");
                    return cl;
                }
                mapping = arguments[++i];
            } else {
                mapping = a.mid(6);
            }
            PortMap probe;
            if (!probe.applyOverride(mapping)) {
                cl.error =
                    QStringLiteral("--com expects N=DEVICE with N from 1 to 4, not \"%1\"").arg(mapping);
                return cl;
            }
            cl.comOverrides << mapping;
        } else if (a.startsWith(QStringLiteral("-platform")) || a.startsWith(QStringLiteral("-style"))) {
            ++i; // Qt's own options, already taken by QApplication
        } else {
            cl.error = QStringLiteral("unknown option \"%1\"").arg(a);
            return cl;
        }
    }
    return cl;
}

PortMap CommandLine::portMap(const QProcessEnvironment& env) const {
    PortMap map = PortMap::fromEnvironment(env);
    for (const QString& mapping : comOverrides)
        map.applyOverride(mapping);
    if (simulate) map.mapAllTo(PortMap::Simulated);
    return map;
}

QString CommandLine::usage() {
    return QStringLiteral(
        "Usage: cvi [options]\n"
        "Corvanel Interactive " CVI_VERSION
        ": configure, calibrate and read the instruments on a serial loop.\n\n"
        "  --simulate          run on the built-in simulated loop (instruments 01, 02, 03 at 9600 baud)\n"
        "  --com N=DEVICE      use DEVICE for \"COM N\" (N = 1..4), e.g. --com 1=/dev/ttyUSB0;\n"
        "                      DEVICE \"sim\" is the built-in simulated loop\n"
        "  --no-splash         start without the splash picture\n"
        "  --help, --version\n\n"
        "Environment: CVI_COM1..CVI_COM4 map the COM slots as --com does (the option wins).\n"
        "Default devices: /dev/ttyS0../dev/ttyS3 on Linux, COM1..COM4 on Windows.\n");
}

} // namespace cvi

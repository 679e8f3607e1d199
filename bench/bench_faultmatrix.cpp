// The fault matrix as the CI test runs it, printed: each entry point against each line fault,
// with the simulated and the wall time of the action under the fault, what the operator was told
// and what broke. Usage: bench_faultmatrix [ENTRY-SUBSTRING]
#include "FaultMatrix.h"

#include <QApplication>

#include <cstdio>

using namespace cvi::test::matrix;

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    int cells = 0, broken = 0;
    double simulated = 0;
    QElapsedTimer total;
    total.start();
    std::printf("%-28s %-24s %8s %8s  %s\n", "entry point", "fault", "sim s", "wall ms", "told / broke");
    for (const Entry& e : entries()) {
        if (!e.name.contains(only, Qt::CaseInsensitive)) continue;
        Bench b;
        if (e.prepare) e.prepare(b);
        for (int f = 0; f < FaultNames.size(); ++f) {
            const Cell c = runCell(b, e, Fault(f));
            ++cells, broken += c.problems.isEmpty() ? 0 : 1, simulated += c.seconds;
            std::printf("%-28s %-24s %8.2f %8lld  %s%s%s\n", qPrintable(e.name), qPrintable(FaultNames[f]),
                        c.seconds, static_cast<long long>(c.wallMs),
                        qPrintable(c.told.isEmpty() ? QStringLiteral("-") : c.told.join(" / ")),
                        c.problems.isEmpty() ? "" : "  BROKE: ", qPrintable(c.problems.join("; ")));
        }
    }
    std::printf("%d cells, %d broken; %.1f simulated s in %.1f wall s\n", cells, broken, simulated,
                total.elapsed() / 1000.0);
    return broken ? 1 : 0;
}

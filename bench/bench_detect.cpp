// Loop discovery of three instruments at 9600 baud on the real clock, through the real serial
// port against cvi-sim: wall time against the waits the detection itself prescribes, and the
// processor time the program spends meanwhile (its waits must not spin).
#include "BenchSupport.h"
#include "Discovery.h"
#include "Program.h"
#include "ScriptedOperator.h"
#include "SimProcess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>

#include <cstdio>

using namespace cvi;
using bench::cpuSeconds;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    setEndProgramHook([] {});
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    SimProcess cviSim;
    if (!cviSim.start({"--baud", "9600", "--ids", "01,02,03"})) {
        std::fprintf(stderr, "cvi-sim did not start\n");
        return 1;
    }
    const QString link = cviSim.link;
    QTemporaryDir dir;

    QtRuntime runtime;
    test::ScriptedOperator op;
    Program program(CommandLine::parse({"--com", "1=" + link}), runtime, op, dir.path());
    // The waits the detection prescribes at 9600 baud: the 300 ms pause of the failed 19200
    // probe and of the 9600 probe and the 2 s listen of the mode check (the scan ends when the
    // broadcast comes back, its 1.5 s wait only bounds a broken loop), plus the characters on
    // the wire: probe 7 + 3, echo 3, broadcast 10, three version replies of 14, 15 and 17 and
    // the echo of 9.
    const double wire = (7 + 3 + 3 + 10 + 14 + 15 + 17 + 9) * 10.0 / 9600.0;
    const double prescribed = 0.3 + 0.3 + 2.0 + wire;
    for (int r = 0; r < rounds; ++r) {
        double wall = 0, cpu = 0;
        QString baud, report;
        op.dialogs.enqueue([&](QDialog& dialog) {
            auto* detect = dialog.findChild<QAbstractButton*>("cmdStart");
            const double c0 = cpuSeconds();
            QElapsedTimer t;
            t.start();
            detect->click();
            wall = t.nsecsElapsed() / 1e9;
            cpu = cpuSeconds() - c0;
            baud = dialog.findChild<QLabel*>("PnlBaudRate")->text();
            return int(QDialog::Rejected);
        });
        showStartupDialog(program.main().host());
        std::printf(
            "detection %d: found %s baud in %.3f s (prescribed waits and wire time %.3f s, ratio %.3f), "
            "cpu %.3f s = %.2f%% of one core\n",
            r + 1, qPrintable(baud), wall, prescribed, wall / prescribed, cpu, 100.0 * cpu / wall);
    }
    return 0;
}

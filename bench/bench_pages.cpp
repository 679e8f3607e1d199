// Configuration Start on a three-instrument loop at 9600 baud through cvi-sim on a
// pseudo-terminal (instruments answer at once): wall time against the time its bytes need on the
// wire at 10 bits per character plus the page's own fixed pause (the 10 ms after the wake-up
// star). What is left is the program's per-exchange overhead: opening and closing the port and
// waking the reader.
#include "BenchSupport.h"
#include "MainWindow.h"
#include "Params.h"
#include "RealSerialPort.h"
#include "SimProcess.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>

#include <cstdio>

using namespace cvi;

using CountingPort = bench::ByteCountingPort;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    SimProcess cviSim;
    if (!cviSim.startWithConfig(R"({"baud":9600,"parity":"N","answerDelay":0,"hopDelay":0,"instruments":[
        {"id":"01"},{"id":"02"},{"id":"03"}]})")) {
        std::fprintf(stderr, "cvi-sim did not start\n");
        return 1;
    }
    const QString link = cviSim.link;

    QtRuntime runtime;
    bench::QuietOperator op;
    AppState state;
    state.Link = LinkSettings::of(QStringLiteral("COM 1"), 9600, 'N');
    state.CommTimeout = 0.36;
    state.ReadTimeout = 2.36;
    state.IDList = "010203";
    state.InstrumentCount = 3;
    PortFactory ports;
    ports.map.setDevice(1, link);
    ports.maker = [](const QString&) { return std::make_unique<CountingPort>(); };
    MainWindow main(state, runtime, op, ports);
    installParameterPages(main.host());
    main.RefreshIdLists();
    auto* list = main.findChild<QComboBox*>("cboConfiguration");
    auto* start = main.findChild<QPushButton*>("cmdConfigurationStart");

    double worst = 0, total = 0;
    for (int r = 0; r < rounds; ++r) {
        list->setCurrentIndex(r % 3);
        emit list->activated(r % 3);
        CountingPort::written = CountingPort::received = 0;
        QElapsedTimer t;
        t.start();
        start->click();
        const double wall = t.nsecsElapsed() / 1e9;
        const double wire = (CountingPort::written + CountingPort::received) * 10.0 / 9600.0;
        const double budget = wire + 0.010;
        const double ratio = wall / budget;
        worst = std::max(worst, ratio);
        total += ratio;
        std::printf(
            "Start on %s: %.3f s wall, %ld bytes out, %ld in, wire %.3f s + pause 0.010 s, ratio %.3f\n",
            qPrintable(list->currentText()), wall, CountingPort::written, CountingPort::received, wire,
            ratio);
    }
    std::printf(
        "Configuration Start through cvi-sim at 9600: mean ratio %.3f, worst %.3f (target at most 1.25)\n",
        total / rounds, worst);
    return 0;
}

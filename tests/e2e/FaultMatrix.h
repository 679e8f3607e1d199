#pragma once

// Every way the operator talks to the loop against every fault of the line, on the simulated loop
// and clock. Shared by the matrix test and its bench, which prints the cells with their times.
#include "../params/PageBench.h"
#include "Cli.h"
#include "Discovery.h"
#include "LiveWindow.h"
#include "Readings.h"
#include "Report.h"
#include "SamplingPage.h"
#include "Terminal.h"
#include "TerminalPage.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace cvi::test::matrix {

// clang-format off
enum class Fault { None, Silent, Slow, NoCR, Question, WrongMnemonic, Streaming, Unpassed, Cut, WrongBaud, Garbage, Lost };
inline const QStringList FaultNames = {"healthy", "silent", "after 2.5 s", "no CR", "? in data", "wrong mnemonic",
    "streaming", "broadcast not passed on", "cut wire", "wrong baud", "garbage", "device lost"};
// clang-format on
inline constexpr double Bound = 60.0; // simulated seconds any action may take, faults or not

struct Bench : PageBench {
    QTemporaryDir folder;
    QString ctlOut, ctlErr, applyFile;
    int ctlStatus = -1, edits = 0;
    bool overdue = false;

    Bench() : PageBench(sim::LoopConfig::demo()) {
        state.ProgramFolder = folder.path();
        op.saveAnswer = folder.filePath("report");
        installReadingPages(host());
        installTerminalPage(host());
        installDiscovery(host());
        installReport(host());
        for (const char* m : {"mnuMeasure", "mnuSettings", "mnuTimeout", "mnuPrint"})
            host().setActionEnabled(m, true);
        main->RefreshIdLists();
    }
    void set(Fault f, bool on) {
        for (int i = 0; i < loop->size(); ++i) {
            sim::Faults& x = loop->at(i).faults();
            x.silent = on && f == Fault::Silent;
            x.slowSeconds = on && f == Fault::Slow ? 2.5 : 0.0;
            x.missingCR = on && f == Fault::NoCR;
            x.questionMark = on && f == Fault::Question;
            x.wrongMnemonic = on && f == Fault::WrongMnemonic;
            x.garbage = on && f == Fault::Garbage;
            if (f == Fault::Streaming) loop->at(i).setParam("MD", on ? "2" : "0");
        }
        loop->config().broken = on && f == Fault::Unpassed;
        loop->config().cut = on && f == Fault::Cut;
        loop->setInstrumentsBaud(on && f == Fault::WrongBaud ? 4800 : 9600);
        loop->config().lostAfterWrites = on && f == Fault::Lost ? 1 : 0;
        loop->restoreDevice();
    }
    void tab(int index) { w<QTabWidget>("Panel")->setCurrentIndex(index); }
    void later(double dt, std::function<void()> fn) {
        clock.at(clock.now() + dt, [fn] { QTimer::singleShot(0, qApp, fn); });
    }
    // The menu command `action`; in each dialog that follows the operator clicks the controls of
    // its list in turn (those that exist), then leaves it.
    void menu(const char* action, const QList<QStringList>& dialogs) {
        for (const QStringList& controls : dialogs)
            op.dialogs.enqueue([controls](QDialog& d) {
                for (const QString& c : controls)
                    if (auto* b = d.findChild<QAbstractButton*>(c); b && b->isEnabled()) b->click();
                return d.result();
            });
        main->action(action)->trigger();
    }
    // The option dialog of `box`: the first option not already chosen, then OK.
    void optionDialog(const QString& box) {
        op.dialogs.enqueue([](QDialog& d) {
            for (auto* o : d.findChildren<QRadioButton*>())
                if (!o->isHidden() && o->isEnabled() && !o->isChecked()) {
                    o->click();
                    break;
                }
            if (auto* ok = d.findChild<QAbstractButton*>("CmdOK")) ok->click();
            return d.result();
        });
        click(box);
    }
    void live(const QString& menu, const QString& id) {
        op.answers.enqueue(id);
        later(4.0, [this] {
            for (auto* window : main->findChildren<LiveWindow*>())
                window->findChild<QAbstractButton*>("CmdExit")->click();
        });
        main->action(menu)->trigger();
    }
    // Another instrument and back (the page needs its Start again), `option` chosen, `button`.
    void rechoose(const QString& list, int id, const QString& button, const QString& option = {}) {
        choose(list, (id + 1) % 3), choose(list, id);
        if (!option.isEmpty()) w<QAbstractButton>(option)->click();
        press(button);
    }
    void sample(const QString& option, bool continuous = false) {
        tab(PageHost::Sampling);
        rechoose("cboSampling", 0, "cmdSamplingStart");
        if (!op.messages.isEmpty()) return; // told at Start: the operator sees to the line first
        w<QAbstractButton>(option)->click();
        if (continuous) later(3.0, [this] { press("cmdStop"); });
        press("cmdSend");
        if (option == "OptP5" && enabled("OptPressDB")) {
            w<QAbstractButton>("OptPressDB")->click();
            press("cmdSend");
        }
    }
    void ctl(QStringList args) {
        ctlOut.clear(), ctlErr.clear();
        args.replaceInStrings(QRegularExpression("^@$"), applyFile);
        args.replaceInStrings("PR=@", inst("01").param("PR") == "240" ? "PR=250" : "PR=240");
        ctl::Context context{runtime, {}, QProcessEnvironment(), folder.path()};
        context.makePort = [this](const QString&) -> std::unique_ptr<SerialPort> {
            return std::make_unique<sim::SimPort>(*loop);
        };
        const ctl::Io io{[this](const QString& t) { ctlOut += t + '\n'; },
                         [this](const QString& t) { ctlErr += t + '\n'; }};
        ctlStatus = ctl::run(QStringList{"--device", "sim", "--baud", "9600"} + args, context, io);
    }
    // The value boxes on show that hold something other than what instrument 01 holds.
    QString boxesWrong() {
        QStringList wrong;
        for (ValueBox* box : main->findChildren<ValueBox*>()) {
            const catalogue::Parameter* p = catalogue::forBox(box->objectName());
            const QString v = inst("01").param(p ? p->mnemonic : QString()), shown = box->text();
            if (p && p->box == box->objectName() && !shown.isEmpty() &&
                !QStringList{v, v.trimmed(), p->show(v).value_or(v), p->showWritten(v).value_or(v)}.contains(
                    shown))
                wrong << box->objectName() + "=" + shown;
        }
        return wrong.join(' ');
    }
};

// An entry point: what the operator does (`prepare` first, on a healthy loop), and what is wrong
// with the outcome when the loop was healthy ("" when the action did its work).
struct Entry {
    QString name;
    std::function<void(Bench&)> act;
    std::function<QString(Bench&)> wrong;
    std::function<void(Bench&)> prepare = {};
    bool talks = true; // it uses the line: a healthy run hears a reply
};

inline QString unless(bool ok, const QString& why) {
    return ok ? QString() : why;
}

inline QList<Entry> entries() {
    auto cfg = [](Bench& b) { b.startConfiguration(); };
    auto boxes = [](Bench& b) { return b.boxesWrong(); };
    auto status0 = [](Bench& b) {
        return unless(b.ctlStatus == 0, "status " + QString::number(b.ctlStatus));
    };
    QList<Entry> out = {
        {"Startup detection",
         [](Bench& b) {
             b.menu("mnuStartup", {{"cmdStart", "CmdOK"}});
         },
         [](Bench& b) { return unless(b.state.IDList == "010203", "found " + b.state.IDList); }},
        {"Configuration Start", [](Bench& b) { b.rechoose("cboConfiguration", 0, "cmdConfigurationStart"); },
         [](Bench& b) {
             return unless(b.text("lblPR") == "238", "lblPR " + b.text("lblPR")) + b.boxesWrong();
         }},
        {"Calibration Start", [](Bench& b) { b.rechoose("cboCalibration", 0, "cmdCalibrationStart"); },
         boxes},
        {"value-box edit", [](Bench& b) { b.edit("lblPR", QString::number(300 + ++b.edits)); },
         [](Bench& b) {
             const QString pr = QString::number(300 + b.edits);
             return unless(b.text("lblPR") == pr && b.inst("01").param("PR") == pr, "PR not written") +
                    b.boxesWrong();
         },
         cfg}};
    for (const char* box :
         {"lblDD", "lblDP", "lblIM", "lblIC", "lblAR", "lblZL", "lblBL", "lblZS", "lblUnit"})
        out << Entry{box, [box](Bench& b) { b.optionDialog(box); }, boxes, cfg};
    out += QList<Entry>{
        {"Communication Setup",
         [](Bench& b) {
             b.menu("mnuSettings", {{"Opt9600", "OptNoParity", "CmdOK"}});
         },
         [](Bench& b) { return unless(b.state.Link.baud == 9600, "settings changed"); }},
        {"time-outs",
         [](Bench& b) { b.menu("mnuTimeout", {{"cmdTimeoutOK"}}); },
         [](Bench& b) { return unless(b.state.CommTimeout > 0, "no time-out"); },
         {},
         false},
        {"Renumber",
         [](Bench& b) {
             b.op.answers.enqueue("1");
             b.tab(PageHost::Configuration);
             b.press("cmdAutoNumber");
         },
         [](Bench& b) { return unless(b.state.IDList == "010203", "IDs " + b.state.IDList); }},
        {"Sampling single", [](Bench& b) { b.sample("OptP3"); }, boxes},
        {"Sampling hold + dump", [](Bench& b) { b.sample("OptP5"); }, boxes},
        {"Sampling continuous + Stop", [](Bench& b) { b.sample("OptP4", true); },
         [](Bench& b) { return unless(b.enabled("cmdSend"), "Send not back"); }},
        {"Pressure window", [](Bench& b) { b.live("mnuPressure", "01"); }, boxes},
        {"Sensor window", [](Bench& b) { b.live("mnuSensor", "01"); }, boxes},
        {"Atmo 3 window", [](Bench& b) { b.live("mnuAtmo3", "03"); }, boxes},
        {"Atmo3 page", [](Bench& b) { b.tab(PageHost::Atmo3), b.rechoose("cboAnalog", 2, "cmdAnalogSend"); },
         [](Bench& b) { return unless(b.text("lblSerNum") == "300417", "SN " + b.text("lblSerNum")); }},
        {"System page",
         [](Bench& b) { b.tab(PageHost::System), b.rechoose("cboSystem", 0, "cmdSysSend", "OptMC"); },
         [](Bench& b) { return unless(b.text("lblSystemSN") == "104512", "SN " + b.text("lblSystemSN")); }},
        {"Beep", [](Bench& b) { b.press("cmdOverpressure"); },
         [](Bench& b) { return unless(b.wire().written().endsWith("**0100BP\r\n"), "no beep written"); }, cfg,
         false},
        {"Terminal",
         [](Bench& b) { // the page listens from the event loop; Send at 0.2 s, the page left at 2 s
             b.clock.at(b.clock.now() + 0.2, [&b] { b.press("Send"); });
             b.clock.at(b.clock.now() + 2.0, [&b] { b.tab(0); });
             b.w<QLineEdit>("txtCmd")->setText("*0100VR");
             b.tab(PageHost::Terminal);
             QCoreApplication::processEvents();
             b.idle(2.0);
         },
         [](Bench& b) {
             const TerminalModel& rows = b.main->findChild<TerminalPage*>()->model();
             return unless(rows.row(rows.rowCount() - 1).second == "*0001VR=5.10", "no answer listed");
         }},
        {"report",
         [](Bench& b) {
             b.menu("mnuPrint", {{"CmdOK"}, {"cmdSavePdf"}});
         },
         [](Bench& b) { return unless(QFile::exists(b.op.saveAnswer + ".pdf"), "no PDF"); }, cfg, false},
    };
    // cvictl: "@" stands for the apply file (01's parameters, read before the first cell), "PR=@"
    // for the PR that 01 does not hold (240 or 250).
    auto saveApply = [](Bench& b) {
        b.ctl({"read", "--id", "01", "--json"});
        QFile f(b.applyFile = b.folder.filePath("01.json"));
        if (f.open(QIODevice::WriteOnly)) f.write(b.ctlOut.toUtf8());
    };
    for (const QStringList& args :
         QList<QStringList>{{"read", "--id", "01"},
                            {"set", "--id", "01", "PR=@"},
                            {"apply", "--id", "02", "@"},
                            {"sample", "--id", "01", "P3", "--timeout", "2"},
                            {"link", "--current-baud", "9600", "--current-parity", "N"}})
        out << Entry{"cvictl " + args[0], [args](Bench& b) { b.ctl(args); }, status0,
                     args[0] == "apply" ? saveApply : std::function<void(Bench&)>()};
    return out;
}

// One cell: the action under the fault, then, the fault cleared, the same action again.
struct Cell {
    QStringList told;     // the messages of the action under the fault ("title: text"; cvictl: its lines)
    QStringList problems; // what broke
    double seconds = 0;   // simulated time of the action under the fault
    qint64 wallMs = 0;
};

inline Cell runAction(Bench& b, const Entry& e) {
    Cell c;
    QElapsedTimer wall;
    wall.start();
    b.op.messages.clear(), b.wire().clear(), b.ctlStatus = -1, b.overdue = false;
    const double start = b.clock.now();
    const auto watchdog = b.clock.at(start + Bound, [&b] {
        b.overdue = true; // the operator gives up: Exit, Stop, another page
        for (auto* window : b.main->findChildren<LiveWindow*>())
            window->findChild<QAbstractButton*>("CmdExit")->click();
        if (b.enabled("cmdStop")) b.press("cmdStop");
        b.tab(PageHost::Sampling);
    });
    e.act(b);
    b.idle(0.001);
    c.seconds = b.clock.now() - start, c.wallMs = wall.elapsed();
    b.clock.cancel(watchdog);
    b.op.dialogs.clear(), b.op.answers.clear();
    for (const auto& m : b.op.messages)
        if (m.title != "Caution!") c.told << m.title + ": " + m.text; // Units: the 16-bit limits
    for (const QString& line : b.ctlErr.split('\n', Qt::SkipEmptyParts))
        if (line.startsWith("cvictl:")) c.told << line;
    if (b.overdue) c.problems << QStringLiteral("still running after %1 s").arg(Bound);
    if (b.loop->attached() || b.runtime.line(PortMap::Simulated).holder) c.problems << "the port is held";
    if (pointerIsBusy()) c.problems << "the pointer stays busy";
    if (b.ctlStatus > int(ctl::PortFailed)) c.problems << "cvictl status " + QString::number(b.ctlStatus);
    if (c.told.size() > 1) c.problems << QString::number(c.told.size()) + " messages";
    return c;
}

inline Cell runCell(Bench& b, const Entry& e, Fault f) {
    b.set(f, true);
    Cell c = runAction(b, e);
    if (f == Fault::None && !c.told.isEmpty()) c.problems << "told on a healthy loop";
    // The documented titles; none: a plain message box (a live window's error).
    for (const QString& t : c.told)
        if (!QRegularExpression("^(Warning|Info|Error|Error !|Error!|Data Error|Buffer Overflow|"
                                "User Error|Communication Error|cvictl|): \\S")
                 .match(t)
                 .hasMatch())
            c.problems << "undocumented: " + t;
    b.set(f, false);
    b.idle(3.0); // what the fault left on its way
    const Cell then = runAction(b, e);
    for (const QString& p : then.problems + then.told + QStringList{e.wrong(b)})
        if (!p.isEmpty()) c.problems << "then: " + p;
    if (e.talks && b.wire().received().isEmpty()) c.problems << "then: nothing heard";
    return c;
}

} // namespace cvi::test::matrix

// A seeded random walk over what an operator does, in any order and at any moment, against a
// loop with measurement times, a slow instrument, "?" replies and a silent instrument switched on
// and off. After every action: each value box shows what the instrument holds for it (or "-"),
// each live-window panel a reading of its own quantity (or dashes), only the messages the faults
// explain, the port released, and the action over within its bound. A failure prints the seed
// and the action trace, shrunk to the actions that still make it fail.
#include "../params/PageBench.h"
#include "Discovery.h"
#include "LiveWindow.h"
#include "Readings.h"
#include "SamplingPage.h"
#include "Terminal.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <tuple>

using namespace cvi;
using namespace cvi::test;

namespace {

// clang-format off
enum class Act { Choose, Start, Edit, Dialog, Sample, Live, Terminal, Timeouts, Renumber, Fault, Idle, Count };
// clang-format on
const char* const ActNames[] = {"choose",   "start",    "edit",     "dialog", "sample", "live",
                                "terminal", "timeouts", "renumber", "fault",  "idle"};

// One operator action; its choices are drawn from the seed before anything runs, so that a
// shortened sequence replays the same choices.
struct Action {
    Act act;
    int a, b;
    double t;
    QString text() const {
        return QStringLiteral("%1(%2,%3,%4)").arg(ActNames[int(act)]).arg(a).arg(b).arg(t, 0, 'f', 2);
    }
};

const QStringList StartButtons = {"cmdSamplingStart", "cmdConfigurationStart", "cmdCalibrationStart",
                                  "cmdAnalogSend", "cmdSysSend"};
const QStringList Lists = {"cboSampling", "cboConfiguration", "cboCalibration", "cboSystem", "cboAnalog"};
// The option dialogs and Units; the Background Mode's RS-232 switch (the instruments then
// stream unasked) is a fault of its own, not an operator's walk.
const QStringList DialogBoxes = {"lblDD", "lblDP", "lblIM", "lblIC",   "lblAR",
                                 "lblZL", "lblBL", "lblZS", "lblUnit", "lblDisplay"};
const QStringList Samplings = {"OptP3", "OptQ3", "OptP1", "OptP5", "OptP4", "OptQ4"};
const QStringList LiveMenus = {"mnuPressure", "mnuSensor", "mnuAtmo3"};

struct Walk : PageBench {
    QStringList problems;
    QStringList seen;                 // every message, "title: text"
    QHash<ValueBox*, QString> before; // what the boxes showed before the action
    bool faulty = false;              // a fault was on at some moment of the action
    bool liveChecked = false;

    static sim::LoopConfig config() {
        sim::LoopConfig c = sim::LoopConfig::demo();
        c.instruments[0].measurementSeconds = 0.4;
        c.instruments[1].measurementSeconds = 0.9;
        return c;
    }
    Walk() : PageBench(config()) {
        installReadingPages(host());
        installTerminalPage(host());
        installDiscovery(host());
        for (const char* m : {"mnuMeasure", "mnuSettings", "mnuTimeout"})
            host().setActionEnabled(m, true);
        main->RefreshIdLists();
    }

    // A click of the operator at simulated time now + dt: it reaches the program at its next
    // look at the interface, never inside a fixed delay.
    void later(double dt, std::function<void()> fn) {
        clock.at(clock.now() + dt, [fn] { QTimer::singleShot(0, qApp, fn); });
    }
    sim::Instrument* chosen() { return loop->instrument(state.AddressPrefix.mid(1, 2)); }
    bool anyFault() const {
        bool any = false;
        for (int i = 0; i < loop->size(); ++i)
            any = any || loop->at(i).faults().silent || loop->at(i).faults().slowSeconds > 0 ||
                  loop->at(i).faults().questionMark;
        return any;
    }

    void run(const Action& x) {
        faulty = anyFault();
        before.clear();
        for (ValueBox* box : main->findChildren<ValueBox*>())
            before.insert(box, box->text());
        switch (x.act) {
        case Act::Choose:
            if (state.idCount() > 0) choose(Lists[x.a % 5], x.b % state.idCount());
            break;
        case Act::Start:
            if (x.a % 5 >= 3)
                w<QTabWidget>("Panel")->setCurrentIndex(x.a % 5 == 3 ? PageHost::Atmo3 : PageHost::System);
            if (x.a % 5 == 4 && !w<QAbstractButton>("OptMC")->isChecked())
                w<QAbstractButton>("OptMC")->click();
            press(StartButtons[x.a % 5]);
            break;
        case Act::Edit: {
            // A prompt edit writing back what the instrument holds, or a new PR.
            QList<const catalogue::Parameter*> prompts;
            for (const auto& p : catalogue::all())
                if (p.edit == catalogue::Edit::Prompt && w<QWidget>(p.box) && !w<QWidget>(p.box)->isHidden())
                    prompts << &p;
            const catalogue::Parameter* p = prompts[x.a % prompts.size()];
            sim::Instrument* inst = chosen();
            const QString value = p->mnemonic == "PR" ? QString::number(100 + x.b % 300)
                                  : inst              ? inst->param(p->mnemonic)
                                                      : QStringLiteral("1");
            if (value.isEmpty()) break;
            edit(p->box, value);
            op.answers.clear();
            break;
        }
        case Act::Dialog: {
            op.dialogs.enqueue([n = x.b](QDialog& d) {
                QList<QAbstractButton*> options;
                for (auto* o : d.findChildren<QRadioButton*>())
                    if (!o->isHidden()) options << o;
                std::sort(options.begin(), options.end(),
                          [](auto* l, auto* r) { return l->objectName() < r->objectName(); });
                if (!options.isEmpty()) options[n % options.size()]->click();
                // One dialog in five is cancelled.
                if (auto* b = d.findChild<QAbstractButton*>(n % 5 ? "CmdOK" : "CmdCancel")) b->click();
                return d.result();
            });
            click(DialogBoxes[x.a % DialogBoxes.size()]);
            op.dialogs.clear();
            break;
        }
        case Act::Sample: {
            const QString option = Samplings[x.a % Samplings.size()];
            w<QTabWidget>("Panel")->setCurrentIndex(PageHost::Sampling);
            if (!enabled(option) || enabled("cmdSamplingStart")) {
                press("cmdSamplingStart");
                if (!enabled(option)) break;
            }
            w<QAbstractButton>(option)->click();
            if (option == "OptP4" || option == "OptQ4") {
                stopLater(x.t);
                // The next thing the operator does may follow the Stop at once.
                if (x.b % 2) later(x.t + 0.05, [this, m = LiveMenus[x.b % 3]] { openLive(m, 1.0); });
            }
            press("cmdSend");
            if (option == "OptP5" && enabled("OptPressDB")) {
                w<QAbstractButton>("OptPressDB")->click();
                press("cmdSend");
            }
            break;
        }
        case Act::Live:
            openLive(LiveMenus[x.a % 3], x.t, x.b % 2);
            break;
        case Act::Terminal:
            w<QTabWidget>("Panel")->setCurrentIndex(PageHost::Terminal);
            w<QLineEdit>("txtCmd")->setText(QStringLiteral("*%1VR").arg(state.AddressPrefix.mid(1)));
            press("Send");
            idle(x.t);
            clock.advanceBy(0);
            w<QTabWidget>("Panel")->setCurrentIndex(x.b % 3);
            break;
        case Act::Timeouts:
            // Shorter than the line can answer in is the operator's own fault; the walk stays above it.
            op.dialogs.enqueue([n = x.b, low = state.CommTimeout < 0.2](QDialog& d) {
                const char* spin = n % 2 || low ? "up" : "down";
                if (auto* s = d.findChildren<QToolButton*>(spin).value(0)) s->click();
                if (auto* ok = d.findChild<QAbstractButton*>("cmdTimeoutOK")) ok->click();
                return d.result();
            });
            main->action("mnuTimeout")->trigger();
            op.dialogs.clear();
            break;
        case Act::Renumber:
            op.answers.enqueue(QString::number(1 + x.b % 90));
            w<QTabWidget>("Panel")->setCurrentIndex(PageHost::Configuration);
            press("cmdAutoNumber");
            op.answers.clear();
            break;
        case Act::Fault: { // silent, slow (0.6 s), "?" in data, or all clear, in turn on one instrument
            sim::Faults& f = loop->at(x.a % loop->size()).faults();
            const int which = x.b % 4;
            f.silent = which == 0 ? !f.silent : which < 3 && f.silent;
            f.slowSeconds = which == 1 ? 0.6 - f.slowSeconds : which < 3 ? f.slowSeconds : 0.0;
            f.questionMark = which == 2 ? !f.questionMark : which < 3 && f.questionMark;
            break;
        }
        case Act::Idle:
        case Act::Count:
            idle(x.t);
            break;
        }
        faulty = faulty || anyFault();
    }

    // Stop, once the continuous reading has begun.
    void stopLater(double dt) {
        later(dt, [this] {
            if (enabled("cmdStop"))
                press("cmdStop");
            else if (static_cast<SamplingPage*>(main->page(0))->continuousFlag() == "Yes")
                stopLater(0.2);
        });
    }

    // A live window on the first instrument of the loop, its panels checked `dt` seconds on and
    // Exit pressed then; with `midMeasurement`, at the first moment after that when a reading has
    // been asked for and not yet answered.
    void openLive(const QString& menu, double dt, bool midMeasurement = false) {
        if (!actionEnabled("mnuMeasure") || !actionEnabled(menu) || state.idCount() == 0) return;
        op.answers.enqueue(state.idAt(0));
        later(dt, [this, midMeasurement] { exitLive(midMeasurement); });
        main->action(menu)->trigger();
        op.answers.clear();
    }
    void exitLive(bool midMeasurement) {
        const auto windows = main->findChildren<LiveWindow*>();
        if (windows.isEmpty()) return;
        const auto& events = wire().events();
        if (midMeasurement && (events.isEmpty() || events.last().dir != sim::WireEvent::Dir::FromHost ||
                               !QRegularExpression("^\\*\\d{4}(P3|Q3|P1|Q1|TT|RH)\r\n$")
                                    .match(QString::fromLatin1(events.last().bytes))
                                    .hasMatch()))
            return later(0.01, [this] { exitLive(true); });
        for (auto* window : windows) {
            checkPanels(*window);
            window->findChild<QAbstractButton*>("CmdExit")->click();
        }
    }

    // Each panel holds a reading of its own quantity (within 1 %, or the tolerance given, of what
    // the instrument read at some moment of the last three seconds) or dashes. A "?" in the data
    // cuts the number short: the panel then shows what came before it.
    void checkPanels(const LiveWindow& window) {
        sim::Instrument* inst = loop->instrument(window.instrumentId());
        if (!inst || (faulty && inst->faults().questionMark)) return;
        const QString kind = window.objectName();
        using Reads = std::function<double(double)>;
        QList<std::tuple<const char*, Reads, double>> expected = {
            {"PnlPressure", [inst](double t) { return inst->pressureReading(t); }, 0.01}};
        if (kind == "frmSensor")
            expected << std::tuple{"PnlTemperature",
                                   Reads([inst](double t) { return inst->temperatureReading(t); }), 0.5}
                     << std::tuple{"PnlPper", Reads([inst](double t) { return inst->pressurePeriod(t); }),
                                   0.0}
                     << std::tuple{"PnlTper", Reads([inst](double t) { return inst->temperaturePeriod(t); }),
                                   0.0};
        if (kind == "frmAtmo3Display")
            expected << std::tuple{"PnlTemperature",
                                   Reads([inst](double t) { return inst->channelValue(1, t); }), 0.5}
                     << std::tuple{"PnlHumidity",
                                   Reads([inst](double t) { return inst->channelValue(2, t); }), 1.0};
        for (const auto& [panel, reads, tolerance] : expected) {
            const QString shown = window.findChild<QLabel*>(panel)->text();
            bool number = false;
            const double value = shown.toDouble(&number);
            bool ok = shown == live::NoReading || shown.isEmpty();
            for (double ago = 0; !ok && number && ago <= 3.0; ago += 0.25) {
                const double read = reads(clock.now() - ago);
                ok = std::fabs(value - read) <= tolerance + 0.01 * std::fabs(read);
            }
            if (!ok)
                problems << QStringLiteral("%1 %2 shows %3, the instrument reads %4")
                                .arg(kind, panel, shown)
                                .arg(reads(clock.now()));
        }
        liveChecked = true;
    }

    // What the instrument holds for a box, as a page may show it.
    QStringList accepted(const catalogue::Parameter& p, const QString& value) {
        QStringList ok{value, p.show(value).value_or(value), p.showWritten(value).value_or(value)};
        if (p.mnemonic == "SN" || p.mnemonic == "VR") ok << value.trimmed();
        return ok;
    }

    void check(const Action& x, double took) {
        if (took > 90.0) problems << QStringLiteral("took %1 s (the bound is 90 s)").arg(took);
        sim::Instrument* inst = chosen();
        for (ValueBox* box : main->findChildren<ValueBox*>()) {
            const QString shown = box->text();
            const catalogue::Parameter* p = catalogue::forBox(box->objectName());
            if (shown.isEmpty() || shown == texts::NoValue || !p || p->box != box->objectName()) continue;
            if (!inst || !inst->has(p->mnemonic)) {
                problems << QStringLiteral("%1 shows \"%2\" for no instrument").arg(box->objectName(), shown);
                continue;
            }
            // "?" in data is a fault of the line; and a write the instrument did not confirm
            // leaves what the box showed (the instrument may or may not have taken it).
            if (faulty && (shown.contains('?') || before.value(box) == shown)) continue;
            if (!accepted(*p, inst->param(p->mnemonic)).contains(shown))
                problems << QStringLiteral("%1 shows \"%2\", instrument %3 holds \"%4\"")
                                .arg(box->objectName(), shown, inst->id(), inst->param(p->mnemonic));
        }
        for (const auto& m : op.messages) {
            seen << m.title + ": " + m.text;
            // A healthy loop gives only the Units dialog's caution about the 16-bit limits.
            if (!faulty && m.title != "Caution!") problems << "message without a fault: " + seen.last();
        }
        op.messages.clear();
        const bool terminal = w<QTabWidget>("Panel")->currentIndex() == PageHost::Terminal;
        if (!terminal && (loop->attached() || runtime.line(PortMap::Simulated).holder))
            problems << QStringLiteral("the port is held after %1").arg(x.text());
    }
};

// Runs the actions on a fresh program; the index of the first one after which an invariant
// broke (its problems in `why`), or -1.
int replay(const QList<Action>& actions, QStringList* why = nullptr, int* liveChecks = nullptr,
           const std::function<QString(Walk&)>& after = {}) {
    Walk walk;
    for (int i = 0; i < actions.size(); ++i) {
        const double start = walk.clock.now();
        walk.run(actions[i]);
        walk.idle(0.001);
        walk.check(actions[i], walk.clock.now() - start);
        if (liveChecks && walk.liveChecked) ++*liveChecks, walk.liveChecked = false;
        if (!walk.problems.isEmpty()) {
            if (why) *why = walk.problems;
            return i;
        }
    }
    if (const QString wrong = after ? after(walk) : QString(); !wrong.isEmpty()) {
        if (why) *why << wrong;
        return int(actions.size()) - 1;
    }
    return -1;
}

QList<Action> actionsOf(quint32 seed, int count) {
    QRandomGenerator rng(seed);
    QList<Action> out;
    for (int i = 0; i < count; ++i)
        out << Action{Act(rng.bounded(int(Act::Count))), int(rng.bounded(1000)), int(rng.bounded(1000)),
                      0.05 + rng.bounded(3.0)};
    return out;
}

// The failing prefix with every action dropped that the failure does not need, as far as two
// minutes of replays get.
QList<Action> shrink(QList<Action> actions) {
    QElapsedTimer spent;
    spent.start();
    for (int i = actions.size() - 2; i >= 0 && spent.elapsed() < 120000; --i) {
        QList<Action> fewer = actions;
        fewer.removeAt(i);
        if (replay(fewer) >= 0) actions = fewer.mid(0, replay(fewer) + 1);
    }
    return actions;
}

} // namespace

Q_DECLARE_METATYPE(Action)

class TestOperatorWalk : public QObject {
    Q_OBJECT
private slots:
    // Sequences an operator meets, each once: a window left mid-measurement and the next page or
    // window at once; the Units dialog and the Calibration page's PA; a Stop and a window at once.
    void sequences_data() {
        // expect: "box=what the instrument holds" or "told: text"
        columns<QList<Action>, QString>("actions", "expect");
        const Action liveMid{Act::Live, 0, 1, 0.5}, configuration{Act::Start, 1, 0, 0};
        QTest::newRow("Exit mid-reading, then Configuration Start")
            << QList<Action>{liveMid, configuration} << "lblserialNum=SN|live";
        QTest::newRow("Exit mid-reading, then the Sensor window")
            << QList<Action>{liveMid, {Act::Live, 1, 0, 4.0}} << "live";
        QTest::newRow("Units after Configuration Start")
            << QList<Action>{configuration, {Act::Dialog, 8, 4, 0}} << "lblPA=PA|told: Caution!";
        QTest::newRow("Stop, then a live window at once")
            << QList<Action>{{Act::Sample, 4, 1, 1.0}} << "told: none|live";
    }
    void sequences() {
        const auto [actions, expect] = fetch<QList<Action>, QString>("actions", "expect");
        QStringList why;
        int live = 0;
        const int failed = replay(actions, &why, &live, [&expect](Walk& w) {
            QStringList wrong;
            const QString told = w.seen.join('|');
            for (const QString& e : items(expect)) {
                const QString box = e.section('=', 0, 0);
                if (e == "told: none" ? !told.isEmpty() : e.startsWith("told: ") && !told.contains(e.mid(6)))
                    wrong << "told " + told;
                if (e.startsWith("lbl") && w.text(box) != w.inst("01").param(e.section('=', 1)))
                    wrong << box + " shows " + w.text(box);
            }
            return wrong.join("; ");
        });
        QVERIFY2(failed < 0, qPrintable(why.join("; ")));
        QVERIFY(live > 0 || !expect.contains("live"));
    }

    void walk_data() {
        QTest::addColumn<quint32>("seed");
        const QByteArray extra = qgetenv("CVI_WALK_SEED");
        for (quint32 seed : {11u, 23u, 37u, 41u, 59u})
            QTest::newRow(qPrintable(QString::number(seed))) << seed;
        if (!extra.isEmpty()) QTest::newRow("CVI_WALK_SEED") << extra.toUInt();
    }
    void walk() {
        QFETCH(quint32, seed);
        const int count = qEnvironmentVariableIntValue("CVI_WALK_ACTIONS") > 0
                              ? qEnvironmentVariableIntValue("CVI_WALK_ACTIONS")
                              : 300;
        const QList<Action> actions = actionsOf(seed, count);
        QStringList why;
        int live = 0;
        const int failed = replay(actions, &why, &live);
        if (failed < 0) {
            QVERIFY2(live > 0, "no live window was checked");
            return;
        }
        // Said before the shrinking, which replays the walk many times over.
        qWarning("seed %u, action %d of %d: %s", seed, failed + 1, count, qPrintable(why.join("; ")));
        QStringList trace;
        for (const Action& a : shrink(actions.mid(0, failed + 1)))
            trace << a.text();
        QFAIL(qPrintable(QStringLiteral("seed %1, action %2 of %3: %4\nshrunk trace: %5")
                             .arg(seed)
                             .arg(failed + 1)
                             .arg(count)
                             .arg(why.join("; "), trace.join(" "))));
    }
};

QTEST_MAIN(TestOperatorWalk)
#include "tst_operatorwalk.moc"

// The Terminal page on the simulated loop and clock: listening while the page is shown, Send and
// Enter, time stamps, "No response" rows, Clear, the transcript file and its atomic replacement,
// a port that cannot be opened and a device lost while listening.
#include "../params/PageBench.h"
#include "Terminal.h"
#include "TerminalPage.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>

using namespace cvi;
using namespace cvi::test;

namespace {
struct TerminalBench : PageBench {
    TerminalPage* page = nullptr;
    QTemporaryDir dir;

    explicit TerminalBench(const sim::LoopConfig& config = sim::LoopConfig::demo(), Line line = Line::Loop)
        : PageBench(config, line) {
        installTerminalPage(host());
        page = main->findChild<TerminalPage*>();
        state.ProgramFolder = dir.path();
    }
    // Runs `fn` `seconds` after now on the simulated clock.
    void after(double seconds, std::function<void()> fn) { clock.at(clock.now() + seconds, std::move(fn)); }
    void type(const QString& text) { w<QLineEdit>("txtCmd")->setText(text); }
    // The page is shown and listens until it is left `seconds` later.
    // A loop that ended earlier leaves the rest of the time to pass on the clock alone.
    void listenFor(double seconds) {
        const double end = clock.now() + seconds;
        clock.at(end, [this] { main->panel()->setCurrentIndex(PageHost::Sampling); });
        main->panel()->setCurrentIndex(PageHost::Terminal);
        QCoreApplication::processEvents(); // the loop starts from the event loop
        clock.advanceTo(end);
    }
    // The rows as "first,second", "|" between them.
    QString rows() const {
        QStringList out;
        for (const TerminalRow& r : page->model().rows())
            out << r.first + "," + r.second;
        return out.join('|');
    }
    QByteArray saveAs(const QString& name) {
        op.saveAnswer = name.isEmpty() ? QString() : dir.filePath(name);
        press("cmdSave");
        QFile f(op.saveAnswer);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};
const QByteArray Header = "Corvanel\xAE Terminal Data Output\r\n\r\nDate:";
} // namespace

class TestTerminal : public QObject {
    Q_OBJECT
private slots:

    // "*9900VR" as typed: every instrument answers and the broadcast comes back around the loop;
    // the menus are off and the port held while the page is shown, back on and free after it.
    void sendAndListen() {
        TerminalBench b;
        bool heldWhileShown = false;
        b.after(0.5, [&b] {
            b.type("*9900VR");
            b.press("Send");
        });
        b.after(1.5, [&b, &heldWhileShown] {
            heldWhileShown = b.main->link().PortOpen() && !b.actionEnabled("mnuFile") && b.page->listening();
            QTest::keyClick(b.w<QLineEdit>("txtCmd"), Qt::Key_Return); // Enter sends the same text
        });
        b.listenFor(3);
        QVERIFY(heldWhileShown);
        QCOMPARE(b.lines(), QStringList({"*9900VR\r\n", "*9900VR\r\n"}));
        const QString answers = "|,*0001VR=5.10|,*0002VR=M2.04|,*0003VR=A3-1.20|,*9900VR";
        QCOMPARE(b.rows(), "*9900VR," + answers + "|*9900VR," + answers);
        QVERIFY(!b.main->link().PortOpen() && b.actionEnabled("mnuFile") && !b.page->listening());
        QCOMPARE(b.left(), "Please click on the start button !");
        QVERIFY(b.op.messages.isEmpty());

        // The transcript byte for byte, replacing an older and longer file whole.
        QFile old(b.dir.filePath("t.txt"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(4000, 'x')) == 4000);
        old.close();
        const QByteArray saved = b.saveAs("t.txt");
        QCOMPARE(b.op.saveRequests,
                 QStringList{"Please enter a file name|Text Files (*.txt)|*.txt|" + b.dir.path()});
        QVERIFY(saved.startsWith(Header));
        const QByteArray body = saved.mid(saved.indexOf("\r\n\r\n", Header.size()) + 4);
        QCOMPARE(body,
                 QByteArray("*9900VR,\r\n,*0001VR=5.10\r\n,*0002VR=M2.04\r\n,*0003VR=A3-1.20\r\n,*9900VR\r\n")
                     .repeated(2));
        QCOMPARE(b.told(), "Info: The data are in " + b.dir.filePath("t.txt"));
        QCOMPARE(b.op.messages[0].icon, Operator::Icon::Information);
    }

    // An instrument that streams fills the list unasked, with time stamps when ticked; a line cut
    // by the read time-out and an empty line are "No response" rows.
    void unaskedAndCut() {
        sim::LoopConfig config = sim::LoopConfig::numbered(1);
        config.instruments[0].streamingFromStart = true;
        TerminalBench b(config);
        b.w<QCheckBox>("chkTimeStamp")->setChecked(true);
        b.listenFor(5);
        const QStringList rows = b.rows().split('|');
        QVERIFY2(rows.size() >= 3, qPrintable(b.rows()));
        const QRegularExpression stamped(R"(^\d\d/\d\d/\d{4} \d\d:\d\d:\d\d\.\d{3},\*0001 .+$)");
        for (const QString& r : rows)
            QVERIFY2(stamped.match(r).hasMatch(), qPrintable(r));
        QVERIFY(b.lines().isEmpty());

        TerminalBench c(sim::LoopConfig::numbered(1), PageBench::Line::Script);
        c.state.ReadTimeout = 1.0;
        c.scripted->arrive(c.clock.now() + 0.5, "*0001 unfinished", 0.001);
        c.scripted->arrive(c.clock.now() + 2.0, "\r\n*0001 whole\r\n", 0.001);
        c.listenFor(3);
        QCOMPARE(c.rows(), ",No response|,No response|,*0001 whole");
    }

    // Cancel writes nothing and says nothing; Clear then Save writes the header alone; an empty
    // Enter sends a bare CR LF and adds an empty command row.
    void cancelClearEmpty() {
        TerminalBench b;
        b.after(0.5, [&b] { QTest::keyClick(b.w<QLineEdit>("txtCmd"), Qt::Key_Return); });
        b.listenFor(1);
        QCOMPARE(b.lines(), QStringList{"\r\n"});
        QCOMPARE(b.rows(), ",|,No response"); // the bare line comes back around the loop
        QCOMPARE(b.saveAs(""), QByteArray());
        QVERIFY(b.op.messages.isEmpty() && QDir(b.dir.path()).isEmpty());
        b.press("cmdClear");
        const QByteArray saved = b.saveAs("empty.txt");
        QVERIFY(saved.startsWith(Header) && saved.endsWith("\r\n\r\n"));
        QCOMPARE(saved.count("\r\n"), 4);
    }

    // A save that cannot be written: the reason told once, no file left behind, the rows kept.
    void saveFails_data() {
        table({"target"}, {{"missing folder", "missing/t.txt"}, {"folder is a file", "file/t.txt"}});
    }
    void saveFails() {
        QFETCH(QString, target);
        TerminalBench b;
        QFile blocker(b.dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        b.after(0.2, [&b] {
            b.type("*0100VR");
            b.press("Send");
        });
        b.listenFor(1);
        QCOMPARE(b.saveAs(target), QByteArray());
        QCOMPARE(b.op.messages.size(), 1);
        QCOMPARE(b.op.messages[0].title, "Error");
        QVERIFY(b.op.messages[0].text.startsWith("The data could not be saved in " + b.dir.filePath(target) +
                                                 ": "));
        QCOMPARE(b.rows(), "*0100VR,|,*0001VR=5.10");
        QCOMPARE(QDir(b.dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"file"});
    }

    // The device vanishes while the page listens: one message, the loop ends at once, Send says
    // the port is gone once per press; the page listens again once it is left and chosen again.
    // A port another window holds: Send tells why, the page stays usable.
    void portTrouble() {
        TerminalBench b;
        bool stoppedAtOnce = false;
        b.after(0.5, [&b] { b.loop->loseDevice(); });
        b.after(1.0, [&b, &stoppedAtOnce] {
            stoppedAtOnce = !b.page->listening();
            b.type("*0100VR");
            b.press("Send");
        });
        b.listenFor(2);
        QVERIFY(stoppedAtOnce);
        const QString lost = Link::lostText("sim");
        QCOMPARE(b.op.messageTexts(), QStringList({lost, lost}));
        QCOMPARE(b.op.messages[0].title, "Error");
        b.loop->restoreDevice();
        b.op.messages.clear();
        b.after(0.2, [&b] { b.press("Send"); });
        b.listenFor(1);
        QCOMPARE(b.rows(), "*0100VR,|*0100VR,|,*0001VR=5.10");
        QVERIFY(b.op.messages.isEmpty());

        TerminalBench c;
        auto other = c.makeLink();
        other->OpenPort(c.state.Link);
        c.main->panel()->setCurrentIndex(PageHost::Terminal);
        QCoreApplication::processEvents();
        c.type("*0100VR");
        c.press("Send");
        QCOMPARE(c.told(), "Error: Communication Error: sim is busy.");
        QVERIFY(!c.page->listening() && c.enabled("Send") && c.enabled("cmdSave") && c.rows() == "*0100VR,");
        other->ClosePort();
    }
};

QTEST_MAIN(TestTerminal)
#include "tst_terminal.moc"

// The Terminal page on the simulated loop and clock: listening while shown, Send and Enter, time
// stamps, "No response" rows, Clear, the transcript and its atomic replacement, port trouble.
#include "../params/PageBench.h"
#include "ScratchMount.h"
#include "Terminal.h"
#include "TerminalPage.h"

#include <QCheckBox>
#include <QLineEdit>
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
    void after(double s, std::function<void()> fn) { clock.at(clock.now() + s, std::move(fn)); }
    void send(const QString& text) {
        w<QLineEdit>("txtCmd")->setText(text);
        QTest::keyClick(w<QLineEdit>("txtCmd"), Qt::Key_Return);
    }
    // The page listens until it is left `seconds` later; a loop that ended early leaves the rest
    // of the time to the clock alone.
    void listenFor(double seconds) {
        const double end = clock.now() + seconds;
        clock.at(end, [this] { main->panel()->setCurrentIndex(PageHost::Sampling); });
        main->panel()->setCurrentIndex(PageHost::Terminal);
        QCoreApplication::processEvents(); // the loop starts from the event loop
        clock.advanceTo(end);
    }
    QString rows() const {
        QStringList out;
        page->model().forEach([&](const TerminalRow& r) { out << r.first + "," + r.second; });
        return out.join('|');
    }
    QByteArray saveAs(const QString& name) {
        op.saveAnswer = name.isEmpty() ? QString() : dir.filePath(name);
        press("cmdSave");
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries); }
};
const QByteArray Header = "Corvanel\xAE Terminal Data Output\r\n\r\nDate:";
} // namespace

class TestTerminal : public QObject {
    Q_OBJECT
private slots:
    // "*9900VR" as typed, by Enter and Send: each instrument answers, the broadcast comes back;
    // menus off and port held while shown. The transcript replaces a longer file whole; Cancel
    // writes nothing; Clear then Save writes the header alone.
    void sendListenSave() {
        TerminalBench b;
        bool held = false;
        b.after(0.5, [&] { b.send("*9900VR"); });
        b.after(1.5, [&] {
            held = b.main->link().PortOpen() && !b.actionEnabled("mnuFile") && b.page->listening();
        });
        b.after(1.6, [&] { b.press("Send"); });
        b.after(2.5, [&] { b.send(""); });
        b.listenFor(3);
        QVERIFY(held && !b.main->link().PortOpen() && b.actionEnabled("mnuFile") && !b.page->listening());
        QCOMPARE(b.lines(), QStringList({"*9900VR\r\n", "*9900VR\r\n", "\r\n"}));
        const QString vr = "*9900VR,|,*0001VR=5.10|,*0002VR=M2.04|,*0003VR=A3-1.20|,*9900VR|";
        QCOMPARE(b.rows(), vr + vr + ",|,No response");
        QFile old(b.dir.filePath("t.txt"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(4000, 'x')) == 4000);
        old.close();
        const QByteArray saved = b.saveAs("t.txt");
        QCOMPARE(b.op.saveRequests,
                 QStringList{"Please enter a file name|Text Files (*.txt)|*.txt|" + b.dir.path()});
        const QByteArray vr2 =
            "*9900VR,\r\n,*0001VR=5.10\r\n,*0002VR=M2.04\r\n,*0003VR=A3-1.20\r\n,*9900VR\r\n";
        QVERIFY(saved.startsWith(Header) && saved.endsWith("\r\n\r\n" + vr2 + vr2 + ",\r\n,No response\r\n"));
        QCOMPARE(b.told(), "Info: The data are in " + b.dir.filePath("t.txt"));
        b.op.messages.clear();
        QCOMPARE(b.saveAs(""), QByteArray()); // cancelled
        QVERIFY(b.op.messages.isEmpty() && b.files() == QStringList{"t.txt"});
        b.press("cmdClear");
        const QByteArray empty = b.saveAs("t.txt");
        QVERIFY(empty.startsWith(Header) && empty.endsWith("\r\n\r\n") && empty.count("\r\n") == 4);
    }

    // A streaming instrument fills the list unasked, stamped when ticked; a line cut by the read
    // time-out and an empty line are "No response" rows.
    void unaskedAndCut() {
        sim::LoopConfig config = sim::LoopConfig::numbered(1);
        config.instruments[0].streamingFromStart = true;
        TerminalBench b(config);
        b.w<QCheckBox>("chkTimeStamp")->setChecked(true);
        b.listenFor(5);
        const QString stamped = b.rows().replace(
            QRegularExpression(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d\.\d{3},\*0001 [-0-9.]+)"), "R");
        QVERIFY2(QRegularExpression("^R(\\|R){2,}$").match(stamped).hasMatch() && b.lines().isEmpty(),
                 qPrintable(b.rows()));
        TerminalBench c(sim::LoopConfig::numbered(1), PageBench::Line::Script);
        c.state.ReadTimeout = 1.0;
        c.scripted->arrive(c.clock.now() + 0.5, "*0001 unfinished", 0.001);
        c.scripted->arrive(c.clock.now() + 2.0, "\r\n*0001 whole\r\n", 0.001);
        c.listenFor(3);
        QCOMPARE(c.rows(), ",No response|,No response|,*0001 whole");
    }

    // Hours of listening: rows across many packed blocks read back whole, in any order and after
    // more arrive, and the transcript holds them all; empty, long, NUL and non-Latin cells too.
    void manyRows() {
        TerminalModel m;
        QList<TerminalRow> all;
        const QString odd[] = {QString(), QString(124, 'x'), QString::fromLatin1("a\0b\xB0", 4),
                               QStringLiteral("\u20AC*0001")};
        for (int i = 0; i < 3 * TerminalModel::BlockRows + 7; ++i)
            all.append({i % 5 ? QString() : QString::number(i), odd[i % 4] + QString::number(i)});
        for (qsizetype at = 0; at < all.size(); at += 333)
            m.append(all.mid(at, 333));
        QCOMPARE(m.rowCount(), all.size());
        for (int i : {5, 3 * TerminalModel::BlockRows + 6, 0, 1500, TerminalModel::BlockRows - 1, 2049, 1}) {
            QCOMPARE(m.row(i).first, all[i].first);
            QCOMPARE(m.data(m.index(i, 1), Qt::DisplayRole).toString(), all[i].second);
        }
        QByteArray expected = Header + "d\r\n\r\n";
        for (const TerminalRow& r : all)
            expected += r.first.toLatin1() + ',' + r.second.toLatin1() + "\r\n";
        QCOMPARE(terminalTranscript(m, "d"), expected);
        // A listening hour is stamps and readings much alike: packed, they must take a fraction
        // of what the transcript does.
        QVERIFY2(m.packedBytes() * 4 < expected.size(), QByteArray::number(m.packedBytes()));
        m.clear();
        QVERIFY(m.rowCount() == 0 && m.row(0).second.isEmpty());
        for (TerminalRow& r : all) // listened again after Clear: the new rows, not the old
            r.second.prepend('n');
        m.append(all);
        QCOMPARE(m.row(5).second, all[5].second);
    }

    // While the page listens, the folder of a saved transcript fills up, turns read-only or is
    // removed, and Save is pressed again: told why, the old transcript and every row kept, no
    // half-written file left, and the page goes on listening and sending.
    void saveFaults_data() {
        table({"why"}, {{"disk full", "No space left on device"},
                        {"folder read-only", "Read-only file system"},
                        {"folder removed", "No such file or directory"}});
    }
    void saveFaults() {
        SCRATCH_MOUNT(disk, 64);
        const QString fault = QTest::currentDataTag(), name = disk.filePath("saved/t.txt");
        QVERIFY(QDir(disk.path()).mkdir("saved"));
        TerminalBench b;
        b.op.saveAnswer = name;
        auto saved = [&name] {
            QFile f(name);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        QByteArray first;
        QString rows;
        b.after(0.5, [&] { b.send("*0100VR"); });
        b.after(1.0, [&] {
            b.press("cmdSave");
            first = saved();
            if (fault == "disk full") QVERIFY(disk.fill());
            if (fault == "folder read-only") QVERIFY(disk.readOnly());
            if (fault == "folder removed") QVERIFY(QDir(disk.filePath("saved")).removeRecursively());
            b.op.messages.clear();
            rows = b.rows();
            b.press("cmdSave");
        });
        b.after(1.5, [&] { b.send("*0200VR"); });
        b.listenFor(2);
        QVERIFY(first.endsWith("*0100VR,\r\n,*0001VR=5.10\r\n"));
        QFETCH(QString, why);
        QCOMPARE(b.told(), "Error: The data could not be saved in " + name + ": " + why);
        QCOMPARE(saved(), fault == "folder removed" ? QByteArray() : first);
        QCOMPARE(QDir(disk.filePath("saved")).entryList(QDir::Files | QDir::Hidden),
                 fault == "folder removed" ? QStringList() : QStringList{"t.txt"});
        QCOMPARE(rows, "*0100VR,|,*0001VR=5.10");
        QCOMPARE(b.rows(), rows + "|*0200VR,|,*0002VR=M2.04");
    }

    // The device vanishes while listening: one message, the loop ends at once, Send says so once
    // per press. A port another window holds: Send tells why. Chosen again, the page listens;
    // closing the window ends the loop.
    void portTrouble() {
        TerminalBench b;
        bool stoppedAtOnce = false;
        b.after(0.5, [&] { b.loop->loseDevice(); });
        b.after(0.6, [&] { stoppedAtOnce = !b.page->listening(); });
        b.after(1.0, [&] { b.send("*0100VR"); });
        b.listenFor(2);
        QVERIFY(stoppedAtOnce);
        const QString lost = Link::lostText("sim");
        QCOMPARE(b.op.messageTexts(), QStringList({lost, lost}));
        QCOMPARE(b.op.messages[0].title, "Error");
        b.loop->restoreDevice();
        auto other = b.makeLink(); // another window holds the port: Send tells why, nothing more
        other->OpenPort(b.state.Link);
        b.after(0.2, [&] { b.press("Send"); });
        b.listenFor(1);
        QCOMPARE(b.op.messages.takeLast().text, "Communication Error: " + Link::heldText("sim", {}));
        other->ClosePort();
        b.after(0.2, [&] { b.press("Send"); });
        b.listenFor(1);
        QCOMPARE(b.rows(), "*0100VR,|*0100VR,|*0100VR,|,*0001VR=5.10");
        QVERIFY(b.op.messages.size() == 2 && b.enabled("Send") && b.enabled("cmdSave"));
        stoppedAtOnce = false; // closing the program ends the loop on its next pass
        b.after(0.3, [&] { b.main->close(); });
        b.after(0.31, [&] { stoppedAtOnce = !b.page->listening() && !b.main->link().PortOpen(); });
        b.listenFor(1);
        QVERIFY(stoppedAtOnce && b.op.messages.size() == 2);
    }
};

QTEST_MAIN(TestTerminal)
#include "tst_terminal.moc"

// The main window's frame: pages, menus, message panels, resizing, hints, lists and start-up.
#include "MainWindow.h"
#include "SimBench.h"
#include "Splash.h"
#include "Startup.h"
#include "Tables.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>

using namespace cvi;

namespace {
// The main window alone, on a simulated loop that no one has detected yet.
struct Frame : test::SimBench {
    QtRuntime realRuntime;
    std::unique_ptr<MainWindow> main;

    explicit Frame(bool realTime = false, int screenHeight = 768) {
        state.IDList.clear();
        state.ScreenWidthPx = 1024;
        state.ScreenHeightPx = screenHeight;
        main = std::make_unique<MainWindow>(state, realTime ? static_cast<Runtime&>(realRuntime) : runtime,
                                            op, ports);
    }
    QLabel* label(const char* name) { return main->findChild<QLabel*>(name); }
    QString left() { return label("PnlLeftMessage")->text(); }
    QString greyed() {
        QStringList out;
        for (QAction* a : main->findChildren<QAction*>())
            if (!a->objectName().isEmpty() && !a->isEnabled()) out << a->objectName();
        out.sort();
        return out.join(' ');
    }
    bool enabled(const char* name) { return main->action(name) && main->action(name)->isEnabled(); }
};
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([] {});
    }

    void pagesMenusAndCaption() {
        Frame f;
        QCOMPARE(f.main->windowTitle(), "Corvanel Interactive Ver 1.2");
        QCOMPARE(f.main->objectName(), "frmMain");
        auto* panel = f.main->findChild<QTabWidget*>("Panel");
        QVERIFY(panel);
        QStringList captions;
        for (int i = 0; i < panel->count(); ++i)
            captions << panel->tabText(i);
        QCOMPARE(captions, (QStringList{"Sam&pling", "C&onfiguration", "&Calibration", "&System", "&Atmo3",
                                        "&Terminal"}));
        QCOMPARE(f.main->link().objectName(), "MSComm1");

        // Each menu in the bar, then its items ("-" for a separator), as name=caption.
        QStringList menus;
        for (QAction* m : f.main->menuBar()->actions()) {
            QStringList items{m->objectName() + "=" + m->text()};
            for (QAction* a : m->menu()->actions())
                items << (a->isSeparator() ? "-" : a->objectName() + "=" + a->text());
            menus << items.join(',');
        }
        QCOMPARE(
            menus,
            (QStringList{
                "mnuFile=&File,mnuPrint=&Print Coeffs,-,mnuSaveConfig=Save Instrument &Configuration\u2026,"
                "mnuCompareConfig=Co&mpare With File\u2026,mnuRestoreConfig=&Restore From File\u2026,"
                "mnuJournal=Change &Journal,-,mnuExit=&Exit",
                "mnuCommunication=&Communication,mnuSettings=&Settings,mnuStartup=S&tartup,"
                "mnuTimeout=Time&out",
                "mnuMeasure=&Measure,mnuAtmo3=&Atmo 3,mnuPressure=&Pressure,mnuSensor=&Sensor,"
                "mnuLoopOverview=&Loop Overview",
                "mnuHelp=&Help,mnuOnLine=&On-Line,-,mnuAbout=&About"}));
        f.main->setMenusEnabled(false);
        QCOMPARE(f.greyed(), "mnuCommunication mnuFile mnuHelp mnuMeasure mnuPrint mnuSettings mnuTimeout");
        f.main->setMenusEnabled(true);
        QCOMPARE(f.greyed(), "mnuPrint mnuSettings mnuTimeout");
    }

    // The message panels share the width 3:3:2 along the bottom; their height follows the screen
    // (ScreenHeightPx \ 480, at least 1) and stays once set; the tab control is centred above them
    // on a background from blue at the top to black at the bottom.
    void layout_data() {
        test::columns<int, int>("screenHeight", "factor");
        QTest::newRow("768 lines") << 768 << 1;
        QTest::newRow("1024 lines") << 1024 << 2;
        QTest::newRow("1440 lines") << 1440 << 3;
        QTest::newRow("tiny screen keeps one") << 400 << 1;
    }
    void layout() {
        const auto [screenHeight, factor] = test::fetch<int, int>("screenHeight", "factor");
        Frame f(false, screenHeight);
        f.main->show();
        f.main->resize(800, 700);
        QTRY_COMPARE(f.main->centralWidget()->width(), 800);
        const int h = MainWindow::MessageDesignHeight * factor;
        auto panels = [&] {
            QStringList out;
            for (const char* name : {"PnlLeftMessage", "PnlMiddleMessage", "PnlRightMessage"}) {
                const QRect g = f.label(name) ? f.label(name)->geometry() : QRect();
                out << QStringLiteral("%1+%2x%3").arg(g.x()).arg(g.width()).arg(g.height());
            }
            return out.join(' ');
        };
        QCOMPARE(panels(), QStringLiteral("0+300x%1 300+300x%1 600+200x%1").arg(h));
        const int H = f.main->centralWidget()->height();
        QCOMPARE(f.label("PnlLeftMessage")->geometry().bottom(), H - 1);
        auto* panel = f.main->panel();
        QCOMPARE(panel->width(), MainWindow::PanelDesignWidth);
        QCOMPARE(panel->pos(), QPoint((800 - panel->width()) / 2, (H - (panel->height() + h)) / 2));
        const QImage image = f.main->centralWidget()->grab().toImage();
        const QColor top = image.pixelColor(2, 2), bottom = image.pixelColor(2, H - h - 3);
        QVERIFY2(top.red() == 0 && top.blue() > 240, qPrintable(top.name()));
        QVERIFY2(bottom.green() == 0 && bottom.blue() < 40, qPrintable(bottom.name()));
        f.main->resize(1000, 780); // a second resize does not make them taller again
        QTRY_COMPARE(f.main->centralWidget()->width(), 1000);
        QCOMPARE(panels().section(' ', 2), QStringLiteral("750+250x%1").arg(h));
    }

    void hintsAboutAndHelp() {
        Frame f;
        auto* box = new QLabel("238", f.main->page(1));
        auto* frame = new QWidget(f.main->page(1));
        f.main->hint(box,
                     [box]() -> QString { return box->text().isEmpty() ? QString() : "Click to change !"; });
        f.main->blankHint(frame);
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(box, &enter);
        QCOMPARE(f.left(), "Click to change !");
        QCoreApplication::sendEvent(frame, &enter);
        QCOMPARE(f.left(), QString());
        f.main->setLeftMessage("kept");
        box->clear();
        QCoreApplication::sendEvent(box, &enter);
        QCOMPARE(f.left(), "kept");
        // About empties it too; help opens, or says why not.
        f.main->action("mnuAbout")->trigger();
        QCOMPARE(f.op.dialogsRun, QStringList{"frmAbout"});
        QCOMPARE(f.left(), QString());
        f.main->action("mnuOnLine")->trigger();
        QVERIFY(f.op.helpOpened == QStringList{"qrc:/help/index.html"} && f.op.messages.isEmpty());
        f.op.helpWorks = false;
        f.main->action("mnuOnLine")->trigger();
        QCOMPARE(f.op.messages.size(), 1);
    }

    void idListsFillFollowAndChoose() {
        Frame f;
        QList<QComboBox*> lists;
        QStringList handled;
        for (int place = 0; place < 5; ++place) {
            auto* list = lists.emplace_back(new QComboBox(f.main.get()));
            f.main->registerIdList(place, list);
            connect(list, &QComboBox::currentIndexChanged, this, [&f, &handled, list, place](int) {
                handled << QStringLiteral("%1=%2").arg(place).arg(list->currentText());
                f.main->syncIdLists(list);
            });
        }
        f.state.IDList = "010210";
        f.main->RefreshIdLists();
        for (QComboBox* list : lists) {
            QCOMPARE(list->count(), 3);
            QCOMPARE(list->itemText(2), "10");
            QCOMPARE(list->currentText(), "01");
        }
        QCOMPARE(handled.size(), 5); // each list's handler ran once
        handled.clear();
        lists[2]->setCurrentIndex(2);
        for (QComboBox* list : lists)
            QCOMPARE(list->currentText(), "10");
        QCOMPARE(handled.size(), 5);
        // A chosen instrument runs once when the operator picks another entry, although the pick is
        // reported too; again when he picks the one already shown; once when another list moves it.
        int runs = 0;
        f.main->onIdChosen(lists[0], [&] { ++runs; });
        lists[0]->setCurrentIndex(1);
        emit lists[0]->activated(1);
        QCOMPARE(runs, 1);
        f.main->runtime().pump();
        emit lists[0]->activated(1);
        QCOMPARE(runs, 2);
        lists[3]->setCurrentIndex(0);
        QCOMPARE(runs, 3);
        f.main->runtime().pump();
        emit lists[0]->activated(0);
        QCOMPARE(runs, 4);
        f.state.IDList.clear();
        f.main->RefreshIdLists();
        for (QComboBox* list : lists)
            QCOMPARE(list->count(), 0);
    }

    // Every page change is passed on to the pages (which show CurrentSN and CurrentVR) after the
    // frame's own handling; every page but the Terminal frees the port and the menus. The clock
    // goes on while a read waits.
    void pageChangeFreesPortAndMenusClockTicks() {
        Frame f(true);
        QStringList told;
        connect(&f.main->host(), &PageHost::pageChanged, this, [&](int index) {
            told << QStringLiteral("%1 %2 %3").arg(index).arg(f.left()).arg(f.enabled("mnuHelp"));
        });
        f.main->link().OpenPort(f.state.Link);
        f.main->setMiddleMessage("busy");
        f.main->setMenusEnabled(false);
        f.main->panel()->setCurrentIndex(MainWindow::PageCalibration);
        QCOMPARE(f.left(), "Please click on the start button !");
        QCOMPARE(f.main->middleMessage()->text(), QString());
        QVERIFY(f.enabled("mnuHelp") && !f.main->link().PortOpen());
        f.main->setMenusEnabled(false);
        f.main->link().OpenPort(f.state.Link);
        f.main->panel()->setCurrentIndex(MainWindow::PageTerminal);
        QVERIFY(!f.enabled("mnuHelp") && f.main->link().PortOpen());
        QCOMPARE(f.left(), QString());
        QCOMPARE(told, (QStringList{"2 Please click on the start button ! 1", "5  0"}));
        const long before = f.main->clockTicks();
        QVERIFY(!f.main->link().ReadInput(1.3).has_value());
        QVERIFY(f.main->clockTicks() > before && !f.label("PnlRightMessage")->text().isEmpty());
        f.main->link().ClosePort();
    }

    // Start-up without a detection, and with one that fails and succeeds later from the menu.
    void startup_data() {
        QTest::addColumn<bool>("found");
        QTest::newRow("no detection") << false;
        QTest::newRow("found after a failed detection") << true;
    }
    void startup() {
        QFETCH(bool, found);
        Frame f;
        auto* cfg = new QComboBox(f.main->page(MainWindow::PageConfiguration));
        f.main->registerIdList(MainWindow::PageConfiguration, cfg);
        std::function<void()> dialog;
        if (found)
            dialog = [&] {
                f.state.StartupFlag = "No"; // a failed detection
                f.clock.at(30.0, [&] {      // the operator succeeds later on
                    f.state.IDList = "01";
                    f.state.StartupFlag = "Yes";
                });
            };
        StartupSequence startup{*f.main, dialog, found};
        QVERIFY(startup.run() && (f.clock.now() >= 30.0) == found); // waits for the later success
        QCOMPARE(f.left(), found ? QStringLiteral("Click the start button!")
                                 : QStringLiteral("Select startup to establish communication!"));
        QCOMPARE(f.greyed(), found ? "mnuPrint mnuTimeout" : "mnuMeasure mnuPrint mnuSettings mnuTimeout");
        QCOMPARE(f.main->focusWidget() == cfg, found); // the Configuration page's list
    }

    void splashIsCentred() {
        Splash splash(1024, 768);
        const QSize size = splash.picture()->pixmap().size();
        QVERIFY(!size.isEmpty() &&
                splash.pos() == QPoint((1024 - size.width()) / 2, (768 - size.height()) / 2));
        QCOMPARE(splash.picture()->objectName(), "Image1");
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

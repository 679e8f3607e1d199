// The main window's frame: pages, menus, message panels, resizing, hints, lists and start-up.
#include "MainWindow.h"
#include "ScriptedOperator.h"
#include "SimRuntime.h"
#include "Splash.h"
#include "Startup.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>

using namespace cvi;
using cvi::test::ScriptedOperator;

namespace {
// A port on which nothing ever arrives.
class SilentPort : public SerialPort {
public:
    void open(const PortSettings&) override { open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool isLost() const override { return false; }
    void write(const QByteArray&) override {}
    int bytesWaiting() override { return 0; }
    QByteArray read(int) override { return {}; }
    void discardInput() override {}
    void setInputBufferSize(int) override {}
    bool waitForInput(double, int) override { return false; }
    QString deviceName() const override { return "silent"; }

private:
    bool open_ = false;
};

struct Frame {
    sim::VirtualClock clock;
    sim::SimRuntime simRuntime{clock};
    QtRuntime realRuntime;
    ScriptedOperator op;
    AppState state;
    PortFactory ports;
    std::unique_ptr<MainWindow> main;

    explicit Frame(bool realTime = false, int screenHeight = 768) {
        state.ScreenWidthPx = 1024;
        state.ScreenHeightPx = screenHeight;
        ports.maker = [](const QString&) { return std::make_unique<SilentPort>(); };
        Runtime& rt = realTime ? static_cast<Runtime&>(realRuntime) : static_cast<Runtime&>(simRuntime);
        main = std::make_unique<MainWindow>(state, rt, op, ports);
    }
    QLabel* label(const char* name) { return main->findChild<QLabel*>(name); }
    bool enabled(const char* name) { return main->action(name) && main->action(name)->isEnabled(); }
};
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setEndProgramHook([] {}); }
    void pagesAndCaption();
    void menusStartAsDocumented();
    void panelWidths();
    void panelHeightFollowsScreen_data();
    void panelHeightFollowsScreen();
    void backgroundGradient();
    void clockTicksDuringRead();
    void hoverHints();
    void idListsFillAndFollow();
    void choosingTheShownInstrumentAgain();
    void pageChangeFreesPortAndMenus();
    void aboutAndHelp();
    void startupWithoutInstruments();
    void startupWaitsForDetection();
    void splashIsCentred();
};

void TestMainWindow::pagesAndCaption() {
    Frame f;
    QCOMPARE(f.main->windowTitle(), QStringLiteral("Corvanel Interactive Ver 1.2"));
    QCOMPARE(f.main->objectName(), QStringLiteral("frmMain"));
    auto* panel = f.main->findChild<QTabWidget*>("Panel");
    QVERIFY(panel);
    QStringList captions;
    for (int i = 0; i < panel->count(); ++i) captions << panel->tabText(i);
    QCOMPARE(captions, (QStringList{"Sam&pling", "C&onfiguration", "&Calibration", "&System", "&Atmo3", "&Terminal"}));
    for (const char* name : {"PnlLeftMessage", "PnlMiddleMessage", "PnlRightMessage"}) QVERIFY(f.label(name));
    QCOMPARE(f.main->link().objectName(), QStringLiteral("MSComm1"));
}

void TestMainWindow::menusStartAsDocumented() {
    Frame f;
    QStringList menus;
    for (QAction* a : f.main->menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, (QStringList{"&File", "&Communication", "&Measure", "&Help"}));
    auto items = [&](const char* menu) {
        QStringList out;
        for (QAction* a : f.main->findChild<QMenu*>(menu)->actions()) out << (a->isSeparator() ? "-" : a->text());
        return out;
    };
    QCOMPARE(items("mnuFile"), (QStringList{"&Print Coeffs", "&Exit"}));
    QCOMPARE(items("mnuCommunication"), (QStringList{"&Settings", "S&tartup", "Time&out"}));
    QCOMPARE(items("mnuMeasure"), (QStringList{"&Atmo 3", "&Pressure", "&Sensor"}));
    QCOMPARE(items("mnuHelp"), (QStringList{"&On-Line", "-", "&About"}));
    for (const char* off : {"mnuPrint", "mnuSettings", "mnuTimeout", "mnuMeasure"}) QVERIFY2(!f.enabled(off), off);
    for (const char* on : {"mnuExit", "mnuStartup", "mnuOnLine", "mnuAbout", "mnuFile", "mnuHelp"})
        QVERIFY2(f.enabled(on), on);
    f.main->setMenusEnabled(false);
    QVERIFY(!f.enabled("mnuFile") && !f.enabled("mnuCommunication") && !f.enabled("mnuHelp"));
    f.main->setMenusEnabled(true);
    QVERIFY(f.enabled("mnuMeasure"));
}

void TestMainWindow::panelWidths() {
    Frame f;
    f.main->show();
    f.main->resize(800, 700);
    QTRY_COMPARE(f.main->centralWidget()->width(), 800);
    QCOMPARE(f.label("PnlLeftMessage")->geometry().x(), 0);
    QCOMPARE(f.label("PnlLeftMessage")->width(), 300);
    QCOMPARE(f.label("PnlMiddleMessage")->geometry().x(), 300);
    QCOMPARE(f.label("PnlMiddleMessage")->width(), 300);
    QCOMPARE(f.label("PnlRightMessage")->geometry().x(), 600);
    QCOMPARE(f.label("PnlRightMessage")->width(), 200);
    const int H = f.main->centralWidget()->height();
    QCOMPARE(f.label("PnlLeftMessage")->geometry().bottom(), H - 1);
    auto* panel = f.main->panel();
    QCOMPARE(panel->width(), MainWindow::PanelDesignWidth);
    QCOMPARE(panel->x(), (800 - panel->width()) / 2);
    QCOMPARE(panel->y(), (H - (panel->height() + MainWindow::MessageDesignHeight)) / 2);
}

void TestMainWindow::panelHeightFollowsScreen_data() {
    QTest::addColumn<int>("screenHeight");
    QTest::addColumn<int>("factor");
    QTest::newRow("768 lines") << 768 << 1;
    QTest::newRow("1024 lines") << 1024 << 2;
    QTest::newRow("1440 lines") << 1440 << 3;
    QTest::newRow("tiny screen keeps one") << 400 << 1;
}

void TestMainWindow::panelHeightFollowsScreen() {
    QFETCH(int, screenHeight);
    QFETCH(int, factor);
    Frame f(false, screenHeight);
    f.main->show();
    f.main->resize(900, 760);
    QTRY_COMPARE(f.label("PnlLeftMessage")->height(), MainWindow::MessageDesignHeight * factor);
    f.main->resize(950, 780); // a second resize does not make them taller again
    QTRY_COMPARE(f.main->centralWidget()->width(), 950);
    QCOMPARE(f.label("PnlMiddleMessage")->height(), MainWindow::MessageDesignHeight * factor);
    QCOMPARE(f.label("PnlRightMessage")->height(), MainWindow::MessageDesignHeight * factor);
}

void TestMainWindow::backgroundGradient() {
    Frame f;
    f.main->show();
    f.main->resize(900, 760);
    QWidget* canvas = f.main->centralWidget();
    QTRY_COMPARE(canvas->width(), 900);
    const QImage image = canvas->grab().toImage();
    const QColor top = image.pixelColor(2, 2);
    const QColor bottom = image.pixelColor(2, canvas->height() - f.label("PnlLeftMessage")->height() - 3);
    QCOMPARE(top.red(), 0);
    QVERIFY2(top.blue() > 240, qPrintable(QString::number(top.blue())));
    QVERIFY2(bottom.blue() < 40, qPrintable(QString::number(bottom.blue())));
    QCOMPARE(bottom.green(), 0);
}

void TestMainWindow::clockTicksDuringRead() {
    Frame f(true);
    f.state.PortName = "COM 1";
    f.state.BaudRate = "9600";
    f.state.Parity = "N";
    f.state.DataBits = "8";
    f.state.ReadTimeout = 1.3;
    f.main->link().OpenPort();
    const long before = f.main->clockTicks();
    QVERIFY(!f.main->link().ReadInput().has_value());
    QVERIFY(f.main->clockTicks() > before);
    QVERIFY(!f.label("PnlRightMessage")->text().isEmpty());
    f.main->link().ClosePort();
}

void TestMainWindow::hoverHints() {
    Frame f;
    auto* box = new QLabel("238", f.main->page(1));
    auto* frame = new QWidget(f.main->page(1));
    f.main->hint(box, [box]() -> QString { return box->text().isEmpty() ? QString() : "Click to change !"; });
    f.main->blankHint(frame);
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(box, &enter);
    QCOMPARE(f.label("PnlLeftMessage")->text(), QStringLiteral("Click to change !"));
    QCoreApplication::sendEvent(frame, &enter);
    QCOMPARE(f.label("PnlLeftMessage")->text(), QString());
    f.main->setLeftMessage("kept");
    box->clear();
    QCoreApplication::sendEvent(box, &enter);
    QCOMPARE(f.label("PnlLeftMessage")->text(), QStringLiteral("kept"));
}

void TestMainWindow::idListsFillAndFollow() {
    Frame f;
    QList<QComboBox*> lists;
    QStringList handled;
    int place = 0;
    for (const char* name : {"cboSampling", "cboConfiguration", "cboCalibration", "cboSystem", "cboAnalog"}) {
        auto* list = new QComboBox(f.main.get());
        list->setObjectName(name);
        f.main->registerIdList(place++, list);
        lists << list;
        connect(list, &QComboBox::currentIndexChanged, this, [&f, &handled, list](int) {
            handled << list->objectName() + "=" + list->currentText();
            f.main->syncIdLists(list);
        });
    }
    f.state.IDList = "010210";
    f.main->RefreshIdLists();
    for (QComboBox* list : lists) {
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->itemText(2), QStringLiteral("10"));
        QCOMPARE(list->currentText(), QStringLiteral("01"));
    }
    QCOMPARE(handled.size(), 5); // each list's handler ran once
    handled.clear();
    lists[2]->setCurrentIndex(2);
    for (QComboBox* list : lists) QCOMPARE(list->currentText(), QStringLiteral("10"));
    QCOMPARE(handled.size(), 5);
    f.state.IDList.clear();
    f.main->RefreshIdLists();
    for (QComboBox* list : lists) QCOMPARE(list->count(), 0);
}

void TestMainWindow::choosingTheShownInstrumentAgain() {
    Frame f;
    auto* list = new QComboBox(f.main->page(1));
    list->addItems({"01", "02"});
    int runs = 0;
    f.main->onIdChosen(list, [&] { ++runs; });
    // The operator picks another entry: one run, although the pick is reported too.
    list->setCurrentIndex(1);
    emit list->activated(1);
    QCOMPARE(runs, 1);
    f.main->runtime().pump();
    // He picks the entry already shown: it runs again.
    emit list->activated(1);
    QCOMPARE(runs, 2);
    // Another list moves this one: one run.
    list->setCurrentIndex(0);
    QCOMPARE(runs, 3);
    f.main->runtime().pump();
    emit list->activated(0);
    QCOMPARE(runs, 4);
}

void TestMainWindow::pageChangeFreesPortAndMenus() {
    Frame f;
    f.state.CurrentSN = "123456";
    auto* sn = new QLabel(f.main->page(2));
    sn->setObjectName("lblSN");
    f.main->setMenusEnabled(false);
    f.main->panel()->setCurrentIndex(MainWindow::PageCalibration);
    QCOMPARE(f.label("PnlLeftMessage")->text(), QStringLiteral("Please click on the start button !"));
    QVERIFY(f.enabled("mnuHelp"));
    QCOMPARE(sn->text(), QStringLiteral("123456"));
    f.main->setMenusEnabled(false);
    f.main->panel()->setCurrentIndex(MainWindow::PageTerminal);
    QVERIFY(!f.enabled("mnuHelp"));
    QCOMPARE(f.label("PnlLeftMessage")->text(), QString());
}

void TestMainWindow::aboutAndHelp() {
    Frame f;
    f.main->setLeftMessage("x");
    f.main->action("mnuAbout")->trigger();
    QCOMPARE(f.op.dialogsRun, QStringList{"frmAbout"});
    QCOMPARE(f.label("PnlLeftMessage")->text(), QString());
    f.main->action("mnuOnLine")->trigger();
    QCOMPARE(f.op.helpOpened, QStringList{"qrc:/help/index.html"});
    QVERIFY(f.op.messages.isEmpty());
    f.op.helpWorks = false;
    f.main->action("mnuOnLine")->trigger();
    QCOMPARE(f.op.messages.size(), 1);
}

void TestMainWindow::startupWithoutInstruments() {
    Frame f;
    StartupSequence startup{*f.main, {}, false};
    QVERIFY(startup.run());
    QCOMPARE(f.label("PnlLeftMessage")->text(), QStringLiteral("Select startup to establish communication!"));
    for (const char* off : {"mnuPrint", "mnuSettings", "mnuTimeout", "mnuMeasure"}) QVERIFY2(!f.enabled(off), off);
}

void TestMainWindow::startupWaitsForDetection() {
    Frame f;
    auto* cfg = new QComboBox(f.main->page(1));
    cfg->setObjectName("cboConfiguration");
    bool dialogShown = false;
    StartupSequence startup{*f.main, [&] {
                                dialogShown = true;
                                f.state.StartupFlag = "No"; // a failed detection
                                f.clock.at(30.0, [&] {      // the operator succeeds later on
                                    f.state.IDList = "01";
                                    f.state.StartupFlag = "Yes";
                                });
                            },
                            true};
    QVERIFY(startup.run());
    QVERIFY(dialogShown);
    QVERIFY(f.clock.now() >= 30.0);
    QVERIFY(f.enabled("mnuMeasure"));
    QVERIFY(f.enabled("mnuSettings"));
    QCOMPARE(f.label("PnlLeftMessage")->text(), QStringLiteral("Click the start button!"));
}

void TestMainWindow::splashIsCentred() {
    Splash splash(1024, 768);
    const QSize size = splash.picture()->pixmap().size();
    QVERIFY(!size.isEmpty());
    QCOMPARE(splash.pos(), QPoint((1024 - size.width()) / 2, (768 - size.height()) / 2));
    QCOMPARE(splash.picture()->objectName(), QStringLiteral("Image1"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

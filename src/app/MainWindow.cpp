#include "MainWindow.h"

#include "AboutDialog.h"
#include "AccessibleNames.h"
#include "HelpWindow.h"
#include "HintFilter.h"
#include "JournalWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTabWidget>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

static void initProgramResources() {
    Q_INIT_RESOURCE(resources);
}

namespace cvi {

namespace {
QLabel* makeMessagePanel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAutoFillBackground(true);
    label->setMargin(2);
    label->setTextFormat(Qt::PlainText);
    return label;
}

const char* const PageCaptions[] = {"Sam&pling", "C&onfiguration", "&Calibration",
                                    "&System",   "&Atmo3",         "&Terminal"};
} // namespace

MainWindow::MainWindow(AppState& state, Runtime& runtime, WindowOperator& op, const PortFactory& ports,
                       QWidget* parent)
    : QMainWindow(parent), state_(state), runtime_(runtime), op_(op), ports_(ports) {
    initProgramResources();
    idLists_.resize(5);
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Corvanel Interactive Ver " CVI_VERSION));
    host_ = new PageHost(*this);
    // Every window of the program names its controls for screen readers as it is shown.
    new AccessibleNames(this);
    link_ = makeLink();
    link_->setObjectName(QStringLiteral("MSComm1"));

    canvas_ = new Canvas(*this);
    setCentralWidget(canvas_);

    panel_ = new QTabWidget(canvas_);
    panel_->setObjectName(QStringLiteral("Panel"));
    panel_->setFixedSize(PanelDesignWidth, PanelDesignHeight);
    for (const char* caption : PageCaptions) {
        auto* placeholder = new QWidget;
        panel_->addTab(placeholder, QString::fromLatin1(caption));
    }

    left_ = makeMessagePanel(canvas_, "PnlLeftMessage");
    middle_ = makeMessagePanel(canvas_, "PnlMiddleMessage");
    right_ = makeMessagePanel(canvas_, "PnlRightMessage");
    right_->setAlignment(Qt::AlignCenter);

    buildMenus();
    // One warning a session when the change journal cannot be written; the writes go on.
    journal::programStarted();
    journal::setTool(QStringLiteral("cvi"));
    journal::setWarning([this](const QString& why) {
        op_.message(why, QStringLiteral("Warning"), Operator::Icon::Exclamation);
    });

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("timer1"));
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, &MainWindow::tick);
    timer1_->start();
    tick();

    connect(panel_, &QTabWidget::currentChanged, this, &MainWindow::onPageChanged);

    const int factor = messageHeightFactor();
    resize(PanelDesignWidth + 24,
           PanelDesignHeight + MessageDesignHeight * factor + 40 + menuBar()->sizeHint().height());
}

MainWindow::~MainWindow() {
    journal::setWarning({});
    if (link_) link_->ClosePort();
}

std::unique_ptr<Link> MainWindow::makeLink() {
    return std::make_unique<Link>(runtime_, ports_.map, ports_.create());
}

void MainWindow::buildMenus() {
    auto addMenu = [this](const char* title, const char* name) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(title));
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    auto addItem = [this](QMenu* menu, const char* title, const char* name, bool enabled) {
        QAction* a = menu->addAction(QString::fromUtf8(title));
        a->setObjectName(QString::fromLatin1(name));
        a->setEnabled(enabled);
        return a;
    };

    QMenu* file = addMenu("&File", "mnuFile");
    addItem(file, "&Print Coeffs", "mnuPrint", false);
    file->addSeparator();
    addItem(file, "Save Instrument &Configuration\u2026", "mnuSaveConfig", true);
    addItem(file, "Co&mpare With File\u2026", "mnuCompareConfig", true);
    addItem(file, "&Restore From File\u2026", "mnuRestoreConfig", true);
    QAction* journalItem = addItem(file, "Change &Journal", "mnuJournal", true);
    connect(journalItem, &QAction::triggered, this, [this] { showJournal(this, state_, op_); });
    file->addSeparator();
    QAction* exitItem = addItem(file, "&Exit", "mnuExit", true);
    connect(exitItem, &QAction::triggered, this, [] { endProgram(); });

    QMenu* comm = addMenu("&Communication", "mnuCommunication");
    addItem(comm, "&Settings", "mnuSettings", false);
    addItem(comm, "S&tartup", "mnuStartup", true);
    addItem(comm, "Time&out", "mnuTimeout", false);

    QMenu* measure = addMenu("&Measure", "mnuMeasure");
    measure->menuAction()->setEnabled(false);
    addItem(measure, "&Atmo 3", "mnuAtmo3", true);
    addItem(measure, "&Pressure", "mnuPressure", true);
    addItem(measure, "&Sensor", "mnuSensor", true);
    addItem(measure, "&Loop Overview", "mnuLoopOverview", true);

    QMenu* help = addMenu("&Help", "mnuHelp");
    QAction* online = addItem(help, "&On-Line", "mnuOnLine", true);
    help->addSeparator();
    QAction* about = addItem(help, "&About", "mnuAbout", true);
    connect(online, &QAction::triggered, this, &MainWindow::showHelp);
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);
}

QAction* MainWindow::action(const QString& name) const {
    const auto all = findChildren<QAction*>(name);
    return all.isEmpty() ? nullptr : all.first();
}

void MainWindow::setActionEnabled(const QString& name, bool enabled) {
    for (QAction* a : findChildren<QAction*>(name))
        a->setEnabled(enabled);
}

void MainWindow::setMenusEnabled(bool enabled) {
    for (const char* name : {"mnuFile", "mnuCommunication", "mnuMeasure", "mnuHelp"})
        setActionEnabled(QString::fromLatin1(name), enabled);
}

void MainWindow::onAction(const QString& name, std::function<void()> handler) {
    QAction* a = action(name);
    if (!a) return;
    connect(a, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
}

void MainWindow::setPage(int index, QWidget* page) {
    if (index < 0 || index >= panel_->count()) return;
    const QString caption = panel_->tabText(index);
    const bool blocked = panel_->blockSignals(true);
    const int current = panel_->currentIndex();
    QWidget* old = panel_->widget(index);
    panel_->removeTab(index);
    panel_->insertTab(index, page, caption);
    panel_->setCurrentIndex(current);
    panel_->blockSignals(blocked);
    delete old;
}

QWidget* MainWindow::page(int index) const {
    return panel_->widget(index);
}

void MainWindow::registerIdList(int place, QComboBox* list) {
    if (place >= 0 && place < idLists_.size()) idLists_[place] = list;
}

void MainWindow::syncIdLists(QComboBox* source) {
    if (!source) return;
    const int position = source->currentIndex();
    for (const auto& list : idLists_) {
        if (!list || list == source) continue;
        if (list->currentIndex() != position && position < list->count()) list->setCurrentIndex(position);
    }
}

void MainWindow::onIdChosen(QComboBox* list, std::function<void()> handler) {
    // A pick of another entry changes the position first and then reports the pick; only a pick
    // of the entry already shown needs the handler run from the pick itself.
    auto changed = std::make_shared<bool>(false);
    connect(list, &QComboBox::currentIndexChanged, list, [list, handler, changed](int index) {
        *changed = true;
        QMetaObject::invokeMethod(
            list, [changed] { *changed = false; }, Qt::QueuedConnection);
        if (index >= 0) handler();
    });
    connect(list, &QComboBox::activated, list, [handler, changed](int index) {
        if (*changed) {
            *changed = false;
            return;
        }
        if (index >= 0) handler();
    });
}

void MainWindow::RefreshIdLists() {
    for (const auto& list : idLists_) {
        if (!list) continue;
        const bool blocked = list->blockSignals(true);
        list->clear();
        for (int i = 0; i < state_.idCount(); ++i)
            list->addItem(state_.idAt(i));
        list->setCurrentIndex(-1);
        list->blockSignals(blocked);
    }
    if (state_.IDList.isEmpty()) return;
    for (const auto& list : idLists_)
        if (list && list->currentIndex() != 0) list->setCurrentIndex(0);
}

void MainWindow::hint(QWidget* widget, std::function<QString()> text) {
    if (!widget) return;
    widget->setMouseTracking(true);
    widget->installEventFilter(new HintFilter(widget, [this, text = std::move(text)] {
        const QString t = text();
        if (!t.isNull()) left_->setText(t);
    }));
}

void MainWindow::hint(QWidget* widget, const QString& text) {
    hint(widget, [text] { return text; });
}

void MainWindow::blankHint(QWidget* widget) {
    hint(widget, [] { return QStringLiteral(""); });
}

int MainWindow::messageHeightFactor() const {
    return std::max(1, state_.ScreenHeightPx / 480);
}

void MainWindow::onPageChanged(int index) {
    // Changing the page clears the panels, shows the chosen instrument's serial number and
    // version on every page and, for every page but the Terminal, frees the port and the menus.
    left_->clear();
    middle_->clear();
    if (index != PageTerminal) {
        left_->setText(QStringLiteral("Please click on the start button !"));
        setMenusEnabled(true);
        link_->ClosePort();
        middle_->clear();
    }
    emit host_->pageChanged(index);
}

void MainWindow::tick() {
    ++clockTicks_;
    right_->setText(QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
}

void MainWindow::showAbout() {
    left_->clear();
    AboutDialog about(this);
    op_.runModal(about);
}

void MainWindow::showHelp() {
    left_->clear();
    const QString index = helpIndexUrl(state_.ProgramFolder);
    if (!op_.openHelp(index))
        op_.message(QStringLiteral("The help pages could not be shown."), QStringLiteral("Error"),
                    Operator::Icon::Exclamation);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    link_->ClosePort();
    event->accept();
    endProgram();
}

void MainWindow::layoutCanvas() {
    const int W = canvas_->width();
    const int H = canvas_->height();
    const int panelsHeight = MessageDesignHeight * messageHeightFactor();
    const int leftWidth = static_cast<int>(std::lround(W * 0.375));
    const int middleWidth = static_cast<int>(std::lround(W * 0.375));
    const int rightWidth = static_cast<int>(std::lround(W * 0.25));
    const int top = H - panelsHeight;
    left_->setGeometry(0, top, leftWidth, panelsHeight);
    middle_->setGeometry(leftWidth, top, middleWidth, panelsHeight);
    right_->setGeometry(leftWidth + middleWidth, top, rightWidth, panelsHeight);
    panel_->move((W - panel_->width()) / 2, (H - (panel_->height() + panelsHeight)) / 2);
}

// ---------------------------------------------------------------------------------------------

Canvas::Canvas(MainWindow& owner) : QWidget(&owner), owner_(owner) {
    setObjectName(QStringLiteral("frmMainCanvas"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Canvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int W = width();
    const int H = height();
    if (H <= 0) return;
    const int step = std::max(1, H / 60);
    const int band = H / 16;
    for (int y = 0; y <= H; y += step) {
        const int blue = 255 - (255 * y) / H;
        painter.fillRect(QRect(QPoint(-1, y - 1), QPoint(W, y + band)), QColor(0, 0, blue));
    }
}

void Canvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    owner_.layoutCanvas();
}

} // namespace cvi

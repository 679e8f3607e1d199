#pragma once

#include "AppState.h"
#include "Link.h"
#include "PageHost.h"
#include "PortFactory.h"
#include "Runtime.h"
#include "WindowOperator.h"

#include <QLabel>
#include <QList>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QMenu;
class QTabWidget;
class QTimer;

namespace cvi {

class Canvas;

// The main window "frmMain": the six pages in the tab control "Panel", the three message panels
// along the bottom with the clock, the menus, the resize rules and the gradient. Pages are
// installed by the program's composition; they see the frame only through its page host.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int PageSampling = PageHost::Sampling;
    static constexpr int PageConfiguration = PageHost::Configuration;
    static constexpr int PageCalibration = PageHost::Calibration;
    static constexpr int PageSystem = PageHost::System;
    static constexpr int PageAtmo3 = PageHost::Atmo3;
    static constexpr int PageTerminal = PageHost::Terminal;

    // Design sizes (pixels) of the tab control and of the message panels' height.
    static constexpr int PanelDesignWidth = 840;
    static constexpr int PanelDesignHeight = 590;
    static constexpr int MessageDesignHeight = 24;

    MainWindow(AppState& state, Runtime& runtime, WindowOperator& op, const PortFactory& ports,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // What the pages, dialogs and live windows see of the frame.
    PageHost& host() { return *host_; }

    AppState& state() { return state_; }
    Runtime& runtime() { return runtime_; }
    WindowOperator& op() { return op_; }
    const PortFactory& portFactory() const { return ports_; }
    // The main window's own serial object ("MSComm1"), shared by its pages.
    Link& link() { return *link_; }
    // A serial object for another window ("Comm1").
    std::unique_ptr<Link> makeLink();

    QTabWidget* panel() const { return panel_; }
    QLabel* leftMessage() const { return left_; }
    QLabel* middleMessage() const { return middle_; }
    QLabel* rightMessage() const { return right_; }
    void setLeftMessage(const QString& text) { left_->setText(text); }
    void setMiddleMessage(const QString& text) { middle_->setText(text); }

    // Menu items and menus by their names (mnuFile, mnuPrint, mnuMeasure, ...).
    QAction* action(const QString& name) const;
    void setActionEnabled(const QString& name, bool enabled);
    // The four menus File, Communication, Measure and Help.
    void setMenusEnabled(bool enabled);

    // Puts a page in its place in the tab control (keeps the caption).
    void setPage(int index, QWidget* page);
    QWidget* page(int index) const;

    // The five instrument lists, each registered by its page in its place: 0 Sampling,
    // 1 Configuration, 2 Calibration, 3 System, 4 Atmo3 (the pages' own indexes).
    void registerIdList(int place, QComboBox* list);
    const QList<QPointer<QComboBox>>& idLists() const { return idLists_; }
    // Gives every other list the position of `source`; each list whose position changes runs its
    // own selection handler.
    void syncIdLists(QComboBox* source);
    // Runs `handler` whenever the list's instrument is chosen: when its position changes (by the
    // operator or by another list), and when the operator picks the entry already shown, which
    // starts that instrument's pages afresh.
    void onIdChosen(QComboBox* list, std::function<void()> handler);
    // Refills the five lists from IDList and selects the first entry of each.
    void RefreshIdLists();

    // Hover hints in the left panel: `text` is asked on every mouse move over `widget`;
    // a null text leaves the panel as it is.
    void hint(QWidget* widget, std::function<QString()> text);
    void hint(QWidget* widget, const QString& text);
    // Moving over `widget` empties the left panel.
    void blankHint(QWidget* widget);

    // Message panels' current height factor (ScreenHeightPx \ 480, at least 1).
    int messageHeightFactor() const;
    // How often the clock panel was refreshed (the clock runs during reads too).
    long clockTicks() const { return clockTicks_; }

    // The Communication menu's and Measure menu's handlers are installed by their subsystems.
    void onAction(const QString& name, std::function<void()> handler);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void onPageChanged(int index);
    void tick();
    void showAbout();
    void showHelp();
    void layoutCanvas();
    friend class Canvas;

    AppState& state_;
    Runtime& runtime_;
    WindowOperator& op_;
    const PortFactory& ports_;
    std::unique_ptr<Link> link_;
    PageHost* host_ = nullptr;

    Canvas* canvas_ = nullptr;
    QTabWidget* panel_ = nullptr;
    QLabel* left_ = nullptr;
    QLabel* middle_ = nullptr;
    QLabel* right_ = nullptr;
    QTimer* timer1_ = nullptr;
    QList<QPointer<QComboBox>> idLists_;
    long clockTicks_ = 0;
};

// The blue-to-black background of the main window; it also places the tab control and the
// message panels on every resize.
class Canvas : public QWidget {
    Q_OBJECT
public:
    explicit Canvas(MainWindow& owner);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    MainWindow& owner_;
};

} // namespace cvi

#pragma once

#include "AppState.h"
#include "Link.h"
#include "PageFrame.h"
#include "Runtime.h"
#include "Transactions.h"
#include "WindowOperator.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QWidget;

namespace cvi {

class MainWindow;
class ValueBox;

// What a page, a dialog or a live window may ask of the main window: the shared state and
// services, the message panels, the menus, the page area, the five instrument lists, hover
// hints, and the exchanges on the main window's own serial object. Cross-page effects travel as
// its signals; no subsystem sees the frame itself or another page's widgets.
class PageHost : public QObject {
    Q_OBJECT
public:
    // The pages in the tab control, in order.
    enum Page { Sampling = 0, Configuration = 1, Calibration = 2, System = 3, Atmo3 = 4, Terminal = 5 };

    explicit PageHost(MainWindow& frame);

    AppState& state();
    Runtime& runtime();
    WindowOperator& op();
    // The main window's own serial object ("MSComm1"), shared by its pages.
    Link& link();
    // A serial object for another window ("Comm1").
    std::unique_ptr<Link> makeLink();
    // A transaction's target on the main window's serial object: the loop's settings and the
    // chosen instrument.
    Channel channel();
    // The window dialogs belong to.
    QWidget* window();

    void setLeftMessage(const QString& text);
    void setMiddleMessage(const QString& text);

    // Menu items and menus by their names (mnuPrint, mnuMeasure, ...).
    void setActionEnabled(const QString& name, bool enabled);
    // The four menus File, Communication, Measure and Help.
    void setMenusEnabled(bool enabled);
    void onAction(const QString& name, std::function<void()> handler);

    // The tab control with the pages.
    void showPages(bool shown);
    void setCurrentPage(int page);
    void setPage(int index, QWidget* page);

    // The five instrument lists, each registered by its page in its place.
    void registerIdList(int place, QComboBox* list);
    // Gives every other list the position of `source`; each list whose position changes runs its
    // own selection handler.
    void syncIdLists(QComboBox* source);
    // Runs `handler` whenever the list's instrument is chosen (also when the entry already shown
    // is picked again, which starts that instrument's pages afresh).
    void onIdChosen(QComboBox* list, std::function<void()> handler);
    // Refills the five lists from IDList and selects the first entry of each.
    void RefreshIdLists();
    // Chooses instrument `id` as the operator does in the instrument list of the page shown (the
    // Configuration page's when the Terminal is shown): every list takes its position and each
    // page starts afresh, also when it was the instrument chosen already. False when no list
    // holds it.
    bool chooseInstrument(const QString& id);
    // Empties the five lists without running their handlers.
    void clearIdLists();
    void focusIdList(int place);

    // Hover hints in the left panel: `text` is asked on every mouse move over `widget`; a null
    // text leaves the panel as it is.
    void hint(QWidget* widget, std::function<QString()> text);
    void hint(QWidget* widget, const QString& text);
    // Moving over `widget` empties the left panel.
    void blankHint(QWidget* widget);

    // Runs one operator action that talks to the instruments on the main window's serial object.
    // While one runs, further actions are ignored (the readers let the interface run, and a second
    // transaction on the same port would take the first one's reply). A failing port is reported
    // once; the port is closed, the progress panel emptied and the pointer restored. Returns false
    // when the action failed.
    bool runExchange(const std::function<void()>& action);
    bool exchangeRunning() const { return exchangeRunning_; }
    // An exchange of the pages holds the port and cannot hand it over (a Start, a single reading
    // under way): a menu item that needs the port is ignored meanwhile, as a disabled one would be.
    bool portBusy() { return (exchangeRunning_ || link().PortOpen()) && !link().offersRelease(); }

    // Value-box edits belong to the parameter pages, which install the editor; a box attached
    // before that is connected when the editor comes.
    using ValueBoxEditor = std::function<bool(PageHost& host, const PageContext& page, ValueBox* box)>;
    void setValueBoxEditor(ValueBoxEditor editor);
    // Connects a value box to the edit of its parameter and to its hover hint.
    void attachValueBox(const PageContext& page, ValueBox* box);

    // The Configuration page's renumbering button; `command` is the label that shows the command.
    void requestRenumbering(QLabel* command) { emit renumberRequested(command); }

signals:
    // The Sampling page returns to its "instrument chosen" state: options cleared, Start on,
    // Send off, command box cleared.
    void samplingResetRequested();
    // The Sampling page's Send button is enabled (after the Terminal page sent a line).
    void samplingSendEnabled();
    // Baud rate or parity of the link changed; pages showing them refresh.
    void linkSettingsChanged();
    // The main window's page changed (after the frame's own handling); pages show CurrentSN
    // and CurrentVR in their instrument information boxes.
    void pageChanged(int index);
    // An instrument was chosen: every page empties its serial number and version boxes.
    void informationCleared();
    // Renumber the loop (the Configuration page's cmdAutoNumber).
    void renumberRequested(QLabel* command);

private:
    MainWindow& frame_;
    bool exchangeRunning_ = false;
    ValueBoxEditor editor_;
    std::vector<std::pair<PageContext, QPointer<ValueBox>>> unattached_;
};

} // namespace cvi

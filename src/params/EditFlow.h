#pragma once

#include "Catalogue.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>

#include <functional>
#include <optional>

namespace cvi {

class MainWindow;

// A value box: a label named "lbl" + mnemonic that the operator clicks to change its parameter.
class ValueBox : public QLabel {
    Q_OBJECT
public:
    explicit ValueBox(const QString& name, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// The controls of a page that the value-box edits use: the Start button, whose enabled state is
// the page's start-required state (enabled: the page must be read first), the command label and
// the response box.
struct PageContext {
    QPointer<QAbstractButton> start;
    QPointer<QLabel> command;
    QPointer<QPlainTextEdit> response;

    bool needsStart() const { return !start || start->isEnabled(); }
    void showCommand(const QString& text) const {
        if (command) command->setText(text);
    }
};

// One reply as a page read it: empty when nothing (or a broken line) came back.
struct Reply {
    QString line;

    bool answered() const { return !line.isEmpty(); }
    // A reply shorter than ten characters holds no value.
    bool holdsValue() const { return line.size() >= 10; }
    QString value() const;
};

// How a page's Start routine reads one parameter.
struct ReadStep {
    bool wakeUp = false;            // a lone "*" and 10 ms first, then the line with a single star
    bool runInterfaceFirst = false; // one pass of the user interface just before the read
    double waitFirst = 0.0;         // seconds to wait for the first character before the read
};

// One parameter read of a page's Start routine: open, the command text in the page's command
// label, the line, one reply (appended to the response box), close, one pass of the interface.
Reply readParameter(MainWindow& main, const PageContext& page, const QString& mnemonic, ReadStep step = {});
// The value of a reply read by a Start routine. A reply too short to hold one is reported to the
// operator as a corrupted parameter ("Error"); no value either way.
std::optional<QString> valueOf(MainWindow& main, const Reply& reply, const QString& mnemonic);

// Runs one operator action that talks to the instruments on the main window's serial object.
// While one runs, further actions are ignored (the readers let the interface run, and a second
// transaction on the same port would take the first one's reply). A failing port is reported
// once; the port is closed, the progress panel emptied and the pointer restored. Returns false
// when the action failed.
bool runExchange(MainWindow& main, const std::function<void()>& action);
bool exchangeRunning(MainWindow& main);

// Connects a value box to the edit of its parameter (the prompt edit, or the option dialog and its
// follow-up) and to its hover hint, by the box's name in the catalogue. Returns false, doing
// nothing, for a box the catalogue does not edit.
bool attachValueBox(MainWindow& main, const PageContext& page, ValueBox* box);

// Opens the dialog that owns a box's parameter. openOptionDialog unless replaced; tests stand in
// for the dialogs with their own opener. An empty opener restores openOptionDialog.
using DialogOpener = std::function<bool(MainWindow& main, const QString& box)>;
void setDialogOpener(DialogOpener opener);

// The Start button's hint: "Please click the start button!" while the page needs Start.
void hintStartButton(MainWindow& main, QAbstractButton* start);

// The pressure integration time, as shown: PR (a whole number) times 33, or 60 when T1 is above
// 33, over 10000 seconds, rounded for display. "-" when PR is not a number.
QString integrationTimeText(const QString& pr, const std::optional<QString>& t1);

// Reads T1 on the page and shows the integration time of CurrentPR in lblIntegrationTime.
void showIntegrationTime(MainWindow& main, const PageContext& page);

// Shows a coded parameter's reply in its box: the catalogue's text, "???" for a code it does not
// know, "-" without a value.
void showCoded(QLabel* box, const catalogue::Parameter& parameter, const std::optional<QString>& value);

// The Background Mode boxes from an MD value: lblDisplay and lblRS232 on the main window.
void showBackgroundMode(MainWindow& main, const std::optional<QString>& value);

// Taring: ZS "0" hides the offset boxes lblZV and lblZVName, "1" and "2" show them.
void showTaring(MainWindow& main, const QString& zs);

} // namespace cvi

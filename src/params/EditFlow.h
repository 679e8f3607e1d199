#pragma once

#include "Catalogue.h"
#include "Edits.h"
#include "InstrumentRecord.h"
#include "PageFrame.h"
#include "Transactions.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

#include <functional>
#include <optional>

namespace cvi {

class PageHost;

// A value box: a label named "lbl" + mnemonic that the operator clicks to change its parameter.
// What it shows is kept in the instrument record, which the option dialogs and the report read.
// It takes the keyboard focus like a button: Enter or Space is a click. Its accessible name is
// the caption beside it (the frame's title and the mnemonic where the mnemonic is the caption),
// its accessible description the parameter's meaning from the manual.
class ValueBox : public QLabel {
    Q_OBJECT
public:
    ValueBox(const QString& name, InstrumentRecord& record, QWidget* parent = nullptr);

    // Shows a text, and keeps it in the record under the box's name.
    void show(const QString& text);
    // Shows a parameter as read or written: the text, and the reply it came from under the
    // parameter's mnemonic.
    void showReading(const QString& mnemonic, const QString& reply, const QString& text);

signals:
    void clicked();

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void describe();

    using QLabel::clear;
    using QLabel::setText;
    InstrumentRecord& record_;
    bool pressed_ = false;
};

// Adds a value box to a frame made by boxFrame: its caption (none for a null text) in `column`,
// the box beside it.
ValueBox* addValueBox(QGroupBox* frame, const QString& name, const QString& caption, InstrumentRecord& record,
                      int row, int column = 0);

// A page's serial number and version boxes follow the chosen instrument: they show CurrentSN
// and CurrentVR whenever the main window's page changes, and empty when an instrument is chosen.
void followInstrumentInformation(PageHost& host, ValueBox* serial, ValueBox* version);

// A page's value box by name, or null.
ValueBox* valueBox(const PageContext& page, const QString& name);

// Runs one of a page's exchanges on the main window's serial object: its commands go to the
// page's command label, its replies to the page's response box (PageHost::runExchange).
bool runPageExchange(PageHost& host, const PageContext& page, const std::function<void()>& action);

// The value of a reply read by a Start routine. A reply too short to hold one is reported to the
// operator as a corrupted parameter ("Error"); no value either way.
std::optional<QString> valueOf(PageHost& host, const Reply& reply, const QString& mnemonic);

// Connects a value box to the edit of its parameter (the prompt edit, or the option dialog and its
// follow-up) and to its hover hint, by the box's name in the catalogue. Returns false, doing
// nothing, for a box the catalogue does not edit.
bool attachValueBox(PageHost& host, const PageContext& page, ValueBox* box);

// Opens the dialog that owns a box's parameter. openOptionDialog unless replaced; tests stand in
// for the dialogs with their own opener. An empty opener restores openOptionDialog.
using DialogOpener = std::function<bool(PageHost& host, const PageContext& page, const QString& box)>;
void setDialogOpener(DialogOpener opener);

// The Start button's hint: "Please click the start button!" while the page needs Start.
void hintStartButton(PageHost& host, QAbstractButton* start);

// The pressure integration time, as shown (the core's rule).
using edit::integrationTimeText;

// Reads T1 on the page and shows the integration time of CurrentPR in lblIntegrationTime.
void showIntegrationTime(PageHost& host, const PageContext& page);

// Shows a coded parameter's reply in its box: the catalogue's text, "???" for a code it does not
// know, "-" without a value.
void showCoded(ValueBox* box, const catalogue::Parameter& parameter, const Reply& reply);

// The Background Mode boxes from an MD value: lblDisplay and lblRS232 of the page. A value
// outside 0 to 3 leaves them as they were.
void showBackgroundMode(const PageContext& page, const std::optional<QString>& value);

// Taring: ZS "0" hides the offset boxes lblZV and lblZVName, "1" and "2" show them.
void showTaring(const PageContext& page, const QString& zs);

} // namespace cvi

#pragma once

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
// What it shows lives in the instrument record: a box shows what the record holds under its
// name, so a dialog or an exchange of any page that learns a value puts it in the record and
// every box of that name follows, on a page in view or not.
// It takes the keyboard focus like a button: Enter or Space is a click. Its accessible name is
// the caption beside it (the frame's title and the mnemonic where the mnemonic is the caption),
// its accessible description the parameter's meaning from the manual.
class ValueBox : public QLabel {
    Q_OBJECT
public:
    ValueBox(const QString& name, InstrumentRecord& record, QWidget* parent = nullptr);

    // Shows a text: it goes to the record under the box's name.
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

// The Start button's hint: "Please click the start button!" while the page needs Start.
void hintStartButton(PageHost& host, QAbstractButton* start);

// The value of a reply read by a Start routine. A reply too short to hold one is reported to the
// operator as a corrupted parameter ("Error"); no value either way.
std::optional<QString> valueOf(PageHost& host, const Reply& reply, const QString& mnemonic);

} // namespace cvi

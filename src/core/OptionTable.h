#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace cvi::options {

// The coded parameters of the Configuration page that are changed through a small dialog: one
// option button per code, one write, and the page's value box updated from the instrument's
// echo. The dialogs' own captions live in this table; the names the page shows and the success
// messages come from the parameter catalogue.

// How a dialog's OK talks to the loop.
enum class Sequence {
    Write,    // one enable-write to the chosen instrument; its echo sets the page box
    BaudLock, // one broadcast write to every instrument; every reply's digit is checked
    ZeroSet,  // the ZS write; taring requested re-reads ZS and, while taring, ZV
    Units,    // the UN write; PA, OP and ZV re-read in the new unit; the LL/LH caution
};

struct Choice {
    QString button;  // object name of the option button
    QString caption; // its caption
    QString code;    // the value written
};

// A code and the page box's text for it.
struct Name {
    QString code;
    QString text;
};

// Switching one of the page's boxes on or off.
struct Switch {
    QString box;
    bool on;
};

struct Member {
    QString dialog;   // object name of the dialog
    QString caption;  // its window caption
    QString valueBox; // the page box that opens it and shows the parameter
    QString mnemonic;
    Sequence sequence = Sequence::Write;
    QList<Choice> choices;      // in the order shown
    QList<Name> selectedBy;     // page box text that selects a code at load
    QList<Name> shownAs;        // reply value to page box text; empty: the value itself
    QString waitText;           // shown while the sequence runs; empty: none
    QString success;            // shown after an answer
    QString noReply;            // shown without an answer; empty: nothing
    bool dashOnNoReply = false; // the page box shows "-" without an answer
    QString resultOnOk;         // DialogResult after OK; empty: left as it is
    QString resultOnCancel;     // DialogResult after Cancel; empty: left as it is
};

// Every dialog with option buttons (the Background Mode dialog has toggle buttons instead).
const QList<Member>& members();
// The member opened by a page box ("lblDD"), or nullptr.
const Member* memberForBox(const QString& valueBox);

// ---- the Baud Lock broadcast ----
QString baudLockMismatch(); // some instrument answered with another digit
// What the replies to a baud-lock write say: how many hold a value, and whether some instrument
// answered with another digit than the code written.
struct BaudLockAnswers {
    int confirmed = 0;
    bool mismatch = false;
};
BaudLockAnswers baudLockAnswers(const QStringList& lines, const QString& code);
QString warningTitle(); // title of the warning boxes

// ---- taring ----
// Taring off hides the offset; taring requested or on shows it.
QList<Switch> offsetSwitches(bool on);
QString zeroSetNoReply();

// ---- pressure units ----
// What a UN write does to the page's user factor boxes.
QList<Switch> userFactorSwitches(const QString& code);
// A value kept in pressure units, re-read after a UN write.
struct Reread {
    QString mnemonic;
    QString valueBox;
    QString warning;    // shown without an answer
    bool fullModelOnly; // not on instruments whose version begins with "M"
};
const QList<Reread>& unitRereads();
// The mnemonics a UN write reads again on an instrument of model M or another.
QStringList unitRereadsFor(bool modelM);
QString limitsCaution();
QString cautionTitle();

// ---- the Background Mode dialog (frmMD) ----
QString backgroundModeCaption();
QString backgroundModeWarning();
QString modeOn();
QString modeOff();

} // namespace cvi::options

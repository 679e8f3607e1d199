#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace cvi {

// The instrument parameters the parameter pages read and write: one row per mnemonic, with the
// value box that shows it, the caption beside the box, how a reply value is shown, how it is
// edited and every word the edit shows. The Configuration, Calibration and Atmo3 pages, the
// value-box edits and the option dialogs all take their texts from here.
namespace catalogue {

// The page of the main window a parameter's value box lives on.
enum class Page { Configuration, Calibration, Atmo3 };

// How a click on the value box changes the parameter.
enum class Edit {
    None,   // read-only
    Prompt, // an input box and one enable-write line
    Dialog, // the option dialog or the Units dialog that owns the parameter
};

// What an answer typed into the prompt must satisfy before anything is sent.
enum class Check {
    None,
    NonEmpty,   // any non-empty answer
    Resolution, // numeric, rounded to a whole number 1 to 16383 (PR); otherwise asked again
    Humidity,   // first three characters, upper-cased, "RHT" (the humidity sensor's H1)
    Option,     // one of the dialog's option codes
};

// One code and the text shown for it.
struct Shown {
    QString code;
    QString text;
};

struct Parameter {
    QString mnemonic;
    Page page = Page::Configuration;
    QString box;     // the value box ("lbl" + mnemonic on most rows)
    QString caption; // the caption beside the box; empty where the mnemonic is the caption
    Edit edit = Edit::None;
    // Boxes whose click edits this parameter (MD is edited from lblDisplay and lblRS232; its own
    // lblMD is read-only).
    QStringList editBoxes;
    QString dialog; // frmDD, frmUnits, ... for Edit::Dialog

    // Reply value -> text shown after a Start read. An empty list shows the value as read.
    QList<Shown> shown;
    // Text for a value the list does not name; null: the list names every valid value.
    QString shownOtherwise;
    // A value the list does not name leaves the box as it was (IM), instead of "???".
    bool unknownKeepsBox = false;
    // Value -> text shown after a write through the option dialog, where it differs from the
    // text after a read (IM "2", the unit names).
    QList<Shown> shownAfterWrite;

    QStringList promptPieces; // joined without separator
    QString promptTitle;
    Check check = Check::None;
    QString waitText;             // shown while the write is answered; empty: none
    QString success;              // shown after an answered write; empty: none
    bool defaultIsCurrent = true; // the prompt's default answer is the box's caption

    // The special members of the prompt edit.
    QString cancelMessage;         // shown when the prompt is cancelled (LH, LL)
    double replyWait = 0.5;        // seconds to wait for the first character of the reply
    bool showsAnswer = false;      // the box shows the answer as typed, not the echo (LH, LL)
    bool echoLine = false;         // the reply is logged with an extra line end (LH)
    bool secondWakeUp = false;     // a second lone "*" just before the write line (PA)
    bool bareCommandShown = false; // the command label shows only prefix + "OP=" + answer (OP)
    bool commandShownLate = false; // the command label is set after the write (UF)
    bool quietOnSilence = false;   // no message and no change without a reply (UF)

    // The caption beside the box, the mnemonic when the row names none.
    QString boxCaption() const { return caption.isEmpty() ? mnemonic : caption; }
    // The prompt text: its pieces joined as they are.
    QString prompt() const { return promptPieces.join(QString()); }
    // The text a Start read shows for a reply value; no value when the code is unknown.
    std::optional<QString> show(const QString& value) const;
    // The text the option dialog shows after writing `code`.
    std::optional<QString> showWritten(const QString& code) const;
    bool editable() const { return edit != Edit::None; }
};

// The row of a mnemonic, or null.
const Parameter* find(const QString& mnemonic);
// The row whose value box (or one of its edit boxes) is `boxName`, or null.
const Parameter* forBox(const QString& boxName);
// Every row, in the table's order.
const QList<Parameter>& all();
// The rows of one page, in the table's order.
QList<const Parameter*> onPage(Page page);

// The order in which the Calibration page reads its coefficients after SN and VR.
const QStringList& calibrationOrder();
// The order in which the Atmo3 page reads its coefficients after SN and VR.
const QStringList& atmo3Order();

} // namespace catalogue

// Words shared by the pages, the edits and the dialogs.
namespace texts {
inline const QString StartFirst = QStringLiteral("Please click the start button first !");
inline const QString ClickToChange = QStringLiteral("Click to change !");
inline const QString NoResponse = QStringLiteral("There is no response !");
inline const QString PleaseClickStart = QStringLiteral("Please click the start button!");
inline const QString PushStart = QStringLiteral("Please push the Start button");
inline const QString ReadingParameters = QStringLiteral("Reading Parameters ...");
inline const QString InvalidEntry = QStringLiteral("Invalid Entry");
inline const QString CantReadSN = QStringLiteral("Can't read SN!Increase Timeout and check connections.");
inline const QString CorruptedParameter = QStringLiteral(
    "- This may be due to a corrupted parameter.  Please try to overwrite this parameter via the terminal.");
inline const QString CopyHint = QStringLiteral("To copy select and press Ctrl + C");
inline const QString CopyHintFocus = QStringLiteral("To copy select and press Ctrl+C");
inline const QString NoInstrument = QStringLiteral("Select startup to establish communication!");
inline const QString OutputNotRead = QStringLiteral("16-Bit Output (---------)");
inline const QString OutputNone = QStringLiteral("16-Bit Output ( None )");
inline const QString OutputSerial = QStringLiteral("16-Bit Output ( Serial )");
inline const QString OutputParallel = QStringLiteral("16-Bit Output ( Parallel )");
inline const QString Unrecognised = QStringLiteral("???");
inline const QString NoValue = QStringLiteral("-");
inline const QString BrokenLine = QStringLiteral("CR and LF can not be detected !");
inline const QString BrokenLineTitle = QStringLiteral("Data Error");
inline const QString UnexpectedReply = QStringLiteral("The responce is not an expected responce!");
inline const QString BaudLocked = QStringLiteral("Baud is Locked.  Can't change Baud Rate!");
inline const QString UnexpectedReplyTitle = QStringLiteral("Error!");
} // namespace texts

} // namespace cvi

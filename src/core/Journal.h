#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace cvi {

struct Channel;

// The change journal: every write to an instrument, one row each, in the SQLite file Journal.db
// beside Report.mdb. The file is write-ahead logged and every row is committed before the write
// that made it returns, so a program killed between two writes leaves both rows behind.
namespace journal {

inline const QString FileName = QStringLiteral("Journal.db");

// One write as it went out and came back.
struct Row {
    QString time;      // ISO 8601 with its UTC offset
    QString port;      // "COM 1 (/dev/ttyS0)"
    QString id;        // the instrument's identifier, "99" for the whole loop
    QString serial;    // the serial number, when the program knew it
    QString parameter; // the mnemonic written ("PR", "BR", "ID"...)
    QString before;    // the value shown before the write; empty when it was never read
    QString written;   // the value written
    QString echo;      // the reply (CR LF left out), empty when none came
    bool confirmed = false;
    QString tool; // "cvi" or "cvictl"
};

QString path(const QString& folder);
// "2026-05-01T14:30:00+02:00".
QString isoTime(const QDateTime& time);

// Appends one row and commits it; false with `why` when the file cannot take it.
bool append(const QString& folder, const Row& row, QString* why);

// Rows newest first: of one serial number when `serial` is given, and made at or after `since`
// when it is valid. Nothing when the file cannot be read (an absent file has no rows).
std::optional<QList<Row>> load(const QString& folder, const QString& serial, const QDateTime& since,
                               QString* why);

// The rows as comma-separated values with a heading line; fields with commas, quotes or line
// breaks are quoted.
QString csv(const QList<Row>& rows);
QJsonArray json(const QList<Row>& rows);
// The headings of the journal's columns, in the order of csv().
QStringList headings();

// "2026-05-01" (from midnight, local time) or an ISO 8601 date and time; invalid otherwise.
QDateTime parseSince(const QString& text);

// ---- the program's side ------------------------------------------------------------------------

// When this program started (the first call pins it; the main window calls it as it opens).
QDateTime programStarted();

// The tool named in every row this process writes ("cvi" unless set).
void setTool(const QString& tool);
// Told once a session, in words for the operator, when the journal cannot be written. Setting it
// starts a new session.
void setWarning(std::function<void(const QString&)> warn);
// The clock of the rows' time stamps (tests stand in for it).
void setClock(std::function<QDateTime()> now);

// Records one write of the channel's instrument (or of the whole loop when its prefix is empty).
// `before` is what the program showed for the parameter before the write (taken by the caller
// before the write went out). A journal that cannot be written never stops a write; without a
// program folder in the channel's state nothing is kept.
void record(const Channel& channel, const QString& parameter, const QString& before, const QString& written,
            const QString& echo, bool confirmed);
// What the channel's instrument record shows for a parameter now.
QString shownBefore(const Channel& channel, const QString& parameter);

} // namespace journal
} // namespace cvi

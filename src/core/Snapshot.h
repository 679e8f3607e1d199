#pragma once

#include "AppState.h"
#include "Catalogue.h"
#include "Transactions.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

namespace cvi::snapshot {

// An instrument's configuration as a JSON document: what the pages read of it, written by the
// windows' "Save Instrument Configuration" and by 'cvictl read --json' alike, and taken back by
// Compare, Restore and 'cvictl apply'. The writes that restore one go through the same
// exchanges as the value boxes and option dialogs.

// One parameter as a page read it.
struct Parameter {
    QString name;
    QString page;                 // "configuration", "calibration", "atmo3"
    std::optional<QString> value; // none without a reply holding one
    QString shown;
};

// The pages a document may hold, in the order 'all' reads them.
QStringList pageNames();
QString pageName(catalogue::Page page);

// What a page shows for a reply: the catalogue's text for a code, "???" for one it does not know,
// "-" without a value; MD as the two switches of the Background Mode frame.
QString shownFor(const catalogue::Parameter& p, const std::optional<QString>& value);

// Two values are the same when their texts are, or when both are the same number.
bool sameValue(const QString& a, const QString& b);

QJsonArray parametersJson(const QList<Parameter>& parameters);
QJsonObject portJson(const QString& slot, const QString& device, const LinkSettings& settings);

// The document of a successful read: "command": "read", "status": 0 and what was read.
QJsonObject document(const QString& id, const QStringList& pages, const QList<Parameter>& parameters,
                     const std::optional<QString>& integrationTime, const QJsonObject& port);

// What the instrument record holds of the chosen instrument, page by page in the catalogue's
// order; BR and PT beside the version, as the Configuration page shows them.
QList<Parameter> fromRecord(const AppState& state, QStringList* pages);

// A document read back; nothing, with `why`, for a file that is not one.
std::optional<QJsonObject> load(const QString& path, QString* why);
// The same for a document already parsed (why: the reason, without the file's name).
QString problemOf(const QJsonObject& doc);

// One line of a comparison or restore.
struct Difference {
    QString name;
    std::optional<QString> from; // the instrument's value; none when it did not answer
    QString to;                  // the document's
    QString why;                 // why it is not written; empty when it is
};

struct Plan {
    QList<Difference> differences;
    QList<QPair<const catalogue::Parameter*, QString>> writes; // in the order they go out
    QString sourceId, serial;
};

// The differences between the instrument's values and a document's, and the writes that restore
// the document: serial number and version never, read-only values, BL (it would change every
// instrument of the loop) and the taring state ZS and ZV skipped, the unit and its factor first.
Plan plan(const QJsonObject& source, const QMap<QString, std::optional<QString>>& current, const QString& id);

// ---- one write ------------------------------------------------------------------------------

struct Change {
    Change(const QString& n = {}, const QString& r = {}) : name(n), requested(r) {}
    QString name;
    QString requested;
    QStringList lines; // a dry run's lines
    QString echo;
    QString value;
    QString shown;
    bool answered = false;
    bool confirmed = false;
    QList<QPair<QString, QString>> rereads;
    QString refusal; // the instrument kept or told another value
    bool accepted() const { return confirmed && refusal.isEmpty(); }
};

// The lines a change sends, as far as they do not depend on the replies.
QStringList plannedLines(const catalogue::Parameter& p, const QString& value, const QString& prefix);

// Writes one parameter as its value box or option dialog does (BL to `instrumentCount`
// instruments) and tells what came back.
Change write(const Channel& channel, const catalogue::Parameter& p, const QString& value, double timeout,
             int instrumentCount);

} // namespace cvi::snapshot

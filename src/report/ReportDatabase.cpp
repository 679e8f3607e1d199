#include "ReportDatabase.h"

#include "FileFault.h"
#include "ReportFields.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <functional>

namespace cvi::report::database {

namespace {
const QString Driver = QStringLiteral("QSQLITE");
const QString Connection = QStringLiteral("cvi-report");

// SQLite's own words ("database is locked", "file is not a database") where it has them.
QString reasonOf(const QSqlError& error) {
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString columns() {
    QStringList out;
    for (const QString& n : fieldNames())
        out << quoted(n);
    return out.join(QStringLiteral(", "));
}

// Runs `work` on an open connection to the file and closes it again; false with `why` when the
// file cannot be opened or `work` fails.
bool withDatabase(const QString& programFolder, QString* why,
                  const std::function<bool(QSqlDatabase&, QString&)>& work) {
    QString reason;
    bool done = false;
    if (!QSqlDatabase::isDriverAvailable(Driver)) {
        reason = QStringLiteral("the SQLite driver of Qt (libqt6sql6-sqlite) is not installed");
    } else {
        const QFileInfo folder(programFolder);
        QSqlDatabase db = QSqlDatabase::addDatabase(Driver, Connection);
        db.setDatabaseName(path(programFolder));
        // Another program holding the file locked gets a second, not the driver's five.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
        if (!folder.isDir())
            reason = QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(programFolder));
        else if (!db.open())
            reason = writeFault(path(programFolder), reasonOf(db.lastError()));
        else
            done = work(db, reason);
        db.close();
    }
    QSqlDatabase::removeDatabase(Connection);
    if (!done && why) *why = reason;
    return done;
}

bool run(QSqlQuery& query, const QString& sql, QString& why) {
    if (query.exec(sql)) return true;
    why = reasonOf(query.lastError());
    return false;
}

bool createTable(QSqlDatabase& db, QString& why) {
    QStringList defs;
    for (const QString& n : fieldNames())
        defs << quoted(n) + QStringLiteral(" TEXT");
    QSqlQuery query(db);
    return run(query, QStringLiteral("CREATE TABLE IF NOT EXISTS report (%1)").arg(defs.join(", ")), why);
}
} // namespace

QString path(const QString& programFolder) {
    return QDir(programFolder).filePath(FileName);
}

bool store(const QString& programFolder, const QStringList& values, QString* why) {
    return withDatabase(programFolder, why, [&values](QSqlDatabase& db, QString& reason) {
        if (values.size() != fields().size()) {
            reason = QStringLiteral("%1 values for %2 fields").arg(values.size()).arg(fields().size());
            return false;
        }
        if (!createTable(db, reason)) return false;
        if (!db.transaction()) {
            reason = reasonOf(db.lastError());
            return false;
        }
        bool ok = false;
        {
            QSqlQuery query(db);
            if (run(query, QStringLiteral("DELETE FROM report"), reason)) {
                QStringList marks;
                for (int i = 0; i < values.size(); ++i)
                    marks << QStringLiteral("?");
                query.prepare(QStringLiteral("INSERT INTO report (%1) VALUES (%2)")
                                  .arg(columns(), marks.join(QStringLiteral(", "))));
                for (const QString& v : values)
                    query.addBindValue(v);
                ok = query.exec();
                if (!ok) reason = reasonOf(query.lastError());
            }
        }
        if (ok && db.commit()) return true;
        if (ok) reason = reasonOf(db.lastError());
        db.rollback();
        return false;
    });
}

std::optional<QStringList> load(const QString& programFolder, QString* why) {
    std::optional<QStringList> record;
    withDatabase(programFolder, why, [&record](QSqlDatabase& db, QString& reason) {
        QSqlQuery query(db);
        if (!run(query, QStringLiteral("SELECT %1 FROM report").arg(columns()), reason)) return false;
        if (!query.next()) {
            reason = QStringLiteral("the table \"report\" holds no record");
            return false;
        }
        QStringList values;
        for (int i = 0; i < fields().size(); ++i)
            values << query.value(i).toString();
        record = values;
        return true;
    });
    return record;
}

} // namespace cvi::report::database

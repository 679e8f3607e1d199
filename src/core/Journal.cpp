#include "Journal.h"

#include "FileFault.h"
#include "Transactions.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cstdlib>

namespace cvi::journal {

namespace {
const QString Driver = QStringLiteral("QSQLITE");
const QString Connection = QStringLiteral("cvi-journal");

struct Session {
    QString tool = QStringLiteral("cvi");
    std::function<void(const QString&)> warn;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    bool warned = false;
};

Session& session() {
    static Session s;
    return s;
}

QString reasonOf(const QSqlError& error) {
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

const char* const Create = "CREATE TABLE IF NOT EXISTS journal ("
                           "  seq INTEGER PRIMARY KEY AUTOINCREMENT,"
                           "  time TEXT NOT NULL,"
                           "  utc_ms INTEGER NOT NULL,"
                           "  port TEXT, id TEXT, serial TEXT, parameter TEXT,"
                           "  before TEXT, written TEXT, echo TEXT, confirmed INTEGER, tool TEXT)";

// Runs `work` on an open connection and closes it again; false with `why` when the file cannot be
// opened or `work` fails. `create`: the file and its table are made when missing.
bool withJournal(const QString& folder, bool create, QString* why,
                 const std::function<bool(QSqlDatabase&, QString&)>& work) {
    QString reason;
    bool done = false;
    const QString file = path(folder);
    if (!QSqlDatabase::isDriverAvailable(Driver)) {
        reason = QStringLiteral("the SQLite driver of Qt (libqt6sql6-sqlite) is not installed");
    } else if (!create && !QFileInfo::exists(file)) {
        return true; // no journal yet: no rows
    } else {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(Driver, Connection);
            db.setDatabaseName(file);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
            if (!QFileInfo(folder).isDir()) {
                reason = QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(folder));
            } else if (!db.open()) {
                reason = writeFault(file, reasonOf(db.lastError()));
            } else {
                QSqlQuery q(db);
                // The write-ahead log survives a killed program with every committed row, and
                // lets the journal window read while another program writes.
                if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
                    !q.exec(QStringLiteral("PRAGMA synchronous=FULL")) ||
                    !q.exec(QString::fromLatin1(Create)))
                    reason = writeFault(file, reasonOf(q.lastError()));
                else
                    done = work(db, reason);
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(Connection);
    }
    if (!done && why) *why = reason;
    return done;
}

QString lineEndsDropped(QString text) {
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return text;
}

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QStringList fieldsOf(const Row& r) {
    return {r.time,    r.port,      r.id,
            r.serial,  r.parameter, r.before,
            r.written, r.echo,      r.confirmed ? QStringLiteral("yes") : QStringLiteral("no"),
            r.tool};
}
} // namespace

QString isoTime(const QDateTime& time) {
    // Always the offset in digits, "+00:00" for UTC too, never "Z".
    const int offset = time.offsetFromUtc();
    const QDateTime local = time.toOffsetFromUtc(offset);
    const int minutes = std::abs(offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString path(const QString& folder) {
    return QDir(folder).filePath(FileName);
}

bool append(const QString& folder, const Row& row, QString* why) {
    return withJournal(folder, true, why, [&row](QSqlDatabase& db, QString& reason) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO journal (time, utc_ms, port, id, serial, parameter, before, "
                                 "written, echo, confirmed, tool) VALUES (?,?,?,?,?,?,?,?,?,?,?)"));
        const QDateTime at = QDateTime::fromString(row.time, Qt::ISODate);
        q.addBindValue(row.time);
        q.addBindValue(at.isValid() ? at.toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch());
        for (const QString& v :
             {row.port, row.id, row.serial, row.parameter, row.before, row.written, row.echo})
            q.addBindValue(v);
        q.addBindValue(row.confirmed ? 1 : 0);
        q.addBindValue(row.tool);
        // Outside a transaction every statement is committed on its own before exec() returns.
        if (q.exec()) return true;
        reason = writeFault(db.databaseName(), reasonOf(q.lastError()));
        return false;
    });
}

std::optional<QList<Row>> load(const QString& folder, const QString& serial, const QDateTime& since,
                               QString* why) {
    QList<Row> rows;
    const bool read = withJournal(folder, false, why, [&](QSqlDatabase& db, QString& reason) {
        QSqlQuery q(db);
        QString sql = QStringLiteral("SELECT time, port, id, serial, parameter, before, written, echo, "
                                     "confirmed, tool FROM journal WHERE 1=1");
        if (!serial.trimmed().isEmpty()) sql += QStringLiteral(" AND serial = ?");
        if (since.isValid()) sql += QStringLiteral(" AND utc_ms >= ?");
        sql += QStringLiteral(" ORDER BY seq DESC");
        q.prepare(sql);
        if (!serial.trimmed().isEmpty()) q.addBindValue(serial.trimmed());
        if (since.isValid()) q.addBindValue(since.toMSecsSinceEpoch());
        if (!q.exec()) {
            reason = reasonOf(q.lastError());
            return false;
        }
        while (q.next()) {
            Row r;
            r.time = q.value(0).toString();
            r.port = q.value(1).toString();
            r.id = q.value(2).toString();
            r.serial = q.value(3).toString();
            r.parameter = q.value(4).toString();
            r.before = q.value(5).toString();
            r.written = q.value(6).toString();
            r.echo = q.value(7).toString();
            r.confirmed = q.value(8).toInt() != 0;
            r.tool = q.value(9).toString();
            rows << r;
        }
        return true;
    });
    if (!read) return std::nullopt;
    return rows;
}

QStringList headings() {
    return {QStringLiteral("Time"),    QStringLiteral("Port"),      QStringLiteral("ID"),
            QStringLiteral("Serial"),  QStringLiteral("Parameter"), QStringLiteral("Before"),
            QStringLiteral("Written"), QStringLiteral("Echo"),      QStringLiteral("Confirmed"),
            QStringLiteral("Tool")};
}

QString csv(const QList<Row>& rows) {
    QStringList lines{headings().join(QLatin1Char(','))};
    for (const Row& r : rows) {
        QStringList fields;
        for (const QString& f : fieldsOf(r))
            fields << csvField(f);
        lines << fields.join(QLatin1Char(','));
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QJsonArray json(const QList<Row>& rows) {
    QJsonArray out;
    for (const Row& r : rows)
        out.append(QJsonObject{{"time", r.time},
                               {"port", r.port},
                               {"id", r.id},
                               {"serial", r.serial},
                               {"parameter", r.parameter},
                               {"before", r.before},
                               {"written", r.written},
                               {"echo", r.echo},
                               {"confirmed", r.confirmed},
                               {"tool", r.tool}});
    return out;
}

QDateTime parseSince(const QString& text) {
    const QString t = text.trimmed();
    const QDate day = QDate::fromString(t, Qt::ISODate);
    if (day.isValid() && t.size() == 10) return day.startOfDay();
    return QDateTime::fromString(t, Qt::ISODate);
}

QDateTime programStarted() {
    static const QDateTime started = QDateTime::currentDateTime();
    return started;
}

void setTool(const QString& tool) {
    session().tool = tool;
}

void setWarning(std::function<void(const QString&)> warn) {
    session().warn = std::move(warn);
    session().warned = false;
}

void setClock(std::function<QDateTime()> now) {
    session().now = now ? std::move(now) : [] { return QDateTime::currentDateTime(); };
}

QString shownBefore(const Channel& channel, const QString& parameter) {
    if (!channel.state || channel.prefix.isEmpty()) return {};
    const InstrumentRecord& record = channel.state->Record;
    if (record.id != channel.prefix.mid(1, 2)) return {};
    return record.shown(parameter);
}

void record(const Channel& channel, const QString& parameter, const QString& before, const QString& written,
            const QString& echo, bool confirmed) {
    Session& s = session();
    Row row;
    const QDateTime now = s.now();
    row.time = isoTime(now);
    const PortSettings port = channel.link.portSettings(channel.settings);
    row.port = QStringLiteral("%1 (%2)").arg(channel.settings.port, port.device);
    row.id = channel.prefix.isEmpty() ? QStringLiteral("99") : channel.prefix.mid(1, 2);
    if (channel.state && !channel.prefix.isEmpty() && channel.state->Record.id == row.id)
        row.serial = channel.state->Record.serialNumber();
    if (row.serial.isEmpty() && channel.state && channel.state->AddressPrefix == channel.prefix &&
        !channel.prefix.isEmpty())
        row.serial = channel.state->CurrentSN;
    row.parameter = parameter;
    row.before = before;
    row.written = written;
    row.echo = lineEndsDropped(echo);
    row.confirmed = confirmed;
    row.tool = s.tool;
    const QString folder = channel.state ? channel.state->ProgramFolder : QString();
    // Without a folder (a bench of its own) there is no journal to keep.
    if (folder.isEmpty()) return;
    QString why;
    if (append(folder, row, &why)) return;
    if (s.warned) return;
    s.warned = true;
    if (s.warn)
        s.warn(QStringLiteral("The change journal %1 could not be written (%2). The changes still go to "
                              "the instruments, but they are not recorded.")
                   .arg(QDir::toNativeSeparators(path(folder)), why));
}

} // namespace cvi::journal

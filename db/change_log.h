#pragma once
// The change log: every insert, update and delete made through the database layer is
// recorded in kestrum_change_log, in the same transaction as the change itself, so a change
// without its record (or a record without its change) cannot exist. Each record names when
// (UTC), this computer, the operating-system user, the action (window or tool) that caused
// it, the table, the client or server it concerns and each changed column's old and new
// value, the old ones read in the same transaction just before the change.

#include "components/database_connection.h"
#include "db/statement.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Kestrum's own tables carry this prefix; the tables the DNC servers read never change.
inline constexpr const char* kChangeLogTable = "kestrum_change_log";

// One write as the log sees it: the rows written are those whose whereColumn equals
// whereValue (update, delete); columns and values are what an insert or update writes.
struct TableWrite {
    enum class Kind { Insert, Update, Delete };
    Kind kind = Kind::Update;
    QString table;
    QString whereColumn;
    SqlValue whereValue = SqlValue::Null();
    QStringList columns;
    QList<SqlValue> values;
    // Many rows in one statement: the rows whose whereColumn holds one of whereValues
    // (update, delete), or one row per value list (insert). rowValues holds each key's or
    // row's values; empty or a single list, every row takes it. The records are those the same
    // writes made one key after another would leave, in the keys' order.
    QList<SqlValue> whereValues;
    QList<QList<SqlValue>> rowValues;

    static TableWrite Insert(const QString& table, const QStringList& columns,
                             const QList<SqlValue>& values);
    static TableWrite Update(const QString& table, const QString& whereColumn,
                             const SqlValue& whereValue, const QStringList& columns,
                             const QList<SqlValue>& values);
    static TableWrite Delete(const QString& table, const QString& whereColumn,
                             const SqlValue& whereValue);
    static TableWrite InsertRows(const QString& table, const QStringList& columns,
                                 const QList<QList<SqlValue>>& rows);
    static TableWrite UpdateRows(const QString& table, const QString& whereColumn,
                                 const QList<SqlValue>& keys, const QStringList& columns,
                                 const QList<QList<SqlValue>>& rowValues);
};

// The table's own key column ("" for tables without one).
QString TableKeyColumn(const QString& table);

// Runs the write's statement on DncConnection and records it. Inside an explicit transaction
// the record joins it (a record that fails spoils that transaction: it cannot commit);
// otherwise change and record get a transaction of their own. Reports as RunCommand does.
std::optional<CommandDone> RunLoggedCommand(const TableWrite& write, const QString& sql,
                                            const QList<SqlValue>& values, const ReportAs& as,
                                            bool returnsKey = false);

// For a caller that runs its own statements inside its own transaction on a connection:
// reads the old values, calls run, records the change. False (with *error) when the read,
// the run or the record failed; the caller then rolls back.
bool RecordedWrite(DatabaseConnection& connection, const TableWrite& write,
                   const std::function<bool(QSqlError*)>& run, QSqlError* error);

// Explicit transactions on a connection, as the log must know them. Their records are kept
// until the outermost one ends and then written, in few statements, before the commit.
void NoteTransactionBegun(const DatabaseConnection& connection);
// Inside a transaction: the name of a server as the writer just read it, for the records of
// the clients it adds to that server.
void NoteServerName(const DatabaseConnection& connection, qint32 serverId,
                    const QString& serverName);
// Ends the transaction's bookkeeping; committing, it writes the records kept, rolling back it
// drops them. False when a record failed inside it or could not be written: the caller must
// roll back (reported under as).
bool NoteTransactionEnding(DatabaseConnection& connection, const ReportAs& as,
                           bool committing = true);

// Inside a transaction: the records made while it lives go into the log client by client in
// the order given (records of other clients after them), as the same changes made one client
// after another would. For writes that serve many clients in one statement.
class RecordsInClientOrder {
public:
    explicit RecordsInClientOrder(const QList<qint32>& clients);
    RecordsInClientOrder(const RecordsInClientOrder&) = delete;
    RecordsInClientOrder& operator=(const RecordsInClientOrder&) = delete;

    // The records made from now on come, within each client, after those of earlier steps.
    void Step(int step);
    // Puts the records in order; call before the commit writes them.
    void Done();

private:
    QList<qint32> clients_;
    qsizetype first_ = 0;
    QList<std::pair<qsizetype, int>> steps_;  // from which record on, which step
};

// Creates kestrum_change_log when the database has none: a database made before the log is
// brought up to date by its first write (the write fails, reported, when that cannot be
// done). New databases get the table from the schema script.
bool EnsureChangeLogTable(DatabaseConnection& connection, QString* error = nullptr);

// The action that causes the changes from now on: a window's title or a tool's name. An
// explicit action wins; without one the provider (the program's active window) is asked.
void SetCurrentAction(const QString& action);
QString CurrentAction();
void SetActionProvider(std::function<QString()> provider);
class ActionScope {
public:
    explicit ActionScope(const QString& action);
    ~ActionScope();
    ActionScope(const ActionScope&) = delete;
    ActionScope& operator=(const ActionScope&) = delete;

private:
    QString previous_;
};

// The wall clock the records take their time from (tests set one; empty restores).
void SetChangeLogTimeSource(std::function<QDateTime()> source);
// Off only for measuring what the log costs.
void SetChangeLogEnabled(bool enabled);
bool ChangeLogEnabled();

// ---- Reading the log -------------------------------------------------------------------

struct ColumnChange {
    QString column;
    std::optional<QString> oldValue;  // nothing: no row before (insert) or NULL
    std::optional<QString> newValue;  // nothing: no row after (delete) or NULL
};

struct ChangeLogEntry {
    qint64 id = 0;
    QString changedAt;  // ISO 8601 UTC, e.g. 2026-12-07T11:28:47.123Z
    QString computer;
    QString user;
    QString action;
    QString table;
    QString operation;  // insert, update, delete
    QString rowKey;     // "dir_id=5" for tables with a key of their own
    std::optional<qint32> serverId;
    QString serverName;
    std::optional<qint32> clientId;
    QString clientName;
    QList<ColumnChange> changes;
};

struct ChangeLogFilter {
    QString server;  // names compare without regard to letter case; empty: any
    QString client;
    QDateTime since;      // entries at or after this instant; invalid: from the start
    QDateTime until;      // entries before this instant (exclusive); invalid: to the end
    qint64 beforeId = 0;  // only entries older than this one (a page after it); 0: the newest
    int limit = 0;        // at most this many entries; 0: all
};

// Calls each for every entry the filter selects, newest first, holding one entry at a time;
// stops early when each returns false. False (with *error) when the log cannot be read; a
// database without a log has no entries.
bool ForEachChangeLogEntry(DatabaseConnection& connection, const ChangeLogFilter& filter,
                           const std::function<bool(const ChangeLogEntry&)>& each,
                           QString* error = nullptr);

// The entries as a list, newest first. Nothing (with *error) when the log cannot be read.
std::optional<QList<ChangeLogEntry>> ReadChangeLog(DatabaseConnection& connection,
                                                   const ChangeLogFilter& filter,
                                                   QString* error = nullptr);

// ---- Instants ------------------------------------------------------------------------

// An instant as a filter takes it from text: an ISO 8601 date (YYYY-MM-DD: its first instant
// in UTC) or date and time in the extended form (YYYY-MM-DDTHH:MM, :SS and a fraction of a
// second optional) with an optional zone (Z, +HH:MM, -HH:MM, +HHMM or +HH; none: UTC). The
// whole text must be one of these. Nothing, with *why, otherwise.
std::optional<QDateTime> ParseLogInstant(const QString& text, QString* why = nullptr);
// The first instant of a day in UTC: what a date in a filter means, in the window as in
// kestrum-log --since.
QDateTime LogDayStart(const QDate& day);
// The instant as the log stores it: UTC with milliseconds, "2026-12-07T11:28:47.123Z".
QString LogInstantText(const QDateTime& instant);

// ---- Output --------------------------------------------------------------------------

// "m_baud: 9600 -> 19200; m_parity: E -> N" ("(none)" for a missing value, "(empty)" for
// an empty text).
QString ChangesText(const QList<ColumnChange>& changes);

// One entry as a line of tab-separated fields (no line end). Each field escapes a backslash
// as \\, TAB, CR, LF and NUL as \t, \r, \n, \0 and any other control character as \xHH,
// so a name can neither split a field or a line nor reach a terminal raw, and the text reads
// back exactly.
QString ChangeLogPlainLine(const ChangeLogEntry& entry);
QString EscapedPlainField(const QString& text);

// CSV: comma separated, CR LF line ends, a field quoted where it holds a comma, a quote or a
// line end. A field a spreadsheet would take for a formula (beginning with =, +, -, @, TAB
// or CR) gets a leading apostrophe and quotes.
QString ChangeLogCsvHeader();
QString ChangeLogCsvLine(const ChangeLogEntry& entry);
QString CsvField(const QString& text);
// The entries with the header, each line ending in CR LF.
QByteArray ChangeLogCsv(const QList<ChangeLogEntry>& entries);

// One entry as a compact JSON object.
QByteArray ChangeLogJson(const ChangeLogEntry& entry);

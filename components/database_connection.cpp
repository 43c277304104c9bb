#include "components/database_connection.h"

#include "base/paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QThread>
#include <QTimer>

#include <libpq-fe.h>

#include <set>

namespace {

// Statement texts come from the code, so the set is small; the bound only guards memory.
constexpr std::size_t kMaxPrepared = 512;
// While a message box is open after a loss, the check for the end of the routine waits.
constexpr int kReconnectRetryMs = 50;

QString QuotedOption(const QString& value) {
    QString quoted = value;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The server's error state of a failure (SQLSTATE); empty for an error of the client side.
bool IsConnectionState(const QString& state) {
    return state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") ||
           state == QLatin1String("57P02") || state == QLatin1String("57P03");
}

}  // namespace

namespace {

// Connections that live as long as the program (the program's own one is a global) are
// closed when the application object goes, while the driver their statements need exists.
std::set<DatabaseConnection*>& LiveConnections() {
    static std::set<DatabaseConnection*> live;
    return live;
}

void CloseLiveConnections() {
    for (DatabaseConnection* connection : LiveConnections()) {
        connection->Close();
    }
}

}  // namespace

DatabaseConnection::DatabaseConnection(QString name) : name_(std::move(name)) {
    LiveConnections().insert(this);
}

DatabaseConnection::~DatabaseConnection() {
    LiveConnections().erase(this);
    *alive_ = false;
    // The driver registry is gone once the application object is; close while it exists.
    if (QCoreApplication::instance()) {
        Close();
    } else {
        // Queries cannot be finalised without their driver; the process is ending anyway.
        for (auto& entry : prepared_) {
            (void)entry.second.release();
        }
        prepared_.clear();
    }
}

QString DatabaseConnection::DataSourceOf(const QString& connectionString) {
    static const QRegularExpression source(QStringLiteral("data\\s+source\\s*=\\s*([^;]*)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = source.match(connectionString);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

bool DatabaseConnection::IsSqliteFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    return file.read(16) == QByteArray("SQLite format 3\0", 16);
}

bool DatabaseConnection::IsServerUri(const QString& location) {
    const QString text = location.trimmed();
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

bool DatabaseConnection::Open(const QString& connectionString, const QString& user,
                              const QString& password) {
    Close();
    static const bool closedAtExit = (qAddPostRoutine(CloseLiveConnections), true);
    (void)closedAtExit;
    connectionString_ = connectionString;
    lost_ = false;
    reconnectAllowed_ = false;
    lossReported_ = false;
    const QString source = DataSourceOf(connectionString);
    bool ok = false;
    if (IsServerUri(source)) {
        ok = OpenServer(source.trimmed());
    } else {
        ok = OpenSqlite(NativePath(source), user, password);
    }
    if (!ok) {
        return false;
    }
    lastError_.clear();
    open_ = true;
    ++generation_;
    return true;
}

bool DatabaseConnection::OpenLocation(const QString& location) {
    return Open(QStringLiteral("data source = ") + location + QStringLiteral(";"));
}

bool DatabaseConnection::OpenSqlite(const QString& path, const QString& user,
                                    const QString& password) {
    backend_ = DatabaseBackend::SQLite;
    location_ = path;
    if (path.isEmpty() || !QFile::exists(path)) {
        lastError_ = QStringLiteral("The database file \"%1\" does not exist").arg(path);
        return false;
    }
    if (!IsSqliteFile(path)) {
        lastError_ =
            QStringLiteral("\"%1\" is not a database file this program can open").arg(path);
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db.setDatabaseName(path);
    db.setUserName(user);
    db.setPassword(password);
    // Another program may be writing; wait a little instead of failing at once.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        lastError_ = db.lastError().text();
        return false;
    }
    return true;
}

bool DatabaseConnection::OpenServer(const QString& uri) {
    backend_ = DatabaseBackend::PostgreSQL;
    location_ = uri;
    // libpq reads the URI itself, so every form it accepts (several hosts, percent-encoded
    // parts, query parameters) means here what it means to the other PostgreSQL tools.
    char* parseError = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.toUtf8().constData(), &parseError);
    if (!options) {
        lastError_ = QStringLiteral("not a valid PostgreSQL URI: %1")
                         .arg(parseError ? QString::fromUtf8(parseError).trimmed()
                                         : QStringLiteral("out of memory"));
        PQfreemem(parseError);
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
    QStringList extra;
    bool timeoutGiven = false;
    bool nameGiven = false;
    QString problem;
    for (PQconninfoOption* option = options; option->keyword; ++option) {
        if (!option->val) {
            continue;
        }
        const QString key = QString::fromUtf8(option->keyword);
        const QString value = QString::fromUtf8(option->val);
        if (key == QLatin1String("password")) {
            problem = QStringLiteral(
                "the URI holds a password; keep it in the PostgreSQL "
                "password file (~/.pgpass or PGPASSFILE) instead");
        } else if (key == QLatin1String("host")) {
            db.setHostName(value);
        } else if (key == QLatin1String("dbname")) {
            db.setDatabaseName(value);
        } else if (key == QLatin1String("user")) {
            db.setUserName(value);
        } else if (value.contains(QLatin1Char(';'))) {
            problem = QStringLiteral("the parameter %1 holds a ';'").arg(key);
        } else {
            // The driver hands the options to libpq with ';' between them.
            extra << key + QLatin1Char('=') + QuotedOption(value);
            timeoutGiven |= key == QLatin1String("connect_timeout");
            nameGiven |= key == QLatin1String("application_name");
        }
    }
    PQconninfoFree(options);
    if (!problem.isEmpty()) {
        lastError_ = problem;
        return false;
    }
    // An unreachable server must not hold the program for minutes.
    if (!timeoutGiven) {
        extra << QStringLiteral("connect_timeout=10");
    }
    if (!nameGiven) {
        extra << QStringLiteral("application_name=Kestrum");
    }
    db.setConnectOptions(extra.join(QLatin1Char(';')));
    if (!db.open()) {
        const QSqlError error = db.lastError();
        lastError_ = error.databaseText().trimmed();
        if (lastError_.isEmpty()) {
            lastError_ = error.text();
        }
        return false;
    }
    return true;
}

void DatabaseConnection::DropPrepared() {
    prepared_.clear();
    ++generation_;
}

void DatabaseConnection::Close() {
    // Every prepared statement must be finalised before its connection goes away.
    DropPrepared();
    open_ = false;
    if (!QSqlDatabase::contains(name_)) {
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase DatabaseConnection::Database() const {
    return QSqlDatabase::database(name_, false);
}

bool DatabaseConnection::ServerConnectionBad() const {
    if (backend_ != DatabaseBackend::PostgreSQL || !QSqlDatabase::contains(name_)) {
        return false;
    }
    const QSqlDatabase db = QSqlDatabase::database(name_, false);
    if (!db.driver()) {
        return false;
    }
    // The driver names the handle by the struct behind libpq's typedef ("pg_conn*").
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "PGconn*") != 0 &&
                              qstrcmp(handle.typeName(), "pg_conn*") != 0)) {
        return false;
    }
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    return !connection || PQstatus(connection) == CONNECTION_BAD;
}

bool DatabaseConnection::LostBy(const QSqlError& error) const {
    return backend_ == DatabaseBackend::PostgreSQL &&
           (lost_ || IsConnectionState(error.nativeErrorCode()) || ServerConnectionBad());
}

bool DatabaseConnection::NoteFailure(const QSqlError& error) {
    if (backend_ != DatabaseBackend::PostgreSQL) {
        return true;
    }
    const QString state = error.nativeErrorCode();
    if (LostBy(error)) {
        if (!lost_) {
            lost_ = true;
            // The server's first line says why ("terminating connection due to administrator
            // command"); the driver's lines after it say the same again.
            QString reason = error.databaseText().trimmed();
            if (reason.isEmpty()) {
                reason = error.text().trimmed();
            }
            lastError_ = reason.section(QLatin1Char('\n'), 0, 0).trimmed();
            ArmReconnect();
        }
        // One report per routine: the first failure says it, the rest of the routine is quiet.
        return !std::exchange(lossReported_, true);
    }
    if (transactions_ > 0) {
        failedInTransaction_ = true;
        // In an aborted transaction every further statement fails for that same reason.
        if (state == QLatin1String("25P02") ||
            error.databaseText().contains(QLatin1String("current transaction is aborted"))) {
            return false;
        }
    }
    return true;
}

void DatabaseConnection::ArmReconnect() {
    reconnectAllowed_ = false;
    if (!QCoreApplication::instance()) {
        return;
    }
    lostAtLoopLevel_ = QThread::currentThread()->loopLevel();
    const std::weak_ptr<bool> alive = alive_;
    QTimer::singleShot(0, QCoreApplication::instance(), [this, alive] {
        if (!alive.expired()) {
            ArmCheck();
        }
    });
}

// The routine has ended when its own event loop (not a message box's) runs again.
void DatabaseConnection::ArmCheck() {
    if (!lost_) {
        return;
    }
    if (QThread::currentThread()->loopLevel() > lostAtLoopLevel_) {
        const std::weak_ptr<bool> alive = alive_;
        QTimer::singleShot(kReconnectRetryMs, QCoreApplication::instance(), [this, alive] {
            if (!alive.expired()) {
                ArmCheck();
            }
        });
        return;
    }
    reconnectAllowed_ = true;
}

bool DatabaseConnection::EnsureOpen() {
    if (!lost_ && open_ && transactions_ == 0 && ServerConnectionBad()) {
        // The driver knows the connection is gone, though no failure said so here (a
        // statement outside this class met it): a new action starts on a new connection.
        lost_ = true;
        reconnectAllowed_ = true;
    }
    if (!lost_ || !reconnectAllowed_ || transactions_ > 0) {
        return IsOpen();
    }
    reconnectAllowed_ = false;
    lossReported_ = false;
    const QString connectionString = connectionString_;
    if (Open(connectionString)) {
        return true;
    }
    // Still unreachable: stay lost, say so once in this routine, try again in the next.
    open_ = true;
    lost_ = true;
    ArmReconnect();
    return false;
}

DatabaseConnection::Prepared DatabaseConnection::TakePrepared(const QString& sql,
                                                              QSqlError* error) {
    Prepared result;
    if (!EnsureOpen()) {
        if (error) {
            *error = QSqlError(lastError_, QString(), QSqlError::ConnectionError);
        }
        return result;
    }
    result.generation = generation_;
    const auto found = prepared_.find(sql);
    if (found != prepared_.end()) {
        result.query = std::move(found->second);
        prepared_.erase(found);
        return result;
    }
    auto query = std::make_unique<QSqlQuery>(Database());
    query->setForwardOnly(true);
    if (!query->prepare(sql)) {
        if (error) {
            *error = query->lastError();
        }
        return Prepared();
    }
    result.query = std::move(query);
    return result;
}

void DatabaseConnection::GiveBack(const QString& sql, Prepared prepared) {
    if (!prepared.query) {
        return;
    }
    prepared.query->finish();
    if (!IsOpen() || prepared.generation != generation_ || prepared_.count(sql) != 0) {
        return;
    }
    if (prepared_.size() >= kMaxPrepared) {
        prepared_.clear();
    }
    prepared_.emplace(sql, std::move(prepared.query));
}

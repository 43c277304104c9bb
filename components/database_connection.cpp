#include "components/database_connection.h"

#include "base/paths.h"
#include "components/sqlite_engine.h"

#include <QCoreApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <set>

namespace {

// Statement texts come from the code, so the set is small; the bound only guards memory.
constexpr std::size_t kMaxPrepared = 512;
// While a message box is open after a loss, the check for the end of the routine waits.
constexpr int kReconnectRetryMs = 50;

const QString kProvider = QStringLiteral("Provider = Microsoft.Jet.OLEDB.4.0;data source = ");

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
    static const QRegularExpression key(QStringLiteral("(?:^|;)\\s*data\\s+source\\s*=\\s*"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = key.match(connectionString);
    if (!match.hasMatch()) {
        return QString();
    }
    const QString rest = connectionString.mid(match.capturedEnd());
    if (rest.startsWith(QLatin1Char('"')) || rest.startsWith(QLatin1Char('\''))) {
        // Quoted: up to the closing quote; a doubled quote is one of its own.
        const QChar quote = rest.at(0);
        QString value;
        for (qsizetype i = 1; i < rest.size(); ++i) {
            if (rest.at(i) != quote) {
                value += rest.at(i);
            } else if (i + 1 < rest.size() && rest.at(i + 1) == quote) {
                value += quote;
                ++i;
            } else {
                return value;
            }
        }
        return QString();  // no closing quote: not a value
    }
    return rest.section(QLatin1Char(';'), 0, 0).trimmed();
}

QString DatabaseConnection::ConnectionStringFor(const QString& location) {
    const bool plain = !location.contains(QLatin1Char(';')) &&
                       !location.startsWith(QLatin1Char('"')) &&
                       !location.startsWith(QLatin1Char('\'')) && location.trimmed() == location;
    if (plain) {
        return kProvider + location + QLatin1Char(';');
    }
    QString quoted = location;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return kProvider + QLatin1Char('"') + quoted + QLatin1String("\";");
}

bool DatabaseConnection::IsSqliteFile(const QString& path) {
    return SqliteEngine::IsDatabaseFile(path);
}

bool DatabaseConnection::Open(const QString& connectionString, const QString&, const QString&) {
    const QString source = DataSourceOf(connectionString);
    return OpenLocation(DatabaseEngine::NamesServer(source) ? source.trimmed()
                                                            : NativePath(source));
}

bool DatabaseConnection::OpenLocation(const QString& location, bool newFile) {
    Close();
    static const bool closedAtExit = (qAddPostRoutine(CloseLiveConnections), true);
    (void)closedAtExit;
    lost_ = false;
    reconnectAllowed_ = false;
    lossReported_ = false;
    engine_ = DatabaseEngine::For(location);
    location_ = location;
    if (!engine_->Open(name_, location, newFile, &lastError_)) {
        return false;
    }
    lastError_.clear();
    open_ = true;
    ++generation_;
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

bool DatabaseConnection::LostBy(const QSqlError& error) const {
    return engine_ && (lost_ || engine_->IsLostConnection(error, Database()));
}

bool DatabaseConnection::NoteFailure(const QSqlError& error) {
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
    if (transactions_ > 0 && engine_->FailureSpoilsTransaction()) {
        failedInTransaction_ = true;
        // In an aborted transaction every further statement fails for that same reason.
        if (engine_->IsAbortedTransaction(error)) {
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
    if (!lost_ && open_ && transactions_ == 0 && engine_->IsConnectionBroken(Database())) {
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
    const QString location = location_;
    if (OpenLocation(location)) {
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

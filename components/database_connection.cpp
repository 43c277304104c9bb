#include "components/database_connection.h"

#include "base/paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

namespace {

// Statement texts come from the code, so the set is small; the bound only guards memory.
constexpr std::size_t kMaxPrepared = 512;

}  // namespace

DatabaseConnection::DatabaseConnection(QString name) : name_(std::move(name)) {}

DatabaseConnection::~DatabaseConnection() {
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

bool DatabaseConnection::Open(const QString& connectionString, const QString& user,
                              const QString& password) {
    Close();
    const QString path = NativePath(DataSourceOf(connectionString));
    if (path.isEmpty() || !QFile::exists(path)) {
        lastError_ = QStringLiteral("The database file \"%1\" does not exist").arg(path);
        return false;
    }
    if (!IsSqliteFile(path)) {
        lastError_ =
            QStringLiteral("\"%1\" is not a database file this program can open").arg(path);
        return false;
    }
    {
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

DatabaseConnection::Prepared DatabaseConnection::TakePrepared(const QString& sql,
                                                              QSqlError* error) {
    Prepared result;
    if (!open_) {
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
    if (!open_ || prepared.generation != generation_ || prepared_.count(sql) != 0) {
        return;
    }
    if (prepared_.size() >= kMaxPrepared) {
        prepared_.clear();
    }
    prepared_.emplace(sql, std::move(prepared.query));
}

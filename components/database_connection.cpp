#include "components/database_connection.h"

#include "app/paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSqlError>

DatabaseConnection::DatabaseConnection(QString name) : name_(std::move(name)) {}

DatabaseConnection::~DatabaseConnection() {
    // The driver registry is gone once the application object is; close while it exists.
    if (QCoreApplication::instance()) {
        Close();
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
    return true;
}

void DatabaseConnection::Close() {
    if (!QSqlDatabase::contains(name_)) {
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

bool DatabaseConnection::IsOpen() const {
    return QSqlDatabase::contains(name_) && QSqlDatabase::database(name_, false).isOpen();
}

QSqlDatabase DatabaseConnection::Database() const {
    return QSqlDatabase::database(name_, false);
}

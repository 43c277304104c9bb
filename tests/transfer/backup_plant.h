#pragma once
// An installation laid out as a plant has it, for running the backup tools as separate
// programs: ROOT/prog holds copies of the tools and a Kestrum.ini naming ROOT/data as the
// folder of DNC.mdb; backups go to ROOT/data/Backups. What changed under ROOT is told by
// comparing snapshots (sha256 of every file) before and after a run.

#include "components/database_connection.h"
#include "db/backend.h"
#include "db/change_log.h"
#include "db/new_installation.h"
#include "tests/support/tool_run.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUuid>

#include <sqlite3.h>

// Every row of every table of an SQLite file, as text, in a stable order; a first line
// saying so when the file cannot be read.
inline QStringList DumpDatabase(const QString& path) {
    QStringList rows;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QSqlQuery tables(db);
        if (!db.open() ||
            !tables.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                        "ORDER BY name"))) {
            rows << QStringLiteral("cannot read ") + path;
        }
        QStringList names;
        while (tables.next()) {
            names << tables.value(0).toString();
        }
        for (const QString& table : names) {
            QSqlQuery query(db);
            if (!query.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY 1").arg(table))) {
                rows << QStringLiteral("cannot read ") + table;
            }
            while (query.next()) {
                QStringList fields{table};
                for (int i = 0; i < query.record().count(); ++i) {
                    fields << query.value(i).toString();
                }
                rows << fields.join(QLatin1Char('|'));
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

// Runs statements on an SQLite file with a connection of its own; false when one fails.
inline bool ExecOn(const QString& path, const QByteArray& sql) {
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) {
        qWarning("%s: %s", qPrintable(path), db ? sqlite3_errmsg(db) : "no memory");
    }
    sqlite3_close(db);
    return ok;
}

// "+name" for an entry that appeared, "-name" for one that went, "~name" for one whose
// contents changed.
inline QStringList Changes(const QMap<QString, QString>& before,
                           const QMap<QString, QString>& after) {
    QStringList changes;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key())) {
            changes << QLatin1Char('-') + it.key();
        } else if (after.value(it.key()) != it.value()) {
            changes << QLatin1Char('~') + it.key();
        }
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key())) {
            changes << QLatin1Char('+') + it.key();
        }
    }
    return changes;
}

// Whether the changes are exactly the expected ones: each pattern (wildcards allowed) names
// one change, a pattern starting with "?" any number of them.
inline QString UnexpectedChanges(QStringList changes, const QStringList& expected) {
    QStringList missing;
    for (const QString& pattern : expected) {
        const bool optional = pattern.startsWith(QLatin1Char('?'));
        const QRegularExpression wildcard(QRegularExpression::wildcardToRegularExpression(
            optional ? pattern.mid(1) : pattern, QRegularExpression::UnanchoredWildcardConversion));
        const QRegularExpression anchored(QStringLiteral("^(?:%1)$").arg(wildcard.pattern()));
        bool found = false;
        for (qsizetype i = 0; i < changes.size();) {
            if (anchored.match(changes.at(i)).hasMatch() && (optional || !found)) {
                changes.removeAt(i);
                found = true;
            } else {
                ++i;
            }
        }
        if (!found && !optional) {
            missing << pattern;
        }
    }
    if (missing.isEmpty() && changes.isEmpty()) {
        return QString();
    }
    return QStringLiteral("missing: %1; not expected: %2")
        .arg(missing.join(QLatin1String(", ")), changes.join(QLatin1String(", ")));
}

class BackupPlant {
public:
    // keep: BACKUPKEEP of the Kestrum.ini beside the tools.
    explicit BackupPlant(int keep = 20) {
        ok_ = dir_.isValid() && QDir().mkpath(Path("prog")) && QDir().mkpath(Path("data/Backups"));
        // Other users (the tests' "nobody") must reach the files.
        QFile::setPermissions(dir_.path(),
                              QFile::permissions(dir_.path()) | QFile::ReadOther | QFile::ExeOther);
        Write("prog/Kestrum.ini", QStringLiteral("[ADMIN]\r\nMDBPATH=%1\r\n[BACKUP]\r\n"
                                                 "BACKUPKEEP=%2\r\n")
                                      .arg(Path("data"))
                                      .arg(keep)
                                      .toUtf8());
        ok_ = ok_ && MakeConfiguration(Path("data/DNC.mdb"), "NOW");
    }

    bool IsValid() const { return ok_; }
    QString Root() const { return dir_.path(); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Database() const { return Path("data/DNC.mdb"); }
    QString Backups() const { return Path("data/Backups"); }

    bool Write(const QString& name, const QByteArray& bytes) const {
        QFile file(Path(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    QByteArray Read(const QString& name) const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // A configuration from the schema with one server of this name and a client of it.
    static bool MakeConfiguration(const QString& path, const QByteArray& server) {
        QString error;
        if (!CreateDatabaseAt(path, &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        if (!ExecOn(path, "INSERT INTO t_dnc_servers (dnc_server_name) VALUES ('" + server +
                              "');INSERT INTO t_dnc_server_clients (client_name, "
                              "dnc_server_id) VALUES ('" +
                              server + "_LATHE', 1);")) {
            return false;
        }
        // As a Kestrum leaves it: one started on it later has nothing to add.
        DatabaseConnection connection(QUuid::createUuid().toString());
        const bool logged =
            OpenDatabaseAt(connection, path, &error) && EnsureChangeLogTable(connection, &error);
        connection.Close();
        if (!logged) {
            qWarning("%s", qPrintable(error));
        }
        return logged;
    }

    // A copy of a built program in ROOT/prog, where it finds the plant's Kestrum.ini.
    QString Program(const QString& builtPath) const {
        const QString copy = Path("prog/" + QFileInfo(builtPath).fileName());
        if (!QFileInfo::exists(copy) && !QFile::copy(builtPath, copy)) {
            qWarning("cannot copy %s", qPrintable(builtPath));
        }
        return copy;
    }

private:
    QTemporaryDir dir_;
    bool ok_ = false;
};

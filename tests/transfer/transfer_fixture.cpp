#include "tests/transfer/transfer_fixture.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

namespace {

QString DataPath(const QString& name) {
    return QStringLiteral(KESTRUM_SOURCE_DIR "/tests/transfer/data/") + name;
}

// The lines of a file of the expected rows, trimmed, blank ones left out.
QList<QByteArray> ExpectedLines(const QString& name) {
    QList<QByteArray> lines;
    for (const QByteArray& line :
         FileBytes(DataPath(QStringLiteral("DNC_sample_access.expected/") + name)).split('\n')) {
        if (!line.trimmed().isEmpty()) {
            lines << line.trimmed();
        }
    }
    return lines;
}

// A query on its own connection, closed again before returning.
template <typename Body>
void WithQuery(const QString& file, const QString& sql, Body body) {
    const QString name = QStringLiteral("fixture-") + QUuid::createUuid().toString(QUuid::Id128);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql)) {
                body(query);
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
}

}  // namespace

QString SampleMdb() {
    return DataPath(QStringLiteral("DNC_sample_access.mdb"));
}

QList<QPair<QString, qint64>> SampleSequences() {
    QList<QPair<QString, qint64>> sequences;
    for (const QByteArray& line : ExpectedLines(QStringLiteral("sequences.txt"))) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2) {
            sequences << qMakePair(QString::fromLatin1(parts.at(0)), parts.at(1).toLongLong());
        }
    }
    return sequences;
}

QList<QJsonObject> ExpectedRows(const QString& table) {
    QList<QJsonObject> rows;
    for (const QByteArray& line : ExpectedLines(table + QStringLiteral(".jsonl"))) {
        rows << QJsonDocument::fromJson(line).object();
    }
    return rows;
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString PatchedSample(const QString& folder, const QString& name,
                      const QList<QPair<QString, QString>>& patches, qint64 cutTo) {
    QByteArray bytes = FileBytes(SampleMdb());
    if (bytes.isEmpty()) {
        return QString();
    }
    for (const auto& [from, to] : patches) {
        const QByteArray a(reinterpret_cast<const char*>(from.utf16()), from.size() * 2);
        const QByteArray b(reinterpret_cast<const char*>(to.utf16()), to.size() * 2);
        if (a.size() != b.size() || !bytes.contains(a)) {
            return QString();
        }
        bytes.replace(a, b);
    }
    if (cutTo >= 0) {
        bytes.truncate(cutTo);
    }
    const QString path = folder + QLatin1Char('/') + name;
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
        return QString();
    }
    return path;
}

QList<QJsonObject> RowsOf(const QString& file, const QString& table) {
    QList<QJsonObject> rows;
    WithQuery(file, QStringLiteral("SELECT * FROM ") + table, [&rows](QSqlQuery& query) {
        while (query.next()) {
            const QSqlRecord record = query.record();
            QJsonObject row;
            for (int i = 0; i < record.count(); ++i) {
                row.insert(record.fieldName(i), QJsonValue::fromVariant(record.value(i)));
            }
            rows << row;
        }
    });
    return rows;
}

QVariant ValueOf(const QString& file, const QString& sql) {
    QVariant value;
    WithQuery(file, sql, [&value](QSqlQuery& query) {
        if (query.next()) {
            value = query.value(0);
        }
    });
    return value;
}

ToolRun RunTool(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(KESTRUM_BINARY_DIR "/tools/%1/kestrum-%1").arg(tool), arguments);
    ToolRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

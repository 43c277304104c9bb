#include "tests/transfer/transfer_fixture.h"

#include <QFile>
#include <QJsonDocument>
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

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString PatchedSample(const QString& folder, const QString& name,
                      const QList<QPair<QString, QString>>& patches, qint64 cutTo) {
    QByteArray bytes = FileBytes(SampleMdb());
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
    return WriteBytes(path, bytes) ? path : QString();
}

QList<QJsonObject> RowsOf(const QString& file, const QString& table) {
    QList<QJsonObject> rows;
    const QString name = QStringLiteral("fixture-") + QUuid::createUuid().toString(QUuid::Id128);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("SELECT * FROM ") + table);
            while (query.next()) {
                QJsonObject row;
                for (int i = 0; i < query.record().count(); ++i) {
                    row.insert(query.record().fieldName(i),
                               QJsonValue::fromVariant(query.value(i)));
                }
                rows << row;
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

#pragma once
// The made-up plant in Access form (data/DNC_sample_access.mdb), the rows its import must
// give (data/DNC_sample_access.expected/) and ways to look at a database file directly.

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

QString SampleMdb();
// Lines "table last-key" of sequences.txt.
QList<QPair<QString, qint64>> SampleSequences();
// The rows the import of the sample must give for a table, in stored order.
QList<QJsonObject> ExpectedRows(const QString& table);

// A copy of the sample in folder with bytes replaced: each pair is (UTF-16 text found in the
// file, its replacement of the same length), or the file cut to a length.
QString PatchedSample(const QString& folder, const QString& name,
                      const QList<QPair<QString, QString>>& patches, qint64 cutTo = -1);

// A file's bytes; empty when it cannot be read.
QByteArray FileBytes(const QString& path);
bool WriteBytes(const QString& path, const QByteArray& bytes);

// Every row of a table of an SQLite file, in the order SELECT * gives, as JSON objects.
QList<QJsonObject> RowsOf(const QString& file, const QString& table);

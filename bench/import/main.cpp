// bench_import: medians of
//   - the import of the sample Access file (30 clients) into a new SQLite file,
//   - the copy of the same configuration between two SQLite files through the same copier
//     (kestrum-dbcopy), and the same rows copied by SQLite itself (ATTACH, INSERT ... SELECT)
//     as the floor,
//   - the copy of the large configuration (1,000 servers, 20,000 clients) both ways.
//
//   bench_import [runs]   (default 20)

#include "large_configuration.h"

#include "components/database_connection.h"
#include "db/new_installation.h"
#include "db/schema_names.h"
#include "transfer/transfer_jobs.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// SQLite copying every table itself: the least a copy between two files can cost.
bool DirectCopy(const QString& from, const QString& to) {
    if (!CreateDatabaseAt(to)) {
        return false;
    }
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "direct");
        db.setDatabaseName(to);
        ok = db.open();
        QSqlQuery query(db);
        ok = ok && query.exec(QStringLiteral("ATTACH DATABASE '%1' AS source").arg(from));
        ok = ok && db.transaction();
        ok = ok && query.exec(QStringLiteral("DELETE FROM t_protocol"));
        for (const QString& table : SchemaTables()) {
            ok = ok &&
                 query.exec(QStringLiteral("INSERT INTO %1 SELECT * FROM source.%1").arg(table));
        }
        ok = ok &&
             query.exec(QStringLiteral(
                 "INSERT OR REPLACE INTO sqlite_sequence SELECT * FROM source.sqlite_sequence"));
        ok = ok && db.commit();
        if (!ok) {
            std::fprintf(stderr, "direct copy: %s\n", qPrintable(query.lastError().text()));
        }
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("direct"));
    return ok;
}

void Print(const Figure& figure, const char* other) {
    std::printf("%-44s %9.2f ms   %-22s %9.2f ms   (%.1fx)\n", figure.name, figure.kestrumMs, other,
                figure.directMs, figure.kestrumMs / qMax(figure.directMs, 0.001));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? qMax(1, std::atoi(argv[1])) : 20;
    const QString sample =
        QStringLiteral(KESTRUM_SOURCE_DIR "/tests/transfer/data/DNC_sample_access.mdb");
    QTemporaryDir dir;
    const auto file = [&dir](const char* kind, int i) {
        return dir.filePath(QStringLiteral("%1-%2.mdb").arg(QLatin1String(kind)).arg(i));
    };
    bool failed = false;
    const auto check = [&failed](const CopyOutcome& outcome) {
        if (!outcome.ok) {
            std::fprintf(stderr, "%s\n", qPrintable(outcome.error));
            failed = true;
        }
    };

    const QString imported = dir.filePath(QStringLiteral("sample.mdb"));
    check(ImportAccessFile(sample, imported));
    Print(Measure(
              "import of the sample (Access -> SQLite)", runs, 0,
              [&](int i) { check(ImportAccessFile(sample, file("import", i))); },
              [&](int i) { failed |= !DirectCopy(imported, file("direct", i)); }),
          "SQLite ATTACH copy");
    Print(Measure(
              "copy of the sample (SQLite -> SQLite)", runs, 0,
              [&](int i) { check(CopyDatabase(imported, file("copy", i))); },
              [&](int i) { failed |= !DirectCopy(imported, file("direct2", i)); }),
          "SQLite ATTACH copy");

    // Reading alone, per row: what a larger Access file would cost to read.
    qsizetype sampleRows = 0;
    const Figure read = Measure(
        "reading the sample Access file", runs, 0,
        [&](int) {
            SourceConfiguration source;
            QString error;
            failed |= !ReadAccessConfiguration(sample, &source, &error);
            sampleRows = 0;
            for (const SourceTable& table : source.tables) {
                sampleRows += table.rows.size();
            }
        },
        [&](int i) {
            SourceConfiguration source;
            QString error;
            DatabaseConnection connection(QStringLiteral("bench-read-%1").arg(i));
            failed |= !connection.Open(QStringLiteral("data source = ") + imported + ';') ||
                      !ReadDatabaseConfiguration(connection, &source, &error);
        });
    Print(read, "reading its SQLite copy");
    std::printf("%-44s %9.2f us   (%lld rows)\n", "  per row read from the Access file",
                1000.0 * read.kestrumMs / double(qMax<qsizetype>(sampleRows, 1)),
                static_cast<long long>(sampleRows));

    LargeConfiguration large;
    if (!large.Build()) {
        return 2;
    }
    const int largeRuns = qMax(1, runs / 5);
    Print(Measure(
              "copy of 1,000 servers, 20,000 clients", largeRuns, 0,
              [&](int i) { check(CopyDatabase(large.Path(), file("large", i))); },
              [&](int i) { failed |= !DirectCopy(large.Path(), file("largedirect", i)); }),
          "SQLite ATTACH copy");
    return failed ? 1 : 0;
}

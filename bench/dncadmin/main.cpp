// How long the DNCAdmin.ini export of a 64-client server and the merge of four 16-client
// files take, against writing the same bytes with plain file calls (the floor: one open,
// one write, one close). Target: each at most 50 ms.
//   bench_dncadmin [runs]     (default 15)

#include "base/platform.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"
#include "dncadmin/dncadmin_export.h"
#include "dncadmin/dncadmin_merge.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double MedianMs(int runs, const std::function<void()>& call) {
    std::vector<double> results;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        call();
        results.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(results.begin(), results.end());
    return results[results.size() / 2];
}

void PlainWrite(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::abort();
    }
}

const QByteArray kTemplate = "[ADMIN]\r\nLINES_DISPLAYED=64\r\n";

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    QTemporaryDir dir;
    QString error;
    if (!CreateDatabaseFile(dir.path(), &error) ||
        !DncConnection.Open("data source = " + dir.filePath("DNC.mdb") + ";")) {
        std::fprintf(stderr, "no database: %s\n", qPrintable(error));
        return 1;
    }
    QSqlQuery query(DncConnection.Database());
    query.exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES ('CNCSRV1')");
    QStringList names;
    for (int i = 1; i <= 64; ++i) {
        const QString name = QStringLiteral("MACHINE%1").arg(i, 2, 10, QLatin1Char('0'));
        names << name;
        query.prepare(
            "INSERT INTO t_dnc_server_clients (client_name, dnc_server_id, NODE_ID, "
            "PORT_ID, protocol_id) VALUES (?, 1, '01', ?, ?)");
        query.addBindValue(name);
        query.addBindValue(QString::number(i));
        query.addBindValue(i % 3 == 0 ? 62 : 3);
        query.exec();
        const qint64 id = query.lastInsertId().toLongLong();
        for (int mode : {1, 2}) {
            query.prepare(
                "INSERT INTO t_client_directory (client_id, directory_direct, dir_mode) "
                "VALUES (?, ?, ?)");
            query.addBindValue(id);
            query.addBindValue(
                QStringLiteral("C:\\DNC\\PARTS\\%1\\%2").arg(name, mode == 1 ? "DOWN" : "UP"));
            query.addBindValue(mode);
            query.exec();
        }
    }
    const QString base = dir.filePath("DNCAdminExportCopy.ini");
    PlainWrite(base, kTemplate);
    const QString target = dir.filePath("DNCAdmin.ini");

    QByteArray exported;
    const double exportMs = MedianMs(runs, [&] {
        const ExportOutcome outcome = ExportDncAdmin(names, base, target);
        if (!outcome.Ok || outcome.Listed.size() != 64) {
            std::abort();
        }
        exported = outcome.Bytes;
    });
    const double exportPlainMs =
        MedianMs(runs, [&] { PlainWrite(dir.filePath("plain.ini"), exported); });

    // Four 16-client sources cut from the export.
    MergeTable table;
    for (int s = 0; s < kMergeSources; ++s) {
        QByteArray source = "[CNC_LIST]\r\n";
        for (int k = 1; k <= 16; ++k) {
            source += QByteArray::number(k) + "=" + names.at(s * 16 + k - 1).toLatin1() + "\r\n";
        }
        source += exported;
        const QString path = dir.filePath(QStringLiteral("S%1.ini").arg(s + 1));
        PlainWrite(path, source);
    }
    QDir().mkpath(dir.filePath("MASTER"));
    QByteArray merged;
    const double mergeMs = MedianMs(runs, [&] {
        QFile::remove(dir.filePath("MASTER/DNCAdmin.ini"));
        for (int s = 0; s < kMergeSources; ++s) {
            ReadDncAdminFile(dir.filePath(QStringLiteral("S%1.ini").arg(s + 1)),
                             table.Columns[size_t(s)]);
        }
        if (MergeDncAdmin(table, dir.filePath("MASTER"), base).Clients != 64) {
            std::abort();
        }
    });
    QFile master(dir.filePath("MASTER/DNCAdmin.ini"));
    master.open(QIODevice::ReadOnly);
    merged = master.readAll();
    const double mergePlainMs =
        MedianMs(runs, [&] { PlainWrite(dir.filePath("plain.ini"), merged); });

    std::printf(
        "export, 64 clients from DNC.mdb (%lld bytes):       %7.2f ms   plain write %6.3f ms\n",
        qint64(exported.size()), exportMs, exportPlainMs);
    std::printf(
        "merge, 4 x 16 clients read and merged (%lld bytes): %7.2f ms   plain write %6.3f ms\n",
        qint64(merged.size()), mergeMs, mergePlainMs);
    return 0;
}

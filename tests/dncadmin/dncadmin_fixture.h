#pragma once
// Shared set-up of the DNCAdmin tests: a temporary installation with one server (this
// computer) and clients added row by row, and small file helpers.

#include "tests/support/temp_installation.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QPair>
#include <QString>

struct TestDir {
    QString path;
    int mode;
};

class DncAdminInstallation : public TempInstallation {
public:
    DncAdminInstallation() {
        Exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES ('CNCSRV1')");
    }

    // A client of CNCSRV1; returns its client_id.
    qint64 AddClient(const QString& name, const QString& node, const QString& port, int protocol,
                     const QList<TestDir>& dirs = {}) const {
        Exec(
            "INSERT INTO t_dnc_server_clients (client_name, dnc_server_id, NODE_ID, PORT_ID, "
            "protocol_id) VALUES (?, 1, ?, ?, ?)",
            {name, node, port, protocol});
        const qint64 id =
            QueryValue("SELECT client_id FROM t_dnc_server_clients WHERE client_name = ?", {name})
                .toLongLong();
        for (const TestDir& dir : dirs) {
            Exec(
                "INSERT INTO t_client_directory (client_id, directory_direct, dir_mode) "
                "VALUES (?, ?, ?)",
                {id, dir.path, dir.mode});
        }
        return id;
    }
};

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

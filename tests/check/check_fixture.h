#pragma once
// A sound configuration to break one way per test: CNCSRV1 (this computer) with LATHE1,
// MILL2 and a shop terminal, CNCSRV2 with GRIND3. Every client has its seven rows, its own
// port and ids, and LATHE1 and MILL2 have folders that exist.

#include "base/paths.h"
#include "check/configuration_check.h"
#include "db/schema_names.h"
#include "dncadmin/dncadmin_export.h"
#include "tests/support/temp_installation.h"

#include <QDir>
#include <QRegularExpression>

// The base file an export starts from.
inline const QByteArray kBase = "[ADMIN]\r\nLINES_DISPLAYED=64\r\n";

class CheckInstallation : public TempInstallation {
public:
    CheckInstallation() {
        Exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES ('CNCSRV1'), ('CNCSRV2')");
        for (const char* folder : {"L1", "M2", "M2UP"}) {
            QDir(Folder()).mkpath(QString::fromLatin1(folder));
        }
        AddClient("LATHE1", 1, "01", "001", 2, 1, {{Dir("L1"), 3}});
        AddClient("MILL2", 1, "01", "002", 6, 2, {{Dir("M2"), 1}, {Dir("M2UP"), 2}});
        AddClient("SHOP", 1, "01", "099", 5, 0, {});
        AddClient("GRIND3", 2, "02", "001", 62, 1, {{"C:\\NOWHERE\\G3", 3}});
    }

    // The folder's path text, as the directories window stores it.
    QString Dir(const QString& name) const { return WindowsPathText(FilePath(name)); }

    void AddClient(const QString& name, int server, const QString& node, const QString& port,
                   int protocol, int comPort, const QList<QPair<QString, int>>& dirs) const {
        Exec(
            "INSERT INTO t_dnc_server_clients (client_name, dnc_server_id, NODE_ID, PORT_ID, "
            "protocol_id) VALUES (?, ?, ?, ?, ?)",
            {name, server, node, port, protocol});
        const QVariant id = ClientId(name);
        for (const QString& table : ClientDependentTables()) {
            Exec("INSERT INTO " + table + " (client_id) VALUES (?)", {id});
        }
        Exec("UPDATE t_client_mode SET cnc_comport = ? WHERE client_id = ?", {comPort, id});
        for (const auto& [path, mode] : dirs) {
            Exec(
                "INSERT INTO t_client_directory (client_id, directory_direct, dir_mode) "
                "VALUES (?, ?, ?)",
                {id, path, mode});
        }
    }

    // The export of clients to the file name, from kBase in the base file.
    bool Export(const QStringList& clients, const QString& name,
                const QString& base = QStringLiteral("T.ini")) const {
        WriteFile(base, kBase);
        return ExportDncAdmin(clients, FilePath(base), FilePath(name)).Ok;
    }

    // Every row of the tables the DNC servers read, to compare before and after.
    QStringList Dump() const {
        QStringList rows;
        for (const QString& table : SchemaTables()) {
            QStringList tableRows = TextRows("SELECT * FROM " + table);
            tableRows.sort();
            rows << tableRows.replaceInStrings(QRegularExpression("^"), table + ": ");
        }
        return rows;
    }
};

// "severity|client|kind|text", the folder of the installation shown as $D.
inline QStringList FindingRows(const QList<Finding>& findings, const QString& folderText) {
    QStringList rows;
    for (const Finding& f : findings) {
        QString text = f.Text;
        text.replace(folderText, QStringLiteral("$D"));
        rows << SeverityName(f.severity) + "|" + f.Client + "|" + f.Kind + "|" + text;
    }
    return rows;
}

inline CheckOptions LocalOptions() {
    CheckOptions options;
    options.LocalComputer = QStringLiteral("CNCSRV1");
    return options;
}

#pragma once
// Shared set-up of the DNCAdmin tests: a temporary installation with one server (this
// computer) and clients added row by row, and small file helpers.

#include "base/paths.h"
#include "components/folder_view.h"
#include "tests/support/temp_installation.h"
#include "tests/support/tool_run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPair>
#include <QTest>
#include <QTreeView>

inline const QByteArray kTemplate = "[ADMIN]\r\nLINES_DISPLAYED=64\r\n";

using TestDir = QPair<QString, int>;  // a folder and its dir_mode

class DncAdminInstallation : public TempInstallation {
public:
    DncAdminInstallation() {
        Exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES ('CNCSRV1')");
    }

    // A client of CNCSRV1 with its folders.
    void AddClient(const QString& name, const QString& node, const QString& port, int protocol,
                   const QList<TestDir>& dirs = {}) const {
        Exec(
            "INSERT INTO t_dnc_server_clients (client_name, dnc_server_id, NODE_ID, PORT_ID, "
            "protocol_id) VALUES (?, 1, ?, ?, ?)",
            {name, node, port, protocol});
        for (const TestDir& dir : dirs) {
            Exec(
                "INSERT INTO t_client_directory (client_id, directory_direct, dir_mode) "
                "SELECT client_id, ?, ? FROM t_dnc_server_clients WHERE client_name = ?",
                {dir.first, dir.second, name});
        }
    }
};

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Clicks the folder at a local path in the tree, as the user highlights it.
inline bool ClickFolder(FolderView& tree, const QString& path) {
    QTreeView* view = tree.Tree();
    const QModelIndex index = tree.Model()->IndexOfPath(path);
    if (!index.isValid()) {
        return false;
    }
    view->scrollTo(index);  // opens the folders above it
    if (!QTest::qWaitFor([&] { return view->visualRect(index).isValid(); })) {
        return false;
    }
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    return view->currentIndex() == index;
}

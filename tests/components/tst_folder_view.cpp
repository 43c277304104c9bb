// The folder tree control: the computers it lists, its model, and its operations.

#include "components/folder_view.h"
#include "components/network_computers.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_main.h"
#include "tests/support/widget_probe.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Points the tree at a hosts file until the returned guard goes.
auto UseHostsFile(const QString& path) {
    return qScopeGuard([previous = FolderTreeModel::SetHostsFile(path)] {
        FolderTreeModel::SetHostsFile(previous);
    });
}

}  // namespace

class TestFolderView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The network part lists the computers of the hosts file by workgroup (the domain),
    // sorted, this computer once; a computer is a leaf without a path name. The file is
    // read off the window's thread: one that does not answer yet (a pipe nobody writes)
    // never holds the window up.
    void networkPart() {
        TempInstallation installation;
        const QString fifo = installation.FilePath("hosts");
#ifndef Q_OS_WIN  // no named pipes in the file system there: the file is there at once
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
#endif
        const auto hosts = UseHostsFile(fifo);
        FolderView view;
        FolderTreeModel* model = view.Model();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
#ifndef Q_OS_WIN
        view.SetStartFolder("Network\\Entire Network\\");
        // The listing has opened the file and waits for it to answer (a writer opens a FIFO
        // only once a reader has); meanwhile the window's thread runs on.
        int fd = -1;
        QVERIFY(QTest::qWaitFor([&] {
            fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            return fd >= 0;
        }));
        QVERIFY(!model->IsNetworkListed());
#endif
        const QByteArray text =
            "127.0.0.1 localhost\n::1 ip6-localhost\n0.0.0.0 ads.example\n"
            "# 10.0.0.9 hidden\n10.0.0.5\n10.0.0.6 bad/name\r\n"
            "10.0.0.2 cncsrv2 # Accounts\n10.0.0.3\tMILL7\r\n"
            "10.0.0.4 lathe.plant.local lathe\n10.0.0.8 mill7 # second\n"
            "10.0.0.7 cncsrv1 # This one\n";
#ifdef Q_OS_WIN
        installation.WriteFile("hosts", text);
        view.SetStartFolder("Network\\Entire Network\\");
#else
        QCOMPARE(::write(fd, text.constData(), text.size()), ssize_t(text.size()));
        ::close(fd);
#endif
        QTRY_VERIFY(model->IsNetworkListed());
        const QModelIndex entire = model->EntireNetworkIndex();
        QCOMPARE(Entries(*model, entire), QStringList({"PLANT.LOCAL", "WORKGROUP"}));
        QCOMPARE(Entries(*model, model->index(0, 0, entire)), QStringList{"lathe"});
        const QModelIndex workgroup = model->index(1, 0, entire);
        QCOMPARE(Entries(*model, workgroup),
                 QStringList({"Accounts (cncsrv2)", "MILL7", "This one (cncsrv1)"}));
        const QModelIndex computer = model->index(0, 0, workgroup);
        QVERIFY(!model->hasChildren(computer));
        QVERIFY(view.SelectFolder("\\\\CNCSRV2"));
        QVERIFY(view.SelectedFolder().IsComputer);
        QCOMPARE(view.SelectedFolder().PathName, QString());
        QCOMPARE(model->IndexOfPath("\\\\CNCSRV2"), computer);
        const QList<NetworkComputer> alone =
            ListNetworkComputers(installation.FilePath("missing"), "CNCSRV1");
        QCOMPARE(alone.size(), 1);
        QCOMPARE(alone.first().Name + '/' + alone.first().Workgroup, "CNCSRV1/WORKGROUP");
    }

    // The computers are listed once per model, whatever the views ask and whenever: here
    // three views expand the network while a handler asks for more as the rows go in.
    void networkListedOnce() {
        TempInstallation installation;
        installation.WriteFile("hosts", "10.0.0.2 cncsrv2\n10.0.0.4 lathe.plant.local\n");
        const auto hosts = UseHostsFile(installation.FilePath("hosts"));
        FolderTreeModel model;
        QSignalSpy listed(&model, &FolderTreeModel::NetworkListed);
        const QModelIndex entire = model.EntireNetworkIndex();
        int inserts = 0;
        connect(&model, &QAbstractItemModel::rowsAboutToBeInserted, this,
                [&](const QModelIndex& parent) {
                    if (parent == entire) {
                        ++inserts;
                        if (model.canFetchMore(entire)) {
                            model.fetchMore(entire);
                        }
                    }
                });
        QTreeView views[3];
        for (QTreeView& view : views) {
            view.setModel(&model);
            view.expand(model.NetworkIndex());
            view.expand(entire);
        }
        for (int i = 0; i < 20; ++i) {
            model.fetchMore(entire);
            QCoreApplication::processEvents();
        }
        QTRY_VERIFY(model.IsNetworkListed());
        for (int i = 0; i < 5; ++i) {
            QVERIFY(!model.canFetchMore(entire));
            model.fetchMore(entire);
        }
        QCOMPARE(listed.size(), 1);
        // A second listing would announce itself: waited for, it must not come.
        QVERIFY(!listed.wait(300));
        QCOMPARE(inserts, 1);
        QCOMPARE(Entries(model, entire), QStringList({"PLANT.LOCAL", "WORKGROUP"}));
    }

    // The file-system part follows the disk through the tree's model; a handler of
    // BeforeChange can keep a folder closed; files are never opened.
    void fileSystemPart() {
        TempInstallation installation;
        QDir root(installation.Folder());
        QVERIFY(root.mkpath("PARTS/MILL1/O1"));
        QVERIFY(root.mkpath("PARTS/.hidden"));
        installation.WriteFile("PARTS/prog.nc", "%\n");
        FolderView view;
        FolderTreeModel* model = view.Model();
        QStringList asked;
        connect(&view, &FolderView::BeforeChange, this, [&](const ShellFolder& f, bool* allow) {
            asked << f.Name;
            *allow = f.Name != QLatin1String("MILL1");
        });
        const QString parts = root.filePath("PARTS");
        QVERIFY(view.SelectFolder(parts));
        // Persistent indexes must follow the file system model's sorting and filtering.
        const QPersistentModelIndex index = model->IndexOfPath(parts);
        const QPersistentModelIndex network = model->NetworkIndex();
        QCOMPARE(view.SelectedFolder().PathName, QDir::toNativeSeparators(parts));
        QTRY_COMPARE(Entries(*model, index), QStringList{"MILL1"});
        const QPersistentModelIndex mill = model->index(0, 0, index);
        view.Tree()->expand(mill);
        QVERIFY(asked.contains("MILL1"));
        QVERIFY(!view.Tree()->isExpanded(mill));

        view.SetShowFiles(true);
        view.SetShowHidden(true);
        QTRY_COMPARE(Entries(*model, index), QStringList({".hidden", "MILL1", "prog.nc"}));
        view.SetShowFiles(false);
        view.SetShowHidden(false);
        QTRY_COMPARE(Entries(*model, index), QStringList{"MILL1"});

        QVERIFY(root.mkpath("PARTS/LATHE2"));
        QTRY_COMPARE(Entries(*model, index), QStringList({"LATHE2", "MILL1"}));
        QCOMPARE(mill.data().toString(), QStringLiteral("MILL1"));
        QVERIFY(QDir(root.filePath("PARTS/MILL1")).removeRecursively());
        QTRY_COMPARE(Entries(*model, index), QStringList{"LATHE2"});
        QVERIFY(!mill.isValid());
        // The network follows the file-system roots.
        QCOMPARE(network.row(), model->rowCount() - 1);
        view.Tree()->expand(network);
        QVERIFY(view.Tree()->isExpanded(network));

        // Opening a folder never reads its files: guessing their type from their contents
        // would hang the window on a file that never answers, such as /proc/kmsg. (Under Wine
        // the name finds the host's file, but /proc is no folder the Windows tree lists.)
#ifndef Q_OS_WIN
        if (QFileInfo::exists(QStringLiteral("/proc/kmsg"))) {
            QVERIFY(view.SelectFolder(QStringLiteral("/proc")));
            const QPersistentModelIndex proc = model->IndexOfPath(QStringLiteral("/proc"));
            QTRY_VERIFY(model->rowCount(proc) > 0);
            // The file entries arrive after the folders: listed, never read.
            view.SetShowFiles(true);
            QTRY_VERIFY(Entries(*model, proc).contains(QStringLiteral("kmsg")));
        }
#endif
    }

    // Only the user's click or key is a choice: not the entry the tree makes current when it
    // gets the focus, nor the one it highlights when the chosen folder goes away.
    void onlyTheUsersChoice() {
        TempInstallation installation;
        QDir root(installation.Folder());
        QVERIFY(root.mkpath("A") && root.mkpath("B") && root.mkpath("C"));
        FolderView view;
        QStringList chosen;  // the folders sent with FolderSelected
        connect(&view, &FolderView::FolderSelected, this,
                [&](const ShellFolder& folder) { chosen << folder.Name; });
        view.show();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QTreeView* tree = view.Tree();
        tree->setFocus();
        QTRY_VERIFY(tree->currentIndex().isValid());
        QVERIFY(!view.SelectedFolder().IsValid());

        const auto click = [&](const QString& name) {
            const QModelIndex index = view.Model()->IndexOfPath(root.filePath(name));
            tree->scrollTo(index);
            QVERIFY(QTest::qWaitFor([&] { return tree->visualRect(index).isValid(); }));
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                              tree->visualRect(index).center());
        };
        click("A");
        QCOMPARE(view.SelectedFolder().Name, QStringLiteral("A"));
        QTRY_COMPARE(view.Model()->rowCount(view.Model()->IndexOfPath(root.path())), 3);
        QVERIFY(root.rmdir("A"));
        QTRY_VERIFY(!view.Model()->IndexOfPath(root.filePath("A")).isValid());
        QVERIFY(!view.SelectedFolder().IsValid());

        QVERIFY(view.SelectFolder(root.filePath("B")));  // the window's highlight
        QCOMPARE(view.SelectedFolder().Name, QStringLiteral("B"));
        click("B");  // the same folder, now chosen by the user
        QTest::keyClick(tree, Qt::Key_Down);
        // Neither the focus, nor the folder going away, nor the highlight was a choice.
        QCOMPARE(chosen, QStringList({"A", "B", "C"}));
        QCOMPARE(view.SelectedFolder().Name, QStringLiteral("C"));
    }
};

KESTRUM_TEST(TestFolderView)
#include "tst_folder_view.moc"

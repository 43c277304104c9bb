// The folder tree control: the computers it lists, its model, and its operations.

#include "components/folder_view.h"
#include "components/network_computers.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_main.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>
#include <QTreeView>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList Describe(const QList<NetworkComputer>& computers) {
    QStringList out;
    for (const NetworkComputer& c : computers) {
        out << c.Workgroup + QLatin1Char('/') + c.Name + QLatin1Char('/') + c.DisplayName;
    }
    return out;
}

// Points the tree at a hosts file for the lifetime of the object.
class HostsFile {
public:
    explicit HostsFile(const QString& path) : previous_(FolderTreeModel::SetHostsFile(path)) {}
    ~HostsFile() { FolderTreeModel::SetHostsFile(previous_); }

private:
    QString previous_;
};

QStringList ChildNames(const QAbstractItemModel& model, const QModelIndex& parent) {
    QStringList names;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        names << model.index(row, 0, parent).data().toString();
    }
    return names;
}

}  // namespace

class TestFolderView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hostsFile_data() {
        QTest::addColumn<QByteArray>("hosts");
        QTest::addColumn<QStringList>("computers");
        QTest::newRow("plain and commented")
            << QByteArray("10.0.0.2 cncsrv2 # Accounts\n10.0.0.3\tMILL7\n")
            << QStringList{"WORKGROUP/cncsrv2/Accounts (cncsrv2)", "WORKGROUP/MILL7/MILL7"};
        QTest::newRow("domain and aliases") << QByteArray("10.0.0.4 lathe.plant.local lathe l4\n")
                                            << QStringList{"PLANT.LOCAL/lathe/lathe"};
        QTest::newRow("special addresses skipped")
            << QByteArray(
                   "127.0.0.1 localhost\n127.0.1.1 me\n::1 ip6-localhost\n"
                   "ff02::1 ip6-allnodes\nfe00::0 ip6-localnet\n0.0.0.0 ads.example\n")
            << QStringList();
        QTest::newRow("comments, blanks and junk")
            << QByteArray(
                   "# 10.0.0.9 hidden\n\n   \n10.0.0.5\n10.0.0.6 bad/name\r\n"
                   "10.0.0.7 ok\r\n")
            << QStringList{"WORKGROUP/ok/ok"};
        QTest::newRow("first line wins") << QByteArray("10.0.0.2 srv\n10.0.0.3 SRV # second\n")
                                         << QStringList{"WORKGROUP/srv/srv"};
    }
    void hostsFile() {
        QFETCH(QByteArray, hosts);
        QFETCH(QStringList, computers);
        QCOMPARE(Describe(ComputersFromHosts(hosts)), computers);
    }

    void listIncludesThisComputerOnce() {
        TempInstallation installation;
        installation.WriteFile("hosts", "10.0.0.3 zeta\n10.0.0.2 cncsrv1 # This one\n");
        QCOMPARE(Describe(ListNetworkComputers(installation.FilePath("hosts"), "CNCSRV1")),
                 QStringList({"WORKGROUP/cncsrv1/This one (cncsrv1)", "WORKGROUP/zeta/zeta"}));
        QCOMPARE(Describe(ListNetworkComputers(installation.FilePath("missing"), "CNCSRV1")),
                 QStringList{"WORKGROUP/CNCSRV1/CNCSRV1"});
    }

    void networkPart() {
        TempInstallation installation;
        installation.WriteFile("hosts", "10.0.0.2 cncsrv2 # Accounts\n10.0.0.4 m.plant.local\n");
        HostsFile hosts(installation.FilePath("hosts"));
        FolderView view;
        FolderTreeModel* model = view.Model();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(view.SpecialFolderDisplayName(FolderView::kNetworkNeighbourhood),
                 QStringLiteral("Network"));
        QCOMPARE(view.SpecialFolderDisplayName(17), QString());

        view.SetStartFolder("Network\\Entire Network\\");
        QTRY_VERIFY(model->IsNetworkListed());
        const QModelIndex entire = model->EntireNetworkIndex();
        QCOMPARE(view.Tree()->currentIndex(), entire);
        QCOMPARE(ChildNames(*model, entire), QStringList({"PLANT.LOCAL", "WORKGROUP"}));
        const QModelIndex workgroup = model->IndexOfPath("Network\\Entire Network\\WORKGROUP");
        QCOMPARE(ChildNames(*model, workgroup), QStringList({"Accounts (cncsrv2)", "CNCSRV1"}));

        ShellFolder folder = model->Folder(entire);
        QCOMPARE(folder.PathName, QStringLiteral("Network\\Entire Network"));
        QCOMPARE(folder.Name, QStringLiteral("Entire Network"));
        QVERIFY(!folder.Path().contains("\\\\"));

        const QModelIndex computer = model->index(0, 0, workgroup);
        QVERIFY(!model->hasChildren(computer));
        view.Tree()->setCurrentIndex(computer);
        folder = view.SelectedFolder();
        QCOMPARE(folder.PathName, QString());
        QCOMPARE(folder.Name, QStringLiteral("Accounts (cncsrv2)"));
        QCOMPARE(folder.Path(), QStringLiteral("\\\\Accounts (cncsrv2)"));
        QCOMPARE(model->IndexOfPath("\\\\CNCSRV2"), computer);
        QVERIFY(view.SelectFolder("\\\\cncsrv1"));
        QCOMPARE(view.SelectedFolder().Name, QStringLiteral("CNCSRV1"));
    }

    // A hosts file that never answers (a pipe nobody writes yet) must not hold up the window.
    void listingNeverBlocks() {
        TempInstallation installation;
        const QString fifo = installation.FilePath("hosts");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        HostsFile hosts(fifo);
        FolderView view;
        QElapsedTimer timer;
        timer.start();
        view.SetStartFolder("Network\\Entire Network\\");
        QTest::qWait(50);
        QVERIFY(!view.Model()->IsNetworkListed());
        QVERIFY(timer.elapsed() < 2000);
        // Now the file answers.
        int fd = -1;
        QVERIFY(QTest::qWaitFor([&] {
            fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            return fd >= 0;
        }));
        const char text[] = "10.0.0.9 late\n";
        QCOMPARE(::write(fd, text, sizeof text - 1), ssize_t(sizeof text - 1));
        ::close(fd);
        QTRY_VERIFY(view.Model()->IsNetworkListed());
        QVERIFY(view.Model()->IndexOfPath("\\\\LATE").isValid());
    }

    // The file-system part follows the disk through the tree's model.
    void fileSystemPart() {
        TempInstallation installation;
        QDir root(installation.Folder());
        QVERIFY(root.mkpath("PARTS/MILL1"));
        QVERIFY(root.mkpath("PARTS/.hidden"));
        installation.WriteFile("PARTS/prog.nc", "%\n");
        FolderView view;
        FolderTreeModel* model = view.Model();
        const QString parts = root.filePath("PARTS");
        QVERIFY(view.SelectFolder(parts));
        // Persistent indexes must follow the file system model's sorting and filtering.
        const QPersistentModelIndex index = model->IndexOfPath(parts);
        const QPersistentModelIndex network = model->NetworkIndex();
        QCOMPARE(view.SelectedFolder().PathName, QDir::toNativeSeparators(parts));
        QCOMPARE(view.SelectedFolder().Name, QStringLiteral("PARTS"));
        QTRY_COMPARE(ChildNames(*model, index), QStringList{"MILL1"});
        const QPersistentModelIndex mill = model->index(0, 0, index);

        view.SetShowFiles(true);
        view.SetShowHidden(true);
        QTRY_COMPARE(ChildNames(*model, index), QStringList({".hidden", "MILL1", "prog.nc"}));
        view.SetShowFiles(false);
        view.SetShowHidden(false);
        QTRY_COMPARE(ChildNames(*model, index), QStringList{"MILL1"});

        QVERIFY(root.mkpath("PARTS/LATHE2"));
        QTRY_COMPARE(ChildNames(*model, index), QStringList({"LATHE2", "MILL1"}));
        QCOMPARE(mill.data().toString(), QStringLiteral("MILL1"));
        QCOMPARE(mill.parent(), QModelIndex(index));
        QCOMPARE(model->Folder(index).PathName, QDir::toNativeSeparators(parts));
        QVERIFY(root.rmdir("PARTS/MILL1"));
        QTRY_COMPARE(ChildNames(*model, index), QStringList{"LATHE2"});
        QVERIFY(!mill.isValid());
        // The network follows the file-system roots.
        QCOMPARE(network.data().toString(), QStringLiteral("Network"));
        QCOMPARE(network.row(), model->rowCount() - 1);
        QCOMPARE(view.SelectedFolder().Name, QStringLiteral("PARTS"));
    }

    // Opening a folder never reads its files: guessing their type from their contents
    // would hang the window on a file that never answers, such as /proc/kmsg.
    void filesAreNeverRead() {
        if (!QFileInfo::exists(QStringLiteral("/proc/kmsg"))) {
            QSKIP("no /proc/kmsg here");
        }
        FolderView view;
        QVERIFY(view.SelectFolder(QStringLiteral("/proc")));
        const QPersistentModelIndex proc = view.Model()->IndexOfPath(QStringLiteral("/proc"));
        QTRY_VERIFY(view.Model()->rowCount(proc) > 0);
        QTest::qWait(200);  // the file entries arrive after the folders
    }

    void beforeChangeCanRefuse() {
        TempInstallation installation;
        QVERIFY(QDir(installation.Folder()).mkpath("A/B"));
        FolderView view;
        QStringList asked;
        connect(&view, &FolderView::BeforeChange, this, [&](const ShellFolder& f, bool* allow) {
            asked << f.Name;
            *allow = f.Name != QLatin1String("A");
        });
        const QModelIndex a = view.Model()->IndexOfPath(QDir(installation.Folder()).filePath("A"));
        view.Tree()->expand(a);
        QVERIFY(asked.contains("A"));
        QVERIFY(!view.Tree()->isExpanded(a));
        const QModelIndex network = view.Model()->NetworkIndex();
        view.Tree()->expand(network);
        QVERIFY(view.Tree()->isExpanded(network));
    }
};

KESTRUM_TEST(TestFolderView)
#include "tst_folder_view.moc"

// CheckServerConfig and CreateFolderPath: results, messages and what they leave behind.

#include "base/paths.h"
#include "db_test_helpers.h"
#include "tests/support/test_main.h"

#include <QDir>
#include <QFileInfo>

namespace {

// A local path as drive-letter path text: "C:" and the path with "\".
QString DrivePath(const QString& local) {
    QString text = local;
    text.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return text.startsWith(QLatin1Char('\\')) ? "C:" + text : text;
}

}  // namespace

class TestChecks : public QObject {
    Q_OBJECT

private slots:
    void checkServerConfig_data() {
        QTest::addColumn<QStringList>("servers");
        QTest::addColumn<QStringList>("clientNodes");  // node ids of CNCSRV1's clients
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("nodeId");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* tag, QStringList servers, QStringList nodes, int result,
                            const char* nodeId, const char* title, const char* text) {
            QTest::newRow(tag) << servers << nodes << result << QString(nodeId) << QString(title)
                               << QString(text);
        };
        row("no server", {}, {}, -1, "", "Server configuration error!",
            "0 Servers configured!, create this Server\\w Clients prior to this selection");
        row("not a server", {"OTHER", "cncsrv1"}, {}, -1, "", "Server configuration error!",
            "CNCSRV1 is not configured as a DNC Server!, create this DNC Server prior to this "
            "selection");
        row("no clients", {"CNCSRV1"}, {}, -1, "", "Client configuration error!",
            "0 Clients configured!, create Clients prior to this selection");
        row("mixed node ids", {"OTHER", "CNCSRV1"}, {"TOOL", "TOOL", "NODE2"}, 0, "",
            "NodeID error!",
            "The NodeID's for this Server must be the same!, use the NodeID 'TOOL'");
        row("all TOOL", {"CNCSRV1"}, {"TOOL", "TOOL"}, 0, "TOOL", "", "");
    }
    void checkServerConfig() {
        QFETCH(QStringList, servers);
        QFETCH(QStringList, clientNodes);
        QFETCH(QString, title);
        QFETCH(QString, text);
        TempInstallation tmp;
        MessageRecorder messages;
        qint64 local = 0;
        for (const QString& server : servers) {
            const qint64 id = PutServer(tmp, server);
            local = server == QLatin1String("CNCSRV1") ? id : local;
        }
        PutClient(tmp, "ELSEWHERE", local + 1, "X");
        for (qsizetype i = 0; i < clientNodes.size(); ++i) {
            PutClient(tmp, QStringLiteral("M%1").arg(i), local, clientNodes.at(i));
        }
        ServerNodeId = QStringLiteral("STALE");
        QTEST(int(CheckServerConfig()), "result");
        QTEST(ServerNodeId, "nodeId");
        QCOMPARE(ServerClientTable.size(), clientNodes.size());
        QCOMPARE(messages.Count(), text.isEmpty() ? 0 : 1);
        if (!text.isEmpty()) {
            QCOMPARE(Describe(messages.Last()),
                     Describe({text, title, MsgButtons::Ok, MsgIcon::Critical}));
        }
    }

    // Folders made below the test folder, given as a local path or as drive-letter text; a
    // path that names no drive, or more than nine levels, is refused with a message and makes
    // nothing.
    void createFolderPath_data() {
        QTest::addColumn<QString>("path");     // below the test folder, or "!" and the whole path
        QTest::addColumn<bool>("driveForm");   // "C:\..." rather than "/..."
        QTest::addColumn<QString>("created");  // relative folder expected afterwards
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* path, bool drive, const char* created,
                            const char* message) {
            QTest::newRow(name) << QString(path) << drive << QString(created) << QString(message);
        };
        row("root form", "HAVE/NEW/DEEPER", false, "HAVE/NEW/DEEPER", "");
        row("other case", "have/NEW", true, "HAVE/NEW", "");
        row("file in the way", "HAVE/FILE/SUB", true, "", "");
        row("network name", "!\\\\tsclient\\C\\A", false, "", "Drive Error, \"\\\\\"doesn't exist");
        row("relative", "!A\\B", false, "", "Drive Error, \"A\\\"doesn't exist");
        row("nine levels", "HAVE/<9>", true, "HAVE/<9>", "");
        row("ten levels", "HAVE/<10>", true, "", "Directories exceed 9 levels");
    }
    void createFolderPath() {
        QFETCH(QString, path);
        QFETCH(bool, driveForm);
        QFETCH(QString, created);
        QFETCH(QString, message);
        TempInstallation tmp;
        MessageRecorder messages;
        QDir base(tmp.Folder());
        QVERIFY(base.mkdir("HAVE"));
        tmp.WriteFile("HAVE/keep.txt", "kept");
        tmp.WriteFile("HAVE/FILE", "not a folder");
        // "<n>": folders L down to n levels; they count from the drive, the test folder's own
        // levels among them.
        const int own = int(DrivePath(tmp.Folder()).mid(3).split('\\', Qt::SkipEmptyParts).size());
        const int levels = path.section('<', 1).chopped(1).toInt();
        QVERIFY(own < 8);
        const QString deep = QStringList(qMax(levels - own - 1, 0), "L").join('/');
        path.replace(QStringLiteral("<%1>").arg(levels), deep);
        created.replace(QStringLiteral("<%1>").arg(levels), deep);
        const QString local = path.startsWith('!') ? path.mid(1) : base.filePath(path);
        QCOMPARE(int(CreateFolderPath(driveForm ? DrivePath(local) : local)),
                 created.isEmpty() ? -1 : 0);
        QVERIFY(created.isEmpty() || QFileInfo(base.filePath(created)).isDir());
        QCOMPARE(tmp.ReadFile("HAVE/keep.txt"), QByteArray("kept"));
        QCOMPARE(base.entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"HAVE"});
        QCOMPARE(QDir(base.filePath("HAVE")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 created.isEmpty() ? QStringList() : QStringList{created.section('/', 1, 1)});
        QCOMPARE(messages.Texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QVERIFY(message.isEmpty() ||
                messages.Last().title == (levels ? "Directory error" : "Drive designation error"));
    }
};

KESTRUM_TEST(TestChecks)
#include "tst_checks.moc"

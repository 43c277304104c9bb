// The merge of servers' DNCAdmin.ini files into the master: the master's bytes after one
// and after repeated merges, the limits, and that a refused merge changes no file.

#include "dncadmin/dncadmin_merge.h"
#include "tests/dncadmin/dncadmin_fixture.h"
#include "tests/support/test_main.h"

namespace {

QByteArray Section(const QByteArray& name, const QByteArray& node, const QByteArray& port,
                   const QByteArray& down = "C:\\DNC") {
    return "[" + name + "]\r\nNODE_ID=" + node + "\r\nPORT_ID=" + port +
           "\r\nPROTOCOL=STANDARD\r\nDEFAULT_DIR=" + down + "\r\nDEFAULT_UP_DIR=" + down + "\r\n";
}

using Groups = QList<QPair<QByteArray, QList<int>>>;

// A file of the clients "<prefix><key>", each on port <key>, listed under their keys (a
// server's file) or numbered from 1 in order (the merged master).
QByteArray ClientsFile(const Groups& groups, bool renumber) {
    QByteArray list = "[CNC_LIST]\r\n";
    QByteArray sections;
    int number = 0;
    for (const auto& [prefix, keys] : groups) {
        for (int key : keys) {
            const QByteArray name = prefix + QByteArray::number(key);
            list += QByteArray::number(renumber ? ++number : key) + "=" + name + "\r\n";
            sections += Section(name, "01", QByteArray::number(key));
        }
    }
    return kTemplate + list + sections;
}
QByteArray SourceFile(const QByteArray& prefix, const QList<int>& keys) {
    return ClientsFile({{prefix, keys}}, false);
}
const QList<int> kSixteen = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// A folder with the template, a MASTER folder and the sources read into the merge table.
class MergeRig : public TempInstallation {
public:
    MergeRig() : TempInstallation({false, false, {}}) {
        QDir().mkpath(FilePath("MASTER"));
        WriteFile("DNCAdminExportCopy.ini", kTemplate);
    }
    // Reads the sources into the table, as choosing them in the window does.
    bool Load(const QList<QByteArray>& sources) {
        for (int i = 0; i < sources.size(); ++i) {
            const QString name = QString("S%1.ini").arg(i + 1);
            WriteFile(name, sources.at(i));
            if (!ReadDncAdminFile(FilePath(name), table_.Columns[size_t(i)])) {
                return false;
            }
        }
        return true;
    }
    MergeOutcome Merge() const {
        return MergeDncAdmin(table_, FilePath("MASTER"), FilePath("DNCAdminExportCopy.ini"));
    }

private:
    MergeTable table_;
};

}  // namespace

class TestDncAdminMerge : public QObject {
    Q_OBJECT
private slots:
    // The master is the template (or the old master) with the list and client sections of
    // the sources in order; gaps in a source's list close up. A refused merge is decided
    // before any file changes.
    void MergedBytes_data() {
        QTest::addColumn<QByteArray>("master");  // "<none>": no master file yet
        QTest::addColumn<QList<QByteArray>>("sources");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QString>("status");
        const QByteArray old = kTemplate + "[CNC_LIST]\r\n1=OLD\r\n";

        QTest::newRow("four sources with gaps, one with an empty list")
            << QByteArray("<none>")
            << QList<QByteArray>{SourceFile("A", {1, 2, 5}), "[CNC_LIST]\r\n",
                                 SourceFile("C", {1, 3}), SourceFile("D", {64})}
            << ClientsFile({{"A", {1, 2, 5}}, {"C", {1, 3}}, {"D", {64}}}, true)
            << "Merge successful, 6 Clients";

        // Four sources of 16 reach the limit exactly.
        const Groups full = {{"A", kSixteen}, {"B", kSixteen}, {"C", kSixteen}, {"D", kSixteen}};
        QTest::newRow("64 clients")
            << QByteArray("<none>")
            << QList<QByteArray>{SourceFile("A", kSixteen), SourceFile("B", kSixteen),
                                 SourceFile("C", kSixteen), SourceFile("D", kSixteen)}
            << ClientsFile(full, true) << "Merge successful, 64 Clients";
        QTest::newRow("65 clients")
            << old
            << QList<QByteArray>{SourceFile("A", kSixteen), SourceFile("B", kSixteen),
                                 SourceFile("C", kSixteen), SourceFile("D", kSixteen + QList{17})}
            << old << "ERROR! Clients > 64";
        QTest::newRow("client in two sources")
            << old
            << QList<QByteArray>{SourceFile("A", {1, 2}), SourceFile("B", {1}),
                                 SourceFile("a", {2})}
            << old << "ERROR! Client A2 in DNCAdmin.ini 1 and 3";
        QTest::newRow("name that is no section")
            << old << QList<QByteArray>{"[CNC_LIST]\r\n1=X]Y\r\n"} << old
            << "ERROR! Client X]Y in DNCAdmin.ini 1: a section name cannot hold \"]\"";
        QTest::newRow("quoted name")
            << old << QList<QByteArray>{"[CNC_LIST]\r\n1='\"Q\"'\r\n"} << old
            << "ERROR! Client \"Q\" in DNCAdmin.ini 1: the name is enclosed in quotes";

        // Only the old list goes: the node section behind it, old client sections and the
        // blank line stay; the list keeps its place and nothing is added at the end.
        QTest::newRow("re-merge keeps node sections")
            << kTemplate +
                   "\r\n[CNC_LIST]\r\n1=OLD\r\n2=A1\r\n\r\n[OLD]\r\nNODE_ID=09\r\n"
                   "[NODE01]\r\nDOWN_PATH=C:\\DNC\\CLIENTS\r\nUP_PATH=C:\\DNC\\CLIENTS\r\n"
            << QList<QByteArray>{SourceFile("A", {1})}
            << kTemplate +
                   "\r\n[CNC_LIST]\r\n1=A1\r\n[OLD]\r\nNODE_ID=09\r\n"
                   "[NODE01]\r\nDOWN_PATH=C:\\DNC\\CLIENTS\r\nUP_PATH=C:\\DNC\\CLIENTS\r\n" +
                   Section("A1", "01", "1")
            << "Merge successful, 1 Clients";

        QTest::newRow("list header on the first line, any case, twice")
            << QByteArray(
                   "[cnc_list]\r\n1=OLD\r\n2=OLD2\r\n3=OLD3\r\n[ADMIN]\r\nLINES_DISPLAYED=64"
                   "\r\n[Cnc_List]\r\n9=STALE\r\n[NODE02]\r\nUP_PATH=X\r\n")
            << QList<QByteArray>{SourceFile("A", {1})}
            << QByteArray(
                   "[cnc_list]\r\n1=A1\r\n[ADMIN]\r\nLINES_DISPLAYED=64\r\n"
                   "[NODE02]\r\nUP_PATH=X\r\n") +
                   Section("A1", "01", "1")
            << "Merge successful, 1 Clients";

        // Values are upper-cased and read whole, however long.
        const QByteArray longPath = "C:\\DNC\\" + QByteArray(200, 'p') + "\\END";
        QTest::newRow("long path, lower case")
            << QByteArray("<none>")
            << QList<QByteArray>{"[CNC_LIST]\r\n1=lathe\xe4\r\n[LATHE\xc4]\r\nNODE_ID=01\r\n"
                                 "PORT_ID=2\r\nPROTOCOL=standard\r\nDEFAULT_DIR=" +
                                 longPath + "\r\nDEFAULT_UP_DIR=" + longPath + "\r\n"}
            << kTemplate + "[CNC_LIST]\r\n1=LATHE\xc4\r\n" + Section("LATHE\xc4", "01", "2", longPath.toUpper())
            << "Merge successful, 1 Clients";
    }

    void MergedBytes() {
        QFETCH(QByteArray, master);
        QFETCH(QList<QByteArray>, sources);
        QFETCH(QByteArray, expected);
        QFETCH(QString, status);
        MergeRig rig;
        if (master != "<none>") {
            rig.WriteFile("MASTER/DNCAdmin.ini", master);
        }
        QVERIFY(rig.Load(sources));
        const MergeOutcome outcome = rig.Merge();
        QCOMPARE(outcome.Status, status);
        QCOMPARE(outcome.Ok, status.startsWith("Merge successful"));
        QCOMPARE(rig.ReadFile("MASTER/DNCAdmin.ini"), expected);
        // A second merge of the same sources changes nothing: no blank lines pile up.
        QCOMPARE(rig.Merge().Ok, outcome.Ok);
        QCOMPARE(rig.ReadFile("MASTER/DNCAdmin.ini"), expected);
    }

    // No master folder: refused, and nothing is written anywhere (never to the root).
    void NoMasterFolder() {
        MergeRig rig;
        for (const QString& folder : {QString(), QString("/no/such/folder")}) {
            const MergeOutcome outcome =
                MergeDncAdmin(MergeTable(), folder, rig.FilePath("DNCAdminExportCopy.ini"));
            QVERIFY(!outcome.Ok);
            QVERIFY(!outcome.Error.isEmpty());
        }
        QVERIFY(!QFile::exists("/DNCAdmin.ini"));
    }
};

KESTRUM_TEST(TestDncAdminMerge)
#include "tst_merge.moc"

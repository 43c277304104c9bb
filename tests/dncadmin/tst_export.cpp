// The DNCAdmin.ini export against files written out by hand: the layout the DNC servers
// read, byte for byte, and what happens when something is missing or cannot be written.

#include "db/dnc_database.h"
#include "dncadmin/atomic_file.h"
#include "dncadmin/dncadmin_export.h"
#include "tests/dncadmin/dncadmin_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif
#include <csignal>
#include <functional>

namespace {

using Setup = std::function<void(const DncAdminInstallation&)>;

const QByteArray kOld = "[A]\r\nNODE_ID=09\r\n[CNC_LIST]\r\n1=OLD\r\n";  // the last export

QByteArray Section(const QByteArray& name, const QByteArray& node, const QByteArray& port,
                   const QByteArray& protocol, const QByteArray& down, const QByteArray& up) {
    return "[" + name + "]\r\nNODE_ID=" + node + "\r\nPORT_ID=" + port +
           "\r\nPROTOCOL=" + protocol + "\r\nDEFAULT_DIR=" + down + "\r\nDEFAULT_UP_DIR=" + up +
           "\r\n";
}

}  // namespace

class TestDncAdminExport : public QObject {
    Q_OBJECT
private slots:
    // The export replaces the last one; every way it cannot finish leaves that byte for byte
    // and names the cause.
    void ExportBytes_data() {
        QTest::addColumn<QByteArray>("base");  // "": none
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("clients");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QString>("message");  // a part of the messages shown, "": none

        // B has no folders at all and follows A: nothing of A carries over. Folders come
        // sorted by path: the first download (or both) and the first upload. A client not
        // in the database is named and skipped; the list has no gap for it.
        QTest::newRow("numbering skips the shop terminal")
            << kTemplate << Setup([](const DncAdminInstallation& db) {
                   db.AddClient(
                       "A", "01", "1", 4,
                       {{"C:\\E\\C", 1}, {"C:\\E\\B", 2}, {"C:\\E\\A", 3}, {"C:\\E\\0", 2}});
                   db.AddClient("SHOP", "01", "2", 5);
                   db.AddClient("B", "02", "7", 2);
                   db.AddClient("D", "01", "3", 2, {{"C:\\DNC\\D", 1}});
               })
            << QStringList{"A", "SHOP", "GHOST", "B", "D"}
            << kTemplate + Section("A", "01", "1", "BTR", "C:\\E\\A", "C:\\E\\0") +
                   Section("B", "02", "7", "STANDARD", "", "") +
                   Section("D", "01", "3", "STANDARD", "C:\\DNC\\D", "C:\\DNC\\D") +
                   "[CNC_LIST]\r\n1=A\r\n2=B\r\n3=D\r\n"
            << "Client \"GHOST\" not found; it is not exported.";

        // Every byte of the base stays; keys of a section it already has are rewritten in
        // place (with the file's spelling), new keys follow its last key, and list keys the
        // export does not reach stay as they were. Blanks and signs in names are kept.
        QTest::newRow("base with sections and an old list")
            << QByteArray(
                   "; site template\r\n[ADMIN]\r\nLINES_DISPLAYED=64\r\n\r\n"
                   "[CNC_LIST]\r\n1=OLD1\r\n2=OLD2\r\n3=OLD3\r\n"
                   "[a]\r\n  node_id = 07\r\nEXTRA=1\r\n; note\r\n[NODE01]\r\nUP_PATH=X")
            << Setup([](const DncAdminInstallation& db) {
                   db.AddClient("A", "01", "1", 2, {{"C:\\A", 3}});
                   db.AddClient("O'NEIL;A=B #2", "01", "2", 2, {{"\\\\SRV\\share 1", 2}});
               })
            << QStringList{"A", "O'NEIL;A=B #2"}
            << QByteArray(
                   "; site template\r\n[ADMIN]\r\nLINES_DISPLAYED=64\r\n\r\n"
                   "[CNC_LIST]\r\n1=A\r\n2=O'NEIL;A=B #2\r\n3=OLD3\r\n"
                   "[a]\r\nnode_id=01\r\nEXTRA=1\r\nPORT_ID=1\r\nPROTOCOL=STANDARD\r\n"
                   "DEFAULT_DIR=C:\\A\r\nDEFAULT_UP_DIR=C:\\A\r\n; note\r\n"
                   "[NODE01]\r\nUP_PATH=X\r\n") +
                   Section("O'NEIL;A=B #2", "01", "2", "STANDARD", "", "\\\\SRV\\share 1")
            << "";

        QTest::newRow("Latin-1 text") << kTemplate << Setup([](const DncAdminInstallation& db) {
            db.AddClient(QString::fromUtf8("MÜHLE"), "01", "1", 2,
                         {{QString::fromUtf8("C:\\DNC\\Fräse é"), 3}});
        }) << QStringList{QString::fromUtf8("MÜHLE")}
                                      << kTemplate +
                                             Section("M\xDCHLE", "01", "1", "STANDARD",
                                                     "C:\\DNC\\Fr\xE4se \xE9",
                                                     "C:\\DNC\\Fr\xE4se \xE9") +
                                             "[CNC_LIST]\r\n1=M\xDCHLE\r\n"
                                      << "";

        const Setup three = [](const DncAdminInstallation& db) {
            db.AddClient("A", "01", "1", 2);
            db.AddClient("B]X", "01", "2", 2);
            db.AddClient("cnc_list", "01", "3", 2);
        };
        const QStringList a{"A"};
        QTest::newRow("no base") << QByteArray() << three << a << kOld
                                 << "DNCAdminExportCopy.ini\" was not found";
        QTest::newRow("database closed") << kTemplate << Setup([](const DncAdminInstallation& db) {
            db.AddClient("A", "01", "1", 2);
            DncConnection.Close();
        }) << a << kOld << "The export stopped: the database could not";
        QTest::newRow("unwritable name")
            << kTemplate << three << QStringList{"A", "B]X"} << kOld << "cannot hold \"]\"";
        QTest::newRow("reserved name") << kTemplate << three << QStringList{"A", "cnc_list"} << kOld
                                       << "DNCAdmin.ini uses itself";
    }

    void ExportBytes() {
        QFETCH(QByteArray, base);
        QFETCH(Setup, setup);
        QFETCH(QStringList, clients);
        QFETCH(QByteArray, expected);
        QFETCH(QString, message);
        DncAdminInstallation db;
        setup(db);
        if (!base.isEmpty()) {
            db.WriteFile("DNCAdminExportCopy.ini", base);
        }
        db.WriteFile("DNCAdmin.ini", kOld);
        MessageRecorder messages;
        QCOMPARE(ExportDncAdminInProgramFolder(clients), expected != kOld);
        QCOMPARE(messages.Count() == 0, message.isEmpty());
        QVERIFY2(messages.Texts().join('|').contains(message),
                 qPrintable(messages.Texts().join('|')));
        QVERIFY(expected != kOld || messages.Last().icon == MsgIcon::Critical);
        QCOMPARE(db.ReadFile("DNCAdmin.ini"), expected);
    }

    // The copy into a server's folder: a write that fails part way through (the file-size
    // limit stands in for a full disk) leaves the old file; a copy onto itself is a no-op.
    // The copies kept of a replaced file go to the program folder's Backups/.
    void CopyFailingHalfway() {
        const TempInstallation dir({false, false, {}});
        const QString source = dir.FilePath("new.ini");
        const QString target = dir.FilePath("DNCAdmin.ini");
        dir.WriteFile("new.ini", QByteArray(256 * 1024, 'N'));
        const QByteArray old = "[CNC_LIST]\r\n1=OLD\r\n";
        dir.WriteFile("DNCAdmin.ini", old);

#ifndef Q_OS_WIN  // Windows has no file-size limit to stand in for a full disk
        rlimit previous{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = previous;
        limited.rlim_cur = 64 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        QString error;
        const bool copied = CopyFileAtomically(source, target, &error);
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!copied);
        QVERIFY(!error.isEmpty());
        QCOMPARE(ReadBytes(target), old);
        QCOMPARE(QDir(dir.Folder()).entryList(QDir::Files).size(), 2);  // no temporary left
#endif

        QVERIFY(CopyFileAtomically(target, dir.Folder() + "/./DNCAdmin.ini"));
        QCOMPARE(ReadBytes(target), old);
    }
};

KESTRUM_TEST(TestDncAdminExport)
#include "tst_export.moc"

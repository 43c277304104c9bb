// Client directories and their properties through the real widgets on a real DNC.mdb and
// real folders: adding from the tree, deleting, the pop-up menu, and the alias, mode and
// explore rules of the properties window.

#include "base/modal.h"
#include "base/settings.h"
#include "components/folder_view.h"
#include "setup/directories.h"
#include "setup/frmDirProps.h"
#include "setup/frmDirectories.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_main.h"
#include "tests/support/widget_probe.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>

namespace {

// MILL1 (current) and LATHE2 of one server; the folders "parts" and "Old = Parts" exist.
class Rig {
public:
    explicit Rig(const QByteArray& settings = {})
        : tmp({.settings = settings.isEmpty() ? std::nullopt : std::optional(settings)}) {
        AddServer("SRV1");
        AddClientMDB("MILL1", "SRV1");
        AddClientMDB("LATHE2", "SRV1");
        mill = GetClientID("MILL1").value_or(0);
        lathe = GetClientID("LATHE2").value_or(0);
        CurrentClientName = "MILL1";
        CurrentClientId = mill;
        QDir(tmp.Folder()).mkpath("parts");
        QDir(tmp.Folder()).mkpath("Old = Parts");
    }
    QString Stored(const QString& name) const { return WindowsPathText(tmp.FilePath(name)); }
    qint32 PutDir(qint32 client, const QString& path, const QString& alias = "", int mode = 3,
                  int explore = 0) const {
        tmp.Exec(
            "INSERT INTO t_client_directory (client_id, directory_direct, directory_alias, "
            "dir_mode, explore_from_here) VALUES (?, ?, ?, ?, ?)",
            {client, path, alias, mode, explore});
        return tmp.QueryValue("SELECT MAX(dir_id) FROM t_client_directory").toInt();
    }
    // Path, alias, mode and explore flag of a client's rows, oldest first.
    QStringList Rows(qint32 client) const {
        return tmp.TextRows(
            "SELECT directory_direct, directory_alias, dir_mode, explore_from_here "
            "FROM t_client_directory WHERE client_id = ? ORDER BY dir_id",
            {client});
    }

    TempInstallation tmp;
    qint32 mill = 0, lathe = 0;
};

struct DirWindow {
    DirWindow() { window.show(); }
    QListWidget* List() { return window.findChild<QListWidget*>("lstDir"); }
    void Click(const char* button) { window.findChild<QPushButton*>(button)->click(); }
    QStringList Texts() { return Entries(List()); }
    QString Selected() {
        const QList<QListWidgetItem*> items = List()->selectedItems();
        return items.isEmpty() ? QString() : items.first()->text();
    }
    void Press(int row, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(List()->viewport(), button, {},
                          List()->visualItemRect(List()->item(row)).center());
    }
    frmDirectories window;
};

// What the properties window starts with, what is done in it, and what is stored after.
struct PropsRow {
    QByteArray settings;  // "" for the default settings
    QString own, other;   // aliases; other "<lathe>" is LATHE2's
    int mode, explore, shownOption;
    bool shownExplore;
    QString typed;  // keys; "^..." pasted, "+..." pasted after; "-" unchecks the alias box; ""
                    // leaves it
    int clicked;    // the mode option clicked, -1 none
    const char* button;
    QString after;  // alias|mode|explore
    bool closed;
};

}  // namespace

Q_DECLARE_METATYPE(PropsRow)

class TestDirectories : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A folder of this computer is stored as Windows path text on C: and reads back.
    void windowsPathText() {
        Rig rig;
        for (const QString& name : {QStringLiteral("Old = Parts"), QStringLiteral("Ünïcode Dir")}) {
            QDir(rig.tmp.Folder()).mkpath(name);
            const QString local = QDir(rig.tmp.FilePath(name)).canonicalPath();
            const QString text = WindowsPathText(local);
            QVERIFY2(text.startsWith("C:\\") && !text.contains('/'), qPrintable(text));
            // On Windows the stored text is the native path itself.
            QCOMPARE(NativePath(text), QDir::toNativeSeparators(local));
            QCOMPARE(WindowsPathText(local + "/"), text);
#ifdef Q_OS_WIN
            QCOMPARE(ChooseDirectoryFolder(local + "/a\\b", false).path, text + "\\a\\b");
#else
            // A Linux name holding the separator of the stored text cannot be stored.
            QCOMPARE(ChooseDirectoryFolder(local + "/a\\b", false).path, QString());
#endif
        }
        QCOMPARE(WindowsPathText(QDir::rootPath()), QStringLiteral("C:\\"));
        QCOMPARE(NativePath("C:\\"), QDir::toNativeSeparators(QDir::rootPath()));
    }

    void add_data() {
        QTest::addColumn<QString>("pick");      // folder name, "<none>" or "<network>"
        QTest::addColumn<QString>("storedAs");  // a row before: "<upper>", "<lathe>" or ""
        QTest::addColumn<bool>("added");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* pick, const char* storedAs, bool added,
                            const char* message) {
            QTest::newRow(name) << QString(pick) << QString(storedAs) << added << QString(message);
        };
        row("new folder", "Old = Parts", "", true, "");
        row("in another letter case", "parts", "<upper>", false, "");
        row("of another client only", "parts", "<lathe>", true, "");
        row("highlighted by the tree itself", "<none>", "", false,
            "Select a folder in the tree first.");
        row("network", "<network>", "", false,
            "Only a folder of this computer can be a client directory, not a network entry.");
    }
    void add() {
        QFETCH(QString, pick);
        QFETCH(QString, storedAs);
        QFETCH(bool, added);
        Rig rig;
        if (!storedAs.isEmpty()) {
            rig.PutDir(storedAs == "<lathe>" ? rig.lathe : rig.mill,
                       storedAs == "<lathe>" ? rig.Stored(pick) : rig.Stored(pick).toUpper());
        }
        const QStringList before = rig.Rows(rig.mill);
        DirWindow w;
        FolderView* tree = w.window.findChild<FolderView*>("FolderView1");
        if (pick == "<none>") {
            // As the tree does when it gets the focus or the highlighted folder goes away.
            tree->Tree()->setCurrentIndex(tree->Model()->index(0, 0));
        } else {
            QVERIFY(tree->SelectFolder(pick == "<network>" ? "Network\\Entire Network"
                                                           : rig.tmp.FilePath(pick)));
        }
        MessageRecorder messages;
        w.Click("cmdAdd");
        QTEST(messages.Texts().join('\n'), "message");
        const QStringList expected =
            added ? before + QStringList{rig.Stored(pick) + "||3|0"} : before;
        QCOMPARE(rig.Rows(rig.mill), expected);
        QCOMPARE(w.List()->count(), expected.size());
        if (added || !storedAs.isEmpty()) {  // the new entry, or the folder's own, is selected
            QCOMPARE(w.Selected().toUpper(), rig.Stored(pick).toUpper());
        }
    }

    // Delete asks first; OK removes every row of the client with that path, whatever its
    // letter case, even when the path holds "= ". The right button pops the menu up for the
    // selected entry; Properties opens the window for that row, and never for a row that is gone.
    void removeAndProperties_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void removeAndProperties() {
        QFETCH(bool, confirm);
        Rig rig;
        const QString path = "C:\\DNC\\A = X";
        rig.PutDir(rig.mill, path, "OLD");
        rig.PutDir(rig.mill, path.toLower());
        const qint32 b = rig.PutDir(rig.mill, "C:\\DNC\\B");
        rig.PutDir(rig.lathe, path);
        const QStringList mill = rig.Rows(rig.mill);
        const QStringList lathe = rig.Rows(rig.lathe);
        DirWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        const QStringList texts = w.Texts();
        QCOMPARE(texts, QStringList({"OLD = C:\\DNC\\A = X", "c:\\dnc\\a = x", "C:\\DNC\\B"}));
        w.Press(2);
        w.Press(0, Qt::RightButton);
        auto* menu = w.window.findChild<QMenu*>("mnuDirectory");
        QVERIFY(QTest::qWaitFor([menu] { return menu->isVisible(); }));
        menu->close();
        QCOMPARE(w.Selected(), QStringLiteral("C:\\DNC\\B"));
        w.Press(0);
        MessageRecorder messages;
        messages.Answer(confirm ? MsgAnswer::Ok : MsgAnswer::Cancel);
        w.Click("cmdSub");
        QCOMPARE(messages.Texts(),
                 QStringList{"You are about to delete Dir \"OLD = C:\\DNC\\A = X\""});
        QCOMPARE(rig.Rows(rig.mill), confirm ? QStringList{mill.last()} : mill);
        QCOMPARE(rig.Rows(rig.lathe), lathe);
        QCOMPARE(w.Texts(), confirm ? QStringList{"C:\\DNC\\B"} : texts);
        // With nothing selected Delete asks nothing.
        w.List()->clearSelection();
        w.Click("cmdSub");
        QCOMPARE(messages.Count(), 1);
        w.Press(int(w.Texts().size()) - 1);
        QStringList shown;
        ModalHook previous = SetModalHook([&](QDialog& dialog) {
            shown << dialog.findChild<QGroupBox*>("fraAll")->title();
            return int(QDialog::Rejected);
        });
        auto* action = w.window.findChild<QAction*>("mnuDirProperties");
        action->trigger();
        rig.tmp.Exec("DELETE FROM t_client_directory WHERE dir_id = ?", {b});
        action->trigger();
        SetModalHook(previous);
        QCOMPARE(shown, QStringList{"C:\\DNC\\B"});
        QCOMPARE(messages.Count(), 2);
        QCOMPARE(w.Texts(), texts.mid(0, confirm ? 0 : 2));
    }

    // clang-format off
    // OK of the properties window: another directory's alias is refused (in any letter
    // case), the own alias stays, hidden alias controls leave it alone; the mode options
    // and explore box show and store the row's values. Cancel writes nothing.
    void props_data() {
        QTest::addColumn<PropsRow>("row");
        const auto row = [](const char* name, const PropsRow& r) { QTest::newRow(name) << r; };
        const QByteArray noAlias = "[ADMIN]\r\nUSEALIAS=false\r\n";
        row("own alias kept", {"", "TV1", "TV2", 3, 0, 2, false, "", -1, "cmdOK", "TV1|3|0", true});
        row("another's", {"", "", "TV2", 3, 0, 2, false, "TV2", -1, "cmdOK", "|3|0", false});
        row("another's in other case", {"", "", "NC5", 3, 0, 2, false, "nc5", -1, "cmdOK", "|3|0", false});
        row("another client's", {"", "", "<lathe>", 3, 0, 2, false, "NC5", -1, "cmdOK", "NC5|3|0", true});
        row("new", {"", "TV1", "TV2", 3, 0, 2, false, "NC5", -1, "cmdOK", "NC5|3|0", true});
        row("unchecked", {"", "TV1", "", 3, 0, 2, false, "-", -1, "cmdOK", "|3|0", true});
        row("USEALIAS false", {noAlias, "TV1", "", 3, 0, 2, false, "", -1, "cmdOK", "TV1|3|0", true});
        row("download", {"", "", "", 1, -1, 0, true, "", -1, "cmdOK", "|1|-1", true});
        row("changed to upload", {"", "", "", 3, 0, 2, false, "", 1, "cmdOK", "|2|0", true});
        row("mode 0 kept", {"", "", "", 0, 0, -1, false, "", -1, "cmdOK", "|0|0", true});
        row("mode 7 changed", {"", "", "", 7, 0, -1, false, "", 2, "cmdOK", "|3|0", true});
        row("explore stored as 1", {"", "", "", 2, 1, 1, true, "", -1, "cmdOK", "|2|-1", true});
        row("typed: upper case, no minus or blank", {"", "", "", 3, 0, 2, false, "a- b1", -1, "cmdOK", "AB1|3|0", true});
        row("typed: seven keys", {"", "", "", 3, 0, 2, false, "abcdefgh", -1, "cmdOK", "ABCDEFG|3|0", true});
        row("pasted", {"", "", "", 3, 0, 2, false, "^x y-z9", -1, "cmdOK", "XYZ9|3|0", true});
        row("pasted, too long", {"", "TV1", "", 3, 0, 2, false, "+ABCDEFGH", -1, "cmdOK", "TV1|3|0", true});
        row("cancel", {"", "TV1", "", 1, 0, 0, false, "-", 2, "cmdCancel", "TV1|1|0", true});
    }
    // clang-format on
    void props() {
        QFETCH(PropsRow, row);
        Rig rig(row.settings);
        const qint32 dir = rig.PutDir(rig.mill, "C:\\DNC\\A", row.own, row.mode, row.explore);
        if (row.other == "<lathe>") {
            rig.PutDir(rig.lathe, "C:\\DNC\\L", "NC5");
        } else {
            rig.PutDir(rig.mill, "C:\\DNC\\B", row.other);
        }
        MessageRecorder messages;
        frmDirProps props(dir);
        QVERIFY(props.Load());
        props.show();
        auto* check = props.findChild<QCheckBox*>("chkAlias");
        auto* combo = props.findChild<QComboBox*>("cboAlias");
        QCOMPARE(combo->isVisible(), row.settings.isEmpty());
        if (row.settings.isEmpty()) {
            QCOMPARE(combo->currentText(), row.own);
            QCOMPARE(combo->count(), 36);
        }
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(
                props.findChild<QRadioButton*>(QStringLiteral("Option1_%1").arg(i))->isChecked(),
                i == row.shownOption);
        }
        QCOMPARE(props.findChild<QCheckBox*>("chkExploreFromHere")->isChecked(), row.shownExplore);
        if (row.typed == "-" || (!row.typed.isEmpty() && !check->isChecked())) {
            check->click();
        }
        if (row.typed != "-" && !row.typed.isEmpty()) {
            if (!row.typed.startsWith('+')) {
                combo->lineEdit()->clear();
            }
            if (row.typed.startsWith('^') || row.typed.startsWith('+')) {
                combo->lineEdit()->insert(row.typed.mid(1));
            } else {
                QTest::keyClicks(combo->lineEdit(), row.typed);
            }
        }
        if (row.clicked >= 0) {
            props.findChild<QRadioButton*>(QStringLiteral("Option1_%1").arg(row.clicked))->click();
        }
        props.findChild<QPushButton*>(row.button)->click();
        QCOMPARE(props.isVisible(), !row.closed);
        if (!row.closed) {
            QCOMPARE(combo->currentText(), QString());
        }
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(rig.Rows(rig.mill).first().section('|', 1), row.after);
    }
};

KESTRUM_TEST(TestDirectories)
#include "tst_directories.moc"

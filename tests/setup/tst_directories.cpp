// Client directories and directory properties through their real widgets on a real
// DNC.mdb and real folders: adding from the tree, refusals, deleting, the pop-up menu, and
// the alias, mode and explore rules of the properties window.

#include "base/modal.h"
#include "base/settings.h"
#include "components/folder_view.h"
#include "db/dnc_database.h"
#include "setup/frmDirProps.h"
#include "setup/frmDirectories.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_main.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>

namespace {

// Two clients of one server; MILL1 is the current client. Folders "parts", "Old = Parts"
// and "deep/er" exist in the installation folder.
class Rig {
public:
    explicit Rig(const QByteArray& settings = QByteArray()) : tmp_(OptionsFor(settings)) {
        AddServer("SRV1");
        AddClientMDB("MILL1", "SRV1");
        AddClientMDB("LATHE2", "SRV1");
        mill_ = GetClientID("MILL1").value_or(0);
        lathe_ = GetClientID("LATHE2").value_or(0);
        CurrentClientName = "MILL1";
        CurrentClientId = mill_;
        for (const char* folder : {"parts", "Old = Parts", "deep/er"}) {
            QDir(tmp_.Folder()).mkpath(QString::fromLatin1(folder));
        }
    }

    QString Folder(const QString& name) const { return tmp_.FilePath(name); }
    QString Stored(const QString& name) const { return WindowsPathText(Folder(name)); }
    const TempInstallation& Tmp() const { return tmp_; }
    qint32 Mill() const { return mill_; }
    qint32 Lathe() const { return lathe_; }

    qint32 PutDir(qint32 client, const QString& path, const QString& alias = QString(),
                  int mode = 3, int explore = 0) const {
        tmp_.Exec(
            "INSERT INTO t_client_directory (client_id, directory_direct, "
            "directory_alias, dir_mode, explore_from_here) VALUES (?, ?, ?, ?, ?)",
            {client, path, alias.isNull() ? QStringLiteral("") : alias, mode, explore});
        return tmp_.QueryValue("SELECT MAX(dir_id) FROM t_client_directory").toInt();
    }
    // Path, alias, mode and explore flag of a client's rows, oldest first.
    QStringList Rows(qint32 client) const {
        return tmp_.TextRows(
            "SELECT directory_direct, directory_alias, dir_mode, explore_from_here "
            "FROM t_client_directory WHERE client_id = ? ORDER BY dir_id",
            {client});
    }

private:
    static TempInstallation::Options OptionsFor(const QByteArray& settings) {
        TempInstallation::Options options;
        if (!settings.isEmpty()) {
            options.settings = settings;
        }
        return options;
    }
    TempInstallation tmp_;
    qint32 mill_ = 0;
    qint32 lathe_ = 0;
};

class DirWindow {
public:
    DirWindow() : window_(std::make_unique<frmDirectories>()) {
        window_->show();
        ready_ = QTest::qWaitForWindowExposed(window_.get());
    }
    bool Ready() const { return ready_; }
    frmDirectories* Window() const { return window_.get(); }
    QListWidget* List() const { return window_->findChild<QListWidget*>("lstDir"); }
    FolderView* Tree() const { return window_->findChild<FolderView*>("FolderView1"); }
    void Click(const char* button) const { window_->findChild<QPushButton*>(button)->click(); }
    QStringList Texts() const {
        QStringList texts;
        for (int i = 0; i < List()->count(); ++i) {
            texts << List()->item(i)->text();
        }
        return texts;
    }
    QString Selected() const {
        const QList<QListWidgetItem*> items = List()->selectedItems();
        return items.isEmpty() ? QString() : items.first()->text();
    }
    void Select(int row) const {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                          List()->visualItemRect(List()->item(row)).center());
    }

private:
    std::unique_ptr<frmDirectories> window_;
    bool ready_ = false;
};

// Runs act on the properties window of the directory, shown as the real window would be.
void WithProps(qint32 dirId, const std::function<void(frmDirProps&)>& act) {
    frmDirProps props(dirId);
    QVERIFY(props.Load());
    props.show();
    act(props);
}

// The stored mode and explore flag, the option (-1 none) and box shown, the option clicked
// (-1 none), and dir_mode|explore_from_here after OK.
// The settings, the directory's own alias, another directory's ("<lathe>": LATHE2's), what
// is typed ("-" unchecks the box, "" leaves it), the alias stored, and whether OK closed.
struct AliasRow {
    QByteArray settings;
    QString own, other, typed, stored;
    bool closed;
};

struct ModeRow {
    int mode, explore, shownOption;
    bool shownExplore;
    int clicked;
    QString after;
};

}  // namespace

Q_DECLARE_METATYPE(AliasRow)
Q_DECLARE_METATYPE(ModeRow)

class TestDirectories : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A folder of this computer is stored as Windows path text on drive C: and reads back to
    // the same folder.
    void windowsPathTextRoundTrip_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"parts", "Old = Parts", "deep/er", "Ünïcode Dir"}) {
            QTest::newRow(name) << QString::fromUtf8(name);
        }
    }
    void windowsPathTextRoundTrip() {
        QFETCH(QString, name);
        Rig rig;
        QDir(rig.Tmp().Folder()).mkpath(name);
        const QString local = QDir(rig.Folder(name)).canonicalPath();
        const QString text = WindowsPathText(local);
        QVERIFY2(text.startsWith("C:\\") && !text.contains('/'), qPrintable(text));
        QCOMPARE(NativePath(text), local);
        QCOMPARE(WindowsPathText(local + "/"), text);
        QCOMPARE(WindowsPathText("/"), QStringLiteral("C:\\"));
        QCOMPARE(NativePath("C:\\"), QStringLiteral("/"));
    }

    // The caption, and one entry per directory with its alias; each entry knows its row.
    void opens() {
        Rig rig;
        const qint32 b = rig.PutDir(rig.Mill(), "C:\\DNC\\B");
        const qint32 a = rig.PutDir(rig.Mill(), "C:\\DNC\\A = X", "OLD");
        rig.PutDir(rig.Lathe(), "C:\\DNC\\LATHE");
        DirWindow w;
        QVERIFY(w.Ready());
        QCOMPARE(w.Window()->windowTitle(),
                 QStringLiteral("Client Directories - Client \"MILL1\""));
        QCOMPARE(w.Texts(), QStringList({"OLD = C:\\DNC\\A = X", "C:\\DNC\\B"}));
        QCOMPARE(w.Window()->ListedDirIds(), QList<qint32>({a, b}));
        QCOMPARE(w.List()->currentRow(), 0);
    }

    void add_data() {
        QTest::addColumn<QString>("pick");      // folder name, "<none>" or "<network>"
        QTest::addColumn<QString>("storedAs");  // a row of MILL1 before, "" for none
        QTest::addColumn<bool>("added");
        QTest::addColumn<QString>("message");
        const struct {
            const char *row, *pick, *storedAs;
            bool added;
            const char* message;
        } rows[] = {
            {"new folder", "Old = Parts", "", true, ""},
            {"in another letter case", "parts", "<upper>", false, ""},
            {"of another client only", "parts", "<lathe>", true, ""},
            {"nothing highlighted", "<none>", "", false, "Select a folder in the tree first."},
            {"network", "<network>", "", false,
             "Only a folder of this computer can be a client directory, not a network entry."}};
        for (const auto& r : rows) {
            QTest::newRow(r.row) << QString(r.pick) << QString(r.storedAs) << r.added
                                 << QString(r.message);
        }
    }
    void add() {
        QFETCH(QString, pick);
        QFETCH(QString, storedAs);
        QFETCH(bool, added);
        QFETCH(QString, message);
        Rig rig;
        if (storedAs == "<upper>") {
            rig.PutDir(rig.Mill(), rig.Stored(pick).toUpper());
        } else if (storedAs == "<lathe>") {
            rig.PutDir(rig.Lathe(), rig.Stored(pick));
        }
        const QStringList before = rig.Rows(rig.Mill());
        DirWindow w;
        QVERIFY(w.Ready());
        if (pick == "<none>") {
            w.Tree()->Tree()->selectionModel()->clear();
        } else if (pick == "<network>") {
            QVERIFY(w.Tree()->SelectFolder("Network\\Entire Network"));
        } else {
            QVERIFY(w.Tree()->SelectFolder(rig.Folder(pick)));
        }
        MessageRecorder messages;
        w.Click("cmdAdd");
        QCOMPARE(messages.Texts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty()) {
            QCOMPARE(messages.Last().icon, MsgIcon::Critical);
        }
        const QStringList expected =
            added ? before + QStringList{rig.Stored(pick) + "||3|0"} : before;
        QCOMPARE(rig.Rows(rig.Mill()), expected);
        QCOMPARE(w.List()->count(), expected.size());
        if (added || !storedAs.isEmpty()) {
            // The new entry, or the one the folder already has, is selected.
            QCOMPARE(w.Selected().toUpper(), rig.Stored(pick).toUpper());
        }
    }

    // Delete asks first; OK removes every row of the client with that path, whatever its
    // letter case, even when the path holds "= ".
    void remove_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void remove() {
        QFETCH(bool, confirm);
        Rig rig;
        const QString path = "C:\\DNC\\A = X";
        rig.PutDir(rig.Mill(), path, "OLD");
        rig.PutDir(rig.Mill(), path.toLower());
        rig.PutDir(rig.Mill(), "C:\\DNC\\B");
        rig.PutDir(rig.Lathe(), path);
        const QStringList mill = rig.Rows(rig.Mill());
        const QStringList lathe = rig.Rows(rig.Lathe());
        DirWindow w;
        QVERIFY(w.Ready());
        const QStringList texts = w.Texts();
        QCOMPARE(texts, QStringList({"OLD = C:\\DNC\\A = X", "c:\\dnc\\a = x", "C:\\DNC\\B"}));
        w.Select(0);
        MessageRecorder messages;
        messages.Answer(confirm ? MsgAnswer::Ok : MsgAnswer::Cancel);
        w.Click("cmdSub");
        QCOMPARE(messages.Texts(),
                 QStringList{"You are about to delete Dir \"OLD = C:\\DNC\\A = X\""});
        QCOMPARE(messages.Last().title, QStringLiteral("Warning! Delete Dir"));
        QCOMPARE(messages.Last().buttons, MsgButtons::OkCancel);
        QCOMPARE(rig.Rows(rig.Mill()), confirm ? QStringList{mill.last()} : mill);
        QCOMPARE(rig.Rows(rig.Lathe()), lathe);
        QCOMPARE(w.Texts(), confirm ? QStringList{"C:\\DNC\\B"} : texts);
        if (confirm) {
            QCOMPARE(w.Selected(), QString());
        }
        // With nothing selected Delete asks nothing.
        w.List()->clearSelection();
        w.Click("cmdSub");
        QCOMPARE(messages.Count(), 1);
    }

    // The right button pops the menu up for the selected entry; Properties opens the
    // window for that row, and never for a row that is gone.
    void properties() {
        Rig rig;
        rig.PutDir(rig.Mill(), "C:\\DNC\\A");
        const qint32 b = rig.PutDir(rig.Mill(), "C:\\DNC\\B");
        DirWindow w;
        QVERIFY(w.Ready());
        w.Select(1);
        QTest::mouseClick(w.List()->viewport(), Qt::RightButton, {},
                          w.List()->visualItemRect(w.List()->item(0)).center());
        auto* menu = w.Window()->findChild<QMenu*>("mnuDirectory");
        QVERIFY(QTest::qWaitFor([menu] { return menu->isVisible(); }));
        menu->close();
        QCOMPARE(w.Selected(), QStringLiteral("C:\\DNC\\B"));

        QString shownPath;
        ModalHook previous = SetModalHook([&](QDialog& dialog) {
            auto* props = qobject_cast<frmDirProps*>(&dialog);
            shownPath = props ? props->findChild<QGroupBox*>("fraAll")->title() : "?";
            return int(QDialog::Rejected);
        });
        MessageRecorder messages;
        auto* action = w.Window()->findChild<QAction*>("mnuDirProperties");
        action->trigger();
        QCOMPARE(shownPath, QStringLiteral("C:\\DNC\\B"));
        QCOMPARE(w.Selected(), QStringLiteral("C:\\DNC\\B"));

        shownPath.clear();
        rig.Tmp().Exec("DELETE FROM t_client_directory WHERE dir_id = ?", {b});
        action->trigger();
        SetModalHook(previous);
        QCOMPARE(shownPath, QString());
        QCOMPARE(messages.Count(), 1);
        QCOMPARE(w.Texts(), QStringList{"C:\\DNC\\A"});
    }

    void openDirectories() {
        Rig rig;
        QStringList titles;
        ModalHook previous = SetModalHook([&](QDialog& dialog) {
            titles << dialog.windowTitle();
            return int(QDialog::Rejected);
        });
        OpenDirectories(nullptr);
        CurrentClientName.clear();
        OpenDirectories(nullptr);
        SetModalHook(previous);
        QCOMPARE(titles, QStringList{"Client Directories - Client \"MILL1\""});
    }

    // The alias rules of OK: another directory's alias is refused (in any letter case), the
    // directory's own alias stays, and hidden alias controls leave the alias alone.
    void alias_data() {
        QTest::addColumn<AliasRow>("row");
        const auto row = [](const char* name, const AliasRow& r) { QTest::newRow(name) << r; };
        row("own alias kept", {"", "TV1", "TV2", "", "TV1", true});
        row("another directory's", {"", "", "TV2", "TV2", "", false});
        row("another's in other case", {"", "", "nc5", "NC5", "", false});
        row("another client's", {"", "", "<lathe>", "NC5", "NC5", true});
        row("new", {"", "TV1", "TV2", "NC5", "NC5", true});
        row("unchecked", {"", "TV1", "", "-", "", true});
        row("USEALIAS false", {"[ADMIN]\r\nUSEALIAS=false\r\n", "TV1", "", "", "TV1", true});
    }
    void alias() {
        QFETCH(AliasRow, row);
        const auto& [settings, own, other, typed, stored, closed] = row;
        Rig rig(settings);
        const qint32 dir = rig.PutDir(rig.Mill(), "C:\\DNC\\A", own);
        if (other == "<lathe>") {
            rig.PutDir(rig.Lathe(), "C:\\DNC\\L", "NC5");
        } else {
            rig.PutDir(rig.Mill(), "C:\\DNC\\B", other);
        }
        MessageRecorder messages;
        WithProps(dir, [&](frmDirProps& props) {
            auto* check = props.findChild<QCheckBox*>("chkAlias");
            auto* combo = props.findChild<QComboBox*>("cboAlias");
            QCOMPARE(check->isVisible(), settings.isEmpty());
            QCOMPARE(combo->isVisible(), settings.isEmpty());
            if (settings.isEmpty()) {
                QCOMPARE(combo->currentText(), own);
                QCOMPARE(combo->count(), 36);
            }
            if (typed == "-") {
                check->click();
            } else if (!typed.isEmpty()) {
                if (!check->isChecked()) {
                    check->click();
                }
                combo->setEditText(typed);
            }
            props.findChild<QPushButton*>("cmdOK")->click();
            QCOMPARE(props.isVisible(), !closed);
            if (!closed) {
                QCOMPARE(combo->currentText(), QString());
            }
        });
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(rig.Tmp()
                     .QueryValue("SELECT directory_alias FROM t_client_directory "
                                 "WHERE dir_id = ?",
                                 {dir})
                     .toString(),
                 stored);
    }

    // The mode options and the explore box as stored, and what OK writes.
    void modeAndExplore_data() {
        QTest::addColumn<ModeRow>("row");
        QTest::newRow("download") << ModeRow{1, -1, 0, true, -1, "1|-1"};
        QTest::newRow("both, changed to upload") << ModeRow{3, 0, 2, false, 1, "2|0"};
        QTest::newRow("mode 0 kept") << ModeRow{0, 0, -1, false, -1, "0|0"};
        QTest::newRow("mode 7 changed") << ModeRow{7, 0, -1, false, 2, "3|0"};
        QTest::newRow("explore stored as 1") << ModeRow{2, 1, 1, true, -1, "2|-1"};
    }
    void modeAndExplore() {
        QFETCH(ModeRow, row);
        const auto& [mode, explore, shownOption, shownExplore, clicked, after] = row;
        Rig rig;
        const qint32 dir = rig.PutDir(rig.Mill(), "C:\\DNC\\A", "", mode, explore);
        WithProps(dir, [&](frmDirProps& props) {
            for (int i = 0; i < 3; ++i) {
                auto* option = props.findChild<QRadioButton*>(QStringLiteral("Option1_%1").arg(i));
                QCOMPARE(option->isChecked(), i == shownOption);
            }
            if (clicked >= 0) {
                props.findChild<QRadioButton*>(QStringLiteral("Option1_%1").arg(clicked))->click();
            }
            QCOMPARE(props.findChild<QCheckBox*>("chkExploreFromHere")->isChecked(), shownExplore);
            props.findChild<QPushButton*>("cmdOK")->click();
        });
        QCOMPARE(rig.Rows(rig.Mill()).first().section('|', 2), after);
    }

    // Typed and pasted text obey the same alias rules.
    void aliasText_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("text");
        const char* const rows[][4] = {{"lower case", "ab1", "", "AB1"},
                                       {"minus and blank", "A- 1", "", "A1"},
                                       {"eighth key", "abcdefgh", "", "ABCDEFG"},
                                       {"pasted", "", "x y-z9", "XYZ9"},
                                       {"pasted, too long", "T", "ABCDEFGH", "T"}};
        for (const auto& r : rows) {
            QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]) << QString(r[3]);
        }
    }
    void aliasText() {
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, text);
        Rig rig;
        const qint32 dir = rig.PutDir(rig.Mill(), "C:\\DNC\\A");
        WithProps(dir, [&](frmDirProps& props) {
            props.findChild<QCheckBox*>("chkAlias")->click();
            QLineEdit* edit = props.findChild<QComboBox*>("cboAlias")->lineEdit();
            edit->clear();
            QTest::keyClicks(edit, typed);
            edit->insert(pasted);
            QCOMPARE(edit->text(), text);
        });
    }

    // Cancel writes nothing.
    void cancel() {
        Rig rig;
        const qint32 dir = rig.PutDir(rig.Mill(), "C:\\DNC\\A", "TV1", 1, 0);
        const QStringList before = rig.Rows(rig.Mill());
        WithProps(dir, [&](frmDirProps& props) {
            props.findChild<QRadioButton*>("Option1_2")->click();
            props.findChild<QCheckBox*>("chkAlias")->click();
            props.findChild<QCheckBox*>("chkExploreFromHere")->click();
            props.findChild<QPushButton*>("cmdCancel")->click();
        });
        QCOMPARE(rig.Rows(rig.Mill()), before);
    }
};

KESTRUM_TEST(TestDirectories)
#include "tst_directories.moc"

// Help on Kestrum, the help viewer and the About window.

#include "app/CHTMLHelp.h"
#include "app/frmAbout.h"
#include "app/frmHelpViewer.h"
#include "app/frmSetup.h"
#include "base/settings.h"
#include "tests/app/windows_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

const QString kShippedHelp = QStringLiteral(KESTRUM_SOURCE_DIR "/help/Kestrum.html");

frmHelpViewer* OpenViewer() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* viewer = qobject_cast<frmHelpViewer*>(widget); viewer && viewer->isVisible()) {
            return viewer;
        }
    }
    return nullptr;
}

}  // namespace

class TestHelp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() {
        // No viewer outlives its test.
        while (frmHelpViewer* viewer = OpenViewer()) {
            viewer->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A missing help file is named. The shipped one opens in the viewer (found under its
    // upper-cased settings name), a second command reuses it, and closing the main window
    // closes it.
    void helpFileAndViewer() {
        auto installation = MakeInstallation(nullptr);
        HelpFileNames = QStringList{QStringLiteral("KESTRUM.HTML")};
        MessageRecorder messages;
        auto* window = new frmSetup;
        window->show();
        Child<QAction>(window, "mnuKestrum")->trigger();
        const QString file = installation->FilePath(QStringLiteral("KESTRUM.HTML"));
        QCOMPARE(messages.Texts(), QStringList{"Help File '" + file + "' not found."});
        QVERIFY(!OpenViewer());
        QCOMPARE(window->Help()->HelpWindow(), quintptr(0));

        QVERIFY(QFile::copy(kShippedHelp, installation->FilePath(QStringLiteral("Kestrum.html"))));
        messages.Clear();
        Child<QAction>(window, "mnuKestrum")->trigger();
        QCOMPARE(messages.Count(), 0);
        QPointer<frmHelpViewer> viewer = OpenViewer();
        QVERIFY(viewer);
        QCOMPARE(window->Help()->HelpWindow(), reinterpret_cast<quintptr>(viewer.data()));
        QCOMPARE(Child<QTabWidget>(viewer, "tabPages")->currentIndex(), 0);
        QVERIFY(Child<QTreeWidget>(viewer, "treContents")->topLevelItemCount() > 0);
        Child<QAction>(window, "mnuKestrum")->trigger();
        QCOMPARE(OpenViewer(), viewer.data());

        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!viewer);
        QCOMPARE(window->Help(), nullptr);
        delete window;
    }

    // Without a registry there is no system information tool to start.
    void aboutWindow() {
        auto installation = MakeInstallation(nullptr);
        QStringList started;
        const ProgramStarter previous =
            SetProgramStarter([&](const QString& p, const QStringList&) {
                started << p;
                return true;
            });
        MessageRecorder messages;
        frmAbout window;
        Child<QPushButton>(&window, "cmdSysInfo")->click();
        SetProgramStarter(previous);
        QCOMPARE(messages.Texts(), QStringList{"System Information Is Unavailable At This Time"});
        QCOMPARE(started, QStringList());
    }
};

KESTRUM_TEST(TestHelp)
#include "tst_windows_help.moc"

// The Change log window: newest first, the client filter, and the CSV it saves.

#include "base/modal.h"
#include "changelog/frmChangeLog.h"
#include "changelog_rig.h"
#include "tests/support/test_main.h"

#include <QComboBox>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

class TestChangeLogWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newestFirstFilteredAndSaved() {
        LogRig rig;
        for (const int client : {1, 2, 1}) {  // LATHE1, LATHE2, LATHE1
            const ActionScope action(QStringLiteral("Port Setup"));
            UpdateRecordsMDB("t_client_mode", "client_id", SqlValue::Number(client), "m_baud",
                             SqlValue::Number(1200 + rig.ticks));
        }
        frmChangeLog window;
        window.show();
        auto* list = window.findChild<QTreeWidget*>("lstEntries");
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("2026-12-07T08:02:00.000Z"));
        QCOMPARE(list->topLevelItem(2)->text(0), QStringLiteral("2026-12-07T08:00:00.000Z"));
        QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("Port Setup"));

        window.findChild<QComboBox*>("cboClient")->setCurrentText("LATHE2");
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(5), QStringLiteral("LATHE2"));
        QCOMPARE(list->topLevelItem(0)->text(8), QStringLiteral("m_baud: 9600 -> 1201"));

        QTemporaryDir folder;
        const QString path = folder.filePath("log.csv");
        const ModalHook previous = SetModalHook([&](QDialog& dialog) {
            qobject_cast<QFileDialog*>(&dialog)->selectFile(path);
            return int(QDialog::Accepted);
        });
        window.findChild<QPushButton*>("cmdSave")->click();
        SetModalHook(previous);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = saved.readAll().split('\n');
        QCOMPARE(lines.size(), 3);  // header, one entry, and the end
        QVERIFY(lines.at(1).startsWith("2026-12-07T08:01:00.000Z,CNCSRV1,"));
        QVERIFY(lines.at(1).contains(",LATHE2,m_baud: 9600 -> 1201\r"));
    }
};

KESTRUM_TEST(TestChangeLogWindow)
#include "tst_window.moc"

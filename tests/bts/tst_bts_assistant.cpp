// The Bluetooth settings assistant with fakes behind the program-start and window seams.

#include "bts/frmConfigureBaud.h"
#include "tests/bts/bts_window_rig.h"
#include "tests/support/test_main.h"

#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

class TestBtsAssistant : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void outsideWindowSeams_data() {
        QTest::addColumn<int>("appearsAt");  // look-up at which the window is first there; 0 never
        QTest::addColumn<int>("closesAfter");  // prompts until it is gone; -1 never
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<qint64>("elapsed");  // clock time the guide took
        const QString prompt = "Close the 'COMReConnect' application!";
        QTest::newRow("at once, closes after a prompt") << 1 << 1 << QStringList{prompt} << 1100ll;
        QTest::newRow("late, closes after two") << 4 << 2 << QStringList{prompt, prompt} << 2400ll;
        QTest::newRow("never appears")
            << 0 << 0 << QStringList{"Unable to start COMReConnect!"} << 1000ll;
        QTest::newRow("never closes") << 1 << -1 << QStringList(3, prompt) << 2100ll;
    }

    void outsideWindowSeams() {
        QFETCH(int, appearsAt);
        QFETCH(int, closesAfter);
        BtsWindowRig rig;
        int prompts = 0;
        rig.windows = [&](const QString& title) {
            const bool there = appearsAt > 0 && rig.lookUps >= appearsAt &&
                               (closesAfter < 0 || prompts < closesAfter);
            return title == QLatin1String("COMReConnect") && there ? quintptr(7) : quintptr(0);
        };
        frmBTS& w = rig.Open();
        QStringList seen;
        AnswerWindows("cmdOK", QString(), &seen);
        QStringList shown;
        // Retry twice, then Cancel: an outside window that stays never holds the operator.
        SetMessageHandler([&](const MessageRequest& r) {
            shown << r.text;
            if (r.buttons != MsgButtons::RetryCancel) {
                return MsgAnswer::Ok;
            }
            return ++prompts >= 3 ? MsgAnswer::Cancel : MsgAnswer::Retry;
        });
        const qint64 start = rig.clock.NowMs();
        rig.Child<QAction>("mnuReconnect")->trigger();
        const qint64 took = rig.clock.NowMs() - start;
        SetMessageHandler({});
        QCOMPARE(rig.started, QStringList{"comreconnect"});
        QTEST(shown, "texts");
        QCOMPARE(seen, appearsAt > 0 ? QStringList{"frmInstructions"} : QStringList());
        QTEST(took, "elapsed");
        QVERIFY(!w.Busy());
    }

    void assistantStoresOnlyForConfiguredClient() {
        BtsWindowRig rig;
        rig.lines.AddLoopback(12);
        rig.windows = [](const QString& title) {
            return title == QLatin1String("Bluetooth Settings") ? quintptr(1) : quintptr(0);
        };
        frmBTS& w = rig.Open();
        QStringList seen;
        AnswerWindows("cmdOK", QStringLiteral("COM 12"), &seen);
        const QVariantList before = rig.BtsRow("LATHE1");
        // Started from the menu with no adapter configured for this client since the window
        // opened: the address in hand is not this client's, so nothing is stored.
        w.Protocol().msBTSAddress = QStringLiteral("0012-6F-999999");
        w.Protocol().msBTSAddressPart = QStringLiteral("999999");
        rig.messages.Answer({MsgAnswer::Ok, MsgAnswer::Cancel});
        rig.Child<QAction>("mnuBTSMan")->trigger();
        QCOMPARE(seen, (QStringList{"frmInstructions", "frmBTSMan", "frmInstructions"}));
        QCOMPARE(rig.BtsRow("LATHE1"), before);
        QVERIFY(rig.installation.ReadFile("BTSLog.txt").isEmpty());
        QCOMPARE(rig.messages.Count(), 2);
        QVERIFY(
            rig.messages.Texts().at(0).startsWith("No adapter was configured for client LATHE1"));
    }

    void cancelledInstructionsStoreNothing() {
        BtsWindowRig rig;
        rig.windows = [](const QString& title) { return quintptr(title == "Bluetooth Settings"); };
        rig.Open();
        QStringList seen;
        AnswerWindows("cmdCancel", QString(), &seen);
        const QVariantList before = rig.BtsRow("LATHE1");
        rig.messages.Answer(MsgAnswer::Cancel);
        rig.Child<QPushButton>("cmdModeSet")->click();
        QCOMPARE(seen, QStringList{"frmInstructions"});
        QCOMPARE(rig.messages.Texts(), QStringList{"Close the Bluetooth Settings application"});
        QCOMPARE(rig.BtsRow("LATHE1"), before);
        QVERIFY(rig.installation.ReadFile("BTSLog.txt").isEmpty());
    }

    void pairingWindowPortFaults() {
        BtsWindowRig rig;
        rig.lines.AddLoopback(7);
        rig.lines.AddLoopback(9);
        rig.lines.Port(9).refuseOpen = true;
        BtsAssistantFields fields;
        fields.msBTSAddress = QStringLiteral("0012-6F-3A1B2C");
        fields.msBTSAddressPart = QStringLiteral("3A1B2C");
        fields.msPinNumber = QStringLiteral("24681357");
        frmBTSMan window(fields);
        auto* ports = window.findChild<QComboBox*>("cboPorts1");
        auto* pin = window.findChild<QLineEdit*>("txtPin");
        // DONE before a port: refused, the window stays.
        window.findChild<QPushButton*>("Command1")->click();
        QCOMPARE(rig.messages.Texts(), QStringList{"Select the assigned COM port"});
        // A port that does not open: back to "NO COM SELECTED", handled once.
        Choose(ports, "COM 7");
        QVERIFY(pin->isEnabled());
        rig.messages.Clear();
        Choose(ports, "COM 9");
        QCOMPARE(rig.messages.Texts(),
                 (QStringList{"Comm Error COM9 didn't open", "COM9 failed to open"}));
        QCOMPARE(ports->currentText(), QStringLiteral("NO COM SELECTED"));
        QVERIFY(!pin->isEnabled());
        // The port chosen before will not close: said once, not handled again.
        Choose(ports, "COM 7");
        window.findChild<SaxComm*>("SaxComm2")->SetPortOpen(true);
        rig.lines.Port(7).stuckOpen = true;
        rig.messages.Clear();
        Choose(ports, "COM 12");
        QCOMPARE(rig.messages.Texts(), QStringList{"Com Error COM7 stuck open."});
        QCOMPARE(ports->currentText(), QStringLiteral("NO COM SELECTED"));
        rig.lines.Port(7).stuckOpen = false;
    }

    void startBaudWindow_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        const char* const rows[][5] = {{"0 is 1200", "0", "opt1200", "opt4800", "2"},
                                       {"missing is 9600", "", "opt9600", "opt1200", "0"},
                                       {"out of range is 9600", "6", "opt9600", "opt9600", "3"}};
        for (const auto& r : rows) {
            QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]) << QString(r[3]) << QString(r[4]);
        }
    }

    void startBaudWindow() {
        QFETCH(QString, stored);
        QFETCH(QString, option);
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        TempInstallation installation(
            BtsWindowInstallation("BTSCONFIGBAUD=" + stored.toLatin1() + "\r\n"));
        frmConfigureBaud window;
        QVERIFY(window.findChild<QRadioButton*>(option)->isChecked());
        window.findChild<QRadioButton*>(chosen)->click();
        window.reject();
        QCOMPARE(ReadIniValue(SettingsFileName, "BTS", "BTSCONFIGBAUD", "x"), written);
        QCOMPARE(BtsConfigBaud, qint16(written.toInt()));
    }

    void commandLineSplitting() {
        QTemporaryDir dir;
        const QString withBlank = dir.filePath("Bluetooth Settings.sh");
        QVERIFY(QFile(withBlank).open(QIODevice::WriteOnly));
        QCOMPARE(SplitStartCommand(withBlank), QStringList{withBlank});
        QCOMPARE(SplitStartCommand("  blueman-manager --title \"Bluetooth Settings\" "),
                 (QStringList{"blueman-manager", "--title", "Bluetooth Settings"}));
        QVERIFY(SplitStartCommand("  ").isEmpty());
        QVERIFY(!StartCommandLine(QString()));
    }
};

KESTRUM_TEST(TestBtsAssistant)
#include "tst_bts_assistant.moc"

#pragma once
// The BTS window on server CNCSRV1 with clients LATHE1 (BTS on, 9600,N,8,1 on COM3) and MILL2,
// the adapter bench, and fakes behind the program-start and window seams.

#include "base/modal.h"
#include "bts/bts_pin.h"
#include "bts/frmBTS.h"
#include "bts/frmBTSMan.h"
#include "bts/frmInstructions.h"
#include "db/dnc_database.h"
#include "tests/bts/bts_rig.h"
#include "tests/support/widget_probe.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

inline TempInstallation::Options BtsWindowInstallation(const QByteArray& extraBts = {}) {
    return {.settings = "[BTS]\r\nBTSCOM=COM5\r\nBTSMANMENU=TRUE\r\n" + extraBts};
}

struct BtsWindowRig : AdapterBench {
    QStringList started;  // command lines handed to the program starter
    int lookUps = 0;      // window look-ups so far
    std::function<quintptr(const QString&)> windows = [](const QString&) { return quintptr(0); };
    std::unique_ptr<frmBTS> window;

    explicit BtsWindowRig(const QByteArray& extraBts = {})
        : AdapterBench(BtsWindowInstallation(extraBts)) {
        BtManagerPath = QStringLiteral("bluetooth-settings");
        BtsReconnectPath = QStringLiteral("comreconnect");
        SetProgramStarter([this](const QString& program, const QStringList& arguments) {
            started << (QStringList{program} + arguments).join(QLatin1Char(' '));
            return true;
        });
        SetWindowFinder([this](const QString& title) {
            ++lookUps;
            return windows(title);
        });
        AddServer(QStringLiteral("CNCSRV1"));
        AddClientMDB(QStringLiteral("LATHE1"), QStringLiteral("CNCSRV1"));
        AddClientMDB(QStringLiteral("MILL2"), QStringLiteral("CNCSRV1"));
        installation.Exec(
            "UPDATE t_dnc_server_clients SET bts_used = -1 WHERE client_name = 'LATHE1'");
        installation.Exec(
            "UPDATE t_client_mode SET m_baud = 9600, m_parity = 'N', m_databits = 8, "
            "m_stopbits = 1, cnc_comport = 3");
    }

    ~BtsWindowRig() {
        window.reset();
        SetProgramStarter({});
        SetWindowFinder({});
        SetModalHook({});
    }

    frmBTS& Open() {
        window = std::make_unique<frmBTS>();
        QObject::connect(&window->Protocol(), &BtsProtocol::StatusTextChanged,
                         [this](const QString& text) { statuses << text; });
        return *window;
    }

    template <class T>
    T* Child(const char* name) const {
        return ::Child<T>(window.get(), name);
    }

    // Chooses an entry of cboPorts as the operator does (then presses the button).
    void Choose(const QString& entry) { ::Choose(window.get(), "cboPorts", entry); }
    void Run(const QString& entry) {
        Choose(entry);
        Child<QPushButton>("cmdModeSet")->click();
    }

    // Every BTS column of a client, for comparing before and after.
    QVariantList BtsRow(const QString& client) const {
        return installation
            .Query(
                "SELECT c.bts_used, c.bts_eobdelay, c.bts_loop, c.bts_latency, c.bts_address, "
                "c.bts_pin, m.cnc_comport FROM t_dnc_server_clients c JOIN t_client_mode m ON "
                "m.client_id = c.client_id WHERE c.client_name = ?",
                {client})
            .value(0);
    }

    QString Label(const char* name) const { return Child<QLabel>(name)->text(); }
};

// Answers every instruction window with the given button and, in the pairing window,
// chooses the port and presses DONE. The names of the windows opened go to seen.
inline void AnswerWindows(const char* instructionButton, const QString& port, QStringList* seen) {
    SetModalHook([=](QDialog& dialog) {
        *seen << dialog.objectName();
        if (qobject_cast<frmInstructions*>(&dialog)) {
            dialog.findChild<QPushButton*>(QLatin1String(instructionButton))->click();
        } else if (qobject_cast<frmBTSMan*>(&dialog)) {
            Choose(&dialog, "cboPorts1", port);
            Child<QPushButton>(&dialog, "Command1")->click();
        }
        return dialog.result();
    });
}

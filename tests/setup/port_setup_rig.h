#pragma once
// Port setup on a temporary installation: this computer CNCSRV1 serves MILL1 (the one
// edited) and LATHE2; OTHERSRV serves DRILL3.

#include "base/settings.h"
#include "db/client_attributes.h"
#include "setup/frmPortSetup.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/widget_probe.h"

#include <QPushButton>
#include <QTest>

inline TempInstallation::Options PortSetupOptions(bool protocols) {
    TempInstallation::Options options;
    options.settings = "[HELP]\r\nHELPFILENAME=Kestrum.html\r\n[ADMIN]\r\nUSEID=true\r\n";
    if (protocols) {
        *options.settings +=
            "[PROTOCOLs]\r\nSTANDARD=True\r\nBTR=True\r\nSHOP=True\r\nLINE=True\r\n"
            "REMOTE=True\r\nMAZATROL=True\r\n";
    }
    return options;
}

class PortSetupRig {
public:
    explicit PortSetupRig(bool protocols = true) : db(PortSetupOptions(protocols)) {
        AddServer("CNCSRV1");
        AddServer("OTHERSRV");
        valid_ = db.IsValid() && AddClientMDB("MILL1", "CNCSRV1") &&
                 AddClientMDB("LATHE2", "CNCSRV1") && AddClientMDB("DRILL3", "OTHERSRV");
        mill = GetClientID("MILL1").value_or(0);
    }
    ~PortSetupRig() { window_.reset(); }

    void SetMode(const QString& column, const QVariant& value) const {
        db.Exec("UPDATE t_client_mode SET " + column + " = ? WHERE client_id = ?", {value, mill});
    }
    void SetClient(const QString& column, const QVariant& value) const {
        db.Exec("UPDATE t_dnc_server_clients SET " + column + " = ? WHERE client_id = ?",
                {value, mill});
    }
    QVariant Column(const QString& column, const QString& table = "t_dnc_server_clients") const {
        return db.QueryValue("SELECT " + column + " FROM " + table + " WHERE client_id = ?",
                             {mill});
    }
    // Every row of the tables port setup may write, for comparing before and after.
    QString Snapshot() const {
        QString text;
        for (const char* table : {"t_dnc_server_clients", "t_client_mode", "t_client_terminal_mode",
                                  "t_shopterm_clients", "t_remote", "t_timeout_table_down"}) {
            const QString sql = QStringLiteral("SELECT * FROM %1 ORDER BY %2");
            text += db.TextRows(sql.arg(table, db.RowOrder(table)), {}, "NULL").join('\n') + '\n';
        }
        return text;
    }

    // Opens the window as OpenPortSetup does, but not modally; null when that fails.
    frmPortSetup* Open(const QString& client = QStringLiteral("MILL1")) {
        CurrentClientName = client;
        CurrentClientMode = ClientModeRecord();
        if (!valid_ || !ReadCurrentClientIds()) {
            return nullptr;
        }
        window_ = std::make_unique<frmPortSetup>();
        window_->show();
        return window_.get();
    }
    frmPortSetup* Window() const { return window_.get(); }
    void Close() { window_.reset(); }

    QComboBox* Combo(const char* name) const { return Child<QComboBox>(Window(), name); }
    QPushButton* Button(const char* name) const { return Child<QPushButton>(Window(), name); }
    void Click(const char* name) const { QTest::mouseClick(Button(name), Qt::LeftButton); }
    // The shown text of a list, "" without a selection.
    QString Shown(const char* name) const {
        return Combo(name)->currentIndex() < 0 ? QString() : Combo(name)->currentText();
    }
    QStringList Entries(const char* name) const { return ::Entries(Combo(name)); }
    QString Tip(int index) const {
        return Combo("cboPorts")->itemData(index, Qt::ToolTipRole).toString();
    }
    // Chooses an entry by its text; "" clears the selection.
    void Choose(const char* name, const QString& text) const { ::Choose(Combo(name), text); }

    TempInstallation db;
    int mill = 0;

private:
    bool valid_ = false;
    std::unique_ptr<frmPortSetup> window_;
};

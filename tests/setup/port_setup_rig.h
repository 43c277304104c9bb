#pragma once
// Port setup opened on a temporary installation: this computer CNCSRV1 is a DNC server with
// the clients MILL1 (the one edited) and LATHE2, and OTHERSRV has DRILL3.

#include "base/settings.h"
#include "db/client_attributes.h"
#include "db/dnc_database.h"
#include "setup/frmPortSetup.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

inline QByteArray PortSetupSettings(bool protocols = true) {
    QByteArray text = "[HELP]\r\nHELPFILENAME=Kestrum.html\r\n[ADMIN]\r\nUSEID=true\r\n";
    if (protocols) {
        text +=
            "[PROTOCOLs]\r\nSTANDARD=True\r\nBTR=True\r\nSHOP=True\r\nLINE=True\r\n"
            "REMOTE=True\r\nMAZATROL=True\r\n";
    }
    return text;
}

inline TempInstallation::Options PortSetupOptions(bool protocols = true) {
    TempInstallation::Options options;
    options.settings = PortSetupSettings(protocols);
    return options;
}

class PortSetupRig {
public:
    explicit PortSetupRig(bool protocols = true) : installation_(PortSetupOptions(protocols)) {
        AddServer(QStringLiteral("CNCSRV1"));
        AddServer(QStringLiteral("OTHERSRV"));
        valid_ = installation_.IsValid() && AddClientMDB(QStringLiteral("MILL1"), "CNCSRV1") &&
                 AddClientMDB(QStringLiteral("LATHE2"), "CNCSRV1") &&
                 AddClientMDB(QStringLiteral("DRILL3"), "OTHERSRV");
        millId_ =
            Value("SELECT client_id FROM t_dnc_server_clients WHERE client_name='MILL1'").toInt();
    }
    ~PortSetupRig() { window_.reset(); }

    bool IsValid() const { return valid_; }
    const TempInstallation& Installation() const { return installation_; }
    int MillId() const { return millId_; }

    // Stores values for MILL1 before the window opens.
    void SetMode(const QString& column, const QVariant& value) const {
        installation_.Exec("UPDATE t_client_mode SET " + column + " = ? WHERE client_id = ?",
                           {value, millId_});
    }
    void SetClient(const QString& column, const QVariant& value) const {
        installation_.Exec("UPDATE t_dnc_server_clients SET " + column + " = ? WHERE client_id = ?",
                           {value, millId_});
    }
    // MILL1's value of a column.
    QVariant ClientColumn(const QString& column) const {
        return Value("SELECT " + column + " FROM t_dnc_server_clients WHERE client_id = ?",
                     {millId_});
    }
    QVariant ModeColumn(const QString& column) const {
        return Value("SELECT " + column + " FROM t_client_mode WHERE client_id = ?", {millId_});
    }
    QVariant Value(const QString& sql, const QVariantList& bind = {}) const {
        return installation_.QueryValue(sql, bind);
    }
    // Every row of the tables port setup may write, as text: compared before and after.
    QString Snapshot() const {
        QString text;
        for (const char* table : {"t_dnc_server_clients", "t_client_mode", "t_client_terminal_mode",
                                  "t_shopterm_clients", "t_remote", "t_timeout_table_down"}) {
            text += QLatin1String(table) + QLatin1Char('\n') +
                    installation_.TextRows(QStringLiteral("SELECT * FROM ") + table, {}, "NULL")
                        .join(QLatin1Char('\n')) +
                    QLatin1Char('\n');
        }
        return text;
    }

    // Opens the window for MILL1 as OpenPortSetup does, but not modally.
    // Null when the installation could not be made.
    frmPortSetup* Open(const QString& client = QStringLiteral("MILL1")) {
        if (!valid_) {
            return nullptr;
        }
        CurrentClientName = client;
        CurrentClientMode = ClientModeRecord();
        if (!ReadCurrentClientIds()) {
            return nullptr;
        }
        window_ = std::make_unique<frmPortSetup>();
        window_->show();
        return window_.get();
    }
    frmPortSetup* Window() const { return window_.get(); }
    void Close() { window_.reset(); }

    QComboBox* Combo(const char* name) const { return window_->findChild<QComboBox*>(name); }
    QPushButton* Button(const char* name) const { return window_->findChild<QPushButton*>(name); }
    void Click(const char* name) const { QTest::mouseClick(Button(name), Qt::LeftButton); }
    // The shown text of a list, "" when it has no selection.
    QString Shown(const char* name) const {
        QComboBox* box = Combo(name);
        return box->currentIndex() < 0 ? QString() : box->currentText();
    }
    QStringList Entries(const char* name) const {
        QStringList entries;
        for (int i = 0; i < Combo(name)->count(); ++i) {
            entries << Combo(name)->itemText(i);
        }
        return entries;
    }
    void RefreshTips() const { window_->RefreshPortTips(); }
    QString Tip(int index) const {
        return Combo("cboPorts")->itemData(index, Qt::ToolTipRole).toString();
    }
    // Chooses an entry by its text; "" clears the selection.
    void Choose(const char* name, const QString& text) const {
        Combo(name)->setCurrentIndex(text.isEmpty() ? -1 : Combo(name)->findText(text));
    }

private:
    TempInstallation installation_;
    bool valid_ = false;
    int millId_ = 0;
    std::unique_ptr<frmPortSetup> window_;
};

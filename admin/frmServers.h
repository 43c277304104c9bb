#pragma once
// DNC server administration: the list of DNC servers in the configuration database.
// Servers are added from the network browser or by typing a name, and removed from the
// list; every change is written to the database at once.

#include <QDialog>

#include <memory>

namespace Ui {
class frmServers;
}
struct ShellFolder;

class frmServers : public QDialog {
    Q_OBJECT
public:
    explicit frmServers(QWidget* parent = nullptr);
    ~frmServers() override;

    // The computer name in a display name: the text inside the first "(" and the ")" after
    // it ("ACCOUNTS (CNCSRV2)" gives CNCSRV2), everything after "(" when no ")" follows,
    // otherwise the text as it is.
    static QString ExtractServerName(const QString& displayName);

    // Appends name to the list unless an entry is exactly equal; returns whether it did.
    bool AddServerToList(const QString& name);

    bool ManualEntryActive() const { return manualEntryActive_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void cmdAdd_Click();
    void cmdSub_Click();
    void FolderView1_MouseDown(int button);
    void FolderView1_BeforeChange(const ShellFolder& folder, bool* allow);
    void AcceptManualEntry();
    void CloseManualEntry();

    std::unique_ptr<Ui::frmServers> ui_;
    bool manualEntryActive_ = false;
};

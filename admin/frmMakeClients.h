#pragma once
// DNC Client administration: the clients of one DNC server. Clients are added, deleted and
// renamed here, each change written at once; the pop-up menu of the list opens the port
// setup and the directories of one client.

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class frmMakeClients;
}
class ClockTimer;
class QAction;
class QMenu;

class frmMakeClients : public QDialog {
    Q_OBJECT
public:
    explicit frmMakeClients(QWidget* parent = nullptr);
    ~frmMakeClients() override;

    // Open a window on the current client (CurrentClientName, CurrentClientId,
    // CurrentServerId and CurrentClientMode are set). Set by the program; while empty the
    // menu items open nothing.
    using ClientWindowOpener = std::function<void(QWidget* parent)>;
    static ClientWindowOpener OpenPortSetup;
    static ClientWindowOpener OpenDirectories;

    // Selects the client in the list (the window opened on its server): another window
    // opens this one on a client it names. False when the list does not hold it.
    bool ShowClient(const QString& name);

    bool EditNameActive() const { return editNameActive_; }
    QMenu* ClientMenu() const { return mnuClient_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void cboServers_Click();
    void FillClients();
    void CopyEntryToName(const QString& entry);
    void cmdAdd_Click();
    void cmdSub_Click();
    // Sets the current client from the selected entry; false (after saying so) when there
    // is no selection or the client is no longer in the database.
    bool SelectCurrentClient();
    // False, with a message and the lists read again, when another administrator deleted or
    // renamed the client since the list was filled.
    bool ClientStillThere(const QString& name);
    void mnuClientProperties_Click();
    void mnuDirectories_Click();
    void tmrDirectory_Timer();
    void mnuClientEdit_Click();
    void AcceptRename();
    void ShowRenaming(bool renaming);
    void EndRenaming();

    std::unique_ptr<Ui::frmMakeClients> ui_;
    QMenu* mnuClient_ = nullptr;
    QAction* mnuDirectories_ = nullptr;
    QAction* mnuClientProperties_ = nullptr;
    QAction* mnuClientEdit_ = nullptr;
    ClockTimer* tmrDirectory_ = nullptr;
    bool editNameActive_ = false;
    QString editOldName_;
};

#pragma once
// Export Clients to DNCAdmin: the move window's two server and client lists, and the export
// of the left server's clients to DNCAdmin.ini, which is then copied into the server's folder.

#include <QDialog>

#include <array>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

// The whole export of these clients (left list order): DNCAdmin.ini written in the program
// folder, then the folder-selection window that copies it into the server's folder. The
// window opens only when the file was written. Returns whether it was written.
bool ExportClientsAndPlace(const QStringList& clientNames);

// Hands the export to the move window's right-button export.
void InstallClientExport();

class frmExportClients : public QDialog {
    Q_OBJECT
public:
    explicit frmExportClients(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ServerChosen(int side);
    void RefreshClientLists();
    void Move(int fromSide, int toSide);
    void cmdExport_Click();

    std::array<QComboBox*, 2> cboServers1_{};
    std::array<QListWidget*, 2> lstClients1_{};
    QPushButton* cmdAdd_;
    QPushButton* cmdSub_;
    QLabel* Label1_;
    QLabel* lblServers_;
    QPushButton* cmdExport_;
    QPushButton* cmdCancel_;
};

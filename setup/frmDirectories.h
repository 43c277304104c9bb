#pragma once
// Client directories: the folders through which the current client sends and receives
// part programs. Folders are picked in the tree and added, removed from the list, and their
// properties opened from the list's pop-up menu. Every change is written at once.

#include <QDialog>

class FolderView;
class QAction;
class QListWidget;
class QMenu;
class QPushButton;

class frmDirectories : public QDialog {
    Q_OBJECT
public:
    explicit frmDirectories(QWidget* parent = nullptr);
    ~frmDirectories() override;

    // The dir_id of each list entry, in list order.
    QList<qint32> ListedDirIds() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RefreshList(qint32 selectDirId);
    qint32 SelectedDirId() const;
    void cmdAdd_Click();
    void cmdSub_Click();
    void mnuDirProperties_Click();

    FolderView* FolderView1_;
    QListWidget* lstDir_;
    QPushButton* cmdAdd_;
    QPushButton* cmdSub_;
    QMenu* mnuDirectory_;
    QAction* mnuDirProperties_;
};

// Opens the directories window modally for the current client (CurrentClientName,
// CurrentClientId); the client window calls it from its menu. Does nothing without a client.
void OpenDirectories(QWidget* parent);

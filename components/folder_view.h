#pragma once
// The folder tree control (FolderView1 in the windows): a shell-style tree of local
// folders and the network neighbourhood, from which a window picks a folder or a computer.

#include "components/folder_tree_model.h"

#include <QWidget>

class QTreeView;

class FolderView : public QWidget {
    Q_OBJECT
    // Display switches: list files beside folders, list hidden entries.
    Q_PROPERTY(bool ShowFiles READ ShowFiles WRITE SetShowFiles)
    Q_PROPERTY(bool ShowHidden READ ShowHidden WRITE SetShowHidden)

public:
    // Special-folder numbers the control knows (the shell's numbering).
    static constexpr int kNetworkNeighbourhood = 18;

    explicit FolderView(QWidget* parent = nullptr);
    ~FolderView() override;

    // The folder highlighted by the user or by SelectFolder; an invalid (empty) folder when
    // there is none.
    ShellFolder SelectedFolder() const;

    // The display name of a special folder; "" for a number the control does not know.
    QString SpecialFolderDisplayName(int specialFolder) const;

    // Opens the tree on a folder: a display path of the network part ("Network\Entire
    // Network\"), "\\" and a computer name, or a file-system path. A network folder not
    // listed yet is opened as soon as it is.
    void SetStartFolder(const QString& path);
    // Highlights the folder at path (as above) and shows it. False when it is not in the tree.
    // Not the user's choice: FolderSelected is not sent.
    bool SelectFolder(const QString& path);

    bool ShowFiles() const;
    void SetShowFiles(bool show);
    bool ShowHidden() const;
    void SetShowHidden(bool show);

    QTreeView* Tree() const { return tree_; }
    FolderTreeModel* Model() const { return model_; }

Q_SIGNALS:
    // The user highlighted another folder with a click or a key. The entry the tree makes
    // current by itself (on getting the focus, for one) is not a choice and is not sent.
    void FolderSelected(const ShellFolder& folder);
    // A folder is about to be opened; a handler that sets *allow to false keeps it closed.
    void BeforeChange(const ShellFolder& folder, bool* allow);
    // A mouse button went down on the tree: 1 left, 2 right, 4 middle.
    void MouseDown(int button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool OpenPath(const QString& path, bool select);
    void ReportUserChoice();

    FolderTreeModel* model_;
    QTreeView* tree_;
    QString pendingStart_;
    QPersistentModelIndex chosen_;  // highlighted by the user or by SelectFolder
    bool chosenByUser_ = false;
};

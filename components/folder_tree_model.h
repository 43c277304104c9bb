#pragma once
// The model behind the folder tree: the file system's roots and folders (a QFileSystemModel
// shown through this model) followed by the network neighbourhood:
//   Network
//     Entire Network
//       <workgroup>
//         <computer>          (a leaf)
// Network folders are addressed by display path ("Network\Entire Network\WORKGROUP"), a
// computer by "\\" and its name. The computers are listed on first demand, off the UI thread.

#include "components/network_computers.h"

#include <QAbstractFileIconProvider>
#include <QAbstractItemModel>
#include <QFileSystemModel>
#include <QPersistentModelIndex>
#include <QSet>

#include <memory>
#include <vector>

// What a node of the tree is, as the windows see it.
struct ShellFolder {
    // A file-system folder's full path; a network folder's display path; "" for a computer,
    // which has no file-system path.
    QString PathName;
    QString Name;  // the display name
    bool IsComputer = false;
    // The path the tree knows the folder by: "\\" + Name for a computer, otherwise PathName.
    QString Path() const;
    bool IsValid() const { return !Name.isEmpty(); }
};

class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit FolderTreeModel(QObject* parent = nullptr);
    ~FolderTreeModel() override;

    // The display name of the network neighbourhood (the shell's special folder 18).
    static QString NetworkDisplayName();
    static QString EntireNetworkDisplayName();

    // The hosts file the network part reads; returns the previous one (tests).
    static QString SetHostsFile(const QString& path);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    ShellFolder Folder(const QModelIndex& index) const;
    // The node for a display path of the network part or a file-system path; invalid when
    // it is not (yet) in the tree. File-system nodes are created on demand.
    QModelIndex IndexOfPath(const QString& path) const;
    QModelIndex NetworkIndex() const;
    QModelIndex EntireNetworkIndex() const;
    bool IsNetworkListed() const;
    // Starts listing the computers if that has not begun.
    void ListNetwork();

    void SetShowFiles(bool show);
    bool ShowFiles() const { return showFiles_; }
    void SetShowHidden(bool show);
    bool ShowHidden() const { return showHidden_; }

Q_SIGNALS:
    void NetworkListed();

private:
    struct NetNode;
    class FileSystemPart;

    bool IsNet(const QModelIndex& index) const;
    NetNode* Net(const QModelIndex& index) const;
    QModelIndex ToSource(const QModelIndex& index) const;
    QModelIndex FromSource(const QModelIndex& source) const;
    QModelIndex IndexOf(NetNode* node) const;
    int RowOf(const NetNode* node) const;
    NetNode* AddNode(NetNode* parent, int kind, const QString& name);
    void AddComputers(const QList<NetworkComputer>& computers);
    void ApplyFilter();
    void ConnectSource();

    std::unique_ptr<QAbstractFileIconProvider> icons_;  // outlives fs_, which uses it
    std::unique_ptr<FileSystemPart> fs_;
    std::unique_ptr<NetNode> network_;
    QSet<const void*> netNodes_;
    bool listingStarted_ = false;  // never cleared: the computers are listed once
    bool listed_ = false;
    bool showFiles_ = false;
    bool showHidden_ = false;
    // Across a layout change of the file system: our persistent indexes and their sources.
    QModelIndexList layoutProxy_;
    QList<QPersistentModelIndex> layoutSource_;
};

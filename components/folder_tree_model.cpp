#include "components/folder_tree_model.h"

#include "base/paths.h"
#include "base/platform.h"

#include <QDir>
#include <QFileIconProvider>
#include <QThread>

#include <map>

namespace {

enum Kind { kNetwork, kEntireNetwork, kWorkgroup, kComputer };

QString& HostsFileOverride() {
    static QString path;
    return path;
}

// Icons and type names from what a folder entry is, never from its contents: the file
// system model asks for them on the UI thread for every entry of an opened folder, and
// guessing a file's type by reading it hangs the window on a file that never answers
// (/proc/kmsg) and is slow on a network drive.
class PlainIconProvider : public QFileIconProvider {
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override {
        if (info.isRoot()) {
            return icon(QAbstractFileIconProvider::Drive);
        }
        return icon(info.isDir() ? QAbstractFileIconProvider::Folder
                                 : QAbstractFileIconProvider::File);
    }
    QString type(const QFileInfo& info) const override {
        if (info.isRoot()) {
            return QStringLiteral("Drive");
        }
        return info.isDir() ? QStringLiteral("Folder") : QStringLiteral("File");
    }
};

QStringList PathParts(const QString& path) {
    QString text = path;
    text.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return text.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

}  // namespace

// A node of the network part. The file-system part has no nodes of ours: its indexes carry
// the QFileSystemModel's own node pointers, told apart from ours by netNodes_.
struct FolderTreeModel::NetNode {
    int kind = kNetwork;
    QString name;          // the display name
    QString computerName;  // a computer's own name (its display name may carry a comment)
    QString displayPath;
    NetNode* parent = nullptr;
    std::vector<std::unique_ptr<NetNode>> children;
};

// Gives this model the file-system model's indexes for its node pointers.
class FolderTreeModel::FileSystemPart : public QFileSystemModel {
public:
    using QFileSystemModel::QFileSystemModel;
    QModelIndex MakeIndex(int row, void* node) const { return createIndex(row, 0, node); }
};

QString ShellFolder::Path() const {
    return IsComputer ? QStringLiteral("\\\\") + Name : PathName;
}

FolderTreeModel::FolderTreeModel(QObject* parent)
    : QAbstractItemModel(parent),
      icons_(std::make_unique<PlainIconProvider>()),
      fs_(std::make_unique<FileSystemPart>()) {
    fs_->setIconProvider(icons_.get());
    fs_->setReadOnly(true);
    ApplyFilter();
    ConnectSource();
    fs_->setRootPath(QString());

    network_ = std::make_unique<NetNode>();
    network_->kind = kNetwork;
    network_->name = NetworkDisplayName();
    network_->displayPath = network_->name;
    netNodes_.insert(network_.get());
    AddNode(network_.get(), kEntireNetwork, EntireNetworkDisplayName());
}

FolderTreeModel::~FolderTreeModel() = default;

QString FolderTreeModel::NetworkDisplayName() {
    return QStringLiteral("Network");
}

QString FolderTreeModel::EntireNetworkDisplayName() {
    return QStringLiteral("Entire Network");
}

QString FolderTreeModel::SetHostsFile(const QString& path) {
    QString previous = HostsFileOverride();
    HostsFileOverride() = path;
    return previous;
}

FolderTreeModel::NetNode* FolderTreeModel::AddNode(NetNode* parent, int kind, const QString& name) {
    auto node = std::make_unique<NetNode>();
    node->kind = kind;
    node->name = name;
    node->displayPath = parent->displayPath + QLatin1Char('\\') + name;
    node->parent = parent;
    NetNode* raw = node.get();
    parent->children.push_back(std::move(node));
    netNodes_.insert(raw);
    return raw;
}

void FolderTreeModel::ConnectSource() {
    QFileSystemModel* fs = fs_.get();
    connect(fs, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex& p, int first, int last) {
                beginInsertRows(FromSource(p), first, last);
            });
    connect(fs, &QAbstractItemModel::rowsInserted, this, [this] { endInsertRows(); });
    connect(fs, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& p, int first, int last) {
                beginRemoveRows(FromSource(p), first, last);
            });
    connect(fs, &QAbstractItemModel::rowsRemoved, this, [this] { endRemoveRows(); });
    connect(fs, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles) {
                if (topLeft.column() > 0) {
                    return;  // only the name column is shown
                }
                Q_EMIT dataChanged(FromSource(topLeft), FromSource(bottomRight.siblingAtColumn(0)),
                                   roles);
            });
    connect(fs, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(fs, &QAbstractItemModel::modelReset, this, [this] { endResetModel(); });
    connect(fs, &QAbstractItemModel::layoutAboutToBeChanged, this,
            [this](const QList<QPersistentModelIndex>& parents,
                   QAbstractItemModel::LayoutChangeHint hint) {
                QList<QPersistentModelIndex> mapped;
                for (const QPersistentModelIndex& p : parents) {
                    mapped << QPersistentModelIndex(FromSource(p));
                }
                Q_EMIT layoutAboutToBeChanged(mapped, hint);
                // The file system model moves its own persistent indexes; ours follow them.
                layoutProxy_ = persistentIndexList();
                layoutSource_.clear();
                for (const QModelIndex& index : std::as_const(layoutProxy_)) {
                    layoutSource_ << QPersistentModelIndex(ToSource(index));
                }
            });
    connect(fs, &QAbstractItemModel::layoutChanged, this,
            [this](const QList<QPersistentModelIndex>& parents,
                   QAbstractItemModel::LayoutChangeHint hint) {
                QModelIndexList moved;
                for (qsizetype i = 0; i < layoutProxy_.size(); ++i) {
                    const QModelIndex& old = layoutProxy_.at(i);
                    moved << (IsNet(old) ? IndexOf(Net(old)) : FromSource(layoutSource_.at(i)));
                }
                changePersistentIndexList(layoutProxy_, moved);
                layoutProxy_.clear();
                layoutSource_.clear();
                QList<QPersistentModelIndex> mapped;
                for (const QPersistentModelIndex& p : parents) {
                    mapped << QPersistentModelIndex(FromSource(p));
                }
                Q_EMIT layoutChanged(mapped, hint);
            });
}

bool FolderTreeModel::IsNet(const QModelIndex& index) const {
    return index.isValid() && netNodes_.contains(index.internalPointer());
}

FolderTreeModel::NetNode* FolderTreeModel::Net(const QModelIndex& index) const {
    return IsNet(index) ? static_cast<NetNode*>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTreeModel::ToSource(const QModelIndex& index) const {
    if (!index.isValid() || IsNet(index)) {
        return {};
    }
    return fs_->MakeIndex(index.row(), index.internalPointer());
}

QModelIndex FolderTreeModel::FromSource(const QModelIndex& source) const {
    if (!source.isValid()) {
        return {};
    }
    return createIndex(source.row(), 0, source.internalPointer());
}

int FolderTreeModel::RowOf(const NetNode* node) const {
    if (!node->parent) {
        return fs_->rowCount();  // the network follows the file-system roots
    }
    const auto& siblings = node->parent->children;
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i].get() == node) {
            return int(i);
        }
    }
    return -1;
}

QModelIndex FolderTreeModel::IndexOf(NetNode* node) const {
    return node ? createIndex(RowOf(node), 0, node) : QModelIndex();
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0) {
        return {};
    }
    if (!parent.isValid()) {
        const int fsRoots = fs_->rowCount();
        if (row < fsRoots) {
            return FromSource(fs_->index(row, 0));
        }
        return row == fsRoots ? createIndex(row, 0, network_.get()) : QModelIndex();
    }
    if (NetNode* node = Net(parent)) {
        return size_t(row) < node->children.size()
                   ? createIndex(row, 0, node->children[size_t(row)].get())
                   : QModelIndex();
    }
    return FromSource(fs_->index(row, 0, ToSource(parent)));
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) {
        return {};
    }
    if (NetNode* node = Net(child)) {
        return IndexOf(node->parent);
    }
    return FromSource(ToSource(child).parent());
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) {
        return fs_->rowCount() + 1;
    }
    if (NetNode* node = Net(parent)) {
        return int(node->children.size());
    }
    return fs_->rowCount(ToSource(parent));
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid()) {
        return true;
    }
    if (NetNode* node = Net(parent)) {
        switch (node->kind) {
            case kComputer:
                return false;  // a computer is a leaf of this browser
            case kEntireNetwork:
                return !listed_ || !node->children.empty();
            default:
                return !node->children.empty();
        }
    }
    return fs_->hasChildren(ToSource(parent));
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
    if (NetNode* node = Net(parent)) {
        return node->kind == kEntireNetwork && !listingStarted_;
    }
    return fs_->canFetchMore(ToSource(parent));
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
    if (NetNode* node = Net(parent)) {
        if (node->kind == kEntireNetwork) {
            ListNetwork();
        }
        return;
    }
    fs_->fetchMore(ToSource(parent));
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    NetNode* node = Net(index);
    if (!node) {
        return fs_->data(ToSource(index), role);
    }
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return node->name;
        case Qt::DecorationRole:
            return icons_->icon(node->kind == kComputer ? QAbstractFileIconProvider::Computer
                                                        : QAbstractFileIconProvider::Network);
        default:
            return {};
    }
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

ShellFolder FolderTreeModel::Folder(const QModelIndex& index) const {
    ShellFolder folder;
    if (!index.isValid()) {
        return folder;
    }
    if (NetNode* node = Net(index)) {
        folder.Name = node->name;
        folder.IsComputer = node->kind == kComputer;
        folder.PathName = folder.IsComputer ? QString() : node->displayPath;
        return folder;
    }
    const QModelIndex source = ToSource(index);
    folder.PathName = QDir::toNativeSeparators(fs_->filePath(source));
    folder.Name = fs_->fileName(source);
    if (folder.Name.isEmpty()) {
        folder.Name = folder.PathName;  // a root or drive
    }
    return folder;
}

QModelIndex FolderTreeModel::NetworkIndex() const {
    return IndexOf(network_.get());
}

QModelIndex FolderTreeModel::EntireNetworkIndex() const {
    return IndexOf(network_->children.front().get());
}

bool FolderTreeModel::IsNetworkListed() const {
    return listed_;
}

QModelIndex FolderTreeModel::IndexOfPath(const QString& path) const {
    if (path.startsWith(QLatin1String("\\\\"))) {
        // A computer, wherever it is listed.
        const QString name = path.mid(2);
        for (const auto& group : network_->children.front()->children) {
            for (const auto& computer : group->children) {
                if (computer->name.compare(name, Qt::CaseInsensitive) == 0 ||
                    computer->computerName.compare(name, Qt::CaseInsensitive) == 0) {
                    return IndexOf(computer.get());
                }
            }
        }
        return {};
    }
    const QStringList parts = PathParts(path);
    if (!parts.isEmpty() && parts.first().compare(network_->name, Qt::CaseInsensitive) == 0) {
        NetNode* node = network_.get();
        for (qsizetype i = 1; i < parts.size() && node; ++i) {
            NetNode* next = nullptr;
            for (const auto& child : node->children) {
                if (child->name.compare(parts.at(i), Qt::CaseInsensitive) == 0) {
                    next = child.get();
                    break;
                }
            }
            node = next;
        }
        return IndexOf(node);
    }
    if (path.isEmpty()) {
        return {};
    }
    return FromSource(fs_->index(NativePath(path)));
}

void FolderTreeModel::ListNetwork() {
    // Once per model: views ask canFetchMore at any moment, also while the rows go in, and
    // a second listing would append every group again.
    if (listingStarted_) {
        return;
    }
    listingStarted_ = true;
    const QString hosts =
        HostsFileOverride().isEmpty() ? SystemHostsFilePath() : HostsFileOverride();
    const QString host = SystemComputerName().value_or(QString());
    // The hosts file may sit on a slow disk: it is read on a thread of its own, and the
    // result comes back to this model (or to nobody, if the model is gone by then).
    auto result = std::make_shared<QList<NetworkComputer>>();
    QThread* thread =
        QThread::create([result, hosts, host] { *result = ListNetworkComputers(hosts, host); });
    connect(thread, &QThread::finished, this, [this, result] { AddComputers(*result); });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void FolderTreeModel::AddComputers(const QList<NetworkComputer>& computers) {
    if (listed_) {
        return;
    }
    NetNode* entire = network_->children.front().get();
    std::map<QString, QList<NetworkComputer>> groups;
    for (const NetworkComputer& computer : computers) {
        groups[computer.Workgroup] << computer;
    }
    if (!groups.empty()) {
        beginInsertRows(IndexOf(entire), 0, int(groups.size()) - 1);
        for (const auto& [workgroup, members] : groups) {
            NetNode* group = AddNode(entire, kWorkgroup, workgroup);
            for (const NetworkComputer& computer : members) {
                AddNode(group, kComputer, computer.DisplayName)->computerName = computer.Name;
            }
        }
        listed_ = true;
        endInsertRows();
    } else {
        listed_ = true;
        const QModelIndex index = IndexOf(entire);
        Q_EMIT dataChanged(index, index);
    }
    Q_EMIT NetworkListed();
}

void FolderTreeModel::ApplyFilter() {
    QDir::Filters filter = QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot;
    if (showFiles_) {
        filter |= QDir::Files;
    }
    if (showHidden_) {
        filter |= QDir::Hidden;
    }
    fs_->setFilter(filter);
}

void FolderTreeModel::SetShowFiles(bool show) {
    if (show != showFiles_) {
        showFiles_ = show;
        ApplyFilter();
    }
}

void FolderTreeModel::SetShowHidden(bool show) {
    if (show != showHidden_) {
        showHidden_ = show;
        ApplyFilter();
    }
}

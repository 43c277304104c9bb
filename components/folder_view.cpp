#include "components/folder_view.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QTreeView>
#include <QVBoxLayout>

FolderView::FolderView(QWidget* parent)
    : QWidget(parent), model_(new FolderTreeModel(this)), tree_(new QTreeView(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_);
    tree_->setObjectName(QStringLiteral("treFolders"));
    tree_->setModel(model_);
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(false);
    tree_->viewport()->installEventFilter(this);
    setFocusProxy(tree_);

    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { Q_EMIT FolderSelected(model_->Folder(current)); });
    // The tree's own expansion cannot be stopped beforehand; a refused folder is closed
    // again before it is drawn.
    connect(tree_, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        bool allow = true;
        Q_EMIT BeforeChange(model_->Folder(index), &allow);
        if (!allow) {
            tree_->collapse(index);
        }
    });
    connect(model_, &FolderTreeModel::NetworkListed, this, [this] {
        if (!pendingStart_.isEmpty()) {
            const QString path = pendingStart_;
            pendingStart_.clear();
            OpenPath(path, true);
        }
    });
}

FolderView::~FolderView() = default;

ShellFolder FolderView::SelectedFolder() const {
    const QModelIndexList selected = tree_->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? ShellFolder() : model_->Folder(selected.first());
}

QString FolderView::SpecialFolderDisplayName(int specialFolder) const {
    return specialFolder == kNetworkNeighbourhood ? FolderTreeModel::NetworkDisplayName()
                                                  : QString();
}

void FolderView::SetStartFolder(const QString& path) {
    if (!OpenPath(path, true) && !model_->IsNetworkListed()) {
        // Not listed yet: the network part lists itself now and opens the path when done.
        pendingStart_ = path;
        model_->ListNetwork();
    }
}

bool FolderView::SelectFolder(const QString& path) {
    return OpenPath(path, true);
}

bool FolderView::OpenPath(const QString& path, bool select) {
    const QModelIndex index = model_->IndexOfPath(path);
    if (!index.isValid()) {
        return false;
    }
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) {
        tree_->expand(p);
    }
    tree_->expand(index);
    if (select) {
        tree_->setCurrentIndex(index);
    }
    tree_->scrollTo(index, QAbstractItemView::PositionAtTop);
    return true;
}

bool FolderView::ShowFiles() const {
    return model_->ShowFiles();
}

void FolderView::SetShowFiles(bool show) {
    model_->SetShowFiles(show);
}

bool FolderView::ShowHidden() const {
    return model_->ShowHidden();
}

void FolderView::SetShowHidden(bool show) {
    model_->SetShowHidden(show);
}

bool FolderView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        int code = 0;
        switch (mouse->button()) {
            case Qt::LeftButton:
                code = 1;
                break;
            case Qt::RightButton:
                code = 2;
                break;
            case Qt::MiddleButton:
                code = 4;
                break;
            default:
                break;
        }
        if (code != 0) {
            Q_EMIT MouseDown(code);
        }
    }
    return QWidget::eventFilter(watched, event);
}

#include "components/folder_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTreeView>
#include <QVBoxLayout>

#include <functional>

namespace {

// The tree view, telling the handling of the user's own clicks and keys apart from the
// entries the view makes current by itself (when it gets the focus, when rows go).
class UserTreeView : public QTreeView {
public:
    UserTreeView(QWidget* parent, std::function<void()> afterUserInput)
        : QTreeView(parent), afterUserInput_(std::move(afterUserInput)) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        QTreeView::mousePressEvent(event);
        afterUserInput_();
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        QTreeView::mouseMoveEvent(event);
        afterUserInput_();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        QTreeView::mouseReleaseEvent(event);
        afterUserInput_();
    }
    void keyPressEvent(QKeyEvent* event) override {
        QTreeView::keyPressEvent(event);
        afterUserInput_();
    }

private:
    std::function<void()> afterUserInput_;
};

}  // namespace

FolderView::FolderView(QWidget* parent)
    : QWidget(parent),
      model_(new FolderTreeModel(this)),
      tree_(new UserTreeView(this, [this] { ReportUserChoice(); })) {
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
            // Late: a folder the user has chosen meanwhile keeps the highlight.
            OpenPath(path, !chosenByUser_);
        }
    });
}

FolderView::~FolderView() = default;

ShellFolder FolderView::SelectedFolder() const {
    // What the user or the window chose: the view also highlights entries by itself (the
    // next one when the highlighted folder goes away), and those are nobody's choice.
    if (!chosen_.isValid() || !tree_->selectionModel()->isSelected(chosen_)) {
        return ShellFolder();
    }
    return model_->Folder(chosen_);
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
        chosen_ = index;
        chosenByUser_ = false;
    }
    tree_->scrollTo(index, QAbstractItemView::PositionAtTop);
    return true;
}

void FolderView::ReportUserChoice() {
    const QModelIndexList selected = tree_->selectionModel()->selectedIndexes();
    const QModelIndex highlighted = selected.isEmpty() ? QModelIndex() : selected.first();
    if (!highlighted.isValid()) {
        chosen_ = QPersistentModelIndex();  // the user took the highlight away
        return;
    }
    if (highlighted == chosen_ && chosenByUser_) {
        return;
    }
    chosen_ = highlighted;
    chosenByUser_ = true;
    Q_EMIT FolderSelected(model_->Folder(highlighted));
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

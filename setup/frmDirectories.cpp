#include "setup/frmDirectories.h"

#include "base/modal.h"
#include "base/settings.h"
#include "components/folder_view.h"
#include "db/client_directories.h"
#include "setup/directories.h"
#include "setup/frmDirProps.h"

#include <QAction>
#include <QGridLayout>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Client Directories");

}  // namespace

frmDirectories::frmDirectories(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDirectories"));
    resize(720, 420);
    auto* layout = new QGridLayout(this);

    lstDir_ = new QListWidget(this);
    lstDir_->setObjectName(QStringLiteral("lstDir"));
    lstDir_->setSelectionMode(QAbstractItemView::SingleSelection);
    lstDir_->viewport()->installEventFilter(this);

    cmdAdd_ = new QPushButton(QStringLiteral("<"), this);
    cmdAdd_->setObjectName(QStringLiteral("cmdAdd"));
    cmdAdd_->setToolTip(QStringLiteral("Add Client Directories"));
    cmdSub_ = new QPushButton(QStringLiteral(">"), this);
    cmdSub_->setObjectName(QStringLiteral("cmdSub"));
    cmdSub_->setToolTip(QStringLiteral("Delete Client Directories"));
    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {cmdAdd_, cmdSub_}) {
        button->setAutoDefault(false);
        button->setMaximumWidth(40);
        buttons->addWidget(button);
    }
    buttons->addStretch();

    // The tree shares the list's row, so it is always as tall as the list.
    FolderView1_ = new FolderView(this);
    FolderView1_->setObjectName(QStringLiteral("FolderView1"));
    layout->addWidget(lstDir_, 0, 0);
    layout->addLayout(buttons, 0, 1);
    layout->addWidget(FolderView1_, 0, 2);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(2, 2);

    mnuDirectory_ = new QMenu(QStringLiteral("Directory"), this);
    mnuDirectory_->setObjectName(QStringLiteral("mnuDirectory"));
    mnuDirProperties_ = mnuDirectory_->addAction(QStringLiteral("&Properties"));
    mnuDirProperties_->setObjectName(QStringLiteral("mnuDirProperties"));

    setWindowTitle(kTitle + QStringLiteral(" - Client \"") + CurrentClientName + QLatin1Char('"'));
    RefreshList(0);
    if (lstDir_->count() > 0) {
        lstDir_->setCurrentRow(0);
    }

    connect(cmdAdd_, &QPushButton::clicked, this, &frmDirectories::cmdAdd_Click);
    connect(cmdSub_, &QPushButton::clicked, this, &frmDirectories::cmdSub_Click);
    connect(mnuDirProperties_, &QAction::triggered, this, &frmDirectories::mnuDirProperties_Click);
}

frmDirectories::~frmDirectories() = default;

QList<qint32> frmDirectories::ListedDirIds() const {
    QList<qint32> ids;
    for (int i = 0; i < lstDir_->count(); ++i) {
        ids << lstDir_->item(i)->data(Qt::UserRole).toInt();
    }
    return ids;
}

void frmDirectories::RefreshList(qint32 selectDirId) {
    lstDir_->clear();
    LoadClientDirs(CurrentClientId);
    for (const DirectoryRecord& directory : ClientDirs) {
        auto* item = new QListWidgetItem(DirectoryListText(directory), lstDir_);
        // The entry keeps its row: list texts are never parsed back into paths.
        item->setData(Qt::UserRole, directory.dir_id);
        if (directory.dir_id == selectDirId) {
            lstDir_->setCurrentItem(item);
        }
    }
    if (selectDirId == 0) {
        lstDir_->setCurrentRow(-1);
        lstDir_->clearSelection();
    }
}

qint32 frmDirectories::SelectedDirId() const {
    const QList<QListWidgetItem*> selected = lstDir_->selectedItems();
    return selected.isEmpty() ? 0 : selected.first()->data(Qt::UserRole).toInt();
}

void frmDirectories::cmdAdd_Click() {
    const ShellFolder folder = FolderView1_->SelectedFolder();
    const FolderChoice choice = ChooseDirectoryFolder(folder.PathName, folder.IsComputer);
    if (!choice.refusal.isEmpty()) {
        ShowMessage(choice.refusal, MsgButtons::Ok, MsgIcon::Critical, kTitle);
        return;
    }
    // Compared with what is stored, not with the list texts, and without regard to case.
    if (const std::optional<DirectoryRecord> known =
            FindClientDirectory(CurrentClientId, choice.path)) {
        RefreshList(known->dir_id);  // shows the entry it already has
        return;
    }
    bool gone = false;
    const std::optional<qint32> added = AddDirMDB(CurrentClientId, choice.path, &gone);
    if (gone) {
        // Nothing to add to any more: the window closes and its opener reads its lists again.
        ShowClientGone(CurrentClientName);
        reject();
        return;
    }
    RefreshList(added.value_or(0));
}

void frmDirectories::cmdSub_Click() {
    const QList<QListWidgetItem*> selected = lstDir_->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const QString text = selected.first()->text();
    const qint32 dirId = selected.first()->data(Qt::UserRole).toInt();
    if (ShowMessage(QStringLiteral("You are about to delete Dir \"") + text + QLatin1Char('"'),
                    MsgButtons::OkCancel, MsgIcon::None,
                    QStringLiteral("Warning! Delete Dir")) != MsgAnswer::Ok) {
        return;
    }
    // Every row of the client with this path goes, as one directory.
    if (const std::optional<DirectoryRecord> directory = GetClientDirPropsMDB(dirId)) {
        DeleteDirMDB(CurrentClientId, directory->directory_direct);
    }
    RefreshList(0);
}

void frmDirectories::mnuDirProperties_Click() {
    const qint32 dirId = SelectedDirId();
    if (dirId == 0) {
        return;
    }
    frmDirProps properties(dirId, this);
    if (!properties.Load()) {
        ShowMessage(QStringLiteral("This directory is no longer in the database; the list is "
                                   "read again."),
                    MsgButtons::Ok, MsgIcon::Critical, kTitle);
        RefreshList(0);
        return;
    }
    ShowModal(properties);
    RefreshList(dirId);
}

bool frmDirectories::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lstDir_->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                           event->type() == QEvent::MouseButtonDblClick ||
                                           event->type() == QEvent::MouseButtonRelease)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            // The right button leaves the selection alone; on release over the list the
            // pop-up menu is for the selected entry.
            if (event->type() == QEvent::MouseButtonRelease && SelectedDirId() != 0 &&
                lstDir_->viewport()->rect().contains(mouse->position().toPoint())) {
                mnuDirectory_->popup(mouse->globalPosition().toPoint());
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void OpenDirectories(QWidget* parent) {
    if (CurrentClientName.isEmpty()) {
        return;
    }
    if (CurrentClientId <= 0 && !ReadCurrentClientIds()) {
        return;
    }
    frmDirectories window(parent);
    ShowModal(window);
}

#include "dncadmin/frmExportDNCAdmin.h"

#include "base/dialog_parts.h"
#include "base/folder_select_mode.h"
#include "components/folder_view.h"
#include "dncadmin/folder_selection.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmExportDNCAdmin::frmExportDNCAdmin(QWidget* parent) : QDialog(parent), mode_(FolderSelectMode) {
    setObjectName(QStringLiteral("frmExportDNCAdmin"));
    Label1_ = new QLabel(QStringLiteral("Select the folder to export the DNCAdmin.ini file to:"));
    Label1_->setObjectName(QStringLiteral("Label1"));
    FolderView1_ = new FolderView;
    FolderView1_->setObjectName(QStringLiteral("FolderView1"));
    FolderView1_->setMinimumSize(420, 300);
    Label2_ = new QLabel(QStringLiteral("Selected Export Folder:"));
    Label2_->setObjectName(QStringLiteral("Label2"));
    lblSelectedFolder_ = new QLabel(QStringLiteral("Selected folder:"));
    lblSelectedFolder_->setObjectName(QStringLiteral("lblSelectedFolder"));
    lblSelectedFolder_->setFrameShape(QFrame::Panel);
    lblSelectedFolder_->setFrameShadow(QFrame::Sunken);
    lblSelectedFolder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdExport_ = new QPushButton(QStringLiteral("&EXPORT"));
    cmdExport_->setObjectName(QStringLiteral("cmdExport"));
    cmdCancel_ = new QPushButton(QStringLiteral("&CANCEL"));
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton* button : {cmdExport_, cmdCancel_}) {
        button->setAutoDefault(false);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1_, 0, Qt::AlignHCenter);
    layout->addWidget(FolderView1_, 1);
    layout->addWidget(Label2_, 0, mode_ >= 3 ? Qt::AlignHCenter : Qt::Alignment());
    layout->addWidget(lblSelectedFolder_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdExport_);
    buttons->addWidget(cmdCancel_);
    layout->addLayout(buttons);

    SelectedFolderPath.clear();
    const FolderModeTexts texts = FolderModeTextsFor(mode_);
    setWindowTitle(texts.Caption);
    if (!texts.Prompt.isEmpty()) {
        Label1_->setText(texts.Prompt);
    }
    if (!texts.Heading.isEmpty()) {
        Label2_->setText(texts.Heading);
    }
    cmdExport_->setText(texts.Button);
    if (!texts.StoredKey.isEmpty()) {
        const QString stored = StoredFolderFor(mode_);
        if (stored.isEmpty()) {
            lblSelectedFolder_->setText(texts.EmptyText);
        } else {
            lblSelectedFolder_->setText(stored);
            SelectedFolderPath = stored;
        }
    }

    connect(FolderView1_, &FolderView::FolderSelected, this,
            &frmExportDNCAdmin::FolderView1_FolderSelected);
    connect(cmdExport_, &QPushButton::clicked, this, &frmExportDNCAdmin::cmdExport_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void frmExportDNCAdmin::FolderView1_FolderSelected(const ShellFolder& folder) {
    // A computer or a network folder has no file-system path to keep.
    const QString text = FolderPathText(folder.PathName, folder.IsComputer);
    if (text.isEmpty()) {
        return;
    }
    // Shown as it is stored, so the operator reads what the DNC servers will read.
    SelectedFolderPath = text;
    lblSelectedFolder_->setText(SelectedFolderPath);
}

void frmExportDNCAdmin::cmdExport_Click() {
    switch (ConfirmFolderSelection(mode_)) {
        case ConfirmOutcome::Close:
            accept();
            break;
        case ConfirmOutcome::StayOpen:
            lblSelectedFolder_->setText(SelectedFolderPath);
            break;
        case ConfirmOutcome::Nothing:
            break;
    }
}

void frmExportDNCAdmin::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc have no role here: only the buttons confirm or cancel.
    if (!SwallowEnterAndEsc(event)) {
        QDialog::keyPressEvent(event);
    }
}

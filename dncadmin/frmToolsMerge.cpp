#include "dncadmin/frmToolsMerge.h"

#include "base/app_state.h"
#include "base/dialog_parts.h"
#include "base/folder_select_mode.h"
#include "base/inifile.h"
#include "base/messages.h"
#include "base/modal.h"
#include "base/paths.h"
#include "base/platform.h"
#include "dncadmin/atomic_file.h"
#include "dncadmin/dncadmin_diff.h"
#include "dncadmin/frmExportDNCAdmin.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kErrorTitle = QStringLiteral("Merge MASTER DNCAdmin error!");
const QString kPaths = QStringLiteral("PATHS");

QString SourceKey(int index) {
    return QStringLiteral("DNCADMINPATH") + QString::number(index + 1);
}

QString TemplatePath() {
    return JoinPath(ProgramFolder(), QStringLiteral("DNCAdminExportCopy.ini"));
}

bool IsFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(NativePath(path)).isFile();
}

}  // namespace

frmToolsMerge::frmToolsMerge(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmToolsMerge"));
    setWindowTitle(QStringLiteral("Merge DNCAdmin"));

    lblSelectDNCAdminPaths_ =
        new QLabel(QStringLiteral("Select path(s) to DNCAdmin files to merge:"));
    lblSelectDNCAdminPaths_->setObjectName(QStringLiteral("lblSelectDNCAdminPaths"));
    auto* grid = new QGridLayout;
    for (int i = 0; i < 5; ++i) {
        defaultCaptions_[size_t(i)] =
            i < 4 ? QStringLiteral("Select path to DNCAdmin.ini %1:").arg(i + 1)
                  : QStringLiteral("Select path to Master DNCAdmin.ini:");
        Label1_[size_t(i)] =
            new QLabel(i < 4 ? QStringLiteral("%1:").arg(i + 1) : QStringLiteral("To:"));
        Label1_[size_t(i)]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        QLabel* path = new QLabel(defaultCaptions_[size_t(i)]);
        path->setObjectName(QStringLiteral("lblSelectPaths_%1").arg(i));
        path->setFrameShape(QFrame::Panel);
        path->setFrameShadow(QFrame::Sunken);
        path->setCursor(Qt::PointingHandCursor);
        path->setTextFormat(Qt::PlainText);
        path->installEventFilter(this);
        lblSelectPaths_[size_t(i)] = path;
        QPushButton* clear = new QPushButton(QStringLiteral("Clear"));
        clear->setObjectName(QStringLiteral("cmdClear_%1").arg(i));
        clear->setAutoDefault(false);
        clear->setVisible(false);
        cmdClear_[size_t(i)] = clear;
        connect(clear, &QPushButton::clicked, this, [this, i] { Clear(i); });
        grid->addWidget(Label1_[size_t(i)], i, 0);
        grid->addWidget(path, i, 1);
        grid->addWidget(clear, i, 2);
    }
    grid->setColumnStretch(1, 1);
    // The Clear buttons come and go; their column keeps its width.
    grid->setColumnMinimumWidth(2, cmdClear_[0]->sizeHint().width());

    cmdMerge_ = new QPushButton(QStringLiteral("Merge"));
    cmdMerge_->setObjectName(QStringLiteral("cmdMerge"));
    cmdMerge_->setAutoDefault(false);
    connect(cmdMerge_, &QPushButton::clicked, this, &frmToolsMerge::Merge);

    ListView1_ = new QTreeWidget;
    ListView1_->setObjectName(QStringLiteral("ListView1"));
    ListView1_->setRootIsDecorated(false);
    ListView1_->setColumnCount(12);
    QStringList headers;
    for (int c = 0; c < kMergeSources; ++c) {
        headers << QStringLiteral("Client") << QStringLiteral("NID") << QStringLiteral("PID");
    }
    ListView1_->setHeaderLabels(headers);
    ListView1_->setMinimumSize(720, 260);

    StatusBar1_ = new QStatusBar;
    StatusBar1_->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1_->setSizeGripEnabled(false);
    statusPanel_ = new QLabel;
    statusPanel_->setObjectName(QStringLiteral("StatusBar1_Panel1"));
    StatusBar1_->addWidget(statusPanel_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSelectDNCAdminPaths_);
    layout->addLayout(grid);
    auto* mergeRow = new QHBoxLayout;
    mergeRow->addStretch();
    mergeRow->addWidget(cmdMerge_);
    layout->addLayout(mergeRow);
    layout->addWidget(ListView1_, 1);
    layout->addWidget(StatusBar1_);

    // The paths kept from the last time.
    MasterDncAdminPath =
        ReadIniValue(SettingsFileName, kPaths, QStringLiteral("MASTERDNCADMINPATH"), QString())
            .toUpper();
    for (int i = 0; i < kMergeSources; ++i) {
        DncAdminPaths[size_t(i)] =
            ReadIniValue(SettingsFileName, kPaths, SourceKey(i), QString()).toUpper();
        const QString& path = DncAdminPaths[size_t(i)];
        if (IsFile(path)) {
            ReadSource(i, path);
            ShowSource(i, path);
        }
    }
    if (!MasterDncAdminPath.isEmpty() && IsFile(MasterFileOf(MasterDncAdminPath))) {
        ShowSource(4, MasterDncAdminPath);
    }
    ShowMergeTable();
    UpdateMergeButton();
}

void frmToolsMerge::ReadSource(int index, const QString& path) {
    unreadable_[size_t(index)] = !ReadDncAdminFile(path, table_.Columns[size_t(index)]);
    if (unreadable_[size_t(index)]) {
        ShowPathError(path);
    }
}

void frmToolsMerge::ShowPathError(const QString& path) {
    ShowMessage(QStringLiteral("Path error \"") + path + QStringLiteral("\""), MsgButtons::Ok,
                MsgIcon::Critical, kErrorTitle);
}

void frmToolsMerge::ShowSource(int index, const QString& path) {
    lblSelectPaths_[size_t(index)]->setText(path);
    cmdClear_[size_t(index)]->setVisible(true);
}

void frmToolsMerge::SetStatus(const QString& text) {
    statusPanel_->setText(text);
}

void frmToolsMerge::ShowMergeTable() {
    ListView1_->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(kMergeRows);
    for (int k = 0; k < kMergeRows; ++k) {
        auto* row = new QTreeWidgetItem;
        for (int c = 0; c < kMergeSources; ++c) {
            const MergeCell& cell = table_.Columns[size_t(c)][size_t(k)];
            if (!cell.Name.isEmpty()) {
                row->setText(c * 3, cell.Name);
                row->setText(c * 3 + 1, cell.NodeId);
                row->setText(c * 3 + 2, cell.PortId);
            }
        }
        rows << row;
    }
    ListView1_->addTopLevelItems(rows);
}

void frmToolsMerge::UpdateMergeButton() {
    bool anySource = false;
    for (const QString& path : DncAdminPaths) {
        anySource = anySource || !path.isEmpty();
    }
    cmdMerge_->setEnabled(!MasterDncAdminPath.isEmpty() && anySource);
}

void frmToolsMerge::ChooseSource(int index) {
    SetStatus(QString());
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dlgMergePaths"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDirectory(NativePath(QStringLiteral("C:\\DNC")));
    dialog.selectFile(QStringLiteral("DNCAdmin.ini"));
    if (ShowModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;  // cancelled: everything stays as it was
    }
    // Kept, shown and saved as Windows path text, as the folder selection stores its paths.
    const QString path = WindowsPathText(dialog.selectedFiles().constFirst());
    if (!IsFile(path)) {
        lblSelectPaths_[size_t(index)]->setText(defaultCaptions_[size_t(index)]);
        return;
    }
    DncAdminPaths[size_t(index)] = path;
    ShowSource(index, path);
    ReadSource(index, path);
    ShowMergeTable();
    UpdateMergeButton();
}

void frmToolsMerge::ChooseMaster() {
    SetStatus(QString());
    const QString previous = MasterDncAdminPath;
    MasterDncAdminPath.clear();
    FolderSelectMode = 2;
    frmExportDNCAdmin window(this);
    const int result = ShowModal(window);
    FolderSelectMode = FolderSelect::None;
    if (result != QDialog::Accepted || MasterDncAdminPath.isEmpty()) {
        MasterDncAdminPath = previous;  // cancelled: the old master stays
        UpdateMergeButton();
        return;
    }
    ShowSource(4, MasterDncAdminPath);
    const QString master = MasterFileOf(MasterDncAdminPath);
    bool replace = true;
    if (IsFile(master)) {
        QString question = QStringLiteral("\"") + master +
                           QStringLiteral(
                               "\" exists. Replace it with the template "
                               "DNCAdminExportCopy.ini?");
        if (const std::optional<QByteArray> bytes = ReadWholeFile(TemplatePath())) {
            if (const std::optional<DncAdminDiff> diff = ReplacementDiff(master, *bytes, true)) {
                question += QStringLiteral("\n\n") + DncAdminDiffSummary(*diff);
            }
        }
        replace = ShowMessage(question, MsgButtons::YesNo, MsgIcon::Question,
                              QStringLiteral("Master DNCAdmin")) == MsgAnswer::Yes;
    }
    QString error;
    if (replace && !CopyFileAtomically(TemplatePath(), master, &error)) {
        ShowMessage(QStringLiteral("The template could not be copied to \"") + master +
                        QStringLiteral("\": ") + error,
                    MsgButtons::Ok, MsgIcon::Critical, kErrorTitle);
    }
    UpdateMergeButton();
}

void frmToolsMerge::Clear(int index) {
    cmdClear_[size_t(index)]->setVisible(false);
    lblSelectPaths_[size_t(index)]->setText(defaultCaptions_[size_t(index)]);
    if (index < kMergeSources) {
        DncAdminPaths[size_t(index)].clear();
        ClearMergeColumn(table_.Columns[size_t(index)]);
        unreadable_[size_t(index)] = false;
    } else {
        MasterDncAdminPath.clear();
    }
    ShowMergeTable();
    SetStatus(QString());
    UpdateMergeButton();
}

void frmToolsMerge::Merge() {
    for (int i = 0; i < kMergeSources; ++i) {
        if (unreadable_[size_t(i)] && !DncAdminPaths[size_t(i)].isEmpty()) {
            SetStatus(QStringLiteral("ERROR! Merge not done"));
            ShowPathError(DncAdminPaths[size_t(i)]);
            return;
        }
    }
    const MergePreview preview = PreviewMergedMaster(table_, MasterDncAdminPath, TemplatePath());
    if (preview.Ok && preview.MasterExists &&
        !ConfirmDncAdminReplacement(preview.MasterFile, preview.New,
                                    QStringLiteral("Merge DNCAdmin"), true)) {
        return;
    }
    const MergeOutcome outcome = MergeDncAdmin(table_, MasterDncAdminPath, TemplatePath());
    SetStatus(outcome.Status);
    if (!outcome.Error.isEmpty()) {
        ShowMessage(outcome.Error, MsgButtons::Ok, MsgIcon::Critical, kErrorTitle);
    }
    if (outcome.Ok) {
        ShowMergeTable();
    }
}

void frmToolsMerge::done(int result) {
    bool saved = WriteIniValue(kPaths, QStringLiteral("MASTERDNCADMINPATH"),
                               WindowsPathText(MasterDncAdminPath), SettingsFileName);
    for (int i = 0; i < kMergeSources; ++i) {
        saved = WriteIniValue(kPaths, SourceKey(i), WindowsPathText(DncAdminPaths[size_t(i)]),
                              SettingsFileName) &&
                saved;
    }
    if (!saved) {
        ShowMessage(QStringLiteral("The merge paths could not be saved in \"") + SettingsFileName +
                        QStringLiteral("\""),
                    MsgButtons::Ok, MsgIcon::Critical, kErrorTitle);
    }
    QDialog::done(result);
}

bool frmToolsMerge::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        for (int i = 0; i < 5; ++i) {
            if (watched == lblSelectPaths_[size_t(i)]) {
                if (i < kMergeSources) {
                    ChooseSource(i);
                } else {
                    ChooseMaster();
                }
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmToolsMerge::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc have no role here.
    if (!SwallowEnterAndEsc(event)) {
        QDialog::keyPressEvent(event);
    }
}

void frmToolsMerge::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The view's width is shared among the twelve columns; a name gets twice an identifier's.
    const int unit = ListView1_->viewport()->width() / 16;
    for (int c = 0; c < 12; ++c) {
        ListView1_->setColumnWidth(c, std::max(c % 3 == 0 ? 2 * unit : unit, 30));
    }
}

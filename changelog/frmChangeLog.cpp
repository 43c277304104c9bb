#include "changelog/frmChangeLog.h"

#include "base/clock.h"
#include "base/messages.h"
#include "base/modal.h"
#include "changelog/change_log_model.h"
#include "db/dnc_database.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral("Change log");
const QString kAny = QStringLiteral("(all)");

}  // namespace

frmChangeLog::frmChangeLog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmChangeLog"));
    setWindowTitle(kCaption);
    resize(980, 520);

    cboServer_ = new QComboBox(this);
    cboServer_->setObjectName(QStringLiteral("cboServer"));
    cboClient_ = new QComboBox(this);
    cboClient_->setObjectName(QStringLiteral("cboClient"));
    cboClient_->setEditable(true);
    chkSince_ = new QCheckBox(QStringLiteral("From (UTC)"), this);
    chkSince_->setObjectName(QStringLiteral("chkSince"));
    dtpSince_ = new QDateEdit(QDate::currentDate(), this);
    dtpSince_->setObjectName(QStringLiteral("dtpSince"));
    dtpSince_->setCalendarPopup(true);
    dtpSince_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    chkUntil_ = new QCheckBox(QStringLiteral("To (UTC)"), this);
    chkUntil_->setObjectName(QStringLiteral("chkUntil"));
    dtpUntil_ = new QDateEdit(QDate::currentDate(), this);
    dtpUntil_->setObjectName(QStringLiteral("dtpUntil"));
    dtpUntil_->setCalendarPopup(true);
    dtpUntil_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));

    model_ = new ChangeLogModel(DncConnection, this);
    lstEntries_ = new QTreeView(this);
    lstEntries_->setObjectName(QStringLiteral("lstEntries"));
    lstEntries_->setRootIsDecorated(false);
    // Equal rows: the view then never asks every row its height, and scrolling reads pages.
    lstEntries_->setUniformRowHeights(true);
    lstEntries_->setModel(model_);
    typingPause_ = new ClockTimer(this);
    typingPause_->setInterval(kTypingPauseMs);
    lblCount_ = new QLabel(this);
    lblCount_->setObjectName(QStringLiteral("lblCount"));
    cmdSave_ = new QPushButton(QStringLiteral("Save as CSV..."), this);
    cmdSave_->setObjectName(QStringLiteral("cmdSave"));
    cmdClose_ = new QPushButton(QStringLiteral("Close"), this);
    cmdClose_->setObjectName(QStringLiteral("cmdClose"));
    cmdSave_->setAutoDefault(false);
    cmdClose_->setAutoDefault(false);

    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("Server"), this));
    filters->addWidget(cboServer_, 1);
    filters->addWidget(new QLabel(QStringLiteral("Client"), this));
    filters->addWidget(cboClient_, 1);
    filters->addWidget(chkSince_);
    filters->addWidget(dtpSince_);
    filters->addWidget(chkUntil_);
    filters->addWidget(dtpUntil_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblCount_, 1);
    buttons->addWidget(cmdSave_);
    buttons->addWidget(cmdClose_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(lstEntries_, 1);
    layout->addLayout(buttons);

    connect(model_, &ChangeLogModel::PageRead, this, [this] { ShowCount(); });
    FillChoices();
    Reload();
    lstEntries_->header()->resizeSections(QHeaderView::ResizeToContents);

    connect(cboServer_, &QComboBox::currentIndexChanged, this, [this] { Reload(); });
    // A client picked from the list is shown at once; a name being typed once typing pauses.
    connect(cboClient_, &QComboBox::currentIndexChanged, this, [this] { Reload(); });
    connect(cboClient_, &QComboBox::currentTextChanged, this, [this] {
        if (Filter().client == model_->Filter().client) {
            typingPause_->stop();
        } else {
            typingPause_->start();
        }
    });
    connect(typingPause_, &ClockTimer::timeout, this, [this] { Reload(); });
    connect(chkSince_, &QCheckBox::toggled, this, [this] { Reload(); });
    connect(chkUntil_, &QCheckBox::toggled, this, [this] { Reload(); });
    connect(dtpSince_, &QDateEdit::dateChanged, this, [this] { Reload(); });
    connect(dtpUntil_, &QDateEdit::dateChanged, this, [this] { Reload(); });
    connect(cmdSave_, &QPushButton::clicked, this, [this] { cmdSave_Click(); });
    connect(cmdClose_, &QPushButton::clicked, this, &QDialog::reject);
}

void frmChangeLog::FillChoices() {
    const QSignalBlocker serverBlock(cboServer_);
    const QSignalBlocker clientBlock(cboClient_);
    cboServer_->clear();
    cboServer_->addItem(kAny);
    LoadServerNames();
    cboServer_->addItems(ServerNames);
    cboClient_->clear();
    cboClient_->addItem(kAny);
    LoadAllClientNames();
    for (const ClientListEntry& client : AllClients) {
        cboClient_->addItem(client.ClientName);
    }
}

ChangeLogFilter frmChangeLog::Filter() const {
    ChangeLogFilter filter;
    if (cboServer_->currentIndex() > 0) {
        filter.server = cboServer_->currentText();
    }
    const QString client = cboClient_->currentText().trimmed();
    if (client != kAny) {
        filter.client = client;
    }
    if (chkSince_->isChecked()) {
        filter.since = LogDayStart(dtpSince_->date());
    }
    if (chkUntil_->isChecked()) {
        filter.until = LogDayStart(dtpUntil_->date().addDays(1));  // the whole last day
    }
    return filter;
}

void frmChangeLog::Reload() {
    typingPause_->stop();
    model_->SetFilter(Filter());
}

void frmChangeLog::ShowCount() {
    const int shown = model_->rowCount();
    if (!model_->Error().isEmpty()) {
        lblCount_->setText(QStringLiteral("The change log cannot be read: ") + model_->Error());
    } else if (model_->canFetchMore(QModelIndex())) {
        lblCount_->setText(
            QStringLiteral("The newest %1 entries; more follow as you scroll").arg(shown));
    } else {
        lblCount_->setText(QStringLiteral("%1 entries").arg(shown));
    }
}

void frmChangeLog::cmdSave_Click() {
    QFileDialog dialog(this, QStringLiteral("Save the change log as"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setNameFilters({QStringLiteral("CSV files (*.csv)"), QStringLiteral("All files (*)")});
    if (ShowModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    // Every entry of the filter, not only the pages shown, written as it is read.
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly) &&
                   file.write((ChangeLogCsvHeader() + QStringLiteral("\r\n")).toUtf8()) >= 0;
    QString readError;
    const bool read =
        written &&
        ForEachChangeLogEntry(
            DncConnection, model_->Filter(),
            [&](const ChangeLogEntry& entry) {
                written =
                    file.write((ChangeLogCsvLine(entry) + QStringLiteral("\r\n")).toUtf8()) >= 0;
                return written;
            },
            &readError);
    if (written && !read) {
        file.cancelWriting();
        ShowMessage(QStringLiteral("The change log cannot be read: ") + readError, MsgButtons::Ok,
                    MsgIcon::Critical, kCaption);
        return;
    }
    if (!written || !file.commit()) {
        ShowMessage(
            QStringLiteral("Cannot write ") + path + QStringLiteral(": ") + file.errorString(),
            MsgButtons::Ok, MsgIcon::Critical, kCaption);
    }
}

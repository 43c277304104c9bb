#include "app/frmHelpViewer.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int kPositionRole = Qt::UserRole;
enum { kContentsPage, kIndexPage, kSearchPage };

}  // namespace

frmHelpViewer::frmHelpViewer(QWidget* parent)
    : QWidget(parent, Qt::Window),
      tabPages_(new QTabWidget),
      treContents_(new QTreeWidget),
      txtIndex_(new QLineEdit),
      lstIndex_(new QListWidget),
      txtSearch_(new QLineEdit),
      lstTopics_(new QListWidget),
      txtHelp_(new QTextBrowser) {
    setObjectName(QStringLiteral("frmHelpViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Kestrum Help"));
    resize(900, 620);

    tabPages_->setObjectName(QStringLiteral("tabPages"));
    treContents_->setObjectName(QStringLiteral("treContents"));
    txtIndex_->setObjectName(QStringLiteral("txtIndex"));
    lstIndex_->setObjectName(QStringLiteral("lstIndex"));
    txtSearch_->setObjectName(QStringLiteral("txtSearch"));
    lstTopics_->setObjectName(QStringLiteral("lstTopics"));
    txtHelp_->setObjectName(QStringLiteral("txtHelp"));

    treContents_->setHeaderHidden(true);
    tabPages_->addTab(treContents_, QStringLiteral("&Contents"));

    auto* indexPage = new QWidget;
    auto* indexLayout = new QVBoxLayout(indexPage);
    auto* lblIndex = new QLabel(QStringLiteral("&Type in the keyword to find:"));
    lblIndex->setBuddy(txtIndex_);
    indexLayout->addWidget(lblIndex);
    indexLayout->addWidget(txtIndex_);
    indexLayout->addWidget(lstIndex_);
    tabPages_->addTab(indexPage, QStringLiteral("I&ndex"));

    auto* searchPage = new QWidget;
    auto* searchLayout = new QVBoxLayout(searchPage);
    auto* lblSearch = new QLabel(QStringLiteral("Type in the &word(s) to search for:"));
    lblSearch->setBuddy(txtSearch_);
    auto* cmdSearch = new QPushButton(QStringLiteral("&List Topics"));
    cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    searchLayout->addWidget(lblSearch);
    searchLayout->addWidget(txtSearch_);
    searchLayout->addWidget(cmdSearch);
    searchLayout->addWidget(lstTopics_);
    tabPages_->addTab(searchPage, QStringLiteral("&Search"));

    txtHelp_->setOpenExternalLinks(true);
    auto* splitter = new QSplitter;
    splitter->addWidget(tabPages_);
    splitter->addWidget(txtHelp_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, 640});
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(splitter);

    connect(treContents_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { GoTo(item->data(0, kPositionRole).toInt()); });
    connect(treContents_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { GoTo(item->data(0, kPositionRole).toInt()); });
    connect(txtIndex_, &QLineEdit::textChanged, this, &frmHelpViewer::FilterIndex);
    connect(txtIndex_, &QLineEdit::returnPressed, this, [this] {
        if (QListWidgetItem* item = lstIndex_->currentItem()) {
            GoTo(item->data(kPositionRole).toInt());
        }
    });
    connect(lstIndex_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { GoTo(item->data(kPositionRole).toInt()); });
    connect(lstIndex_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { GoTo(item->data(kPositionRole).toInt()); });
    connect(cmdSearch, &QPushButton::clicked, this, &frmHelpViewer::RunSearch);
    connect(txtSearch_, &QLineEdit::returnPressed, this, &frmHelpViewer::RunSearch);
    connect(lstTopics_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { GoTo(item->data(kPositionRole).toInt()); });
    connect(lstTopics_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { GoTo(item->data(kPositionRole).toInt()); });
}

bool frmHelpViewer::Load(const QString& filePath) {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.peek(4);
    file.close();
    if (head == "ITSF") {
        // A compiled help file: only the platform's HTML help viewer can read it.
        txtHelp_->setPlainText(QStringLiteral("This is a compiled help file, which only the "
                                              "Windows HTML help viewer can show:\n") +
                               filePath);
    } else {
        txtHelp_->setSource(QUrl::fromLocalFile(filePath), QTextDocument::HtmlResource);
    }
    const QString title = txtHelp_->documentTitle();
    if (!title.isEmpty()) {
        setWindowTitle(title);
    }
    FillContents();
    FillIndex();
    return true;
}

void frmHelpViewer::FillContents() {
    treContents_->clear();
    QList<QTreeWidgetItem*> parents;  // the last item of each level above
    const QList<HelpTopic> topics = HelpContents(*txtHelp_->document());
    for (const HelpTopic& topic : topics) {
        while (!parents.isEmpty() &&
               parents.constLast()->data(0, Qt::UserRole + 1).toInt() >= topic.level) {
            parents.removeLast();
        }
        auto* item = parents.isEmpty() ? new QTreeWidgetItem(treContents_)
                                       : new QTreeWidgetItem(parents.constLast());
        item->setText(0, topic.title);
        item->setData(0, kPositionRole, topic.position);
        item->setData(0, Qt::UserRole + 1, topic.level);
        parents << item;
    }
    treContents_->expandAll();
}

void frmHelpViewer::FillIndex() {
    lstIndex_->clear();
    const QList<HelpTopic> entries = HelpIndex(*txtHelp_->document());
    for (const HelpTopic& entry : entries) {
        auto* item = new QListWidgetItem(entry.title, lstIndex_);
        item->setData(kPositionRole, entry.position);
    }
}

void frmHelpViewer::FilterIndex(const QString& text) {
    // Jumps to the first entry that starts with what was typed, as a help index does.
    for (int i = 0; i < lstIndex_->count(); ++i) {
        if (lstIndex_->item(i)->text().startsWith(text.trimmed(), Qt::CaseInsensitive)) {
            lstIndex_->setCurrentRow(i);
            lstIndex_->scrollToItem(lstIndex_->item(i), QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

void frmHelpViewer::RunSearch() {
    lstTopics_->clear();
    const QList<HelpTopic> found = SearchHelp(*txtHelp_->document(), txtSearch_->text());
    for (const HelpTopic& topic : found) {
        auto* item = new QListWidgetItem(topic.title, lstTopics_);
        item->setData(kPositionRole, topic.position);
    }
    if (found.isEmpty()) {
        auto* item = new QListWidgetItem(QStringLiteral("No topics found."), lstTopics_);
        item->setFlags(Qt::NoItemFlags);
    }
}

void frmHelpViewer::GoTo(int position) {
    QTextDocument* document = txtHelp_->document();
    const QTextBlock block = document->findBlock(position);
    if (!block.isValid()) {
        return;
    }
    QTextCursor cursor(block);
    txtHelp_->setTextCursor(cursor);
    // The topic's heading goes to the top of the page.
    const qreal top = document->documentLayout()->blockBoundingRect(block).top();
    txtHelp_->verticalScrollBar()->setValue(int(top));
}

void frmHelpViewer::ShowContents() {
    Present(kContentsPage);
}

void frmHelpViewer::ShowIndex() {
    Present(kIndexPage);
}

void frmHelpViewer::ShowSearch() {
    Present(kSearchPage);
}

void frmHelpViewer::Present(int page) {
    tabPages_->setCurrentIndex(page);
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
    if (page == kIndexPage) {
        txtIndex_->setFocus();
    } else if (page == kSearchPage) {
        txtSearch_->setFocus();
    }
}

#pragma once
// The program's own help viewer: an HTML help file with its contents, index and search
// pages beside the text, as the platform's HTML help viewer shows a compiled help file.

#include "app/help_topics.h"

#include <QWidget>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTabWidget;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;

class frmHelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit frmHelpViewer(QWidget* parent = nullptr);

    // Loads the help file; false when it cannot be read.
    bool Load(const QString& filePath);

    // Shows the window on one of its pages and brings it to the front.
    void ShowContents();
    void ShowIndex();
    void ShowSearch();

    // Shows the topic that starts at this position of the document.
    void GoTo(int position);

private:
    void Present(int page);
    void FillContents();
    void FillIndex();
    void FilterIndex(const QString& text);
    void RunSearch();

    QTabWidget* tabPages_;
    QTreeWidget* treContents_;
    QLineEdit* txtIndex_;
    QListWidget* lstIndex_;
    QLineEdit* txtSearch_;
    QListWidget* lstTopics_;
    QTextBrowser* txtHelp_;
};

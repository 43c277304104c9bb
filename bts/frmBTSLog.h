#pragma once
// Shows the BTS log and prints it.

#include <QDialog>

#include <memory>

class QAction;
class QMenuBar;
class QPlainTextEdit;
class QPrinter;
class QTextDocument;

class frmBTSLog : public QDialog {
    Q_OBJECT
public:
    explicit frmBTSLog(const QString& logText, QWidget* parent = nullptr);
    ~frmBTSLog() override;

    // The print command: nothing for an empty log; otherwise the print dialog (through the
    // modal seam) and, unless cancelled, the log at the font size PRINTFONTSIZE.
    void Print();
    QPrinter& Printer() { return *printer_; }

private:
    QPlainTextEdit* txtBTSLog;
    QMenuBar* menuBar_;
    QAction* mnuPrint;
    std::unique_ptr<QPrinter> printer_;
};

// The log as it is printed: its text at the font size PRINTFONTSIZE (10 when that setting
// was not a number).
void PrepareLogDocument(QTextDocument& document, const QString& text);

// Reads the log into msBTSLogReadString and shows it in frmBTSLog, modally.
void ReadBTSLog(QString& msBTSLogReadString, QWidget* parent = nullptr);

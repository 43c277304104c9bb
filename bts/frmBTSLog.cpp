#include "bts/frmBTSLog.h"

#include "base/app_state.h"
#include "base/modal.h"
#include "bts/bts_log.h"

#include <QAbstractPrintDialog>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>
#include <QVBoxLayout>

frmBTSLog::frmBTSLog(const QString& logText, QWidget* parent)
    : QDialog(parent), printer_(std::make_unique<QPrinter>()) {
    setObjectName(QStringLiteral("frmBTSLog"));
    setWindowTitle(QStringLiteral("BTS Log"));
    auto* layout = new QVBoxLayout(this);
    menuBar_ = new QMenuBar(this);
    mnuPrint = menuBar_->addAction(QStringLiteral("Print"));
    mnuPrint->setObjectName(QStringLiteral("mnuPrint"));
    layout->setMenuBar(menuBar_);
    txtBTSLog = new QPlainTextEdit(this);
    txtBTSLog->setObjectName(QStringLiteral("txtBTSLog"));
    txtBTSLog->setPlainText(logText);
    layout->addWidget(txtBTSLog);
    resize(640, 400);
    connect(mnuPrint, &QAction::triggered, this, &frmBTSLog::Print);
}

frmBTSLog::~frmBTSLog() = default;

void frmBTSLog::Print() {
    const QString text = txtBTSLog->toPlainText();
    if (text.isEmpty()) {
        return;
    }
    QPrintDialog dialog(printer_.get(), this);
    dialog.setObjectName(QStringLiteral("dlgCommon"));
    // No print-to-file box and no choice of a selection.
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    if (ShowModal(dialog) != QDialog::Accepted) {
        return;
    }
    QTextDocument document;
    PrepareLogDocument(document, text);
    document.print(printer_.get());
}

void PrepareLogDocument(QTextDocument& document, const QString& text) {
    QFont font = document.defaultFont();
    // A size that is not a number reads as 0 at start-up; print at the usual 10 then.
    font.setPointSize(PrintFontSize > 0 ? PrintFontSize : 10);
    document.setDefaultFont(font);
    document.setPlainText(text);
}

void ReadBTSLog(QString& msBTSLogReadString, QWidget* parent) {
    msBTSLogReadString = ReadBtsLogText();
    frmBTSLog form(msBTSLogReadString, parent);
    ShowModal(form);
}

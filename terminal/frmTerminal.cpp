#include "terminal/frmTerminal.h"

#include "base/dialog_parts.h"
#include "base/messages.h"
#include "base/modal.h"
#include "base/waits.h"
#include "components/port_probe.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Terminal Mode COM selection Failed!");

QString Thousands(double value) {
    return QLocale(QLocale::English)
        .toString(qint64(value + 0.5))
        .replace(QLatin1Char(','), QLatin1Char(' '));
}

}  // namespace

frmTerminal::frmTerminal(const TerminalLine& line, QWidget* parent)
    : QDialog(parent), line_(line), SaxComm1(QStringLiteral("SaxComm1")) {
    setObjectName(QStringLiteral("frmTerminal"));
    setWindowTitle(QStringLiteral("Terminal Mode - Com") + QString::number(line_.comPort) +
                   QLatin1Char(',') + line_.mode);

    txtTerminal = new QPlainTextEdit(this);
    txtTerminal->setObjectName(QStringLiteral("txtTerminal"));
    txtTerminal->setReadOnly(true);  // typed keys go to the line, never into the text
    txtTerminal->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtTerminal->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtTerminal->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtTerminal->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtTerminal->setMaximumBlockCount(TerminalScreen::kMaxLines);
    txtTerminal->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtTerminal->installEventFilter(this);
    txtTerminal->setMinimumSize(560, 300);

    cmdClear = NamedButton(QStringLiteral("cmdClear"), QStringLiteral("CLEAR"), this);
    cmdLoop = NamedButton(QStringLiteral("cmdLoop"), QStringLiteral("LOOP TEST"), this);
    lblCount = NamedLabel(QStringLiteral("lblCount"), QStringLiteral("Count:"), this);
    lblTxBuffer =
        NamedLabel(QStringLiteral("lblTxBuffer"),
                   QStringLiteral("TxBuffer: ") + QString::number(line_.charBufferSize), this);
    chkHexView = new QCheckBox(QStringLiteral("HEX VIEW"), this);
    chkHexView->setObjectName(QStringLiteral("chkHexView"));
    chkHexView->setToolTip(QStringLiteral("Show every received byte in hexadecimal"));
    cmdCapture = NamedButton(QStringLiteral("cmdCapture"), QStringLiteral("CAPTURE..."), this);
    cmdCapture->setToolTip(QStringLiteral("Copy every received byte to a file"));

    fraLoopStats = new QGroupBox(QStringLiteral("Loop test"), this);
    fraLoopStats->setObjectName(QStringLiteral("fraLoopStats"));
    lblLoopCycles = NamedLabel(QStringLiteral("lblLoopCycles"), QString(), fraLoopStats);
    lblLoopBytes = NamedLabel(QStringLiteral("lblLoopBytes"), QString(), fraLoopStats);
    lblLoopFirstBad = NamedLabel(QStringLiteral("lblLoopFirstBad"), QString(), fraLoopStats);
    lblLoopRate = NamedLabel(QStringLiteral("lblLoopRate"), QString(), fraLoopStats);
    auto* stats = new QGridLayout(fraLoopStats);
    stats->addWidget(lblLoopCycles, 0, 0);
    stats->addWidget(lblLoopBytes, 0, 1);
    stats->addWidget(lblLoopFirstBad, 1, 0);
    stats->addWidget(lblLoopRate, 1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdClear);
    buttons->addWidget(cmdLoop);
    buttons->addSpacing(12);
    buttons->addWidget(lblCount);
    buttons->addSpacing(12);
    buttons->addWidget(lblTxBuffer);
    buttons->addStretch(1);
    buttons->addWidget(chkHexView);
    buttons->addWidget(cmdCapture);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtTerminal, 1);
    layout->addLayout(buttons);
    layout->addWidget(fraLoopStats);

    loop_ = new LoopTest([this](const QByteArray& bytes) { SaxComm1.SetOutput(bytes); },
                         line_.charBufferSize, line_.btsBaud, this);
    loop_->SetDrain([this] { Receive(); });
    connect(loop_, &LoopTest::RunningChanged, this, [this](bool running) {
        cmdLoop->setText(running ? QStringLiteral("LOOP STOP") : QStringLiteral("LOOP TEST"));
    });
    connect(loop_, &LoopTest::CyclePassed, this, [this] {
        txtTerminal->clear();
        screen_.Clear();
    });
    connect(loop_, &LoopTest::CycleFailed, this, [this](const QString& text) {
        txtTerminal->clear();
        screen_.Clear();
        txtTerminal->setPlainText(text);
    });
    connect(loop_, &LoopTest::StatisticsChanged, this, &frmTerminal::ShowLoopStatistics);
    ShowLoopStatistics();

    connect(cmdClear, &QPushButton::clicked, this, &frmTerminal::cmdClear_Click);
    connect(cmdLoop, &QPushButton::clicked, this, &frmTerminal::cmdLoop_Click);
    connect(cmdCapture, &QPushButton::clicked, this, &frmTerminal::cmdCapture_Click);
    connect(chkHexView, &QCheckBox::toggled, this, &frmTerminal::SetHexView);
    connect(&SaxComm1, &SaxComm::Comm, this, &frmTerminal::SaxComm1_OnComm);
}

frmTerminal::~frmTerminal() {
    if (state_ == State::Open) {
        Unload(false);
    }
}

bool frmTerminal::Load() {
    if (line_.comPort <= 0) {
        // "COM0" names no port: opening it could only fail, and later than this.
        ShowMessage(QStringLiteral("This client has no com port (port 0): set its port "
                                   "before opening the terminal."),
                    MsgButtons::Ok, MsgIcon::Critical, kTitle);
        return false;
    }
    if (!ParseLineSettings(line_.mode)) {
        ShowMessage(QStringLiteral("The line settings \"") + line_.mode +
                        QStringLiteral("\" of this client are not valid: set its port "
                                       "properties before opening the terminal."),
                    MsgButtons::Ok, MsgIcon::Critical, kTitle);
        return false;
    }
    QString port = QStringLiteral("COM") + QString::number(line_.comPort);
    if (ProbeComPort(SaxComm1, port, PortProbeTexts::Terminal())) {
        return false;  // the probe has said why
    }
    SaxComm1.Initialise();
    SaxComm1.SetCommPort(line_.comPort);
    SaxComm1.SetSettings(line_.mode);
    SaxComm1.SetPortOpen(true);
    if (!SaxComm1.PortOpen()) {
        ShowMessage(QStringLiteral("Com Error, ") + port + QStringLiteral(" didn't open."),
                    MsgButtons::Ok, MsgIcon::Critical, kTitle);
        return false;
    }
    receivedTotal_ = 0;
    state_ = State::Open;
    return true;
}

void frmTerminal::done(int result) {
    if (state_ == State::Unloading) {
        return;  // the window is closing already
    }
    if (state_ == State::Open) {
        Unload(true);
    }
    QDialog::done(result);
}

void frmTerminal::Unload(bool wait) {
    state_ = State::Unloading;
    if (loop_->Busy()) {
        // Stopped before the port goes, so no cycle runs on into a closed line.
        loop_->Abort();
        SaxComm1.SetDiscard(true);
        if (wait) {
            WaitMilliseconds(1000);
        }
    }
    disconnect(&SaxComm1, &SaxComm::Comm, this, &frmTerminal::SaxComm1_OnComm);
    capture_.Stop();
    QString port = QStringLiteral("COM") + QString::number(line_.comPort);
    if (wait) {
        ReleaseComPort(SaxComm1, port, PortProbeTexts::Terminal());
    } else {
        SaxComm1.SetPortOpen(false);
    }
    state_ = State::Unloaded;
}

bool frmTerminal::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtTerminal && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (!text.isEmpty()) {
            // No local echo: what comes back from the line is what shows.
            SaxComm1.SetOutput(text.toLatin1());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmTerminal::keyPressEvent(QKeyEvent* event) {
    // Neither Enter nor Esc has a role in this window.
    if (!SwallowEnterAndEsc(event)) {
        QDialog::keyPressEvent(event);
    }
}

void frmTerminal::cmdClear_Click() {
    txtTerminal->clear();
    screen_.Clear();
    receivedTotal_ = 0;
    lblCount->setText(QStringLiteral("Count:"));
}

void frmTerminal::cmdLoop_Click() {
    if (loop_->Running()) {
        loop_->Stop();
    } else {
        loop_->Start();
    }
}

void frmTerminal::cmdCapture_Click() {
    if (capture_.Active()) {
        capture_.Stop();
        cmdCapture->setText(QStringLiteral("CAPTURE..."));
        cmdCapture->setToolTip(QStringLiteral("Copy every received byte to a file"));
        return;
    }
    QFileDialog dialog(this, QStringLiteral("Capture received characters to"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(
        {QStringLiteral("Capture files (*.cap *.bin *.txt)"), QStringLiteral("All files (*)")});
    if (ShowModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    QString error;
    if (!capture_.Start(path, &error)) {
        ShowMessage(
            QStringLiteral("Cannot write the capture file ") + path + QStringLiteral(": ") + error,
            MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Capture failed"));
        return;
    }
    cmdCapture->setText(QStringLiteral("STOP CAPTURE"));
    cmdCapture->setToolTip(QStringLiteral("Capturing to ") + path);
}

void frmTerminal::SetHexView(bool on) {
    if (chkHexView->isChecked() != on) {
        chkHexView->setChecked(on);  // comes back here through the toggle
        return;
    }
    const QString text =
        screen_.SetView(on ? TerminalScreen::View::Hex : TerminalScreen::View::Text);
    txtTerminal->setPlainText(QString());
    AppendToScreen(text);
}

void frmTerminal::SaxComm1_OnComm() {
    if (SaxComm1.CommEvent() == kCommEvReceive && SaxComm1.InCount() > 0) {
        Receive();
    } else if (SaxComm1.CommEvent() == kCommEvLost) {
        // An unplugged adapter: say so rather than let the test report a bad line.
        Receive();
        loop_->Abort();
        ShowMessage(QStringLiteral("Com Error, COM") + QString::number(line_.comPort) +
                        QStringLiteral(" was lost: the device went away."),
                    MsgButtons::Ok, MsgIcon::Critical, kTitle);
    }
}

void frmTerminal::Receive() {
    const QByteArray bytes = SaxComm1.Input().toLatin1();
    if (bytes.isEmpty()) {
        return;
    }
    loop_->Received(bytes);
    QString error;
    if (!capture_.Write(bytes, &error)) {
        cmdCapture->setText(QStringLiteral("CAPTURE..."));
        ShowMessage(QStringLiteral("The capture to ") + capture_.Path() +
                        QStringLiteral(" stopped: ") + error,
                    MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Capture failed"));
    }
    receivedTotal_ += bytes.size();
    AppendToScreen(screen_.Append(bytes));
    lblCount->setText(QStringLiteral("Count: ") + QString::number(receivedTotal_));
}

void frmTerminal::AppendToScreen(const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    QTextCursor cursor(txtTerminal->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    QScrollBar* bar = txtTerminal->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void frmTerminal::ShowLoopStatistics() {
    const LoopStatistics& s = loop_->Statistics();
    lblLoopCycles->setText(
        QStringLiteral("Cycles: %1   Failed: %2").arg(s.cyclesRun).arg(s.cyclesFailed));
    lblLoopBytes->setText(
        QStringLiteral("Sent: %1   Received: %2").arg(s.bytesSent).arg(s.bytesReceived));
    if (s.lastFailure && s.lastFailure->firstBad >= 0) {
        lblLoopFirstBad->setText(QStringLiteral("First difference: position %1, expected %2, "
                                                "received %3")
                                     .arg(s.lastFailure->firstBad + 1)
                                     .arg(LoopCharName(s.lastFailure->expectedChar),
                                          LoopCharName(s.lastFailure->receivedChar)));
    } else {
        lblLoopFirstBad->setText(QStringLiteral("First difference: none"));
    }
    const double line = LineCharsPerSecond(line_.mode);
    const QString lineText = QStringLiteral("line ") + Thousands(line) + QStringLiteral(" cps");
    if (s.rate && line > 0) {
        lblLoopRate->setText(QStringLiteral("Rate: ") + Thousands(*s.rate) +
                             QStringLiteral(" cps, ") + lineText + QStringLiteral(" (") +
                             QString::number(qRound(100.0 * *s.rate / line)) +
                             QStringLiteral("%)"));
    } else {
        lblLoopRate->setText(QStringLiteral("Rate: -, ") + lineText);
    }
}

void OpenTerminal(const TerminalLine& line, QWidget* parent) {
    frmTerminal terminal(line, parent);
    if (terminal.Load()) {
        ShowModal(terminal);
    }
}

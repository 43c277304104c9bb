#pragma once
// A serial terminal on a client's com port, with the loop test. Received characters show on
// the screen (control characters in hexadecimal), typed keys go out on the line without
// local echo. Opened from the BTS window with the client's line.

#include "components/saxcomm.h"
#include "terminal/loop_test.h"
#include "terminal/receive_capture.h"
#include "terminal/terminal_screen.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The line the terminal works on, as the opener holds it.
struct TerminalLine {
    int comPort = 0;         // the client's cnc_comport; 0 means none
    QString mode;            // "rate,parity,data,stop", e.g. "9600,N,8,1"
    int charBufferSize = 0;  // the client's char_buffer: the loop block goes out in such pieces
    QString btsBaud;         // the client's rate as text; 1200, 2400 and 4800 are slow links
};

class frmTerminal : public QDialog {
    Q_OBJECT
public:
    explicit frmTerminal(const TerminalLine& line, QWidget* parent = nullptr);
    ~frmTerminal() override;

    // Proves the port free and opens it. False, after a message, when the terminal cannot
    // work on it: no port (0), settings that are no line settings, or a port that does not
    // open. The window must not be shown then.
    bool Load();

    qint64 ReceivedTotal() const { return receivedTotal_; }
    LoopTest& Loop() { return *loop_; }
    SaxComm& Comm() { return SaxComm1; }
    bool Capturing() const { return capture_.Active(); }

    // The view of received characters ("HEX VIEW" ticked shows every byte in hexadecimal).
    void SetHexView(bool on);

public Q_SLOTS:
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void cmdClear_Click();
    void cmdLoop_Click();
    void cmdCapture_Click();
    void SaxComm1_OnComm();
    void Receive();
    void AppendToScreen(const QString& text);
    void ShowLoopStatistics();
    void Unload(bool wait);

    TerminalLine line_;
    SaxComm SaxComm1;
    LoopTest* loop_;
    TerminalScreen screen_;
    ReceiveCapture capture_;
    qint64 receivedTotal_ = 0;
    enum class State { Closed, Open, Unloading, Unloaded } state_ = State::Closed;

    QPlainTextEdit* txtTerminal;
    QPushButton* cmdClear;
    QPushButton* cmdLoop;
    QLabel* lblCount;
    QLabel* lblTxBuffer;
    QCheckBox* chkHexView;
    QPushButton* cmdCapture;
    QGroupBox* fraLoopStats;
    QLabel* lblLoopCycles;
    QLabel* lblLoopBytes;
    QLabel* lblLoopFirstBad;
    QLabel* lblLoopRate;
};

// Opens the terminal modally (through the modal seam) on the line. When the port cannot be
// used it says why and opens nothing. The port is released when the window closes.
void OpenTerminal(const TerminalLine& line, QWidget* parent = nullptr);

#pragma once
// The command exchange with a BTS adapter: the port probe, one command and its reply, the
// baud scan that finds the adapter, the configuration sequence, the single settings and
// the verify pass. The BTS window owns one and sets the client's values on it; status
// texts go out through StatusTextChanged, so no widget is needed here.
//
// Every exchange is a straight sequence of waits on the clock seam; the waits process
// events, so received characters, both timers and the operator's abort arrive meanwhile.

#include "base/clock.h"
#include "components/port_probe.h"
#include "components/saxcomm.h"

#include <QObject>
#include <QString>

class BtsProtocol : public QObject {
    Q_OBJECT
public:
    explicit BtsProtocol(QObject* parent = nullptr);

    // The serial port component of the BTS window.
    SaxComm SaxComBTS;

    // Configuration state, public to the BTS windows.
    qint16 miTimerTime = 100;   // per-character echo time-out, ms
    QString msBTSBaud;          // the client's baud rate as text
    QString BtsBaudCode;        // the adapter's code for msBTSBaud; empty when it has none
    qint16 ClientStopBits = 1;  // 1, or 2 for anything else
    QString msPinNumber;        // may be empty
    QString msBTSAddress;       // "0012-" + 2 + "-" + 6 characters, upper case
    QString msBTSAddressPart;   // its last 6 characters
    QString ReplyBuffer;
    QString LastCommand;
    QString Listing;     // the settings listing of the last verify
    QString VerifyText;  // the outcome of the last verify
    bool TimeOutFlag = false;
    bool ReplyReady = false;
    bool AppendReply = false;
    bool ReplyComplete = false;  // the last reply began with "AT" and ended with CR LF
    bool AbortRequested = false;

    // What the owner knows of the selected client.
    bool ClientBtsUsed = false;
    bool ClientBtsLatency = false;

    // Rates of the scan, indexed 0 to 6.
    static const qint32 kBaudTable[7];
    // The adapter's code for a client baud ("1" for 9600), empty when it has none.
    static QString BaudCodeFor(const QString& baud);
    // The command, its CR, then CR LF "OK" CR LF.
    static QString PositiveReply(const QString& command);

    bool ProbeComPort(QString& port);
    bool ReleaseComPort(QString& port);
    void SendBtsCommand(const QString& command, int expected);
    void ReadBtsReply(int waitMs);
    bool DetectBts();       // true when detected
    bool ConfigureBtsOn();  // true when failed
    bool SetBtsDiscover(bool on);
    bool SetBtsLatency(bool on);
    bool SetBtsEcho(bool on);
    bool VerifyBts();
    bool CheckBtsPrerequisites();

    // Progress marks: n + 1 times "." and 1000 ms, or "/" (style 1) or "\" (style 2) and 500 ms.
    void DotWait(int n);
    void SlashWait(int n, int style);

    QString StatusText() const { return statusText_; }
    void SetStatusText(const QString& text);
    void AppendStatusText(const QString& text);

    // The sum of the waits the exchanges asked for since the last reset, in ms.
    qint64 RequestedWaitMs() const { return requestedWaitMs_; }
    void ResetRequestedWait() { requestedWaitMs_ = 0; }

    // Back to no exchange: both timers stopped, the abort and reply flags cleared. The
    // window calls it at the start and the end of every operation, so an abort asked for
    // once never cuts short a later exchange.
    void ResetExchange();

Q_SIGNALS:
    void StatusTextChanged(const QString& text);

private:
    void Wait(int ms);
    void DiscardInput();
    void OpenForExchange();
    bool SetSingle(const QString& command, const QString& okText, const QString& failText);
    bool RunStep(int number, const QString& command, const QString& failure);
    bool StoreAddress();

    ClockTimer tmrTimeOut;
    ClockTimer tmrRxChars;
    QString statusText_;
    qint64 requestedWaitMs_ = 0;
};

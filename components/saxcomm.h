#pragma once
// The serial port component: one instance per window that talks to a serial line
// (SaxComm1 in the terminal, SaxComBTS in the BTS window, SaxComm2 in the Bluetooth
// assistant). No operation raises an error: a port that could not be opened simply reads
// back as closed.
//
// Ports are "COM" and a number. On Linux COMn is the device given by key COMn of section
// COMPORTS in the settings file, else /dev/ttyS<n-1> (see README.md).
//
// Received characters reach the component through the event loop, so code that waits
// with WaitMilliseconds or Pause sees them arrive.
//
// The numbered options of the original control, given the meanings that fit a plain 8-bit
// line without flow control:
//   option 1  SetHardwareFlow   RTS/CTS handshake (off for a plain line)
//   option 2  SetSoftwareFlow   XON/XOFF handshake (off for a plain line)
//   option 3  SetInputLength    most characters one Input read returns; 0 = all of them
//   option 4  SetSThreshold     a send event (code 1) once the characters still waiting
//                               to go out drop to this count; 0 = no send events
//   option 5  SetDtrEnable      DTR raised while the port is open
//   option 6  SetRtsEnable      RTS raised while the port is open (no handshake uses it)
//   option 7  SetDiscard        writing true throws away what waits to be sent and what
//                               arrived unread; it reads back false
// Receive threshold (SetRThreshold): n > 0 raises a receive event (code 2) whenever
// characters arrive and n or more are waiting; 0 raises none. With 1, every arrival of
// characters raises one event.
//
// Event codes read with CommEvent inside the Comm handler:
//   1 send buffer down to the send threshold, 2 characters received,
//   3 line lost: the device went away during use; the port is closed and reads back so.
//
// PortStatus: 0 no such port, 1 present and free, 2 present but in use (open in another
// program, or in another window of this one), 3 present but unusable (no permission, or
// not a serial device). The port probe skips ports that report 2.

#include "components/serial_line.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

enum CommEventCode { kCommEvSend = 1, kCommEvReceive = 2, kCommEvLost = 3 };

class SaxComm : public QObject {
    Q_OBJECT
public:
    explicit SaxComm(const QString& name = QString(), QObject* parent = nullptr);
    ~SaxComm() override;

    // Port selection: a number, or "COM" followed by the number ("COM 5" is taken too).
    // Written while a port is open, it takes effect at the next open.
    void SetCommPort(int number);
    void SetCommPort(const QString& name);
    QString CommPort() const { return commPort_; }  // the value written, as text
    int CommPortNumber() const { return ComPortNumber(commPort_); }

    // "rate,parity,data,stop", e.g. "9600,N,8,1"; applied at once, also to an open port.
    // Text not of that form is ignored and the previous settings stay.
    void SetSettings(const QString& settings);
    QString Settings() const { return settingsText_; }

    void SetPortOpen(bool open);
    bool PortOpen() const;

    // Sends the characters (8-bit, Latin-1) in order, without waiting.
    void SetOutput(const QString& text);
    void SetOutput(const QByteArray& bytes);
    // Everything received and not yet read (at most SetInputLength characters); the read
    // takes it out of the receive buffer.
    QString Input();
    int InCount() const { return int(received_.size()); }

    int CommEvent() const { return commEvent_; }
    void SetRThreshold(int count) { rThreshold_ = qMax(0, count); }
    int RThreshold() const { return rThreshold_; }

    // Options 1 to 7 (see above).
    void SetHardwareFlow(bool on);
    bool HardwareFlow() const { return hardwareFlow_; }
    void SetSoftwareFlow(bool on);
    bool SoftwareFlow() const { return softwareFlow_; }
    void SetInputLength(int count) { inputLength_ = qMax(0, count); }
    int InputLength() const { return inputLength_; }
    void SetSThreshold(int count) { sThreshold_ = qMax(0, count); }
    int SThreshold() const { return sThreshold_; }
    void SetDtrEnable(bool on);
    bool DtrEnable() const { return dtr_; }
    void SetRtsEnable(bool on);
    bool RtsEnable() const { return rts_; }
    void SetDiscard(bool on);
    bool Discard() const { return false; }

    // The control has no window of its own; kept so callers can set it as they always did.
    void SetVisible(bool visible) { visible_ = visible; }
    bool Visible() const { return visible_; }

    // The set-up every window applies to the component: options 1 and 2 off, option 3 0,
    // receive threshold 1, invisible, option 4 0, options 5 and 6 on.
    void Initialise();

    // Names ("COM" and the number) of the ports present on this computer.
    static QStringList PortList();
    // A PortStatusCode for "COM5" (or "COM 5").
    static int PortStatus(const QString& name);

Q_SIGNALS:
    void Comm();

private:
    void OnReadyRead();
    void OnBytesWritten();
    void OnLost();
    void Raise(int code);
    void ReleaseLine();

    std::unique_ptr<SerialLine> line_;
    int openPort_ = 0;
    QString commPort_;
    QString settingsText_ = QStringLiteral("9600,N,8,1");
    LineSettings settings_;
    QByteArray received_;
    int commEvent_ = 0;
    int rThreshold_ = 0;
    int sThreshold_ = 0;
    int inputLength_ = 0;
    bool hardwareFlow_ = false;
    bool softwareFlow_ = false;
    bool dtr_ = false;
    bool rts_ = false;
    bool visible_ = true;
};

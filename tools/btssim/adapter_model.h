#pragma once
// A BTS adapter as it behaves on its serial side, shared by the in-process simulated line
// (tests) and the kestrum-btssim program (a pseudo-terminal an operator can map to a COM
// port).
//
// Commands are "AT..." ended by CR (LF is ignored). With echo on every character is sent
// back as it arrives. A result is CR LF "OK" CR LF ("ERROR" for a command it does not
// know); quiet mode (ATQ1) leaves only the CR LF. Commands:
//   ATZ0 factory settings (PIN 5093, 19200 baud, echo on, results on, ...), after the reply
//   ATC0/1 flow control none/hardware   ATK0/1 one/two stop bits   ATM0/1/2 parity N/O/E
//   ATX0/1 never/always check '+++'     ATH0/1 discover off/on     ATE0/1 echo off/on
//   ATQ0/1 results on/off (the reply to ATQ1 still carries OK)
//   ATL<c> baud by code (* 1200, # 2400, 0 4800, 1 9600, 2 19200, 3 38400, 4 57600,
//          5 115200), switched after the reply
//   ATP=<pin> PIN (1 to 16 digits)      ATN=<name> name (1 to 16 characters)
//   ATB? the address, form 0012-xx-xxxxxx
//   ATE? echo as "0" or "1" (with echo off the answer has no leading CR LF)
//   ATI1 CR LF "OK" CR LF and the settings listing, one "ATx=v, TEXT" line each
// It only understands its own baud rate: characters sent at another rate come back as
// garbage and are not taken as commands.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct AdapterSettings {
    QByteArray pin = "5093";
    QByteArray name = "TolvaneBTS";
    char baudCode = '2';
    bool hardwareFlow = true;
    bool twoStopBits = false;
    int parity = 0;  // 0 none, 1 odd, 2 even
    bool escapeCheck = true;
    bool discover = true;
    bool echo = true;
    bool quiet = false;

    bool operator==(const AdapterSettings&) const = default;
};

enum class AdapterFault {
    None,
    Silent,    // answers nothing, not even the echo
    Error,     // echoes, then answers ERROR to every command
    EchoOnly,  // echoes, never replies
    Slow,      // echoes at once, replies after slowMs
    Garbage,   // everything it sends is garbled
    Noise,     // a stray character goes out before every reply
    Drop,      // the line goes away when the command after dropAfter commands begins
};

// Parses "none", "silent", "error", "echo-only", "slow", "garbage", "noise", "drop".
bool ParseAdapterFault(const QString& text, AdapterFault* fault);

struct AdapterOutput {
    int delayMs = 0;
    QByteArray bytes;
    bool lineGone = false;  // the line disappears here
};

class BtsAdapterModel {
public:
    explicit BtsAdapterModel(const QByteArray& address = "0012-6f-3a1b2c");

    // Takes what the other side sent at lineBaud; returns what to send back, in order.
    QList<AdapterOutput> Receive(const QByteArray& bytes, qint32 lineBaud);

    qint32 Baud() const { return BaudForCode(settings.baudCode); }
    QByteArray Listing() const;
    // One line describing what the adapter holds, for logs and tests.
    QString Describe() const;

    static qint32 BaudForCode(char code);
    static char CodeForBaud(qint32 baud);

    AdapterSettings settings;
    QByteArray address;
    AdapterFault fault = AdapterFault::None;
    int slowMs = 250;
    int dropAfter = 0;
    bool gone = false;
    QStringList commands;  // every command taken, in order

private:
    QByteArray Execute(const QByteArray& command, bool* after);
    QByteArray Result(bool ok) const;
    static QByteArray Garble(const QByteArray& bytes);

    QByteArray pending_;
    AdapterSettings afterReply_;
};

#pragma once
// The line under the serial port component. The program runs on QSerialPort (SystemSerialLines);
// tests install a provider of in-process lines (a simulated adapter or a loopback).

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

// Baud rate, parity, data bits and stop bits, as the settings text "9600,N,8,1" gives them.
struct LineSettings {
    qint32 baud = 9600;
    char parity = 'N';  // N, E, O, M or S
    int dataBits = 8;   // 5 to 8
    int stopBits = 1;   // 1 or 2; 15 stands for 1.5

    bool operator==(const LineSettings&) const = default;
};

// Parses "rate,parity,data,stop"; nothing when the text is not of that form.
std::optional<LineSettings> ParseLineSettings(const QString& text);

class SerialLine : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool Open() = 0;
    // Returns whether the line is closed afterwards.
    virtual bool Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual void Apply(const LineSettings& settings) = 0;
    virtual void SetFlowControl(bool hardware, bool software) = 0;
    virtual void SetDtr(bool on) = 0;
    virtual void SetRts(bool on) = 0;
    virtual void Write(const QByteArray& bytes) = 0;
    // Everything that arrived and was not read yet.
    virtual QByteArray ReadAll() = 0;
    virtual qint64 BytesToWrite() const { return 0; }
    // Throws away what waits to be sent and what arrived unread.
    virtual void Discard() = 0;

Q_SIGNALS:
    void ReadyRead();
    void BytesWritten();
    // The device went away (unplugged, pseudo-terminal closed); the line is closed.
    void Lost();
};

// What the port status call returns.
enum PortStatusCode {
    kPortAbsent = 0,    // no such port on this computer
    kPortFree = 1,      // present and free
    kPortInUse = 2,     // present, but open in another program or another window
    kPortUnusable = 3,  // present, but cannot be opened (no permission, not a serial device)
};

class SerialLineProvider {
public:
    virtual ~SerialLineProvider() = default;
    // Port numbers present, in ascending order.
    virtual QList<int> PresentPorts() = 0;
    // A PortStatusCode; the component itself reports kPortInUse for its own open ports.
    virtual int Status(int port) = 0;
    // A closed line for the port, or nullptr when the port does not exist.
    virtual std::unique_ptr<SerialLine> Create(int port) = 0;
};

SerialLineProvider& CurrentSerialLines();
// Installs a provider (not owned) and returns the previous one; nullptr restores the system's.
SerialLineProvider* SetSerialLineProvider(SerialLineProvider* provider);

// The highest port number the port list looks at.
constexpr int kHighestComPort = 99;

// The port number in "COM5", "COM 5", "com5" or "5"; 0 when the text names no port.
int ComPortNumber(const QString& name);

// The device of COMn: on Windows the port's own name; elsewhere the value of key COMn in
// section COMPORTS of the settings file, else /dev/ttyS<n-1>.
QString ComPortDevice(int port);
// Whether COMn is mapped in section COMPORTS (an unmapped port uses its default device).
bool ComPortMapped(int port);

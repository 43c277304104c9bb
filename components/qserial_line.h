#pragma once
// Serial lines on the computer's own ports, through QSerialPort.

#include "components/serial_line.h"

#include <QMap>
#include <QSerialPort>
#include <QSet>

class QSerialPortLine : public SerialLine {
    Q_OBJECT
public:
    explicit QSerialPortLine(const QString& device, QObject* parent = nullptr);
    ~QSerialPortLine() override;

    bool Open() override;
    bool Close() override;
    bool IsOpen() const override { return port_.isOpen(); }
    void Apply(const LineSettings& settings) override;
    void SetFlowControl(bool hardware, bool software) override;
    void SetDtr(bool on) override;
    void SetRts(bool on) override;
    void Write(const QByteArray& bytes) override;
    QByteArray ReadAll() override;
    qint64 BytesToWrite() const override { return port_.bytesToWrite(); }
    void Discard() override;

private:
    void OnError(QSerialPort::SerialPortError error);
    void ApplyToPort();

    QSerialPort port_;
    QByteArray leftOver_;  // read before the device went away
    LineSettings settings_;
    bool hardwareFlow_ = false;
    bool softwareFlow_ = false;
    bool dtr_ = false;
    bool rts_ = false;
};

// COMn is the device that ComPortDevice names, unless the embedding program mapped the
// port itself with MapPort.
class SystemSerialLines : public SerialLineProvider {
public:
    QList<int> PresentPorts() override;
    int Status(int port) override;
    std::unique_ptr<SerialLine> Create(int port) override;

    // Maps COMn to a device for this run, ahead of the settings file; an empty device
    // removes the mapping.
    void MapPort(int port, const QString& device);
    QString Device(int port) const;

private:
    static QSet<QString> ListedDevices();
    bool Present(int port, const QString& device, const QSet<QString>& listed) const;
    QMap<int, QString> mapped_;
};

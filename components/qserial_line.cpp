#include "components/qserial_line.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSet>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

QSerialPortLine::QSerialPortLine(const QString& device, QObject* parent)
    : SerialLine(parent), port_(device) {
    connect(&port_, &QSerialPort::readyRead, this, &SerialLine::ReadyRead);
    connect(&port_, &QSerialPort::bytesWritten, this, [this] { Q_EMIT BytesWritten(); });
    connect(&port_, &QSerialPort::errorOccurred, this, &QSerialPortLine::OnError);
}

QSerialPortLine::~QSerialPortLine() {
    port_.close();
}

bool QSerialPortLine::Open() {
    if (port_.isOpen()) {
        return true;
    }
    ApplyToPort();
    if (!port_.open(QIODevice::ReadWrite)) {
        port_.clearError();
        return false;
    }
    ApplyToPort();
    port_.setDataTerminalReady(dtr_);
    if (!hardwareFlow_) {
        port_.setRequestToSend(rts_);
    }
    // A pseudo-terminal has no modem lines; that is no reason to refuse the line.
    port_.clearError();
    return true;
}

bool QSerialPortLine::Close() {
    port_.close();
    port_.clearError();
    return !port_.isOpen();
}

void QSerialPortLine::Apply(const LineSettings& settings) {
    settings_ = settings;
    if (port_.isOpen()) {
        ApplyToPort();
        port_.clearError();
    }
}

void QSerialPortLine::ApplyToPort() {
    port_.setBaudRate(settings_.baud);
    port_.setDataBits(QSerialPort::DataBits(settings_.dataBits));
    switch (settings_.parity) {
        case 'E':
            port_.setParity(QSerialPort::EvenParity);
            break;
        case 'O':
            port_.setParity(QSerialPort::OddParity);
            break;
        case 'M':
            port_.setParity(QSerialPort::MarkParity);
            break;
        case 'S':
            port_.setParity(QSerialPort::SpaceParity);
            break;
        default:
            port_.setParity(QSerialPort::NoParity);
            break;
    }
    port_.setStopBits(settings_.stopBits == 2    ? QSerialPort::TwoStop
                      : settings_.stopBits == 15 ? QSerialPort::OneAndHalfStop
                                                 : QSerialPort::OneStop);
    port_.setFlowControl(hardwareFlow_   ? QSerialPort::HardwareControl
                         : softwareFlow_ ? QSerialPort::SoftwareControl
                                         : QSerialPort::NoFlowControl);
}

void QSerialPortLine::SetFlowControl(bool hardware, bool software) {
    hardwareFlow_ = hardware;
    softwareFlow_ = software;
    if (port_.isOpen()) {
        ApplyToPort();
        port_.clearError();
    }
}

void QSerialPortLine::SetDtr(bool on) {
    dtr_ = on;
    if (port_.isOpen()) {
        port_.setDataTerminalReady(on);
        port_.clearError();
    }
}

void QSerialPortLine::SetRts(bool on) {
    rts_ = on;
    if (port_.isOpen() && !hardwareFlow_) {
        port_.setRequestToSend(on);
        port_.clearError();
    }
}

void QSerialPortLine::Write(const QByteArray& bytes) {
    if (port_.isOpen()) {
        port_.write(bytes);
    }
}

QByteArray QSerialPortLine::ReadAll() {
    QByteArray bytes;
    bytes.swap(leftOver_);
    if (port_.isOpen()) {
        bytes += port_.readAll();
    }
    return bytes;
}

void QSerialPortLine::Discard() {
    if (port_.isOpen()) {
        port_.clear(QSerialPort::AllDirections);
        port_.readAll();
        port_.clearError();
    }
}

void QSerialPortLine::OnError(QSerialPort::SerialPortError error) {
    // Read, write and resource errors on an open port mean the device is gone (a closed
    // pseudo-terminal reports end of file as a read error). Anything else is left alone:
    // a pseudo-terminal refuses modem-line calls, for example.
    if (!port_.isOpen()) {
        return;
    }
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
        error == QSerialPort::WriteError) {
        leftOver_ += port_.readAll();
        port_.close();
        port_.clearError();
        Q_EMIT Lost();
    }
}

void SystemSerialLines::MapPort(int port, const QString& device) {
    if (device.isEmpty()) {
        mapped_.remove(port);
    } else {
        mapped_.insert(port, device);
    }
}

QString SystemSerialLines::Device(int port) const {
    return mapped_.value(port, ComPortDevice(port));
}

QSet<QString> SystemSerialLines::ListedDevices() {
    QSet<QString> listed;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        listed.insert(info.portName().toUpper());
#else
        listed.insert(info.systemLocation());
#endif
    }
    return listed;
}

bool SystemSerialLines::Present(int port, const QString& device,
                                const QSet<QString>& listed) const {
#ifndef Q_OS_WIN
    if (mapped_.contains(port) || ComPortMapped(port)) {
        return QFileInfo::exists(device);
    }
#else
    if (mapped_.contains(port)) {
        return QFileInfo::exists(device);
    }
#endif
    // /dev/ttyS0 to ttyS31 always exist; only those with a real port behind them are listed.
    return listed.contains(device);
}

QList<int> SystemSerialLines::PresentPorts() {
    const QSet<QString> listed = ListedDevices();
    QList<int> ports;
    for (int port = 1; port <= kHighestComPort; ++port) {
        if (Present(port, Device(port), listed)) {
            ports << port;
        }
    }
    return ports;
}

int SystemSerialLines::Status(int port) {
    const QString device = Device(port);
    if (port <= 0 || !Present(port, device, ListedDevices())) {
        return kPortAbsent;
    }
    QSerialPort probe(device);
    if (probe.open(QIODevice::ReadWrite)) {
        probe.close();
        return kPortFree;
    }
    const QSerialPort::SerialPortError error = probe.error();
#ifndef Q_OS_WIN
    // Opening fails with a permission error both when another program holds the port
    // (lock file, exclusive mode) and when we may not use the device at all.
    if (error == QSerialPort::PermissionError &&
        ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0) {
        return kPortInUse;
    }
#else
    if (error == QSerialPort::PermissionError) {
        return kPortInUse;
    }
#endif
    return kPortUnusable;
}

std::unique_ptr<SerialLine> SystemSerialLines::Create(int port) {
    if (port <= 0) {
        return nullptr;
    }
    return std::make_unique<QSerialPortLine>(Device(port));
}

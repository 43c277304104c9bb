#include "components/saxcomm.h"

#include <QSet>

namespace {

// Ports open in this program, so a second window sees them in use.
QSet<int>& OpenPorts() {
    static QSet<int> ports;
    return ports;
}

}  // namespace

SaxComm::SaxComm(const QString& name, QObject* parent) : QObject(parent) {
    setObjectName(name);
}

SaxComm::~SaxComm() {
    ReleaseLine();
}

void SaxComm::SetCommPort(int number) {
    commPort_ = QString::number(number);
}

void SaxComm::SetCommPort(const QString& name) {
    commPort_ = name;
}

void SaxComm::SetSettings(const QString& settings) {
    const std::optional<LineSettings> parsed = ParseLineSettings(settings);
    if (!parsed) {
        return;
    }
    settingsText_ = settings;
    settings_ = *parsed;
    if (line_ && line_->IsOpen()) {
        line_->Apply(settings_);
    }
}

bool SaxComm::PortOpen() const {
    return line_ && line_->IsOpen();
}

void SaxComm::SetPortOpen(bool open) {
    if (!open) {
        if (line_ && line_->Close()) {
            ReleaseLine();
        }
        return;
    }
    if (PortOpen()) {
        return;
    }
    ReleaseLine();
    const int port = CommPortNumber();
    if (port <= 0 || OpenPorts().contains(port)) {
        return;
    }
    std::unique_ptr<SerialLine> line = CurrentSerialLines().Create(port);
    if (!line) {
        return;
    }
    line->Apply(settings_);
    line->SetFlowControl(hardwareFlow_, softwareFlow_);
    line->SetDtr(dtr_);
    line->SetRts(rts_);
    if (!line->Open()) {
        return;
    }
    received_.clear();
    connect(line.get(), &SerialLine::ReadyRead, this, &SaxComm::OnReadyRead);
    connect(line.get(), &SerialLine::BytesWritten, this, &SaxComm::OnBytesWritten);
    connect(line.get(), &SerialLine::Lost, this, &SaxComm::OnLost);
    line_ = std::move(line);
    openPort_ = port;
    OpenPorts().insert(port);
}

void SaxComm::ReleaseLine() {
    if (line_) {
        line_->disconnect(this);
        line_->Close();
        // The line may be the sender of the signal being handled; let it go later.
        line_.release()->deleteLater();
    }
    if (openPort_ > 0) {
        OpenPorts().remove(openPort_);
        openPort_ = 0;
    }
}

void SaxComm::SetOutput(const QString& text) {
    SetOutput(text.toLatin1());
}

void SaxComm::SetOutput(const QByteArray& bytes) {
    if (PortOpen() && !bytes.isEmpty()) {
        line_->Write(bytes);
    }
}

QString SaxComm::Input() {
    if (line_ && line_->IsOpen()) {
        received_ += line_->ReadAll();
    }
    const qsizetype n =
        inputLength_ > 0 ? qMin<qsizetype>(inputLength_, received_.size()) : received_.size();
    const QString text = QString::fromLatin1(received_.constData(), n);
    received_.remove(0, n);
    return text;
}

void SaxComm::SetHardwareFlow(bool on) {
    hardwareFlow_ = on;
    if (line_) {
        line_->SetFlowControl(hardwareFlow_, softwareFlow_);
    }
}

void SaxComm::SetSoftwareFlow(bool on) {
    softwareFlow_ = on;
    if (line_) {
        line_->SetFlowControl(hardwareFlow_, softwareFlow_);
    }
}

void SaxComm::SetDtrEnable(bool on) {
    dtr_ = on;
    if (line_) {
        line_->SetDtr(on);
    }
}

void SaxComm::SetRtsEnable(bool on) {
    rts_ = on;
    if (line_) {
        line_->SetRts(on);
    }
}

void SaxComm::SetDiscard(bool on) {
    if (!on) {
        return;
    }
    if (line_ && line_->IsOpen()) {
        line_->Discard();
    }
    received_.clear();
}

void SaxComm::Initialise() {
    SetHardwareFlow(false);
    SetSoftwareFlow(false);
    SetInputLength(0);
    SetRThreshold(1);
    SetVisible(false);
    SetSThreshold(0);
    SetDtrEnable(true);
    SetRtsEnable(true);
}

void SaxComm::OnReadyRead() {
    if (!line_) {
        return;
    }
    const QByteArray bytes = line_->ReadAll();
    if (bytes.isEmpty()) {
        return;
    }
    received_ += bytes;
    if (rThreshold_ > 0 && received_.size() >= rThreshold_) {
        Raise(kCommEvReceive);
    }
}

void SaxComm::OnBytesWritten() {
    if (line_ && sThreshold_ > 0 && line_->BytesToWrite() <= sThreshold_) {
        Raise(kCommEvSend);
    }
}

void SaxComm::OnLost() {
    // What arrived before the line went away can still be read.
    if (line_) {
        received_ += line_->ReadAll();
    }
    ReleaseLine();
    Raise(kCommEvLost);
}

void SaxComm::Raise(int code) {
    commEvent_ = code;
    Q_EMIT Comm();
}

QStringList SaxComm::PortList() {
    QStringList names;
    for (int port : CurrentSerialLines().PresentPorts()) {
        names << QStringLiteral("COM") + QString::number(port);
    }
    return names;
}

int SaxComm::PortStatus(const QString& name) {
    const int port = ComPortNumber(name);
    if (port <= 0) {
        return kPortAbsent;
    }
    if (OpenPorts().contains(port)) {
        return kPortInUse;
    }
    return CurrentSerialLines().Status(port);
}

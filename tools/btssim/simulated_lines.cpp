#include "tools/btssim/simulated_lines.h"

#include "base/clock.h"

SimulatedSerialLines::SimulatedSerialLines() : previous_(SetSerialLineProvider(this)) {}

SimulatedSerialLines::~SimulatedSerialLines() {
    SetSerialLineProvider(previous_);
}

BtsAdapterModel& SimulatedSerialLines::AddAdapter(int port) {
    auto entry = std::make_shared<SimulatedPort>();
    entry->adapter = std::make_shared<BtsAdapterModel>();
    ports_[port] = entry;
    return *entry->adapter;
}

void SimulatedSerialLines::AddLoopback(int port) {
    ports_[port] = std::make_shared<SimulatedPort>();
}

SimulatedPort& SimulatedSerialLines::Port(int port) {
    if (!ports_.contains(port)) {
        AddLoopback(port);
    }
    return *ports_[port];
}

QList<int> SimulatedSerialLines::PresentPorts() {
    QList<int> present;
    for (auto it = ports_.cbegin(); it != ports_.cend(); ++it) {
        if (!(*it)->unplugged) {
            present << it.key();
        }
    }
    return present;
}

int SimulatedSerialLines::Status(int port) {
    if (!ports_.contains(port) || ports_[port]->unplugged) {
        return kPortAbsent;
    }
    const SimulatedPort& entry = *ports_[port];
    if (entry.busy) {
        return kPortInUse;
    }
    return entry.refuseOpen ? kPortUnusable : kPortFree;
}

std::unique_ptr<SerialLine> SimulatedSerialLines::Create(int port) {
    if (!ports_.contains(port)) {
        return nullptr;
    }
    return std::make_unique<SimulatedLine>(ports_[port]);
}

SimulatedLine::SimulatedLine(std::shared_ptr<SimulatedPort> port, QObject* parent)
    : SerialLine(parent), port_(std::move(port)) {}

bool SimulatedLine::Open() {
    if (port_->refuseOpen || port_->busy || port_->unplugged) {
        return false;
    }
    open_ = true;
    ++port_->opens;
    return true;
}

bool SimulatedLine::Close() {
    if (port_->stuckOpen) {
        return false;
    }
    open_ = false;
    received_.clear();
    return true;
}

void SimulatedLine::Apply(const LineSettings& settings) {
    settings_ = settings;
    port_->lastSettings = settings;
}

void SimulatedLine::Write(const QByteArray& bytes) {
    if (!open_) {
        return;
    }
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT BytesWritten(); }, Qt::QueuedConnection);
    if (!port_->adapter) {
        QMetaObject::invokeMethod(
            this, [this, bytes] { Deliver(bytes); }, Qt::QueuedConnection);
        return;
    }
    for (const AdapterOutput& output : port_->adapter->Receive(bytes, settings_.baud)) {
        if (output.lineGone) {
            QMetaObject::invokeMethod(
                this, [this] { GoAway(); }, Qt::QueuedConnection);
            return;
        }
        if (output.delayMs <= 0) {
            const QByteArray chunk = output.bytes;
            QMetaObject::invokeMethod(
                this, [this, chunk] { Deliver(chunk); }, Qt::QueuedConnection);
            continue;
        }
        // A late reply, on the clock the waits run on.
        auto* timer = new ClockTimer(this);
        const QByteArray chunk = output.bytes;
        connect(timer, &ClockTimer::timeout, this, [this, timer, chunk] {
            timer->stop();
            timer->deleteLater();
            Deliver(chunk);
        });
        timer->start(output.delayMs);
    }
}

void SimulatedLine::Deliver(const QByteArray& bytes) {
    if (!open_) {
        return;
    }
    received_ += bytes;
    Q_EMIT ReadyRead();
}

QByteArray SimulatedLine::ReadAll() {
    QByteArray bytes;
    bytes.swap(received_);
    return bytes;
}

void SimulatedLine::GoAway() {
    port_->unplugged = true;
    if (open_) {
        open_ = false;
        Q_EMIT Lost();
    }
}

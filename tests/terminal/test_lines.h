#pragma once
// In-process lines for the terminal tests: a loopback that can lose, change or delay what it
// returns (delays on the clock seam).

#include "base/clock.h"
#include "components/serial_line.h"

#include <QMap>

#include <memory>

struct TestPort {
    // Characters at positions spoilFrom..spoilTo of all written are lost, or XOR-ed with xorWith.
    qint64 spoilFrom = -1, spoilTo = -1;
    int xorWith = -1;
    qint64 delayFrom = 0;  // characters from here on come back delayMs late
    int delayMs = 0;
    QList<qint64> writes;  // clock time of each write
    qint64 written = 0;
    class TestLine* line = nullptr;  // while open
};

class TestLine : public SerialLine {
public:
    explicit TestLine(std::shared_ptr<TestPort> port) : port_(std::move(port)) {}
    ~TestLine() override { Close(); }
    bool Open() override {
        port_->line = this;
        return true;
    }
    bool Close() override {
        if (IsOpen()) {
            port_->line = nullptr;
        }
        received_.clear();
        return true;
    }
    bool IsOpen() const override { return port_->line == this; }
    void Apply(const LineSettings&) override {}
    void SetFlowControl(bool, bool) override {}
    void SetDtr(bool) override {}
    void SetRts(bool) override {}
    void Discard() override { received_.clear(); }
    QByteArray ReadAll() override { return std::exchange(received_, {}); }
    void Write(const QByteArray& bytes) override {
        if (!IsOpen()) {
            return;
        }
        port_->writes.append(CurrentClock().NowMs());
        QByteArray now, late;
        for (char c : bytes) {
            const qint64 p = port_->written++;
            const bool spoilt = p >= port_->spoilFrom && p <= port_->spoilTo;
            if (!spoilt || port_->xorWith >= 0) {
                (port_->delayMs > 0 && p >= port_->delayFrom ? late : now) +=
                    spoilt ? char(c ^ port_->xorWith) : c;
            }
        }
        Arrive(now, 0);
        Arrive(late, port_->delayMs);
    }

    // The device goes away.
    void Unplug() { Close(), Q_EMIT Lost(); }
    // Characters reach the component through the event loop, late ones on the clock.
    void Arrive(const QByteArray& bytes, int delayMs = 0) {
        const auto deliver = [this, bytes] {
            if (IsOpen() && !bytes.isEmpty()) {
                received_ += bytes;
                Q_EMIT ReadyRead();
            }
        };
        if (delayMs <= 0) {
            QMetaObject::invokeMethod(this, deliver, Qt::QueuedConnection);
            return;
        }
        auto* timer = new ClockTimer(this);
        connect(timer, &ClockTimer::timeout, this, [timer, deliver] {
            timer->stop();
            timer->deleteLater();
            deliver();
        });
        timer->start(delayMs);
    }

private:
    std::shared_ptr<TestPort> port_;
    QByteArray received_;
};

class TestLines : public SerialLineProvider {
public:
    TestLines() : previous_(SetSerialLineProvider(this)) {}
    ~TestLines() override { SetSerialLineProvider(previous_ == this ? nullptr : previous_); }
    void Add(int port) { ports_[port] = std::make_shared<TestPort>(); }
    TestPort& Port(int port) { return *ports_[port]; }
    QList<int> PresentPorts() override { return ports_.keys(); }
    int Status(int port) override { return ports_.contains(port) ? kPortFree : kPortAbsent; }
    std::unique_ptr<SerialLine> Create(int port) override {
        return ports_.contains(port) ? std::make_unique<TestLine>(ports_[port]) : nullptr;
    }

private:
    QMap<int, std::shared_ptr<TestPort>> ports_;
    SerialLineProvider* previous_;
};

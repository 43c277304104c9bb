#include "tests/terminal/test_lines.h"

#include "base/clock.h"

namespace {

class TestLine : public SerialLine {
public:
    explicit TestLine(std::shared_ptr<TestPort> port) : port_(std::move(port)) {}
    ~TestLine() override { Close(); }

    bool Open() override {
        open_ = port_->open = true;
        port_->inject = [this](const QByteArray& bytes) { Arrive(bytes, 0); };
        port_->unplug = [this] {
            Close();
            Q_EMIT Lost();
        };
        return true;
    }
    bool Close() override {
        if (open_) {
            open_ = port_->open = false;
            port_->inject = nullptr;
            port_->unplug = nullptr;
        }
        received_.clear();
        return true;
    }
    bool IsOpen() const override { return open_; }
    void Apply(const LineSettings&) override {}
    void SetFlowControl(bool, bool) override {}
    void SetDtr(bool) override {}
    void SetRts(bool) override {}
    void Discard() override { received_.clear(); }
    QByteArray ReadAll() override {
        QByteArray bytes;
        bytes.swap(received_);
        return bytes;
    }

    void Write(const QByteArray& bytes) override {
        if (!open_) {
            return;
        }
        port_->writes.append({CurrentClock().NowMs(), bytes});
        QByteArray now;
        QByteArray late;
        for (const char c : bytes) {
            const qint64 position = port_->written++;
            const std::optional<char> back = port_->fault ? port_->fault(position, c) : c;
            if (port_->echo && back) {
                (port_->delayMs > 0 && position >= port_->delayFrom ? late : now) += *back;
            }
        }
        Arrive(now, 0);
        Arrive(late, port_->delayMs);
    }

private:
    // Characters reach the component through the event loop, late ones on the clock.
    void Arrive(const QByteArray& bytes, int delayMs) {
        if (bytes.isEmpty()) {
            return;
        }
        if (delayMs <= 0) {
            QMetaObject::invokeMethod(
                this, [this, bytes] { Deliver(bytes); }, Qt::QueuedConnection);
            return;
        }
        auto* timer = new ClockTimer(this);
        connect(timer, &ClockTimer::timeout, this, [this, timer, bytes] {
            timer->stop();
            timer->deleteLater();
            Deliver(bytes);
        });
        timer->start(delayMs);
    }
    void Deliver(const QByteArray& bytes) {
        if (open_) {
            received_ += bytes;
            Q_EMIT ReadyRead();
        }
    }

    std::shared_ptr<TestPort> port_;
    bool open_ = false;
    QByteArray received_;
};

}  // namespace

QByteArray TestPort::AllWritten() const {
    QByteArray all;
    for (const Write& w : writes) {
        all += w.bytes;
    }
    return all;
}

TestLines::TestLines() : previous_(SetSerialLineProvider(this)) {}

TestLines::~TestLines() {
    SetSerialLineProvider(previous_ == this ? nullptr : previous_);
}

TestPort& TestLines::Add(int port) {
    ports_[port] = std::make_shared<TestPort>();
    return *ports_[port];
}

void TestLines::Inject(int port, const QByteArray& bytes) {
    if (ports_.contains(port) && ports_[port]->inject) {
        ports_[port]->inject(bytes);
    }
}

std::unique_ptr<SerialLine> TestLines::Create(int port) {
    if (!ports_.contains(port)) {
        return nullptr;
    }
    return std::make_unique<TestLine>(ports_[port]);
}

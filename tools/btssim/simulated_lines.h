#pragma once
// In-process serial lines for tests: COM ports wired to a simulated BTS adapter or looped
// back. Replies travel through the event loop (and delayed ones on the clock seam), as
// characters from a real port would.

#include "components/serial_line.h"
#include "tools/btssim/adapter_model.h"

#include <QMap>

#include <memory>

struct SimulatedPort {
    std::shared_ptr<BtsAdapterModel> adapter;  // null for a loopback
    bool refuseOpen = false;                   // the device cannot be opened
    bool stuckOpen = false;                    // closing it has no effect
    bool busy = false;                         // reported in use by another program
    LineSettings lastSettings;                 // what the component last set on the line
    int opens = 0;                             // how often it was opened
    bool unplugged = false;                    // the line went away; the port is gone
};

class SimulatedSerialLines : public SerialLineProvider {
public:
    // Installs itself as the current provider for its lifetime.
    SimulatedSerialLines();
    ~SimulatedSerialLines() override;
    SimulatedSerialLines(const SimulatedSerialLines&) = delete;
    SimulatedSerialLines& operator=(const SimulatedSerialLines&) = delete;

    BtsAdapterModel& AddAdapter(int port);
    void AddLoopback(int port);
    SimulatedPort& Port(int port);

    QList<int> PresentPorts() override;
    int Status(int port) override;
    std::unique_ptr<SerialLine> Create(int port) override;

private:
    // Shared with the lines, which may outlive the provider by a deferred delete.
    QMap<int, std::shared_ptr<SimulatedPort>> ports_;
    SerialLineProvider* previous_;
};

class SimulatedLine : public SerialLine {
    Q_OBJECT
public:
    explicit SimulatedLine(std::shared_ptr<SimulatedPort> port, QObject* parent = nullptr);

    bool Open() override;
    bool Close() override;
    bool IsOpen() const override { return open_; }
    void Apply(const LineSettings& settings) override;
    void SetFlowControl(bool, bool) override {}
    void SetDtr(bool) override {}
    void SetRts(bool) override {}
    void Write(const QByteArray& bytes) override;
    QByteArray ReadAll() override;
    void Discard() override { received_.clear(); }

private:
    void Deliver(const QByteArray& bytes);
    void GoAway();

    std::shared_ptr<SimulatedPort> port_;
    bool open_ = false;
    LineSettings settings_;
    QByteArray received_;
};

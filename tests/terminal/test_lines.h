#pragma once
// In-process lines for the terminal tests: a loopback that can drop, change or delay the
// characters it returns (delays on the clock seam), or a line that returns nothing. Every
// write is kept with the clock time it was made at, and the test can play the far end.

#include "components/serial_line.h"

#include <QList>
#include <QMap>

#include <functional>
#include <memory>
#include <optional>

struct TestPort {
    bool echo = true;  // loop back what is written
    // What comes back for the character at this position of everything written since the
    // port was made; nothing drops it.
    std::function<std::optional<char>(qint64 position, char c)> fault;
    // Characters from this position on come back delayMs late.
    qint64 delayFrom = 0;
    int delayMs = 0;

    struct Write {
        qint64 atMs;
        QByteArray bytes;
    };
    QList<Write> writes;
    qint64 written = 0;
    bool open = false;
    // Set while the line is open.
    std::function<void(const QByteArray&)> inject;
    std::function<void()> unplug;  // the device goes away

    QByteArray AllWritten() const;
};

class TestLines : public SerialLineProvider {
public:
    TestLines();  // installs itself for its lifetime
    ~TestLines() override;
    TestLines(const TestLines&) = delete;
    TestLines& operator=(const TestLines&) = delete;

    TestPort& Add(int port);
    TestPort& Port(int port) { return *ports_[port]; }
    // The far end sends these bytes.
    void Inject(int port, const QByteArray& bytes);

    QList<int> PresentPorts() override { return ports_.keys(); }
    int Status(int port) override { return ports_.contains(port) ? kPortFree : kPortAbsent; }
    std::unique_ptr<SerialLine> Create(int port) override;

private:
    QMap<int, std::shared_ptr<TestPort>> ports_;
    SerialLineProvider* previous_;
};

#pragma once
// A pseudo-terminal standing in for a serial device. The slave is opened like any serial
// port; the far end is the master side, played by the test or returning every byte it gets.

#include "components/qserial_line.h"

#include <memory>

// The system's serial lines in use while the object lives.
class SystemLinesInUse : public SystemSerialLines {
public:
    SystemLinesInUse() : previous_(SetSerialLineProvider(this)) {}
    ~SystemLinesInUse() override { SetSerialLineProvider(previous_); }

private:
    SerialLineProvider* previous_;
};

#ifndef Q_OS_WIN
#include <QSocketNotifier>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

// Windows has no pseudo-terminals: scripts/windows registers one of this machine's as COM7.
class PtyPair {
public:
    explicit PtyPair(bool echo = false) : master_(::posix_openpt(O_RDWR | O_NOCTTY)) {
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            return;
        }
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        device_ = QString::fromLocal8Bit(::ptsname(master_));
        if (echo) {
            notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
            QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Echo(); });
        }
    }
    ~PtyPair() {
        lines_.reset();
        CloseMaster();
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool IsValid() const { return !device_.isEmpty(); }
    QString Device() const { return device_; }
    int Master() const { return master_; }
    // The device goes away.
    void CloseMaster() {
        notifier_.reset();
        if (master_ >= 0) {
            ::close(std::exchange(master_, -1));
        }
    }
    // COMn is this device, through the system lines, while the object lives.
    void MapPort(int port) {
        if (!lines_) {
            lines_ = std::make_unique<SystemLinesInUse>();
        }
        lines_->MapPort(port, device_);
    }

private:
    void Echo() {
        char buffer[4096];
        for (ssize_t n; (n = ::read(master_, buffer, sizeof buffer)) > 0;) {
            for (ssize_t done = 0; done < n;) {
                done += std::max<ssize_t>(::write(master_, buffer + done, size_t(n - done)), 0);
            }
        }
    }
    int master_;
    QString device_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<SystemLinesInUse> lines_;
};

// The looped-back line of the terminal's test and benchmark.
struct PtyLoopback : PtyPair {
    PtyLoopback() : PtyPair(true) {}
};
#endif

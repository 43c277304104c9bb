#pragma once
// A pseudo-terminal whose far end returns every byte it receives: a looped-back serial line
// for the terminal's test and benchmark. The slave device is opened like any serial port.

#include <QSocketNotifier>
#include <QString>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>

class PtyLoopback {
public:
    PtyLoopback() : master_(::posix_openpt(O_RDWR | O_NOCTTY)) {
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            return;
        }
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        device_ = QString::fromLocal8Bit(::ptsname(master_));
        notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Echo(); });
    }
    ~PtyLoopback() {
        notifier_.reset();
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    PtyLoopback(const PtyLoopback&) = delete;
    PtyLoopback& operator=(const PtyLoopback&) = delete;
    bool IsValid() const { return !device_.isEmpty(); }
    QString Device() const { return device_; }

private:
    void Echo() {
        char buffer[4096];
        for (ssize_t n; (n = ::read(master_, buffer, sizeof buffer)) > 0;) {
            for (ssize_t done = 0, w; done<n; done += w> 0 ? w : 0) {
                w = ::write(master_, buffer + done, size_t(n - done));
            }
        }
    }
    int master_;
    QString device_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

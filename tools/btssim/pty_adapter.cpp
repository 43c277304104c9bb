#include "tools/btssim/pty_adapter.h"

#include <QTimer>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

namespace {

qint32 SpeedToBaud(speed_t speed) {
    switch (speed) {
        case B1200:
            return 1200;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        default:
            return 0;
    }
}

}  // namespace

PtyAdapter::PtyAdapter(BtsAdapterModel& model, QObject* parent) : QObject(parent), model_(model) {}

PtyAdapter::~PtyAdapter() {
    CloseAll();
}

bool PtyAdapter::Open(QString* error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        *error = QStringLiteral("cannot open a pseudo-terminal: ") +
                 QString::fromLocal8Bit(::strerror(errno));
        CloseAll();
        return false;
    }
    const char* name = ::ptsname(master_);
    if (!name) {
        *error = QStringLiteral("no name for the pseudo-terminal");
        CloseAll();
        return false;
    }
    devicePath_ = QString::fromLocal8Bit(name);
    // Holding the slave open keeps the master readable while no program has the port
    // open, and keeps the line settings between opens. The line starts raw, as a serial
    // port does: no echo, no translation of CR and LF.
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slave_ >= 0) {
        termios t{};
        if (::tcgetattr(slave_, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(slave_, TCSANOW, &t);
        }
    }
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &PtyAdapter::OnReadable);
    return true;
}

qint32 PtyAdapter::LineBaud() const {
    termios t{};
    if (::tcgetattr(master_, &t) != 0) {
        return 0;
    }
    return SpeedToBaud(::cfgetospeed(&t));
}

void PtyAdapter::OnReadable() {
    char buffer[4096];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        }
        // Nothing holds the slave: wait for the next open instead of spinning.
        notifier_->setEnabled(false);
        QTimer::singleShot(20, this, [this] {
            if (notifier_) {
                notifier_->setEnabled(true);
            }
        });
        return;
    }
    const int commandsBefore = int(model_.commands.size());
    const QList<AdapterOutput> outputs = model_.Receive(QByteArray(buffer, int(n)), LineBaud());
    for (const AdapterOutput& output : outputs) {
        if (output.lineGone) {
            CloseAll();
            Q_EMIT LineGone();
            return;
        }
        if (output.delayMs <= 0) {
            Send(output.bytes);
        } else {
            const QByteArray bytes = output.bytes;
            QTimer::singleShot(output.delayMs, this, [this, bytes] { Send(bytes); });
        }
    }
    if (model_.commands.size() != commandsBefore) {
        Q_EMIT StateChanged(model_.Describe());
    }
}

void PtyAdapter::Send(const QByteArray& bytes) {
    qsizetype done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return;
        }
        done += n;
    }
}

void PtyAdapter::CloseAll() {
    notifier_.reset();
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

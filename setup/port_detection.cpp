#include "setup/port_detection.h"

#include "base/messages.h"
#include "base/waits.h"
#include "components/saxcomm.h"

namespace {

constexpr int kAttempts = 10;
constexpr int kWaitMs = 100;

void ShowStuckOpen(const QString& port) {
    ShowMessage(QStringLiteral("Comm Error ") + port + QStringLiteral(" stuck open"));
}

// Closes the port, trying again until it is closed or the attempts, counted on from the
// caller's, run out (reported); true when they ran out.
bool CloseWithRetries(SaxComm& comm, int& attempts) {
    comm.SetPortOpen(false);
    WaitMilliseconds(kWaitMs);
    while (comm.PortOpen()) {
        if (++attempts >= kAttempts) {
            ShowStuckOpen(comm.CommPort());
            return true;
        }
        WaitMilliseconds(kWaitMs);
        comm.SetPortOpen(false);
    }
    return false;
}

}  // namespace

bool ProbeOpenPort(SaxComm& comm, const QString& port) {
    comm.SetCommPort(port);
    int attempts = 0;
    for (;;) {
        if (comm.PortOpen()) {
            WaitMilliseconds(kWaitMs);
            if (CloseWithRetries(comm, attempts)) {
                return true;
            }
        }
        comm.SetPortOpen(true);
        if (comm.PortOpen()) {
            comm.SetPortOpen(false);
            return false;
        }
        if (++attempts >= kAttempts) {
            ShowMessage(QStringLiteral("Comm Error ") + port + QStringLiteral(" didn't open"));
            return true;
        }
        WaitMilliseconds(kWaitMs);
    }
}

bool ProbeClosePort(SaxComm& comm, const QString& port) {
    comm.SetCommPort(port);
    int attempts = 0;
    return CloseWithRetries(comm, attempts);
}

PortDetection DetectComPorts(const std::function<bool()>& keepGoing) {
    PortDetection detection;
    for (const QString& port : SaxComm::PortList()) {
        if (SaxComm::PortStatus(port) == kPortInUse) {
            detection.skipped << port;
            continue;
        }
        bool failed = false;
        {
            // A component of its own for each port: one that would not close keeps its line,
            // and the next port must not find that line still open.
            SaxComm comm(QStringLiteral("SaxComm1"));
            failed = ProbeOpenPort(comm, port);
            failed = ProbeClosePort(comm, port) || failed;
        }
        if (failed) {
            detection.failed << port;
        } else {
            detection.usable << port;
            detection.detectedPorts += QLatin1Char(' ') + port.mid(3);
        }
        if (keepGoing && !keepGoing()) {
            return detection;
        }
    }
    detection.completed = true;
    return detection;
}

QString DetectionSummary(const PortDetection& detection) {
    const auto list = [](const QStringList& ports) {
        return ports.isEmpty() ? QStringLiteral("none") : ports.join(QStringLiteral(", "));
    };
    return QStringLiteral("Com port detection finished.\n\nUsable: ") + list(detection.usable) +
           QStringLiteral("\nSkipped (in use): ") + list(detection.skipped) +
           QStringLiteral("\nFailed: ") + list(detection.failed);
}

#pragma once
// Finding the usable serial ports of this computer: each port the serial component lists
// is opened and closed once; a port another program holds is left alone.

#include <QString>
#include <QStringList>

#include <functional>

class SaxComm;

// Opens and closes the port to prove it usable; true when it failed (after its message).
// One count of attempts covers both the closing of a port found open and the opening.
bool ProbeOpenPort(SaxComm& comm, const QString& port);
// Closes the port; true when it would not close (after its message).
bool ProbeClosePort(SaxComm& comm, const QString& port);

struct PortDetection {
    bool completed = false;  // false when it was called off half-way
    QString detectedPorts;   // " 1 3 4": the com_ports text
    QStringList usable;      // port names ("COM1") in the order probed
    QStringList skipped;     // in use by another program or window
    QStringList failed;      // would not open or would not close
};

// Probes every listed port in the component's order. keepGoing is asked after each port;
// when it says no the detection ends with completed false.
PortDetection DetectComPorts(const std::function<bool()>& keepGoing = {});

// One message text for the outcome: which ports were usable, skipped and failed.
QString DetectionSummary(const PortDetection& detection);

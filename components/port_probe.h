#pragma once
// Proving a serial port free before an exchange, and letting it go afterwards. Each window
// that probes has its own wording for the two failures; "%1" stands for the port.

#include <QString>

class SaxComm;

struct PortProbeTexts {
    QString stuckOpen;
    QString stuckOpenTitle;
    QString didNotOpen;
    QString didNotOpenTitle;

    static PortProbeTexts Bts();       // the BTS window
    static PortProbeTexts BtsMan();    // the Bluetooth assistant
    static PortProbeTexts Terminal();  // the terminal
};

// A port that will not close makes the probe show its stuck-open message this many times
// (each after ten tries) before it gives up and reports failure.
constexpr int kStuckOpenRounds = 3;

// Both drop the first blank of port ("COM 5" becomes "COM5"), select it, and return true
// when they failed, after showing their message.
bool ProbeComPort(SaxComm& comm, QString& port,
                  const PortProbeTexts& texts = PortProbeTexts::Bts());
bool ReleaseComPort(SaxComm& comm, QString& port,
                    const PortProbeTexts& texts = PortProbeTexts::Bts());

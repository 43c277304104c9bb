#include "components/port_probe.h"

#include "base/messages.h"
#include "base/waits.h"
#include "components/saxcomm.h"

PortProbeTexts PortProbeTexts::Bts() {
    return {QStringLiteral("Com Error %1 stuck open."), QString(),
            QStringLiteral("Com Error, %1 didn't open."),
            QStringLiteral("BTS configuration COM selection Failed!")};
}

PortProbeTexts PortProbeTexts::BtsMan() {
    return {QStringLiteral("Comm Error %1 stuck open"), QString(),
            QStringLiteral("Comm Error %1 didn't open"), QString()};
}

PortProbeTexts PortProbeTexts::Terminal() {
    const QString title = QStringLiteral("Terminal Mode COM selection Failed!");
    return {QStringLiteral("Com Error %1 stuck open."), title,
            QStringLiteral("Com Error, %1 didn't open."), title};
}

namespace {

void DropFirstBlank(QString& port) {
    const qsizetype blank = port.indexOf(QLatin1Char(' '));
    if (blank >= 0) {
        port.remove(blank, 1);
    }
}

void Show(const QString& text, const QString& port, const QString& title) {
    ShowMessage(QString(text).replace(QLatin1String("%1"), port), MsgButtons::Ok, MsgIcon::Critical,
                title);
}

// Closes the port and waits for it to read closed; false after ten tries.
bool CloseWithRetries(SaxComm& comm) {
    int tries = 0;
    while (comm.PortOpen()) {
        if (++tries >= 10) {
            return false;
        }
        WaitMilliseconds(100);
        comm.SetPortOpen(false);
    }
    return true;
}

}  // namespace

bool ProbeComPort(SaxComm& comm, QString& port, const PortProbeTexts& texts) {
    DropFirstBlank(port);
    comm.SetCommPort(port);
    int attempts = 0;
    int stuckRounds = 0;
    for (;;) {
        if (comm.PortOpen()) {
            WaitMilliseconds(100);
            comm.SetPortOpen(false);
            WaitMilliseconds(100);
            if (!CloseWithRetries(comm)) {
                Show(texts.stuckOpen, port, texts.stuckOpenTitle);
                // A port that never closes would keep the window here for ever.
                if (++stuckRounds >= kStuckOpenRounds) {
                    return true;
                }
            }
            attempts = 0;
            continue;
        }
        comm.SetPortOpen(true);
        if (comm.PortOpen()) {
            comm.SetPortOpen(false);
            return false;
        }
        if (++attempts >= 10) {
            Show(texts.didNotOpen, port, texts.didNotOpenTitle);
            return true;
        }
        WaitMilliseconds(100);
    }
}

bool ReleaseComPort(SaxComm& comm, QString& port, const PortProbeTexts& texts) {
    DropFirstBlank(port);
    comm.SetCommPort(port);
    comm.SetPortOpen(false);
    WaitMilliseconds(100);
    if (!CloseWithRetries(comm)) {
        Show(texts.stuckOpen, port, texts.stuckOpenTitle);
        return true;
    }
    return false;
}

#pragma once
// A private X display (Xvfb) with windows made directly through libxcb, for checking the
// window look-up against a real X server.

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <vector>

namespace xcb {
struct Api;
struct Connection;
}  // namespace xcb

class X11TestDisplay {
public:
    X11TestDisplay();
    ~X11TestDisplay();
    X11TestDisplay(const X11TestDisplay&) = delete;
    X11TestDisplay& operator=(const X11TestDisplay&) = delete;

    // Starts Xvfb and connects; the reason when it cannot (then tests skip).
    QString Start();
    QByteArray Name() const { return name_; }

    // A mapped window; parent 0 is the root. Empty names are not set.
    quint32 MakeWindow(const QByteArray& netWmNameUtf8, const QByteArray& wmNameLatin1,
                       quint32 parent = 0);
    // Publishes _NET_CLIENT_LIST on the root, as a window manager does.
    void SetClientList(const std::vector<quint32>& windows);

private:
    quint32 Atom(const char* name);
    void Sync();

    QProcess server_;
    QByteArray name_;
    const xcb::Api* api_ = nullptr;
    xcb::Connection* connection_ = nullptr;
    quint32 root_ = 0;
};

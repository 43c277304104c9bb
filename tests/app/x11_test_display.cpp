#include "tests/app/x11_test_display.h"

#include "app/xcb_library.h"

#include <QDeadlineTimer>
#include <QStandardPaths>

X11TestDisplay::X11TestDisplay() = default;

X11TestDisplay::~X11TestDisplay() {
    if (connection_) {
        api_->disconnect(connection_);
    }
    if (server_.state() != QProcess::NotRunning) {
        server_.kill();
        server_.waitForFinished(10000);
    }
}

QString X11TestDisplay::Start() {
    api_ = xcb::Library();
    if (!api_) {
        return QStringLiteral("libxcb.so.1 is not installed");
    }
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        return QStringLiteral("Xvfb is not installed");
    }
    // Xvfb picks a free display number and writes it to standard output when it is ready.
    server_.start(xvfb,
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                   QStringLiteral("320x240x24")});
    if (!server_.waitForStarted(20000)) {
        return QStringLiteral("Xvfb did not start: ") + server_.errorString();
    }
    QDeadlineTimer deadline(30000);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired() && server_.state() == QProcess::Running) {
        server_.waitForReadyRead(200);
        out += server_.readAllStandardOutput();
    }
    const QByteArray number = out.trimmed();
    if (number.isEmpty()) {
        return QStringLiteral("Xvfb gave no display: ") +
               QString::fromLocal8Bit(server_.readAllStandardError());
    }
    name_ = ':' + number;
    int screen = 0;
    connection_ = api_->connect(name_.constData(), &screen);
    if (!connection_ || api_->connection_has_error(connection_)) {
        return QStringLiteral("cannot connect to Xvfb at ") + QString::fromLatin1(name_);
    }
    root_ = api_->setup_roots_iterator(api_->get_setup(connection_)).data->root;
    return QString();
}

quint32 X11TestDisplay::Atom(const char* name) {
    return xcb::InternAtom(*api_, connection_, name, false);
}

void X11TestDisplay::Sync() {
    api_->flush(connection_);
    Atom("WM_NAME");  // a round trip: everything sent before it has been handled
}

quint32 X11TestDisplay::MakeWindow(const QByteArray& netWmNameUtf8, const QByteArray& wmNameLatin1,
                                   quint32 parent) {
    const quint32 window = api_->generate_id(connection_);
    api_->create_window(connection_, 0, window, parent ? parent : root_, 0, 0, 50, 50, 0, 1, 0, 0,
                        nullptr);
    if (!netWmNameUtf8.isEmpty()) {
        api_->change_property(connection_, 0, window, Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), 8,
                              quint32(netWmNameUtf8.size()), netWmNameUtf8.constData());
    }
    if (!wmNameLatin1.isEmpty()) {
        api_->change_property(connection_, 0, window, xcb::kAtomWmName, xcb::kAtomString, 8,
                              quint32(wmNameLatin1.size()), wmNameLatin1.constData());
    }
    api_->map_window(connection_, window);
    Sync();
    return window;
}

void X11TestDisplay::SetClientList(const std::vector<quint32>& windows) {
    api_->change_property(connection_, 0, root_, Atom("_NET_CLIENT_LIST"), xcb::kAtomWindow, 32,
                          quint32(windows.size()), windows.data());
    Sync();
}

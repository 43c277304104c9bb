// A stand-in for an outside program: shows one top-level window with the given title on
// the X display in DISPLAY, keeps it for the given milliseconds, then ends.
//   kestrum-window-standin <title> <milliseconds>

#include "base/xcb_library.h"

#include <QByteArray>
#include <QThread>

#include <cstdlib>

int main(int argc, char** argv) {
    const xcb::Api* api = xcb::Library();
    if (argc != 3 || !api) {
        return 2;
    }
    int screen = 0;
    xcb::Connection* c = api->connect(nullptr, &screen);
    if (!c || api->connection_has_error(c)) {
        return 4;
    }
    const xcb::Window root = api->setup_roots_iterator(api->get_setup(c)).data->root;
    const xcb::Window w = api->generate_id(c);
    api->create_window(c, 0, w, root, 0, 0, 120, 80, 0, 1, 0, 0, nullptr);
    const QByteArray title(argv[1]);
    api->change_property(c, 0, w, xcb::InternAtom(*api, c, "_NET_WM_NAME", false),
                         xcb::InternAtom(*api, c, "UTF8_STRING", false), 8, quint32(title.size()),
                         title.constData());
    api->map_window(c, w);
    api->flush(c);
    QThread::msleep(std::strtoul(argv[2], nullptr, 10));
    api->destroy_window(c, w);
    api->flush(c);
    api->disconnect(c);
    return 0;
}

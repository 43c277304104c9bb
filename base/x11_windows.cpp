#include "base/x11_windows.h"

#include "base/xcb_library.h"

#include <cstdlib>
#include <optional>
#include <vector>

namespace {

using namespace xcb;

// Longest title read, in 32-bit units; a longer one is not compared.
constexpr quint32 kTitleWords = 1024;
// Longest window list read, in windows.
constexpr quint32 kListWords = 65536;

class Session {
public:
    Session(const Api& api, const QByteArray& display) : api_(api) {
        int screen = 0;
        connection_ = api_.connect(display.constData(), &screen);
    }
    ~Session() {
        // xcb_connect hands back an error object instead of nothing; it is freed the same way.
        if (connection_) {
            api_.disconnect(connection_);
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Usable() const { return connection_ && !api_.connection_has_error(connection_); }
    Connection* Get() const { return connection_; }

private:
    const Api& api_;
    Connection* connection_ = nullptr;
};

template <class T>
struct Reply {
    T* reply = nullptr;
    explicit Reply(T* r) : reply(r) {}
    ~Reply() { std::free(reply); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
};

std::vector<Window> ClientList(const Api& api, Connection* c, Window root, Atom clientList) {
    std::vector<Window> windows;
    if (clientList == 0) {
        return windows;
    }
    GenericError* error = nullptr;
    Reply<GetPropertyReply> reply(api.get_property_reply(
        c, api.get_property(c, 0, root, clientList, kAtomWindow, 0, kListWords), &error));
    std::free(error);
    if (reply.reply && reply.reply->type == kAtomWindow && reply.reply->format == 32) {
        const auto* ids = static_cast<const Window*>(api.get_property_value(reply.reply));
        const int count = api.get_property_value_length(reply.reply) / int(sizeof(Window));
        windows.assign(ids, ids + count);
    }
    return windows;
}

std::vector<Window> Children(const Api& api, Connection* c, Window root) {
    std::vector<Window> windows;
    GenericError* error = nullptr;
    Reply<QueryTreeReply> reply(api.query_tree_reply(c, api.query_tree(c, root), &error));
    std::free(error);
    if (reply.reply) {
        const Window* ids = api.query_tree_children(reply.reply);
        windows.assign(ids, ids + api.query_tree_children_length(reply.reply));
    }
    return windows;
}

// The titles of the windows under one property; requests go out together, then the
// replies are read, so a long list costs one round trip. Windows without the property
// (or gone meanwhile) get no title.
std::vector<std::optional<QString>> Titles(const Api& api, Connection* c,
                                           const std::vector<Window>& windows, Atom property,
                                           Atom utf8String) {
    std::vector<Cookie> cookies;
    cookies.reserve(windows.size());
    for (Window window : windows) {
        cookies.push_back(api.get_property(c, 0, window, property, kAtomAny, 0, kTitleWords));
    }
    std::vector<std::optional<QString>> titles(windows.size());
    for (size_t i = 0; i < cookies.size(); ++i) {
        GenericError* error = nullptr;
        Reply<GetPropertyReply> reply(api.get_property_reply(c, cookies[i], &error));
        std::free(error);
        const GetPropertyReply* r = reply.reply;
        if (!r || r->type == 0 || r->format != 8 || r->bytesAfter != 0) {
            continue;
        }
        const char* bytes = static_cast<const char*>(api.get_property_value(r));
        const int length = api.get_property_value_length(r);
        titles[i] = (utf8String != 0 && r->type == utf8String) ? QString::fromUtf8(bytes, length)
                                                               : QString::fromLatin1(bytes, length);
    }
    return titles;
}

}  // namespace

quintptr FindX11WindowByTitle(const QByteArray& display, const QString& title) {
    if (display.isEmpty()) {
        return 0;
    }
    const Api* api = Library();
    if (!api) {
        return 0;
    }
    Session session(*api, display);
    if (!session.Usable()) {
        return 0;
    }
    Connection* c = session.Get();
    const Atom netWmName = InternAtom(*api, c, "_NET_WM_NAME", true);
    const Atom utf8String = InternAtom(*api, c, "UTF8_STRING", true);
    const Atom clientList = InternAtom(*api, c, "_NET_CLIENT_LIST", true);

    std::vector<Window> windows;
    for (ScreenIterator it = api->setup_roots_iterator(api->get_setup(c)); it.rem > 0;
         api->screen_next(&it)) {
        const Window root = it.data->root;
        for (Window w : ClientList(*api, c, root, clientList)) {
            windows.push_back(w);
        }
        for (Window w : Children(*api, c, root)) {
            windows.push_back(w);
        }
    }

    // _NET_WM_NAME first; WM_NAME for the windows that have none.
    std::vector<std::optional<QString>> titles(windows.size());
    if (netWmName != 0) {
        titles = Titles(*api, c, windows, netWmName, utf8String);
    }
    std::vector<Window> unnamed;
    std::vector<size_t> unnamedIndex;
    for (size_t i = 0; i < windows.size(); ++i) {
        if (!titles[i]) {
            unnamed.push_back(windows[i]);
            unnamedIndex.push_back(i);
        }
    }
    const std::vector<std::optional<QString>> wmNames =
        Titles(*api, c, unnamed, kAtomWmName, utf8String);
    for (size_t i = 0; i < unnamed.size(); ++i) {
        titles[unnamedIndex[i]] = wmNames[i];
    }
    for (size_t i = 0; i < windows.size(); ++i) {
        if (titles[i] && *titles[i] == title) {
            return windows[i];
        }
    }
    return 0;
}

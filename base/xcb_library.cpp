#include "base/xcb_library.h"

#include <QLibrary>

#include <cstdlib>
#include <cstring>

namespace xcb {

namespace {

template <class F>
bool Resolve(QLibrary& library, const char* name, F& function) {
    function = reinterpret_cast<F>(library.resolve(name));
    return function != nullptr;
}

bool Load(Api& api) {
    // Kept loaded for the rest of the run: unloading under a live connection would crash.
    static QLibrary library(QStringLiteral("xcb"), 1);
    if (!library.load()) {
        return false;
    }
    return Resolve(library, "xcb_connect", api.connect) &&
           Resolve(library, "xcb_disconnect", api.disconnect) &&
           Resolve(library, "xcb_connection_has_error", api.connection_has_error) &&
           Resolve(library, "xcb_flush", api.flush) &&
           Resolve(library, "xcb_get_setup", api.get_setup) &&
           Resolve(library, "xcb_setup_roots_iterator", api.setup_roots_iterator) &&
           Resolve(library, "xcb_screen_next", api.screen_next) &&
           Resolve(library, "xcb_intern_atom", api.intern_atom) &&
           Resolve(library, "xcb_intern_atom_reply", api.intern_atom_reply) &&
           Resolve(library, "xcb_query_tree", api.query_tree) &&
           Resolve(library, "xcb_query_tree_reply", api.query_tree_reply) &&
           Resolve(library, "xcb_query_tree_children", api.query_tree_children) &&
           Resolve(library, "xcb_query_tree_children_length", api.query_tree_children_length) &&
           Resolve(library, "xcb_get_property", api.get_property) &&
           Resolve(library, "xcb_get_property_reply", api.get_property_reply) &&
           Resolve(library, "xcb_get_property_value", api.get_property_value) &&
           Resolve(library, "xcb_get_property_value_length", api.get_property_value_length) &&
           Resolve(library, "xcb_generate_id", api.generate_id) &&
           Resolve(library, "xcb_create_window", api.create_window) &&
           Resolve(library, "xcb_change_property", api.change_property) &&
           Resolve(library, "xcb_map_window", api.map_window) &&
           Resolve(library, "xcb_destroy_window", api.destroy_window);
}

}  // namespace

const Api* Library() {
    static Api api{};
    static const bool loaded = Load(api);
    return loaded ? &api : nullptr;
}

Atom InternAtom(const Api& api, Connection* connection, const char* name, bool onlyIfExists) {
    GenericError* error = nullptr;
    InternAtomReply* reply = api.intern_atom_reply(
        connection,
        api.intern_atom(connection, onlyIfExists ? 1 : 0, quint16(std::strlen(name)), name),
        &error);
    std::free(error);
    const Atom atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

}  // namespace xcb

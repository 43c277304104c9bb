#pragma once
// libxcb, loaded at run time: the program neither links against X nor needs it, and it
// works the same whether or not X is installed. Only the calls used to list top-level
// windows and their titles, and to make a window (tests do), are taken. The types mirror
// the X protocol's wire layout, which never changes.

#include <QtGlobal>

namespace xcb {

struct Connection;      // opaque
struct Setup;           // opaque
struct QueryTreeReply;  // opaque; read through the accessors
struct GenericError;    // freed with free()

using Window = quint32;
using Atom = quint32;

constexpr Atom kAtomString = 31;
constexpr Atom kAtomWindow = 33;
constexpr Atom kAtomWmName = 39;
constexpr Atom kAtomAny = 0;

struct Cookie {
    unsigned int sequence;
};

struct Screen {
    Window root;  // the first field of xcb_screen_t; the rest is not read
};

struct ScreenIterator {
    const Screen* data;
    int rem;
    int index;
};

struct InternAtomReply {
    quint8 responseType;
    quint8 pad0;
    quint16 sequence;
    quint32 length;
    Atom atom;
};

struct GetPropertyReply {
    quint8 responseType;
    quint8 format;
    quint16 sequence;
    quint32 length;
    Atom type;
    quint32 bytesAfter;
    quint32 valueLen;
    quint8 pad0[12];
};

struct Api {
    Connection* (*connect)(const char* display, int* screen);
    void (*disconnect)(Connection*);
    int (*connection_has_error)(Connection*);
    int (*flush)(Connection*);
    const Setup* (*get_setup)(Connection*);
    ScreenIterator (*setup_roots_iterator)(const Setup*);
    void (*screen_next)(ScreenIterator*);
    Cookie (*intern_atom)(Connection*, quint8 onlyIfExists, quint16 length, const char* name);
    InternAtomReply* (*intern_atom_reply)(Connection*, Cookie, GenericError**);
    Cookie (*query_tree)(Connection*, Window);
    QueryTreeReply* (*query_tree_reply)(Connection*, Cookie, GenericError**);
    Window* (*query_tree_children)(const QueryTreeReply*);
    int (*query_tree_children_length)(const QueryTreeReply*);
    Cookie (*get_property)(Connection*, quint8 remove, Window, Atom property, Atom type,
                           quint32 offset, quint32 length);
    GetPropertyReply* (*get_property_reply)(Connection*, Cookie, GenericError**);
    void* (*get_property_value)(const GetPropertyReply*);
    int (*get_property_value_length)(const GetPropertyReply*);
    quint32 (*generate_id)(Connection*);
    Cookie (*create_window)(Connection*, quint8 depth, Window window, Window parent, qint16 x,
                            qint16 y, quint16 width, quint16 height, quint16 border,
                            quint16 windowClass, quint32 visual, quint32 valueMask,
                            const void* values);
    Cookie (*change_property)(Connection*, quint8 mode, Window, Atom property, Atom type,
                              quint8 format, quint32 length, const void* data);
    Cookie (*map_window)(Connection*, Window);
    Cookie (*destroy_window)(Connection*, Window);
};

// The calls of libxcb.so.1, or nullptr when it cannot be loaded (or lacks one of them).
const Api* Library();

// The atom of a name, or 0 when the server does not know it (and onlyIfExists) or fails.
Atom InternAtom(const Api& api, Connection* connection, const char* name, bool onlyIfExists);

}  // namespace xcb

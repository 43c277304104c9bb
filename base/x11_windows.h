#pragma once
// Top-level windows of an X display, found by title.

#include <QByteArray>
#include <QString>

// The id of a top-level window of the display whose name (_NET_WM_NAME, or WM_NAME when it
// has none) is exactly title; 0 when there is none, or the display cannot be reached, or
// libxcb is not installed. Top-level: the root's children, and the clients the window
// manager lists in _NET_CLIENT_LIST (a reparenting manager puts them inside frames).
quintptr FindX11WindowByTitle(const QByteArray& display, const QString& title);

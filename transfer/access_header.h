#pragma once
// Recognising a Microsoft Access database file by its header, without reading it further.

#include <QString>

// Whether the file starts like an Access database (Jet 3, Jet 4 or a later ACE file).
bool IsAccessFile(const QString& path);

// What start-up says when DNC.mdb is an Access file: what it is and the command that brings
// it into a Kestrum database.
QString AccessDatabaseTitle();
QString AccessDatabaseMessage(const QString& shownPath);

#pragma once
// Creating an empty DNC.mdb for a new installation from the schema script.

#include <QString>

// The schema script built into the program.
QString SchemaScript();

// Creates folder/DNC.mdb from the schema. Refuses (returns false with the reason) when a
// DNC.mdb exists in the folder under any letter case, or the folder does not exist. The
// file appears complete or not at all.
bool CreateDatabaseFile(const QString& folder, QString* error = nullptr);

// Creates a database file at exactly this path from the schema; refuses an existing file.
// A caller that needs the file to appear whole builds it under a temporary name.
bool CreateDatabaseAt(const QString& path, QString* error = nullptr);

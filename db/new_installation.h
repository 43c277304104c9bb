#pragma once
// Creating an empty configuration for a new installation from the schema script: a DNC.mdb
// file, or the tables in an empty server database.

#include <QString>

class DatabaseConnection;

// The schema script built into the program.
QString SchemaScript();

// Creates folder/DNC.mdb from the schema. Refuses (returns false with the reason) when a
// DNC.mdb exists in the folder under any letter case, or the folder does not exist. The
// file appears complete or not at all.
bool CreateDatabaseFile(const QString& folder, QString* error = nullptr);

// Creates a database file at exactly this path from the schema; refuses an existing file.
// A caller that needs the file to appear whole builds it under a temporary name.
bool CreateDatabaseAt(const QString& path, QString* error = nullptr);
// Creates the tables in an empty server database named by a URI, all or nothing. Refuses
// (false with the reason) a database that already holds any of them, or one that cannot be
// reached.
bool CreateServerSchema(const QString& uri, QString* error = nullptr);

// Makes Kestrum's own tables (the change log) where they are missing, on an open database
// made before them. Runs inside the caller's transaction when there is one.
bool AddOwnTables(DatabaseConnection& connection, QString* error = nullptr);

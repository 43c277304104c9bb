#pragma once
// Texts that may hold a database password, made fit for a message, a log or standard error:
// whoever reads a refusal learns which database was meant, never its password.

#include <QString>

// A database location as messages show it: a server URI with its password (in the user part
// or as a password parameter) replaced by "***"; a file path as it is.
QString ShownLocation(const QString& location);

// Any text with the password of every server URI and every "password=" parameter in it
// replaced by "***": the last guard before a message leaves a program.
QString WithoutPasswords(const QString& text);

#pragma once
// Whole-file replacement for the files the DNC servers read: written beside the target and
// renamed over it, so a reader (or a crash) sees the old file or the new one, never half.

#include <QByteArray>
#include <QString>

#include <optional>

// Replaces path (path text, through NativePath) with bytes. On failure the old file is
// untouched and error says why.
bool SaveFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Copies source over target the same way. Copying a file onto itself does nothing and
// succeeds.
bool CopyFileAtomically(const QString& source, const QString& target, QString* error = nullptr);

// Reads a whole file; nothing when it cannot be read.
std::optional<QByteArray> ReadWholeFile(const QString& path, QString* error = nullptr);

// The same file (both exist and are one file on disk).
bool SameFile(const QString& a, const QString& b);

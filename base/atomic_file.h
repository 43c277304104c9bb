#pragma once
// Replacing a file whole: the new contents go to a temporary file beside it, which is then
// renamed over it, so a reader or a crash sees the old file or the new one, never half.
//
// The temporary file is named "<name>.kestrum-tmp-<process id>-<6 characters>", so it is
// unmistakably ours. A write that is killed leaves it behind; the next write to the same
// file removes such leftovers of processes that no longer run, and nothing else.

#include <QByteArray>
#include <QString>

// Writes bytes as the whole of the file at this local path (no path-text mapping). Keeps
// the permissions of a file it replaces. Returns false, leaving the file as it was, when
// the temporary file cannot be written or renamed; error (when given) then says why.
bool ReplaceFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Whether a file name is one of our temporary files for the file named target (tests).
bool IsTemporaryFileOf(const QString& fileName, const QString& target);

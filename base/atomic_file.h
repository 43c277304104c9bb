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
// the permissions of a file it replaces. Only a regular file, a link to one, or nothing at
// all is replaced (see ReplaceRefusal). Returns false, leaving the file as it was, when it
// is refused or the temporary file cannot be written or renamed; error (when given) then
// says why. While another program holds the file open, Windows refuses the rename: it is
// tried again until kDatabaseWaitMs have passed on the current clock (see base/clock.h).
bool ReplaceFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Why the thing at this local path must not be replaced by a file ("" when it may): a
// folder, a FIFO, a socket, a device, or a link that points nowhere (following it would
// create a file somewhere else). The rename would put a regular file in its place.
QString ReplaceRefusal(const QString& path);

// Moves a finished file into place only when nothing (not even a link that points nowhere)
// stands under the new name; never copies. Returns false with the reason otherwise.
bool RenameWithoutReplacing(const QString& from, const QString& to, QString* error = nullptr);

// Renames from over to in one step, replacing a file there, with the same wait as above
// while to is open in another program. Returns false with the reason otherwise.
bool RenameOver(const QString& from, const QString& to, QString* error = nullptr);

// Whether a file name is one of our temporary files for the file named target (tests).
bool IsTemporaryFileOf(const QString& fileName, const QString& target);

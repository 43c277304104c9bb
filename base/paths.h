#pragma once
// Path text. Settings and the database hold Windows path text (upper-cased, with "\" and
// drive letters); the file system of this computer may differ. Every file access goes
// through NativePath, so the same text works on Windows and on Linux.

#include <QString>

// folder + separator + name, with the platform's separator ("\" on Windows, "/" elsewhere),
// except that Windows path text (holding "\" and no "/") is joined with "\" everywhere.
// A folder that already ends in a separator gets no second one.
QString JoinPath(const QString& folder, const QString& name);

// The local path for path text. On Windows the text itself. Elsewhere "\" becomes "/", a
// leading drive letter ("C:") stands for the root, and each part that exists under another
// letter case is found as Windows would find it (the exact spelling wins when both exist).
// Parts that do not exist are kept as written.
QString NativePath(const QString& pathText);

// The path text for a local path, the inverse of NativePath: on Windows the path with "\".
// Elsewhere the root is drive "C:" and "/" becomes "\" (/srv/dnc/PARTS gives
// C:\srv\dnc\PARTS, / gives C:\). A relative path only has its separators turned.
QString WindowsPathText(const QString& localPath);

// The local folder a drive letter stands for in NativePath and WindowsPathText: the root
// of the file system (on Windows the drive itself) unless a stand-in is set, as tests do so
// that nothing is written into the real root. Empty restores the default. Returns the
// previous stand-in ("" for none).
QString SetDriveRoot(const QString& localFolder);

// The name of the file or folder as stored in its folder, when the path names one (letter
// case ignored, as a Windows directory listing does); "" when it does not exist.
QString StoredFileName(const QString& pathText);

// Path text as a message shows it: on Linux its folder as it is found on disk, when it
// exists under any letter case, so the operator can open it; otherwise the text itself.
QString DisplayPath(const QString& pathText);

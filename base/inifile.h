#pragma once
// INI files read and written the way the Windows private-profile calls do, because the
// DNC servers read these files with those calls. Files are ANSI (Latin-1) with CR LF.
// QSettings must never touch them: it rewrites files in its own format.

#include "base/ini_text.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The value of key in section of the file, cut to 126 characters; the default when the
// file, section or key is missing or the value is empty. Reads the file afresh every time.
QString ReadIniValue(const QString& file, const QString& section, const QString& key,
                     const QString& defaultValue);

// The values of one reading of an INI file, for a caller that takes many values at once
// (start-up reads some twenty settings): each Read answers as ReadIniValue would have when
// the file was read.
class IniFileValues {
public:
    explicit IniFileValues(const QString& file);
    QString Read(const QString& section, const QString& key, const QString& defaultValue) const;

private:
    std::optional<IniText> text_;
};

// Writes key=value into section of the file, creating the file, section or key as needed
// and keeping every other byte; the lines it writes end in CR LF. The file is replaced
// atomically. A section, key or value holding CR, LF or NUL is refused and the file is left
// as it was, as is a file that exists but cannot be read. Returns whether the file now
// holds the value.
bool WriteIniValue(const QString& section, const QString& key, const QString& value,
                   const QString& file);

// The bytes of an INI file after WriteIniValue(section, key, value) on a file holding
// bytes (empty for a missing file): a whole file can be built in memory by a series of
// writes and then saved once. Nothing when the write would be refused.
std::optional<QByteArray> IniBytesWithValue(const QByteArray& bytes, const QString& section,
                                            const QString& key, const QString& value);

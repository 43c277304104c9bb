#pragma once
// The lines of an INI file as the Windows private-profile calls see them. It works on the
// file's own bytes (ANSI), so a writer can copy every untouched byte back exactly, and a
// reader can take whole sections (the merge of DNCAdmin files does).

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

enum class IniLineKind : quint8 {
    Other,    // blank, or text without "=": never a key
    Comment,  // first non-blank character ";"
    Section,  // first non-blank character "["
    Key,      // holds "=": key and value
};

struct IniLine {
    qsizetype begin = 0;  // first byte of the line
    qsizetype end = 0;    // one past the last byte before the line break
    qsizetype next = 0;   // first byte after the line break (end when there is none)
    IniLineKind kind = IniLineKind::Other;
    // Section: its name; Key: the key. Trimmed, as written in the file.
    qsizetype nameBegin = 0;
    qsizetype nameEnd = 0;
    // Key: the value, trimmed, quotes still on.
    qsizetype valueBegin = 0;
    qsizetype valueEnd = 0;
};

class IniText {
public:
    IniText() = default;
    explicit IniText(QByteArray bytes);

    const QByteArray& Bytes() const { return bytes_; }
    const std::vector<IniLine>& Lines() const { return lines_; }

    // Index of the header of the first section so named (letter case ignored), or -1.
    // Later copies of a section are never searched.
    int FindSection(QByteArrayView name) const;
    // Index of the first key line so named in the section whose header is at sectionLine.
    int FindKey(int sectionLine, QByteArrayView key) const;
    // Index of the line after the section whose header is at sectionLine.
    int SectionEnd(int sectionLine) const;

    // The name of a section or key line, as written.
    QByteArrayView Name(const IniLine& line) const;
    // The value of a key line as the private-profile calls return it: trimmed, and without
    // one outer pair of matching quotes.
    QByteArrayView Value(const IniLine& line) const;

    // The section names, in file order, each once (a later copy of a name is skipped).
    QStringList SectionNames() const;
    // The keys of a section with their values, in file order, each key once (only the
    // first of duplicates is visible). Nothing when the section is missing.
    QList<QPair<QString, QString>> SectionEntries(const QString& section) const;

    bool EndsWithLineBreak() const;

private:
    QByteArray bytes_;
    std::vector<IniLine> lines_;
};

// A section or key name as it is looked up and written: Latin-1, blanks and tabs trimmed.
QByteArray IniName(const QString& name);

// Section and key names compare without regard to letter case (Latin-1 letters included).
bool IniNamesEqual(QByteArrayView a, QByteArrayView b);

// Reads and splits an INI file (the path goes through NativePath); nothing when it cannot
// be read.
std::optional<IniText> ReadIniText(const QString& file);

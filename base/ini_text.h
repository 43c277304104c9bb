#pragma once
// The lines of an INI file as the Windows private-profile calls see them. An ANSI file is
// worked on in its own bytes, so a writer can copy every untouched byte back exactly; a
// file that starts with the UTF-16LE byte-order mark is read as UTF-16, as Windows does,
// and worked on as UTF-8 (every delimiter is ASCII in both), then written back in UTF-16.
// A reader can take whole sections (the merge of DNCAdmin files does).

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

enum class IniEncoding : quint8 {
    Ansi,     // Latin-1 bytes
    Utf16Le,  // byte-order mark FF FE, then UTF-16LE
};

class IniText {
public:
    IniText() = default;
    // The file's bytes as they are on disk.
    explicit IniText(QByteArray fileBytes);

    IniEncoding Encoding() const { return encoding_; }
    // False when the file's bytes cannot be made again from its text (a UTF-16 file with an
    // odd byte or an unpaired surrogate): such a file must not be rewritten.
    bool Rewritable() const { return rewritable_; }

    // The bytes the lines index: the file's own for ANSI, UTF-8 for a UTF-16 file.
    const QByteArray& Bytes() const { return bytes_; }
    // Bytes of this text's kind as the file holds them (the byte-order mark included).
    QByteArray FileBytes(const QByteArray& bytes) const;
    // Text to bytes of this text's kind and back.
    QByteArray ToBytes(const QString& text) const;
    QString ToText(QByteArrayView bytes) const;
    // Names compare without regard to letter case.
    bool NamesEqual(QByteArrayView a, QByteArrayView b) const;

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
    IniEncoding encoding_ = IniEncoding::Ansi;
    bool rewritable_ = true;
};

// A section or key name a program passes in, as it is looked up and written: trimmed of
// spaces only (a tab is part of the name).
QString IniPassedName(const QString& name);
// The same as Latin-1 bytes, for ANSI files.
QByteArray IniName(const QString& name);

// Section and key names of an ANSI file compare without regard to letter case (Latin-1
// letters included).
bool IniNamesEqual(QByteArrayView a, QByteArrayView b);

// Reads and splits an INI file (the path goes through NativePath); nothing when it cannot
// be read.
std::optional<IniText> ReadIniText(const QString& file);

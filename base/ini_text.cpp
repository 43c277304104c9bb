#include "base/ini_text.h"

#include "base/paths.h"

#include <QFile>

#include <array>

namespace {

// White space in the file's text, as Windows sees it: the vertical tab counts too.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v';
}

const QByteArray kUtf16Mark("\xFF\xFE", 2);

// Lower case of every Latin-1 letter, so "É" matches "é" as the ANSI calls match them.
constexpr std::array<unsigned char, 256> MakeFoldTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        const bool upper = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
        table[size_t(c)] = static_cast<unsigned char>(upper ? c + 0x20 : c);
    }
    return table;
}

constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

// Narrows [begin, end) of data to its trimmed part.
void Trim(const char* data, qsizetype& begin, qsizetype& end) {
    while (begin < end && IsBlank(data[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(data[end - 1])) {
        --end;
    }
}

IniLine ClassifyLine(const char* data, qsizetype begin, qsizetype end) {
    IniLine line;
    line.begin = begin;
    line.end = end;
    qsizetype p = begin;
    while (p < end && IsBlank(data[p])) {
        ++p;
    }
    if (p == end) {
        return line;
    }
    if (data[p] == ';') {
        line.kind = IniLineKind::Comment;
        return line;
    }
    if (data[p] == '[') {
        // The name ends at the first "]"; without one it runs to the end of the line.
        qsizetype close = p + 1;
        while (close < end && data[close] != ']') {
            ++close;
        }
        line.kind = IniLineKind::Section;
        line.nameBegin = p + 1;
        line.nameEnd = close;
        Trim(data, line.nameBegin, line.nameEnd);
        return line;
    }
    qsizetype equals = p;
    while (equals < end && data[equals] != '=') {
        ++equals;
    }
    if (equals == end) {
        return line;
    }
    line.kind = IniLineKind::Key;
    line.nameBegin = p;
    line.nameEnd = equals;
    Trim(data, line.nameBegin, line.nameEnd);
    line.valueBegin = equals + 1;
    line.valueEnd = end;
    Trim(data, line.valueBegin, line.valueEnd);
    return line;
}

}  // namespace

IniText::IniText(QByteArray fileBytes) {
    if (fileBytes.startsWith(kUtf16Mark)) {
        encoding_ = IniEncoding::Utf16Le;
        const qsizetype units = (fileBytes.size() - 2) / 2;
        // The units are little-endian on disk; QString holds them as they are on this machine.
        QString text(units, Qt::Uninitialized);
        const auto* raw = reinterpret_cast<const uchar*>(fileBytes.constData()) + 2;
        for (qsizetype i = 0; i < units; ++i) {
            text[i] = QChar(char16_t(raw[2 * i] | (raw[2 * i + 1] << 8)));
        }
        bytes_ = text.toUtf8();
        // An odd byte or an unpaired surrogate would not come back as it was.
        rewritable_ = fileBytes.size() % 2 == 0 && QString::fromUtf8(bytes_) == text;
    } else {
        bytes_ = std::move(fileBytes);
    }
    const char* data = bytes_.constData();
    const qsizetype size = bytes_.size();
    lines_.reserve(size_t(size / 24 + 1));
    qsizetype begin = 0;
    while (begin < size) {
        // A line ends at CR LF, LF or CR.
        qsizetype end = begin;
        while (end < size && data[end] != '\r' && data[end] != '\n') {
            ++end;
        }
        IniLine line = ClassifyLine(data, begin, end);
        qsizetype next = end;
        if (next < size) {
            next += (data[next] == '\r' && next + 1 < size && data[next + 1] == '\n') ? 2 : 1;
        }
        line.next = next;
        lines_.push_back(line);
        begin = next;
    }
}

QByteArray IniText::FileBytes(const QByteArray& bytes) const {
    if (encoding_ == IniEncoding::Ansi) {
        return bytes;
    }
    const QString text = QString::fromUtf8(bytes);
    QByteArray out = kUtf16Mark;
    out.reserve(2 + 2 * text.size());
    for (const QChar c : text) {
        out += char(c.unicode() & 0xFF);
        out += char(c.unicode() >> 8);
    }
    return out;
}

QByteArray IniText::ToBytes(const QString& text) const {
    return encoding_ == IniEncoding::Ansi ? text.toLatin1() : text.toUtf8();
}

QString IniText::ToText(QByteArrayView bytes) const {
    return encoding_ == IniEncoding::Ansi ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
}

bool IniText::NamesEqual(QByteArrayView a, QByteArrayView b) const {
    if (encoding_ == IniEncoding::Ansi) {
        return IniNamesEqual(a, b);
    }
    return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

int IniText::FindSection(QByteArrayView name) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == IniLineKind::Section && NamesEqual(Name(lines_[i]), name)) {
            return int(i);
        }
    }
    return -1;
}

int IniText::FindKey(int sectionLine, QByteArrayView key) const {
    if (sectionLine < 0) {
        return -1;
    }
    for (size_t i = size_t(sectionLine) + 1; i < lines_.size(); ++i) {
        const IniLine& line = lines_[i];
        if (line.kind == IniLineKind::Section) {
            break;
        }
        if (line.kind == IniLineKind::Key && NamesEqual(Name(line), key)) {
            return int(i);
        }
    }
    return -1;
}

int IniText::SectionEnd(int sectionLine) const {
    size_t i = size_t(sectionLine) + 1;
    while (i < lines_.size() && lines_[i].kind != IniLineKind::Section) {
        ++i;
    }
    return int(i);
}

QByteArrayView IniText::Name(const IniLine& line) const {
    return QByteArrayView(bytes_.constData() + line.nameBegin, line.nameEnd - line.nameBegin);
}

QByteArrayView IniText::Value(const IniLine& line) const {
    QByteArrayView value(bytes_.constData() + line.valueBegin, line.valueEnd - line.valueBegin);
    if (value.size() > 1) {
        const char first = value.front();
        if ((first == '"' || first == '\'') && value.back() == first) {
            value = value.sliced(1, value.size() - 2);
        }
    }
    return value;
}

namespace {

// Only the first of names that match (without regard to case) counts; it is remembered.
bool FirstOccurrence(const IniText& text, std::vector<QByteArrayView>& seen, QByteArrayView name) {
    for (QByteArrayView other : seen) {
        if (text.NamesEqual(other, name)) {
            return false;
        }
    }
    seen.push_back(name);
    return true;
}

}  // namespace

QStringList IniText::SectionNames() const {
    QStringList names;
    std::vector<QByteArrayView> seen;
    for (const IniLine& line : lines_) {
        if (line.kind != IniLineKind::Section) {
            continue;
        }
        const QByteArrayView name = Name(line);
        if (FirstOccurrence(*this, seen, name)) {
            names << ToText(name);
        }
    }
    return names;
}

QList<QPair<QString, QString>> IniText::SectionEntries(const QString& section) const {
    QList<QPair<QString, QString>> entries;
    const int header = FindSection(ToBytes(IniPassedName(section)));
    if (header < 0) {
        return entries;
    }
    std::vector<QByteArrayView> seen;
    const int end = SectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const IniLine& line = lines_[size_t(i)];
        if (line.kind != IniLineKind::Key) {
            continue;
        }
        const QByteArrayView name = Name(line);
        if (FirstOccurrence(*this, seen, name)) {
            entries.append({ToText(name), ToText(Value(line))});
        }
    }
    return entries;
}

bool IniText::EndsWithLineBreak() const {
    return !bytes_.isEmpty() && (bytes_.back() == '\r' || bytes_.back() == '\n');
}

QString IniPassedName(const QString& name) {
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && name.at(begin) == QLatin1Char(' ')) {
        ++begin;
    }
    while (end > begin && name.at(end - 1) == QLatin1Char(' ')) {
        --end;
    }
    return name.mid(begin, end - begin);
}

QByteArray IniName(const QString& name) {
    return IniPassedName(name).toLatin1();
}

bool IniNamesEqual(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (kFold[static_cast<unsigned char>(a[i])] != kFold[static_cast<unsigned char>(b[i])]) {
            return false;
        }
    }
    return true;
}

std::optional<IniText> ReadIniText(const QString& file) {
    QFile in(NativePath(file));
    if (!in.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return IniText(std::move(bytes));
}

#include "base/inifile.h"

#include "base/atomic_file.h"
#include "base/ini_text.h"
#include "base/messages.h"
#include "base/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The calls are made with a 127-character buffer: one terminator, 126 characters.
constexpr qsizetype kValueLimit = 126;

const QByteArray kCrLf("\r\n");

// What the system call leaves for a missing file, section or key: the default without its
// trailing spaces, cut like any value. When that is empty the call returned 0, and then the
// default itself is the answer.
QString MissingValue(const QString& defaultValue) {
    qsizetype end = defaultValue.size();
    while (end > 0 && defaultValue.at(end - 1) == QLatin1Char(' ')) {
        --end;
    }
    if (end == 0) {
        return defaultValue;
    }
    return defaultValue.left(std::min(end, kValueLimit));
}

bool HoldsLineBreak(const QString& text) {
    // A NUL would end the text early for the programs that read the file; refused as well.
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) ||
           text.contains(QChar(0));
}

// The new file contents with key=value in place; bytes is empty for a new file.
QByteArray WithValue(const IniText& text, const QByteArray& section, const QByteArray& key,
                     const QByteArray& value) {
    const QByteArray& bytes = text.Bytes();
    const QByteArray keyLine = key + '=' + value;
    const int header = text.FindSection(section);
    if (header < 0) {
        QByteArray out = bytes;
        if (!out.isEmpty() && !text.EndsWithLineBreak()) {
            out += kCrLf;
        } else if (out.isEmpty() && text.Encoding() == IniEncoding::Utf16Le) {
            // A Unicode file holding only its mark: Windows starts with a line break.
            out += kCrLf;
        }
        out += '[' + section + ']' + kCrLf + keyLine + kCrLf;
        return out;
    }
    const std::vector<IniLine>& lines = text.Lines();
    const int found = text.FindKey(header, key);
    if (found >= 0) {
        // The line keeps its place, its line break and the file's spelling of the key.
        const IniLine& line = lines[size_t(found)];
        QByteArray out;
        out.reserve(bytes.size() + value.size() + 2);
        out += QByteArrayView(bytes).first(line.begin);
        out += text.Name(line);
        out += '=';
        out += value;
        out += QByteArrayView(bytes).sliced(line.end);
        return out;
    }
    // After the last key of the section, so keys keep the order of the calls; comments and
    // blank lines that follow it stay after it.
    int after = header;
    const int end = text.SectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        if (lines[size_t(i)].kind == IniLineKind::Key) {
            after = i;
        }
    }
    const IniLine& line = lines[size_t(after)];
    QByteArray out;
    out.reserve(bytes.size() + keyLine.size() + 4);
    out += QByteArrayView(bytes).first(line.next);
    if (line.next == line.end) {
        out += kCrLf;  // the last line of the file had no line break
    }
    out += keyLine;
    out += kCrLf;
    out += QByteArrayView(bytes).sliced(line.next);
    return out;
}

}  // namespace

QString ReadIniValue(const QString& file, const QString& section, const QString& key,
                     const QString& defaultValue) {
    return IniFileValues(file).Read(section, key, defaultValue);
}

IniFileValues::IniFileValues(const QString& file) : text_(ReadIniText(file)) {}

QString IniFileValues::Read(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    const std::optional<IniText>& text = text_;
    if (!text) {
        return MissingValue(defaultValue);
    }
    const int line = text->FindKey(text->FindSection(text->ToBytes(IniPassedName(section))),
                                   text->ToBytes(IniPassedName(key)));
    if (line < 0) {
        return MissingValue(defaultValue);
    }
    const QByteArrayView value = text->Value(text->Lines()[size_t(line)]);
    if (value.isEmpty()) {
        return defaultValue;
    }
    return text->ToText(value).left(kValueLimit);
}

bool WriteIniValue(const QString& section, const QString& key, const QString& value,
                   const QString& file) {
    if (HoldsLineBreak(section) || HoldsLineBreak(key) || HoldsLineBreak(value)) {
        return false;
    }
    const QString path = NativePath(file);
    if (!ReplaceRefusal(path).isEmpty()) {
        return false;  // reading a FIFO or a device would not even end
    }
    const QFileInfo info(path);
    QByteArray original;
    if (info.exists()) {
        // A file that cannot be read is never replaced: its contents would be lost.
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly)) {
            return false;
        }
        original = in.readAll();
        if (in.error() != QFileDevice::NoError) {
            return false;
        }
    } else if (!info.dir().exists()) {
        return false;
    }
    const IniText text(original);
    if (!text.Rewritable()) {
        // Written back, its bytes would not be those Windows reads: leave it as it is.
        ShowMessage(QStringLiteral("The Unicode file \"") + DisplayPath(file) +
                        QStringLiteral("\" cannot be rewritten exactly; it was left unchanged."),
                    MsgButtons::Ok, MsgIcon::Critical);
        return false;
    }
    const QByteArray updated =
        text.FileBytes(WithValue(text, text.ToBytes(IniPassedName(section)),
                                 text.ToBytes(IniPassedName(key)), text.ToBytes(value)));
    if (info.exists() && updated == original) {
        return true;
    }
    return ReplaceFileAtomically(path, updated);
}

std::optional<QByteArray> IniBytesWithValue(const QByteArray& bytes, const QString& section,
                                            const QString& key, const QString& value) {
    if (HoldsLineBreak(section) || HoldsLineBreak(key) || HoldsLineBreak(value)) {
        return std::nullopt;
    }
    const IniText text(bytes);
    if (!text.Rewritable()) {
        return std::nullopt;
    }
    return text.FileBytes(WithValue(text, text.ToBytes(IniPassedName(section)),
                                    text.ToBytes(IniPassedName(key)), text.ToBytes(value)));
}

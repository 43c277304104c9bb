#include "terminal/terminal_screen.h"

QString TerminalCharText(unsigned char code) {
    if (code >= 127) {
        return QString();
    }
    if (code < 32) {
        return QLatin1Char('<') + QString::number(code, 16).toUpper() + QStringLiteral("H>");
    }
    return QString(QLatin1Char(char(code)));
}

QString TerminalScreen::Draw(const QByteArray& bytes, int& column) const {
    QString text;
    text.reserve(bytes.size() * (view_ == View::Hex ? 3 : 2));
    for (const char c : bytes) {
        const auto code = static_cast<unsigned char>(c);
        if (view_ == View::Hex) {
            if (column == kHexPerLine) {
                text += QLatin1Char('\n');
                column = 0;
            }
            if (column > 0) {
                text += QLatin1Char(' ');
            }
            text += QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
            ++column;
            continue;
        }
        const QString shown = TerminalCharText(code);
        if (shown.isEmpty()) {
            continue;
        }
        // A token such as "<1BH>" is never split over two lines.
        if (column > 0 && column + shown.size() > kMaxLineLength) {
            text += QLatin1Char('\n');
            column = 0;
        }
        text += shown;
        column += int(shown.size());
        if (code == '\n') {
            text += QLatin1Char('\n');
            column = 0;
        }
    }
    return text;
}

QString TerminalScreen::Append(const QByteArray& bytes) {
    kept_ += bytes;
    if (kept_.size() > kKeptBytes) {
        kept_.remove(0, kept_.size() - kKeptBytes);
    }
    return Draw(bytes, column_);
}

QString TerminalScreen::Render() const {
    int column = 0;
    return Draw(kept_, column);
}

QString TerminalScreen::SetView(View view) {
    view_ = view;
    column_ = 0;
    return Draw(kept_, column_);
}

void TerminalScreen::Clear() {
    kept_.clear();
    column_ = 0;
}

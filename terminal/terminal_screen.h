#pragma once
// What the terminal screen shows of the received characters. In the text view a code below
// 32 shows as "<", its upper-case hexadecimal code and "H>" (CR as "<DH>"); a line feed
// shows as "<AH>" and ends the line; codes from 127 on are counted but not shown. The hex
// view shows every byte as two hexadecimal digits, sixteen to a line.
//
// The screen is bounded so a long session never slows the window down: it keeps the latest
// received bytes (for redrawing when the view changes), a line of the text view longer than
// kMaxLineLength continues on the next line, and the window keeps at most kMaxLines lines.

#include <QByteArray>
#include <QString>

class TerminalScreen {
public:
    enum class View { Text, Hex };

    static constexpr int kMaxLines = 2000;
    static constexpr int kMaxLineLength = 1000;
    static constexpr int kHexPerLine = 16;
    static constexpr int kKeptBytes = 64 * 1024;

    // The text to add at the end of the screen for these received bytes; lines end in "\n".
    QString Append(const QByteArray& bytes);
    // The whole screen drawn afresh from the bytes kept, in the current view.
    QString Render() const;
    void Clear();

    // Switches the view; returns the whole screen drawn afresh in it.
    QString SetView(View view);
    View CurrentView() const { return view_; }
    const QByteArray& Kept() const { return kept_; }

private:
    QString Draw(const QByteArray& bytes, int& column) const;

    View view_ = View::Text;
    QByteArray kept_;
    int column_ = 0;  // characters (text) or bytes (hex) on the current line
};

// One received character as the text view shows it ("A", "<DH>", "<AH>" + line end, or
// nothing for codes from 127 on), without the line end of a line feed.
QString TerminalCharText(unsigned char code);

#pragma once
// Small parts the windows built in code share.

class QAbstractItemView;
class QComboBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class QWidget;

#include <QString>

// A label with the object name tests and help find it by, and its tool tip when given.
QLabel* NamedLabel(const QString& name, const QString& text, QWidget* parent,
                   const QString& toolTip = QString());

// A button that never becomes the default: Enter belongs to the field with the focus.
QPushButton* NamedButton(const QString& name, const QString& text, QWidget* parent);

// Accepts Enter and Esc, which have no role in these windows, so neither presses a button nor
// closes the window. Says whether the key was one of them.
bool SwallowEnterAndEsc(QKeyEvent* event);

// Replaces the clipboard's contents with text (the operator pastes it into another program).
void CopyToClipboard(const QString& text);

// A list that could not be read says so (text), or no more (empty text): an empty list would
// say that there is nothing. The view is emptied by its caller, so nothing can be picked.
void ShowListUnreadable(QAbstractItemView* view, const QString& text);
void ShowListUnreadable(QComboBox* combo, const QString& text);
// The text a list shows, "" when it is readable (tests and the help read it).
QString ListUnreadableText(const QAbstractItemView* view);

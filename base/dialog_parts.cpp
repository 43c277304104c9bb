#include "base/dialog_parts.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

QLabel* NamedLabel(const QString& name, const QString& text, QWidget* parent,
                   const QString& toolTip) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    if (!toolTip.isEmpty()) {
        label->setToolTip(toolTip);
    }
    return label;
}

QPushButton* NamedButton(const QString& name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

bool SwallowEnterAndEsc(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return true;
        default:
            return false;
    }
}

void CopyToClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

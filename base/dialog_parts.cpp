#include "base/dialog_parts.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kUnreadableLabel = QStringLiteral("lblUnreadable");

}  // namespace

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

void ShowListUnreadable(QAbstractItemView* view, const QString& text) {
    QWidget* viewport = view->viewport();
    auto* label = viewport->findChild<QLabel*>(kUnreadableLabel, Qt::FindDirectChildrenOnly);
    if (text.isEmpty()) {
        if (label) {
            label->hide();
            label->clear();
        }
        return;
    }
    if (!label) {
        // Over the view's empty area, sized with it; clicks go through to the view.
        label = new QLabel(viewport);
        label->setObjectName(kUnreadableLabel);
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        label->setEnabled(false);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        if (!viewport->layout()) {
            new QVBoxLayout(viewport);
        }
        viewport->layout()->addWidget(label);
    }
    label->setText(text);
    label->show();
}

void ShowListUnreadable(QComboBox* combo, const QString& text) {
    combo->setPlaceholderText(text);
}

QString ListUnreadableText(const QAbstractItemView* view) {
    const auto* label =
        view->viewport()->findChild<QLabel*>(kUnreadableLabel, Qt::FindDirectChildrenOnly);
    return label && !label->isHidden() ? label->text() : QString();
}

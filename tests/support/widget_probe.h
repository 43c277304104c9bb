#pragma once
// Looking at and working a window's controls by name, as the operator would.

#include <QAbstractItemModel>
#include <QComboBox>
#include <QListWidget>
#include <QStringList>

// The named child, or nullptr.
template <class T>
T* Child(const QObject* parent, const char* name) {
    return parent->findChild<T*>(QLatin1String(name));
}

// The texts of a model's rows under parent (first column), of a list or of a combo box.
inline QStringList Entries(const QAbstractItemModel& model, const QModelIndex& parent = {}) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        texts << model.index(row, 0, parent).data().toString();
    }
    return texts;
}
inline QStringList Entries(const QComboBox* box) {
    return Entries(*box->model(), box->rootModelIndex());
}
inline QStringList Entries(const QListWidget* list) {
    return Entries(*list->model());
}

// Chooses the entry with this text (none when it is missing).
inline void Choose(QComboBox* box, const QString& text) {
    box->setCurrentIndex(box->findText(text));
}
inline void Choose(const QObject* parent, const char* comboName, const QString& text) {
    Choose(Child<QComboBox>(parent, comboName), text);
}

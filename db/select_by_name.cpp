#include "db/select_by_name.h"

#include "db/dnc_database.h"

#include <QComboBox>
#include <QListWidget>

namespace {

bool Select(int index, QComboBox* control) {
    control->setCurrentIndex(index < 0 ? 0 : index);
    return index >= 0;
}

bool Select(int index, QListWidget* control) {
    control->setCurrentRow(index < 0 ? 0 : index);
    return index >= 0;
}

}  // namespace

bool SelectServerByName(const QString& name, QComboBox* control) {
    return Select(IndexOfServerName(name), control);
}

bool SelectServerByName(const QString& name, QListWidget* control) {
    return Select(IndexOfServerName(name), control);
}

bool SelectClientByName(const QString& name, QComboBox* control) {
    return Select(IndexOfClientName(name), control);
}

bool SelectClientByName(const QString& name, QListWidget* control) {
    return Select(IndexOfClientName(name), control);
}

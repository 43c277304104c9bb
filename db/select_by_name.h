#pragma once
// Selecting a server or client of the shared lists in a list or combo box filled from them
// (in list order). The entry with exactly this name is selected and true returned; without
// one the first entry is selected and false returned.

#include <QString>

class QComboBox;
class QListWidget;

bool SelectServerByName(const QString& name, QComboBox* control);
bool SelectServerByName(const QString& name, QListWidget* control);
bool SelectClientByName(const QString& name, QComboBox* control);
bool SelectClientByName(const QString& name, QListWidget* control);

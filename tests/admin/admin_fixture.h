#pragma once
// A temporary installation whose database holds servers and their clients (each client
// made with its dependent rows), for the client and move windows.

#include "admin/pick_lists.h"
#include "db/dnc_database.h"
#include "tests/support/temp_installation.h"
#include "tests/support/widget_probe.h"

#include <QTest>

using ServerSetup = TempInstallation::Plant;

class AdminInstallation : public TempInstallation {
public:
    explicit AdminInstallation(const ServerSetup& servers) {
        ResetPickListState();
        AddPlant(servers);
    }
    ~AdminInstallation() { ResetPickListState(); }
};

inline void ClickEntry(QListWidget* list, const QString& text,
                       Qt::MouseButton button = Qt::LeftButton) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable("no entry " + text));
    list->scrollToItem(found.first());
    QTest::mouseClick(list->viewport(), button, {}, list->visualItemRect(found.first()).center());
}

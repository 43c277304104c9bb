#pragma once
// A temporary installation whose database holds servers and their clients (each client
// made with its dependent rows), for the client and move windows.

#include "admin/pick_lists.h"
#include "db/dnc_database.h"
#include "tests/support/temp_installation.h"
#include "tests/support/widget_probe.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <memory>

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

// A window with a server box and a client list on each side (the move and clone windows).
template <class Window>
struct TwoSidedWindow {
    TwoSidedWindow() {
        window->show();
        ready = QTest::qWaitForWindowActive(window.get());
    }
    QComboBox* Servers(int side) const {
        return window->template findChild<QComboBox*>(QStringLiteral("cboServers1_%1").arg(side));
    }
    QListWidget* List(int side) const {
        return window->template findChild<QListWidget*>(QStringLiteral("lstClients1_%1").arg(side));
    }
    void Click(const QString& name) const {
        QTest::mouseClick(window->template findChild<QPushButton*>(name), Qt::LeftButton);
    }
    std::unique_ptr<Window> window = std::make_unique<Window>();
    bool ready = false;
};

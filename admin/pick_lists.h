#pragma once
// Server and client pick lists shared by the client, move, clone and export windows: a
// server combo filled from ServerNames, the remembered server chosen in it, a client list
// filled with the clients of the server chosen in a combo, and the move of a client from
// one server to another.

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class QComboBox;
class QEvent;
class QListWidget;
class QObject;

// ---- Remembered servers (for the whole run, never saved) --------------------------------

// The server last chosen on each side of the move window and of the export window; the two
// windows share them, so either opens on the servers last chosen in the other.
extern std::array<QString, 2> LastMoveServers;
// The server last chosen in the client administration window.
extern QString LastClientServer;

// Back to the start of a run (tests start every case from here).
void ResetPickListState();

// ---- Lists ------------------------------------------------------------------------------

// LoadServerNames, then every entry of ServerNames, in order, into each combo (emptied
// first); when the names could not be read, each combo says so. Nothing is selected afterwards
// (index -1) and no selection signal is emitted, so the following SelectServerInCombo runs the
// window's server choice once.
void FillServerLists(std::initializer_list<QComboBox*> combos);

// An empty server combo that says the servers could not be read (unreadable), or no more.
void ShowServersUnreadable(QComboBox* combo, bool unreadable);

// Selects the entry of ServerNames exactly equal to name (letter case counts) in a combo
// filled from ServerNames, and returns true; without one selects the first entry and
// returns false. An empty combo stays without a selection.
bool SelectServerInCombo(const QString& name, QComboBox* combo);

// What a client list or combo shows when its clients could not be read.
extern const QString kClientsUnreadable;

// Empties the list and fills it with the non-empty client names of the server chosen in
// the combo, in ascending order. Returns that server's id; nothing when no server is chosen
// or the chosen one is no longer in the database (the list then stays empty), or when the
// clients could not be read (the list then says so).
std::optional<qint32> FillClientList(const QComboBox* serverCombo, QListWidget* list);

// The first opening of a window with a server combo on each side: when both sides stand on
// the first server and there is a second, the left side moves to the second one, so the two
// sides start on different servers.
void SeparateFirstOpening(QComboBox* left, const QComboBox* right);

// The text of every entry of a list, top down.
QStringList ListEntries(const QListWidget* list);
// The selected entry of a single-selection list; nothing when no entry is selected.
std::optional<QString> SelectedEntry(const QListWidget* list);

// ---- Moving a client --------------------------------------------------------------------

enum class MoveOutcome {
    Moved,
    NoClient,        // no client chosen
    ClientGone,      // no longer on the source server: deleted, renamed or moved elsewhere
    ServerNotFound,  // a side's server is not (or no longer) in the database
    SameServer,      // both sides are the same server
    Failed,          // the statement failed (reported)
};

// Moves the client to the target server: its dnc_server_id is rewritten and nothing else,
// so it keeps its id, its name and every per-client row. Only when both servers are found
// and differ; nothing is shown for a refusal.
MoveOutcome MoveClient(const QString& clientName, const QString& fromServer,
                       const QString& toServer);

// Says that the client listed on the server is no longer there (deleted, renamed or moved by
// someone else meanwhile); the window then reads its lists again.
void ShowClientNotOnServer(const QString& client, const QString& server);

// ---- The right-button export of the move and export windows -----------------------------

// Writes DNCAdmin.ini for these clients of the server. Set by the export code; until then
// the question is asked and nothing more happens.
using ExportClientsFunction =
    std::function<void(const QString& serverName, const QStringList& clientNames)>;
extern ExportClientsFunction ExportClientsToDncAdmin;

// The right mouse button over a client list: only when ExportDncAdminFlag is "TRUE" and the
// left list has clients, asks whether to export the left server and, on Yes, exports every
// client of the left list. Returns whether the export was asked for.
bool OfferClientExport(const QString& leftServer, const QStringList& leftClients);

// For a window's event filter over the viewports of its two client lists: a right-button
// release on either offers the export of the left server's clients. Returns whether the
// event was such a release (the filter then swallows it).
bool OfferClientExportOnRightClick(QObject* watched, QEvent* event,
                                   const std::array<QComboBox*, 2>& servers,
                                   const std::array<QListWidget*, 2>& lists);

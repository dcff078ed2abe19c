// The event loop's state as return ID handlers see it, and the rows that tie
// a return ID (a gadget's, a window's or a menu item's) to its handler. Each
// feature's file holds its handlers and its rows; the loop looks an ID up in
// all of them (ReturnIdTables, main.cpp). A new action is one row and one
// function in the file of its feature, and its table listed once.
#pragma once

#include "gui/history.h"
#include "mui/mui.h"
#include "os/exec.h"

#include <optional>
#include <span>
#include <string>

struct LoopState {
    ProjectHistory history;
    bool quit = false;
    LONG selected = -1;     // the crouton list's active entry as last handled
    LONG lastSelected = -1; // the one before it; a drag's source
};

using ReturnIdHandler = void (*)(LoopState& loop, LONG id);
struct ReturnIdRow {
    LONG id;
    ReturnIdHandler handle;
};

// The features' rows.
std::span<const ReturnIdRow> ProjectReturnIds();     // gui/project_actions.cpp
std::span<const ReturnIdRow> CroutonListReturnIds(); // gui/crouton_list.cpp
std::span<const ReturnIdRow> SettingsReturnIds();    // gui/main_settings.cpp
std::span<const ReturnIdRow> EditorReturnIds();      // gui/editor.cpp
std::span<const ReturnIdRow> DesktopReturnIds();     // gui/desktop.cpp
std::span<const ReturnIdRow> HelpReturnIds();        // gui/help.cpp
std::span<const ReturnIdRow> HistoryReturnIds();     // gui/history.cpp
std::span<const ReturnIdRow> PlayerReturnIds();      // gui/player_actions.cpp
std::span<const ReturnIdRow> PieceStoreReturnIds();  // gui/piece_store_actions.cpp
// All of them, in the order they are searched.
std::span<const std::span<const ReturnIdRow>> ReturnIdTables();
// The handler of a return ID; null for an ID no feature takes.
ReturnIdHandler FindReturnIdHandler(LONG id);

// Steps more than one feature takes.
// Loads the project chosen in the requester (no path) or the one a drop, a
// recent item or the command line names.
void LoadSteps(LoopState& loop, const std::optional<std::string>& path);
// Before the project goes: its unsaved changes are saved, dropped or kept,
// as the user answers. False when the project stays.
bool ChangesMayGo(LoopState& loop, const char* going);

LONG ActiveEntry(const mui::Object* list);
// Makes p the active entry of a list, raising its selection event when it
// changes, or quietly.
void MakeActive(mui::Object* list, LONG p);
void MakeActiveQuietly(mui::Object* list, LONG p);

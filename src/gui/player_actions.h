// The player as the program's windows and scripts use it: "_Run MPlayer"
// and Preview Project open it, the event loop keeps it in step with the
// project and the editor, and the script driver's "player" actions and
// "preview" drive it.
#pragma once

#include "os/exec.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// Preview Project: the whole project in the player, as the render lays it.
void PreviewProject();
// Before each return ID: a render ends a preview and pauses a crouton.
void PlayerBeforeEvent(LONG id);
// After each return ID: a preview follows the project's changes and the
// list's choice; a crouton's player goes with the editor.
void PlayerAfterEvent(LONG id);
// "Set Start" and "Set End": the editor's trims to the frame shown.
void PlayerMark(bool isEnd);
// The event loop has ended: the player goes, with its threads.
void PlayerQuit();

// A script's "player ..." or "preview" line (words without the action's
// own quoting); the complaint when it was refused.
std::optional<std::string> PerformPlayerAction(const std::vector<std::string>& words);
// The dump's player line.
void DumpPlayer(std::ostream& out);

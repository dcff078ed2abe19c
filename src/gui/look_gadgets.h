// The look's gadgets: the project's joins, fades and sound in the main
// window, a crouton's fades, volume, title, pan and zoom in the editor.
#pragma once

#include "gui/script_actions.h"
#include "gui/loop.h"
#include "model/crouton.h"
#include "model/project.h"
#include "mui/mui.h"

#include <span>
#include <string>
#include <vector>

// The entries of the on/off cycles, the kinds of join, and a crouton's own
// join (the project's default first).
std::vector<std::string> OnOffEntries();
std::vector<std::string> TransitionEntries();
std::vector<std::string> OwnJoinEntries();
std::vector<std::string> TitlePlaceEntries();
std::vector<std::string> TitleBackingEntries();
std::vector<std::string> PanZoomEntries();

// The one way the project's look changes: held in its ranges, nothing done
// when it is the same, stored, shown, and the totals told. False when
// nothing changed.
bool SetProjectLook(Project& project, ProjectLook look);
// Shows the project's look in the main window quietly: the join after the
// chosen crouton, open only when one follows it.
void ShowProjectLook(const Project& project);

// Shows a crouton's look in the editor (pan and zoom only for pictures).
void ShowCroutonLook(const Crouton& crouton);
// Opens the editor's look gadgets that apply (after "_Load" changed the
// crouton's kind).
void EnableCroutonLook(const Crouton& crouton);
// Puts the editor's look into the record for "_Save"; false (told to the
// user) when a field holds no number or no colour.
bool TakeCroutonLook(Crouton& crouton);

// The notifications of the look's gadgets.
void InstallLookNotifications(mui::Object* application);

std::span<const ReturnIdRow> LookReturnIds();        // gui/look_gadgets.cpp
std::span<const ReturnIdRow> CroutonLookReturnIds(); // gui/crouton_look.cpp
std::span<const ScriptAction> LookScriptActions();   // gui/look_actions.cpp
// The dump's line of the project's look.
std::string LookDumpLine(const Project& project);

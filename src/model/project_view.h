// How the project shows in the windows. The main window's two lists mirror
// the project's croutons entry for entry, and the model keeps them so; the
// rest of the windows follow a change the model makes through the hooks,
// which gui/ installs when it builds the windows (tests install their own).
// Without hooks a change reaches only the model and the two lists.
#pragma once

#include "model/project.h"
#include "mui/mui.h"

#include <functional>
#include <optional>
#include <string>

// The crouton list and the visual list, valid while the windows stand (or
// while a test's lists do); null otherwise.
extern mui::Object* gCroutonList;
extern mui::Object* gVisualList;

struct ProjectViewHooks {
    // A new or loaded project is in place: the fields show its settings.
    std::function<void(Project*)> projectShown;
    // A loaded project's settings, before its croutons load.
    std::function<void(const ProjectSettings&)> settingsLoaded;
    // The crouton list was reordered: the details show the active crouton.
    std::function<void()> croutonsMoved;
    // A crouton leaves the project: nothing may act on it any more.
    std::function<void(const Crouton*)> croutonRemoved;
    // A new crouton's source was probed as a video clip.
    std::function<void(Crouton*)> clipProbed;
    // The main window's settings as the user left them; none without the
    // window.
    std::function<std::optional<ProjectSettings>()> readSettings;
};

void SetProjectViewHooks(ProjectViewHooks hooks);
const ProjectViewHooks& ProjectView();
// The main window's settings through the hook; none without one.
std::optional<ProjectSettings> ShownSettings();
// One text of the main window's settings as the user left it (a project
// file keeps the custom rate as typed, and a render refuses a size or rate
// in the words typed); empty without the window.
std::string ShownText(std::string ProjectSettings::*text);
std::string ShownText(std::optional<std::string> ProjectSettings::*text);

// Rewrites entry `id` of the crouton list from the project's crouton there,
// makes it the active entry and shows the crouton's picture.
void UpdateGUIListEntry(Project* project, LONG id);
// Every entry, in order.
void UpdateGUIList(Project* project);

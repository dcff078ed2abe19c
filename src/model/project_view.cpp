// The lists that mirror the project, and the hooks the windows follow it by.
#include "model/project_view.h"

#include "model/tables.h"
#include "model/visual_entry.h"

#include <utility>

mui::Object* gCroutonList = nullptr;
mui::Object* gVisualList = nullptr;

namespace {

ProjectViewHooks& Hooks()
{
    static ProjectViewHooks hooks;
    return hooks;
}

} // namespace

void SetProjectViewHooks(ProjectViewHooks hooks) { Hooks() = std::move(hooks); }

const ProjectViewHooks& ProjectView() { return Hooks(); }

std::optional<ProjectSettings> ShownSettings()
{
    const ProjectViewHooks& hooks = Hooks();
    return hooks.readSettings ? hooks.readSettings() : std::nullopt;
}

std::string ShownText(std::string ProjectSettings::*text)
{
    const std::optional<ProjectSettings> shown = ShownSettings();
    return shown ? *shown.*text : std::string();
}

std::string ShownText(std::optional<std::string> ProjectSettings::*text)
{
    const std::optional<ProjectSettings> shown = ShownSettings();
    return shown ? (*shown.*text).value_or("") : std::string();
}

void UpdateGUIList(Project* project)
{
    if (!project)
        return;
    for (LONG id = 0; id < project->numberOfCroutons; ++id)
        UpdateGUIListEntry(project, id);
}

void UpdateGUIListEntry(Project* project, LONG id)
{
    Crouton* crouton = GetCroutonFromPosition(project, id);
    if (!crouton)
        return;
    kprintf("Setting Crouton entry to %s.\n", TraceText(crouton->name));
    mui::NList_ReplaceSingle(gCroutonList, crouton->name.value_or(""), id, 0, 0);
    mui::set(gCroutonList, MUIA_NList_Active, id);
    const auto& picture = crouton->previewFilename[ClampPreviewFrame(crouton->previewFrame)];
    kprintf("Setting preview image for %d to %s.\n", id, TraceText(picture));
    ShowCroutonPicture(crouton);
}

#include "gui/saving.h"

#include "gui/desktop.h"
#include "gui/gui.h"
#include "gui/main.h"
#include "model/crouton.h"

bool SaveProjectSteps(ProjectHistory& history, SaveWay way)
{
    UpdateProjectFromGUI(gProject.get());
    std::string saved;
    bool written = false;
    const BOOL chosen = way == SaveWay::Asking ? SaveProject(gProject.get(), &written, &saved)
                                               : SaveProjectToItsFile(gProject.get(), &written, &saved);
    // Only a save that reports success takes the changed mark away.
    if (!chosen || !written)
        return false;
    history.MarkSaved();
    NoteRecentProject(saved);
    return true;
}

std::string MainTitle(const std::string& projectName, bool changed, const std::string& baseTitle)
{
    std::string title = (changed ? "*" : "") + projectName;
    if (gProject && gProject->hasFile)
        title += " (" + SplitPath(ProjectFilePath(*gProject)).file + ")";
    return title + " - " + baseTitle;
}

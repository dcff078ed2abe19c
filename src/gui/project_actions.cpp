// The project's own actions: new, load, save, render and quit, from their
// buttons and menu items, and the question before unsaved changes go.
#include "gui/desktop.h"
#include "gui/gui.h"
#include "gui/loop.h"
#include "gui/main.h"
#include "gui/main_settings.h"
#include "gui/saving.h"
#include "gui/vocabulary.h"
#include "model/render.h"
#include "os/asl.h"
#include "os/format.h"
#include "os/question.h"

namespace {

void Quit(LoopState& loop, LONG)
{
    if (!ChangesMayGo(loop, "quitting"))
        return;
    kprintf("Quit received!\n");
    loop.quit = true;
}

#ifndef CLIPWEAVER_BASIC
// The menu's Quit asks the same question, without the close gadget's trace.
void QuitFromMenu(LoopState& loop, LONG)
{
    if (ChangesMayGo(loop, "quitting"))
        loop.quit = true;
}
#endif

void NewProjectSteps(LoopState& loop, LONG)
{
    if (!ChangesMayGo(loop, "starting a new project"))
        return;
    DestroyProject(std::move(gProject));
    gProject = NewProject();
    ShowProjectSettings(*gProject);
    loop.history.Reset();
    ShowHighlightedCrouton();
}

// A cancelled request or a file that is no project leaves the window as it
// was, its chosen crouton included.
void LoadChosen(LoopState& loop, LONG) { LoadSteps(loop, std::nullopt); }

void Save(LoopState& loop, LONG) { SaveProjectSteps(loop.history, SaveWay::Asking); }

#ifndef CLIPWEAVER_BASIC
void SaveToItsFile(LoopState& loop, LONG) { SaveProjectSteps(loop.history, SaveWay::ToItsFile); }
#endif

void Render(LoopState&, LONG)
{
    UpdateProjectFromGUI(gProject.get());
    RenderProject(gProject.get());
}

const ReturnIdRow kRows[] = {
    {MUIV_Application_ReturnID_Quit, Quit},
    {GADMSG_MAIN_NEW, NewProjectSteps},
    {GADMSG_MAIN_LOAD, LoadChosen},
    {GADMSG_MAIN_SAVE, Save},
    {GADMSG_MAIN_RENDER, Render},
#ifndef CLIPWEAVER_BASIC
    {MEN_QUIT, QuitFromMenu},
    {MEN_NEW_PROJECT, NewProjectSteps},
    {MEN_LOAD_PROJECT, LoadChosen},
    {MEN_SAVE_PROJECT, SaveToItsFile},
    {MEN_SAVE_PROJECT_AS, Save},
    {MEN_RENDER, Render},
#endif
};

} // namespace

std::span<const ReturnIdRow> ProjectReturnIds() { return kRows; }

// A cancelled request or a file that is no project leaves the window as it
// was, its chosen crouton included.
void LoadSteps(LoopState& loop, const std::optional<std::string>& path)
{
    if (!ChangesMayGo(loop, "loading another project"))
        return;
    bool loaded = false;
    if (path) {
        const PathParts parts = SplitPath(*path);
        gProject = LoadProjectFile(std::move(gProject), parts.directory, parts.file, &loaded);
    } else {
        gProject = LoadProject(std::move(gProject), &loaded);
    }
    kprintf("Loaded.\n");
    if (loaded) {
        MakeActive(gCroutonList, 0);
        loop.history.Reset();
        ShowHighlightedCrouton();
        NoteRecentProject(path ? *path : ProjectPath(*gProject));
    }
}

// Unanswered, the changes are dropped, as they always were.
bool ChangesMayGo(LoopState& loop, const char* going)
{
    if (!loop.history.Changed())
        return true;
    const std::string name = ReadMainSettings().projectName;
    enum { kSave, kDiscard, kCancel };
    const int answer = AskQuestion({"Unsaved changes", Format("Save changes to %s before %s?", name.c_str(), going),
                                    {"_Save", "_Discard", "_Cancel"}, kDiscard, kCancel, kSave});
    if (answer == kDiscard)
        return true;
    return answer == kSave && SaveProjectSteps(loop.history, SaveWay::ToItsFile);
}

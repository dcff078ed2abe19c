// The program's entry: start-up, the one event loop with its dispatch table,
// and the shut-down.
#include "gui/main.h"

#include "gui/desktop.h"
#include "gui/editor.h"
#include "gui/gui.h"
#include "gui/help.h"
#include "gui/history.h"
#include "gui/player_actions.h"
#include "gui/vocabulary.h"
#include "gui/windows.h"
#include "media/preview.h"
#include "model/render.h"
#include "model/tables.h"
#include "os/asl.h"
#include "os/exec.h"
#include "os/format.h"
#include "mui/mui.h"
#include "os/question.h"
#include "settings/settings.h"

#include <sstream>

std::unique_ptr<Project> gProject;
Crouton* gEditingCrouton = nullptr;
std::optional<std::vector<std::string>> gCroutonStrings;

namespace {

// MUIA_Pressed FALSE: a button released over itself.
constexpr LONG kReleased = FALSE;

struct NotificationEntry {
    mui::Object* object;
    Tag attribute;
    LONG trigger;
    LONG returnId;
};

void InstallNotifications(mui::Object* app)
{
    auto button = [](HexButtons slot) { return gButtons[slot]; };
    const NotificationEntry table[] = {
        {gWindows[WINDOW_MAIN], MUIA_Window_CloseRequest, TRUE, MUIV_Application_ReturnID_Quit},
        {gWindows[WINDOW_CROUTONEDITOR], MUIA_Window_CloseRequest, TRUE, GADMSG_CROUTONEDITOR_CANCEL},
        {button(BUTTON_CROUTONEDITOR_LOADVIDEO), MUIA_Pressed, kReleased, GADMSG_CROUTONEDITOR_LOADVIDEO},
        {button(BUTTON_CROUTONEDITOR_CANCEL), MUIA_Pressed, kReleased, GADMSG_CROUTONEDITOR_CANCEL},
        {button(BUTTON_CROUTONEDITOR_SAVE), MUIA_Pressed, kReleased, GADMSG_CROUTONEDITOR_SAVE},
        {button(BUTTON_CROUTONEDITOR_MPLAYER), MUIA_Pressed, kReleased, GADMSG_CROUTONEDITOR_MPLAYER},
        {button(BUTTON_CROUTONEDITOR_GENERATEPREVIEW), MUIA_Pressed, kReleased, GADMSG_CROUTONEDITOR_GENERATEPREVIEW},
        {button(BUTTON_CROUTONEDITOR_START), MUIA_Numeric_Value, MUIV_EveryTime, GADMSG_CROUTONEDITOR_START},
        {button(BUTTON_CROUTONEDITOR_END), MUIA_Numeric_Value, MUIV_EveryTime, GADMSG_CROUTONEDITOR_END},
        {gCroutonList, MUIA_NList_InsertPosition, MUIV_EveryTime, GADMSG_MAIN_DRAGGEDCROUTON},
        {gCroutonList, MUIA_NList_Active, MUIV_EveryTime, GADMSG_MAIN_SELECTCROUTON},
        {gVisualList, MUIA_NList_InsertPosition, MUIV_EveryTime, GADMSG_MAIN_DRAGGEDVISUAL},
        {gVisualList, MUIA_NList_Active, MUIV_EveryTime, GADMSG_MAIN_SELECTVISUAL},
        {gCroutonList, MUIA_NList_DoubleClick, 0, GADMSG_MAIN_EDITCROUTON},
        {gVisualList, MUIA_NList_DoubleClick, 0, GADMSG_MAIN_EDITVISUAL},
        {button(BUTTON_MAIN_RENDER), MUIA_Pressed, kReleased, GADMSG_MAIN_RENDER},
        {button(BUTTON_MAIN_PREVIEW), MUIA_Pressed, kReleased, GADMSG_MAIN_PREVIEW},
        {button(BUTTON_MAIN_SAVE), MUIA_Pressed, kReleased, GADMSG_MAIN_SAVE},
        {button(BUTTON_MAIN_LOAD), MUIA_Pressed, kReleased, GADMSG_MAIN_LOAD},
        {button(BUTTON_MAIN_NEW), MUIA_Pressed, kReleased, GADMSG_MAIN_NEW},
        {button(BUTTON_MAIN_ADDCROUTON), MUIA_Pressed, kReleased, GADMSG_MAIN_ADDCROUTON},
        {button(BUTTON_MAIN_DELETECROUTON), MUIA_Pressed, kReleased, GADMSG_MAIN_DELETECROUTON},
        {button(BUTTON_MAIN_NEWCROUTON), MUIA_Pressed, kReleased, GADMSG_MAIN_NEWCROUTON},
        {button(BUTTON_MAIN_EDITCROUTON), MUIA_Pressed, kReleased, GADMSG_MAIN_EDITCROUTON},
        {button(BUTTON_MAIN_UP), MUIA_Pressed, kReleased, GADMSG_MAIN_UP},
        {button(BUTTON_MAIN_DOWN), MUIA_Pressed, kReleased, GADMSG_MAIN_DOWN},
        {button(BUTTON_MAIN_QUIT), MUIA_Pressed, kReleased, MUIV_Application_ReturnID_Quit},
        {button(BUTTON_MAIN_FORMAT_CYCLER), MUIA_Cycle_Active, MUIV_EveryTime, GADMSG_MAIN_SELECTFORMAT},
        {button(BUTTON_MAIN_BAUDRATE_CYCLER), MUIA_Cycle_Active, MUIV_EveryTime, GADMSG_MAIN_SELECTBAUDRATE},
        {button(BUTTON_MAIN_FPS_CYCLER), MUIA_Cycle_Active, MUIV_EveryTime, GADMSG_MAIN_SELECTFPS},
        {button(BUTTON_CROUTONEDITOR_FPS_CYCLER), MUIA_Cycle_Active, MUIV_EveryTime, GADMSG_CROUTONEDITOR_SELECTFPS},
        {button(BUTTON_MAIN_OUTPUTFILENAME_BROWSE), MUIA_Pressed, kReleased, GADMSG_MAIN_BROWSEOUTPUT},
        {gWindows[WINDOW_MAIN], MUIA_AppMessage, MUIV_EveryTime, GADMSG_MAIN_DROPPEDFILES},
#ifndef CLIPWEAVER_BASIC
        {gWindows[WINDOW_ABOUT], MUIA_Window_CloseRequest, TRUE, GADMSG_ABOUT_OK},
        {button(BUTTON_ABOUT_OK), MUIA_Pressed, kReleased, GADMSG_ABOUT_OK},
#endif
    };
    for (const NotificationEntry& entry : table)
        mui::Notify(entry.object, entry.attribute, entry.trigger, app, entry.returnId);
}

// After "New Project" the window shows the new project's own settings. The
// cycle gadgets change quietly, so the bit-rate gadget is not moved by the
// format handler a second time.
void ShowProjectSettings(const Project& project)
{
    mui::nnset(gButtons[BUTTON_MAIN_FORMAT_CYCLER], MUIA_Cycle_Active, project.parameters);
    mui::nnset(gButtons[BUTTON_MAIN_BAUDRATE_CYCLER], MUIA_Cycle_Active, project.baudrate);
    mui::nnset(gButtons[BUTTON_MAIN_FPS_CYCLER], MUIA_Cycle_Active, project.fps);
    mui::nnset(gButtons[BUTTON_MAIN_SOUNDTRACK], MUIA_String_Contents, project.soundtrack.value_or(""));
    // Shortest form: shows the new project's 30 frames per second as the field's
    // start-up text "30".
    std::ostringstream rate;
    rate << static_cast<double>(project.customFPS);
    mui::nnset(gButtons[BUTTON_MAIN_CUSTOMFPS], MUIA_String_Contents, rate.str());
    const LONG customFormat = project.parameters == cCustomFormatID ? FALSE : TRUE;
    mui::nnset(gButtons[BUTTON_MAIN_WIDTH], MUIA_Disabled, customFormat);
    mui::nnset(gButtons[BUTTON_MAIN_HEIGHT], MUIA_Disabled, customFormat);
    mui::nnset(gButtons[BUTTON_MAIN_CUSTOMFPS], MUIA_Disabled, LONG{project.fps == cCustomFPSID ? FALSE : TRUE});
}

void ReplaceProject()
{
    DestroyProject(std::move(gProject));
    gProject = NewProject();
    ShowProjectSettings(*gProject);
}

LONG ActiveEntry(const mui::Object* list)
{
    return list ? list->GetLong(MUIA_NList_Active, MUIV_NList_Active_Off) : MUIV_NList_Active_Off;
}

// Makes p the active entry of a list, raising its selection event when it
// changes, or quietly.
void MakeActive(mui::Object* list, LONG p) { mui::set(list, MUIA_NList_Active, p); }
void MakeActiveQuietly(mui::Object* list, LONG p) { mui::nnset(list, MUIA_NList_Active, p); }

// The event loop's state and its dispatch table.
class EventLoop {
public:
    EventLoop(mui::Object* app, std::optional<std::string> projectToOpen)
        : app_(app)
        , projectToOpen_(std::move(projectToOpen))
    {
    }

    void Run()
    {
        quit_ = false;
        selected_ = -1;
        baseTitle_ = mui::XGetString(gWindows[WINDOW_MAIN], MUIA_Window_Title).value_or("");
        history_.Reset();
        ShowTitle();
        ULONG sigs = 0;
        ShowRecentProjects();
        ShowProjectTotals(gProject.get());
        // The project named on the command line opens as a chosen one does.
        if (projectToOpen_)
            LoadSteps(projectToOpen_);
        while (!quit_) {
            const LONG id = mui::Application_NewInput(app_, sigs);
            // What was typed before this event is a change of its own; a
            // cycle gadget's event and the bit rate its handler picks are one.
            if (id != GADMSG_MAIN_SELECTFORMAT && id != GADMSG_MAIN_SELECTBAUDRATE && id != GADMSG_MAIN_SELECTFPS)
                history_.NoteSettings();
            PlayerBeforeEvent(id);
            Dispatch(id);
            PlayerAfterEvent(id);
            history_.NoteSettings();
            ShowTitle();
            if (id != 0)
                ShowProjectTotals(gProject.get());
            // A return ID queued while handling this one has already raised
            // the application's signal: the loop asks again at once.
            if (mui::HasPendingReturnIds(app_))
                sigs = 0;
            if (!quit_ && sigs != 0) {
                sigs = Wait(sigs | SIGBREAKF_CTRL_C);
                if (sigs & SIGBREAKF_CTRL_C)
                    quit_ = true;
            }
        }
    }

private:
    void Dispatch(LONG id)
    {
        switch (id) {
        case MUIV_Application_ReturnID_Quit:
            if (!ChangesMayGo("quitting"))
                break;
            kprintf("Quit received!\n");
            quit_ = true;
            break;
        case cUndoReturnID:
            if (history_.Undo(gProject.get()))
                ShowHighlightedCrouton();
            break;
        case cRedoReturnID:
            if (history_.Redo(gProject.get()))
                ShowHighlightedCrouton();
            break;
#ifndef CLIPWEAVER_BASIC
        case MEN_QUIT:
            if (ChangesMayGo("quitting"))
                quit_ = true;
            break;
        case MEN_ABOUT:
            mui::set(gWindows[WINDOW_ABOUT], MUIA_Window_Open, LONG{TRUE});
            break;
        case MEN_HELP:
            // The installed manual; where it is missing the About window
            // says where help is.
            if (!OpenManual())
                mui::set(gWindows[WINDOW_ABOUT], MUIA_Window_Open, LONG{TRUE});
            break;
        case MEN_RECENT_FIRST:
        case MEN_RECENT_FIRST + 1:
        case MEN_RECENT_FIRST + 2:
        case MEN_RECENT_FIRST + 3:
        case MEN_RECENT_FIRST + 4:
        case MEN_RECENT_FIRST + 5:
        case MEN_RECENT_FIRST + 6:
        case MEN_RECENT_LAST:
            if (const std::optional<std::string> path = RecentProject(id))
                LoadSteps(path);
            break;
        case GADMSG_ABOUT_OK:
            mui::set(gWindows[WINDOW_ABOUT], MUIA_Window_Open, LONG{FALSE});
            break;
        case MEN_NEW_PROJECT:
#endif
        case GADMSG_MAIN_NEW:
            if (!ChangesMayGo("starting a new project"))
                break;
            ReplaceProject();
            history_.Reset();
            ShowHighlightedCrouton();
            break;
#ifndef CLIPWEAVER_BASIC
        case MEN_LOAD_PROJECT:
#endif
        case GADMSG_MAIN_LOAD:
            // A cancelled request or a file that is no project leaves the
            // window as it was, its chosen crouton included.
            LoadSteps(std::nullopt);
            break;
#ifndef CLIPWEAVER_BASIC
        case MEN_SAVE_PROJECT:
#endif
        case GADMSG_MAIN_SAVE: {
            UpdateProjectFromGUI(gProject.get());
            std::string saved;
            bool written = false;
            // Only a save that reports success takes the changed mark away.
            if (SaveProject(gProject.get(), &written, &saved) && written) {
                history_.MarkSaved();
                NoteRecentProject(saved);
            }
            break;
        }
        case GADMSG_MAIN_BROWSEOUTPUT:
            BrowseOutputFile();
            break;
        case GADMSG_MAIN_DROPPEDFILES:
            DropSteps();
            break;
#ifndef CLIPWEAVER_BASIC
        case MEN_RENDER:
#endif
        case GADMSG_MAIN_RENDER:
            UpdateProjectFromGUI(gProject.get());
            RenderProject(gProject.get());
            break;
#ifndef CLIPWEAVER_BASIC
        case MEN_PREVIEW_PROJECT:
#endif
        case GADMSG_MAIN_PREVIEW:
            PreviewProject();
            break;
        case GADMSG_MAIN_NEWCROUTON:
        case GADMSG_MAIN_ADDCROUTON: {
            const LONG before = gProject->numberOfCroutons;
            if (id == GADMSG_MAIN_NEWCROUTON)
                AddNewCroutonToProject(gProject.get());
            else
                AddOldCroutonToProject(gProject.get());
            if (gProject->numberOfCroutons > before)
                history_.CroutonAdded(gProject->numberOfCroutons - 1);
            ShowHighlightedCrouton();
            break;
        }
#ifndef CLIPWEAVER_BASIC
        case MEN_DELETE_CROUTON:
#endif
        case GADMSG_MAIN_DELETECROUTON:
            selected_ = ActiveEntry(gCroutonList);
            if (selected_ >= 0) {
                const Crouton* crouton = GetCroutonFromPosition(gProject.get(), selected_);
                std::unique_ptr<Crouton> record = crouton ? CopyCroutonRecord(*crouton) : nullptr;
                const LONG before = gProject->numberOfCroutons;
                DeleteCroutonFromProject(gProject.get(), selected_);
                if (gProject->numberOfCroutons < before)
                    history_.CroutonRemoved(selected_, std::move(record));
                ShowHighlightedCrouton();
            }
            break;
        case GADMSG_MAIN_UP:
        case GADMSG_MAIN_DOWN:
            lastSelected_ = -1;
            selected_ = ActiveEntry(gCroutonList);
            if (selected_ >= 0) {
                const Crouton* moving = GetCroutonFromPosition(gProject.get(), selected_);
                if (id == GADMSG_MAIN_UP)
                    MoveCroutonUpInProject(gProject.get(), selected_);
                else
                    MoveCroutonDownInProject(gProject.get(), selected_);
                NoteMove(moving, selected_);
            }
            break;
        case GADMSG_MAIN_SELECTCROUTON:
            SelectionSteps();
            break;
        case GADMSG_MAIN_SELECTVISUAL:
            kprintf("Selected visual.\n");
            MakeActive(gCroutonList, ActiveEntry(gVisualList));
            SelectionSteps();
            break;
        case GADMSG_MAIN_EDITCROUTON:
            EditSteps();
            break;
        case GADMSG_MAIN_EDITVISUAL:
            lastSelected_ = -1;
            MakeActiveQuietly(gCroutonList, ActiveEntry(gVisualList));
            EditSteps();
            break;
        case GADMSG_MAIN_DRAGGEDCROUTON:
            if (DragCondition())
                DragSteps(true);
            break;
        case GADMSG_MAIN_DRAGGEDVISUAL:
            kprintf("Dragged visual.\n");
            if (DragCondition()) {
                mui::NList_Move(gCroutonList, lastSelected_, selected_);
                DragSteps(false);
            }
            break;
        case GADMSG_MAIN_SELECTFORMAT:
            gProject->parameters = mui::XGetLong(gButtons[BUTTON_MAIN_FORMAT_CYCLER], MUIA_Cycle_Active);
            kprintf("Changed format.\n");
            ChangeFormatCycler();
            break;
        case GADMSG_MAIN_SELECTBAUDRATE:
            gProject->baudrate = mui::XGetLong(gButtons[BUTTON_MAIN_BAUDRATE_CYCLER], MUIA_Cycle_Active);
            break;
        case GADMSG_MAIN_SELECTFPS:
            gProject->fps = mui::XGetLong(gButtons[BUTTON_MAIN_FPS_CYCLER], MUIA_Cycle_Active);
            ChangeFPSCycler();
            break;
        case GADMSG_CROUTONEDITOR_CANCEL:
            // Closing an editor that shows no crouton is harmless.
            CroutonEditor_Cancel();
            break;
        case GADMSG_CROUTONEDITOR_SAVE:
        case GADMSG_CROUTONEDITOR_LOADVIDEO:
        case GADMSG_CROUTONEDITOR_START:
        case GADMSG_CROUTONEDITOR_END:
        case GADMSG_CROUTONEDITOR_GENERATEPREVIEW:
        case GADMSG_CROUTONEDITOR_MPLAYER:
        case GADMSG_CROUTONEDITOR_SELECTFPS:
            // The editor acts only on a crouton that is still in the project.
            if (gEditingCrouton)
                DispatchEditor(id);
            break;
        default:
            break;
        }
    }

    void DispatchEditor(LONG id)
    {
        switch (id) {
        case GADMSG_CROUTONEDITOR_SAVE:
            CroutonEditor_Save(gEditingCrouton);
            UpdateGUIListEntry(gProject.get(), selected_);
            UpdateGUIPreview();
            MakeActive(gCroutonList, selected_);
            break;
        case GADMSG_CROUTONEDITOR_LOADVIDEO:
            UpdateCroutonFromGUI(gEditingCrouton);
            CroutonEditor_LoadVideo(gEditingCrouton);
            break;
        case GADMSG_CROUTONEDITOR_START:
            ChangeStart(gEditingCrouton);
            break;
        case GADMSG_CROUTONEDITOR_END:
            ChangeEnd(gEditingCrouton);
            break;
        case GADMSG_CROUTONEDITOR_GENERATEPREVIEW:
            GeneratePreview(gEditingCrouton);
            break;
        case GADMSG_CROUTONEDITOR_MPLAYER:
            CroutonEditor_RunMPlayer(gEditingCrouton);
            break;
        case GADMSG_CROUTONEDITOR_SELECTFPS:
            CroutonEditor_SelectFPS(gEditingCrouton);
            break;
        default:
            break;
        }
    }

    // Loading a project: the one chosen in the requester (no path), or the
    // one a drop, a recent item or the command line names. A cancelled
    // request or a file that is no project leaves the window as it was, its
    // chosen crouton included.
    void LoadSteps(const std::optional<std::string>& path)
    {
        if (!ChangesMayGo("loading another project"))
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
            history_.Reset();
            ShowHighlightedCrouton();
            NoteRecentProject(path ? *path : ProjectPath(*gProject));
        }
    }

    // Files dropped on the main window: a project is loaded (and nothing
    // else of the drop is added to the project it replaces); croutons,
    // videos and slideshows are added at the end, the last of them chosen.
    void DropSteps()
    {
        const DroppedFiles dropped =
            SortDroppedFiles(DroppedPaths(mui::XGetString(gWindows[WINDOW_MAIN], MUIA_AppMessage).value_or("")));
        if (dropped.project) {
            LoadSteps(dropped.project);
            return;
        }
        bool added = false;
        const LONG before = gProject->numberOfCroutons;
        for (const std::string& crouton : dropped.croutons)
            added = AddOldCroutonFromFile(gProject.get(), crouton) || added;
        for (const MediaChoice& media : dropped.media)
            added = AddDroppedMedia(gProject.get(), media) || added;
        if (added) {
            MakeActive(gCroutonList, gProject->numberOfCroutons - 1);
            for (LONG position = before; position < gProject->numberOfCroutons; ++position)
                history_.CroutonAdded(position);
            ShowHighlightedCrouton();
        }
    }

    // Both lists show the same croutons in the same order and are held on
    // the same active entry.
    void SelectionSteps()
    {
        lastSelected_ = selected_;
        selected_ = ActiveEntry(gCroutonList);
        if (selected_ >= 0) {
            MakeActive(gVisualList, selected_);
            UpdateGUIPreview();
        }
        kprintf("Selected %d.\n", selected_);
    }

    void EditSteps()
    {
        MakeActiveQuietly(gVisualList, ActiveEntry(gCroutonList));
        lastSelected_ = -1;
        selected_ = ActiveEntry(gCroutonList);
        if (selected_ < 0)
            return;
        // With no crouton at that position the editor has none to act on.
        gEditingCrouton = GetCroutonFromPosition(gProject.get(), selected_);
        if (!gEditingCrouton)
            return;
        EditCrouton(gEditingCrouton);
    }

    bool DragCondition() const { return lastSelected_ >= 0 && selected_ >= 0 && lastSelected_ != selected_; }

    void DragSteps(bool fromCroutonList)
    {
        if (fromCroutonList) {
            const LONG target = selected_ > lastSelected_ ? selected_ + 1 : selected_;
            kprintf("Move %d to %d in visual list.\n", lastSelected_, target);
            mui::NList_Move(gVisualList, lastSelected_, target);
        }
        const Crouton* moving = GetCroutonFromPosition(gProject.get(), lastSelected_);
        MoveCroutonInProject(gProject.get(), lastSelected_, selected_);
        NoteMove(moving, lastSelected_);
        lastSelected_ = -1;
    }

    // A crouton that left `from` is a step to take back.
    void NoteMove(const Crouton* moving, LONG from)
    {
        const LONG to = GetCroutonIDInProject(gProject.get(), moving);
        if (moving && to >= 0 && to != from)
            history_.CroutonMoved(from, to);
        ShowHighlightedCrouton();
    }

    // Before the project goes (quit, New Project, Load Project): its unsaved
    // changes are saved, dropped or kept, as the user answers. Unanswered,
    // they are dropped, as they always were.
    bool ChangesMayGo(const char* going)
    {
        if (!history_.Changed())
            return true;
        const std::string name = ReadMainSettings().projectName;
        enum { kSave, kDiscard, kCancel };
        const int answer = AskQuestion({"Unsaved changes", Format("Save changes to %s before %s?", name.c_str(), going),
                                        {"_Save", "_Discard", "_Cancel"}, kDiscard, kCancel});
        if (answer == kDiscard)
            return true;
        if (answer != kSave)
            return false;
        UpdateProjectFromGUI(gProject.get());
        bool written = false;
        if (!SaveProject(gProject.get(), &written) || !written)
            return false;
        history_.MarkSaved();
        return true;
    }

    // The main window's title names the project and marks unsaved changes.
    void ShowTitle()
    {
        const std::string title =
            (history_.Changed() ? "*" : "") + ReadMainSettings().projectName + " - " + baseTitle_;
        if (mui::XGetString(gWindows[WINDOW_MAIN], MUIA_Window_Title) != title)
            mui::set(gWindows[WINDOW_MAIN], MUIA_Window_Title, title);
    }

    mui::Object* app_;
    ProjectHistory history_;
    std::string baseTitle_;
    std::optional<std::string> projectToOpen_;
    bool quit_ = false;
    LONG selected_ = -1;
    LONG lastSelected_ = -1;
};

void CloseDown(std::unique_ptr<Library> asl)
{
    kprintf("Closing down.\n");
    gCroutonStrings.reset();
    CloseGUI();
    if (asl)
        CloseLibrary(std::move(asl));
}

} // namespace

void InitDefaults() { InitGUI(); }

int ClipweaverMain(std::optional<std::string> projectToOpen)
{
    kprintf("Open ASL.\n");
    std::unique_ptr<Library> asl = OpenLibrary("asl.library", 0);
    if (!asl) {
        CloseDown(nullptr);
        return 0;
    }
    InitSettings();
    InitDefaults();
    gProject = NewProject();
    gCroutonStrings = LoadCroutonStrings(gProject.get());

    mui::ObjectPtr app = BuildApplication(*gCroutonStrings);
    if (!app) {
        kprintf("Couldn't create app.\n");
        // The first project is left as it is, without the traces of
        // destroying it; its memory goes with it.
        gProject.reset();
        CloseDown(std::move(asl));
        return 0;
    }

    mui::set(gButtons[BUTTON_CROUTONEDITOR_END], MUIA_Numeric_Value, LONG{100});
    InstallNotifications(app.get());

    mui::set(gWindows[WINDOW_MAIN], MUIA_Window_Open, LONG{TRUE});
    if (mui::XGetLong(gWindows[WINDOW_MAIN], MUIA_Window_Open)) {
        EventLoop loop(app.get(), std::move(projectToOpen));
        loop.Run();
        kprintf("Quitting.\n");
    }
    PlayerQuit();

    for (int i = 0; i < cNumberOfPreviews; ++i)
        SetButtonImage(gButtons[BUTTON_MAIN_PREVIEWIMAGE + i], std::string_view("NoImageLoaded.png"));
    DestroyProject(std::move(gProject));
    gEditingCrouton = nullptr;
    mui::DisposeObject(std::move(app));
    ForgetGadgets();
    CloseDown(std::move(asl));
    return 0;
}

// The program's entry: start-up, the one event loop with its dispatch table,
// and the shut-down.
#include "gui/main.h"

#include "gui/desktop.h"
#include "gui/drops.h"
#include "gui/editor.h"
#include "gui/editor_close.h"
#include "gui/gui.h"
#include "gui/help.h"
#include "gui/history.h"
#include "gui/player_actions.h"
#include "gui/loop.h"
#include "gui/look_gadgets.h"
#include "gui/main_settings.h"
#include "gui/saving.h"
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
        {gWindows[WINDOW_CROUTONEDITOR], MUIA_Window_CloseRequest, TRUE, GADMSG_CROUTONEDITOR_CLOSE},
        {button(BUTTON_CROUTONEDITOR_LOADVIDEO), MUIA_Pressed, kReleased, GADMSG_CROUTONEDITOR_LOADVIDEO},
        {button(BUTTON_CROUTONEDITOR_CANCEL), MUIA_Pressed, kReleased, GADMSG_CROUTONEDITOR_CANCEL},
        {button(BUTTON_CROUTONEDITOR_SAVE), MUIA_Pressed, kReleased, GADMSG_CROUTONEDITOR_SAVE},
        {button(BUTTON_CROUTONEDITOR_MPLAYER), MUIA_Pressed, kReleased, GADMSG_CROUTONEDITOR_MPLAYER},
        {button(BUTTON_CROUTONEDITOR_GENERATEPREVIEW), MUIA_Pressed, kReleased, GADMSG_CROUTONEDITOR_GENERATEPREVIEW},
        {button(BUTTON_CROUTONEDITOR_START), MUIA_Numeric_Value, MUIV_EveryTime, GADMSG_CROUTONEDITOR_START},
        {button(BUTTON_CROUTONEDITOR_END), MUIA_Numeric_Value, MUIV_EveryTime, GADMSG_CROUTONEDITOR_END},
        {button(BUTTON_CROUTONEDITOR_STARTTIME), MUIA_String_Contents, MUIV_EveryTime, GADMSG_CROUTONEDITOR_START},
        {button(BUTTON_CROUTONEDITOR_ENDTIME), MUIA_String_Contents, MUIV_EveryTime, GADMSG_CROUTONEDITOR_END},
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
    InstallLookNotifications(app);
}

const std::span<const ReturnIdRow> kReturnIdTables[] = {
    ProjectReturnIds(), CroutonListReturnIds(), SettingsReturnIds(), EditorReturnIds(),
    DesktopReturnIds(), DropReturnIds(), HelpReturnIds(),        HistoryReturnIds(), PlayerReturnIds(),
    LookReturnIds(),    CroutonLookReturnIds(), PieceStoreReturnIds(),
};

// The event loop: waits, dispatches each return ID to its feature's handler,
// and keeps the history and the title up to date.
class EventLoop {
public:
    EventLoop(mui::Object* app, std::optional<std::string> projectToOpen)
        : app_(app)
        , projectToOpen_(std::move(projectToOpen))
    {
    }

    void Run()
    {
        state_.quit = false;
        state_.selected = -1;
        baseTitle_ = mui::XGetString(gWindows[WINDOW_MAIN], MUIA_Window_Title).value_or("");
        state_.history.Reset();
        ShowTitle();
        ULONG sigs = 0;
        ShowRecentProjects();
        ShowProjectTotals(gProject.get());
        if (gProject)
            ShowProjectLook(*gProject);
        // The project named on the command line opens as a chosen one does.
        if (projectToOpen_)
            LoadSteps(state_, projectToOpen_);
        while (!state_.quit) {
            const LONG id = mui::Application_NewInput(app_, sigs);
            // What was typed before this event is a change of its own; a
            // cycle gadget's event and the bit rate its handler picks are one.
            if (id != GADMSG_MAIN_SELECTFORMAT && id != GADMSG_MAIN_SELECTBAUDRATE && id != GADMSG_MAIN_SELECTFPS)
                state_.history.NoteSettings();
            PlayerBeforeEvent(id);
            Dispatch(id);
            PlayerAfterEvent(id);
            state_.history.NoteSettings();
            ShowTitle();
            if (id != 0) {
                ShowProjectTotals(gProject.get());
                // The join shown follows the chosen crouton and the list.
                if (gProject)
                    ShowProjectLook(*gProject);
            }
            // A return ID queued while handling this one has already raised
            // the application's signal: the loop asks again at once.
            if (mui::HasPendingReturnIds(app_))
                sigs = 0;
            if (!state_.quit && sigs != 0) {
                sigs = Wait(sigs | SIGBREAKF_CTRL_C);
                if (sigs & SIGBREAKF_CTRL_C)
                    state_.quit = true;
            }
        }
    }

private:
    // The main window's title names the project and marks unsaved changes.
    void ShowTitle()
    {
        const std::string title = MainTitle(ReadMainSettings().projectName, state_.history.Changed(), baseTitle_);
        if (mui::XGetString(gWindows[WINDOW_MAIN], MUIA_Window_Title) != title)
            mui::set(gWindows[WINDOW_MAIN], MUIA_Window_Title, title);
    }

    void Dispatch(LONG id)
    {
        if (const ReturnIdHandler handle = FindReturnIdHandler(id))
            handle(state_, id);
    }

    mui::Object* app_;
    LoopState state_;
    std::string baseTitle_;
    std::optional<std::string> projectToOpen_;
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

std::span<const std::span<const ReturnIdRow>> ReturnIdTables() { return kReturnIdTables; }

ReturnIdHandler FindReturnIdHandler(LONG id)
{
    for (const std::span<const ReturnIdRow> table : kReturnIdTables)
        for (const ReturnIdRow& row : table)
            if (row.id == id)
                return row.handle;
    return nullptr;
}

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

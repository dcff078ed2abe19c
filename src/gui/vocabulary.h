// The user interface's shared vocabulary: gadget slots, windows, return IDs
// and menu identifiers. ClipweaverBasic (CLIPWEAVER_BASIC) has no About
// window and no menu, so its values are shifted.
#pragma once

#include "model/project_view.h"
#include "os/exec.h"
#include "mui/mui.h"

#include <array>
#include <memory>
#include <string_view>

enum HexButtons : LONG {
#ifndef CLIPWEAVER_BASIC
    BUTTON_ABOUT_OK,
#endif
    BUTTON_CROUTONEDITOR_CANCEL,
    BUTTON_CROUTONEDITOR_SAVE,
    BUTTON_CROUTONEDITOR_TITLE,
    BUTTON_CROUTONEDITOR_LOADVIDEO,
    BUTTON_CROUTONEDITOR_IMAGE,
    BUTTON_CROUTONEDITOR_IMAGE2,
    BUTTON_CROUTONEDITOR_IMAGE3,
    BUTTON_CROUTONEDITOR_IMAGE4,
    BUTTON_CROUTONEDITOR_IMAGE5,
    BUTTON_CROUTONEDITOR_GENERATEPREVIEW,
    BUTTON_CROUTONEDITOR_START,
    BUTTON_CROUTONEDITOR_END,
    BUTTON_CROUTONEDITOR_VIDEO_FILENAME,
    BUTTON_CROUTONEDITOR_VIDEO_FILENAME_POPUP,
    BUTTON_CROUTONEDITOR_MPLAYER,
    BUTTON_CROUTONEDITOR_PREVIEWSLIDER1,
    BUTTON_CROUTONEDITOR_PREVIEWSLIDER2,
    BUTTON_CROUTONEDITOR_PREVIEWSLIDER3,
    BUTTON_CROUTONEDITOR_PREVIEWSLIDER4,
    BUTTON_CROUTONEDITOR_PREVIEWSLIDER5,
    BUTTON_CROUTONEDITOR_PREVIEWSELECTER,
    BUTTON_CROUTONEDITOR_SOUNDTRACK,
    BUTTON_CROUTONEDITOR_FPS_CYCLER,
    BUTTON_CROUTONEDITOR_CUSTOMFPS,
    BUTTON_MAIN_RENDER,
    BUTTON_MAIN_OUTPUTFILENAME,
    BUTTON_MAIN_OUTPUTFILENAME_POPUP,
    BUTTON_MAIN_SAVE,
    BUTTON_MAIN_CROUTONLIST,
    BUTTON_MAIN_QUIT,
    BUTTON_MAIN_WIDTH,
    BUTTON_MAIN_HEIGHT,
    BUTTON_MAIN_NEW,
    BUTTON_MAIN_EDITCROUTON,
    BUTTON_MAIN_DELETECROUTON,
    BUTTON_MAIN_PROJECTNAME,
    BUTTON_MAIN_LOAD,
    BUTTON_MAIN_ADDCROUTON,
    BUTTON_MAIN_NEWCROUTON,
    BUTTON_MAIN_LENGTH,
    BUTTON_MAIN_PREVIEWIMAGE,
    BUTTON_MAIN_PREVIEWIMAGE2,
    BUTTON_MAIN_PREVIEWIMAGE3,
    BUTTON_MAIN_PREVIEWIMAGE4,
    BUTTON_MAIN_PREVIEWIMAGE5,
    BUTTON_MAIN_UP,
    BUTTON_MAIN_DOWN,
    BUTTON_MAIN_VISUALLIST,
    BUTTON_MAIN_CROUTON_WIDTH,
    BUTTON_MAIN_CROUTON_HEIGHT,
    BUTTON_MAIN_CROUTON_VIDEOBITRATE,
    BUTTON_MAIN_CROUTON_AUDIOBITRATE,
    BUTTON_MAIN_CROUTON_RATIO,
    BUTTON_MAIN_CROUTON_FPS,
    BUTTON_MAIN_CROUTON_VIDEOCODEC,
    BUTTON_MAIN_CROUTON_AUDIOCODEC,
    BUTTON_MAIN_SOUNDTRACK,
    BUTTON_MAIN_SOUNDTRACK_POPUP,
    BUTTON_MAIN_FORMAT_CYCLER,
    BUTTON_MAIN_BAUDRATE_CYCLER,
    BUTTON_MAIN_FPS_CYCLER,
    BUTTON_MAIN_CUSTOMFPS,
    MAIN_NUMBER_OF_BUTTONS,
    // Gadgets beyond the original window's: the output field's own "Browse"
    // button and the project's total length and size estimate.
    BUTTON_MAIN_OUTPUTFILENAME_BROWSE = MAIN_NUMBER_OF_BUTTONS,
    BUTTON_MAIN_TOTALLENGTH,
    BUTTON_MAIN_OUTPUTSIZE,
    // The crouton editor's typed start and end times beside its sliders.
    BUTTON_CROUTONEDITOR_STARTTIME,
    BUTTON_CROUTONEDITOR_ENDTIME,
    // "Preview Project" beside "_Render".
    BUTTON_MAIN_PREVIEW,
    ALL_BUTTON_SLOTS
};

enum Windows : LONG {
    WINDOW_MAIN,
    WINDOW_CROUTONEDITOR,
#ifndef CLIPWEAVER_BASIC
    WINDOW_ABOUT,
#endif
    NUMBER_OF_WINDOWS
};

enum HexMsgs : LONG {
#ifndef CLIPWEAVER_BASIC
    GADMSG_ABOUT_OK = 44,
    GADMSG_CROUTONEDITOR_MSGSTART,
#else
    GADMSG_CROUTONEDITOR_MSGSTART = 44,
#endif
    GADMSG_CROUTONEDITOR_CREATE,
    GADMSG_CROUTONEDITOR_SAVE,
    GADMSG_CROUTONEDITOR_LOADVIDEO,
    GADMSG_CROUTONEDITOR_CANCEL,
    GADMSG_CROUTONEDITOR_START,
    GADMSG_CROUTONEDITOR_END,
    GADMSG_CROUTONEDITOR_GENERATEPREVIEW,
    GADMSG_CROUTONEDITOR_MPLAYER,
    GADMSG_CROUTONEDITOR_SELECTFPS,
    GADMSG_CROUTONEDITOR_MSGEND,
    GADMSG_MAIN_MSGSTART,
    GADMSG_MAIN_RENDER,
    GADMSG_MAIN_SAVE,
    GADMSG_MAIN_QUIT,
    GADMSG_MAIN_NEW,
    GADMSG_MAIN_EDITCROUTON,
    GADMSG_MAIN_DELETECROUTON,
    GADMSG_MAIN_LOAD,
    GADMSG_MAIN_ADDCROUTON,
    GADMSG_MAIN_NEWCROUTON,
    GADMSG_MAIN_SELECTCROUTON,
    GADMSG_MAIN_UP,
    GADMSG_MAIN_DOWN,
    GADMSG_MAIN_DRAGGEDCROUTON,
    GADMSG_MAIN_SELECTVISUAL,
    GADMSG_MAIN_DRAGGEDVISUAL,
    GADMSG_MAIN_EDITVISUAL,
    GADMSG_MAIN_SELECTFORMAT,
    GADMSG_MAIN_SELECTBAUDRATE,
    GADMSG_MAIN_SELECTFPS,
    GADMSG_MAIN_MSGEND,
    // Return IDs beyond the original window's.
    GADMSG_MAIN_BROWSEOUTPUT,
    GADMSG_MAIN_DROPPEDFILES,
    // The editor's close gadget, which asks about unsaved edits where its
    // "_Cancel" button drops them.
    GADMSG_CROUTONEDITOR_CLOSE,
    GADMSG_MAIN_PREVIEW,
};

#ifndef CLIPWEAVER_BASIC
enum {
    MEN_PROJECT = 1,
    MEN_ABOUT,
    MEN_NEW_PROJECT,
    MEN_LOAD_PROJECT,
    MEN_SAVE_PROJECT,
    MEN_RENDER,
    MEN_QUIT,
    MEN_EDIT,
    MEN_UNDO,
    MEN_REDO,
    // Items beyond the original menu: Delete Crouton, Help, and the recent
    // projects' menu with its eight items.
    MEN_DELETE_CROUTON,
    MEN_HELP,
    MEN_RECENT,
    MEN_RECENT_FIRST,
    MEN_RECENT_LAST = MEN_RECENT_FIRST + 7,
    MEN_CROUTON,
    MEN_HELP_MENU,
    MEN_SAVE_PROJECT_AS,
    MEN_PREVIEW_PROJECT,
    MEN_EMPTY_PIECES,
    MEN_KEEP_PIECES,
};
#endif

// Undo and Redo of the project's changes. In Clipweaver they are menu items;
// ClipweaverBasic has no menu, and its script driver raises the same return
// IDs (below the gadgets' range, as the menu's are).
#ifndef CLIPWEAVER_BASIC
inline constexpr LONG cUndoReturnID = MEN_UNDO;
inline constexpr LONG cRedoReturnID = MEN_REDO;
#else
inline constexpr LONG cUndoReturnID = 9;
inline constexpr LONG cRedoReturnID = 10;
#endif

// Gadget handles (the two lists are the model's, in model/project_view.h), valid from building the windows until the application is
// disposed; a slot that is never created stays null.
extern std::array<mui::Object*, ALL_BUTTON_SLOTS> gButtons;
extern std::array<mui::Object*, NUMBER_OF_WINDOWS> gWindows;

// The slots of the five previews, in preview order: the crouton editor's
// stills and their sliders, and the main window's pictures.
inline constexpr std::array<HexButtons, 5> cEditorImageButtons = {
    BUTTON_CROUTONEDITOR_IMAGE, BUTTON_CROUTONEDITOR_IMAGE2, BUTTON_CROUTONEDITOR_IMAGE3,
    BUTTON_CROUTONEDITOR_IMAGE4, BUTTON_CROUTONEDITOR_IMAGE5,
};
inline constexpr std::array<HexButtons, 5> cPreviewSliderButtons = {
    BUTTON_CROUTONEDITOR_PREVIEWSLIDER1, BUTTON_CROUTONEDITOR_PREVIEWSLIDER2, BUTTON_CROUTONEDITOR_PREVIEWSLIDER3,
    BUTTON_CROUTONEDITOR_PREVIEWSLIDER4, BUTTON_CROUTONEDITOR_PREVIEWSLIDER5,
};
inline constexpr std::array<HexButtons, 5> cMainPreviewButtons = {
    BUTTON_MAIN_PREVIEWIMAGE, BUTTON_MAIN_PREVIEWIMAGE2, BUTTON_MAIN_PREVIEWIMAGE3,
    BUTTON_MAIN_PREVIEWIMAGE4, BUTTON_MAIN_PREVIEWIMAGE5,
};

// Names of the slots and windows as written in code ("BUTTON_MAIN_RENDER",
// "WINDOW_MAIN"), for the script driver and the dump; null when out of range.
const char* HexButtonName(LONG slot);
const char* WindowName(LONG window);
// The slot or window of a name; -1 when there is none.
LONG HexButtonFromName(std::string_view name);
LONG WindowFromName(std::string_view name);
#ifndef CLIPWEAVER_BASIC
const char* MenuName(LONG id);
LONG MenuFromName(std::string_view name);
#endif

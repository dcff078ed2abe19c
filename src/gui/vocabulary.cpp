// The gadget, window and list handles, and the names of the vocabulary's
// identifiers as they are written in code.
#include "gui/vocabulary.h"

#include <algorithm>
#include <iterator>

std::array<mui::Object*, ALL_BUTTON_SLOTS> gButtons{};
std::array<mui::Object*, NUMBER_OF_WINDOWS> gWindows{};

namespace {

// In the order of the HexButtons enumeration.
constexpr const char* kHexButtonNames[] = {
#ifndef CLIPWEAVER_BASIC
    "BUTTON_ABOUT_OK",
#endif
    "BUTTON_CROUTONEDITOR_CANCEL",
    "BUTTON_CROUTONEDITOR_SAVE",
    "BUTTON_CROUTONEDITOR_TITLE",
    "BUTTON_CROUTONEDITOR_LOADVIDEO",
    "BUTTON_CROUTONEDITOR_IMAGE",
    "BUTTON_CROUTONEDITOR_IMAGE2",
    "BUTTON_CROUTONEDITOR_IMAGE3",
    "BUTTON_CROUTONEDITOR_IMAGE4",
    "BUTTON_CROUTONEDITOR_IMAGE5",
    "BUTTON_CROUTONEDITOR_GENERATEPREVIEW",
    "BUTTON_CROUTONEDITOR_START",
    "BUTTON_CROUTONEDITOR_END",
    "BUTTON_CROUTONEDITOR_VIDEO_FILENAME",
    "BUTTON_CROUTONEDITOR_VIDEO_FILENAME_POPUP",
    "BUTTON_CROUTONEDITOR_MPLAYER",
    "BUTTON_CROUTONEDITOR_PREVIEWSLIDER1",
    "BUTTON_CROUTONEDITOR_PREVIEWSLIDER2",
    "BUTTON_CROUTONEDITOR_PREVIEWSLIDER3",
    "BUTTON_CROUTONEDITOR_PREVIEWSLIDER4",
    "BUTTON_CROUTONEDITOR_PREVIEWSLIDER5",
    "BUTTON_CROUTONEDITOR_PREVIEWSELECTER",
    "BUTTON_CROUTONEDITOR_SOUNDTRACK",
    "BUTTON_CROUTONEDITOR_FPS_CYCLER",
    "BUTTON_CROUTONEDITOR_CUSTOMFPS",
    "BUTTON_MAIN_RENDER",
    "BUTTON_MAIN_OUTPUTFILENAME",
    "BUTTON_MAIN_OUTPUTFILENAME_POPUP",
    "BUTTON_MAIN_SAVE",
    "BUTTON_MAIN_CROUTONLIST",
    "BUTTON_MAIN_QUIT",
    "BUTTON_MAIN_WIDTH",
    "BUTTON_MAIN_HEIGHT",
    "BUTTON_MAIN_NEW",
    "BUTTON_MAIN_EDITCROUTON",
    "BUTTON_MAIN_DELETECROUTON",
    "BUTTON_MAIN_PROJECTNAME",
    "BUTTON_MAIN_LOAD",
    "BUTTON_MAIN_ADDCROUTON",
    "BUTTON_MAIN_NEWCROUTON",
    "BUTTON_MAIN_LENGTH",
    "BUTTON_MAIN_PREVIEWIMAGE",
    "BUTTON_MAIN_PREVIEWIMAGE2",
    "BUTTON_MAIN_PREVIEWIMAGE3",
    "BUTTON_MAIN_PREVIEWIMAGE4",
    "BUTTON_MAIN_PREVIEWIMAGE5",
    "BUTTON_MAIN_UP",
    "BUTTON_MAIN_DOWN",
    "BUTTON_MAIN_VISUALLIST",
    "BUTTON_MAIN_CROUTON_WIDTH",
    "BUTTON_MAIN_CROUTON_HEIGHT",
    "BUTTON_MAIN_CROUTON_VIDEOBITRATE",
    "BUTTON_MAIN_CROUTON_AUDIOBITRATE",
    "BUTTON_MAIN_CROUTON_RATIO",
    "BUTTON_MAIN_CROUTON_FPS",
    "BUTTON_MAIN_CROUTON_VIDEOCODEC",
    "BUTTON_MAIN_CROUTON_AUDIOCODEC",
    "BUTTON_MAIN_SOUNDTRACK",
    "BUTTON_MAIN_SOUNDTRACK_POPUP",
    "BUTTON_MAIN_FORMAT_CYCLER",
    "BUTTON_MAIN_BAUDRATE_CYCLER",
    "BUTTON_MAIN_FPS_CYCLER",
    "BUTTON_MAIN_CUSTOMFPS",
    "BUTTON_MAIN_OUTPUTFILENAME_BROWSE",
    "BUTTON_MAIN_TOTALLENGTH",
    "BUTTON_MAIN_OUTPUTSIZE",
    "BUTTON_CROUTONEDITOR_STARTTIME",
    "BUTTON_CROUTONEDITOR_ENDTIME",
    "BUTTON_MAIN_PREVIEW",
    "BUTTON_MAIN_TRANSITION_CYCLER",
    "BUTTON_MAIN_TRANSITION_SECONDS",
    "BUTTON_MAIN_JOIN_CYCLER",
    "BUTTON_MAIN_JOIN_SECONDS",
    "BUTTON_MAIN_FADEIN",
    "BUTTON_MAIN_FADEOUT",
    "BUTTON_MAIN_CLIPLEVEL",
    "BUTTON_MAIN_DUCKING",
    "BUTTON_MAIN_FITSOUNDTRACK",
    "BUTTON_CROUTONEDITOR_FADEIN",
    "BUTTON_CROUTONEDITOR_FADEOUT",
    "BUTTON_CROUTONEDITOR_VOLUME",
    "BUTTON_CROUTONEDITOR_TITLE_SHOWN",
    "BUTTON_CROUTONEDITOR_TITLE_TEXT",
    "BUTTON_CROUTONEDITOR_TITLE_PLACE",
    "BUTTON_CROUTONEDITOR_TITLE_SIZE",
    "BUTTON_CROUTONEDITOR_TITLE_COLOUR",
    "BUTTON_CROUTONEDITOR_TITLE_BACKING",
    "BUTTON_CROUTONEDITOR_TITLE_SECONDS",
    "BUTTON_CROUTONEDITOR_TITLE_FADE",
    "BUTTON_CROUTONEDITOR_PANZOOM",
    "BUTTON_CROUTONEDITOR_PANZOOM_START_ZOOM",
    "BUTTON_CROUTONEDITOR_PANZOOM_START_X",
    "BUTTON_CROUTONEDITOR_PANZOOM_START_Y",
    "BUTTON_CROUTONEDITOR_PANZOOM_END_ZOOM",
    "BUTTON_CROUTONEDITOR_PANZOOM_END_X",
    "BUTTON_CROUTONEDITOR_PANZOOM_END_Y",
};
static_assert(std::size(kHexButtonNames) == ALL_BUTTON_SLOTS,
              "every HexButtons slot needs its name, in enumeration order");

constexpr const char* kWindowNames[] = {
    "WINDOW_MAIN",
    "WINDOW_CROUTONEDITOR",
#ifndef CLIPWEAVER_BASIC
    "WINDOW_ABOUT",
#endif
};
static_assert(std::size(kWindowNames) == NUMBER_OF_WINDOWS,
              "every window needs its name, in enumeration order");

#ifndef CLIPWEAVER_BASIC
// Indexed by the menu identifier; identifiers start at 1.
constexpr const char* kMenuNames[] = {
    nullptr,
    "MEN_PROJECT",
    "MEN_ABOUT",
    "MEN_NEW_PROJECT",
    "MEN_LOAD_PROJECT",
    "MEN_SAVE_PROJECT",
    "MEN_RENDER",
    "MEN_QUIT",
    "MEN_EDIT",
    "MEN_UNDO",
    "MEN_REDO",
    "MEN_DELETE_CROUTON",
    "MEN_HELP",
    "MEN_RECENT",
    "MEN_RECENT_1",
    "MEN_RECENT_2",
    "MEN_RECENT_3",
    "MEN_RECENT_4",
    "MEN_RECENT_5",
    "MEN_RECENT_6",
    "MEN_RECENT_7",
    "MEN_RECENT_8",
    "MEN_CROUTON",
    "MEN_HELP_MENU",
    "MEN_SAVE_PROJECT_AS",
    "MEN_PREVIEW_PROJECT",
    "MEN_EMPTY_PIECES",
    "MEN_KEEP_PIECES",
};
static_assert(std::size(kMenuNames) == MEN_KEEP_PIECES + 1,
              "every menu identifier needs its name, in enumeration order");
#endif

template <std::size_t N>
const char* NameAt(const char* const (&names)[N], LONG index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= N)
        return nullptr;
    return names[index];
}

template <std::size_t N>
LONG IndexOf(const char* const (&names)[N], std::string_view name)
{
    const auto found = std::find_if(std::begin(names), std::end(names), [name](const char* entry) {
        return entry != nullptr && name == entry;
    });
    return found == std::end(names) ? -1 : static_cast<LONG>(found - std::begin(names));
}

} // namespace

const char* HexButtonName(LONG slot)
{
    return NameAt(kHexButtonNames, slot);
}

const char* WindowName(LONG window)
{
    return NameAt(kWindowNames, window);
}

LONG HexButtonFromName(std::string_view name)
{
    return IndexOf(kHexButtonNames, name);
}

LONG WindowFromName(std::string_view name)
{
    return IndexOf(kWindowNames, name);
}

#ifndef CLIPWEAVER_BASIC
const char* MenuName(LONG id)
{
    return NameAt(kMenuNames, id);
}

LONG MenuFromName(std::string_view name)
{
    return IndexOf(kMenuNames, name);
}
#endif

// The main window's settings of the project: the cycle gadgets' handlers and
// how the window shows a project's settings.
#include "gui/main_settings.h"

#include "gui/gui.h"
#include "gui/loop.h"
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "model/tables.h"

#include <sstream>

namespace {

void SelectFormat(LoopState&, LONG)
{
    gProject->parameters = mui::XGetLong(gButtons[BUTTON_MAIN_FORMAT_CYCLER], MUIA_Cycle_Active);
    kprintf("Changed format.\n");
    ChangeFormatCycler();
}

void SelectBitRate(LoopState&, LONG)
{
    gProject->baudrate = mui::XGetLong(gButtons[BUTTON_MAIN_BAUDRATE_CYCLER], MUIA_Cycle_Active);
}

void SelectRate(LoopState&, LONG)
{
    gProject->fps = mui::XGetLong(gButtons[BUTTON_MAIN_FPS_CYCLER], MUIA_Cycle_Active);
    ChangeFPSCycler();
}

const ReturnIdRow kRows[] = {
    {GADMSG_MAIN_SELECTFORMAT, SelectFormat},
    {GADMSG_MAIN_SELECTBAUDRATE, SelectBitRate},
    {GADMSG_MAIN_SELECTFPS, SelectRate},
};

} // namespace

std::span<const ReturnIdRow> SettingsReturnIds() { return kRows; }

// The cycle gadgets change quietly, so the bit-rate gadget is not moved by
// the format handler a second time.
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

// The main window's settings of the project: the gadgets that show and read
// one ProjectSettings record, and the cycle gadgets' handlers.
#include "gui/main_settings.h"

#include "gui/gui.h"
#include "gui/loop.h"
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "model/line_file.h"
#include "model/tables.h"
#include "os/format.h"

#include <sstream>

namespace {

// A text field of the main window: the text it shows of the settings, and
// what a text typed there makes of them. The project keeps its own texts
// itself; the others it takes from a file, a render or Undo.
struct TextField {
    HexButtons slot;
    std::string (*shown)(const ProjectSettings&);
    void (*typed)(ProjectSettings&, const std::string&);
    bool projectsOwn;
};

const TextField kTextFields[] = {
    {BUTTON_MAIN_PROJECTNAME, [](const ProjectSettings& s) { return s.projectName; },
     [](ProjectSettings& s, const std::string& text) { s.projectName = text; }, true},
    {BUTTON_MAIN_OUTPUTFILENAME, [](const ProjectSettings& s) { return s.outputFileName; },
     [](ProjectSettings& s, const std::string& text) { s.outputFileName = text; }, true},
    {BUTTON_MAIN_SOUNDTRACK, [](const ProjectSettings& s) { return s.soundtrack.value_or(""); },
     [](ProjectSettings& s, const std::string& text) { s.soundtrack = text; }, false},
    {BUTTON_MAIN_WIDTH, [](const ProjectSettings& s) { return s.typedWidth.value_or(Format("%d", s.width)); },
     [](ProjectSettings& s, const std::string& text) {
         s.typedWidth = text;
         s.width = ReadLong(text);
     },
     true},
    {BUTTON_MAIN_HEIGHT, [](const ProjectSettings& s) { return s.typedHeight.value_or(Format("%d", s.height)); },
     [](ProjectSettings& s, const std::string& text) {
         s.typedHeight = text;
         s.height = ReadLong(text);
     },
     true},
    {BUTTON_MAIN_CUSTOMFPS, [](const ProjectSettings& s) { return s.typedCustomFPS.value_or(FormatFloat(s.customFPS)); },
     [](ProjectSettings& s, const std::string& text) {
         s.typedCustomFPS = text;
         s.customFPS = ReadFloat(text);
     },
     false},
};

// A cycle gadget and the choice it holds.
struct CycleField {
    HexButtons slot;
    LONG ProjectSettings::*choice;
    // Whether a load's change raises its notification (see RateCyclers).
    bool notifiesOnLoad;
};

const CycleField kCycleFields[] = {
    {BUTTON_MAIN_FORMAT_CYCLER, &ProjectSettings::parameters, false},
    {BUTTON_MAIN_BAUDRATE_CYCLER, &ProjectSettings::baudrate, true},
    {BUTTON_MAIN_FPS_CYCLER, &ProjectSettings::fps, true},
};

LONG CycleEntry(HexButtons slot) { return mui::XGetLong(gButtons[slot], MUIA_Cycle_Active); }

void SelectFormat(LoopState&, LONG)
{
    gProject->parameters = CycleEntry(BUTTON_MAIN_FORMAT_CYCLER);
    kprintf("Changed format.\n");
    ChangeFormatCycler();
}

void SelectBitRate(LoopState&, LONG) { gProject->baudrate = CycleEntry(BUTTON_MAIN_BAUDRATE_CYCLER); }

void SelectRate(LoopState&, LONG)
{
    gProject->fps = CycleEntry(BUTTON_MAIN_FPS_CYCLER);
    ChangeFPSCycler();
}

const ReturnIdRow kRows[] = {
    {GADMSG_MAIN_SELECTFORMAT, SelectFormat},
    {GADMSG_MAIN_SELECTBAUDRATE, SelectBitRate},
    {GADMSG_MAIN_SELECTFPS, SelectRate},
};

} // namespace

std::span<const ReturnIdRow> SettingsReturnIds() { return kRows; }

ProjectSettings ReadMainSettings()
{
    ProjectSettings settings;
    for (const TextField& field : kTextFields)
        field.typed(settings, FieldText(field.slot).value_or(""));
    for (const CycleField& field : kCycleFields)
        settings.*field.choice = CycleEntry(field.slot);
    if (gProject)
        settings.look = gProject->look;
    return settings;
}

std::optional<ProjectSettings> ReadShownSettings()
{
    if (!gButtons[BUTTON_MAIN_PROJECTNAME])
        return std::nullopt;
    return ReadMainSettings();
}

// The texts change quietly: nothing follows the main window's text fields
// but the loop, which reads them after every event.
void ShowSettings(const ProjectSettings& settings, RateCyclers cyclers)
{
    for (const TextField& field : kTextFields)
        mui::nnset(gButtons[field.slot], MUIA_String_Contents, field.shown(settings));
    for (const CycleField& field : kCycleFields) {
        if (cyclers == RateCyclers::Notify && field.notifiesOnLoad)
            mui::set(gButtons[field.slot], MUIA_Cycle_Active, settings.*field.choice);
        else
            mui::nnset(gButtons[field.slot], MUIA_Cycle_Active, settings.*field.choice);
    }
    ShowTypedSize(settings.parameters);
    ShowTypedRate(settings.fps);
}

void ShowLoadedSettings(const ProjectSettings& settings) { ShowSettings(settings, RateCyclers::Notify); }

void ShowProjectSettings(const Project& project)
{
    ProjectSettings shown = project;
    // Shortest form: shows the new project's 30 frames per second as the
    // field's start-up text "30".
    std::ostringstream rate;
    rate << static_cast<double>(project.customFPS);
    shown.typedCustomFPS = rate.str();
    ShowSettings(shown, RateCyclers::Quiet);
}

void UpdateGUI(Project* project)
{
    if (!project)
        return;
    for (const TextField& field : kTextFields) {
        if (field.projectsOwn)
            mui::nnset(gButtons[field.slot], MUIA_String_Contents, field.shown(*project));
    }
}

void UpdateProjectFromGUI(Project* project)
{
    if (!project)
        return;
    const ProjectSettings shown = ReadMainSettings();
    project->projectName = shown.projectName;
    project->outputFileName = shown.outputFileName;
    project->width = shown.width;
    project->height = shown.height;
}

void ShowTypedSize(LONG format)
{
    const LONG fixed = SizeIsTyped(format) ? FALSE : TRUE;
    mui::set(gButtons[BUTTON_MAIN_WIDTH], MUIA_Disabled, fixed);
    mui::set(gButtons[BUTTON_MAIN_HEIGHT], MUIA_Disabled, fixed);
}

void ShowTypedRate(LONG fps)
{
    mui::set(gButtons[BUTTON_MAIN_CUSTOMFPS], MUIA_Disabled, LONG{RateIsTyped(fps) ? FALSE : TRUE});
}

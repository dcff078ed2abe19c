// Keeping the main window and the model in step: the project's fields, the
// crouton list entries and pictures, the active crouton's data and previews,
// and the custom entries of the cycle gadgets.
#include "gui/gui.h"

#include "gui/main.h"
#include "gui/vocabulary.h"
#include "model/line_file.h"
#include "model/tables.h"
#include "os/dos.h"
#include "os/format.h"


namespace {

constexpr const char* kNoImageAvailable = "NoImageAvailable.png";

const char* TraceText(const std::optional<std::string>& text) { return text ? text->c_str() : "(null)"; }

std::string FieldText(HexButtons slot)
{
    return mui::XGetString(gButtons[slot], MUIA_String_Contents).value_or("");
}

} // namespace

void InitGUI() {}

void CloseGUI() {}

void UpdateGUI(Project* project)
{
    if (!project)
        return;
    mui::set(gButtons[BUTTON_MAIN_PROJECTNAME], MUIA_String_Contents, project->projectName);
    mui::set(gButtons[BUTTON_MAIN_OUTPUTFILENAME], MUIA_String_Contents, project->outputFileName);
    mui::set(gButtons[BUTTON_MAIN_WIDTH], MUIA_String_Contents, Format("%d", project->width));
    mui::set(gButtons[BUTTON_MAIN_HEIGHT], MUIA_String_Contents, Format("%d", project->height));
}

void UpdateProjectFromGUI(Project* project)
{
    if (!project)
        return;
    project->projectName = FieldText(BUTTON_MAIN_PROJECTNAME);
    project->outputFileName = FieldText(BUTTON_MAIN_OUTPUTFILENAME);
    project->width = ReadLong(FieldText(BUTTON_MAIN_WIDTH));
    project->height = ReadLong(FieldText(BUTTON_MAIN_HEIGHT));
}

void UpdateCroutonFromGUI(Crouton* /*crouton*/)
{
    kprintf("UpdateCroutonFromGUI: Not implemented yet.\n");
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

void ShowCroutonPicture(const Crouton* crouton)
{
    if (!crouton || !crouton->previewImage)
        return;
    const auto& picture = crouton->previewFilename[ClampPreviewFrame(crouton->previewFrame)];
    if (picture)
        SetButtonImage(crouton->previewImage, std::string_view(*picture));
    else
        SetButtonImage(crouton->previewImage, std::string_view(kNoImageAvailable));
}

void UpdateGUIPreview()
{
    if (!gCroutonList)
        return;
    const LONG active = gCroutonList->GetLong(MUIA_NList_Active, MUIV_NList_Active_Off);
    Crouton* crouton = GetCroutonFromPosition(gProject.get(), active);
    if (!crouton)
        return;
    auto text = [](HexButtons slot, std::string value) { mui::set(gButtons[slot], MUIA_Text_Contents, std::move(value)); };

    text(BUTTON_MAIN_LENGTH, Format("%d Seconds", crouton->length));
    if (crouton->isVideo == TRUE) {
        text(BUTTON_MAIN_CROUTON_WIDTH, Format("%d", crouton->width));
        text(BUTTON_MAIN_CROUTON_HEIGHT, Format("%d", crouton->height));
        text(BUTTON_MAIN_CROUTON_VIDEOBITRATE, Format("%d bps", crouton->videoBitrate));
        text(BUTTON_MAIN_CROUTON_AUDIOBITRATE, Format("%d bps", crouton->audioBitrate));
        text(BUTTON_MAIN_CROUTON_RATIO, Format("%3.2f:1", static_cast<double>(crouton->ratio)));
        // A video shows the rate that the probe measured.
        text(BUTTON_MAIN_CROUTON_FPS, Format("%3.2f fps", static_cast<double>(crouton->customFPS)));
    } else {
        for (HexButtons slot : {BUTTON_MAIN_CROUTON_WIDTH, BUTTON_MAIN_CROUTON_HEIGHT, BUTTON_MAIN_CROUTON_VIDEOBITRATE,
                                BUTTON_MAIN_CROUTON_AUDIOBITRATE, BUTTON_MAIN_CROUTON_RATIO})
            text(slot, "n/a");
        // An image sequence shows the rate of its frame-rate choice.
        const float rate = CroutonRate(ClampCroutonFPSIndex(crouton->fps), crouton->customFPS);
        text(BUTTON_MAIN_CROUTON_FPS, Format("%3.2f fps", static_cast<double>(rate)));
    }
    text(BUTTON_MAIN_CROUTON_VIDEOCODEC, crouton->videoCodec.value_or("none"));
    text(BUTTON_MAIN_CROUTON_AUDIOCODEC, crouton->audioCodec.value_or("none"));
    for (int i = 0; i < cNumberOfPreviews; ++i) {
        mui::Object* image = gButtons[BUTTON_MAIN_PREVIEWIMAGE + i];
        if (crouton->previewFilename[i])
            SetButtonImage(image, std::string_view(*crouton->previewFilename[i]));
        else
            SetButtonImage(image, std::string_view(kNoImageAvailable));
    }
}

void ShowHighlightedCrouton()
{
    if (!gCroutonList)
        return;
    const LONG active = gCroutonList->GetLong(MUIA_NList_Active, MUIV_NList_Active_Off);
    if (GetCroutonFromPosition(gProject.get(), active)) {
        mui::nnset(gVisualList, MUIA_NList_Active, active);
        UpdateGUIPreview();
        return;
    }
    // The texts and pictures the main window is built with.
    const std::pair<HexButtons, const char*> empty[] = {
        {BUTTON_MAIN_LENGTH, "\x1b" "l------ Seconds"},
        {BUTTON_MAIN_CROUTON_WIDTH, "\x1b" "l--------"},
        {BUTTON_MAIN_CROUTON_HEIGHT, "\x1b" "l--------"},
        {BUTTON_MAIN_CROUTON_VIDEOBITRATE, "\x1b" "l-------- bps"},
        {BUTTON_MAIN_CROUTON_AUDIOBITRATE, "\x1b" "l-------- bps"},
        {BUTTON_MAIN_CROUTON_RATIO, "\x1b" "l----------"},
        {BUTTON_MAIN_CROUTON_FPS, "\x1b" "l--------- fps"},
        {BUTTON_MAIN_CROUTON_VIDEOCODEC, "\x1b" "l--NO CODEC--"},
        {BUTTON_MAIN_CROUTON_AUDIOCODEC, "\x1b" "l--NO CODEC--"},
    };
    for (const auto& [slot, text] : empty)
        mui::set(gButtons[slot], MUIA_Text_Contents, std::string(text));
    for (HexButtons slot : cMainPreviewButtons)
        SetButtonImage(gButtons[slot], std::string_view("NoVideoLoaded.png"));
}

void SetButtonImage(mui::Object* button, std::optional<std::string_view> filename)
{
    mui::set(button, MUIA_NBitmap_Type, LONG{0});
    if (!filename) {
        mui::set(button, MUIA_NBitmap_Normal, std::monostate{});
        return;
    }
    FileLock lock = Lock(*filename, ACCESS_READ);
    if (!lock) {
        // When the fall-back picture is missing too the gadget shows none.
        if (*filename != kNoImageAvailable)
            SetButtonImage(button, kNoImageAvailable);
        else
            mui::set(button, MUIA_NBitmap_Normal, std::monostate{});
        return;
    }
    UnLock(std::move(lock));
    mui::set(button, MUIA_NBitmap_Normal, std::string(*filename));
}

void ChangeFormatCycler()
{
    const LONG format = mui::XGetLong(gButtons[BUTTON_MAIN_FORMAT_CYCLER], MUIA_Cycle_Active);
    const bool custom = format == cCustomFormatID;
    mui::set(gButtons[BUTTON_MAIN_WIDTH], MUIA_Disabled, LONG{custom ? FALSE : TRUE});
    mui::set(gButtons[BUTTON_MAIN_HEIGHT], MUIA_Disabled, LONG{custom ? FALSE : TRUE});
    // Not quiet: the bit-rate event stores the new index in the project.
    mui::set(gButtons[BUTTON_MAIN_BAUDRATE_CYCLER], MUIA_Cycle_Active, cDefaultBaud[ClampFormatIndex(format)]);
}

void ChangeFPSCycler()
{
    const LONG fps = mui::XGetLong(gButtons[BUTTON_MAIN_FPS_CYCLER], MUIA_Cycle_Active);
    mui::set(gButtons[BUTTON_MAIN_CUSTOMFPS], MUIA_Disabled, LONG{fps == cCustomFPSID ? FALSE : TRUE});
}

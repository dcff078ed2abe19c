// Keeping the main window and the model in step: the project's fields, the
// crouton list entries and pictures, the active crouton's data and previews,
// and the custom entries of the cycle gadgets.
#include "gui/gui.h"

#include "gui/editor.h"
#include "gui/main.h"
#include "gui/main_settings.h"
#include "media/preview.h"
#include "gui/vocabulary.h"
#include "model/crouton_time.h"
#include "model/line_file.h"
#include "model/tables.h"
#include "os/dos.h"
#include "os/format.h"


namespace {

constexpr const char* kNoImageAvailable = "NoImageAvailable.png";

// The crouton editor must never act on a crouton that has left the project:
// when its crouton goes, the editor closes quietly and forgets it.
void ForgetEditedCrouton(const Crouton* crouton)
{
    if (!crouton || crouton != gEditingCrouton)
        return;
    if (gWindows[WINDOW_CROUTONEDITOR] && mui::XGetLong(gWindows[WINDOW_CROUTONEDITOR], MUIA_Window_Open))
        CroutonEditor_Cancel();
    gEditingCrouton = nullptr;
}

} // namespace

std::optional<std::string> FieldText(HexButtons slot)
{
    return mui::XGetString(gButtons[slot], MUIA_String_Contents);
}

void InstallProjectView()
{
    SetProjectViewHooks({.projectShown = UpdateGUI,
                         .settingsLoaded = ShowLoadedSettings,
                         .croutonsMoved = UpdateGUIPreview,
                         .croutonRemoved = ForgetEditedCrouton,
                         .clipProbed = CroutonEditor_ShowClip,
                         .readSettings = ReadShownSettings});
    SetPreviewView({.read = CroutonEditor_PreviewInputs, .showStill = CroutonEditor_ShowStill});
}

void InitGUI() {}

void CloseGUI() {}

void UpdateCroutonFromGUI(Crouton* /*crouton*/)
{
    kprintf("UpdateCroutonFromGUI: Not implemented yet.\n");
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

    text(BUTTON_MAIN_LENGTH, LengthText(crouton->length) + " Seconds");
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

void ChangeFormatCycler()
{
    const LONG format = mui::XGetLong(gButtons[BUTTON_MAIN_FORMAT_CYCLER], MUIA_Cycle_Active);
    ShowTypedSize(format);
    // Not quiet: the bit-rate event stores the new index in the project.
    mui::set(gButtons[BUTTON_MAIN_BAUDRATE_CYCLER], MUIA_Cycle_Active, cDefaultBaud[ClampFormatIndex(format)]);
}

void ChangeFPSCycler()
{
    ShowTypedRate(mui::XGetLong(gButtons[BUTTON_MAIN_FPS_CYCLER], MUIA_Cycle_Active));
}

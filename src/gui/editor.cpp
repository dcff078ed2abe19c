// The crouton editor window: opening it on a crouton, filling it from the
// record, loading a source, the frame-rate choice, saving, cancelling, and
// the first entries of the crouton list.
#include "gui/editor.h"

#include "gui/editor_close.h"
#include "gui/gui.h"
#include "gui/loop.h"
#include "gui/look_gadgets.h"
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "media/preview.h"
#include "media/probe.h"
#include "model/crouton_time.h"
#include "model/imageseq.h"
#include "model/look_edit.h"
#include "model/tables.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/format.h"
#include "os/question.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

const void* TraceAddress(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

mui::Object* Gadget(HexButtons slot) { return gButtons[slot]; }

void Enable(HexButtons slot, bool enabled) { mui::set(Gadget(slot), MUIA_Disabled, LONG{enabled ? FALSE : TRUE}); }

std::optional<std::string_view> AsView(const std::optional<std::string>& text)
{
    return text ? std::optional<std::string_view>(*text) : std::nullopt;
}

// The custom rate field read as atof reads it; a number beyond a float's
// range is held at its limit, and one that is no number at all reads 0.
float ReadRate(const std::string& text)
{
    const double value = std::atof(text.c_str());
    if (std::isnan(value))
        return 0.0f;
    return static_cast<float>(std::clamp(value, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
}

// The program's own picture for a missing still must never be overwritten.
constexpr std::string_view kNoKeyFrame = "NoKeyFrame.png";

} // namespace

void EditCrouton(Crouton* crouton)
{
    if (!crouton)
        return;
    kprintf("Editing crouton %s.\n", TraceText(crouton->name));
    CroutonEditor_Clear();
    mui::set(gWindows[WINDOW_CROUTONEDITOR], MUIA_Window_Open, LONG{TRUE});
    CroutonEditor_Update(crouton);
    NoteEditorOpened();
}

void CroutonEditor_Clear()
{
    for (HexButtons slot : cEditorImageButtons)
        mui::set(Gadget(slot), MUIA_NBitmap_Normal, std::string("Loading.png"));
    kprintf("Clearing.\n");
}

void CroutonEditor_Update(Crouton* crouton)
{
    if (!crouton)
        return;
    mui::set(Gadget(BUTTON_CROUTONEDITOR_TITLE), MUIA_String_Contents, crouton->name.value_or(""));
    mui::set(Gadget(BUTTON_CROUTONEDITOR_VIDEO_FILENAME), MUIA_String_Contents, crouton->videoName.value_or(""));
    kprintf("Soundtrack is %p.\n", TraceAddress(crouton->soundtrack));
    mui::set(Gadget(BUTTON_CROUTONEDITOR_SOUNDTRACK), MUIA_String_Contents, crouton->soundtrack.value_or(""));
    mui::set(Gadget(BUTTON_CROUTONEDITOR_CUSTOMFPS), MUIA_String_Contents,
             Format("%f", static_cast<double>(crouton->customFPS)));
    mui::set(Gadget(BUTTON_CROUTONEDITOR_FPS_CYCLER), MUIA_Cycle_Active, crouton->fps);

    mui::Object* start = Gadget(BUTTON_CROUTONEDITOR_START);
    mui::Object* end = Gadget(BUTTON_CROUTONEDITOR_END);
    if (crouton->isVideo) {
        // The trims first, so that the sliders' moves find them in place.
        CroutonEditor_ShowTrim(*crouton);
        mui::set(start, MUIA_Numeric_Max, NearestSecond(crouton->videoLength));
        mui::set(end, MUIA_Numeric_Max, NearestSecond(crouton->videoLength));
        mui::set(start, MUIA_Numeric_Value, NearestSecond(crouton->start));
        mui::set(end, MUIA_Numeric_Value, NearestSecond(crouton->start + crouton->length));
        mui::set(Gadget(BUTTON_CROUTONEDITOR_PREVIEWSELECTER), MUIA_Radio_Active, crouton->previewFrame);
        for (int i = 0; i < cNumberOfPreviews; ++i) {
            if (crouton->previewFilename[i]) {
                kprintf("Preview: %p.\n", TraceAddress(crouton->previewFilename[i]));
                CopyStill(*crouton->previewFilename[i], cTemporaryPreviewFilename[i], true);
            }
            kprintf("Setting slider %d to %d.\n", i, crouton->previewPosition[i]);
            mui::set(Gadget(cPreviewSliderButtons[i]), MUIA_Numeric_Value, crouton->previewPosition[i]);
        }
        Enable(BUTTON_CROUTONEDITOR_START, true);
        Enable(BUTTON_CROUTONEDITOR_END, true);
        for (int i = 0; i < cNumberOfPreviews; ++i) {
            Enable(cEditorImageButtons[i], true);
            Enable(cPreviewSliderButtons[i], true);
        }
        Enable(BUTTON_CROUTONEDITOR_PREVIEWSELECTER, true);
        for (int i = 0; i < cNumberOfPreviews; ++i)
            SetButtonImage(Gadget(cEditorImageButtons[i]), std::string_view(cTemporaryPreviewFilename[i]));
        mui::set(Gadget(BUTTON_CROUTONEDITOR_FPS_CYCLER), MUIA_Cycle_Active, crouton->fps);
        Enable(BUTTON_CROUTONEDITOR_FPS_CYCLER, true);
        Enable(BUTTON_CROUTONEDITOR_CUSTOMFPS, false);
    } else {
        CroutonEditor_ShowTrim(*crouton);
        Enable(BUTTON_CROUTONEDITOR_START, false);
        Enable(BUTTON_CROUTONEDITOR_END, false);
        mui::set(start, MUIA_Numeric_Min, LONG{0});
        mui::set(start, MUIA_Numeric_Max, LONG{100});
        mui::set(start, MUIA_Numeric_Value, LONG{0});
        mui::set(end, MUIA_Numeric_Min, LONG{1});
        mui::set(end, MUIA_Numeric_Max, LONG{100});
        mui::set(end, MUIA_Numeric_Value, NearestSecond(crouton->length));
        Enable(BUTTON_CROUTONEDITOR_FPS_CYCLER, true);
        Enable(BUTTON_CROUTONEDITOR_CUSTOMFPS, true);
        mui::set(Gadget(BUTTON_CROUTONEDITOR_PREVIEWSELECTER), MUIA_Radio_Active, crouton->previewFrame);
        for (int i = 0; i < cNumberOfPreviews; ++i) {
            if (crouton->previewFilename[i])
                CopyStill(*crouton->previewFilename[i], cTemporaryPreviewFilename[i], true);
            Enable(cEditorImageButtons[i], true);
            Enable(cPreviewSliderButtons[i], true);
            mui::set(Gadget(cPreviewSliderButtons[i]), MUIA_Numeric_Value, crouton->previewPosition[i]);
            SetButtonImage(Gadget(cEditorImageButtons[i]), std::string_view(cTemporaryPreviewFilename[i]));
        }
        Enable(BUTTON_CROUTONEDITOR_PREVIEWSELECTER, true);
    }
    ShowCroutonLook(*crouton);
}

void CroutonEditor_SelectFPS(Crouton* crouton)
{
    if (!crouton)
        return;
    mui::Object* cycler = Gadget(BUTTON_CROUTONEDITOR_FPS_CYCLER);
    const LONG oldFps = crouton->fps;
    crouton->fps = mui::XGetLong(cycler, MUIA_Cycle_Active);
    Enable(BUTTON_CROUTONEDITOR_CUSTOMFPS, crouton->fps == cCroutonEditorCustomFPSID);
    if (crouton->fps == cCroutonEditorInheritFPSID && !crouton->isVideo) {
        // An image sequence has no rate of its own to keep: spring back. The
        // cycler's change event brings this operation round once more.
        crouton->fps = oldFps;
        mui::set(cycler, MUIA_Cycle_Active, oldFps);
    }
}

BOOL CroutonEditor_LoadVideo(Crouton* crouton)
{
    if (!crouton)
        return FALSE;
    const std::optional<std::string> source = FieldText(BUTTON_CROUTONEDITOR_VIDEO_FILENAME);
    if (!source)
        return FALSE;
    kprintf("Loading video %s.\n", source->c_str());
    if (const std::string problem = SourceNameProblem(*source); !problem.empty()) {
        TellUser("Source not taken", problem);
        return FALSE;
    }
    const BOOL loaded = LoadVideoIntoCrouton(crouton, *source);
    if (loaded && crouton->isVideo)
        CroutonEditor_ShowClip(crouton);
    return loaded;
}

void CroutonEditor_ShowStill(int still, std::string_view file)
{
    if (still >= 0 && still < cNumberOfPreviews)
        SetButtonImage(Gadget(cEditorImageButtons[static_cast<std::size_t>(still)]), file);
}

void CroutonEditor_ShowClip(Crouton* crouton)
{
    if (!crouton)
        return;
    mui::Object* startSlider = Gadget(BUTTON_CROUTONEDITOR_START);
    mui::Object* endSlider = Gadget(BUTTON_CROUTONEDITOR_END);
    mui::set(startSlider, MUIA_Disabled, LONG{FALSE});
    mui::set(endSlider, MUIA_Disabled, LONG{FALSE});
    mui::set(startSlider, MUIA_Numeric_Max, NearestSecond(crouton->videoLength));
    mui::set(endSlider, MUIA_Numeric_Max, NearestSecond(crouton->videoLength));
    mui::set(endSlider, MUIA_Numeric_Value, NearestSecond(crouton->videoLength));
    CroutonEditor_ShowClipTrim(*crouton);
    ChangeStart(crouton);
    ChangeEnd(crouton);
}

// A source that names no file and no picture sequence would make a crouton
// of nothing: told to the user, and nothing is saved. A pattern stands for
// its pictures once their folder is there.
namespace {

bool SourceNamesSomething(const std::string& source)
{
    if (source.empty())
        return true;
    if (!IsSourcePattern(source))
        return IdentityOf(source).has_value();
    const std::string folder = SplitPath(source).directory;
    return IdentityOf(folder.empty() ? std::string(".") : folder).has_value();
}

} // namespace

BOOL CroutonEditor_Save(Crouton* crouton)
{
    if (!crouton)
        return FALSE;
    const std::string source = FieldText(BUTTON_CROUTONEDITOR_VIDEO_FILENAME).value_or("");
    if (!SourceNamesSomething(source)) {
        kprintf("Couldn't create crouton %s.\n", TraceText(crouton->filename));
        TellUser("Crouton not saved", "The source \"" + source
                                          + "\" names no file and no picture sequence: choose a video or pictures "
                                            "with the source field's button. Nothing was saved.");
        return FALSE;
    }
    if (const std::string problem = SourceNameProblem(source); !problem.empty()) {
        kprintf("Couldn't create crouton %s.\n", TraceText(crouton->filename));
        TellUser("Crouton not saved", problem + " Nothing was saved.");
        return FALSE;
    }
    if (!CroutonEditor_TakeTrim(crouton) || !TakeCroutonLook(*crouton))
        return FALSE;

    crouton->customFPS = ReadRate(FieldText(BUTTON_CROUTONEDITOR_CUSTOMFPS).value_or(""));
    crouton->fps = mui::XGetLong(Gadget(BUTTON_CROUTONEDITOR_FPS_CYCLER), MUIA_Cycle_Active);

    for (int i = 0; i < cNumberOfPreviews; ++i) {
        SetButtonImage(Gadget(cMainPreviewButtons[i]), std::string_view("NoImageAvailable.png"));
        crouton->previewPosition[i] = mui::XGetLong(Gadget(cPreviewSliderButtons[i]), MUIA_Numeric_Value);
    }
    crouton->previewFrame = mui::XGetLong(Gadget(BUTTON_CROUTONEDITOR_PREVIEWSELECTER), MUIA_Radio_Active);

    crouton->name = FieldText(BUTTON_CROUTONEDITOR_TITLE).value_or("");
    crouton->videoName = FieldText(BUTTON_CROUTONEDITOR_VIDEO_FILENAME).value_or("");
    // An empty field is no soundtrack.
    std::string soundtrack = FieldText(BUTTON_CROUTONEDITOR_SOUNDTRACK).value_or("");
    if (soundtrack.empty())
        crouton->soundtrack.reset();
    else
        crouton->soundtrack = std::move(soundtrack);

    for (int i = 0; i < cNumberOfPreviews; ++i) {
        const std::optional<std::string>& still = crouton->previewFilename[i];
        if (still && *still != kNoKeyFrame)
            CopyStill(cTemporaryPreviewFilename[i], *still, true);
        SetButtonImage(Gadget(cMainPreviewButtons[i]), AsView(still));
    }
    ShowCroutonPicture(crouton);

    for (int i = 0; i < cNumberOfPreviews; ++i) {
        SetButtonImage(Gadget(cEditorImageButtons[i]), std::string_view("NoImageAvailable.png"));
        DeleteFile(cTemporaryPreviewFilename[i]);
        kprintf("Deleted %s.\n", cTemporaryPreviewFilename[i]);
    }

    if (!crouton->isVideo) {
        // Pictures have no rate of their own to keep. The cycler can still
        // show "Source (Video only)" when "_Load" has just turned a video
        // crouton into an image crouton; such a crouton gets the rate a
        // newly probed picture gets, so that it can be rendered.
        if (crouton->fps == cCroutonEditorInheritFPSID) {
            crouton->fps = cImageCroutonFPSID;
            kprintf("Pictures can't keep a source's rate; using %s.\n",
                    cCroutonEditorFPSStrings[static_cast<std::size_t>(cImageCroutonFPSID)]);
        }
        crouton->length = ImageCroutonLength(GetNumberOfFilesInImageCrouton(crouton),
                                             CroutonRate(crouton->fps, crouton->customFPS));
    }

    // A picture crouton's length follows its rate: its fades stay within it.
    ClampCroutonLook(crouton->look, crouton->length);
    kprintf("Saving Crouton %s.\n", TraceText(crouton->name));
    if (!SaveCrouton(crouton))
        return FALSE;
    mui::set(gWindows[WINDOW_CROUTONEDITOR], MUIA_Window_Open, LONG{FALSE});
#ifndef CLIPWEAVER_BASIC
    mui::NList_Redraw(gVisualList, MUIV_NList_Redraw_Active);
#endif
    return TRUE;
}

void CroutonEditor_Cancel()
{
    mui::SetAttrs(gWindows[WINDOW_CROUTONEDITOR], {{MUIA_Window_Open, LONG{FALSE}}, {MUIA_NoNotify, LONG{TRUE}}});
    for (int i = 0; i < cNumberOfPreviews; ++i) {
        kprintf("Deleting %s.\n", cTemporaryPreviewFilename[i]);
        SetButtonImage(Gadget(cEditorImageButtons[i]), std::string_view("Loading.png"));
        DeleteFile(cTemporaryPreviewFilename[i]);
    }
}

// Moving a slider changes nothing until "_Save" or "_Generate Preview".
void ChangeParameter(Crouton* /*crouton*/, mui::Object* /*slider*/, mui::Object* /*image*/, int /*id*/) {}

std::vector<std::string> LoadCroutonStrings(Project* project)
{
    std::vector<std::string> strings;
    if (!project)
        return strings;
    strings.reserve(static_cast<std::size_t>(std::max<LONG>(project->numberOfCroutons, 0)));
    int number = 0;
    for (const ListNode* node = project->croutons.get(); node; node = node->next.get(), ++number) {
        const std::optional<std::string> name = node->node ? node->node->name : std::nullopt;
        kprintf("Adding string number %d as %s.\n", number, TraceText(name));
        strings.push_back(name.value_or(""));
    }
    return strings;
}

namespace {

void SaveSteps(LoopState& loop, Crouton* crouton)
{
    CroutonEditor_Save(crouton);
    UpdateGUIListEntry(gProject.get(), loop.selected);
    UpdateGUIPreview();
    MakeActive(gCroutonList, loop.selected);
}

void LoadVideoSteps(LoopState&, Crouton* crouton)
{
    UpdateCroutonFromGUI(crouton);
    CroutonEditor_LoadVideo(crouton);
    EnableCroutonLook(*crouton);
}

void Start(LoopState&, Crouton* crouton) { ChangeStart(crouton); }
void End(LoopState&, Crouton* crouton) { ChangeEnd(crouton); }
void Stills(LoopState&, Crouton* crouton) { GeneratePreview(crouton); }
void Play(LoopState&, Crouton* crouton) { CroutonEditor_RunMPlayer(crouton); }
void SelectRate(LoopState&, Crouton* crouton) { CroutonEditor_SelectFPS(crouton); }

// The editor acts only on a crouton that is still in the project.
template <void (*Act)(LoopState&, Crouton*)>
void OnEditedCrouton(LoopState& loop, LONG)
{
    if (gEditingCrouton)
        Act(loop, gEditingCrouton);
}

// Closing an editor that shows no crouton is harmless.
void Cancel(LoopState&, LONG) { CroutonEditor_Cancel(); }

// The close gadget asks before edits go; Save saves as the button does.
void Close(LoopState& loop, LONG id)
{
    const EditorClose close = gEditingCrouton ? AskEditorClose() : EditorClose::Discard;
    if (close == EditorClose::Save)
        OnEditedCrouton<SaveSteps>(loop, id);
    else if (close == EditorClose::Discard)
        Cancel(loop, id);
}

const ReturnIdRow kRows[] = {
    {GADMSG_CROUTONEDITOR_CANCEL, Cancel},
    {GADMSG_CROUTONEDITOR_CLOSE, Close},
    {GADMSG_CROUTONEDITOR_SAVE, OnEditedCrouton<SaveSteps>},
    {GADMSG_CROUTONEDITOR_LOADVIDEO, OnEditedCrouton<LoadVideoSteps>},
    {GADMSG_CROUTONEDITOR_START, OnEditedCrouton<Start>},
    {GADMSG_CROUTONEDITOR_END, OnEditedCrouton<End>},
    {GADMSG_CROUTONEDITOR_GENERATEPREVIEW, OnEditedCrouton<Stills>},
    {GADMSG_CROUTONEDITOR_MPLAYER, OnEditedCrouton<Play>},
    {GADMSG_CROUTONEDITOR_SELECTFPS, OnEditedCrouton<SelectRate>},
};

} // namespace

std::span<const ReturnIdRow> EditorReturnIds() { return kRows; }

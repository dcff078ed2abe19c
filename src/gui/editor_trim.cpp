// The crouton editor's trims: the start and end it edits, to the frame of the
// source, shown on the sliders (whole seconds) and in the time fields beside
// them, which take typed times. One setter path changes them; the sliders,
// the fields and the player all go through it.
#include "gui/editor.h"

#include "gui/gui.h"
#include "gui/vocabulary.h"
#include "model/crouton_time.h"
#include "os/question.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// What the editor holds until "_Save": the crouton's stretch as edited.
struct EditorTrim {
    bool video = false;
    double start = 0;
    double end = 0;
    double source = 0; // the source's length; 0 when it is not known
    double rate = 0;   // the source's frames per second; 0 snaps to milliseconds
};

EditorTrim& Trim()
{
    static EditorTrim trim;
    return trim;
}

TrimListener& Listener()
{
    static TrimListener listener;
    return listener;
}

mui::Object* Gadget(HexButtons slot) { return gButtons[slot]; }

// One frame of the source: the least a crouton lasts.
double FrameStep(const EditorTrim& trim)
{
    return trim.rate > 0.0 && trim.rate <= 1000.0 && std::isfinite(trim.rate) ? 1.0 / trim.rate : 0.001;
}

void Quietly(HexButtons slot, Tag attribute, mui::Value value)
{
    if (mui::Object* gadget = Gadget(slot))
        mui::SetAttrs(gadget, {{attribute, std::move(value)}, {MUIA_NoNotify, LONG{TRUE}}});
}

void PaintSlider(bool isEnd)
{
    const EditorTrim& trim = Trim();
    Quietly(isEnd ? BUTTON_CROUTONEDITOR_END : BUTTON_CROUTONEDITOR_START, MUIA_Numeric_Value,
            NearestSecond(isEnd ? trim.end : trim.start));
}

void PaintTime(bool isEnd)
{
    const EditorTrim& trim = Trim();
    Quietly(isEnd ? BUTTON_CROUTONEDITOR_ENDTIME : BUTTON_CROUTONEDITOR_STARTTIME, MUIA_String_Contents,
            FormatTrimTime(isEnd ? trim.end : trim.start));
}

// The setter path: clamp to the source and to the other end, snap to the
// source's frame, return when unchanged, store, repaint, notify. A typed
// time keeps its field as the user is typing it.
bool SetTrim(bool isEnd, double seconds, bool repaintTime)
{
    EditorTrim& trim = Trim();
    if (!std::isfinite(seconds))
        return false;
    const double step = FrameStep(trim);
    double value = SnapToFrame(std::max(seconds, 0.0), trim.rate);
    if (trim.source > 0.0)
        value = std::min(value, trim.source);
    if (isEnd)
        value = std::max(value, trim.start + step);
    else
        value = std::min(value, std::max(trim.end - step, 0.0));
    value = SnapToFrame(value, trim.rate);
    double& held = isEnd ? trim.end : trim.start;
    if (value == held)
        return false;
    held = value;
    PaintSlider(isEnd);
    if (repaintTime)
        PaintTime(isEnd);
    if (Listener())
        Listener()(trim.start, trim.end);
    return true;
}

// A slider's seconds; at its end, the source's end (which need not be whole).
double SliderSeconds(HexButtons slot)
{
    const LONG value = mui::XGetLong(Gadget(slot), MUIA_Numeric_Value);
    const EditorTrim& trim = Trim();
    if (trim.source > 0.0 && value >= mui::XGetLong(Gadget(slot), MUIA_Numeric_Max))
        return trim.source;
    return static_cast<double>(value);
}

bool SliderMoved(bool isEnd)
{
    const EditorTrim& trim = Trim();
    const HexButtons slot = isEnd ? BUTTON_CROUTONEDITOR_END : BUTTON_CROUTONEDITOR_START;
    return mui::XGetLong(Gadget(slot), MUIA_Numeric_Value) != NearestSecond(isEnd ? trim.end : trim.start);
}

// The field's text when it says something other than the held time.
std::optional<std::string> TypedTime(bool isEnd)
{
    const EditorTrim& trim = Trim();
    std::string text = FieldText(isEnd ? BUTTON_CROUTONEDITOR_ENDTIME : BUTTON_CROUTONEDITOR_STARTTIME).value_or("");
    if (text == FormatTrimTime(isEnd ? trim.end : trim.start))
        return std::nullopt;
    return text;
}

// A moved slider or a typed time goes through the setter; a text that is
// no time yet is left to the user to finish.
void FollowGadgets(bool isEnd)
{
    if (const std::optional<std::string> typed = TypedTime(isEnd)) {
        if (const std::optional<double> seconds = ParseTrimTime(*typed)) {
            SetTrim(isEnd, *seconds, false);
            return;
        }
    }
    if (SliderMoved(isEnd))
        SetTrim(isEnd, SliderSeconds(isEnd ? BUTTON_CROUTONEDITOR_END : BUTTON_CROUTONEDITOR_START), true);
}

} // namespace

bool CroutonEditor_SetTrimSeconds(bool isEnd, double seconds) { return SetTrim(isEnd, seconds, true); }

void CroutonEditor_SetTrimListener(TrimListener listener) { Listener() = std::move(listener); }

std::pair<double, double> CroutonEditor_Trim() { return {Trim().start, Trim().end}; }

void CroutonEditor_ShowTrim(const Crouton& crouton)
{
    EditorTrim& trim = Trim();
    trim.video = crouton.isVideo != FALSE;
    trim.source = std::max(crouton.videoLength, 0.0);
    trim.rate = SourceFrameRate(crouton);
    trim.start = crouton.start;
    trim.end = crouton.start + crouton.length;
    const bool editable = trim.video;
    for (const HexButtons slot : {BUTTON_CROUTONEDITOR_STARTTIME, BUTTON_CROUTONEDITOR_ENDTIME})
        Quietly(slot, MUIA_Disabled, LONG{editable ? FALSE : TRUE});
    PaintTime(false);
    PaintTime(true);
}

void CroutonEditor_ShowClipTrim(const Crouton& crouton)
{
    EditorTrim& trim = Trim();
    trim.video = true;
    trim.source = std::max(crouton.videoLength, 0.0);
    trim.rate = SourceFrameRate(crouton);
    trim.end = trim.source;
    // The start keeps what the slider shows, within the new clip.
    if (SliderMoved(false))
        trim.start = static_cast<double>(mui::XGetLong(Gadget(BUTTON_CROUTONEDITOR_START), MUIA_Numeric_Value));
    trim.start = std::clamp(SnapToFrame(trim.start, trim.rate), 0.0, std::max(trim.end - FrameStep(trim), 0.0));
    for (const HexButtons slot : {BUTTON_CROUTONEDITOR_STARTTIME, BUTTON_CROUTONEDITOR_ENDTIME})
        Quietly(slot, MUIA_Disabled, LONG{FALSE});
    PaintSlider(false);
    PaintTime(false);
    PaintTime(true);
    if (Listener())
        Listener()(trim.start, trim.end);
}

void ChangeStart(Crouton* /*crouton*/) { FollowGadgets(false); }

void ChangeEnd(Crouton* /*crouton*/) { FollowGadgets(true); }

bool CroutonEditor_TakeTrim(Crouton* crouton)
{
    if (!crouton)
        return false;
    const EditorTrim& trim = Trim();
    if (!trim.video) {
        // A picture sequence has no stretch of its own: the sliders as
        // they stand, as ever.
        crouton->start = mui::XGetLong(Gadget(BUTTON_CROUTONEDITOR_START), MUIA_Numeric_Value);
        const long long length = static_cast<long long>(mui::XGetLong(Gadget(BUTTON_CROUTONEDITOR_END), MUIA_Numeric_Value))
                                 - static_cast<long long>(crouton->start);
        crouton->length = static_cast<double>(length);
        return true;
    }
    for (const bool isEnd : {false, true}) {
        const std::optional<std::string> typed = TypedTime(isEnd);
        if (!typed)
            continue;
        const std::optional<double> seconds = ParseTrimTime(*typed);
        if (!seconds) {
            TellUser("Crouton not saved", std::string(isEnd ? "The end" : "The start") + " \"" + *typed
                                              + "\" is not a time: type seconds (12.48), minutes and seconds "
                                                "(0:12.48) or hours, minutes and seconds (1:02:03.5).");
            return false;
        }
        SetTrim(isEnd, *seconds, true);
    }
    double start = trim.start;
    double end = trim.end;
    // A slider set without telling anyone (as a program may) is taken as
    // it stands, as the editor always took it.
    if (SliderMoved(false))
        start = static_cast<double>(mui::XGetLong(Gadget(BUTTON_CROUTONEDITOR_START), MUIA_Numeric_Value));
    if (SliderMoved(true))
        end = static_cast<double>(mui::XGetLong(Gadget(BUTTON_CROUTONEDITOR_END), MUIA_Numeric_Value));
    crouton->start = start;
    crouton->length = end - start;
    return true;
}

PreviewInputs CroutonEditor_PreviewInputs()
{
    PreviewInputs inputs;
    if (mui::Object* field = Gadget(BUTTON_CROUTONEDITOR_VIDEO_FILENAME))
        inputs.source = mui::XGetString(field, MUIA_String_Contents).value_or("");
    inputs.start = mui::XGetLong(Gadget(BUTTON_CROUTONEDITOR_START), MUIA_Numeric_Value);
    inputs.end = mui::XGetLong(Gadget(BUTTON_CROUTONEDITOR_END), MUIA_Numeric_Value);
    // The stills lie within the stretch to the frame.
    if (Trim().video && !SliderMoved(false) && !SliderMoved(true)) {
        inputs.start = Trim().start;
        inputs.end = Trim().end;
    }
    for (std::size_t i = 0; i < inputs.positions.size(); ++i)
        inputs.positions[i] = mui::XGetLong(Gadget(cPreviewSliderButtons[i]), MUIA_Numeric_Value);
    return inputs;
}

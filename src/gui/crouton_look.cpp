// A crouton's look in the editor: fades, volume, its title, pan and zoom
// over pictures. The gadgets hold the edit until "_Save" takes it, as the
// editor's other fields do.
#include "gui/look_gadgets.h"

#include "gui/gui.h"
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "model/crouton_time.h"
#include "model/look_edit.h"
#include "os/format.h"
#include "os/question.h"

#include <cmath>

namespace {

mui::Object* Gadget(HexButtons slot) { return gButtons[slot]; }

LONG Entry(HexButtons slot) { return mui::XGetLong(Gadget(slot), MUIA_Cycle_Active); }

void Quietly(HexButtons slot, Tag attribute, mui::Value value) { mui::nnset(Gadget(slot), attribute, std::move(value)); }

void Enable(HexButtons slot, bool enabled) { Quietly(slot, MUIA_Disabled, LONG{enabled ? FALSE : TRUE}); }

// The pan and zoom cycle's entries: still, a move of the user's framings,
// or a gentle one the program chooses.
enum PanZoomEntry : LONG { kStill, kOwnMove, kGentleMove };

constexpr HexButtons kTitleGadgets[] = {
    BUTTON_CROUTONEDITOR_TITLE_TEXT,   BUTTON_CROUTONEDITOR_TITLE_PLACE,   BUTTON_CROUTONEDITOR_TITLE_SIZE,
    BUTTON_CROUTONEDITOR_TITLE_COLOUR, BUTTON_CROUTONEDITOR_TITLE_BACKING, BUTTON_CROUTONEDITOR_TITLE_SECONDS,
    BUTTON_CROUTONEDITOR_TITLE_FADE,
};

// A framing's three sliders, in percent: zoom 100 to 300, centre 0 to 100.
struct FramingSliders {
    HexButtons zoom;
    HexButtons x;
    HexButtons y;
};
constexpr FramingSliders kStartFraming = {BUTTON_CROUTONEDITOR_PANZOOM_START_ZOOM, BUTTON_CROUTONEDITOR_PANZOOM_START_X,
                                          BUTTON_CROUTONEDITOR_PANZOOM_START_Y};
constexpr FramingSliders kEndFraming = {BUTTON_CROUTONEDITOR_PANZOOM_END_ZOOM, BUTTON_CROUTONEDITOR_PANZOOM_END_X,
                                        BUTTON_CROUTONEDITOR_PANZOOM_END_Y};

LONG Percent(double value) { return static_cast<LONG>(std::lround(value * 100.0)); }

// The slider's value as a fraction; the record's own when the slider still
// shows it, so a finer value from a file is kept.
double FromPercent(HexButtons slot, double shown)
{
    const LONG value = mui::XGetLong(Gadget(slot), MUIA_Numeric_Value);
    return value == Percent(shown) ? shown : value / 100.0;
}

void ShowFraming(const FramingSliders& sliders, const Framing& framing)
{
    Quietly(sliders.zoom, MUIA_Numeric_Value, Percent(framing.zoom));
    Quietly(sliders.x, MUIA_Numeric_Value, Percent(framing.x));
    Quietly(sliders.y, MUIA_Numeric_Value, Percent(framing.y));
}

Framing TakeFraming(const FramingSliders& sliders, const Framing& shown)
{
    return Framing{FromPercent(sliders.zoom, shown.zoom), FromPercent(sliders.x, shown.x),
                   FromPercent(sliders.y, shown.y)};
}

// The title's gadgets open with a shown title; pan and zoom only over
// pictures, its framings only for a move of the user's own.
void EnableLookGadgets(bool isVideo)
{
    const bool titled = Entry(BUTTON_CROUTONEDITOR_TITLE_SHOWN) == 1;
    for (const HexButtons slot : kTitleGadgets)
        Enable(slot, titled);
    Enable(BUTTON_CROUTONEDITOR_PANZOOM, !isVideo);
    const bool framed = !isVideo && Entry(BUTTON_CROUTONEDITOR_PANZOOM) == kOwnMove;
    for (const FramingSliders& sliders : {kStartFraming, kEndFraming})
        for (const HexButtons slot : {sliders.zoom, sliders.x, sliders.y})
            Enable(slot, framed);
}

// The seconds a field says: those shown when its text is unchanged; none
// (told to the user) for a text that is no number.
std::optional<double> TakeSeconds(HexButtons slot, double shown, const char* what)
{
    const std::string text = FieldText(slot).value_or("");
    if (text == LengthText(shown))
        return shown;
    if (const std::optional<double> seconds = ParseNumber(text))
        return seconds;
    TellUser("Crouton not saved", std::string(what) + " \"" + text + "\" is no number of seconds. Nothing was saved.");
    return std::nullopt;
}

void LookGadgetChanged(LoopState&, LONG)
{
    if (gEditingCrouton)
        EnableLookGadgets(gEditingCrouton->isVideo);
}

const ReturnIdRow kRows[] = {
    {GADMSG_CROUTONEDITOR_LOOK, LookGadgetChanged},
};

} // namespace

void EnableCroutonLook(const Crouton& crouton) { EnableLookGadgets(crouton.isVideo); }

std::vector<std::string> TitlePlaceEntries()
{
    std::vector<std::string> entries;
    for (const TitlePlaceRow& row : TitlePlaces())
        entries.emplace_back(row.label);
    return entries;
}

std::vector<std::string> TitleBackingEntries() { return {"Shadow", "Box"}; }

std::vector<std::string> PanZoomEntries() { return {"Off", "Own framings", "Gentle motion"}; }

void ShowCroutonLook(const Crouton& crouton)
{
    const CroutonLook& look = crouton.look;
    Quietly(BUTTON_CROUTONEDITOR_FADEIN, MUIA_String_Contents, LengthText(look.fadeIn));
    Quietly(BUTTON_CROUTONEDITOR_FADEOUT, MUIA_String_Contents, LengthText(look.fadeOut));
    Quietly(BUTTON_CROUTONEDITOR_VOLUME, MUIA_Numeric_Value, LONG{look.volume});
    const CroutonTitle& title = look.title;
    Quietly(BUTTON_CROUTONEDITOR_TITLE_SHOWN, MUIA_Cycle_Active, LONG{title.shown ? 1 : 0});
    Quietly(BUTTON_CROUTONEDITOR_TITLE_TEXT, MUIA_String_Contents, title.text);
    LONG place = 0;
    for (const TitlePlaceRow& row : TitlePlaces()) {
        if (row.place == title.place)
            break;
        ++place;
    }
    Quietly(BUTTON_CROUTONEDITOR_TITLE_PLACE, MUIA_Cycle_Active, place);
    Quietly(BUTTON_CROUTONEDITOR_TITLE_SIZE, MUIA_Numeric_Value, LONG{title.size});
    Quietly(BUTTON_CROUTONEDITOR_TITLE_COLOUR, MUIA_String_Contents, title.colour);
    Quietly(BUTTON_CROUTONEDITOR_TITLE_BACKING, MUIA_Cycle_Active, LONG{title.box ? 1 : 0});
    Quietly(BUTTON_CROUTONEDITOR_TITLE_SECONDS, MUIA_String_Contents, LengthText(title.seconds));
    Quietly(BUTTON_CROUTONEDITOR_TITLE_FADE, MUIA_String_Contents, LengthText(title.fade));
    const PanZoom& move = look.panZoom;
    Quietly(BUTTON_CROUTONEDITOR_PANZOOM, MUIA_Cycle_Active,
            LONG{!move.on ? kStill : (move.gentle ? kGentleMove : kOwnMove)});
    ShowFraming(kStartFraming, move.from);
    ShowFraming(kEndFraming, move.to);
    EnableLookGadgets(crouton.isVideo);
}

bool TakeCroutonLook(Crouton& crouton)
{
    const CroutonLook& shown = crouton.look;
    CroutonLook look = shown;
    const auto fadeIn = TakeSeconds(BUTTON_CROUTONEDITOR_FADEIN, shown.fadeIn, "The fade in");
    const auto fadeOut = fadeIn ? TakeSeconds(BUTTON_CROUTONEDITOR_FADEOUT, shown.fadeOut, "The fade out") : std::nullopt;
    const auto seconds = fadeOut ? TakeSeconds(BUTTON_CROUTONEDITOR_TITLE_SECONDS, shown.title.seconds,
                                               "The title's time")
                                 : std::nullopt;
    const auto fade = seconds ? TakeSeconds(BUTTON_CROUTONEDITOR_TITLE_FADE, shown.title.fade, "The title's fade")
                              : std::nullopt;
    if (!fade)
        return false;
    const std::string colourText = FieldText(BUTTON_CROUTONEDITOR_TITLE_COLOUR).value_or("");
    const std::optional<std::string> colour = ParseColour(colourText);
    if (!colour) {
        TellUser("Crouton not saved", "The title's colour \"" + colourText
                                          + "\" is no colour: write it as #rrggbb, #ffffff for white. Nothing was saved.");
        return false;
    }
    look.fadeIn = *fadeIn;
    look.fadeOut = *fadeOut;
    look.volume = mui::XGetLong(Gadget(BUTTON_CROUTONEDITOR_VOLUME), MUIA_Numeric_Value);
    look.title.shown = Entry(BUTTON_CROUTONEDITOR_TITLE_SHOWN) == 1;
    look.title.text = FieldText(BUTTON_CROUTONEDITOR_TITLE_TEXT).value_or("");
    const LONG place = Entry(BUTTON_CROUTONEDITOR_TITLE_PLACE);
    if (place >= 0 && static_cast<std::size_t>(place) < TitlePlaces().size())
        look.title.place = TitlePlaces()[static_cast<std::size_t>(place)].place;
    look.title.size = mui::XGetLong(Gadget(BUTTON_CROUTONEDITOR_TITLE_SIZE), MUIA_Numeric_Value);
    look.title.colour = *colour;
    look.title.box = Entry(BUTTON_CROUTONEDITOR_TITLE_BACKING) == 1;
    look.title.seconds = *seconds;
    look.title.fade = *fade;
    const LONG move = Entry(BUTTON_CROUTONEDITOR_PANZOOM);
    look.panZoom.on = move != kStill;
    look.panZoom.gentle = move == kGentleMove;
    look.panZoom.from = TakeFraming(kStartFraming, shown.panZoom.from);
    look.panZoom.to = TakeFraming(kEndFraming, shown.panZoom.to);
    ClampCroutonLook(look, crouton.length);
    crouton.look = std::move(look);
    return true;
}

void InstallLookNotifications(mui::Object* application)
{
    const std::pair<HexButtons, Tag> mainGadgets[] = {
        {BUTTON_MAIN_TRANSITION_CYCLER, MUIA_Cycle_Active}, {BUTTON_MAIN_TRANSITION_SECONDS, MUIA_String_Contents},
        {BUTTON_MAIN_JOIN_CYCLER, MUIA_Cycle_Active},       {BUTTON_MAIN_JOIN_SECONDS, MUIA_String_Contents},
        {BUTTON_MAIN_FADEIN, MUIA_String_Contents},         {BUTTON_MAIN_FADEOUT, MUIA_String_Contents},
        {BUTTON_MAIN_CLIPLEVEL, MUIA_Numeric_Value},        {BUTTON_MAIN_DUCKING, MUIA_Cycle_Active},
        {BUTTON_MAIN_FITSOUNDTRACK, MUIA_Cycle_Active},
    };
    for (const auto& [slot, attribute] : mainGadgets)
        mui::Notify(Gadget(slot), attribute, MUIV_EveryTime, application, GADMSG_MAIN_LOOK);
    for (const HexButtons slot : {BUTTON_CROUTONEDITOR_TITLE_SHOWN, BUTTON_CROUTONEDITOR_PANZOOM})
        mui::Notify(Gadget(slot), MUIA_Cycle_Active, MUIV_EveryTime, application, GADMSG_CROUTONEDITOR_LOOK);
}

std::span<const ReturnIdRow> CroutonLookReturnIds() { return kRows; }

// The project's look in the main window: its default join, the join after
// the chosen crouton, its fades and the croutons' sound under the
// soundtrack. Every change goes through SetProjectLook.
#include "gui/look_gadgets.h"

#include "gui/desktop.h"
#include "gui/gui.h"
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "model/crouton_time.h"
#include "model/look_edit.h"
#include "os/format.h"

#include <algorithm>
#include <cmath>

namespace {

mui::Object* Gadget(HexButtons slot) { return gButtons[slot]; }

LONG Entry(HexButtons slot) { return mui::XGetLong(Gadget(slot), MUIA_Cycle_Active); }

LONG KindIndex(std::string_view kind)
{
    const auto& kinds = TransitionKinds();
    for (std::size_t i = 0; i < kinds.size(); ++i)
        if (kinds[i].name == kind)
            return static_cast<LONG>(i);
    return 0;
}

std::string KindAt(LONG index)
{
    const auto& kinds = TransitionKinds();
    if (index < 0 || static_cast<std::size_t>(index) >= kinds.size())
        return Transition{}.kind;
    return std::string(kinds[static_cast<std::size_t>(index)].name);
}

// The seconds a field says; those it showed when its text is unchanged, so
// a value finer than the field shows is kept.
std::optional<double> TypedSeconds(HexButtons slot, double shown)
{
    const std::string text = FieldText(slot).value_or("");
    if (text == LengthText(shown))
        return shown;
    return ParseNumber(text);
}

// The crouton whose join after it the window shows: the chosen one, when
// another follows it.
std::optional<long> JoinShown(const Project& project)
{
    const LONG chosen = ActiveEntry(gCroutonList);
    if (chosen < 0 || chosen + 1 >= project.numberOfCroutons)
        return std::nullopt;
    return chosen;
}

// The look the main window's gadgets say; a field that holds no number
// leaves its value as it was.
ProjectLook LookFromWindow(const Project& project)
{
    ProjectLook look = project.look;
    look.defaultTransition.kind = KindAt(Entry(BUTTON_MAIN_TRANSITION_CYCLER));
    look.defaultTransition.seconds =
        TypedSeconds(BUTTON_MAIN_TRANSITION_SECONDS, project.look.defaultTransition.seconds)
            .value_or(project.look.defaultTransition.seconds);
    if (const std::optional<long> position = JoinShown(project)) {
        const LONG own = Entry(BUTTON_MAIN_JOIN_CYCLER);
        const Transition before = JoinAfter(project, static_cast<int>(*position + 1));
        const double seconds = TypedSeconds(BUTTON_MAIN_JOIN_SECONDS, before.seconds).value_or(before.seconds);
        SetOwnJoinAfter(look, *position,
                        own > 0 ? std::optional<Transition>(Transition{KindAt(own - 1), seconds}) : std::nullopt);
    }
    look.fadeIn = TypedSeconds(BUTTON_MAIN_FADEIN, project.look.fadeIn).value_or(project.look.fadeIn);
    look.fadeOut = TypedSeconds(BUTTON_MAIN_FADEOUT, project.look.fadeOut).value_or(project.look.fadeOut);
    look.clipLevel = mui::XGetLong(Gadget(BUTTON_MAIN_CLIPLEVEL), MUIA_Numeric_Value);
    look.duck = Entry(BUTTON_MAIN_DUCKING) == 1;
    look.fitSoundtrack = Entry(BUTTON_MAIN_FITSOUNDTRACK) == 1;
    return look;
}

void Quietly(HexButtons slot, Tag attribute, mui::Value value) { mui::nnset(Gadget(slot), attribute, std::move(value)); }

void LookChanged(LoopState&, LONG)
{
    if (!gProject)
        return;
    // A field that holds no number shows the value it keeps.
    if (!SetProjectLook(*gProject, LookFromWindow(*gProject)))
        ShowProjectLook(*gProject);
}

const ReturnIdRow kRows[] = {
    {GADMSG_MAIN_LOOK, LookChanged},
};

} // namespace

std::vector<std::string> OnOffEntries() { return {"Off", "On"}; }

std::vector<std::string> TransitionEntries()
{
    std::vector<std::string> entries;
    for (const TransitionKind& kind : TransitionKinds())
        entries.emplace_back(kind.label);
    return entries;
}

std::vector<std::string> OwnJoinEntries()
{
    std::vector<std::string> entries = TransitionEntries();
    entries.insert(entries.begin(), "Project's");
    return entries;
}

bool SetProjectLook(Project& project, ProjectLook look)
{
    ClampProjectLook(look, project.numberOfCroutons);
    if (look == project.look)
        return false;
    project.look = std::move(look);
    ShowProjectLook(project);
    ShowProjectTotals(&project);
    return true;
}

void ShowProjectLook(const Project& project)
{
    const ProjectLook& look = project.look;
    Quietly(BUTTON_MAIN_TRANSITION_CYCLER, MUIA_Cycle_Active, KindIndex(look.defaultTransition.kind));
    Quietly(BUTTON_MAIN_TRANSITION_SECONDS, MUIA_String_Contents, LengthText(look.defaultTransition.seconds));
    const std::optional<long> position = JoinShown(project);
    const std::optional<Transition> own = position ? OwnJoinAfter(look, *position) : std::nullopt;
    const Transition join = own.value_or(look.defaultTransition);
    Quietly(BUTTON_MAIN_JOIN_CYCLER, MUIA_Cycle_Active, own ? KindIndex(own->kind) + 1 : LONG{0});
    Quietly(BUTTON_MAIN_JOIN_SECONDS, MUIA_String_Contents, LengthText(join.seconds));
    for (const HexButtons slot : {BUTTON_MAIN_JOIN_CYCLER, BUTTON_MAIN_JOIN_SECONDS})
        Quietly(slot, MUIA_Disabled, LONG{position ? FALSE : TRUE});
    Quietly(BUTTON_MAIN_FADEIN, MUIA_String_Contents, LengthText(look.fadeIn));
    Quietly(BUTTON_MAIN_FADEOUT, MUIA_String_Contents, LengthText(look.fadeOut));
    Quietly(BUTTON_MAIN_CLIPLEVEL, MUIA_Numeric_Value, LONG{look.clipLevel});
    Quietly(BUTTON_MAIN_DUCKING, MUIA_Cycle_Active, LONG{look.duck ? 1 : 0});
    Quietly(BUTTON_MAIN_FITSOUNDTRACK, MUIA_Cycle_Active, LONG{look.fitSoundtrack ? 1 : 0});
}

std::span<const ReturnIdRow> LookReturnIds() { return kRows; }

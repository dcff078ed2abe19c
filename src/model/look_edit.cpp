// Looks as users and files change them: ranges, title places, and joins
// that follow their croutons.
#include "model/look_edit.h"

#include "model/line_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

// A value held in its range; one that is no number takes `fallback`.
double Hold(double value, double least, double most, double fallback)
{
    if (!std::isfinite(value))
        return fallback;
    return std::clamp(value, least, std::max(least, most));
}

void ClampFraming(Framing& framing)
{
    const Framing plain;
    framing.zoom = Hold(framing.zoom, kLeastZoom, kMostZoom, plain.zoom);
    framing.x = Hold(framing.x, 0.0, 1.0, plain.x);
    framing.y = Hold(framing.y, 0.0, 1.0, plain.y);
}

// The joins past the last pair of croutons join nothing, and a join of the
// project's default kind that is not its own is no entry at all.
void TrimJoins(ProjectLook& look, long croutons)
{
    const std::size_t pairs = croutons > 1 ? static_cast<std::size_t>(croutons - 1) : 0;
    if (look.joins.size() > pairs)
        look.joins.resize(pairs);
    while (!look.joins.empty() && !look.joins.back())
        look.joins.pop_back();
}

} // namespace

const std::vector<TitlePlaceRow>& TitlePlaces()
{
    static const std::vector<TitlePlaceRow> places = {
        {TitlePlace::Top, "top", "Top"},
        {TitlePlace::Centre, "centre", "Centre"},
        {TitlePlace::LowerThird, "lower third", "Lower third"},
    };
    return places;
}

const TitlePlaceRow* FindTitlePlace(std::string_view name) { return FindNamed(TitlePlaces(), name); }

const TitlePlaceRow& TitlePlaceOf(TitlePlace place)
{
    for (const TitlePlaceRow& row : TitlePlaces())
        if (row.place == place)
            return row;
    return TitlePlaces().back();
}

std::optional<std::string> ParseColour(std::string_view text)
{
    if (text.size() != 7 || text[0] != '#')
        return std::nullopt;
    std::string colour = "#";
    for (const char c : text.substr(1)) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        colour += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return colour;
}

void ClampCroutonLook(CroutonLook& look, double length)
{
    const CroutonLook plain;
    const double most = std::isfinite(length) ? std::max(0.0, length) : 0.0;
    look.fadeIn = Hold(look.fadeIn, 0.0, most, 0.0);
    look.fadeOut = Hold(look.fadeOut, 0.0, most, 0.0);
    look.volume = std::clamp(look.volume, 0, kLoudestVolume);
    CroutonTitle& title = look.title;
    title.text = OneLine(std::move(title.text));
    title.size = std::clamp(title.size, kSmallestTitle, kLargestTitle);
    title.colour = ParseColour(title.colour).value_or(plain.title.colour);
    title.seconds = Hold(title.seconds, 0.0, most, 0.0);
    title.fade = Hold(title.fade, 0.0, most, 0.0);
    ClampFraming(look.panZoom.from);
    ClampFraming(look.panZoom.to);
}

Transition ClampTransition(Transition transition)
{
    if (!FindTransitionKind(transition.kind))
        transition.kind = Transition{}.kind;
    transition.seconds = Hold(transition.seconds, kShortestTransition, kLongestTransition, Transition{}.seconds);
    return transition;
}

void ClampProjectLook(ProjectLook& look, long croutons)
{
    look.defaultTransition = ClampTransition(look.defaultTransition);
    for (std::optional<Transition>& join : look.joins)
        if (join)
            join = ClampTransition(*join);
    TrimJoins(look, croutons);
    look.fadeIn = Hold(look.fadeIn, 0.0, kLongestProjectFade, 0.0);
    look.fadeOut = Hold(look.fadeOut, 0.0, kLongestProjectFade, 0.0);
    look.clipLevel = std::clamp(look.clipLevel, 0, kLoudestClipLevel);
}

std::optional<Transition> OwnJoinAfter(const ProjectLook& look, long position)
{
    if (position < 0 || static_cast<std::size_t>(position) >= look.joins.size())
        return std::nullopt;
    return look.joins[static_cast<std::size_t>(position)];
}

void SetOwnJoinAfter(ProjectLook& look, long position, std::optional<Transition> join)
{
    if (position < 0)
        return;
    const auto index = static_cast<std::size_t>(position);
    if (index >= look.joins.size())
        look.joins.resize(index + 1);
    look.joins[index] = join ? std::optional<Transition>(ClampTransition(*join)) : std::nullopt;
    while (!look.joins.empty() && !look.joins.back())
        look.joins.pop_back();
}

void JoinsAfterRemove(ProjectLook& look, long position, long croutons)
{
    if (position >= 0 && static_cast<std::size_t>(position) < look.joins.size())
        look.joins.erase(look.joins.begin() + position);
    TrimJoins(look, croutons);
}

void JoinsAfterMove(ProjectLook& look, long from, long to, long croutons)
{
    if (from < 0 || to < 0 || from == to)
        return;
    const auto needed = static_cast<std::size_t>(std::max(from, to)) + 1;
    if (look.joins.size() < needed)
        look.joins.resize(needed);
    std::optional<Transition> moving = look.joins[static_cast<std::size_t>(from)];
    look.joins.erase(look.joins.begin() + from);
    look.joins.insert(look.joins.begin() + to, moving);
    TrimJoins(look, croutons);
}

// The script driver's actions on the project's look (joins, fades, the
// croutons' sound under the soundtrack) and the dump's line of it. They
// change the look through SetProjectLook, as the main window's gadgets do,
// so each is one step of Undo.
#include "gui/look_gadgets.h"

#include "gui/main.h"
#include "model/crouton_time.h"
#include "model/look_edit.h"
#include "os/format.h"

#include <sstream>

namespace {

std::string KindNames()
{
    std::string names;
    for (const TransitionKind& kind : TransitionKinds())
        names += (names.empty() ? "" : ", ") + std::string(kind.name);
    return names;
}

// Seconds within least..most; none (after a complaint) otherwise.
std::optional<double> Seconds(ScriptLine& line, std::size_t i, double least, double most)
{
    const std::optional<double> seconds = ParseNumber(line.Word(i).text);
    if (!seconds || *seconds < least || *seconds > most) {
        line.Complain(line.Action() + " takes seconds from " + LengthText(least) + " to " + LengthText(most) + ", not "
                      + QuoteText(line.Word(i).text));
        return std::nullopt;
    }
    return seconds;
}

// Word i as a number within least..most; none otherwise, after `complaint`
// (given the number) where it is a number out of that range.
std::optional<LONG> NumberWithin(ScriptLine& line, std::size_t i, LONG least, LONG most,
                                 std::string (*complaint)(LONG number))
{
    const std::optional<LONG> number = line.Number(i);
    if (!number)
        return std::nullopt;
    if (*number < least || *number > most) {
        line.Complain(complaint(*number));
        return std::nullopt;
    }
    return number;
}

std::optional<ULONG> Changed(ProjectLook look)
{
    SetProjectLook(*gProject, std::move(look));
    return MUI_APPLICATION_SIGNAL;
}

// transition N KIND SECONDS: the join after the crouton at project position
// N (counted from 0, as select and drag count) and before N + 1.
std::optional<ULONG> SetTransition(ScriptLine& line)
{
    if (!line.Expect(3) || !gProject)
        return std::nullopt;
    // No join follows the last crouton.
    const std::optional<LONG> position =
        NumberWithin(line, 1, 0, gProject->numberOfCroutons - 2, [](LONG number) {
            return "no join follows position " + std::to_string(number) + ": the project has "
                   + std::to_string(gProject->numberOfCroutons) + " croutons, counted from 0";
        });
    if (!position)
        return std::nullopt;
    const std::string& kind = line.Word(2).text;
    if (!FindTransitionKind(kind)) {
        line.Complain("unknown transition " + QuoteText(kind) + " (one of " + KindNames() + ")");
        return std::nullopt;
    }
    const std::optional<double> seconds = Seconds(line, 3, kShortestTransition, kLongestTransition);
    if (!seconds)
        return std::nullopt;
    ProjectLook look = gProject->look;
    SetOwnJoinAfter(look, *position, Transition{kind, *seconds});
    return Changed(std::move(look));
}

// fade in SECONDS, fade out SECONDS: the project's fades from and to black.
std::optional<ULONG> SetFade(ScriptLine& line)
{
    if (!line.Expect(2) || !gProject)
        return std::nullopt;
    const std::string& end = line.Word(1).text;
    if (end != "in" && end != "out") {
        line.Complain("fade takes in or out, not " + QuoteText(end));
        return std::nullopt;
    }
    const std::optional<double> seconds = Seconds(line, 2, 0.0, kLongestProjectFade);
    if (!seconds)
        return std::nullopt;
    ProjectLook look = gProject->look;
    (end == "in" ? look.fadeIn : look.fadeOut) = *seconds;
    return Changed(std::move(look));
}

// cliplevel PERCENT: the croutons' own sound under the project's soundtrack.
std::optional<ULONG> SetClipLevel(ScriptLine& line)
{
    if (!line.Expect(1) || !gProject)
        return std::nullopt;
    const std::optional<LONG> level = NumberWithin(line, 1, 0, kLoudestClipLevel, [](LONG) {
        return "cliplevel takes a percentage from 0 to " + std::to_string(kLoudestClipLevel);
    });
    if (!level)
        return std::nullopt;
    ProjectLook look = gProject->look;
    look.clipLevel = *level;
    return Changed(std::move(look));
}

const ScriptAction kActions[] = {
    {"transition", SetTransition},
    {"fade", SetFade},
    {"cliplevel", SetClipLevel},
};

std::string JoinText(const Transition& join) { return join.kind + ":" + LengthText(join.seconds); }

} // namespace

std::span<const ScriptAction> LookScriptActions() { return kActions; }

std::string LookDumpLine(const Project& project)
{
    const ProjectLook& look = project.look;
    std::ostringstream line;
    line << "look transition=" << JoinText(look.defaultTransition) << " fadein=" << LengthText(look.fadeIn)
         << " fadeout=" << LengthText(look.fadeOut) << " cliplevel=" << look.clipLevel
         << " ducking=" << (look.duck ? 1 : 0) << " fitsoundtrack=" << (look.fitSoundtrack ? 1 : 0);
    for (std::size_t i = 0; i < look.joins.size(); ++i)
        if (look.joins[i])
            line << " join" << i << '=' << JoinText(*look.joins[i]);
    line << '\n';
    return line.str();
}

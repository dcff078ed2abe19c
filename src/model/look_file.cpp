// The look's "Key=Value" lines: one row per key, which writes the value when
// it differs from the default and reads it back.
#include "model/look_file.h"

#include "model/crouton_time.h"
#include "model/line_file.h"
#include "model/look_edit.h"
#include "os/format.h"

#include <cctype>
#include <cmath>
#include <optional>
#include <sstream>

namespace {

// ---- values ---------------------------------------------------------------

std::string YesNo(bool value) { return value ? "yes" : "no"; }

std::optional<bool> ReadYesNo(std::string_view text)
{
    if (text == "yes")
        return true;
    if (text == "no")
        return false;
    return std::nullopt;
}

std::optional<int> ReadWhole(std::string_view text)
{
    const std::optional<std::int32_t> value = ParseWhole(text);
    return value ? std::optional<int>(*value) : std::nullopt;
}

// Numbers separated by blanks; none unless there are exactly `count`.
std::optional<std::vector<double>> ReadNumbers(std::string_view text, std::size_t count)
{
    std::istringstream words{std::string(text)};
    std::vector<double> numbers;
    std::string word;
    while (words >> word) {
        const std::optional<double> number = ParseNumber(word);
        if (!number)
            return std::nullopt;
        numbers.push_back(*number);
    }
    if (numbers.size() != count)
        return std::nullopt;
    return numbers;
}

std::string FramingText(const Framing& framing)
{
    return SecondsText(framing.zoom) + " " + SecondsText(framing.x) + " " + SecondsText(framing.y);
}

void ReadFraming(Framing& framing, std::string_view text)
{
    if (const auto numbers = ReadNumbers(text, 3))
        framing = Framing{(*numbers)[0], (*numbers)[1], (*numbers)[2]};
}

std::string TransitionText(const Transition& transition)
{
    return transition.kind + " " + SecondsText(transition.seconds);
}

// "dissolve 1.5"; none for a kind that is none or seconds that are no number.
std::optional<Transition> ReadTransition(std::string_view text)
{
    std::istringstream words{std::string(text)};
    std::string kind;
    std::string seconds;
    std::string more;
    if (!(words >> kind >> seconds) || (words >> more) || !FindTransitionKind(kind))
        return std::nullopt;
    const std::optional<double> number = ParseNumber(seconds);
    if (!number)
        return std::nullopt;
    return Transition{kind, *number};
}

// ---- the crouton's keys -------------------------------------------------

// Writes the value when it differs from the plain look's; none otherwise.
using WriteValue = std::optional<std::string> (*)(const CroutonLook& look);
using ReadValue = void (*)(CroutonLook& look, std::string_view value);
struct CroutonKey {
    std::string_view key;
    WriteValue write;
    ReadValue read;
};

template <typename T>
std::optional<std::string> IfChanged(const T& value, const T& plain, std::string text)
{
    return value == plain ? std::nullopt : std::optional<std::string>(std::move(text));
}

const CroutonLook kPlain{};

void ReadSeconds(double& field, std::string_view value)
{
    if (const std::optional<double> number = ParseNumber(value))
        field = *number;
}

void ReadInt(int& field, std::string_view value)
{
    if (const std::optional<int> number = ReadWhole(value))
        field = *number;
}

void ReadFlag(bool& field, std::string_view value)
{
    if (const std::optional<bool> flag = ReadYesNo(value))
        field = *flag;
}

const CroutonKey kCroutonKeys[] = {
    {"FadeIn", [](const CroutonLook& l) { return IfChanged(l.fadeIn, kPlain.fadeIn, SecondsText(l.fadeIn)); },
     [](CroutonLook& l, std::string_view v) { ReadSeconds(l.fadeIn, v); }},
    {"FadeOut", [](const CroutonLook& l) { return IfChanged(l.fadeOut, kPlain.fadeOut, SecondsText(l.fadeOut)); },
     [](CroutonLook& l, std::string_view v) { ReadSeconds(l.fadeOut, v); }},
    {"Volume", [](const CroutonLook& l) { return IfChanged(l.volume, kPlain.volume, std::to_string(l.volume)); },
     [](CroutonLook& l, std::string_view v) { ReadInt(l.volume, v); }},
    {"TitleShown",
     [](const CroutonLook& l) { return IfChanged(l.title.shown, kPlain.title.shown, YesNo(l.title.shown)); },
     [](CroutonLook& l, std::string_view v) { ReadFlag(l.title.shown, v); }},
    {"Title", [](const CroutonLook& l) { return IfChanged(l.title.text, kPlain.title.text, OneLine(l.title.text)); },
     [](CroutonLook& l, std::string_view v) { l.title.text = std::string(v); }},
    {"TitlePlace",
     [](const CroutonLook& l) {
         return IfChanged(l.title.place, kPlain.title.place, std::string(TitlePlaceOf(l.title.place).name));
     },
     [](CroutonLook& l, std::string_view v) {
         if (const TitlePlaceRow* row = FindTitlePlace(v))
             l.title.place = row->place;
     }},
    {"TitleSize", [](const CroutonLook& l) { return IfChanged(l.title.size, kPlain.title.size, std::to_string(l.title.size)); },
     [](CroutonLook& l, std::string_view v) { ReadInt(l.title.size, v); }},
    {"TitleColour", [](const CroutonLook& l) { return IfChanged(l.title.colour, kPlain.title.colour, l.title.colour); },
     [](CroutonLook& l, std::string_view v) { l.title.colour = std::string(v); }},
    {"TitleBox", [](const CroutonLook& l) { return IfChanged(l.title.box, kPlain.title.box, YesNo(l.title.box)); },
     [](CroutonLook& l, std::string_view v) { ReadFlag(l.title.box, v); }},
    {"TitleSeconds",
     [](const CroutonLook& l) { return IfChanged(l.title.seconds, kPlain.title.seconds, SecondsText(l.title.seconds)); },
     [](CroutonLook& l, std::string_view v) { ReadSeconds(l.title.seconds, v); }},
    {"TitleFade", [](const CroutonLook& l) { return IfChanged(l.title.fade, kPlain.title.fade, SecondsText(l.title.fade)); },
     [](CroutonLook& l, std::string_view v) { ReadSeconds(l.title.fade, v); }},
    {"PanZoom", [](const CroutonLook& l) { return IfChanged(l.panZoom.on, kPlain.panZoom.on, YesNo(l.panZoom.on)); },
     [](CroutonLook& l, std::string_view v) { ReadFlag(l.panZoom.on, v); }},
    {"PanZoomGentle",
     [](const CroutonLook& l) { return IfChanged(l.panZoom.gentle, kPlain.panZoom.gentle, YesNo(l.panZoom.gentle)); },
     [](CroutonLook& l, std::string_view v) { ReadFlag(l.panZoom.gentle, v); }},
    {"PanZoomStart",
     [](const CroutonLook& l) { return IfChanged(l.panZoom.from, kPlain.panZoom.from, FramingText(l.panZoom.from)); },
     [](CroutonLook& l, std::string_view v) { ReadFraming(l.panZoom.from, v); }},
    {"PanZoomEnd",
     [](const CroutonLook& l) { return IfChanged(l.panZoom.to, kPlain.panZoom.to, FramingText(l.panZoom.to)); },
     [](CroutonLook& l, std::string_view v) { ReadFraming(l.panZoom.to, v); }},
};

// ---- the project's keys -------------------------------------------------

// `croutons` is the project's count: a join past its last pair is passed over.
using ReadProjectValue = void (*)(ProjectLook& look, std::string_view value, long croutons);
struct ProjectKey {
    std::string_view key;
    ReadProjectValue read;
};

const ProjectKey kProjectKeys[] = {
    {"Transition",
     [](ProjectLook& l, std::string_view v, long) {
         if (const std::optional<Transition> join = ReadTransition(v))
             l.defaultTransition = *join;
     }},
    {"Join",
     [](ProjectLook& l, std::string_view v, long croutons) {
         const std::size_t blank = v.find(' ');
         const std::optional<int> position = ReadWhole(v.substr(0, blank));
         if (!position || *position < 0 || *position + 1L >= croutons || blank == std::string_view::npos)
             return;
         if (const std::optional<Transition> join = ReadTransition(v.substr(blank + 1)))
             SetOwnJoinAfter(l, *position, join);
     }},
    {"ProjectFadeIn", [](ProjectLook& l, std::string_view v, long) { ReadSeconds(l.fadeIn, v); }},
    {"ProjectFadeOut", [](ProjectLook& l, std::string_view v, long) { ReadSeconds(l.fadeOut, v); }},
    {"ClipLevel", [](ProjectLook& l, std::string_view v, long) { ReadInt(l.clipLevel, v); }},
    {"Ducking", [](ProjectLook& l, std::string_view v, long) { ReadFlag(l.duck, v); }},
    {"FitSoundtrack", [](ProjectLook& l, std::string_view v, long) { ReadFlag(l.fitSoundtrack, v); }},
};

struct KeyValue {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyValue> SplitLine(std::string_view line)
{
    const std::size_t equals = line.find('=');
    if (equals == 0 || equals == std::string_view::npos)
        return std::nullopt;
    for (const char c : line.substr(0, equals))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return std::nullopt;
    return KeyValue{line.substr(0, equals), line.substr(equals + 1)};
}

// Hands each "Key=Value" line's value to the rows of its key; lines of no
// known key are passed over.
template <typename Row, std::size_t N, typename Read>
void ForEachKeyLine(const std::vector<std::string>& lines, const Row (&rows)[N], Read read)
{
    for (const std::string& line : lines) {
        const std::optional<KeyValue> pair = SplitLine(line);
        if (!pair)
            continue;
        for (const Row& row : rows)
            if (row.key == pair->key)
                read(row, pair->value);
    }
}

std::string Line(std::string_view key, const std::string& value) { return std::string(key) + "=" + value; }

} // namespace

std::vector<std::string> CroutonLookLines(const CroutonLook& look)
{
    std::vector<std::string> lines;
    for (const CroutonKey& row : kCroutonKeys)
        if (const std::optional<std::string> value = row.write(look))
            lines.push_back(Line(row.key, *value));
    return lines;
}

CroutonLook ReadCroutonLook(const std::vector<std::string>& lines, double length)
{
    CroutonLook look;
    ForEachKeyLine(lines, kCroutonKeys, [&look](const CroutonKey& row, std::string_view value) { row.read(look, value); });
    ClampCroutonLook(look, length);
    return look;
}

std::vector<std::string> ProjectLookLines(const ProjectLook& look)
{
    const ProjectLook plain;
    std::vector<std::string> lines;
    if (look.defaultTransition != plain.defaultTransition)
        lines.push_back(Line("Transition", TransitionText(look.defaultTransition)));
    for (std::size_t i = 0; i < look.joins.size(); ++i)
        if (look.joins[i])
            lines.push_back(Line("Join", std::to_string(i) + " " + TransitionText(*look.joins[i])));
    if (look.fadeIn != plain.fadeIn)
        lines.push_back(Line("ProjectFadeIn", SecondsText(look.fadeIn)));
    if (look.fadeOut != plain.fadeOut)
        lines.push_back(Line("ProjectFadeOut", SecondsText(look.fadeOut)));
    if (look.clipLevel != plain.clipLevel)
        lines.push_back(Line("ClipLevel", std::to_string(look.clipLevel)));
    if (look.duck != plain.duck)
        lines.push_back(Line("Ducking", YesNo(look.duck)));
    if (look.fitSoundtrack != plain.fitSoundtrack)
        lines.push_back(Line("FitSoundtrack", YesNo(look.fitSoundtrack)));
    return lines;
}

ProjectLook ReadProjectLook(const std::vector<std::string>& lines, long croutons)
{
    ProjectLook look;
    ForEachKeyLine(lines, kProjectKeys,
                   [&look, croutons](const ProjectKey& row, std::string_view value) { row.read(look, value, croutons); });
    ClampProjectLook(look, croutons);
    return look;
}

bool IsLookLine(std::string_view line) { return SplitLine(line).has_value(); }

bool IsProjectLookLine(std::string_view line)
{
    const std::optional<KeyValue> pair = SplitLine(line);
    if (!pair)
        return false;
    for (const ProjectKey& row : kProjectKeys)
        if (row.key == pair->key)
            return true;
    return false;
}

// The options a crouton's look adds to its line: each kind of look is a row
// that says what it adds (and writes what it needs on T:). The rows run in
// order; a plain look adds nothing, so a plain crouton's line is as it was.
#include "model/render_internal.h"

#include "model/crouton_time.h"
#include "model/look_move.h"
#include "os/dos.h"
#include "tools/render_support.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

using render_detail::LookOptions;

// The title's settings and text, for the program that draws it: the command
// line names only the file, so no character of the text ever reaches a
// command line or a filter.
constexpr const char* kTitleFile = "T:__CWTitle.txt";

// ---- rows ---------------------------------------------------------------

// The crouton's own sound, 0 to 200 %.
void AddVolume(const PieceLook& piece, const Crouton&, const Project&, LookOptions& into)
{
    const int volume = std::clamp(piece.look.volume, 0, 200);
    if (volume != 100)
        into.options += " -volume " + std::to_string(volume);
}

struct TitlePlaceName {
    TitlePlace place;
    const char* name;
};
constexpr TitlePlaceName kTitlePlaces[] = {
    {TitlePlace::Top, "top"},
    {TitlePlace::Centre, "centre"},
    {TitlePlace::LowerThird, "lowerthird"},
};

const char* PlaceName(TitlePlace place)
{
    for (const TitlePlaceName& row : kTitlePlaces)
        if (row.place == place)
            return row.name;
    return "lowerthird";
}

// "#rrggbb", else white: the file keeps one setting a line.
std::string ColourText(const std::string& colour)
{
    const bool valid = colour.size() == 7 && colour[0] == '#'
                       && colour.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos;
    return valid ? colour : "#ffffff";
}

// One setting a line, "key=value"; the text comes last and runs to the end
// of the file, line breaks and all.
std::string TitleFileText(const CroutonTitle& title, const std::string& text)
{
    return std::string("place=") + PlaceName(title.place) + "\nsize=" + std::to_string(std::clamp(title.size, 2, 20))
           + "\ncolour=" + ColourText(title.colour) + "\nbacking=" + (title.box ? "box" : "shadow")
           + "\nseconds=" + SecondsText(std::max(0.0, title.seconds)) + "\nfade=" + SecondsText(std::max(0.0, title.fade))
           + "\ntext=" + text;
}

bool WriteTitleFile(const std::string& text)
{
    FileHandle file = Open(kTitleFile, MODE_NEWFILE);
    if (!file)
        return false;
    const bool written = FPuts(*file, text) == 0;
    if (!Close(std::move(file)) || !written) {
        DeleteFile(kTitleFile);
        return false;
    }
    return true;
}

void AddTitle(const PieceLook& piece, const Crouton& crouton, const Project&, LookOptions& into)
{
    const CroutonTitle& title = piece.look.title;
    if (!title.shown)
        return;
    if (!TitleProgram()) {
        into.refusal = "its title cannot be drawn: the program that draws titles (" + std::string(kTitleProgramName)
                       + ") is not installed beside Clipweaver";
        return;
    }
    const std::string text = title.text.empty() ? render_detail::CroutonLabel(&crouton) : title.text;
    if (!WriteTitleFile(TitleFileText(title, text))) {
        into.refusal = "its title could not be written on T:";
        return;
    }
    into.options += std::string(" -title \"") + kTitleFile + "\"";
}

// The crouton's place in its project, counted from 1.
int PositionOf(const Crouton& crouton, const Project& project)
{
    int position = 1;
    for (const ListNode* node = project.croutons.get(); node; node = node->next.get(), ++position)
        if (node->node.get() == &crouton)
            return position;
    return 0;
}

std::string FramingText(const Framing& framing)
{
    return LengthText(framing.zoom) + ":" + LengthText(framing.x) + ":" + LengthText(framing.y);
}

// Pan and zoom, over pictures only: a video crouton moves by itself.
void AddPanZoom(const PieceLook& piece, const Crouton& crouton, const Project& project, LookOptions& into)
{
    const PanZoom& panZoom = piece.look.panZoom;
    if (!panZoom.on || crouton.isVideo)
        return;
    const PanZoomMove move = MoveOf(panZoom, crouton, PositionOf(crouton, project));
    if (move == PanZoomMove{})
        return;
    into.options += " -panzoom " + FramingText(move.from) + ":" + FramingText(move.to);
}

// One kind of look: the options it adds to `into.options` (each with the
// space before it), or a refusal in `into.refusal`.
struct LookRow {
    const char* name;
    void (*add)(const PieceLook& piece, const Crouton& crouton, const Project& project, LookOptions& into);
};

// " -NAME S" for a length of time that is used.
void AddSeconds(const char* name, double seconds, LookOptions& into)
{
    // An hour is longer than any fade or transition; what is no time adds nothing.
    if (std::isfinite(seconds) && seconds > 0)
        into.options += std::string(" ") + name + " " + SecondsText(std::min(seconds, 3600.0));
}

// From black at the piece's start and to black at its end, picture and sound.
void AddFades(const PieceLook& piece, const Crouton&, const Project&, LookOptions& into)
{
    AddSeconds("-fadein", piece.look.fadeIn, into);
    AddSeconds("-fadeout", piece.look.fadeOut, into);
}

// The stretches the piece gives to the transitions before and after it.
void AddJoins(const PieceLook& piece, const Crouton&, const Project&, LookOptions& into)
{
    AddSeconds("-head", IsCut(piece.before) ? 0.0 : piece.head, into);
    AddSeconds("-tail", IsCut(piece.after) ? 0.0 : piece.tail, into);
}

const std::vector<LookRow>& LookRows()
{
    static const std::vector<LookRow> rows = {
        {"fades", AddFades},
        {"volume", AddVolume},
        {"title", AddTitle},
        {"panzoom", AddPanZoom},
        {"joins", AddJoins},
    };
    return rows;
}

} // namespace

LookOptions render_detail::LookOptionsOf(const PieceLook& piece, const Crouton& crouton, const Project& project)
{
    LookOptions look;
    for (const LookRow& row : LookRows()) {
        row.add(piece, crouton, project, look);
        if (!look.refusal.empty())
            break;
    }
    return look;
}

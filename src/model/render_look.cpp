// The options a crouton's look adds to its line: each kind of look is a row
// that says what it adds (and writes what it needs on T:). The rows run in
// order; a plain look adds nothing, so a plain crouton's line is as it was.
#include "model/render_internal.h"

#include "model/crouton_time.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <vector>

namespace {

using render_detail::LookOptions;

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

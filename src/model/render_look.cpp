// The options a crouton's look adds to its line: each kind of look is a row
// that says what it adds (and writes what it needs on T:). The rows run in
// order; a plain look adds nothing, so a plain crouton's line is as it was.
#include "model/render_internal.h"

#include <vector>

namespace {

using render_detail::LookOptions;

// One kind of look: the options it adds to `into.options` (each with the
// space before it), or a refusal in `into.refusal`.
struct LookRow {
    const char* name;
    void (*add)(const PieceLook& piece, const Crouton& crouton, const Project& project, LookOptions& into);
};

const std::vector<LookRow>& LookRows()
{
    static const std::vector<LookRow> rows = {
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

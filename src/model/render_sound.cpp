// What a project's look asks of the soundtrack step: each kind of sound
// under or around the soundtrack is a row that adds its options (with the
// space before it) to the soundtrack's line. A project that asks none of
// them keeps the line it always had, and its croutons stay silent under it.
#include "model/render_internal.h"

#include "model/crouton_time.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct SoundRow {
    const char* name;
    void (*add)(const ProjectLook& look, std::string& options);
};

// The croutons' own sound is mixed in at its level only when it is there.
bool ClipsHeard(const ProjectLook& look) { return std::clamp(look.clipLevel, 0, 200) > 0; }

const std::vector<SoundRow>& SoundRows()
{
    static const std::vector<SoundRow> rows = {
        {"clip level", [](const ProjectLook& look, std::string& options) {
             if (ClipsHeard(look))
                 options += " -cliplevel " + std::to_string(std::clamp(look.clipLevel, 0, 200));
         }},
        // Ducking is keyed by the croutons' sound: without it there is
        // nothing to duck under.
        {"duck", [](const ProjectLook& look, std::string& options) {
             if (ClipsHeard(look) && look.duck)
                 options += " -duck";
         }},
        {"fit", [](const ProjectLook& look, std::string& options) {
             if (look.fitSoundtrack)
                 options += " -fit";
         }},
        {"fades", [](const ProjectLook& look, std::string& options) {
             if (std::isfinite(look.fadeIn) && look.fadeIn > 0)
                 options += " -fadein " + SecondsText(look.fadeIn);
             if (std::isfinite(look.fadeOut) && look.fadeOut > 0)
                 options += " -fadeout " + SecondsText(look.fadeOut);
         }},
    };
    return rows;
}

} // namespace

bool render_detail::ClipSoundUnderSoundtrack(const Project& project) { return ClipsHeard(project.look); }

std::string render_detail::SoundtrackOptions(const Project& project)
{
    std::string options;
    for (const SoundRow& row : SoundRows())
        row.add(project.look, options);
    return options;
}

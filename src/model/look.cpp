// The look of croutons and projects: the kinds of join, and how the joins
// and the project's fades fall on each crouton's piece.
#include "model/look.h"

#include "model/crouton.h"
#include "model/project.h"

#include <algorithm>

bool IsPlainLook(const CroutonLook& look) { return look == CroutonLook{}; }

bool IsPlainLook(const ProjectLook& look) { return look == ProjectLook{}; }

const std::vector<TransitionKind>& TransitionKinds()
{
    static const std::vector<TransitionKind> kinds = {
        {.name = "cut", .label = "Cut", .xfade = ""},
        {.name = "dissolve", .label = "Dissolve", .xfade = "fade"},
        {.name = "fadeblack", .label = "Fade through black", .xfade = "fadeblack"},
        {.name = "wipeleft", .label = "Wipe left", .xfade = "wipeleft"},
        {.name = "wiperight", .label = "Wipe right", .xfade = "wiperight"},
        {.name = "slideleft", .label = "Slide left", .xfade = "slideleft"},
        {.name = "slideright", .label = "Slide right", .xfade = "slideright"},
    };
    return kinds;
}

const TransitionKind* FindTransitionKind(std::string_view name) { return FindNamed(TransitionKinds(), name); }

bool IsCut(const Transition& transition)
{
    const TransitionKind* kind = FindTransitionKind(transition.kind);
    return !kind || kind->xfade.empty();
}

Transition JoinAfter(const Project& project, int position)
{
    const std::size_t index = position > 0 ? static_cast<std::size_t>(position - 1) : 0;
    if (position > 0 && index < project.look.joins.size() && project.look.joins[index])
        return *project.look.joins[index];
    return project.look.defaultTransition;
}

std::vector<double> JoinOverlaps(const Project& project, const std::vector<double>& lengths)
{
    std::vector<double> overlaps;
    for (std::size_t i = 0; i + 1 < lengths.size(); ++i) {
        const Transition join = JoinAfter(project, static_cast<int>(i + 1));
        if (IsCut(join)) {
            overlaps.push_back(0.0);
            continue;
        }
        // Each crouton gives at most half of itself to each side, so that
        // its head and tail never meet.
        const double asked = std::clamp(join.seconds, kShortestTransition, kLongestTransition);
        const double room = std::min(lengths[i], lengths[i + 1]) / 2.0;
        overlaps.push_back(std::max(0.0, std::min(asked, room)));
    }
    return overlaps;
}

std::vector<PieceLook> PieceLooks(const Project& project, const std::vector<double>& lengths)
{
    const std::vector<double> overlaps = JoinOverlaps(project, lengths);
    std::vector<PieceLook> pieces;
    std::size_t i = 0;
    for (const ListNode* node = project.croutons.get(); node && i < lengths.size(); node = node->next.get(), ++i) {
        PieceLook piece;
        if (node->node)
            piece.look = node->node->look;
        if (i > 0) {
            piece.head = overlaps[i - 1];
            piece.before = JoinAfter(project, static_cast<int>(i));
        }
        if (i + 1 < lengths.size()) {
            piece.tail = overlaps[i];
            piece.after = JoinAfter(project, static_cast<int>(i + 1));
        }
        if (i == 0)
            piece.look.fadeIn = std::max(piece.look.fadeIn, project.look.fadeIn);
        if (i + 1 == lengths.size())
            piece.look.fadeOut = std::max(piece.look.fadeOut, project.look.fadeOut);
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

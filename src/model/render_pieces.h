// One render's state that its steps share (render_project.cpp checks,
// lays the soundtrack, finishes and ends; render_pieces.cpp walks the
// croutons), and the walk itself: each crouton planned and encoded side by
// side (render_schedule.h), then taken in order: its piece tested, the
// transition before it made, and both joined to the video so far. Not for
// use outside src/model.
#pragma once

#include "model/kept_output.h"
#include "model/piece_store.h"
#include "model/project.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace render_detail {

// Every crouton but the first is encoded into a piece of this name in its
// lane, and the video so far is moved to the second while a piece is joined.
inline constexpr const char* kTempVideo = "T:__TempVideo";
inline constexpr const char* kTempVideo2 = "T:__TempVideo2";

// Whether a render's file holds usable video (kSmallestPiece).
bool BigEnough(std::string_view name);

// Where each run of a step moves the step's bar: the crouton's encoding
// takes most of it, the transition before it and its join a little, and
// the last step also holds the soundtrack run and the finishing run.
struct StepParts {
    double encodeEnd = 1.0;
    double transitionEnd = 1.0;
    double joinEnd = 1.0;
    double soundtrackEnd = 1.0;
};

// One rendering's state from start to end.
struct RenderRun {
    RenderRun(Project& project, std::string output, int count);

    Project& project;
    const std::string output;
    const int count;
    const bool soundtrack;
    const bool silent; // the croutons are encoded without their sound
    // With a soundtrack the croutons go to "T:__SilentVideo", with their
    // own sound when it stays under the soundtrack.
    const std::string target;
    const std::vector<TemporaryLane> lanes; // one per crouton encoded side by side
    const std::unique_ptr<PieceStore> store; // none when pieces are not kept
    KeptOutput kept;
    StepParts parts; // of the step the progress shows
    std::string piecesKey; // the keys of the pieces taken so far, in order
    std::string failure;
    bool cancelled = false;

    bool Going() const { return failure.empty() && !cancelled; }
    // Whether the user cancelled; the step then stops here.
    bool CheckCancel();
};

// The croutons encoded and joined into the run's target; a failure or a
// cancel is left in `run`, and no lane file stays.
void WalkPieces(RenderRun& run);

// The keys of every crouton's piece as the walk would plan them (what
// `piecesKey` holds once all are taken), worked out without encoding or
// joining anything; none without a store or when a crouton would be
// refused.
std::optional<std::string> PlannedPiecesKey(RenderRun& run);

} // namespace render_detail

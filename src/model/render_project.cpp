// Rendering a project: each crouton is encoded by mencoder into a piece of
// its own, the pieces are joined one by one into the output, a project
// soundtrack is laid under the joined video, and a last run finishes the
// file in the container its name asks for. The render stops at the first
// step that fails or at the user's cancel; the file that stood at the output
// name before is kept aside until the new one is good and put back
// otherwise. Progress goes to the long-work reports (work.h).
#include "model/render.h"

#include "model/render_internal.h"
#include "model/render_pieces.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/exec.h"
#include "os/work.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace render_detail;

namespace {

constexpr const char* kSilentVideo = "T:__SilentVideo";
constexpr const char* kFinishVideo = "T:__FinishVideo";

std::vector<TemporaryLane> RenderLanes()
{
    std::vector<TemporaryLane> lanes;
    for (int number = 1; number <= RenderLaneCount(); ++number)
        lanes.push_back({number, RenderLaneNames()});
    return lanes;
}

} // namespace

RenderRun::RenderRun(Project& project, std::string output, int count)
    : project(project), output(std::move(output)), count(count), soundtrack(project.soundtrack.has_value()),
      silent(soundtrack && !ClipSoundUnderSoundtrack(project)),
      target(soundtrack ? std::string(kSilentVideo) : this->output), lanes(RenderLanes()),
      store(PieceStore::ForRender(this->output))
{
}

bool RenderRun::CheckCancel()
{
    if (WorkCancelled())
        cancelled = true;
    return cancelled;
}

namespace {

// One rendering from start to end.
class ProjectRender {
public:
    ProjectRender(Project& project, std::string output, int count, OutputClaimHandle claim)
        : run_(project, std::move(output), count), claim_(std::move(claim))
    {
    }

    void Run(std::vector<std::string> problems)
    {
        if (problems.size() == 1) {
            run_.failure = problems.front();
        } else if (!problems.empty()) {
            run_.failure = "Nothing was rendered:";
            for (const std::string& problem : problems)
                run_.failure += "\n" + problem;
        }
        if (!run_.failure.empty()) {
            End();
            return;
        }

        run_.failure = run_.kept.MoveAside(run_.output, std::move(claim_));
        if (!run_.failure.empty()) {
            End();
            return;
        }
        // No piece of an earlier render may pass for this one's.
        for (const char* piece : {kTempVideo, kTempVideo2, kFinishVideo})
            DeleteFile(piece);
        ForgetTransitions();
        for (const TemporaryLane& lane : run_.lanes) {
            const InTemporaryLane inLane(lane);
            DeleteFile(kTempVideo);
        }
        if (run_.soundtrack)
            DeleteFile(kSilentVideo);

        ListNode* first = run_.project.croutons.get();
        kprintf("CroutonNode is %p, tCrouton %p.\n", static_cast<void*>(first),
                static_cast<void*>(first ? first->node.get() : nullptr));

        if (TakeKeptVideo()) {
            End();
            return;
        }
        // Without a soundtrack the joins lead straight to the output, and
        // its sound can be compressed while the croutons are encoded.
        if (!run_.soundtrack)
            CompressSoundAsJoined(run_.output);
        WalkPieces(run_);

        if (!run_.CheckCancel() && run_.Going() && run_.soundtrack)
            LaySoundtrack();
        if (run_.Going() && run_.count == 0)
            run_.failure = "There is nothing to render: the project has no croutons.";
        if (!run_.CheckCancel() && run_.Going())
            Finish();
        End();
    }

private:
    // The finished video is kept only without a soundtrack, whose file and
    // settings no key holds.
    bool KeepsFinished() const { return run_.store && !run_.soundtrack; }

    // The key of the finished video of these pieces; empty when none is kept.
    std::string FinishedKey(const std::string& pieces) const
    {
        if (!KeepsFinished())
            return {};
        return run_.store->KeyOf(FinishCommand(run_.output, kFinishVideo), run_.output) + "pieces\n" + pieces;
    }

    // With nothing changed since a render kept its finished video, the
    // video is taken at once, before any crouton is encoded or joined.
    bool TakeKeptVideo()
    {
        if (run_.count == 0 || !KeepsFinished())
            return false;
        const std::optional<std::string> pieces = PlannedPiecesKey(run_);
        const std::string key = pieces ? FinishedKey(*pieces) : std::string();
        if (key.empty() || !run_.store->Has(key))
            return false;
        run_.kept.Writing(true);
        if (!run_.store->Take(key, run_.output)) {
            run_.kept.Writing(false);
            return false;
        }
        for (int number = 1; number <= run_.count; ++number)
            kprintf("Reusing the piece of crouton %d.\n", number);
        kprintf("Reusing the finished video.\n");
        StepWork(run_.count, "Crouton " + std::to_string(run_.count) + " of " + std::to_string(run_.count));
        WorkWithin(1.0);
        return true;
    }

    void LaySoundtrack()
    {
        WorkPart(run_.parts.joinEnd, run_.parts.soundtrackEnd);
        const std::string& soundtrack = *run_.project.soundtrack;
        kprintf("Rendering with soundtrack %s.\n", soundtrack.c_str());
        const std::string command =
            SoundtrackCommand(kSilentVideo, soundtrack, run_.output) + SoundtrackOptions(run_.project);
        kprintf("Command is %s.\n", command.c_str());
        run_.kept.Writing(true);
        DeleteFile(run_.output);
        const LONG code = RunRenderCommand(command);
        if (run_.CheckCancel() || run_.count == 0)
            return;
        if (code != 0 || !BigEnough(run_.output)) {
            run_.failure = "The soundtrack " + ShownPath(soundtrack) + " could not be laid under the video: "
                           + FailureReason(run_.output, {soundtrack}, code) + ".";
            return;
        }
        WorkWithin(1.0);
    }

    // The output is moved to T: and written once more from there, in the
    // container its name asks for, with its sound compressed.
    void Finish()
    {
        WorkPart(run_.parts.soundtrackEnd, 1.0);
        run_.kept.Writing(true);
        // The finished video of the same pieces, finished alike, is kept
        // too (a soundtrack's run names files of this instance's own).
        const std::string key = FinishedKey(run_.piecesKey);
        if (!key.empty() && run_.store->Take(key, run_.output)) {
            kprintf("Reusing the finished video.\n");
            ForgetJoinedPieces();
            WorkWithin(1.0);
            return;
        }
        DeleteFile(kFinishVideo);
        if (!MoveDosFile(run_.output, kFinishVideo)) {
            kprintf("Couldn't move %s to %s.\n", run_.output.c_str(), kFinishVideo);
            run_.failure = "The video could not be finished: it could not be moved to " + ShownPath(kFinishVideo)
                           + " (is T: full?).";
            return;
        }
        const std::string command = FinishCommand(run_.output, kFinishVideo);
        kprintf("Finishing: %s.\n", command.c_str());
        const LONG code = RunRenderCommand(command);
        const std::string reason = code != 0 || !BigEnough(run_.output) ? FailureReason(run_.output, {}, code) : "";
        DeleteFile(kFinishVideo);
        if (run_.CheckCancel())
            return;
        if (!reason.empty()) {
            run_.failure = "The video could not be finished: " + reason + ".";
            return;
        }
        if (!key.empty())
            run_.store->Keep(key, run_.output);
        WorkWithin(1.0);
    }

    void End()
    {
        if (run_.Going()) {
            run_.kept.Drop();
            run_.project.renderedOutput = IdentityOf(run_.output);
            kprintf("Rendering finished.\n");
            SetWorkResult(run_.output);
            EndWork(WorkOutcome::Finished, FinishedMessage(run_.output));
            return;
        }
        // Nothing of a failed or cancelled render stays: no partial output,
        // no pieces, and the old file as it was.
        for (const char* piece : {kTempVideo, kTempVideo2, kFinishVideo, kSilentVideo})
            DeleteFile(piece);
        ForgetTransitions();
        ForgetJoinedPieces();
        const std::string kept = run_.kept.PutBack();
        if (run_.cancelled) {
            kprintf("Rendering cancelled.\n");
            EndWork(WorkOutcome::Cancelled, kept.empty() ? "Rendering was cancelled; " + ShownPath(run_.output)
                                                               + " is as it was before."
                                                         : "Rendering was cancelled." + kept);
            return;
        }
        kprintf("Rendering failed.\n");
        EndWork(WorkOutcome::Failed, run_.failure + kept);
    }

    RenderRun run_;
    OutputClaimHandle claim_; // until the kept output takes it
};

} // namespace

// The rendering ends with one of three trace lines, so that its outcome is
// never only implied by an error line somewhere above:
//   "Rendering finished.\n"   every crouton was encoded and joined (and the
//                             soundtrack laid under them), the finishing run
//                             wrote the output, and it has a usable size;
//   "Rendering cancelled.\n"  the user cancelled it;
//   "Rendering failed.\n"     anything else: a crouton was refused, a piece
//                             was missing or too small, a tool run failed,
//                             or the project had nothing to render.
// The same outcome, in plain words, goes to EndWork.
void RenderProject(Project* project)
{
    if (!project) {
        kprintf("Rendering failed.\n");
        return;
    }
    const std::string output = ShownText(&ProjectSettings::outputFileName);
    std::string soundtrack = ShownText(&ProjectSettings::soundtrack);
    if (soundtrack.empty())
        project->soundtrack.reset();
    else
        project->soundtrack = std::move(soundtrack);

    int count = 0;
    for (const ListNode* node = project->croutons.get(); node; node = node->next.get())
        ++count;
    if (output.empty()) {
        BeginWork("Rendering", count);
        kprintf("No output file name.\n");
        kprintf("Rendering failed.\n");
        EndWork(WorkOutcome::Failed, "There is no output file name: type one into the output field.");
        return;
    }
    // One output, one render: a second one is refused before anything is
    // asked or moved.
    OutputClaimHandle claim = ClaimOutput(output);
    if (!claim) {
        const bool busy = IoErr() == ERROR_OBJECT_IN_USE;
        BeginWork("Rendering", count);
        kprintf("Rendering failed.\n");
        if (busy)
            kprintf("%s is being rendered by another Clipweaver.\n", output.c_str());
        if (busy)
            EndWork(WorkOutcome::Failed, ShownPath(output) + " is being rendered by another Clipweaver");
        else
            EndWork(WorkOutcome::Failed, "Nothing was rendered: the note that lets Clipweaver put the old file back "
                                         "after a crash could not be written in the state folder "
                                         + (StateFolder().empty() ? std::string("(is HOME set?)") : StateFolder()) + ".");
        return;
    }
    std::vector<std::string> problems = RenderPreflight(*project, output);
    if (problems.empty() && !MayReplaceOutput(*project, output)) {
        // The user keeps the file: nothing was begun.
        kprintf("Rendering cancelled.\n");
        return;
    }
    BeginWork("Rendering", count);
    ProjectRender(*project, output, count, std::move(claim)).Run(std::move(problems));
}

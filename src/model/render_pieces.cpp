// The render's walk through the croutons (render_pieces.h): the side-by-side
// schedule (render_schedule.h) encodes them in lanes of their own; here
// each is planned, and taken in project order: its held lines shown, its
// piece tested, the transition before it made and both joined to the
// video so far.
#include "model/render_pieces.h"

#include "model/crouton_time.h"
#include "model/render.h"
#include "model/render_internal.h"
#include "model/render_schedule.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/exec.h"
#include "os/work.h"

#include <string>
#include <utility>
#include <vector>

using namespace render_detail;

namespace {

// The parts of step `index` (counted from 1).
StepParts PartsOf(int index, bool last, bool soundtrack, bool transition)
{
    const double encode = 6.0;
    const double made = transition ? 2.0 : 0.0;
    const double join = index > 1 ? 1.0 : 0.0;
    const double soundtrackPart = last && soundtrack ? 2.0 : 0.0;
    const double finish = last ? 2.0 : 0.0;
    const double total = encode + made + join + soundtrackPart + finish;
    return {encode / total, (encode + made) / total, (encode + made + join) / total,
            (encode + made + join + soundtrackPart) / total};
}

// The files a crouton's encoding reads, for telling why it failed.
std::vector<std::string> SourcesOf(const Crouton* crouton)
{
    std::vector<std::string> sources;
    if (crouton && crouton->isVideo && crouton->videoName && !crouton->videoName->empty())
        sources.push_back(*crouton->videoName);
    if (crouton && crouton->soundtrack && !crouton->soundtrack->empty())
        sources.push_back(*crouton->soundtrack);
    return sources;
}

// What the joins and the project's fades ask of each crouton's piece.
std::vector<PieceLook> LooksOf(const Project& project)
{
    const double rate = ProjectOutputRate(project).value_or(25.0);
    std::vector<double> lengths;
    for (const ListNode* node = project.croutons.get(); node; node = node->next.get())
        lengths.push_back(node->node ? RenderedSeconds(*node->node, rate) : 0.0);
    return PieceLooks(project, lengths);
}

// Where crouton n (from 0) is encoded: the first straight into the
// target, every later one into "T:__TempVideo" of its lane and joined.
std::string PieceFileOf(const RenderRun& run, int n) { return n == 0 ? run.target : std::string(kTempVideo); }

// The render's work on each crouton, as the walk calls it.
class RenderPieces final : public PieceSteps {
public:
    explicit RenderPieces(RenderRun& run) : run_(run) {}

    // Croutons are encoded side by side, one per lane (render_schedule.h).
    void Walk()
    {
        const ToolWaitScope waiting;
        for (ListNode* node = run_.project.croutons.get(); node; node = node->next.get())
            croutons_.push_back({node->node.get(), {}, {}});
        const int places = static_cast<int>(run_.lanes.size());
        WalkSideBySide(static_cast<int>(croutons_.size()), places, run_.store.get(), *this);
        for (const TemporaryLane& lane : run_.lanes) {
            const InTemporaryLane inLane(lane);
            for (const std::string& name : lane.names)
                DeleteFile("T:" + name);
        }
    }

private:
    // A crouton on its way: its lines held until it is taken.
    struct CroutonWork {
        Crouton* crouton = nullptr;
        std::string trace;
        CroutonRun run;
    };
    CroutonWork& WorkOf(int index) { return croutons_[static_cast<std::size_t>(index)]; }

    bool Going() const override { return run_.Going(); }
    bool Cancelled() override { return run_.CheckCancel(); }
    const TemporaryLane& LaneOf(int, int place) override { return run_.lanes[static_cast<std::size_t>(place)]; }

    // The crouton the progress shows: the first one not yet taken.
    bool BecomeFirst(int index) override
    {
        const int number = index + 1;
        StepWork(number, "Crouton " + std::to_string(number) + " of " + std::to_string(run_.count) + ": "
                             + CroutonLabel(WorkOf(index).crouton));
        // A cancel may come with the step's start.
        if (run_.CheckCancel())
            return false;
        run_.parts = PartsOf(number, number == run_.count, run_.soundtrack, HasTransitionBefore(LookOf(index)));
        WorkPart(0.0, run_.parts.encodeEnd);
        current_ = number;
        return true;
    }

    // Plans crouton n (counted from 0), in its lane.
    PiecePlan Plan(const WalkPiece& piece) override
    {
        const int n = piece.index;
        CroutonWork& work = WorkOf(n);
        TraceHold hold;
        kprintf("Rendering crouton number %d.\n", n);
        const std::string file = PieceFileOf(run_, n);
        if (n == 0)
            DeleteFile(run_.target);
        const PieceLook look = LookOf(n);
        // No stretch of an earlier crouton in this lane may pass for this
        // one's, nor be kept with its piece.
        ForgetStretches();
        work.run = PlanCroutonEncode(run_.project, work.crouton, file, run_.silent, look);
        work.trace = hold.Take();
        return {work.run.command, file};
    }

    void Reused(const WalkPiece& piece) override
    {
        CroutonWork& work = WorkOf(piece.index);
        work.run.ran = true;
        work.trace = "Rendering crouton number " + std::to_string(piece.index) + ".\nReusing the piece of crouton "
            + std::to_string(piece.index + 1) + ".\n";
        StepDoneAtOnce(piece.index + 1);
    }

    void Waiting(const WalkPiece& first) override
    {
        if (first.command)
            WorkWithin(first.command->Progress());
    }

    // What the joins and the project's fades ask of crouton n (from 0).
    PieceLook LookOf(int n)
    {
        if (looks_.empty())
            looks_ = LooksOf(run_.project);
        return static_cast<std::size_t>(n) < looks_.size() ? looks_[static_cast<std::size_t>(n)] : PieceLook{};
    }

    // The crouton's lines, then its piece tested and joined, in its lane.
    void Take(WalkPiece& piece) override
    {
        CroutonWork& work = WorkOf(piece.index);
        if (piece.command) {
            work.trace += piece.command->TakeTrace();
            work.run.ran = true;
            work.run.code = piece.command->Code();
            NoteToolError(piece.command->Error());
        }
        EmitTrace(std::exchange(work.trace, std::string()));
        run_.piecesKey += piece.key + "\n";
        if (piece.index == 0)
            TakeFirst(work.crouton, work.run);
        else
            TakeLater(piece.index + 1, work.crouton, work.run);
        // The lane goes to a later crouton: the tail this one gave to the
        // transition after it waits outside it.
        if (run_.Going())
            KeepTail(LookOf(piece.index));
    }

    // A cancel shows the lines of the crouton it came in, as it always has;
    // nothing after the first crouton that failed is shown.
    void Left(WalkPiece& first) override
    {
        if (run_.cancelled && first.index + 1 == current_)
            EmitTrace(WorkOf(first.index).trace + (first.command ? first.command->TakeTrace() : std::string()));
    }

    // The first crouton is written straight into the target.
    void TakeFirst(const Crouton* crouton, const CroutonRun& run)
    {
        if (run_.CheckCancel())
            return;
        if (!run.ran) {
            Refused(1, crouton, run);
            return;
        }
        if (!CheckPiece(run_.target)) {
            run_.failure = CroutonPrefix(1, crouton) + " could not be encoded: "
                           + FailureReason(run_.target, SourcesOf(crouton), run.code) + ".";
            return;
        }
        if (run.code != 0) {
            kprintf("Error: encoder returned %d.\n", run.code);
            run_.failure = CroutonPrefix(1, crouton) + " could not be encoded: "
                           + FailureReason(run_.target, SourcesOf(crouton), run.code) + ".";
            return;
        }
        if (run_.target == run_.output)
            run_.kept.Writing(false);
        WorkWithin(1.0);
    }

    // Every later crouton goes through "T:__TempVideo" and a join.
    void TakeLater(int index, const Crouton* crouton, const CroutonRun& run)
    {
        if (run_.CheckCancel())
            return;
        const bool piece = CheckPiece(kTempVideo);
        if (!run.ran) {
            Refused(index, crouton, run);
            return;
        }
        if (!piece || run.code != 0) {
            if (piece)
                kprintf("Error: encoder returned %d.\n", run.code);
            run_.failure = CroutonPrefix(index, crouton) + " could not be encoded: "
                           + FailureReason(kTempVideo, SourcesOf(crouton), run.code) + ".";
            return;
        }
        WorkWithin(1.0);
        if (!JoinTransition(index, crouton, run))
            return;
        WorkPart(run_.parts.transitionEnd, run_.parts.joinEnd);
        const bool joined = JoinToTarget(kTempVideo);
        if (run_.CheckCancel())
            return;
        if (!joined) {
            run_.failure = CroutonPrefix(index, crouton) + " could not be joined to the video before it: "
                           + FailureReason(run_.target, {}, -1) + ".";
            return;
        }
        WorkWithin(1.0);
    }

    // The transition from the crouton before into this one, made from the
    // tail kept of that one and this one's head, is joined before this
    // one's piece. A join that is a cut has none.
    bool JoinTransition(int index, const Crouton* crouton, const CroutonRun& run)
    {
        const PieceLook look = LookOf(index - 1);
        if (!HasTransitionBefore(look))
            return true;
        WorkPart(run_.parts.encodeEnd, run_.parts.transitionEnd);
        const TransitionRun made = MakeTransition(look, run.encoder, index);
        if (run_.CheckCancel())
            return false;
        if (!made.ran)
            return true;
        const std::string what = CroutonPrefix(index, crouton) + " could not be joined: the " + made.kind + " before it";
        if (made.code != 0 || !BigEnough(kTransitionPiece)) {
            run_.failure = what + " could not be made: " + FailureReason(kTransitionPiece, {}, made.code) + ".";
            return false;
        }
        WorkWithin(0.5);
        const bool joined = JoinToTarget(kTransitionPiece);
        if (run_.CheckCancel())
            return false;
        if (!joined) {
            run_.failure = what + " could not be joined to the video: " + FailureReason(run_.target, {}, -1) + ".";
            return false;
        }
        WorkWithin(1.0);
        return true;
    }

    // Joins `piece` after the video so far, and removes it. While the join
    // runs, the note says the output name is being written.
    bool JoinToTarget(const char* piece)
    {
        if (run_.target == run_.output)
            run_.kept.Writing(true);
        const bool joined = AppendVideo(run_.target, piece) != FALSE;
        if (joined && run_.target == run_.output)
            run_.kept.Writing(false);
        DeleteFile(piece);
        return joined;
    }

    // The piece tests, with the traces they have always had.
    static bool CheckPiece(const std::string& piece)
    {
        FileLock lock = Lock(piece, SHARED_LOCK);
        if (!lock) {
            kprintf("Error: encoded video doesn't exist.\n");
            return false;
        }
        FileInfoBlock info;
        if (!Examine(*lock, info) || info.fib_Size < kSmallestPiece) {
            kprintf("Error: encoded video has too small size.\n");
            return false;
        }
        return true;
    }

    void Refused(int index, const Crouton* crouton, const CroutonRun& run)
    {
        if (run.setting)
            run_.failure = "The video could not be rendered: " + run.refusal + ".";
        else
            run_.failure = CroutonPrefix(index, crouton) + " could not be encoded: " + run.refusal + ".";
    }

    RenderRun& run_;
    std::vector<CroutonWork> croutons_;
    std::vector<PieceLook> looks_; // each crouton's, worked out at its first start
    int current_ = 0; // the crouton the progress shows
};

} // namespace

bool render_detail::BigEnough(std::string_view name)
{
    const std::optional<LONG> size = FileSize(name);
    return size && *size >= kSmallestPiece;
}

void render_detail::WalkPieces(RenderRun& run)
{
    RenderPieces(run).Walk();
}

BOOL AppendVideo(std::string_view filename1, std::string_view filename2)
{
    const std::string first(filename1);
    kprintf("Renaming %s to %s.\n", first.c_str(), kTempVideo2);
    // A leftover of an interrupted join would make the rename fail.
    DeleteFile(kTempVideo2);
    const BOOL renamed = Rename(filename1, kTempVideo2);
    kprintf("Renamed result is %d.\n", renamed);
    if (!renamed) {
        // Rename works only within one volume; an output elsewhere is copied
        // aside instead, so the join still gets the video assembled so far.
        kprintf("Copying %s to %s instead.\n", first.c_str(), kTempVideo2);
        if (!CopyDosFile(filename1, kTempVideo2)) {
            kprintf("Couldn't copy %s; %s is left as it was.\n", first.c_str(), first.c_str());
            return FALSE;
        }
        DeleteFile(filename1);
    }

    const std::string command = JoinCommand(filename1, kTempVideo2, filename2);
    kprintf("Executing: %s.\n", command.c_str());
    const LONG code = RunRenderCommand(command);

    if (code != 0 || !FileSize(filename1)) {
        // The join failed: put the video assembled so far back.
        DeleteFile(filename1);
        const bool restored = MoveDosFile(kTempVideo2, filename1);
        kprintf("Join failed; %s %s.\n", first.c_str(), restored ? "restored" : "lost");
        DeleteFile(kTempVideo2);
        return FALSE;
    }
    DeleteFile(kTempVideo2);
    return TRUE;
}

std::optional<std::string> render_detail::PlannedPiecesKey(RenderRun& run)
{
    if (!run.store || run.lanes.empty())
        return std::nullopt;
    const std::vector<PieceLook> looks = LooksOf(run.project);
    // The lines are planned as the walk plans them, in a lane (which the
    // walk empties before it uses it); what they trace is not shown.
    const InTemporaryLane inLane(run.lanes.front());
    const TraceHold hold;
    // The plans below probe the sources one after another: they are probed
    // a lane's worth at a time first.
    std::vector<std::string> sources;
    for (ListNode* node = run.project.croutons.get(); node; node = node->next.get())
        for (std::string& source : SourcesOf(node->node.get()))
            sources.push_back(std::move(source));
    ProbeAhead(sources, static_cast<int>(run.lanes.size()));
    std::string keys;
    int n = 0;
    for (ListNode* node = run.project.croutons.get(); node; node = node->next.get(), ++n) {
        const std::string file = PieceFileOf(run, n);
        const PieceLook look = static_cast<std::size_t>(n) < looks.size() ? looks[static_cast<std::size_t>(n)] : PieceLook{};
        ForgetStretches();
        const CroutonRun planned = PlanCroutonEncode(run.project, node->node.get(), file, run.silent, look);
        if (planned.command.empty())
            return std::nullopt;
        keys += run.store->KeyOf(planned.command, file) + "\n";
    }
    return keys;
}

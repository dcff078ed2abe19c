// Rendering a project: each crouton is encoded by mencoder into a piece of
// its own, the pieces are joined one by one into the output, a project
// soundtrack is laid under the joined video, and a last run finishes the
// file in the container its name asks for. The render stops at the first
// step that fails or at the user's cancel; the file that stood at the output
// name before is kept aside until the new one is good and put back
// otherwise. Progress goes to the long-work reports (work.h).
#include "model/render.h"

#include "model/crouton_time.h"
#include "model/piece_store.h"
#include "model/render_internal.h"
#include "model/tables.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/exec.h"
#include "os/format.h"
#include "os/question.h"
#include "os/work.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace render_detail;

namespace {

constexpr const char* kTempVideo = "T:__TempVideo";
constexpr const char* kTempVideo2 = "T:__TempVideo2";
constexpr const char* kSilentVideo = "T:__SilentVideo";
constexpr const char* kFinishVideo = "T:__FinishVideo";

bool BigEnough(std::string_view name)
{
    const std::optional<LONG> size = FileSize(name);
    return size && *size >= kSmallestPiece;
}

// The file that stood at the output name before the render. It is renamed
// to a hidden file beside it: a rename in the same folder is instant even
// for a large video, needs no room on T:, and leaves the old file on disk.
// Before anything moves, the render's note (ClaimOutput, in the user's
// state folder) says how to undo it, so that the start-up after a crash, a
// kill or a reboot puts the old file back should the program die before it
// can itself.
class KeptOutput {
public:
    KeptOutput() = default;
    KeptOutput(const KeptOutput&) = delete;
    KeptOutput& operator=(const KeptOutput&) = delete;

    // Empty when the output name is the render's to write; else why not, in
    // plain words. Nothing is moved unless the note says so first.
    std::string MoveAside(const std::string& output, OutputClaimHandle claim)
    {
        output_ = output;
        claim_ = std::move(claim);
        if (!NameTaken(output)) {
            if (!NoteOutputKept(*claim_, ""))
                return NoteProblem();
            active_ = true;
            return {};
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = OutputAsideName(output, attempt);
            if (NameTaken(name)) {
                // Left by a render that never ended; not ours to replace.
                if (attempt == 0)
                    TellUser("Render", "An earlier render of " + ShownPath(output) + " that never ended left the file "
                                           "that stood there before as " + ShownPath(name) + "; it is kept there.");
                continue;
            }
            if (!NoteOutputKept(*claim_, name))
                return NoteProblem();
            if (!Rename(output, name)) {
                const LONG error = IoErr();
                kprintf("Couldn't move %s aside.\n", output.c_str());
                if (error == ERROR_OBJECT_IN_USE)
                    return ShownPath(output) + " is in use by another program (it holds a lock on it), so nothing "
                                               "was rendered: close it there, or choose another output name.";
                return "The file " + ShownPath(output) + " that is there now could not be moved aside, so nothing "
                       "was rendered; check that its folder may be written to.";
            }
            aside_ = name;
            active_ = true;
            kprintf("Moved %s aside to %s.\n", output.c_str(), name.c_str());
            return {};
        }
        return "The file " + ShownPath(output) + " that is there now could not be moved aside, so nothing was "
               "rendered: its folder holds 100 old files of earlier renders that never ended.";
    }
    // The render's tools write the output name from now on, or have written
    // it (what stands there is the render's own).
    void Writing(bool writing)
    {
        if (active_ && claim_)
            NoteOutputWritten(*claim_, writing);
    }
    // The render failed or was cancelled: the old file (or no file) again.
    // Empty, or where the old file is when it could not be put back.
    std::string PutBack()
    {
        // Before the output was ours, what stands there is the user's.
        if (!active_) {
            claim_.reset();
            return {};
        }
        active_ = false;
        DeleteFile(output_);
        std::string kept;
        if (!aside_.empty()) {
            if (Rename(aside_, output_)) {
                kprintf("Put %s back.\n", output_.c_str());
            } else {
                kprintf("Couldn't put %s back; it is kept as %s.\n", output_.c_str(), aside_.c_str());
                kept = " The file that stood at " + ShownPath(output_) + " before could not be put back; it is "
                       "kept as " + ShownPath(aside_) + ".";
            }
            aside_.clear();
        }
        claim_.reset();
        return kept;
    }
    // The render succeeded: the note goes first (without it, a crash leaves
    // at worst the old file hidden, and the next render tells of it), then
    // the old file.
    void Drop()
    {
        active_ = false;
        claim_.reset();
        if (!aside_.empty())
            DeleteFile(aside_);
        aside_.clear();
    }

private:
    static std::string NoteProblem()
    {
        const std::string folder = StateFolder();
        kprintf("Couldn't write the render's note.\n");
        return "Nothing was rendered: the note that lets Clipweaver put the old file back after a crash could not "
               "be written in " + (folder.empty() ? std::string("the state folder (is HOME set?)") : folder) + ".";
    }

    std::string output_;
    std::string aside_;
    OutputClaimHandle claim_;
    bool active_ = false; // the output name is the render's to write and clean
};

// Where each run of a step moves the step's bar: the crouton's encoding
// takes most of it, the transition before it and its join a little, and
// the last step also holds the soundtrack run and the finishing run.
struct StepParts {
    double encodeEnd = 1.0;
    double transitionEnd = 1.0;
    double joinEnd = 1.0;
    double soundtrackEnd = 1.0;
};

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

std::vector<TemporaryLane> RenderLanes()
{
    std::vector<TemporaryLane> lanes;
    for (int number = 1; number <= RenderLaneCount(); ++number)
        lanes.push_back({number, RenderLaneNames()});
    return lanes;
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

// One rendering from start to end.
class ProjectRender {
public:
    ProjectRender(Project& project, std::string output, int count, OutputClaimHandle claim)
        : project_(project), output_(std::move(output)), count_(count), soundtrack_(project.soundtrack.has_value()),
          silent_(soundtrack_ && !ClipSoundUnderSoundtrack(project)),
          claim_(std::move(claim))
    {
    }

    void Run(std::vector<std::string> problems)
    {
        if (problems.size() == 1) {
            failure_ = problems.front();
        } else if (!problems.empty()) {
            failure_ = "Nothing was rendered:";
            for (const std::string& problem : problems)
                failure_ += "\n" + problem;
        }
        if (!failure_.empty()) {
            End();
            return;
        }

        failure_ = kept_.MoveAside(output_, std::move(claim_));
        if (!failure_.empty()) {
            End();
            return;
        }
        // With a soundtrack the croutons go to "T:__SilentVideo", with their
        // own sound when it stays under the soundtrack.
        const std::string target = soundtrack_ ? std::string(kSilentVideo) : output_;
        // No piece of an earlier render may pass for this one's.
        for (const char* piece : {kTempVideo, kTempVideo2, kFinishVideo})
            DeleteFile(piece);
        ForgetTransitions();
        for (const TemporaryLane& lane : lanes_) {
            const InTemporaryLane inLane(lane);
            DeleteFile(kTempVideo);
        }
        if (soundtrack_)
            DeleteFile(kSilentVideo);

        ListNode* first = project_.croutons.get();
        kprintf("CroutonNode is %p, tCrouton %p.\n", static_cast<void*>(first),
                static_cast<void*>(first ? first->node.get() : nullptr));

        Walk(first, target);

        if (!CheckCancel() && Going() && soundtrack_)
            LaySoundtrack();
        if (Going() && count_ == 0)
            failure_ = "There is nothing to render: the project has no croutons.";
        if (!CheckCancel() && Going())
            Finish();
        End();
    }

private:
    bool Going() const { return failure_.empty() && !cancelled_; }

    // Whether the user cancelled; the step then stops here.
    bool CheckCancel()
    {
        if (WorkCancelled())
            cancelled_ = true;
        return cancelled_;
    }

    // Croutons are encoded side by side, up to one per lane, each writing
    // the names its command line says in a lane of T: of its own. They are
    // taken in project order: the trace, the piece tests, the joins and the
    // progress come as if they had run one after the other, and the first
    // one that fails ends the others.
    void Walk(ListNode* first, const std::string& target)
    {
        const ToolWaitScope waiting;
        ListNode* next = first;
        int n = 0;
        while (Going()) {
            while (Going() && !pieces_.empty() && pieces_.front().Ended()) {
                Take(pieces_.front(), target);
                if (!pieces_.front().keptLane)
                    busy_[static_cast<std::size_t>(pieces_.front().lane)] = false;
                pieces_.pop_front();
                if (Going() && !pieces_.empty())
                    BecomeCurrent(pieces_.front());
            }
            if (!Going() || CheckCancel())
                break;
            if (next && static_cast<std::size_t>(std::count(busy_.begin(), busy_.end(), true)) < lanes_.size()) {
                if (!Start(next->node.get(), n++, target))
                    break;
                next = next->next.get();
                continue;
            }
            if (pieces_.empty())
                break;
            std::vector<CommandRun*> running;
            for (Piece& piece : pieces_)
                if (piece.command)
                    running.push_back(piece.command.get());
            if (pieces_.front().command)
                WorkWithin(pieces_.front().command->Progress());
            WaitForCommands(running);
        }
        EndPieces();
    }

    // A crouton on its way: encoding (or refused), its lines held until it
    // is taken.
    struct Piece {
        int index = 0; // counted from 1
        Crouton* crouton = nullptr;
        int lane = 0;
        std::string trace;
        CroutonRun run;
        std::unique_ptr<CommandRun> command;
        std::string key; // in the piece store
        const TemporaryLane* keptLane = nullptr; // where a kept piece was put
        bool Ended() const { return !command || command->Done(); }
    };

    // The crouton the progress shows: the first one not yet taken.
    bool BecomeCurrent(const Piece& piece)
    {
        StepWork(piece.index, "Crouton " + std::to_string(piece.index) + " of " + std::to_string(count_) + ": "
                                  + CroutonLabel(piece.crouton));
        // A cancel may come with the step's start.
        if (CheckCancel())
            return false;
        parts_ = PartsOf(piece.index, piece.index == count_, soundtrack_, HasTransitionBefore(LookOf(piece.index - 1)));
        WorkPart(0.0, parts_.encodeEnd);
        current_ = piece.index;
        return true;
    }

    // Plans crouton n (counted from 0) in a free lane and starts its
    // encode; false when the render is cancelled first.
    bool Start(Crouton* crouton, int n, const std::string& target)
    {
        Piece piece;
        piece.index = n + 1;
        piece.crouton = crouton;
        while (busy_[static_cast<std::size_t>(piece.lane)])
            ++piece.lane;
        if (pieces_.empty() && !BecomeCurrent(piece))
            return false;
        const TemporaryLane& lane = lanes_[static_cast<std::size_t>(piece.lane)];
        const InTemporaryLane inLane(lane);
        TraceHold hold;
        kprintf("Rendering crouton number %d.\n", n);
        // The first crouton is written straight into the target; every
        // later one goes through "T:__TempVideo" and a join.
        const std::string file = n == 0 ? target : std::string(kTempVideo);
        if (n == 0)
            DeleteFile(target);
        const PieceLook look = LookOf(n);
        // No stretch of an earlier crouton in this lane may pass for this
        // one's, nor be kept with its piece.
        ForgetStretches();
        piece.run = PlanCroutonEncode(project_, crouton, file, silent_, look);
        piece.trace = hold.Take();
        if (store_ && !piece.run.command.empty())
            TakeKept(piece, file);
        if (!piece.run.command.empty() && !piece.keptLane)
            piece.command = std::make_unique<CommandRun>(piece.run.command, lane);
        busy_[static_cast<std::size_t>(piece.lane)] = !piece.keptLane;
        pieces_.push_back(std::move(piece));
        return true;
    }

    // A piece made before from the same line and files is put in a lane of
    // its own instead of encoding it: no encode waits for it to be joined.
    void TakeKept(Piece& piece, const std::string& file)
    {
        piece.key = store_->KeyOf(piece.run.command, file);
        keptLanes_.push_back({static_cast<int>(lanes_.size()) + piece.index, lanes_.front().names});
        const InTemporaryLane inLane(keptLanes_.back());
        if (!store_->Take(piece.key, file)) {
            keptLanes_.pop_back();
            return;
        }
        piece.keptLane = &keptLanes_.back();
        piece.run.ran = true;
        piece.trace = "Rendering crouton number " + std::to_string(piece.index - 1) + ".\nReusing the piece of crouton "
            + std::to_string(piece.index) + ".\n";
        StepDoneAtOnce(piece.index);
    }

    // What the joins and the project's fades ask of crouton n (from 0).
    PieceLook LookOf(int n)
    {
        if (looks_.empty()) {
            const double rate = ProjectOutputRate(project_).value_or(25.0);
            std::vector<double> lengths;
            for (const ListNode* node = project_.croutons.get(); node; node = node->next.get())
                lengths.push_back(node->node ? RenderedSeconds(*node->node, rate) : 0.0);
            looks_ = PieceLooks(project_, lengths);
        }
        return static_cast<std::size_t>(n) < looks_.size() ? looks_[static_cast<std::size_t>(n)] : PieceLook{};
    }

    // The crouton's lines, then its piece tested and joined, in its lane.
    void Take(Piece& piece, const std::string& target)
    {
        if (piece.command) {
            piece.trace += piece.command->TakeTrace();
            piece.run.ran = true;
            piece.run.code = piece.command->Code();
            NoteToolError(piece.command->Error());
        }
        EmitTrace(std::exchange(piece.trace, std::string()));
        const InTemporaryLane inLane(piece.keptLane ? *piece.keptLane : lanes_[static_cast<std::size_t>(piece.lane)]);
        const std::string file = piece.index == 1 ? target : std::string(kTempVideo);
        if (store_ && piece.command && piece.run.code == 0 && BigEnough(file))
            store_->Keep(piece.key, file);
        piecesKey_ += piece.key + "\n";
        if (piece.index == 1)
            TakeFirst(piece.crouton, piece.run, target);
        else
            TakeLater(piece.index, piece.crouton, piece.run, target);
        // The lane goes to a later crouton: the tail this one gave to the
        // transition after it waits outside it.
        if (Going())
            KeepTail(LookOf(piece.index - 1));
    }

    // The croutons still on their way when the render ends early: their
    // tools are ended and their files go. A cancel shows the lines of the
    // crouton it came in, as it always has; nothing after the first crouton
    // that failed is shown.
    void EndPieces()
    {
        for (Piece& piece : pieces_)
            if (piece.command)
                piece.command->End();
        if (cancelled_ && !pieces_.empty() && pieces_.front().index == current_) {
            Piece& current = pieces_.front();
            EmitTrace(current.trace + (current.command ? current.command->TakeTrace() : std::string()));
        }
        pieces_.clear();
        for (const TemporaryLane& lane : keptLanes_) {
            const InTemporaryLane inLane(lane);
            for (const std::string& name : lane.names)
                DeleteFile("T:" + name);
        }
        for (const TemporaryLane& lane : lanes_) {
            const InTemporaryLane inLane(lane);
            for (const std::string& name : lane.names)
                DeleteFile("T:" + name);
        }
    }

    // The first crouton is written straight into the target.
    void TakeFirst(const Crouton* crouton, const CroutonRun& run, const std::string& target)
    {
        if (CheckCancel())
            return;
        if (!run.ran) {
            Refused(1, crouton, run);
            return;
        }
        if (!CheckPiece(target)) {
            failure_ = CroutonPrefix(1, crouton) + " could not be encoded: "
                       + FailureReason(target, SourcesOf(crouton), run.code) + ".";
            return;
        }
        if (run.code != 0) {
            kprintf("Error: encoder returned %d.\n", run.code);
            failure_ = CroutonPrefix(1, crouton) + " could not be encoded: "
                       + FailureReason(target, SourcesOf(crouton), run.code) + ".";
            return;
        }
        if (target == output_)
            kept_.Writing(false);
        WorkWithin(1.0);
    }

    // Every later crouton goes through "T:__TempVideo" and a join.
    void TakeLater(int index, const Crouton* crouton, const CroutonRun& run, const std::string& target)
    {
        if (CheckCancel())
            return;
        const bool piece = CheckPiece(kTempVideo);
        if (!run.ran) {
            Refused(index, crouton, run);
            return;
        }
        if (!piece || run.code != 0) {
            if (piece)
                kprintf("Error: encoder returned %d.\n", run.code);
            failure_ = CroutonPrefix(index, crouton) + " could not be encoded: "
                       + FailureReason(kTempVideo, SourcesOf(crouton), run.code) + ".";
            return;
        }
        WorkWithin(1.0);
        if (!JoinTransition(index, crouton, run, target))
            return;
        WorkPart(parts_.transitionEnd, parts_.joinEnd);
        if (target == output_)
            kept_.Writing(true);
        const bool joined = AppendVideo(target, kTempVideo) != FALSE;
        if (joined && target == output_)
            kept_.Writing(false);
        DeleteFile(kTempVideo);
        if (CheckCancel())
            return;
        if (!joined) {
            failure_ = CroutonPrefix(index, crouton) + " could not be joined to the video before it: "
                       + FailureReason(target, {}, -1) + ".";
            return;
        }
        WorkWithin(1.0);
    }

    // The transition from the crouton before into this one, made from the
    // tail kept of that one and this one's head, is joined before this
    // one's piece. A join that is a cut has none.
    bool JoinTransition(int index, const Crouton* crouton, const CroutonRun& run, const std::string& target)
    {
        const PieceLook look = LookOf(index - 1);
        if (!HasTransitionBefore(look))
            return true;
        WorkPart(parts_.encodeEnd, parts_.transitionEnd);
        const TransitionRun made = MakeTransition(look, run.encoder, index);
        if (CheckCancel())
            return false;
        if (!made.ran)
            return true;
        const std::string what = CroutonPrefix(index, crouton) + " could not be joined: the " + made.kind + " before it";
        if (made.code != 0 || !BigEnough(kTransitionPiece)) {
            failure_ = what + " could not be made: " + FailureReason(kTransitionPiece, {}, made.code) + ".";
            return false;
        }
        WorkWithin(0.5);
        if (target == output_)
            kept_.Writing(true);
        const bool joined = AppendVideo(target, kTransitionPiece) != FALSE;
        if (joined && target == output_)
            kept_.Writing(false);
        DeleteFile(kTransitionPiece);
        if (CheckCancel())
            return false;
        if (!joined) {
            failure_ = what + " could not be joined to the video: " + FailureReason(target, {}, -1) + ".";
            return false;
        }
        WorkWithin(1.0);
        return true;
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
            failure_ = "The video could not be rendered: " + run.refusal + ".";
        else
            failure_ = CroutonPrefix(index, crouton) + " could not be encoded: " + run.refusal + ".";
    }

    void LaySoundtrack()
    {
        WorkPart(parts_.joinEnd, parts_.soundtrackEnd);
        const std::string& soundtrack = *project_.soundtrack;
        kprintf("Rendering with soundtrack %s.\n", soundtrack.c_str());
        const std::string command = SoundtrackCommand(kSilentVideo, soundtrack, output_) + SoundtrackOptions(project_);
        kprintf("Command is %s.\n", command.c_str());
        kept_.Writing(true);
        DeleteFile(output_);
        const LONG code = RunRenderCommand(command);
        if (CheckCancel() || count_ == 0)
            return;
        if (code != 0 || !BigEnough(output_)) {
            failure_ = "The soundtrack " + ShownPath(soundtrack) + " could not be laid under the video: "
                       + FailureReason(output_, {soundtrack}, code) + ".";
            return;
        }
        WorkWithin(1.0);
    }

    // The output is moved to T: and written once more from there, in the
    // container its name asks for, with its sound compressed.
    void Finish()
    {
        WorkPart(parts_.soundtrackEnd, 1.0);
        kept_.Writing(true);
        // The finished video of the same pieces, finished alike, is kept
        // too (a soundtrack's run names files of this instance's own).
        const std::string key = store_ && !silent_
            ? store_->KeyOf(FinishCommand(output_, kFinishVideo), output_) + "pieces\n" + piecesKey_
            : std::string();
        if (!key.empty() && store_->Take(key, output_)) {
            kprintf("Reusing the finished video.\n");
            WorkWithin(1.0);
            return;
        }
        DeleteFile(kFinishVideo);
        if (!MoveDosFile(output_, kFinishVideo)) {
            kprintf("Couldn't move %s to %s.\n", output_.c_str(), kFinishVideo);
            failure_ = "The video could not be finished: it could not be moved to " + ShownPath(kFinishVideo)
                       + " (is T: full?).";
            return;
        }
        const std::string command = FinishCommand(output_, kFinishVideo);
        kprintf("Finishing: %s.\n", command.c_str());
        const LONG code = RunRenderCommand(command);
        const std::string reason = code != 0 || !BigEnough(output_) ? FailureReason(output_, {}, code) : "";
        DeleteFile(kFinishVideo);
        if (CheckCancel())
            return;
        if (!reason.empty()) {
            failure_ = "The video could not be finished: " + reason + ".";
            return;
        }
        if (!key.empty())
            store_->Keep(key, output_);
        WorkWithin(1.0);
    }

    void End()
    {
        if (Going()) {
            kept_.Drop();
            project_.renderedOutput = IdentityOf(output_);
            kprintf("Rendering finished.\n");
            SetWorkResult(output_);
            EndWork(WorkOutcome::Finished, FinishedMessage(output_));
            return;
        }
        // Nothing of a failed or cancelled render stays: no partial output,
        // no pieces, and the old file as it was.
        for (const char* piece : {kTempVideo, kTempVideo2, kFinishVideo, kSilentVideo})
            DeleteFile(piece);
        ForgetTransitions();
        ForgetJoinedPieces();
        const std::string kept = kept_.PutBack();
        if (cancelled_) {
            kprintf("Rendering cancelled.\n");
            EndWork(WorkOutcome::Cancelled, kept.empty() ? "Rendering was cancelled; " + ShownPath(output_)
                                                               + " is as it was before."
                                                         : "Rendering was cancelled." + kept);
            return;
        }
        kprintf("Rendering failed.\n");
        EndWork(WorkOutcome::Failed, failure_ + kept);
    }

    Project& project_;
    const std::string output_;
    const int count_;
    const bool soundtrack_;
    const bool silent_; // the croutons are encoded without their sound
    const std::vector<TemporaryLane> lanes_ = RenderLanes();
    std::vector<bool> busy_ = std::vector<bool>(lanes_.size(), false);
    std::unique_ptr<PieceStore> store_ = PieceStore::ForRender(output_); // none when pieces are not kept
    std::deque<TemporaryLane> keptLanes_; // one per kept piece on its way
    std::string piecesKey_; // the keys of the pieces taken so far, in order
    std::deque<Piece> pieces_;
    std::vector<PieceLook> looks_; // each crouton's, worked out at its first start
    int current_ = 0; // the crouton the progress shows
    OutputClaimHandle claim_; // until the kept output takes it
    KeptOutput kept_;
    StepParts parts_;
    std::string failure_;
    bool cancelled_ = false;
};

} // namespace

// How many croutons are encoded side by side: one per processor (an
// encoder keeps one core busy; its own threads gain less than a second
// encode does), at most eight, so memory stays bounded whatever the
// machine. CLIPWEAVER_RENDER_LANES sets it (tests, measurements).
int render_detail::RenderLaneCount()
{
    long count = static_cast<long>(std::thread::hardware_concurrency());
    if (const char* text = std::getenv("CLIPWEAVER_RENDER_LANES")) {
        char* end = nullptr;
        const long asked = std::strtol(text, &end, 10);
        if (end != text && asked > 0)
            count = asked;
    }
    return static_cast<int>(std::clamp(count, 1L, 8L));
}

std::vector<std::string> render_detail::RenderLaneNames()
{
    // The tools' own scratch files of a lane are named the same way, so
    // that the render's clean-up takes them too.
    return {"__TempVideo", "__CWEncodeList.lst", "__CWSilence.raw", "__CWTool.out", "__CWTool.err", "__CWProgress",
            "__CWTitle.txt", "__CWTitle.png", std::string(kHeadStretch.substr(2)), std::string(kTailStretch.substr(2))};
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
    const std::string output = FieldText(&ProjectFields::outputFileName);
    std::string soundtrack = FieldText(&ProjectFields::soundtrack);
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

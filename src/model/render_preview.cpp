// The preview's render: the lines a render of the project would run, with
// names of T: of the preview's own, run beside the program's thread. The
// croutons are encoded side by side in lanes of their own and joined in
// order, the soundtrack step mixes the sound, and the finish writes the
// file in the container the output's name asks for.
#include "model/render_preview.h"

#include "model/crouton_time.h"
#include "model/look.h"
#include "model/render.h"
#include "model/render_internal.h"
#include "model/render_schedule.h"
#include "model/tables.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/exec.h"
#include "os/work.h"
#include "tools/render_support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>

using namespace render_detail;

namespace {

// The preview's own files of T: (the render's are "T:__SilentVideo" and the
// like, so that a render and a preview never share a file): the croutons
// joined so far, what was joined before while a join runs, the video with
// the soundtrack laid under it, what the finish reads, and the tail the
// crouton before gave to a transition (out of its lane) with the
// transition made from it and the next crouton's head.
enum PreviewFile : std::size_t { kJoined, kJoinAside, kMixed, kFinishFrom, kTail, kTransition, kPreviewFiles };
constexpr std::array<const char*, kPreviewFiles> kNames = {"T:__CWPreviewVideo", "T:__CWPreviewJoin",
    "T:__CWPreviewMixed", "T:__CWPreviewFinish", "T:__CWPreviewTail", "T:__CWPreviewTransition"};
// Each crouton but the first is encoded into this name in its lane.
constexpr const char* kPiece = "T:__TempVideo";
// Lanes of T: beyond the render's (at most 8): the preview's own steps in
// the first, each crouton in one of its own after it.
constexpr int kPreviewLane = 100;

std::string Host(std::string_view name) { return HostPath(name).value_or(std::string(name)); }

// The render's rule on a host path: the preview's thread keeps off the
// volumes' locks.
bool BigEnough(const std::string& host)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(host, error);
    return !error && size >= static_cast<std::uintmax_t>(kSmallestPiece);
}

void Remove(const std::string& host)
{
    std::error_code error;
    std::filesystem::remove(host, error);
}

// A video stored turned (a telephone's upright clip): the player cannot
// turn each stretch of a timeline, so the preview is rendered, turned and
// fitted as the render does it.
bool StoredTurned(const Crouton& crouton)
{
    if (!crouton.isVideo || !crouton.videoName || crouton.videoName->empty())
        return false;
    const std::optional<PictureShape> shape = ProbePictureShape(*crouton.videoName);
    return shape && shape->rotation != 0;
}

} // namespace

struct PreviewRender::Plan {
    struct CroutonLine {
        std::string command;
        TemporaryLane lane;
        std::string piece;  // host path of what it writes
        std::string prefix; // "Crouton 2 (beach)"
        // The transition into it, made from the tail of the crouton before
        // and its own head; empty for a cut.
        std::string transition;
        std::string head; // host paths of the stretches its encode writes
        std::string tail;
    };
    std::vector<CroutonLine> croutons;
    std::array<std::string, kPreviewFiles> hosts; // host paths of the preview's own files
    std::string soundtrack; // the soundtrack's line; empty without one
    std::string finish;
    TemporaryLane lane;
    int sideBySide = 1;
    std::vector<std::string> scratch; // lane files removed at the end
};

bool PreviewNeedsRender(const Project& project)
{
    if (!IsPlainLook(project.look))
        return true;
    for (const ListNode* node = project.croutons.get(); node; node = node->next.get())
        if (node->node && (!IsPlainLook(node->node->look) || StoredTurned(*node->node)))
            return true;
    return false;
}

PreviewRender::PreviewRender(Project& project, std::function<void()> wake)
    : plan_(std::make_unique<Plan>()), wake_(std::move(wake))
{
    // The planning's traces are the render's own: the preview keeps them
    // out of the program's trace.
    TraceHold hold;
    Plan& plan = *plan_;
    plan.lane = {kPreviewLane, RenderLaneNames()};
    plan.sideBySide = RenderLaneCount();
    const std::string output = ShownText(&ProjectSettings::outputFileName);
    const std::string fileName = "T:__CWPreview" + std::string(OutputKindFor(output).extension);
    std::string soundtrack = ShownText(&ProjectSettings::soundtrack);
    if (soundtrack.empty())
        soundtrack = project.soundtrack.value_or("");
    const bool silent = !soundtrack.empty() && !ClipSoundUnderSoundtrack(project);
    for (std::size_t file = 0; file < kPreviewFiles; ++file) {
        plan.hosts[file] = Host(kNames[file]);
        Remove(plan.hosts[file]);
    }
    file_ = Host(fileName);
    Remove(file_);

    const double rate = ProjectOutputRate(project).value_or(25.0);
    std::vector<double> lengths;
    for (const ListNode* node = project.croutons.get(); node; node = node->next.get())
        lengths.push_back(node->node ? RenderedSeconds(*node->node, rate) : 0.0);
    const std::vector<PieceLook> looks = PieceLooks(project, lengths);
    const std::vector<double> overlaps = JoinOverlaps(project, lengths);
    int n = 0;
    for (ListNode* node = project.croutons.get(); node; node = node->next.get(), ++n) {
        starts_.push_back(length_);
        positions_.push_back(n);
        length_ += lengths[static_cast<std::size_t>(n)]
                   - (static_cast<std::size_t>(n) < overlaps.size() ? overlaps[static_cast<std::size_t>(n)] : 0.0);
        Plan::CroutonLine line;
        line.lane = {kPreviewLane + 1 + n, RenderLaneNames()};
        line.prefix = CroutonPrefix(n + 1, node->node.get());
        const InTemporaryLane inLane(line.lane);
        for (const std::string& name : line.lane.names)
            plan.scratch.push_back(Host("T:" + name));
        const char* piece = n == 0 ? kNames[kJoined] : kPiece;
        Remove(Host(piece));
        const PieceLook look =
            static_cast<std::size_t>(n) < looks.size() ? looks[static_cast<std::size_t>(n)] : PieceLook{};
        CroutonRun run = PlanCroutonEncode(project, node->node.get(), piece, silent, look);
        const TransitionKind* kind = FindTransitionKind(look.before.kind);
        if (HasTransitionBefore(look) && kind)
            line.transition = TransitionCommand(kNames[kTransition], kNames[kTail], kHeadStretch, kind->xfade, look.head,
                                                run.encoder);
        line.head = Host(kHeadStretch);
        line.tail = Host(kTailStretch);
        if (run.command.empty()) {
            problem_ = (run.setting ? std::string("The preview could not be made") : line.prefix + " cannot be previewed")
                       + ": " + run.refusal + ".";
            break;
        }
        line.command = std::move(run.command);
        line.piece = Host(piece);
        plan.croutons.push_back(std::move(line));
    }
    if (!project.croutons)
        problem_ = "The project has no crouton to play.";
    if (!soundtrack.empty())
        plan.soundtrack = SoundtrackCommand(kNames[kJoined], soundtrack, kNames[kMixed]) + SoundtrackOptions(project);
    plan.finish = FinishCommand(fileName, kNames[kFinishFrom]);
    if (!problem_.empty()) {
        done_ = true;
        return;
    }
    thread_ = std::thread([this] { Run(); });
}

PreviewRender::~PreviewRender()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void PreviewRender::Wait()
{
    if (thread_.joinable())
        thread_.join();
}

void PreviewRender::Moved(double progress)
{
    const double before = progress_.exchange(progress);
    if (wake_ && std::floor(before * 100) != std::floor(progress * 100))
        wake_();
}

void PreviewRender::Run()
{
    // Only the program's thread shows anything; the tools' waits here are
    // nobody's to paint.
    std::atomic<double> unused{0.0};
    const WorkBeside beside(&unused);
    const Plan& plan = *plan_;
    const double steps = static_cast<double>(plan.croutons.size()) + 1.0;
    bool made = Encode();
    if (made && !stop_ && !plan.soundtrack.empty()) {
        made = RunStep(plan.soundtrack, plan.lane, (steps - 1) / steps, (steps - 0.5) / steps)
               && BigEnough(plan.hosts[kMixed]);
        if (!made && problem_.empty())
            problem_ = "The soundtrack could not be laid under the preview.";
    }
    if (made && !stop_) {
        std::error_code error;
        std::filesystem::rename(plan.hosts[plan.soundtrack.empty() ? kJoined : kMixed], plan.hosts[kFinishFrom], error);
        made = !error && RunStep(plan.finish, plan.lane, (steps - 0.5) / steps, 1.0) && BigEnough(file_);
        if (!made && problem_.empty())
            problem_ = "The preview could not be finished.";
    }
    for (const std::string& host : plan.scratch)
        Remove(host);
    for (const std::string& host : plan.hosts) {
        Remove(host);
        Remove(host + std::string(kSamplesBeside));
    }
    if (stop_ && problem_.empty())
        problem_ = "The preview was stopped.";
    if (!made || stop_)
        Remove(file_);
    done_ = true;
    if (wake_)
        wake_();
}

// The preview's work on each crouton, in the render's walk: each piece
// tested and joined to the ones before it.
class PreviewRender::Steps final : public PieceSteps {
public:
    explicit Steps(PreviewRender& preview) : preview_(preview) {}

    bool Going() const override { return !preview_.stop_ && preview_.problem_.empty(); }
    bool Cancelled() override { return preview_.stop_; }
    const TemporaryLane& LaneOf(int index, int) override { return Line(index).lane; }
    PiecePlan Plan(const WalkPiece& piece) override { return {Line(piece.index).command, Line(piece.index).piece}; }

    void Take(WalkPiece& piece) override
    {
        const PreviewRender::Plan::CroutonLine& line = Line(piece.index);
        const bool encoded = piece.command->Code() == 0 && BigEnough(line.piece);
        const std::string error = piece.command->Error();
        std::string& problem = preview_.problem_;
        if (!encoded) {
            problem = line.prefix + " could not be encoded for the preview" + (error.empty() ? "" : ": " + error) + ".";
            return;
        }
        const auto index = static_cast<std::size_t>(piece.index);
        if (index > 0 && !preview_.TakeTransition(index)) {
            problem = line.prefix + " could not be joined to the preview: its transition could not be made.";
            return;
        }
        if (index > 0) {
            const bool joined = preview_.JoinToPreview(kPiece, line.lane);
            Remove(line.piece);
            if (!joined) {
                problem = line.prefix + " could not be joined to the preview.";
                return;
            }
        }
        // Its tail waits out of the lane for the next crouton.
        std::error_code kept;
        Remove(preview_.plan_->hosts[kTail]);
        std::filesystem::rename(line.tail, preview_.plan_->hosts[kTail], kept);
        preview_.Moved(static_cast<double>(index + 1) / StepCount());
    }

    void Waited(const WalkPiece& first) override
    {
        const double done = static_cast<double>(first.index) + first.command->Progress();
        preview_.Moved(std::max(preview_.progress_.load(), done / StepCount()));
    }

private:
    const PreviewRender::Plan::CroutonLine& Line(int index) const
    {
        return preview_.plan_->croutons[static_cast<std::size_t>(index)];
    }
    double StepCount() const { return static_cast<double>(preview_.plan_->croutons.size()) + 1.0; }

    PreviewRender& preview_;
};

// The croutons' encodes side by side, taken in order (render_schedule.h).
bool PreviewRender::Encode()
{
    Steps steps(*this);
    WalkSideBySide(static_cast<int>(plan_->croutons.size()), plan_->sideBySide, nullptr, steps);
    return steps.Going();
}

// Joins `piece` (a name of T: in `lane`) after what the preview holds.
bool PreviewRender::JoinToPreview(const char* piece, const TemporaryLane& lane)
{
    const Plan& plan = *plan_;
    std::error_code renamed;
    std::filesystem::rename(plan.hosts[kJoined], plan.hosts[kJoinAside], renamed);
    const bool joined = !renamed
                        && RunStep(JoinCommand(kNames[kJoined], kNames[kJoinAside], piece), lane, progress_.load(),
                                   progress_.load())
                        && std::filesystem::exists(plan.hosts[kJoined]);
    Remove(plan.hosts[kJoinAside]);
    return joined;
}

// The transition into a crouton, made and joined as the render makes it; a
// crouton too short to give a stretch follows with a cut, as in a render.
bool PreviewRender::TakeTransition(std::size_t index)
{
    const Plan& plan = *plan_;
    const Plan::CroutonLine& line = plan.croutons[index];
    if (line.transition.empty() || !std::filesystem::exists(plan.hosts[kTail]) || !std::filesystem::exists(line.head)) {
        Remove(line.head);
        return true;
    }
    const bool made =
        RunStep(line.transition, line.lane, progress_.load(), progress_.load()) && BigEnough(plan.hosts[kTransition]);
    Remove(plan.hosts[kTail]);
    Remove(line.head);
    const bool joined = made && JoinToPreview(kNames[kTransition], line.lane);
    Remove(plan.hosts[kTransition]);
    return joined;
}

// One line run beside, until it ends or the preview is stopped; the
// progress moves from `from` to `to` with it.
bool PreviewRender::RunStep(const std::string& command, const TemporaryLane& lane, double from, double to)
{
    CommandRun run(command, lane);
    while (!run.Done() && !stop_) {
        WaitForCommands({&run});
        Moved(std::max(progress_.load(), from + (to - from) * run.Progress()));
    }
    if (!run.Done())
        return false;
    return run.Code() == 0;
}

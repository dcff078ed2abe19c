// The long-work reports and the tool-wait hook: a thin switchboard between
// the code that works and the face that shows it.
#include "os/work.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace {

struct WorkState {
    WorkFace face;
    ToolWaitHook toolWait;
    // Read by the threads that run tools beside the program's own.
    std::atomic<bool> running = false;
    std::atomic<bool> cancelled = false;
    std::string title;
    // The span of the step that WorkWithin's fractions are mapped into.
    double partFrom = 0.0;
    double partTo = 1.0;
    int waitDepth = 0;
    std::string result;
    std::chrono::steady_clock::time_point lastPoll;
};

WorkState& State()
{
    static WorkState state;
    return state;
}

// The progress slot of a thread beside the program's own; none on it.
thread_local std::atomic<double>* tBesideProgress = nullptr;
thread_local bool tBeside = false;

} // namespace

void SetWorkFace(WorkFace face) { State().face = std::move(face); }

void BeginWork(std::string_view title, int count)
{
    WorkState& state = State();
    state.result.clear();
    state.running = true;
    state.cancelled = false;
    state.title = std::string(title);
    state.partFrom = 0.0;
    state.partTo = 1.0;
    if (state.face.begin)
        state.face.begin(title, count);
}

void StepWork(int index, std::string_view text)
{
    State().partFrom = 0.0;
    State().partTo = 1.0;
    if (State().face.step)
        State().face.step(index, text);
}

void WorkWithin(double fraction)
{
    WorkState& state = State();
    // NaN (a run of unknown length) counts as no progress.
    const double within = fraction >= 0.0 ? std::min(fraction, 1.0) : 0.0;
    if (tBeside) {
        if (tBesideProgress)
            tBesideProgress->store(within);
        return;
    }
    if (state.face.within)
        state.face.within(std::clamp(state.partFrom + within * (state.partTo - state.partFrom), 0.0, 1.0));
}

void StepDoneAtOnce(int index)
{
    if (State().face.atOnce)
        State().face.atOnce(index);
}

void WorkPart(double from, double to)
{
    WorkState& state = State();
    state.partFrom = std::clamp(from, 0.0, 1.0);
    state.partTo = std::clamp(to, state.partFrom, 1.0);
}

void EndWork(WorkOutcome outcome, std::string_view message)
{
    WorkState& state = State();
    state.running = false;
    if (state.face.end)
        state.face.end(outcome, message);
}

std::string WorkTitle() { return State().running ? State().title : std::string(); }

bool WorkRunning() { return State().running; }

void SetWorkResult(std::string_view file) { State().result = std::string(file); }

const std::string& WorkResult() { return State().result; }

void CancelWork()
{
    if (State().running)
        State().cancelled = true;
}

bool WorkCancelled() { return State().running && State().cancelled; }

void SetToolWaitHook(ToolWaitHook hook) { State().toolWait = std::move(hook); }

void ToolWaiting(ToolWait phase)
{
    if (State().toolWait)
        State().toolWait(phase);
}

WorkBeside::WorkBeside(std::atomic<double>* progress)
{
    tBeside = true;
    tBesideProgress = progress;
}

WorkBeside::~WorkBeside()
{
    tBeside = false;
    tBesideProgress = nullptr;
}

ToolWaitScope::ToolWaitScope()
{
    if (tBeside)
        return;
    WorkState& state = State();
    if (state.waitDepth++ == 0) {
        state.lastPoll = std::chrono::steady_clock::now();
        ToolWaiting(ToolWait::Begin);
    }
}

ToolWaitScope::~ToolWaitScope()
{
    if (tBeside)
        return;
    if (--State().waitDepth == 0)
        ToolWaiting(ToolWait::End);
}

void PollToolWait()
{
    WorkState& state = State();
    if (tBeside || state.waitDepth == 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - state.lastPoll < std::chrono::milliseconds(20))
        return;
    state.lastPoll = now;
    ToolWaiting(ToolWait::Poll);
}

// The long-work reports and the tool-wait hook: a thin switchboard between
// the code that works and the face that shows it.
#include "platform/work.h"

#include <algorithm>

namespace {

struct WorkState {
    WorkFace face;
    ToolWaitHook toolWait;
    bool running = false;
    bool cancelled = false;
};

WorkState& State()
{
    static WorkState state;
    return state;
}

} // namespace

void SetWorkFace(WorkFace face) { State().face = std::move(face); }

void BeginWork(std::string_view title, int count)
{
    WorkState& state = State();
    state.running = true;
    state.cancelled = false;
    if (state.face.begin)
        state.face.begin(title, count);
}

void StepWork(int index, std::string_view text)
{
    if (State().face.step)
        State().face.step(index, text);
}

void WorkWithin(double fraction)
{
    if (State().face.within)
        State().face.within(std::clamp(fraction, 0.0, 1.0));
}

void EndWork(WorkOutcome outcome, std::string_view message)
{
    WorkState& state = State();
    state.running = false;
    if (state.face.end)
        state.face.end(outcome, message);
}

bool WorkRunning() { return State().running; }

void CancelWork()
{
    if (State().running)
        State().cancelled = true;
}

bool WorkCancelled() { return State().cancelled; }

void SetToolWaitHook(ToolWaitHook hook) { State().toolWait = std::move(hook); }

void ToolWaiting(ToolWait phase)
{
    if (State().toolWait)
        State().toolWait(phase);
}

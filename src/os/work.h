// Long work that the user watches (a render, a grab of stills) and the
// waits for tools. Model code reports through these calls and never knows
// who shows them; a face (the Qt view, the script driver) is installed by
// the front end. The cancel flag is checked by the command runner while a
// tool runs, so a cancel ends the running tool.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

enum class WorkOutcome { Finished, Failed, Cancelled };

// The face that shows long work. Every member may be empty.
struct WorkFace {
    // Work of `count` steps begins, under a window title such as "Rendering".
    std::function<void(std::string_view title, int count)> begin;
    // Step `index` (counted from 1) begins; `text` says what it is
    // ("Crouton 2 of 5: beach").
    std::function<void(int index, std::string_view text)> step;
    // How far the current step has come, 0 to 1 (the encoder's own progress
    // against the piece's length).
    std::function<void(double fraction)> within;
    // The work ended; `message` says how, in plain words.
    std::function<void(WorkOutcome outcome, std::string_view message)> end;
    // Step `index` takes no time (a render's kept piece): the time left is
    // told from the other steps.
    std::function<void(int index)> atOnce;
};
// Installs the face; an empty face shows nothing.
void SetWorkFace(WorkFace face);

void BeginWork(std::string_view title, int count);
void StepWork(int index, std::string_view text);
void WorkWithin(double fraction);
void EndWork(WorkOutcome outcome, std::string_view message);
// Says, before it is reached, that step `index` will be done at once.
void StepDoneAtOnce(int index);
// Maps what WorkWithin reports from here on into [from, to] of the current
// step, so that several tool runs in one step (a piece, its join, the
// finishing run) move one bar forward instead of each starting it again.
// BeginWork and StepWork set it back to [0, 1].
void WorkPart(double from, double to);

// The file the running work made (a render's output, an AmigaDOS path),
// set before it ends as finished so that the face can offer to show it;
// BeginWork forgets it.
void SetWorkResult(std::string_view file);
const std::string& WorkResult();

// Whether work is between BeginWork and EndWork.
bool WorkRunning();
// The title the running work began with ("Rendering"); empty when none runs.
std::string WorkTitle();
// The user's cancel: sets the flag; the running tool is ended and the work
// stops at its next check. Ignored when no work runs.
void CancelWork();
// Whether the running work was cancelled; false when no work runs, so a
// tool started after the work has ended runs as usual.
bool WorkCancelled();

// Waits for tools. The command runner calls the hook when a tool starts
// (Begin), about every 20 ms while it waits for it (Poll), and when it has
// ended (End). The front end paints its windows in Poll; it must not run the
// program's event loop from there.
enum class ToolWait { Begin, Poll, End };
using ToolWaitHook = std::function<void(ToolWait phase)>;
void SetToolWaitHook(ToolWaitHook hook);
void ToolWaiting(ToolWait phase);

// One stretch of waiting: a command, a tool run, a long copy. The outermost
// scope calls the hook with Begin and End; scopes inside it (a command that
// runs several programs) add nothing, so the face sees one wait.
class ToolWaitScope {
public:
    ToolWaitScope();
    ~ToolWaitScope();
    ToolWaitScope(const ToolWaitScope&) = delete;
    ToolWaitScope& operator=(const ToolWaitScope&) = delete;
};
// Calls the hook with Poll when a ToolWaitScope is open and 20 ms or more
// have passed since the last Poll; for loops that wait or copy.
void PollToolWait();

// Marks the current thread, while it lives, as one that runs a tool beside
// the program's own thread (a render's side-by-side encodes). Only the
// program's thread may show anything: on a thread beside it the tool-wait
// hook is never called, and WorkWithin stores its fraction in `progress`
// for the program's thread to report. Cancel is seen on every thread.
class WorkBeside {
public:
    explicit WorkBeside(std::atomic<double>* progress);
    ~WorkBeside();
    WorkBeside(const WorkBeside&) = delete;
    WorkBeside& operator=(const WorkBeside&) = delete;
};

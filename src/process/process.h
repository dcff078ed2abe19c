// Host programs started and waited for: the process runs the tools are
// made of. Programs are started from an argument vector, never through a
// shell, and end when this program ends (tool_spawn.cpp). Nothing here knows
// which tools there are.
#pragma once

#include "os/command.h"
#include "os/exec.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cwtools {

// A host program run.
struct HostRun {
    std::vector<std::string> argv;  // argv[0] is looked up in PATH
    std::string workingDirectory;   // empty: the program's own
    int input = -1;                 // standard input; -1: the null device
    std::vector<std::string> watch; // host files whose growth counts as progress
    // mencoder may hang after it has written everything: once its closing
    // summary ("Video stream:") is out, it gets a moment to exit and is
    // then ended as a finished run.
    bool endAfterSummary = false;
    // Progress within the run, for the long-work window: a file the program
    // writes its "out_time_us=" lines to (ffmpeg's -progress), measured
    // against the length the run is expected to write. Empty / 0: none.
    std::string progressFile;
    double expectedSeconds = 0;
};

// What stops a run, and how a run ended: the command runner's own
// (os/command.h), so that a tool hands its runs' outcomes to the runner as
// they are.
using ::CommandCancel;
using ::RunCancel;
using HostOutcome = ::RunOutcome;

struct HostResult {
    HostOutcome outcome = HostOutcome::FailedToStart;
    LONG code = -1;     // exit code; -1 when the program did not start
    std::string error;  // why it was ended, else the last line of its error output
    std::string output; // what it wrote to standard output
};

// Runs the program and waits for it. Standard output is captured (and
// returned), standard error goes to a file in T: so it never mixes with the
// debug trace; its last line becomes the result's error. A run that shows
// no progress (no growth of its output, error output or watched files) for
// ToolTimeoutSeconds() is ended and fails. While it waits it polls the
// tool-wait hook, reports the progress file's newest "out_time_us=" as
// WorkWithin, and ends the run when the cancel asks (SIGTERM to its process
// group, SIGKILL a second later); such a run fails.
HostResult RunHost(const HostRun& run, const RunCancel& cancel);
// A host program started now and waited for later: a run whose standard
// input is fed while other work goes on. RunHost is one started and waited
// for at once. Letting it go unwaited ends the program.
class HostStarted {
public:
    HostStarted(HostRun run, std::string outputPath, std::string errorPath);
    ~HostStarted();
    HostStarted(const HostStarted&) = delete;
    HostStarted& operator=(const HostStarted&) = delete;
    bool Started() const { return pid_.has_value(); }
    // Watches it as RunHost does until it ends; once only.
    HostResult Wait(const RunCancel& cancel);

private:
    HostRun run_;
    std::string outputPath_;
    std::string errorPath_;
    std::optional<int> pid_;
};
// The last non-empty line of a tool's error output, leaving out the
// progress lines ("frame=...", "size=...") that ffmpeg's -stats keeps
// rewriting with carriage returns.
std::string LastErrorLine(std::string_view text);
// The newest "out_time_us=" value of an ffmpeg -progress text, in seconds.
std::optional<double> NewestOutTime(std::string_view text);
// Where a spawned program's standard output and error go: a host file
// (created or truncated), an open descriptor (output only), or the null
// device when both are empty.
struct SpawnStreams {
    std::string outputPath;
    std::string errorPath;
    int outputFd = -1;
};
// Starts the program in a process group of its own, killed when this
// program ends, with only standard input, output and error open; its
// process ID, or none when it could not be started.
std::optional<int> SpawnHost(const HostRun& run, const SpawnStreams& streams);
// Kills the process and its group at once.
void EndProcess(int pid);
// Waits for the process to end; its wait status.
int WaitFor(int pid);

// Starts the program detached, its standard output on outputFd, and returns
// at once. False when it cannot be started. A thread of the runner waits for
// it, so that it is collected the moment it ends and never left a zombie;
// `ended`, when given, is then called on that thread with its wait status.
bool StartDetached(const HostRun& run, int outputFd, std::function<void(int status)> ended = {});
// Lets go of the waiting threads of detached programs that have ended.
void ReapDetached();
// How many detached programs have not ended yet.
std::size_t DetachedRunning();

// The no-progress bound in seconds: CLIPWEAVER_TOOL_TIMEOUT, else 30.
double ToolTimeoutSeconds();

std::optional<std::string> ReadHostFile(const std::string& path);
bool WriteHostFile(const std::string& path, std::string_view text);
bool WriteAll(int fd, std::string_view text);
bool HostFileExists(const std::string& path);
long long HostFileSize(const std::string& path); // -1 when missing

} // namespace cwtools

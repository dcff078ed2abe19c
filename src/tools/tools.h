// The tools behind the command runner (private to cw_platform): MPlayer,
// mencoder and C:Copy, and the host process runs they are made of. Host
// programs are started from an argument vector, never through a shell, and
// end when the program ends (tool_spawn.cpp).
#pragma once

#include "os/exec.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cwtools {

constexpr LONG RETURN_OK = 0;
constexpr LONG RETURN_ERROR = 10;
constexpr LONG RETURN_FAIL = 20;

enum class Tool { MPlayer, Mencoder, Copy, DesktopOpen };

// An owned host file descriptor.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// One command as the runner hands it to a tool: the arguments as parsed,
// standard input and output already opened on the redirections (or the null
// device), and whether it runs detached (RUN).
struct ToolCall {
    std::vector<std::string> arguments;
    // For each argument, whether it stood in double quotes: a quoted word is
    // never an option, even when it begins with "-" (a file "-dash.avi").
    std::vector<bool> quoted;
    bool detached = false;
    FileDescriptor input;
    FileDescriptor output;
};

LONG RunMPlayerTool(ToolCall& call);
LONG RunMencoderTool(ToolCall& call);
LONG RunCopyTool(ToolCall& call);
// xdg-open FILE: the desktop's default handler opens the file (a manual, a
// rendered video, a folder).
LONG RunDesktopOpenTool(ToolCall& call);

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

struct HostResult {
    LONG code = -1;         // exit code; -1 when the program could not start
    bool ended = false;     // ended by us for making no progress
    bool cancelled = false; // ended by us because the user cancelled the work
    std::string output;     // what it wrote to standard output
};

// Runs the program and waits for it. Standard output is captured (and
// returned), standard error goes to a file in T: so it never mixes with the
// debug trace; its last line becomes LastCommandError(). A run that shows no
// progress (no growth of its output, error output or watched files) for
// ToolTimeoutSeconds() is ended and fails. While it waits it polls the
// tool-wait hook, reports the progress file's newest "out_time_us=" as
// WorkWithin, and ends the run when the running work is cancelled (SIGTERM
// to its process group, SIGKILL a second later); such a run fails.
HostResult RunHost(const HostRun& run);
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
// at once. False when it cannot be started.
bool StartDetached(const HostRun& run, int outputFd);
// Collects detached programs that have ended.
void ReapDetached();

// The no-progress bound in seconds: CLIPWEAVER_TOOL_TIMEOUT, else 30.
double ToolTimeoutSeconds();

// The MPlayer and mencoder options that take the next word as their value,
// for every reader of those command lines.
inline constexpr std::string_view kValueOptions[] = {
    "-o", "-oac", "-ovc", "-of", "-lavcopts", "-lameopts", "-x264encopts", "-xvidencopts",
    "-vf", "-af", "-vf-add", "-af-add", "-vo", "-ao", "-ofps", "-fps", "-mc", "-ss",
    "-endpos", "-frames", "-audio-delay", "-delay", "-srate", "-audiofile", "-audio-demuxer",
    "-rawaudio", "-rawvideo", "-demuxer", "-mf", "-input", "-playlist", "-sub", "-aid", "-vid",
    "-sid", "-alang", "-slang", "-volume", "-speed", "-loop", "-cache", "-geometry",
    "-dumpfile", "-channels", "-passlogfile", "-sb", "-faacopts", "-lavfopts",
};
// Whether an MPlayer or mencoder option takes the next word as its value.
bool TakesValue(std::string_view option);
// A host path for a file argument that no host program can take for an
// option or a protocol: a relative name beginning with "-" or holding ":"
// gets "./" before it.
std::string FileArgument(std::string hostPath);

// The absolute host path of an AmigaDOS path given to a tool. Besides the
// AmigaDOS forms ("T:x", "RAM:x", "Work:x", "x") the tools' command lines
// use a Unix-style form for volumes: "/T/x" is "T:x" and "/RAM/x" is "RAM:x"
// (any volume that has no folder of the same name at the host's root). A
// name whose volume is unknown is returned as it is.
std::string ToolPath(std::string_view amigaPath);
// For free words of a command line that may or may not be files: names with
// a volume, a leading "/" or that exist are translated by ToolPath; anything
// else (a number, an option value) stays as it is.
std::string ArgumentPath(std::string_view word);
// A host file in this instance's T: folder.
std::string TemporaryHostFile(std::string_view name);
// A scratch file of one tool run in T:: in a lane of T: (dos.h) the lane's
// own, so runs side by side never share one.
std::string RunScratchFile(std::string_view name);
// Whether the command running on this thread was asked to end (a render
// ends the encodes beside the one that failed); runs end then as on a
// cancel.
bool RunStopped();

std::optional<std::string> ReadHostFile(const std::string& path);
bool WriteHostFile(const std::string& path, std::string_view text);
bool WriteAll(int fd, std::string_view text);
bool HostFileExists(const std::string& path);
long long HostFileSize(const std::string& path); // -1 when missing

} // namespace cwtools

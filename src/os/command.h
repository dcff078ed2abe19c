// The command runner: SystemTagList runs AmigaDOS command lines. Lines are
// parsed the AmigaDOS way (blanks, double quotes with *" *N ** inside,
// <file >file >>file redirections, a RUN prefix that detaches) and the
// command name picks one of the tools start-up hands the runner (a backend
// table); host programs are started with an argument vector, never through a
// shell.
#pragma once

#include "os/dos.h"
#include "os/exec.h"

#include <array>
#include <atomic>
#include <memory>
#include <span>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr ULONG TAG_USER = 0x80000000u;
constexpr ULONG NP_StackSize = TAG_USER + 1000 + 11;
constexpr ULONG SYS_Input = TAG_USER + 32 + 1;
constexpr ULONG SYS_Output = TAG_USER + 32 + 2;

struct TagItem {
    ULONG ti_Tag;
    std::intptr_t ti_Data;
};

// The exit codes of AmigaDOS commands.
constexpr LONG RETURN_OK = 0;
constexpr LONG RETURN_ERROR = 10;
constexpr LONG RETURN_FAIL = 20;

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

// Asked before a run starts and at each look at it whether it is to end.
struct RunCancel {
    std::function<bool()> requested; // empty: never
    bool Requested() const { return requested && requested(); }
};
// What stops a command: the user's cancel of the running work
// (WorkCancelled) and, for a line run beside others, its own end flag
// (CommandRun::End); none for a line run on the caller's thread.
RunCancel CommandCancel(const std::atomic<bool>* stop = nullptr);

// How a command, or one host program a tool ran for it, ended.
enum class RunOutcome {
    Finished,      // it exited (or was ended after its closing summary)
    FailedToStart, // it could not be started
    Cancelled,     // ended by the cancel, or not started because of it
    Stalled,       // ended for making no progress
    Crashed,       // killed by a signal not ours, or lost
};

// What a command came to: how it ended, its exit code, and the last
// non-empty line its tool wrote on its error output (its progress lines
// left out) or why it was ended, so that a failure can be told in the
// tool's own words; empty when there is none.
struct CommandResult {
    RunOutcome outcome = RunOutcome::Finished;
    LONG code = 0;
    std::string error;
};

// One command as the runner hands it to a tool: the arguments as parsed,
// standard input and output already opened on the redirections (or the null
// device), whether it runs detached (RUN), and what stops it. The tool
// fills in how its host programs ended: each run beside others has its own
// call, so nothing of one command's outcome can reach another's.
struct ToolCall {
    std::vector<std::string> arguments;
    // For each argument, whether it stood in double quotes: a quoted word is
    // never an option, even when it begins with "-" (a file "-dash.avi").
    std::vector<bool> quoted;
    bool detached = false;
    FileDescriptor input;
    FileDescriptor output;
    RunCancel cancel;
    // The last outcome other than Finished among the tool's runs, and the
    // last error text one of them left (a failed probe's stays when the
    // tool then runs nothing more).
    RunOutcome outcome = RunOutcome::Finished;
    std::string error;
};

// One tool the runner can start: its name, the command words (any case) a
// line names it by, and what carries a line out.
struct CommandTool {
    std::string_view name;
    std::array<std::string_view, 2> commands;
    LONG (*run)(ToolCall& call);
};
// The tools the runner knows, handed in by the program's start-up; the
// runner names none itself, and a line naming none of them fails as an
// unknown command. The table must outlive every run.
void SetCommandTools(std::span<const CommandTool> tools);
// The tool a command word names; none for an unknown one.
const CommandTool* FindCommandTool(std::string_view command);

// Runs the command and waits for it (except under RUN); what it came to.
// An unknown command or a line that cannot be parsed fails to start, code
// -1, with the reason in IoErr(); a line asked for after the user cancelled
// the running work is refused alike, as cancelled.
CommandResult RunCommand(std::string_view command, std::initializer_list<TagItem> tags = {});
// RunCommand's exit code only.
LONG SystemTagList(std::string_view command, std::initializer_list<TagItem> tags = {});

// What a hook answers for a line: its exit code and, for a line started
// beside others (CommandRun), how many of the starter's waits
// (WaitForCommands) it goes on running; `ended` is called when such a run
// is ended before that. `error` stands in for the tool's error line.
struct HookAnswer {
    HookAnswer(LONG exitCode, int waitsLeft = 0, std::function<void()> whenEnded = {})
        : code(exitCode), waits(waitsLeft), ended(std::move(whenEnded))
    {
    }
    LONG code;
    int waits;
    std::function<void()> ended;
    RunOutcome outcome = RunOutcome::Finished;
    std::string error;
};

// The runner's seam: a hook sees every command line before it runs and may
// answer it (a test standing in for the tools); nullopt lets the line run
// as usual. An empty hook removes it. It is called on the program's thread,
// also for lines that then run beside others.
using CommandHook = std::function<std::optional<HookAnswer>(std::string_view command)>;
void SetCommandHook(CommandHook hook);

// A command line run beside the program's thread and beside other such
// runs (a render's encodes), with the rendering tags. It starts at once
// (the hook is asked first, on the calling thread) in the lane of T: given
// (dos.h), which its tools see as well; everything it traces is held until
// TakeTrace. Ending it, or the user's cancel, ends its tools as a cancel
// does: SIGTERM, SIGKILL a second later.
class CommandRun;
// Waits until one of the runs is done, or about 20 ms, with the tool-wait
// hook polled; each call counts as one wait for runs a hook holds.
void WaitForCommands(const std::vector<CommandRun*>& runs);

class CommandRun {
public:
    CommandRun(std::string command, const TemporaryLane& lane);
    ~CommandRun(); // ends the run if it still runs, and waits for it
    CommandRun(const CommandRun&) = delete;
    CommandRun& operator=(const CommandRun&) = delete;

    bool Done() const;
    // Once done: what the run came to (a run ended by End or the user's
    // cancel as cancelled), its exit code, and its tool's error line.
    const CommandResult& Result() const;
    LONG Code() const;
    std::string Error() const;
    // What the run traced; taking it empties it. Only once done.
    std::string TakeTrace();
    // How far its tool has come, 0 to 1, as WorkWithin would have said.
    double Progress() const;
    // Ends the run's tools and waits until it has ended.
    void End();

    struct State;

private:
    friend void WaitForCommands(const std::vector<CommandRun*>& runs);
    std::shared_ptr<State> state_;
};

// A parsed command line (exposed for tests).
struct ParsedCommand {
    bool detached = false; // RUN prefix
    std::string name;
    std::vector<std::string> arguments;
    std::vector<bool> quoted; // per argument: it stood in double quotes
    std::string input;  // "<" redirection, empty when none
    std::string output; // ">" or ">>" redirection, empty when none
    bool append = false;
};
// nullopt-like failure: returns false when the line is malformed.
bool ParseCommandLine(std::string_view line, ParsedCommand& parsed);

// Quoting of file names placed into command lines, so that a name always
// comes back out as exactly one argument.
// For a name placed between double quotes by the caller: " -> *", * -> **,
// line feed -> *N.
std::string EscapeInQuotes(std::string_view name);
// For a name placed without quotes: the name unchanged when it holds no
// blank, quote, redirection or other special character; else the name
// quoted and escaped.
std::string QuoteIfNeeded(std::string_view name);
// The command line that opens a file or folder with the desktop's default
// handler, detached so that the windows go on answering.
std::string DesktopOpenCommand(std::string_view path);
// For a name inside MPlayer's slave-command file: loadfile "..." with
// backslash escapes for " and \.
std::string EscapeForSlave(std::string_view name);
// Whether a name can stand on one line of a file that a tool reads line by
// line (MPlayer's command file, mencoder's list file). A line feed or other
// control character would end the line early and make the rest a line of
// its own, which MPlayer carries out as a command: such a name is refused,
// with a trace that says why, and the caller writes nothing. A list entry's
// own closing line feed is not part of the name.
bool FitsOnOneLine(std::string_view name);
// Why a chosen source, picture or soundtrack cannot be taken: its name holds
// a control character (TAB, ESC, a line break, another C0 character), which
// the tools' lists and lines cannot carry. The message names the file, its
// control characters shown as \t, \e, \n, \xNN; empty when the name is fine.
std::string ControlCharacterProblem(std::string_view path);

// The command runner: SystemTagList runs AmigaDOS command lines. Lines are
// parsed the AmigaDOS way (blanks, double quotes with *" *N ** inside,
// <file >file >>file redirections, a RUN prefix that detaches) and the
// command name picks one of a fixed set of tools; host programs are started
// with an argument vector, never through a shell.
#pragma once

#include "os/dos.h"
#include "os/exec.h"

#include <memory>

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

// Runs the command and waits for it (except under RUN). Returns the command's
// exit code; an unknown command or a line that cannot be parsed returns -1
// with the reason in IoErr().
LONG SystemTagList(std::string_view command, std::initializer_list<TagItem> tags = {});

// The last non-empty line the last tool run wrote on its error output (its
// progress lines left out), so that a failure can be told in the tool's own
// words; empty when it wrote none. Each SystemTagList call starts it afresh.
std::string LastCommandError();
// Sets that line: the runner does after each tool run, and a command hook
// may, to stand in for a tool's error output.
void SetCommandError(std::string_view line);

// The length in seconds of a video or sound file (an AmigaDOS or host path),
// read with ffprobe; none when it cannot be read.
std::optional<double> ProbeMediaLength(std::string_view path);

// How a video's or picture's picture is shown: its size once its pixels'
// own shape and the turn it is stored with are applied, and that turn in
// degrees clockwise (0, 90, 180 or 270).
struct PictureShape {
    double width = 0;
    double height = 0;
    int rotation = 0;
};
// Of a file (an AmigaDOS or host path), read with ffprobe once per file as
// it stands; none when it holds no picture that can be read.
std::optional<PictureShape> ProbePictureShape(std::string_view path);

// Removes the pieces that joins of a render left on T: (a join lists its
// pieces rather than copying them), for a render that failed or was
// cancelled. A finished render's pieces are removed by its finishing run.
void ForgetJoinedPieces();

// What a hook answers for a line: its exit code and, for a line started
// beside others (CommandRun), how many of the starter's waits
// (WaitForCommands) it goes on running; `ended` is called when such a run
// is ended before that.
struct HookAnswer {
    HookAnswer(LONG exitCode, int waitsLeft = 0, std::function<void()> whenEnded = {})
        : code(exitCode), waits(waitsLeft), ended(std::move(whenEnded))
    {
    }
    LONG code;
    int waits;
    std::function<void()> ended;
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
    // Once done: the exit code, and the tool's last error line.
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

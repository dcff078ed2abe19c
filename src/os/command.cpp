// The command runner. A command line is read the way the AmigaDOS shell reads
// it, and its command name picks one of the tools start-up handed in;
// nothing else on the host can be started through it.

#include "os/command.h"

#include "os/dos.h"
#include "os/work.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <cctype>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// One word of the line as the shell reads it.
struct Word {
    std::string text;
    bool quoted = false;
};

// Reads a quoted word starting at the opening quote; pos ends after the
// closing quote. False when the quote is never closed.
bool ReadQuoted(std::string_view line, std::size_t& pos, std::string& text)
{
    ++pos; // opening quote
    while (pos < line.size()) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '*' && pos + 1 < line.size()) {
            const char next = line[pos + 1];
            pos += 2;
            switch (next) {
            case '"': text += '"'; break;
            case '*': text += '*'; break;
            case 'N': case 'n': text += '\n'; break;
            case 'E': case 'e': text += '\x1b'; break;
            default:
                // An unknown escape stands for itself.
                text += '*';
                text += next;
                break;
            }
            continue;
        }
        text += c;
        ++pos;
    }
    return false;
}

// Splits the line into words. A line feed or ";" outside quotes ends the
// command (";" starts a comment). False on an unclosed quote.
bool SplitWords(std::string_view line, std::vector<Word>& words)
{
    std::size_t pos = 0;
    while (true) {
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        if (pos >= line.size() || line[pos] == '\n' || line[pos] == ';')
            break;
        Word word;
        if (line[pos] == '"') {
            word.quoted = true;
            if (!ReadQuoted(line, pos, word.text))
                return false;
        } else {
            const bool redirection = line[pos] == '<' || line[pos] == '>';
            while (pos < line.size() && !IsBlank(line[pos]) && line[pos] != '\n' && line[pos] != ';') {
                // A redirection may name its file in quotes: >"My File".
                if (redirection && line[pos] == '"') {
                    std::string quoted;
                    if (!ReadQuoted(line, pos, quoted))
                        return false;
                    word.text += quoted;
                    continue;
                }
                if (line[pos] == '"')
                    break; // a quote starts the next word
                word.text += line[pos++];
            }
        }
        words.push_back(std::move(word));
    }
    // Anything after a line feed but blanks is a second command: refused.
    if (pos < line.size() && line[pos] == '\n') {
        for (std::size_t rest = pos + 1; rest < line.size(); ++rest)
            if (!IsBlank(line[rest]) && line[rest] != '\n')
                return false;
    }
    return true;
}

bool NeedsQuotes(std::string_view name)
{
    if (name.empty())
        return true;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u == 0x7f)
            return true;
        switch (c) {
        case '"': case '*': case '<': case '>': case ';': case '|':
        case '&': case '$': case '`': case '\'': case '(': case ')':
        case '\\':
            return true;
        default:
            break;
        }
    }
    return false;
}

// Opens a redirection target on the host; -1 with IoErr set on failure.
int OpenRedirection(const std::string& amigaName, int flags)
{
    std::optional<std::string> host;
    if (Lower(amigaName) == "nil:")
        host = "/dev/null";
    else
        host = HostPath(amigaName);
    if (!host) {
        SetIoErr(ERROR_OBJECT_NOT_FOUND);
        return -1;
    }
    const int fd = ::open(host->c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0)
        SetIoErr((flags & O_CREAT) ? ERROR_DIR_NOT_FOUND : ERROR_OBJECT_NOT_FOUND);
    return fd;
}

CommandHook& InstalledHook()
{
    static CommandHook hook;
    return hook;
}

std::span<const CommandTool>& InstalledTools()
{
    static std::span<const CommandTool> tools;
    return tools;
}

// Runs beside the program's thread tell it here that they have ended.
std::mutex gEndedGuard;
std::condition_variable gEnded;

} // namespace

void SetCommandHook(CommandHook hook) { InstalledHook() = std::move(hook); }

void SetCommandTools(std::span<const CommandTool> tools) { InstalledTools() = tools; }

const CommandTool* FindCommandTool(std::string_view command)
{
    const std::string name = Lower(command);
    for (const CommandTool& tool : InstalledTools())
        for (const std::string_view word : tool.commands)
            if (!word.empty() && word == name)
                return &tool;
    return nullptr;
}

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

RunCancel CommandCancel(const std::atomic<bool>* stop)
{
    return RunCancel{[stop] { return WorkCancelled() || (stop && stop->load()); }};
}

bool ParseCommandLine(std::string_view line, ParsedCommand& parsed)
{
    parsed = ParsedCommand{};
    std::vector<Word> words;
    if (!SplitWords(line, words))
        return false;

    bool haveName = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const Word& word = words[i];
        if (!word.quoted && !word.text.empty() && (word.text[0] == '<' || word.text[0] == '>')) {
            const bool input = word.text[0] == '<';
            const bool append = !input && word.text.rfind(">>", 0) == 0;
            std::string target = word.text.substr(append ? 2 : 1);
            if (target.empty()) {
                // "> file": the target is the next word.
                if (i + 1 >= words.size())
                    return false;
                target = words[++i].text;
            }
            if (target.empty())
                return false;
            std::string& slot = input ? parsed.input : parsed.output;
            if (!slot.empty())
                return false; // two redirections of the same stream
            slot = target;
            if (!input)
                parsed.append = append;
            continue;
        }
        if (!haveName) {
            if (!word.quoted && Lower(word.text) == "run" && !parsed.detached) {
                parsed.detached = true;
                continue;
            }
            if (word.text.empty())
                return false;
            parsed.name = word.text;
            haveName = true;
            continue;
        }
        parsed.arguments.push_back(word.text);
        parsed.quoted.push_back(word.quoted);
    }
    return haveName;
}

std::string EscapeInQuotes(std::string_view name)
{
    std::string escaped;
    escaped.reserve(name.size() + 8);
    for (const char c : name) {
        switch (c) {
        case '"': escaped += "*\""; break;
        case '*': escaped += "**"; break;
        case '\n': escaped += "*N"; break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

std::string QuoteIfNeeded(std::string_view name)
{
    if (!NeedsQuotes(name))
        return std::string(name);
    return "\"" + EscapeInQuotes(name) + "\"";
}

std::string EscapeForSlave(std::string_view name)
{
    std::string escaped;
    escaped.reserve(name.size() + 8);
    for (const char c : name) {
        if (c == '"' || c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

bool FitsOnOneLine(std::string_view name)
{
    if (!name.empty() && name.back() == '\n')
        name.remove_suffix(1);
    const auto control = std::find_if(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 32; });
    if (control == name.end())
        return true;
    // The trace shows the name on one line too.
    std::string shown;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32) {
            static constexpr char kHex[] = "0123456789abcdef";
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 15];
        } else {
            shown += c;
        }
    }
    kprintf("File name %s holds a control character; it is not handed to the tool.\n", shown.c_str());
    return false;
}

std::string ControlCharacterProblem(std::string_view path)
{
    struct Named {
        char c;
        const char* shown;
        const char* name;
    };
    static constexpr Named kNamed[] = {
        {'\t', "\\t", "a TAB"}, {'\x1b', "\\e", "an ESC"}, {'\n', "\\n", "a line break"}, {'\r', "\\r", "a line break"}};
    std::string shown;
    std::string first;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32) {
            shown += c;
            continue;
        }
        const auto named = std::find_if(std::begin(kNamed), std::end(kNamed), [c](const Named& n) { return n.c == c; });
        static constexpr char kHex[] = "0123456789abcdef";
        shown += named != std::end(kNamed) ? std::string(named->shown) : std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
        if (first.empty())
            first = named != std::end(kNamed) ? named->name : "a control character";
    }
    if (first.empty())
        return {};
    return "The name of \"" + shown + "\" holds " + first
           + ", which the tools cannot be given: rename the file and choose it again.";
}

namespace {

// Everything before a line runs: a cancelled work's refusal, and the
// hook's answer.
std::optional<HookAnswer> BeforeRun(std::string_view command)
{
    // Once the user has cancelled the running work nothing more is started
    // for it, whoever asks.
    if (WorkCancelled()) {
        SetIoErr(ERROR_BREAK);
        HookAnswer refused(-1);
        refused.outcome = RunOutcome::Cancelled;
        return refused;
    }
    if (const CommandHook& hook = InstalledHook())
        return hook(command);
    return std::nullopt;
}

CommandResult Answered(const HookAnswer& answer) { return CommandResult{answer.outcome, answer.code, answer.error}; }

// A line that never reached a tool: the reason is in IoErr().
const CommandResult kNotStarted{RunOutcome::FailedToStart, -1, {}};

// The line read and carried out by its tool; `stop`, when given, ends it as
// the user's cancel does.
CommandResult RunLine(std::string_view command, const std::atomic<bool>* stop)
{
    ParsedCommand parsed;
    if (!ParseCommandLine(command, parsed)) {
        SetIoErr(ERROR_BAD_TEMPLATE);
        return kNotStarted;
    }

    const CommandTool* tool = FindCommandTool(parsed.name);
    if (!tool) {
        SetIoErr(ERROR_OBJECT_NOT_FOUND);
        return kNotStarted;
    }

    ToolCall call;
    call.arguments = std::move(parsed.arguments);
    call.quoted = std::move(parsed.quoted);
    call.detached = parsed.detached;
    call.input = FileDescriptor(parsed.input.empty()
            ? ::open("/dev/null", O_RDONLY | O_CLOEXEC)
            : OpenRedirection(parsed.input, O_RDONLY));
    if (!call.input.Valid())
        return kNotStarted;
    call.output = FileDescriptor(parsed.output.empty()
            ? ::open("/dev/null", O_WRONLY | O_CLOEXEC)
            : OpenRedirection(parsed.output, O_WRONLY | O_CREAT | (parsed.append ? O_APPEND : O_TRUNC)));
    if (!call.output.Valid())
        return kNotStarted;
    call.cancel = CommandCancel(stop);

    // The front end paints while the tool runs (copies and probes too).
    ToolWaitScope waiting;
    const LONG code = tool->run(call);
    return CommandResult{call.outcome, code, std::move(call.error)};
}

} // namespace

CommandResult RunCommand(std::string_view command, std::initializer_list<TagItem> tags)
{
    // NP_StackSize has no meaning for a host process; SYS_Input and
    // SYS_Output handles are not used either: the line's own redirections
    // decide, and without them the tool reads nothing and its output is
    // dropped.
    (void)tags;
    if (const std::optional<HookAnswer> answer = BeforeRun(command))
        return Answered(*answer);
    return RunLine(command, nullptr);
}

LONG SystemTagList(std::string_view command, std::initializer_list<TagItem> tags)
{
    return RunCommand(command, tags).code;
}

struct CommandRun::State {
    std::string command;
    TemporaryLane lane;
    std::atomic<bool> done = false;
    std::atomic<bool> stop = false;
    std::atomic<double> progress = 0.0;
    // Written by the run's thread before `done`, read after it.
    CommandResult result{RunOutcome::FailedToStart, -1, {}};
    std::string trace;
    // A run the hook answered: it lasts `waits` more waits.
    bool answered = false;
    int waits = 0;
    std::function<void()> ended;
    std::thread thread;

    bool Finished() const { return answered ? waits <= 0 : done.load(); }
};

CommandRun::CommandRun(std::string command, const TemporaryLane& lane) : state_(std::make_shared<State>())
{
    State& state = *state_;
    state.command = std::move(command);
    state.lane = lane;
    {
        TraceHold hold;
        const InTemporaryLane inLane(state.lane);
        std::optional<HookAnswer> answer = BeforeRun(state.command);
        state.trace = hold.Take();
        if (answer) {
            state.answered = true;
            state.result = Answered(*answer);
            state.waits = answer->waits;
            state.ended = std::move(answer->ended);
            state.done = true;
            return;
        }
    }
    // The thread waits for its tools to end, so the kernel's end-of-parent
    // signal (tool_spawn.cpp) never reaches them while they work.
    state.thread = std::thread([run = state_] {
        TraceHold hold;
        const InTemporaryLane inLane(run->lane);
        const WorkBeside beside(&run->progress);
        run->result = RunLine(run->command, &run->stop);
        run->trace += hold.Take();
        {
            const std::lock_guard<std::mutex> lock(gEndedGuard);
            run->done = true;
        }
        gEnded.notify_all();
    });
}

CommandRun::~CommandRun()
{
    End();
}

bool CommandRun::Done() const { return state_->Finished(); }

const CommandResult& CommandRun::Result() const { return state_->result; }

LONG CommandRun::Code() const { return state_->result.code; }

std::string CommandRun::Error() const { return state_->result.error; }

std::string CommandRun::TakeTrace() { return std::exchange(state_->trace, std::string()); }

double CommandRun::Progress() const { return state_->progress.load(); }

void CommandRun::End()
{
    State& state = *state_;
    if (state.answered) {
        if (state.waits > 0) {
            state.waits = 0;
            state.result.code = RETURN_FAIL;
            state.result.outcome = RunOutcome::Cancelled;
            if (state.ended)
                state.ended();
        }
        return;
    }
    state.stop = true;
    if (state.thread.joinable())
        state.thread.join();
}

void WaitForCommands(const std::vector<CommandRun*>& runs)
{
    const ToolWaitScope waiting;
    bool ready = false;
    bool threads = false;
    for (CommandRun* run : runs) {
        CommandRun::State& state = *run->state_;
        if (state.answered && state.waits > 0)
            --state.waits;
        if (state.Finished())
            ready = true;
        else if (!state.answered)
            threads = true;
    }
    if (!ready && threads) {
        std::unique_lock<std::mutex> lock(gEndedGuard);
        gEnded.wait_for(lock, std::chrono::milliseconds(20), [&runs] {
            return std::any_of(runs.begin(), runs.end(), [](CommandRun* run) { return run->Done(); });
        });
    }
    PollToolWait();
}

std::string DesktopOpenCommand(std::string_view path)
{
    return "RUN <NIL: >NIL: xdg-open \"" + EscapeInQuotes(path) + "\"";
}

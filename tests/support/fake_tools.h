// Stand-ins for the tools and for the face of long work: FakeTools answers
// the command runner's lines through its seam (SetCommandHook) and keeps
// them; RecordedWork keeps what long work reported. Both undo themselves when
// they go. Needs only the platform layer.
#pragma once

#include "os/command.h"
#include "os/dos.h"
#include "os/work.h"
#include "support/test_support.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cwtest {

// How a stand-in tool answers one command line.
struct FakeAnswer {
    LONG code = 0;
    // What it writes at the line's -o name; none writes nothing.
    std::optional<std::string> output;
    // Its last error line (CommandResult::error).
    std::string error;
    // For a line run beside others: how many of the render's waits it goes
    // on running (its output is written at once).
    int waits = 0;
};

// Answers every mencoder and MPlayer line without running a tool; C:Copy
// runs as usual. By default a mencoder line writes 6000 bytes at its -o name
// and returns 0 (1 with "NAME: No such file or directory" when the file
// cannot be written).
class FakeTools {
public:
    // Given the line and the number of mencoder lines before it, an answer
    // other than the default one; none for the default.
    using Rule = std::function<std::optional<FakeAnswer>(const std::string& line, int index)>;

    explicit FakeTools(Rule rule = {}) : rule_(std::move(rule))
    {
        SetCommandHook([this](std::string_view line) { return Answer(std::string(line)); });
    }
    ~FakeTools() { SetCommandHook({}); }
    FakeTools(const FakeTools&) = delete;
    FakeTools& operator=(const FakeTools&) = delete;

    // Every line seen, in order (copies included).
    const std::vector<std::string>& Lines() const { return lines_; }
    // The lines that were ended while they still ran, in order.
    const std::vector<std::string>& Ended() const { return ended_; }
    // The mencoder lines only.
    std::vector<std::string> Encoder() const
    {
        std::vector<std::string> lines;
        for (const std::string& line : lines_)
            if (line.rfind("mencoder ", 0) == 0)
                lines.push_back(line);
        return lines;
    }
    // A -o name's content as the default answer writes it.
    static std::string Piece(int index)
    {
        std::string piece = "piece " + std::to_string(index) + " ";
        piece.resize(6000, '.');
        return piece;
    }

    // The value after "-o" of a line.
    static std::optional<std::string> OutputOf(const std::string& line)
    {
        ParsedCommand parsed;
        if (!ParseCommandLine(line, parsed))
            return std::nullopt;
        for (std::size_t i = 0; i + 1 < parsed.arguments.size(); ++i)
            if (parsed.arguments[i] == "-o")
                return parsed.arguments[i + 1];
        return std::nullopt;
    }

private:
    std::optional<HookAnswer> Answer(const std::string& line)
    {
        lines_.push_back(line);
        const bool encoder = line.rfind("mencoder ", 0) == 0;
        const int index = encoder ? encoderRuns_++ : -1;
        if (!encoder && line.rfind("SYS:Utilities/MPlayer ", 0) != 0 && line.rfind("MPlayer ", 0) != 0)
            return std::nullopt;
        std::optional<FakeAnswer> answer = rule_ ? rule_(line, index) : std::nullopt;
        if (!answer) {
            if (!encoder)
                return 0;
            answer = FakeAnswer{0, Piece(index), ""};
        }
        if (answer->output) {
            const std::string target = HostFile(OutputOf(line).value_or(""));
            if (!Write(target, *answer->output) && answer->code == 0 && answer->error.empty())
                answer = FakeAnswer{1, std::nullopt, target + ": No such file or directory"};
        }
        HookAnswer hooked(answer->code, answer->waits, [this, line] { ended_.push_back(line); });
        hooked.error = answer->error;
        return hooked;
    }

    static bool Write(const std::string& hostPath, const std::string& content)
    {
        if (hostPath.empty())
            return false;
        std::FILE* file = std::fopen(hostPath.c_str(), "wb");
        if (!file)
            return false;
        const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
        return std::fclose(file) == 0 && written;
    }

    Rule rule_;
    std::vector<std::string> lines_;
    std::vector<std::string> ended_;
    int encoderRuns_ = 0;
};

// What long work reported while the object lived.
class RecordedWork {
public:
    RecordedWork()
    {
        WorkFace face;
        face.begin = [this](std::string_view title, int count) {
            events.push_back("begin " + std::string(title) + " " + std::to_string(count));
        };
        face.step = [this](int index, std::string_view text) {
            events.push_back("step " + std::to_string(index) + " " + std::string(text));
            step = index;
            if (onStep)
                onStep(index);
        };
        face.within = [this](double fraction) { within.push_back({step, fraction}); };
        face.end = [this](WorkOutcome how, std::string_view text) {
            events.push_back("end");
            outcome = how;
            message = std::string(text);
        };
        SetWorkFace(std::move(face));
    }
    ~RecordedWork() { SetWorkFace({}); }
    RecordedWork(const RecordedWork&) = delete;
    RecordedWork& operator=(const RecordedWork&) = delete;

    std::vector<std::string> events;
    // Each WorkWithin with the step it came in.
    std::vector<std::pair<int, double>> within;
    int step = 0;
    std::optional<WorkOutcome> outcome;
    std::string message;
    // Called at each step, after it is recorded (a test's cancel).
    std::function<void(int index)> onStep;
};

} // namespace cwtest

// Waiting for tools: the tool-wait hook around every run and copy, the
// progress read from a tool's progress file, the user's cancel ending the
// running tool, and what a command came to: its outcome and the tool's
// last error line.
#include "os/command.h"
#include "tools/tools.h"
#include "os/work.h"

#include "os/dos_test_support.h"
#include "support/fake_tools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace dostest;
using namespace cwtools;

namespace {

// The phases the tool-wait hook saw, with runs of Poll as one "Poll".
class WaitLog {
public:
    WaitLog()
    {
        SetToolWaitHook([this](ToolWait phase) {
            const char* name = phase == ToolWait::Begin ? "Begin" : phase == ToolWait::Poll ? "Poll" : "End";
            if (!(phase == ToolWait::Poll && !phases.empty() && phases.back() == "Poll"))
                phases.push_back(name);
            if (phase == ToolWait::Poll && onPoll)
                onPoll();
        });
    }
    ~WaitLog() { SetToolWaitHook({}); }
    WaitLog(const WaitLog&) = delete;
    WaitLog& operator=(const WaitLog&) = delete;

    std::vector<std::string> phases;
    std::function<void()> onPoll;
};

// Long work around a test, ended whatever happens.
class Working {
public:
    Working() { BeginWork("Testing", 1); }
    ~Working() { EndWork(WorkOutcome::Finished, ""); }
    Working(const Working&) = delete;
    Working& operator=(const Working&) = delete;
};

// The fractions long work reported.
class RecordingFace {
public:
    RecordingFace()
    {
        WorkFace face;
        face.within = [this](double fraction) { within.push_back(fraction); };
        SetWorkFace(std::move(face));
    }
    ~RecordingFace() { SetWorkFace({}); }
    RecordingFace(const RecordingFace&) = delete;
    RecordingFace& operator=(const RecordingFace&) = delete;

    std::vector<double> within;
};

class ToolWaitTest : public DosTest {};

TEST_F(ToolWaitTest, HostRunsAndCopiesAreOneWaitEach)
{
    WaitLog log;
    HostRun run;
    run.argv = {"sleep", "0.2"};
    EXPECT_EQ(RunHost(run, CommandCancel()).code, 0);
    EXPECT_EQ(log.phases, (std::vector<std::string>{"Begin", "Poll", "End"}));

    log.phases.clear();
    dostest::WriteHostFile(scratch_ / "a", "a still");
    EXPECT_EQ(SystemTagList("C:Copy " + (scratch_ / "a") + " " + (scratch_ / "b") + "\n"), 0);
    ASSERT_FALSE(log.phases.empty());
    EXPECT_EQ(log.phases.front(), "Begin");
    EXPECT_EQ(log.phases.back(), "End");
    EXPECT_EQ(dostest::ReadHostFile(scratch_ / "b"), "a still");
}

struct CancelRow {
    const char* label;
    std::vector<std::string> argv;
};

TEST_F(ToolWaitTest, CancelEndsTheRunningTool)
{
    const CancelRow rows[] = {
        {"a plain run", {"sleep", "600"}},
        // Ignores SIGTERM (and so does its child): SIGKILL ends it.
        {"a run deaf to SIGTERM", {"sh", "-c", "trap '' TERM; sleep 600; sleep 600"}},
    };
    for (const CancelRow& row : rows) {
        SCOPED_TRACE(row.label);
        WaitLog log;
        log.onPoll = [] { CancelWork(); };
        Working work;
        HostRun run;
        run.argv = row.argv;
        TraceCapture trace;
        const HostResult result = RunHost(run, CommandCancel());
        EXPECT_EQ(result.outcome, HostOutcome::Cancelled);
        EXPECT_NE(result.outcome, HostOutcome::Stalled);
        EXPECT_NE(result.code, 0);
        EXPECT_EQ(trace.Text(), row.argv[0] + " ended: the work was cancelled.\n");
        EXPECT_EQ(log.phases.back(), "End");
        // Nothing more starts for cancelled work.
        log.onPoll = nullptr;
        cwtest::FakeTools tools;
        EXPECT_NE(SystemTagList("mencoder -o T:x in.avi\n"), 0);
        EXPECT_TRUE(tools.Lines().empty());
        EXPECT_NE(RunHost(run, CommandCancel()).code, 0);
    }
    // Outside long work a cancel means nothing.
    CancelWork();
    HostRun run;
    run.argv = {"true"};
    EXPECT_EQ(RunHost(run, CommandCancel()).code, 0);
}

TEST_F(ToolWaitTest, ProgressFileMovesTheBar)
{
    RecordingFace face;
    Working work;
    HostRun run;
    run.progressFile = scratch_ / "progress";
    run.expectedSeconds = 2;
    // Progress as ffmpeg writes it: blocks of key=value lines.
    run.argv = {"sh", "-c",
                "for t in 250000 500000 N/A 1500000; do printf 'frame=1\\nout_time_us=%s\\nprogress=continue\\n' $t "
                ">> \"$0\"; sleep 0.1; done",
                run.progressFile};
    EXPECT_EQ(RunHost(run, CommandCancel()).code, 0);
    ASSERT_FALSE(face.within.empty());
    for (std::size_t i = 1; i < face.within.size(); ++i)
        EXPECT_GT(face.within[i], face.within[i - 1]);
    EXPECT_DOUBLE_EQ(face.within.back(), 0.75);
}

TEST(ToolWaitText, NewestOutTime)
{
    struct Row {
        const char* text;
        std::optional<double> seconds;
    };
    const Row rows[] = {
        {"", std::nullopt},
        {"frame=3\nout_time_us=N/A\n", std::nullopt},
        {"out_time_us=1500000\nout_time_us=2500000\n", 2.5},
        {"out_time_us=2500000\nout_time_us=N/A\n", 2.5},
        {"out_time_us=-40000\n", std::nullopt},
        {"out_time_ms=9000000\n", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(NewestOutTime(row.text), row.seconds) << row.text;
}

TEST(ToolWaitText, LastErrorLine)
{
    struct Row {
        const char* text;
        const char* line;
    };
    const Row rows[] = {
        {"", ""},
        {"first\nthe real error\n\n  \n", "the real error"},
        {"/x/out.avi: No such file or directory\r\n", "/x/out.avi: No such file or directory"},
        // ffmpeg's -stats lines come and go with carriage returns.
        {"Broken pipe\nframe=  10 fps=0.0 q=2.0 size=  1kB\rframe=  20 fps=0.0\r", "Broken pipe"},
        {"size=   6kB time=00:00:01.00\n", ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(LastErrorLine(row.text), row.line) << row.text;
}

// A stand-in tool that runs its words as a host program (RunTool), so
// that a line through the runner can end every way a host run can.
LONG RunWordsTool(ToolCall& call)
{
    HostRun run;
    run.argv = call.arguments;
    return RunTool(call, run).code;
}
constexpr CommandTool kWordsTool[] = {{.name = "Words", .commands = {"words", {}}, .run = RunWordsTool}};

// The words tool handed to the runner while it lives; the program's tools
// after.
class WordsTool {
public:
    WordsTool() { SetCommandTools(kWordsTool); }
    ~WordsTool() { SetCommandTools(kCommandTools); }
    WordsTool(const WordsTool&) = delete;
    WordsTool& operator=(const WordsTool&) = delete;
};

struct ResultRow {
    const char* label;
    std::string line;
    RunOutcome outcome;
    LONG code;
    std::string error;
};

void ExpectResult(const CommandResult& result, const ResultRow& row)
{
    EXPECT_EQ(result.outcome, row.outcome) << row.label;
    EXPECT_EQ(result.code, row.code) << row.label;
    EXPECT_EQ(result.error, row.error) << row.label;
}

// A command's result says how its tool ended, in its own words; each
// command starts afresh.
TEST_F(ToolWaitTest, TheResultCarriesTheOutcomeAndTheToolsLastLine)
{
    const WordsTool words;
    // Stands in for mencoder only: the words lines run.
    cwtest::FakeTools tools(
        [](const std::string&, int) { return cwtest::FakeAnswer{1, std::nullopt, "from the stand-in"}; });
    const ResultRow rows[] = {
        {"the tool's last error line",
         "words sh -c \"echo first >&2; echo 'out.avi: No space left on device' >&2; exit 1\"", RunOutcome::Finished,
         1, "out.avi: No space left on device"},
        {"a stand-in's line", "mencoder -o T:x in.avi", RunOutcome::Finished, 1, "from the stand-in"},
        {"a line no tool takes", "nosuchcommand x", RunOutcome::FailedToStart, -1, ""},
        {"a program that cannot start", "words no-such-program-here", RunOutcome::FailedToStart, -1,
         "no-such-program-here could not be started"},
        {"a crash", "words sh -c \"echo dying >&2; kill -KILL $$\"", RunOutcome::Crashed, RETURN_FAIL, "dying"},
        {"a tool that wrote no error", "words true", RunOutcome::Finished, 0, ""},
    };
    for (const ResultRow& row : rows)
        ExpectResult(RunCommand(row.line), row);
}

// Ended mid-way, by the user's cancel or by whoever started it beside
// others, a run says it was cancelled and by what.
TEST_F(ToolWaitTest, ARunEndedMidwayIsCancelled)
{
    const WordsTool words;
    {
        WaitLog log;
        log.onPoll = [] { CancelWork(); };
        Working work;
        TraceCapture trace;
        ExpectResult(RunCommand("words sleep 600"), {"the user's cancel", "", RunOutcome::Cancelled, RETURN_FAIL,
                                                     "sleep was stopped: the work was cancelled"});
    }
    const std::string started = scratch_ / "started";
    CommandRun run("words sh -c \"touch '" + started + "'; exec sleep 600\"", TemporaryLane{1, {}});
    // Only a tool at work is ended mid-way.
    for (int wait = 0; wait < 15000 && !run.Done() && !std::filesystem::exists(started); ++wait)
        WaitForCommands({&run});
    ASSERT_TRUE(std::filesystem::exists(started));
    run.End();
    ExpectResult(run.Result(), {"ended by its starter", "", RunOutcome::Cancelled, RETURN_FAIL,
                                "sh was stopped: the work was cancelled"});
}

// Runs beside each other and one on the program's thread, at the same
// time, each keep their own outcome and error line.
TEST_F(ToolWaitTest, RunsSideBySideKeepTheirOwnErrors)
{
    const WordsTool words;
    const std::string go = scratch_ / "go";
    const auto waiting = [&go](const std::string& error, int code) {
        return "words sh -c \"echo '" + error + "' >&2; while [ ! -e '" + go + "' ]; do sleep 0.05; done; exit "
            + std::to_string(code) + "\"";
    };
    const ResultRow beside[] = {
        {"lane 1", waiting("first.avi: Permission denied", 3), RunOutcome::Finished, 3, "first.avi: Permission denied"},
        {"lane 2", waiting("second.avi: Invalid data", 4), RunOutcome::Finished, 4, "second.avi: Invalid data"},
    };
    std::vector<std::unique_ptr<CommandRun>> runs;
    for (const ResultRow& row : beside)
        runs.push_back(std::make_unique<CommandRun>(row.line, TemporaryLane{static_cast<int>(runs.size()) + 1, {}}));
    const ResultRow own = {"the program's thread", "words sh -c \"echo 'third.avi: No space' >&2; touch '" + go
                           + "'; exit 5\"", RunOutcome::Finished, 5, "third.avi: No space"};
    ExpectResult(RunCommand(own.line), own);
    const std::vector<CommandRun*> all = {runs[0].get(), runs[1].get()};
    while (!runs[0]->Done() || !runs[1]->Done())
        WaitForCommands(all);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        ExpectResult(runs[i]->Result(), beside[i]);
        EXPECT_EQ(runs[i]->Error(), beside[i].error);
    }
}

} // namespace

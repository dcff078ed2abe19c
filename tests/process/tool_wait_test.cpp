// Waiting for tools: the tool-wait hook around every run and copy, the
// progress read from a tool's progress file, the user's cancel ending the
// running tool, and the tool's last error line.
#include "os/command.h"
#include "tools/tools.h"
#include "os/work.h"

#include "os/dos_test_support.h"
#include "support/fake_tools.h"

#include <gtest/gtest.h>

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

TEST_F(ToolWaitTest, LastCommandErrorIsTheToolsLastLine)
{
    HostRun run;
    run.argv = {"sh", "-c", "echo first >&2; echo 'out.avi: No space left on device' >&2; exit 1"};
    EXPECT_EQ(RunTool(run).code, 1);
    EXPECT_EQ(LastCommandError(), "out.avi: No space left on device");
    // Each command starts afresh; a stand-in may set the line.
    {
        cwtest::FakeTools tools([](const std::string&, int) {
            return cwtest::FakeAnswer{1, std::nullopt, "from the stand-in"};
        });
        EXPECT_EQ(SystemTagList("mencoder -o T:x in.avi\n"), 1);
        EXPECT_EQ(LastCommandError(), "from the stand-in");
    }
    EXPECT_NE(SystemTagList("nosuchcommand x\n"), 0);
    EXPECT_EQ(LastCommandError(), "");
    run.argv = {"no-such-program-here"};
    RunTool(run);
    EXPECT_EQ(LastCommandError(), "no-such-program-here could not be started");
}

} // namespace

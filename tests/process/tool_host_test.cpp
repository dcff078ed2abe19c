// The tools' host side: the translation of AmigaDOS paths for host
// programs, and the guards that keep a tool run from hanging the program.
#include "tools/tools.h"

#include "os/dos_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <vector>
#include <unistd.h>

using namespace dostest;
using namespace cwtools;

namespace {

class ToolHost : public DosTest {};

TEST_F(ToolHost, PathsForHostPrograms)
{
    EnvGuard work("CLIPWEAVER_ASSIGN_WORK", scratch_.Path());
    const std::string t = TemporaryFolder();
    EXPECT_EQ(ToolPath("T:__MPlayerCommand"), t + "/__MPlayerCommand");
    // The Unix-style volume form of the command lines.
    EXPECT_EQ(ToolPath("/T/__MPlayerCommand"), t + "/__MPlayerCommand");
    EXPECT_EQ(ToolPath("/RAM/x.avi"), *HostPath("RAM:x.avi"));
    EXPECT_EQ(ToolPath("Work:Clips/a b.avi"), scratch_.Path() + "/Clips/a b.avi");
    // Real host paths stay as they are.
    EXPECT_EQ(ToolPath("/tmp/clip.avi"), "/tmp/clip.avi");
    EXPECT_EQ(ToolPath(scratch_ / "x.avi"), scratch_ / "x.avi");
    // Relative names are the program's folder's.
    CwdGuard cwd(scratch_.Path());
    EXPECT_EQ(ToolPath("silence.mp3"), scratch_ / "silence.mp3");
    // Unknown volumes and URLs are left to the tool.
    EXPECT_EQ(ToolPath("Nowhere:x.avi"), "Nowhere:x.avi");
    EXPECT_EQ(ToolPath("http://host/x.avi"), "http://host/x.avi");
}

TEST_F(ToolHost, ArgumentPathLeavesValuesAlone)
{
    CwdGuard cwd(scratch_.Path());
    dostest::WriteHostFile(scratch_ / "clip.avi", "x");
    for (const char* value : {"scale=160:90,screenshot", "w=640:h=512:type=png:fps=1.000000", "25.000000",
             "vcodec=mpeg4:mbd=2:trell", "null"})
        EXPECT_EQ(ArgumentPath(value), value);
    EXPECT_EQ(ArgumentPath("clip.avi"), scratch_ / "clip.avi");
    EXPECT_EQ(ArgumentPath("T:x"), TemporaryFolder() + "/x");
}

TEST_F(ToolHost, OutputIsCapturedAndArgumentsArriveWhole)
{
    HostRun run;
    run.argv = {"printf", "%s|%s|", "a b;$(touch pwned)", "`id`\"*"};
    run.workingDirectory = scratch_.Path();
    const HostResult result = RunHost(run, CommandCancel());
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.output, "a b;$(touch pwned)|`id`\"*|");
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "pwned"));
}

struct OutcomeRow {
    std::vector<std::string> argv;
    HostOutcome outcome;
    LONG code;
    const char* error;
};

// Each way a run ends is told apart, with its words.
TEST_F(ToolHost, OneOutcomePerRun)
{
    const OutcomeRow rows[] = {
        {{"true"}, HostOutcome::Finished, 0, ""},
        {{"sh", "-c", "echo broken >&2; exit 3"}, HostOutcome::Finished, 3, "broken"},
        {{"no-such-program-here"}, HostOutcome::FailedToStart, -1, "no-such-program-here could not be started"},
        {{"sh", "-c", "echo dying >&2; kill -KILL $$"}, HostOutcome::Crashed, RETURN_FAIL, "dying"},
    };
    for (const OutcomeRow& row : rows) {
        SCOPED_TRACE(row.argv.back());
        HostRun run;
        run.argv = row.argv;
        const HostResult result = RunHost(run, RunCancel{});
        EXPECT_EQ(result.outcome, row.outcome);
        EXPECT_EQ(result.code, row.code);
        EXPECT_EQ(result.error, row.error);
    }
    // A cancel asked before the start starts nothing.
    HostRun run;
    run.argv = {"sh", "-c", "echo ran > \"$0\"", scratch_ / "ran"};
    const HostResult result = RunHost(run, RunCancel{[] { return true; }});
    EXPECT_EQ(result.outcome, HostOutcome::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "ran"));
}

TEST_F(ToolHost, ExitCodesAndMissingPrograms)
{
    HostRun run;
    run.argv = {"false"};
    EXPECT_EQ(RunHost(run, CommandCancel()).code, 1);
    run.argv = {"no-such-program-here"};
    EXPECT_EQ(RunHost(run, CommandCancel()).code, -1);
}

TEST_F(ToolHost, RunThatMakesNoProgressIsEnded)
{
    EnvGuard quick("CLIPWEAVER_TOOL_TIMEOUT", std::string("0.5"));
    HostRun run;
    run.argv = {"sleep", "600"};
    TraceCapture trace;
    const HostResult result = RunHost(run, CommandCancel());
    EXPECT_EQ(result.outcome, HostOutcome::Stalled);
    EXPECT_NE(result.code, 0);
    EXPECT_EQ(trace.Text(), "sleep made no progress for 0.5 seconds; ended.\n");
}

TEST_F(ToolHost, GrowingFilesCountAsProgress)
{
    EnvGuard quick("CLIPWEAVER_TOOL_TIMEOUT", std::string("1"));
    HostRun run;
    // Writes a line every 0.3 seconds for about 2.5 seconds: longer than the
    // bound, but never quiet for that long.
    run.argv = {"sh", "-c", "for i in 1 2 3 4 5 6 7 8; do echo $i >> \"$0\"; sleep 0.3; done", scratch_ / "log"};
    run.watch = {scratch_ / "log"};
    const HostResult result = RunHost(run, CommandCancel());
    EXPECT_NE(result.outcome, HostOutcome::Stalled);
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(dostest::ReadHostFile(scratch_ / "log"), "1\n2\n3\n4\n5\n6\n7\n8\n");
}

TEST_F(ToolHost, EncoderThatHangsAfterItsSummaryIsEnded)
{
    HostRun run;
    // Prints its closing summary and then keeps running, as Debian's
    // mencoder sometimes does.
    run.argv = {"sh", "-c", "echo 'Video stream: 100 kbit/s'; echo 'Audio stream: 1411 kbit/s'; exec sleep 600"};
    run.endAfterSummary = true;
    TraceCapture trace;
    const HostResult result = RunHost(run, CommandCancel());
    EXPECT_EQ(result.code, 0);
    EXPECT_NE(result.outcome, HostOutcome::Stalled);
    EXPECT_NE(result.output.find("Audio stream:"), std::string::npos);
    EXPECT_EQ(trace.Text(), "sh wrote its output but did not exit; ended.\n");
}

TEST_F(ToolHost, DetachedProgramsReturnAtOnce)
{
    HostRun run;
    run.argv = {"sh", "-c", "sleep 0.2; echo done > \"$0\"", scratch_ / "flag"};
    FileDescriptor null(::open("/dev/null", O_WRONLY));
    EXPECT_TRUE(StartDetached(run, null.Get()));
    for (int i = 0; i < 100 && dostest::ReadHostFile(scratch_ / "flag").empty(); ++i)
        ::usleep(50000);
    EXPECT_EQ(dostest::ReadHostFile(scratch_ / "flag"), "done\n");
    ::usleep(100000);
    ReapDetached();
}

} // namespace

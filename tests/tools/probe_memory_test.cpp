// ffprobe's answers remembered between runs of the program: the same file as
// it stands is not probed again; a changed file, a failed probe or the
// memory turned off run the probe as always.
#include "tools/probe_memory.h"
#include "tools/render_support.h"
#include "tools/tool_media.h"

#include "os/dos_test_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace dostest;
using cwtools::HostResult;
using cwtools::HostRun;
namespace fs = std::filesystem;

namespace {

class ProbeMemoryTest : public ::testing::Test {
protected:
    ~ProbeMemoryTest() override { cwtools::RememberProbesIn({}); }

    // A stand-in prober: notes each run in a file, answers with the
    // probed file's content, fails with `code`.
    HostRun Prober(const std::string& file, int code = 0) const
    {
        HostRun run;
        run.argv = {"sh", "-c", "echo run >> \"$1\"; cat \"$2\"; exit $3", "prober", Runs(), file, std::to_string(code)};
        return run;
    }
    std::string Runs() const { return scratch_.Path() + "/runs"; }
    int RunCount() const
    {
        std::ifstream in(Runs());
        int count = 0;
        for (std::string line; std::getline(in, line);)
            ++count;
        return count;
    }
    ScratchDir scratch_;
};

TEST_F(ProbeMemoryTest, OnlyTheSameFileAsItStandsIsAnsweredFromMemory)
{
    struct Row {
        const char* between; // what happens between two probes of one file
        std::function<void(const std::string& file)> change;
        bool remembered;
        int code;
        int runs; // of the second probe
        const char* answer;
    } rows[] = {
        {"nothing", [](const std::string&) {}, true, 0, 0, "first"},
        {"the file written again (same size, new time)",
            [](const std::string& file) {
                WriteHostFile(file, "again");
                fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(2));
            },
            true, 0, 1, "again"},
        {"the memory off", [](const std::string&) {}, false, 0, 1, "first"},
        {"a failed probe", [](const std::string&) {}, true, 3, 1, "first"},
        {"the file gone", [](const std::string& file) { fs::remove(file); }, true, 0, 1, ""},
    };
    int row = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.between);
        cwtools::RememberProbesIn(r.remembered ? scratch_.Path() + "/store" + std::to_string(row) : std::string());
        const std::string file = scratch_.Path() + "/clip" + std::to_string(row++);
        WriteHostFile(file, "first");
        ToolCall call;
        const HostResult first = cwtools::RunProbeOf(call, Prober(file, r.code), file, nullptr);
        EXPECT_EQ(first.output, "first");
        EXPECT_EQ(first.code, r.code);
        r.change(file);
        const int before = RunCount();
        const HostResult second = cwtools::RunProbeOf(call, Prober(file, r.code), file, nullptr);
        EXPECT_EQ(RunCount() - before, r.runs);
        EXPECT_EQ(second.output, r.answer);
        EXPECT_EQ(second.code, r.code);
        EXPECT_EQ(second.outcome, RunOutcome::Finished);
    }
}

// Another question about the same file is another answer.
TEST_F(ProbeMemoryTest, AnotherQuestionIsProbed)
{
    cwtools::RememberProbesIn(scratch_.Path() + "/store");
    const std::string file = scratch_.Path() + "/clip";
    WriteHostFile(file, "first");
    ToolCall call;
    cwtools::RunProbeOf(call, Prober(file), file, nullptr);
    HostRun other = Prober(file);
    other.argv.push_back("extra");
    cwtools::RunProbeOf(call, other, file, nullptr);
    EXPECT_EQ(RunCount(), 2);
}

} // namespace

namespace {

// Probing ahead: each source once however often a project names it, and
// a plan's probe afterwards runs nothing.
TEST(ProbeAhead, ProbesEachSourceOnceAndPlansFindThemProbed)
{
    ScratchDir scratch;
    const std::string runs = scratch.Path() + "/runs";
    WriteHostFile(scratch.Path() + "/ffprobe",
        "#!/bin/sh\nfor last; do :; done\necho \"$last\" >> " + runs + "\necho 'format|duration=2.0|format_name=avi'\n");
    fs::permissions(scratch.Path() + "/ffprobe", fs::perms::owner_all);
    EnvGuard path("PATH", scratch.Path() + ":" + std::getenv("PATH"));
    std::vector<std::string> sources;
    for (const char* name : {"a.avi", "b.avi", "a.avi", "c.avi", "b.avi"}) {
        WriteHostFile(scratch.Path() + "/" + name, name);
        sources.push_back(scratch.Path() + "/" + name);
    }
    for (int side : {1, 2, 8}) {
        SCOPED_TRACE(side);
        // New files each round: the probes of the last are cached as they stand.
        for (const std::string& source : sources)
            fs::last_write_time(source, fs::last_write_time(source) + std::chrono::seconds(1));
        fs::remove(runs);
        ProbeAhead(sources, side);
        ToolCall call;
        EXPECT_EQ(cwtools::ProbeSource(sources[3], call).duration, 2.0);
        std::ifstream in(runs);
        std::vector<std::string> probed;
        for (std::string line; std::getline(in, line);)
            probed.push_back(line);
        std::sort(probed.begin(), probed.end());
        EXPECT_EQ(probed, (std::vector<std::string>{sources[0], sources[1], sources[3]}));
    }
}

} // namespace

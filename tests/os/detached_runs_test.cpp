// Detached runs (the desktop's opener, the outside player) are collected the
// moment they end, and an opener that fails is told in words.
#include "os/command.h"
#include "os/question.h"
#include "process/process.h"
#include "tools/tools.h"

#include "os/dos_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace dostest;

namespace {

// Children of this process that have ended and were never collected.
int Zombies()
{
    int zombies = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos)
            continue;
        char state = 0;
        int parent = 0;
        std::istringstream rest(line.substr(line.rfind(')') + 2));
        rest >> state >> parent;
        zombies += parent == ::getpid() && state == 'Z';
    }
    return zombies;
}

class DetachedRuns : public DosTest {};

TEST_F(DetachedRuns, EndedRunsLeaveNoZombieAndFailedOpensAreTold)
{
    const std::string bin = scratch_ / "bin";
    std::filesystem::create_directory(bin);
    const char* path = std::getenv("PATH");
    EnvGuard pathGuard("PATH", bin + ":" + (path ? path : "/usr/bin:/bin"));
    const struct {
        int exitCode;
        const char* told; // none: nothing is told
    } rows[] = {
        {0, nullptr},
        {2, "the file is not there"},
        {3, "no program to open it was found"},
        {4, "the program the desktop chose for it could not open it"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.exitCode);
        WriteHostFile(bin + "/xdg-open", "#!/bin/sh\nexit " + std::to_string(row.exitCode) + "\n");
        std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
        ClearToldLog();
        ASSERT_EQ(SystemTagList(DesktopOpenCommand(scratch_ / "clip.mp4")), 0);
        // Waits for the run to end, not for a time: a zombie would stay.
        for (int i = 0; i < 1000 && cwtools::DetachedRunning() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(cwtools::DetachedRunning(), 0u);
        EXPECT_EQ(Zombies(), 0);
        TellWaitingMessages();
        if (!row.told) {
            EXPECT_TRUE(ToldLog().empty());
            continue;
        }
        ASSERT_EQ(ToldLog().size(), 1u);
        EXPECT_NE(ToldLog()[0].text.find(row.told), std::string::npos) << ToldLog()[0].text;
        EXPECT_NE(ToldLog()[0].text.find("clip.mp4"), std::string::npos);
    }
}

} // namespace

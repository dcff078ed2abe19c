// Tools started by the program: they end when the program ends, however it
// ends, a later start-up ends what a dead instance left behind, and they
// inherit no descriptor but their standard streams.
#include "tools/tools.h"

#include "os/dos_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace dostest;
using namespace cwtools;

namespace {

// Whether the process still runs (a zombie nobody reaps counts as ended).
bool Running(pid_t pid)
{
    const auto text = cwtest::ReadHostFile("/proc/" + std::to_string(pid) + "/stat");
    if (text.empty())
        return false;
    const std::size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() || text[close + 2] != 'Z';
}

// Waits, within a generous bound, for the process to end; no timing is
// asserted, only that it does end.
bool EndsSoon(pid_t pid)
{
    for (int look = 0; look < 3000; ++look) {
        if (!Running(pid))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Ends a process the test started, whatever the test found.
class Reaper {
public:
    ~Reaper()
    {
        for (pid_t pid : pids_)
            if (pid > 0)
                ::kill(pid, SIGKILL);
    }
    void Add(pid_t pid) { pids_.push_back(pid); }

private:
    std::vector<pid_t> pids_;
};

// A copy of the test process standing in for the program: `body` runs in it
// and writes one number to `report`; the copy then waits to be ended.
pid_t StartProgram(const std::function<void(int report)>& body, int& reportRead)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        body(pipeFds[1]);
        ::pause();
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    reportRead = pipeFds[0];
    return pid;
}

long long ReadNumber(int fd)
{
    std::string text;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        text.push_back(c);
    ::close(fd);
    return text.empty() ? -1 : std::stoll(text);
}

void WriteNumber(int fd, long long value)
{
    const std::string text = std::to_string(value) + "\n";
    const ssize_t ignored = ::write(fd, text.data(), text.size());
    (void)ignored;
}

struct EndingCase {
    const char* name;
    int signal; // 0: the program exits on its own
};

std::ostream& operator<<(std::ostream& out, const EndingCase& c) { return out << c.name; }

class ToolLifetime : public DosTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(ToolLifetime, ToolEndsWithTheProgram)
{
    const EndingCase& ending = GetParam();
    Reaper reaper;
    int report = -1;
    const pid_t program = StartProgram(
        [&](int fd) {
            HostRun run;
            run.argv = {"sleep", "1000"};
            const std::optional<int> tool = SpawnHost(run, SpawnStreams{});
            WriteNumber(fd, tool ? *tool : -1);
            if (ending.signal == 0)
                ::_exit(0);
        },
        report);
    ASSERT_GT(program, 0);
    reaper.Add(program);
    const auto tool = static_cast<pid_t>(ReadNumber(report));
    ASSERT_GT(tool, 0);
    reaper.Add(tool);
    if (ending.signal != 0)
        ::kill(program, ending.signal);
    int status = 0;
    ::waitpid(program, &status, 0);
    EXPECT_TRUE(EndsSoon(tool)) << "the tool outlived the program (" << ending.name << ")";
}

const EndingCase kEndings[] = {
    {"killed", SIGKILL},
    {"crashed", SIGSEGV},
    {"exited", 0},
};

INSTANTIATE_TEST_SUITE_P(Table, ToolLifetime, ::testing::ValuesIn(kEndings),
    [](const ::testing::TestParamInfo<EndingCase>& info) { return std::string(info.param.name); });

// A tool's own children are not ended by the kernel with the program; the
// next start-up ends them when it clears the dead instance's T:.
TEST_F(ToolLifetime, StartUpEndsToolsADeadInstanceLeft)
{
    ScratchDir deadRoot;
    const std::string grandchildFile = scratch_ / "grandchild";
    Reaper reaper;
    int report = -1;
    const pid_t program = StartProgram(
        [&](int fd) {
            ::setenv("CLIPWEAVER_TMPROOT", deadRoot.Path().c_str(), 1);
            InitVolumes();
            HostRun run;
            run.argv = {"sh", "-c", "sleep 1000 & echo $! > '" + grandchildFile + "'; wait"};
            const std::optional<int> tool = SpawnHost(run, SpawnStreams{});
            WriteNumber(fd, tool ? *tool : -1);
        },
        report);
    ASSERT_GT(program, 0);
    reaper.Add(program);
    const auto tool = static_cast<pid_t>(ReadNumber(report));
    ASSERT_GT(tool, 0);
    reaper.Add(tool);
    pid_t grandchild = -1;
    for (int look = 0; look < 3000 && grandchild <= 0; ++look) {
        const std::string text = cwtest::ReadHostFile(grandchildFile);
        if (!text.empty() && text.back() == '\n')
            grandchild = static_cast<pid_t>(std::stoll(text));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GT(grandchild, 0);
    reaper.Add(grandchild);

    ::kill(program, SIGKILL);
    int status = 0;
    ::waitpid(program, &status, 0);
    ASSERT_TRUE(Running(grandchild)) << "the grandchild must survive the program for this test to mean anything";

    EnvGuard root("CLIPWEAVER_TMPROOT", deadRoot.Path());
    StartInstance();
    EXPECT_TRUE(EndsSoon(grandchild));
}

// What a killed instance left half done, and what the next start-up makes
// of it: one row per state the instance can die in.
struct UnfinishedCase {
    const char* name;
    // Runs in the instance before it is killed, in `folder`.
    std::function<void(const std::string& folder)> work;
    const char* output;    // what stands at out.avi after the next start-up; nullptr: nothing
    bool temporaryRemains; // whether the save's temporary file is still there
};

std::ostream& operator<<(std::ostream& out, const UnfinishedCase& c) { return out << c.name; }

class UnfinishedWork : public DosTest, public ::testing::WithParamInterface<UnfinishedCase> {};

TEST_P(UnfinishedWork, NextStartUpFinishesIt)
{
    ScratchDir deadRoot;
    const std::string folder = scratch_.Path();
    cwtest::WriteHostFile(folder + "/out.avi", "old");
    Reaper reaper;
    int report = -1;
    const pid_t program = StartProgram(
        [&](int fd) {
            ::setenv("CLIPWEAVER_TMPROOT", deadRoot.Path().c_str(), 1);
            InitVolumes();
            GetParam().work(folder);
            WriteNumber(fd, 1);
        },
        report);
    ASSERT_GT(program, 0);
    reaper.Add(program);
    ASSERT_EQ(ReadNumber(report), 1);
    ::kill(program, SIGKILL);
    int status = 0;
    ::waitpid(program, &status, 0);

    EnvGuard root("CLIPWEAVER_TMPROOT", deadRoot.Path());
    StartInstance();
    if (GetParam().output)
        EXPECT_EQ(cwtest::ReadHostFile(folder + "/out.avi"), GetParam().output);
    else
        EXPECT_FALSE(std::filesystem::exists(folder + "/out.avi"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/.out.avi.clipweaver-old"));
    EXPECT_EQ(std::filesystem::exists(folder + "/p.cwproj.cwtmp"), GetParam().temporaryRemains);
}

// The render's claim lives until the instance is killed.
OutputClaim& HeldClaim(const std::string& output)
{
    static OutputClaimHandle claim;
    claim = ClaimOutput(output);
    return *claim;
}

const UnfinishedCase kUnfinished[] = {
    {"render_moved_the_old_output_aside", [](const std::string& folder) {
         NoteOutputKept(HeldClaim(folder + "/out.avi"), folder + "/.out.avi.clipweaver-old");
         Rename(folder + "/out.avi", folder + "/.out.avi.clipweaver-old");
         cwtest::WriteHostFile(folder + "/out.avi", "half made");
     }, "old", false},
    {"render_left_its_own_file_between_runs", [](const std::string& folder) {
         OutputClaim& claim = HeldClaim(folder + "/out.avi");
         NoteOutputKept(claim, folder + "/.out.avi.clipweaver-old");
         Rename(folder + "/out.avi", folder + "/.out.avi.clipweaver-old");
         cwtest::WriteHostFile(folder + "/out.avi", "a first piece");
         NoteOutputWritten(claim, false);
     }, "old", false},
    {"render_died_before_moving_it", [](const std::string& folder) {
         NoteOutputKept(HeldClaim(folder + "/out.avi"), folder + "/.out.avi.clipweaver-old");
     }, "old", false},
    {"render_without_an_old_output", [](const std::string& folder) {
         DeleteFile(folder + "/out.avi");
         NoteOutputKept(HeldClaim(folder + "/out.avi"), "");
         cwtest::WriteHostFile(folder + "/out.avi", "half made");
     }, nullptr, false},
    {"finished_render_dropped_the_old_file", [](const std::string& folder) {
         OutputClaimHandle claim = ClaimOutput(folder + "/out.avi");
         NoteOutputKept(*claim, folder + "/.out.avi.clipweaver-old");
         Rename(folder + "/out.avi", folder + "/.out.avi.clipweaver-old");
         cwtest::WriteHostFile(folder + "/out.avi", "new");
         claim.reset();
         DeleteFile(folder + "/.out.avi.clipweaver-old");
     }, "new", false},
    {"a_render_of_an_older_clipweaver_noted_in_t", [](const std::string& folder) {
         NoteOutputAside(folder + "/out.avi", folder + "/.out.avi.clipweaver-old");
         Rename(folder + "/out.avi", folder + "/.out.avi.clipweaver-old");
     }, "old", false},
    {"save_left_its_temporary_file", [](const std::string& folder) {
         NoteUnfinishedFile(folder + "/p.cwproj.cwtmp");
         cwtest::WriteHostFile(folder + "/p.cwproj.cwtmp", "half a project");
     }, "old", false},
    {"another_program_s_file_of_that_name_stays", [](const std::string& folder) {
         cwtest::WriteHostFile(folder + "/p.cwproj.cwtmp", "not ours");
     }, "old", true},
};

INSTANTIATE_TEST_SUITE_P(Table, UnfinishedWork, ::testing::ValuesIn(kUnfinished),
    [](const ::testing::TestParamInfo<UnfinishedCase>& info) { return std::string(info.param.name); });

// What a tool finds open besides its standard streams.
std::set<std::string> OpenDescriptors(pid_t pid)
{
    std::set<std::string> fds;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error))
        fds.insert(entry.path().filename().string());
    return fds;
}

// Waits until the tool blocks in its (clock_)nanosleep. Where the kernel
// does not show a process's system call, until it holds only the standard
// streams; a leaked descriptor then still fails the test once the wait
// gives up.
void WaitUntilAsleep(pid_t pid)
{
    const std::string syscall = "/proc/" + std::to_string(pid) + "/syscall";
    for (int look = 0; look < 2000; ++look) {
        const std::string text = cwtest::ReadHostFile(syscall);
        if (text.starts_with(std::to_string(SYS_clock_nanosleep) + " ")
            || text.starts_with(std::to_string(SYS_nanosleep) + " "))
            return;
        if (text.empty() && OpenDescriptors(pid) == std::set<std::string>{"0", "1", "2"})
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

struct OpenCase {
    const char* name;
    // Opens something and keeps it open until the returned closer runs.
    std::function<std::function<void()>(const std::string& folder)> open;
};

std::ostream& operator<<(std::ostream& out, const OpenCase& c) { return out << c.name; }

class ToolDescriptors : public DosTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(ToolDescriptors, ToolSeesOnlyItsStandardStreams)
{
    const std::function<void()> close = GetParam().open(scratch_.Path());
    HostRun run;
    run.argv = {"sleep", "1000"};
    const std::optional<int> tool = SpawnHost(run, SpawnStreams{});
    ASSERT_TRUE(tool);
    // SpawnHost returns once the tool has been exec'd, but its dynamic
    // loader may still hold a library open; once sleep sleeps, what it has
    // open is what it was given.
    WaitUntilAsleep(*tool);
    const std::set<std::string> fds = OpenDescriptors(*tool);
    EndProcess(*tool);
    WaitFor(*tool);
    close();
    EXPECT_EQ(fds, (std::set<std::string>{"0", "1", "2"})) << GetParam().name;
}

const OpenCase kOpenCases[] = {
    {"file", [](const std::string& folder) {
         auto file = std::make_shared<FileHandle>(Open(folder + "/open.txt", MODE_NEWFILE));
         return std::function<void()>([file] { file->reset(); });
     }},
    {"lock", [](const std::string& folder) {
         auto lock = std::make_shared<FileLock>(Lock(folder, SHARED_LOCK));
         return std::function<void()>([lock] { lock->reset(); });
     }},
    {"temporary_folder", [](const std::string&) {
         TemporaryFolder();
         return std::function<void()>([] {});
     }},
    {"host_descriptor_without_close_on_exec", [](const std::string& folder) {
         const int fd = ::open((folder + "/plain.txt").c_str(), O_WRONLY | O_CREAT, 0644);
         return std::function<void()>([fd] { ::close(fd); });
     }},
};

INSTANTIATE_TEST_SUITE_P(Table, ToolDescriptors, ::testing::ValuesIn(kOpenCases),
    [](const ::testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.name); });

} // namespace

// Starting host programs: posix_spawn from an argument vector (never a
// shell), each in a process group of its own with default signal handling,
// and the bookkeeping of detached runs.

#include "platform/tools.h"

#include "platform/dos.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cwtools {
namespace {

std::vector<pid_t>& DetachedChildren()
{
    static std::vector<pid_t> children;
    return children;
}

// posix_spawn's file actions and attributes, released on every path.
class SpawnSetup {
public:
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
        // A process group of its own, so that ending a run ends all of it,
        // and default signal handling whatever this program installed.
        posix_spawnattr_setpgroup(&attributes, 0);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int signal : {SIGINT, SIGTERM, SIGPIPE, SIGCHLD, SIGHUP, SIGQUIT})
            sigaddset(&defaults, signal);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes,
            POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

} // namespace

std::optional<int> SpawnHost(const HostRun& run, const SpawnStreams& streams)
{
    if (run.argv.empty())
        return std::nullopt;
    SpawnSetup setup;
    if (run.input >= 0)
        posix_spawn_file_actions_adddup2(&setup.actions, run.input, 0);
    else
        posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    if (streams.outputFd >= 0)
        posix_spawn_file_actions_adddup2(&setup.actions, streams.outputFd, 1);
    else if (!streams.outputPath.empty())
        posix_spawn_file_actions_addopen(&setup.actions, 1, streams.outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    else
        posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
    if (!streams.errorPath.empty())
        posix_spawn_file_actions_addopen(&setup.actions, 2, streams.errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    else
        posix_spawn_file_actions_addopen(&setup.actions, 2, "/dev/null", O_WRONLY, 0);
    if (!run.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&setup.actions, run.workingDirectory.c_str());

    std::vector<char*> argv;
    argv.reserve(run.argv.size() + 1);
    for (const std::string& argument : run.argv)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ) != 0)
        return std::nullopt;
    return pid;
}

void EndProcess(int pid)
{
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
}

int WaitFor(int pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

bool StartDetached(const HostRun& run, int outputFd)
{
    const std::optional<int> pid = SpawnHost(run, SpawnStreams{{}, {}, outputFd});
    if (!pid) {
        SetIoErr(ERROR_OBJECT_NOT_FOUND);
        return false;
    }
    DetachedChildren().push_back(*pid);
    return true;
}

void ReapDetached()
{
    auto& children = DetachedChildren();
    std::erase_if(children, [](pid_t pid) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        return done == pid || (done < 0 && errno == ECHILD);
    });
}

} // namespace cwtools

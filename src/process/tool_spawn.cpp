// Starting host programs from an argument vector (never a shell), each in a
// process group of its own with default signal handling, and the
// bookkeeping of detached runs.
//
// Tools are started from more than one thread: the program's thread starts
// those of the lines it waits for, and each side-by-side encode (CommandRun,
// os/command.h) runs its line on a thread of its own, which starts that
// line's tools itself. The start is made so that the thread makes no
// difference:
//
// - A tool must never outlive the program, however the program ends: the
//   child asks the kernel for SIGKILL when its parent dies
//   (PR_SET_PDEATHSIG), which posix_spawn cannot do, so the child is made
//   with fork and set up by hand. The kernel sends that signal when the
//   thread that forked ends, not the whole program. That thread waits in
//   SpawnHost until the exec went through, so it lives through the set-up;
//   a CommandRun's thread then waits for its tool to end (RunHost reaps it,
//   an ended one too) before the thread ends, so the signal never reaches a
//   tool at work. A detached run (RUN) outlives the call that starts it: it
//   is started from the program's thread, which lasts as long as the
//   program. A RUN line run beside others would be killed when its thread
//   ends.
// - fork copies only the thread that calls it: a lock another thread held
//   at that moment (the allocator's) stays held in the child. Between fork
//   and exec the child therefore makes plain system calls only (all
//   async-signal-safe); everything that allocates (the argument and
//   environment arrays, the program's path, the opened streams) is prepared
//   before the fork.
// - The child inherits the signal mask of the thread that forked, which
//   need not be the program's thread's, and the program's signal handlers:
//   it sets every signal to its default handling and blocks none, so a tool
//   starts alike from any thread.
// - A child belongs to the process, not to the thread that made it: the
//   thread that waits for a detached run is not the one that started it.
// - Another thread may open a descriptor without close-on-exec at any
//   moment (a library does): the child closes every descriptor but standard
//   input, output and error, whoever opened it.
//
// Grandchildren a tool starts are not covered by the parent's death; the
// tool groups recorded in T: (tool_groups.h) let the next start-up end
// those.

#include "process/process.h"

#include "os/dos.h"
#include "process/tool_groups.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <linux/close_range.h>
#include <thread>
#include <memory>
#include <atomic>
#include <algorithm>
#include <mutex>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cwtools {
namespace {

// A detached program and the thread that waits for it.
struct DetachedChild {
    pid_t pid = 0;
    std::thread waiter;
    std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);
    // Set when the program ends it on its way out: nobody is told then.
    std::shared_ptr<std::atomic<bool>> silenced = std::make_shared<std::atomic<bool>>(false);
};

// The detached programs; at the program's end those still running are ended
// (they would die with it anyway) and their waiters joined.
struct DetachedChildren {
    std::vector<DetachedChild> children;
    ~DetachedChildren()
    {
        for (DetachedChild& child : children) {
            child.silenced->store(true);
            if (!child.ended->load())
                EndProcess(child.pid);
            if (child.waiter.joinable())
                child.waiter.join();
        }
    }
};

DetachedChildren& Detached()
{
    static DetachedChildren children;
    return children;
}

// Detached runs are started and collected from whichever thread starts a
// tool.
std::mutex& DetachedGuard()
{
    static std::mutex guard;
    return guard;
}

// The file execvp would run for `name`: a name with "/" as it is, else the
// first executable regular file of that name along PATH.
std::optional<std::string> FindProgram(const std::string& name)
{
    if (name.empty())
        return std::nullopt;
    const auto runnable = [](const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
    };
    if (name.find('/') != std::string::npos)
        return runnable(name) ? std::optional<std::string>(name) : std::nullopt;
    const char* path = std::getenv("PATH");
    const std::string folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t from = 0;
    while (from <= folders.size()) {
        std::size_t to = folders.find(':', from);
        if (to == std::string::npos)
            to = folders.size();
        const std::string folder = to > from ? folders.substr(from, to - from) : ".";
        const std::string candidate = folder + "/" + name;
        if (runnable(candidate))
            return candidate;
        from = to + 1;
    }
    return std::nullopt;
}

// A descriptor for one of the child's standard streams, above 2 so that
// putting the three in place never overwrites one still to be placed.
FileDescriptor StreamDescriptor(int fd)
{
    if (fd < 0)
        return FileDescriptor();
    return FileDescriptor(::fcntl(fd, F_DUPFD_CLOEXEC, 3));
}

FileDescriptor OpenStream(const std::string& path, int flags, const char* fallback, int fallbackFlags)
{
    const int fd = path.empty() ? ::open(fallback, fallbackFlags | O_CLOEXEC)
                                : ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    FileDescriptor opened(fd);
    return StreamDescriptor(opened.Get());
}

// Tells the parent why the child could not become the tool, and ends it.
[[noreturn]] void ChildFails(int reportFd, int error)
{
    const ssize_t ignored = ::write(reportFd, &error, sizeof error);
    (void)ignored;
    ::_exit(127);
}

// In the child, between fork and exec: async-signal-safe calls only.
[[noreturn]] void BecomeTool(pid_t parent, const char* program, char* const* argv, const int (&streams)[3],
                             const char* workingDirectory, int reportFd, int highestFd)
{
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        ChildFails(reportFd, errno);
    // The parent may have died before the request was in place.
    if (::getppid() != parent)
        ::_exit(127);
    if (::setpgid(0, 0) != 0)
        ChildFails(reportFd, errno);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal)
        if (signal != SIGKILL && signal != SIGSTOP)
            ::sigaction(signal, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int target = 0; target < 3; ++target)
        if (::dup2(streams[target], target) < 0)
            ChildFails(reportFd, errno);
    if (workingDirectory && ::chdir(workingDirectory) != 0)
        ChildFails(reportFd, errno);
    // Everything else is closed on exec, the report pipe included.
    if (::syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) != 0)
        for (int fd = 3; fd <= highestFd; ++fd)
            if (fd != reportFd)
                ::close(fd);
    ::execve(program, argv, environ);
    ChildFails(reportFd, errno);
}

int HighestDescriptor()
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > 65536)
        return 65535;
    return static_cast<int>(limit.rlim_cur) - 1;
}

} // namespace

std::optional<int> SpawnHost(const HostRun& run, const SpawnStreams& streams)
{
    // Every start collects the detached runs that have ended meanwhile.
    ReapDetached();
    if (run.argv.empty())
        return std::nullopt;
    const std::optional<std::string> program = FindProgram(run.argv[0]);
    if (!program)
        return std::nullopt;

    FileDescriptor input = run.input >= 0 ? StreamDescriptor(run.input) : OpenStream({}, 0, "/dev/null", O_RDONLY);
    FileDescriptor output = streams.outputFd >= 0
        ? StreamDescriptor(streams.outputFd)
        : OpenStream(streams.outputPath, O_WRONLY | O_CREAT | O_TRUNC, "/dev/null", O_WRONLY);
    FileDescriptor error = OpenStream(streams.errorPath, O_WRONLY | O_CREAT | O_TRUNC, "/dev/null", O_WRONLY);
    if (!input.Valid() || !output.Valid() || !error.Valid())
        return std::nullopt;
    const int childStreams[3] = {input.Get(), output.Get(), error.Get()};

    std::vector<char*> argv;
    argv.reserve(run.argv.size() + 1);
    for (const std::string& argument : run.argv)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const char* workingDirectory = run.workingDirectory.empty() ? nullptr : run.workingDirectory.c_str();
    const int highestFd = HighestDescriptor();

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return std::nullopt;
    FileDescriptor reportRead(report[0]);
    FileDescriptor reportWrite(report[1]);

    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0)
        return std::nullopt;
    if (pid == 0)
        BecomeTool(parent, program->c_str(), argv.data(), childStreams, workingDirectory, reportWrite.Get(), highestFd);

    // Also from this side, so the group exists whichever side runs first.
    ::setpgid(pid, pid);
    reportWrite = FileDescriptor();
    // Nothing to read means the exec went through (the pipe closed with it).
    int childError = 0;
    ssize_t got;
    do {
        got = ::read(reportRead.Get(), &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        WaitFor(pid);
        return std::nullopt;
    }
    RecordToolGroup(pid);
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

bool StartDetached(const HostRun& run, int outputFd, std::function<void(int status)> ended)
{
    const std::optional<int> pid = SpawnHost(run, SpawnStreams{{}, {}, outputFd});
    if (!pid) {
        SetIoErr(ERROR_OBJECT_NOT_FOUND);
        return false;
    }
    DetachedChild child;
    child.pid = *pid;
    child.waiter = std::thread([pid = *pid, done = child.ended, silenced = child.silenced, ended = std::move(ended)] {
        const int status = WaitFor(pid);
        if (ended && !silenced->load())
            ended(status);
        done->store(true);
    });
    const std::lock_guard<std::mutex> lock(DetachedGuard());
    Detached().children.push_back(std::move(child));
    return true;
}

void ReapDetached()
{
    const std::lock_guard<std::mutex> lock(DetachedGuard());
    std::erase_if(Detached().children, [](DetachedChild& child) {
        if (!child.ended->load())
            return false;
        child.waiter.join();
        return true;
    });
}

std::size_t DetachedRunning()
{
    const std::lock_guard<std::mutex> lock(DetachedGuard());
    return static_cast<std::size_t>(std::count_if(Detached().children.begin(), Detached().children.end(),
                                                  [](const DetachedChild& child) { return !child.ended->load(); }));
}

} // namespace cwtools

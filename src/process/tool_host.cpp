// Host process runs for the tools: waiting for a run under the no-progress
// bound, and the host files they read and write.

#include "process/process.h"

#include "os/command.h"
#include "os/dos.h"
#include "os/format.h"
#include "os/work.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace cwtools {

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadHostFileFrom(const std::string& path, long long offset)
{
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string text;
    if (!file.Valid())
        return text;
    std::array<char, 16384> buffer{};
    while (true) {
        const ssize_t got = ::pread(file.Get(), buffer.data(), buffer.size(), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(buffer.data(), static_cast<std::size_t>(got));
        offset += got;
    }
    return text;
}

LONG ExitCode(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return RETURN_FAIL;
}

} // namespace

double ToolTimeoutSeconds()
{
    if (const char* text = std::getenv("CLIPWEAVER_TOOL_TIMEOUT")) {
        char* end = nullptr;
        const double seconds = std::strtod(text, &end);
        if (end != text && seconds > 0)
            return seconds;
    }
    return 30.0;
}

namespace {

// Reads the newest "out_time_us=" of a progress file as it grows and reports
// it against the run's expected length.
class ProgressReader {
public:
    explicit ProgressReader(const HostRun& run) : path_(run.progressFile), expected_(run.expectedSeconds) {}

    void Poll()
    {
        if (path_.empty() || !(expected_ > 0))
            return;
        // The tool writes the file anew at its start.
        if (HostFileSize(path_) < offset_) {
            offset_ = 0;
            carry_.clear();
        }
        const std::string text = ReadHostFileFrom(path_, offset_);
        if (text.empty())
            return;
        offset_ += static_cast<long long>(text.size());
        carry_ += text;
        const std::size_t lastLine = carry_.rfind('\n');
        if (lastLine == std::string::npos)
            return;
        const std::optional<double> seconds = NewestOutTime(std::string_view(carry_).substr(0, lastLine + 1));
        carry_.erase(0, lastLine + 1);
        if (!seconds)
            return;
        const double fraction = std::min(*seconds / expected_, 1.0);
        if (fraction > reported_ && WorkRunning()) {
            reported_ = fraction;
            WorkWithin(fraction);
        }
    }

private:
    std::string path_;
    double expected_;
    long long offset_ = 0;
    std::string carry_;
    double reported_ = 0.0;
};

// Ends a run the user cancelled: SIGTERM to its whole process group, and
// SIGKILL for whatever is left a second later. The windows keep painting.
void EndCancelledRun(int pid)
{
    ::kill(-pid, SIGTERM);
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(1);
    bool reaped = false;
    while (Clock::now() < deadline) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            reaped = true;
            break;
        }
        PollToolWait();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Members of the group that outlived their leader go too.
    ::kill(-pid, SIGKILL);
    if (!reaped) {
        EndProcess(pid);
        WaitFor(pid);
    }
}

} // namespace


std::string LastErrorLine(std::string_view text)
{
    std::string last;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (line.empty() || line.rfind("frame=", 0) == 0 || line.rfind("size=", 0) == 0)
            continue;
        last = std::string(line);
    }
    return last;
}

std::optional<double> NewestOutTime(std::string_view text)
{
    static constexpr std::string_view kKey = "out_time_us=";
    std::optional<double> newest;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind(kKey, 0) != 0)
            continue;
        const std::string value(line.substr(kKey.size()));
        char* stop = nullptr;
        const long long micros = std::strtoll(value.c_str(), &stop, 10);
        if (stop == value.c_str() || micros < 0)
            continue; // "N/A", or the negative start of some streams
        newest = static_cast<double>(micros) / 1e6;
    }
    return newest;
}

namespace {

// Waits between two looks at a running tool, and wakes at once when the tool
// ends: short tools (probes, copies) would otherwise lose most of a look's
// interval at their end, and a render runs a few for every crouton.
class ExitWatch {
public:
    explicit ExitWatch(int pid) : fd_(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0))) {}
    ~ExitWatch()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ExitWatch(const ExitWatch&) = delete;
    ExitWatch& operator=(const ExitWatch&) = delete;

    void Wait(std::chrono::milliseconds most) const
    {
        if (fd_ < 0) {
            std::this_thread::sleep_for(most);
            return;
        }
        pollfd ended{fd_, POLLIN, 0};
        ::poll(&ended, 1, static_cast<int>(most.count()));
    }

private:
    int fd_;
};

} // namespace

namespace {

// How a run ended and its exit code.
struct Ending {
    HostOutcome outcome;
    LONG code;
};

// One running program watched between two looks: its exit, a cancel, the
// growth of its files (no growth for the bound ends it), its progress file
// and, for mencoder, its closing summary.
class RunWatch {
public:
    RunWatch(const HostRun& run, int pid, const std::string& outputPath, const std::string& errorPath)
        : run_(run), pid_(pid), outputPath_(outputPath), program_(run.argv.empty() ? std::string() : run.argv[0]),
          within_(run), exit_(pid)
    {
        watched_ = run.watch;
        watched_.push_back(outputPath);
        watched_.push_back(errorPath);
        if (!run.progressFile.empty())
            watched_.push_back(run.progressFile);
        lastSizes_ = Sizes();
    }

    // Looks until the run ends; how it ended.
    Ending Watch(const RunCancel& cancel)
    {
        while (true) {
            if (const std::optional<Ending> ending = Look(cancel))
                return *ending;
            PollToolWait();
            exit_.Wait(std::chrono::milliseconds(20));
        }
    }

    void ReadProgress() { within_.Poll(); }

private:
    std::optional<Ending> Look(const RunCancel& cancel)
    {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_)
            return Ending{WIFEXITED(status) ? HostOutcome::Finished : HostOutcome::Crashed, ExitCode(status)};
        if (done < 0 && errno != EINTR)
            return Ending{HostOutcome::Crashed, RETURN_FAIL};
        if (cancel.Requested()) {
            kprintf("%s ended: the work was cancelled.\n", program_.c_str());
            EndCancelledRun(pid_);
            return Ending{HostOutcome::Cancelled, RETURN_FAIL};
        }
        const Clock::time_point now = Clock::now();
        NoteProgress(now);
        within_.Poll();
        if (SummaryOverdue(now)) {
            kprintf("%s wrote its output but did not exit; ended.\n", program_.c_str());
            EndProcess(pid_);
            WaitFor(pid_);
            return Ending{HostOutcome::Finished, RETURN_OK};
        }
        if (std::chrono::duration<double>(now - lastProgress_).count() > timeout_) {
            kprintf("%s made no progress for %g seconds; ended.\n", program_.c_str(), timeout_);
            EndProcess(pid_);
            WaitFor(pid_);
            return Ending{HostOutcome::Stalled, RETURN_FAIL};
        }
        return std::nullopt;
    }

    std::vector<long long> Sizes() const
    {
        std::vector<long long> sizes;
        for (const std::string& file : watched_)
            sizes.push_back(HostFileSize(file));
        return sizes;
    }

    void NoteProgress(Clock::time_point now)
    {
        std::vector<long long> sizes = Sizes();
        if (sizes != lastSizes_) {
            lastSizes_ = std::move(sizes);
            lastProgress_ = now;
        }
    }

    // mencoder's closing summary was out three seconds ago and it still runs.
    bool SummaryOverdue(Clock::time_point now)
    {
        if (run_.endAfterSummary && !summarySeen_) {
            // Only the new part is read, with an overlap for a summary
            // split between two looks.
            const long long from = std::max(0LL, scannedSize_ - 16);
            const std::string text = ReadHostFileFrom(outputPath_, from);
            if (text.find("Video stream:") != std::string::npos)
                summarySeen_ = now;
            scannedSize_ = from + static_cast<long long>(text.size());
        }
        return summarySeen_ && now - *summarySeen_ > std::chrono::seconds(3);
    }

    const HostRun& run_;
    int pid_;
    std::string outputPath_;
    std::string program_;
    std::vector<std::string> watched_;
    std::vector<long long> lastSizes_;
    const double timeout_ = ToolTimeoutSeconds();
    Clock::time_point lastProgress_ = Clock::now();
    std::optional<Clock::time_point> summarySeen_;
    long long scannedSize_ = 0; // how much of the output was searched for the summary
    ProgressReader within_;
    const ExitWatch exit_;
};

// What went wrong, in words: why the run was ended, else the tool's own
// last error line.
std::string ErrorText(HostOutcome outcome, const std::string& program, const std::string& errorPath)
{
    if (outcome == HostOutcome::Stalled)
        return program + " made no progress for " + Format("%g", ToolTimeoutSeconds()) + " seconds and was stopped";
    if (outcome == HostOutcome::Cancelled)
        return program + " was stopped: the work was cancelled";
    return LastErrorLine(ReadHostFile(errorPath).value_or(std::string()));
}

} // namespace

HostResult RunHost(const HostRun& run, const RunCancel& cancel)
{
    if (cancel.Requested()) {
        HostResult result;
        result.outcome = HostOutcome::Cancelled;
        return result;
    }
    HostStarted started(run, RunScratchFile("__CWTool.out"), RunScratchFile("__CWTool.err"));
    return started.Wait(cancel);
}

HostStarted::HostStarted(HostRun run, std::string outputPath, std::string errorPath)
    : run_(std::move(run)), outputPath_(std::move(outputPath)), errorPath_(std::move(errorPath))
{
    // A progress file left by an earlier run would show its end at once.
    if (!run_.progressFile.empty())
        ::unlink(run_.progressFile.c_str());
    pid_ = SpawnHost(run_, SpawnStreams{outputPath_, errorPath_, -1});
}

HostStarted::~HostStarted()
{
    if (!pid_)
        return;
    EndProcess(*pid_);
    WaitFor(*pid_);
}

HostResult HostStarted::Wait(const RunCancel& cancel)
{
    HostResult result;
    const std::string program = run_.argv.empty() ? std::string() : run_.argv[0];
    if (!pid_) {
        result.error = program + " could not be started";
        return result;
    }
    ToolWaitScope waiting;
    RunWatch watch(run_, *pid_, outputPath_, errorPath_);
    const Ending ending = watch.Watch(cancel);
    pid_.reset();
    result.outcome = ending.outcome;
    result.code = ending.code;
    if (result.outcome != HostOutcome::Cancelled)
        watch.ReadProgress();
    result.output = ReadHostFile(outputPath_).value_or(std::string());
    result.error = ErrorText(result.outcome, program, errorPath_);
    return result;
}

std::optional<std::string> ReadHostFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    FileDescriptor file(fd);
    std::string text;
    std::array<char, 65536> buffer{};
    while (true) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        text.append(buffer.data(), static_cast<std::size_t>(got));
    }
    return text;
}

bool WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t put = ::write(fd, text.data(), text.size());
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

bool WriteHostFile(const std::string& path, std::string_view text)
{
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file.Valid())
        return false;
    return WriteAll(file.Get(), text);
}

bool HostFileExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

long long HostFileSize(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return -1;
    return static_cast<long long>(info.st_size);
}

} // namespace cwtools


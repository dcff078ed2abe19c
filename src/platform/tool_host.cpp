// Host process runs for the tools: waiting for a run under the no-progress
// bound, and the translation of AmigaDOS paths to host paths.

#include "platform/tools.h"

#include "platform/dos.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace cwtools {

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

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

HostResult RunHost(const HostRun& run)
{
    HostResult result;
    const std::string outputPath = TemporaryHostFile("__CWTool.out");
    const std::string errorPath = TemporaryHostFile("__CWTool.err");

    const std::optional<int> pid = SpawnHost(run, SpawnStreams{outputPath, errorPath, -1});
    if (!pid) {
        SetIoErr(ERROR_OBJECT_NOT_FOUND);
        return result;
    }

    std::vector<std::string> watched = run.watch;
    watched.push_back(outputPath);
    watched.push_back(errorPath);
    auto progress = [&watched] {
        std::vector<long long> sizes;
        for (const std::string& file : watched)
            sizes.push_back(HostFileSize(file));
        return sizes;
    };

    const double timeout = ToolTimeoutSeconds();
    std::vector<long long> lastSizes = progress();
    Clock::time_point lastProgress = Clock::now();
    std::optional<Clock::time_point> summarySeen;
    long long scannedSize = 0; // how much of the output was searched for the summary
    int status = 0;

    while (true) {
        const pid_t done = ::waitpid(*pid, &status, WNOHANG);
        if (done == *pid) {
            result.code = ExitCode(status);
            break;
        }
        if (done < 0 && errno != EINTR) {
            result.code = RETURN_FAIL;
            break;
        }
        const Clock::time_point now = Clock::now();
        std::vector<long long> sizes = progress();
        if (sizes != lastSizes) {
            lastSizes = std::move(sizes);
            lastProgress = now;
        }
        if (run.endAfterSummary && !summarySeen) {
            // Only the new part is read, with an overlap for a summary
            // split between two looks.
            const long long from = std::max(0LL, scannedSize - 16);
            const std::string text = ReadHostFileFrom(outputPath, from);
            if (text.find("Video stream:") != std::string::npos)
                summarySeen = now;
            scannedSize = from + static_cast<long long>(text.size());
        }
        if (summarySeen && now - *summarySeen > std::chrono::seconds(3)) {
            kprintf("%s wrote its output but did not exit; ended.\n", run.argv[0].c_str());
            EndProcess(*pid);
            WaitFor(*pid);
            result.code = RETURN_OK;
            break;
        }
        if (std::chrono::duration<double>(now - lastProgress).count() > timeout) {
            kprintf("%s made no progress for %g seconds; ended.\n", run.argv[0].c_str(), timeout);
            EndProcess(*pid);
            WaitFor(*pid);
            result.code = RETURN_FAIL;
            result.ended = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result.output = ReadHostFile(outputPath).value_or(std::string());
    return result;
}

bool TakesValue(std::string_view option)
{
    for (std::string_view known : kValueOptions)
        if (known == option)
            return true;
    return false;
}

std::string FileArgument(std::string hostPath)
{
    // A relative name may also look like a protocol to ffmpeg ("x:y").
    if (!hostPath.empty() && hostPath[0] != '/'
        && (hostPath[0] == '-' || hostPath.find(':') != std::string::npos))
        return "./" + hostPath;
    return hostPath;
}

std::string TemporaryHostFile(std::string_view name)
{
    return TemporaryFolder() + "/" + std::string(name);
}

namespace {

std::string Absolute(const std::string& path)
{
    if (path.empty() || path[0] == '/')
        return path;
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (error)
        return path;
    return (current / path).string();
}

bool HostRootEntryExists(const std::string& name)
{
    struct stat info {};
    return ::lstat(("/" + name).c_str(), &info) == 0;
}

} // namespace

std::string ToolPath(std::string_view amigaPath)
{
    const std::string path(amigaPath);
    if (!path.empty() && path[0] == '/') {
        const std::size_t slash = path.find('/', 1);
        const std::string volume = path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
        if (!volume.empty() && volume.find(':') == std::string::npos && !HostRootEntryExists(volume)) {
            const std::string rest = slash == std::string::npos ? std::string() : path.substr(slash + 1);
            if (const auto host = HostPath(volume + ":" + rest))
                return Absolute(*host);
        }
        return path;
    }
    if (const auto host = HostPath(path))
        return Absolute(*host);
    return path;
}

std::string ArgumentPath(std::string_view word)
{
    const std::string text(word);
    if (text.empty())
        return text;
    if (text[0] == '/' || text.find(':') != std::string::npos)
        return ToolPath(text);
    struct stat info {};
    if (::stat(text.c_str(), &info) == 0)
        return ToolPath(text);
    return text;
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

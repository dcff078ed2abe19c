// Helpers shared by every test program: private temporary folders, host
// files read and written whole, pointers as the traces print them, checks on
// trace text, and a forked second process. Needs only the platform layer.
#pragma once

#include "os/dos.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace cwtest {

// A folder of its own made with mkdtemp under /tmp ("/tmp/<prefix>-XXXXXX"),
// removed with everything in it. The path is empty when it could not be made.
class TempFolder {
public:
    explicit TempFolder(std::string_view prefix = "cw-test")
    {
        std::string pattern = "/tmp/" + std::string(prefix) + "-XXXXXX";
        if (mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TempFolder()
    {
        if (path_.empty())
            return;
        // A test may have taken away the folder's permissions.
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
    std::string path_;
};

// Runs the current test in another working folder and returns to the old
// one when it ends.
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const std::string& folder) : old_(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~ScopedCurrentDir()
    {
        std::error_code ignored;
        std::filesystem::current_path(old_, ignored);
    }
    ScopedCurrentDir(const ScopedCurrentDir&) = delete;
    ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

private:
    std::filesystem::path old_;
};

// The whole content of a host file; empty when it can't be read.
inline std::string ReadHostFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Replaces a host file's content.
inline void WriteHostFile(const std::string& path, std::string_view content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

// The host file behind an Amiga-style path; empty when there is none.
inline std::string HostFile(const std::string& amigaPath)
{
    const auto host = HostPath(amigaPath);
    return host ? *host : std::string();
}

// A pointer as the traces print it ("%p").
inline std::string Address(const void* pointer)
{
    std::string text(32, '\0');
    const int size = std::snprintf(text.data(), text.size(), "%p", pointer);
    text.resize(static_cast<std::size_t>(size));
    return text;
}

// Whether the pieces appear in the text in this order.
inline bool InOrder(const std::string& text, const std::vector<std::string>& pieces)
{
    std::size_t at = 0;
    for (const std::string& piece : pieces) {
        at = text.find(piece, at);
        if (at == std::string::npos)
            return false;
        at += piece.size();
    }
    return true;
}

// Talks to the other side of a ChildProcess through two pipes: text lines
// out, text lines in.
class Channel {
public:
    Channel(int readFd, int writeFd)
        : readFd_(readFd)
        , writeFd_(writeFd)
    {
    }
    void Send(const std::string& line) const
    {
        const std::string text = line + "\n";
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(writeFd_, text.data() + done, text.size() - done);
            if (n <= 0)
                return;
            done += static_cast<std::size_t>(n);
        }
    }
    // The next line, or nullopt when the other side went away.
    std::optional<std::string> Receive() const
    {
        std::string line;
        char c = 0;
        for (;;) {
            const ssize_t n = ::read(readFd_, &c, 1);
            if (n <= 0)
                return std::nullopt;
            if (c == '\n')
                return line;
            line.push_back(c);
        }
    }

private:
    int readFd_;
    int writeFd_;
};

// A forked copy of the test process that runs body and exits with its
// result, never returning into the test framework.
class ChildProcess {
public:
    explicit ChildProcess(const std::function<int(const Channel&)>& body)
    {
        int toChild[2];
        int toParent[2];
        if (::pipe(toChild) != 0 || ::pipe(toParent) != 0)
            throw std::runtime_error("pipe failed");
        pid_ = ::fork();
        if (pid_ < 0)
            throw std::runtime_error("fork failed");
        if (pid_ == 0) {
            ::close(toChild[1]);
            ::close(toParent[0]);
            const Channel channel(toChild[0], toParent[1]);
            const int code = body(channel);
            ::_exit(code);
        }
        ::close(toChild[0]);
        ::close(toParent[1]);
        readFd_ = toParent[0];
        writeFd_ = toChild[1];
    }
    ~ChildProcess()
    {
        if (pid_ > 0 && !waited_) {
            ::close(writeFd_);
            writeFd_ = -1;
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        if (readFd_ >= 0)
            ::close(readFd_);
        if (writeFd_ >= 0)
            ::close(writeFd_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    Channel Talk() const { return Channel(readFd_, writeFd_); }
    // The child's exit code (-1 when it did not exit normally).
    int Wait()
    {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        waited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int readFd_ = -1;
    int writeFd_ = -1;
    bool waited_ = false;
};

} // namespace cwtest

// Helpers for the dos.library tests: scratch folders, environment and
// working-directory guards, and a forked second process to hold locks.
#pragma once

#include "platform/dos.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace dostest {

// A folder of its own under /tmp, removed with everything in it.
class ScratchDir {
public:
    ScratchDir()
    {
        std::string pattern = "/tmp/cw-dos-test-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchDir()
    {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
    std::string path_;
};

// Sets (or with nullopt, removes) an environment variable for its lifetime.
class EnvGuard {
public:
    EnvGuard(std::string name, std::optional<std::string> value)
        : name_(std::move(name))
    {
        if (const char* old = std::getenv(name_.c_str()))
            old_ = old;
        if (value)
            ::setenv(name_.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    ~EnvGuard()
    {
        if (old_)
            ::setenv(name_.c_str(), old_->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

class CwdGuard {
public:
    explicit CwdGuard(const std::string& folder)
        : old_(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~CwdGuard()
    {
        std::error_code error;
        std::filesystem::current_path(old_, error);
    }
    CwdGuard(const CwdGuard&) = delete;
    CwdGuard& operator=(const CwdGuard&) = delete;

private:
    std::filesystem::path old_;
};

inline void WriteHostFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline std::string ReadHostFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
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

// Gives every test its own temporary root, so T: and RAM: are fresh.
class DosTest : public ::testing::Test {
protected:
    ScratchDir scratch_;
    ScratchDir root_;
    EnvGuard rootGuard_{"CLIPWEAVER_TMPROOT", root_.Path()};
};

} // namespace dostest

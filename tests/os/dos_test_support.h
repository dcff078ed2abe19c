// Helpers for the dos.library tests: scratch folders, environment and
// working-directory guards, and a forked second process to hold locks.
#pragma once

#include "os/dos.h"
#include "support/test_support.h"

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
class ScratchDir : public cwtest::TempFolder {
public:
    ScratchDir() : cwtest::TempFolder("cw-dos-test")
    {
        if (path().empty())
            throw std::runtime_error("mkdtemp failed");
    }
    const std::string& Path() const { return path(); }
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

using CwdGuard = cwtest::ScopedCurrentDir;
using cwtest::ReadHostFile;
using cwtest::WriteHostFile;

using cwtest::Channel;
using cwtest::ChildProcess;

// Gives every test its own temporary root, so T: and RAM: are fresh.
class DosTest : public ::testing::Test {
protected:
    ScratchDir scratch_;
    ScratchDir root_;
    EnvGuard rootGuard_{"CLIPWEAVER_TMPROOT", root_.Path()};
};

} // namespace dostest

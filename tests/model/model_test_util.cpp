#include "model_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace modeltest {

namespace {

std::string MakeTempFolder()
{
    std::string pattern = "/tmp/cw-model-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return {};
    return pattern;
}

// Every model test process gets its own temporary root (so RAM: and T: are
// its own) and its own Work: volume, set before the dos layer first looks.
class ProcessVolumes {
public:
    ProcessVolumes() : root_(MakeTempFolder())
    {
        fs::create_directories(root_ + "/work");
        setenv("CLIPWEAVER_TMPROOT", root_.c_str(), 1);
        setenv("CLIPWEAVER_ASSIGN_WORK", (root_ + "/work").c_str(), 1);
    }
    ~ProcessVolumes()
    {
        std::error_code error;
        fs::remove_all(root_, error);
    }
    const std::string& root() const { return root_; }

private:
    std::string root_;
};

ProcessVolumes& Volumes()
{
    static ProcessVolumes volumes;
    return volumes;
}

// Set up before main, so no test can reach the dos layer first.
const bool kVolumesReady = !Volumes().root().empty();

} // namespace

TempDir::TempDir() : cwtest::TempFolder("cw-model") { EXPECT_FALSE(path().empty()) << "mkdtemp failed"; }

bool HostExists(const std::string& path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

std::string WorkFolder()
{
    (void)kVolumesReady;
    return Volumes().root() + "/work";
}

std::string RamFolder()
{
    const std::string ram = Volumes().root() + "/RAM";
    fs::create_directories(ram);
    return ram;
}

void ClearFolder(const std::string& path)
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(path, error))
        fs::remove_all(entry.path(), error);
}

} // namespace modeltest

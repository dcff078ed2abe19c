#include "model_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
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

TempDir::TempDir() : path_(MakeTempFolder()) { EXPECT_FALSE(path_.empty()) << "mkdtemp failed"; }

TempDir::~TempDir()
{
    std::error_code error;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(path_, error);
}

ScopedCurrentDir::ScopedCurrentDir(const std::string& path) : old_(fs::current_path().string())
{
    fs::current_path(path);
}

ScopedCurrentDir::~ScopedCurrentDir()
{
    std::error_code error;
    fs::current_path(old_, error);
}

std::string ReadHostFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

void WriteHostFile(const std::string& path, std::string_view contents)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

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

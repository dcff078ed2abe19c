// Helpers shared by the model tests: private folders, file contents and the
// Work: volume that every model test process gets for itself.
#pragma once

#include <string>
#include <string_view>

namespace modeltest {

// A folder made with mkdtemp under /tmp, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
    std::string path_;
};

// Runs the current test in a folder of its own and returns to the old one.
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const std::string& path);
    ~ScopedCurrentDir();
    ScopedCurrentDir(const ScopedCurrentDir&) = delete;
    ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

private:
    std::string old_;
};

std::string ReadHostFile(const std::string& path);
void WriteHostFile(const std::string& path, std::string_view contents);
bool HostExists(const std::string& path);

// The host folder behind Work: (CLIPWEAVER_ASSIGN_WORK) and behind RAM: for
// this test process; both are private to it and emptied before each use.
std::string WorkFolder();
std::string RamFolder();
void ClearFolder(const std::string& path);

} // namespace modeltest

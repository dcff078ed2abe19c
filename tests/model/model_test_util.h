// Helpers shared by the model tests: private folders, file contents and the
// Work: volume that every model test process gets for itself.
#pragma once

#include "support/test_support.h"

#include <string>
#include <string_view>

namespace modeltest {

// A folder made with mkdtemp under /tmp, removed with everything in it; the
// test fails when it can't be made.
class TempDir : public cwtest::TempFolder {
public:
    TempDir();
};

// Runs the current test in a folder of its own and returns to the old one.
using cwtest::ScopedCurrentDir;

using cwtest::ReadHostFile;
using cwtest::WriteHostFile;
bool HostExists(const std::string& path);

// The host folder behind Work: (CLIPWEAVER_ASSIGN_WORK) and behind RAM: for
// this test process; both are private to it and emptied before each use.
std::string WorkFolder();
std::string RamFolder();
void ClearFolder(const std::string& path);

} // namespace modeltest

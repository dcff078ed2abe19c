// Every test program renders as the program did before finished pieces
// were kept (the store's own tests turn it on), and a store a test turns on
// lies in the build, never in the user's cache folder.
//
// Each test program also notes its renders in a state folder of its own.
// ctest runs test programs side by side, and a start-up takes every dead
// render's note it finds: with one shared folder, one test's start-up could
// undo what another test had just killed, while that test was checking it.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const pid_t kTestProgram = ::getpid();

std::string PrivateStateFolder()
{
    return std::string(CW_BINARY_DIR) + "/teststate/" + std::to_string(kTestProgram);
}

const bool kEnvironmentSet = [] {
    ::setenv("CLIPWEAVER_NO_PIECE_CACHE", "1", 1);
    ::setenv("XDG_CACHE_HOME", (std::string(CW_BINARY_DIR) + "/testcache").c_str(), 1);
    std::error_code error;
    std::filesystem::remove_all(PrivateStateFolder(), error); // a dead program's of the same number
    ::setenv("XDG_STATE_HOME", PrivateStateFolder().c_str(), 1);
    // A forked child that exits normally must not take its parent's folder.
    std::atexit([] {
        if (::getpid() == kTestProgram) {
            std::error_code ignored;
            std::filesystem::remove_all(PrivateStateFolder(), ignored);
        }
    });
    return true;
}();

} // namespace

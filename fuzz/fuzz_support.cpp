#include "fuzz_support.h"

#include "os/dos.h"
#include "os/exec.h"
#include "tools/tools.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace fuzz {

const std::string& Folder()
{
    static const std::string folder = [] {
        // A memory file system when there is one: a run writes and renames
        // files several times.
        std::string path = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/cw-fuzz-XXXXXX" : "/tmp/cw-fuzz-XXXXXX";
        if (!::mkdtemp(path.data()))
            std::abort();
        return path;
    }();
    return folder;
}

void SetUp()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Made before the clean-up is registered, so that it is still there when
    // the clean-up runs.
    Folder();
    std::atexit([] {
        std::error_code error;
        std::filesystem::remove_all(Folder(), error);
    });
    SetDebugSink([](std::string_view) {});
    ::setenv("CLIPWEAVER_TMPROOT", (Folder() + "/tmp").c_str(), 1);
    ::setenv("CLIPWEAVER_ASSIGN_WORK", Folder().c_str(), 1);
    if (::chdir(Folder().c_str()) != 0)
        std::abort();
    cwtools::StartInstance();
}

std::string WriteFile(const std::string& name, std::string_view text)
{
    const std::string path = Folder() + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace fuzz

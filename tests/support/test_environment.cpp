// Every test program renders as the program did before finished pieces
// were kept (the store's own tests turn it on), and a store a test turns on
// lies in the build, never in the user's cache folder.

#include <cstdlib>
#include <string>

namespace {

const bool kEnvironmentSet = [] {
    ::setenv("CLIPWEAVER_NO_PIECE_CACHE", "1", 1);
    ::setenv("XDG_CACHE_HOME", (std::string(CW_BINARY_DIR) + "/testcache").c_str(), 1);
    return true;
}();

} // namespace

// Every test program runs its command lines with the program's own tools,
// as the program's start-up hands them to the runner.

#include "tools/tools.h"

namespace {

const bool kToolsInstalled = [] {
    SetCommandTools(cwtools::kCommandTools);
    return true;
}();

} // namespace

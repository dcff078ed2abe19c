// Script lines for the script driver, run on the whole program with every
// tool answered by the command runner's seam. Lines that could name a file
// outside the private folder (a volume, a path, a requester answer) are left
// out, so that a run never touches other files.
#include "fuzz_support.h"

#include "gui/script.h"
#include "os/command.h"

#include <sstream>

namespace {

std::string Confined(std::string_view text)
{
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        if (line.find(':') == std::string_view::npos && line.find('/') == std::string_view::npos
            && line.find("requester") == std::string_view::npos) {
            out += line;
            out += '\n';
        }
        start = end + 1;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::SetUp();
    SetCommandHook([](std::string_view) -> std::optional<LONG> { return 0; });
    std::istringstream script(Confined(fuzz::Text(data, size)));
    std::ostringstream out;
    std::ostringstream errors;
    RunScript(script, out, errors);
    return 0;
}

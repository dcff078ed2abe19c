// Project files, picked through a queued requester answer, loaded into the
// real windows' objects and saved again. Crouton lines are read as they
// stand; those naming something outside the private folder are left out, so
// that a run never touches other files.
#include "fuzz_support.h"

#include "gui/main.h"
#include "gui/windows.h"
#include "model/project.h"
#include "os/asl.h"
#include "mui/mui.h"

namespace {

// The input with every line that could name a file outside the folder
// (a volume, an absolute path or a way up) blanked, from line 11 on.
std::string Confined(std::string_view text)
{
    std::string out;
    std::size_t line = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view content = text.substr(start, end - start);
        ++line;
        if (line > 10 && (content.find(':') != std::string_view::npos || content.find('/') != std::string_view::npos))
            content = "x";
        out += content;
        if (end < text.size())
            out += '\n';
        start = end + 1;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::SetUp();
    static mui::ObjectPtr application = BuildApplication({});
    fuzz::WriteFile("p.cwproj", Confined(fuzz::Text(data, size)));
    ClearAslAnswers();
    QueueAslAnswer(AslAnswer{fuzz::Folder(), "p.cwproj"});
    gProject = LoadProject(NewProject());
    QueueAslAnswer(AslAnswer{fuzz::Folder(), "saved.cwproj"});
    SaveProject(gProject.get());
    DestroyProject(std::move(gProject));
    return 0;
}

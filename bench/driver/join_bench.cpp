// A driver for bench/join_bench.sh: the whole render of a project of
// croutons of the given clips, each 4 s, with the same join between every
// two (a cut, or a transition of the given kind and length), as "_Render"
// does it: the main window's fields, the project's walk, its tools.
//
//   cw_join_bench OUTPUT KIND SECONDS CLIP...
// Exits 0 when the render finished.
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "gui/windows.h"
#include "model/crouton.h"
#include "model/project.h"
#include "model/render.h"
#include "mui/mui.h"
#include "os/work.h"
#include "tools/tools.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: cw_join_bench OUTPUT KIND SECONDS CLIP...\n");
        return 2;
    }
    cwtools::StartInstance();
    mui::ObjectPtr application = BuildApplication({});
    gProject = NewProject();
    // 640x360, 915 kbit/s, 25 frames a second, as bench/anchor_bench.sh renders.
    gProject->parameters = 11;
    gProject->baudrate = 6;
    gProject->fps = 2;
    mui::set(gButtons[BUTTON_MAIN_OUTPUTFILENAME], MUIA_String_Contents, std::string(argv[1]));
    mui::set(gButtons[BUTTON_MAIN_SOUNDTRACK], MUIA_String_Contents, std::string());
    gProject->look.defaultTransition = {argv[2], std::strtod(argv[3], nullptr)};
    std::unique_ptr<ListNode>* end = &gProject->croutons;
    for (int i = 4; i < argc; ++i) {
        auto crouton = CreateCrouton();
        crouton->name = "clip" + std::to_string(i - 3);
        crouton->videoName = std::string(argv[i]);
        crouton->start = 0;
        crouton->length = 4;
        crouton->audioCodec = "aac";
        *end = std::make_unique<ListNode>();
        (*end)->node = std::move(crouton);
        end = &(*end)->next;
        ++gProject->numberOfCroutons;
    }
    std::optional<WorkOutcome> outcome;
    WorkFace face;
    face.end = [&outcome](WorkOutcome how, std::string_view) { outcome = how; };
    SetWorkFace(std::move(face));
    RenderProject(gProject.get());
    SetWorkFace({});
    DestroyProject(std::move(gProject));
    mui::DisposeObject(std::move(application));
    ForgetGadgets();
    return outcome == WorkOutcome::Finished ? 0 : 1;
}

// Help: the HTML manual installed beside the programs' data, opened with
// the desktop's default handler through the command runner.
#include "gui/help.h"

#include "gui/loop.h"
#include "gui/vocabulary.h"

#include "os/command.h"
#include "os/exec.h"
#include "os/question.h"

#include <filesystem>
#include <system_error>

#ifndef CW_PROGRAMS_TO_MANUAL
#define CW_PROGRAMS_TO_MANUAL "../../share/doc/clipweaver/manual.html"
#endif

namespace {

constexpr const char* kHelpTitle = "Clipweaver Help";

std::string ProgramFolder()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.parent_path().string();
}

} // namespace

std::optional<std::string> InstalledManual(std::string_view programFolder)
{
    if (programFolder.empty())
        return std::nullopt;
    std::error_code error;
    const std::filesystem::path manual = std::filesystem::path(programFolder) / CW_PROGRAMS_TO_MANUAL;
    if (!std::filesystem::is_regular_file(manual, error))
        return std::nullopt;
    return manual.lexically_normal().string();
}

BOOL OpenManual()
{
    const std::optional<std::string> manual = InstalledManual(ProgramFolder());
    if (!manual) {
        TellUser(kHelpTitle, "The manual is not installed. Install Clipweaver (cmake --install, or its Debian "
                             "package) to have it in share/doc/clipweaver, or read man clipweaver.");
        return FALSE;
    }
    if (SystemTagList(DesktopOpenCommand(*manual)) != 0) {
        TellUser(kHelpTitle, "The manual could not be opened: no program to show it was found (xdg-open). "
                             "It is " + *manual + ".");
        return FALSE;
    }
    return TRUE;
}

#ifndef CLIPWEAVER_BASIC
namespace {

void ShowAbout(LoopState&, LONG) { mui::set(gWindows[WINDOW_ABOUT], MUIA_Window_Open, LONG{TRUE}); }
void CloseAbout(LoopState&, LONG) { mui::set(gWindows[WINDOW_ABOUT], MUIA_Window_Open, LONG{FALSE}); }

// The installed manual; where it is missing the About window says where
// help is.
void ShowHelp(LoopState& loop, LONG id)
{
    if (!OpenManual())
        ShowAbout(loop, id);
}

const ReturnIdRow kRows[] = {
    {MEN_ABOUT, ShowAbout},
    {MEN_HELP, ShowHelp},
    {GADMSG_ABOUT_OK, CloseAbout},
};

} // namespace

std::span<const ReturnIdRow> HelpReturnIds() { return kRows; }
#else
// ClipweaverBasic has neither the About window nor the menu.
std::span<const ReturnIdRow> HelpReturnIds() { return {}; }
#endif

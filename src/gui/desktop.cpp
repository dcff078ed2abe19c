#include "gui/desktop.h"

#include "gui/gui.h"
#include "gui/loop.h"
#include "gui/main.h"

#include "gui/vocabulary.h"
#include "model/crouton_time.h"
#include "model/tables.h"
#include "os/asl.h"
#include "os/dos.h"
#include "os/format.h"
#include "mui/mui.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>


namespace {

constexpr std::size_t kRecentCount = 8;
// The finished video's sound, whatever the project's bit rate.
constexpr double kSoundBitsPerSecond = 192000.0;
constexpr const char* kOutputPattern = "(#?.mp4|#?.mkv|#?.mov|#?.webm|#?.avi)";

std::string& RecentFile()
{
    static std::string file = "Clipweaver.recent";
    return file;
}

void WriteRecent(const std::vector<std::string>& paths)
{
    const std::optional<std::string> host = HostPath(RecentFile());
    if (!host)
        return;
    std::ofstream out(*host, std::ios::trunc);
    for (const std::string& path : paths)
        out << path << '\n';
}

} // namespace

std::string FormatTotalLength(long long seconds)
{
    seconds = std::max(0LL, seconds);
    return Format("%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

std::string FormatRenderedLength(double seconds)
{
    if (!(seconds > 0.0))
        return FormatTotalLength(0);
    const long long hundredths = std::llround(std::min(seconds, 1e12) * 100.0);
    if (hundredths % 100 == 0)
        return FormatTotalLength(hundredths / 100);
    return FormatTotalLength(hundredths / 100) + Format(".%02lld", hundredths % 100);
}

double EstimatedOutputBytes(const Project& project)
{
    const double seconds = ProjectRenderedSeconds(project);
    const double video = cBaudRates[static_cast<std::size_t>(ClampBaudIndex(project.baudrate))] * 1000.0;
    return seconds * (video + kSoundBitsPerSecond) / 8.0;
}

void ShowProjectTotals(const Project* project)
{
    if (!project)
        return;
    const double seconds = ProjectRenderedSeconds(*project);
    mui::set(gButtons[BUTTON_MAIN_TOTALLENGTH], MUIA_Text_Contents, "\x1b" "l" + FormatRenderedLength(seconds));
    const double bytes = EstimatedOutputBytes(*project);
    const std::string size = bytes < 100000 ? Format("about %.0f KB", bytes / 1000.0) : Format("about %.1f MB", bytes / 1e6);
    mui::set(gButtons[BUTTON_MAIN_OUTPUTSIZE], MUIA_Text_Contents, "\x1b" "l" + size);
}

std::string ProjectPath(const Project& project)
{
    return project.hasFile ? ProjectFilePath(project) : std::string();
}

void SetRecentProjectsFile(std::string file) { RecentFile() = std::move(file); }

std::vector<std::string> RecentProjects()
{
    std::vector<std::string> paths;
    const std::optional<std::string> host = HostPath(RecentFile());
    if (!host)
        return paths;
    std::ifstream in(*host);
    std::string line;
    while (paths.size() < kRecentCount && std::getline(in, line)) {
        if (!line.empty() && std::find(paths.begin(), paths.end(), line) == paths.end())
            paths.push_back(line);
    }
    return paths;
}

void NoteRecentProject(const std::string& path)
{
    if (path.empty())
        return;
    std::vector<std::string> paths = RecentProjects();
    paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
    paths.insert(paths.begin(), path);
    if (paths.size() > kRecentCount)
        paths.resize(kRecentCount);
    WriteRecent(paths);
    ShowRecentProjects();
}

void ShowRecentProjects()
{
#ifndef CLIPWEAVER_BASIC
    mui::Object* app = mui::CurrentApplication();
    if (app == nullptr)
        return;
    const std::vector<std::string> paths = RecentProjects();
    for (LONG id = MEN_RECENT_FIRST; id <= MEN_RECENT_LAST; ++id) {
        mui::Object* item = mui::FindMenuObject(app, id);
        const auto index = static_cast<std::size_t>(id - MEN_RECENT_FIRST);
        std::string title;
        if (index < paths.size()) {
            const PathParts parts = SplitPath(paths[index]);
            title = Format("%zu  %s", index + 1, parts.file.c_str());
            if (!parts.directory.empty())
                title += "  (" + parts.directory + ")";
        }
        mui::SetAttrs(item, {{MUIA_Menuitem_Title, title}, {MUIA_Disabled, LONG{title.empty() ? TRUE : FALSE}}});
    }
    mui::set(mui::FindMenuObject(app, MEN_RECENT), MUIA_Disabled, LONG{paths.empty() ? TRUE : FALSE});
#endif
}

std::optional<std::string> RecentProject(LONG menuId)
{
#ifndef CLIPWEAVER_BASIC
    const std::vector<std::string> paths = RecentProjects();
    if (menuId >= MEN_RECENT_FIRST && menuId <= MEN_RECENT_LAST) {
        const auto index = static_cast<std::size_t>(menuId - MEN_RECENT_FIRST);
        if (index < paths.size())
            return paths[index];
    }
#else
    (void)menuId;
#endif
    return std::nullopt;
}

void BrowseOutputFile()
{
    std::unique_ptr<FileRequester> requester = AllocAslRequest(ASL_FileRequest);
    if (!requester)
        return;
    const PathParts current = SplitPath(mui::XGetString(gButtons[BUTTON_MAIN_OUTPUTFILENAME], MUIA_String_Contents).value_or(""));
    AslTags tags;
    tags.titleText = "Choose the output video";
    tags.doSaveMode = true;
    if (!current.directory.empty())
        tags.initialDrawer = current.directory;
    tags.initialFile = current.file;
    tags.initialPattern = kOutputPattern;
    tags.doPatterns = true;
    tags.folderKind = "output";
    if (AslRequest(*requester, tags) && !requester->fr_File.empty())
        mui::set(gButtons[BUTTON_MAIN_OUTPUTFILENAME], MUIA_String_Contents,
                 BuildFullPath(requester->fr_Drawer, requester->fr_File));
    FreeAslRequest(std::move(requester));
}

namespace {

void Browse(LoopState&, LONG) { BrowseOutputFile(); }

#ifndef CLIPWEAVER_BASIC
void OpenRecent(LoopState& loop, LONG id)
{
    if (const std::optional<std::string> path = RecentProject(id))
        LoadSteps(loop, path);
}
#endif

const ReturnIdRow kRows[] = {
    {GADMSG_MAIN_BROWSEOUTPUT, Browse},
#ifndef CLIPWEAVER_BASIC
    {MEN_RECENT_FIRST, OpenRecent},
    {MEN_RECENT_FIRST + 1, OpenRecent},
    {MEN_RECENT_FIRST + 2, OpenRecent},
    {MEN_RECENT_FIRST + 3, OpenRecent},
    {MEN_RECENT_FIRST + 4, OpenRecent},
    {MEN_RECENT_FIRST + 5, OpenRecent},
    {MEN_RECENT_FIRST + 6, OpenRecent},
    {MEN_RECENT_LAST, OpenRecent},
#endif
};

} // namespace

std::span<const ReturnIdRow> DesktopReturnIds() { return kRows; }

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
#include <map>

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

bool HasSuffix(std::string_view name, std::string_view suffix)
{
    if (name.size() < suffix.size())
        return false;
    return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); });
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

// The files of a folder (host or AmigaDOS path), names only.
std::vector<std::string> FolderFiles(const std::string& drawer)
{
    std::vector<std::string> names;
    const std::optional<std::string> host = HostPath(drawer.empty() ? std::string(".") : drawer);
    if (!host)
        return names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(*host, error)) {
        if (entry.is_regular_file(error))
            names.push_back(entry.path().filename().string());
    }
    return names;
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

std::vector<std::string> DroppedPaths(std::string_view lines)
{
    std::vector<std::string> paths;
    while (!lines.empty()) {
        const std::size_t end = lines.find('\n');
        const std::string_view line = lines.substr(0, end);
        if (!line.empty())
            paths.emplace_back(line);
        if (end == std::string_view::npos)
            break;
        lines.remove_prefix(end + 1);
    }
    return paths;
}

DroppedFiles SortDroppedFiles(const std::vector<std::string>& paths)
{
    DroppedFiles sorted;
    // Pictures wait for their folder's others; the folders keep the order
    // of their first picture.
    std::vector<std::string> folders;
    std::map<std::string, std::vector<std::string>> pictures;
    for (const std::string& path : paths) {
        if (HasSuffix(path, ".cwproj")) {
            if (!sorted.project)
                sorted.project = path;
        } else if (HasSuffix(path, ".cwcrouton")) {
            sorted.croutons.push_back(path);
        } else if (IsPictureName(path)) {
            const PathParts parts = SplitPath(path);
            if (!pictures.contains(parts.directory))
                folders.push_back(parts.directory);
            pictures[parts.directory].push_back(parts.file);
        } else {
            const PathParts parts = SplitPath(path);
            sorted.media.push_back({parts.directory, parts.file});
        }
    }
    for (const std::string& folder : folders) {
        std::vector<std::string>& chosen = pictures[folder];
        if (chosen.size() == 1) {
            sorted.media.push_back({folder, chosen.front()});
            continue;
        }
        std::sort(chosen.begin(), chosen.end());
        if (const std::optional<std::string> pattern = SequencePattern(chosen, FolderFiles(folder))) {
            sorted.media.push_back({folder, *pattern});
        } else {
            // No pattern names just these: each picture is a slideshow of its own.
            for (const std::string& picture : chosen)
                sorted.media.push_back({folder, picture});
        }
    }
    return sorted;
}

BOOL AddDroppedMedia(Project* project, const MediaChoice& media)
{
    return AddNewCroutonFromMedia(project, media.drawer, media.file, [](const Crouton&, const std::string& proposal) {
        // A name already taken gets a number: a drop never replaces a crouton file.
        const std::string drawer = "Croutons";
        std::string name = proposal;
        const std::string stem = proposal.substr(0, proposal.size() - std::string_view(".cwcrouton").size());
        for (int number = 2; ; ++number) {
            const std::optional<std::string> host = HostPath(BuildFullPath(drawer, name));
            std::error_code error;
            if (!host || !std::filesystem::exists(*host, error))
                break;
            name = stem + Format("-%d", number) + ".cwcrouton";
        }
        return std::optional<AslAnswer>(AslAnswer{drawer, name});
    });
}

namespace {

void Browse(LoopState&, LONG) { BrowseOutputFile(); }

// Files dropped on the main window: a project is loaded (and nothing else of
// the drop is added to the project it replaces); croutons, videos and
// slideshows are added at the end, the last of them chosen.
void DropSteps(LoopState& loop, LONG)
{
    const DroppedFiles dropped =
        SortDroppedFiles(DroppedPaths(mui::XGetString(gWindows[WINDOW_MAIN], MUIA_AppMessage).value_or("")));
    if (dropped.project) {
        LoadSteps(loop, dropped.project);
        return;
    }
    bool added = false;
    const LONG before = gProject->numberOfCroutons;
    for (const std::string& crouton : dropped.croutons)
        added = AddOldCroutonFromFile(gProject.get(), crouton) || added;
    for (const MediaChoice& media : dropped.media)
        added = AddDroppedMedia(gProject.get(), media) || added;
    if (added) {
        MakeActive(gCroutonList, gProject->numberOfCroutons - 1);
        for (LONG position = before; position < gProject->numberOfCroutons; ++position)
            loop.history.CroutonAdded(position);
        ShowHighlightedCrouton();
    }
}

#ifndef CLIPWEAVER_BASIC
void OpenRecent(LoopState& loop, LONG id)
{
    if (const std::optional<std::string> path = RecentProject(id))
        LoadSteps(loop, path);
}
#endif

const ReturnIdRow kRows[] = {
    {GADMSG_MAIN_BROWSEOUTPUT, Browse},
    {GADMSG_MAIN_DROPPEDFILES, DropSteps},
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

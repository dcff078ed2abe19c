#include "gui/drops.h"

#include "gui/gui.h"
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "os/asl.h"
#include "os/dos.h"
#include "os/format.h"
#include "mui/mui.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

namespace {

bool HasSuffix(std::string_view name, std::string_view suffix)
{
    if (name.size() < suffix.size())
        return false;
    return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); });
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

const ReturnIdRow kRows[] = {
    {GADMSG_MAIN_DROPPEDFILES, DropSteps},
};

} // namespace

std::span<const ReturnIdRow> DropReturnIds() { return kRows; }

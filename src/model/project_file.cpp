// The project file: the project's settings and the paths of its crouton
// files, one value per line, known by its position.
#include "model/project.h"

#include "model/line_file.h"
#include "model/look_file.h"
#include "model/project_view.h"
#include "model/visual_entry.h"
#include "model/tables.h"
#include "os/asl.h"
#include "os/dos.h"
#include "os/exec.h"
#include "mui/mui.h"
#include "os/question.h"

#include <string>
#include <string_view>
#include <vector>

namespace {

// An entry read before from the same file as `path` (any spelling of it),
// and its position.
std::pair<Crouton*, LONG> EarlierCroutonOfFile(const Project& project, const std::string& path)
{
    LONG position = 0;
    for (const ListNode* node = project.croutons.get(); node; node = node->next.get(), ++position) {
        Crouton* crouton = node->node.get();
        if (crouton && !crouton->loadProblem && crouton->filename
            && SameFile(BuildFullPath(crouton->directory.value_or(""), *crouton->filename), path))
            return {crouton, position};
    }
    return {nullptr, -1};
}

constexpr const char* kProjectDrawer = "Projects";
constexpr const char* kProjectPattern = "#?.cwproj";

constexpr std::string_view kSaveTitle = "Project not saved";

// The settings a save writes: the project's own, with the main window's
// texts over them as they stand (without a window the record's own values
// stand in). The size and the choices are the project's: the window hands
// them over before a save, and the cycle gadgets as they change.
ProjectSettings SavedSettings(const Project& project)
{
    ProjectSettings saved = project;
    if (const std::optional<ProjectSettings> shown = ShownSettings()) {
        saved.projectName = shown->projectName;
        saved.outputFileName = shown->outputFileName;
        saved.soundtrack = shown->soundtrack;
        saved.typedCustomFPS = shown->typedCustomFPS;
    }
    return saved;
}

// Writes the lines beside the project file and puts them in place only when
// all of them are written, so an old file stays whole until then and a
// failed save leaves no half-written project. A failure is told to the user.
bool WriteProjectFile(const Project& project, const std::string& path)
{
    std::vector<std::string> lines = SettingsLines(SavedSettings(project));

    // Names read back with a line break turned into a blank would name
    // other files: such a project is not written at all.
    std::string problem = LineBreakProblem("The output name", lines[1]);
    if (problem.empty())
        problem = LineBreakProblem("The soundtrack name", lines[2]);
    if (problem.empty())
        problem = LineBreakProblem("The project file's name", path);

    ReplacingFile file(path);
    if (!file && problem.empty()) {
        TellUser(kSaveTitle, "The project could not be saved to " + path + ": " + SaveFailureReason(file.Error())
                                 + ". The file is as it was.");
        return false;
    }
    if (file)
        kprintf("Project file opened for writing.\n");

    // At most numberOfCroutons nodes; the count written is the number of
    // paths that follow, so the file always holds what it announces.
    std::vector<std::string> paths;
    LONG walked = 0;
    for (const ListNode* node = project.croutons.get(); node && walked < project.numberOfCroutons;
         node = node->next.get(), ++walked) {
        const Crouton* crouton = node->node.get();
        if (!crouton)
            continue;
        std::string croutonPath = BuildFullPath(crouton->directory.value_or(""), crouton->filename.value_or(""));
        kprintf("Adding crouton %s.\n", croutonPath.c_str());
        if (problem.empty())
            problem = LineBreakProblem("The crouton file name " + croutonPath, croutonPath);
        paths.push_back(std::move(croutonPath));
    }
    if (!problem.empty()) {
        TellUser(kSaveTitle, "The project was not saved to " + path + ". " + problem);
        return false;
    }
    lines.push_back(std::to_string(paths.size()));
    lines.insert(lines.end(), paths.begin(), paths.end());
    // The look follows the paths an older reader reads; a plain look adds
    // nothing.
    const std::vector<std::string> look = ProjectLookLines(project.look);
    lines.insert(lines.end(), look.begin(), look.end());

    for (std::string& line : lines)
        line = OneLine(std::move(line));
    if (file.Commit(lines))
        return true;
    TellUser(kSaveTitle, "The project could not be saved to " + path + ": " + SaveFailureReason(file.Error())
                             + ". The file is as it was.");
    return false;
}

// Gives every crouton of a freshly loaded project its picture and visual
// entry: slots 1 to N in list order. An entry goes in even when no picture
// could be made (its slot stays empty), so both lists stay in step.
void BuildVisualEntries(Project& project)
{
    LONG slot = 1;
    for (ListNode* node = project.croutons.get(); node; node = node->next.get(), ++slot) {
        Crouton* crouton = node->node.get();
        if (!crouton)
            continue;
        crouton->previewImage = MakeListPicture();
        const std::optional<std::string>& chosen =
            crouton->previewFilename[static_cast<std::size_t>(ClampPreviewFrame(crouton->previewFrame))];
        // A crouton without a chosen still keeps the no-image picture.
        if (crouton->previewImage && chosen)
            SetButtonImage(crouton->previewImage, std::string_view(*chosen));
        kprintf("Preview image is %s (%p).\n", TraceText(chosen), static_cast<void*>(crouton->previewImage));
        AddVisualEntry(crouton, slot);
    }
}

// What a project file holds, once it has been read whole and found to be
// one.
struct ProjectFileContents {
    ProjectSettings settings;
    std::vector<std::string> croutonPaths;
    // The lines after the paths: the project's look.
    std::vector<std::string> lookLines;
    // Reading stopped at an overlong line; the croutons before it stand.
    bool damaged = false;
};

// Far more than the ten settings and the paths of thousands of croutons; a
// larger file is not a project (a clip picked by mistake is not read whole).
constexpr std::size_t kLargestProjectFile = 16 * 1024 * 1024;
// The settings and the crouton count.
constexpr std::size_t kSettingsLines = kSettingsLineCount + 1;

// The file's lines without their line ends (LF or CR LF); a last line
// without one counts too. Nullopt when the file is too large to be a
// project. An overlong line ends the lines there and marks them damaged.
struct FileLines {
    std::vector<std::string> lines;
    bool damaged = false;
};
std::optional<FileLines> ReadLines(DosFile& file)
{
    FileLines read;
    LineReader reader(file);
    std::size_t total = 0;
    while (std::optional<std::string> line = reader.Next()) {
        total += line->size() + 1;
        if (total > kLargestProjectFile)
            return std::nullopt;
        read.lines.push_back(std::move(*line));
    }
    read.damaged = reader.Damaged();
    return read;
}

// Reads the file whole and checks that it is a project: the settings lines
// (ReadSettingsLines), a whole crouton count on the tenth line and a count
// that the lines after it can hold.
std::optional<ProjectFileContents> ReadProjectFile(DosFile& file)
{
    const std::optional<FileLines> read = ReadLines(file);
    if (!read || read->lines.size() < kSettingsLines)
        return std::nullopt;
    const std::vector<std::string>& line = read->lines;
    if (!read->damaged && !LooksLikeProjectFile(line))
        return std::nullopt;
    // A crouton with a look can have a project's numbers in its first lines.
    if (LinesHoldACroutonLook(line))
        return std::nullopt;
    std::optional<ProjectSettings> settings = ReadSettingsLines(line);
    if (!settings || !IsWholeNumber(line[kSettingsLineCount]))
        return std::nullopt;
    LONG count = ReadLong(line[kSettingsLineCount]);
    const std::size_t held = line.size() - kSettingsLines;
    if (count < 0)
        return std::nullopt;
    // A damaged file gives the croutons named before the overlong line.
    count = std::min<LONG>(count, static_cast<LONG>(held));

    ProjectFileContents contents;
    contents.settings = std::move(*settings);
    contents.croutonPaths.assign(line.begin() + kSettingsLines,
                                 line.begin() + static_cast<std::ptrdiff_t>(kSettingsLines) + count);
    contents.lookLines.assign(line.begin() + static_cast<std::ptrdiff_t>(kSettingsLines) + count, line.end());
    contents.damaged = read->damaged;
    return contents;
}

} // namespace

std::string ProjectFilePath(const Project& project)
{
#ifdef CLIPWEAVER_BASIC
    return project.filename;
#else
    return BuildFullPath(project.directory, project.filename);
#endif
}

namespace {

// Writes the project to `path`; once written, that file is the project's.
BOOL WriteAndKeep(Project* project, const std::string& path, bool* written, std::string* savedPath)
{
    kprintf("Project filename is %s.\n", path.c_str());
    // A file that can't be written is told to the user; the result still
    // says only that a name was chosen, `written` whether the file was.
    const bool saved = WriteProjectFile(*project, path);
    if (written)
        *written = saved;
    if (!saved)
        return TRUE;
    if (savedPath)
        *savedPath = path;
#ifdef CLIPWEAVER_BASIC
    project->filename = path;
#else
    const PathParts parts = SplitPath(path);
    project->directory = parts.directory;
    project->filename = parts.file;
#endif
    project->hasFile = true;
    return TRUE;
}

} // namespace

BOOL SaveProject(Project* project, bool* written, std::string* savedPath)
{
    if (written)
        *written = false;
    kprintf("Saving project.\n");
    if (!project)
        return FALSE;

    // A project with a file proposes it; a new one its proposed name in the
    // projects' drawer.
    const PathParts own = SplitPath(ProjectFilePath(*project));
    AslTags tags;
    tags.doSaveMode = true;
    tags.initialDrawer = project->hasFile ? own.directory : project->directory;
    tags.initialPattern = kProjectPattern;
    tags.initialFile = project->hasFile ? own.file : project->filename;
    tags.doPatterns = true;
    const std::optional<AslAnswer> chosen = ChooseFile(tags);
    if (!chosen)
        return FALSE;
    return WriteAndKeep(project, BuildFullPath(chosen->drawer, chosen->file), written, savedPath);
}

BOOL SaveProjectToItsFile(Project* project, bool* written, std::string* savedPath)
{
    if (!project || !project->hasFile)
        return SaveProject(project, written, savedPath);
    if (written)
        *written = false;
    kprintf("Saving project.\n");
    return WriteAndKeep(project, ProjectFilePath(*project), written, savedPath);
}

std::unique_ptr<Project> LoadProject(std::unique_ptr<Project> oldProject, bool* loaded)
{
    if (loaded)
        *loaded = false;
    const std::optional<AslAnswer> chosen = ChooseFile(OpenRequest(kProjectDrawer, kProjectPattern));
    if (!chosen)
        return oldProject;
    return LoadProjectFile(std::move(oldProject), chosen->drawer, chosen->file, loaded);
}

namespace {

// The file `path` read whole and checked before anything changes: a clip
// or a damaged file picked by mistake must not cost the user the project on
// the screen. One that can't be opened or is no project is told to the user.
std::optional<ProjectFileContents> ReadChosenProjectFile(const std::string& path)
{
    FileHandle file = OpenRegularFile(path, MODE_OLDFILE);
    if (!file) {
        TellUser("Load Project", "\"" + path + "\" could not be opened.");
        return std::nullopt;
    }
    std::optional<ProjectFileContents> contents = ReadProjectFile(*file);
    Close(std::move(file));
    if (!contents) {
        kprintf("Not a project file.\n");
        TellUser("Load Project", "\"" + path + "\" is not a Clipweaver project file.");
    }
    return contents;
}

// A new project whose file is the one chosen, with the file's settings,
// shown in the main window before its croutons load.
std::unique_ptr<Project> NewProjectOfFile(const std::string& drawer, const std::string& chosen,
                                          const ProjectSettings& settings)
{
    std::unique_ptr<Project> project = NewProject();
#ifdef CLIPWEAVER_BASIC
    project->filename = BuildFullPath(drawer, chosen);
#else
    project->filename = chosen;
    project->directory = drawer;
#endif
    project->hasFile = true;

    kprintf("Loading project.\n");
    static_cast<ProjectSettings&>(*project) = settings;
    kprintf("Baudrate: %d. Format: %d.\n", project->baudrate, project->parameters);
    if (ProjectView().settingsLoaded)
        ProjectView().settingsLoaded(*project);
    return project;
}

// Loads the crouton file `path` as the project's last crouton. One that
// can't be loaded stays as an entry that says why, so that saving the
// project keeps it.
void AppendCroutonOfFile(Project& project, std::unique_ptr<ListNode>*& tail, const std::string& path)
{
    CroutonLoadFailure failure = CroutonLoadFailure::None;
    // A file listed twice is read twice: its first entry's lock is let go
    // for the reading, and the first entry alone holds it after.
    const auto [first, firstPosition] = EarlierCroutonOfFile(project, path);
    if (first)
        UnlockCrouton(first);
    std::unique_ptr<Crouton> crouton = LoadCrouton(path, &failure);
    if (first) {
        LockCrouton(first);
        if (crouton)
            TellUser("Load Project", "The crouton file " + path + " is listed twice in the project, as crouton "
                                         + std::to_string(firstPosition + 1) + " and crouton "
                                         + std::to_string(project.numberOfCroutons + 1)
                                         + "; it is rendered at both places.");
    }
    if (!crouton) {
        crouton = UnloadedCrouton(path, failure);
        if (!crouton)
            return;
    } else {
        kprintf("Crouton loaded has name %s.\n", TraceText(crouton->name));
    }
    Crouton* added = crouton.get();
    *tail = std::make_unique<ListNode>();
    (*tail)->node = std::move(crouton);
    tail = &(*tail)->next;
    ++project.numberOfCroutons;
    mui::NList_InsertSingle(gCroutonList, added->name.value_or(""), MUIV_NList_Insert_Bottom);
    if (!added->loadProblem && !first)
        LockCrouton(added);
}

} // namespace

std::unique_ptr<Project> LoadProjectFile(std::unique_ptr<Project> oldProject, const std::string& drawer,
                                         const std::string& chosen, bool* loaded)
{
    if (loaded)
        *loaded = false;
    const std::string path = BuildFullPath(drawer, chosen);
    const std::optional<ProjectFileContents> contents = ReadChosenProjectFile(path);
    if (!contents)
        return oldProject;

    // Destroying the old project also closes the crouton editor when it
    // works on one of its croutons.
    DestroyProject(std::move(oldProject));
    std::unique_ptr<Project> project = NewProjectOfFile(drawer, chosen, contents->settings);
    std::unique_ptr<ListNode>* tail = &project->croutons;
    for (const std::string& croutonPath : contents->croutonPaths)
        AppendCroutonOfFile(*project, tail, croutonPath);

    if (contents->damaged)
        kprintf("Project file %s is damaged; reading stopped there.\n", path.c_str());
    project->look = ReadProjectLook(contents->lookLines, project->numberOfCroutons);

    BuildVisualEntries(*project);
    if (ProjectView().projectShown)
        ProjectView().projectShown(project.get());
    kprintf("Done loading.\n");
    if (loaded)
        *loaded = true;
    return project;
}

// The project file: the project's settings and the paths of its crouton
// files, one value per line, known by its position.
#include "model/project.h"

#include "gui/gui.h"
#include "gui/vocabulary.h"
#include "model/line_file.h"
#include "model/visual_entry.h"
#include "model/tables.h"
#include "platform/asl.h"
#include "platform/dos.h"
#include "platform/exec.h"
#include "platform/mui/mui.h"

#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kProjectDrawer = "Projects";
constexpr const char* kProjectPattern = "#?.cwproj";

const char* TraceText(const std::optional<std::string>& text) { return text ? text->c_str() : "(null)"; }

// The text of one of the main window's fields; without a window the
// record's own value stands in.
std::string FieldText(HexButtons slot, std::string fallback)
{
    if (!gButtons[slot])
        return fallback;
    return mui::XGetString(gButtons[slot], MUIA_String_Contents).value_or("");
}

// Shows the requester; false when the user cancelled or chose no file name.
bool Ask(FileRequester& requester, const AslTags& tags)
{
    return AslRequest(requester, tags) && !requester.fr_File.empty();
}

// Writes the lines beside the project file and puts them in place only when
// all of them are written, so an old file stays whole until then and a
// failed save leaves no half-written project.
bool WriteProjectFile(const Project& project, const std::string& path)
{
    ReplacingFile file(path);
    if (!file)
        return false;
    kprintf("Project file opened for writing.\n");

    std::vector<std::string> lines;
    lines.push_back(FieldText(BUTTON_MAIN_PROJECTNAME, project.projectName));
    lines.push_back(FieldText(BUTTON_MAIN_OUTPUTFILENAME, project.outputFileName));
    lines.push_back(FieldText(BUTTON_MAIN_SOUNDTRACK, project.soundtrack.value_or("")));
    lines.push_back(std::to_string(project.width));
    lines.push_back(std::to_string(project.height));
    lines.push_back(std::to_string(project.parameters));
    lines.push_back(std::to_string(project.baudrate));
    lines.push_back(std::to_string(project.fps));
    lines.push_back(FieldText(BUTTON_MAIN_CUSTOMFPS, FormatFloat(project.customFPS)));

    // At most numberOfCroutons nodes; the count written is the number of
    // paths that follow, so the file always holds what it announces.
    std::vector<std::string> paths;
    LONG walked = 0;
    for (const ListNode* node = project.croutons.get(); node && walked < project.numberOfCroutons;
         node = node->next.get(), ++walked) {
        const Crouton* crouton = node->node.get();
        if (!crouton)
            continue;
        std::string path = BuildFullPath(crouton->directory.value_or(""), crouton->filename.value_or(""));
        kprintf("Adding crouton %s.\n", path.c_str());
        paths.push_back(std::move(path));
    }
    lines.push_back(std::to_string(paths.size()));
    lines.insert(lines.end(), paths.begin(), paths.end());

    for (std::string& line : lines)
        line = OneLine(std::move(line));
    return file.Commit(lines);
}

// The main window shows the loaded settings. The format cycler changes
// quietly so that its handler does not move the bit-rate cycler to the
// format's default; the bit-rate and frame-rate cyclers notify as a user's
// change would.
void ShowLoadedSettings(const Project& project)
{
    mui::set(gButtons[BUTTON_MAIN_SOUNDTRACK], MUIA_String_Contents, project.soundtrack.value_or(""));
    mui::nnset(gButtons[BUTTON_MAIN_FORMAT_CYCLER], MUIA_Cycle_Active, project.parameters);
    mui::set(gButtons[BUTTON_MAIN_BAUDRATE_CYCLER], MUIA_Cycle_Active, project.baudrate);
    mui::set(gButtons[BUTTON_MAIN_FPS_CYCLER], MUIA_Cycle_Active, project.fps);
    mui::set(gButtons[BUTTON_MAIN_CUSTOMFPS], MUIA_String_Contents, FormatFloat(project.customFPS));
    // The quiet format change leaves the frame size to us: the custom format
    // lets it be typed; any other leaves the fields as they are.
    if (project.parameters == cCustomFormatID) {
        mui::set(gButtons[BUTTON_MAIN_WIDTH], MUIA_Disabled, LONG{FALSE});
        mui::set(gButtons[BUTTON_MAIN_HEIGHT], MUIA_Disabled, LONG{FALSE});
    }
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

} // namespace

BOOL SaveProject(Project* project)
{
    std::unique_ptr<FileRequester> requester = AllocAslRequest(ASL_FileRequest);
    kprintf("Saving project.\n");
    if (!requester)
        return FALSE;
    if (!project) {
        FreeAslRequest(std::move(requester));
        return FALSE;
    }

    AslTags tags;
    tags.doSaveMode = true;
    tags.initialDrawer = project->directory;
    tags.initialPattern = kProjectPattern;
    tags.initialFile = project->filename;
    tags.doPatterns = true;
    if (!Ask(*requester, tags)) {
        FreeAslRequest(std::move(requester));
        return FALSE;
    }

    const std::string path = BuildFullPath(requester->fr_Drawer, requester->fr_File);
    kprintf("Project filename is %s.\n", path.c_str());
    // The project keeps its directory and file name: the next save proposes
    // them again.
    // A file that can't be written is not reported.
    WriteProjectFile(*project, path);
    FreeAslRequest(std::move(requester));
    return TRUE;
}

std::unique_ptr<Project> LoadProject(std::unique_ptr<Project> oldProject)
{
    std::unique_ptr<FileRequester> requester = AllocAslRequest(ASL_FileRequest);
    if (!requester)
        return oldProject;

    AslTags tags;
    tags.doSaveMode = false;
    tags.initialDrawer = kProjectDrawer;
    tags.initialPattern = kProjectPattern;
    tags.doPatterns = true;
    if (!Ask(*requester, tags)) {
        FreeAslRequest(std::move(requester));
        return oldProject;
    }

    const std::string path = BuildFullPath(requester->fr_Drawer, requester->fr_File);
    FileHandle file = OpenRegularFile(path, MODE_OLDFILE);
    if (!file) {
        FreeAslRequest(std::move(requester));
        return oldProject;
    }

    // Destroying the old project also closes the crouton editor when it
    // works on one of its croutons.
    DestroyProject(std::move(oldProject));
    std::unique_ptr<Project> project = NewProject();
#ifdef CLIPWEAVER_BASIC
    project->filename = path;
#else
    project->filename = requester->fr_File;
    project->directory = requester->fr_Drawer;
#endif

    kprintf("Loading project.\n");
    LineReader reader(*file);
    if (std::optional<std::string> line = reader.Next())
        project->projectName = std::move(*line);
    if (std::optional<std::string> line = reader.Next())
        project->outputFileName = std::move(*line);
    if (std::optional<std::string> line = reader.Next())
        project->soundtrack = std::move(*line);
    project->width = reader.NextInt(project->width);
    project->height = reader.NextInt(project->height);
    // Indices from a file are brought into their table's range.
    project->parameters = ClampFormatIndex(reader.NextInt(project->parameters));
    project->baudrate = ClampBaudIndex(reader.NextInt(project->baudrate));
    project->fps = ClampFPSIndex(reader.NextInt(project->fps));
    project->customFPS = reader.NextFloat(project->customFPS);
    const LONG announced = reader.NextInt(0);

    kprintf("Baudrate: %d. Format: %d.\n", project->baudrate, project->parameters);
    ShowLoadedSettings(*project);

    // Only the crouton lines that are there are read, however many the file
    // announces; a crouton that can't be loaded is skipped.
    std::unique_ptr<ListNode>* tail = &project->croutons;
    for (LONG i = 0; i < announced; ++i) {
        const std::optional<std::string> line = reader.Next();
        if (!line)
            break;
        std::unique_ptr<Crouton> crouton = LoadCrouton(*line);
        if (!crouton)
            continue;
        kprintf("Crouton loaded has name %s.\n", TraceText(crouton->name));
        Crouton* added = crouton.get();
        auto node = std::make_unique<ListNode>();
        node->node = std::move(crouton);
        *tail = std::move(node);
        tail = &(*tail)->next;
        ++project->numberOfCroutons;
        mui::NList_InsertSingle(gCroutonList, added->name.value_or(""), MUIV_NList_Insert_Bottom);
        LockCrouton(added);
    }

    if (reader.Damaged())
        kprintf("Project file %s is damaged; reading stopped there.\n", path.c_str());
    FreeAslRequest(std::move(requester));
    Close(std::move(file));

    BuildVisualEntries(*project);
    UpdateGUI(project.get());
    kprintf("Done loading.\n");
    return project;
}

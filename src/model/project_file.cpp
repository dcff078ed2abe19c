// The project file: the project's settings and the paths of its crouton
// files, one value per line, known by its position.
#include "model/project.h"

#include "gui/gui.h"
#include "gui/vocabulary.h"
#include "model/tables.h"
#include "platform/asl.h"
#include "platform/dos.h"
#include "platform/exec.h"
#include "platform/mui/mui.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kProjectDrawer = "Projects";
constexpr const char* kProjectPattern = "#?.cwproj";
constexpr const char* kNoImageAvailable = "NoImageAvailable.png";
constexpr std::string_view kTemporarySuffix = ".cwtmp";

const char* TraceText(const std::optional<std::string>& text) { return text ? text->c_str() : "(null)"; }

std::string FormatFloat(float value)
{
    const double number = static_cast<double>(value);
    const int size = std::snprintf(nullptr, 0, "%f", number);
    if (size <= 0)
        return "0.000000";
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%f", number);
    text.resize(static_cast<std::size_t>(size));
    return text;
}

// A value goes on one line: a line feed inside it would shift every value
// after it, so it is written as a blank.
std::string LineText(std::string text)
{
    for (char& c : text) {
        if (c == '\n')
            c = ' ';
    }
    return text;
}

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
    const std::string temporary = path + std::string(kTemporarySuffix);
    FileHandle file = Open(temporary, MODE_NEWFILE);
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

    bool written = true;
    for (const std::string& line : lines) {
        if (FPuts(*file, LineText(line) + "\n") != 0) {
            written = false;
            break;
        }
    }
    if (!Close(std::move(file)))
        written = false;
    if (!written || !ReplaceFile(temporary, path)) {
        DeleteFile(temporary);
        return false;
    }
    return true;
}

// Reads a project file line by line; past its end every line is absent.
class LineReader {
public:
    explicit LineReader(DosFile& file) : file_(file) {}

    std::optional<std::string> Next()
    {
        if (ended_)
            return std::nullopt;
        std::optional<std::string> line = FGets(file_);
        if (!line) {
            ended_ = true;
            return std::nullopt;
        }
        if (!line->empty() && line->back() == '\n')
            line->pop_back();
        return line;
    }

    // A decimal integer: leading white space, an optional sign, the digits
    // up to the first other character; 0 without digits. A line past the end
    // keeps `fallback`.
    LONG NextInt(LONG fallback)
    {
        const std::optional<std::string> line = Next();
        if (!line)
            return fallback;
        const long long value = std::strtoll(line->c_str(), nullptr, 10);
        if (value < std::numeric_limits<LONG>::min())
            return std::numeric_limits<LONG>::min();
        if (value > std::numeric_limits<LONG>::max())
            return std::numeric_limits<LONG>::max();
        return static_cast<LONG>(value);
    }

    // A decimal floating-point number; 0.0 without one. Values that are not
    // finite read 0.0; larger ones are held at the float's range.
    float NextFloat(float fallback)
    {
        const std::optional<std::string> line = Next();
        if (!line)
            return fallback;
        const double value = std::strtod(line->c_str(), nullptr);
        if (!std::isfinite(value))
            return 0.0f;
        if (value > FLT_MAX)
            return FLT_MAX;
        if (value < -FLT_MAX)
            return -FLT_MAX;
        return static_cast<float>(value);
    }

private:
    DosFile& file_;
    bool ended_ = false;
};

std::string ImageSlotText(LONG slot) { return "\x1bo[" + std::to_string(slot) + "]"; }

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
    // The frame size can be typed only for the custom format; the quiet
    // format change leaves this to us.
    const LONG disabled = project.parameters == cCustomFormatID ? FALSE : TRUE;
    mui::set(gButtons[BUTTON_MAIN_WIDTH], MUIA_Disabled, disabled);
    mui::set(gButtons[BUTTON_MAIN_HEIGHT], MUIA_Disabled, disabled);
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
        mui::Object* picture = nullptr;
        if (gVisualList) {
            if (mui::ObjectPtr made = mui::MakeNBitmap(kNoImageAvailable))
                picture = gVisualList->AdoptImage(std::move(made));
        }
        const std::optional<std::string>& chosen =
            crouton->previewFilename[static_cast<std::size_t>(ClampPreviewFrame(crouton->previewFrame))];
        // A crouton without a chosen still keeps the no-image picture.
        if (picture && chosen)
            SetButtonImage(picture, std::string_view(*chosen));
        kprintf("Preview image is %s (%p).\n", TraceText(chosen), static_cast<void*>(picture));
        mui::NList_UseImage(gVisualList, picture, slot, 0);
        crouton->previewImageText = ImageSlotText(slot);
        mui::NList_InsertSingle(gVisualList, *crouton->previewImageText, MUIV_NList_Insert_Bottom);
        crouton->previewImage = picture;
        kprintf("Created previewImage at %p.\n", static_cast<void*>(picture));
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
    if (!WriteProjectFile(*project, path))
        kprintf("Couldn't save project %s.\n", path.c_str());
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
    FileHandle file = Open(path, MODE_OLDFILE);
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

    FreeAslRequest(std::move(requester));
    Close(std::move(file));

    BuildVisualEntries(*project);
    UpdateGUI(project.get());
    kprintf("Done loading.\n");
    return project;
}

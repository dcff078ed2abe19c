// The render's checks before anything is encoded: every source is there,
// the output's folder can take the file, there is room for it on T: and
// beside the output, the output is none of the sources (the same file,
// however its name is spelt), and every crouton could be loaded. And the
// question before a file the project's own render did not make is replaced.
#include "model/imageseq.h"
#include "model/line_file.h"
#include "model/render_internal.h"
#include "model/tables.h"
#include "media/preview.h"
#include "os/dos.h"
#include "os/format.h"
#include "os/question.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace render_detail {

namespace {

// Every file a crouton's render reads: its clip or pictures (for a picture
// pattern, the pictures' folder stands for them), its soundtrack.
std::vector<std::string> ReadsOf(const Crouton* crouton)
{
    std::vector<std::string> reads;
    if (crouton && crouton->videoName && !crouton->videoName->empty()) {
        const std::string& source = *crouton->videoName;
        if (!crouton->isVideo && IsSourcePattern(source)) {
            const std::string folder = SplitPath(source).directory;
            reads.push_back(folder.empty() ? std::string(".") : folder);
        } else {
            reads.push_back(source);
        }
    }
    if (crouton && crouton->soundtrack && !crouton->soundtrack->empty())
        reads.push_back(*crouton->soundtrack);
    return reads;
}

// The bytes a second the pieces on T: carry beyond the video: their
// sound is PCM (48 kHz, two channels of 16 bits), in the piece and once
// more raw beside it, which the sound's compression reads.
constexpr double kPieceSoundBytesPerSecond = 2 * 192000.0;

// The output's size, roughly: the chosen video bit rate and a
// compressed sound track.
double OutputEstimate(const Project& project, double seconds)
{
    const double videoBits = cBaudRates[static_cast<std::size_t>(ClampBaudIndex(project.baudrate))] * 1000.0;
    return seconds * (videoBits + 128000.0) / 8.0;
}

void CheckRoom(const std::string& folder, double needed, std::vector<std::string>& problems)
{
    const std::optional<long long> free = FreeBytes(folder);
    if (!free || static_cast<double>(*free) >= needed)
        return;
    problems.push_back(Format("There is not room enough in %s: the render needs about %.1f MB there, and %.1f MB "
                              "are free.",
                              ShownPath(folder).c_str(), needed / 1e6, static_cast<double>(*free) / 1e6));
}

// A name as the file system has it (links in its folders followed), for
// names of files that need not exist yet.
std::string NameKey(std::string_view name)
{
    const std::optional<std::string> host = HostPath(name);
    if (!host)
        return {};
    std::error_code error;
    const std::filesystem::path path = std::filesystem::weakly_canonical(*host, error);
    return error ? std::filesystem::absolute(*host, error).lexically_normal().string() : path.string();
}

// What must never be written over by a render, each with the words that
// name it: the project's own file, and per crouton its file, its stills
// and icon beside it, and every picture of its picture sequence.
struct ProjectFile {
    std::string name;
    std::string role; // "the file of crouton 2 (beach)"
};

void AddCroutonFiles(int index, const Crouton& crouton, std::vector<ProjectFile>& files)
{
    const std::string who = "crouton " + std::to_string(index) + " (" + CroutonLabel(&crouton) + ")";
    if (crouton.filename && !crouton.filename->empty())
        files.push_back({BuildFullPath(crouton.directory.value_or(""), *crouton.filename), "the file of " + who});
    if (crouton.loadProblem)
        return;
    for (int still = 1; still <= 5; ++still)
        files.push_back({PreviewStillName(&crouton, still), "a still of " + who});
    for (const std::optional<std::string>& still : crouton.previewFilename)
        if (still && !still->empty())
            files.push_back({*still, "a still of " + who});
    files.push_back({PreviewIconName(&crouton), "the icon of " + who});
    if (crouton.isVideo || !crouton.videoName || !IsSourcePattern(*crouton.videoName))
        return;
    std::string tokenised;
    ParsePatternNoCase(*crouton.videoName, tokenised, 1023);
    const int count = GetNumberOfFilesInImageCrouton(&crouton);
    for (std::string picture : BuildFileList(&crouton, tokenised, count)) {
        if (!picture.empty() && picture.back() == '\n')
            picture.pop_back();
        files.push_back({picture, "a picture of " + who});
    }
}

std::vector<ProjectFile> FilesOfProject(const Project& project)
{
    std::vector<ProjectFile> files;
    if (!project.filename.empty())
        files.push_back({BuildFullPath(project.directory, project.filename), "the project's own file"});
    int index = 1;
    for (const ListNode* node = project.croutons.get(); node; node = node->next.get(), ++index)
        if (node->node)
            AddCroutonFiles(index, *node->node, files);
    return files;
}

// What the output name is when it is no file a render may write: a device,
// a folder, a pipe, a name on T:, or one of the project's own files.
std::optional<std::string> OutputRoleProblem(const Project& project, const std::string& outputName)
{
    const std::string shown = ShownPath(outputName);
    const std::optional<std::string> host = HostPath(outputName);
    struct stat st {};
    if (host && ::stat(host->c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode))
            return "The output name " + shown + " is a folder: type a file name into the output field.";
        if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
            return "The output name " + shown + " is a device, not a file: type a file name into the output field.";
        return "The output name " + shown + " is a pipe or socket, not a file: type a file name into the output "
               "field.";
    }
    const std::string key = NameKey(outputName);
    const std::string temporary = NameKey("T:");
    if (!temporary.empty() && key.starts_with(temporary + "/"))
        return "The output name " + shown + " is on T:, which is emptied when Clipweaver quits: choose a folder of "
               "your own.";
    const std::optional<FileIdentity> output = IdentityOf(outputName);
    for (const ProjectFile& file : FilesOfProject(project)) {
        const bool same = output ? IdentityOf(file.name) == output : NameKey(file.name) == key;
        if (same)
            return "The output file " + shown + " is " + file.role + ": choose another output name.";
    }
    return std::nullopt;
}

} // namespace

// Every problem that would stop the render, found before anything is
// encoded, so that one window names them all; empty when there is none.
std::vector<std::string> RenderPreflight(const Project& project, const std::string& outputName)
{
    std::vector<std::string> problems;
    const std::string shown = ShownPath(outputName);
    if (std::string problem = LineBreakProblem("The output name", outputName); !problem.empty())
        problems.push_back(std::move(problem));
    if (std::optional<std::string> problem = OutputRoleProblem(project, outputName)) {
        problems.push_back(std::move(*problem));
        return problems;
    }
    const std::string folder = SplitPath(outputName).directory;
    const std::string shownFolder = ShownPath(folder.empty() ? std::string(".") : folder);
    const bool folderThere = folder.empty() || Lock(folder, SHARED_LOCK) != nullptr;
    if (!folderThere)
        problems.push_back("The folder " + shownFolder + " for the output does not exist.");
    else if (!FolderWritable(folder))
        problems.push_back("The folder " + shownFolder + " for the output may not be written to.");

    const std::optional<FileIdentity> output = IdentityOf(outputName);
    const auto sameAsOutput = [&output](const std::string& source) {
        return output && IdentityOf(source) == output;
    };
    int index = 1;
    double seconds = 0.0;
    for (const ListNode* node = project.croutons.get(); node; node = node->next.get(), ++index) {
        const Crouton* crouton = node->node.get();
        if (!crouton)
            continue;
        const std::string prefix = CroutonPrefix(index, crouton);
        if (crouton->loadProblem) {
            problems.push_back(prefix + " could not be loaded (" + *crouton->loadProblem + "): "
                               + ShownPath(BuildFullPath(crouton->directory.value_or(""),
                                                         crouton->filename.value_or("")))
                               + ".");
            continue;
        }
        seconds += std::max(crouton->length, 0.0);
        for (const std::string& source : ReadsOf(crouton)) {
            if (!IdentityOf(source))
                problems.push_back(prefix + ": " + ShownPath(source) + " is missing.");
            else if (sameAsOutput(source))
                problems.push_back("The output file " + shown + " is also what " + prefix
                                   + " is made from: choose another output name.");
        }
    }
    if (project.soundtrack.has_value()) {
        const std::string& soundtrack = *project.soundtrack;
        if (!IdentityOf(soundtrack))
            problems.push_back("The soundtrack " + ShownPath(soundtrack) + " is missing.");
        else if (sameAsOutput(soundtrack))
            problems.push_back("The output file " + shown + " is also the soundtrack: choose another output name.");
    }
    const double estimate = OutputEstimate(project, seconds);
    if (folderThere)
        CheckRoom(folder.empty() ? std::string(".") : folder, estimate, problems);
    CheckRoom("T:", estimate + seconds * kPieceSoundBytesPerSecond, problems);
    return problems;
}

// Asks before a file that this project's earlier render did not make is
// replaced; false when the user keeps it.
bool MayReplaceOutput(const Project& project, const std::string& outputName)
{
    const std::optional<FileIdentity> existing = IdentityOf(outputName);
    if (!existing || existing == project.renderedOutput)
        return true;
    const int answer = AskQuestion(Question{"Render", ShownPath(outputName) + " exists. Replace it?",
                                            {"_Replace", "_Cancel"}, 0, 1});
    return answer == 0;
}

} // namespace render_detail

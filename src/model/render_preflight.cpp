// The render's checks before anything is encoded: every source is there,
// the output's folder can take the file, there is room for it on T: and
// beside the output, the output is none of the sources (the same file,
// however its name is spelt), and every crouton could be loaded. And the
// question before a file the project's own render did not make is replaced.
#include "model/imageseq.h"
#include "model/line_file.h"
#include "model/render_internal.h"
#include "model/tables.h"
#include "os/dos.h"
#include "os/format.h"
#include "os/question.h"

#include <algorithm>
#include <string>
#include <vector>

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
// sound is PCM (48 kHz, two channels of 16 bits).
constexpr double kPieceSoundBytesPerSecond = 192000.0;

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

} // namespace

// Every problem that would stop the render, found before anything is
// encoded, so that one window names them all; empty when there is none.
std::vector<std::string> RenderPreflight(const Project& project, const std::string& outputName)
{
    std::vector<std::string> problems;
    const std::string shown = ShownPath(outputName);
    if (std::string problem = LineBreakProblem("The output name", outputName); !problem.empty())
        problems.push_back(std::move(problem));
    FileInfoBlock info;
    if (FileLock lock = Lock(outputName, SHARED_LOCK); lock && Examine(*lock, info) && info.fib_DirEntryType > 0) {
        problems.push_back("The output name " + shown + " is a folder: type a file name into the output field.");
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

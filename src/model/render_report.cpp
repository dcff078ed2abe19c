// The rendering's outcomes in plain words: why a step failed (from what is on
// disk and the tool's own last error line) and where the finished video is.
#include "model/render_internal.h"

#include "media/probe.h"

#include "model/tables.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/format.h"

#include <cmath>

namespace render_detail {
namespace {

bool Contains(std::string_view text, std::string_view piece) { return text.find(piece) != std::string_view::npos; }

bool Exists(std::string_view name) { return static_cast<bool>(Lock(name, SHARED_LOCK)); }

bool Readable(std::string_view name)
{
    FileHandle file = Open(name, MODE_OLDFILE);
    if (!file)
        return IoErr() != ERROR_READ_PROTECTED && IoErr() != ERROR_WRITE_PROTECTED;
    return true;
}


// Sizes as the desktop's file managers give them (1 MB = 1,000,000 bytes).
std::string Size(LONG bytes)
{
    if (bytes < 100000)
        return Format("%ld KB", static_cast<long>(std::lround(bytes / 1000.0)));
    return Format("%.1f MB", bytes / 1e6);
}

// The error line of the render's newest tool run (NoteToolError).
std::string& ToolError()
{
    static std::string line;
    return line;
}

} // namespace

void NoteToolError(std::string line) { ToolError() = std::move(line); }

std::string ShownPath(std::string_view name)
{
    return HostPath(name).value_or(std::string(name));
}

std::string CroutonLabel(const Crouton* crouton)
{
    if (!crouton)
        return std::string();
    if (crouton->name && !crouton->name->empty())
        return *crouton->name;
    if (crouton->filename && !crouton->filename->empty())
        return *crouton->filename;
    if (crouton->videoName && !crouton->videoName->empty())
        return SplitPath(*crouton->videoName).file;
    return std::string();
}

std::string CroutonPrefix(int index, const Crouton* crouton)
{
    const std::string label = CroutonLabel(crouton);
    return "Crouton " + std::to_string(index) + (label.empty() ? std::string() : " (" + label + ")");
}

std::string FailureReason(std::string_view written, const std::vector<std::string>& read, LONG code)
{
    const std::string& error = ToolError();
    const std::string folder = SplitPath(written).directory;
    if (!folder.empty() && !Exists(folder))
        return "the folder " + ShownPath(folder) + " does not exist";
    if (Contains(error, "No space left on device") || Contains(error, "Disk quota exceeded")
        || Contains(error, "File too large"))
        return "the disk holding " + ShownPath(folder.empty() ? std::string(".") : folder) + " is full";
    for (const std::string& source : read) {
        if (!Exists(source))
            return "the file " + ShownPath(source) + " does not exist";
        if (!Readable(source))
            return "the file " + ShownPath(source) + " may not be read (permission denied)";
    }
    if (Contains(error, "Permission denied"))
        return "the file " + ShownPath(written) + " may not be written (permission denied)";
    if (Contains(error, "Invalid data found when processing input") && !read.empty())
        return "the file " + ShownPath(read.front()) + " could not be read as a video or sound file";
    if (!error.empty())
        return "the tool reported \"" + error + "\"";
    if (code > 0)
        return Format("the tool failed with exit code %ld", static_cast<long>(code));
    if (code < 0)
        return "the tool could not be run";
    return "the tool wrote no usable video";
}

std::string FinishedMessage(std::string_view output)
{
    std::string message = "Rendered " + ShownPath(output) + ":";
    const std::optional<double> seconds = ProbeMediaLength(output);
    if (seconds)
        message += " " + FormatClock(std::llround(*seconds)) + ",";
    message += " " + Size(FileSize(output).value_or(0));
    // An .avi name says what it is; any other name is told its kind, which
    // a name of no known kind would not show.
    const OutputKind* known = KnownOutputKind(output);
    if (!known || std::string_view(known->extension) != ".avi")
        message += ", " + std::string(OutputKindFor(output).description);
    return message;
}

} // namespace render_detail

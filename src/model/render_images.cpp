// The files an image crouton's encoding line reads besides its pictures:
// the list of them, and the silence under them.
#include "model/render.h"

#include "model/render_internal.h"

#include "model/imageseq.h"
#include "model/tables.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/format.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using render_detail::kListFilename;

constexpr LONG kLongMax = std::numeric_limits<LONG>::max();
constexpr LONG kSilenceRate = 11025;
constexpr unsigned char kSilenceValue = 128;
constexpr LONG kCopyChunk = 64 * 1024;

struct ImageList {
    int count = 0;
    std::string first; // the first picture listed
};

// A name as the user can read it in a message: line breaks and other
// control characters as \n, \t, \xNN.
std::string Readable(std::string_view name)
{
    std::string readable;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n')
            readable += "\\n";
        else if (c == '\r')
            readable += "\\r";
        else if (byte < 0x20 || byte == 0x7f)
            readable += Format("\\x%02X", byte);
        else
            readable += c;
    }
    return readable;
}

// Writes the list of an image crouton's pictures; the number listed and the
// first of them, or none when the list file could not be made (`problem`
// then says why, naming the picture when a name was at fault).
std::optional<ImageList> WriteImageList(const Crouton& crouton, std::string& problem)
{
    problem = "the list of its pictures could not be written on T:";
    FileHandle list = Open(kListFilename, MODE_NEWFILE);
    if (!list) {
        kprintf("Couldn't open list file for writing.\n");
        return std::nullopt;
    }
    const std::string& videoName = *crouton.videoName;
    std::string tokenised;
    // A file of exactly that name is that one picture, wildcards or not.
    const bool wildcards = IsSourcePattern(videoName);
    if (wildcards)
        ParsePatternNoCase(videoName, tokenised, 1023);
    const int count = wildcards ? GetNumberOfFilesInImageCrouton(&crouton) : 1;
    kprintf(" %d files in crouton.\n", count);
    int listed = 0;
    const std::vector<std::string> entries = wildcards ? BuildFileList(&crouton, tokenised, count) : std::vector<std::string>{};
    // A name that would spill onto a line of its own is not listed at all.
    const auto spills = [](const std::string& name) { return !FitsOnOneLine(name); };
    const auto spilling = std::find_if(entries.begin(), entries.end(), spills);
    if (wildcards ? spilling != entries.end() : spills(videoName)) {
        Close(std::move(list));
        std::string_view name = wildcards ? *spilling : videoName;
        if (name.ends_with('\n'))
            name.remove_suffix(1);
        const bool lineBreak = name.find_first_of("\n\r") != std::string_view::npos;
        problem = "the picture \"" + Readable(name) + "\" holds " + (lineBreak ? "a line break" : "a control character")
                  + " in its name, which the list of pictures given to the encoder cannot hold: rename the picture";
        return std::nullopt;
    }
    bool written = true;
    if (!wildcards) {
        written = FPuts(*list, videoName) == 0 && FPuts(*list, "\n") == 0;
        listed = 1;
    } else {
        for (const std::string& entry : entries) {
            written = FPuts(*list, entry) == 0 && written;
            ++listed;
        }
    }
    // A list whose end never reached the disk would encode fewer pictures.
    if (!Close(std::move(list)) || !written) {
        kprintf("Couldn't write list file.\n");
        DeleteFile(kListFilename);
        return std::nullopt;
    }
    ImageList made{listed, wildcards ? std::string() : videoName};
    if (wildcards && !entries.empty())
        made.first = entries.front().substr(0, entries.front().find('\n'));
    return made;
}

} // namespace

std::optional<std::string> render_detail::PrepareImages(Crouton& crouton, std::optional<PictureShape>& sourceShape)
{
    std::string problem;
    const std::optional<ImageList> listed = WriteImageList(crouton, problem);
    if (!listed)
        return problem;
    // No rate (or a rate of 0) gives no length, so the silence is empty.
    if (!WriteSilence(cSilenceFilename, GetCroutonLength(&crouton, listed->count)))
        return "its silence could not be written on T:";
    if (!listed->first.empty())
        sourceShape = ProbePictureShape(listed->first);
    return std::nullopt;
}

bool render_detail::WriteSilence(std::string_view filename, float length)
{
    // The byte count, truncated toward zero; a length that is not a positive
    // finite number (a sequence without a rate) gives no bytes.
    const float bytes = length * static_cast<float>(kSilenceRate);
    LONG count = 0;
    if (std::isfinite(bytes) && bytes >= 1.0f)
        count = bytes >= static_cast<float>(kLongMax) ? kLongMax : static_cast<LONG>(bytes);

    FileHandle file = Open(filename, MODE_NEWFILE);
    if (!file)
        return false;
    const std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min(count, kCopyChunk)), kSilenceValue);
    bool written = true;
    for (LONG left = count; left > 0 && written;) {
        const LONG part = std::min(left, kCopyChunk);
        written = Write(*file, buffer.data(), part) == part;
        left -= part;
    }
    // A short silence would end the sound before the picture.
    if (!Close(std::move(file)) || !written) {
        DeleteFile(filename);
        return false;
    }
    return true;
}

void GenerateSilence(std::string_view filename, float length) { render_detail::WriteSilence(filename, length); }

// Image sequences: the picture files that an image crouton's name or
// wildcard pattern covers, counted and listed in frame order.
#include "model/imageseq.h"

#include "model/tables.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/exec.h"
#include "os/pattern.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <functional>

namespace {

// The scan buffer holds one name record at a time.
constexpr LONG kScanBufferSize = 40;
constexpr LONG kPatternBufferLength = 1023;

struct ScanDirectory {
    std::string name;          // as it prefixes the listed paths
    std::string lockName;      // what is locked to scan it
    bool subdirectory = false; // a "/" goes between the name and an entry
};

// The folder a crouton's pictures lie in. A bare name lies in the current
// folder.
ScanDirectory DirectoryOf(std::string_view videoName)
{
    ScanDirectory directory;
    if (const std::size_t slash = videoName.rfind('/'); slash != std::string_view::npos) {
        directory.name = std::string(videoName.substr(0, slash));
        directory.subdirectory = true;
        // "/frame#?.png" lies in the host's root folder.
        directory.lockName = directory.name.empty() ? std::string("/") : directory.name;
    } else if (const std::size_t colon = videoName.rfind(':'); colon != std::string_view::npos) {
        directory.name = std::string(videoName.substr(0, colon + 1));
        directory.lockName = directory.name;
    }
    // Otherwise both stay empty: an empty name locks the current folder.
    return directory;
}

// The file-name part of a tokenised pattern.
std::string MatchPattern(std::string_view tokenised)
{
    std::size_t split = tokenised.rfind('/');
    if (split == std::string_view::npos)
        split = tokenised.rfind(':');
    if (split == std::string_view::npos)
        return std::string(tokenised);
    return std::string(tokenised.substr(split + 1));
}

// Scans the directory with ExAll, handing each matching name to `found`.
// Counting and listing share this walk, so they always agree. Returns false
// when the directory could not be scanned at all.
bool ScanMatches(const ScanDirectory& directory, const std::string& matchPattern,
                 const std::function<void(const std::string&)>& found, bool scan)
{
    kprintf("Locking directory %s.\n", directory.name.c_str());
    FileLock lock = Lock(directory.lockName, SHARED_LOCK);
    if (!lock) {
        kprintf("Couldn't lock directory of video images.\n");
        return false;
    }
    std::unique_ptr<ExAllControl> control = AllocDosObject(DOS_EXALLCONTROL);
    if (!control) {
        kprintf("Couldn't create dos object. Returning.\n");
        UnLock(std::move(lock));
        return false;
    }
    control->eac_LastKey = 0;
    control->eac_MatchString = matchPattern;
    kprintf("Matched %s.\n", matchPattern.c_str());

    if (scan) {
        std::vector<ExAllData> buffer;
        BOOL more = FALSE;
        do {
            buffer.clear();
            more = ExAll(*lock, buffer, kScanBufferSize, ED_NAME, *control);
            if (!more && IoErr() != ERROR_NO_MORE_ENTRIES) {
                kprintf("Error in ExAll.\n");
                break;
            }
            const std::size_t entries = std::min<std::size_t>(control->eac_Entries, buffer.size());
            for (std::size_t i = 0; i < entries; ++i)
                found(buffer[i].ed_Name);
        } while (more);
    }

    UnLock(std::move(lock));
    FreeDosObject(DOS_EXALLCONTROL, std::move(control));
    return true;
}

} // namespace

int GetNumberOfFilesInImageCrouton(const Crouton* crouton)
{
    if (!crouton || !crouton->videoName)
        return 0;
    return GetNumberOfFilesInImageSequence(*crouton->videoName);
}

int GetNumberOfFilesInImageSequence(std::string_view videoName)
{
    std::string tokenised;
    // A malformed pattern counts as a pattern too; a file of exactly that
    // name is one picture.
    ParsePatternNoCase(videoName, tokenised, kPatternBufferLength);
    const bool wildcards = IsSourcePattern(videoName);
    const ScanDirectory directory = DirectoryOf(videoName);

    int count = 0;
    const bool scanned = ScanMatches(
        directory, MatchPattern(tokenised),
        [&count](const std::string&) {
            if (count < INT_MAX)
                ++count;
        },
        wildcards);
    if (!scanned)
        return 0;
    // A plain file name stands for one picture once its folder is there.
    return wildcards ? count : 1;
}

std::vector<std::string> BuildFileList(const Crouton* crouton, std::string_view parsedFilename, int numberOfFiles)
{
    if (!crouton || !crouton->videoName) {
        kprintf("Allocating %d char *'s.\n", numberOfFiles);
        return {};
    }
    return BuildSequenceFileList(*crouton->videoName, parsedFilename, numberOfFiles);
}

std::vector<std::string> BuildSequenceFileList(std::string_view videoName, std::string_view parsedFilename,
                                               int numberOfFiles)
{
    const std::size_t capacity = numberOfFiles > 0 ? static_cast<std::size_t>(numberOfFiles) : 0;
    kprintf("Allocating %d char *'s.\n", numberOfFiles);
    std::vector<std::string> files;
    files.reserve(capacity);

    const ScanDirectory directory = DirectoryOf(videoName);
    const std::string prefix = directory.subdirectory ? directory.name + "/" : directory.name;
    ScanMatches(
        directory, MatchPattern(parsedFilename),
        [&](const std::string& entry) {
            // Names that appeared since the count are left out.
            if (files.size() < capacity)
                files.push_back(prefix + entry + "\n");
        },
        true);

    std::sort(files.begin(), files.end(),
              [](const std::string& a, const std::string& b) { return CompareFilename(a, b) < 0; });
    return files;
}

LONG ImageCroutonLength(int count, float rate)
{
    if (!(rate > 0.0f)) {
        kprintf("Crouton has no frame rate of its own. Length set to 1.\n");
        return 1;
    }
    const double seconds = std::trunc(static_cast<double>(count) / static_cast<double>(rate));
    if (seconds < 1.0)
        return 1;
    if (seconds > static_cast<double>(std::numeric_limits<LONG>::max()))
        return std::numeric_limits<LONG>::max();
    return static_cast<LONG>(seconds);
}

int GetIDFromString(std::string_view string) { return SequenceNumber(string); }

int CompareFilename(const std::string& a, const std::string& b)
{
    const int idA = GetIDFromString(a);
    const int idB = GetIDFromString(b);
    if (idA != idB)
        return idA < idB ? -1 : 1;
    // Equal numbers are ordered by name, so that the list is the same on
    // every scan.
    const int byName = a.compare(b);
    return (byName > 0) - (byName < 0);
}

bool NamesPictures(std::string_view filename) { return IsPictureName(filename) || IsSourcePattern(filename); }

BOOL LoadImageIntoCrouton(Crouton* crouton, std::string_view filename)
{
    const std::string name(filename);
    kprintf("Loading image %s into crouton %p.\n", name.c_str(), static_cast<void*>(crouton));
    if (!crouton)
        return FALSE;
    crouton->isVideo = FALSE;
    crouton->start = 0;
    crouton->length = 1;
    crouton->fps = cImageCroutonFPSID;
    return TRUE;
}

std::string SourceNameProblem(std::string_view source)
{
    if (std::string problem = ControlCharacterProblem(source); !problem.empty() || !IsSourcePattern(source))
        return problem;
    std::string tokenised;
    if (ParsePatternNoCase(std::string(source), tokenised, 1023) < 0)
        return {};
    for (std::string picture :
         BuildSequenceFileList(source, tokenised, GetNumberOfFilesInImageSequence(source))) {
        if (picture.ends_with('\n'))
            picture.pop_back();
        if (std::string problem = ControlCharacterProblem(picture); !problem.empty())
            return problem;
    }
    return {};
}

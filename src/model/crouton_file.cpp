// The crouton file: one value per line, known by its position.
#include "model/crouton.h"
#include "model/crouton_time.h"
#include "model/line_file.h"
#include "model/look_file.h"
#include "model/tables.h"
#include "os/format.h"
#include "os/question.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace {

constexpr std::string_view kNoFile = "__no file__";

std::string FormatInt(LONG value) { return std::to_string(value); }

// A text on its line; an absent one gives an empty line.
std::string LineText(const std::optional<std::string>& text) { return OneLine(text.value_or("")); }

// The whole seconds an older reader finds: the nearest to the start, the
// end and the source's length.
struct WholeSecondTrim {
    LONG start = 0;
    LONG length = 0;
    LONG videoLength = 0;
};

WholeSecondTrim WholeSecondsOf(double start, double length, double videoLength)
{
    WholeSecondTrim whole;
    whole.start = NearestSecond(start);
    const long long end = NearestSecond(start + length);
    whole.length = IsWholeSecond(length) && IsWholeSecond(start)
                       ? NearestSecond(length)
                       : static_cast<LONG>(std::clamp<long long>(end - whole.start, 0, 2147483647LL));
    whole.videoLength = NearestSecond(videoLength);
    return whole;
}

WholeSecondTrim WholeSecondsOf(const Crouton& crouton)
{
    return WholeSecondsOf(crouton.start, crouton.length, crouton.videoLength);
}

// The times to the frame after the last line an older reader knows, taken
// when each agrees with its whole-second line.
void ReadExactTimes(LineReader& reader, Crouton& crouton)
{
    const std::optional<double> start = reader.NextNumber();
    const std::optional<double> length = reader.NextNumber();
    const std::optional<double> videoLength = reader.NextNumber();
    if (!start || !length || !videoLength || *start < 0 || *length < 0 || *videoLength < 0)
        return;
    // A crouton of whole seconds writes them here too when it has a look;
    // they stand as they are, unsnapped.
    if (*start == crouton.start && *length == crouton.length && *videoLength == crouton.videoLength)
        return;
    const double rate = SourceFrameRate(crouton);
    const double exactStart = SnapToFrame(*start, rate);
    const double exactLength = SnapToFrame(*start + *length, rate) - exactStart;
    const double exactSource = SnapToFrame(*videoLength, rate);
    const WholeSecondTrim whole = WholeSecondsOf(exactStart, exactLength, exactSource);
    if (whole.start != NearestSecond(crouton.start) || whole.length != NearestSecond(crouton.length)
        || whole.videoLength != NearestSecond(crouton.videoLength)) {
        kprintf("Crouton times %f %f %f do not match its whole seconds; kept the whole seconds.\n", *start, *length,
                *videoLength);
        return;
    }
    crouton.start = exactStart;
    crouton.length = exactLength;
    crouton.videoLength = exactSource;
}

// The lines after a crouton's names, in the order the file holds them: how
// each is written from the crouton and read back into it. A line past the
// end of the file leaves its value as it was.
struct CroutonField {
    void (*write)(const Crouton&, std::vector<std::string>&);
    void (*read)(LineReader&, Crouton&);
};

// A time an older reader takes in whole seconds; its part to the frame
// follows every line it knows (ReadExactTimes).
template <double Crouton::*time, LONG WholeSecondTrim::*whole>
constexpr CroutonField WholeSeconds()
{
    return {[](const Crouton& c, std::vector<std::string>& lines) { lines.push_back(FormatInt(WholeSecondsOf(c).*whole)); },
            [](LineReader& reader, Crouton& c) { c.*time = reader.NextInt(NearestSecond(c.*time)); }};
}

template <LONG Crouton::*value>
constexpr CroutonField Whole()
{
    return {[](const Crouton& c, std::vector<std::string>& lines) { lines.push_back(FormatInt(c.*value)); },
            [](LineReader& reader, Crouton& c) { c.*value = reader.NextInt(c.*value); }};
}

template <float Crouton::*value>
constexpr CroutonField Decimal()
{
    return {[](const Crouton& c, std::vector<std::string>& lines) { lines.push_back(FormatFloat(c.*value)); },
            [](LineReader& reader, Crouton& c) { c.*value = reader.NextFloat(c.*value); }};
}

template <std::optional<std::string> Crouton::*text>
constexpr CroutonField Text()
{
    return {[](const Crouton& c, std::vector<std::string>& lines) { lines.push_back(LineText(c.*text)); },
            [](LineReader& reader, Crouton& c) { c.*text = reader.NextText(); }};
}

const std::array<CroutonField, 16> kCroutonFields = {{
    WholeSeconds<&Crouton::start, &WholeSecondTrim::start>(),
    WholeSeconds<&Crouton::length, &WholeSecondTrim::length>(),
    WholeSeconds<&Crouton::videoLength, &WholeSecondTrim::videoLength>(),
    Whole<&Crouton::width>(),
    Whole<&Crouton::height>(),
    // Indices from a file are brought into their table's range.
    {[](const Crouton& c, std::vector<std::string>& lines) { lines.push_back(FormatInt(c.previewFrame)); },
     [](LineReader& reader, Crouton& c) { c.previewFrame = ClampPreviewFrame(reader.NextInt(c.previewFrame)); }},
    {[](const Crouton& c, std::vector<std::string>& lines) {
         for (const LONG position : c.previewPosition)
             lines.push_back(FormatInt(position));
     },
     [](LineReader& reader, Crouton& c) {
         for (LONG& position : c.previewPosition)
             position = reader.NextInt(position);
     }},
    Whole<&Crouton::videoBitrate>(),
    Whole<&Crouton::audioBitrate>(),
    {[](const Crouton& c, std::vector<std::string>& lines) { lines.push_back(FormatInt(c.isVideo)); },
     [](LineReader& reader, Crouton& c) { c.isVideo = static_cast<BOOL>(reader.NextInt(c.isVideo)); }},
    Decimal<&Crouton::ratio>(),
    {[](const Crouton& c, std::vector<std::string>& lines) { lines.push_back(FormatInt(c.fps)); },
     [](LineReader& reader, Crouton& c) { c.fps = ClampCroutonFPSIndex(reader.NextTruncated(c.fps)); }},
    Text<&Crouton::videoCodec>(),
    {Text<&Crouton::audioCodec>().write,
     [](LineReader& reader, Crouton& c) {
         c.audioCodec = reader.NextText();
         if (c.audioCodec)
             kprintf("Loaded codec %s.\n", c.audioCodec->c_str());
     }},
    {Text<&Crouton::soundtrack>().write,
     [](LineReader& reader, Crouton& c) {
         c.soundtrack = reader.NextText();
         if (!c.soundtrack)
             kprintf("No soundtrack.\n");
     }},
    Decimal<&Crouton::customFPS>(),
}};

// The lines of a crouton file, in order.
std::vector<std::string> CroutonLines(const Crouton& crouton)
{
    std::vector<std::string> lines;
    lines.reserve(27);
    lines.push_back(LineText(crouton.name));
    if (crouton.videoName) {
        lines.push_back(LineText(crouton.videoName));
        for (const auto& preview : crouton.previewFilename)
            lines.push_back(LineText(preview));
    } else {
        lines.emplace_back(kNoFile);
    }
    for (const CroutonField& field : kCroutonFields)
        field.write(crouton, lines);
    // Times to the frame follow every line an older reader knows, which
    // takes the whole seconds above; a crouton of whole seconds has none
    // unless its look follows them, which an older reader never reaches.
    const bool plain = IsPlainLook(crouton.look);
    if (!plain || !IsWholeSecond(crouton.start) || !IsWholeSecond(crouton.length)
        || !IsWholeSecond(crouton.videoLength)) {
        for (double seconds : {crouton.start, crouton.length, crouton.videoLength})
            lines.push_back(Format("%.6f", seconds));
    }
    if (!plain) {
        std::vector<std::string> look = CroutonLookLines(crouton.look);
        lines.insert(lines.end(), look.begin(), look.end());
    }
    return lines;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Writes the new content beside the crouton file and puts it in place only
// when all of it is written, so the old file stays whole until then.
// Fills `error` with IoErr's code when it fails.
bool WriteCroutonFile(const Crouton& crouton, const std::string& path, LONG& error)
{
    // Another holder's exclusive lock keeps the file from being rewritten.
    if (FileLock probe = Lock(path, EXCLUSIVE_LOCK); probe) {
        UnLock(std::move(probe));
    } else if (IoErr() == ERROR_OBJECT_IN_USE) {
        error = ERROR_OBJECT_IN_USE;
        return false;
    }

    ReplacingFile file(path);
    if (file.Commit(CroutonLines(crouton)))
        return true;
    error = file.Error();
    return false;
}

// The names a crouton file holds, which a line break would change when they
// are read back; empty when they are all good.
std::string NameProblem(const Crouton& crouton)
{
    if (std::string problem = LineBreakProblem("The source name", crouton.videoName.value_or("")); !problem.empty())
        return problem;
    if (std::string problem = LineBreakProblem("The soundtrack name", crouton.soundtrack.value_or("")); !problem.empty())
        return problem;
    for (const auto& preview : crouton.previewFilename)
        if (std::string problem = LineBreakProblem("A still's name", preview.value_or("")); !problem.empty())
            return problem;
    return LineBreakProblem("The crouton file's name", crouton.filename.value_or("") + crouton.directory.value_or(""));
}

constexpr std::string_view kSaveTitle = "Crouton not saved";

} // namespace

namespace {

// The lines from `first` on are a crouton's look: "Key=Value" lines, none
// of them one that only a project file writes.
bool HoldsALook(const std::vector<std::string>& lines, std::size_t first)
{
    return std::all_of(lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end(),
                       [](const std::string& line) { return IsLookLine(line) && !IsProjectLookLine(line); });
}

// Numbers after the second line can pass for a project's settings (a
// crouton without a source, or stills named by numbers). A file of a
// whole crouton's length that ends in its frame rate, as every saved
// crouton does, is a crouton. Times to the frame add three lines after the
// rate, and a look its "Key=Value" lines after those.
struct CroutonShape {
    bool plain = false;    // as an older program writes it
    bool withLook = false; // a look after the times
};
CroutonShape ShapeOf(const std::vector<std::string>& lines)
{
    constexpr std::size_t kWithSource = 27;
    constexpr std::size_t kWithoutSource = 22;
    constexpr std::size_t kExactTimes = 3;
    const auto isRate = [](const std::string& line) {
        return !line.empty() && line.find('.') != std::string::npos
               && line.find_first_not_of("0123456789.-") == std::string::npos;
    };
    CroutonShape shape;
    for (const std::size_t whole : {kWithSource, kWithoutSource}) {
        if (lines.size() == whole && isRate(lines.back()))
            shape.plain = true;
        if (lines.size() == whole + kExactTimes && isRate(lines[whole - 1]))
            shape.plain = true;
        if (lines.size() > whole + kExactTimes && isRate(lines[whole - 1]) && HoldsALook(lines, whole + kExactTimes))
            shape.withLook = true;
    }
    return shape;
}

} // namespace

bool LinesHoldACroutonLook(const std::vector<std::string>& lines) { return ShapeOf(lines).withLook; }

bool LinesHoldACrouton(const std::vector<std::string>& lines)
{
    const CroutonShape shape = ShapeOf(lines);
    return shape.plain || shape.withLook || !LooksLikeProjectFile(lines);
}

namespace {

// A crouton file is text: a clip or picture chosen by mistake holds NUL
// bytes early on, and a project file has the project's shape.
bool HoldsACrouton(FileHandle file)
{
    constexpr std::size_t kLargestLook = 64 * 1024 * 1024;
    LineReader reader(*file);
    std::vector<std::string> lines;
    std::size_t total = 0;
    while (std::optional<std::string> line = reader.Next()) {
        if (line->find('\0') != std::string::npos)
            return false;
        total += line->size() + 1;
        if (total > kLargestLook)
            break;
        lines.push_back(std::move(*line));
    }
    Close(std::move(file));
    return LinesHoldACrouton(lines);
}

CroutonLoadFailure FailureFromIoErr(LONG error)
{
    switch (error) {
    case ERROR_OBJECT_NOT_FOUND:
    case ERROR_DIR_NOT_FOUND:
        return CroutonLoadFailure::Missing;
    case ERROR_OBJECT_IN_USE:
        return CroutonLoadFailure::InUse;
    case ERROR_OBJECT_WRONG_TYPE:
        return CroutonLoadFailure::NotACrouton;
    default:
        return CroutonLoadFailure::Unreadable;
    }
}

} // namespace

BOOL SaveCrouton(Crouton* crouton)
{
    if (!crouton)
        return FALSE;
    kprintf("Crouton length is %d.\n", WholeSecondsOf(*crouton).length);
    const std::string path = BuildFullPath(crouton->directory.value_or(""), crouton->filename.value_or(""));
    // An entry whose file could not be loaded knows nothing of the file's
    // content: writing it would destroy the crouton.
    if (crouton->loadProblem) {
        kprintf("Couldn't create crouton %s.\n", TraceText(crouton->filename));
        TellUser(kSaveTitle, "The crouton file " + path + " was not saved: it could not be loaded ("
                                 + *crouton->loadProblem + "), so it is left as it is.");
        return FALSE;
    }
    if (const std::string problem = NameProblem(*crouton); !problem.empty()) {
        kprintf("Couldn't create crouton %s.\n", TraceText(crouton->filename));
        TellUser(kSaveTitle, "The crouton file " + path + " was not saved. " + problem);
        return FALSE;
    }
    // A crouton of no length renders nothing and fails the render later.
    if (crouton->length == 0) {
        kprintf("Couldn't create crouton %s.\n", TraceText(crouton->filename));
        TellUser(kSaveTitle, "The crouton file " + path + " was not saved: the crouton is " + std::to_string(crouton->length)
                                 + " seconds long. Its source may not be a video or pictures the tools can read.");
        return FALSE;
    }
    // Our own exclusive lock would keep the file from being rewritten.
    const bool wasLocked = crouton->lock != nullptr;
    UnlockCrouton(crouton);

    LONG error = 0;
    if (!crouton->filename || crouton->filename->empty() || !WriteCroutonFile(*crouton, path, error)) {
        kprintf("Couldn't create crouton %s.\n", TraceText(crouton->filename));
        // The file is as it was, and so is the crouton's hold on it: a
        // crouton of the open project must not lose its lock to a failed save.
        if (wasLocked)
            LockCrouton(crouton);
        if (!crouton->filename || crouton->filename->empty())
            TellUser(kSaveTitle, "The crouton was not saved: it has no file name.");
        else
            TellUser(kSaveTitle, "The crouton file " + path + " could not be saved: " + SaveFailureReason(error)
                                     + ". The file is as it was.");
        return FALSE;
    }
    kprintf("Saved crouton %s.\n", TraceText(crouton->filename));
    LockCrouton(crouton);
    return TRUE;
}

std::string LoadFailureText(CroutonLoadFailure failure)
{
    switch (failure) {
    case CroutonLoadFailure::None:
        return {};
    case CroutonLoadFailure::Missing:
        return "missing";
    case CroutonLoadFailure::InUse:
        return "in use by another Clipweaver";
    case CroutonLoadFailure::NotACrouton:
        return "not a crouton file";
    case CroutonLoadFailure::Damaged:
        return "damaged";
    case CroutonLoadFailure::Unreadable:
        return "unreadable";
    }
    return "unreadable";
}

std::unique_ptr<Crouton> UnloadedCrouton(std::string_view path, CroutonLoadFailure failure)
{
    std::unique_ptr<Crouton> crouton = CreateCrouton();
    if (!crouton)
        return nullptr;
    // The path must come back from BuildFullPath exactly as the project
    // file held it, so the entry is saved back unchanged.
    PathParts parts = SplitPath(path);
    if (BuildFullPath(parts.directory, parts.file) != path) {
        parts.directory.clear();
        parts.file = std::string(path);
    }
    crouton->loadProblem = LoadFailureText(failure);
    crouton->name = (parts.file.empty() ? std::string(path) : parts.file) + " (" + *crouton->loadProblem + ")";
    crouton->filename = std::move(parts.file);
    crouton->directory = std::move(parts.directory);
    crouton->videoName.reset();
    return crouton;
}

namespace {

// The file at `path` at its start, once it is seen to hold a crouton; none,
// with the reason in `why`, when it cannot be read or holds something else.
FileHandle OpenCroutonFile(const std::string& path, CroutonLoadFailure& why)
{
    FileHandle file = OpenRegularFile(path, MODE_OLDFILE);
    if (!file) {
        why = FailureFromIoErr(IoErr());
        return nullptr;
    }
    if (!HoldsACrouton(std::move(file))) {
        kprintf("Not a crouton file.\n");
        why = CroutonLoadFailure::NotACrouton;
        return nullptr;
    }
    // Read again from its start for the values.
    file = OpenRegularFile(path, MODE_OLDFILE);
    if (!file)
        why = FailureFromIoErr(IoErr());
    return file;
}

// Every value of the file, in its order, into the crouton.
void ReadCroutonValues(LineReader& reader, Crouton& crouton)
{
    crouton.name = reader.Next();
    const std::optional<std::string> source = reader.Next();
    if (source && !EqualsNoCase(*source, kNoFile)) {
        crouton.videoName = source;
        for (auto& preview : crouton.previewFilename) {
            preview = reader.NextText();
            if (preview)
                kprintf("Preview is %s.\n", preview->c_str());
        }
    }
    for (const CroutonField& field : kCroutonFields)
        field.read(reader, crouton);
    ReadExactTimes(reader, crouton);
    std::vector<std::string> lookLines;
    while (std::optional<std::string> line = reader.Next())
        lookLines.push_back(std::move(*line));
    crouton.look = ReadCroutonLook(lookLines, crouton.length);
}

// The record remembers where its file lies, so that a later save rewrites
// the same file. A file in the root folder keeps "/" as its directory.
void RememberPlace(Crouton& crouton, const std::string& path)
{
    PathParts parts = SplitPath(path);
    crouton.filename = std::move(parts.file);
    crouton.directory = std::move(parts.directory);
    kprintf("length is %d.\n", static_cast<int>(crouton.directory->size()));

    kprintf("Crouton %s has directory %s, filename %s.\n", TraceText(crouton.name), crouton.directory->c_str(),
            crouton.filename->c_str());
    kprintf("Crouton start is %d, length is %d.\n", NearestSecond(crouton.start), NearestSecond(crouton.length));
    kprintf("Crouton address is %p.\n", static_cast<const void*>(&crouton));
}

} // namespace

std::unique_ptr<Crouton> LoadCrouton(std::string_view filename, CroutonLoadFailure* failure)
{
    CroutonLoadFailure ignored = CroutonLoadFailure::None;
    CroutonLoadFailure& why = failure ? *failure : ignored;
    why = CroutonLoadFailure::None;
    const std::string path(filename);
    kprintf("Loading crouton %s.\n", path.c_str());
    FileHandle file = OpenCroutonFile(path, why);
    if (!file)
        return nullptr;

    kprintf("Crouton is opened. Creating Crouton structure.\n");
    std::unique_ptr<Crouton> crouton = CreateCrouton();
    if (!crouton) {
        Close(std::move(file));
        why = CroutonLoadFailure::Unreadable;
        return nullptr;
    }
    kprintf("Crouton created. tCrouton is %p.\n", static_cast<const void*>(crouton.get()));

    LineReader reader(*file);
    ReadCroutonValues(reader, *crouton);
    if (reader.Damaged()) {
        kprintf("Crouton file %s is damaged; not loaded.\n", path.c_str());
        Close(std::move(file));
        why = CroutonLoadFailure::Damaged;
        return nullptr;
    }
    RememberPlace(*crouton, path);
    Close(std::move(file));
    return crouton;
}

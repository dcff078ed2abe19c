#include "model/line_file.h"

#include "os/format.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include <unistd.h>

namespace {

constexpr LONG kLongMin = std::numeric_limits<LONG>::min();
constexpr LONG kLongMax = std::numeric_limits<LONG>::max();
constexpr std::string_view kTemporarySuffix = ".cwtmp";

} // namespace

std::string FormatFloat(float value) { return Format("%f", static_cast<double>(value)); }

LONG ReadLong(const std::string& text)
{
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value < kLongMin)
        return kLongMin;
    if (value > kLongMax)
        return kLongMax;
    return static_cast<LONG>(value);
}

float ReadFloat(const std::string& text)
{
    const double value = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(value))
        return 0.0f;
    return static_cast<float>(std::clamp(value, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
}

std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

namespace {

// The longest file name the host's folders take.
constexpr std::size_t kLongestFileName = 255;

std::string TemporaryNameFor(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    const std::size_t fileLength = slash == std::string::npos ? target.size() : target.size() - slash - 1;
    if (fileLength + kTemporarySuffix.size() <= kLongestFileName)
        return target + std::string(kTemporarySuffix);
    static int counter = 0;
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    return folder + ".cwsave-" + std::to_string(::getpid()) + "-" + std::to_string(++counter)
         + std::string(kTemporarySuffix);
}

} // namespace

ReplacingFile::ReplacingFile(const std::string& path) : path_(path)
{
    const std::optional<std::string> target = SaveTarget(path);
    if (!target) {
        error_ = IoErr();
        if (error_ == ERROR_OBJECT_WRONG_TYPE)
            kprintf("%s is not a regular file; not opened.\n", path.c_str());
        return;
    }
    std::error_code error;
    target_ = std::filesystem::absolute(*target, error).string();
    if (error)
        target_ = *target;
    temporary_ = TemporaryNameFor(target_);
    note_ = NoteUnfinishedFile(temporary_);
    file_ = OpenRegularFile(temporary_, MODE_NEWFILE);
    if (!file_) {
        error_ = IoErr();
        ForgetUnfinished(note_);
        note_ = 0;
        return;
    }
    if (!TakeModeOf(*file_, target_)) {
        error_ = IoErr();
        Close(std::move(file_));
        DeleteFile(temporary_);
        ForgetUnfinished(note_);
        note_ = 0;
    }
}

ReplacingFile::~ReplacingFile()
{
    if (file_) {
        Close(std::move(file_));
        DeleteFile(temporary_);
    }
    ForgetUnfinished(note_);
}

bool ReplacingFile::Fail()
{
    if (error_ == 0)
        error_ = IoErr() != 0 ? IoErr() : ERROR_SEEK_ERROR;
    if (file_)
        Close(std::move(file_));
    DeleteFile(temporary_);
    ForgetUnfinished(note_);
    note_ = 0;
    return false;
}

bool ReplacingFile::Commit(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return CommitBytes(text);
}

bool ReplacingFile::CommitBytes(std::string_view bytes)
{
    if (!file_)
        return false;
    SetIoErr(0);
    if (!bytes.empty() && Write(*file_, bytes.data(), static_cast<LONG>(bytes.size())) != static_cast<LONG>(bytes.size()))
        return Fail();
    // On the disk before it takes the old file's place: a crash right after
    // the rename must not leave an empty file under the name.
    if (!SyncFile(*file_) || !Close(std::move(file_)))
        return Fail();
    if (!ReplaceFile(temporary_, target_))
        return Fail();
    ForgetUnfinished(note_);
    note_ = 0;
    return true;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

} // namespace

bool IsWholeNumber(std::string_view line)
{
    while (!line.empty() && IsBlank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && IsBlank(line.back()))
        line.remove_suffix(1);
    if (!line.empty() && (line.front() == '-' || line.front() == '+'))
        line.remove_prefix(1);
    if (line.empty())
        return false;
    for (const char c : line) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

bool LooksLikeProjectFile(const std::vector<std::string>& lines)
{
    constexpr std::size_t kSettingsLines = 10;
    if (lines.size() < kSettingsLines)
        return false;
    for (const std::size_t number : {4u, 5u, 6u, 7u, 8u, 10u}) {
        if (!IsWholeNumber(lines[number - 1]))
            return false;
    }
    const LONG count = ReadLong(lines[9]);
    return count >= 0 && static_cast<std::size_t>(count) <= lines.size() - kSettingsLines;
}

std::string SaveFailureReason(LONG error)
{
    switch (error) {
    case ERROR_DISK_FULL:
        return "the disk is full";
    case ERROR_WRITE_PROTECTED:
        return "the file is read-only, or its folder may not be written to";
    case ERROR_DISK_WRITE_PROTECTED:
        return "the disk is write-protected";
    case ERROR_OBJECT_IN_USE:
        return "the file is in use by another program";
    case ERROR_OBJECT_NOT_FOUND:
    case ERROR_DIR_NOT_FOUND:
        return "its folder does not exist";
    case ERROR_OBJECT_WRONG_TYPE:
        return "it is not a regular file";
    case ERROR_LINE_TOO_LONG:
        return "the name is too long";
    default:
        return "it could not be written";
    }
}

std::string LineBreakProblem(std::string_view what, std::string_view name)
{
    if (name.find_first_of("\n\r") == std::string_view::npos)
        return {};
    return std::string(what) + " holds a line break, which a file name cannot hold here: choose a name without one.";
}

std::optional<std::string> LineReader::Next()
{
    if (ended_)
        return std::nullopt;
    std::optional<std::string> line = FGets(file_, kLongestLine);
    if (!line) {
        ended_ = true;
        return std::nullopt;
    }
    if (line->size() >= kLongestLine && line->back() != '\n') {
        // Nothing after this can be trusted to be on its line.
        kprintf("A line is longer than %d bytes; the file is damaged.\n", static_cast<int>(kLongestLine));
        ended_ = true;
        damaged_ = true;
        return std::nullopt;
    }
    if (!line->empty() && line->back() == '\n')
        line->pop_back();
    // Files written on other systems end their lines with CR LF.
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return line;
}

std::optional<std::string> LineReader::NextText()
{
    std::optional<std::string> line = Next();
    if (line && line->empty())
        return std::nullopt;
    return line;
}

LONG LineReader::NextInt(LONG fallback)
{
    const std::optional<std::string> line = Next();
    if (!line)
        return fallback;
    return ReadLong(*line);
}

std::optional<double> LineReader::NextNumber()
{
    const std::optional<std::string> line = Next();
    if (!line)
        return std::nullopt;
    const double value = std::strtod(line->c_str(), nullptr);
    if (!std::isfinite(value))
        return 0.0;
    return value;
}

float LineReader::NextFloat(float fallback)
{
    const std::optional<double> value = NextNumber();
    if (!value)
        return fallback;
    if (*value > FLT_MAX)
        return FLT_MAX;
    if (*value < -FLT_MAX)
        return -FLT_MAX;
    return static_cast<float>(*value);
}

LONG LineReader::NextTruncated(LONG fallback)
{
    const std::optional<double> value = NextNumber();
    if (!value)
        return fallback;
    const double whole = std::trunc(*value);
    if (whole < static_cast<double>(kLongMin))
        return kLongMin;
    if (whole > static_cast<double>(kLongMax))
        return kLongMax;
    return static_cast<LONG>(whole);
}

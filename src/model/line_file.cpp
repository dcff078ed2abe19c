#include "model/line_file.h"

#include "platform/format.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>

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

ReplacingFile::ReplacingFile(const std::string& path)
    : path_(path), temporary_(path + std::string(kTemporarySuffix)), file_(OpenRegularFile(temporary_, MODE_NEWFILE))
{
}

ReplacingFile::~ReplacingFile()
{
    if (file_) {
        Close(std::move(file_));
        DeleteFile(temporary_);
    }
}

bool ReplacingFile::Commit(const std::vector<std::string>& lines)
{
    if (!file_)
        return false;
    bool written = true;
    for (const std::string& line : lines) {
        if (FPuts(*file_, line + "\n") != 0) {
            written = false;
            break;
        }
    }
    if (!Close(std::move(file_)))
        written = false;
    if (!written || !ReplaceFile(temporary_, path_)) {
        DeleteFile(temporary_);
        return false;
    }
    return true;
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

// What a file requester shows and answers whatever draws it: its title and
// named filters, the extension a saved name gets, and picture sequences
// named by a pattern.
#include "platform/asl.h"
#include "platform/dos.h"

#include <algorithm>
#include <set>

namespace {

// The kinds of file the program asks for, known by their extension.
struct FileKind {
    std::string_view extension;
    std::string_view filterName;
    std::string_view loadTitle;
    std::string_view saveTitle;
};
constexpr FileKind kFileKinds[] = {
    {.extension = ".cwproj", .filterName = "Projects", .loadTitle = "Load Project", .saveTitle = "Save Project"},
    {.extension = ".cwcrouton", .filterName = "Croutons", .loadTitle = "Add Crouton", .saveTitle = "Add Crouton"},
    {.extension = ".avi", .filterName = "Videos and pictures", .loadTitle = "Add Crouton", .saveTitle = "Add Crouton"},
    {.extension = ".mp4", .filterName = "Videos and pictures", .loadTitle = "Add Crouton", .saveTitle = "Add Crouton"},
};
constexpr std::string_view kAllFiles = "All files (*)";
constexpr std::string_view kOtherFiles = "Matching files";
constexpr std::string_view kAnyTitle = "Select a file";
constexpr std::string_view kSpecial = "#?()|[]~%'";

bool IsSpecial(char c) { return kSpecial.find(c) != std::string_view::npos; }

// The alternatives of a pattern: "(a|b)" gives a and b, any other pattern
// itself.
std::vector<std::string_view> Alternatives(std::string_view pattern)
{
    if (pattern.size() < 2 || pattern.front() != '(' || pattern.back() != ')')
        return {pattern};
    std::vector<std::string_view> parts;
    const std::string_view inner = pattern.substr(1, pattern.size() - 2);
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < inner.size(); ++i) {
        const char c = inner[i];
        if (c == '\'') {
            ++i;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth < 0)
                return {pattern};
        } else if (c == '|' && depth == 0) {
            parts.push_back(inner.substr(start, i - start));
            start = i + 1;
        }
    }
    if (depth != 0)
        return {pattern};
    parts.push_back(inner.substr(start));
    return parts;
}

// The shell globs of a pattern's alternatives of the form "#?" and a plain
// end ("#?.cwproj" -> "*.cwproj"); other alternatives have none.
std::vector<std::string> Globs(const AslTags& tags)
{
    std::vector<std::string> globs;
    if (!tags.doPatterns.value_or(false) || !tags.initialPattern)
        return globs;
    for (const std::string_view alternative : Alternatives(*tags.initialPattern)) {
        if (!alternative.starts_with("#?") || alternative.size() == 2)
            continue;
        const std::string_view end = alternative.substr(2);
        if (std::any_of(end.begin(), end.end(), IsSpecial))
            continue;
        globs.push_back("*" + std::string(end));
    }
    return globs;
}

const FileKind* KindOf(const std::vector<std::string>& globs)
{
    if (globs.empty())
        return nullptr;
    for (const FileKind& kind : kFileKinds) {
        if (std::string_view(globs.front()).substr(1) == kind.extension)
            return &kind;
    }
    return nullptr;
}

std::string Escaped(std::string_view text)
{
    std::string escaped;
    for (const char c : text) {
        if (IsSpecial(c))
            escaped += '\'';
        escaped += c;
    }
    return escaped;
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether the pattern names exactly the chosen files among the folder's.
bool NamesExactly(const std::string& pattern, const std::set<std::string>& chosen,
                  const std::vector<std::string>& folderFiles)
{
    std::string tokenised;
    if (ParsePatternNoCase(pattern, tokenised) != 1)
        return false;
    for (const std::string& name : chosen) {
        if (!MatchPatternNoCase(tokenised, name))
            return false;
    }
    for (const std::string& name : folderFiles) {
        if (MatchPatternNoCase(tokenised, name) && !chosen.count(name))
            return false;
    }
    return true;
}

} // namespace

std::string RequesterTitle(const AslTags& tags)
{
    if (tags.titleText)
        return *tags.titleText;
    const FileKind* kind = KindOf(Globs(tags));
    if (!kind)
        return std::string(kAnyTitle);
    return std::string(tags.doSaveMode.value_or(false) ? kind->saveTitle : kind->loadTitle);
}

std::vector<std::string> RequesterFilters(const AslTags& tags)
{
    std::vector<std::string> filters;
    const std::vector<std::string> globs = Globs(tags);
    if (!globs.empty()) {
        const FileKind* kind = KindOf(globs);
        std::string filter(kind ? kind->filterName : kOtherFiles);
        filter += " (";
        for (std::size_t i = 0; i < globs.size(); ++i)
            filter += (i ? " " : "") + globs[i];
        filter += ")";
        filters.push_back(std::move(filter));
    }
    filters.emplace_back(kAllFiles);
    return filters;
}

std::string AmigaPatternFromShell(std::string_view typed)
{
    std::string pattern;
    for (const char c : typed) {
        if (c == '*')
            pattern += "#?";
        else
            pattern += c;
    }
    return pattern;
}

std::string WithPatternExtension(const AslTags& tags, std::string name)
{
    if (name.empty() || !tags.doSaveMode.value_or(false))
        return name;
    const std::vector<std::string> globs = Globs(tags);
    if (globs.size() != 1)
        return name;
    std::string tokenised;
    if (ParsePatternNoCase(*tags.initialPattern, tokenised) < 0 || MatchPatternNoCase(tokenised, name))
        return name;
    return name + globs.front().substr(1);
}

bool IsPictureName(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    std::string extension(name.substr(dot));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return extension == ".png" || extension == ".jpg" || extension == ".jpeg";
}

std::optional<std::string> SequencePattern(const std::vector<std::string>& chosen,
                                           const std::vector<std::string>& folderFiles)
{
    const std::set<std::string> names(chosen.begin(), chosen.end());
    if (names.size() < 2)
        return std::nullopt;
    const std::string& first = *names.begin();
    std::size_t shortest = first.size();
    std::size_t start = first.size();
    std::size_t end = first.size();
    for (const std::string& name : names) {
        shortest = std::min(shortest, name.size());
        std::size_t same = 0;
        while (same < start && same < name.size() && name[same] == first[same])
            ++same;
        start = same;
        same = 0;
        while (same < end && same < name.size() && name[name.size() - 1 - same] == first[first.size() - 1 - same])
            ++same;
        end = same;
    }
    end = std::min(end, shortest - std::min(start, shortest));
    // Whole characters only.
    while (start > 0 && start < first.size() && IsContinuation(first[start]))
        --start;
    while (end > 0 && IsContinuation(first[first.size() - end]))
        --end;

    // The numbers differ in the middle: first the pattern whose "#?" takes
    // whole numbers (frame#?.png rather than frame1#?.png), then the one
    // with everything the names share.
    std::size_t numberStart = start;
    while (numberStart > 0 && IsDigit(first[numberStart - 1]))
        --numberStart;
    std::size_t numberEnd = end;
    while (numberEnd > 0 && IsDigit(first[first.size() - numberEnd]))
        --numberEnd;
    for (const auto& [head, tail] : {std::pair{numberStart, numberEnd}, std::pair{start, end}}) {
        const std::string pattern =
            Escaped(std::string_view(first).substr(0, head)) + "#?" + Escaped(std::string_view(first).substr(first.size() - tail));
        if (NamesExactly(pattern, names, folderFiles))
            return pattern;
    }
    return std::nullopt;
}

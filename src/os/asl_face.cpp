// What a file requester shows and answers whatever draws it: its title and
// named filters, the folder it opens in, the extension a saved name gets,
// and picture sequences named by a pattern.
#include "os/asl.h"
#include "os/dos.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace {

// The kinds of file the program asks for, known by the extension of their
// pattern's first alternative. A media request lists every video and
// picture kind the program takes, whatever its pattern names.
struct FileKind {
    std::string_view extension;
    std::string_view filterName;
    std::string_view loadTitle;
    std::string_view saveTitle;
    std::string_view folderKind; // the kind its last folder is remembered for
    std::string_view drawer;     // the program's own drawer for the kind; "" none
    bool media = false;
    bool sound = false;
};
constexpr FileKind kFileKinds[] = {
    {.extension = ".cwproj", .filterName = "Projects", .loadTitle = "Load Project", .saveTitle = "Save Project",
     .folderKind = "projects", .drawer = "Projects"},
    {.extension = ".cwcrouton", .filterName = "Croutons", .loadTitle = "Add Crouton", .saveTitle = "Add Crouton",
     .folderKind = "croutons", .drawer = "Croutons"},
    {.extension = ".avi", .filterName = "Videos and pictures", .loadTitle = "Add Crouton", .saveTitle = "Add Crouton",
     .folderKind = "media", .drawer = "", .media = true},
    {.extension = ".mp4", .filterName = "Videos and pictures", .loadTitle = "Add Crouton", .saveTitle = "Add Crouton",
     .folderKind = "media", .drawer = "", .media = true},
    {.extension = ".mp3", .filterName = "Sounds and videos", .loadTitle = "Choose the soundtrack",
     .saveTitle = "Choose the soundtrack", .folderKind = "soundtrack", .drawer = "", .sound = true},
};
constexpr std::string_view kOtherFolderKind = "files";
constexpr std::string_view kRememberedFoldersFile = "Clipweaver.folders";
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
    const auto named = [&filters](std::string_view name, const auto& globs) {
        std::string filter(name);
        filter += " (";
        bool first = true;
        for (const auto& glob : globs) {
            filter += (first ? "" : " ") + std::string(glob);
            first = false;
        }
        filter += ")";
        filters.push_back(std::move(filter));
    };
    const std::vector<std::string> globs = Globs(tags);
    const FileKind* kind = KindOf(globs);
    const auto star = [](const std::vector<std::string_view>& extensions) {
        std::vector<std::string> all;
        for (const std::string_view extension : extensions)
            all.push_back("*" + std::string(extension));
        return all;
    };
    // Both kinds together, then each alone.
    const auto pair = [&](std::string_view name, const std::vector<std::string_view>& first,
                          const std::vector<std::string_view>& second, std::string_view secondName) {
        std::vector<std::string> both = star(first);
        for (std::string& glob : star(second))
            both.push_back(std::move(glob));
        named(name, both);
        named(name.substr(0, name.find(' ')), star(first));
        named(secondName, star(second));
    };
    if (kind && kind->media) {
        pair(kind->filterName, kVideoExtensions, kPictureExtensions, "Pictures");
    } else if (kind && kind->sound) {
        pair(kind->filterName, kSoundExtensions, kVideoExtensions, "Videos");
    } else if (!globs.empty()) {
        named(kind ? kind->filterName : kOtherFiles, globs);
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

const std::vector<std::string_view> kVideoExtensions = {".avi", ".mpg", ".mpeg", ".mp4", ".m4v", ".mov", ".mkv",
                                                        ".webm", ".ogv", ".flv", ".wmv", ".3gp", ".ts", ".mts"};
const std::vector<std::string_view> kSoundExtensions = {".mp3", ".ogg", ".opus", ".flac", ".wav", ".m4a", ".aac"};

std::string SoundtrackPattern()
{
    std::string pattern;
    for (const auto* kinds : {&kSoundExtensions, &kVideoExtensions}) {
        for (const std::string_view extension : *kinds)
            pattern += (pattern.empty() ? "(#?" : "|#?") + std::string(extension);
    }
    return pattern + ")";
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

namespace {

std::string& RememberedFile()
{
    static std::string path;
    return path;
}

std::string RememberedPath()
{
    return RememberedFile().empty() ? std::string(kRememberedFoldersFile) : RememberedFile();
}

std::string AbsoluteFolder(const std::string& host)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(host, error);
    return error ? host : absolute.lexically_normal().string();
}

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

} // namespace

std::string RequesterFolderKind(const AslTags& tags)
{
    if (tags.folderKind && !tags.folderKind->empty())
        return *tags.folderKind;
    const FileKind* kind = KindOf(Globs(tags));
    return std::string(kind ? kind->folderKind : kOtherFolderKind);
}

std::string RequesterStartFolder(const AslTags& tags, const RememberedFolders& remembered, const UserFolders& user,
                                 const std::function<bool(const std::string&)>& isFolder)
{
    const FileKind* kind = KindOf(Globs(tags));
    const std::string folderKind = RequesterFolderKind(tags);
    std::optional<std::string> drawer;
    if (tags.initialDrawer && !tags.initialDrawer->empty()) {
        if (const std::optional<std::string> host = HostPath(*tags.initialDrawer); host && isFolder(*host))
            drawer = AbsoluteFolder(*host);
    }
    const bool ownDrawer = kind && tags.initialDrawer && *tags.initialDrawer == kind->drawer;
    // A file's own folder comes first: the user is working there.
    if (drawer && !ownDrawer)
        return *drawer;
    if (const auto last = remembered.find(folderKind); last != remembered.end() && isFolder(last->second))
        return last->second;
    if (drawer)
        return *drawer;
    const std::string* usual[] = {&user.videos, &user.pictures, &user.home};
    if (folderKind == kOtherFolderKind)
        usual[0] = usual[1] = &user.music;
    for (const std::string* folder : usual) {
        if (!folder->empty() && isFolder(*folder))
            return *folder;
    }
    return user.home.empty() ? std::string("/") : user.home;
}

UserFolders ParseUserDirs(std::string_view text, const std::string& home)
{
    UserFolders folders;
    folders.home = home;
    const auto inHome = [&home](std::string_view name) { return home.empty() ? std::string() : home + "/" + std::string(name); };
    folders.videos = inHome("Videos");
    folders.pictures = inHome("Pictures");
    folders.music = inHome("Music");
    const std::pair<std::string_view, std::string*> keys[] = {
        {"XDG_VIDEOS_DIR", &folders.videos}, {"XDG_PICTURES_DIR", &folders.pictures}, {"XDG_MUSIC_DIR", &folders.music}};
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (line.starts_with('#') || equals == std::string::npos)
            continue;
        const std::string_view key = std::string_view(line).substr(0, equals);
        std::string_view value = std::string_view(line).substr(equals + 1);
        if (value.size() < 2 || value.front() != '"' || value.back() != '"')
            continue;
        value = value.substr(1, value.size() - 2);
        std::string folder;
        if (value == "$HOME" || value.starts_with("$HOME/"))
            folder = home + std::string(value.substr(5));
        else if (value.starts_with('/'))
            folder = value;
        else
            continue;
        for (const auto& [name, target] : keys) {
            if (key == name)
                *target = folder;
        }
    }
    return folders;
}

UserFolders ReadUserFolders()
{
    const std::string home = Environment("HOME");
    std::string config = Environment("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/')
        config = home.empty() ? std::string() : home + "/.config";
    std::string text;
    if (!config.empty()) {
        std::ifstream file(config + "/user-dirs.dirs");
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    return ParseUserDirs(text, home);
}

RememberedFolders ParseRememberedFolders(std::string_view text)
{
    RememberedFolders folders;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (equals == 0 || equals == std::string::npos || equals + 1 >= line.size() || line[equals + 1] != '/')
            continue;
        folders[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return folders;
}

std::string FormatRememberedFolders(const RememberedFolders& folders)
{
    std::string text;
    for (const auto& [kind, folder] : folders)
        text += kind + "=" + folder + "\n";
    return text;
}

void SetRememberedFoldersFile(std::string hostPath) { RememberedFile() = std::move(hostPath); }

RememberedFolders LoadRememberedFolders()
{
    std::ifstream file(RememberedPath());
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return ParseRememberedFolders(text);
}

void RememberRequesterFolder(const AslTags& tags, const std::string& hostFolder)
{
    // A folder that cannot stand on one line is not remembered.
    if (hostFolder.empty() || hostFolder.find_first_of("\n\r") != std::string::npos)
        return;
    RememberedFolders folders = LoadRememberedFolders();
    std::string& remembered = folders[RequesterFolderKind(tags)];
    const std::string folder = AbsoluteFolder(hostFolder);
    if (remembered == folder)
        return;
    remembered = folder;
    const std::string path = RememberedPath();
    const std::string next = path + ".new";
    {
        std::ofstream file(next, std::ios::trunc);
        file << FormatRememberedFolders(folders);
        if (!file.flush())
            return;
    }
    std::error_code error;
    std::filesystem::rename(next, path, error);
}

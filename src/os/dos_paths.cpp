// AmigaDOS names as the host programs behind the command runner take them:
// absolute host paths, the tools' Unix-style volume form, and the scratch
// files of one tool run.

#include "os/dos.h"

#include <filesystem>
#include <sys/stat.h>

std::string TemporaryHostFile(std::string_view name)
{
    return TemporaryFolder() + "/" + std::string(name);
}

std::string RunScratchFile(std::string_view name)
{
    const TemporaryLane* lane = CurrentTemporaryLane();
    if (!lane)
        return TemporaryHostFile(name);
    return TemporaryHostFile("__CWLane" + std::to_string(lane->number) + std::string(name));
}

namespace {

std::string Absolute(const std::string& path)
{
    if (path.empty() || path[0] == '/')
        return path;
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (error)
        return path;
    return (current / path).string();
}

bool HostRootEntryExists(const std::string& name)
{
    struct stat info {};
    return ::lstat(("/" + name).c_str(), &info) == 0;
}

} // namespace

std::string ToolPath(std::string_view amigaPath)
{
    const std::string path(amigaPath);
    if (!path.empty() && path[0] == '/') {
        const std::size_t slash = path.find('/', 1);
        const std::string volume = path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
        if (!volume.empty() && volume.find(':') == std::string::npos && !HostRootEntryExists(volume)) {
            const std::string rest = slash == std::string::npos ? std::string() : path.substr(slash + 1);
            if (const auto host = HostPath(volume + ":" + rest))
                return Absolute(*host);
        }
        return path;
    }
    if (const auto host = HostPath(path))
        return Absolute(*host);
    return path;
}

std::string ArgumentPath(std::string_view word)
{
    const std::string text(word);
    if (text.empty())
        return text;
    if (text[0] == '/' || text.find(':') != std::string::npos)
        return ToolPath(text);
    struct stat info {};
    if (::stat(text.c_str(), &info) == 0)
        return ToolPath(text);
    return text;
}


// Ours, beside the dos calls: what a name stands for (a file or a picture
// pattern, which file after links), the room in a folder, and where a save
// over a file must write.
#include "os/dos.h"

#include <algorithm>
#include <cerrno>
#include <climits>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

bool IsSourcePattern(std::string_view name)
{
    std::string tokenised;
    if (ParsePatternNoCase(name, tokenised) == 0)
        return false;
    const auto host = HostPath(name);
    struct stat st {};
    return !(host && ::stat(host->c_str(), &st) == 0 && !S_ISDIR(st.st_mode));
}

std::optional<FileIdentity> IdentityOf(std::string_view name)
{
    const auto host = HostPath(name);
    struct stat st {};
    if (!host || ::stat(host->c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
}

bool NameTaken(std::string_view name)
{
    const auto host = HostPath(name);
    struct stat st {};
    return host && ::lstat(host->c_str(), &st) == 0;
}

bool FolderWritable(std::string_view folder)
{
    const auto host = HostPath(folder.empty() ? std::string_view(".") : folder);
    struct stat st {};
    return host && ::stat(host->c_str(), &st) == 0 && S_ISDIR(st.st_mode)
        && ::access(host->c_str(), W_OK | X_OK) == 0;
}

namespace {

FreeBytesHook& TheFreeBytesHook()
{
    static FreeBytesHook hook;
    return hook;
}

} // namespace

void SetFreeBytesHook(FreeBytesHook hook) { TheFreeBytesHook() = std::move(hook); }

std::optional<long long> FreeBytes(std::string_view folder)
{
    const auto host = HostPath(folder.empty() ? std::string_view(".") : folder);
    if (!host)
        return std::nullopt;
    if (TheFreeBytesHook())
        return TheFreeBytesHook()(*host);
    struct statvfs fs {};
    if (::statvfs(host->c_str(), &fs) != 0)
        return std::nullopt;
    const unsigned long long bytes = static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize;
    return static_cast<long long>(std::min<unsigned long long>(bytes, LLONG_MAX));
}

std::optional<std::string> SaveTarget(std::string_view name)
{
    const auto host = HostPath(name);
    if (!host)
        return std::nullopt;
    std::string target = *host;
    // A chain of links ends at the file the user means; a loop does not end.
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
        const ssize_t got = ::readlink(target.c_str(), link.data(), link.size());
        if (got < 0) {
            SetIoErr(ERROR_OBJECT_NOT_FOUND);
            return std::nullopt;
        }
        link.resize(static_cast<std::size_t>(got));
        if (!link.empty() && link.front() == '/') {
            target = link;
        } else {
            const auto slash = target.rfind('/');
            target = slash == std::string::npos ? link : target.substr(0, slash + 1) + link;
        }
        if (hop == 39) {
            SetIoErr(ERROR_OBJECT_WRONG_TYPE);
            return std::nullopt;
        }
    }
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            SetIoErr(ERROR_OBJECT_WRONG_TYPE);
            return std::nullopt;
        }
        // A file without a write bit is read-only, for the superuser too.
        if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
            SetIoErr(ERROR_WRITE_PROTECTED);
            return std::nullopt;
        }
    }
    return target;
}

const std::vector<std::string_view> kPictureExtensions = {".png", ".jpg",  ".jpeg", ".bmp",
                                                          ".gif", ".tif", ".tiff", ".webp"};

bool IsPictureName(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    std::string extension(name.substr(dot));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return std::find(kPictureExtensions.begin(), kPictureExtensions.end(), extension) != kPictureExtensions.end();
}

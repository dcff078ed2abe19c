// Volumes: how AmigaDOS names map onto host folders.
//
// T: and RAM: live under one temporary root per user, so that renames
// between them stay on one file system. RAM: is shared by every running
// instance; T: is a folder of its own for each instance, named
// T-<pid>-<random>. Each instance holds an flock on the file kInstanceLock
// inside its T: for as long as it runs, so a later start-up can tell the
// folders of live instances (lock held) from those left behind by instances
// that died (lock free), whatever has become of their process ids. A new T:
// is made under a "Tnew-" name and renamed into place only once its lock is
// held, so a scan never sees a live T: without its lock.
#include "os/dos.h"

#include "os/dos_unfinished.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* kInstanceLock = ".clipweaver-instance";
constexpr std::string_view kAssignPrefix = "CLIPWEAVER_ASSIGN_";

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

std::string Join(std::string base, std::string_view rest)
{
    if (rest.empty())
        return base;
    if (!base.empty() && base.back() != '/')
        base.push_back('/');
    base.append(rest);
    return base;
}

std::string TemporaryRoot()
{
    if (const char* root = std::getenv("CLIPWEAVER_TMPROOT"); root && *root)
        return root;
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/tmp";
    return Join(base, "clipweaver-" + std::to_string(::getuid()));
}

// Creates the root when missing. A root in a shared folder must be a real
// folder of ours; one named in CLIPWEAVER_TMPROOT is the user's choice.
bool PrepareRoot(const std::string& root)
{
    const bool chosen = std::getenv("CLIPWEAVER_TMPROOT") && *std::getenv("CLIPWEAVER_TMPROOT");
    if (chosen) {
        std::error_code error;
        std::filesystem::create_directories(root, error);
        return std::filesystem::is_directory(root, error);
    }
    if (::mkdir(root.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    return ::lstat(root.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

std::string RandomTag()
{
    std::random_device device;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string tag;
    for (int i = 0; i < 2; ++i) {
        unsigned value = device();
        for (int k = 0; k < 8; ++k) {
            tag.push_back(kHex[value & 0xF]);
            value >>= 4;
        }
    }
    return tag;
}

void RemoveTree(const std::string& path)
{
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

// Removes the T: folders under root whose instance no longer runs.
void RemoveStaleFolders(const std::string& root, const std::string& own, const DeadInstanceCleanup& cleanup)
{
    DIR* dir = ::opendir(root.c_str());
    if (!dir)
        return;
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.starts_with("T-") || name.starts_with("Tnew-"))
            candidates.emplace_back(name);
    }
    ::closedir(dir);
    for (const auto& name : candidates) {
        const std::string path = root + "/" + name;
        if (path == own)
            continue;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            continue;
        const std::string lockPath = path + "/" + kInstanceLock;
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
        if (fd < 0) {
            // A T- folder always has its lock file; a Tnew- folder without
            // one may be another instance's T: in the making.
            if (errno == ENOENT && name.starts_with("T-")) {
                if (cleanup)
                    cleanup(path);
                dosdetail::FinishUnfinishedWork(path);
                RemoveTree(path);
            }
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // Nobody holds it: its instance is gone, and so must be its tools;
            // what it left half done is finished before its notes go.
            if (cleanup)
                cleanup(path);
            dosdetail::FinishUnfinishedWork(path);
            RemoveTree(path);
        }
        ::close(fd);
    }
}

struct VolumeState {
    std::string root;
    std::string temporary; // this instance's T:, empty until made
    int lockFd = -1;
    pid_t owner = 0;

    VolumeState() = default;
    VolumeState(const VolumeState&) = delete;
    VolumeState& operator=(const VolumeState&) = delete;
    ~VolumeState() { Release(); }

    // Gives up this instance's T: (at exit, or when the root changes).
    void Release()
    {
        if (lockFd >= 0 && owner == ::getpid()) {
            RemoveTree(temporary);
            ::close(lockFd);
        } else if (lockFd >= 0) {
            ::close(lockFd); // a forked child: the folder is its parent's
        }
        lockFd = -1;
        temporary.clear();
    }

    bool MakeTemporary()
    {
        std::string pending = root + "/Tnew-XXXXXX";
        if (!::mkdtemp(pending.data()))
            return false;
        const std::string lockPath = pending + "/" + kInstanceLock;
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (fd >= 0)
                ::close(fd);
            RemoveTree(pending);
            return false;
        }
        for (int attempt = 0; attempt < 8; ++attempt) {
            std::string final = root + "/T-" + std::to_string(::getpid()) + "-" + RandomTag();
            if (::renameat2(AT_FDCWD, pending.c_str(), AT_FDCWD, final.c_str(), RENAME_NOREPLACE) == 0
                || (errno == EINVAL && ::access(final.c_str(), F_OK) != 0 && ::rename(pending.c_str(), final.c_str()) == 0)) {
                temporary = std::move(final);
                lockFd = fd;
                owner = ::getpid();
                return true;
            }
        }
        ::close(fd);
        RemoveTree(pending);
        return false;
    }
};

VolumeState& State()
{
    static VolumeState state;
    return state;
}

// Makes sure the volumes of the current root exist; a changed root (a test
// pointing CLIPWEAVER_TMPROOT elsewhere) starts afresh there.
bool SetUpVolumes(bool clean, const DeadInstanceCleanup& cleanup = {})
{
    VolumeState& state = State();
    const std::string root = TemporaryRoot();
    if (root != state.root) {
        state.Release();
        state.root = root;
        clean = true;
    }
    if (!state.temporary.empty() && !clean)
        return true;
    if (!PrepareRoot(root))
        return false;
    if (state.temporary.empty() && !state.MakeTemporary())
        return false;
    if (clean)
        RemoveStaleFolders(root, state.temporary, cleanup);
    return true;
}

std::optional<std::string> Assign(std::string_view volume)
{
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        if (!text.starts_with(kAssignPrefix))
            continue;
        const auto equals = text.find('=');
        if (equals == std::string_view::npos)
            continue;
        const auto name = text.substr(kAssignPrefix.size(), equals - kAssignPrefix.size());
        const auto folder = text.substr(equals + 1);
        if (!folder.empty() && SameName(name, volume))
            return std::string(folder);
    }
    return std::nullopt;
}

} // namespace

void InitVolumes(const DeadInstanceCleanup& cleanup)
{
    SetUpVolumes(true, cleanup);
    // Renders note their outputs where a reboot leaves them, not in T:.
    dosdetail::FinishUnfinishedRenders();
}

std::string TemporaryFolder()
{
    if (!SetUpVolumes(false))
        return {};
    return State().temporary;
}

bool InTemporaryFolder(std::string_view hostPath)
{
    const std::string temporary = TemporaryFolder();
    return !temporary.empty() && hostPath.size() > temporary.size() && hostPath.starts_with(temporary)
        && hostPath[temporary.size()] == '/';
}

namespace {

thread_local const TemporaryLane* tLane = nullptr;

std::optional<std::string> MapPath(std::string_view amigaPath)
{
    if (amigaPath.empty())
        return std::string(".");
    if (amigaPath.front() == '/')
        return std::string(amigaPath);
    const auto colon = amigaPath.find(':');
    if (colon == std::string_view::npos)
        return std::string(amigaPath);
    const auto volume = amigaPath.substr(0, colon);
    if (volume.find('/') != std::string_view::npos)
        return std::string(amigaPath); // "dir/a:b" is a host name
    const auto rest = amigaPath.substr(colon + 1);

    if (volume.empty() || SameName(volume, "SYS") || SameName(volume, "C"))
        return Join(".", rest);
    if (SameName(volume, "NIL"))
        return std::string("/dev/null");
    if (SameName(volume, "T")) {
        std::string folder = TemporaryFolder();
        if (folder.empty())
            return std::nullopt;
        if (const TemporaryLane* lane = CurrentTemporaryLane())
            for (const std::string& name : lane->names)
                if (SameName(rest, name))
                    return Join(std::move(folder), "__CWLane" + std::to_string(lane->number) + name);
        return Join(std::move(folder), rest);
    }
    if (SameName(volume, "RAM")) {
        const std::string root = TemporaryRoot();
        if (!PrepareRoot(root))
            return std::nullopt;
        std::string ram = root + "/RAM";
        if (::mkdir(ram.c_str(), 0700) != 0 && errno != EEXIST)
            return std::nullopt;
        return Join(std::move(ram), rest);
    }
    if (auto folder = Assign(volume))
        return Join(std::move(*folder), rest);
    return std::nullopt;
}

} // namespace

InTemporaryLane::InTemporaryLane(const TemporaryLane& lane) : outer_(tLane) { tLane = &lane; }

InTemporaryLane::~InTemporaryLane() { tLane = outer_; }

const TemporaryLane* CurrentTemporaryLane() { return tLane; }

std::optional<std::string> HostPath(std::string_view amigaPath)
{
    auto host = MapPath(amigaPath);
    if (!host)
        SetIoErr(ERROR_OBJECT_NOT_FOUND);
    return host;
}

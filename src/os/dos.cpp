// dos.library stand-in: files, locks, sharing rules and directory scanning.
//
// Sharing rides on host flock() locks. They belong to one open file
// description, so closing some other descriptor of the same file (in this
// process or any other) never drops them, and two opens in one process
// exclude each other just as two processes do. Shared opens and shared locks
// take LOCK_SH, exclusive ones LOCK_EX; nobody ever waits (LOCK_NB), a
// conflict fails with ERROR_OBJECT_IN_USE as AmigaDOS does. Devices (NIL:)
// are never locked.
#include "os/dos.h"

#include "os/pattern.h"
#include "os/work.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

class DosFile {
public:
    DosFile() = default;
    DosFile(const DosFile&) = delete;
    DosFile& operator=(const DosFile&) = delete;
    ~DosFile()
    {
        if (fd >= 0)
            ::close(fd);
    }

    int fd = -1;
    bool seekable = false;
    // Read-ahead: readBuffer[readPos..] has been read from the host but not
    // yet handed out.
    std::string readBuffer;
    std::size_t readPos = 0;
    // Text from FPuts not yet written to the host.
    std::string writeBuffer;
    bool bufferedWriteFailed = false;
};

class DosLock {
public:
    DosLock() = default;
    DosLock(const DosLock&) = delete;
    DosLock& operator=(const DosLock&) = delete;
    ~DosLock()
    {
        if (fd >= 0)
            ::close(fd);
    }

    int fd = -1;
    std::string name; // what Examine reports
};

namespace {

thread_local LONG gIoErr = 0;

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::size_t kWriteChunk = 64 * 1024;

LONG ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
        return ERROR_OBJECT_NOT_FOUND;
    case ENOTDIR:
        return ERROR_DIR_NOT_FOUND;
    case EEXIST:
        return ERROR_OBJECT_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIRECTORY_NOT_EMPTY;
    case EISDIR:
        return ERROR_OBJECT_WRONG_TYPE;
    case EWOULDBLOCK:
    case EBUSY:
    case ETXTBSY:
        return ERROR_OBJECT_IN_USE;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case EROFS:
        return ERROR_DISK_WRITE_PROTECTED;
    case EACCES:
    case EPERM:
        return ERROR_WRITE_PROTECTED;
    case ENOMEM:
        return ERROR_NO_FREE_STORE;
    case EXDEV:
        return ERROR_RENAME_ACROSS_DEVICES;
    case ENAMETOOLONG:
        return ERROR_LINE_TOO_LONG;
    case EBADF:
        return ERROR_WRITE_PROTECTED; // writing to a file opened read-only
    default:
        return ERROR_SEEK_ERROR;
    }
}

void FailWithErrno(int error) { gIoErr = ErrorFromErrno(error); }

bool IsLockable(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    return S_ISREG(st.st_mode) || S_ISDIR(st.st_mode);
}

// Takes the sharing lock on an open descriptor without waiting.
bool TakeSharingLock(int fd, bool exclusive)
{
    if (!IsLockable(fd))
        return true;
    int result;
    do {
        result = ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        gIoErr = errno == EWOULDBLOCK ? ERROR_OBJECT_IN_USE : ErrorFromErrno(errno);
        return false;
    }
    return true;
}

// Holds a file's exclusive lock for the length of a delete or rename, so no
// lock or open can be granted in between. Succeeds trivially for what cannot
// be opened or locked (symbolic links to nowhere, unreadable files).
class UseGuard {
public:
    // False (with IoErr) when the object is missing or in use.
    bool Acquire(const std::string& hostPath)
    {
        struct stat st {};
        if (::lstat(hostPath.c_str(), &st) != 0) {
            FailWithErrno(errno);
            return false;
        }
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
            return true;
        fd_ = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
        if (fd_ < 0)
            return true;
        return TakeSharingLock(fd_, true);
    }
    UseGuard() = default;
    UseGuard(const UseGuard&) = delete;
    UseGuard& operator=(const UseGuard&) = delete;
    ~UseGuard()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

private:
    int fd_ = -1;
};

std::optional<std::string> ResolvePath(std::string_view name)
{
    auto host = HostPath(name);
    if (!host)
        SetIoErr(ERROR_OBJECT_NOT_FOUND);
    return host;
}

// The name Examine reports: the last part of the path, or the volume's name
// for a volume itself ("RAM:" gives "RAM").
std::string ObjectName(std::string_view amigaPath, const std::string& hostPath)
{
    std::string_view path = amigaPath;
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const auto colon = path.find(':');
    if (!path.empty() && path.front() != '/' && colon != std::string_view::npos && path.substr(0, colon).find('/') == std::string_view::npos
        && colon + 1 == path.size())
        return std::string(path.substr(0, colon));
    const auto cut = path.find_last_of("/:");
    std::string name(cut == std::string_view::npos ? path : path.substr(cut + 1));
    if (name.empty() || name == "." || name == "..") {
        char* real = ::realpath(hostPath.c_str(), nullptr);
        if (real) {
            std::string full(real);
            std::free(real);
            const auto slash = full.find_last_of('/');
            name = slash == std::string::npos || slash + 1 == full.size() ? full : full.substr(slash + 1);
        }
    }
    return name;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            FailWithErrno(errno);
            return false;
        }
        if (written == 0) {
            gIoErr = ERROR_DISK_FULL;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool FlushWrites(DosFile& file)
{
    if (file.writeBuffer.empty())
        return true;
    const bool ok = WriteAll(file.fd, file.writeBuffer.data(), file.writeBuffer.size());
    file.writeBuffer.clear();
    if (!ok)
        file.bufferedWriteFailed = true;
    return ok;
}

// Gives back read-ahead to the host so that the file position is where the
// caller believes it to be; needed before writing.
void DropReadAhead(DosFile& file)
{
    const std::size_t unread = file.readBuffer.size() - file.readPos;
    if (unread > 0 && file.seekable)
        ::lseek(file.fd, -static_cast<off_t>(unread), SEEK_CUR);
    file.readBuffer.clear();
    file.readPos = 0;
}

// Reads more into the read-ahead; returns the bytes added, 0 at the end, -1
// on an error.
ssize_t Refill(DosFile& file)
{
    if (file.readPos > 0) {
        file.readBuffer.erase(0, file.readPos);
        file.readPos = 0;
    }
    const std::size_t old = file.readBuffer.size();
    file.readBuffer.resize(old + kReadChunk);
    ssize_t got;
    do {
        got = ::read(file.fd, file.readBuffer.data() + old, kReadChunk);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        FailWithErrno(errno);
        file.readBuffer.resize(old);
        return -1;
    }
    file.readBuffer.resize(old + static_cast<std::size_t>(got));
    return got;
}

} // namespace

void DosFileDeleter::operator()(DosFile* file) const
{
    std::unique_ptr<DosFile> owned(file);
    if (owned && owned->fd >= 0)
        FlushWrites(*owned);
}

void DosLockDeleter::operator()(DosLock* lock) const { std::unique_ptr<DosLock> owned(lock); }

LONG IoErr() { return gIoErr; }
void SetIoErr(LONG code) { gIoErr = code; }

FileHandle Open(std::string_view name, LONG accessMode)
{
    const auto host = ResolvePath(name);
    if (!host)
        return nullptr;
    int flags = O_RDWR | O_CLOEXEC | O_NOCTTY;
    bool exclusive = false;
    switch (accessMode) {
    case MODE_OLDFILE:
        break;
    case MODE_NEWFILE:
        flags |= O_CREAT;
        exclusive = true;
        break;
    case MODE_READWRITE:
        flags |= O_CREAT;
        break;
    default:
        SetIoErr(ERROR_BAD_NUMBER);
        return nullptr;
    }
    int fd = ::open(host->c_str(), flags, 0666);
    if (fd < 0 && accessMode == MODE_OLDFILE && (errno == EACCES || errno == EROFS))
        fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY); // read-only material
    if (fd < 0) {
        FailWithErrno(errno);
        return nullptr;
    }
    auto file = std::make_unique<DosFile>();
    file->fd = fd;
    if (!TakeSharingLock(fd, exclusive))
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        FailWithErrno(errno);
        return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
        SetIoErr(ERROR_OBJECT_WRONG_TYPE);
        return nullptr;
    }
    file->seekable = S_ISREG(st.st_mode);
    // Emptied only now that the lock is ours: a file somebody else holds
    // must survive a failed MODE_NEWFILE.
    if (accessMode == MODE_NEWFILE && S_ISREG(st.st_mode) && st.st_size > 0 && ::ftruncate(fd, 0) != 0) {
        FailWithErrno(errno);
        return nullptr;
    }
    return FileHandle(file.release());
}

FileHandle OpenRegularFile(std::string_view name, LONG accessMode)
{
    const auto host = ResolvePath(name);
    if (!host)
        return nullptr;
    // Looked at before opening: opening a device can have effects of its own.
    struct stat st {};
    if (::stat(host->c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        kprintf("%s is not a regular file; not opened.\n", std::string(name).c_str());
        SetIoErr(ERROR_OBJECT_WRONG_TYPE);
        return nullptr;
    }
    FileHandle file = Open(name, accessMode);
    // Something else may have taken the name's place in between.
    if (file && (::fstat(file->fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        kprintf("%s is not a regular file; not opened.\n", std::string(name).c_str());
        SetIoErr(ERROR_OBJECT_WRONG_TYPE);
        return nullptr;
    }
    return file;
}

BOOL Close(FileHandle file)
{
    if (!file)
        return TRUE;
    std::unique_ptr<DosFile> owned(file.release());
    bool ok = FlushWrites(*owned) && !owned->bufferedWriteFailed;
    const int fd = owned->fd;
    owned->fd = -1;
    if (::close(fd) != 0) {
        FailWithErrno(errno);
        ok = false;
    }
    return ok ? TRUE : FALSE;
}

LONG Read(DosFile& file, void* buffer, LONG length)
{
    if (length < 0 || (length > 0 && buffer == nullptr)) {
        SetIoErr(ERROR_BAD_NUMBER);
        return -1;
    }
    if (!FlushWrites(file))
        return -1;
    auto* out = static_cast<char*>(buffer);
    std::size_t wanted = static_cast<std::size_t>(length);
    std::size_t done = 0;
    const std::size_t buffered = std::min(wanted, file.readBuffer.size() - file.readPos);
    if (buffered > 0) {
        std::memcpy(out, file.readBuffer.data() + file.readPos, buffered);
        file.readPos += buffered;
        done = buffered;
    }
    while (done < wanted) {
        ssize_t got = ::read(file.fd, out + done, wanted - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            FailWithErrno(errno);
            return done > 0 ? static_cast<LONG>(done) : -1;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<LONG>(done);
}

LONG Write(DosFile& file, const void* buffer, LONG length)
{
    if (length < 0 || (length > 0 && buffer == nullptr)) {
        SetIoErr(ERROR_BAD_NUMBER);
        return -1;
    }
    DropReadAhead(file);
    if (!FlushWrites(file))
        return -1;
    if (!WriteAll(file.fd, static_cast<const char*>(buffer), static_cast<std::size_t>(length)))
        return -1;
    return length;
}

bool CopyFileData(DosFile& source, DosFile& target)
{
    std::vector<unsigned char> buffer(64 * 1024);
    while (true) {
        const LONG got = Read(source, buffer.data(), static_cast<LONG>(buffer.size()));
        if (got == 0)
            return true;
        if (got < 0 || Write(target, buffer.data(), got) != got)
            return false;
        PollToolWait();
    }
}

bool CopyDosFile(std::string_view from, std::string_view to, bool linkFirst)
{
    if (linkFirst) {
        const std::optional<std::string> fromHost = HostPath(from);
        const std::optional<std::string> toHost = HostPath(to);
        if (fromHost && toHost) {
            ::unlink(toHost->c_str());
            if (::link(fromHost->c_str(), toHost->c_str()) == 0)
                return true;
        }
    }
    // A long copy lets the windows paint.
    ToolWaitScope waiting;
    FileHandle source = Open(from, MODE_OLDFILE);
    if (!source)
        return false;
    FileHandle target = Open(to, MODE_NEWFILE);
    if (!target)
        return false;
    bool good = CopyFileData(*source, *target);
    Close(std::move(source));
    if (!Close(std::move(target)))
        good = false;
    if (!good)
        DeleteFile(to);
    return good;
}

bool MoveDosFile(std::string_view from, std::string_view to, bool linkFirst)
{
    if (Rename(from, to))
        return true;
    if (!CopyDosFile(from, to, linkFirst))
        return false;
    DeleteFile(from);
    return true;
}

std::optional<std::string> FGets(DosFile& file) { return FGets(file, std::string::npos); }

std::optional<std::string> FGets(DosFile& file, std::size_t limit)
{
    if (limit == 0 || !FlushWrites(file))
        return std::nullopt;
    std::string line;
    for (;;) {
        const std::size_t start = file.readPos;
        const std::size_t room = limit - line.size();
        const std::size_t newline = file.readBuffer.find('\n', start);
        const std::size_t available = (newline == std::string::npos ? file.readBuffer.size() : newline + 1) - start;
        if (available >= room) {
            line.append(file.readBuffer, start, room);
            file.readPos = start + room;
            return line;
        }
        if (newline != std::string::npos) {
            line.append(file.readBuffer, start, newline + 1 - start);
            file.readPos = newline + 1;
            return line;
        }
        line.append(file.readBuffer, start, std::string::npos);
        file.readBuffer.clear();
        file.readPos = 0;
        const ssize_t got = Refill(file);
        if (got <= 0) {
            if (line.empty())
                return std::nullopt;
            return line;
        }
    }
}

LONG FPuts(DosFile& file, std::string_view text)
{
    DropReadAhead(file);
    file.writeBuffer.append(text);
    if (file.writeBuffer.size() >= kWriteChunk && !FlushWrites(file))
        return -1;
    return 0;
}

FileLock Lock(std::string_view name, LONG accessMode)
{
    const auto host = ResolvePath(name);
    if (!host)
        return nullptr;
    const int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        SetIoErr(error == EACCES ? ERROR_READ_PROTECTED : ErrorFromErrno(error));
        return nullptr;
    }
    auto lock = std::make_unique<DosLock>();
    lock->fd = fd;
    if (!TakeSharingLock(fd, accessMode == EXCLUSIVE_LOCK))
        return nullptr;
    lock->name = ObjectName(name, *host);
    return FileLock(lock.release());
}

void UnLock(FileLock lock) { lock.reset(); }

BOOL Examine(const DosLock& lock, FileInfoBlock& info)
{
    struct stat st {};
    if (::fstat(lock.fd, &st) != 0) {
        FailWithErrno(errno);
        return FALSE;
    }
    info.fib_FileName = lock.name;
    if (S_ISDIR(st.st_mode)) {
        info.fib_DirEntryType = ST_USERDIR;
        info.fib_Size = 0;
    } else {
        info.fib_DirEntryType = ST_FILE;
        info.fib_Size = static_cast<LONG>(std::min<off_t>(st.st_size, LONG_MAX));
    }
    return TRUE;
}

BOOL DeleteFile(std::string_view name)
{
    const auto host = ResolvePath(name);
    if (!host)
        return FALSE;
    UseGuard guard;
    if (!guard.Acquire(*host))
        return FALSE;
    struct stat st {};
    const bool isDir = ::lstat(host->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if ((isDir ? ::rmdir(host->c_str()) : ::unlink(host->c_str())) != 0) {
        FailWithErrno(errno == EEXIST ? ENOTEMPTY : errno);
        return FALSE;
    }
    return TRUE;
}

namespace {

// A host rename; without replace it never overwrites an existing name.
bool HostRename(const std::string& from, const std::string& to, bool replace)
{
    if (replace) {
        if (::rename(from.c_str(), to.c_str()) != 0) {
            FailWithErrno(errno);
            return false;
        }
        return true;
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) {
        FailWithErrno(errno);
        return false;
    }
    // A file system without RENAME_NOREPLACE: check, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        SetIoErr(ERROR_OBJECT_EXISTS);
        return false;
    }
    return HostRename(from, to, true);
}

} // namespace

BOOL Rename(std::string_view oldName, std::string_view newName)
{
    const auto from = ResolvePath(oldName);
    const auto to = from ? ResolvePath(newName) : std::nullopt;
    if (!from || !to)
        return FALSE;
    UseGuard guard;
    if (!guard.Acquire(*from))
        return FALSE;
    return HostRename(*from, *to, false) ? TRUE : FALSE;
}

BOOL ReplaceFile(std::string_view source, std::string_view target)
{
    const auto from = ResolvePath(source);
    const auto to = from ? ResolvePath(target) : std::nullopt;
    if (!from || !to)
        return FALSE;
    UseGuard sourceGuard;
    if (!sourceGuard.Acquire(*from))
        return FALSE;
    UseGuard targetGuard;
    struct stat st {};
    if (::lstat(to->c_str(), &st) == 0 && !targetGuard.Acquire(*to))
        return FALSE;
    // A device, FIFO or folder in the target's place is never replaced.
    if (::stat(to->c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        SetIoErr(ERROR_OBJECT_WRONG_TYPE);
        return FALSE;
    }
    return HostRename(*from, *to, true) ? TRUE : FALSE;
}

std::unique_ptr<ExAllControl> AllocDosObject(ULONG type)
{
    if (type != DOS_EXALLCONTROL) {
        SetIoErr(ERROR_BAD_NUMBER);
        return nullptr;
    }
    return std::make_unique<ExAllControl>();
}

void FreeDosObject(ULONG /*type*/, std::unique_ptr<ExAllControl> object) { object.reset(); }

namespace {

// The sorted names of a directory that match the pattern; nullopt (with
// IoErr) when the directory cannot be read.
std::optional<std::vector<std::string>> MatchingNames(int dirFd, const dospattern::Pattern* pattern)
{
    const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        FailWithErrno(errno == ENOTDIR ? EISDIR : errno); // a file, not a directory
        return std::nullopt;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        FailWithErrno(errno);
        ::close(fd);
        return std::nullopt;
    }
    std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        if (!pattern || pattern->Matches(name))
            names.emplace_back(name);
        errno = 0;
    }
    if (errno != 0) {
        FailWithErrno(errno);
        return std::nullopt;
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::size_t EntryBytes(const std::string& name, LONG type)
{
    std::size_t bytes = 8 + name.size() + 1;
    if (type >= ED_TYPE)
        bytes += 4;
    if (type >= ED_SIZE)
        bytes += 4;
    return (bytes + 3) & ~std::size_t{3};
}

} // namespace

BOOL ExAll(const DosLock& lock, std::vector<ExAllData>& buffer, LONG size, LONG type, ExAllControl& control)
{
    buffer.clear();
    control.eac_Entries = 0;
    if (type < ED_NAME || type > ED_SIZE) {
        SetIoErr(ERROR_BAD_NUMBER);
        return FALSE;
    }
    if (control.eac_LastKey == 0) {
        std::optional<dospattern::Pattern> pattern;
        if (control.eac_MatchString) {
            pattern = dospattern::Pattern::Compile(*control.eac_MatchString);
            if (!pattern) {
                SetIoErr(ERROR_BAD_TEMPLATE);
                return FALSE;
            }
        }
        auto names = MatchingNames(lock.fd, pattern ? &*pattern : nullptr);
        if (!names)
            return FALSE;
        control.eac_Names = std::move(*names);
    }
    std::size_t next = control.eac_LastKey;
    std::size_t used = 0;
    const std::size_t room = size > 0 ? static_cast<std::size_t>(size) : 0;
    while (next < control.eac_Names.size()) {
        const std::string& name = control.eac_Names[next];
        const std::size_t bytes = EntryBytes(name, type);
        if (!buffer.empty() && used + bytes > room)
            break;
        ExAllData data;
        data.ed_Name = name;
        if (type >= ED_TYPE) {
            struct stat st {};
            if (::fstatat(lock.fd, name.c_str(), &st, 0) == 0) {
                data.ed_Type = S_ISDIR(st.st_mode) ? ST_USERDIR : ST_FILE;
                data.ed_Size = static_cast<ULONG>(std::min<off_t>(st.st_size, static_cast<off_t>(UINT32_MAX)));
            } else {
                data.ed_Type = ST_FILE;
            }
            if (type < ED_SIZE)
                data.ed_Size = 0;
        }
        buffer.push_back(std::move(data));
        used += bytes;
        ++next;
    }
    control.eac_LastKey = static_cast<ULONG>(next);
    control.eac_Entries = static_cast<ULONG>(buffer.size());
    if (next >= control.eac_Names.size()) {
        control.eac_Names.clear();
        control.eac_Names.shrink_to_fit();
        SetIoErr(ERROR_NO_MORE_ENTRIES);
        return FALSE;
    }
    return TRUE;
}

BOOL SameFile(std::string_view a, std::string_view b)
{
    const std::optional<std::string> hostA = HostPath(a);
    const std::optional<std::string> hostB = HostPath(b);
    if (!hostA || !hostB)
        return FALSE;
    struct stat first {};
    struct stat second {};
    if (::stat(hostA->c_str(), &first) != 0 || ::stat(hostB->c_str(), &second) != 0)
        return FALSE;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino ? TRUE : FALSE;
}

// Saving over a file: the new file takes the old one's mode and reaches the
// disk before it replaces it.
BOOL TakeModeOf(DosFile& file, std::string_view model)
{
    const auto host = ResolvePath(model);
    struct stat st {};
    if (!host || ::stat(host->c_str(), &st) != 0)
        return TRUE;
    // The owner first: changing it may clear set-id bits that fchmod sets.
    // Only the superuser may give a file away; a group of our own is allowed.
    [[maybe_unused]] const int owned = ::fchown(file.fd, st.st_uid, st.st_gid) == 0
        || ::fchown(file.fd, static_cast<uid_t>(-1), st.st_gid) == 0;
    if (::fchmod(file.fd, st.st_mode & 07777) != 0) {
        FailWithErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL SyncFile(DosFile& file)
{
    if (!FlushWrites(file) || file.bufferedWriteFailed)
        return FALSE;
    if (::fsync(file.fd) != 0) {
        FailWithErrno(errno);
        return FALSE;
    }
    return TRUE;
}

// Unfinished file work. Before an operation leaves a file half done on disk
// (a save's temporary file), it notes in this instance's T: how to undo it.
// (Renders note their outputs in the state folder: dos_output_claim.cpp;
// an output note of an older Clipweaver found here only puts an old file
// back where nothing stands at the output name.) A note is one file of
// its own, written whole under a pending name and renamed into place, and
// removed when the operation has ended its own way. The start-up that clears
// the T: of an instance that died reads its notes first and finishes what
// they say, so neither a crash nor kill -9 can hide the user's file.
//
// A note holds NUL-separated fields (names may hold any other byte): the
// kind, then host paths made absolute, so that a start-up in another
// folder finds the same files.
#include "os/dos.h"

#include "os/dos_unfinished.h"
#include "os/question.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kNotePrefix = ".clipweaver-unfinished-";
constexpr std::string_view kRemoveKind = "remove";
constexpr std::string_view kRestoreKind = "restore";

std::atomic<LONG> gNextNote{1};

std::optional<std::string> AbsoluteHostPath(std::string_view name)
{
    const std::optional<std::string> host = HostPath(name);
    if (!host)
        return std::nullopt;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(*host, error);
    if (error)
        return std::nullopt;
    return absolute.lexically_normal().string();
}

std::string NotePath(const std::string& folder, LONG note)
{
    return folder + "/" + std::string(kNotePrefix) + std::to_string(::getpid()) + "-" + std::to_string(note);
}

bool WriteWhole(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return ::close(fd) == 0;
}

std::optional<std::string> ReadWhole(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return text;
}

LONG WriteNote(std::string_view kind, const std::vector<std::string>& paths)
{
    const std::string folder = TemporaryFolder();
    if (folder.empty())
        return 0;
    std::string text(kind);
    text.push_back('\0');
    for (const std::string& path : paths) {
        text += path;
        text.push_back('\0');
    }
    const LONG note = gNextNote.fetch_add(1);
    const std::string path = NotePath(folder, note);
    const std::string pending = path + ".new";
    if (!WriteWhole(pending, text) || ::rename(pending.c_str(), path.c_str()) != 0) {
        ::unlink(pending.c_str());
        return 0;
    }
    return note;
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void Finish(const std::vector<std::string>& fields)
{
    if (fields.size() == 2 && fields[0] == kRemoveKind) {
        if (IsRegularFile(fields[1]))
            ::unlink(fields[1].c_str());
        return;
    }
    if (fields.size() != 3 || fields[0] != kRestoreKind)
        return;
    const std::string& output = fields[1];
    const std::string& aside = fields[2];
    // A note of this kind says nothing of the file the render itself left
    // at the output name, so whatever stands there now may be the user's:
    // it is never removed or replaced. Only a missing output gets its old
    // file back.
    if (aside.empty() || !IsRegularFile(aside))
        return;
    if (Exists(output)) {
        kprintf("Couldn't put %s back; it is kept as %s.\n", output.c_str(), aside.c_str());
        TellUserWhenShown("Render", "Clipweaver stopped while it rendered " + output + "; the file that stood there "
                                        "before is kept as " + aside + ".");
        return;
    }
    if (::rename(aside.c_str(), output.c_str()) == 0)
        kprintf("Put %s back.\n", output.c_str());
    else
        kprintf("Couldn't put %s back; it is kept as %s.\n", output.c_str(), aside.c_str());
}

} // namespace

LONG NoteUnfinishedFile(std::string_view temporary)
{
    const std::optional<std::string> path = AbsoluteHostPath(temporary);
    if (!path)
        return 0;
    return WriteNote(kRemoveKind, {*path});
}

LONG NoteOutputAside(std::string_view output, std::string_view aside)
{
    const std::optional<std::string> outputPath = AbsoluteHostPath(output);
    if (!outputPath)
        return 0;
    std::string asidePath;
    if (!aside.empty()) {
        const std::optional<std::string> path = AbsoluteHostPath(aside);
        if (!path)
            return 0;
        asidePath = *path;
    }
    return WriteNote(kRestoreKind, {*outputPath, asidePath});
}

void ForgetUnfinished(LONG note)
{
    if (note <= 0)
        return;
    const std::string folder = TemporaryFolder();
    if (!folder.empty())
        ::unlink(NotePath(folder, note).c_str());
}

namespace dosdetail {

void FinishUnfinishedWork(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> notes;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.starts_with(kNotePrefix) && !name.ends_with(".new"))
            notes.emplace_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : notes) {
        const std::optional<std::string> text = ReadWhole(folder + "/" + name);
        if (!text)
            continue;
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t end; (end = text->find('\0', start)) != std::string::npos; start = end + 1)
            fields.push_back(text->substr(start, end - start));
        Finish(fields);
    }
}

} // namespace dosdetail

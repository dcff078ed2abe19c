// A render's hold on its output name, kept in the user's state folder
// ($XDG_STATE_HOME/clipweaver, else ~/.local/state/clipweaver) so that it
// outlives a reboot that empties the temporary root. Per output there are
// two files, named by a hash of the output's absolute host path:
//   "render-HASH.lock"  held with flock while a render owns the name, so a
//                       second render, in this instance or another, is
//                       refused at once;
//   "render-HASH.note"  how to undo the render: the output, the hidden name
//                       its old file was moved to, and what the render has
//                       itself left at the output name (device, inode, size,
//                       time), or since when its tools write there. It is
//                       written whole under a pending name and renamed into
//                       place, and touched four times a second while the render
//                       lives.
// The start-up takes every note whose lock nobody holds and puts the old
// file back only when what stands at the output name is still the render's
// own unfinished file; anything else is left as it is, and the user is told
// where the old file is.
#include "os/dos.h"

#include "os/cache_store.h"
#include "os/dos_unfinished.h"
#include "os/format.h"
#include "os/question.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kNoteMark = "clipweaver-render-note-1";
constexpr std::string_view kNoteEnd = "end";
constexpr std::string_view kLockSuffix = ".lock";
constexpr std::string_view kNoteSuffix = ".note";
constexpr std::string_view kAsideSuffix = ".clipweaver-old";
constexpr std::size_t kLongestName = 255;
// How long after the note's last touch a file at the output name may still
// have been changed by the dying render's tools (they are killed with it;
// the note is touched every 250 ms).
constexpr long long kGraceNanoseconds = 1'500'000'000LL;

long long NanosecondsOf(const timespec& time)
{
    return static_cast<long long>(time.tv_sec) * 1'000'000'000LL + time.tv_nsec;
}

// The clock files' times come from.
long long Now()
{
    timespec time {};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &time);
    return NanosecondsOf(time);
}

// A moment that no file changed before it can share with one changed after:
// the clock has ticked on once it is taken.
long long Boundary()
{
    const long long now = Now();
    while (Now() == now)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return now;
}

// FNV-1a: stable across builds and runs, unlike std::hash.
std::string HashOf(std::string_view text)
{
    unsigned long long hash = 14695981039346656037ULL;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    return Format("%016llx", hash);
}

// The output's absolute host path, its folder resolved (the file itself may
// be a link the render replaces, or not exist yet).
std::optional<std::string> OutputKey(std::string_view output)
{
    const std::optional<std::string> host = HostPath(output);
    if (!host)
        return std::nullopt;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(*host, error).lexically_normal();
    if (error)
        return std::nullopt;
    const std::filesystem::path folder = std::filesystem::weakly_canonical(absolute.parent_path(), error);
    return ((error ? absolute.parent_path() : folder) / absolute.filename()).string();
}

struct OutputFacts {
    bool present = false;
    bool regular = false;
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long modified = 0;
    long long changed = 0;
};

OutputFacts FactsOf(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    return {true, S_ISREG(st.st_mode), static_cast<unsigned long long>(st.st_dev),
            static_cast<unsigned long long>(st.st_ino), static_cast<long long>(st.st_size),
            NanosecondsOf(st.st_mtim), NanosecondsOf(st.st_ctim)};
}

// What a note holds.
struct RenderNote {
    std::string output;
    std::string aside;        // empty: there was no old file
    long long began = 0;      // when the render took the name
    bool writing = false;     // its tools may be writing the output name
    OutputFacts made;         // what the render left there when not writing
};

std::string TextOf(const RenderNote& note)
{
    std::string text;
    const auto field = [&text](std::string_view value) {
        text += value;
        text.push_back('\0');
    };
    field(kNoteMark);
    field(note.output);
    field(note.aside);
    field(std::to_string(note.began));
    field(note.writing ? "1" : "0");
    field(note.made.present ? "1" : "0");
    field(std::to_string(note.made.device));
    field(std::to_string(note.made.inode));
    field(std::to_string(note.made.size));
    field(std::to_string(note.made.modified));
    field(kNoteEnd);
    return text;
}

std::optional<RenderNote> ParseNote(const std::string& text)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
        fields.push_back(text.substr(start, end - start));
    if (fields.size() != 11 || fields[0] != kNoteMark || fields[10] != kNoteEnd || fields[1].empty())
        return std::nullopt;
    RenderNote note;
    note.output = fields[1];
    note.aside = fields[2];
    note.began = std::atoll(fields[3].c_str());
    note.writing = fields[4] == "1";
    note.made.present = fields[5] == "1";
    note.made.device = std::strtoull(fields[6].c_str(), nullptr, 10);
    note.made.inode = std::strtoull(fields[7].c_str(), nullptr, 10);
    note.made.size = std::atoll(fields[8].c_str());
    note.made.modified = std::atoll(fields[9].c_str());
    return note;
}

bool WriteWhole(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        ok = written > 0;
        if (ok)
            done += static_cast<std::size_t>(written);
    }
    ok = ok && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

std::optional<std::string> ReadWhole(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    std::string buffer(4096, '\0');
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    return text;
}

// Whether what stands at the output name is the render's own unfinished
// file: the very file it noted, or, while its tools were writing, a file
// changed no earlier than the render began and no later than its last sign
// of life.
bool IsRenderOwn(const RenderNote& note, const OutputFacts& now, long long lastAlive)
{
    if (!now.regular)
        return false;
    const OutputFacts& made = note.made;
    if (made.present && made.device == now.device && made.inode == now.inode && made.size == now.size
        && made.modified == now.modified)
        return true;
    return note.writing && now.changed > note.began && now.changed <= lastAlive + kGraceNanoseconds;
}

// Undoes what a dead render left, as its note says.
void Undo(const RenderNote& note, long long lastAlive)
{
    const std::string& output = note.output;
    const OutputFacts now = FactsOf(output);
    const bool own = now.present && IsRenderOwn(note, now, lastAlive);
    const OutputFacts kept = note.aside.empty() ? OutputFacts{} : FactsOf(note.aside);
    // The old file is moved aside before any tool writes at its name: a note
    // that names a place aside where nothing stands was left before the move,
    // so what stands at the name is still the user's own file.
    if (!note.aside.empty() && !kept.present)
        return;
    if (now.present && !own) {
        kprintf("%s was changed since its render stopped; left as it is.\n", output.c_str());
        if (kept.present)
            TellUserWhenShown("Render", "Clipweaver stopped while it rendered " + output + ", and the file there has "
                                            "changed since. Nothing was moved: the file that stood there before the "
                                            "render is kept as " + note.aside + ".");
        return;
    }
    if (own) {
        if (::unlink(output.c_str()) != 0)
            return;
        if (!kept.present)
            kprintf("Removed the unfinished %s.\n", output.c_str());
    }
    if (!kept.present)
        return;
    if (::rename(note.aside.c_str(), output.c_str()) == 0) {
        kprintf("Put %s back.\n", output.c_str());
        TellUserWhenShown("Render", "Clipweaver stopped while it rendered " + output
                                        + "; the file that stood there before is back.");
    } else {
        kprintf("Couldn't put %s back; it is kept as %s.\n", output.c_str(), note.aside.c_str());
        TellUserWhenShown("Render", "Clipweaver stopped while it rendered " + output
                                        + "; the file that stood there before is kept as " + note.aside + ".");
    }
}

// Opens and locks "render-HASH.lock"; -1 when another render holds it.
int TakeLock(const std::string& path)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
        if (fd < 0)
            return -1;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            SetIoErr(errno == EWOULDBLOCK ? ERROR_OBJECT_IN_USE : ERROR_WRITE_PROTECTED);
            ::close(fd);
            return -1;
        }
        // A render that just ended may have removed the file we locked.
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino
            && held.st_dev == named.st_dev)
            return fd;
        ::close(fd);
    }
    SetIoErr(ERROR_OBJECT_IN_USE);
    return -1;
}

std::string Stem(const std::string& path, std::string_view suffix)
{
    return path.substr(0, path.size() - suffix.size());
}

} // namespace

class OutputClaim {
public:
    OutputClaim(int fd, std::string stem, RenderNote note)
        : fd_(fd), stem_(std::move(stem)), note_(std::move(note)), heartbeat_([this](std::stop_token stop) { Beat(stop); })
    {
    }
    OutputClaim(const OutputClaim&) = delete;
    OutputClaim& operator=(const OutputClaim&) = delete;
    ~OutputClaim()
    {
        heartbeat_.request_stop();
        heartbeat_.join();
        ::unlink(NotePath().c_str());
        ::unlink((stem_ + std::string(kLockSuffix)).c_str());
        ::close(fd_);
    }

    bool Write()
    {
        const std::lock_guard<std::mutex> guard(mutex_);
        const std::string path = NotePath();
        const std::string pending = path + ".new";
        if (WriteWhole(pending, TextOf(note_)) && ::rename(pending.c_str(), path.c_str()) == 0)
            return true;
        ::unlink(pending.c_str());
        SetIoErr(ERROR_WRITE_PROTECTED);
        return false;
    }
    RenderNote& Note() { return note_; }
    std::string NotePath() const { return stem_ + std::string(kNoteSuffix); }

private:
    // The note's time says the render still lives.
    void Beat(const std::stop_token& stop)
    {
        std::unique_lock<std::mutex> lock(sleep_);
        while (!stop.stop_requested()) {
            wake_.wait_for(lock, stop, std::chrono::milliseconds(250), [] { return false; });
            const std::lock_guard<std::mutex> guard(mutex_);
            ::utimensat(AT_FDCWD, NotePath().c_str(), nullptr, AT_SYMLINK_NOFOLLOW);
        }
    }

    int fd_;
    std::string stem_;
    RenderNote note_;
    std::mutex mutex_;
    std::mutex sleep_;
    std::condition_variable_any wake_;
    std::jthread heartbeat_;
};

void OutputClaimDeleter::operator()(OutputClaim* claim) const { delete claim; }

std::string StateFolder() { return UserFolder("XDG_STATE_HOME", ".local/state"); }

OutputClaimHandle ClaimOutput(std::string_view output)
{
    const std::optional<std::string> key = OutputKey(output);
    const std::string folder = StateFolder();
    if (!key || folder.empty()) {
        SetIoErr(ERROR_DIR_NOT_FOUND);
        return nullptr;
    }
    const std::string stem = folder + "/render-" + HashOf(*key);
    const int fd = TakeLock(stem + std::string(kLockSuffix));
    if (fd < 0)
        return nullptr;
    // A note left beside a lock nobody held is a dead render's: undone first.
    if (const auto text = ReadWhole(stem + std::string(kNoteSuffix)))
        if (const auto left = ParseNote(*text)) {
            struct stat st {};
            ::stat((stem + std::string(kNoteSuffix)).c_str(), &st);
            Undo(*left, NanosecondsOf(st.st_mtim));
        }
    RenderNote note;
    note.output = *key;
    note.began = Boundary();
    auto owned = std::make_unique<OutputClaim>(fd, stem, std::move(note));
    OutputClaimHandle claim(owned.release());
    if (!claim->Write())
        return nullptr;
    return claim;
}

BOOL NoteOutputKept(OutputClaim& claim, std::string_view aside)
{
    std::string host;
    if (!aside.empty()) {
        const std::optional<std::string> path = HostPath(aside);
        if (!path) {
            SetIoErr(ERROR_OBJECT_NOT_FOUND);
            return FALSE;
        }
        std::error_code error;
        host = std::filesystem::absolute(*path, error).lexically_normal().string();
    }
    claim.Note().aside = host;
    claim.Note().writing = true;
    return claim.Write() ? TRUE : FALSE;
}

BOOL NoteOutputWritten(OutputClaim& claim, bool writing)
{
    RenderNote& note = claim.Note();
    note.writing = writing;
    note.made = writing ? OutputFacts{} : FactsOf(note.output);
    return claim.Write() ? TRUE : FALSE;
}

std::string OutputAsideName(std::string_view output, int attempt)
{
    // The folder part keeps its "/" or volume ":"; the hidden name goes
    // after it.
    const std::size_t split = output.find_last_of("/:");
    const std::string_view folder = split == std::string_view::npos ? std::string_view() : output.substr(0, split + 1);
    const std::string number = attempt == 0 ? std::string() : std::to_string(attempt);
    std::string file(split == std::string_view::npos ? output : output.substr(split + 1));
    // The hidden name must be a name the file system takes: the output's own
    // name is cut (at a character's start) to leave room for the marks.
    const std::size_t room = kLongestName - 1 - kAsideSuffix.size() - number.size();
    if (file.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(file[cut]) & 0xC0) == 0x80)
            --cut;
        file.resize(cut);
    }
    return std::string(folder) + "." + file + std::string(kAsideSuffix) + number;
}

namespace dosdetail {

void FinishUnfinishedRenders()
{
    const std::string folder = StateFolder();
    DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> notes;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.starts_with("render-") && name.ends_with(kNoteSuffix))
            notes.emplace_back(folder + "/" + std::string(name));
    }
    ::closedir(dir);
    for (const std::string& path : notes) {
        const std::string stem = Stem(path, kNoteSuffix);
        const int fd = TakeLock(stem + std::string(kLockSuffix));
        if (fd < 0)
            continue; // a render that runs now
        struct stat st {};
        const auto text = ::stat(path.c_str(), &st) == 0 ? ReadWhole(path) : std::nullopt;
        if (const auto note = text ? ParseNote(*text) : std::nullopt)
            Undo(*note, NanosecondsOf(st.st_mtim));
        ::unlink(path.c_str());
        ::unlink((stem + std::string(kLockSuffix)).c_str());
        ::close(fd);
    }
}

} // namespace dosdetail

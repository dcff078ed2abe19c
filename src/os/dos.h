// dos.library stand-in: AmigaDOS-style paths, files, locks, patterns and
// directory scanning on top of the host's file system.
//
// Paths: "T:" (private to this running instance), "RAM:", "NIL:", "SYS:" and
// "C:" are built in; further volumes come from the environment (see
// README.md). A path without a volume is relative to the current directory;
// a host absolute path ("/tmp/x") is used as it is. Volume names match
// without regard to case. An unknown volume fails with
// ERROR_OBJECT_NOT_FOUND. "SYS:" and "C:" name the current folder ("C:Copy"
// gives "./Copy"), "NIL:" is /dev/null.
//
// Sharing: opens and locks hold host flock() locks, so they bind other
// running instances too. Host descriptors are close-on-exec; a process
// forked without exec shares this instance's locks and T:.
#pragma once

#include "os/exec.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr LONG MODE_READWRITE = 1004;
constexpr LONG MODE_OLDFILE = 1005;
constexpr LONG MODE_NEWFILE = 1006;

constexpr LONG SHARED_LOCK = -2;
constexpr LONG ACCESS_READ = -2;
constexpr LONG EXCLUSIVE_LOCK = -1;
constexpr LONG ACCESS_WRITE = -1;

constexpr LONG ERROR_NO_FREE_STORE = 103;
constexpr LONG ERROR_BREAK = 304;
constexpr LONG ERROR_BAD_TEMPLATE = 114;
constexpr LONG ERROR_REQUIRED_ARG_MISSING = 116;
constexpr LONG ERROR_LINE_TOO_LONG = 120;
constexpr LONG ERROR_OBJECT_IN_USE = 202;
constexpr LONG ERROR_OBJECT_EXISTS = 203;
constexpr LONG ERROR_DIR_NOT_FOUND = 204;
constexpr LONG ERROR_OBJECT_NOT_FOUND = 205;
constexpr LONG ERROR_BAD_NUMBER = 115;
constexpr LONG ERROR_OBJECT_WRONG_TYPE = 212;
constexpr LONG ERROR_DISK_WRITE_PROTECTED = 214;
constexpr LONG ERROR_RENAME_ACROSS_DEVICES = 215;
constexpr LONG ERROR_DIRECTORY_NOT_EMPTY = 216;
constexpr LONG ERROR_SEEK_ERROR = 219;
constexpr LONG ERROR_DISK_FULL = 221;
constexpr LONG ERROR_READ_PROTECTED = 224;
constexpr LONG ERROR_WRITE_PROTECTED = 223;
constexpr LONG ERROR_NO_MORE_ENTRIES = 232;

// An open file. Closing it (Close, or letting the handle go) releases the
// host descriptor and its sharing lock.
class DosFile;
// A lock on a file or directory.
class DosLock;

struct DosFileDeleter {
    void operator()(DosFile* file) const;
};
struct DosLockDeleter {
    void operator()(DosLock* lock) const;
};
using FileHandle = std::unique_ptr<DosFile, DosFileDeleter>;
using FileLock = std::unique_ptr<DosLock, DosLockDeleter>;

// MODE_OLDFILE opens an existing file for reading and writing (shared);
// MODE_NEWFILE creates or empties a file (exclusive while open);
// MODE_READWRITE opens or creates without emptying (shared).
// Null on failure, with the reason in IoErr().
FileHandle Open(std::string_view name, LONG accessMode);
// Open for files that hold the program's own records (crouton, project and
// settings files): only a regular file is opened. A device, FIFO or folder
// is refused at once, before it is opened, with ERROR_OBJECT_WRONG_TYPE and
// a trace: reading one would never end or never return.
FileHandle OpenRegularFile(std::string_view name, LONG accessMode);
// FALSE when buffered data could not be written out.
BOOL Close(FileHandle file);
// Bytes read (0 at the end), or -1.
LONG Read(DosFile& file, void* buffer, LONG length);
// Bytes written, or -1 (for example on a full disk).
LONG Write(DosFile& file, const void* buffer, LONG length);
// Copies the rest of `source` to the end of `target` in 64 KiB pieces;
// false when a read or a write fails. Polls the tool-wait hook as it goes,
// so a long copy inside a ToolWaitScope lets the windows paint.
bool CopyFileData(DosFile& source, DosFile& target);
// Copies a file, in place of whatever stood at `to`; no partial copy is
// left. Where the two may share their data (a file nobody changes after,
// such as a tool's piece) `linkFirst` tries a hard link before copying. The
// windows paint while it copies.
bool CopyDosFile(std::string_view from, std::string_view to, bool linkFirst = false);
// Moves a file: Rename, else a copy (as above) and a delete.
bool MoveDosFile(std::string_view from, std::string_view to, bool linkFirst = false);
// The next line, whole, with its line feed when it has one; nullopt at the
// end of the file.
std::optional<std::string> FGets(DosFile& file);
// The same, but at most `limit` bytes (line feed included): a longer line
// comes back cut, without its line feed, and the rest is read next.
std::optional<std::string> FGets(DosFile& file, std::size_t limit);
// 0 on success, -1 on an error.
LONG FPuts(DosFile& file, std::string_view text);

FileLock Lock(std::string_view name, LONG accessMode);
void UnLock(FileLock lock);

constexpr LONG ST_FILE = -3;
constexpr LONG ST_USERDIR = 2;
struct FileInfoBlock {
    LONG fib_DirEntryType = 0; // > 0 directory, < 0 file
    std::string fib_FileName;
    LONG fib_Size = 0;
};
BOOL Examine(const DosLock& lock, FileInfoBlock& info);

// Both fail on a file that is locked or open elsewhere (ERROR_OBJECT_IN_USE),
// in this instance or another one. DeleteFile removes empty directories too.
BOOL DeleteFile(std::string_view name);
// Fails when newName exists (ERROR_OBJECT_EXISTS), as AmigaDOS does, and
// between host file systems (ERROR_RENAME_ACROSS_DEVICES).
BOOL Rename(std::string_view oldName, std::string_view newName);

LONG IoErr();
void SetIoErr(LONG code);

// Patterns: ?, #x, #?, (a|b), ~x, [a-z], [~a-z], %, ' escapes; * is an
// ordinary character; "|" alternates only inside parentheses. The tokenised
// form is the checked pattern text itself, so it keeps "/" and ":" of the
// source where they stand. Returns 1 when the source holds wildcards, 0 when
// it does not, -1 when it is malformed (unbalanced parentheses, a dangling
// escape, "#" or "~" with nothing after it, an unclosed bracket, nesting
// deeper than 200) or when the text and its terminating NUL do not fit in
// length bytes; tokenised is empty then.
LONG ParsePatternNoCase(std::string_view source, std::string& tokenised, LONG length = 1023);
// Whether name matches a tokenised pattern, without regard to case (ASCII and
// Latin-1 letters; names are read as UTF-8). FALSE with IoErr
// ERROR_BAD_TEMPLATE for a malformed pattern.
BOOL MatchPatternNoCase(std::string_view tokenised, std::string_view name);

// Directory scanning.
constexpr LONG ED_NAME = 1;
constexpr LONG ED_TYPE = 2;
constexpr LONG ED_SIZE = 3;
constexpr ULONG DOS_EXALLCONTROL = 6;

struct ExAllData {
    std::string ed_Name;
    LONG ed_Type = 0;
    ULONG ed_Size = 0;
};
struct ExAllControl {
    ULONG eac_Entries = 0;
    ULONG eac_LastKey = 0;
    // Tokenised pattern (from ParsePatternNoCase); absent matches everything.
    std::optional<std::string> eac_MatchString;
    // Ours, not AmigaDOS: the sorted names that matched when the scan began
    // (eac_LastKey 0); eac_LastKey counts how many of them went out so far.
    std::vector<std::string> eac_Names;
};
std::unique_ptr<ExAllControl> AllocDosObject(ULONG type);
void FreeDosObject(ULONG type, std::unique_ptr<ExAllControl> object);
// Fills buffer with the next entries of the locked directory that match
// eac_MatchString, as many as fit in `size` bytes but always at least one
// while any remain; eac_Entries says how many. Returns TRUE while more may
// follow; FALSE with IoErr() ERROR_NO_MORE_ENTRIES when the scan is done
// (the last entries may come with that FALSE). Successive calls deliver every
// matching entry exactly once.
BOOL ExAll(const DosLock& lock, std::vector<ExAllData>& buffer, LONG size, LONG type, ExAllControl& control);

// Host side of the volumes. These are ours, not AmigaDOS calls.
// The host path of an AmigaDOS path; nullopt for an unknown volume.
std::optional<std::string> HostPath(std::string_view amigaPath);
// Whether two paths name the same existing file (hard links and other
// spellings of one path included).
BOOL SameFile(std::string_view a, std::string_view b);
// Creates this instance's T: and removes the T: folders of instances that no
// longer run, finishing the file work they left half done. Start-up calls it
// once, with what else must happen to a dead instance's folder before it
// goes (its tools ended: the runner's tools are not the volumes' to know);
// HostPath sets up the volumes on demand too, without that.
using DeadInstanceCleanup = std::function<void(const std::string& folder)>;
void InitVolumes(const DeadInstanceCleanup& cleanup = {});
// The host folder of this instance's T: (created on demand).
std::string TemporaryFolder();
// Whether a host path names something inside that folder.
bool InTemporaryFolder(std::string_view hostPath);

// AmigaDOS names as the host programs behind the command runner take them.
// The absolute host path of an AmigaDOS path given to a tool. Besides the
// AmigaDOS forms ("T:x", "RAM:x", "Work:x", "x") the tools' command lines
// use a Unix-style form for volumes: "/T/x" is "T:x" and "/RAM/x" is "RAM:x"
// (any volume that has no folder of the same name at the host's root). A
// name whose volume is unknown is returned as it is.
std::string ToolPath(std::string_view amigaPath);
// For free words of a command line that may or may not be files: names with
// a volume, a leading "/" or that exist are translated by ToolPath; anything
// else (a number, an option value) stays as it is.
std::string ArgumentPath(std::string_view word);
// A host file in this instance's T: folder.
std::string TemporaryHostFile(std::string_view name);
// A scratch file of one tool run in T:: in a lane of T: (below) the lane's
// own, so runs side by side never share one.
std::string RunScratchFile(std::string_view name);

// A lane of T: for work that runs beside other work of its kind (a
// render's side-by-side encodes, whose command lines all name
// "T:__TempVideo"): while a lane is open on a thread, each of its names
// stands there for a file of the lane's own ("T:__TempVideo" in lane 2 is
// the host file "__CWLane2__TempVideo" in T:'s folder). Other names of T:
// stay shared.
struct TemporaryLane {
    int number = 0;
    std::vector<std::string> names; // as they follow "T:", such as "__TempVideo"
};
class InTemporaryLane {
public:
    explicit InTemporaryLane(const TemporaryLane& lane);
    ~InTemporaryLane();
    InTemporaryLane(const InTemporaryLane&) = delete;
    InTemporaryLane& operator=(const InTemporaryLane&) = delete;

private:
    const TemporaryLane* outer_;
};
// The lane open on this thread; none outside lanes.
const TemporaryLane* CurrentTemporaryLane();
// The kinds of picture the program takes, by extension (lower case; names
// match in any case).
extern const std::vector<std::string_view> kPictureExtensions;
// Whether a file name is a picture's (kPictureExtensions, in any case): only
// pictures make a sequence.
bool IsPictureName(std::string_view name);
// A source name (a clip, a picture, a picture pattern) is a picture pattern
// when it holds wildcards (or is no pattern at all) and no file of exactly
// that name exists: "holiday (1).mp4" that exists is that video.
bool IsSourcePattern(std::string_view name);

// The file a name stands for, after following links: two names are the same
// file when their identities are equal, whatever their spelling.
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(std::string_view name);
// Whether anything (a file, a link, even one to nowhere) stands at a name.
bool NameTaken(std::string_view name);
// Whether a folder exists and files may be made in it.
bool FolderWritable(std::string_view folder);
// Bytes free for this user in the file system holding `folder`; none when
// it cannot be told. Tests stand in for the host with the hook.
std::optional<long long> FreeBytes(std::string_view folder);
using FreeBytesHook = std::function<std::optional<long long>(const std::string& hostFolder)>;
void SetFreeBytesHook(FreeBytesHook hook);

// Saving a file in place of another (ReplacingFile): the host path the new
// file replaces, after following symbolic links, so that a link keeps
// pointing to the saved file. Nullopt with IoErr ERROR_WRITE_PROTECTED for
// a file that exists but may not be written (read-only), or
// ERROR_OBJECT_WRONG_TYPE for what is not a regular file.
std::optional<std::string> SaveTarget(std::string_view name);
// Gives an open file the permissions (and, where allowed, the owner and
// group) of the file at `model`; TRUE when there is none.
BOOL TakeModeOf(DosFile& file, std::string_view model);
// Writes out what is buffered and syncs the file to the disk.
BOOL SyncFile(DosFile& file);

// Unfinished file work, noted in this instance's T: before a file is left
// half done, so that the start-up after a crash (InitVolumes) finishes it.
// Each returns the note (0 when none could be made); ForgetUnfinished drops
// it once the work has ended its own way.
// A file written under a temporary name: a dead instance's is removed.
LONG NoteUnfinishedFile(std::string_view temporary);
// An output whose old file was renamed to `aside` (empty: there was none)
// while a new one is made: a dead instance's old file is put back under its
// own name (or, without one, its unfinished output removed).
LONG NoteOutputAside(std::string_view output, std::string_view aside);
void ForgetUnfinished(LONG note);

// One render's hold on its output name, with the note that says how to undo
// it. Both live in the user's state folder (StateFolder), which a reboot
// leaves; letting the claim go ends the hold and drops the note.
class OutputClaim;
struct OutputClaimDeleter {
    void operator()(OutputClaim* claim) const;
};
using OutputClaimHandle = std::unique_ptr<OutputClaim, OutputClaimDeleter>;
// Claims the output name for one render. Null with IoErr
// ERROR_OBJECT_IN_USE while another render, in this instance or another,
// holds it; with another error when its note cannot be written.
OutputClaimHandle ClaimOutput(std::string_view output);
// Notes, before it is moved, that the old file at the output name goes to
// `aside` (empty: there is none); from here on the render's tools may write
// the output name. FALSE when the note could not be written.
BOOL NoteOutputKept(OutputClaim& claim, std::string_view aside);
// Notes that the render's tools write the output name from now (`writing`),
// or that what stands there now is the render's own (its identity noted).
BOOL NoteOutputWritten(OutputClaim& claim, bool writing);
// The hidden name beside the output that keeps its old file during a render
// (".NAME.clipweaver-old", then "...-old1" and on), never longer than a file
// system takes: a long NAME is cut.
std::string OutputAsideName(std::string_view output, int attempt);
// $XDG_STATE_HOME/clipweaver, else ~/.local/state/clipweaver (made when
// missing); empty when there is none.
std::string StateFolder();
// Replaces `target` with `source` in one step (host rename). Used where a
// file must never be seen half-written. Fails with ERROR_OBJECT_IN_USE while
// either file is locked or open (release the target's lock first).
BOOL ReplaceFile(std::string_view source, std::string_view target);

// asl.library stand-in: file requesters. The requester's face is provided by
// the front end: a Qt file dialog in the program, queued answers in the
// script driver and in tests.
#pragma once

#include "os/dos.h"
#include "os/exec.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

constexpr ULONG ASL_FileRequest = 0;

struct FileRequester {
    std::string fr_Drawer;
    std::string fr_File;
};

// The tags the program passes; an absent tag was not given.
struct AslTags {
    std::optional<std::string> titleText;      // ASLFR_TitleText
    std::optional<bool> doSaveMode;            // ASLFR_DoSaveMode
    std::optional<std::string> initialDrawer;  // ASLFR_InitialDrawer
    std::optional<std::string> initialPattern; // ASLFR_InitialPattern
    std::optional<std::string> initialFile;    // ASLFR_InitialFile
    std::optional<bool> doPatterns;            // ASLFR_DoPatterns
    // Ours, not asl.library's: the answer may name a picture sequence, as a
    // pattern typed into the file field or the pattern that covers several
    // pictures chosen together; and a line the requester shows its user.
    std::optional<bool> doSequences;
    std::optional<std::string> hintText;
    // Ours too: the kind whose folder the request remembers ("output",
    // "soundtrack") where its pattern does not tell it.
    std::optional<std::string> folderKind;
};

struct AslAnswer {
    std::string drawer;
    std::string file;
};

std::unique_ptr<FileRequester> AllocAslRequest(ULONG type);
// Shows the requester; TRUE with fr_Drawer and fr_File filled when the user
// chose, FALSE when cancelled.
BOOL AslRequest(FileRequester& requester, const AslTags& tags);
void FreeAslRequest(std::unique_ptr<FileRequester> requester);
// One file request, start to end: the requester is made, shown with `tags`
// and freed on every path. The answer; none when the user cancelled or
// chose no file name.
std::optional<AslAnswer> ChooseFile(const AslTags& tags);

// The front end answers a request: nullopt is a cancel.
using AslHandler = std::function<std::optional<AslAnswer>(const AslTags&)>;
void SetAslHandler(AslHandler handler);
// Scripted requester: answers queued in order; a request with no queued
// answer is cancelled. Every request's tags are recorded.
void QueueAslAnswer(std::optional<AslAnswer> answer);
void ClearAslAnswers();
const std::vector<AslTags>& AslRequestLog();

// What a requester's face shows and answers, the same for every face.
// The title: the tag's, else the one of the kind of file its pattern asks
// for ("Load Project", "Save Project", "Add Crouton"), else "Select a file".
std::string RequesterTitle(const AslTags& tags);
// The named filters, the pattern's first ("Projects (*.cwproj)") when the
// requester does patterns, then "All files (*)".
std::vector<std::string> RequesterFilters(const AslTags& tags);
// The shell's wildcard "*" in the AmigaDOS form "#?"; all else unchanged.
std::string AmigaPatternFromShell(std::string_view typed);
// A save requester's file name with its pattern's extension when it was
// typed without it ("Holiday" -> "Holiday.cwproj"); other names unchanged.
std::string WithPatternExtension(const AslTags& tags, std::string name);
// The kinds of media file the program takes, by extension (lower case; names
// match in any case).
extern const std::vector<std::string_view> kVideoExtensions;
// The sound files a soundtrack may be (videos may be too).
extern const std::vector<std::string_view> kSoundExtensions;
// The pattern of a soundtrack request: every sound and video kind.
std::string SoundtrackPattern();
// (The pictures' kinds, kPictureExtensions and IsPictureName, are in dos.h.)
// The pattern naming exactly the chosen files of a folder: their common
// start, "#?", their common end; nullopt when there is none, that is when
// every such pattern would also name other files of `folderFiles`.
std::optional<std::string> SequencePattern(const std::vector<std::string>& chosen,
                                           const std::vector<std::string>& folderFiles);

// Where a requester opens. Each kind of file (projects, croutons, media,
// other files) remembers the folder last chosen for it, across runs; a
// requester opens there unless its drawer names a file's own folder (the
// file its field holds, a loaded project's). Without either it opens in its
// kind's own drawer ("Projects", "Croutons") or the user's Videos, Pictures
// or Music folder, then the home folder: never the program's current folder,
// which holds the program's own pictures.
using RememberedFolders = std::map<std::string, std::string, std::less<>>; // kind -> host folder
struct UserFolders {
    std::string home, videos, pictures, music; // host folders; empty: none
};
// The kind a requester's folder is remembered for: "projects", "croutons",
// "media", "soundtrack", the tags' own folderKind ("output"), or "files".
std::string RequesterFolderKind(const AslTags& tags);
// The host folder the requester opens in; `isFolder` tells which host folders
// exist.
std::string RequesterStartFolder(const AslTags& tags, const RememberedFolders& remembered,
                                 const UserFolders& user, const std::function<bool(const std::string&)>& isFolder);
// The user's folders: $HOME, and Videos, Pictures and Music as
// $XDG_CONFIG_HOME/user-dirs.dirs (else ~/.config/user-dirs.dirs) names them,
// else $HOME/Videos and so on.
UserFolders ReadUserFolders();
// The user-dirs.dirs file's folders ('XDG_VIDEOS_DIR="$HOME/Videos"'), with
// the defaults for those it does not name.
UserFolders ParseUserDirs(std::string_view text, const std::string& home);
// The remembered folders' file: one "kind=host folder" line each.
RememberedFolders ParseRememberedFolders(std::string_view text);
std::string FormatRememberedFolders(const RememberedFolders& folders);
// Reads and writes them in "Clipweaver.folders" in the current folder,
// beside the settings file; tests name another file (empty: the default).
void SetRememberedFoldersFile(std::string hostPath);
RememberedFolders LoadRememberedFolders();
// Remembers the folder of a requester's answer for its kind.
void RememberRequesterFolder(const AslTags& tags, const std::string& hostFolder);

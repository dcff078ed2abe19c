// The crouton: one video clip stretch or one image sequence, stored in a
// crouton file of its own.
#pragma once

#include "model/look.h"
#include "os/dos.h"
#include "os/exec.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mui {
class Object;
}

struct Crouton {
    std::optional<std::string> name;
    std::optional<std::string> videoName;
    std::optional<std::string> directory;
    std::optional<std::string> filename;
    // Seconds of the source, down to one of its frames: where the crouton
    // starts, how long it lasts, and how long the whole source is.
    double start = 0;
    double length = 0;
    double videoLength = 0;
    std::array<std::optional<std::string>, 5> previewFilename;
    FileLock lock; // exclusive lock on the crouton file; empty when none is held
    std::optional<std::string> previewImageText;
    mui::Object* previewImage = nullptr; // the picture in the visual list; not owned
    LONG width = 0;
    LONG height = 0;
    LONG videoBitrate = 0;
    LONG audioBitrate = 0;
    LONG fps = 0;
    float ratio = 0.0f;
    float customFPS = 30.0f;
    std::optional<std::string> videoCodec;
    std::optional<std::string> audioCodec;
    std::optional<std::string> soundtrack;
    std::array<LONG, 5> previewPosition{0, 20, 40, 60, 80};
    LONG previewFrame = 1;
    BOOL isVideo = TRUE;
    // Set when the crouton file named by directory and filename could not be
    // loaded ("missing", "in use by another Clipweaver"): the project keeps
    // the entry so that nothing of the project file is lost, saves its path
    // back unchanged, never writes the crouton file, and refuses to render.
    std::optional<std::string> loadProblem;
    // Fades, title, pan and zoom, volume: the default look adds nothing to
    // its file or its command line.
    CroutonLook look;
};

std::unique_ptr<Crouton> CreateCrouton();
BOOL LockCrouton(Crouton* crouton);
BOOL UnlockCrouton(Crouton* crouton);
void DestroyCrouton(std::unique_ptr<Crouton> crouton);
float GetCroutonLength(const Crouton* crouton, int numberOfFiles);
void EditCrouton(Crouton* crouton);
// Joins a directory and a file name: "/" between them unless the directory
// ends in ":" or is the root folder "/" itself; an empty directory gives the
// file alone.
std::string BuildFullPath(std::string_view directory, std::string_view file);
// The folder and file parts of a path, as BuildFullPath joins them: the file
// is what follows the last "/" (or, without one, a volume's ":"), so a host
// name such as "/videos/12:30.avi" keeps its ":"; the folder is "/" for the
// root folder, "Work:" for a volume's own folder, empty for a bare name.
struct PathParts {
    std::string directory;
    std::string file;
};
PathParts SplitPath(std::string_view path);

// The crouton file. A failed save is told to the user (which file, why) and
// leaves the file as it was.
BOOL SaveCrouton(Crouton* crouton);
// Why a crouton file could not be loaded.
enum class CroutonLoadFailure { None, Missing, InUse, NotACrouton, Damaged, Unreadable };
std::unique_ptr<Crouton> LoadCrouton(std::string_view filename, CroutonLoadFailure* failure = nullptr);
// Whether a file's lines are a crouton file's: as an older program writes
// them, with a look after them, or at least not a project file's. A project
// file never has the shape of a crouton with a look (its look lines are
// its own), so the project's reader refuses that shape.
bool LinesHoldACrouton(const std::vector<std::string>& lines);
bool LinesHoldACroutonLook(const std::vector<std::string>& lines);
// What a crouton entry says when its file could not be loaded ("missing").
std::string LoadFailureText(CroutonLoadFailure failure);
// An entry standing for a crouton file that could not be loaded.
std::unique_ptr<Crouton> UnloadedCrouton(std::string_view path, CroutonLoadFailure failure);

// The project: the current piece of work and its ordered crouton list,
// mirrored in the main window's two lists.
#pragma once

#include "model/crouton.h"
#include "model/project_settings.h"
#include "os/asl.h"
#include "os/exec.h"

#include <functional>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct ListNode {
    std::unique_ptr<Crouton> node;
    std::unique_ptr<ListNode> next;
};

// The project holds its main-window settings as its record's own fields
// (project->width, project->look), so a copy of them is one slice of it.
struct Project : ProjectSettings {
    std::string directory;
    std::string filename;
    // Whether directory and filename name the file this project was loaded
    // from or last saved to: then Save writes there without asking.
    bool hasFile = false;
    LONG numberOfCroutons = 0;
    std::unique_ptr<ListNode> croutons;
    // The file this project's last render in this run made, so that the
    // next render replaces it without asking.
    std::optional<FileIdentity> renderedOutput;
};

std::unique_ptr<Project> NewProject();
void DestroyProject(std::unique_ptr<Project> project);
Crouton* GetCroutonFromPosition(Project* project, LONG id);
ListNode* GetCroutonNodeFromPosition(Project* project, LONG id);
LONG GetCroutonIDInProject(Project* project, const Crouton* crouton);
void DeleteCroutonFromProject(Project* project, LONG id);
void MoveCroutonInProject(Project* project, LONG oldPosition, LONG newPosition);
void MoveCroutonUpInProject(Project* project, LONG id);
void MoveCroutonDownInProject(Project* project, LONG id);

// Image slots of the visual list. A crouton's slot is the number in its
// visual entry text ("\eo[%d]"); 0 when it has none. A crouton entering the
// list takes the lowest slot from 1 up that no crouton of the project uses,
// so no two entries ever share a picture, also after deletions.
LONG GetCroutonImageSlot(const Crouton* crouton);
LONG FindFreeImageSlot(const Project* project);

// The open requester for an existing file of `pattern`, starting in
// `drawer`: a project to load, a crouton to add.
AslTags OpenRequest(const char* drawer, const char* pattern);

// Adding croutons.
BOOL AddNewCroutonToProject(Project* project);
BOOL AddOldCroutonToProject(Project* project);
// AddNewCroutonToProject once the media is chosen: `chooseFile` names the
// crouton file (given the probed crouton and the proposed name); nullopt
// adds nothing.
using CroutonFileChooser =
    std::function<std::optional<AslAnswer>(const Crouton& crouton, const std::string& proposal)>;
BOOL AddNewCroutonFromMedia(Project* project, const std::string& mediaDrawer, const std::string& mediaFile,
                            const CroutonFileChooser& chooseFile);
// AddOldCroutonToProject once the crouton file is chosen. A crouton file
// already in the project, or one that can't be read, is told to the user.
BOOL AddOldCroutonFromFile(Project* project, const std::string& path);
// The name proposed for a new crouton's file (".VIDEO.cwcrouton", ".IMAGES.cwcrouton").
std::string ProposeCroutonName(bool isVideo, std::string_view drawer, std::string_view file);

// The project file. SaveProject is TRUE when the user chose a file name;
// `written`, when given, says whether the file was written (a failure is
// told to the user, and the old file stays as it was); `savedPath` receives
// the path of the file written.
// A written file becomes the project's file.
BOOL SaveProject(Project* project, bool* written = nullptr, std::string* savedPath = nullptr);
// Save without a requester once the project has a file; SaveProject until then.
BOOL SaveProjectToItsFile(Project* project, bool* written = nullptr, std::string* savedPath = nullptr);
// The host or AmigaDOS path of the project's file (proposed when it has none).
std::string ProjectFilePath(const Project& project);
// The current project afterwards: a new one when a file was loaded, else the
// one passed in. `loaded`, when given, says which.
std::unique_ptr<Project> LoadProject(std::unique_ptr<Project> oldProject, bool* loaded = nullptr);
// Loads the project file `file` of `drawer` as LoadProject does once its
// requester has answered (a dropped file, a recent project, the command
// line); a file that can't be opened or is no project is told to the user.
std::unique_ptr<Project> LoadProjectFile(std::unique_ptr<Project> oldProject, const std::string& drawer,
                                         const std::string& file, bool* loaded = nullptr);

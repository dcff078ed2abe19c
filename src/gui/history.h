// What Undo and Redo take back and bring again (the project list's adds,
// deletes and moves, and the main window's settings), and whether the
// project holds changes that are not saved yet.
#pragma once

#include "model/crouton.h"
#include "model/project.h"
#include "os/exec.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>

// The main window's settings of the project, as its gadgets show them.
struct MainSettings {
    std::string projectName;
    std::string outputFileName;
    std::string soundtrack;
    std::string width;
    std::string height;
    std::string customFPS;
    LONG format = 0;
    LONG baudrate = 0;
    LONG fps = 0;
    // Joins, fades and sound under the soundtrack, as the project holds them.
    ProjectLook look;
    bool operator==(const MainSettings&) const = default;
};
MainSettings ReadMainSettings();
// Shows the settings quietly (the format's default bit rate must not replace
// the one restored) and stores the cycle gadgets' choices in the project.
void ShowMainSettings(const MainSettings& settings, Project* project);

// A copy of a crouton's record without its lock and its picture, kept so that
// a crouton taken out of the project can come back exactly as it was.
std::unique_ptr<Crouton> CopyCroutonRecord(const Crouton& crouton);

class ProjectHistory {
public:
    // More than any user takes back in one go; the oldest steps go first.
    static constexpr std::size_t kSteps = 100;

    // A project just made or loaded: nothing to take back, nothing unsaved.
    void Reset();
    // The project was written to its file.
    void MarkSaved();
    // Whether the project differs from what was last saved, loaded or made.
    bool Changed();

    void CroutonAdded(LONG position);
    // `record` is the crouton as it was just before it left.
    void CroutonRemoved(LONG position, std::unique_ptr<Crouton> record);
    void CroutonMoved(LONG from, LONG to);
    // Settings typed or chosen since the last look become one step. Fields
    // raise no event of their own, so the loop looks after every event.
    void NoteSettings();

    bool Undo(Project* project);
    bool Redo(Project* project);

private:
    struct Step {
        enum class Kind { Added, Removed, Moved, Settings } kind;
        LONG from = 0; // the position added at or removed from; a move's source
        LONG to = 0;   // a move's destination
        std::unique_ptr<Crouton> record; // a removed crouton, or an added one while undone
        MainSettings before;
        MainSettings after;
        // The project's look around a change of the list: its joins follow
        // the croutons, and come back exactly as they were.
        ProjectLook lookBefore;
        ProjectLook lookAfter;
    };
    void Push(Step step);
    // A change of the list, with the look before and after it.
    void PushListStep(Step step);
    void Apply(Step& step, bool forward, Project* project);

    std::deque<Step> steps_;
    std::size_t done_ = 0;                  // steps_[0, done_) are in effect
    std::optional<std::size_t> savedAt_ = 0; // done_ when last saved; none when unreachable
    MainSettings settings_;
};

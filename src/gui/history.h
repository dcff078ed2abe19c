// What Undo and Redo take back and bring again (the project list's adds,
// deletes and moves, and the main window's settings), and whether the
// project holds changes that are not saved yet.
#pragma once

#include "model/crouton.h"
#include "model/project.h"
#include "model/project_settings.h"
#include "os/exec.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>

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
        ProjectSettings before;
        ProjectSettings after;
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
    ProjectSettings settings_;
};

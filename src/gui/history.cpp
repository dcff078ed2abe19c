// Undo and Redo of the project's changes, and the changed-since-saved mark.
#include "gui/history.h"

#include "gui/gui.h"
#include "gui/look_gadgets.h"
#include "gui/loop.h"
#include "gui/main.h"
#include "gui/main_settings.h"
#include "gui/script_actions.h"
#include "gui/vocabulary.h"
#include "model/tables.h"
#include "model/visual_entry.h"
#include "mui/mui.h"

#include <utility>

namespace {

// Moves a crouton in the project and both lists: the visual entry first, as a
// drag in the crouton list does, then the project, which rewrites the names.
void MoveCrouton(Project* project, LONG from, LONG to)
{
    if (from == to)
        return;
    mui::NList_Move(gVisualList, from, to > from ? to + 1 : to);
    MoveCroutonInProject(project, from, to);
}

// Puts a crouton record back into the project at `position`, with a picture
// and an image slot of its own and the lock on its file, as adding it did.
void InsertCroutonRecord(Project* project, std::unique_ptr<Crouton> crouton, LONG position)
{
    if (!crouton)
        return;
    Crouton* added = crouton.get();
    std::unique_ptr<ListNode>* tail = &project->croutons;
    while (*tail)
        tail = &(*tail)->next;
    auto node = std::make_unique<ListNode>();
    node->node = std::move(crouton);
    *tail = std::move(node);
    LockCrouton(added);

    const LONG slot = FindFreeImageSlot(project);
    mui::NList_InsertSingle(gCroutonList, added->name.value_or(""), MUIV_NList_Insert_Bottom);
    added->previewImage = MakeListPicture();
    AddVisualEntry(added, slot);
    ++project->numberOfCroutons;
    ShowCroutonPicture(added);

    const LONG last = project->numberOfCroutons - 1;
    if (position >= 0 && position < last) {
        MoveCrouton(project, last, position);
    } else {
        mui::set(gCroutonList, MUIA_NList_Active, last);
        mui::set(gVisualList, MUIA_NList_Active, last);
    }
}

// Takes the crouton at `position` out of the project; its record stays.
std::unique_ptr<Crouton> TakeCrouton(Project* project, LONG position)
{
    const Crouton* crouton = GetCroutonFromPosition(project, position);
    if (!crouton)
        return nullptr;
    std::unique_ptr<Crouton> record = CopyCroutonRecord(*crouton);
    DeleteCroutonFromProject(project, position);
    return record;
}

} // namespace

std::unique_ptr<Crouton> CopyCroutonRecord(const Crouton& crouton)
{
    auto copy = std::make_unique<Crouton>();
    copy->name = crouton.name;
    copy->videoName = crouton.videoName;
    copy->directory = crouton.directory;
    copy->filename = crouton.filename;
    copy->start = crouton.start;
    copy->length = crouton.length;
    copy->videoLength = crouton.videoLength;
    copy->previewFilename = crouton.previewFilename;
    copy->width = crouton.width;
    copy->height = crouton.height;
    copy->videoBitrate = crouton.videoBitrate;
    copy->audioBitrate = crouton.audioBitrate;
    copy->fps = crouton.fps;
    copy->ratio = crouton.ratio;
    copy->customFPS = crouton.customFPS;
    copy->videoCodec = crouton.videoCodec;
    copy->audioCodec = crouton.audioCodec;
    copy->soundtrack = crouton.soundtrack;
    copy->previewPosition = crouton.previewPosition;
    copy->previewFrame = crouton.previewFrame;
    copy->isVideo = crouton.isVideo;
    copy->look = crouton.look;
    return copy;
}

void ProjectHistory::Reset()
{
    steps_.clear();
    done_ = 0;
    savedAt_ = 0;
    settings_ = ReadMainSettings();
}

void ProjectHistory::MarkSaved()
{
    NoteSettings();
    savedAt_ = done_;
}

bool ProjectHistory::Changed()
{
    NoteSettings();
    return savedAt_ != done_;
}

void ProjectHistory::CroutonAdded(LONG position)
{
    PushListStep({Step::Kind::Added, position, position, nullptr, {}, {}, {}, {}});
}

void ProjectHistory::CroutonRemoved(LONG position, std::unique_ptr<Crouton> record)
{
    if (record)
        PushListStep({Step::Kind::Removed, position, position, std::move(record), {}, {}, {}, {}});
}

void ProjectHistory::CroutonMoved(LONG from, LONG to)
{
    if (from != to)
        PushListStep({Step::Kind::Moved, from, to, nullptr, {}, {}, {}, {}});
}

void ProjectHistory::PushListStep(Step step)
{
    // The look last noted is the one before the change; the change's own
    // joins are part of it, not a change of settings.
    step.lookBefore = settings_.look;
    step.lookAfter = gProject ? gProject->look : ProjectLook{};
    settings_.look = step.lookAfter;
    Push(std::move(step));
}

void ProjectHistory::NoteSettings()
{
    ProjectSettings now = ReadMainSettings();
    if (now == settings_)
        return;
    ProjectSettings before = std::exchange(settings_, now);
    Push({Step::Kind::Settings, 0, 0, nullptr, std::move(before), std::move(now), {}, {}});
}

void ProjectHistory::Push(Step step)
{
    // A new change ends what could be redone.
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
    if (savedAt_ && *savedAt_ > done_)
        savedAt_.reset();
    steps_.push_back(std::move(step));
    ++done_;
    if (steps_.size() > kSteps) {
        steps_.pop_front();
        --done_;
        if (savedAt_)
            savedAt_ = *savedAt_ == 0 ? std::nullopt : std::optional<std::size_t>(*savedAt_ - 1);
    }
}

bool ProjectHistory::Undo(Project* project)
{
    NoteSettings();
    if (done_ == 0 || !project)
        return false;
    --done_;
    Apply(steps_[done_], false, project);
    return true;
}

bool ProjectHistory::Redo(Project* project)
{
    NoteSettings();
    if (done_ >= steps_.size() || !project)
        return false;
    Apply(steps_[done_], true, project);
    ++done_;
    return true;
}

void ProjectHistory::Apply(Step& step, bool forward, Project* project)
{
    switch (step.kind) {
    case Step::Kind::Added:
        if (forward)
            InsertCroutonRecord(project, std::move(step.record), step.from);
        else
            step.record = TakeCrouton(project, step.from);
        break;
    case Step::Kind::Removed:
        if (forward)
            step.record = TakeCrouton(project, step.from);
        else
            InsertCroutonRecord(project, std::move(step.record), step.from);
        break;
    case Step::Kind::Moved:
        if (forward)
            MoveCrouton(project, step.from, step.to);
        else
            MoveCrouton(project, step.to, step.from);
        break;
    case Step::Kind::Settings:
        settings_ = forward ? step.after : step.before;
        ShowSettings(settings_, RateCyclers::Quiet);
        // The project holds the choices as the cycle gadgets' handlers keep
        // them; its texts come from the window when it saves or renders.
        project->parameters = settings_.parameters;
        project->baudrate = settings_.baudrate;
        project->fps = settings_.fps;
        project->look = settings_.look;
        ShowProjectLook(*project);
        return;
    }
    project->look = forward ? step.lookAfter : step.lookBefore;
    settings_.look = project->look;
    ShowProjectLook(*project);
}

namespace {

void UndoStep(LoopState& loop, LONG)
{
    if (loop.history.Undo(gProject.get()))
        ShowHighlightedCrouton();
}

void RedoStep(LoopState& loop, LONG)
{
    if (loop.history.Redo(gProject.get()))
        ShowHighlightedCrouton();
}

const ReturnIdRow kRows[] = {
    {cUndoReturnID, UndoStep},
    {cRedoReturnID, RedoStep},
};

// As the Edit menu's items or their keys; ClipweaverBasic has neither, so
// its scripts reach Undo and Redo this way.
template <LONG kReturnId>
std::optional<ULONG> RaiseReturnId(ScriptLine& line)
{
    if (!line.Expect(0))
        return std::nullopt;
    mui::Application_ReturnID(mui::CurrentApplication(), kReturnId);
    return MUI_APPLICATION_SIGNAL;
}

const ScriptAction kScriptActions[] = {
    {"undo", RaiseReturnId<cUndoReturnID>},
    {"redo", RaiseReturnId<cRedoReturnID>},
};

} // namespace

std::span<const ReturnIdRow> HistoryReturnIds() { return kRows; }
std::span<const ScriptAction> HistoryScriptActions() { return kScriptActions; }

// The project's croutons in the main window's two lists: adding, deleting,
// moving (buttons and drags), choosing and opening one in the editor. Both
// lists show the same croutons in the same order and are held on the same
// active entry.
#include "gui/gui.h"
#include "gui/history.h"
#include "gui/loop.h"
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "model/project_view.h"

#include <utility>

namespace {

void AddSteps(LoopState& loop, LONG id)
{
    const LONG before = gProject->numberOfCroutons;
    if (id == GADMSG_MAIN_NEWCROUTON)
        AddNewCroutonToProject(gProject.get());
    else
        AddOldCroutonToProject(gProject.get());
    if (gProject->numberOfCroutons > before)
        loop.history.CroutonAdded(gProject->numberOfCroutons - 1);
    ShowHighlightedCrouton();
}

void DeleteSteps(LoopState& loop, LONG)
{
    loop.selected = ActiveEntry(gCroutonList);
    if (loop.selected < 0)
        return;
    const Crouton* crouton = GetCroutonFromPosition(gProject.get(), loop.selected);
    std::unique_ptr<Crouton> record = crouton ? CopyCroutonRecord(*crouton) : nullptr;
    const LONG before = gProject->numberOfCroutons;
    DeleteCroutonFromProject(gProject.get(), loop.selected);
    if (gProject->numberOfCroutons < before)
        loop.history.CroutonRemoved(loop.selected, std::move(record));
    ShowHighlightedCrouton();
}

// A crouton that left `from` is a step to take back.
void NoteMove(LoopState& loop, const Crouton* moving, LONG from)
{
    const LONG to = GetCroutonIDInProject(gProject.get(), moving);
    if (moving && to >= 0 && to != from)
        loop.history.CroutonMoved(from, to);
    ShowHighlightedCrouton();
}

void UpDownSteps(LoopState& loop, LONG id)
{
    loop.lastSelected = -1;
    loop.selected = ActiveEntry(gCroutonList);
    if (loop.selected < 0)
        return;
    const Crouton* moving = GetCroutonFromPosition(gProject.get(), loop.selected);
    if (id == GADMSG_MAIN_UP)
        MoveCroutonUpInProject(gProject.get(), loop.selected);
    else
        MoveCroutonDownInProject(gProject.get(), loop.selected);
    NoteMove(loop, moving, loop.selected);
}

void SelectionSteps(LoopState& loop, LONG)
{
    loop.lastSelected = loop.selected;
    loop.selected = ActiveEntry(gCroutonList);
    if (loop.selected >= 0) {
        MakeActive(gVisualList, loop.selected);
        UpdateGUIPreview();
    }
    kprintf("Selected %d.\n", loop.selected);
}

void SelectVisual(LoopState& loop, LONG id)
{
    kprintf("Selected visual.\n");
    MakeActive(gCroutonList, ActiveEntry(gVisualList));
    SelectionSteps(loop, id);
}

void EditSteps(LoopState& loop, LONG)
{
    MakeActiveQuietly(gVisualList, ActiveEntry(gCroutonList));
    loop.lastSelected = -1;
    loop.selected = ActiveEntry(gCroutonList);
    if (loop.selected < 0)
        return;
    // With no crouton at that position the editor has none to act on.
    gEditingCrouton = GetCroutonFromPosition(gProject.get(), loop.selected);
    if (!gEditingCrouton)
        return;
    EditCrouton(gEditingCrouton);
}

void EditVisual(LoopState& loop, LONG id)
{
    loop.lastSelected = -1;
    MakeActiveQuietly(gCroutonList, ActiveEntry(gVisualList));
    EditSteps(loop, id);
}

bool DragCondition(const LoopState& loop)
{
    return loop.lastSelected >= 0 && loop.selected >= 0 && loop.lastSelected != loop.selected;
}

void DragSteps(LoopState& loop, bool fromCroutonList)
{
    if (fromCroutonList) {
        const LONG target = loop.selected > loop.lastSelected ? loop.selected + 1 : loop.selected;
        kprintf("Move %d to %d in visual list.\n", loop.lastSelected, target);
        mui::NList_Move(gVisualList, loop.lastSelected, target);
    }
    const Crouton* moving = GetCroutonFromPosition(gProject.get(), loop.lastSelected);
    MoveCroutonInProject(gProject.get(), loop.lastSelected, loop.selected);
    NoteMove(loop, moving, loop.lastSelected);
    loop.lastSelected = -1;
}

void DraggedCrouton(LoopState& loop, LONG)
{
    if (DragCondition(loop))
        DragSteps(loop, true);
}

void DraggedVisual(LoopState& loop, LONG)
{
    kprintf("Dragged visual.\n");
    if (DragCondition(loop)) {
        mui::NList_Move(gCroutonList, loop.lastSelected, loop.selected);
        DragSteps(loop, false);
    }
}

const ReturnIdRow kRows[] = {
    {GADMSG_MAIN_NEWCROUTON, AddSteps},
    {GADMSG_MAIN_ADDCROUTON, AddSteps},
    {GADMSG_MAIN_DELETECROUTON, DeleteSteps},
    {GADMSG_MAIN_UP, UpDownSteps},
    {GADMSG_MAIN_DOWN, UpDownSteps},
    {GADMSG_MAIN_SELECTCROUTON, SelectionSteps},
    {GADMSG_MAIN_SELECTVISUAL, SelectVisual},
    {GADMSG_MAIN_EDITCROUTON, EditSteps},
    {GADMSG_MAIN_EDITVISUAL, EditVisual},
    {GADMSG_MAIN_DRAGGEDCROUTON, DraggedCrouton},
    {GADMSG_MAIN_DRAGGEDVISUAL, DraggedVisual},
#ifndef CLIPWEAVER_BASIC
    {MEN_DELETE_CROUTON, DeleteSteps},
#endif
};

} // namespace

std::span<const ReturnIdRow> CroutonListReturnIds() { return kRows; }

LONG ActiveEntry(const mui::Object* list)
{
    return list ? list->GetLong(MUIA_NList_Active, MUIV_NList_Active_Off) : MUIV_NList_Active_Off;
}

void MakeActive(mui::Object* list, LONG p) { mui::set(list, MUIA_NList_Active, p); }
void MakeActiveQuietly(mui::Object* list, LONG p) { mui::nnset(list, MUIA_NList_Active, p); }

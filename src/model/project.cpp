// The project record and its crouton list. Every change of the list is
// mirrored at once into the main window's two lists: entry i of
// gCroutonList, entry i of gVisualList and node i of the project are the same
// crouton. The rest of the windows follow through the project view's hooks.
#include "model/project.h"

#include "model/look_edit.h"
#include "model/project_view.h"
#include "model/tables.h"
#include "mui/mui.h"

#include <charconv>
#include <set>
#include <utility>

namespace {

const char* CroutonName(const ListNode* node)
{
    return node && node->node ? TraceText(node->node->name) : "(null)";
}

// Nothing of the windows may act on a crouton that has left the project.
void ForgetEditedCrouton(const Crouton* crouton)
{
    if (crouton && ProjectView().croutonRemoved)
        ProjectView().croutonRemoved(crouton);
}

// The node whose `next` holds position id (the project's head for 0); null
// when the list is shorter.
std::unique_ptr<ListNode>* LinkToPosition(Project* project, LONG id)
{
    if (id < 0)
        return nullptr;
    std::unique_ptr<ListNode>* link = &project->croutons;
    for (LONG i = 0; i < id; ++i) {
        if (!*link)
            return nullptr;
        link = &(*link)->next;
    }
    return *link ? link : nullptr;
}

} // namespace

AslTags OpenRequest(const char* drawer, const char* pattern)
{
    AslTags tags;
    tags.doSaveMode = false;
    tags.initialDrawer = drawer;
    tags.initialPattern = pattern;
    tags.doPatterns = true;
    return tags;
}

std::unique_ptr<Project> NewProject()
{
    kprintf("Creating new project.\n");
    // The settings start as their record's defaults.
    auto project = std::make_unique<Project>();
    project->filename = "NewProject.cwproj";
    project->directory = "Projects";
    if (ProjectView().projectShown)
        ProjectView().projectShown(project.get());
    return project;
}

void DestroyProject(std::unique_ptr<Project> project)
{
    if (!project)
        return;
    kprintf("Deleting project.\n");
    for (ListNode* node = project->croutons.get(); node; node = node->next.get())
        ForgetEditedCrouton(node->node.get());

    mui::NList_Clear(gCroutonList);
    kprintf("Resetting %d images.\n", project->numberOfCroutons);
    std::unique_ptr<ListNode> node = std::move(project->croutons);
    while (node) {
        // Each crouton empties its own slot; a crouton without a visual entry
        // has none to empty.
        const LONG slot = GetCroutonImageSlot(node->node.get());
        if (slot > 0) {
            kprintf("Sending NULL image in visual %p for %d.\n", static_cast<const void*>(gVisualList), slot);
            mui::NList_UseImage(gVisualList, nullptr, slot, 0);
        }
        kprintf("Destroying node %p, crouton %p.\n", static_cast<const void*>(node.get()),
                static_cast<const void*>(node->node.get()));
        if (node->node)
            DestroyCrouton(std::move(node->node));
        std::unique_ptr<ListNode> next = std::move(node->next);
        kprintf("Next node to delete is %p. Freeing %p.\n", static_cast<const void*>(next.get()),
                static_cast<const void*>(node.get()));
        node.reset();
        kprintf("Freed.\n");
        node = std::move(next);
    }
    project->numberOfCroutons = 0;
    mui::NList_Clear(gVisualList);

    kprintf("Freeing project.\n");
    project.reset();
    kprintf("Finished destroying project.\n");
}

ListNode* GetCroutonNodeFromPosition(Project* project, LONG id)
{
    if (!project)
        return nullptr;
    std::unique_ptr<ListNode>* link = LinkToPosition(project, id);
    return link ? link->get() : nullptr;
}

Crouton* GetCroutonFromPosition(Project* project, LONG id)
{
    ListNode* node = GetCroutonNodeFromPosition(project, id);
    return node ? node->node.get() : nullptr;
}

LONG GetCroutonIDInProject(Project* project, const Crouton* crouton)
{
    if (!project)
        return -1;
    LONG id = 0;
    for (const ListNode* node = project->croutons.get(); node; node = node->next.get(), ++id) {
        if (node->node.get() == crouton)
            return id;
    }
    return -1;
}

void DeleteCroutonFromProject(Project* project, LONG id)
{
    if (!project)
        return;
    std::unique_ptr<ListNode>* link = LinkToPosition(project, id);
    if (!link) {
        kprintf("Didn't find node %d to remove.\n", id);
        return;
    }
    kprintf("Found node at %p.\n", static_cast<const void*>(link->get()));
    std::unique_ptr<ListNode> node = std::move(*link);
    *link = std::move(node->next);

    mui::NList_Remove(gCroutonList, id);
    mui::NList_Remove(gVisualList, id);

    // The slot stays bound to the old picture until a new crouton takes it;
    // no entry shows it meanwhile.
    ForgetEditedCrouton(node->node.get());
    DestroyCrouton(std::move(node->node));
    node.reset();
    --project->numberOfCroutons;
    JoinsAfterRemove(project->look, id, project->numberOfCroutons);
}

void MoveCroutonInProject(Project* project, LONG oldPosition, LONG newPosition)
{
    if (!project || oldPosition == newPosition)
        return;
    if (oldPosition < 0 || newPosition < 0 || oldPosition >= project->numberOfCroutons ||
        newPosition >= project->numberOfCroutons)
        return;
    kprintf("Move crouton %d to %d.\n", oldPosition, newPosition);

    // Every look-up is made on the list as it stands before the move.
    ListNode* moving = GetCroutonNodeFromPosition(project, oldPosition);
    ListNode* before = GetCroutonNodeFromPosition(project, newPosition > oldPosition ? newPosition + 1 : newPosition);
    kprintf("Moving %s.\n", CroutonName(moving));
    if (!before)
        kprintf("Moving to the end of the list.\n");
    else
        kprintf("Inserting before %s.\n", CroutonName(before));
    if (newPosition == 0) {
        kprintf("List now starts at %p.\n", static_cast<const void*>(moving));
    } else {
        ListNode* after = GetCroutonNodeFromPosition(project, newPosition < oldPosition ? newPosition - 1 : newPosition);
        kprintf("Moving to after %s.\n", CroutonName(after));
    }

    // Unlink the node, then link it in at its new position: the crouton ends
    // at newPosition and the others keep their order.
    std::unique_ptr<ListNode>* from = LinkToPosition(project, oldPosition);
    std::unique_ptr<ListNode> node = std::move(*from);
    *from = std::move(node->next);
    std::unique_ptr<ListNode>* to = &project->croutons;
    for (LONG i = 0; i < newPosition && *to; ++i)
        to = &(*to)->next;
    node->next = std::move(*to);
    *to = std::move(node);
    JoinsAfterMove(project->look, oldPosition, newPosition, project->numberOfCroutons);

    UpdateGUIList(project);
    if (ProjectView().croutonsMoved)
        ProjectView().croutonsMoved();
    mui::set(gCroutonList, MUIA_NList_Active, newPosition);
    mui::set(gVisualList, MUIA_NList_Active, newPosition);
}

// "_Up" and "D_own" move the visual entry and the project (which rewrites the
// crouton list) together, so the render order is always the order shown. The
// first entry does not go up and the last does not go down.
void MoveCroutonUpInProject(Project* project, LONG id)
{
    if (!project || id <= 0 || id >= project->numberOfCroutons)
        return;
    mui::NList_Move(gVisualList, id, id - 1);
    MoveCroutonInProject(project, id, id - 1);
}

void MoveCroutonDownInProject(Project* project, LONG id)
{
    if (!project || id < 0 || id + 1 >= project->numberOfCroutons)
        return;
    mui::NList_Move(gVisualList, id, id + 2);
    MoveCroutonInProject(project, id, id + 1);
}

LONG GetCroutonImageSlot(const Crouton* crouton)
{
    if (!crouton || !crouton->previewImageText)
        return 0;
    const std::string& text = *crouton->previewImageText;
    constexpr std::string_view prefix = "\x1bo[";
    if (text.size() < prefix.size() + 2 || text.compare(0, prefix.size(), prefix) != 0 || text.back() != ']')
        return 0;
    LONG slot = 0;
    const char* first = text.data() + prefix.size();
    const char* last = text.data() + text.size() - 1;
    const auto [end, error] = std::from_chars(first, last, slot);
    if (error != std::errc() || end != last || slot < 1)
        return 0;
    return slot;
}

LONG FindFreeImageSlot(const Project* project)
{
    std::set<LONG> used;
    if (project) {
        for (const ListNode* node = project->croutons.get(); node; node = node->next.get())
            used.insert(GetCroutonImageSlot(node->node.get()));
    }
    LONG slot = 1;
    while (used.count(slot))
        ++slot;
    return slot;
}

#include "project_helper.h"

#include "gui/vocabulary.h"
#include "gui/main.h"

#include <deque>

Crouton* AppendTestCrouton(Project* project, const std::string& name)
{
    std::unique_ptr<Crouton> crouton = CreateCrouton();
    Crouton* added = crouton.get();
    added->name = name;
    const LONG slot = FindFreeImageSlot(project);
    if (gVisualList)
        added->previewImage = gVisualList->AdoptImage(mui::MakeNBitmap("NoImageAvailable.png"));
    mui::NList_UseImage(gVisualList, added->previewImage, slot, 0);
    added->previewImageText = "\x1bo[" + std::to_string(slot) + "]";
    mui::NList_InsertSingle(gVisualList, *added->previewImageText, MUIV_NList_Insert_Bottom);
    mui::NList_InsertSingle(gCroutonList, name, MUIV_NList_Insert_Bottom);

    auto node = std::make_unique<ListNode>();
    node->node = std::move(crouton);
    std::unique_ptr<ListNode>* link = &project->croutons;
    while (*link)
        link = &(*link)->next;
    *link = std::move(node);
    ++project->numberOfCroutons;
    return added;
}

std::vector<std::string> ProjectNames(Project* project)
{
    std::vector<std::string> names;
    for (ListNode* node = project->croutons.get(); node; node = node->next.get())
        names.push_back(node->node->name.value_or("(none)"));
    return names;
}

std::vector<LONG> ProjectSlots(Project* project)
{
    std::vector<LONG> slots;
    for (ListNode* node = project->croutons.get(); node; node = node->next.get())
        slots.push_back(GetCroutonImageSlot(node->node.get()));
    return slots;
}

std::vector<LONG> VisualSlots()
{
    std::vector<LONG> slots;
    for (const std::string& entry : Entries(gVisualList)) {
        Crouton probe;
        probe.previewImageText = entry;
        slots.push_back(GetCroutonImageSlot(&probe));
    }
    return slots;
}

std::vector<std::string> Entries(const mui::Object* list) { return list ? list->entries() : std::vector<std::string>{}; }

LONG Active(const mui::Object* list) { return list ? list->GetLong(MUIA_NList_Active, MUIV_NList_Active_Off) : -2; }

StandaloneLists::StandaloneLists()
    : croutonList_(mui::MakeNList({})), visualList_(mui::MakeNList({}))
{
    gCroutonList = croutonList_.get();
    gVisualList = visualList_.get();
}

StandaloneLists::~StandaloneLists()
{
    gCroutonList = nullptr;
    gVisualList = nullptr;
}

int RunMainWithSteps(std::vector<MainStep> steps)
{
    std::deque<MainStep> queue(steps.begin(), steps.end());
    SetWaitHook([&queue](ULONG) -> ULONG {
        if (queue.empty())
            return SIGBREAKF_CTRL_C;
        MainStep step = std::move(queue.front());
        queue.pop_front();
        return step();
    });
    const int result = ClipweaverMain();
    SetWaitHook({});
    return result;
}

MainStep Act(std::function<void()> action)
{
    return [action = std::move(action)] {
        action();
        return MUI_APPLICATION_SIGNAL;
    };
}

MainStep Break()
{
    return [] { return SIGBREAKF_CTRL_C; };
}

mui::Object* App() { return mui::CurrentApplication(); }

std::size_t PendingIds()
{
    mui::Object* app = App();
    return app ? app->returnIds().size() : 0;
}

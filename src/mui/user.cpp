// The user's actions on the gadgets. The Qt view turns every edit into one
// of these calls, and tests drive the windows through them.
#include "os/asl.h"
#include "os/command.h"
#include "mui/internal.h"
#include "os/question.h"

namespace mui {

namespace {

bool IsOpenWindow(Object* window) { return window != nullptr && window->GetLong(MUIA_Window_Open) != 0; }

// A gadget the user can reach: shown in an open window and not disabled.
bool Reachable(Object* gadget, Kind kind)
{
    return gadget != nullptr && gadget->kind() == kind && IsOpenWindow(gadget->window()) && !gadget->disabled();
}

Object* ChildOfKind(Object* parent, Kind kind)
{
    for (const auto& child : parent->children()) {
        if (child->kind() == kind)
            return child.get();
    }
    return nullptr;
}

Object* FindMenuItem(Object* object, LONG userData)
{
    for (const auto& child : object->children()) {
        if (child->kind() == Kind::Menuitem && child->GetLong(MUIA_UserData) == userData)
            return child.get();
        if (child->kind() == Kind::Menustrip || child->kind() == Kind::Menu) {
            if (Object* item = FindMenuItem(child.get(), userData))
                return item;
        }
    }
    return nullptr;
}

bool Press(Object& button)
{
    button.SetAttrs({{MUIA_Pressed, LONG{TRUE}}});
    button.SetAttrs({{MUIA_Pressed, LONG{FALSE}}});
    return true;
}

// A path split as a file requester takes it: the drawer (up to the last "/"
// or the volume's ":") and the file.
std::pair<std::string, std::string> SplitPath(const std::string& path)
{
    const auto cut = path.find_last_of("/:");
    if (cut == std::string::npos)
        return {std::string(), path};
    const auto drawerEnd = path[cut] == ':' ? cut + 1 : cut;
    return {path.substr(0, drawerEnd), path.substr(cut + 1)};
}

std::string JoinPath(const std::string& drawer, const std::string& file)
{
    if (drawer.empty())
        return file;
    if (file.empty())
        return drawer;
    const char last = drawer.back();
    return last == ':' || last == '/' ? drawer + file : drawer + "/" + file;
}

// Whether a text fits a field of MaxLen bytes (with its end mark).
bool Fits(std::string_view text, LONG maxLength)
{
    return maxLength <= 0 || text.size() < static_cast<std::size_t>(maxLength);
}

} // namespace

bool UserPress(Object* button)
{
    if (button != nullptr && button->kind() == Kind::PopButton && button->parent() != nullptr
        && button->parent()->kind() == Kind::Popasl)
        return UserPopRequester(button->parent());
    if (!Reachable(button, Kind::Button) && !Reachable(button, Kind::PopButton))
        return false;
    return Press(*button);
}

bool UserType(Object* string, std::string_view text)
{
    if (!Reachable(string, Kind::String))
        return false;
    // A text cut short would name another file: it is refused whole.
    const LONG maxLength = string->GetLong(MUIA_String_MaxLen);
    if (!Fits(text, maxLength)) {
        TellUser("Text too long", "The text typed is " + std::to_string(text.size()) + " bytes long; the field holds "
                                      + std::to_string(maxLength - 1) + ". It was not taken.");
        return false;
    }
    string->SetAttrs({{MUIA_String_Contents, std::string(text)}});
    return true;
}

bool UserCycle(Object* cycle, LONG entry)
{
    if (!Reachable(cycle, Kind::Cycle) || entry < 0 || entry >= static_cast<LONG>(cycle->entries().size()))
        return false;
    cycle->SetAttrs({{MUIA_Cycle_Active, entry}});
    return true;
}

bool UserSlide(Object* slider, LONG value)
{
    if (!Reachable(slider, Kind::Slider) || value < slider->GetLong(MUIA_Numeric_Min)
        || value > slider->GetLong(MUIA_Numeric_Max))
        return false;
    slider->SetAttrs({{MUIA_Numeric_Value, value}});
    return true;
}

bool UserRadio(Object* radio, LONG entry)
{
    if (!Reachable(radio, Kind::Radio) || entry < 0 || entry >= static_cast<LONG>(radio->entries().size()))
        return false;
    radio->SetAttrs({{MUIA_Radio_Active, entry}});
    return true;
}

bool UserClick(Object* list, LONG entry)
{
    Object* target = ResolveList(list);
    if (!Reachable(target, Kind::NList) || entry < 0 || entry >= static_cast<LONG>(target->entries().size()))
        return false;
    target->SetAttrs({{MUIA_NList_Active, entry}});
    return true;
}

bool UserDoubleClick(Object* list, LONG entry)
{
    Object* target = ResolveList(list);
    if (!UserClick(target, entry))
        return false;
    target->ForceNotify(MUIA_NList_DoubleClick, entry);
    return true;
}

bool UserDrag(Object* list, LONG from, LONG to)
{
    Object* target = ResolveList(list);
    if (target == nullptr)
        return false;
    const auto count = static_cast<LONG>(target->entries().size());
    if (to < 0 || to >= count || !UserClick(target, from))
        return false;

    auto drop = [target, from, to] {
        // The list may have changed while the press was being handled.
        if (!IsLive(target))
            return;
        const auto now = static_cast<LONG>(target->entries().size());
        if (from >= now || to >= now)
            return;
        NList_Move(target, from, to > from ? to + 1 : to);
        target->ForceNotify(MUIA_NList_InsertPosition, to);
    };
    Object* application = target->application();
    if (HasPendingReturnIds(application))
        application->pendingInput().push_back(std::move(drop));
    else
        drop();
    return true;
}

bool UserCloseWindow(Object* window)
{
    if (!Reachable(window, Kind::Window))
        return false;
    window->ForceNotify(MUIA_Window_CloseRequest, LONG{TRUE});
    return true;
}

Object* FindMenuObject(Object* application, LONG userData)
{
    if (application == nullptr)
        return nullptr;
    for (const auto& child : application->children()) {
        if (child->kind() != Kind::Menustrip)
            continue;
        for (const auto& menu : child->children()) {
            if (menu->GetLong(MUIA_UserData) == userData)
                return menu.get();
        }
    }
    return FindMenuItem(application, userData);
}

bool UserDropFiles(Object* window, const std::vector<std::string>& paths)
{
    if (!Reachable(window, Kind::Window) || window->GetLong(MUIA_Window_AppWindow) == 0 || paths.empty())
        return false;
    std::string lines;
    for (const std::string& path : paths) {
        if (!lines.empty())
            lines += '\n';
        lines += path;
    }
    window->ForceNotify(MUIA_AppMessage, std::move(lines));
    return true;
}

bool UserChooseMenu(Object* application, LONG userData)
{
    if (application == nullptr || application->kind() != Kind::Application)
        return false;
    bool shown = false;
    for (const auto& child : application->children())
        shown = shown || (child->kind() == Kind::Window && IsOpenWindow(child.get()));
    Object* item = FindMenuItem(application, userData);
    if (!shown || item == nullptr || item->disabled())
        return false;
    Application_ReturnID(application, userData);
    return true;
}

bool UserPopRequester(Object* popasl)
{
    if (popasl != nullptr && popasl->kind() == Kind::PopButton)
        popasl = popasl->parent();
    if (!Reachable(popasl, Kind::Popasl))
        return false;
    Object* string = ChildOfKind(popasl, Kind::String);
    Object* button = ChildOfKind(popasl, Kind::PopButton);
    if (string == nullptr || button == nullptr || button->disabled())
        return false;
    Press(*button);

    auto requester = AllocAslRequest(ASL_FileRequest);
    if (!requester)
        return true;
    AslTags tags;
    const auto [drawer, file] = SplitPath(string->GetString(MUIA_String_Contents).value_or(std::string()));
    if (!drawer.empty())
        tags.initialDrawer = drawer;
    if (!file.empty())
        tags.initialFile = file;
    tags.titleText = popasl->GetString(ASLFR_TitleText);
    tags.initialPattern = popasl->GetString(ASLFR_InitialPattern);
    if (popasl->Has(ASLFR_DoPatterns))
        tags.doPatterns = popasl->GetLong(ASLFR_DoPatterns) != FALSE;
    if (popasl->Has(ASLFR_DoSequences))
        tags.doSequences = popasl->GetLong(ASLFR_DoSequences) != FALSE;
    tags.hintText = popasl->GetString(ASLFR_HintText);
    if (AslRequest(*requester, tags)) {
        const std::string chosen = JoinPath(requester->fr_Drawer, requester->fr_File);
        const LONG maxLength = string->GetLong(MUIA_String_MaxLen);
        // A name cut short would name another file: it is refused whole.
        if (maxLength > 0 && chosen.size() >= static_cast<std::size_t>(maxLength))
            TellUser("Name too long", "The name " + chosen + " is longer than the field can hold ("
                                          + std::to_string(maxLength - 1) + " bytes); it was not taken.");
        else if (chosen.find_first_of("\n\r") != std::string::npos)
            TellUser("Name not taken", "The name chosen holds a line break, which a file name cannot hold here: "
                                       "choose a name without one.");
        else if (const std::string problem = ControlCharacterProblem(chosen); !problem.empty())
            TellUser("Name not taken", problem);
        else
            string->SetAttrs({{MUIA_String_Contents, chosen}});
    }
    FreeAslRequest(std::move(requester));
    return true;
}

} // namespace mui

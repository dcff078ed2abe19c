// Making objects: MUI_NewObject and MUI_MakeObject for the classes the
// windows use.
#include "mui/internal.h"

#include <algorithm>
#include <cctype>

namespace mui {

namespace {

std::function<bool(Kind)>& CreationFailure()
{
    static std::function<bool(Kind)> predicate;
    return predicate;
}

std::function<void(Object&)>& ApplicationHook()
{
    static std::function<void(Object&)> hook;
    return hook;
}

// A new object with its starting values, or null when the creation is made
// to fail.
ObjectPtr Create(Kind kind, std::initializer_list<std::pair<Tag, Value>> initial = {})
{
    if (CreationFailure() && CreationFailure()(kind))
        return nullptr;
    auto object = std::make_unique<Object>(kind);
    auto& attributes = ObjectAccess::attributes(*object);
    if (kind != Kind::Application && kind != Kind::Menustrip)
        attributes[MUIA_Disabled] = LONG{FALSE};
    for (const auto& [tag, value] : initial)
        attributes[tag] = value;
    return object;
}

bool AnyNull(const std::vector<ObjectPtr>& children)
{
    return std::any_of(children.begin(), children.end(), [](const ObjectPtr& child) { return !child; });
}

} // namespace

void SetCreationFailure(std::function<bool(Kind)> predicate) { CreationFailure() = std::move(predicate); }

void SetApplicationHook(std::function<void(Object& application)> hook) { ApplicationHook() = std::move(hook); }

ObjectPtr MakeApplication(std::string title, std::vector<ObjectPtr> windows, ObjectPtr menustrip)
{
    if (AnyNull(windows))
        return nullptr;
    auto application = Create(Kind::Application, {{MUIA_Application_Title, std::move(title)}});
    if (!application)
        return nullptr;
    for (auto& window : windows)
        application->AddChild(std::move(window));
    application->AddChild(std::move(menustrip));
    if (ApplicationHook())
        ApplicationHook()(*application);
    return application;
}

ObjectPtr MakeWindow(std::string title, ObjectPtr root)
{
    if (!root)
        return nullptr;
    auto window = Create(Kind::Window,
        {{MUIA_Window_Title, std::move(title)}, {MUIA_Window_Open, LONG{FALSE}}, {MUIA_Window_CloseRequest, LONG{FALSE}}});
    if (window)
        window->AddChild(std::move(root));
    return window;
}

ObjectPtr MakeGroup(bool horizontal, std::vector<ObjectPtr> children)
{
    if (AnyNull(children))
        return nullptr;
    auto group = Create(Kind::Group, {{MUIA_Group_Horiz, LONG{horizontal ? TRUE : FALSE}}});
    if (!group)
        return nullptr;
    for (auto& child : children)
        group->AddChild(std::move(child));
    return group;
}

ObjectPtr MakeString(std::string contents, LONG maxLength)
{
    return Create(Kind::String, {{MUIA_String_Contents, std::move(contents)}, {MUIA_String_MaxLen, maxLength}});
}

ObjectPtr MakeText(std::string contents) { return Create(Kind::Text, {{MUIA_Text_Contents, std::move(contents)}}); }

ObjectPtr MakeLabel(std::string text) { return Create(Kind::Label, {{MUIA_Text_Contents, std::move(text)}}); }

ObjectPtr MakeButton(std::string label)
{
    std::optional<std::string> shortcut;
    const auto underscore = label.find('_');
    if (underscore != std::string::npos && underscore + 1 < label.size()) {
        const auto letter = static_cast<unsigned char>(label[underscore + 1]);
        shortcut = std::string(1, static_cast<char>(std::tolower(letter)));
    }
    auto button = Create(Kind::Button, {{MUIA_Text_Contents, std::move(label)}, {MUIA_Pressed, LONG{FALSE}}});
    if (button && shortcut)
        ObjectAccess::attributes(*button)[MUIA_ControlChar] = *shortcut;
    return button;
}

ObjectPtr MakePopButton() { return Create(Kind::PopButton, {{MUIA_Pressed, LONG{FALSE}}}); }

ObjectPtr MakeCycle(std::vector<std::string> entries)
{
    auto cycle = Create(Kind::Cycle, {{MUIA_Cycle_Active, LONG{0}}});
    if (cycle)
        cycle->entries() = std::move(entries);
    return cycle;
}

ObjectPtr MakeSlider(LONG min, LONG max, LONG value)
{
    auto slider = Create(Kind::Slider, {{MUIA_Numeric_Min, min}, {MUIA_Numeric_Max, max}, {MUIA_Numeric_Value, min}});
    if (slider)
        ObjectAccess::Store(*slider, MUIA_Numeric_Value, value, false, false);
    return slider;
}

ObjectPtr MakeRadio(std::vector<std::string> entries)
{
    auto radio = Create(Kind::Radio, {{MUIA_Radio_Active, LONG{0}}});
    if (radio)
        radio->entries() = std::move(entries);
    return radio;
}

ObjectPtr MakePopasl(ObjectPtr string, ObjectPtr button)
{
    if (!string || !button)
        return nullptr;
    auto popasl = Create(Kind::Popasl);
    if (!popasl)
        return nullptr;
    popasl->AddChild(std::move(string));
    popasl->AddChild(std::move(button));
    return popasl;
}

ObjectPtr MakeNList(std::vector<std::string> entries)
{
    const auto count = static_cast<LONG>(entries.size());
    auto list = Create(Kind::NList,
        {{MUIA_NList_Active, LONG{MUIV_NList_Active_Off}}, {MUIA_NList_Entries, count}, {MUIA_NList_InsertPosition, LONG{-1}},
            {MUIA_NList_DoubleClick, LONG{-1}}});
    if (list)
        list->entries() = std::move(entries);
    return list;
}

ObjectPtr MakeNListview(ObjectPtr list)
{
    if (!list)
        return nullptr;
    auto listview = Create(Kind::NListview);
    if (listview)
        listview->AddChild(std::move(list));
    return listview;
}

ObjectPtr MakeNBitmap(std::string file)
{
    return Create(Kind::NBitmap, {{MUIA_NBitmap_Type, LONG{0}}, {MUIA_NBitmap_Normal, std::move(file)}});
}

ObjectPtr MakeSpace() { return Create(Kind::Space); }

ObjectPtr MakeMenustrip(const std::vector<NewMenu>& menus)
{
    auto strip = Create(Kind::Menustrip);
    if (!strip)
        return nullptr;
    Object* menu = nullptr;
    for (const NewMenu& entry : menus) {
        if (entry.nm_Type == NM_END)
            break;
        if (entry.nm_Type == NM_TITLE) {
            auto made = Create(Kind::Menu, {{MUIA_Menu_Title, entry.nm_Label}, {MUIA_UserData, entry.nm_UserData}});
            if (!made)
                return nullptr;
            menu = made.get();
            strip->AddChild(std::move(made));
        } else if (entry.nm_Type == NM_ITEM) {
            if (menu == nullptr)
                return nullptr;
            auto item = Create(Kind::Menuitem, {{MUIA_Menuitem_Title, entry.nm_Label}, {MUIA_UserData, entry.nm_UserData}});
            if (!item)
                return nullptr;
            if (!entry.nm_CommKey.empty())
                item->SetAttrs({{MUIA_Menuitem_Shortcut, entry.nm_CommKey}});
            menu->AddChild(std::move(item));
        } else {
            return nullptr;
        }
    }
    return strip;
}

} // namespace mui

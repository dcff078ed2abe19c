// The retained GUI object model: MUI's classes and notification rules, with
// NList, NListview and NBitmap, without any drawing. A view (the Qt widgets,
// src/platform/qt/) observes the objects and turns a user's edits into the
// same calls that the user-action functions below make.
//
// Rules the program's handlers depend on:
//  - a creation that fails yields null, and a group, window or application
//    made with a null child fails as a whole;
//  - a set that changes a value raises that attribute's notifications exactly
//    as a user's change does, unless MUIA_NoNotify TRUE is in the same set; a
//    set that leaves the value as it was raises nothing; a set on a null
//    object does nothing;
//  - a notification queues a return ID on the application; the input step
//    hands them out in order.
#pragma once

#include "platform/exec.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

using Tag = ULONG;

// ---- attributes -------------------------------------------------------
constexpr Tag MUIA_NoNotify = 0x804237f9;
constexpr Tag MUIA_Disabled = 0x80423661;
constexpr Tag MUIA_Pressed = 0x80423535;
constexpr Tag MUIA_Selected = 0x8042654b;
constexpr Tag MUIA_ControlChar = 0x8042120b;  // keyboard shortcut, a one-letter text
constexpr Tag MUIA_HorizWeight = 0x80426db9;
constexpr Tag MUIA_MaxWidth = 0x804217d4;     // pixels, 0 = no limit
constexpr Tag MUIA_FixHeight = 0x8042a92b;    // pixels, 0 = none
constexpr Tag MUIA_Frame = 0x8042ac64;
constexpr Tag MUIA_UserData = 0x80420313;
constexpr Tag MUIA_Group_Horiz = 0x8042536b;
constexpr Tag MUIA_Window_Open = 0x80428aa0;
constexpr Tag MUIA_Window_CloseRequest = 0x8042e86e;
constexpr Tag MUIA_Window_Title = 0x8042ad3d;
constexpr Tag MUIA_Application_Title = 0x804281b8;
constexpr Tag MUIA_String_Contents = 0x80428ffd;
constexpr Tag MUIA_String_MaxLen = 0x80424984;
constexpr Tag MUIA_Text_Contents = 0x8042f8dc;
constexpr Tag MUIA_Cycle_Active = 0x80421788;
constexpr Tag MUIA_Radio_Active = 0x80429b41;
constexpr Tag MUIA_Numeric_Min = 0x8042e404;
constexpr Tag MUIA_Numeric_Max = 0x8042d78a;
constexpr Tag MUIA_Numeric_Value = 0x8042ae3a;
constexpr Tag MUIA_NList_Active = 0x9d510020;
constexpr Tag MUIA_NList_InsertPosition = 0x9d51002c;
constexpr Tag MUIA_NList_DoubleClick = 0x9d510061;
constexpr Tag MUIA_NList_Entries = 0x9d510027;
constexpr Tag MUIA_NList_DragSortable = 0x9d51002a;
constexpr Tag MUIA_NList_MinLineHeight = 0x9d510109;
constexpr Tag MUIA_NBitmap_Type = 0x9d510301;     // image-source type: 0 = image file
constexpr Tag MUIA_NBitmap_Normal = 0x9d510302;   // the image file; none clears the picture
constexpr Tag MUIA_Menuitem_Title = 0x804218be;

constexpr LONG MUIV_EveryTime = 0x49893131;
constexpr LONG MUIV_Application_ReturnID_Quit = -1;
constexpr LONG MUIV_NList_Insert_Top = 0;
constexpr LONG MUIV_NList_Insert_Active = -1;
constexpr LONG MUIV_NList_Insert_Sorted = -2;
constexpr LONG MUIV_NList_Insert_Bottom = -3;
constexpr LONG MUIV_NList_Active_Off = -1;
constexpr LONG MUIV_NList_Redraw_Active = -1;
constexpr LONG MUIV_NList_Redraw_All = -2;

// The signal an application asks the loop to wait for.
constexpr ULONG MUI_APPLICATION_SIGNAL = 0x00010000;

namespace mui {

enum class Kind {
    Application,
    Window,
    Group,
    String,
    Text,      // a text display (Text.mui); also labels made with MakeLabel
    Label,
    Button,
    PopButton,
    Cycle,
    Slider,
    Radio,
    Popasl,
    NList,
    NListview,
    NBitmap,
    Space,
    Menustrip,
    Menu,
    Menuitem,
};
const char* KindName(Kind kind);

// An attribute value: none, a number or a text.
using Value = std::variant<std::monostate, LONG, std::string>;

class Object;

// A view observes objects: it is told of every changed value, of changed
// list contents and of objects that go away.
class ObjectView {
public:
    virtual ~ObjectView() = default;
    virtual void AttributeChanged(Object& object, Tag attribute) = 0;
    virtual void EntriesChanged(Object& list) = 0;
    virtual void ObjectDisposed(Object& object) = 0;
};

struct Notification {
    Tag attribute;
    LONG trigger; // a value, or MUIV_EveryTime
    LONG returnId;
};

class Object {
public:
    explicit Object(Kind kind);
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    Kind kind() const { return kind_; }
    Object* parent() const { return parent_; }
    const std::vector<std::unique_ptr<Object>>& children() const { return children_; }
    // The application this object belongs to (null before it is part of one).
    Object* application();
    // The window this object is in (null for the application and menus).
    Object* window();

    Value Get(Tag attribute) const;
    LONG GetLong(Tag attribute, LONG fallback = 0) const;
    std::optional<std::string> GetString(Tag attribute) const;
    bool Has(Tag attribute) const;

    // Sets every attribute of the list; values that change raise their
    // notifications unless MUIA_NoNotify TRUE is among them.
    void SetAttrs(std::initializer_list<std::pair<Tag, Value>> attributes);
    void SetAttrs(const std::vector<std::pair<Tag, Value>>& attributes);
    // Raises the attribute's notifications even though its value may not
    // have changed (a user's click on a close gadget, a drop).
    void ForceNotify(Tag attribute, Value value);

    void AddNotify(Tag attribute, LONG trigger, LONG returnId);
    const std::vector<Notification>& notifications() const { return notifications_; }

    // Entries of a cycle, radio or list.
    std::vector<std::string>& entries() { return entries_; }
    const std::vector<std::string>& entries() const { return entries_; }

    void AddChild(std::unique_ptr<Object> child);

    void SetView(ObjectView* view) { view_ = view; }
    ObjectView* view() const { return view_; }

    // For NList: image slots (slot number -> picture object, not owned) and
    // pictures the list owns.
    std::map<LONG, Object*>& imageSlots() { return imageSlots_; }
    const std::map<LONG, Object*>& imageSlots() const { return imageSlots_; }
    Object* AdoptImage(std::unique_ptr<Object> image);
    // For the application: queued return IDs.
    std::deque<LONG>& returnIds() { return returnIds_; }

private:
    void Store(Tag attribute, const Value& value, bool notify, bool force);

    Kind kind_;
    Object* parent_ = nullptr;
    std::vector<std::unique_ptr<Object>> children_;
    std::vector<std::unique_ptr<Object>> ownedImages_;
    std::map<Tag, Value> attributes_;
    std::vector<Notification> notifications_;
    std::vector<std::string> entries_;
    std::map<LONG, Object*> imageSlots_;
    std::deque<LONG> returnIds_;
    ObjectView* view_ = nullptr;
};

using ObjectPtr = std::unique_ptr<Object>;

// ---- creation (MUI_NewObject / MUI_MakeObject) ------------------------
// Each returns null when the object cannot be made; containers made with a
// null child return null.
ObjectPtr MakeApplication(std::string title, std::vector<ObjectPtr> windows, ObjectPtr menustrip);
ObjectPtr MakeWindow(std::string title, ObjectPtr root);
ObjectPtr MakeGroup(bool horizontal, std::vector<ObjectPtr> children);
ObjectPtr MakeString(std::string contents, LONG maxLength = 256);
ObjectPtr MakeText(std::string contents);
ObjectPtr MakeLabel(std::string text); // a fixed label aligned for framed gadgets
ObjectPtr MakeButton(std::string label); // "_" before a letter makes it the shortcut
ObjectPtr MakePopButton();
ObjectPtr MakeCycle(std::vector<std::string> entries);
ObjectPtr MakeSlider(LONG min, LONG max, LONG value);
ObjectPtr MakeRadio(std::vector<std::string> entries);
// A file field: its string and its pop-up button become the children.
ObjectPtr MakePopasl(ObjectPtr string, ObjectPtr button);
ObjectPtr MakeNList(std::vector<std::string> entries);
ObjectPtr MakeNListview(ObjectPtr list);
ObjectPtr MakeNBitmap(std::string file);
ObjectPtr MakeSpace();

constexpr int NM_END = 0;
constexpr int NM_TITLE = 1;
constexpr int NM_ITEM = 2;
struct NewMenu {
    int nm_Type;
    std::string nm_Label;
    LONG nm_UserData;
};
ObjectPtr MakeMenustrip(const std::vector<NewMenu>& menus);

// Tests make creations fail: the predicate is asked before each creation;
// true makes that creation fail. An empty predicate restores normal creation.
void SetCreationFailure(std::function<bool(Kind)> predicate);

// Disposing the application disposes every window and object in it.
void DisposeObject(ObjectPtr object);

// ---- attribute access (set, nnset, get) -------------------------------
void set(Object* object, Tag attribute, Value value);
void nnset(Object* object, Tag attribute, Value value); // quiet
void SetAttrs(Object* object, std::initializer_list<std::pair<Tag, Value>> attributes);
Value xget(const Object* object, Tag attribute);
LONG XGetLong(const Object* object, Tag attribute);
std::optional<std::string> XGetString(const Object* object, Tag attribute);

// ---- methods -------------------------------------------------------------
// MUIM_Notify: queue returnId on the application when attribute takes
// trigger (or changes at all, MUIV_EveryTime).
void Notify(Object* object, Tag attribute, LONG trigger, Object* application, LONG returnId);
// MUIM_Application_ReturnID.
void Application_ReturnID(Object* application, LONG returnId);
// MUIM_Application_NewInput: the next queued return ID or 0; sigs becomes 0
// when more IDs wait (ask again at once), else the application's signal.
LONG Application_NewInput(Object* application, ULONG& sigs);
bool HasPendingReturnIds(const Object* application);

void NList_InsertSingle(Object* list, std::string entry, LONG position);
void NList_Insert(Object* list, const std::vector<std::string>& entries, LONG count, LONG position, ULONG flags);
void NList_Remove(Object* list, LONG position);
void NList_Clear(Object* list);
// The entry goes before the entry that stood at `to` before the move; a `to`
// past the end puts it last.
void NList_Move(Object* list, LONG from, LONG to);
void NList_ReplaceSingle(Object* list, std::string entry, LONG position, LONG wrapColumn, LONG align);
// Binds slot (from 1) to a picture object; null empties the slot. The
// picture is not owned by the slot (see Object::AdoptImage).
void NList_UseImage(Object* list, Object* image, LONG slot, ULONG flags);
void NList_Redraw(Object* list, LONG which);
std::optional<std::string> NList_GetEntry(const Object* list, LONG position);

// The application most recently made and not yet disposed (null if none).
Object* CurrentApplication();
// Called for every application that is made (the Qt view attaches itself).
void SetApplicationHook(std::function<void(Object& application)> hook);

// ---- user actions --------------------------------------------------------
// Each does exactly what the same action in the Qt view does. They return
// false, doing nothing, for a null object, one of the wrong kind, a disabled
// gadget or a gadget in a closed window.
bool UserPress(Object* button);
bool UserType(Object* string, std::string_view text);
bool UserCycle(Object* cycle, LONG entry);
bool UserSlide(Object* slider, LONG value);
bool UserRadio(Object* radio, LONG entry);
bool UserClick(Object* list, LONG entry);
bool UserDoubleClick(Object* list, LONG entry);
// Drags entry `from` so that it ends at position `to`: a click on `from`,
// the move, the active entry following it, then the drop
// (MUIA_NList_InsertPosition).
bool UserDrag(Object* list, LONG from, LONG to);
bool UserCloseWindow(Object* window);
bool UserChooseMenu(Object* application, LONG userData);
// The pop-up button of a file field: asks the file requester and puts the
// chosen path into the field's string.
bool UserPopRequester(Object* popasl);

} // namespace mui

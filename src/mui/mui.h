// The retained GUI object model: MUI's classes and notification rules, with
// NList, NListview and NBitmap, without any drawing. A view (the Qt widgets,
// src/qtview/) observes the objects and turns a user's edits into the
// same calls that the user-action functions below make.
//
// Rules the program's handlers depend on:
//  - a creation that fails yields null, and a group, window, application,
//    list view or file field made with a null child fails as a whole (the
//    children it was given are disposed), so a failure anywhere in a tree
//    yields a null application;
//  - a set that changes a value raises that attribute's notifications exactly
//    as a user's change does, unless MUIA_NoNotify TRUE is in the same set; a
//    set that leaves the value as it was raises nothing; a set on a null
//    object does nothing. Views are told of every changed value, quiet or
//    not;
//  - a notification queues a return ID on the application; the input step
//    hands them out in order. The event loop then waits with exec's Wait
//    (the application's signal plus SIGBREAKF_CTRL_C); the front end's wait
//    hook (exec.h) must return at once while HasPendingReturnIds is true,
//    since a handler may have queued IDs after the input step told the loop
//    to wait.
//
// Values that objects keep within bounds (a set outside them is brought
// inside first, then compared with the old value):
//  - MUIA_Numeric_Value stays within MUIA_Numeric_Min..MUIA_Numeric_Max; a
//    change of the range that moves the value notifies as a set of the value
//    would (quietly when the range was set quietly);
//  - MUIA_Cycle_Active and MUIA_Radio_Active stay on an entry;
//  - MUIA_NList_Active is an entry or -1 (any negative value is -1, a value
//    past the end is the last entry, -1 for an empty list);
//  - MUIA_NList_Entries always equals the number of entries (sets of it are
//    ignored);
//  - MUIA_Window_Open stays FALSE for a window that is not part of an
//    application (it cannot be shown);
//  - MUIA_String_MaxLen limits what a user types (at most MaxLen - 1 bytes; a
//    longer text is refused whole); texts that code sets are kept whole.
#pragma once

#include "os/exec.h"

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
// A file field's requester tags, kept on its Popasl object and passed on
// when it asks (asl.library's values); the last two are ours: the answer may
// name a picture sequence, and a line the requester shows.
constexpr Tag ASLFR_TitleText = 0x80080001;
constexpr Tag ASLFR_InitialPattern = 0x8008000a;
constexpr Tag ASLFR_DoPatterns = 0x80080028;
constexpr Tag ASLFR_DoSequences = 0x80080100;
constexpr Tag ASLFR_HintText = 0x80080101;
constexpr Tag MUIA_Menuitem_Title = 0x804218be;
// A menu item's keyboard shortcut in the portable form "Ctrl+S", "Del",
// "F1"; none for no shortcut. An item whose title is empty is not shown.
constexpr Tag MUIA_Menuitem_Shortcut = 0x80422030;
// A gadget's help text, shown as its tool tip.
constexpr Tag MUIA_ShortHelp = 0x80428fe3;
// A window that takes files dropped on it (TRUE), and the files of the last
// drop: their paths, one per line; each drop notifies (see UserDropFiles).
constexpr Tag MUIA_Window_AppWindow = 0x804280cf;
constexpr Tag MUIA_AppMessage = 0x80421955;
constexpr Tag MUIA_Menu_Title = 0x8042a0e3;

constexpr LONG MUIV_EveryTime = 0x49893131;
constexpr LONG MUIV_Application_ReturnID_Quit = -1;
constexpr LONG MUIV_NList_Insert_Top = 0;
constexpr LONG MUIV_NList_Insert_Active = -1;
constexpr LONG MUIV_NList_Insert_Sorted = -2;
constexpr LONG MUIV_NList_Insert_Bottom = -3;
constexpr LONG MUIV_NList_Active_Off = -1;
constexpr LONG MUIV_NList_Redraw_Active = -1;
constexpr LONG MUIV_NList_Redraw_All = -2;
constexpr LONG MUIV_NList_Remove_First = 0;
constexpr LONG MUIV_NList_Remove_Active = -1;
constexpr LONG MUIV_NList_Remove_Last = -2;
constexpr LONG MUIV_NList_GetEntry_Active = -1;

// The signal an application asks the loop to wait for.
constexpr ULONG MUI_APPLICATION_SIGNAL = 0x00010000;

namespace mui {

enum class Kind {
    Application,
    Window,
    Group,
    String,
    Text,      // a text display (Text.mui)
    Label,     // a fixed label made with MakeLabel (its text in MUIA_Text_Contents)
    Button,    // a text button; its label, "_" included, in MUIA_Text_Contents
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
// list contents (entries, image slots, redraws) and of objects that go away
// (children before their parent). An object without a view of its own tells
// the view of its nearest ancestor that has one, so a view may attach itself
// to the application alone.
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
    // The application that receives the return ID; when null (or no longer
    // there) the application the object belongs to at that moment.
    Object* target = nullptr;
};

// Which notifications an attribute change raises:
//  - MUIV_EveryTime ones on every change, the others when the new value is
//    a number equal to their trigger;
//  - MUIA_NList_DoubleClick ones on every double-click, whatever their
//    trigger: the program installs them with trigger 0, and a double-click on
//    any entry must reach it (the attribute takes the entry clicked).
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
    // The window this object is in; a window is its own window (null for the
    // application and menus).
    Object* window();
    // True when this object or one of its ancestors is disabled.
    bool disabled() const;

    Value Get(Tag attribute) const;
    LONG GetLong(Tag attribute, LONG fallback = 0) const;
    std::optional<std::string> GetString(Tag attribute) const;
    bool Has(Tag attribute) const;

    // Sets every attribute of the list in order; values that change raise
    // their notifications unless MUIA_NoNotify TRUE is among them.
    void SetAttrs(std::initializer_list<std::pair<Tag, Value>> attributes);
    void SetAttrs(const std::vector<std::pair<Tag, Value>>& attributes);
    // Stores the value and raises the attribute's notifications even though
    // the value may not have changed (a user's click on a close gadget, a
    // drop, a double-click).
    void ForceNotify(Tag attribute, Value value);

    void AddNotify(Tag attribute, LONG trigger, LONG returnId, Object* target = nullptr);
    const std::vector<Notification>& notifications() const { return notifications_; }

    // Entries of a cycle, radio or list. Lists are changed through the
    // NList_* methods, which keep the active entry and the count in step and
    // tell the view; changing them here does neither.
    std::vector<std::string>& entries() { return entries_; }
    const std::vector<std::string>& entries() const { return entries_; }

    // Appends a child (the object becomes its parent). A null child is
    // ignored.
    void AddChild(std::unique_ptr<Object> child);

    void SetView(ObjectView* view) { view_ = view; }
    ObjectView* view() const { return view_; }
    // The view to tell: this object's, else the nearest ancestor's.
    ObjectView* effectiveView() const;

    // For NList: image slots (slot number -> picture object, not owned) and
    // pictures the list owns (disposed with the list; the list becomes their
    // parent). A slot whose picture is disposed is emptied.
    std::map<LONG, Object*>& imageSlots() { return imageSlots_; }
    const std::map<LONG, Object*>& imageSlots() const { return imageSlots_; }
    Object* AdoptImage(std::unique_ptr<Object> image);
    const std::vector<std::unique_ptr<Object>>& ownedImages() const { return ownedImages_; }
    // For the application: queued return IDs, and user input that waits for
    // them to be taken (see UserDrag).
    std::deque<LONG>& returnIds() { return returnIds_; }
    const std::deque<LONG>& returnIds() const { return returnIds_; }
    std::deque<std::function<void()>>& pendingInput() { return pendingInput_; }
    const std::deque<std::function<void()>>& pendingInput() const { return pendingInput_; }

private:
    friend struct ObjectAccess;
    // Brings a value within the object's bounds before it is compared.
    Value Normalise(Tag attribute, Value value) const;
    // Stores one value; returns whether it changed.
    bool Store(Tag attribute, Value value, bool notify, bool force);
    void Raise(Tag attribute, const Value& value);

    Kind kind_;
    Object* parent_ = nullptr;
    std::vector<std::unique_ptr<Object>> children_;
    std::vector<std::unique_ptr<Object>> ownedImages_;
    std::map<Tag, Value> attributes_;
    std::vector<Notification> notifications_;
    std::vector<std::string> entries_;
    std::map<LONG, Object*> imageSlots_;
    std::deque<LONG> returnIds_;
    std::deque<std::function<void()>> pendingInput_;
    ObjectView* view_ = nullptr;
};

using ObjectPtr = std::unique_ptr<Object>;

// ---- creation (MUI_NewObject / MUI_MakeObject) ------------------------
// Each returns null when the object cannot be made; containers made with a
// null child return null (and dispose the children they were given).
// The windows become the application's children in their order, then the
// menu strip. A null menustrip means an application without a menu strip
// (ClipweaverBasic); a builder must check MakeMenustrip's result itself.
ObjectPtr MakeApplication(std::string title, std::vector<ObjectPtr> windows, ObjectPtr menustrip);
ObjectPtr MakeWindow(std::string title, ObjectPtr root);   // closed at first
ObjectPtr MakeGroup(bool horizontal, std::vector<ObjectPtr> children);
ObjectPtr MakeString(std::string contents, LONG maxLength = 256);
ObjectPtr MakeText(std::string contents);
ObjectPtr MakeLabel(std::string text); // a fixed label aligned for framed gadgets
// "_" before a letter makes it the shortcut: MUIA_ControlChar holds that
// letter in lower case (none without "_"); MUIA_Text_Contents keeps the label
// as given.
ObjectPtr MakeButton(std::string label);
ObjectPtr MakePopButton();
ObjectPtr MakeCycle(std::vector<std::string> entries);    // on entry 0
ObjectPtr MakeSlider(LONG min, LONG max, LONG value);
ObjectPtr MakeRadio(std::vector<std::string> entries);    // on entry 0
// A file field: its string and its pop-up button become the children.
ObjectPtr MakePopasl(ObjectPtr string, ObjectPtr button);
ObjectPtr MakeNList(std::vector<std::string> entries);    // no active entry
ObjectPtr MakeNListview(ObjectPtr list);
// An image gadget showing an image file (MUIA_NBitmap_Type 0). A file that
// does not exist does not make the creation fail: the gadget shows nothing.
ObjectPtr MakeNBitmap(std::string file);
ObjectPtr MakeSpace();

constexpr int NM_END = 0;
constexpr int NM_TITLE = 1;
constexpr int NM_ITEM = 2;
struct NewMenu {
    int nm_Type;
    std::string nm_Label;
    LONG nm_UserData;
    // The item's shortcut (MUIA_Menuitem_Shortcut); empty for none.
    std::string nm_CommKey = {};
};
// Menustrip > Menu (one per NM_TITLE, its text in MUIA_Menu_Title) >
// Menuitem (one per NM_ITEM, its text in MUIA_Menuitem_Title); both carry
// their user data in MUIA_UserData.
// The table ends at NM_END or at its end; an item before any title fails.
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
Value xget(const Object* object, Tag attribute);        // none for a null object
LONG XGetLong(const Object* object, Tag attribute);     // 0 for a null object
std::optional<std::string> XGetString(const Object* object, Tag attribute);

// ---- methods -------------------------------------------------------------
// MUIM_Notify: queue returnId on the application when attribute takes
// trigger (or changes at all, MUIV_EveryTime).
void Notify(Object* object, Tag attribute, LONG trigger, Object* application, LONG returnId);
// MUIM_Application_ReturnID.
void Application_ReturnID(Object* application, LONG returnId);
// MUIM_Application_NewInput: processes pending user input when no return ID
// is queued, then returns the next queued return ID or 0. sigs becomes 0 when
// more IDs or input wait (ask again at once), else MUI_APPLICATION_SIGNAL.
LONG Application_NewInput(Object* application, ULONG& sigs);
// True while return IDs or user input wait: a front end's wait hook must then
// return at once.
bool HasPendingReturnIds(const Object* application);

// List methods. Each accepts the NList or its NListview. The active entry
// follows the entries the way a list component moves its selection, and each
// change of it raises its notification like a set:
//  - inserting at or before the active entry moves it down by the count
//    inserted (the same entry stays active);
//  - removing the active entry makes the entry that takes its index active,
//    or the previous entry when the last one went, -1 when the list is
//    empty; removing an entry before it moves it up by one;
//  - clearing sets it to -1;
//  - moving keeps the same entry active: the moved one follows to its new
//    index, entries between shift by one.
// Entries the program inserts raise no drop (MUIA_NList_InsertPosition only
// changes on a user's drop).
// position: an index (past the end: the end), MUIV_NList_Insert_Top,
// _Active (before the active entry; the top when none), _Sorted (before the
// first entry that sorts after it) or _Bottom.
void NList_InsertSingle(Object* list, std::string entry, LONG position);
// count -1 takes every entry; flags are ignored.
void NList_Insert(Object* list, const std::vector<std::string>& entries, LONG count, LONG position, ULONG flags);
// position: an index, MUIV_NList_Remove_Active or _Last; nothing otherwise.
void NList_Remove(Object* list, LONG position);
void NList_Clear(Object* list);
// The entry goes before the entry that stood at `to` before the move; a `to`
// past the end puts it last, a negative `to` (Up on the first entry: -1)
// counts as 0. So in A B C D, Move(0, 3) gives B C A D, Move(id, id - 1)
// moves one place up and Move(id, id + 2) one place down. A `from` outside
// the list does nothing.
void NList_Move(Object* list, LONG from, LONG to);
// position: an index or MUIV_NList_Insert_Active; nothing when there is no
// such entry.
void NList_ReplaceSingle(Object* list, std::string entry, LONG position, LONG wrapColumn, LONG align);
// Binds slot (from 1) to a picture object; null empties the slot. The
// picture is not owned by the slot (see Object::AdoptImage). An entry text
// "\x1bo[n]" shows slot n's picture.
void NList_UseImage(Object* list, Object* image, LONG slot, ULONG flags);
// Tells the view to draw the entries again (which: an index,
// MUIV_NList_Redraw_Active or _All).
void NList_Redraw(Object* list, LONG which);
// position: an index or MUIV_NList_GetEntry_Active.
std::optional<std::string> NList_GetEntry(const Object* list, LONG position);
// The picture an entry text shows: slot n of "\x1bo[n]" (nullopt for a plain
// text), and the picture bound to a slot (null for an empty one).
std::optional<LONG> ImageSlotOfEntry(std::string_view entry);
Object* NList_SlotImage(const Object* list, LONG slot);

// The menu or menu item of an application's menu strip that carries the
// user data; null when none does.
Object* FindMenuObject(Object* application, LONG userData);

// The application most recently made and not yet disposed (null if none).
Object* CurrentApplication();
// Called for every application that is made (the Qt view attaches itself).
void SetApplicationHook(std::function<void(Object& application)> hook);

// ---- user actions --------------------------------------------------------
// Each does exactly what the same action in the Qt view does. They return
// false, doing nothing, for a null object, one of the wrong kind, a disabled
// gadget (it or an ancestor has MUIA_Disabled TRUE), a gadget that is not in
// an open window, or an entry or value out of range. Lists may be given as
// the NList or its NListview.
//
// A button press: MUIA_Pressed TRUE, then FALSE (a notification on FALSE is
// a release over the button). Pressing a file field's pop-up button is
// UserPopRequester.
bool UserPress(Object* button);
// The user's edit ends with the field holding text; a text of MaxLen bytes or
// more is refused whole (told to the user): it is never cut short.
bool UserType(Object* string, std::string_view text);
bool UserCycle(Object* cycle, LONG entry);
bool UserSlide(Object* slider, LONG value);  // value within min..max
bool UserRadio(Object* radio, LONG entry);
// A click makes the entry active (notifying when that changes it).
bool UserClick(Object* list, LONG entry);
// A click on the entry, then MUIA_NList_DoubleClick = entry, forced.
bool UserDoubleClick(Object* list, LONG entry);
// Drags entry `from` so that it ends at position `to` (both entries): a
// click on `from`, the move (NList_Move, the active entry following it to
// `to`), then the drop: MUIA_NList_InsertPosition = `to`, forced, so it
// notifies even when equal to the previous drop. When the click leaves
// return IDs or input waiting on the application, the move and the drop
// wait as pending input until the program has taken those IDs (the press
// is handled before the drop, as with a real mouse); Application_NewInput
// carries them out.
bool UserDrag(Object* list, LONG from, LONG to);
// The close gadget: MUIA_Window_CloseRequest TRUE, forced (each click
// notifies). Only an open window has one.
bool UserCloseWindow(Object* window);
// Queues the user data of the menu item that carries it (not a menu title)
// on the application; needs an open window to show the menu strip and an
// item that is not disabled.
bool UserChooseMenu(Object* application, LONG userData);
// Files dropped on a window that takes them (MUIA_Window_AppWindow TRUE):
// MUIA_AppMessage becomes the paths, one per line, forced, so every drop
// notifies. Needs an open window and at least one path.
bool UserDropFiles(Object* window, const std::vector<std::string>& paths);
// The pop-up button of a file field (given the field or its button): presses
// the button, asks the file requester (initial drawer and file taken from
// the field's text) and, when the user chose, puts the chosen path into the
// field's string as a user's edit would. A cancel changes nothing.
bool UserPopRequester(Object* popasl);

} // namespace mui

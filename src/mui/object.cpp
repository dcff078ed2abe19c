// Objects, their attributes and notifications, the applications and their
// input step.
#include "mui/internal.h"

#include <algorithm>
#include <unordered_set>

namespace mui {

namespace {

// The registries outlive every object: an application held by a static
// handle may be disposed after this file's statics would be destroyed, so
// they are never destroyed (the memory stays reachable until the process
// ends).
struct Registries {
    std::unordered_set<const Object*> live;
    std::vector<Object*> applications;
    std::vector<Object*> lists;
};

Registries& TheRegistries()
{
    union Holder {
        Holder() : registries() {}
        ~Holder() {}
        Registries registries;
    };
    static Holder holder;
    return holder.registries;
}

std::unordered_set<const Object*>& Live() { return TheRegistries().live; }
std::vector<Object*>& Applications() { return TheRegistries().applications; }
std::vector<Object*>& Lists() { return TheRegistries().lists; }

LONG Clamp(LONG value, LONG low, LONG high)
{
    if (high < low)
        return low;
    return std::clamp(value, low, high);
}

bool IsRangeTag(Tag attribute)
{
    return attribute == MUIA_Numeric_Min || attribute == MUIA_Numeric_Max;
}

} // namespace

bool IsLive(const Object* object) { return object != nullptr && Live().contains(object); }

bool IsLiveApplication(const Object* object)
{
    return object != nullptr && std::find(Applications().begin(), Applications().end(), object) != Applications().end();
}

const std::vector<Object*>& LiveApplications() { return Applications(); }

const char* KindName(Kind kind)
{
    switch (kind) {
    case Kind::Application: return "Application";
    case Kind::Window: return "Window";
    case Kind::Group: return "Group";
    case Kind::String: return "String";
    case Kind::Text: return "Text";
    case Kind::Label: return "Label";
    case Kind::Button: return "Button";
    case Kind::PopButton: return "PopButton";
    case Kind::Cycle: return "Cycle";
    case Kind::Slider: return "Slider";
    case Kind::Radio: return "Radio";
    case Kind::Popasl: return "Popasl";
    case Kind::NList: return "NList";
    case Kind::NListview: return "NListview";
    case Kind::NBitmap: return "NBitmap";
    case Kind::Space: return "Space";
    case Kind::Menustrip: return "Menustrip";
    case Kind::Menu: return "Menu";
    case Kind::Menuitem: return "Menuitem";
    }
    return "?";
}

// ---- Object ---------------------------------------------------------------

Object::Object(Kind kind)
    : kind_(kind)
{
    Live().insert(this);
    if (kind_ == Kind::Application)
        Applications().push_back(this);
    if (kind_ == Kind::NList)
        Lists().push_back(this);
}

Object::~Object()
{
    // Children go first, the last one first, so that a view hears of a
    // window's gadgets before the window itself.
    auto children = std::move(children_);
    while (!children.empty())
        children.pop_back();
    auto images = std::move(ownedImages_);
    while (!images.empty())
        images.pop_back();
    pendingInput_.clear();

    Live().erase(this);
    std::erase(Applications(), this);
    std::erase(Lists(), this);
    for (Object* list : Lists())
        std::erase_if(list->imageSlots_, [this](const auto& slot) { return slot.second == this; });

    if (ObjectView* view = effectiveView())
        view->ObjectDisposed(*this);
}

Object* Object::application()
{
    for (Object* object = this; object != nullptr; object = object->parent_) {
        if (object->kind_ == Kind::Application)
            return object;
    }
    return nullptr;
}

Object* Object::window()
{
    for (Object* object = this; object != nullptr; object = object->parent_) {
        if (object->kind_ == Kind::Window)
            return object;
    }
    return nullptr;
}

bool Object::disabled() const
{
    for (const Object* object = this; object != nullptr; object = object->parent_) {
        if (object->GetLong(MUIA_Disabled) != 0)
            return true;
    }
    return false;
}

ObjectView* Object::effectiveView() const
{
    for (const Object* object = this; object != nullptr; object = object->parent_) {
        if (object->view_ != nullptr)
            return object->view_;
    }
    return nullptr;
}

Value Object::Get(Tag attribute) const
{
    auto it = attributes_.find(attribute);
    return it == attributes_.end() ? Value{} : it->second;
}

LONG Object::GetLong(Tag attribute, LONG fallback) const
{
    auto it = attributes_.find(attribute);
    if (it == attributes_.end())
        return fallback;
    if (const LONG* number = std::get_if<LONG>(&it->second))
        return *number;
    return fallback;
}

std::optional<std::string> Object::GetString(Tag attribute) const
{
    auto it = attributes_.find(attribute);
    if (it == attributes_.end())
        return std::nullopt;
    if (const std::string* text = std::get_if<std::string>(&it->second))
        return *text;
    return std::nullopt;
}

bool Object::Has(Tag attribute) const { return attributes_.contains(attribute); }

void Object::SetAttrs(std::initializer_list<std::pair<Tag, Value>> attributes)
{
    SetAttrs(std::vector<std::pair<Tag, Value>>(attributes));
}

void Object::SetAttrs(const std::vector<std::pair<Tag, Value>>& attributes)
{
    bool quiet = false;
    for (const auto& [tag, value] : attributes) {
        if (tag == MUIA_NoNotify) {
            const LONG* flag = std::get_if<LONG>(&value);
            quiet = flag != nullptr && *flag != 0;
        }
    }
    // A slider's range is taken before its value, so that a set of a new
    // range with a value inside it keeps the value whatever the tag order.
    std::vector<std::pair<Tag, Value>> ordered(attributes.begin(), attributes.end());
    std::stable_partition(ordered.begin(), ordered.end(), [](const auto& pair) { return IsRangeTag(pair.first); });
    for (auto& [tag, value] : ordered) {
        if (tag == MUIA_NoNotify)
            continue;
        Store(tag, std::move(value), !quiet, false);
        if (kind_ == Kind::Slider && IsRangeTag(tag))
            Store(MUIA_Numeric_Value, Get(MUIA_Numeric_Value), !quiet, false);
    }
}

void Object::ForceNotify(Tag attribute, Value value) { Store(attribute, std::move(value), true, true); }

void Object::AddNotify(Tag attribute, LONG trigger, LONG returnId, Object* target)
{
    notifications_.push_back(Notification{attribute, trigger, returnId, target});
}

void Object::AddChild(std::unique_ptr<Object> child)
{
    if (!child)
        return;
    child->parent_ = this;
    children_.push_back(std::move(child));
}

Object* Object::AdoptImage(std::unique_ptr<Object> image)
{
    if (!image)
        return nullptr;
    image->parent_ = this;
    ownedImages_.push_back(std::move(image));
    return ownedImages_.back().get();
}

Value Object::Normalise(Tag attribute, Value value) const
{
    const auto count = static_cast<LONG>(entries_.size());
    if (kind_ == Kind::NList && attribute == MUIA_NList_Entries)
        return count;
    LONG* number = std::get_if<LONG>(&value);
    if (number == nullptr)
        return value;
    switch (kind_) {
    case Kind::Slider:
        if (attribute == MUIA_Numeric_Value)
            *number = Clamp(*number, GetLong(MUIA_Numeric_Min), GetLong(MUIA_Numeric_Max));
        break;
    case Kind::Cycle:
        if (attribute == MUIA_Cycle_Active)
            *number = Clamp(*number, 0, count - 1);
        break;
    case Kind::Radio:
        if (attribute == MUIA_Radio_Active)
            *number = Clamp(*number, 0, count - 1);
        break;
    case Kind::NList:
        if (attribute == MUIA_NList_Active)
            *number = *number < 0 ? MUIV_NList_Active_Off : std::min(*number, count - 1);
        break;
    case Kind::Window:
        if (attribute == MUIA_Window_Open && *number != 0) {
            const Object* owner = parent_;
            while (owner != nullptr && owner->kind_ != Kind::Application)
                owner = owner->parent_;
            if (owner == nullptr)
                *number = FALSE;
        }
        break;
    default:
        break;
    }
    return value;
}

bool Object::Store(Tag attribute, Value value, bool notify, bool force)
{
    value = Normalise(attribute, std::move(value));
    auto it = attributes_.find(attribute);
    const bool changed = it == attributes_.end() ? !std::holds_alternative<std::monostate>(value) : it->second != value;
    if (changed) {
        attributes_[attribute] = value;
        if (ObjectView* view = effectiveView())
            view->AttributeChanged(*this, attribute);
    }
    if (notify && (changed || force))
        Raise(attribute, value);
    return changed;
}

void Object::Raise(Tag attribute, const Value& value)
{
    const LONG* number = std::get_if<LONG>(&value);
    // Copied: queuing an ID never adds notifications, but a view told of the
    // change above may.
    const std::vector<Notification> notifications = notifications_;
    for (const Notification& notification : notifications) {
        if (notification.attribute != attribute)
            continue;
        const bool matches = attribute == MUIA_NList_DoubleClick || notification.trigger == MUIV_EveryTime
            || (number != nullptr && *number == notification.trigger);
        if (!matches)
            continue;
        Object* target = IsLiveApplication(notification.target) ? notification.target : application();
        if (target != nullptr)
            target->returnIds_.push_back(notification.returnId);
    }
}

// ---- attribute access -------------------------------------------------------

void set(Object* object, Tag attribute, Value value)
{
    if (object != nullptr)
        object->SetAttrs({{attribute, std::move(value)}});
}

void nnset(Object* object, Tag attribute, Value value)
{
    if (object != nullptr)
        object->SetAttrs({{attribute, std::move(value)}, {MUIA_NoNotify, LONG{TRUE}}});
}

void SetAttrs(Object* object, std::initializer_list<std::pair<Tag, Value>> attributes)
{
    if (object != nullptr)
        object->SetAttrs(attributes);
}

Value xget(const Object* object, Tag attribute) { return object != nullptr ? object->Get(attribute) : Value{}; }

LONG XGetLong(const Object* object, Tag attribute) { return object != nullptr ? object->GetLong(attribute) : 0; }

std::optional<std::string> XGetString(const Object* object, Tag attribute)
{
    return object != nullptr ? object->GetString(attribute) : std::nullopt;
}

// ---- notifications and the input step ---------------------------------------

void Notify(Object* object, Tag attribute, LONG trigger, Object* application, LONG returnId)
{
    if (object != nullptr)
        object->AddNotify(attribute, trigger, returnId, application);
}

void Application_ReturnID(Object* application, LONG returnId)
{
    if (application != nullptr && application->kind() == Kind::Application)
        application->returnIds().push_back(returnId);
}

LONG Application_NewInput(Object* application, ULONG& sigs)
{
    sigs = MUI_APPLICATION_SIGNAL;
    if (application == nullptr || application->kind() != Kind::Application)
        return 0;
    auto& ids = application->returnIds();
    auto& input = application->pendingInput();
    while (ids.empty() && !input.empty()) {
        auto action = std::move(input.front());
        input.pop_front();
        if (action)
            action();
    }
    if (ids.empty())
        return 0;
    const LONG id = ids.front();
    ids.pop_front();
    if (HasPendingReturnIds(application))
        sigs = 0;
    return id;
}

bool HasPendingReturnIds(const Object* application)
{
    return application != nullptr && (!application->returnIds().empty() || !application->pendingInput().empty());
}

Object* CurrentApplication()
{
    const auto& applications = Applications();
    return applications.empty() ? nullptr : applications.back();
}

void DisposeObject(ObjectPtr object) { object.reset(); }

} // namespace mui

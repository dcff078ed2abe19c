// The list methods of NList: entries, the active entry that follows them,
// and numbered image slots.
#include "mui/internal.h"

#include <algorithm>
#include <charconv>

namespace mui {

namespace {

LONG Count(const Object& list) { return static_cast<LONG>(list.entries().size()); }

LONG Active(const Object& list) { return list.GetLong(MUIA_NList_Active, MUIV_NList_Active_Off); }

void SetActive(Object& list, LONG active) { list.SetAttrs({{MUIA_NList_Active, active}}); }

// After the entries changed: the count follows (notifying as a change of
// MUIA_NList_Entries), then the active entry, then the view.
void EntriesChanged(Object& list, LONG active)
{
    list.SetAttrs({{MUIA_NList_Entries, Count(list)}});
    SetActive(list, active);
    if (ObjectView* view = list.effectiveView())
        view->EntriesChanged(list);
}

void InsertAt(Object& list, std::vector<std::string> entries, LONG position)
{
    if (entries.empty())
        return;
    auto& current = list.entries();
    const LONG count = Count(list);
    const LONG active = Active(list);
    LONG index;
    switch (position) {
    case MUIV_NList_Insert_Active:
        index = active >= 0 ? active : 0;
        break;
    case MUIV_NList_Insert_Sorted:
        index = static_cast<LONG>(
            std::upper_bound(current.begin(), current.end(), entries.front()) - current.begin());
        break;
    default:
        index = position < 0 ? count : std::min(position, count);
        break;
    }
    const auto added = static_cast<LONG>(entries.size());
    current.insert(current.begin() + index, std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
    EntriesChanged(list, active >= index ? active + added : active);
}

} // namespace

Object* ResolveList(Object* object)
{
    if (object == nullptr)
        return nullptr;
    if (object->kind() == Kind::NList)
        return object;
    if (object->kind() == Kind::NListview) {
        for (const auto& child : object->children()) {
            if (child->kind() == Kind::NList)
                return child.get();
        }
    }
    return nullptr;
}

const Object* ResolveList(const Object* object) { return ResolveList(const_cast<Object*>(object)); }

void NList_InsertSingle(Object* list, std::string entry, LONG position)
{
    if (Object* target = ResolveList(list))
        InsertAt(*target, {std::move(entry)}, position);
}

void NList_Insert(Object* list, const std::vector<std::string>& entries, LONG count, LONG position, ULONG /*flags*/)
{
    Object* target = ResolveList(list);
    if (target == nullptr)
        return;
    const auto available = static_cast<LONG>(entries.size());
    const LONG taken = count < 0 ? available : std::min(count, available);
    InsertAt(*target, std::vector<std::string>(entries.begin(), entries.begin() + taken), position);
}

void NList_Remove(Object* list, LONG position)
{
    Object* target = ResolveList(list);
    if (target == nullptr)
        return;
    const LONG count = Count(*target);
    LONG active = Active(*target);
    if (position == MUIV_NList_Remove_Active)
        position = active;
    else if (position == MUIV_NList_Remove_Last)
        position = count - 1;
    if (position < 0 || position >= count)
        return;
    target->entries().erase(target->entries().begin() + position);
    if (position < active || (position == active && active == count - 1))
        --active;
    EntriesChanged(*target, active);
}

void NList_Clear(Object* list)
{
    Object* target = ResolveList(list);
    if (target == nullptr)
        return;
    target->entries().clear();
    EntriesChanged(*target, MUIV_NList_Active_Off);
}

void NList_Move(Object* list, LONG from, LONG to)
{
    Object* target = ResolveList(list);
    if (target == nullptr)
        return;
    const LONG count = Count(*target);
    if (from < 0 || from >= count)
        return;
    to = std::max(to, LONG{0});
    // The index the entry ends at: before the entry that stood at `to`.
    const LONG destination = to >= count ? count - 1 : (to > from ? to - 1 : to);
    if (destination == from)
        return;
    auto& entries = target->entries();
    std::string moving = std::move(entries[static_cast<std::size_t>(from)]);
    entries.erase(entries.begin() + from);
    entries.insert(entries.begin() + destination, std::move(moving));

    LONG active = Active(*target);
    if (active == from)
        active = destination;
    else if (from < active && active <= destination)
        --active;
    else if (destination <= active && active < from)
        ++active;
    EntriesChanged(*target, active);
}

void NList_ReplaceSingle(Object* list, std::string entry, LONG position, LONG /*wrapColumn*/, LONG /*align*/)
{
    Object* target = ResolveList(list);
    if (target == nullptr)
        return;
    if (position == MUIV_NList_Insert_Active)
        position = Active(*target);
    if (position < 0 || position >= Count(*target))
        return;
    auto& slot = target->entries()[static_cast<std::size_t>(position)];
    if (slot == entry)
        return;
    slot = std::move(entry);
    if (ObjectView* view = target->effectiveView())
        view->EntriesChanged(*target);
}

void NList_UseImage(Object* list, Object* image, LONG slot, ULONG /*flags*/)
{
    Object* target = ResolveList(list);
    if (target == nullptr || slot < 1)
        return;
    if (image != nullptr)
        target->imageSlots()[slot] = image;
    else
        target->imageSlots().erase(slot);
    if (ObjectView* view = target->effectiveView())
        view->EntriesChanged(*target);
}

void NList_Redraw(Object* list, LONG /*which*/)
{
    Object* target = ResolveList(list);
    if (target == nullptr)
        return;
    if (ObjectView* view = target->effectiveView())
        view->EntriesChanged(*target);
}

std::optional<std::string> NList_GetEntry(const Object* list, LONG position)
{
    const Object* target = ResolveList(list);
    if (target == nullptr)
        return std::nullopt;
    if (position == MUIV_NList_GetEntry_Active)
        position = Active(*target);
    if (position < 0 || position >= Count(*target))
        return std::nullopt;
    return target->entries()[static_cast<std::size_t>(position)];
}

std::optional<LONG> ImageSlotOfEntry(std::string_view entry)
{
    constexpr std::string_view prefix = "\x1bo[";
    if (!entry.starts_with(prefix))
        return std::nullopt;
    entry.remove_prefix(prefix.size());
    LONG slot = 0;
    const auto [end, error] = std::from_chars(entry.data(), entry.data() + entry.size(), slot);
    if (error != std::errc{} || end == entry.data() || end == entry.data() + entry.size() || *end != ']')
        return std::nullopt;
    return slot;
}

Object* NList_SlotImage(const Object* list, LONG slot)
{
    const Object* target = ResolveList(list);
    if (target == nullptr)
        return nullptr;
    auto it = target->imageSlots().find(slot);
    return it == target->imageSlots().end() ? nullptr : it->second;
}

} // namespace mui

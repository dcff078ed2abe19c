// Shared between the object model's source files; not for the rest of the
// program.
#pragma once

#include "mui/mui.h"

#include <map>
#include <vector>

namespace mui {

// Every object that exists, the applications in the order they were made and
// the lists (whose image slots are emptied when a picture goes away).
bool IsLive(const Object* object);
bool IsLiveApplication(const Object* object);
const std::vector<Object*>& LiveApplications();

struct ObjectAccess {
    static std::map<Tag, Value>& attributes(Object& object) { return object.attributes_; }
    static bool Store(Object& object, Tag attribute, Value value, bool notify, bool force)
    {
        return object.Store(attribute, std::move(value), notify, force);
    }
    static void SetParent(Object& child, Object* parent) { child.parent_ = parent; }
};

// The list a list method or a user's action addresses: the object itself
// for an NList, the list inside an NListview; null otherwise.
Object* ResolveList(Object* object);
const Object* ResolveList(const Object* object);

} // namespace mui

// The view of the object model's trees (internal to the Qt front end).
#pragma once

#include "platform/mui/mui.h"

#include <string_view>

namespace qtview::detail {

// Builds the widgets of an application's tree and observes it.
void AttachApplication(mui::Object& application);
// Drops every widget and stops observing the applications still there.
void DetachAll();
// Tells the action observer of a user's action.
void ReportAction(std::string_view action);

} // namespace qtview::detail

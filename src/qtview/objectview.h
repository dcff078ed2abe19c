// The view of the object model's trees (internal to the Qt front end).
#pragma once

#include "mui/mui.h"

#include <string_view>

class QMainWindow;
class QWidget;

namespace qtview::detail {

// Builds the widgets of an application's tree and observes it.
void AttachApplication(mui::Object& application);
// Drops every widget and stops observing the applications still there.
void DetachAll();
// Tells the action observer of a user's action.
void ReportAction(std::string_view action);
// The program's main window: the first of its windows that opened (it
// carries the menu strip and the status line); null before.
QMainWindow* MainWindow();
// The object a widget shows, or the nearest of its parents shows; null when
// none.
mui::Object* ObjectOf(const QWidget* widget);

} // namespace qtview::detail

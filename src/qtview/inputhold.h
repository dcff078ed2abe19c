// Tool waits in the Qt front end (internal): the windows paint while a tool
// runs, a busy cursor shows, and what the user does to the program's windows
// meanwhile is held and handed over in order once the program waits again.
#pragma once

#include "mui/mui.h"
#include "os/work.h"

#include <functional>

class QAction;
class QWidget;

namespace qtview::detail {

// Installs the input filter (needs a QApplication) and removes it again;
// removing drops whatever is still held.
void InstallInputHold();
void RemoveInputHold();

// The tool-wait hook: Begin shows the busy cursor and starts holding, Poll
// lets Qt paint and move windows, End restores the cursor.
void OnToolWait(ToolWait phase);

// Long work began or ended (the busy cursor stays for the whole work).
void SetWorkBusy(bool busy);

// Whether long work runs: the program's gadgets are greyed and what the
// user does to its windows is dropped, except quitting and closing them.
bool EditsDropped();
// Whether a widget is greyed for the running work: the view keeps it grey
// whatever the model says until the work has ended.
bool GreyedForWork(const QWidget* widget);
// The same for a menu item's action: every item but Quit is greyed.
bool GreyedForWork(const QAction* action);

// Whether the user's input to the program's windows is held now: while a
// tool or long work runs, and until everything held has been handed over.
bool HoldingInput();
// Holds an action of the user that is not a Qt input event (a menu choice).
// `quits` says that it ends the program: the running work is cancelled at
// once.
void HoldAction(std::function<void()> action, bool quits);
// Hands the oldest held input over to the windows; false when none is held.
// Only the program's wait calls this.
bool DeliverHeldInput();
// A quit is held and not yet handed over: work that begins meanwhile is
// cancelled at once.
bool QuitPending();

// Whether the return ID ends the program (MUIV_Application_ReturnID_Quit and
// those set with SetQuitReturnIds).
bool IsQuitId(LONG returnId);

// The progress window asks for an ordinary arrow over itself while the
// program is busy.
void SetCursorExempt(bool exempt);

} // namespace qtview::detail

// The script driver: runs the whole program (start-up, event loop,
// shut-down) on the object model without a display, taking the user's
// actions from a script. The format is described in docs/SCRIPTING.md.
#pragma once

#include <iosfwd>

// Runs ClipweaverMain with the actions read from `script`: each wait of the
// event loop performs the next action. Dumps go to `out`, complaints about
// script lines ("script: line N: ...") to `errors`; the trace goes to the
// debug output as usual. Returns the program's result.
int RunScript(std::istream& script, std::ostream& out, std::ostream& errors);

// Ends the running script as Ctrl-C ends the program: the running work is
// cancelled at its next tool poll and the program quits at its next wait.
// Safe to call from a signal handler.
void StopScript();

// Writes the state of every window and gadget, both lists and the project in
// the dump format.
void DumpState(std::ostream& out);

// Ctrl-C for the wait hook (internal to the Qt front end).
#pragma once

namespace qtview::detail {

// SIGINT, SIGTERM and SIGHUP raise the break signal and wakes Qt's event loop; removing it
// restores the handler that was there before.
void InstallBreakHandler();
void RemoveBreakHandler();

} // namespace qtview::detail

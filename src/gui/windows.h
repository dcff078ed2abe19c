// Building the three windows, the menu strip and the application object.
#pragma once

#include "mui/mui.h"

#include <string>
#include <vector>

// Builds the whole tree from the first crouton-list entries: fills gButtons,
// gWindows, gCroutonList and gVisualList and returns the application, or null
// (with every handle cleared) when any object cannot be made. Opens no window
// and installs no notification.
mui::ObjectPtr BuildApplication(const std::vector<std::string>& croutonStrings);
// Clears gButtons, gWindows, gCroutonList and gVisualList.
void ForgetGadgets();

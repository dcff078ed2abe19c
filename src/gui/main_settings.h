// The main window's settings of the project: the format, bit rate and frame
// rate choices and the fields they enable.
#pragma once

#include "model/project.h"

// After "New Project" the window shows the new project's own settings.
void ShowProjectSettings(const Project& project);

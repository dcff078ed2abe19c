// The main window's settings of the project: the gadgets that show one
// ProjectSettings record, the cycle gadgets' handlers and the rule of the
// fields they enable.
#pragma once

#include "model/project.h"
#include "model/project_settings.h"

#include <optional>

// The settings as the window's gadgets hold them: the texts as typed (and
// the numbers read from them), the three choices, and the project's look.
ProjectSettings ReadMainSettings();
// The same for the model: none once the window's gadgets are gone.
std::optional<ProjectSettings> ReadShownSettings();

// Whether the bit-rate and frame-rate cyclers raise their notifications as a
// user's choice does (a load: the loop then stores them in the project) or
// change quietly. The format cycler always changes quietly: its handler
// would move the bit rate to the format's default.
enum class RateCyclers { Quiet, Notify };
// Shows every setting of the record, with the fields its choices enable.
void ShowSettings(const ProjectSettings& settings, RateCyclers cyclers);
// A loaded project's settings, before its croutons load.
void ShowLoadedSettings(const ProjectSettings& settings);
// After "New Project" the window shows the new project's own settings.
void ShowProjectSettings(const Project& project);
// The project's own texts (name, output name and frame size) go to the
// window through UpdateGUI (a new or loaded project) and come back through
// UpdateProjectFromGUI (Save and Render); gui.h declares both.

// Width and height take typing only with the custom format, the custom rate
// only with the custom frame rate (SizeIsTyped, RateIsTyped).
void ShowTypedSize(LONG format);
void ShowTypedRate(LONG fps);

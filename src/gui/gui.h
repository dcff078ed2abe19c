// Keeping the main window and the model in step.
#pragma once

#include "model/crouton.h"
#include "model/project.h"
#include "model/project_view.h"
#include "model/visual_entry.h"
#include "gui/vocabulary.h"
#include "mui/mui.h"

#include <optional>
#include <string>
#include <string_view>

// The text of a string gadget; none when it has none (or there is no gadget).
std::optional<std::string> FieldText(HexButtons slot);
// Hands the model and the preview grab the windows' side of their views
// (model/project_view.h, media/preview.h); done when the windows are built.
void InstallProjectView();
void InitGUI();
void CloseGUI();
// The project's own texts (name, output name and frame size), to the main
// window and back (gui/main_settings.cpp).
void UpdateGUI(Project* project);
void UpdateProjectFromGUI(Project* project);
void UpdateCroutonFromGUI(Crouton* crouton);
void UpdateGUIPreview();
// Shows the highlighted crouton of the crouton list in the details and the
// five pictures (UpdateGUIPreview), with the preview list on the same entry;
// with none highlighted they show what they show at start-up.
void ShowHighlightedCrouton();
void ChangeFormatCycler();
void ChangeFPSCycler();

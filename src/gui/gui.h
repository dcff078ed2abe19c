// Keeping the main window and the model in step.
#pragma once

#include "model/crouton.h"
#include "model/project.h"
#include "mui/mui.h"

#include <optional>
#include <string_view>

void InitGUI();
void CloseGUI();
void UpdateGUI(Project* project);
void UpdateProjectFromGUI(Project* project);
void UpdateCroutonFromGUI(Crouton* crouton);
void UpdateGUIList(Project* project);
void UpdateGUIListEntry(Project* project, LONG id);
void UpdateGUIPreview();
// Shows the highlighted crouton of the crouton list in the details and the
// five pictures (UpdateGUIPreview), with the preview list on the same entry;
// with none highlighted they show what they show at start-up.
void ShowHighlightedCrouton();
// Shows a picture file in an image gadget; a file that does not exist shows
// "NoImageAvailable.png"; none clears the picture.
void SetButtonImage(mui::Object* button, std::optional<std::string_view> filename);
// Shows the crouton's chosen still in its picture of the visual list; a
// crouton without one shows "NoImageAvailable.png", never an empty entry.
void ShowCroutonPicture(const Crouton* crouton);
void ChangeFormatCycler();
void ChangeFPSCycler();

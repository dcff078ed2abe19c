// A crouton's entry in the visual list (gVisualList): its picture, owned by
// the list, and the text that shows the picture's image slot; and how a
// picture file is shown in an image gadget.
#pragma once

#include "model/crouton.h"
#include "mui/mui.h"

#include <optional>
#include <string>
#include <string_view>

// Shows a picture file in an image gadget; a file that does not exist shows
// "NoImageAvailable.png"; none clears the picture.
void SetButtonImage(mui::Object* button, std::optional<std::string_view> filename);
// Shows the crouton's chosen still in its picture of the visual list; a
// crouton without one shows "NoImageAvailable.png", never an empty entry.
void ShowCroutonPicture(const Crouton* crouton);

// The entry text that shows image slot `slot`.
std::string ImageSlotText(LONG slot);

// A new picture object for the visual list showing "NoImageAvailable.png",
// owned by the list; null when it can't be made or there is no list to own
// it.
mui::Object* MakeListPicture();

// Binds the crouton's picture to the slot and appends its visual entry. The
// entry goes in even without a picture (the slot is then left empty), so the
// visual list always has one entry per crouton.
void AddVisualEntry(Crouton* crouton, LONG slot);

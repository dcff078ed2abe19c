// A crouton's entry in the visual list (gVisualList): its picture, owned by
// the list, and the text that shows the picture's image slot.
#pragma once

#include "model/crouton.h"
#include "mui/mui.h"

#include <string>

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

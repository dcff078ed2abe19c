// Probing a source: still image (or image pattern) or video, and the video's
// facts through MPlayer's slave mode.
#pragma once

#include "model/crouton.h"

#include <optional>
#include <string>
#include <string_view>

// Fills the crouton's source facts from `filename`. TRUE for a picture (or
// pattern) and for a video that MPlayer answered about; the caller shows a
// video's length where it needs it (the crouton editor's sliders).
BOOL LoadVideoIntoCrouton(Crouton* crouton, std::string_view filename);
BOOL LoadImageIntoCrouton(Crouton* crouton, std::string_view filename);
// Answer lookup in MPlayer's output: the value after the first "ANS_<key>=".
int ReadIntFromBuffer(std::string_view buffer, std::string_view keyword);
float ReadFloatFromBuffer(std::string_view buffer, std::string_view keyword);
std::optional<std::string> ReadStringFromBuffer(std::string_view buffer, std::string_view keyword);

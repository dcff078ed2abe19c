// Probing a source: still image (or image pattern) or video, and the video's
// facts through MPlayer's slave mode.
#pragma once

#include "model/crouton.h"
#include "model/imageseq.h"

#include <optional>
#include <string>
#include <string_view>

// Fills the crouton's source facts from `filename`. TRUE for a picture (or
// pattern) and for a video that MPlayer answered about; the caller shows a
// video's length where it needs it (the crouton editor's sliders).
BOOL LoadVideoIntoCrouton(Crouton* crouton, std::string_view filename);
// Answer lookup in MPlayer's output: the value after the first "ANS_<key>=".
int ReadIntFromBuffer(std::string_view buffer, std::string_view keyword);
float ReadFloatFromBuffer(std::string_view buffer, std::string_view keyword);
std::optional<std::string> ReadStringFromBuffer(std::string_view buffer, std::string_view keyword);
// The length in seconds of a video (an AmigaDOS or host path), asked of
// MPlayer's slave mode through the command runner as a probe asks it; none
// when it cannot be told.
std::optional<double> ProbeMediaLength(std::string_view path);
// The length MPlayer answered in its output ("ANS_LENGTH="), the one reader
// of it; none when it gave none.
std::optional<double> ReadLengthAnswer(std::string_view buffer);

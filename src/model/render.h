// Rendering: one crouton into one video, and a whole project into the output.
#pragma once

#include "model/crouton.h"
#include "model/project.h"

#include "os/command.h"
#include "tools/render_support.h"

#include <optional>
#include <string>
#include <string_view>

// Encodes one crouton into `filename` with the output settings of `project`
// and the main window's custom fields. `silent` drops the crouton's sound.
// An image crouton first gets the list file "T:__CWEncodeList.lst" and the
// silence file "T:__CWSilence.raw". Returns when mencoder has ended; the
// caller checks the output itself.
void RenderCrouton(const Project* project, Crouton* crouton, std::string_view filename, BOOL silent);
// Writes `length` seconds of raw silence (unsigned 8-bit, mono, 11025 Hz,
// every byte 128). A length that is not a positive finite number gives an
// empty file.
void GenerateSilence(std::string_view filename, float length);
// Renders the project's croutons in order into the output file named in the
// main window, with the soundtrack field's sound under them when it is set,
// and finishes the file in the container its name asks for. It reports as
// long work "Rendering" (a step per crouton) and stops at the first failed
// step or at a cancel; a file that stood at the output name stays as it was
// unless the render succeeds. The outcome shows in the trace as its last
// line ("Rendering finished.\n", "Rendering failed.\n" or
// "Rendering cancelled.\n") and in plain words through EndWork.
void RenderProject(Project* project);
// Appends the video filename2 to the video filename1. TRUE when the join
// returned 0 and filename1 exists afterwards; on FALSE filename1 still holds what it
// held before whenever that could be kept.
BOOL AppendVideo(std::string_view filename1, std::string_view filename2);
// The mencoder filters that put a picture of the source's shape into a
// frame of width x height shown at `display` (its width over its height):
// turned upright as the source is stored to be shown, and, where its shape
// differs from the frame's by more than 1 %, scaled to fit inside it and
// centred on black ("scale=480:360,expand=640:360"). A source of the
// frame's shape, or of a shape not known, is scaled to the frame.
std::string FrameFilters(LONG width, LONG height, double display, const std::optional<PictureShape>& source);
// The render's lines besides each crouton's, built apart from running them:
// the join of the video so far (moved aside to `assembled`) and the next
// piece into `output`; the soundtrack laid under the silent video; the
// finishing run from `finishVideo` into the container `output`'s name asks
// for.
std::string JoinCommand(std::string_view output, std::string_view assembled, std::string_view piece);
std::string SoundtrackCommand(std::string_view silentVideo, std::string_view soundtrack, std::string_view output);
std::string FinishCommand(std::string_view output, std::string_view finishVideo);
// The transition piece `output` from the tail of one crouton and the head of
// the next: ffmpeg's xfade transition `xfade` over `seconds`, encoded with
// the croutons' encoder options `encoder`.
std::string TransitionCommand(std::string_view output, std::string_view tail, std::string_view head,
                              std::string_view xfade, double seconds, std::string_view encoder);

// Preview stills of a crouton, and playing its source.
#pragma once

#include "model/crouton.h"

#include <string>
#include <string_view>

void GeneratePreview(Crouton* crouton);
void GrabPreviews_Video(Crouton* crouton);
void GrabPreviews_Images(Crouton* crouton);
void GrabPreviewImage(Crouton* crouton, std::string_view inputFilename, std::string_view outputFilename, int screenshotNumber);
void CroutonEditor_RunMPlayer(Crouton* crouton);

// What a screenshot run's output says about its still.
enum class ScreenshotState {
    None,     // no screenshot was taken
    NotSaved, // one was announced, but no file was named for it
    Saved,    // one was saved under `name`
};
struct ScreenshotSearch {
    ScreenshotState state = ScreenshotState::None;
    std::string name;            // only for Saved
    std::size_t savedAt = 0;     // where "Saved screenshot" starts (NotSaved, Saved)
};
// Reads MPlayer's output: without "*** screenshot" there is none; else the
// first "Saved screenshot as '" names the file, which ends before the last
// "'" of the output. No such line, or no "'" to end the name: not saved.
ScreenshotSearch FindScreenshot(std::string_view output);

// The final name of still `number` (1 to 5) beside the crouton file, and the
// crouton file's icon file.
std::string PreviewStillName(const Crouton* crouton, int number);
std::string PreviewIconName(const Crouton* crouton);

// The image (0 to numberOfImages - 1) that a preview slider at `position`
// (0 to 100) picks from an image sequence; -1 when there is none.
int PreviewImageIndex(int numberOfImages, LONG position);

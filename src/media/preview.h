// Preview stills of a crouton, and playing its source.
#pragma once

#include "model/crouton.h"
#include "model/tables.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The crouton editor as a grab reads it: the source field's text (none
// without the editor: the crouton's own source stands in) and the sliders'
// positions, the stretch's and the five previews'.
struct PreviewInputs {
    std::optional<std::string> source;
    double start = 0; // seconds of the source, to its frame
    double end = 0;
    std::array<LONG, cNumberOfPreviews> positions{};
};
// How a grab meets the crouton editor; gui/ sets it when it builds the
// windows, tests may set their own. Without it a grab reads no editor and
// shows its stills nowhere.
struct PreviewView {
    std::function<PreviewInputs()> read;
    // Still `still` (from 0) of the editor shows the picture file.
    std::function<void(int still, std::string_view file)> showStill;
};
void SetPreviewView(PreviewView view);
// The editor's inputs through the view; the defaults without one.
PreviewInputs ReadPreviewInputs();

// Copies a still with the shell's Copy command; a quiet copy sends Copy's
// output to NIL: and leaves no trace.
void CopyStill(const std::string& from, const std::string& to, bool quiet);

// Grabs the five stills of the crouton with the editor's inputs, as long
// work, and shows them.
// One still's MPlayer line and its slave commands, built apart from running
// them: a video's at `position` seconds, a picture list's (none) at its
// start; `filters` fit the picture into the still ("scale=160:90").
std::string ScreenshotCommand(std::optional<double> position, std::string_view filters);
std::string ScreenshotCommands(std::string_view source);
void GeneratePreview(Crouton* crouton);
void GrabPreviews_Video(Crouton* crouton, const PreviewInputs& inputs);
void GrabPreviews_Images(Crouton* crouton, const PreviewInputs& inputs);
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

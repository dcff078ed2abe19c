// Pieces shared by the rendering files (render_crouton.cpp encodes one crouton,
// render_images.cpp writes an image crouton's files, render_project.cpp walks
// the project, render_report.cpp puts outcomes into plain words). Not for use
// outside src/model.
#pragma once

#include "model/project.h"
#include "model/project_view.h"
#include "tools/render_support.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace render_detail {

// A piece of 4999 bytes or less holds no usable video (a render's and a
// preview's pieces alike).
constexpr LONG kSmallestPiece = 5000;

// What became of one crouton's encoding.
struct CroutonRun {
    bool ran = false;    // the command was run
    LONG code = 0;       // its exit code, when it ran
    std::string refusal; // why nothing was run, in plain words
    bool setting = false; // the refusal is the project's (a custom size or rate), not the crouton's
    std::string command;  // the line that encodes it; empty when refused
    // The encoder options of that line for a piece made beside it from
    // pieces already at the output's size (a transition).
    std::string encoder;
};

// Encodes one crouton with the settings of `project` into `filename`.
CroutonRun EncodeCrouton(const Project& project, Crouton* crouton, std::string_view filename, bool silent);
// Everything of EncodeCrouton but the run: the traces, an image crouton's
// list and silence files, and the line (`ran` stays false), for a render
// that runs the line beside others.
// `piece` is what the project's joins and fades ask of this crouton's
// piece; the default look adds nothing to the line.
CroutonRun PlanCroutonEncode(const Project& project, Crouton* crouton, std::string_view filename, bool silent,
                             const PieceLook& piece = {});

// The options a piece's look adds to its crouton's line, each with the space
// before it; empty for the default look. Files the options name (a title's
// text) are written on T: first; a refusal, in plain words, when one could
// not be.
struct LookOptions {
    std::string options;
    std::string refusal;
};
LookOptions LookOptionsOf(const PieceLook& piece, const Crouton& crouton, const Project& project);

// ---- transitions between croutons (render_join.cpp) ----

// Where a transition's piece is made before it is joined.
inline constexpr const char* kTransitionPiece = "T:__CWTransition";
// Whether a crouton's piece has a transition before it (its head).
bool HasTransitionBefore(const PieceLook& piece);
// What became of making a transition piece: `ran` false when there was
// nothing to make it from (a crouton too short to give a frame), which
// joins the two croutons with a cut.
struct TransitionRun {
    bool ran = false;
    LONG code = 0;
    std::string kind; // as the messages name it ("dissolve")
};
// Makes kTransitionPiece from the tail the crouton before kept and the head
// of crouton `index` (counted from 1) with `encoder`, the crouton's encoder
// options; the stretches go. Runs in the crouton's lane.
TransitionRun MakeTransition(const PieceLook& piece, const std::string& encoder, int index);
// Once a crouton is taken, in its lane: the tail it gave to the transition
// after it is moved out of the lane until the next crouton is taken.
void KeepTail(const PieceLook& piece);
// The stretches of the lane open (before a crouton is encoded in it).
void ForgetStretches();
// The transition files outside the lanes (a render's start and end).
void ForgetTransitions();

// Whether the croutons keep their own sound under the project's soundtrack
// (its clip level is above 0): they are then encoded with it, and the
// soundtrack step mixes it in.
bool ClipSoundUnderSoundtrack(const Project& project);
// The options the project's look adds to its soundtrack line, each with the
// space before it (" -cliplevel 30 -duck -fit -fadein 1 -fadeout 2");
// empty when it asks nothing new.
std::string SoundtrackOptions(const Project& project);

// How many croutons a render encodes side by side, and the names of T: each
// of their lanes has of its own (dos.h).
int RenderLaneCount();
std::vector<std::string> RenderLaneNames();

// The list of an image crouton's pictures, and the same file in the path
// form mencoder takes.
inline constexpr const char* kListFilename = "T:__CWEncodeList.lst";
inline constexpr const char* kListInput = "mf://@/T/__CWEncodeList.lst";
// The list and the silence an image crouton's line reads, and the shape of
// its first picture; why not, in plain words, when they could not be
// written (render_images.cpp).
std::optional<std::string> PrepareImages(Crouton& crouton, std::optional<PictureShape>& sourceShape);

// GenerateSilence that says whether the whole file reached the disk; a
// file that did not is removed.
bool WriteSilence(std::string_view filename, float length);

// Runs a rendering command with the rendering's tags; its exit code.
LONG RunRenderCommand(const std::string& command);

// The size of a file, or none when it does not exist.
std::optional<LONG> FileSize(std::string_view name);

// The host path of a name as the user should read it.
std::string ShownPath(std::string_view name);

// What a crouton is called in the windows: its name, else its file's name,
// else its source's.
std::string CroutonLabel(const Crouton* crouton);

// Why a tool run failed, in plain words ("the folder /home/me/out does not
// exist"): from the files it was to write and read, the tool's last error
// line and its exit code.
std::string FailureReason(std::string_view written, const std::vector<std::string>& read, LONG code);
// Notes the error line of the render's newest tool run, which FailureReason
// tells: each line the render runs, and each piece run beside it as it is
// taken. A render runs on the program's thread only.
void NoteToolError(std::string line);
// "Crouton 2 (beach)": how the messages name a crouton by its position.
std::string CroutonPrefix(int index, const Crouton* crouton);

// Every problem that stops a render to `output` before anything is encoded,
// in plain words; empty when there is none.
std::vector<std::string> RenderPreflight(const Project& project, const std::string& output);
// Asks "OUT exists. Replace it?" unless no file is there or the project's
// own last render made it; false when the user keeps the file.
bool MayReplaceOutput(const Project& project, const std::string& output);

// "Rendered /path/x.avi: 0:32, 4.1 MB".
std::string FinishedMessage(std::string_view output);

} // namespace render_detail

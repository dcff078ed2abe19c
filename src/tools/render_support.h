// What rendering asks of the tools beside command lines: the shape of a
// source's picture, the encoder that makes pieces, and the clean-up of a
// render that did not finish.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How a video's or picture's picture is shown: its size once its pixels'
// own shape and the turn it is stored with are applied, and that turn in
// degrees clockwise (0, 90, 180 or 270).
struct PictureShape {
    double width = 0;
    double height = 0;
    int rotation = 0;
};
// Of a file (an AmigaDOS or host path), read with ffprobe once per file as
// it stands; none when it holds no picture that can be read.
std::optional<PictureShape> ProbePictureShape(std::string_view path);
// Probes the files (AmigaDOS or host paths) `side` at a time, so that
// plans asking for them one after another find them probed.
void ProbeAhead(const std::vector<std::string>& paths, int side);
// The ffmpeg the tools run (ProgramStamp): another build may encode other
// bytes, so what it made is kept under it.
const std::string& EncoderIdentity();

// Removes the pieces that joins of a render left on T: (a join lists its
// pieces rather than copying them), for a render that failed or was
// cancelled, or that took its finished video from elsewhere. A finished
// render's pieces are removed by its finishing run.
void ForgetJoinedPieces();

// The render's joins lead to `output` (no soundtrack comes between), which
// its finish writes in the container its name asks for: their sound may be
// compressed while the croutons are still being encoded. Joins that then
// lead elsewhere, or a finish of other pieces, just do without.
void CompressSoundAsJoined(std::string_view output);

// A piece on T: with sound leaves its samples beside it, raw, in a file of
// its name and this ending: they go with the piece wherever it goes.
inline constexpr std::string_view kSamplesBeside = ".pcm";

// The program that draws a crouton's title into a picture the encode lays
// over the video (built and installed with the windowed programs).
inline constexpr const char* kTitleProgramName = "clipweaver-title";
// Where it is: $CLIPWEAVER_TITLE_PROGRAM when that is set, else beside the
// running program, else where the package installs it; none when it is not
// there to be run.
std::optional<std::string> TitleProgram();

// Where a crouton's encode whose line asks "-head S" or "-tail S" writes the
// stretches it gives to the transitions before and after it: short
// lossless pieces at the piece's size, rate and sound, beside its piece (in
// a render's lane of T:, each encode's own).
inline constexpr std::string_view kHeadStretch = "T:__CWHead";
inline constexpr std::string_view kTailStretch = "T:__CWTail";

// The parts the mencoder line plans share (private to the tools): reading
// numbers and options of a line, the file facts of a line, and the ffmpeg
// arguments every piece is made with.
#pragma once

#include "tools/tool_media.h"

namespace cwtools::planning {

inline constexpr long long kDefaultSampleRate = 44100;

// A number as a whole number within ±largest.
long long Whole(double value, long long largest);
std::vector<std::string> Split(const std::string& text, char separator);
void Append(std::vector<std::string>& to, const std::vector<std::string>& more);
// Whether the line has no option outside `allowed`.
bool OnlyOptions(const MencoderLine& line, const std::set<std::string>& allowed);
// The host path of a file word of the line, and what is known of it (none
// when it is missing).
const std::string& HostOf(const LineFacts& facts, const std::string& word);
const FileFacts* FactsOf(const LineFacts& facts, const std::string& word);

// Silence as an input, for a piece that must carry sound its source lacks.
std::vector<std::string> SilenceInput(long long sampleRate);
// Sound that starts with the picture and lasts exactly `samples`, after the
// filters `first` (which end with a comma).
std::vector<std::string> PieceSound(const std::string& map, long long sampleRate, long long samples,
    const std::string& first = {});
// A picture of exactly `frames` frames.
std::vector<std::string> PiecePicture(const std::string& filters, const Rate& rate, long long frames);
// The filters of PiecePicture and PieceSound alone, for a graph of one's own.
std::string PictureChain(const std::string& filters, const Rate& rate, long long frames);
std::string SoundChain(long long sampleRate, long long samples, const std::string& first = {});
PlannedRun Planned(std::vector<std::string> argv, const std::string& output, const LineFacts& facts,
    long long frames, const Rate& rate);
// The file a run writes: the output, or a scratch file when the output is
// also read.
std::string RunTarget(ToolPlan& plan, const std::string& output, const std::vector<std::string>& reads,
    const LineFacts& facts);
std::string StorePiece(const LineFacts& facts, long long number);

// The piece a line's encoder settings make (size, rate, codec, shape and
// sound rate; no length) and the encoder's arguments; none when the line's
// settings are none the tool knows.
struct PieceEncoder {
    PieceFacts format;
    std::vector<std::string> arguments;
};
std::optional<PieceEncoder> EncoderOf(const MencoderLine& line);

// What a crouton line's look asks of its piece (tool_plan_join.cpp), in
// seconds: fades from and to black, and the head and tail it gives to the
// transitions either side, written apart as short lossless pieces at
// "T:__CWHead" and "T:__CWTail" (kHeadStretch, kTailStretch).
struct PieceJoins {
    double fadeIn = 0;
    double fadeOut = 0;
    double head = 0;
    double tail = 0;
    bool Used() const { return fadeIn > 0 || fadeOut > 0 || head > 0 || tail > 0; }
};
// None when one of the values is no number of seconds.
std::optional<PieceJoins> ReadPieceJoins(const MencoderLine& line);
// The output half of a piece's encode as PieceEncode makes it, with the
// joins worked in: the whole stretch faded, then its head and tail cut off
// into pieces of their own.
struct PieceOutput {
    std::string filters;    // the picture's, before its rate and length
    std::string soundMap;   // empty: silent
    std::string soundFirst; // the filters the sound takes first
    std::string output;
    PieceFacts piece;       // of the whole stretch
    std::vector<std::string> encoder;
    // The title laid over the picture: a graph from "[piece]" to "[titled]"
    // (LookOverlay); empty for none.
    std::string overlay;
};
void FinishJoinedPiece(ToolPlan& plan, std::vector<std::string> argv, const PieceOutput& out, const PieceJoins& joins,
    const LineFacts& facts);
// The transition between two croutons: the tail of one and the head of the
// next, crossed by one of ffmpeg's xfade transitions, sound at equal power.
bool RecognisesTransition(const MencoderLine& line);
std::optional<ToolPlan> PlanTransition(const MencoderLine& line, const LineFacts& facts);

// The ffmpeg input that reads a piece, an assembly or another file, with
// the length it holds.
struct VideoInput {
    std::vector<std::string> arguments;
    std::vector<std::string> reads;
    PieceFacts format; // frames: the whole length
    bool ours = false;
};
// The start of a plan that writes one file from the line's video: the file,
// the plan and how ffmpeg reads the video.
struct VideoPlan {
    const FileFacts* file;
    ToolPlan plan;
    VideoInput video;
};
std::optional<VideoPlan> OpenVideoPlan(const MencoderLine& line, const LineFacts& facts, const char* operation);

// The operations on what the encodes wrote (tool_plan_assembly.cpp).
bool RecognisesJoin(const MencoderLine& line);
std::vector<std::string> JoinInputs(const MencoderLine& line);
std::optional<ToolPlan> PlanJoin(const MencoderLine& line, const LineFacts& facts);
bool RecognisesSoundtrack(const MencoderLine& line);
std::optional<ToolPlan> PlanSoundtrack(const MencoderLine& line, const LineFacts& facts);
// The soundtrack step with the croutons' own sound mixed under it, fitted to
// the project or faded with it (tool_plan_soundtrack.cpp).
std::vector<std::string> SoundtrackInputs(const MencoderLine& line);
bool AsksSoundMix(const MencoderLine& line);
std::optional<ToolPlan> PlanSoundMix(const MencoderLine& line, const LineFacts& facts);
bool RecognisesFinish(const MencoderLine& line);
std::optional<ToolPlan> PlanFinish(const MencoderLine& line, const LineFacts& facts);

} // namespace cwtools::planning

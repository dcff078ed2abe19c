// The media side of the tools (private to cw_platform): how a mencoder line
// is read, what the tool knows of the files a line names, and how a line
// becomes host runs of ffmpeg. Planning is a pure function of the line and
// of those facts; probing and running happen apart from it.
//
// Pieces and assemblies. Every video the mencoder tool encodes is a "piece":
// an AVI with MPEG-4 picture and (unless silent) 16-bit stereo PCM sound
// whose length is exactly its frame count at the output rate. The piece
// names its own facts in its comment tag, so the tool never has to probe
// what it wrote. A join does not copy the video so far: it writes, at its
// output name, a short text (an "assembly") listing the pieces in order,
// kept in a store folder on T:. The finish (or the soundtrack step) reads
// the pieces through the list and writes one real file.
#pragma once

#include "tools/tools.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace cwtools {

// A frame rate as a fraction.
struct Rate {
    long long num = 25;
    long long den = 1;
    double Value() const { return static_cast<double>(num) / static_cast<double>(den); }
    std::string Text() const; // "25/1"
    bool operator==(const Rate&) const = default;
};
// "25.000000", "30000/1001", "12.5"; the NTSC rates as their exact fractions.
std::optional<Rate> ParseRate(std::string_view text);

// Frames that cover `seconds` at `rate` (the last one may reach past it).
long long FramesFor(double seconds, const Rate& rate);
// Sound samples that last exactly as long as `frames` at `rate`.
long long SamplesFor(long long frames, const Rate& rate, long long sampleRate);

// A mencoder line made of options the tool knows.
struct MencoderLine {
    std::vector<std::string> inputs;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;

    bool Has(const std::string& option) const { return values.count(option) != 0 || flags.count(option) != 0; }
    std::optional<std::string> Value(const std::string& option) const;
    std::string ValueOr(const std::string& option, const std::string& fallback) const
    {
        return Value(option).value_or(fallback);
    }
};
// Reads the arguments; nullopt when a word is an option no table knows, or
// an option is given twice or has no value. Quoted words are inputs.
std::optional<MencoderLine> ReadMencoderLine(const std::vector<std::string>& arguments,
    const std::vector<bool>& quoted);

// What a piece holds.
struct PieceFacts {
    int width = 0;
    int height = 0;
    Rate rate;
    long long frames = 0;
    long long sampleRate = 0; // 0: no sound
    long long samples = 0;
    std::string codec = "mpeg4"; // the picture's: "mpeg4", "h264" or "vp9"
    // The display shape the picture declares ("16/9"); 0/0: square pixels.
    long long darNum = 0;
    long long darDen = 0;
    bool operator==(const PieceFacts&) const = default;
    double Seconds() const { return static_cast<double>(frames) / rate.Value(); }
    // Whether two pieces can follow each other with their streams copied.
    bool SameFormat(const PieceFacts& other) const
    {
        return width == other.width && height == other.height && rate == other.rate
            && sampleRate == other.sampleRate && codec == other.codec && darNum == other.darNum
            && darDen == other.darDen;
    }
};
// The container a piece of that picture codec is written in: AVI for
// MPEG-4 (as mencoder writes), Matroska for the codecs whose B-frames and
// timestamps AVI cannot keep.
std::string PieceContainer(const std::string& codec);
// The last words of a run that writes a piece at `path`: its tag and its
// container. A piece with sound also leaves its samples beside it, raw
// (SoundBeside), for the render's sound to be compressed from while the
// other pieces are still being made (sound_lane.h), unless `samplesBeside`
// is false (a stretch only a transition reads).
std::vector<std::string> PieceFileOptions(const PieceFacts& piece, const std::string& path, bool samplesBeside = true);
// Where a piece's raw samples lie: beside it, named after it.
std::string SoundBeside(const std::string& piecePath);
// The comment tag that names a piece's facts, and its reading.
std::string PieceTag(const PieceFacts& facts);
std::optional<PieceFacts> ReadPieceTag(std::string_view text);

struct AssemblyPiece {
    std::string path; // host path in the store
    PieceFacts facts;
};
// The text of an assembly, and its reading (nullopt when the text is none).
std::string AssemblyText(const std::vector<AssemblyPiece>& pieces);
std::optional<std::vector<AssemblyPiece>> ReadAssembly(std::string_view text);

// A file that ffprobe describes.
struct SourceFacts {
    bool readable = false;
    bool hasVideo = false;
    int width = 0;
    int height = 0;
    std::optional<Rate> frameRate;
    std::string videoCodec;
    long long videoBitrate = 0; // bit/s, 0 when unknown
    int sarNum = 1;             // the pixels' shape
    int sarDen = 1;
    int rotation = 0;           // degrees clockwise the picture is turned for showing
    bool hasAudio = false;
    std::string audioCodec;
    long long audioBitrate = 0;
    double duration = 0;        // of the whole file, seconds; 0 when unknown
    double pictureDuration = 0; // of the picture where the file tells it, else the whole
    double pixelAspect = 0;     // width of a pixel against its height; 0 when unknown
    // The file's own clock: the first picture's time stamp and the earliest
    // of any stream, from which ffmpeg counts "-ss" (program and transport
    // streams start at half a second or more).
    double pictureStart = 0;
    double fileStart = 0;
    std::string container;      // ffprobe's format name ("mpeg", "mpegts", ...)
    std::string fieldOrder;     // "progressive", "tt", "bb", "tb", "bt"; empty when unknown
};

// The deinterlacer's parity for the field shown first ("tff", "bff"); none
// for a progressive picture or one that does not say.
std::optional<std::string> FieldParity(const SourceFacts& source);

// A file as the tool finds it: one of its pieces, an assembly, or a file
// from elsewhere.
struct FileFacts {
    enum class Kind { Missing, Piece, Assembly, Foreign } kind = Kind::Missing;
    std::string path; // host path
    PieceFacts piece;
    std::vector<AssemblyPiece> pieces;
    SourceFacts source;
};

// Everything a line's plan depends on besides the line.
struct LineFacts {
    std::map<std::string, std::string> hostPaths; // the line's file words as host paths
    std::map<std::string, FileFacts> files; // by host path
    std::vector<std::string> images;        // an image list's host paths
    std::string store;                      // the store folder (host path)
    long long nextPiece = 1;                // first free number in the store
    std::string progress;                   // ffmpeg's progress file
    std::string scratch;                    // host path for a script or list
    // The sound of a render's pieces compressed while they were made, for
    // a finish of exactly those pieces into a container (sound_lane.h);
    // none, or no function, when the finish compresses it itself.
    std::function<std::optional<std::string>(const std::vector<AssemblyPiece>&, const std::string&)> compressedSound;
};

// One host run of a plan and what it must leave.
struct PlannedRun {
    HostRun run;
    std::string output;           // the file it writes
    long long expectedFrames = 0; // 0: not checked
};
// A file the plan places into the store: a hard link, or a copy when the
// two lie on different file systems.
struct PlannedLink {
    std::string from;
    std::string to;
};
struct ToolPlan {
    std::string operation;
    std::vector<std::pair<std::string, std::string>> scripts; // (host path, text) written first
    std::vector<PlannedLink> links;
    std::vector<PlannedRun> runs;
    // Written last, at the line's output: an assembly.
    std::optional<std::pair<std::string, std::string>> assembly;
    bool clearStore = false;            // a new assembly begins: old pieces go first
    std::vector<std::string> consumed;  // store pieces removed after success
    std::string outputAfterRun;         // when set, the last run's output moves here
};

// The recognised mencoder operations. `inputs` names the files whose facts
// the plan needs (AmigaDOS paths as on the line).
struct MencoderOperation {
    const char* name;
    bool (*recognises)(const MencoderLine& line);
    std::vector<std::string> (*inputs)(const MencoderLine& line);
    std::optional<ToolPlan> (*plan)(const MencoderLine& line, const LineFacts& facts);
};
// The table, in the order in which lines are tried.
const std::vector<MencoderOperation>& MencoderOperations();
// The operation that recognises the line, or none.
const MencoderOperation* RecogniseMencoderLine(const MencoderLine& line);

// The container a final file's name asks for: "avi", "mp4", "mov",
// "matroska" or "webm".
std::string ContainerForName(std::string_view name);

// ffprobe's description of a host file, cached by device, inode, size and
// modification time, so that a source used by many croutons is probed once.
// The probe runs for `call` (RunTool).
SourceFacts ProbeSource(const std::string& hostPath, ToolCall& call);
// What the tool knows of a host file: its piece tag, its assembly text, or
// ffprobe's view.
FileFacts ExamineFile(const std::string& hostPath, ToolCall& call);

// Runs one planned ffmpeg run for `call`; 0 only when it wrote all it had
// to.
LONG CarryRun(const PlannedRun& planned, ToolCall& call);

// The argument list that starts every ffmpeg run of the tools, with its
// progress file.
std::vector<std::string> FfmpegStart(const std::string& progressFile);
// A path inside single quotes for ffmpeg's concat lists.
std::string ConcatQuote(const std::string& path);
// Fixed-point text of a number ("%.9f" trimmed).
std::string Decimal(double value, int places = 6);

} // namespace cwtools

namespace cwtools {

// The MPlayer tool's screenshot run: a slave-command file that loads one
// file and takes a screenshot, with "-ss" and a "-vf" chain of scale
// filters and "screenshot".
struct ScreenshotAsk {
    std::string file;   // as the loadfile line names it
    std::string position = "0";
    std::string filters; // the chain without "screenshot"; may be empty
    bool turns = false;  // the chain turns the picture itself
};
std::optional<ScreenshotAsk> ReadScreenshotAsk(const std::vector<std::string>& arguments,
    const std::vector<std::string>& loadedFiles, std::string_view commands);
// The frame at the asked position exactly (ffmpeg decodes from the keyframe
// before it), as a PNG at `target`.
HostRun ScreenshotRun(const ScreenshotAsk& ask, const std::string& hostFile, const std::string& target);

// MPlayer's answers corrected to what the file holds: the length (MPlayer
// estimates some from the mux rate) and the bit rates in bit/s (MPlayer
// answers bytes a second).
std::string CorrectAnswers(std::string_view output, const SourceFacts& facts);
// The whole output of a probe that only loads one file and asks what
// ffprobe knows of it (get_time_length, get_property of the frame size,
// bit rates, aspect, rate, codecs), answered from those facts as the
// player would have answered, without running the player; none when the
// commands ask anything else or the facts cannot answer them.
std::optional<std::string> ProbeAnswers(std::string_view commands, const SourceFacts& facts);

} // namespace cwtools

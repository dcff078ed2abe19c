// The recognised mencoder lines and their plans. The program asks mencoder
// for five things, and each is carried out with ffmpeg (Debian's mencoder
// gets several of them wrong: an ffmpeg-written AVI decodes as one frozen
// frame, "-oac lavc" fails for every codec, some runs never exit):
//   video       mencoder SRC -o OUT ... -ovc lavc ... [-ss S] [-endpos L]
//   images      mencoder mf://@LIST -mf ...fps=F -o OUT ... -ovc lavc ...
//   join        mencoder -oac pcm -ovc lavc -o OUT A B
//   soundtrack  mencoder -oac lavc -ovc copy VIDEO -audiofile SOUND -o OUT
//   finish      mencoder -oac lavc -ovc copy -o OUT VIDEO
// The encodes write pieces (tool_media.h) whose sound lasts exactly as long
// as their picture; joins list pieces without copying them; the finish
// writes the container the output's name asks for and compresses the sound
// once.

#include "tools/tool_plan_parts.h"
#include "tools/tool_plan_look.h"

#include "os/format.h"

#include <cmath>
#include <cstdlib>

namespace cwtools {
namespace planning {

// A bigger value is no size, rate or bit rate anyone asks for.
long long Whole(double value, long long largest)
{
    if (!(value > -static_cast<double>(largest)))
        return -largest;
    if (!(value < static_cast<double>(largest)))
        return largest;
    return static_cast<long long>(value);
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (true) {
        const std::size_t end = text.find(separator, pos);
        parts.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos)
            return parts;
        pos = end + 1;
    }
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

bool OnlyOptions(const MencoderLine& line, const std::set<std::string>& allowed)
{
    for (const auto& [option, value] : line.values)
        if (allowed.count(option) == 0)
            return false;
    for (const std::string& flag : line.flags)
        if (allowed.count(flag) == 0)
            return false;
    return true;
}

const std::string& HostOf(const LineFacts& facts, const std::string& word)
{
    const auto found = facts.hostPaths.find(word);
    return found == facts.hostPaths.end() ? word : found->second;
}

const FileFacts* FactsOf(const LineFacts& facts, const std::string& word)
{
    const auto found = facts.files.find(HostOf(facts, word));
    if (found == facts.files.end() || found->second.kind == FileFacts::Kind::Missing)
        return nullptr;
    return &found->second;
}

// Silence as an input, for a piece that must carry sound its source lacks.
std::vector<std::string> SilenceInput(long long sampleRate)
{
    return {"-f", "lavfi", "-i", "anullsrc=r=" + std::to_string(sampleRate) + ":cl=stereo"};
}

// Sound that starts with the picture and lasts exactly `samples`: the
// source's own start is kept at 0, a short sound is padded with silence and
// a long one cut.
std::vector<std::string> PieceSound(const std::string& map, long long sampleRate, long long samples,
    const std::string& first)
{
    const std::string rate = std::to_string(sampleRate);
    return {"-map", map, "-af", SoundChain(sampleRate, samples, first), "-c:a", "pcm_s16le", "-ar", rate, "-ac", "2"};
}

std::string SoundChain(long long sampleRate, long long samples, const std::string& first)
{
    return first + "aresample=" + std::to_string(sampleRate)
        + ":async=1:first_pts=0,aformat=sample_fmts=s16:channel_layouts=stereo,apad,atrim=end_sample="
        + std::to_string(samples);
}

// A picture of exactly `frames` frames: the last one is held if the source
// ends a little early. The picture ends in its filters, not by a frame
// limit: ffmpeg closes every stream of a file when one reaches its limit,
// which would cut the sound short.
std::vector<std::string> PiecePicture(const std::string& filters, const Rate& rate, long long frames)
{
    return {"-map", "0:v:0", "-vf", PictureChain(filters, rate, frames), "-fps_mode", "cfr"};
}

std::string PictureChain(const std::string& filters, const Rate& rate, long long frames)
{
    return filters + ",fps=" + rate.Text() + ",tpad=stop=-1:stop_mode=clone,trim=end_frame=" + std::to_string(frames);
}

PlannedRun Planned(std::vector<std::string> argv, const std::string& output, const LineFacts& facts,
    long long frames, const Rate& rate)
{
    PlannedRun planned;
    planned.run.argv = std::move(argv);
    planned.run.watch = {output};
    planned.run.progressFile = facts.progress;
    planned.run.expectedSeconds = static_cast<double>(frames) / rate.Value();
    planned.output = output;
    planned.expectedFrames = frames;
    return planned;
}

// A run must never write over a file it reads: it then writes a scratch
// file that replaces the output afterwards.
std::string RunTarget(ToolPlan& plan, const std::string& output, const std::vector<std::string>& reads,
    const LineFacts& facts)
{
    for (const std::string& read : reads) {
        if (read == output) {
            plan.outputAfterRun = output;
            return facts.scratch + ".out";
        }
    }
    return output;
}

std::string StorePiece(const LineFacts& facts, long long number)
{
    return facts.store + "/p" + std::to_string(number) + ".avi";
}

} // namespace planning

namespace {

using namespace planning;

// The picture filters of "-vf": scale and framestep carry over, harddup is
// what a constant-rate output does anyway; rotate, flip and mirror turn the
// picture as it is stored (ffmpeg then must not turn it by itself), expand
// centres it on a frame of black, and dsize names the shape it is shown
// in. Any other filter makes the line one the tool does not take over. The
// size is read from "scale=W:H" or a later "expand=W:H".
struct Filters {
    std::string chain;
    int width = 0;
    int height = 0;
    bool turns = false; // the line turns the picture itself
    std::optional<Rate> dar;
};

std::optional<Rate> DisplayShape(const std::string& text)
{
    const auto shape = ParseRate(text);
    if (!shape || shape->Value() < 0.01 || shape->Value() > 100 || shape->den > 100000)
        return std::nullopt;
    return shape;
}

std::optional<std::pair<int, int>> Size(const std::string& text)
{
    const std::vector<std::string> size = Split(text, ':');
    if (size.size() < 2)
        return std::nullopt;
    return std::make_pair(static_cast<int>(Whole(ParseNumber(size[0]).value_or(0), 100000)),
        static_cast<int>(Whole(ParseNumber(size[1]).value_or(0), 100000)));
}

std::optional<Filters> VideoFilters(const MencoderLine& line)
{
    Filters result;
    std::vector<std::string> filters;
    if (const auto chain = line.Value("-vf")) {
        for (const std::string& filter : Split(*chain, ',')) {
            if (filter == "harddup")
                continue;
            if (filter.rfind("scale=", 0) == 0) {
                if (const auto size = Size(filter.substr(6))) {
                    result.width = size->first;
                    result.height = size->second;
                }
                filters.push_back(filter);
                continue;
            }
            if (filter.rfind("framestep=", 0) == 0 && ParseNumber(filter.substr(10)).value_or(0) >= 1) {
                filters.push_back(filter);
                continue;
            }
            // mencoder's rotate numbers its turns as ffmpeg's transpose does.
            if (filter == "rotate=1" || filter == "rotate=2") {
                filters.push_back("transpose=" + filter.substr(7));
                result.turns = true;
                continue;
            }
            if (filter == "flip" || filter == "mirror") {
                filters.push_back(filter == "flip" ? "vflip" : "hflip");
                result.turns = true;
                continue;
            }
            if (filter.rfind("expand=", 0) == 0) {
                const std::vector<std::string> parts = Split(filter.substr(7), ':');
                const auto size = Size(filter.substr(7));
                // Only a centred picture (no place, or -1:-1).
                if (!size || size->first <= 0 || size->second <= 0
                    || !(parts.size() == 2 || (parts.size() == 4 && parts[2] == "-1" && parts[3] == "-1")))
                    return std::nullopt;
                result.width = size->first;
                result.height = size->second;
                filters.push_back("pad=" + std::to_string(size->first) + ":" + std::to_string(size->second)
                    + ":(ow-iw)/2:(oh-ih)/2:black");
                continue;
            }
            if (filter.rfind("dsize=", 0) == 0) {
                result.dar = DisplayShape(filter.substr(6));
                if (!result.dar)
                    return std::nullopt;
                continue;
            }
            return std::nullopt;
        }
    }
    for (const std::string& filter : filters)
        result.chain += (result.chain.empty() ? "" : ",") + filter;
    return result;
}

// The chain with the shape the picture declares at its end.
std::string ShapedChain(const Filters& filters, const std::optional<Rate>& dar)
{
    const std::string shape = dar ? "setdar=" + dar->Text() : "setsar=1";
    return filters.chain.empty() ? shape : filters.chain + "," + shape;
}

struct VideoEncoding {
    std::vector<std::string> arguments;
    std::string codec;
    std::optional<Rate> dar; // from "-lavcopts aspect="
};

// An encoder option "key=value" of a line, taken by the row of its key.
struct CodecOptions {
    long long bitrate = 800000;
    std::vector<std::string> extra;
    std::string preset = "medium";
    std::string profile = "high";
};
using OptionReader = bool (*)(const std::string& value, CodecOptions& options, VideoEncoding& encoding);

bool ReadOptions(const std::string& text, const std::map<std::string, OptionReader>& readers, CodecOptions& options,
    VideoEncoding& encoding)
{
    for (const std::string& option : Split(text, ':')) {
        const std::size_t equals = option.find('=');
        const auto reader = readers.find(option.substr(0, equals));
        const std::string value = equals == std::string::npos ? std::string() : option.substr(equals + 1);
        if (reader == readers.end() || !reader->second(value, options, encoding))
            return false;
    }
    return true;
}

// A bit rate in bit/s from kbit/s, or as it is above 16000 where `raw`.
bool ReadBitrate(const std::string& value, bool raw, CodecOptions& options)
{
    const auto number = ParseNumber(value);
    if (!number || *number <= 0)
        return false;
    options.bitrate = Whole(raw && *number > 16000 ? *number : *number * 1000, 1000000000);
    return true;
}

bool Lowercase(const std::string& value)
{
    return !value.empty() && value.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos;
}

// "-x264encopts": H.264, its bitrate in kbit/s.
const std::map<std::string, OptionReader>& X264Options()
{
    static const std::map<std::string, OptionReader> readers = {
        {"bitrate", [](const std::string& value, CodecOptions& options, VideoEncoding&) {
             return ReadBitrate(value, false, options);
         }},
        {"preset", [](const std::string& value, CodecOptions& options, VideoEncoding&) {
             options.preset = value;
             return Lowercase(value);
         }},
        {"profile", [](const std::string& value, CodecOptions& options, VideoEncoding&) {
             options.profile = value;
             return value == "baseline" || value == "main" || value == "high";
         }},
        {"subq", [](const std::string& value, CodecOptions& options, VideoEncoding&) {
             options.extra.insert(options.extra.end(), {"-subq", value});
             return ParseNumber(value) && value.find_first_not_of("0123456789") == std::string::npos && value.size() <= 2;
         }},
    };
    return readers;
}

// The encoder's own settings of "-lavcopts o=": only VP9's speed ones.
bool ReadEncoderSettings(const std::string& value, CodecOptions& options, VideoEncoding&)
{
    for (const std::string& setting : Split(value, ',')) {
        if (setting == "deadline=realtime")
            options.extra.insert(options.extra.end(), {"-deadline", "realtime"});
        else if (setting.rfind("cpu-used=", 0) == 0 && ParseNumber(setting.substr(9)))
            options.extra.insert(options.extra.end(), {"-cpu-used", setting.substr(9)});
        else if (setting == "row-mt=1")
            options.extra.insert(options.extra.end(), {"-row-mt", "1"});
        else
            return false;
    }
    return true;
}

// "-lavcopts": MPEG-4 or VP9. vbitrate is in kbit/s, or in bit/s above
// 16000.
const std::map<std::string, OptionReader>& LavcOptions()
{
    static const std::map<std::string, OptionReader> readers = {
        {"vcodec", [](const std::string& value, CodecOptions&, VideoEncoding& encoding) {
             if (value == "libvpx-vp9")
                 encoding.codec = "vp9";
             return value == "libvpx-vp9" || value == "mpeg4";
         }},
        {"mbd", [](const std::string& value, CodecOptions& options, VideoEncoding&) {
             options.extra.insert(options.extra.end(), {"-mbd", value});
             return true;
         }},
        {"trell", [](const std::string&, CodecOptions& options, VideoEncoding&) {
             options.extra.insert(options.extra.end(), {"-trellis", "1"});
             return true;
         }},
        {"vbitrate", [](const std::string& value, CodecOptions& options, VideoEncoding&) {
             return ReadBitrate(value, true, options);
         }},
        {"aspect", [](const std::string& value, CodecOptions&, VideoEncoding& encoding) {
             encoding.dar = DisplayShape(value);
             return encoding.dar.has_value();
         }},
        {"o", ReadEncoderSettings},
    };
    return readers;
}

// A piece lasts seconds: the rate is held within a buffer of two seconds'
// worth, else a piece whose start is easy spends its rest. With that cap,
// x264's own threads make each encode of the same piece a little
// different; one thread per encode (the render runs one per core) makes
// every render of a project the same, so a kept piece is the one a new
// encode would make.
std::vector<std::string> X264Arguments(const CodecOptions& options)
{
    return {"-c:v", "libx264", "-b:v", std::to_string(options.bitrate), "-maxrate",
        std::to_string(options.bitrate * 3 / 2), "-bufsize", std::to_string(options.bitrate * 2), "-preset",
        options.preset, "-profile:v", options.profile, "-pix_fmt", "yuv420p", "-threads", "1"};
}

// The MPEG-4 encoder keeps to its rate only within its tolerance, which by
// default is several megabits: a short piece then ends far above the rate
// asked, so it is held to a tenth of the rate.
std::vector<std::string> LavcArguments(const std::string& codec, CodecOptions& options)
{
    if (codec == "vp9")
        return {"-c:v", "libvpx-vp9", "-b:v", std::to_string(options.bitrate), "-pix_fmt", "yuv420p"};
    options.extra.insert(options.extra.end(), {"-bt", std::to_string(std::max(1000LL, options.bitrate / 10))});
    return {"-c:v", "mpeg4", "-b:v", std::to_string(options.bitrate)};
}

std::optional<VideoEncoding> VideoCodec(const MencoderLine& line)
{
    VideoEncoding encoding;
    CodecOptions options;
    const bool x264 = line.ValueOr("-ovc", "") == "x264";
    encoding.codec = x264 ? "h264" : "mpeg4";
    // MPEG-4 needs no options; H.264 without its own is none the tool knows.
    const auto text = line.Value(x264 ? "-x264encopts" : "-lavcopts");
    if ((text || x264) && !ReadOptions(text.value_or(""), x264 ? X264Options() : LavcOptions(), options, encoding))
        return std::nullopt;
    encoding.arguments = x264 ? X264Arguments(options) : LavcArguments(encoding.codec, options);
    Append(encoding.arguments, options.extra);
    return encoding;
}

// The picture's codec, filters and declared shape, when the line's picture
// options are all ones the tool knows.
struct PictureEncoding {
    Filters filters;
    VideoEncoding encoding;
    std::optional<Rate> dar;
    std::string chain; // the filters with the declared shape
};

std::optional<PictureEncoding> Picture(const MencoderLine& line)
{
    auto filters = VideoFilters(line);
    auto encoding = VideoCodec(line);
    if (!filters || !encoding)
        return std::nullopt;
    PictureEncoding picture{*filters, *encoding, filters->dar ? filters->dar : encoding->dar, {}};
    picture.chain = ShapedChain(picture.filters, picture.dar);
    return picture;
}

// What a piece made with this picture holds besides its length and sound.
PieceFacts PieceOf(const PictureEncoding& picture, const Rate& rate)
{
    PieceFacts piece;
    piece.width = picture.filters.width;
    piece.height = picture.filters.height;
    piece.rate = rate;
    piece.codec = picture.encoding.codec;
    if (picture.dar) {
        piece.darNum = picture.dar->num;
        piece.darDen = picture.dar->den;
    }
    return piece;
}

// The ffmpeg input options for an "-audiofile", with the raw format when
// "-audio-demuxer rawaudio" says so.
std::optional<std::vector<std::string>> AudioFileInput(const MencoderLine& line, const LineFacts& facts)
{
    std::vector<std::string> input;
    if (const auto demuxer = line.Value("-audio-demuxer")) {
        if (*demuxer != "rawaudio")
            return std::nullopt;
        std::string rate = "44100";
        std::string channels = "2";
        std::string format = "s16le";
        for (const std::string& option : Split(line.ValueOr("-rawaudio", ""), ':')) {
            const std::size_t equals = option.find('=');
            if (equals == std::string::npos)
                continue;
            const std::string key = option.substr(0, equals);
            const std::string value = option.substr(equals + 1);
            if (key == "rate")
                rate = value;
            else if (key == "channels")
                channels = value;
            else if (key == "samplesize")
                format = value == "1" ? "u8" : value == "2" ? "s16le" : value == "4" ? "s32le" : "";
        }
        if (format.empty() || !ParseNumber(rate) || !ParseNumber(channels))
            return std::nullopt;
        input = {"-f", format, "-ar", rate, "-ac", channels};
    }
    input.push_back("-i");
    input.push_back(FileArgument(HostOf(facts, *line.Value("-audiofile"))));
    return input;
}

// ---- the encodes -------------------------------------------------------

// What every encode of a piece shares: its picture, rate and sound rate as
// the line asks them, and the piece it writes once its length is known.
struct PieceEncode {
    PictureEncoding picture;
    Rate rate;
    long long sampleRate = 0;
    PieceFacts piece;
    LineLook look; // the crouton's volume, title, pan and zoom
    PieceJoins joins; // its fades, and the stretches it gives to transitions

    // The piece of `frames`, with sound or without.
    void Measure(long long frames, bool sound)
    {
        piece = PieceOf(picture, rate);
        piece.frames = frames;
        piece.sampleRate = sound ? sampleRate : 0;
        piece.samples = sound ? SamplesFor(frames, rate, sampleRate) : 0;
    }

    // The run's output half: the picture through `filters`, the sound from
    // `soundMap` (none: silent) through `soundFirst`, the tag and container.
    void Finish(ToolPlan& plan, std::vector<std::string> argv, const std::string& filters, const std::string& soundMap,
        const std::string& soundFirst, const std::string& output, const LineFacts& facts) const
    {
        if (joins.Used()) {
            const std::string moved = LookChain(look, filters, piece);
            const std::string overlay = LookOverlay(look, piece, plan, argv);
            return FinishJoinedPiece(plan, std::move(argv),
                {moved, soundMap, soundFirst + LookSound(look), output, piece, picture.encoding.arguments, overlay},
                joins, facts);
        }
        Append(argv, LookPicture(look, filters, piece, plan, argv));
        Append(argv, picture.encoding.arguments);
        if (soundMap.empty())
            argv.push_back("-an");
        else
            Append(argv, PieceSound(soundMap, sampleRate, piece.samples, soundFirst + LookSound(look)));
        Append(argv, PieceFileOptions(piece, output));
        plan.runs.push_back(Planned(std::move(argv), output, facts, piece.frames, rate));
    }
};

PieceEncode EncodeOf(const MencoderLine& line)
{
    return {*Picture(line), *ParseRate(line.ValueOr("-ofps", "25")),
        Whole(*ParseNumber(line.ValueOr("-srate", "44100")), 384000), {}, ReadLineLook(line).value_or(LineLook{}),
        ReadPieceJoins(line).value_or(PieceJoins{})};
}

} // namespace

std::optional<PieceEncoder> planning::EncoderOf(const MencoderLine& line)
{
    const auto picture = Picture(line);
    const auto rate = ParseRate(line.ValueOr("-ofps", "25"));
    const auto sampleRate = ParseNumber(line.ValueOr("-srate", "44100"));
    if (!picture || !rate || !sampleRate || *sampleRate < 1000 || *sampleRate > 384000)
        return std::nullopt;
    PieceEncoder encoder{PieceOf(*picture, *rate), picture->encoding.arguments};
    encoder.format.sampleRate = line.Has("-nosound") ? 0 : Whole(*sampleRate, 384000);
    return encoder;
}

namespace {

// ---- video ------------------------------------------------------------

// Where a piece begins on its source's own clock: with the frame shown at
// the line's start, counted from the first picture whatever its time stamp
// (program streams start at half a second, transport streams later still,
// and ffmpeg's "-ss" counts from the earliest stream's).
struct Cut {
    std::vector<std::string> input; // options before "-i"
    std::string picture;            // filters the picture takes first
    std::string sound;              // filters the source's sound takes first
};

// Containers that keep no index: a seek lands between keyframes and the
// picture freezes until the next one, so a cut decodes from well before its
// start (a keyframe comes at least every ten seconds) and trims to it.
// Program streams stamp pictures only now and then, and ffmpeg guesses the
// rest up to half a frame off after a seek: their cuts count frames from
// the beginning.
struct Unindexed {
    bool countsFrames;
};
const std::map<std::string, Unindexed>& UnindexedContainers()
{
    static const std::map<std::string, Unindexed> containers = {
        {"mpeg", {.countsFrames = true}},
        {"mpegvideo", {.countsFrames = true}},
        {"mpegts", {.countsFrames = false}},
    };
    return containers;
}
constexpr double kKeyframeReach = 10;

Cut CutAt(const std::string& asked, double start, const SourceFacts& source, bool forcedRate)
{
    Cut cut;
    if (forcedRate || !source.frameRate) {
        if (start > 0)
            cut.input = {"-ss", asked};
        return cut;
    }
    // A start a millisecond short of a frame (a time written to three
    // places) means that frame.
    const double frame = 1 / source.frameRate->Value();
    const double shown = std::floor((start + 0.001) / frame);
    const double at = source.pictureStart - source.fileStart + shown * frame;
    // Under half a frame the rate filter puts the first picture at zero (a
    // seek would cost a WebM's Opus sound its first 80 ms).
    const bool late = std::fabs(source.pictureStart - source.fileStart) >= frame / 2;
    const auto unindexed = UnindexedContainers().find(source.container);
    if (unindexed != UnindexedContainers().end() && (start > 0 || late)) {
        const double before = unindexed->second.countsFrames ? 0 : std::max(0.0, at - kKeyframeReach);
        if (before > 0)
            cut.input = {"-ss", Decimal(before)};
        cut.picture = (unindexed->second.countsFrames
                              ? "trim=start_frame=" + std::to_string(static_cast<long long>(shown))
                              : "trim=start=" + Decimal(std::max(0.0, at - before - 0.001)))
            + ",setpts=PTS-STARTPTS,";
        cut.sound = "atrim=start=" + Decimal(at - before) + ",asetpts=PTS-STARTPTS,";
        return cut;
    }
    if (!late && std::fabs(shown * frame - start) < 1e-6) {
        if (start > 0)
            cut.input = {"-ss", asked};
        return cut;
    }
    // Just before the frame, so that a time stamp rounded down keeps it.
    const double seek = at - std::min(0.001, frame / 4);
    if (seek > 0)
        cut.input = {"-ss", Decimal(seek)};
    return cut;
}

// The deinterlacer an interlaced source's picture takes before anything
// else, one picture per frame in the field order the file names.
std::string Deinterlace(const SourceFacts& source)
{
    const auto parity = FieldParity(source);
    return parity ? "bwdif=mode=send_frame:parity=" + *parity + ":deint=all," : "";
}

bool EncodesAlike(const MencoderLine& line)
{
    static const std::set<std::string> understood = {"-o", "-oac", "-ovc", "-lavcopts", "-x264encopts", "-vf", "-ofps", "-fps", "-mc",
        "-ss", "-audio-delay", "-endpos", "-srate", "-audiofile", "-mf", "-audio-demuxer", "-rawaudio", "-zoom",
        "-nosound", "-fadein", "-fadeout", "-volume", "-title", "-panzoom", "-head", "-tail"};
    const std::string ovc = line.ValueOr("-ovc", "");
    if (line.inputs.size() != 1 || (ovc != "lavc" && ovc != "x264") || !line.Has("-o") || !OnlyOptions(line, understood)
        || line.Has(ovc == "lavc" ? "-x264encopts" : "-lavcopts"))
        return false;
    const std::optional<double> delay = ParseNumber(line.ValueOr("-audio-delay", "0"));
    const std::string oac = line.ValueOr("-oac", "pcm");
    return Picture(line) && delay && *delay == 0 && ParseRate(line.ValueOr("-ofps", "25")) && ReadLineLook(line)
        && ReadPieceJoins(line)
        && (line.Has("-nosound") || oac == "pcm" || oac == "lavc" || oac == "mp3lame")
        && ParseNumber(line.ValueOr("-srate", "44100")).value_or(0) >= 1000
        && ParseNumber(line.ValueOr("-srate", "44100")).value_or(0) <= 384000;
}

bool RecognisesVideo(const MencoderLine& line)
{
    return EncodesAlike(line) && line.inputs[0].rfind("mf://", 0) != 0;
}

std::vector<std::string> VideoInputs(const MencoderLine& line)
{
    return {line.inputs[0]};
}

// The frames a crouton line asks of its source: "-endpos" from "-ss", or
// what the source holds from there on. The start is a time of the source as
// it is; at a forced rate the frames after it last longer or shorter.
std::optional<long long> VideoFrames(const MencoderLine& line, const SourceFacts& source, double start,
    const std::optional<Rate>& forcedRate, const Rate& rate)
{
    double available = 0;
    if (source.pictureDuration > 0) {
        available = source.pictureDuration - start;
        if (available <= 0)
            return std::nullopt;
        if (forcedRate && source.frameRate)
            available = available * source.frameRate->Value() / forcedRate->Value();
    }
    double seconds = available;
    if (const auto length = line.Value("-endpos")) {
        const auto asked = ParseNumber(*length);
        if (!asked || *asked <= 0)
            return std::nullopt;
        // A source that ends within a few frames of the stretch (a last
        // frame that its timestamps do not count) has its last frame held;
        // one that ends clearly earlier gives a shorter piece.
        seconds = available > 0 && *asked > available + 0.25 ? available : *asked;
    }
    const long long frames = FramesFor(seconds, rate);
    if (frames <= 0)
        return std::nullopt;
    return frames;
}

// The sound a crouton's piece carries, as the map of its input (added to
// `argv`): the "-audiofile", the source's own, or silence; empty for none.
std::optional<std::string> VideoSoundInput(const MencoderLine& line, const LineFacts& facts, bool sourceSound,
    long long sampleRate, std::vector<std::string>& argv)
{
    if (line.Has("-nosound"))
        return "";
    if (line.Has("-audiofile")) {
        const auto input = AudioFileInput(line, facts);
        if (!input)
            return std::nullopt;
        Append(argv, *input);
        return "1:a:0";
    }
    if (sourceSound)
        return "0:a:0";
    Append(argv, SilenceInput(sampleRate));
    return "1:a:0";
}

std::optional<ToolPlan> PlanVideo(const MencoderLine& line, const LineFacts& facts)
{
    // A source that cannot be read is still handed to ffmpeg, whose own
    // error then says what is wrong with it.
    const FileFacts* sourceFacts = FactsOf(facts, line.inputs[0]);
    const std::string sourcePath = sourceFacts ? sourceFacts->path : HostOf(facts, line.inputs[0]);
    SourceFacts source = sourceFacts ? sourceFacts->source : SourceFacts{};
    if (!source.readable)
        source.hasAudio = true; // as the line says: it names no other sound
    PieceEncode encode = EncodeOf(line);
    const double start = ParseNumber(line.ValueOr("-ss", "0")).value_or(0);
    const std::optional<Rate> forcedRate = line.Has("-fps") ? ParseRate(*line.Value("-fps")) : std::nullopt;
    if (line.Has("-fps") && !forcedRate)
        return std::nullopt;
    const auto frames = VideoFrames(line, source, start, forcedRate, encode.rate);
    if (!frames)
        return std::nullopt;
    encode.Measure(*frames, !line.Has("-nosound"));

    ToolPlan plan;
    plan.operation = "video";
    const std::string output = RunTarget(plan, HostOf(facts, *line.Value("-o")), {sourcePath}, facts);
    std::vector<std::string> argv = FfmpegStart(facts.progress);
    const Cut cut = CutAt(line.ValueOr("-ss", "0"), start, source, forcedRate.has_value());
    Append(argv, cut.input);
    if (forcedRate)
        Append(argv, {"-r", forcedRate->Text()});
    if (encode.picture.filters.turns)
        argv.push_back("-noautorotate");
    // The source is decoded on one thread: the render runs an encode on
    // each core, where a decoder's own threads only add their start-up
    // and hand-over (a tenth of an .avi crouton's processor time). The
    // pictures decoded are the same.
    Append(argv, {"-threads", "1", "-i", FileArgument(sourcePath)});
    const auto soundMap = VideoSoundInput(line, facts, source.hasAudio, encode.sampleRate, argv);
    if (!soundMap)
        return std::nullopt;
    encode.Finish(plan, std::move(argv), cut.picture + Deinterlace(source) + encode.picture.chain, *soundMap,
        *soundMap == "0:a:0" ? cut.sound : "", output, facts);
    return plan;
}

// ---- images -----------------------------------------------------------

bool RecognisesImages(const MencoderLine& line)
{
    return EncodesAlike(line) && line.inputs[0].rfind("mf://@", 0) == 0;
}

std::vector<std::string> NoInputs(const MencoderLine&)
{
    return {};
}

std::optional<ToolPlan> PlanImages(const MencoderLine& line, const LineFacts& facts)
{
    if (facts.images.empty())
        return std::nullopt;
    std::string inputRateText = "25";
    for (const std::string& option : Split(line.ValueOr("-mf", ""), ':'))
        if (option.rfind("fps=", 0) == 0)
            inputRateText = option.substr(4);
    const std::optional<Rate> inputRate = ParseRate(inputRateText);
    if (!inputRate)
        return std::nullopt;
    // Without "-ofps" the clip still runs at 25 frames a second (each image
    // held for its 1/fps seconds): a player asked for a screenshot takes it
    // from the next frame that passes, which must not be a second away.
    PieceEncode encode = EncodeOf(line);
    // Every image lasts 1/fps seconds, the last one included.
    const bool sound = !line.Has("-nosound") && line.Has("-audiofile");
    encode.Measure(FramesFor(static_cast<double>(facts.images.size()) / inputRate->Value(), encode.rate), sound);

    ToolPlan plan;
    plan.operation = "images";
    std::string script = "ffconcat version 1.0\n";
    for (const std::string& image : facts.images)
        script += "file " + ConcatQuote(image) + "\n";
    plan.scripts.emplace_back(facts.scratch, script);
    const std::string output = RunTarget(plan, HostOf(facts, *line.Value("-o")), facts.images, facts);

    std::vector<std::string> argv = FfmpegStart(facts.progress);
    Append(argv, {"-r", inputRate->Text(), "-f", "concat", "-safe", "0", "-i", facts.scratch});
    if (sound) {
        const auto input = AudioFileInput(line, facts);
        if (!input)
            return std::nullopt;
        Append(argv, *input);
    }
    encode.Finish(plan, std::move(argv), encode.picture.chain, sound ? "1:a:0" : "", "", output, facts);
    return plan;
}

std::vector<std::string> FirstInput(const MencoderLine& line)
{
    return {line.inputs.front()};
}

} // namespace

const std::vector<MencoderOperation>& MencoderOperations()
{
    using namespace planning;
    static const std::vector<MencoderOperation> operations = {
        {"join", RecognisesJoin, JoinInputs, PlanJoin},
        {"transition", RecognisesTransition, JoinInputs, PlanTransition},
        {"finish", RecognisesFinish, FirstInput, PlanFinish},
        {"soundtrack", RecognisesSoundtrack, SoundtrackInputs, PlanSoundtrack},
        {"images", RecognisesImages, NoInputs, PlanImages},
        {"video", RecognisesVideo, VideoInputs, PlanVideo},
    };
    return operations;
}

const MencoderOperation* RecogniseMencoderLine(const MencoderLine& line)
{
    for (const MencoderOperation& operation : MencoderOperations())
        if (operation.recognises(line))
            return &operation;
    return nullptr;
}

} // namespace cwtools

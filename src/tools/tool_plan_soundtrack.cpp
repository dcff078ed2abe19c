// The soundtrack step when the project asks more of it than laying the
// soundtrack alone under silent pieces: the croutons' own sound kept under
// it at a level ("-cliplevel PERCENT"), the soundtrack lowered while that
// sound is loud ("-duck"), looped or faded to fit the project ("-fit"), and
// faded with the project's picture ("-fadein S", "-fadeout S"). One ffmpeg
// run copies the picture and writes the mixed sound, lossless as every
// piece's; the finish compresses it once.

#include "tools/tool_plan_parts.h"

#include "os/format.h"

#include <algorithm>
#include <cmath>

namespace cwtools::planning {

namespace {

// How long the soundtrack takes to fade when the project ends before it.
constexpr double kFitFade = 2.0;
// A soundtrack that ends within this of the project's end is not cut.
constexpr double kFitSlack = 0.05;

// Gentle ducking: it lowers the soundtrack within a few tenths of a second
// of the croutons' sound growing loud (threshold about -30 dBFS), by up to
// about 14 dB under a loud sound, and lets it rise again over a second, so
// that pauses between words do not make it pump.
constexpr const char* kDuck = "sidechaincompress=threshold=0.03:ratio=4:knee=4:attack=150:release=1000";

struct SoundAsk {
    int clipLevel = 0; // percent of the croutons' own sound; 0: none
    bool duck = false;
    bool fit = false;
    double fadeIn = 0;
    double fadeOut = 0;
};

std::optional<double> Seconds(const MencoderLine& line, const char* option)
{
    const auto value = ParseNumber(line.ValueOr(option, "0"));
    if (!value || !std::isfinite(*value) || *value < 0)
        return std::nullopt;
    return *value;
}

std::optional<SoundAsk> ReadSoundAsk(const MencoderLine& line)
{
    SoundAsk ask;
    const auto level = ParseNumber(line.ValueOr("-cliplevel", "0"));
    const auto fadeIn = Seconds(line, "-fadein");
    const auto fadeOut = Seconds(line, "-fadeout");
    if (!level || *level < 0 || *level > 200 || !fadeIn || !fadeOut)
        return std::nullopt;
    ask.clipLevel = static_cast<int>(std::lround(*level));
    ask.duck = line.Has("-duck");
    ask.fit = line.Has("-fit");
    ask.fadeIn = *fadeIn;
    ask.fadeOut = *fadeOut;
    return ask;
}

// How the soundtrack meets the project's end: looped when it is shorter,
// faded over the last seconds when the project cuts it.
struct Fitting {
    bool loop = false;
    bool fadeEnd = false;
};

Fitting FitOf(double soundtrack, double project)
{
    if (soundtrack <= 0) // a length ffprobe does not know: loop and fade
        return {true, true};
    const bool loop = soundtrack + kFitSlack < project;
    const double heard = loop ? std::ceil(project / soundtrack - kFitSlack / soundtrack) * soundtrack : soundtrack;
    return {loop, heard - project > kFitSlack};
}

std::string Secs(double seconds) { return Decimal(std::max(0.0, seconds), 6); }

// A sound as every piece's: stereo at the piece's rate, starting with the
// picture, exactly `samples` long.
std::string Shaped(long long sampleRate, long long samples)
{
    return "aresample=" + std::to_string(sampleRate) + ":async=1:first_pts=0,aformat=sample_fmts=fltp:channel_layouts="
        "stereo,apad,atrim=end_sample=" + std::to_string(samples);
}

// The soundtrack's chain after its shaping: its fades in and out.
std::string MusicFades(const SoundAsk& ask, const Fitting& fitting, double length)
{
    std::string fades;
    if (ask.fadeIn > 0)
        fades += ",afade=t=in:st=0:d=" + Secs(std::min(ask.fadeIn, length));
    if (ask.fadeOut > 0) {
        const double fade = std::min(ask.fadeOut, length);
        fades += ",afade=t=out:st=" + Secs(length - fade) + ":d=" + Secs(fade);
    }
    if (fitting.fadeEnd) {
        const double fade = std::min(kFitFade, length);
        fades += ",afade=t=out:st=" + Secs(length - fade) + ":d=" + Secs(fade);
    }
    return fades;
}

// The graph that writes "[mixed]": the soundtrack from input 1, the
// croutons' sound from input 0 when it is heard.
std::string SoundGraph(const SoundAsk& ask, const Fitting& fitting, const PieceFacts& piece, bool clipSound)
{
    const std::string shaped = Shaped(piece.sampleRate, piece.samples);
    const std::string music = "[1:a:0]" + shaped + MusicFades(ask, fitting, piece.Seconds());
    const std::string last = ",aformat=sample_fmts=s16:channel_layouts=stereo[mixed]";
    if (!clipSound)
        return music + last;
    const std::string level = "volume=" + Decimal(ask.clipLevel / 100.0, 4);
    std::string graph = "[0:a:0]" + shaped;
    if (ask.duck)
        graph += ",asplit=2[key][own];[own]" + level + "[clips];" + music + "[music];[music][key]" + kDuck + "[bed];";
    else
        graph += "," + level + "[clips];" + music + "[bed];";
    return graph + "[bed][clips]amix=inputs=2:duration=first:normalize=0" + last;
}

} // namespace

std::vector<std::string> SoundtrackInputs(const MencoderLine& line)
{
    // Fitting needs the soundtrack's own length.
    if (line.Has("-fit"))
        return {line.inputs.front(), *line.Value("-audiofile")};
    return {line.inputs.front()};
}

bool AsksSoundMix(const MencoderLine& line)
{
    for (const char* option : {"-cliplevel", "-duck", "-fit", "-fadein", "-fadeout"})
        if (line.Has(option))
            return true;
    return false;
}

std::optional<ToolPlan> PlanSoundMix(const MencoderLine& line, const LineFacts& facts)
{
    const std::optional<SoundAsk> ask = ReadSoundAsk(line);
    auto opened = OpenVideoPlan(line, facts, "soundtrack");
    if (!ask || !opened || opened->video.format.frames <= 0)
        return std::nullopt;
    ToolPlan& plan = opened->plan;
    const VideoInput& video = opened->video;
    const bool clipSound = ask->clipLevel > 0 && video.format.sampleRate > 0;
    PieceFacts piece = video.format;
    piece.sampleRate = kDefaultSampleRate;
    piece.samples = SamplesFor(piece.frames, piece.rate, piece.sampleRate);

    const std::string soundWord = *line.Value("-audiofile");
    const std::string sound = HostOf(facts, soundWord);
    const FileFacts* soundFacts = ask->fit ? FactsOf(facts, soundWord) : nullptr;
    if (ask->fit && !soundFacts)
        return std::nullopt;
    const Fitting fitting = ask->fit ? FitOf(soundFacts->source.duration, piece.Seconds()) : Fitting{};
    std::vector<std::string> reads = video.reads;
    reads.push_back(sound);
    const std::string output = RunTarget(plan, HostOf(facts, *line.Value("-o")), reads, facts);

    std::vector<std::string> argv = FfmpegStart(facts.progress);
    Append(argv, video.arguments);
    if (fitting.loop)
        Append(argv, {"-stream_loop", "-1"});
    Append(argv, {"-i", FileArgument(sound), "-filter_complex", SoundGraph(*ask, fitting, piece, clipSound), "-map",
        "0:v:0", "-c:v", "copy", "-map", "[mixed]", "-c:a", "pcm_s16le", "-ar", std::to_string(piece.sampleRate),
        "-ac", "2"});
    Append(argv, {"-map_metadata", "-1", "-metadata", "comment=" + PieceTag(piece), "-f", PieceContainer(piece.codec),
        output});
    plan.runs.push_back(Planned(std::move(argv), output, facts, piece.frames, piece.rate));
    return std::move(plan);
}

} // namespace cwtools::planning

// How croutons meet: a crouton's piece faded from and to black, its head
// and tail (the stretches it gives to the transitions either side) cut off
// into short lossless pieces of their own, and the transition between two
// croutons made from the tail of one and the head of the next:
//   crouton     mencoder SRC ... [-fadein S] [-fadeout S] [-head S] [-tail S]
//   transition  mencoder TAIL HEAD -o OUT -transition XFADE:S <the croutons' encoder options>
// A crouton's fades belong to its whole stretch as it is seen, its head and
// tail included: the stretch is faded first and cut afterwards, so a fade
// runs on through the transition beside it. The transition piece is made
// with the croutons' own encoder settings, so that a join copies it as it
// copies their pieces.

#include "tools/tool_plan_parts.h"

#include "os/dos.h"
#include "os/format.h"
#include "tools/render_support.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace cwtools::planning {

namespace {

// No fade, head or tail is longer than an hour.
constexpr double kLongestSeconds = 3600;

// The whole frames nearest to `seconds`.
long long FramesOf(double seconds, const Rate& rate)
{
    return std::max(0LL, static_cast<long long>(std::llround(seconds * rate.Value())));
}

// The stretches of short lossless pieces: quick to write and read, and no
// loss before the transition encodes them once more.
const std::vector<std::string>& LosslessEncoder()
{
    static const std::vector<std::string> arguments = {"-c:v", "utvideo", "-pix_fmt", "yuv420p"};
    return arguments;
}
constexpr const char* kLosslessCodec = "utvideo";

// The fades of a picture of `frames`: the first frame black, rising over
// `fadeIn`; falling over `fadeOut` to a black last frame.
std::string PictureFades(const PieceJoins& joins, const Rate& rate, long long frames)
{
    std::string fades;
    if (const long long in = std::min(FramesOf(joins.fadeIn, rate), frames); in > 0)
        fades += ",fade=t=in:s=0:n=" + std::to_string(in);
    if (const long long out = std::min(FramesOf(joins.fadeOut, rate), frames); out > 0) {
        const long long steps = std::max(1LL, out - 1);
        fades += ",fade=t=out:s=" + std::to_string(std::max(0LL, frames - 1 - steps)) + ":n=" + std::to_string(steps);
    }
    return fades;
}

std::string SoundFades(const PieceJoins& joins, const PieceFacts& piece)
{
    std::string fades;
    const long long in = std::min(SamplesFor(FramesOf(joins.fadeIn, piece.rate), piece.rate, piece.sampleRate), piece.samples);
    if (in > 0)
        fades += ",afade=t=in:ss=0:ns=" + std::to_string(in);
    const long long out = std::min(SamplesFor(FramesOf(joins.fadeOut, piece.rate), piece.rate, piece.sampleRate), piece.samples);
    if (out > 0)
        fades += ",afade=t=out:ss=" + std::to_string(piece.samples - out) + ":ns=" + std::to_string(out);
    return fades;
}

// One stretch of a crouton's picture written to a file of its own.
struct Stretch {
    std::string label;
    long long from = 0; // frames
    long long to = 0;
    std::string path;
    const std::vector<std::string>* encoder = nullptr;
    std::string codec;
};

// "[0:v:0]...,split=3[va][vb][vc]" and the labels' own trims, for video
// (`a` empty) or sound (`a` "a", trims counted in samples).
std::string Branches(const std::string& a, const std::vector<Stretch>& stretches, const PieceFacts& piece)
{
    std::string graph = stretches.size() > 1 ? "," + a + "split=" + std::to_string(stretches.size()) : ",null";
    if (!a.empty() && stretches.size() == 1)
        graph = ",anull";
    for (const Stretch& stretch : stretches)
        graph += "[" + a + "in" + stretch.label + "]";
    for (const Stretch& stretch : stretches) {
        const bool sound = !a.empty();
        const long long from = sound ? SamplesFor(stretch.from, piece.rate, piece.sampleRate) : stretch.from;
        const long long to = sound ? SamplesFor(stretch.to, piece.rate, piece.sampleRate) : stretch.to;
        const std::string unit = sound ? "_sample=" : "_frame=";
        graph += ";[" + a + "in" + stretch.label + "]" + a + "trim=start" + unit + std::to_string(from) + ":end" + unit
            + std::to_string(to) + "," + a + "setpts=PTS-STARTPTS[" + a + "out" + stretch.label + "]";
    }
    return graph;
}

// "NAME:SECONDS" of "-transition": the xfade transition and its length.
std::optional<std::pair<std::string, double>> ReadTransition(const MencoderLine& line)
{
    const std::string text = line.ValueOr("-transition", "");
    const std::size_t colon = text.find(':');
    if (colon == 0 || colon == std::string::npos)
        return std::nullopt;
    const std::string name = text.substr(0, colon);
    // The name goes into a filter graph: letters only.
    if (name.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos)
        return std::nullopt;
    const auto seconds = ParseNumber(text.substr(colon + 1));
    if (!seconds || *seconds <= 0 || *seconds > kLongestSeconds)
        return std::nullopt;
    return std::make_pair(name, *seconds);
}

std::string ShapeOf(const PieceFacts& piece)
{
    return piece.darNum > 0 ? "setdar=" + std::to_string(piece.darNum) + "/" + std::to_string(piece.darDen)
                            : "setsar=1";
}

} // namespace

std::optional<PieceJoins> ReadPieceJoins(const MencoderLine& line)
{
    static const std::pair<const char*, double PieceJoins::*> rows[] = {
        {"-fadein", &PieceJoins::fadeIn},
        {"-fadeout", &PieceJoins::fadeOut},
        {"-head", &PieceJoins::head},
        {"-tail", &PieceJoins::tail},
    };
    PieceJoins joins;
    for (const auto& [option, field] : rows) {
        const auto text = line.Value(option);
        if (!text)
            continue;
        const auto seconds = ParseNumber(*text);
        if (!seconds || *seconds < 0 || *seconds > kLongestSeconds)
            return std::nullopt;
        joins.*field = *seconds;
    }
    return joins;
}

void FinishJoinedPiece(ToolPlan& plan, std::vector<std::string> argv, const PieceOutput& out, const PieceJoins& joins,
    const LineFacts& facts)
{
    const PieceFacts& whole = out.piece;
    const long long frames = whole.frames;
    // Each gives at most half the stretch; the piece itself keeps a frame
    // at least, which a crouton given whole to the transitions either side
    // takes from its tail.
    long long head = std::min(FramesOf(joins.head, whole.rate), frames / 2);
    long long tail = std::min(FramesOf(joins.tail, whole.rate), frames / 2);
    if (head + tail >= frames && tail > 0)
        tail = std::max(0LL, frames - 1 - head);
    if (head + tail >= frames)
        head = std::max(0LL, frames - 1);
    std::vector<Stretch> stretches = {{"b", head, frames - tail, out.output, &out.encoder, whole.codec}};
    if (head > 0)
        stretches.push_back({"h", 0, head, ToolPath(kHeadStretch), &LosslessEncoder(), kLosslessCodec});
    if (tail > 0)
        stretches.push_back({"t", frames - tail, frames, ToolPath(kTailStretch), &LosslessEncoder(), kLosslessCodec});
    const bool sound = !out.soundMap.empty();

    std::string graph = "[0:v:0]" + PictureChain(out.filters, whole.rate, frames);
    // A title goes over the picture before the fades, which take it to black
    // with everything else.
    if (!out.overlay.empty())
        graph += ",setpts=PTS-STARTPTS[piece];" + out.overlay + ";[titled]null";
    graph += PictureFades(joins, whole.rate, frames) + Branches("", stretches, whole);
    if (sound)
        graph += ";[" + out.soundMap + "]" + SoundChain(whole.sampleRate, whole.samples, out.soundFirst)
            + SoundFades(joins, whole) + Branches("a", stretches, whole);
    Append(argv, {"-filter_complex", graph});

    PlannedRun run;
    for (const Stretch& stretch : stretches) {
        PieceFacts piece = whole;
        piece.frames = stretch.to - stretch.from;
        piece.samples = sound ? SamplesFor(stretch.to, whole.rate, whole.sampleRate)
                - SamplesFor(stretch.from, whole.rate, whole.sampleRate)
                              : 0;
        piece.codec = stretch.codec;
        Append(argv, {"-map", "[out" + stretch.label + "]", "-fps_mode", "cfr"});
        Append(argv, *stretch.encoder);
        if (sound)
            Append(argv, {"-map", "[aout" + stretch.label + "]", "-c:a", "pcm_s16le", "-ar",
                std::to_string(whole.sampleRate), "-ac", "2"});
        else
            argv.push_back("-an");
        // The stretches given to transitions are read by them alone.
        Append(argv, PieceFileOptions(piece, stretch.path, &stretch == &stretches.front()));
    }
    // The piece is the run's output; the progress counts its frames.
    PlannedRun planned = Planned(std::move(argv), out.output, facts, frames - head - tail, whole.rate);
    for (std::size_t i = 1; i < stretches.size(); ++i)
        planned.run.watch.push_back(stretches[i].path);
    plan.runs.push_back(std::move(planned));
}

bool RecognisesTransition(const MencoderLine& line)
{
    return line.inputs.size() == 2 && line.Has("-o") && line.ValueOr("-oac", "pcm") == "pcm"
        && OnlyOptions(line, {"-o", "-oac", "-ovc", "-lavcopts", "-x264encopts", "-vf", "-ofps", "-srate", "-nosound",
                                 "-transition"})
        && ReadTransition(line) && EncoderOf(line);
}

std::optional<ToolPlan> PlanTransition(const MencoderLine& line, const LineFacts& facts)
{
    const FileFacts* tail = FactsOf(facts, line.inputs[0]);
    const FileFacts* head = FactsOf(facts, line.inputs[1]);
    const auto encoder = EncoderOf(line);
    const auto transition = ReadTransition(line);
    if (!tail || !head || !encoder || !transition || tail->kind != FileFacts::Kind::Piece
        || head->kind != FileFacts::Kind::Piece)
        return std::nullopt;
    PieceFacts piece = encoder->format;
    const Rate& rate = piece.rate;
    const bool sound = piece.sampleRate > 0;
    // Both stretches as the croutons' pieces hold them.
    for (const FileFacts* stretch : {tail, head})
        if (stretch->piece.width != piece.width || stretch->piece.height != piece.height || !(stretch->piece.rate == rate)
            || (sound && stretch->piece.sampleRate != piece.sampleRate))
            return std::nullopt;
    // The transition runs over the shorter stretch; the head goes on after
    // it, so the piece lasts as long as the head.
    const long long overlap = std::min({tail->piece.frames, head->piece.frames, std::max(1LL, FramesOf(transition->second, rate))});
    piece.frames = head->piece.frames;
    piece.samples = sound ? SamplesFor(piece.frames, rate, piece.sampleRate) : 0;

    ToolPlan plan;
    plan.operation = "transition";
    const std::string output = RunTarget(plan, HostOf(facts, *line.Value("-o")), {tail->path, head->path}, facts);
    std::vector<std::string> argv = FfmpegStart(facts.progress);
    Append(argv, {"-i", FileArgument(tail->path), "-i", FileArgument(head->path)});
    const std::string even = ",fps=" + rate.Text() + ",format=yuv420p,setsar=1";
    std::string graph = "[0:v:0]trim=end_frame=" + std::to_string(overlap) + ",setpts=PTS-STARTPTS" + even
        + "[a];[1:v:0]setpts=PTS-STARTPTS" + even + "[b];[a][b]xfade=transition=" + transition->first + ":duration="
        + Decimal(static_cast<double>(overlap) / rate.Value()) + ":offset=0,"
        + PictureChain(ShapeOf(piece), rate, piece.frames) + "[v]";
    if (sound) {
        // Quarter-sine curves keep the power even across the crossfade.
        const std::string samples = std::to_string(SamplesFor(overlap, rate, piece.sampleRate));
        graph += ";[0:a:0]atrim=end_sample=" + samples + ",asetpts=PTS-STARTPTS[x];[1:a:0]asetpts=PTS-STARTPTS[y];"
                 "[x][y]acrossfade=ns=" + samples + ":c1=qsin:c2=qsin,"
            + SoundChain(piece.sampleRate, piece.samples) + "[s]";
    }
    Append(argv, {"-filter_complex", graph, "-map", "[v]", "-fps_mode", "cfr"});
    Append(argv, encoder->arguments);
    if (sound)
        Append(argv, {"-map", "[s]", "-c:a", "pcm_s16le", "-ar", std::to_string(piece.sampleRate), "-ac", "2"});
    else
        argv.push_back("-an");
    Append(argv, PieceFileOptions(piece, output));
    plan.runs.push_back(Planned(std::move(argv), output, facts, piece.frames, rate));
    return plan;
}

} // namespace cwtools::planning

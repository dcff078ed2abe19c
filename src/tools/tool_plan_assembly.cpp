// The plans of the lines that work on what the encodes wrote: the join,
// which lists pieces without copying them (and encodes again only a piece
// unlike the others), the soundtrack step and the finish, which write one
// real file from the pieces.

#include "tools/tool_plan_parts.h"
#include "tools/sound_lane.h"

namespace cwtools::planning {

// ---- join -------------------------------------------------------------

bool RecognisesJoin(const MencoderLine& line)
{
    return line.inputs.size() == 2 && line.ValueOr("-ovc", "") == "lavc" && line.ValueOr("-oac", "") == "pcm"
        && line.Has("-o") && OnlyOptions(line, {"-o", "-oac", "-ovc"});
}

std::vector<std::string> JoinInputs(const MencoderLine& line)
{
    return line.inputs;
}

// The format a join keeps: that of its first piece of ours, else of the
// first file.
PieceFacts JoinFormat(const FileFacts& a, const FileFacts& b)
{
    for (const FileFacts* file : {&a, &b}) {
        if (file->kind == FileFacts::Kind::Piece)
            return file->piece;
        if (file->kind == FileFacts::Kind::Assembly)
            return file->pieces.front().facts;
    }
    PieceFacts format;
    format.width = a.source.width;
    format.height = a.source.height;
    format.rate = a.source.frameRate.value_or(Rate{});
    format.sampleRate = a.source.hasAudio || b.source.hasAudio ? kDefaultSampleRate : 0;
    return format;
}

// A file brought to the join's format by encoding it again.
std::optional<std::pair<PlannedRun, PieceFacts>> Normalise(const std::string& path, double seconds, bool hasAudio,
    const PieceFacts& format, const std::string& target, const LineFacts& facts)
{
    const long long frames = FramesFor(seconds, format.rate);
    if (frames <= 0 || format.width <= 0 || format.height <= 0)
        return std::nullopt;
    PieceFacts piece = format;
    piece.frames = frames;
    piece.samples = format.sampleRate > 0 ? SamplesFor(frames, format.rate, format.sampleRate) : 0;
    std::vector<std::string> argv = FfmpegStart(facts.progress);
    Append(argv, {"-i", FileArgument(path)});
    const bool silence = format.sampleRate > 0 && !hasAudio;
    if (silence)
        Append(argv, SilenceInput(format.sampleRate));
    const std::string shape = format.darNum > 0
        ? "setdar=" + std::to_string(format.darNum) + "/" + std::to_string(format.darDen)
        : "setsar=1";
    Append(argv, PiecePicture("scale=" + std::to_string(format.width) + ":" + std::to_string(format.height) + ","
        + shape, format.rate, frames));
    // At a fixed high quality: the join has no rate of its own to keep.
    if (format.codec == "h264")
        Append(argv, {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p"});
    else if (format.codec == "vp9")
        Append(argv, {"-c:v", "libvpx-vp9", "-crf", "24", "-b:v", "0", "-deadline", "realtime", "-cpu-used", "8",
            "-row-mt", "1", "-pix_fmt", "yuv420p"});
    else
        Append(argv, {"-c:v", "mpeg4", "-q:v", "2"});
    if (format.sampleRate > 0)
        Append(argv, PieceSound(silence ? "1:a:0" : "0:a:0", format.sampleRate, piece.samples));
    else
        argv.push_back("-an");
    Append(argv, PieceFileOptions(piece, target));
    return std::make_pair(Planned(std::move(argv), target, facts, frames, format.rate), piece);
}

std::optional<ToolPlan> PlanJoin(const MencoderLine& line, const LineFacts& facts)
{
    const FileFacts* a = FactsOf(facts, line.inputs[0]);
    const FileFacts* b = FactsOf(facts, line.inputs[1]);
    if (!a || !b)
        return std::nullopt;
    const PieceFacts format = JoinFormat(*a, *b);
    ToolPlan plan;
    plan.operation = "join";
    // Pieces of an earlier rendering are no longer needed once a new
    // assembly begins.
    plan.clearStore = a->kind != FileFacts::Kind::Assembly && b->kind != FileFacts::Kind::Assembly;
    long long number = facts.nextPiece;
    std::vector<AssemblyPiece> pieces;
    for (const FileFacts* file : {a, b}) {
        if (file->kind == FileFacts::Kind::Piece && file->piece.SameFormat(format)) {
            // The streams are copied as they are: a link costs nothing.
            const std::string target = StorePiece(facts, number++);
            plan.links.push_back({file->path, target});
            if (HostFileExists(SoundBeside(file->path)))
                plan.links.push_back({SoundBeside(file->path), SoundBeside(target)});
            pieces.push_back({target, file->piece});
            continue;
        }
        if (file->kind == FileFacts::Kind::Assembly) {
            for (const AssemblyPiece& piece : file->pieces) {
                if (piece.facts.SameFormat(format)) {
                    pieces.push_back(piece);
                    continue;
                }
                const std::string target = StorePiece(facts, number++);
                auto run = Normalise(piece.path, piece.facts.Seconds(), piece.facts.sampleRate > 0, format, target, facts);
                if (!run)
                    return std::nullopt;
                pieces.push_back({target, run->second});
                plan.runs.push_back(std::move(run->first));
            }
            continue;
        }
        const double seconds = file->kind == FileFacts::Kind::Piece ? file->piece.Seconds() : file->source.pictureDuration;
        const bool hasAudio = file->kind == FileFacts::Kind::Piece ? file->piece.sampleRate > 0 : file->source.hasAudio;
        const std::string target = StorePiece(facts, number++);
        auto run = Normalise(file->path, seconds, hasAudio, format, target, facts);
        if (!run)
            return std::nullopt;
        pieces.push_back({target, run->second});
        plan.runs.push_back(std::move(run->first));
    }
    plan.assembly.emplace(HostOf(facts, *line.Value("-o")), AssemblyText(pieces));
    return plan;
}

// ---- soundtrack and finish --------------------------------------------

std::optional<VideoInput> ReadVideo(const FileFacts& file, ToolPlan& plan, const LineFacts& facts)
{
    VideoInput input;
    input.reads = {file.path};
    if (file.kind == FileFacts::Kind::Assembly) {
        std::string script = "ffconcat version 1.0\n";
        input.format = file.pieces.front().facts;
        input.format.frames = 0;
        input.format.samples = 0;
        for (const AssemblyPiece& piece : file.pieces) {
            // The exact length of each piece keeps the timestamps exact.
            script += "file " + ConcatQuote(piece.path) + "\nduration " + Decimal(piece.facts.Seconds(), 9) + "\n";
            input.format.frames += piece.facts.frames;
            input.format.samples += piece.facts.samples;
            input.reads.push_back(piece.path);
        }
        plan.scripts.emplace_back(facts.scratch, script);
        input.arguments = {"-f", "concat", "-safe", "0", "-i", facts.scratch};
        input.ours = true;
        return input;
    }
    input.arguments = {"-i", FileArgument(file.path)};
    if (file.kind == FileFacts::Kind::Piece) {
        input.format = file.piece;
        input.ours = true;
        return input;
    }
    const SourceFacts& source = file.source;
    if (!source.hasVideo)
        return std::nullopt;
    input.format.width = source.width;
    input.format.height = source.height;
    input.format.codec = source.videoCodec;
    input.format.rate = source.frameRate.value_or(Rate{});
    input.format.frames = source.frameRate ? FramesFor(source.pictureDuration, *source.frameRate) : 0;
    input.format.sampleRate = source.hasAudio ? kDefaultSampleRate : 0;
    return input;
}

bool RecognisesSoundtrack(const MencoderLine& line)
{
    return line.inputs.size() == 1 && line.ValueOr("-ovc", "") == "copy" && line.Has("-audiofile") && line.Has("-o")
        && OnlyOptions(line, {"-o", "-oac", "-ovc", "-audiofile", "-cliplevel", "-duck", "-fit", "-fadein", "-fadeout"});
}

std::optional<VideoPlan> OpenVideoPlan(const MencoderLine& line, const LineFacts& facts, const char* operation)
{
    const FileFacts* file = FactsOf(facts, line.inputs[0]);
    if (!file)
        return std::nullopt;
    ToolPlan plan;
    plan.operation = operation;
    auto video = ReadVideo(*file, plan, facts);
    if (!video)
        return std::nullopt;
    return VideoPlan{file, std::move(plan), std::move(*video)};
}

std::optional<ToolPlan> PlanSoundtrack(const MencoderLine& line, const LineFacts& facts)
{
    if (AsksSoundMix(line))
        return PlanSoundMix(line, facts);
    auto opened = OpenVideoPlan(line, facts, "soundtrack");
    if (!opened || opened->video.format.frames <= 0)
        return std::nullopt;
    ToolPlan& plan = opened->plan;
    const VideoInput* video = &opened->video;
    PieceFacts piece = video->format;
    piece.sampleRate = kDefaultSampleRate;
    piece.samples = SamplesFor(piece.frames, piece.rate, piece.sampleRate);
    const std::string sound = HostOf(facts, *line.Value("-audiofile"));
    std::vector<std::string> reads = video->reads;
    reads.push_back(sound);
    const std::string output = RunTarget(plan, HostOf(facts, *line.Value("-o")), reads, facts);

    // The sound stays lossless here: the finish compresses it once.
    std::vector<std::string> argv = FfmpegStart(facts.progress);
    Append(argv, video->arguments);
    Append(argv, {"-i", FileArgument(sound), "-map", "0:v:0", "-c:v", "copy"});
    Append(argv, PieceSound("1:a:0", piece.sampleRate, piece.samples));
    Append(argv, {"-map_metadata", "-1", "-metadata", "comment=" + PieceTag(piece), "-f", PieceContainer(piece.codec),
        output});
    plan.runs.push_back(Planned(std::move(argv), output, facts, piece.frames, piece.rate));
    return std::move(plan);
}

bool RecognisesFinish(const MencoderLine& line)
{
    // The sound as mencoder would compress it: "-oac lavc" (with
    // "-lavcopts acodec=...") or "-oac faac"; "-of lavf -lavfopts format=..."
    // names the container the output's name asks for.
    const std::string oac = line.ValueOr("-oac", "");
    return line.inputs.size() == 1 && line.ValueOr("-ovc", "") == "copy" && (oac == "lavc" || oac == "faac")
        && line.ValueOr("-of", "lavf") == "lavf" && line.Has("-o") && !line.Has("-audiofile")
        && OnlyOptions(line, {"-o", "-oac", "-ovc", "-faacopts", "-lavcopts", "-of", "-lavfopts"});
}

std::optional<ToolPlan> PlanFinish(const MencoderLine& line, const LineFacts& facts)
{
    auto opened = OpenVideoPlan(line, facts, "finish");
    if (!opened)
        return std::nullopt;
    ToolPlan& plan = opened->plan;
    const VideoInput* video = &opened->video;
    const FileFacts* file = opened->file;
    const std::string container = ContainerForName(*line.Value("-o"));
    const FinishSound* sound = FinishSoundOf(container);
    const std::string output = RunTarget(plan, HostOf(facts, *line.Value("-o")), video->reads, facts);

    std::vector<std::string> argv = FfmpegStart(facts.progress);
    Append(argv, video->arguments);
    // The sound the render compressed while its pieces were made.
    std::optional<std::string> compressed;
    if (video->format.sampleRate > 0 && file->kind == FileFacts::Kind::Assembly && facts.compressedSound)
        compressed = facts.compressedSound(file->pieces, container);
    if (compressed)
        Append(argv, {"-i", FileArgument(*compressed)});
    Append(argv, {"-map", "0:v:0", "-c:v", "copy"});
    if (compressed) {
        Append(argv, {"-map", "1:a:0", "-c:a", "copy"});
        plan.consumed.push_back(*compressed);
    } else if (video->format.sampleRate > 0) {
        Append(argv, {"-map", "0:a:0"});
        if (!video->ours && file->source.audioCodec == sound->codec)
            Append(argv, {"-c:a", "copy"});
        else
            Append(argv, sound->words);
    } else {
        argv.push_back("-an");
    }
    // MP4 and QuickTime files keep their index at the front, so that they
    // play while they are still loading.
    if (container == "mp4" || container == "mov")
        Append(argv, {"-movflags", "+faststart"});
    Append(argv, {"-map_metadata", "-1", "-f", container, output});
    plan.runs.push_back(Planned(std::move(argv), output, facts, video->format.frames, video->format.rate));
    if (file->kind == FileFacts::Kind::Assembly)
        for (const AssemblyPiece& piece : file->pieces) {
            plan.consumed.push_back(piece.path);
            plan.consumed.push_back(SoundBeside(piece.path));
        }
    return std::move(plan);
}

} // namespace cwtools::planning

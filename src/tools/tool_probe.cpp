// What the media tools find out by looking: ffprobe's view of a file from
// elsewhere (once per file as it stands), the facts of the tool's own pieces
// and assemblies read from the files themselves, and the running of a
// planned ffmpeg run with the check that it wrote everything.

#include "tools/tool_media.h"
#include "tools/tool_plan_parts.h"

#include "os/cache_store.h"
#include "os/command.h"
#include "tools/probe_memory.h"
#include "tools/render_support.h"
#include "os/dos.h"
#include "os/work.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace cwtools {
namespace {

using planning::Split;

long long WholeOr(const std::string& text, long long fallback)
{
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    return end == text.c_str() ? fallback : value;
}

double NumberOr(const std::string& text, double fallback)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return end == text.c_str() ? fallback : value;
}

// The length of the first picture stream as its frames at `rate` make it,
// read by counting its packets (no decoding); 0 when it cannot be told.
double CountedPictureSeconds(const std::string& hostPath, const Rate& rate, ToolCall& call)
{
    HostRun run;
    run.argv = {"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
        "stream=nb_read_packets", "-of", "csv=p=0", FileArgument(hostPath)};
    const HostResult result = RunProbeOf(call, run, hostPath, LibraryPacketCount);
    if (result.code != 0)
        return 0;
    const double packets = NumberOr(result.output, 0);
    return packets > 0 ? packets / rate.Value() : 0;
}

SourceFacts RunProbe(const std::string& hostPath, ToolCall& call)
{
    HostRun run;
    run.argv = {"ffprobe", "-v", "error", "-show_entries",
        "stream=codec_type,codec_name,width,height,r_frame_rate,avg_frame_rate,bit_rate,duration,sample_aspect_ratio,"
        "start_time,field_order:stream_side_data=rotation:format=duration,bit_rate,start_time,format_name",
        "-of", "compact", FileArgument(hostPath)};
    const HostResult result = RunProbeOf(call, run, hostPath, LibraryFacts);
    SourceFacts facts;
    if (result.code != 0)
        return facts;
    facts.readable = true;
    long long formatBitrate = 0;
    double videoDuration = 0;
    for (const std::string& text : Split(result.output, '\n')) {
        const std::vector<std::string> fields = Split(text, '|');
        std::map<std::string, std::string> entry;
        for (std::size_t i = 1; i < fields.size(); ++i) {
            const std::size_t equals = fields[i].find('=');
            if (equals != std::string::npos)
                entry[fields[i].substr(0, equals)] = fields[i].substr(equals + 1);
        }
        if (fields[0] == "format") {
            facts.duration = NumberOr(entry["duration"], 0);
            formatBitrate = WholeOr(entry["bit_rate"], 0);
            facts.fileStart = NumberOr(entry["start_time"], 0);
            facts.container = entry["format_name"];
        } else if (fields[0] == "stream" && entry["codec_type"] == "video" && !facts.hasVideo) {
            facts.hasVideo = true;
            facts.videoCodec = entry["codec_name"];
            facts.width = static_cast<int>(WholeOr(entry["width"], 0));
            facts.height = static_cast<int>(WholeOr(entry["height"], 0));
            // The nominal rate, unless it is a container's time base.
            facts.frameRate = ParseRate(entry["r_frame_rate"]);
            if (!facts.frameRate || facts.frameRate->Value() > 240)
                facts.frameRate = ParseRate(entry["avg_frame_rate"]);
            facts.videoBitrate = WholeOr(entry["bit_rate"], 0);
            const std::vector<std::string> aspect = Split(entry["sample_aspect_ratio"], ':');
            if (aspect.size() == 2 && NumberOr(aspect[0], 0) > 0 && NumberOr(aspect[1], 0) > 0)
                facts.pixelAspect = NumberOr(aspect[0], 0) / NumberOr(aspect[1], 0);
            videoDuration = NumberOr(entry["duration"], 0);
            facts.pictureStart = NumberOr(entry["start_time"], 0);
            facts.fieldOrder = entry["field_order"];
            // "16:15"; "0:1" or none when the file does not say.
            const std::vector<std::string> sar = Split(entry["sample_aspect_ratio"], ':');
            if (sar.size() == 2) {
                const long long num = WholeOr(sar[0], 0);
                const long long den = WholeOr(sar[1], 0);
                if (num > 0 && den > 0 && num <= 100000 && den <= 100000) {
                    facts.sarNum = static_cast<int>(num);
                    facts.sarDen = static_cast<int>(den);
                }
            }
            // The display matrix's turn is counter-clockwise.
            const long long rotation = WholeOr(entry["rotation"], 0) % 360;
            facts.rotation = static_cast<int>((360 - rotation) % 360);
        } else if (fields[0] == "stream" && entry["codec_type"] == "audio" && !facts.hasAudio) {
            facts.hasAudio = true;
            facts.audioCodec = entry["codec_name"];
            facts.audioBitrate = WholeOr(entry["bit_rate"], 0);
        }
    }
    // A container that keeps no length per stream (Matroska, WebM) gives
    // the whole file's, which a longer sound stretches: the picture lasts
    // its frames.
    if (facts.hasVideo && !(videoDuration > 0) && facts.frameRate)
        videoDuration = CountedPictureSeconds(hostPath, *facts.frameRate, call);
    facts.pictureDuration = videoDuration > 0 ? videoDuration : facts.duration;
    // A container that keeps no rate per stream: the picture has what the
    // sound leaves of the whole.
    if (facts.hasVideo && facts.videoBitrate <= 0 && formatBitrate > 0)
        facts.videoBitrate = std::max(0LL, formatBitrate - facts.audioBitrate);
    return facts;
}

std::string ReadHead(const std::string& hostPath, std::size_t size)
{
    FileDescriptor file(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
    std::string head(size, '\0');
    if (!file.Valid())
        return {};
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(file.Get(), head.data() + got, size - got);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    head.resize(got);
    return head;
}

// The newest frame count in ffmpeg's progress file; -1 when none.
long long ProgressFrames(const std::string& progressFile)
{
    const auto text = ReadHostFile(progressFile);
    if (!text)
        return -1;
    const std::size_t at = text->rfind("frame=");
    if (at == std::string::npos)
        return -1;
    return WholeOr(text->substr(at + 6, 24), -1);
}

} // namespace

SourceFacts ProbeSource(const std::string& hostPath, ToolCall& call)
{
    // Encodes side by side probe their sources on threads of their own.
    static std::mutex guard;
    // A file as it stands: the same device, inode, size and time mean the
    // same content.
    static std::map<std::string, SourceFacts> cache;
    const auto key = FileStamp(hostPath);
    if (!key)
        return {};
    {
        const std::lock_guard<std::mutex> lock(guard);
        const auto found = cache.find(*key);
        if (found != cache.end())
            return found->second;
    }
    SourceFacts facts = RunProbe(hostPath, call);
    if (facts.readable) {
        const std::lock_guard<std::mutex> lock(guard);
        cache[*key] = facts;
    }
    return facts;
}

FileFacts ExamineFile(const std::string& hostPath, ToolCall& call)
{
    FileFacts facts;
    facts.path = hostPath;
    struct stat info {};
    if (::stat(hostPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return facts;
    // Assemblies are short texts; a piece names itself in its first header.
    const std::string head = ReadHead(hostPath, 65536);
    if (head.rfind("cwassembly ", 0) == 0) {
        auto pieces = ReadAssembly(ReadHostFile(hostPath).value_or(std::string()));
        if (!pieces)
            return facts; // a list that cannot be read is no video
        facts.kind = FileFacts::Kind::Assembly;
        facts.pieces = std::move(*pieces);
        return facts;
    }
    if (auto pieces = ReadAssembly(head)) {
        facts.kind = FileFacts::Kind::Assembly;
        facts.pieces = std::move(*pieces);
        return facts;
    }
    // A piece is a file the tool wrote in this instance's T: folder; a file
    // from elsewhere whose header happens to hold a piece's text is the
    // ordinary file it is, and is probed.
    if (auto piece = InTemporaryFolder(hostPath) ? ReadPieceTag(head) : std::nullopt) {
        facts.kind = FileFacts::Kind::Piece;
        facts.piece = *piece;
        facts.source.readable = true;
        facts.source.hasVideo = true;
        facts.source.width = piece->width;
        facts.source.height = piece->height;
        facts.source.frameRate = piece->rate;
        facts.source.videoCodec = piece->codec;
        facts.source.hasAudio = piece->sampleRate > 0;
        facts.source.audioCodec = piece->sampleRate > 0 ? "pcm_s16le" : "";
        facts.source.duration = piece->Seconds();
        facts.source.pictureDuration = piece->Seconds();
        return facts;
    }
    facts.kind = FileFacts::Kind::Foreign;
    facts.source = ProbeSource(hostPath, call);
    return facts;
}

LONG CarryRun(const PlannedRun& planned, ToolCall& call)
{
    if (!planned.run.progressFile.empty())
        ::unlink(planned.run.progressFile.c_str());
    // The samples an earlier piece of this name left beside it may be
    // joined (linked) still, waiting to be compressed: the new piece's go
    // into a file of their own, never over them.
    if (InTemporaryFolder(planned.output))
        ::unlink(SoundBeside(planned.output).c_str());
    const HostResult result = RunTool(call, planned.run);
    if (result.code < 0)
        return -1;
    if (result.code != 0)
        return result.code;
    // A run that ends well must also have left all it had to: an output
    // cut short (a full disk) fails the run.
    struct stat info {};
    if (::stat(planned.output.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) {
        kprintf("ffmpeg left no output in %s.\n", planned.output.c_str());
        return RETURN_ERROR;
    }
    if (planned.expectedFrames > 0 && !planned.run.progressFile.empty()) {
        const long long frames = ProgressFrames(planned.run.progressFile);
        if (frames >= 0 && frames + 1 < planned.expectedFrames) {
            kprintf("ffmpeg wrote %lld of %lld frames; the output is incomplete.\n", frames, planned.expectedFrames);
            return RETURN_ERROR;
        }
    }
    return RETURN_OK;
}

} // namespace cwtools

std::optional<PictureShape> ProbePictureShape(std::string_view path)
{
    // A probe of its own, outside any command: only the user's cancel ends
    // it, and its error line is nobody's.
    ToolCall call;
    call.cancel = CommandCancel();
    const cwtools::SourceFacts facts = cwtools::ProbeSource(ToolPath(path), call);
    if (!facts.hasVideo || facts.width <= 0 || facts.height <= 0)
        return std::nullopt;
    PictureShape shape;
    shape.width = static_cast<double>(facts.width) * facts.sarNum / facts.sarDen;
    shape.height = facts.height;
    shape.rotation = facts.rotation;
    if (facts.rotation == 90 || facts.rotation == 270)
        std::swap(shape.width, shape.height);
    else if (facts.rotation != 180)
        shape.rotation = 0;
    return shape;
}

void ProbeAhead(const std::vector<std::string>& paths, int side)
{
    std::vector<std::string> hosts;
    for (const std::string& path : paths)
        if (std::string host = ToolPath(path); std::find(hosts.begin(), hosts.end(), host) == hosts.end())
            hosts.push_back(std::move(host));
    std::atomic<std::size_t> next{0};
    const RunCancel cancel = CommandCancel();
    const auto probe = [&hosts, &next, &cancel] {
        ToolCall call;
        call.cancel = cancel;
        for (std::size_t at = next++; at < hosts.size() && !cancel.Requested(); at = next++)
            cwtools::ProbeSource(hosts[at], call);
    };
    std::vector<std::jthread> others;
    for (int i = 1; i < side && static_cast<std::size_t>(i) < hosts.size(); ++i)
        others.emplace_back([&probe] {
            const WorkBeside beside(nullptr); // only the program's thread shows the wait
            probe();
        });
    probe();
}

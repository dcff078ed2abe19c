// Files read by libavformat in this process: the probes' questions,
// answered the way ffprobe prints them, and a piece's samples copied out
// (probe_library.h).
#include "tools/probe_library.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/log.h>
}

#include "os/format.h"
#include "os/work.h"
#include "process/process.h"
#include "tools/tools.h"

#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string_view>
#include <unistd.h>
#include <utility>

namespace cwtools {
namespace {

struct CloseInput {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using Input = std::unique_ptr<AVFormatContext, CloseInput>;

struct FreePacket {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

// The first stream of a kind, as "0:v:0" or "0:a:0" picks it; -1: none.
int FirstOf(const AVFormatContext* context, AVMediaType type)
{
    for (unsigned i = 0; i < context->nb_streams; ++i)
        if (context->streams[i]->codecpar->codec_type == type)
            return static_cast<int>(i);
    return -1;
}

// Reads every packet of the file in order, handing those of `stream` to
// `take`; false when reading fails before the end, the user cancels or
// `take` refuses one.
template <typename Take>
bool ReadPackets(AVFormatContext* context, int stream, const RunCancel& cancel, Take take)
{
    const std::unique_ptr<AVPacket, FreePacket> packet(av_packet_alloc());
    if (!packet)
        return false;
    for (;;) {
        const int read = av_read_frame(context, packet.get());
        if (read == AVERROR_EOF)
            return true;
        if (read < 0 || cancel.Requested())
            return false;
        const bool taken = packet->stream_index != stream || take(*packet);
        av_packet_unref(packet.get());
        if (!taken)
            return false;
    }
}

// Called by the library between its reads: a long one (every packet of a
// large Matroska file counted) lets the windows paint as a tool's run does.
int Interrupted(void* cancel)
{
    PollToolWait();
    return static_cast<const RunCancel*>(cancel)->Requested() ? 1 : 0;
}

// The file opened and its streams found as ffprobe opens them (every
// program of a transport stream scanned); none when that fails, which
// ffprobe reports itself.
Input Open(const std::string& hostPath, const RunCancel& cancel)
{
    // The library would otherwise print its warnings on our error output;
    // ffprobe is run with -v error and its output is its own.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    AVFormatContext* context = avformat_alloc_context();
    if (!context)
        return nullptr;
    context->interrupt_callback = {Interrupted, const_cast<RunCancel*>(&cancel)};
    AVDictionary* options = nullptr;
    av_dict_set(&options, "scan_all_pmts", "1", AV_DICT_DONT_OVERWRITE);
    const std::string url = FileArgument(hostPath);
    const int opened = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return nullptr; // the library freed the context
    Input input(context);
    if (avformat_find_stream_info(context, nullptr) < 0 || cancel.Requested())
        return nullptr;
    return input;
}

// ffprobe's ways of printing a value.
std::string Ratio(AVRational value, char between)
{
    return Format("%d%c%d", value.num, between, value.den);
}

std::string Time(std::int64_t stamp, AVRational base)
{
    return stamp == AV_NOPTS_VALUE ? "N/A" : Format("%f", static_cast<double>(stamp) * av_q2d(base));
}

// A whole file's length: none is as unknown as unset.
std::string Length(std::int64_t stamp, AVRational base)
{
    return stamp == 0 ? "N/A" : Time(stamp, base);
}

std::string Rate(std::int64_t bitsPerSecond)
{
    return bitsPerSecond > 0 ? std::to_string(bitsPerSecond) : "N/A";
}

// ffprobe's names of the ways fields are ordered; any other is "unknown".
constexpr std::pair<AVFieldOrder, const char*> kFieldOrders[] = {
    {AV_FIELD_PROGRESSIVE, "progressive"},
    {AV_FIELD_TT, "tt"},
    {AV_FIELD_BB, "bb"},
    {AV_FIELD_TB, "tb"},
    {AV_FIELD_BT, "bt"},
};

std::string FieldOrder(AVFieldOrder order)
{
    for (const auto& [known, name] : kFieldOrders)
        if (known == order)
            return name;
    return "unknown";
}

void Add(std::string& line, std::string_view key, const std::string& value)
{
    line.append("|").append(key).append("=").append(value);
}

std::string StreamLine(AVFormatContext* context, AVStream* stream)
{
    const AVCodecParameters* codec = stream->codecpar;
    std::string line = "stream";
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec->codec_id);
    Add(line, "codec_name", descriptor ? descriptor->name : "unknown");
    const char* type = av_get_media_type_string(codec->codec_type);
    Add(line, "codec_type", type ? type : "unknown");
    if (codec->codec_type == AVMEDIA_TYPE_VIDEO) {
        Add(line, "width", std::to_string(codec->width));
        Add(line, "height", std::to_string(codec->height));
        const AVRational aspect = av_guess_sample_aspect_ratio(context, stream, nullptr);
        Add(line, "sample_aspect_ratio", aspect.num ? Ratio(aspect, ':') : "N/A");
        Add(line, "field_order", FieldOrder(codec->field_order));
    }
    Add(line, "r_frame_rate", Ratio(stream->r_frame_rate, '/'));
    Add(line, "avg_frame_rate", Ratio(stream->avg_frame_rate, '/'));
    Add(line, "start_time", Time(stream->start_time, stream->time_base));
    Add(line, "duration", Time(stream->duration, stream->time_base));
    Add(line, "bit_rate", Rate(codec->bit_rate));
    for (int i = 0; i < stream->nb_side_data; ++i) {
        const AVPacketSideData& data = stream->side_data[i];
        line += "|side_data";
        if (data.type == AV_PKT_DATA_DISPLAYMATRIX && data.size >= 9 * 4) {
            const double turn = av_display_rotation_get(reinterpret_cast<const std::int32_t*>(data.data));
            Add(line, "rotation", std::to_string(static_cast<long long>(turn)));
        }
    }
    return line + "\n";
}

} // namespace

bool ReadsInProcess()
{
    const char* text = std::getenv("CLIPWEAVER_READ_WITH_TOOLS");
    return !(text && std::string_view(text) == "1");
}

std::optional<std::string> LibraryFacts(const std::string& hostPath, const RunCancel& cancel)
{
    const ToolWaitScope waiting;
    const Input input = Open(hostPath, cancel);
    if (!input)
        return std::nullopt;
    AVFormatContext* context = input.get();
    std::string text;
    for (unsigned i = 0; i < context->nb_streams; ++i)
        text += StreamLine(context, context->streams[i]);
    std::string format = "format";
    Add(format, "format_name", context->iformat->name);
    Add(format, "start_time", Time(context->start_time, AV_TIME_BASE_Q));
    Add(format, "duration", Length(context->duration, AV_TIME_BASE_Q));
    Add(format, "bit_rate", Rate(context->bit_rate));
    return text + format + "\n";
}

std::optional<std::string> LibraryPacketCount(const std::string& hostPath, const RunCancel& cancel)
{
    const ToolWaitScope waiting;
    const Input input = Open(hostPath, cancel);
    if (!input)
        return std::nullopt;
    const int picture = FirstOf(input.get(), AVMEDIA_TYPE_VIDEO);
    if (picture < 0)
        return std::string(); // nothing selected: ffprobe prints nothing
    long long count = 0;
    if (!ReadPackets(input.get(), picture, cancel, [&count](const AVPacket&) { return ++count > 0; }))
        return std::nullopt; // ffprobe tells what went wrong
    return std::to_string(count) + "\n";
}

bool LibraryCopySamples(const std::string& piece, const std::string& samples, const RunCancel& cancel)
{
    const ToolWaitScope waiting;
    const Input input = Open(piece, cancel);
    if (!input)
        return false;
    const int sound = FirstOf(input.get(), AVMEDIA_TYPE_AUDIO);
    if (sound < 0 || input->streams[sound]->codecpar->codec_id != AV_CODEC_ID_PCM_S16LE)
        return false;
    FileDescriptor out(::open(samples.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out.Valid())
        return false;
    const bool copied = ReadPackets(input.get(), sound, cancel, [&out](const AVPacket& packet) {
        return WriteAll(out.Get(), {reinterpret_cast<const char*>(packet.data), static_cast<std::size_t>(packet.size)});
    });
    if (!copied)
        ::unlink(samples.c_str());
    return copied;
}

} // namespace cwtools

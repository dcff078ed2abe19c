// The MPlayer tool's own answers: the screenshot run and the corrected probe
// answers, built from the command line and the facts without running
// anything.

#include "tools/tool_media.h"

#include "os/format.h"

#include <cstdlib>
#include <span>

namespace cwtools {
namespace {

std::vector<std::string> Lines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    const std::size_t start = text.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : text.substr(start);
}

} // namespace

std::optional<ScreenshotAsk> ReadScreenshotAsk(const std::vector<std::string>& arguments,
    const std::vector<std::string>& loadedFiles, std::string_view commands)
{
    bool screenshot = false;
    for (const std::string& line : Lines(commands)) {
        const std::string command = Trimmed(line);
        if (command == "screenshot" || command.rfind("screenshot ", 0) == 0)
            screenshot = true;
        else if (command.rfind("get_", 0) == 0)
            return std::nullopt; // a probe as well: the player answers that
    }
    if (!screenshot || loadedFiles.size() != 1)
        return std::nullopt;
    ScreenshotAsk ask;
    ask.file = loadedFiles.front();
    bool filtered = false;
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "-ss") {
            char* end = nullptr;
            const double position = std::strtod(arguments[i + 1].c_str(), &end);
            if (end == arguments[i + 1].c_str() || *end != '\0' || position < 0)
                return std::nullopt;
            ask.position = arguments[i + 1];
        } else if (arguments[i] == "-vf") {
            std::size_t pos = 0;
            const std::string& chain = arguments[i + 1];
            while (pos <= chain.size()) {
                const std::size_t end = std::min(chain.find(',', pos), chain.size());
                const std::string filter = chain.substr(pos, end - pos);
                pos = end + 1;
                if (filter == "screenshot") {
                    filtered = true;
                    continue;
                }
                std::string taken = filter;
                if (filter == "rotate=1" || filter == "rotate=2") {
                    taken = "transpose=" + filter.substr(7);
                    ask.turns = true;
                } else if (filter == "flip" || filter == "mirror") {
                    taken = filter == "flip" ? "vflip" : "hflip";
                    ask.turns = true;
                } else if (filter.rfind("expand=", 0) == 0) {
                    // A centred frame of black around the picture.
                    const std::string size = filter.substr(7);
                    const std::size_t colon = size.find(':');
                    if (colon == std::string::npos || size.find_first_not_of("0123456789:") != std::string::npos
                        || size.find(':', colon + 1) != std::string::npos)
                        return std::nullopt;
                    taken = "pad=" + size + ":(ow-iw)/2:(oh-ih)/2:black";
                } else if (filter.rfind("scale=", 0) != 0) {
                    return std::nullopt;
                }
                ask.filters += (ask.filters.empty() ? "" : ",") + taken;
            }
        }
    }
    if (!filtered)
        return std::nullopt;
    return ask;
}

HostRun ScreenshotRun(const ScreenshotAsk& ask, const std::string& hostFile, const std::string& target)
{
    HostRun run;
    run.argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-ss", ask.position};
    if (ask.turns)
        run.argv.push_back("-noautorotate");
    run.argv.insert(run.argv.end(), {"-i", FileArgument(hostFile), "-map", "0:v:0", "-frames:v", "1"});
    if (!ask.filters.empty())
        run.argv.insert(run.argv.end(), {"-vf", ask.filters});
    run.argv.insert(run.argv.end(), {"-f", "image2", "-c:v", "png", target});
    run.watch = {target};
    return run;
}

namespace {

// The player's names for the codecs ffprobe names; others as the player
// names what its ffmpeg decodes ("ff" and the name).
struct CodecName {
    std::string_view probed;
    std::string_view player;
};
constexpr CodecName kVideoCodecs[] = {
    {"h264", "ffh264"}, {"hevc", "ffhevc"}, {"mpeg4", "ffodivx"}, {"mpeg2video", "ffmpeg2"},
    {"mpeg1video", "ffmpeg1"}, {"msmpeg4v3", "ffdivx"}, {"mjpeg", "ffmjpeg"},
};
constexpr CodecName kAudioCodecs[] = {
    {"mp3", "mpg123"}, {"mp2", "mpg123"}, {"mp1", "mpg123"}, {"aac", "ffaac"}, {"ac3", "ffac3"},
};

std::string PlayerCodec(const std::string& probed, std::span<const CodecName> table)
{
    for (const CodecName& name : table)
        if (name.probed == probed)
            return std::string(name.player);
    if (probed.rfind("pcm_", 0) == 0)
        return "pcm";
    return "ff" + probed;
}

// A clip lasts as long as its picture: a sound that runs on past the last
// frame adds no frame to it.
double ClipSeconds(const SourceFacts& facts)
{
    return facts.hasVideo && facts.pictureDuration > 0 ? facts.pictureDuration : facts.duration;
}

} // namespace

std::optional<std::string> ProbeAnswers(std::string_view commands, const SourceFacts& facts)
{
    if (!facts.readable || !facts.hasVideo || !(facts.duration > 0))
        return std::nullopt;
    const std::string unavailable = "ANS_ERROR=PROPERTY_UNAVAILABLE\n";
    std::string output;
    int loads = 0;
    for (const std::string& line : Lines(commands)) {
        const std::string command = Trimmed(line);
        if (command.empty() || command == "pause" || command == "quit")
            continue;
        if (command.rfind("loadfile ", 0) == 0) {
            if (++loads > 1)
                return std::nullopt;
            continue;
        }
        if (command == "get_time_length") {
            output += "ANS_LENGTH=" + Decimal(ClipSeconds(facts), 2) + "\n";
            continue;
        }
        if (command.rfind("get_property ", 0) != 0)
            return std::nullopt;
        const std::string property = Trimmed(command.substr(13));
        if (property == "width")
            output += "ANS_width=" + std::to_string(facts.width) + "\n";
        else if (property == "height")
            output += "ANS_height=" + std::to_string(facts.height) + "\n";
        else if (property == "video_bitrate")
            output += "ANS_video_bitrate=" + std::to_string(facts.videoBitrate) + "\n";
        else if (property == "audio_bitrate")
            output += facts.hasAudio ? "ANS_audio_bitrate=" + std::to_string(facts.audioBitrate) + "\n" : unavailable;
        else if (property == "aspect" && facts.height > 0)
            output += "ANS_aspect=" + Format("%f", facts.width * (facts.pixelAspect > 0 ? facts.pixelAspect : 1.0)
                                                       / facts.height) + "\n";
        else if (property == "fps" && facts.frameRate)
            output += "ANS_fps=" + Format("%f", facts.frameRate->Value()) + "\n";
        else if (property == "video_codec")
            output += "ANS_video_codec=" + PlayerCodec(facts.videoCodec, kVideoCodecs) + "\n";
        else if (property == "audio_codec")
            output += facts.hasAudio ? "ANS_audio_codec=" + PlayerCodec(facts.audioCodec, kAudioCodecs) + "\n"
                                     : unavailable;
        else
            return std::nullopt;
    }
    if (loads != 1)
        return std::nullopt;
    return output;
}

std::string CorrectAnswers(std::string_view output, const SourceFacts& facts)
{
    // What ffprobe cannot read, the player's answers are all there is of.
    if (!facts.readable)
        return std::string(output);
    std::string corrected;
    std::size_t pos = 0;
    while (pos < output.size()) {
        const std::size_t end = output.find('\n', pos);
        const std::size_t lineEnd = end == std::string_view::npos ? output.size() : end;
        std::string line(output.substr(pos, lineEnd - pos));
        pos = lineEnd + 1;
        auto answer = [&line](std::string_view key) { return line.rfind(std::string("ANS_") + std::string(key) + "=", 0) == 0; };
        auto value = [&line]() { return std::atoll(line.c_str() + line.find('=') + 1); };
        if (answer("LENGTH") && facts.duration > 0) {
            line = "ANS_LENGTH=" + Decimal(ClipSeconds(facts), 2);
        } else if (answer("video_bitrate")) {
            const long long bits = facts.videoBitrate > 0 ? facts.videoBitrate : value() * 8;
            line = "ANS_video_bitrate=" + std::to_string(bits);
        } else if (answer("audio_bitrate")) {
            const long long bits = facts.audioBitrate > 0 ? facts.audioBitrate : value() * 8;
            line = "ANS_audio_bitrate=" + std::to_string(bits);
        }
        corrected += line;
        if (end != std::string_view::npos)
            corrected += '\n';
    }
    return corrected;
}

} // namespace cwtools

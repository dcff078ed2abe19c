// The mencoder tool. The program asks mencoder for four things, and Debian's
// mencoder gets several of them wrong (an ffmpeg-written AVI decodes as one
// frozen frame, "-oac lavc" fails for every codec, re-encoded joins of
// pieces with duplicated frames freeze, and some runs never exit after
// writing everything). So the four command lines are recognised and each is
// carried out with ffmpeg, which gives complete output:
//   1. encode a video crouton   mencoder SRC -o OUT ... -ovc lavc ... [-ss S] [-endpos L]
//   2. encode an image list     mencoder mf://@LIST -mf ...fps=F -o OUT ... -ovc lavc ...
//   3. join two videos          mencoder -oac pcm -ovc lavc -o OUT A B
//   4. lay a soundtrack         mencoder -oac lavc -ovc copy VIDEO -audiofile SOUND -o OUT
// Outputs are AVI files (mencoder's own container whatever the file name
// says) with MPEG-4 video; crouton pieces carry 16-bit stereo PCM at the
// "-srate" rate (44100 by default), so that pieces join without re-encoding.
// Any other mencoder line goes to the host's mencoder as it is, with its
// paths translated, "-oac lavc" replaced by MP3 and the hang guard on.

#include "platform/tools.h"

#include "platform/dos.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

namespace cwtools {
namespace {

// A mencoder line made of options this tool knows.
struct MencoderLine {
    std::vector<std::string> inputs;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;

    bool Has(const std::string& option) const { return values.count(option) != 0 || flags.count(option) != 0; }
    std::optional<std::string> Value(const std::string& option) const
    {
        const auto found = values.find(option);
        if (found == values.end())
            return std::nullopt;
        return found->second;
    }
};

const std::set<std::string>& KnownValueOptions()
{
    static const std::set<std::string> options = {"-o", "-oac", "-ovc", "-lavcopts", "-vf", "-ofps", "-fps",
        "-mc", "-ss", "-audio-delay", "-endpos", "-srate", "-audiofile", "-mf", "-audio-demuxer", "-rawaudio",
        "-demuxer"};
    return options;
}

std::optional<MencoderLine> ReadLine(const std::vector<std::string>& arguments)
{
    MencoderLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word.empty() || word[0] != '-') {
            line.inputs.push_back(word);
            continue;
        }
        if (word == "-zoom" || word == "-nosound") {
            line.flags.insert(word);
            continue;
        }
        if (KnownValueOptions().count(word) == 0 || i + 1 >= arguments.size() || line.values.count(word) != 0)
            return std::nullopt;
        line.values[word] = arguments[++i];
    }
    return line;
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

std::optional<double> Number(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0')
        return std::nullopt;
    return value;
}

std::string Format(double value)
{
    std::string text(64, '\0');
    const int length = std::snprintf(text.data(), text.size(), "%.6f", value);
    text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return text;
}

// The "-vf" chain as ffmpeg filters: scale and framestep carry over,
// harddup is what ffmpeg's constant-rate output does anyway. Any other
// filter makes the line one this tool does not take over.
std::optional<std::string> VideoFilters(const MencoderLine& line)
{
    std::vector<std::string> filters;
    if (const auto chain = line.Value("-vf")) {
        for (const std::string& filter : Split(*chain, ',')) {
            if (filter == "harddup")
                continue;
            if (filter == "scale" || filter.rfind("scale=", 0) == 0) {
                filters.push_back(filter);
                continue;
            }
            if (filter.rfind("framestep=", 0) == 0 && Number(filter.substr(10)).value_or(0) >= 1) {
                filters.push_back(filter);
                continue;
            }
            return std::nullopt;
        }
    }
    filters.push_back("setsar=1");
    std::string joined;
    for (const std::string& filter : filters)
        joined += (joined.empty() ? "" : ",") + filter;
    return joined;
}

// "-lavcopts": MPEG-4 only. vbitrate is in kbit/s, or in bit/s above 16000.
std::optional<std::vector<std::string>> VideoCodec(const MencoderLine& line)
{
    long long bitrate = 800000;
    std::vector<std::string> extra;
    if (const auto options = line.Value("-lavcopts")) {
        for (const std::string& option : Split(*options, ':')) {
            const std::size_t equals = option.find('=');
            const std::string key = option.substr(0, equals);
            const std::string value = equals == std::string::npos ? std::string() : option.substr(equals + 1);
            if (key == "vcodec") {
                if (value != "mpeg4")
                    return std::nullopt;
            } else if (key == "mbd") {
                extra.insert(extra.end(), {"-mbd", value});
            } else if (key == "trell") {
                extra.insert(extra.end(), {"-trellis", "1"});
            } else if (key == "vbitrate") {
                const auto number = Number(value);
                if (!number || *number <= 0)
                    return std::nullopt;
                bitrate = *number > 16000 ? static_cast<long long>(*number) : static_cast<long long>(*number * 1000);
            } else {
                return std::nullopt;
            }
        }
    }
    std::vector<std::string> arguments = {"-c:v", "mpeg4", "-b:v", std::to_string(bitrate)};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

// "-oac" as an ffmpeg audio codec. lavc (mencoder's default MP2, which
// fails on this host) and mp3lame both give MP3.
std::optional<std::vector<std::string>> AudioCodec(const std::string& oac)
{
    if (oac == "pcm")
        return std::vector<std::string>{"-c:a", "pcm_s16le"};
    if (oac == "lavc" || oac == "mp3lame")
        return std::vector<std::string>{"-c:a", "libmp3lame", "-b:a", "192k"};
    if (oac == "copy")
        return std::vector<std::string>{"-c:a", "copy"};
    return std::nullopt;
}

// The ffmpeg input options for an "-audiofile", with the raw format when
// "-audio-demuxer rawaudio" says so.
std::optional<std::vector<std::string>> AudioFileInput(const MencoderLine& line)
{
    std::vector<std::string> input;
    if (const auto demuxer = line.Value("-audio-demuxer")) {
        if (*demuxer != "rawaudio")
            return std::nullopt;
        std::string rate = "44100";
        std::string channels = "2";
        std::string format = "s16le";
        for (const std::string& option : Split(line.Value("-rawaudio").value_or(""), ':')) {
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
        if (format.empty() || !Number(rate) || !Number(channels))
            return std::nullopt;
        input = {"-f", format, "-ar", rate, "-ac", channels};
    }
    input.push_back("-i");
    input.push_back(ToolPath(*line.Value("-audiofile")));
    return input;
}

std::vector<std::string> FfmpegStart()
{
    // "-stats" keeps a progress line coming on standard error, which the
    // no-progress bound watches.
    return {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-stats", "-y"};
}

LONG RunFfmpeg(std::vector<std::string> argv, const std::string& output)
{
    HostRun run;
    run.argv = std::move(argv);
    run.watch = {output};
    const HostResult result = RunHost(run);
    return result.code < 0 ? -1 : result.code;
}

struct MediaInfo {
    bool hasVideo = false;
    std::string videoCodec;
    std::string width;
    std::string height;
    std::string frameRate;
    bool hasAudio = false;
    std::string audioCodec;
    std::string sampleRate;
    std::string channels;
    double duration = 0;
};

std::optional<MediaInfo> Probe(const std::string& hostPath)
{
    HostRun run;
    run.argv = {"ffprobe", "-v", "error", "-show_entries",
        "stream=codec_type,codec_name,width,height,r_frame_rate,sample_rate,channels:format=duration",
        "-of", "compact", hostPath};
    const HostResult result = RunHost(run);
    if (result.code != 0)
        return std::nullopt;
    MediaInfo info;
    for (const std::string& text : Split(result.output, '\n')) {
        const std::vector<std::string> fields = Split(text, '|');
        std::map<std::string, std::string> entry;
        for (std::size_t i = 1; i < fields.size(); ++i) {
            const std::size_t equals = fields[i].find('=');
            if (equals != std::string::npos)
                entry[fields[i].substr(0, equals)] = fields[i].substr(equals + 1);
        }
        if (fields[0] == "format") {
            info.duration = Number(entry["duration"]).value_or(0);
        } else if (fields[0] == "stream" && entry["codec_type"] == "video" && !info.hasVideo) {
            info.hasVideo = true;
            info.videoCodec = entry["codec_name"];
            info.width = entry["width"];
            info.height = entry["height"];
            info.frameRate = entry["r_frame_rate"];
        } else if (fields[0] == "stream" && entry["codec_type"] == "audio" && !info.hasAudio) {
            info.hasAudio = true;
            info.audioCodec = entry["codec_name"];
            info.sampleRate = entry["sample_rate"];
            info.channels = entry["channels"];
        }
    }
    return info;
}

// The piece's sound: 16-bit stereo at the "-srate" rate, padded with
// silence to the end of the picture.
std::vector<std::string> PieceAudio(const MencoderLine& line, const std::vector<std::string>& codec)
{
    std::vector<std::string> arguments = {"-af", "apad", "-shortest"};
    arguments.insert(arguments.end(), codec.begin(), codec.end());
    arguments.insert(arguments.end(), {"-ar", line.Value("-srate").value_or("44100"), "-ac", "2"});
    return arguments;
}

// 1. A stretch of a video clip.
LONG EncodeVideo(const MencoderLine& line, const std::string& filters, const std::vector<std::string>& videoCodec)
{
    const std::string source = ToolPath(line.inputs[0]);
    const std::string output = ToolPath(*line.Value("-o"));
    const bool sound = !line.Has("-nosound");
    const auto audioCodec = AudioCodec(line.Value("-oac").value_or("pcm"));
    if (sound && !audioCodec)
        return RETURN_FAIL;

    std::vector<std::string> argv = FfmpegStart();
    if (const auto start = line.Value("-ss"))
        argv.insert(argv.end(), {"-ss", *start});
    if (const auto rate = line.Value("-fps"))
        argv.insert(argv.end(), {"-r", *rate});
    argv.insert(argv.end(), {"-i", source});

    std::optional<std::string> audioMap;
    if (sound && line.Has("-audiofile")) {
        const auto input = AudioFileInput(line);
        if (!input)
            return RETURN_FAIL;
        argv.insert(argv.end(), input->begin(), input->end());
        audioMap = "1:a:0";
    } else if (sound) {
        const auto info = Probe(source);
        if (info && info->hasAudio)
            audioMap = "0:a:0";
    }

    std::string chain = filters;
    if (const auto rate = line.Value("-ofps"))
        chain += ",fps=" + *rate;
    argv.insert(argv.end(), {"-map", "0:v:0", "-vf", chain, "-fps_mode", "cfr"});
    argv.insert(argv.end(), videoCodec.begin(), videoCodec.end());
    if (audioMap) {
        argv.insert(argv.end(), {"-map", *audioMap});
        const std::vector<std::string> audio = PieceAudio(line, *audioCodec);
        argv.insert(argv.end(), audio.begin(), audio.end());
    } else {
        argv.push_back("-an");
    }
    if (const auto length = line.Value("-endpos"))
        argv.insert(argv.end(), {"-t", *length});
    argv.insert(argv.end(), {"-f", "avi", output});
    return RunFfmpeg(std::move(argv), output);
}

// The lines of mencoder's list file as host paths.
std::vector<std::string> ListedImages(const std::string& listName)
{
    std::vector<std::string> images;
    const auto text = ReadHostFile(ToolPath(listName));
    if (!text)
        return images;
    for (std::string entry : Split(*text, '\n')) {
        while (!entry.empty() && (entry.back() == '\r' || entry.back() == '\0'))
            entry.pop_back();
        if (!entry.empty())
            images.push_back(ToolPath(entry));
    }
    return images;
}

std::string ConcatQuote(const std::string& path)
{
    std::string quoted = "'";
    for (const char c : path) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

// 2. A list of still images, each shown for 1/fps seconds.
LONG EncodeImages(const MencoderLine& line, const std::string& filters, const std::vector<std::string>& videoCodec)
{
    const std::string output = ToolPath(*line.Value("-o"));
    const std::vector<std::string> images = ListedImages(line.inputs[0].substr(6));
    if (images.empty())
        return RETURN_FAIL;

    std::string inputRateText = "25";
    for (const std::string& option : Split(line.Value("-mf").value_or(""), ':')) {
        if (option.rfind("fps=", 0) == 0) {
            const auto rate = Number(option.substr(4));
            if (!rate || *rate <= 0)
                return RETURN_FAIL;
            inputRateText = option.substr(4);
        }
    }
    // Without "-ofps" the clip still runs at 25 frames a second (each image
    // held for its 1/fps seconds): a player asked for a screenshot takes it
    // from the next frame that passes, which must not be a second away.
    std::string outputRateText = line.Value("-ofps").value_or("25");
    const auto outputRate = Number(outputRateText);
    if (!outputRate || *outputRate <= 0)
        return RETURN_FAIL;

    std::string script = "ffconcat version 1.0\n";
    for (const std::string& image : images)
        script += "file " + ConcatQuote(image) + "\n";
    const std::string scriptFile = TemporaryHostFile("__CWEncodeList.ffconcat");
    if (!WriteHostFile(scriptFile, script))
        return RETURN_FAIL;

    const bool sound = !line.Has("-nosound") && line.Has("-audiofile");
    const auto audioCodec = AudioCodec(line.Value("-oac").value_or("pcm"));
    if (sound && !audioCodec)
        return RETURN_FAIL;

    std::vector<std::string> argv = FfmpegStart();
    argv.insert(argv.end(), {"-r", inputRateText, "-f", "concat", "-safe", "0", "-i", scriptFile});
    if (sound) {
        const auto input = AudioFileInput(line);
        if (!input)
            return RETURN_FAIL;
        argv.insert(argv.end(), input->begin(), input->end());
    }
    // The fps filter holds the last image for its full 1/fps seconds too.
    const std::string chain = filters + ",fps=" + outputRateText;
    argv.insert(argv.end(), {"-map", "0:v:0", "-vf", chain, "-fps_mode", "cfr"});
    argv.insert(argv.end(), videoCodec.begin(), videoCodec.end());
    if (sound) {
        argv.insert(argv.end(), {"-map", "1:a:0"});
        const std::vector<std::string> audio = PieceAudio(line, *audioCodec);
        argv.insert(argv.end(), audio.begin(), audio.end());
    } else {
        argv.push_back("-an");
    }
    argv.insert(argv.end(), {"-f", "avi", output});
    return RunFfmpeg(std::move(argv), output);
}

bool SameStreams(const MediaInfo& a, const MediaInfo& b)
{
    return a.hasVideo && b.hasVideo && a.videoCodec == b.videoCodec && a.width == b.width && a.height == b.height
        && a.frameRate == b.frameRate && a.hasAudio == b.hasAudio
        && (!a.hasAudio
            || (a.audioCodec == b.audioCodec && a.sampleRate == b.sampleRate && a.channels == b.channels));
}

// 3. The first video followed by the second. Pieces made alike (as the
// crouton encodings are) are joined without re-encoding; others are
// brought to the first one's size and rate and encoded again.
LONG JoinVideos(const MencoderLine& line)
{
    const std::string first = ToolPath(line.inputs[0]);
    const std::string second = ToolPath(line.inputs[1]);
    const std::string output = ToolPath(*line.Value("-o"));
    const auto a = Probe(first);
    const auto b = Probe(second);
    if (!a || !b || !a->hasVideo || !b->hasVideo)
        return RETURN_FAIL;

    // Never write over a file that is being read.
    const bool inPlace = output == first || output == second;
    const std::string target = inPlace ? TemporaryHostFile("__CWJoined.avi") : output;

    std::vector<std::string> argv = FfmpegStart();
    if (SameStreams(*a, *b)) {
        const std::string list = TemporaryHostFile("__CWJoin.ffconcat");
        if (!WriteHostFile(list, "ffconcat version 1.0\nfile " + ConcatQuote(first) + "\nfile " + ConcatQuote(second) + "\n"))
            return RETURN_FAIL;
        argv.insert(argv.end(), {"-f", "concat", "-safe", "0", "-i", list, "-map", "0", "-c", "copy"});
    } else {
        const bool sound = a->hasAudio || b->hasAudio;
        argv.insert(argv.end(), {"-i", first, "-i", second});
        std::string graph;
        std::string inputs;
        const MediaInfo* pieces[2] = {&*a, &*b};
        for (int i = 0; i < 2; ++i) {
            const std::string n = std::to_string(i);
            graph += "[" + n + ":v]scale=" + a->width + ":" + a->height + ",setsar=1,fps=" + a->frameRate + "[v" + n + "];";
            inputs += "[v" + n + "]";
            if (sound) {
                if (pieces[i]->hasAudio)
                    graph += "[" + n + ":a]aresample=44100,aformat=sample_fmts=s16:channel_layouts=stereo[a" + n + "];";
                else
                    graph += "anullsrc=r=44100:cl=stereo,atrim=duration=" + Format(pieces[i]->duration) + "[a" + n + "];";
                inputs += "[a" + n + "]";
            }
        }
        graph += inputs + "concat=n=2:v=1:a=" + (sound ? "1" : "0") + "[v]" + (sound ? "[a]" : "");
        argv.insert(argv.end(), {"-filter_complex", graph, "-map", "[v]"});
        if (sound)
            argv.insert(argv.end(), {"-map", "[a]", "-c:a", "pcm_s16le"});
        argv.insert(argv.end(), {"-c:v", "mpeg4", "-q:v", "2"});
    }
    argv.insert(argv.end(), {"-f", "avi", target});
    const LONG code = RunFfmpeg(std::move(argv), target);
    if (inPlace && code == 0) {
        std::error_code error;
        std::filesystem::copy_file(target, output, std::filesystem::copy_options::overwrite_existing, error);
        std::filesystem::remove(target, error);
        return error ? RETURN_ERROR : RETURN_OK;
    }
    return code;
}

// 4. The video's picture as it is, with the sound file's audio under it,
// cut or padded with silence to the picture's length.
LONG LaySoundtrack(const MencoderLine& line)
{
    const std::string video = ToolPath(line.inputs[0]);
    const std::string output = ToolPath(*line.Value("-o"));
    const auto audioCodec = AudioCodec(line.Value("-oac").value_or("lavc"));
    if (!audioCodec)
        return RETURN_FAIL;
    std::vector<std::string> argv = FfmpegStart();
    argv.insert(argv.end(), {"-i", video, "-i", ToolPath(*line.Value("-audiofile")), "-map", "0:v:0", "-map",
        "1:a:0", "-c:v", "copy", "-af", "apad"});
    argv.insert(argv.end(), audioCodec->begin(), audioCodec->end());
    // With a copied picture "-shortest" lets the sound run on a little;
    // the picture's own length is exact.
    const auto info = Probe(video);
    if (info && info->duration > 0)
        argv.insert(argv.end(), {"-t", Format(info->duration)});
    else
        argv.push_back("-shortest");
    argv.insert(argv.end(), {"-f", "avi", output});
    return RunFfmpeg(std::move(argv), output);
}

// Anything else: the host's mencoder, paths translated.
LONG RunHostMencoder(const std::vector<std::string>& arguments)
{
    HostRun run;
    run.argv = {"mencoder"};
    run.endAfterSummary = true;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (!word.empty() && word[0] == '-') {
            run.argv.push_back(word);
            if (TakesValue(word) && i + 1 < arguments.size()) {
                std::string value = arguments[++i];
                if (word == "-o" || word == "-audiofile" || word == "-passlogfile")
                    value = ToolPath(value);
                if (word == "-o")
                    run.watch.push_back(value);
                if (word == "-oac" && value == "lavc")
                    value = "mp3lame";
                run.argv.push_back(value);
            }
            continue;
        }
        if (word.rfind("mf://@", 0) == 0) {
            std::string list;
            for (const std::string& image : ListedImages(word.substr(6)))
                list += image + "\n";
            const std::string copy = TemporaryHostFile("__CWMencoderList.lst");
            WriteHostFile(copy, list);
            run.argv.push_back("mf://@" + copy);
            continue;
        }
        run.argv.push_back(ArgumentPath(word));
    }
    const HostResult result = RunHost(run);
    return result.code < 0 ? -1 : result.code;
}

} // namespace

LONG RunMencoderTool(ToolCall& call)
{
    const auto line = ReadLine(call.arguments);
    if (line && line->Has("-o")) {
        const std::string ovc = line->Value("-ovc").value_or("");
        const std::string oac = line->Value("-oac").value_or("");
        if (line->inputs.size() == 2 && ovc == "lavc" && oac == "pcm" && OnlyOptions(*line, {"-o", "-oac", "-ovc"}))
            return JoinVideos(*line);
        if (line->inputs.size() == 1 && ovc == "copy" && line->Has("-audiofile")
            && OnlyOptions(*line, {"-o", "-oac", "-ovc", "-audiofile"}))
            return LaySoundtrack(*line);
        if (line->inputs.size() == 1 && ovc == "lavc") {
            const auto filters = VideoFilters(*line);
            const auto codec = VideoCodec(*line);
            const std::optional<double> delay = Number(line->Value("-audio-delay").value_or("0"));
            if (filters && codec && delay && *delay == 0 && !line->Has("-demuxer")) {
                if (line->inputs[0].rfind("mf://@", 0) == 0)
                    return EncodeImages(*line, *filters, *codec);
                if (line->inputs[0].rfind("mf://", 0) != 0)
                    return EncodeVideo(*line, *filters, *codec);
            }
        }
    }
    return RunHostMencoder(call.arguments);
}

} // namespace cwtools

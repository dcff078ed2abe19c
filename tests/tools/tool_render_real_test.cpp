// Whole renderings through the command runner with the program's own
// command lines (crouton encodes, joins, the soundtrack and the finish), on
// tiny sources of many kinds, judged by what ffprobe and ffmpeg find in the
// result.
#include "os/command.h"

#include "os/dos_test_support.h"
#include "tools/tool_run_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

using namespace dostest;
using namespace toolrun;

namespace {

// The sources, made once for all tests.
class Sources {
public:
    static const Sources& Get()
    {
        static const Sources sources;
        return sources;
    }
    std::string Path(const std::string& name) const { return folder_.Path() + "/" + name; }

private:
    Sources()
    {
        const std::string picture = "testsrc=size=96x72:rate=25";
        auto make = [this, &picture](const std::string& name, const std::string& seconds,
                        std::vector<std::string> sound, std::vector<std::string> codecs) {
            std::vector<std::string> arguments = {"-f", "lavfi", "-i", picture};
            arguments.insert(arguments.end(), sound.begin(), sound.end());
            arguments.insert(arguments.end(), {"-t", seconds});
            arguments.insert(arguments.end(), codecs.begin(), codecs.end());
            arguments.push_back(Path(name));
            Ffmpeg(arguments);
        };
        const std::vector<std::string> tone = {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100"};
        make("h264.mp4", "2", tone, {"-c:v", "libx264", "-c:a", "aac"});
        make("vp9.webm", "2", {"-f", "lavfi", "-i", "sine=frequency=500:sample_rate=48000"},
            {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-c:a", "libopus"});
        make("mpeg2.mpg", "2", tone, {"-c:v", "mpeg2video", "-c:a", "mp2"});
        make("mjpeg.avi", "2", tone, {"-c:v", "mjpeg", "-c:a", "pcm_s16le"});
        make("ac3.mkv", "2", {"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=48000", "-af", "aformat=channel_layouts=5.1"},
            {"-c:v", "libx264", "-c:a", "ac3"});
        make("quiet.avi", "2", {}, {"-c:v", "mpeg4"});
        make("short.mp4", "0.6", tone, {"-c:v", "libx264", "-c:a", "aac"});
        Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=700:sample_rate=22050", "-t", "1.3", "-c:a", "libmp3lame", Path("tune.mp3")});
        for (int i = 1; i <= 3; ++i)
            MakeImage(Path("frame" + std::to_string(i) + ".png"), i);
    }
    ScratchDir folder_;
};

const std::string kPiece = "-zoom -oac pcm -srate 44100 -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000 "
                           "-vf scale=96:72,harddup,framestep=2 ";

// A crouton's command line for a given output and rate, as the program
// builds it; the flag says whether the piece carries sound.
struct Crouton {
    std::string what;
    std::function<std::string(const std::string& output, const std::string& rate, bool silent)> line;
    std::function<void(bool silent)> prepare = [](bool) {};
};

Crouton Video(const std::string& source, int length, const std::string& sound = "")
{
    return {source, [=](const std::string& output, const std::string& rate, bool silent) {
                return "mencoder \"" + Sources::Get().Path(source) + "\" -o \"" + output + "\" " + kPiece + "-ofps " + rate
                    + " " + (silent ? std::string("-nosound ") : sound) + "-ss 0 -audio-delay 0 -endpos "
                    + std::to_string(length) + " ";
            }};
}

Crouton Pictures()
{
    Crouton crouton;
    crouton.what = "pictures";
    crouton.prepare = [](bool) {
        std::string list;
        for (int i = 1; i <= 3; ++i)
            list += Sources::Get().Path("frame" + std::to_string(i) + ".png") + "\n";
        WriteAmiga("T:__CWEncodeList.lst", list);
        // The silence the program writes: (3 - 1) pictures at 2 a second.
        WriteAmiga("T:__CWSilence.raw", std::string(11025, '\x80'));
    };
    crouton.line = [](const std::string& output, const std::string& rate, bool silent) {
        return "mencoder mf://@/T/__CWEncodeList.lst -mf w=96:h=72:type=png:fps=2.000000 -o \"" + output
            + "\" -zoom -oac pcm -srate 44100 -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell -vf scale=96:72,harddup -ofps "
            + rate + " "
            + (silent ? std::string("-nosound")
                      : std::string("-audio-delay 0000000 -audio-demuxer rawaudio -rawaudio rate=11025:samplesize=1:channels=1 "
                                    "-audiofile T:__CWSilence.raw\n"));
    };
    return crouton;
}

// Seconds of the picture and of the sound as a player decodes them.
struct Lengths {
    long long frames = 0;
    double picture = 0;
    double sound = -1;
};

double DecodedSoundSeconds(const std::string& path)
{
    const std::string wav = path + ".check.wav";
    Capture({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", path, "-map", "0:a:0", "-c:a", "pcm_s16le", wav});
    const std::string text = Capture({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", wav});
    std::filesystem::remove(wav);
    return text.empty() ? -1 : std::atof(text.c_str());
}

Lengths Measure(const std::string& path, double rate)
{
    Lengths lengths;
    const MediaFacts facts = Facts(path);
    if (!facts.video)
        return lengths;
    lengths.frames = facts.video->frames;
    lengths.picture = static_cast<double>(facts.video->frames) / rate;
    if (facts.audio)
        lengths.sound = DecodedSoundSeconds(path);
    return lengths;
}

// Seconds at which a tone begins after silence, from the decoded sound.
std::vector<double> ToneOnsets(const std::string& path)
{
    const std::string raw = Capture({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-ac", "1", "-ar",
        "8000", "-f", "s16le", "-"});
    std::vector<double> onsets;
    const std::size_t window = 40; // 5 ms
    bool loud = false;
    for (std::size_t at = 0; at + 2 * window <= raw.size(); at += 2 * window) {
        double energy = 0;
        for (std::size_t i = 0; i < window; ++i) {
            const auto sample = static_cast<int16_t>(static_cast<unsigned char>(raw[at + 2 * i])
                | (static_cast<unsigned char>(raw[at + 2 * i + 1]) << 8));
            energy += std::fabs(static_cast<double>(sample));
        }
        const bool now = energy / window > 1000;
        if (now && !loud)
            onsets.push_back(static_cast<double>(at / 2) / 8000.0);
        loud = now;
    }
    return onsets;
}

class RenderLines : public DosTest {
protected:
    EnvGuard timeout_{"CLIPWEAVER_TOOL_TIMEOUT", std::string("60")};

    // Renders the croutons as the program does: the first straight to the
    // output, each later one through T:__TempVideo and a join, then the
    // finish. Returns the pictures' frame counts as the pieces have them.
    void Render(const std::vector<Crouton>& croutons, const std::string& output, const std::string& rate,
        const std::string& soundtrack = "")
    {
        const bool silent = !soundtrack.empty();
        const std::string target = silent ? "T:__SilentVideo" : output;
        for (std::size_t n = 0; n < croutons.size(); ++n) {
            croutons[n].prepare(silent);
            const std::string piece = n == 0 ? target : "T:__TempVideo";
            ASSERT_EQ(SystemTagList(croutons[n].line(EscapeInQuotes(piece), rate, silent), kToolTags), 0)
                << croutons[n].what;
            if (n == 0)
                continue;
            ASSERT_EQ(Rename(target, "T:__TempVideo2"), TRUE);
            ASSERT_EQ(SystemTagList("mencoder -oac pcm -ovc lavc -o \"" + EscapeInQuotes(target)
                              + "\" \"T:__TempVideo2\" \"T:__TempVideo\"\n",
                          kToolTags),
                0)
                << croutons[n].what;
            DeleteFile("T:__TempVideo2");
            DeleteFile("T:__TempVideo");
        }
        if (silent) {
            ASSERT_EQ(SystemTagList("mencoder -oac lavc -ovc copy T:__SilentVideo -audiofile \"" + EscapeInQuotes(soundtrack)
                              + "\" -o " + QuoteIfNeeded(output),
                          kToolTags),
                0);
        }
        ASSERT_EQ(Rename(output, "T:__FinishVideo"), TRUE);
        TraceCapture trace;
        ASSERT_EQ(SystemTagList("mencoder -oac lavc -ovc copy -o \"" + EscapeInQuotes(output) + "\" \"T:__FinishVideo\"\n",
                      kToolTags),
            0);
        EXPECT_FALSE(trace.Contains("not recognised")) << trace.Text();
        DeleteFile("T:__FinishVideo");
    }
};

std::vector<Crouton> EveryKind()
{
    return {
        Video("h264.mp4", 2),
        Pictures(),
        Video("vp9.webm", 2),
        Video("quiet.avi", 2, "-audiofile silence.mp3 "),
        Video("mpeg2.mpg", 2),
        Video("mjpeg.avi", 2),
        Video("ac3.mkv", 2),
        Video("short.mp4", 1),
        Video("quiet.avi", 2, "-audiofile \"" + Sources::Get().Path("tune.mp3") + "\" "),
        Video("h264.mp4", 2),
    };
}

struct RateRow {
    const char* rate;
    double value;
    const char* output;
};

// After many joins of every kind of crouton, at the table's rates and
// custom ones, picture and sound end within one frame of each other.
TEST_F(RenderLines, SoundEndsWithThePictureAfterManyJoins)
{
    const RateRow rows[] = {
        {"25.000000", 25.0, "RAM:rate25.mp4"},
        {"29.970030", 30000.0 / 1001.0, "RAM:rate2997.avi"},
        {"30000/1001", 30000.0 / 1001.0, "RAM:ratentsc.mkv"},
        {"12.5", 12.5, "RAM:rate125.mov"},
    };
    for (const RateRow& row : rows) {
        Render(EveryKind(), row.output, row.rate);
        const std::string host = *HostPath(row.output);
        const Lengths lengths = Measure(host, row.value);
        // 2 s each, the pictures 1.5 s, the short clip what it holds.
        EXPECT_NEAR(lengths.picture, 2 * 8 + 1.5 + 0.6, 2.0 / row.value + 0.1) << row.rate;
        EXPECT_NEAR(lengths.sound, lengths.picture, 1.0 / row.value) << row.rate;
        // Every tone starts with the piece that carries it: the one after
        // the pictures' silence (2 s + 1.5 s), the one after the clip
        // without sound (2 s more).
        auto frames = [&row](double seconds) { return std::ceil(seconds * row.value - 1e-6); };
        const double afterPictures = (frames(2) + frames(1.5)) / row.value;
        const double afterQuiet = afterPictures + 2 * frames(2) / row.value;
        const std::vector<double> onsets = ToneOnsets(host);
        for (const double boundary : {afterPictures, afterQuiet}) {
            const auto near = std::find_if(onsets.begin(), onsets.end(),
                [&](double onset) { return std::fabs(onset - boundary) < 0.3; });
            ASSERT_NE(near, onsets.end()) << row.rate << " at " << boundary;
            EXPECT_NEAR(*near, boundary, 1.0 / row.value) << row.rate << " at " << boundary;
        }
        EXPECT_EQ(Capture({"ffmpeg", "-nostdin", "-v", "error", "-i", host, "-f", "null", "-"}), "")
            << "decodes without an error";
    }
}

TEST_F(RenderLines, ProjectSoundtrackEndsWithThePicture)
{
    Render({Video("h264.mp4", 2), Pictures(), Video("vp9.webm", 2)}, "RAM:withtune.mp4", "30000/1001",
        Sources::Get().Path("tune.mp3"));
    const Lengths lengths = Measure(*HostPath("RAM:withtune.mp4"), 30000.0 / 1001.0);
    EXPECT_NEAR(lengths.picture, 5.5, 0.1);
    EXPECT_NEAR(lengths.sound, lengths.picture, 1001.0 / 30000.0);
}

struct ContainerRow {
    const char* output;
    const char* format;
    const char* sound;
};

TEST_F(RenderLines, ContainerAndSoundFollowTheName)
{
    const ContainerRow rows[] = {
        {"RAM:film.avi", "avi", "mp3"},
        {"RAM:film.mp4", "mov,mp4,m4a,3gp,3g2,mj2", "aac"},
        {"RAM:film.m4v", "mov,mp4,m4a,3gp,3g2,mj2", "aac"},
        {"RAM:film.mov", "mov,mp4,m4a,3gp,3g2,mj2", "aac"},
        {"RAM:film.mkv", "matroska,webm", "aac"},
        {"RAM:film.mpg", "avi", "mp3"},
    };
    for (const ContainerRow& row : rows) {
        Render({Video("h264.mp4", 2), Video("mjpeg.avi", 2)}, row.output, "25.000000");
        const std::string host = *HostPath(row.output);
        const std::string text = Capture({"ffprobe", "-v", "error", "-show_entries",
            "format=format_name:stream=codec_name,bit_rate", "-of", "compact", host});
        EXPECT_NE(text.find("format_name=" + std::string(row.format) + "\n"), std::string::npos) << row.output << text;
        EXPECT_NE(text.find("codec_name=" + std::string(row.sound)), std::string::npos) << row.output << text;
        EXPECT_NE(text.find("codec_name=mpeg4"), std::string::npos) << row.output << text;
        EXPECT_EQ(text.find("pcm_"), std::string::npos) << "the sound is compressed: " << text;
    }
}

TEST_F(RenderLines, SingleCroutonIsFinishedToo)
{
    Render({Pictures()}, "RAM:single.mp4", "25.000000");
    const Lengths lengths = Measure(*HostPath("RAM:single.mp4"), 25);
    EXPECT_EQ(lengths.frames, 38) << "three pictures of half a second, the last one whole";
    EXPECT_NEAR(lengths.sound, lengths.picture, 0.04);
}

TEST_F(RenderLines, SourceNamedLikeAnOptionIsRead)
{
    std::filesystem::copy_file(Sources::Get().Path("h264.mp4"), scratch_ / "-dash.mp4");
    CwdGuard cwd(scratch_.Path());
    TraceCapture trace;
    EXPECT_EQ(SystemTagList("mencoder \"-dash.mp4\" -o \"T:__TempVideo\" " + kPiece + "-ofps 25.000000 -ss 0 -audio-delay 0 -endpos 2 ",
                  kToolTags),
        0);
    EXPECT_FALSE(trace.Contains("not recognised")) << trace.Text();
    const MediaFacts facts = Facts(*HostPath("T:__TempVideo"));
    ASSERT_TRUE(facts.video);
    EXPECT_EQ(facts.video->frames, 50);
}

TEST_F(RenderLines, FullDiskFailsTheRun)
{
    EXPECT_NE(SystemTagList("mencoder \"" + Sources::Get().Path("h264.mp4") + "\" -o \"/dev/full\" " + kPiece
                      + "-ofps 25.000000 -ss 0 -audio-delay 0 -endpos 2 ",
                  kToolTags),
        0);
    ASSERT_EQ(SystemTagList(Video("h264.mp4", 2).line("T:__TempVideo", "25.000000", false), kToolTags), 0);
    ASSERT_EQ(SystemTagList(Video("mjpeg.avi", 2).line("T:__TempVideo2", "25.000000", false), kToolTags), 0);
    EXPECT_NE(SystemTagList("mencoder -oac pcm -ovc lavc -o \"/dev/full\" \"T:__TempVideo2\" \"T:__TempVideo\"\n", kToolTags), 0);
    EXPECT_NE(SystemTagList("mencoder -oac lavc -ovc copy -o \"/dev/full\" \"T:__TempVideo\"\n", kToolTags), 0);
}

TEST_F(RenderLines, UnrecognisedLineSaysSo)
{
    TraceCapture trace;
    SystemTagList("mencoder \"" + Sources::Get().Path("quiet.avi") + "\" -ovc copy -nosound -o T:__Copied.avi\n", kToolTags);
    EXPECT_TRUE(trace.Contains("mencoder line not recognised; running the host's mencoder.\n")) << trace.Text();
}

} // namespace

// Camcorder, TV and disc files through the program's crouton lines: sources
// whose clock starts late (program and transport streams) and interlaced
// ones, cut and joined into every container, judged frame by frame. Every
// source shows its frame number as two grey levels, a white flash at frame
// 12 of each second and a beep under it.
#include "os/command.h"

#include "os/dos_test_support.h"
#include "tools/tool_run_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace dostest;
using namespace toolrun;

namespace {

const std::string kCode = "format=yuv420p,geq=lum='if(eq(mod(N\\,25)\\,12)\\,235\\,if(lt(X\\,W/2)\\,16+8*mod(N\\,25)\\,"
                          "16+20*floor(N/25)))':cb=128:cr=128";
const std::string kBeeps = "aevalsrc='if(between(t-floor(t)\\,0.48\\,0.52)\\,0.5*sin(2*PI*1000*t)\\,0)':s=48000:c=stereo";
// Vertical stripes that move at 50 fields a second, woven into frames.
const std::string kStripes = "geq=lum='16+200*gt(mod(X+4*N\\,16)\\,7)':cb=128:cr=128";

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
        auto coded = [this](const std::string& size, std::vector<std::string> codecs, const std::string& name) {
            std::vector<std::string> arguments = {"-f", "lavfi", "-i", "color=black:s=" + size + ":r=25," + kCode, "-f",
                "lavfi", "-i", kBeeps, "-t", "3"};
            arguments.insert(arguments.end(), codecs.begin(), codecs.end());
            arguments.push_back(Path(name));
            Ffmpeg(arguments);
        };
        coded("64x48", {"-c:v", "mpeg2video", "-c:a", "mp2"}, "disc.mpg");
        coded("128x96", {"-c:v", "libx264", "-flags", "+ildct+ilme", "-x264-params", "interlaced=1:tff=1", "-c:a", "ac3"},
            "camera.mts");
        coded("720x576", {"-c:v", "dvvideo", "-c:a", "pcm_s16le", "-ar", "48000"}, "tape.dv");
        const std::string moving = "color=black:s=128x96:r=50,format=yuv420p," + kStripes;
        Ffmpeg({"-f", "lavfi", "-i", moving, "-t", "1", "-vf", "interlace=scan=tff", "-c:v", "mpeg2video", "-q:v", "2",
            "-flags", "+ildct+ilme", "-top", "1", Path("woven.mpg")});
        Ffmpeg({"-f", "lavfi", "-i", moving, "-t", "1", "-vf", "fps=25", "-c:v", "mpeg2video", "-q:v", "2", Path("plain.mpg")});
    }
    ScratchDir folder_;
};

// The picture's encoding the program asks for the output's container.
std::string Encoding(const std::string& output)
{
    if (output.ends_with(".webm"))
        return "-ovc lavc -lavcopts vcodec=libvpx-vp9:vbitrate=915000:o=deadline=realtime,cpu-used=8,row-mt=1";
    if (output.ends_with(".mp4"))
        return "-ovc x264 -x264encopts bitrate=915:preset=veryfast:subq=1:profile=high";
    return "-ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000";
}

std::string CroutonLine(const std::string& source, const std::string& size, const std::string& output, double from,
    double length, const std::string& encoding = Encoding(""))
{
    char stretch[96];
    std::snprintf(stretch, sizeof stretch, "-ss %g -audio-delay 0 -endpos %g ", from, length);
    return "mencoder \"" + Sources::Get().Path(source) + "\" -o \"" + output
        + "\" -zoom -oac pcm -srate 44100 " + encoding + " -vf scale=" + size
        + ",harddup -ofps 25.000000 " + stretch;
}

// The frames of a file at 64x48 as luma planes.
std::vector<std::string> Lumas(const std::string& path, int width = 64, int height = 48)
{
    const std::string raw = Capture({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:v:0", "-vf",
        "scale=" + std::to_string(width) + ":" + std::to_string(height), "-pix_fmt", "gray", "-f", "rawvideo", "-"});
    std::vector<std::string> frames;
    const std::size_t size = static_cast<std::size_t>(width * height);
    for (std::size_t at = 0; at + size <= raw.size(); at += size)
        frames.push_back(raw.substr(at, size));
    return frames;
}

double Mean(const std::string& luma, int from, int to)
{
    double sum = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = from; x < to; ++x)
            sum += static_cast<unsigned char>(luma[static_cast<std::size_t>(y * 64 + x)]);
    return sum / (48.0 * (to - from));
}

// The source frame a picture shows; -1 for a flash. Grey scales to full
// range in "gray": level L shows as (L - 16) * 255 / 219.
int FrameShown(const std::string& luma)
{
    const double left = Mean(luma, 4, 28) * 219 / 255;
    const double right = Mean(luma, 36, 60) * 219 / 255;
    if (left > 200 && right > 200)
        return -1;
    return static_cast<int>(std::lround(left / 8) + 25 * std::lround(right / 20));
}

// Seconds at which a beep begins, from the decoded sound.
std::vector<double> Beeps(const std::string& path)
{
    const std::string raw = Capture({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-ac", "1", "-ar",
        "8000", "-f", "s16le", "-"});
    std::vector<double> onsets;
    bool loud = false;
    for (std::size_t at = 0; at + 80 <= raw.size(); at += 80) {
        double energy = 0;
        for (std::size_t i = 0; i < 80; i += 2)
            energy += std::fabs(static_cast<double>(static_cast<int16_t>(
                static_cast<unsigned char>(raw[at + i]) | (static_cast<unsigned char>(raw[at + i + 1]) << 8))));
        const bool now = energy / 40 > 1000;
        if (now && !loud)
            onsets.push_back(static_cast<double>(at / 2) / 8000.0);
        loud = now;
    }
    return onsets;
}

struct CutRow {
    const char* source;
    const char* size;
    double from;
    double length;
};

const CutRow kCuts[] = {
    {"disc.mpg", "64:48", 1.0, 1.0},
    {"disc.mpg", "64:48", 0.48, 1.2},
    {"disc.mpg", "64:48", 0, 1.0},
    {"camera.mts", "128:96", 1.0, 1.0},
    {"camera.mts", "128:96", 1.48, 1.2},
    {"camera.mts", "128:96", 0, 1.0},
    {"tape.dv", "128:96", 1.2, 1.0},
};

class SourceClock : public DosTest {
protected:
    EnvGuard timeout_{"CLIPWEAVER_TOOL_TIMEOUT", std::string("60")};

    // The pieces of the rows, each joined to the one before, finished into
    // `output`.
    void Render(const std::vector<CutRow>& rows, const std::string& output)
    {
        for (std::size_t n = 0; n < rows.size(); ++n) {
            const std::string piece = n == 0 ? output : "T:__TempVideo";
            ASSERT_EQ(SystemTagList(CroutonLine(rows[n].source, rows[n].size, piece, rows[n].from, rows[n].length, Encoding(output)),
                          kToolTags),
                0)
                << rows[n].source;
            if (n == 0)
                continue;
            ASSERT_EQ(Rename(output, "T:__TempVideo2"), TRUE);
            ASSERT_EQ(SystemTagList("mencoder -oac pcm -ovc lavc -o \"" + output + "\" \"T:__TempVideo2\" \"T:__TempVideo\"\n",
                          kToolTags),
                0);
            DeleteFile("T:__TempVideo2");
            DeleteFile("T:__TempVideo");
        }
        ASSERT_EQ(Rename(output, "T:__FinishVideo"), TRUE);
        ASSERT_EQ(SystemTagList("mencoder -oac lavc -ovc copy -o \"" + output + "\" \"T:__FinishVideo\"\n", kToolTags), 0);
        DeleteFile("T:__FinishVideo");
    }

    // Every frame of the output is the source's frame it is due to show,
    // and every flash is heard within one frame.
    void ExpectCuts(const std::vector<CutRow>& rows, const std::string& output)
    {
        const std::string host = *HostPath(output);
        std::vector<int> due;
        for (const CutRow& row : rows)
            for (long long n = 0; n < std::llround(row.length * 25); ++n) {
                const int frame = static_cast<int>(std::lround(row.from * 25) + n);
                due.push_back(frame % 25 == 12 ? -1 : frame);
            }
        std::vector<int> shown;
        std::vector<double> flashes;
        for (const std::string& luma : Lumas(host)) {
            shown.push_back(FrameShown(luma));
            if (shown.back() == -1)
                flashes.push_back(static_cast<double>(shown.size() - 1) / 25);
        }
        EXPECT_EQ(shown, due) << output;
        const std::vector<double> beeps = Beeps(host);
        EXPECT_EQ(beeps.size(), flashes.size()) << output;
        for (std::size_t n = 0; n < std::min(beeps.size(), flashes.size()); ++n)
            EXPECT_NEAR(beeps[n], flashes[n], 0.04) << output << " flash " << n;
        EXPECT_EQ(Capture({"ffmpeg", "-nostdin", "-v", "error", "-i", host, "-f", "null", "-"}), "") << output;
    }
};

// Each cut alone, straight into an AVI.
TEST_F(SourceClock, CutGivesTheFramesFromItsStart)
{
    for (const CutRow& row : kCuts) {
        Render({row}, "RAM:alone.avi");
        ExpectCuts({row}, "RAM:alone.avi");
    }
}

// All cuts one after the other, with a plain clip between, in every
// container the program writes.
TEST_F(SourceClock, JoinsAfterLateSourcesStayInStep)
{
    for (const char* output : {"RAM:film.avi", "RAM:film.mp4", "RAM:film.mkv", "RAM:film.mov", "RAM:film.webm"}) {
        const std::vector<CutRow> rows(std::begin(kCuts), std::end(kCuts));
        Render(rows, output);
        ExpectCuts(rows, output);
    }
}

// Adjacent lines of an interlaced source's frames differ no more than the
// progressive source's do once the fields are woven apart.
TEST_F(SourceClock, InterlacedSourceShowsNoCombs)
{
    auto combing = [](const std::string& source) {
        EXPECT_EQ(SystemTagList(CroutonLine(source, "128:96", "RAM:stripes.avi", 0, 0.8), kToolTags), 0);
        double adjacent = 0;
        for (const std::string& luma : Lumas(*HostPath("RAM:stripes.avi"), 128, 96))
            for (std::size_t y = 0; y + 1 < 96; ++y)
                for (std::size_t x = 0; x < 128; ++x)
                    adjacent += std::fabs(static_cast<double>(static_cast<unsigned char>(luma[y * 128 + x]))
                        - static_cast<unsigned char>(luma[(y + 1) * 128 + x]));
        return adjacent / (20.0 * 95 * 128);
    };
    const double plain = combing("plain.mpg");
    EXPECT_LT(combing("woven.mpg"), plain * 1.5 + 3) << "the progressive level: " << plain;
}

} // namespace

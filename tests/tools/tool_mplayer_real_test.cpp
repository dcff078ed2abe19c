// The MPlayer tool on real clips: stills at the asked time on a clip with a
// single keyframe, and probe answers as the file holds them.
#include "os/command.h"

#include "os/dos_test_support.h"
#include "tools/tool_run_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace dostest;
using namespace toolrun;

namespace {

class MPlayerReal : public DosTest {
protected:
    EnvGuard work_{"CLIPWEAVER_ASSIGN_WORK", scratch_.Path()};
    EnvGuard timeout_{"CLIPWEAVER_TOOL_TIMEOUT", std::string("60")};

    std::string Answers(const std::string& amigaName)
    {
        WriteAmiga("T:__MPlayerCommand",
            "loadfile \"" + amigaName + "\"\npause\nget_time_length\nget_property width\nget_property height\n"
            "get_property video_bitrate\nget_property audio_bitrate\nget_property aspect\nget_property fps\n"
            "get_property video_codec\nget_property audio_codec\nquit\n");
        SystemTagList("MPlayer -slave -idle -input file=/T/__MPlayerCommand -vo null -vf screenshot >T:__Mplayer.out\n",
            {{NP_StackSize, 1024000}});
        return ReadAmiga("T:__Mplayer.out");
    }
};

long long Answer(const std::string& output, const std::string& key)
{
    const std::size_t at = output.find("ANS_" + key + "=");
    return at == std::string::npos ? -1 : std::atoll(output.c_str() + at + key.size() + 5);
}

// The hashes of a picture file or of every frame of a clip, at the still's
// size and in the still's pixel format.
std::vector<std::string> FrameHashes(const std::string& path, bool scale)
{
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:v:0"};
    if (scale)
        argv.insert(argv.end(), {"-vf", "scale=160:90"});
    argv.insert(argv.end(), {"-pix_fmt", "rgb24", "-f", "framemd5", "-"});
    const std::string text = Capture(argv);
    std::vector<std::string> hashes;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line[0] != '#')
            hashes.push_back(line.substr(line.rfind(',') + 1));
    }
    return hashes;
}

TEST_F(MPlayerReal, StillsAreTheFramesAtTheAskedTimes)
{
    // Ten seconds at 25 frames a second with its only keyframe at 0 s.
    Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=96x72:rate=25", "-t", "10", "-c:v", "libx264", "-g", "1000",
        "-keyint_min", "1000", "-sc_threshold", "0", "-bf", "0", scratch_ / "sparse.mp4"});
    const std::vector<std::string> frames = FrameHashes(scratch_ / "sparse.mp4", true);
    ASSERT_EQ(frames.size(), 250u);
    for (const int percent : {5, 25, 45, 65, 85}) {
        const double seconds = 10.0 * percent / 100.0;
        WriteAmiga("T:__MPlayerCommand", "loadfile \"Work:sparse.mp4\"\npause\nscreenshot\nplay\nquit\n");
        std::string position(32, '\0');
        position.resize(static_cast<std::size_t>(std::snprintf(position.data(), position.size(), "%f", seconds)));
        SystemTagList("SYS:Utilities/MPlayer -nosound -ss " + position
                + " -zoom -vf scale=160:90,screenshot -slave -idle -input file=/T/__MPlayerCommand -vo null >T:__Mplayer.out\n",
            kToolTags);
        const std::string output = ReadAmiga("T:__Mplayer.out");
        ASSERT_NE(output.find("*** screenshot"), std::string::npos) << output;
        const std::size_t saved = output.find("Saved screenshot");
        ASSERT_NE(saved, std::string::npos) << output;
        const std::string rest = output.substr(saved + 21);
        const std::string shot = rest.substr(0, rest.rfind('\''));
        const std::vector<std::string> still = FrameHashes(*HostPath(shot), false);
        ASSERT_EQ(still.size(), 1u);
        const auto found = std::find(frames.begin(), frames.end(), still[0]);
        ASSERT_NE(found, frames.end()) << percent << "%";
        EXPECT_NEAR(static_cast<double>(found - frames.begin()), seconds * 25, 1.0) << percent << "%";
        DeleteFile(shot);
    }
}

TEST_F(MPlayerReal, ProgramStreamLengthIsWhatTheFileHolds)
{
    Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25", "-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "6",
        "-c:v", "mpeg2video", "-b:v", "400k", "-c:a", "mp2", "-b:a", "192k", scratch_ / "six.mpg"});
    const std::string output = Answers("Work:six.mpg");
    const std::size_t at = output.find("ANS_LENGTH=");
    ASSERT_NE(at, std::string::npos) << output;
    EXPECT_NEAR(std::atof(output.c_str() + at + 11), 6.0, 0.1) << output;
    // Bit rates in bits a second, as the window labels them.
    EXPECT_EQ(Answer(output, "audio_bitrate"), 192000) << output;
    EXPECT_GT(Answer(output, "video_bitrate"), 100000) << output;
}

} // namespace

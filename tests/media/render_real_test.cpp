// Whole renderings with the real tools on tiny clips and pictures that the
// tests make: the output lasts as long as its pieces together, has one frame
// per 1/25 s of them, moves, and carries a project soundtrack; the finished
// render says where it is and how long; a cancel ends the running tool.
#include "model/render.h"
#include "platform/command.h"
#include "platform/work.h"
#include "render_support.h"
#include "support/fake_tools.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <string>

using cwtest::RecordedWork;
using media_test::MakeClip;
using render_test::Exists;
using render_test::SetField;

namespace {

class RealRender : public render_test::RenderFixture {
protected:
    void SetUp() override
    {
        RenderFixture::SetUp();
        gProject->fps = 2; // 25 frames a second
    }

    std::string Render()
    {
        TraceCapture trace;
        RenderProject(gProject.get());
        return trace.Text();
    }
};

std::size_t Distinct(const std::vector<std::string>& hashes, std::size_t from, std::size_t to)
{
    return std::set<std::string>(hashes.begin() + static_cast<long>(from), hashes.begin() + static_cast<long>(to))
        .size();
}

TEST_F(RealRender, VideoAndPicturesAddUp)
{
    const std::string clip = folder_ / "clip.avi";
    MakeClip(clip, true);
    // Three different pictures: the test pattern's counter moves each second.
    ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=1", "-frames:v", "3",
                                  folder_ / "frame%d.png"}),
              0);
    Append(Video(clip, 0, 2));
    Crouton* pictures = Append(Images(folder_ / "frame#?.png", 6)); // 1 picture a second
    pictures->length = 3;

    const std::string trace = Render();
    EXPECT_TRUE(trace.ends_with("Rendering finished.\n")) << trace;

    const auto probed = render_test::Probe(output_);
    ASSERT_TRUE(probed);
    // 2 s of video and 3 pictures of 1 s each, at 25 frames a second.
    EXPECT_NEAR(probed->duration, 5.0, 0.1);
    ASSERT_EQ(probed->frameHashes.size(), 125u);
    EXPECT_TRUE(probed->hasAudio);
    // The clip's part moves; the pictures' part shows each picture in turn.
    EXPECT_GE(Distinct(probed->frameHashes, 0, 50), 20u);
    EXPECT_GE(Distinct(probed->frameHashes, 50, 125), 3u);
    EXPECT_NE(probed->frameHashes[60], probed->frameHashes[85]);
    EXPECT_NE(probed->frameHashes[85], probed->frameHashes[110]);
}

TEST_F(RealRender, SoundtrackIsLaidUnderTheSilentPieces)
{
    const std::string clip = folder_ / "quiet.avi";
    MakeClip(clip, false);
    const std::string tune = folder_ / "tune.wav";
    ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=330:duration=3", tune}), 0);
    SetField(BUTTON_MAIN_SOUNDTRACK, tune);
    Append(Video(clip, 0, 2, std::nullopt));

    const std::string trace = Render();
    EXPECT_NE(trace.find(" -o \"T:__SilentVideo\" "), std::string::npos);
    EXPECT_NE(trace.find(" -nosound -ss 0 "), std::string::npos);
    EXPECT_TRUE(trace.ends_with("Rendering with soundtrack " + tune
                                + ".\nCommand is mencoder -oac lavc -ovc copy T:__SilentVideo -audiofile \"" + tune
                                + "\" -o " + output_ + ".\nFinishing: mencoder -oac lavc -ovc copy -o \"" + output_
                                + "\" \"T:__FinishVideo\"\n.\nRendering finished.\n"))
        << trace;
    EXPECT_TRUE(Exists("T:__SilentVideo"));

    const auto silent = render_test::Probe(render_test::Host("T:__SilentVideo"));
    ASSERT_TRUE(silent);
    EXPECT_FALSE(silent->hasAudio);
    const auto probed = render_test::Probe(output_);
    ASSERT_TRUE(probed);
    EXPECT_TRUE(probed->hasAudio);
    EXPECT_NEAR(probed->duration, 2.0, 0.15);
    EXPECT_EQ(probed->frameHashes.size(), 50u);
}

TEST_F(RealRender, FinishedRenderTellsWhereItIsAndHowLong)
{
    const std::string clip = folder_ / "clip.avi";
    MakeClip(clip, true);
    Append(Video(clip, 0, 2));
    RecordedWork work;
    const std::string trace = Render();
    EXPECT_TRUE(trace.ends_with("Finishing: mencoder -oac lavc -ovc copy -o \"" + output_
                                + "\" \"T:__FinishVideo\"\n.\nRendering finished.\n"))
        << trace;
    EXPECT_EQ(work.outcome, WorkOutcome::Finished);
    EXPECT_THAT(work.message, ::testing::MatchesRegex("Rendered " + output_ + ": 0:0[1-3], [0-9.]+ (KB|MB)"));
    EXPECT_FALSE(Exists("T:__FinishVideo"));
}

TEST_F(RealRender, CancelEndsTheRunningToolAndKeepsTheOldOutput)
{
    const std::string clip = folder_ / "clip.avi";
    MakeClip(clip, true);
    Append(Video(clip, 0, 2));
    Append(Video(clip, 0, 2));
    media_test::WriteHostFile(output_, "the old video");
    // The user cancels as soon as the first tool is waited for.
    int polls = 0;
    SetToolWaitHook([&polls](ToolWait phase) {
        if (phase == ToolWait::Poll && polls++ == 0)
            CancelWork();
    });
    RecordedWork work;
    const std::string trace = Render();
    SetToolWaitHook({});
    EXPECT_TRUE(trace.ends_with("Rendering cancelled.\n")) << trace;
    EXPECT_EQ(work.outcome, WorkOutcome::Cancelled);
    EXPECT_EQ(render_test::Count(trace, "Rendering crouton number"), 1u);
    EXPECT_EQ(media_test::ReadHostFile(output_), "the old video");
    EXPECT_FALSE(Exists("T:__TempVideo"));
}

TEST_F(RealRender, FailedRenderLeavesNoJoinedPieces)
{
    const std::string clip = folder_ / "clip.avi";
    MakeClip(clip, true);
    Append(Video(clip, 0, 1));
    Append(Video(clip, 0, 1));
    // There, but not a video: found only when it is encoded, after a join.
    std::ofstream(folder_ / "broken.avi") << "not a video";
    Append(Video(folder_ / "broken.avi", 0, 1));
    const std::string trace = Render();
    EXPECT_TRUE(trace.ends_with("Rendering failed.\n")) << trace;
    EXPECT_EQ(render_test::Count(trace, "Executing: mencoder -oac pcm -ovc lavc"), 1u) << trace;
    EXPECT_FALSE(Exists(output_));
    // The join kept its pieces on T:; a failed render takes them away too.
    std::error_code error;
    EXPECT_FALSE(std::filesystem::exists(render_test::Host("T:__CWPieces"), error)
                 && !std::filesystem::is_empty(render_test::Host("T:__CWPieces"), error));
}

TEST_F(RealRender, OutputOnAnotherFileSystemSurvivesTheJoins)
{
    struct stat shm {};
    struct stat temporary {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(TemporaryFolder().c_str(), &temporary) != 0
        || shm.st_dev == temporary.st_dev)
        GTEST_SKIP() << "no second file system at hand";
    std::string folder = "/dev/shm/cw-render-XXXXXX";
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    output_ = folder + "/far.mkv";
    SetField(BUTTON_MAIN_OUTPUTFILENAME, output_);

    const std::string clip = folder_ / "clip.avi";
    MakeClip(clip, true);
    ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=1", "-frames:v", "2",
                                  folder_ / "still%d.png"}),
              0);
    Append(Video(clip, 0, 2));
    Append(Images(folder_ / "still#?.png", 6))->length = 2;
    Append(Video(clip, 0, 2));

    const std::string trace = Render();
    EXPECT_TRUE(trace.ends_with("Rendering finished.\n")) << trace;
    const auto probed = render_test::Probe(output_);
    std::filesystem::remove_all(folder);
    ASSERT_TRUE(probed);
    EXPECT_NEAR(probed->duration, 6.0, 0.1);
    EXPECT_EQ(probed->frameHashes.size(), 150u);
    EXPECT_TRUE(probed->hasAudio);
}

} // namespace

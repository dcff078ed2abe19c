// Whole renderings with the real tools on tiny clips and pictures that the
// tests make: the output lasts as long as its pieces together, has one frame
// per 1/25 s of them, moves, and carries a project soundtrack.
#include "model/render.h"
#include "render_support.h"

#include "platform/command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <string>

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
        std::string text = trace.Text();
        // The rendering's finishing step, where the rendering does not take
        // it itself: joins leave a list of their pieces, which the finish
        // turns into the one file.
        if (text.find("Finishing: ") == std::string::npos && Exists(output_)) {
            if (!Rename(output_, "T:__FinishVideo")) {
                // Another volume: moved by a copy, as the rendering does.
                std::filesystem::copy_file(output_, render_test::Host("T:__FinishVideo"),
                                           std::filesystem::copy_options::overwrite_existing);
                std::filesystem::remove(output_);
            }
            EXPECT_EQ(SystemTagList("mencoder -oac lavc -ovc copy -o \"" + EscapeInQuotes(output_) + "\" \"T:__FinishVideo\"\n",
                          {{NP_StackSize, 1024000}, {SYS_Input, 0}, {SYS_Output, 0}}),
                0);
            DeleteFile("T:__FinishVideo");
        }
        return text;
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
                                + "\" -o " + output_ + ".\nRendering finished.\n"))
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

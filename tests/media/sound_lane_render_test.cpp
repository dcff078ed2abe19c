// Whole renders whose sound is compressed while the croutons are encoded:
// for each kind of output, with cuts and with dissolves, the output decodes
// to the same pictures and sound as a render whose finish compresses all
// the sound alone, and nothing of the lane is left on T: or beside the
// output.
#include "model/render.h"
#include "render_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class SoundLaneRender : public render_test::RenderFixture {
protected:
    void SetUp() override
    {
        RenderFixture::SetUp();
        gProject->fps = 2; // 25 frames a second
        clip_ = folder_ / "clips/tone.avi";
        quiet_ = folder_ / "clips/quiet.avi";
        fs::create_directories(folder_ / "clips");
        media_test::MakeClip(clip_, true);
        media_test::MakeClip(quiet_, false);
    }

    std::string Render()
    {
        TraceCapture trace;
        RenderProject(gProject.get());
        return trace.Text();
    }

    // The output's decoded pictures and sound.
    std::string Decoded() const { return render_test::DecodedPicturesAndSound(output_); }

    std::string clip_;
    std::string quiet_;
};

TEST_F(SoundLaneRender, EachKindSoundsAsWhenTheFinishCompressesItAlone)
{
    const struct Row {
        const char* output;
        const char* join;
    } rows[] = {
        {"out.avi", "cut"},
        {"out.mp4", "dissolve"},
        {"out.mkv", "cut"},
        {"out.webm", "cut"},
        {"out.mov", "dissolve"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.output) + ", " + row.join);
        DestroyProject(std::move(gProject));
        gProject = NewProject();
        gProject->fps = 2;
        fs::remove_all(folder_ / "out");
        fs::create_directories(folder_ / "out");
        output_ = folder_ / (std::string("out/") + row.output);
        render_test::SetField(BUTTON_MAIN_OUTPUTFILENAME, output_);
        // The first crouton is written at the output, the second has no
        // sound of its own.
        Append(Video(clip_, 0, 2));
        Append(Video(quiet_, 0, 1, std::nullopt));
        Append(Video(clip_, 1, 1));
        gProject->look.defaultTransition.kind = row.join;
        gProject->look.defaultTransition.seconds = 0.4;

        const std::string beside = Render();
        ASSERT_TRUE(beside.ends_with("Rendering finished.\n")) << beside;
        EXPECT_NE(beside.find("The sound was compressed beside the encodes."), std::string::npos);
        const std::string lane = Decoded();
        // Nothing but the output in its folder, nothing of the lane on T:.
        EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "out"), fs::directory_iterator()), 1);
        for (const char* name : {"__CWSoundLane", "__CWSoundLane.err", "__CWSoundLane.out"})
            EXPECT_FALSE(fs::exists(render_test::Host(std::string("T:") + name))) << name;

        ::setenv("CLIPWEAVER_SOUND_AT_END", "1", 1);
        const std::string atEnd = Render();
        ::unsetenv("CLIPWEAVER_SOUND_AT_END");
        ASSERT_TRUE(atEnd.ends_with("Rendering finished.\n")) << atEnd;
        EXPECT_EQ(atEnd.find("The sound was compressed beside the encodes."), std::string::npos);
        EXPECT_EQ(lane, Decoded());
    }
}

} // namespace

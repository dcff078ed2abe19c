// Lengths that tell the truth, with the real tools on clips the tests make:
// a whole clip is its real length, a trim to the frame renders exactly its
// frames, and the total and size the main window shows match the render.
#include "gui/desktop.h"
#include "media/probe.h"
#include "model/crouton_time.h"
#include "model/render.h"
#include "model/render_internal.h"
#include "render_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using media_test::Ffmpeg;
using render_test::SetField;

namespace {

class TrimRender : public render_test::RenderFixture {
protected:
    // A clip of `frames` pictures at `rate` that moves and has detail in
    // every frame, as a camera's has, with sound.
    std::string Clip(const std::string& name, const std::string& rate, int frames, const std::string& sound,
                     const std::string& size = "320x240")
    {
        const std::string clip = folder_ / name;
        // The sound runs on a little past the picture, as it often does.
        EXPECT_EQ(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=" + size + ":rate=" + rate, "-f", "lavfi", "-i",
                          "sine=frequency=440:duration=" + std::to_string(frames / 20), "-vf", "noise=alls=12:allf=t",
                          "-frames:v", std::to_string(frames), "-c:a", sound, "-deadline", "realtime", "-cpu-used",
                          "8", clip}),
                  0);
        return clip;
    }

    Crouton* Probed(const std::string& clip)
    {
        Crouton* crouton = Append(Video(clip, 0, 0));
        EXPECT_EQ(LoadVideoIntoCrouton(crouton, clip), TRUE);
        crouton->length = crouton->videoLength;
        return crouton;
    }

    std::optional<render_test::Probed> Render(const std::string& extension)
    {
        output_ = folder_ / ("out" + extension);
        SetField(BUTTON_MAIN_OUTPUTFILENAME, output_);
        RenderProject(gProject.get());
        return render_test::Probe(output_);
    }
};

struct WholeClip {
    const char* rate;
    LONG projectRate; // the output at the source's own rate
    int frames;
    const char* name;
    const char* sound;
    double seconds;
    LONG shown;
};

class WholeClipRender : public TrimRender {
protected:
    void Check(const std::vector<WholeClip>& rows);
};

TEST_F(WholeClipRender, AWholeClipIsItsRealLength)
{
    Check({
        {"24000/1001", 1, 240, "film.webm", "libopus", 10.01, 10},
        {"25", 2, 201, "pal.mp4", "aac", 8.04, 8},
    });
}

TEST_F(WholeClipRender, AWholeNtscClipRendersItsFrames)
{
    Check({{"30000/1001", 0, 300, "ntsc.mkv", "aac", 10.01, 10}});
}

void WholeClipRender::Check(const std::vector<WholeClip>& rows)
{
    for (const auto& row : rows) {
        DestroyProject(std::move(gProject));
        gProject = NewProject();
        gProject->fps = row.projectRate;
        Crouton* crouton = Probed(Clip(row.name, row.rate, row.frames, row.sound, "160x120"));
        EXPECT_NEAR(crouton->videoLength, row.seconds, 0.001) << row.name;
        EXPECT_EQ(NearestSecond(crouton->videoLength), row.shown) << row.name;
        const auto probed = Render(".mp4");
        ASSERT_TRUE(probed) << row.name;
        // No frame repeated or invented at the end.
        EXPECT_EQ(probed->frameHashes.size(), static_cast<std::size_t>(row.frames)) << row.name;
    }
}

TEST_F(WholeClipRender, TheNtscClipIsItsRealLength)
{
    DestroyProject(std::move(gProject));
    gProject = NewProject();
    Crouton* crouton = Probed(Clip("ntsc.mkv", "30000/1001", 300, "aac", "160x120"));
    EXPECT_NEAR(crouton->videoLength, 10.01, 0.001);
}

// The total shown against ffprobe's length of the render, and the estimate
// against the file's size, for each kind of output.
TEST_F(TrimRender, TotalsMatchTheRender)
{
    const std::string pal = Clip("pal.avi", "25", 201, "mp2");
    const struct {
        const char* extension;
    } rows[] = {{".mp4"}, {".webm"}, {".avi"}};
    for (const auto& row : rows) {
        DestroyProject(std::move(gProject));
        gProject = NewProject();
        gProject->fps = 2;        // 25 frames a second
        gProject->parameters = 11; // 640x360
        gProject->baudrate = 7;   // 1024 kbit/s
        Crouton* trimmed = Probed(pal);
        trimmed->start = 3.0;
        trimmed->length = 4.2;
        Probed(pal);
        const auto probed = Render(row.extension);
        ASSERT_TRUE(probed) << row.extension;
        // 3.00 to 7.20 s of a 25 fps source is 105 frames, then the whole clip.
        EXPECT_EQ(probed->frameHashes.size(), 105u + 201u) << row.extension;
        EXPECT_NEAR(ProjectRenderedSeconds(*gProject), probed->duration, 1.0 / 25) << row.extension;
        const double size = static_cast<double>(std::filesystem::file_size(output_));
        EXPECT_NEAR(EstimatedOutputBytes(*gProject) / size, 1.0, 0.25) << row.extension << " " << size;
    }
}

// A trim to the frame writes its seconds with their fraction; whole seconds
// keep the line they always had.
TEST_F(TrimRender, TheLineCarriesTheFraction)
{
    const struct {
        double start, length;
        const char* trace;
        const char* cut;
    } rows[] = {
        {10, 20, "from 10 to 30.\n", "-ss 10 -audio-delay 0 -endpos 20 "},
        {3.0, 4.2, "from 3 to 7.2.\n", "-ss 3 -audio-delay 0 -endpos 4.2 "},
        {3.04, 4.16, "from 3.04 to 7.2.\n", "-ss 3.04 -audio-delay 0 -endpos 4.16 "},
        {0.033367, 10.01, "from 0.033367 to 10.043367.\n", "-ss 0.033367 -audio-delay 0 -endpos 10.01 "},
    };
    for (const auto& row : rows) {
        auto crouton = Video("RAM:GreatVideo.avi", 0, 0, "mp3");
        crouton->start = row.start;
        crouton->length = row.length;
        TraceCapture trace;
        const render_detail::CroutonRun run = render_detail::PlanCroutonEncode(*gProject, crouton.get(),
                                                                              "T:__TempVideo", false);
        EXPECT_NE(trace.Text().find(row.trace), std::string::npos) << trace.Text();
#ifndef CLIPWEAVER_BASIC
        EXPECT_TRUE(run.command.ends_with(row.cut)) << run.command;
#endif
    }
}

} // namespace

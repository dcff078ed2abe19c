// Transitions and fades, rendered with the real tools on tiny clips of one
// colour and one tone that the tests make, measured frame by frame (mean
// brightness) and in the sound (loudness of short windows).
#include "model/crouton_time.h"
#include "model/look.h"
#include "model/render.h"
#include "os/command.h"
#include "os/work.h"
#include "render_support.h"
#include "support/fake_tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using render_test::Exists;

namespace {

// What a render made: each frame's mean brightness (16 black, 235 white)
// and the loudness of each 20 ms of its sound (root mean square, 0 to 1).
struct Measured {
    std::vector<double> brightness;
    std::vector<double> loudness;
};

std::optional<Measured> Measure(const std::string& path)
{
    const auto frames = render_test::Capture({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-vf",
                                              "signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=-", "-f",
                                              "null", "-"});
    const auto sound = render_test::Capture({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-ac",
                                             "1", "-ar", "8000", "-f", "s16le", "-"});
    if (!frames || !sound)
        return std::nullopt;
    Measured measured;
    for (const std::string& line : media_test::Lines(*frames))
        if (const auto at = line.find("YAVG="); at != std::string::npos)
            measured.brightness.push_back(std::strtod(line.c_str() + at + 5, nullptr));
    const std::size_t window = 160 * 2;
    for (std::size_t at = 0; at + window <= sound->size(); at += window) {
        double sum = 0;
        for (std::size_t i = at; i < at + window; i += 2) {
            const auto sample = static_cast<std::int16_t>(static_cast<unsigned char>((*sound)[i])
                                                          | (static_cast<unsigned char>((*sound)[i + 1]) << 8));
            sum += (sample / 32768.0) * (sample / 32768.0);
        }
        measured.loudness.push_back(std::sqrt(sum / (window / 2)));
    }
    return measured;
}

// Frames of strictly rising brightness in [from, to).
int Rising(const std::vector<double>& values, std::size_t from, std::size_t to)
{
    int rising = 0;
    for (std::size_t i = from + 1; i < to && i < values.size(); ++i)
        rising += values[i] > values[i - 1] ? 1 : 0;
    return rising;
}

double Mean(const std::vector<double>& values, std::size_t from, std::size_t to)
{
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += values.at(i);
    return sum / static_cast<double>(to - from);
}

struct Clip {
    const char* colour;
    int tone; // Hz
    LONG seconds;
    double fadeOut = 0; // the crouton's own
};

struct JoinRow {
    const char* name;
    std::vector<Clip> clips;
    Transition join;
    double fadeIn = 0; // the project's
    double fadeOut = 0;
    std::size_t frames; // the output's, at 25 a second
    std::function<void(const Measured&)> check;
};

const std::vector<JoinRow>& JoinRows()
{
    static const std::vector<JoinRow> rows = {
        {"a dissolve rises from black to white over its second",
         {{"black", 440, 2}, {"white", 660, 2}}, {"dissolve", 1.0}, 0, 0, 75,
         [](const Measured& m) {
             EXPECT_LT(m.brightness[24], 30);
             EXPECT_GT(m.brightness[50], 225);
             EXPECT_GE(Rising(m.brightness, 25, 50), 22);
         }},
        {"the sound crosses at equal power, without a gap",
         {{"black", 440, 2}, {"white", 660, 2}}, {"dissolve", 1.0}, 0, 0, 75,
         [](const Measured& m) {
             ASSERT_GE(m.loudness.size(), 140u);
             const double steady = Mean(m.loudness, 10, 40);
             for (std::size_t i = 5; i + 5 < m.loudness.size(); ++i)
                 EXPECT_GT(m.loudness[i], 0.7 * steady) << "at " << i * 0.02 << " s";
         }},
        {"a fade through black goes dark halfway",
         {{"white", 440, 2}, {"white", 660, 2}}, {"fadeblack", 1.0}, 0, 0, 75,
         [](const Measured& m) {
             EXPECT_LT(*std::min_element(m.brightness.begin() + 30, m.brightness.begin() + 45), 100);
             EXPECT_GT(m.brightness[24], 225);
             EXPECT_GT(m.brightness[50], 225);
         }},
        {"a wipe to the left is half across halfway",
         {{"white", 440, 2}, {"black", 660, 2}}, {"wipeleft", 1.0}, 0, 0, 75,
         [](const Measured& m) { EXPECT_NEAR(m.brightness[37], 125, 30); }},
        {"a wipe to the right is half across halfway",
         {{"white", 440, 2}, {"black", 660, 2}}, {"wiperight", 1.0}, 0, 0, 75,
         [](const Measured& m) { EXPECT_NEAR(m.brightness[37], 125, 30); }},
        {"a slide to the left is half across halfway",
         {{"white", 440, 2}, {"black", 660, 2}}, {"slideleft", 1.0}, 0, 0, 75,
         [](const Measured& m) { EXPECT_NEAR(m.brightness[37], 125, 30); }},
        {"a slide to the right is half across halfway",
         {{"white", 440, 2}, {"black", 660, 2}}, {"slideright", 1.0}, 0, 0, 75,
         [](const Measured& m) { EXPECT_NEAR(m.brightness[37], 125, 30); }},
        {"the project fades from and to black, picture and sound",
         {{"white", 440, 2}}, {"cut", 1.0}, 1.0, 1.0, 50,
         [](const Measured& m) {
             EXPECT_LT(m.brightness.front(), 20);
             EXPECT_LT(m.brightness.back(), 20);
             EXPECT_GT(m.brightness[25], 225);
             EXPECT_GE(Rising(m.brightness, 0, 25), 22);
             EXPECT_LT(Mean(m.loudness, 0, 5), 0.3 * Mean(m.loudness, 45, 55));
             EXPECT_LT(Mean(m.loudness, 95, 100), 0.3 * Mean(m.loudness, 45, 55));
         }},
        {"a crouton's fade runs through the transition after it, not its piece",
         {{"white", 440, 2, 1.0}, {"white", 660, 2}}, {"dissolve", 1.0}, 0, 0, 75,
         [](const Measured& m) {
             EXPECT_GT(m.brightness[20], 225);
             EXPECT_LT(*std::min_element(m.brightness.begin() + 25, m.brightness.begin() + 50), 200);
         }},
        {"three croutons last as long as they do less two overlaps",
         {{"black", 440, 2}, {"white", 660, 2}, {"black", 880, 2}}, {"dissolve", 0.4}, 0, 0, 130,
         [](const Measured& m) { EXPECT_GT(m.brightness[62], 225); }},
        {"a transition longer than half the shorter crouton is held to it",
         {{"black", 440, 2}, {"white", 660, 1}}, {"dissolve", 3.0}, 0, 0, 62,
         [](const Measured& m) { EXPECT_GT(m.brightness.back(), 225); }},
    };
    return rows;
}

class JoinRender : public render_test::RenderFixture {
protected:
    void SetUp() override
    {
        RenderFixture::SetUp();
        gProject->fps = 2; // 25 frames a second
    }

    // A clip of one colour and one tone.
    std::string MakeClip(const Clip& clip)
    {
        const std::string name = std::string(clip.colour) + std::to_string(clip.tone) + "-" + std::to_string(clip.seconds)
                                 + ".avi";
        const std::string path = folder_ / name;
        const std::string seconds = std::to_string(clip.seconds);
        EXPECT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i",
                                      "color=c=" + std::string(clip.colour) + ":size=160x120:rate=25:duration=" + seconds,
                                      "-f", "lavfi", "-i",
                                      "sine=frequency=" + std::to_string(clip.tone) + ":duration=" + seconds, "-c:v",
                                      "mpeg4", "-q:v", "2", "-c:a", "mp2", "-shortest", path}),
                  0);
        return path;
    }

    void Build(const JoinRow& row)
    {
        for (const Clip& clip : row.clips)
            Append(Video(MakeClip(clip), 0, clip.seconds))->look.fadeOut = clip.fadeOut;
        gProject->look.defaultTransition = row.join;
        gProject->look.fadeIn = row.fadeIn;
        gProject->look.fadeOut = row.fadeOut;
    }

    std::string Render()
    {
        TraceCapture trace;
        RenderProject(gProject.get());
        return trace.Text();
    }
};

TEST_F(JoinRender, TransitionsAndFadesLookAndSoundAsAsked)
{
    for (const JoinRow& row : JoinRows()) {
        SCOPED_TRACE(row.name);
        DestroyProject(std::move(gProject));
        gProject = NewProject();
        gProject->fps = 2;
        render_test::SetField(BUTTON_MAIN_OUTPUTFILENAME, output_);
        DeleteFile(output_);
        Build(row);
        const std::string trace = Render();
        ASSERT_TRUE(trace.ends_with("Rendering finished.\n")) << trace;
        const auto measured = Measure(output_);
        ASSERT_TRUE(measured);
        EXPECT_EQ(measured->brightness.size(), row.frames);
        // The window's total says what the render made.
        EXPECT_NEAR(ProjectRenderedSeconds(*gProject), static_cast<double>(row.frames) / 25, 0.021);
        if (measured->brightness.size() == row.frames)
            row.check(*measured);
        // Nothing of the transitions stays on T:.
        for (const char* name : {"T:__CWJoinTail", "T:__CWTransition", "T:__CWLane1__CWHead", "T:__CWLane1__CWTail",
                                 "T:__CWLane2__CWHead", "T:__CWLane2__CWTail"})
            EXPECT_FALSE(Exists(name)) << name;
    }
}

// A project whose joins are all cuts, asked for in so many words, renders
// with the very lines, traces and frames of one that never asked.
TEST_F(JoinRender, CutsRenderAsTheyAlwaysHave)
{
    const JoinRow row{"", {{"black", 440, 2}, {"white", 660, 2}, {"black", 880, 2}}, {"cut", 1.0}, 0, 0, 150, {}};
    Build(row);
    const std::string plain = Render();
    const auto before = render_test::Probe(output_);
    DeleteFile(output_);
    gProject->look.joins = {Transition{"cut", 2.0}, Transition{"cut", 0.5}};
    const std::string cuts = Render();
    EXPECT_EQ(cuts, plain);
    const auto after = render_test::Probe(output_);
    ASSERT_TRUE(before && after);
    EXPECT_EQ(after->frameHashes, before->frameHashes);
    EXPECT_EQ(after->frameHashes.size(), 150u);
}

// A transition run that fails or is cancelled ends the render and leaves
// nothing of it: no output, no pieces, no stretches.
TEST_F(JoinRender, FailedOrCancelledTransitionLeavesNothing)
{
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "failed");
        DestroyProject(std::move(gProject));
        gProject = NewProject();
        gProject->fps = 2;
        render_test::SetField(BUTTON_MAIN_OUTPUTFILENAME, output_);
        Build({"", {{"black", 440, 2}, {"white", 660, 2}, {"black", 880, 2}}, {"dissolve", 1.0}, 0, 0, 0, {}});
        SetCommandHook([cancel](std::string_view line) -> std::optional<HookAnswer> {
            if (line.find(" -transition ") == std::string_view::npos)
                return std::nullopt;
            if (cancel)
                CancelWork();
            return HookAnswer(cancel ? 0 : 1);
        });
        cwtest::RecordedWork work;
        const std::string trace = Render();
        SetCommandHook({});
        EXPECT_TRUE(trace.ends_with(cancel ? "Rendering cancelled.\n" : "Rendering failed.\n")) << trace;
        EXPECT_NE(trace.find("Transition into crouton number 1: mencoder \"T:__CWJoinTail\" \"T:__CWHead\" -o "
                             "\"T:__CWTransition\" -transition fade:1 -oac pcm -srate 44100 -ovc lavc"),
                  std::string::npos)
            << trace;
        if (!cancel) {
            EXPECT_EQ(work.message, "Crouton 2 (clip) could not be joined: the dissolve before it could not be made: "
                                    "the tool failed with exit code 1.");
        }
        EXPECT_FALSE(Exists(output_));
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(TemporaryFolder(), error))
            EXPECT_TRUE(entry.path().filename().string().find("Lane") == std::string::npos
                        && entry.path().filename().string().find("Join") == std::string::npos
                        && entry.path().filename().string().find("Transition") == std::string::npos
                        && entry.path().filename() != "__CWPieces")
                << entry.path();
    }
}

} // namespace

// A crouton's volume, title, pan and zoom in its render: the options its
// line gets (only when used, after everything a plain line says), the title
// file, and real renders of tiny croutons measured: where the title changes
// the picture, how it fades, how steadily a picture moves, how loud the
// sound comes out.
#include "look_measure.h"
#include "model/render.h"
#include "os/command.h"
#include "render_support.h"
#include "support/fake_tools.h"
#include "tools/tool_media.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

using cwtest::FakeTools;
using look_measure::Decode;
using look_measure::Frames;
using media_test::WriteHostFile;

namespace {

const std::string kTitleProgram = std::string(CW_BINARY_DIR) + "/src/qtview/clipweaver-title";

class LookFixture : public render_test::RenderFixture {
protected:
    void SetUp() override
    {
        RenderFixture::SetUp();
        setenv("CLIPWEAVER_TITLE_PROGRAM", kTitleProgram.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("CLIPWEAVER_TITLE_PROGRAM");
        RenderFixture::TearDown();
    }

    // A fresh project of croutons made by `make`, each given `look`.
    void Fresh(const std::function<std::unique_ptr<Crouton>()>& make, const CroutonLook& look, int count = 1)
    {
        const LONG fps = gProject->fps;
        DestroyProject(std::move(gProject));
        gProject = NewProject();
        gProject->fps = fps;
        render_test::SetField(BUTTON_MAIN_OUTPUTFILENAME, output_);
        render_test::SetField(BUTTON_MAIN_SOUNDTRACK, "");
        for (int i = 0; i < count; ++i)
            Append(make())->look = look;
    }

    std::string Render()
    {
        TraceCapture trace;
        RenderProject(gProject.get());
        return trace.Text();
    }
};

// ---- the lines ----------------------------------------------------------

class LookLines : public LookFixture {
protected:
    void SetUp() override
    {
        LookFixture::SetUp();
        clip_ = folder_ / "clip.avi";
        picture_ = folder_ / "still.png";
        WriteHostFile(clip_, "a clip");
        WriteHostFile(picture_, "a picture");
    }

    std::unique_ptr<Crouton> Make(bool pictures) const { return pictures ? Images(picture_, 6) : Video(clip_, 0, 1); }

    // The encoder lines of a project of `count` such croutons.
    std::vector<std::string> Lines(bool pictures, const CroutonLook& look, int count = 1)
    {
        Fresh([&] { return Make(pictures); }, look, count);
        FakeTools tools([this](const std::string& line, int) {
            if (line.find(" -title ") != std::string::npos)
                titleFile_ = media_test::ReadHostFile(render_test::Host("T:__CWTitle.txt"));
            return std::optional<cwtest::FakeAnswer>();
        });
        Render();
        return tools.Encoder();
    }

    std::string clip_;
    std::string picture_;
    std::string titleFile_;
};

struct LineRow {
    std::string what;
    bool pictures = false;
    std::function<void(CroutonLook&)> change;
    std::string added; // the options the look adds, each with its space before it
};

const std::vector<LineRow>& LineRows()
{
    static const std::vector<LineRow> rows = {
        {"a video crouton ignores pan and zoom", false, [](CroutonLook& l) { l.panZoom = {true, false, {}, {2, 0.3, 0.3}}; }, ""},
        {"a title not shown adds nothing", false, [](CroutonLook& l) { l.title.text = "unseen"; }, ""},
        {"a move that stays put adds nothing", true, [](CroutonLook& l) { l.panZoom.on = true; }, ""},
        {"half the sound", false, [](CroutonLook& l) { l.volume = 50; }, " -volume 50"},
        {"sound held to 200 %", true, [](CroutonLook& l) { l.volume = 250; }, " -volume 200"},
        {"a title names only its file", false, [](CroutonLook& l) { l.title.shown = true; }, " -title \"T:__CWTitle.txt\""},
        {"a picture's move", true, [](CroutonLook& l) { l.panZoom = {true, false, {}, {2, 0.3, 0.7}}; },
            " -panzoom 1:0.5:0.5:2:0.3:0.7"},
        {"a framing held on the picture", true, [](CroutonLook& l) { l.panZoom = {true, false, {2, 0, 1}, {1, 0.9, 0}}; },
            " -panzoom 2:0.25:0.75:1:0.5:0.5"},
        {"all of them, in order", true,
            [](CroutonLook& l) {
                l.volume = 80;
                l.title.shown = true;
                l.panZoom = {true, false, {1.5, 0.4, 0.5}, {1.5, 0.6, 0.5}};
            },
            " -volume 80 -title \"T:__CWTitle.txt\" -panzoom 1.5:0.4:0.5:1.5:0.6:0.5"},
    };
    return rows;
}

TEST_F(LookLines, LookOptionsFollowThePlainLineOnlyWhenUsed)
{
    ASSERT_TRUE(std::filesystem::exists(kTitleProgram));
    for (const LineRow& row : LineRows()) {
        SCOPED_TRACE(row.what);
        const std::vector<std::string> plain = Lines(row.pictures, {});
        CroutonLook look;
        row.change(look);
        const std::vector<std::string> lines = Lines(row.pictures, look);
        ASSERT_EQ(plain.size(), 2u); // the crouton's line and the finish
        ASSERT_EQ(lines.size(), 2u);
        const std::string& line = lines.front();
        if (row.pictures)
            EXPECT_EQ(line, plain.front().substr(0, plain.front().size() - 1) + row.added + "\n");
        else
            EXPECT_EQ(line, plain.front() + (row.added.empty() ? "" : row.added.substr(1) + " "));
        EXPECT_EQ(lines.back(), plain.back());
        // The mencoder stand-in takes the line itself.
        ParsedCommand parsed;
        ASSERT_TRUE(ParseCommandLine(line, parsed));
        const auto read = cwtools::ReadMencoderLine(parsed.arguments, parsed.quoted);
        ASSERT_TRUE(read);
        EXPECT_TRUE(cwtools::RecogniseMencoderLine(*read)) << line;
    }
}

TEST_F(LookLines, TitleTextReachesOnlyItsFile)
{
    struct Row {
        std::string what;
        std::string text;
        std::string drawn;
    };
    const std::string hostile = "\"Quoted\" 'single' a:b 100% C:\\dir\\ ;,[x] $HOME `x`\nעברית 😀";
    for (const Row& row : {Row{"typed text, as typed", hostile, hostile}, Row{"no text: the crouton's name", "", "clip"}}) {
        SCOPED_TRACE(row.what);
        CroutonLook look;
        look.title = {true, row.text, TitlePlace::Top, 9, "#ff8000", true, 2, 0.25};
        titleFile_.clear();
        const std::string line = Lines(false, look).front();
        EXPECT_EQ(titleFile_, "place=top\nsize=9\ncolour=#ff8000\nbacking=box\nseconds=2\nfade=0.25\ntext=" + row.drawn);
        EXPECT_EQ(line.find("Quoted"), std::string::npos);
    }
}

TEST_F(LookLines, GentleMotionVariesByPlaceAndStaysTheSame)
{
    CroutonLook look;
    look.panZoom.on = true;
    look.panZoom.gentle = true;
    const std::vector<std::string> first = Lines(true, look, 3);
    const std::vector<std::string> again = Lines(true, look, 3);
    EXPECT_EQ(first, again);
    std::vector<std::string> moves;
    for (const std::string& line : first)
        if (line.find(" -panzoom ") != std::string::npos)
            moves.push_back(line.substr(line.find(" -panzoom ")));
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_NE(moves[0], moves[1]);
    EXPECT_NE(moves[1], moves[2]);
}

TEST_F(LookLines, WithoutTheTitleProgramTheCroutonIsRefusedInPlainWords)
{
    setenv("CLIPWEAVER_TITLE_PROGRAM", (folder_ / "nowhere").c_str(), 1);
    cwtest::RecordedWork work;
    CroutonLook look;
    look.title.shown = true;
    EXPECT_TRUE(Lines(false, look).empty());
    EXPECT_NE(work.message.find("its title cannot be drawn: the program that draws titles (clipweaver-title) is not "
                                "installed"),
              std::string::npos)
        << work.message;
}

// ---- real renders ----------------------------------------------------------

class LookRender : public LookFixture {
protected:
    void SetUp() override
    {
        LookFixture::SetUp();
        gProject->fps = 2; // 25 frames a second, 320 x 240
    }

    // `count` copies of one picture made by the lavfi source `source`, shown
    // one a second.
    std::function<std::unique_ptr<Crouton>()> Pictures(const std::string& source, int count)
    {
        for (int i = 1; i <= count; ++i)
            EXPECT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", source, "-frames:v", "1",
                                          folder_ / ("still" + std::to_string(i) + ".png")}),
                      0);
        const std::string pattern = folder_ / "still#?.png";
        return [pattern, count] {
            auto crouton = Images(pattern, 6);
            crouton->length = count;
            return crouton;
        };
    }

    Frames RenderFrames(const CroutonLook& look, const std::function<std::unique_ptr<Crouton>()>& make, int crop = 0)
    {
        Fresh(make, look);
        const std::string trace = Render();
        EXPECT_TRUE(trace.ends_with("Rendering finished.\n")) << trace;
        return Decode(output_, 320, 240, crop);
    }
};

constexpr const char* kGray = "color=c=0x808080:s=320x240";

struct RegionRow {
    std::string what;
    TitlePlace place;
    bool box;
    std::string text;
    double from; // where the title may change the picture, in fractions of its height
    double to;
    bool clip = false; // over a video crouton with its sound, else a picture crouton
};

TEST_F(LookRender, TitleChangesThePictureOnlyInItsPlace)
{
    const std::string clip = folder_ / "gray.avi";
    ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", std::string(kGray) + ":d=1", "-f", "lavfi", "-i",
                                  "sine=duration=1", "-c:v", "mpeg4", "-q:v", "2", "-c:a", "mp2", clip}),
              0);
    const std::map<bool, std::function<std::unique_ptr<Crouton>()>> kinds = {
        {false, Pictures(kGray, 1)}, {true, [clip] { return Video(clip, 0, 1); }}};
    std::map<bool, Frames> plain;
    const std::vector<RegionRow> rows = {
        {"top", TitlePlace::Top, false, "Top of the day", 0.0, 0.35},
        {"centre, in a box", TitlePlace::Centre, true, "In the middle", 0.3, 0.7},
        {"lower third", TitlePlace::LowerThird, false, "Lower third", 0.6, 1.0},
        {"quotes, colons, percent signs, backslashes, right-to-left and emoji", TitlePlace::LowerThird, false,
            "\"Quoted\" 'it' a:b 100% C:\\dir\\ ;,[x] עברית مرحبا 😀", 0.6, 1.0},
        {"over a clip with its sound", TitlePlace::Top, false, "Over a clip with its sound", 0.0, 0.35, true},
    };
    for (const RegionRow& row : rows) {
        SCOPED_TRACE(row.what);
        if (!plain.count(row.clip))
            plain[row.clip] = RenderFrames({}, kinds.at(row.clip));
        const Frames& before = plain[row.clip];
        ASSERT_EQ(before.frames.size(), 25u);
        CroutonLook look;
        look.title = {true, row.text, row.place, 8, "#ffffff", row.box, 0, 0};
        const Frames titled = RenderFrames(look, kinds.at(row.clip));
        ASSERT_EQ(titled.frames.size(), 25u);
        const std::vector<double> rows = look_measure::RowDifferences(before, before.frames[12], titled.frames[12]);
        double inside = 0;
        for (std::size_t y = 0; y < rows.size(); ++y) {
            const double at = static_cast<double>(y) / static_cast<double>(rows.size());
            if (at >= row.from && at < row.to)
                inside = std::max(inside, rows[y]);
            else
                EXPECT_LT(rows[y], 3.0) << "row " << y;
        }
        EXPECT_GT(inside, 20.0);
    }
}

struct FadeRow {
    std::string what;
    double seconds; // the title's
    double fade;
    int frame;
    double least; // its change there against the title in full, from and to
    double most;
};

TEST_F(LookRender, TitleFadesInAndOutWhenAsked)
{
    const auto gray = Pictures(kGray, 3);
    const Frames plain = RenderFrames({}, gray);
    ASSERT_EQ(plain.frames.size(), 75u);
    const std::vector<FadeRow> rows = {
        {"nothing at the start of a fade in", 2, 0.5, 0, 0, 0.1},
        {"half way into the fade in", 2, 0.5, 6, 0.25, 0.75},
        {"half way out", 2, 0.5, 44, 0.25, 0.75},
        {"gone after its seconds", 2, 0.5, 60, 0, 0.1},
        {"without a fade, there from the first frame", 0, 0, 0, 0.9, 1.1},
        {"without seconds, there to the last frame", 0, 0, 74, 0.9, 1.1},
    };
    std::map<std::pair<double, double>, Frames> renders;
    // The title's change to the lower third of a frame.
    const auto change = [&plain](const Frames& titled, int frame) {
        const std::vector<double> rows = look_measure::RowDifferences(plain, plain.frames[static_cast<std::size_t>(frame)],
                                                                      titled.frames[static_cast<std::size_t>(frame)]);
        double sum = 0;
        for (std::size_t y = rows.size() / 2; y < rows.size(); ++y)
            sum += rows[y];
        return sum;
    };
    for (const FadeRow& row : rows) {
        SCOPED_TRACE(row.what);
        auto& titled = renders[{row.seconds, row.fade}];
        if (titled.frames.empty()) {
            CroutonLook look;
            look.title = {true, "Fading", TitlePlace::LowerThird, 10, "#ffffff", true, row.seconds, row.fade};
            titled = RenderFrames(look, gray);
        }
        ASSERT_EQ(titled.frames.size(), 75u);
        const double full = change(titled, 25);
        ASSERT_GT(full, 100.0);
        const double at = change(titled, row.frame) / full;
        EXPECT_GE(at, row.least);
        EXPECT_LE(at, row.most);
    }
}

struct MoveRow {
    std::string what;
    PanZoom move;
    std::optional<double> travelX; // pixels the picture travels across, either way
    double within;                 // how near the measure comes to that
    double steadiest;              // the largest step between two frames, in pixels
};

TEST_F(LookRender, PanAndZoomMovesSteadilyWithoutShaking)
{
    const auto texture = Pictures("nullsrc=s=640x480,geq=lum='random(1)*255':cb=128:cr=128,gblur=sigma=3", 3);
    const std::vector<MoveRow> rows = {
        // A tenth of the picture at 1.5 times: 0.1 x 320 x 1.5 = 48 pixels.
        {"pan across", {true, false, {1.5, 0.45, 0.5}, {1.5, 0.55, 0.5}}, 48.0, 4.0, 1.5},
        // 9.6 pixels in 3 s: whole-pixel steps would jerk (zoompan's reach 1 px).
        {"slow pan", {true, false, {1.5, 0.49, 0.5}, {1.5, 0.51, 0.5}}, 9.6, 5.0, 0.6},
        {"zoom into the centre", {true, false, {1, 0.5, 0.5}, {1.6, 0.5, 0.5}}, 0.0, 1.5, 0.25},
        {"gentle motion", {true, true, {}, {}}, std::nullopt, 0, 1.5},
    };
    for (const MoveRow& row : rows) {
        SCOPED_TRACE(row.what);
        CroutonLook look;
        look.panZoom = row.move;
        const Frames frames = RenderFrames(look, texture, 128);
        ASSERT_EQ(frames.frames.size(), 75u);
        std::vector<look_measure::Shift> steps;
        for (std::size_t i = 1; i < frames.frames.size(); ++i)
            steps.push_back(look_measure::PhaseShift(frames.frames[i - 1], frames.frames[i], 128));
        // A pan's whole way is measured at once from the first frame to the
        // last (summed steps of a fraction of a pixel come out short); a
        // zoom's, which changes the picture's scale, step by step.
        double travelX = 0;
        if (row.move.from.zoom == row.move.to.zoom)
            travelX = look_measure::PhaseShift(frames.frames.front(), frames.frames.back(), 128).x;
        else
            for (const look_measure::Shift& step : steps)
                travelX += step.x;
        double largest = 0;
        int signX = 0;
        int signY = 0;
        for (const look_measure::Shift& step : steps) {
            largest = std::max(largest, std::hypot(step.x, step.y));
            // No step goes back against the ones before it.
            for (auto [value, sign] : {std::pair{step.x, &signX}, std::pair{step.y, &signY}}) {
                if (std::fabs(value) < 0.15)
                    continue;
                const int now = value > 0 ? 1 : -1;
                EXPECT_TRUE(*sign == 0 || *sign == now) << "a reversal: " << value;
                *sign = now;
            }
        }
        EXPECT_LE(largest, row.steadiest);
        if (row.travelX) {
            EXPECT_NEAR(std::fabs(travelX), *row.travelX, row.within);
        }
        if (row.travelX && *row.travelX > 20) {
            // Eased: it starts and ends gently.
            EXPECT_LT(std::fabs(steps.front().x), 0.35 * largest);
            EXPECT_LT(std::fabs(steps.back().x), 0.35 * largest);
        }
    }
}

struct VolumeRow {
    std::string what;
    bool pictures; // a picture crouton with a soundtrack of its own, else a clip with its sound
    int volume;
    double decibels; // against the same crouton at 100 %
};

TEST_F(LookRender, VolumeScalesTheCroutonsOwnSound)
{
    const std::string clip = folder_ / "clip.avi";
    media_test::MakeClip(clip, true);
    const std::string tune = folder_ / "tune.wav";
    ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=330:duration=3", tune}), 0);
    const auto pictures = Pictures(kGray, 1);
    const std::vector<VolumeRow> rows = {
        {"half is 6 dB under", false, 50, -6.02},
        {"double is 6 dB over", false, 200, 6.02},
        {"none is silence", false, 0, -60},
        {"a picture crouton's own soundtrack at half", true, 50, -6.02},
    };
    std::map<bool, double> full;
    const auto loudness = [&](bool withPictures, int volume) {
        CroutonLook look;
        look.volume = volume;
        Fresh([&] {
            auto crouton = withPictures ? pictures() : Video(clip, 0, 2);
            if (withPictures)
                crouton->soundtrack = tune;
            return crouton;
        }, look);
        const std::string trace = Render();
        EXPECT_TRUE(trace.ends_with("Rendering finished.\n")) << trace;
        return look_measure::Loudness(output_, 0.2, 0.6).value_or(-200);
    };
    for (const VolumeRow& row : rows) {
        SCOPED_TRACE(row.what);
        if (!full.count(row.pictures))
            full[row.pictures] = loudness(row.pictures, 100);
        ASSERT_GT(full[row.pictures], -30.0);
        const double change = loudness(row.pictures, row.volume) - full[row.pictures];
        if (row.volume == 0)
            EXPECT_LT(change, row.decibels);
        else
            EXPECT_NEAR(change, row.decibels, 0.5);
    }
}

} // namespace

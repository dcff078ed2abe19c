// The player through the script driver, on clips ffmpeg makes: the frame
// shown at a seek and a step, a project's joins in a preview, problems told,
// and no thread left behind by opening, closing or quitting.
#include "media_test_support.h"

#include "gui/script.h"
#include "media/player.h"
#include "os/format.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <thread>
#include <sstream>

using ::testing::HasSubstr;
using namespace media_test;

namespace {

struct Colour {
    int r, g, b;
};

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(work_ / "Croutons");
        std::filesystem::create_directory(work_ / "media");
        setenv("CLIPWEAVER_TMPROOT", (work_ / "tmp").c_str(), 1);
    }

    // A 4-second black clip at 25 frames a second, white at frame 50 only.
    void MakeFlashClip(const std::string& name)
    {
        ASSERT_EQ(Ffmpeg({"-f", "lavfi", "-i", "color=black:size=160x120:rate=25:d=4", "-vf",
                          "drawbox=color=white:t=fill:enable='eq(n,50)'", "-c:v", "mpeg4", "-q:v", "2",
                          work_ / ("media/" + name)}),
                  0);
    }
    void MakeColourClip(const std::string& name, const std::string& colour)
    {
        ASSERT_EQ(Ffmpeg({"-f", "lavfi", "-i", "color=" + colour + ":size=160x120:rate=25:d=1", "-c:v", "mpeg4",
                          "-q:v", "2", work_ / ("media/" + name)}),
                  0);
    }
    // Lines that make a crouton of media/NAME and choose it.
    std::string NewCrouton(const std::string& name, int position)
    {
        return "requester \"" + work_.path() + "/media\" \"" + name + "\"\nrequester \"" + work_.path()
               + "/Croutons\" \"crouton" + std::to_string(position) + ".cwcrouton\"\npress BUTTON_MAIN_NEWCROUTON\nselect gCroutonList "
               + std::to_string(position) + "\n";
    }
    std::string Run(const std::string& script)
    {
        std::istringstream in(script);
        std::ostringstream out;
        std::ostringstream errors;
        EXPECT_EQ(RunScript(in, out, errors), 0);
        EXPECT_EQ(errors.str(), "");
        return out.str();
    }
    // The colour in the middle of a frame file, as ffmpeg reads it.
    Colour Middle(const std::string& png)
    {
        const std::string raw = work_ / "middle.raw";
        EXPECT_EQ(Ffmpeg({"-i", png, "-vf", "crop=1:1:iw/2:ih/2", "-f", "rawvideo", "-pix_fmt", "rgb24", raw}), 0);
        const std::string bytes = ReadHostFile(raw);
        if (bytes.size() != 3)
            return {-1, -1, -1};
        return {static_cast<unsigned char>(bytes[0]), static_cast<unsigned char>(bytes[1]),
                static_cast<unsigned char>(bytes[2])};
    }
    // The colour at a place in a frame file, given as fractions of its
    // width and height.
    Colour At(const std::string& png, double x, double y)
    {
        const std::string raw = work_ / "at.raw";
        EXPECT_EQ(Ffmpeg({"-i", png, "-vf", Format("crop=1:1:iw*%.2f:ih*%.2f", x, y), "-f", "rawvideo", "-pix_fmt",
                      "rgb24", raw}),
            0);
        const std::string bytes = ReadHostFile(raw);
        if (bytes.size() != 3)
            return {-1, -1, -1};
        return {static_cast<unsigned char>(bytes[0]), static_cast<unsigned char>(bytes[1]),
                static_cast<unsigned char>(bytes[2])};
    }
    PlayerMedia Media(const std::string& name)
    {
        PlayerMedia media;
        media.shownName = name;
        media.url = work_ / ("media/" + name);
        media.end = 4.0;
        return media;
    }
    static std::vector<std::string> PlayerLines(const std::string& out)
    {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("player ", 0) == 0)
                lines.push_back(line);
        return lines;
    }

    TempFolder work_;
};

int Threads() { return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"), {})); }

// The count once it has come down to `want`: a thread that was joined or
// ended may still be leaving /proc for a moment on a busy machine. A thread
// that was truly left behind keeps the count up for all the waits.
int ThreadsOnceSettled(int want)
{
    int now = Threads();
    for (int wait = 0; wait < 500 && now != want; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        now = Threads();
    }
    return now;
}

TEST_F(PlayerTest, SeeksAndStepsShowTheFrameAskedFor)
{
    MakeFlashClip("flash.avi");
    struct Row {
        const char* moves;
        bool white;
        const char* frame;
    };
    const Row rows[] = {
        {"player seek 1.96\n", false, "frame=49 "},                   // one frame before the flash
        {"player seek 2\n", true, "frame=50 "},                       // the flash itself
        {"player seek 1.99\n", false, "frame=49 "},                   // between frames: the one shown then
        {"player seek 1.96\nplayer step 1\n", true, "frame=50 "},     // a step moves one frame
        {"player seek 2\nplayer step -1\n", false, "frame=49 "},      // and back
        {"player seek 1.6\nplayer play 0.4\n", true, "frame=50 "},    // playing stops where asked
    };
    for (const Row& row : rows) {
        const std::string png = work_ / "shown.png";
        const std::string out = Run(NewCrouton("flash.avi", 0) + "doubleclick gCroutonList 0\n"
                                    + "press BUTTON_CROUTONEDITOR_MPLAYER\n" + row.moves + "player frame \"" + png
                                    + "\"\ndump\n");
        const Colour middle = Middle(png);
        EXPECT_EQ(middle.r > 200, row.white) << row.moves << middle.r;
        const std::vector<std::string> lines = PlayerLines(out);
        ASSERT_FALSE(lines.empty()) << row.moves;
        EXPECT_THAT(lines.back(), HasSubstr(row.frame)) << row.moves;
        EXPECT_THAT(lines.back(), HasSubstr(" playing=0 ")) << row.moves;
    }
}

TEST_F(PlayerTest, PreviewPlaysTheCroutonsInOrderWithoutGaps)
{
    MakeColourClip("red.avi", "red");
    MakeColourClip("green.avi", "0x00ff00");
    MakeColourClip("blue.avi", "blue");
    const std::string croutons = NewCrouton("red.avi", 0) + NewCrouton("green.avi", 1) + NewCrouton("blue.avi", 2);
    struct Row {
        const char* at;
        int channel; // 0 red, 1 green, 2 blue
        const char* crouton;
    };
    const Row rows[] = {
        {"0.96", 0, "crouton=0"}, {"1", 1, "crouton=1"}, {"1.96", 1, "crouton=1"}, {"2", 2, "crouton=2"},
        {"2.96", 2, "crouton=2"},
    };
    for (const Row& row : rows) {
        const std::string png = work_ / "shown.png";
        const std::string out = Run(croutons + "preview\nplayer seek " + row.at + "\nplayer frame \"" + png
                                    + "\"\ndump\n");
        const Colour middle = Middle(png);
        const int channels[] = {middle.r, middle.g, middle.b};
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(channels[c] > 128, c == row.channel) << "at " << row.at << " channel " << c;
        const std::vector<std::string> lines = PlayerLines(out);
        ASSERT_FALSE(lines.empty());
        EXPECT_THAT(lines.back(), HasSubstr(row.crouton)) << row.at;
        // The list follows the crouton playing.
        EXPECT_THAT(out, HasSubstr(std::string("list gCroutonList entries=3 active=") + (row.crouton + 8)));
    }
}

TEST_F(PlayerTest, PreviewPlaysEachPictureCroutonAtItsOwnRate)
{
    // Pictures at 2 a second (0..1 s), pictures at 1 a second (1..3 s), a black clip.
    const char* pictures[] = {"a1.png:red", "a2.png:0x00ff00", "b1.png:blue", "b2.png:white"};
    for (const std::string picture : pictures)
        ASSERT_EQ(Ffmpeg({"-f", "lavfi", "-i", "color=" + picture.substr(picture.find(':') + 1) + ":size=160x120",
                          "-frames:v", "1", work_ / ("media/" + picture.substr(0, picture.find(':')))}),
                  0);
    MakeColourClip("black.avi", "black");
    const auto sequence = [&](const std::string& name, int position, int rate) {
        return NewCrouton(name + "1.png", position) + "doubleclick gCroutonList " + std::to_string(position)
               + "\ntype BUTTON_CROUTONEDITOR_VIDEO_FILENAME \"" + work_.path() + "/media/" + name
               + "#?.png\"\ncycle BUTTON_CROUTONEDITOR_FPS_CYCLER " + std::to_string(rate)
               + "\npress BUTTON_CROUTONEDITOR_SAVE\n";
    };
    const std::string croutons = sequence("a", 0, 7) + sequence("b", 1, 6) + NewCrouton("black.avi", 2);
    struct Row {
        const char* at;
        bool r, g, b;
        const char* crouton;
    };
    const Row rows[] = {
        {"0.44", true, false, false, "crouton=0"}, {"0.52", false, true, false, "crouton=0"},
        {"1.04", false, false, true, "crouton=1"}, {"1.96", false, false, true, "crouton=1"},
        {"2.04", true, true, true, "crouton=1"},   {"2.96", true, true, true, "crouton=1"},
        {"3.04", false, false, false, "crouton=2"},
    };
    for (const Row& row : rows) {
        const std::string png = work_ / "shown.png";
        const std::string out = Run(croutons + "preview\nplayer seek " + row.at + "\nplayer frame \"" + png + "\"\ndump\n");
        const Colour middle = Middle(png);
        EXPECT_EQ((std::array{middle.r > 128, middle.g > 128, middle.b > 128}), (std::array{row.r, row.g, row.b}))
            << "at " << row.at;
        const std::vector<std::string> lines = PlayerLines(out);
        ASSERT_FALSE(lines.empty());
        EXPECT_THAT(lines.back(), HasSubstr(row.crouton)) << row.at;
    }
}

// A telephone's upright clip, stored turned: the player showed it once
// and took the whole program down (mpv's software renderer aborts on a
// turned picture); it shows it upright, beside black, for every turn.
TEST_F(PlayerTest, AClipStoredTurnedPlaysUpright)
{
    for (const char* turn : {"90", "180", "270"}) {
        SCOPED_TRACE(turn);
        const std::string name = std::string("turned") + turn + ".mp4";
        MakeTurnedClip(work_ / ("media/" + name), turn);
        const std::string png = work_ / "shown.png";
        std::filesystem::remove(png);
        Run(NewCrouton(name, 0) + "doubleclick gCroutonList 0\npress BUTTON_CROUTONEDITOR_MPLAYER\nplayer frame \"" + png
            + "\"\n");
        const Colour top = At(png, 0.5, 0.1);
        const Colour bottom = At(png, 0.5, 0.9);
        const Colour beside = At(png, 0.05, 0.5);
        EXPECT_TRUE(top.r > 200 && top.b < 60) << top.r << " " << top.g << " " << top.b;
        EXPECT_TRUE(bottom.b > 200 && bottom.r < 60) << bottom.r << " " << bottom.g << " " << bottom.b;
        EXPECT_TRUE(beside.r < 30 && beside.g < 30 && beside.b < 30) << beside.r << " " << beside.g << " " << beside.b;
    }
}

TEST_F(PlayerTest, ProblemsAreToldAndTheProgramGoesOn)
{
    MakeFlashClip("gone.avi");
    struct Row {
        std::string script;
        std::string told;
    };
    const Row rows[] = {
        {NewCrouton("gone.avi", 0) + "doubleclick gCroutonList 0\ntype BUTTON_CROUTONEDITOR_VIDEO_FILENAME \""
             + work_.path() + "/media/nothing.avi\"\n",
         "cannot be found"},
        {NewCrouton("gone.avi", 0) + "doubleclick gCroutonList 0\ntype BUTTON_CROUTONEDITOR_VIDEO_FILENAME \""
             + work_.path() + "/media/none#?.png\"\n",
         "No picture matches"},
    };
    for (const Row& row : rows) {
        const std::string out = Run(row.script + "press BUTTON_CROUTONEDITOR_MPLAYER\ndump\nplayer close\ndump\n");
        const std::vector<std::string> lines = PlayerLines(out);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_THAT(lines[0], HasSubstr(row.told));
        EXPECT_THAT(lines[1], HasSubstr("player closed"));
    }
    // A file the player cannot read.
    WriteHostFile(work_ / "media/junk.avi", "this is no video");
    PlayerOpen(Media("junk.avi"));
    PlayerSettle();
    EXPECT_THAT(PlayerCurrent().problem, HasSubstr("cannot open junk.avi"));
    PlayerClose();
}

TEST_F(PlayerTest, LeavesNoThreadWhenClosedQuitOrOpenedTwice)
{
    MakeFlashClip("flash.avi");
    const std::string open = NewCrouton("flash.avi", 0) + "doubleclick gCroutonList 0\n"
                             + "press BUTTON_CROUTONEDITOR_MPLAYER\nplayer play 0.2\n";
    struct Row {
        std::string ending;
        const char* state;
    };
    const Row rows[] = {
        {"close WINDOW_CROUTONEDITOR\ndump\n", "player closed"},              // the editor closes
        {"press BUTTON_CROUTONEDITOR_MPLAYER\ndump\n", "player open"},        // opened twice
        {"preview\ndump\n", "crouton=0"},                                     // a preview in its place
        {"dump\n", "player open"},                                            // quit while open
    };
    const int before = Threads();
    for (const Row& row : rows) {
        const std::string out = Run(open + row.ending);
        const std::vector<std::string> lines = PlayerLines(out);
        ASSERT_FALSE(lines.empty());
        EXPECT_THAT(lines.back(), HasSubstr(row.state)) << row.ending;
        EXPECT_FALSE(PlayerIsOpen()) << row.ending;
        EXPECT_EQ(ThreadsOnceSettled(before), before) << row.ending;
    }
    // Quitting while it plays.
    PlayerOpen(Media("flash.avi"));
    PlayerSettle();
    PlayerSetPlaying(true);
    PlayerClose();
    EXPECT_EQ(ThreadsOnceSettled(before), before);
}

} // namespace

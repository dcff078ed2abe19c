// The media probe: telling images from videos, MPlayer's answers, and real
// probes of tiny clips made here with ffmpeg: their size, rate, length and
// sound, whatever their names hold, and files that are no media.
#include "media/probe.h"

#include "gui/editor.h"
#include "gui/vocabulary.h"
#include "media_test_support.h"
#include "model/crouton.h"
#include "model/tables.h"
#include "os/dos.h"
#include "os/exec.h"
#include "os/question.h"
#include "mui/mui.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

using media_test::MakeClip;
using media_test::ReadHostFile;
using media_test::TempFolder;
using cwtest::Address;
using cwtest::HostFile;

namespace {

// The probe as the crouton editor's "_Load" runs it on its source field: a
// clip's length reaches the editor's sliders.
BOOL LoadFromEditor(Crouton* crouton, const std::string& source)
{
    mui::nnset(gButtons[BUTTON_CROUTONEDITOR_VIDEO_FILENAME], MUIA_String_Contents, source);
    return CroutonEditor_LoadVideo(crouton);
}

// A crouton whose probed fields hold values no probe gives, to see which
// ones a probe touches.
std::unique_ptr<Crouton> MarkedCrouton()
{
    auto crouton = CreateCrouton();
    crouton->start = 7;
    crouton->length = 9;
    crouton->videoLength = 77;
    crouton->width = 11;
    crouton->height = 12;
    crouton->videoBitrate = 13;
    crouton->audioBitrate = 14;
    crouton->ratio = 1.5f;
    crouton->customFPS = 12.5f;
    crouton->fps = 3;
    crouton->videoCodec = "oldvideo";
    crouton->audioCodec = "oldaudio";
    crouton->name = "Name";
    crouton->videoName = "old.avi";
    return crouton;
}

// ---- answer lookup ------------------------------------------------------

TEST(ProbeAnswers, IntegerIsReadAsAtoiReadsIt)
{
    const std::string output = "junk\nANS_width=160\nANS_height=  -120px\nANS_fps=25.000000\n";
    EXPECT_EQ(ReadIntFromBuffer(output, "width"), 160);
    EXPECT_EQ(ReadIntFromBuffer(output, "height"), -120);
    EXPECT_EQ(ReadIntFromBuffer(output, "fps"), 25);
    EXPECT_EQ(ReadIntFromBuffer(output, "video_bitrate"), 0);
    EXPECT_EQ(ReadIntFromBuffer("ANS_width=abc\n", "width"), 0);
    EXPECT_EQ(ReadIntFromBuffer("ANS_width=99999999999999\n", "width"), 2147483647);
    EXPECT_EQ(ReadIntFromBuffer("", "width"), 0);
}

TEST(ProbeAnswers, KeyIsAPlainCaseSensitiveSubstringAndTheFirstOneCounts)
{
    EXPECT_EQ(ReadIntFromBuffer("V: 0.0 ANS_width=320\nANS_width=640\n", "width"), 320);
    EXPECT_EQ(ReadIntFromBuffer("ans_width=320\nANS_WIDTH=320\n", "width"), 0);
    // "ANS_audio_bitrate=" must not be taken for "ANS_bitrate=".
    EXPECT_EQ(ReadIntFromBuffer("ANS_audio_bitrate=48000\n", "bitrate"), 0);
    EXPECT_EQ(ReadStringFromBuffer("ANS_video_codec=first\nANS_video_codec=second\n", "video_codec"), "first");
}

TEST(ProbeAnswers, FloatIsReadAsAtofInSinglePrecision)
{
    EXPECT_EQ(ReadFloatFromBuffer("ANS_LENGTH=59.99\n", "LENGTH"), 59.99f);
    EXPECT_EQ(ReadFloatFromBuffer("ANS_aspect=1.333333\n", "aspect"), 1.333333f);
    EXPECT_EQ(ReadFloatFromBuffer("ANS_fps=29.970\r\n", "fps"), 29.97f);
    EXPECT_EQ(ReadFloatFromBuffer("ANS_fps=x\n", "fps"), 0.0f);
    EXPECT_EQ(ReadFloatFromBuffer("ANS_LENGTH=60.00\n", "fps"), 0.0f);
}

TEST(ProbeAnswers, TextIsTheWholeValueUpToTheLineFeed)
{
    EXPECT_EQ(ReadStringFromBuffer("ANS_video_codec=ffh264\nANS_audio_codec=mpg123\n", "video_codec"), "ffh264");
    EXPECT_EQ(ReadStringFromBuffer("ANS_video_codec=ff h264 x\n", "video_codec"), "ff h264 x");
    // An empty value is an empty text, not a missing one.
    const auto empty = ReadStringFromBuffer("ANS_audio_codec=\nANS_x=1\n", "audio_codec");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(*empty, "");
    EXPECT_EQ(ReadStringFromBuffer("ANS_video_codec=ffh264\n", "audio_codec"), std::nullopt);
}

TEST(ProbeAnswers, TextWithoutLineFeedTakesTheRestAndKeepsACarriageReturn)
{
    EXPECT_EQ(ReadStringFromBuffer("ANS_audio_codec=mpg123", "audio_codec"), "mpg123");
    EXPECT_EQ(ReadStringFromBuffer("ANS_audio_codec=", "audio_codec"), "");
    // Everything before the line feed is the value, a carriage return too.
    EXPECT_EQ(ReadStringFromBuffer("ANS_audio_codec=mpg123\r\nnext\n", "audio_codec"), "mpg123\r");
    EXPECT_EQ(ReadStringFromBuffer("ANS_audio_codec=a\rb\r\n", "audio_codec"), "a\rb\r");
}

// ---- image or video -----------------------------------------------------

TEST(ProbeClassify, ImageExtensionsAndPatternsMakeImageCroutons)
{
    const std::vector<std::string> images{"clip.PNG",    "a.Jpeg",           "x.tar.jpg",        "pic.jpg",
                                          "frames/shot#?", "frames/img#?.png", "Work:Pics/(a|b).x", "shot?"};
    for (const std::string& name : images) {
        SCOPED_TRACE(name);
        auto crouton = MarkedCrouton();
        TraceCapture trace;
        EXPECT_EQ(LoadVideoIntoCrouton(crouton.get(), name), TRUE);
        EXPECT_EQ(trace.Text(), "filename is " + name + ".\nLoading image " + name + " into crouton " +
                                    Address(crouton.get()) + ".\n");
        EXPECT_EQ(crouton->isVideo, FALSE);
        EXPECT_EQ(crouton->start, 0);
        EXPECT_EQ(crouton->length, 1);
        EXPECT_EQ(crouton->fps, 5);
        EXPECT_STREQ(cCroutonEditorFPSStrings[5], "1.5 Seconds/Frame");
        // Nothing of the source facts changes.
        EXPECT_EQ(crouton->videoLength, 77);
        EXPECT_EQ(crouton->width, 11);
        EXPECT_EQ(crouton->height, 12);
        EXPECT_EQ(crouton->videoBitrate, 13);
        EXPECT_EQ(crouton->audioBitrate, 14);
        EXPECT_EQ(crouton->ratio, 1.5f);
        EXPECT_EQ(crouton->customFPS, 12.5f);
        EXPECT_EQ(crouton->videoCodec, "oldvideo");
        EXPECT_EQ(crouton->audioCodec, "oldaudio");
        EXPECT_EQ(crouton->videoName, "old.avi");
        EXPECT_EQ(crouton->name, "Name");
        DestroyCrouton(std::move(crouton));
    }
}

TEST(ProbeClassify, LoadImageIntoCroutonMarksAnImageCrouton)
{
    auto crouton = MarkedCrouton();
    crouton->isVideo = TRUE;
    TraceCapture trace;
    EXPECT_EQ(LoadImageIntoCrouton(crouton.get(), "movie.avi"), TRUE);
    EXPECT_EQ(trace.Text(), "Loading image movie.avi into crouton " + Address(crouton.get()) + ".\n");
    EXPECT_EQ(crouton->isVideo, FALSE);
    EXPECT_EQ(crouton->length, 1);
    EXPECT_EQ(crouton->videoLength, 77);
    DestroyCrouton(std::move(crouton));
}

// A name that names no picture is asked of the player, whatever it holds
// besides; a file that is not there answers nothing, and the stretch and
// names stay the caller's.
TEST(ProbeClassify, OtherNamesAreProbedAsVideos)
{
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    for (const char* base : {"movie.avi", "movie", "clip.png.avi", "clip.pngx", "a.jpg.mp4"}) {
        const std::string name = folder / base;
        SCOPED_TRACE(name);
        auto crouton = MarkedCrouton();
        TraceCapture trace;
        EXPECT_EQ(LoadVideoIntoCrouton(crouton.get(), name), TRUE);
        EXPECT_TRUE(trace.Contains("Executing MPlayer command...\n")) << trace.Text();
        EXPECT_TRUE(trace.Contains("Crouton is video: 1.\n")) << trace.Text();
        EXPECT_EQ(crouton->isVideo, TRUE);
        EXPECT_EQ(crouton->videoLength, 0);
        EXPECT_EQ(crouton->width, 0);
        EXPECT_EQ(crouton->height, 0);
        EXPECT_EQ(crouton->videoBitrate, 0);
        EXPECT_EQ(crouton->audioBitrate, 0);
        EXPECT_EQ(crouton->ratio, 0.0f);
        EXPECT_EQ(crouton->customFPS, 0.0f);
        EXPECT_EQ(crouton->fps, cCroutonEditorInheritFPSID);
        EXPECT_EQ(crouton->videoCodec, std::nullopt);
        EXPECT_EQ(crouton->audioCodec, std::nullopt);
        EXPECT_EQ(crouton->start, 7);
        EXPECT_EQ(crouton->length, 9);
        EXPECT_EQ(crouton->videoName, "old.avi");
        DestroyCrouton(std::move(crouton));
    }
}

// ---- real clips ---------------------------------------------------------

class ProbeClip : public media_test::WindowsFixture {
protected:
    void SetUp() override
    {
        WindowsFixture::SetUp();
        ASSERT_FALSE(folder_.path().empty());
        startSlider_ = gButtons[BUTTON_CROUTONEDITOR_START];
        endSlider_ = gButtons[BUTTON_CROUTONEDITOR_END];
        ASSERT_NE(startSlider_, nullptr);
        ASSERT_NE(endSlider_, nullptr);
        mui::nnset(startSlider_, MUIA_Disabled, LONG{TRUE});
        mui::nnset(endSlider_, MUIA_Disabled, LONG{TRUE});
        mui::nnset(startSlider_, MUIA_Numeric_Max, LONG{50});
        mui::nnset(endSlider_, MUIA_Numeric_Max, LONG{50});
        mui::nnset(startSlider_, MUIA_Numeric_Value, LONG{1});
        mui::nnset(endSlider_, MUIA_Numeric_Value, LONG{40});
    }

    TempFolder folder_;
    mui::Object* startSlider_ = nullptr;
    mui::Object* endSlider_ = nullptr;
};

TEST_F(ProbeClip, ClipWithSoundFillsEveryField)
{
    const std::string clip = folder_ / "beach.avi";
    MakeClip(clip, true);
    auto crouton = MarkedCrouton();
    TraceCapture trace;
    EXPECT_EQ(LoadFromEditor(crouton.get(), clip), TRUE);

    EXPECT_EQ(crouton->isVideo, TRUE);
    EXPECT_EQ(crouton->videoLength, 2);
    EXPECT_EQ(crouton->width, 160);
    EXPECT_EQ(crouton->height, 120);
    EXPECT_GT(crouton->videoBitrate, 0);
    EXPECT_GT(crouton->audioBitrate, 0);
    EXPECT_NEAR(crouton->ratio, 4.0 / 3.0, 0.001);
    EXPECT_EQ(crouton->fps, cCroutonEditorInheritFPSID);
    EXPECT_NEAR(crouton->customFPS, 25.0, 0.01);
    ASSERT_TRUE(crouton->videoCodec);
    EXPECT_FALSE(crouton->videoCodec->empty());
    EXPECT_NE(*crouton->videoCodec, "oldvideo");
    ASSERT_TRUE(crouton->audioCodec) << "no audio codec reported for a clip with sound";
    EXPECT_FALSE(crouton->audioCodec->empty());
    EXPECT_NE(*crouton->audioCodec, "oldaudio");
    EXPECT_EQ(crouton->start, 7);
    EXPECT_EQ(crouton->length, 9);
    EXPECT_EQ(crouton->videoName, "old.avi");

    // The tool's answers, as the readers see them, are what went in.
    const std::string output = ReadHostFile(HostFile("T:__Mplayer.out"));
    EXPECT_EQ(crouton->videoCodec, ReadStringFromBuffer(output, "video_codec"));
    EXPECT_EQ(crouton->audioCodec, ReadStringFromBuffer(output, "audio_codec"));
    EXPECT_EQ(crouton->videoBitrate, ReadIntFromBuffer(output, "video_bitrate"));

    // The editor's sliders now span the clip; the start keeps its value.
    EXPECT_EQ(mui::XGetLong(startSlider_, MUIA_Disabled), FALSE);
    EXPECT_EQ(mui::XGetLong(endSlider_, MUIA_Disabled), FALSE);
    EXPECT_EQ(mui::XGetLong(startSlider_, MUIA_Numeric_Max), 2);
    EXPECT_EQ(mui::XGetLong(endSlider_, MUIA_Numeric_Max), 2);
    EXPECT_EQ(mui::XGetLong(endSlider_, MUIA_Numeric_Value), 2);
    EXPECT_EQ(mui::XGetLong(startSlider_, MUIA_Numeric_Value), 1);

    EXPECT_TRUE(trace.Contains("Executing MPlayer command...\nDone.\nOpened output file...\n"));
    EXPECT_TRUE(trace.Contains("Crouton is video: 1.\n"));
    DestroyCrouton(std::move(crouton));
}

TEST_F(ProbeClip, ClipWithoutSoundHasNoAudioCodec)
{
    const std::string clip = folder_ / "silent.avi";
    MakeClip(clip, false);
    auto crouton = MarkedCrouton();
    EXPECT_EQ(LoadVideoIntoCrouton(crouton.get(), clip), TRUE);
    EXPECT_EQ(crouton->videoLength, 2);
    EXPECT_EQ(crouton->width, 160);
    EXPECT_EQ(crouton->height, 120);
    ASSERT_TRUE(crouton->videoCodec);
    EXPECT_FALSE(crouton->videoCodec->empty());
    EXPECT_EQ(crouton->audioCodec, std::nullopt);
    EXPECT_EQ(crouton->audioBitrate, 0);
    DestroyCrouton(std::move(crouton));
}

// What the probe measures of clips of each kind: size, rate, length and
// whether there is sound, as ffmpeg made them.
struct ClipKind {
    const char* name;
    std::vector<std::string> make; // ffmpeg's arguments before the output name
    int width;
    int height;
    double rate;
    double seconds;
    bool sound;
};

TEST_F(ProbeClip, EachKindOfClipIsMeasured)
{
    const std::vector<ClipKind> kinds = {
        {"silent.avi", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-c:v", "mpeg4", "-an"},
            160, 120, 25, 2, false},
        {"beach.avi", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-f", "lavfi", "-i",
            "sine=duration=2", "-c:v", "mpeg4", "-c:a", "mp2", "-shortest"}, 160, 120, 25, 2, true},
        {"wide.mp4", {"-f", "lavfi", "-i", "testsrc=size=320x180:rate=30000/1001:duration=3", "-f", "lavfi", "-i",
            "sine=duration=3", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest"},
            320, 180, 30000.0 / 1001.0, 3, true},
        {"short.mkv", {"-f", "lavfi", "-i", "testsrc=size=96x64:rate=10:duration=1.5", "-c:v", "libx264",
            "-pix_fmt", "yuv420p", "-an"}, 96, 64, 10, 1.5, false},
    };
    for (const ClipKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        std::vector<std::string> command{"ffmpeg", "-nostdin", "-v", "error", "-y"};
        command.insert(command.end(), kind.make.begin(), kind.make.end());
        command.push_back(folder_ / kind.name);
        ASSERT_EQ(media_test::RunProgram(command), 0);
        auto crouton = MarkedCrouton();
        ASSERT_EQ(LoadFromEditor(crouton.get(), folder_ / kind.name), TRUE);
        EXPECT_EQ(crouton->isVideo, TRUE);
        EXPECT_EQ(crouton->width, kind.width);
        EXPECT_EQ(crouton->height, kind.height);
        EXPECT_NEAR(crouton->customFPS, kind.rate, 0.01);
        EXPECT_NEAR(crouton->ratio, static_cast<double>(kind.width) / kind.height, 0.01);
        // The length to a frame of the clip's.
        EXPECT_NEAR(crouton->videoLength, kind.seconds, 1.0 / kind.rate + 1e-6);
        EXPECT_EQ(crouton->fps, cCroutonEditorInheritFPSID);
        ASSERT_TRUE(crouton->videoCodec);
        EXPECT_FALSE(crouton->videoCodec->empty());
        EXPECT_EQ(crouton->audioCodec.has_value(), kind.sound);
        EXPECT_EQ(crouton->audioBitrate > 0, kind.sound);
        // The editor's end slider reaches the clip's end.
        EXPECT_EQ(mui::XGetLong(endSlider_, MUIA_Numeric_Max), std::lround(kind.seconds));
        DestroyCrouton(std::move(crouton));
    }
}

// Every character a name may hold reaches the player as it is: blanks,
// quotes, backslashes, colons and a leading dash, which the player would
// take for an option.
TEST_F(ProbeClip, OddNamesReachTheToolWhole)
{
    for (const char* base : {"my \"best\" \\clip.avi", "at 10:30, the harbour.avi", "-vo null.avi",
                             "  two  blanks .avi", "it's $HOME & more;.avi"}) {
        SCOPED_TRACE(base);
        const std::string clip = folder_ / base;
        MakeClip(clip, false);
        auto crouton = CreateCrouton();
        EXPECT_EQ(LoadVideoIntoCrouton(crouton.get(), clip), TRUE);
        EXPECT_EQ(crouton->width, 160);
        EXPECT_EQ(crouton->height, 120);
        EXPECT_NEAR(crouton->videoLength, 2.0, 0.05);
        DestroyCrouton(std::move(crouton));
    }
}

// A name relative to the current folder that starts with a dash is still a
// file to the player.
TEST_F(ProbeClip, RelativeNameWithALeadingDashIsAFile)
{
    MakeClip(folder_ / "-idle.avi", true);
    const cwtest::ScopedCurrentDir inFolder(folder_.path());
    auto crouton = CreateCrouton();
    EXPECT_EQ(LoadVideoIntoCrouton(crouton.get(), "-idle.avi"), TRUE);
    EXPECT_EQ(crouton->width, 160);
    EXPECT_NEAR(crouton->videoLength, 2.0, 0.05);
    EXPECT_TRUE(crouton->audioCodec);
    DestroyCrouton(std::move(crouton));
}

// Pictures, one or a sequence, are no clip: they last as pictures do, at
// the rate a new picture gets, and the editor's clip sliders stay shut.
TEST_F(ProbeClip, PicturesAreTakenAsPictures)
{
    for (int i = 1; i <= 3; ++i)
        media_test::MakePicture(folder_ / ("frame" + std::to_string(i) + ".png"));
    media_test::MakePicture(folder_ / "still.png");
    for (const std::string& source : {folder_ / "frame#?.png", folder_ / "still.png"}) {
        SCOPED_TRACE(source);
        auto crouton = MarkedCrouton();
        EXPECT_EQ(LoadFromEditor(crouton.get(), source), TRUE);
        EXPECT_EQ(crouton->isVideo, FALSE);
        EXPECT_EQ(crouton->fps, cImageCroutonFPSID);
        EXPECT_EQ(crouton->start, 0);
        EXPECT_EQ(crouton->length, 1);
        EXPECT_EQ(mui::XGetLong(startSlider_, MUIA_Disabled), TRUE);
        EXPECT_EQ(mui::XGetLong(endSlider_, MUIA_Numeric_Max), 50);
        DestroyCrouton(std::move(crouton));
    }
}

// A file that is there but holds no media gives no made-up facts, only a
// crouton of no length, as a missing file does.
TEST_F(ProbeClip, FileThatIsNoMediaGivesNoMadeUpFacts)
{
    const std::string notes = folder_ / "notes.avi";
    media_test::WriteHostFile(notes, "These are my notes, not a video.\n");
    auto crouton = MarkedCrouton();
    EXPECT_EQ(LoadFromEditor(crouton.get(), notes), TRUE);
    EXPECT_EQ(crouton->videoLength, 0);
    EXPECT_EQ(crouton->width, 0);
    EXPECT_EQ(crouton->height, 0);
    EXPECT_EQ(crouton->videoCodec, std::nullopt);
    DestroyCrouton(std::move(crouton));
}

TEST_F(ProbeClip, MissingFileGivesZeroLengthAndStillSucceeds)
{
    auto crouton = MarkedCrouton();
    EXPECT_EQ(LoadFromEditor(crouton.get(), folder_ / "nothing.avi"), TRUE);
    EXPECT_EQ(crouton->isVideo, TRUE);
    EXPECT_EQ(crouton->videoLength, 0);
    EXPECT_EQ(crouton->width, 0);
    EXPECT_EQ(crouton->videoCodec, std::nullopt);
    EXPECT_EQ(mui::XGetLong(startSlider_, MUIA_Numeric_Max), 0);
    EXPECT_EQ(mui::XGetLong(endSlider_, MUIA_Numeric_Max), 0);
    EXPECT_EQ(mui::XGetLong(endSlider_, MUIA_Numeric_Value), 0);
    EXPECT_EQ(mui::XGetLong(startSlider_, MUIA_Disabled), FALSE);
    DestroyCrouton(std::move(crouton));
}

TEST_F(ProbeClip, ImageLeavesTheSlidersAlone)
{
    auto crouton = MarkedCrouton();
    EXPECT_EQ(LoadFromEditor(crouton.get(), folder_ / "img#?.png"), TRUE);
    EXPECT_EQ(crouton->isVideo, FALSE);
    EXPECT_EQ(mui::XGetLong(startSlider_, MUIA_Disabled), TRUE);
    EXPECT_EQ(mui::XGetLong(endSlider_, MUIA_Disabled), TRUE);
    EXPECT_EQ(mui::XGetLong(startSlider_, MUIA_Numeric_Max), 50);
    EXPECT_EQ(mui::XGetLong(endSlider_, MUIA_Numeric_Value), 40);
    DestroyCrouton(std::move(crouton));
}

// ---- a stand-in player with canned answers -------------------------------

// Puts a player first on the search path that prints a prepared text as its
// answers, so that the probe can be fed exact outputs.
class ProbeCannedAnswers : public media_test::WindowsFixture {
protected:
    void SetUp() override
    {
        WindowsFixture::SetUp();
        ASSERT_FALSE(folder_.path().empty());
        const std::string player = folder_ / "mplayer";
        media_test::WriteHostFile(player, "#!/bin/sh\nprintf '%s\\n' \"$@\" >\"" + (folder_ / "arguments") +
                                          "\"\ncat \"" + (folder_ / "answers") + "\"\n");
        std::filesystem::permissions(player, std::filesystem::perms::owner_all);
        const char* path = std::getenv("PATH");
        oldPath_ = path ? path : "";
        setenv("PATH", (folder_.path() + ":" + oldPath_).c_str(), 1);
    }
    void TearDown() override
    {
        setenv("PATH", oldPath_.c_str(), 1);
        WindowsFixture::TearDown();
    }

    std::unique_ptr<Crouton> Probe(const std::string& answers)
    {
        media_test::WriteHostFile(folder_ / "answers", answers);
        auto crouton = CreateCrouton();
        EXPECT_EQ(LoadFromEditor(crouton.get(), folder_ / "clip.avi"), TRUE);
        return crouton;
    }

    TempFolder folder_;
    std::string oldPath_;
};

// A clip is its own length, not the next whole second; the sliders show
// the nearest whole second.
TEST_F(ProbeCannedAnswers, LengthIsTheClipsOwnAndTheSlidersRoundIt)
{
    const std::vector<std::tuple<std::string, double, LONG>> cases{
        {"ANS_LENGTH=59.99\n", 59.99, 60}, {"ANS_LENGTH=60.00\n", 60, 60}, {"ANS_LENGTH=12.01\n", 12.01, 12},
        {"ANS_LENGTH=12.5\n", 12.5, 13},   {"ANS_LENGTH=0.005\n", 0.005, 0}, {"ANS_ERROR=PROPERTY_UNAVAILABLE\n", 0, 0},
        {"", 0, 0},                        {"ANS_LENGTH=1e30\n", 2147483647, 2147483647},
    };
    for (const auto& [answers, seconds, length] : cases) {
        SCOPED_TRACE(answers);
        auto crouton = Probe(answers);
        EXPECT_NEAR(crouton->videoLength, seconds, 1e-9);
        EXPECT_EQ(mui::XGetLong(gButtons[BUTTON_CROUTONEDITOR_START], MUIA_Numeric_Max), length);
        EXPECT_EQ(mui::XGetLong(gButtons[BUTTON_CROUTONEDITOR_END], MUIA_Numeric_Max), length);
        EXPECT_EQ(mui::XGetLong(gButtons[BUTTON_CROUTONEDITOR_END], MUIA_Numeric_Value), length);
        DestroyCrouton(std::move(crouton));
    }
}

TEST_F(ProbeCannedAnswers, EveryAnswerGoesToItsField)
{
    auto crouton = Probe("MPlayer\nANS_LENGTH=3.20\nANS_width=720\nANS_height=576\n"
                         "ANS_video_bitrate=800000\nANS_audio_bitrate=128000\nANS_aspect=1.777778\n"
                         "ANS_fps=29.970\nANS_video_codec=ffh264\nANS_audio_codec=\n"
                         "ANS_width=1\n");
    // 3.20 s on the frames of a 29.97 fps clip.
    EXPECT_NEAR(crouton->videoLength, 3.2, 1 / 29.97);
    EXPECT_EQ(crouton->width, 720);
    EXPECT_EQ(crouton->height, 576);
    EXPECT_EQ(crouton->videoBitrate, 800000);
    EXPECT_EQ(crouton->audioBitrate, 128000);
    EXPECT_EQ(crouton->ratio, 1.777778f);
    EXPECT_EQ(crouton->customFPS, 29.97f);
    EXPECT_EQ(crouton->fps, cCroutonEditorInheritFPSID);
    EXPECT_EQ(crouton->videoCodec, "ffh264");
    // Answered, but empty: an empty text.
    EXPECT_EQ(crouton->audioCodec, "");

    // The player was started in slave mode reading the command file.
    const auto arguments = media_test::Lines(ReadHostFile(folder_ / "arguments"));
    for (const char* word : {"-slave", "-idle", "-input", "-vo", "null", "-vf", "screenshot"})
        EXPECT_NE(std::find(arguments.begin(), arguments.end(), word), arguments.end()) << word;
    DestroyCrouton(std::move(crouton));
}

TEST_F(ProbeCannedAnswers, OutputBeyondTheLimitIsNotLookedAt)
{
    // 10239 bytes are read: the width lies wholly inside, the height's key
    // runs over the end and the fps comes after it.
    std::string answers = "ANS_width=160\n";
    answers += std::string(10234 - answers.size(), '.');
    answers += "ANS_height=120\nANS_fps=25\n";

    auto crouton = Probe(answers);
    EXPECT_EQ(crouton->width, 160);
    EXPECT_EQ(crouton->height, 0);
    EXPECT_EQ(crouton->customFPS, 0.0f);
    DestroyCrouton(std::move(crouton));

    // A value that the limit cuts off: the text up to the limit.
    std::string tail = std::string(10239 - 20, '.') + "ANS_video_codec=ffmpeg4\n";
    crouton = Probe(tail);
    EXPECT_EQ(crouton->videoCodec, "ffmp");
    DestroyCrouton(std::move(crouton));

    // Text after a NUL byte is not looked at either.
    crouton = Probe(std::string("ANS_width=5\n") + std::string(1, '\0') + "ANS_height=7\n");
    EXPECT_EQ(crouton->width, 5);
    EXPECT_EQ(crouton->height, 0);
    DestroyCrouton(std::move(crouton));
}

} // namespace

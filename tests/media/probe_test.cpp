// The media probe: telling images from videos, MPlayer's answers, and real
// probes of tiny clips made here with ffmpeg.
#include "media/probe.h"

#include "gui/editor.h"
#include "gui/vocabulary.h"
#include "media_test_support.h"
#include "model/crouton.h"
#include "model/tables.h"
#include "os/dos.h"
#include "os/exec.h"
#include "mui/mui.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
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

std::string ExpectedCommands(const std::string& quotedName)
{
    return "loadfile \"" + quotedName +
           "\"\n"
           "pause\n"
           "get_time_length\n"
           "get_property width\n"
           "get_property height\n"
           "get_property video_bitrate\n"
           "get_property audio_bitrate\n"
           "get_property aspect\n"
           "get_property fps\n"
           "get_property video_codec\n"
           "get_property audio_codec\n"
           "quit\n";
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

TEST(ProbeClassify, OtherNamesAreProbedAsVideosWithTheExactSlaveCommands)
{
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    for (const char* base : {"movie.avi", "movie", "clip.png.avi", "clip.pngx", "a.jpg.mp4"}) {
        const std::string name = folder / base;
        SCOPED_TRACE(name);
        auto crouton = MarkedCrouton();
        TraceCapture trace;
        EXPECT_EQ(LoadVideoIntoCrouton(crouton.get(), name), TRUE);
        EXPECT_EQ(trace.Text(), "filename is " + name +
                                    ".\nExecuting MPlayer command...\nDone.\nOpened output file...\n"
                                    "Crouton is video: 1.\n");
        EXPECT_EQ(ReadHostFile(HostFile("T:__MPlayerCommand")), ExpectedCommands(name));
        // The file does not exist: the tool answers nothing.
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
        // The stretch and the names are the caller's.
        EXPECT_EQ(crouton->start, 7);
        EXPECT_EQ(crouton->length, 9);
        EXPECT_EQ(crouton->videoName, "old.avi");
        DestroyCrouton(std::move(crouton));
    }
}

TEST(ProbeClassify, QuotesAndBackslashesAreEscapedForTheSlaveFile)
{
    TempFolder folder;
    const std::string name = folder / "my \"best\" \\clip.avi";
    auto crouton = CreateCrouton();
    EXPECT_EQ(LoadVideoIntoCrouton(crouton.get(), name), TRUE);
    EXPECT_EQ(ReadHostFile(HostFile("T:__MPlayerCommand")),
              ExpectedCommands(folder.path() + "/my \\\"best\\\" \\\\clip.avi"));
    DestroyCrouton(std::move(crouton));
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

TEST_F(ProbeClip, NameWithBlanksAndQuotesReachesTheTool)
{
    const std::string clip = folder_ / "my \"best\" clip.avi";
    MakeClip(clip, false);
    auto crouton = CreateCrouton();
    EXPECT_EQ(LoadVideoIntoCrouton(crouton.get(), clip), TRUE);
    EXPECT_EQ(crouton->videoLength, 2);
    EXPECT_EQ(crouton->width, 160);
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

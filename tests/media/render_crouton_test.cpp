// Encoding one crouton: the exact mencoder command lines, the list file and
// the silence file of an image crouton, and the croutons that are refused.
// The tools are stood in for through the command runner's seam; only the
// commands and files matter.
#include "model/render.h"
#include "model/tables.h"
#include "os/command.h"
#include "render_support.h"
#include "support/fake_tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

using media_test::Lines;
using media_test::ReadHostFile;
using media_test::WriteHostFile;
using render_test::After;
using render_test::Exists;
using render_test::Host;
using render_test::SetField;

namespace {

constexpr const char* kSilenceCommandEnd =
    "-audio-delay 0000000 -audio-demuxer rawaudio -rawaudio rate=11025:samplesize=1:channels=1 -audiofile "
    "T:__CWSilence.raw\n";

class RenderCroutonTest : public render_test::RenderFixture {
protected:
    // Renders the crouton and returns the command it ran ("" when none).
    std::string CommandFor(Crouton* crouton, const std::string& filename = "T:__TempVideo", BOOL silent = FALSE)
    {
        cwtest::FakeTools tools;
        TraceCapture trace;
        RenderCrouton(gProject.get(), crouton, filename, silent);
        trace_ = trace.Text();
        const std::vector<std::string> lines = tools.Encoder();
        EXPECT_LE(lines.size(), 1u);
        // The runner got the line the trace shows.
        if (!lines.empty()) {
            EXPECT_EQ(After(trace_, "Executing "), lines.front());
        }
        return lines.empty() ? std::string() : lines.front();
    }

    // The common start of a video command with the project's defaults
    // (format 0, bit rate 0, frame rate 0).
    static std::string VideoStart(const std::string& source, const std::string& output = "T:__TempVideo")
    {
        return "mencoder \"" + source + "\" -o \"" + output
               + "\" -zoom -oac pcm -srate 44100 -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=140000 "
                 "-vf scale=320:240,harddup,framestep=2 -ofps 29.970030 ";
    }

    static std::string ImageStart(const std::string& rate, const std::string& output = "T:__TempVideo")
    {
        return "mencoder mf://@/T/__CWEncodeList.lst -mf w=320:h=240:type=png:fps=" + rate + " -o \"" + output
               + "\" -zoom -oac pcm -srate 44100 -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell "
                 "-vf scale=320:240,harddup -ofps 29.970030 ";
    }

    std::string trace_;
};

TEST_F(RenderCroutonTest, WorkedExampleByteForByte)
{
    gProject->parameters = 9;
    gProject->baudrate = 6;
    gProject->fps = 2;
    auto crouton = Video("RAM:GreatVideo.avi", 10, 20, "mp3");
    const std::string command = CommandFor(crouton.get());
    EXPECT_EQ(trace_,
              "Rendering video RAM:GreatVideo.avi from 10 to 30.\n"
              "Executing mencoder \"RAM:GreatVideo.avi\" -o \"T:__TempVideo\" -zoom -oac pcm -srate 44100 -ovc lavc "
              "-lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000 -vf scale=640:480,harddup,framestep=2 "
              "-ofps 25.000000 -ss 10 -audio-delay 0 -endpos 20 ");
}

TEST_F(RenderCroutonTest, SoundOptionsOfAVideoCrouton)
{
    // Silent drops even a soundtrack of the crouton's own.
    auto crouton = Video("/nowhere/a.avi", 0, 5, "mp3");
    crouton->soundtrack = "/nowhere/tune.mp3";
    EXPECT_EQ(CommandFor(crouton.get(), "T:__TempVideo", TRUE),
              VideoStart("/nowhere/a.avi") + "-nosound -ss 0 -audio-delay 0 -endpos 5 ");
    // Not silent: the crouton's soundtrack replaces its sound.
    EXPECT_EQ(CommandFor(crouton.get()),
              VideoStart("/nowhere/a.avi") + "-audiofile \"/nowhere/tune.mp3\" -ss 0 -audio-delay 0 -endpos 5 ");
    // No soundtrack and no audio track: the silence clip beside the program.
    crouton->soundtrack.reset();
    crouton->audioCodec.reset();
    EXPECT_EQ(CommandFor(crouton.get()),
              VideoStart("/nowhere/a.avi") + "-audiofile silence.mp3 -ss 0 -audio-delay 0 -endpos 5 ");
    // Its own audio track: no sound option at all.
    crouton->audioCodec = "mp3";
    EXPECT_EQ(CommandFor(crouton.get()), VideoStart("/nowhere/a.avi") + "-ss 0 -audio-delay 0 -endpos 5 ");
}

TEST_F(RenderCroutonTest, CroutonRatePiece)
{
    auto crouton = Video("/nowhere/a.avi", 3, 4);
    crouton->fps = cCroutonEditorInheritFPSID;
    EXPECT_EQ(After(CommandFor(crouton.get()), "-ofps 29.970030 "), "-ss 3 -audio-delay 0 -endpos 4 ");
    crouton->fps = cCroutonEditorCustomFPSID;
    crouton->customFPS = 12.5f;
    EXPECT_EQ(After(CommandFor(crouton.get()), "-ofps 29.970030 "),
              "-fps 12.500000 -mc 0 -ss 3 -audio-delay 0 -endpos 4 ");
    crouton->fps = 6;
    crouton->audioCodec.reset();
    EXPECT_EQ(After(CommandFor(crouton.get()), "-ofps 29.970030 "),
              "-audiofile silence.mp3 -fps 1.000000 -mc 0 -ss 3 -audio-delay 0 -endpos 4 ");
}

TEST_F(RenderCroutonTest, OutputRates)
{
    auto crouton = Video("/nowhere/a.avi", 0, 1);
    gProject->fps = 1;
    EXPECT_NE(CommandFor(crouton.get()).find(" -ofps 23.976025 -ss 0 "), std::string::npos);
    gProject->fps = cCustomFPSID;
    SetField(BUTTON_MAIN_CUSTOMFPS, "12.5");
    EXPECT_NE(CommandFor(crouton.get()).find(",framestep=2 -ofps 12.5 -ss 0 "), std::string::npos);
    SetField(BUTTON_MAIN_CUSTOMFPS, "30000/1001");
    EXPECT_NE(CommandFor(crouton.get()).find(",framestep=2 -ofps 30000/1001 -ss 0 "), std::string::npos);
}

TEST_F(RenderCroutonTest, CustomRateThatIsNotANumberRunsNothing)
{
    gProject->fps = cCustomFPSID;
    auto video = Video("/nowhere/a.avi", 0, 1);
    auto images = Images(folder_ / "still.png", 6);
    for (const char* text : {"25 -o /tmp/x", "", " 25", "25 ", "abc", "0", "0.0", "-5", "+5", "1/0", "0/1", "12.",
                             ".5", "1e3", "30000/1001/2", "25\"", "nan", "inf"}) {
        SCOPED_TRACE(text);
        SetField(BUTTON_MAIN_CUSTOMFPS, text);
        EXPECT_EQ(CommandFor(video.get()), "");
        EXPECT_EQ(trace_, "Rendering video /nowhere/a.avi from 0 to 1.\nInvalid custom frame rate.\n");
        EXPECT_EQ(CommandFor(images.get()), "");
        EXPECT_TRUE(trace_.ends_with("Invalid custom frame rate.\n"));
        // Refused before the image list is written.
        EXPECT_FALSE(Exists("T:__CWEncodeList.lst"));
    }
}

TEST_F(RenderCroutonTest, CustomFormatScalesToTheTypedSize)
{
    gProject->parameters = cCustomFormatID;
    SetField(BUTTON_MAIN_WIDTH, "400");
    SetField(BUTTON_MAIN_HEIGHT, "300");
    auto video = Video("/nowhere/a.avi", 0, 1);
    EXPECT_NE(CommandFor(video.get()).find(" -vf scale=400:300,harddup,framestep=2 -ofps "), std::string::npos);
    auto images = Images(folder_ / "still.png", 6);
    EXPECT_NE(CommandFor(images.get()).find(" -vf scale=400:300,harddup -ofps "), std::string::npos);
}

TEST_F(RenderCroutonTest, CustomSizeOfZeroRunsNothing)
{
    gProject->parameters = cCustomFormatID;
    auto video = Video("/nowhere/a.avi", 0, 1);
    auto images = Images(folder_ / "still.png", 6);
    for (const auto& [width, height] : std::vector<std::pair<std::string, std::string>>{
             {"0", "300"}, {"400", "0"}, {"", "300"}, {"abc", "300"}, {"-0", "240"}}) {
        SCOPED_TRACE(width + "x" + height);
        SetField(BUTTON_MAIN_WIDTH, width);
        SetField(BUTTON_MAIN_HEIGHT, height);
        EXPECT_EQ(CommandFor(video.get()), "");
        EXPECT_EQ(trace_, "Rendering video /nowhere/a.avi from 0 to 1.\nInvalid custom size.\n");
        std::filesystem::remove(Host("T:__CWEncodeList.lst"));
        EXPECT_EQ(CommandFor(images.get()), "");
        EXPECT_TRUE(trace_.ends_with("Invalid custom size.\n"));
        // The image crouton's files were written before the size was read.
        EXPECT_EQ(ReadHostFile(Host("T:__CWEncodeList.lst")), folder_ / "still.png\n");
        EXPECT_TRUE(Exists("T:__CWSilence.raw"));
    }
}

// Only 0 is refused: a negative size goes to mencoder's scale filter as
// typed, and the number is read as atoi reads it.
TEST_F(RenderCroutonTest, CustomSizeNegativeOrPaddedIsPassedOn)
{
    gProject->parameters = cCustomFormatID;
    SetField(BUTTON_MAIN_WIDTH, "-2");
    SetField(BUTTON_MAIN_HEIGHT, "\n 240px");
    auto video = Video("/nowhere/a.avi", 0, 1);
    EXPECT_NE(CommandFor(video.get()).find(" -vf scale=-2:240,harddup,framestep=2 -ofps "), std::string::npos);
    EXPECT_EQ(trace_.find("Invalid custom size."), std::string::npos);
}

TEST_F(RenderCroutonTest, Format14Is620Wide)
{
    gProject->parameters = 14;
    auto video = Video("/nowhere/a.avi", 0, 1);
    EXPECT_NE(CommandFor(video.get()).find(" -vf scale=620:566,harddup,framestep=2 "), std::string::npos);
}

TEST_F(RenderCroutonTest, ImageCroutonOfOnePlainFile)
{
    const std::string picture = folder_ / "still.png";
    auto images = Images(picture, 6);
    EXPECT_EQ(CommandFor(images.get()), ImageStart("1.000000") + kSilenceCommandEnd);
    EXPECT_TRUE(trace_.starts_with("Rendering images " + picture + " from 0 to 0.\n 1 files in crouton.\n"));
    EXPECT_EQ(ReadHostFile(Host("T:__CWEncodeList.lst")), picture + "\n");
    // One picture lasts no time between pictures: the silence is empty.
    ASSERT_TRUE(std::filesystem::exists(Host("T:__CWSilence.raw")));
    EXPECT_EQ(std::filesystem::file_size(Host("T:__CWSilence.raw")), 0u);

    EXPECT_EQ(CommandFor(images.get(), "T:__TempVideo", TRUE), ImageStart("1.000000") + "-nosound");
    images->soundtrack = folder_ / "tune.mp3";
    EXPECT_EQ(CommandFor(images.get()),
              ImageStart("1.000000") + "-audiofile \"" + (folder_ / "tune.mp3") + "\" -audio-delay 0000000\n");
}

TEST_F(RenderCroutonTest, ElevenPicturesAtOneFramePerSecond)
{
    for (int i = 1; i <= 11; ++i)
        WriteHostFile(folder_ / ("img" + std::to_string(i) + ".png"), "");
    WriteHostFile(folder_ / "notes.txt", "");
    auto images = Images(folder_ / "img#?.png", 6);
    EXPECT_EQ(CommandFor(images.get()), ImageStart("1.000000") + kSilenceCommandEnd);
    EXPECT_NE(trace_.find(" 11 files in crouton.\n"), std::string::npos);

    std::vector<std::string> expected;
    for (int i = 1; i <= 11; ++i)
        expected.push_back(folder_ / ("img" + std::to_string(i) + ".png"));
    const std::string list = ReadHostFile(Host("T:__CWEncodeList.lst"));
    EXPECT_EQ(Lines(list), expected);
    EXPECT_TRUE(list.ends_with(".png\n"));

    const std::string silence = ReadHostFile(Host("T:__CWSilence.raw"));
    EXPECT_EQ(silence.size(), 10u * 11025u);
    EXPECT_EQ(silence.find_first_not_of('\x80'), std::string::npos);
}

// The picture rate goes to mencoder as the crouton holds it, even when it is
// no usable rate; such a sequence has no length, so its silence is empty.
TEST_F(RenderCroutonTest, ImageCroutonRateIsPassedAsHeld)
{
    for (int i = 1; i <= 3; ++i)
        WriteHostFile(folder_ / ("img" + std::to_string(i) + ".png"), "");
    for (const auto& [fps, custom, text] : std::vector<std::tuple<LONG, float, std::string>>{
             {0, 30.0f, "0.000000"}, {18, 0.0f, "0.000000"}, {18, -2.0f, "-2.000000"},
             {18, std::numeric_limits<float>::quiet_NaN(), "nan"},
             {18, std::numeric_limits<float>::infinity(), "inf"}}) {
        auto images = Images(folder_ / "img#?.png", fps);
        images->customFPS = custom;
        SCOPED_TRACE(std::to_string(fps) + " " + std::to_string(custom));
        EXPECT_EQ(CommandFor(images.get()), ImageStart(text) + kSilenceCommandEnd);
        EXPECT_EQ(trace_.find("frames per second"), std::string::npos);
        ASSERT_TRUE(std::filesystem::exists(Host("T:__CWSilence.raw")));
        EXPECT_EQ(std::filesystem::file_size(Host("T:__CWSilence.raw")), 0u);
    }
}

TEST_F(RenderCroutonTest, NamesStayOneArgumentEach)
{
    const std::string source = folder_ / "my \"best\" clip*.avi";
    const std::string output = folder_ / "out put.avi";
    auto video = Video(source, 0, 2, std::nullopt);
    const std::string command = CommandFor(video.get(), output);
    EXPECT_TRUE(command.starts_with("mencoder \"" + folder_.path() + "/my *\"best*\" clip**.avi\" -o \""
                                    + folder_.path() + "/out put.avi\" -zoom "));
    ParsedCommand parsed;
    ASSERT_TRUE(ParseCommandLine(command, parsed));
    EXPECT_EQ(parsed.name, "mencoder");
    ASSERT_GE(parsed.arguments.size(), 3u);
    EXPECT_EQ(parsed.arguments[0], source);
    EXPECT_EQ(parsed.arguments[1], "-o");
    EXPECT_EQ(parsed.arguments[2], output);

    auto images = Images(folder_ / "still.png", 6);
    images->soundtrack = folder_ / "a \"b\".mp3";
    ASSERT_TRUE(ParseCommandLine(CommandFor(images.get(), output), parsed));
    ASSERT_EQ(parsed.arguments.size(), 22u);
    EXPECT_EQ(parsed.arguments[4], output);
    EXPECT_EQ(parsed.arguments[19], *images->soundtrack);
}

TEST_F(RenderCroutonTest, ListFileThatCannotBeWrittenRunsNothing)
{
    WriteHostFile(Host("T:__CWEncodeList.lst"), "old\n");
    FileLock held = Lock("T:__CWEncodeList.lst", EXCLUSIVE_LOCK);
    ASSERT_TRUE(held);
    auto images = Images(folder_ / "still.png", 6);
    EXPECT_EQ(CommandFor(images.get()), "");
    EXPECT_EQ(trace_, "Rendering images " + (folder_ / "still.png") + " from 0 to 0.\n"
                      "Couldn't open list file for writing.\n");
}

TEST_F(RenderCroutonTest, CroutonWithoutSourceOrProjectRunsNothing)
{
    auto empty = CreateCrouton();
    EXPECT_EQ(CommandFor(empty.get()), "");
    EXPECT_EQ(trace_, "Crouton has no source.\n");
    EXPECT_EQ(CommandFor(nullptr), "");

    auto video = Video("/nowhere/a.avi", 0, 1);
    DestroyProject(std::move(gProject));
    EXPECT_EQ(CommandFor(video.get()), "");
    EXPECT_EQ(trace_, "No project to render.\n");
}

TEST(GenerateSilence, LengthTimes11025BytesOf128)
{
    media_test::TempFolder folder;
    const std::string file = folder / "s.raw";
    GenerateSilence(file, 4.5f);
    const std::string silence = ReadHostFile(file);
    EXPECT_EQ(silence.size(), 49612u); // 4.5 * 11025 = 49612.5, truncated
    EXPECT_EQ(silence.find_first_not_of('\x80'), std::string::npos);

    GenerateSilence(file, 100.0f); // more than one write
    EXPECT_EQ(std::filesystem::file_size(file), 1102500u);

    for (float length : {0.0f, 0.00001f, -3.0f, std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}) {
        WriteHostFile(file, "old");
        GenerateSilence(file, length);
        EXPECT_EQ(std::filesystem::file_size(file), 0u) << length;
    }
    // A file that cannot be made is let go without a word.
    TraceCapture trace;
    GenerateSilence(folder / "missing/dir/s.raw", 1.0f);
    EXPECT_EQ(trace.Text(), "");
}

} // namespace

struct KindRow {
    const char* what;
    const char* output;
    LONG format;
    const char* source; // made by the test with ffmpeg: its options; "" for a file that is no video
    bool isVideo;
    std::string expected; // the line holds this
};

// The output's name chooses the encoder, the source's shape the fitting,
// the format's label the declared shape.
TEST_F(RenderCroutonTest, LineSaysWhatItMakesAndKeepsTheShape)
{
    const KindRow rows[] = {
        {"H.264 for an MP4", "x.mp4", 11, "", true,
            "-ovc x264 -x264encopts bitrate=140:preset=veryfast:subq=1:profile=high -vf scale=640:360,harddup -ofps "},
        {"QuickTime and Matroska alike", "x.MOV", 11, "", true, "-ovc x264 "},
        {"VP9 for a WebM", "x.webm", 11, "", true,
            "-ovc lavc -lavcopts vcodec=libvpx-vp9:vbitrate=140000:o=deadline=realtime,cpu-used=8,row-mt=1 -vf "
            "scale=640:360,harddup -ofps "},
        {"a name of no kind stays AVI", "x", 11, "", true,
            "-ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=140000 -vf scale=640:360,harddup,framestep=2 "},
        {"AVI declares the label's 16:9", "x.avi", 8, "", true,
            "vbitrate=140000:aspect=16/9 -vf scale=576:264,harddup,framestep=2 "},
        {"H.264 declares it in the filters", "x.mp4", 10, "", true, "-vf scale=640:512,dsize=4/3,harddup "},
        {"the custom size is its own shape", "x.avi", cCustomFormatID, "", true, "vbitrate=140000 -vf scale=400:300,harddup"},
        {"4:3 into 16:9", "x.avi", 11, "testsrc=size=160x120", true, " -vf scale=480:360,expand=640:360,harddup,framestep=2 "},
        {"16:9 into 16:9 as always", "x.avi", 11, "testsrc=size=320x180", true, " -vf scale=640:360,harddup,framestep=2 "},
        {"square pixels of PAL", "x.avi", 11, "testsrc=size=720x576,setsar=16/15", true,
            " -vf scale=480:360,expand=640:360,harddup"},
        {"4:3 into a frame shown 16:9", "x.avi", 8, "testsrc=size=160x120", true, "-vf scale=432:264,expand=576:264,harddup"},
        {"a wide picture into 4:3", "x.mp4", 9, "testsrc=size=320x90", false, "-vf scale=640:180,expand=640:480,harddup "},
    };
    for (const KindRow& row : rows) {
        gProject->parameters = row.format;
        SetField(BUTTON_MAIN_WIDTH, "400");
        SetField(BUTTON_MAIN_HEIGHT, "300");
        SetField(BUTTON_MAIN_OUTPUTFILENAME, folder_ / row.output);
        std::string source = folder_ / (row.isVideo ? "source.avi" : "picture.png");
        std::filesystem::remove(source);
        if (*row.source) {
            ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", std::string(row.source), "-frames:v", "1", source}), 0);
        }
        auto crouton = row.isVideo ? Video(source, 0, 2, "mp3") : Images(source, 6);
        EXPECT_NE(CommandFor(crouton.get()).find(row.expected), std::string::npos) << row.what << "\n" << trace_;
    }
}

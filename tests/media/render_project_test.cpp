// Rendering a project: which pieces are encoded where, the joins, the
// soundtrack run and the finishing run, the size test on each piece, the
// temporary files, and the outcome line. The tools are stood in for through
// the command runner's seam; the joins across volumes run the real ones.
#include "model/render.h"
#include "os/command.h"
#include "render_support.h"
#include "support/fake_tools.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

using cwtest::FakeAnswer;
using cwtest::FakeTools;
using media_test::ReadHostFile;
using media_test::WriteHostFile;
using render_test::Count;
using render_test::Exists;
using render_test::Host;
using render_test::Pointer;
using render_test::SetField;

namespace {

class RenderProjectTest : public render_test::RenderFixture {
protected:
    void SetUp() override
    {
        RenderFixture::SetUp();
        clip_ = folder_ / "clip.avi";
        // The render looks for its sources before it runs the (fake) tools.
        WriteHostFile(clip_, "a clip");
        nowhere_ = folder_ / "elsewhere";
        std::filesystem::create_directory(nowhere_);
        for (const char* name : {"a.avi", "b.avi", "tune.mp3"})
            WriteHostFile(nowhere_ + "/" + name, "a source");
    }

    std::string nowhere_;

    std::string Render()
    {
        TraceCapture trace;
        RenderProject(gProject.get());
        return trace.Text();
    }

    std::string Header() const
    {
        const ListNode* first = gProject->croutons.get();
        return "CroutonNode is " + Pointer(first) + ", tCrouton " + Pointer(first ? first->node.get() : nullptr)
               + ".\n";
    }

    // The trace of encoding one one-second stretch of a video crouton with
    // its own sound (or silent), with the project's default settings.
    static std::string Encoding(int n, const std::string& source, int start, const std::string& output,
                                bool silent = false)
    {
        return "Rendering crouton number " + std::to_string(n) + ".\nRendering video " + source + " from "
               + std::to_string(start) + " to " + std::to_string(start + 1) + ".\nExecuting mencoder \"" + source
               + "\" -o \"" + output
               + "\" -zoom -oac pcm -srate 44100 -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=140000 "
                 "-vf scale=320:240,harddup,framestep=2 -ofps 29.970030 "
               + (silent ? "-nosound " : "") + "-ss " + std::to_string(start) + " -audio-delay 0 -endpos 1 ";
    }

    static std::string JoinLine(const std::string& target)
    {
        return "mencoder -oac pcm -ovc lavc -o \"" + target + "\" \"T:__TempVideo2\" \"T:__TempVideo\"\n";
    }

    static std::string Join(const std::string& target)
    {
        return "Renaming " + target + " to T:__TempVideo2.\nRenamed result is 1.\nExecuting: " + JoinLine(target)
               + ".\n";
    }

    static std::string FinishLine(const std::string& output)
    {
        return "mencoder -oac lavc -ovc copy -o \"" + output + "\" \"T:__FinishVideo\"\n";
    }

    static std::string Finish(const std::string& output) { return "Finishing: " + FinishLine(output) + ".\n"; }

    // The line an encoding ran, as it was traced.
    static std::string LineOf(const std::string& encoding) { return encoding.substr(encoding.find("mencoder ")); }

    std::string clip_;
};

TEST_F(RenderProjectTest, OneCroutonIsEncodedStraightIntoTheOutput)
{
    FakeTools tools;
    Append(Video(clip_, 0, 1));
    WriteHostFile(output_, "an older rendering");
    const std::string trace = Render();
    // The older file waits beside the output until the new one is good.
    const std::string aside = folder_ / ".out.avi.clipweaver-old";
    EXPECT_EQ(trace, "Moved " + output_ + " aside to " + aside + ".\n" + Header() + Encoding(0, clip_, 0, output_)
                         + Finish(output_) + "Rendering finished.\n");
    EXPECT_EQ(tools.Encoder(), (std::vector<std::string>{LineOf(Encoding(0, clip_, 0, output_)), FinishLine(output_)}));
    EXPECT_EQ(ReadHostFile(output_), FakeTools::Piece(1));
    EXPECT_FALSE(std::filesystem::exists(aside));
    EXPECT_FALSE(Exists("T:__TempVideo"));
    EXPECT_FALSE(Exists("T:__TempVideo2"));
    EXPECT_FALSE(Exists("T:__SilentVideo"));
}

TEST_F(RenderProjectTest, ThreeCroutonsMakeTwoJoins)
{
    FakeTools tools;
    Append(Video(clip_, 0, 1));
    Append(Video(clip_, 1, 1));
    Append(Video(clip_, 0, 1));
    const std::string trace = Render();
    EXPECT_EQ(trace, Header() + Encoding(0, clip_, 0, output_) + Encoding(1, clip_, 1, "T:__TempVideo")
                         + Join(output_) + Encoding(2, clip_, 0, "T:__TempVideo") + Join(output_) + Finish(output_)
                         + "Rendering finished.\n");
    EXPECT_EQ(tools.Encoder(),
              (std::vector<std::string>{LineOf(Encoding(0, clip_, 0, output_)),
                                        LineOf(Encoding(1, clip_, 1, "T:__TempVideo")), JoinLine(output_),
                                        LineOf(Encoding(2, clip_, 0, "T:__TempVideo")), JoinLine(output_),
                                        FinishLine(output_)}));
    EXPECT_FALSE(Exists("T:__TempVideo"));
    EXPECT_FALSE(Exists("T:__TempVideo2"));
    EXPECT_FALSE(Exists("T:__FinishVideo"));
}

TEST_F(RenderProjectTest, EmptySoundtrackFieldDropsTheProjectSoundtrack)
{
    FakeTools tools;
    gProject->soundtrack = "Work:loaded.mp3";
    EXPECT_EQ(Render(), "CroutonNode is " + Pointer(nullptr) + ", tCrouton " + Pointer(nullptr)
                            + ".\nRendering failed.\n");
    EXPECT_EQ(gProject->soundtrack, std::nullopt);
}

TEST_F(RenderProjectTest, EmptyProjectWithSoundtrackRunsOnlyTheSoundtrackCommand)
{
    // The stand-in finds no T:__SilentVideo to read and writes nothing.
    FakeTools tools([](const std::string&, int) { return FakeAnswer{1, std::nullopt, ""}; });
    // An output name with a blank stays one argument of the soundtrack run.
    const std::string output = folder_ / "my video.avi";
    SetField(BUTTON_MAIN_OUTPUTFILENAME, output);
    SetField(BUTTON_MAIN_SOUNDTRACK, "" + nowhere_ + "/tune.mp3");
    const std::string command = "mencoder -oac lavc -ovc copy T:__SilentVideo -audiofile \"" + nowhere_ + "/tune.mp3\" -o \""
                                + output + "\"";
    EXPECT_EQ(Render(), "CroutonNode is " + Pointer(nullptr) + ", tCrouton " + Pointer(nullptr)
                            + ".\nRendering with soundtrack " + nowhere_ + "/tune.mp3.\nCommand is " + command
                            + ".\nRendering failed.\n");
    EXPECT_EQ(gProject->soundtrack, "" + nowhere_ + "/tune.mp3");
    ParsedCommand parsed;
    ASSERT_TRUE(ParseCommandLine(command, parsed));
    ASSERT_FALSE(parsed.arguments.empty());
    EXPECT_EQ(parsed.arguments.back(), output);
    EXPECT_EQ(tools.Encoder(), std::vector<std::string>{command});
}

TEST_F(RenderProjectTest, TooSmallSecondPieceEndsTheRenderingAfterTheFirst)
{
    // The second crouton's encoding writes 4999 bytes.
    FakeTools tools([](const std::string&, int index) -> std::optional<FakeAnswer> {
        if (index == 1)
            return FakeAnswer{0, std::string(4999, 'x'), ""};
        return std::nullopt;
    });
    Append(Video(clip_, 0, 1));
    Append(Video("" + nowhere_ + "/b.avi", 0, 1));
    Append(Video(clip_, 1, 1));
    const std::string trace = Render();
    EXPECT_TRUE(trace.ends_with(Encoding(1, "" + nowhere_ + "/b.avi", 0, "T:__TempVideo")
                                + "Error: encoded video has too small size.\nRendering failed.\n"))
        << trace;
    EXPECT_EQ(Count(trace, "Rendering crouton number 2."), 0u);
    EXPECT_EQ(Count(trace, "Renaming"), 0u);
    EXPECT_EQ(tools.Encoder().size(), 2u);
    // A failed render leaves no output where there was none, and no piece.
    EXPECT_FALSE(std::filesystem::exists(output_));
    EXPECT_FALSE(Exists("T:__TempVideo"));
}

TEST_F(RenderProjectTest, MissingPieceEndsTheRenderingBeforeTheSoundtrack)
{
    // The stand-in writes nothing for the second piece.
    FakeTools tools([](const std::string&, int index) -> std::optional<FakeAnswer> {
        if (index == 1)
            return FakeAnswer{1, std::nullopt, ""};
        return std::nullopt;
    });
    SetField(BUTTON_MAIN_SOUNDTRACK, "" + nowhere_ + "/tune.mp3");
    Append(Video("" + nowhere_ + "/a.avi", 0, 1));
    Append(Video("" + nowhere_ + "/b.avi", 0, 1));
    const std::string trace = Render();
    EXPECT_EQ(trace, Header() + Encoding(0, "" + nowhere_ + "/a.avi", 0, "T:__SilentVideo", true)
                         + Encoding(1, "" + nowhere_ + "/b.avi", 0, "T:__TempVideo", true)
                         + "Error: encoded video doesn't exist.\nRendering failed.\n");
}

TEST_F(RenderProjectTest, FailedJoinPutsTheAssembledVideoBack)
{
    // The join fails after writing part of its output.
    FakeTools tools([](const std::string& line, int) -> std::optional<FakeAnswer> {
        if (line.find("T:__TempVideo2") != std::string::npos)
            return FakeAnswer{1, std::string("half a join"), ""};
        return std::nullopt;
    });
    Append(Video(clip_, 0, 1));
    Append(Video("" + nowhere_ + "/b.avi", 0, 1));
    Append(Video(clip_, 1, 1));
    const std::string trace = Render();
    EXPECT_TRUE(trace.ends_with(Join(output_) + "Join failed; " + output_ + " restored.\nRendering failed.\n"))
        << trace;
    EXPECT_EQ(Count(trace, "Rendering crouton number 2."), 0u);
    // The join put the first piece back; the failed render then took it away.
    EXPECT_FALSE(std::filesystem::exists(output_));
    EXPECT_FALSE(Exists("T:__TempVideo"));
    EXPECT_FALSE(Exists("T:__TempVideo2"));
}

TEST_F(RenderProjectTest, RefusedCroutonsAndNoOutputNameFail)
{
    FakeTools tools;
    gProject->fps = 3;
    SetField(BUTTON_MAIN_CUSTOMFPS, "25 -o /tmp/elsewhere.avi");
    Append(Video("" + nowhere_ + "/a.avi", 0, 1));
    std::string trace = Render();
    EXPECT_EQ(trace, Header() + "Rendering crouton number 0.\nRendering video " + nowhere_ + "/a.avi from 0 to 1.\n"
                                "Invalid custom frame rate.\nRendering failed.\n");

    SetField(BUTTON_MAIN_OUTPUTFILENAME, "");
    SetField(BUTTON_MAIN_SOUNDTRACK, "" + nowhere_ + "/tune.mp3");
    trace = Render();
    EXPECT_EQ(trace, "No output file name.\nRendering failed.\n");
    EXPECT_EQ(gProject->soundtrack, "" + nowhere_ + "/tune.mp3");

    TraceCapture capture;
    RenderProject(nullptr);
    EXPECT_EQ(capture.Text(), "Rendering failed.\n");
}

// A folder on another file system than T: (tmpfs), assigned as Work:.
class OtherVolume {
public:
    OtherVolume()
    {
        std::string templ = "/dev/shm/cw-render-XXXXXX";
        if (mkdtemp(templ.data()))
            path_ = templ;
        if (!path_.empty())
            setenv("CLIPWEAVER_ASSIGN_WORK", path_.c_str(), 1);
    }
    ~OtherVolume()
    {
        unsetenv("CLIPWEAVER_ASSIGN_WORK");
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    OtherVolume(const OtherVolume&) = delete;
    OtherVolume& operator=(const OtherVolume&) = delete;
    const std::string& path() const { return path_; }
    // Whether it really lies on another device than T:.
    bool Separate() const
    {
        struct stat a {};
        struct stat b {};
        return !path_.empty() && stat(path_.c_str(), &a) == 0
               && stat(TemporaryFolder().c_str(), &b) == 0 && a.st_dev != b.st_dev;
    }

private:
    std::string path_;
};

// A one-second piece as the crouton encodings make them.
void MakePiece(const std::string& path, const std::string& pattern)
{
    ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", pattern + "=size=320x240:rate=25:duration=1", "-f", "lavfi",
                                  "-i", "sine=duration=1", "-c:v", "mpeg4", "-c:a", "pcm_s16le", "-ar", "44100",
                                  "-ac", "2", "-f", "avi", path}),
              0);
}

TEST(AppendVideo, OutputOnAnotherVolumeIsCopiedAsideAndJoined)
{
    OtherVolume work;
    if (!work.Separate())
        GTEST_SKIP() << "no second file system for Work:";
    MakePiece(work.path() + "/out.avi", "testsrc");
    MakePiece(Host("T:__TempVideo"), "smptebars");

    TraceCapture trace;
    EXPECT_EQ(AppendVideo("Work:out.avi", "T:__TempVideo"), TRUE);
    EXPECT_EQ(trace.Text(), "Renaming Work:out.avi to T:__TempVideo2.\nRenamed result is 0.\n"
                            "Copying Work:out.avi to T:__TempVideo2 instead.\n"
                            "Executing: mencoder -oac pcm -ovc lavc -o \"Work:out.avi\" \"T:__TempVideo2\" "
                            "\"T:__TempVideo\"\n.\n");
    const auto probed = render_test::ProbeFinished(work.path() + "/out.avi");
    ASSERT_TRUE(probed);
    EXPECT_NEAR(probed->duration, 2.0, 0.1);
    EXPECT_FALSE(Exists("T:__TempVideo2"));
}

TEST(AppendVideo, FailedJoinAcrossVolumesKeepsTheOutput)
{
    OtherVolume work;
    if (!work.Separate())
        GTEST_SKIP() << "no second file system for Work:";
    const std::string output = work.path() + "/out.avi";
    MakePiece(output, "testsrc");
    const std::string before = ReadHostFile(output);
    WriteHostFile(Host("T:__TempVideo"), "no video");

    TraceCapture trace;
    EXPECT_EQ(AppendVideo("Work:out.avi", "T:__TempVideo"), FALSE);
    EXPECT_TRUE(trace.Text().ends_with("Join failed; Work:out.avi restored.\n")) << trace.Text();
    EXPECT_EQ(ReadHostFile(output), before);
    EXPECT_FALSE(Exists("T:__TempVideo2"));

    // Nothing to move aside: no join runs.
    trace.Clear();
    EXPECT_EQ(AppendVideo("Work:missing.avi", "T:__TempVideo"), FALSE);
    EXPECT_EQ(trace.Text(), "Renaming Work:missing.avi to T:__TempVideo2.\nRenamed result is 0.\n"
                            "Copying Work:missing.avi to T:__TempVideo2 instead.\n"
                            "Couldn't copy Work:missing.avi; Work:missing.avi is left as it was.\n");
}

} // namespace

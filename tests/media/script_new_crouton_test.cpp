// "_New Crouton" end to end: the clipweaver-script program, real clips and
// pictures, the real MPlayer probe, and the crouton files it leaves.
#include "media_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

using ::testing::HasSubstr;
using ::testing::Not;
using namespace media_test;

namespace {

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string errors;
};

// Runs clipweaver-script in `folder` on the script text; stdout and stderr
// are collected through files in the folder.
ProgramRun RunScriptProgram(const std::string& program, const std::string& folder, const std::string& script)
{
    WriteHostFile(folder + "/actions.txt", script);
    const std::string outPath = folder + "/out.txt";
    const std::string errPath = folder + "/err.txt";
    std::vector<std::string> arguments{program, "actions.txt"};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    ProgramRun run;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            run.status = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = ReadHostFile(outPath);
    run.errors = ReadHostFile(errPath);
    return run;
}

class ScriptNewCrouton : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(work_.path().empty());
        // The program's working folder, as the run script lays it out.
        for (const char* picture : {"NoVideoLoaded.png", "NoImageAvailable.png", "NoImageLoaded.png",
                                    "NoKeyFrame.png", "BlankSpacer.png", "Loading.png"})
            std::filesystem::copy_file(std::string(CW_SOURCE_DIR) + "/data/" + picture, work_ / picture);
        std::filesystem::create_directory(work_ / "Croutons");
        std::filesystem::create_directory(work_ / "Projects");
        std::filesystem::create_directory(work_ / "media");
        setenv("CLIPWEAVER_TMPROOT", (work_ / "tmp").c_str(), 1);
    }

    TempFolder work_;
};

TEST_F(ScriptNewCrouton, VideoClipWritesItsProbedFactsAndShowsThem)
{
    MakeClip(work_ / "media/beach.avi", true);
    const ProgramRun run = RunScriptProgram(CW_BINARY_DIR "/src/clipweaver-script", work_.path(),
                                            "requester \"" + work_.path() + "/media\" \"beach.avi\"\n"
                                            "requester \"Croutons\" \"beach.VIDEO.cwcrouton\"\n"
                                            "press BUTTON_MAIN_NEWCROUTON\n"
                                            "select gCroutonList 0\n"
                                            "dump\n");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_THAT(run.errors, Not(HasSubstr("script: line")));

    const std::vector<std::string> lines = Lines(ReadHostFile(work_ / "Croutons/beach.VIDEO.cwcrouton"));
    ASSERT_EQ(lines.size(), 27u);
    EXPECT_EQ(lines[0], "beach.VIDEO.cwcrouton");              // name
    EXPECT_EQ(lines[1], work_.path() + "/media/beach.avi");    // videoName
    EXPECT_EQ(lines[7], "0");                                  // start
    EXPECT_EQ(lines[8], "2");                                  // length: the whole clip
    EXPECT_EQ(lines[9], "2");                                  // videoLength
    EXPECT_EQ(lines[10], "160");                               // width
    EXPECT_EQ(lines[11], "120");                               // height
    EXPECT_NE(lines[18], "0");                                 // videoBitrate
    EXPECT_NE(lines[19], "0");                                 // audioBitrate
    EXPECT_EQ(lines[20], "1");                                 // isVideo
    EXPECT_EQ(lines[21], "1.333333");                          // ratio
    EXPECT_EQ(lines[22], "0");                                 // fps: the source's own
    EXPECT_FALSE(lines[23].empty());                           // videoCodec
    EXPECT_FALSE(lines[24].empty());                           // audioCodec
    EXPECT_EQ(lines[25], "");                                  // soundtrack
    EXPECT_EQ(lines[26], "25.000000");                         // customFPS: the probed rate

    EXPECT_THAT(run.out, HasSubstr("entry gCroutonList 0 \"beach.VIDEO.cwcrouton\"\n"));
    EXPECT_THAT(run.out, HasSubstr("gadget BUTTON_MAIN_LENGTH Label enabled text=\"2 Seconds\"\n"));
    EXPECT_THAT(run.out, HasSubstr("gadget BUTTON_MAIN_CROUTON_WIDTH Label enabled text=\"160\"\n"));
    EXPECT_THAT(run.out, HasSubstr("gadget BUTTON_MAIN_CROUTON_HEIGHT Label enabled text=\"120\"\n"));
    EXPECT_THAT(run.out, HasSubstr("gadget BUTTON_MAIN_CROUTON_FPS Label enabled text=\"25.00 fps\"\n"));
    EXPECT_THAT(run.out, HasSubstr("gadget BUTTON_MAIN_CROUTON_VIDEOCODEC Label enabled text=\"" + lines[23] + "\"\n"));
    EXPECT_THAT(run.out, HasSubstr("gadget BUTTON_MAIN_CROUTON_AUDIOCODEC Label enabled text=\"" + lines[24] + "\"\n"));
    EXPECT_THAT(run.out, HasSubstr("crouton 0 \"beach.VIDEO.cwcrouton\" slot=1\n"));
}

// The window labels bit rates "bps": the probe's answers are bits per
// second, in both programs (a 128 kbit/s sound once showed as 16000 bps).
TEST_F(ScriptNewCrouton, BitRatesShowInBitsPerSecond)
{
    ASSERT_EQ(Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-f", "lavfi", "-i",
                      "sine=frequency=440:duration=2", "-c:v", "mpeg4", "-c:a", "mp2", "-b:a", "128k", "-shortest",
                      work_ / "media/tune.avi"}),
              0);
    for (const char* program : {CW_BINARY_DIR "/src/clipweaver-script", CW_BINARY_DIR "/src/clipweaver-script-basic"}) {
        const ProgramRun run = RunScriptProgram(program, work_.path(),
                                                "requester \"" + work_.path() + "/media\" \"tune.avi\"\n"
                                                "requester \"Croutons\" \"tune.cwcrouton\"\n"
                                                "press BUTTON_MAIN_NEWCROUTON\n"
                                                "select gCroutonList 0\n"
                                                "dump\n");
        ASSERT_EQ(run.status, 0) << program << run.errors;
        EXPECT_THAT(run.out, HasSubstr("gadget BUTTON_MAIN_CROUTON_AUDIOBITRATE Label enabled text=\"128000 bps\"\n"))
            << program;
        std::filesystem::remove(work_ / "Croutons/tune.cwcrouton");
    }
}

TEST_F(ScriptNewCrouton, ImageSequenceWritesAnImageCrouton)
{
    std::filesystem::create_directory(work_ / "media/garden");
    for (const char* name : {"img1.png", "img2.png", "img010.png"})
        MakePicture(work_ / (std::string("media/garden/") + name));
    const ProgramRun run = RunScriptProgram(CW_BINARY_DIR "/src/clipweaver-script-basic", work_.path(),
                                            "requester \"" + work_.path() + "/media/garden\" \"img#?.png\"\n"
                                            "requester \"Croutons\" \"garden.IMAGES.cwcrouton\"\n"
                                            "press BUTTON_MAIN_NEWCROUTON\n"
                                            "select gVisualList 0\n"
                                            "dump\n");
    ASSERT_EQ(run.status, 0) << run.errors;

    const std::vector<std::string> lines = Lines(ReadHostFile(work_ / "Croutons/garden.IMAGES.cwcrouton"));
    ASSERT_EQ(lines.size(), 27u);
    EXPECT_EQ(lines[1], work_.path() + "/media/garden/img#?.png");
    EXPECT_EQ(lines[7], "0"); // start
    EXPECT_EQ(lines[8], "4"); // length: three pictures at 1.5 seconds each, truncated
    EXPECT_EQ(lines[20], "0"); // isVideo
    EXPECT_EQ(lines[22], "5"); // fps: "1.5 Seconds/Frame"
    EXPECT_EQ(lines[23], "");  // no codecs for pictures
    EXPECT_EQ(lines[24], "");

    EXPECT_THAT(run.out, HasSubstr("list gCroutonList entries=1 active=0\n"));
    EXPECT_THAT(run.out, HasSubstr("gadget BUTTON_MAIN_LENGTH Label enabled text=\"4 Seconds\"\n"));
    EXPECT_THAT(run.out, HasSubstr("gadget BUTTON_MAIN_CROUTON_WIDTH Label enabled text=\"n/a\"\n"));
    EXPECT_THAT(run.out, HasSubstr("gadget BUTTON_MAIN_CROUTON_FPS Label enabled text=\"0.67 fps\"\n"));
    EXPECT_THAT(run.out, HasSubstr("gadget BUTTON_MAIN_CROUTON_VIDEOCODEC Label enabled text=\"none\"\n"));
}

TEST_F(ScriptNewCrouton, CancelledCroutonFileRequestAddsNothing)
{
    MakeClip(work_ / "media/clip.avi", false);
    const ProgramRun run = RunScriptProgram(CW_BINARY_DIR "/src/clipweaver-script", work_.path(),
                                            "requester \"" + work_.path() + "/media\" \"clip.avi\"\n"
                                            "requester cancel\n"
                                            "press BUTTON_MAIN_NEWCROUTON\n"
                                            "dump\n");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_THAT(run.out, HasSubstr("list gCroutonList entries=0 active=-1\n"));
    EXPECT_THAT(run.out, HasSubstr("list gVisualList entries=0 active=-1\n"));
    EXPECT_TRUE(std::filesystem::is_empty(work_ / "Croutons"));
}

} // namespace

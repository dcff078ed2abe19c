// Real runs of the MPlayer and mencoder tools on tiny clips that each test
// makes with ffmpeg, using the command lines exactly as the program builds
// them. Results are judged by the files they leave, frame by frame.
#include "os/command.h"

#include "os/dos_test_support.h"
#include "tools/tool_media.h"
#include "tools/tool_run_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace dostest;
using namespace toolrun;

namespace {

class ToolRun : public DosTest {
protected:
    // The clips live on an assign, as the user's would.
    EnvGuard work_{"CLIPWEAVER_ASSIGN_WORK", scratch_.Path()};
    // Generous enough for a slow, shared machine; a stall test sets its own.
    EnvGuard timeout_{"CLIPWEAVER_TOOL_TIMEOUT", std::string("60")};

    std::string Probe(const std::string& amigaName, bool escape)
    {
        WriteAmiga("T:__MPlayerCommand",
            "loadfile \"" + (escape ? EscapeForSlave(amigaName) : amigaName) + "\"\npause\nget_time_length\n"
            "get_property width\nget_property height\nget_property video_bitrate\nget_property audio_bitrate\n"
            "get_property aspect\nget_property fps\nget_property video_codec\nget_property audio_codec\nquit\n");
        SystemTagList("MPlayer -slave -idle -input file=/T/__MPlayerCommand -vo null -vf screenshot >T:__Mplayer.out\n",
            {{NP_StackSize, 1024000}});
        return ReadAmiga("T:__Mplayer.out");
    }
};

TEST_F(ToolRun, ProbeAnswersForAClipWithSound)
{
    MakeClip(scratch_ / "holiday.avi", "2.5", true);
    const std::string output = Probe("Work:holiday.avi", false);
    EXPECT_NE(output.find("ANS_LENGTH=2.5"), std::string::npos) << output;
    EXPECT_NE(output.find("ANS_width=64\n"), std::string::npos);
    EXPECT_NE(output.find("ANS_height=48\n"), std::string::npos);
    EXPECT_NE(output.find("ANS_fps=25.000000\n"), std::string::npos);
    EXPECT_NE(output.find("ANS_video_codec=ffodivx\n"), std::string::npos);
    // The sound is found although no sound output can open here.
    EXPECT_NE(output.find("ANS_audio_codec=mpg123\n"), std::string::npos) << output;
    const std::size_t bitrate = output.find("ANS_audio_bitrate=");
    ASSERT_NE(bitrate, std::string::npos);
    EXPECT_GT(std::atoi(output.c_str() + bitrate + 18), 0);
}

// A piece is known by where the tool put it (T:), never by a text in a
// file's header: a user's clip whose comment reads like a piece's tag is
// probed as the clip it is.
TEST_F(ToolRun, APieceIsKnownByItsPlaceNotByItsText)
{
    const std::string tag = "cwpiece 1 w=640 h=480 r=25/1 n=999 ar=44100 ns=1 end";
    const std::string clip = scratch_ / "tagged.avi";
    Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-t", "1", "-c:v", "mpeg4", "-metadata",
        "comment=" + tag, clip});
    const std::string inTemporary = TemporaryHostFile("__TempVideo");
    std::filesystem::copy_file(clip, inTemporary, std::filesystem::copy_options::overwrite_existing);
    struct Row {
        std::string path;
        cwtools::FileFacts::Kind kind;
        int width;
    };
    const Row rows[] = {
        {clip, cwtools::FileFacts::Kind::Foreign, 64},
        {inTemporary, cwtools::FileFacts::Kind::Piece, 640},
    };
    for (const Row& row : rows) {
        ToolCall call;
        const cwtools::FileFacts facts = cwtools::ExamineFile(row.path, call);
        EXPECT_EQ(facts.kind, row.kind) << row.path;
        EXPECT_EQ(facts.source.width, row.width) << row.path;
    }
    std::filesystem::remove(inTemporary);
}

TEST_F(ToolRun, ProbeOfASilentClipAnswersNoAudioCodec)
{
    MakeClip(scratch_ / "quiet.avi", "2", false);
    const std::string output = Probe("Work:quiet.avi", false);
    EXPECT_NE(output.find("ANS_video_codec=ffodivx\n"), std::string::npos) << output;
    EXPECT_EQ(output.find("ANS_audio_codec="), std::string::npos) << output;
    EXPECT_EQ(output.find("ANS_audio_bitrate="), std::string::npos);
}

TEST_F(ToolRun, ProbeOfAHostileNameReadsThatFileOnly)
{
    const std::string name = "my clip\" -o \"victim;$(touch pwned)*`id`.avi";
    MakeClip(scratch_ / name, "2", true);
    for (const bool escape : {true, false}) {
        const std::string output = Probe("Work:" + name, escape);
        EXPECT_NE(output.find("ANS_width=64\n"), std::string::npos) << output;
        EXPECT_NE(output.find("ANS_audio_codec=mpg123\n"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "pwned"));
    EXPECT_FALSE(std::filesystem::exists("pwned"));
}

TEST_F(ToolRun, ScreenshotIsSavedAndNamed)
{
    MakeClip(scratch_ / "clip.avi", "2", false);
    WriteAmiga("T:__MPlayerCommand", "loadfile \"Work:clip.avi\"\npause\nscreenshot\nplay\nquit\n");
    SystemTagList("SYS:Utilities/MPlayer -nosound -ss 1.000000 -zoom -vf scale=160:90,screenshot -slave -idle -input file=/T/__MPlayerCommand -vo null >T:__Mplayer.out\n",
        kToolTags);
    const std::string output = ReadAmiga("T:__Mplayer.out");
    ASSERT_NE(output.find("*** screenshot"), std::string::npos) << output;
    const std::size_t saved = output.find("Saved screenshot");
    ASSERT_NE(saved, std::string::npos) << output;
    // The caller's rule: the name starts 21 characters on and ends before
    // the last single quote.
    const std::string rest = output.substr(saved + 21);
    const std::string shot = rest.substr(0, rest.rfind('\''));
    EXPECT_EQ(shot, "T:shot0001.png");
    EXPECT_FALSE(std::filesystem::exists("shot0001.png")) << "the user's folder stays clean";

    EXPECT_EQ(SystemTagList("C:copy " + shot + " T:__MplayerPreview1.png\n"), 0);
    EXPECT_EQ(DeleteFile(shot), TRUE);
    const MediaFacts facts = Facts(*HostPath("T:__MplayerPreview1.png"));
    ASSERT_TRUE(facts.video);
    EXPECT_EQ(facts.video->codec, "png");
    EXPECT_EQ(facts.width, 160);
}

TEST_F(ToolRun, ScreenshotPastTheEndIsNotSaved)
{
    MakeClip(scratch_ / "clip.avi", "1", false);
    WriteAmiga("T:__MPlayerCommand", "loadfile \"Work:clip.avi\"\npause\nscreenshot\nplay\nquit\n");
    SystemTagList("SYS:Utilities/MPlayer -nosound -ss 30.000000 -zoom -vf scale=160:90,screenshot -slave -idle -input file=/T/__MPlayerCommand -vo null >T:__Mplayer.out\n",
        kToolTags);
    EXPECT_EQ(ReadAmiga("T:__Mplayer.out").find("Saved screenshot"), std::string::npos);
}

TEST_F(ToolRun, StalledToolIsEnded)
{
    EnvGuard quick("CLIPWEAVER_TOOL_TIMEOUT", std::string("1"));
    WriteAmiga("T:__MPlayerCommand", ""); // no quit: the player would idle for ever
    TraceCapture trace;
    const LONG code = SystemTagList("MPlayer -slave -idle -input file=/T/__MPlayerCommand -vo null >T:__Mplayer.out\n");
    EXPECT_NE(code, 0);
    EXPECT_TRUE(trace.Contains("mplayer made no progress for 1 seconds; ended.\n")) << trace.Text();
}

TEST_F(ToolRun, VideoCroutonEndingInsideTheLastFrameIsComplete)
{
    MakeClip(scratch_ / "five.avi", "5.04", true);
    const LONG code = SystemTagList("mencoder \"Work:five.avi\" -o \"T:__TempVideo\" -zoom -oac pcm -srate 44100 -ovc lavc "
                                    "-lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000 -vf scale=160:120,harddup,framestep=2 "
                                    "-ofps 25.000000 -ss 0 -audio-delay 0 -endpos 5 ",
        kToolTags);
    EXPECT_EQ(code, 0);
    const MediaFacts facts = Facts(*HostPath("T:__TempVideo"));
    ASSERT_TRUE(facts.video);
    ASSERT_TRUE(facts.audio);
    EXPECT_EQ(facts.video->codec, "mpeg4");
    EXPECT_EQ(facts.audio->codec, "pcm_s16le");
    EXPECT_EQ(facts.width, 160);
    EXPECT_EQ(facts.video->frames, 125);
    EXPECT_NEAR(facts.duration, 5.0, 0.1);
    EXPECT_GT(DistinctPictures(*HostPath("T:__TempVideo")), 50u) << "the picture moves";
}

TEST_F(ToolRun, VideoCroutonStretchAndSilenceFile)
{
    MakeClip(scratch_ / "quiet.avi", "3", false);
    // No sound track of its own: the program names "silence.mp3" in its
    // working folder.
    ASSERT_TRUE(std::filesystem::exists("silence.mp3"));
    SystemTagList("mencoder \"Work:quiet.avi\" -o \"RAM:piece.avi\" -zoom -oac pcm -srate 44100 -ovc lavc "
                  "-lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000 -vf scale=80:60,harddup,framestep=2 "
                  "-ofps 25.000000 -audiofile silence.mp3 -fps 50.000000 -mc 0 -ss 1 -audio-delay 0 -endpos 1 ",
        kToolTags);
    const MediaFacts facts = Facts(*HostPath("RAM:piece.avi"));
    ASSERT_TRUE(facts.video);
    ASSERT_TRUE(facts.audio);
    EXPECT_EQ(facts.video->frames, 25);
    EXPECT_NEAR(facts.duration, 1.0, 0.1);
    EXPECT_GT(DistinctPictures(*HostPath("RAM:piece.avi")), 5u);
}

TEST_F(ToolRun, HostileSourceNameAddsNoOption)
{
    const std::string name = "clip\" -o \"victim.avi";
    MakeClip(scratch_ / name, "1", false);
    CwdGuard cwd(scratch_.Path());
    SystemTagList("mencoder \"" + EscapeInQuotes("Work:" + name) + "\" -o \"T:__TempVideo\" -zoom -oac pcm -srate 44100 "
                  "-ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000 -vf scale=80:60,harddup,framestep=2 "
                  "-ofps 25.000000 -nosound -ss 0 -audio-delay 0 -endpos 1 ",
        kToolTags);
    const MediaFacts facts = Facts(*HostPath("T:__TempVideo"));
    ASSERT_TRUE(facts.video);
    EXPECT_FALSE(facts.audio);
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "victim.avi"));
}

TEST_F(ToolRun, ImageListCroutonWithRawSilence)
{
    std::string list;
    for (int i = 1; i <= 3; ++i) {
        MakeImage(scratch_ / ("frame" + std::to_string(i) + ".png"), i);
        list += "Work:frame" + std::to_string(i) + ".png\n";
    }
    WriteAmiga("T:__CWEncodeList.lst", list);
    WriteAmiga("T:__CWSilence.raw", std::string(2 * 11025, '\x80')); // (3 - 1) / 1 fps seconds
    SystemTagList("mencoder mf://@/T/__CWEncodeList.lst -mf w=320:h=240:type=png:fps=2.000000 -o \"T:__TempVideo\" -zoom "
                  "-oac pcm -srate 44100 -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell -vf scale=160:120,harddup "
                  "-ofps 25.000000 -audio-delay 0000000 -audio-demuxer rawaudio -rawaudio rate=11025:samplesize=1:channels=1 "
                  "-audiofile T:__CWSilence.raw\n",
        kToolTags);
    const MediaFacts facts = Facts(*HostPath("T:__TempVideo"));
    ASSERT_TRUE(facts.video);
    ASSERT_TRUE(facts.audio);
    EXPECT_EQ(facts.audio->codec, "pcm_s16le");
    // Three images at two a second: 1.5 seconds of 25 frames each.
    EXPECT_NEAR(facts.video->frames, 37.5, 1);
    EXPECT_GE(DistinctPictures(*HostPath("T:__TempVideo")), 3u);
}

TEST_F(ToolRun, StillImageClipForPreviewsAndItsScreenshot)
{
    MakeImage(scratch_ / "still.png", 4);
    WriteAmiga("T:__CWEncodeList.lst", "Work:still.png\nWork:still.png\nWork:still.png\n");
    SystemTagList("mencoder mf://@/T/__CWEncodeList.lst -mf w=640:h=512:type=png:fps=1.000000 -o T:__CWImageVideo.mp4 "
                  "-zoom -nosound -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell -vf scale=160:120,harddup ",
        kToolTags);
    EXPECT_GT(std::filesystem::file_size(*HostPath("T:__CWImageVideo.mp4")), 4199u);
    const MediaFacts facts = Facts(*HostPath("T:__CWImageVideo.mp4"));
    ASSERT_TRUE(facts.video);
    EXPECT_NEAR(facts.duration, 3.0, 0.1);

    WriteAmiga("T:__MPlayerCommand", "loadfile \"T:__CWImageVideo.mp4\"\npause\nscreenshot\nplay\nquit\n");
    SystemTagList("SYS:Utilities/MPlayer -nosound -zoom -vf scale=160:90,screenshot -slave -idle -input file=/T/__MPlayerCommand -vo null >T:__Mplayer.out\n",
        kToolTags);
    EXPECT_NE(ReadAmiga("T:__Mplayer.out").find("Saved screenshot as 'T:shot0001.png'"), std::string::npos);
}

TEST_F(ToolRun, JoinKeepsBothPiecesWhole)
{
    MakeClip(scratch_ / "a.avi", "2", true);
    MakeClip(scratch_ / "b.avi", "3", false);
    const std::string piece = "-zoom -oac pcm -srate 44100 -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000 "
                              "-vf scale=80:60,harddup,framestep=2 -ofps 25.000000 -ss 0 -audio-delay 0 ";
    SystemTagList("mencoder \"Work:a.avi\" -o \"RAM:Great Video.avi\" " + piece + "-endpos 2 ", kToolTags);
    SystemTagList("mencoder \"Work:b.avi\" -o \"T:__TempVideo\" " + piece + "-audiofile silence.mp3 -endpos 3 ", kToolTags);
    ASSERT_EQ(Rename("RAM:Great Video.avi", "T:__TempVideo2"), TRUE);
    SystemTagList("mencoder -oac pcm -ovc lavc -o \"RAM:Great Video.avi\" \"T:__TempVideo2\" \"T:__TempVideo\"\n", kToolTags);
    // A join lists its pieces; the finish writes the one file.
    ASSERT_EQ(Rename("RAM:Great Video.avi", "T:__FinishVideo"), TRUE);
    EXPECT_EQ(SystemTagList("mencoder -oac lavc -ovc copy -o \"RAM:Great Video.avi\" \"T:__FinishVideo\"\n", kToolTags), 0);

    const std::string joined = *HostPath("RAM:Great Video.avi");
    const MediaFacts facts = Facts(joined);
    ASSERT_TRUE(facts.video);
    ASSERT_TRUE(facts.audio);
    EXPECT_EQ(facts.video->frames, 125);
    EXPECT_NEAR(facts.duration, 5.0, 0.1);
    EXPECT_GT(DistinctPictures(joined), 50u);
}

TEST_F(ToolRun, JoinOfUnlikePiecesEncodesAgain)
{
    MakeClip(scratch_ / "a.avi", "1", true);
    MakeClip(scratch_ / "b.avi", "2", false);
    SystemTagList("mencoder -oac pcm -ovc lavc -o \"T:__Joined\" \"Work:a.avi\" \"Work:b.avi\"\n", kToolTags);
    EXPECT_EQ(SystemTagList("mencoder -oac lavc -ovc copy -o \"T:__Joined.avi\" \"T:__Joined\"\n", kToolTags), 0);
    const MediaFacts facts = Facts(*HostPath("T:__Joined.avi"));
    ASSERT_TRUE(facts.video);
    ASSERT_TRUE(facts.audio);
    EXPECT_EQ(facts.width, 64);
    EXPECT_NEAR(facts.video->frames, 75, 1);
}

TEST_F(ToolRun, SoundtrackIsLaidUnderTheVideo)
{
    MakeClip(scratch_ / "quiet.avi", "2", false);
    Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=22050", "-t", "1", "-c:a", "libmp3lame", scratch_ / "tune.mp3"});
    SystemTagList("mencoder \"Work:quiet.avi\" -o \"T:__SilentVideo\" -zoom -oac pcm -srate 44100 -ovc lavc "
                  "-lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000 -vf scale=80:60,harddup,framestep=2 "
                  "-ofps 25.000000 -nosound -ss 0 -audio-delay 0 -endpos 2 ",
        kToolTags);
    SystemTagList("mencoder -oac lavc -ovc copy T:__SilentVideo -audiofile \"Work:tune.mp3\" -o RAM:WithSound.avi", kToolTags);
    const MediaFacts facts = Facts(*HostPath("RAM:WithSound.avi"));
    ASSERT_TRUE(facts.video);
    ASSERT_TRUE(facts.audio);
    EXPECT_EQ(facts.video->frames, 50);
    EXPECT_NEAR(facts.duration, 2.0, 0.15) << "the short tune is padded, the picture kept whole";
}

TEST_F(ToolRun, OtherMencoderLinesRunTheHostEncoder)
{
    MakeClip(scratch_ / "clip.avi", "1", false);
    const LONG code = SystemTagList("mencoder Work:clip.avi -ovc copy -nosound -o T:__Copied.avi\n", kToolTags);
    EXPECT_EQ(code, 0);
    const MediaFacts facts = Facts(*HostPath("T:__Copied.avi"));
    ASSERT_TRUE(facts.video);
    EXPECT_EQ(facts.video->frames, 25);
}

TEST_F(ToolRun, RunStartsThePlayerDetached)
{
    MakeClip(scratch_ / "clip.avi", "1", false);
    EXPECT_EQ(SystemTagList("RUN <NIL: >NIL: MPlayer -gui -playlist Work:clip.avi\n"), 0);
    EXPECT_EQ(SystemTagList("RUN <NIL: >NIL: MPlayer -gui -playlist Work:frame#?.png\n"), 0);
}

} // namespace

// Whole renderings with the real tools on tiny clips and pictures that the
// tests make: the output lasts as long as its pieces together, has one frame
// per 1/25 s of them, moves, and carries a project soundtrack; the finished
// render says where it is and how long; a cancel ends the running tool; and
// whatever the end, nothing of the render's pieces or lanes stays on T:.
#include "model/render.h"
#include "os/command.h"
#include "os/work.h"
#include "render_support.h"
#include "support/fake_tools.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <string>
#include <vector>

using cwtest::RecordedWork;
using media_test::MakeClip;
using render_test::Exists;
using render_test::SetField;

namespace {

// The files of a render's own on T:: its lanes' files, its pieces and the
// finish. The tools' scratch files outside the lanes are the command
// runner's, written over by every run, and the probe's and the previews'
// are not the render's.
bool IsRenderFile(const std::string& name)
{
    for (const char* prefix : {"__CWLane", "__TempVideo", "__FinishVideo", "__SilentVideo", "__CWTransition",
                               "__CWHead", "__CWTail", "__CWJoinTail", "__CWEncodeList", "__CWSilence", "__CWTitle",
                               "__CWPieces", "__CWSoundLane"})
        if (name.starts_with(prefix))
            return true;
    return false;
}

std::vector<std::string> RenderFilesOnT()
{
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(TemporaryFolder(), error)) {
        const std::string name = entry.path().filename().string();
        // The kept pieces' folder may stay, empty.
        if (IsRenderFile(name) && !(entry.is_directory() && std::filesystem::is_empty(entry.path(), error)))
            files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The files of the render's lanes ("__CWLane2__TempVideo").
std::vector<std::string> LaneFiles(const std::vector<std::string>& files)
{
    std::vector<std::string> lanes;
    for (const std::string& file : files)
        if (file.starts_with("__CWLane"))
            lanes.push_back(file);
    return lanes;
}

// What ffprobe reads of a file's streams: each codec's name and the video's
// frames counted.
struct Streams {
    std::string video;
    std::string sound;
    long frames = -1;
    double duration = 0;
};

std::optional<Streams> MeasureStreams(const std::string& file)
{
    const auto printed = render_test::Capture({"ffprobe", "-v", "error", "-count_frames", "-show_entries",
        "stream=codec_type,codec_name,nb_read_frames:format=duration", "-of", "default=noprint_wrappers=1", file});
    if (!printed)
        return std::nullopt;
    Streams streams;
    // Each stream's entries start with its codec's name.
    std::string type;
    std::string codec;
    for (const std::string& line : media_test::Lines(*printed)) {
        if (line.starts_with("codec_name=")) {
            codec = line.substr(11);
            type.clear();
        } else if (line.starts_with("codec_type=")) {
            type = line.substr(11);
            if (type == "video" || type == "audio")
                (type == "video" ? streams.video : streams.sound) = codec;
        } else if (line.starts_with("nb_read_frames=") && type == "video") {
            streams.frames = std::strtol(line.c_str() + 15, nullptr, 10);
        } else if (line.starts_with("duration=")) {
            streams.duration = std::strtod(line.c_str() + 9, nullptr);
        }
    }
    return streams;
}

// Sets the number of the render's lanes for one test.
class ScopedLanes {
public:
    explicit ScopedLanes(int lanes) { ::setenv("CLIPWEAVER_RENDER_LANES", std::to_string(lanes).c_str(), 1); }
    ~ScopedLanes() { ::unsetenv("CLIPWEAVER_RENDER_LANES"); }
    ScopedLanes(const ScopedLanes&) = delete;
    ScopedLanes& operator=(const ScopedLanes&) = delete;
};

class RealRender : public render_test::RenderFixture {
protected:
    void SetUp() override
    {
        RenderFixture::SetUp();
        gProject->fps = 2; // 25 frames a second
        // Tests of one run share T:; each starts without an earlier render's
        // files, so that what is left is this one's.
        for (const std::string& file : RenderFilesOnT()) {
            std::error_code ignored;
            std::filesystem::remove_all(std::filesystem::path(TemporaryFolder()) / file, ignored);
        }
    }

    std::string Render()
    {
        TraceCapture trace;
        RenderProject(gProject.get());
        return trace.Text();
    }
};

std::size_t Distinct(const std::vector<std::string>& hashes, std::size_t from, std::size_t to)
{
    return std::set<std::string>(hashes.begin() + static_cast<long>(from), hashes.begin() + static_cast<long>(to))
        .size();
}

TEST_F(RealRender, VideoAndPicturesAddUp)
{
    const std::string clip = folder_ / "clip.avi";
    MakeClip(clip, true);
    // Three different pictures: the test pattern's counter moves each second.
    ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=1", "-frames:v", "3",
                                  folder_ / "frame%d.png"}),
              0);
    Append(Video(clip, 0, 2));
    Crouton* pictures = Append(Images(folder_ / "frame#?.png", 6)); // 1 picture a second
    pictures->length = 3;

    const std::string trace = Render();
    EXPECT_TRUE(trace.ends_with("Rendering finished.\n")) << trace;

    const auto probed = render_test::Probe(output_);
    ASSERT_TRUE(probed);
    // 2 s of video and 3 pictures of 1 s each, at 25 frames a second.
    EXPECT_NEAR(probed->duration, 5.0, 0.1);
    ASSERT_EQ(probed->frameHashes.size(), 125u);
    EXPECT_TRUE(probed->hasAudio);
    // The clip's part moves; the pictures' part shows each picture in turn.
    EXPECT_GE(Distinct(probed->frameHashes, 0, 50), 20u);
    EXPECT_GE(Distinct(probed->frameHashes, 50, 125), 3u);
    EXPECT_NE(probed->frameHashes[60], probed->frameHashes[85]);
    EXPECT_NE(probed->frameHashes[85], probed->frameHashes[110]);
}

TEST_F(RealRender, SoundtrackIsLaidUnderTheSilentPieces)
{
    const std::string clip = folder_ / "quiet.avi";
    MakeClip(clip, false);
    const std::string tune = folder_ / "tune.wav";
    ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=330:duration=3", tune}), 0);
    SetField(BUTTON_MAIN_SOUNDTRACK, tune);
    Append(Video(clip, 0, 2, std::nullopt));

    const std::string trace = Render();
    EXPECT_NE(trace.find(" -o \"T:__SilentVideo\" "), std::string::npos);
    EXPECT_NE(trace.find(" -nosound -ss 0 "), std::string::npos);
    EXPECT_TRUE(trace.ends_with("Rendering with soundtrack " + tune
                                + ".\nCommand is mencoder -oac lavc -ovc copy T:__SilentVideo -audiofile \"" + tune
                                + "\" -o " + output_ + ".\nFinishing: mencoder -oac lavc -ovc copy -o \"" + output_
                                + "\" \"T:__FinishVideo\"\n.\nRendering finished.\n"))
        << trace;
    EXPECT_TRUE(Exists("T:__SilentVideo"));

    const auto silent = render_test::Probe(render_test::Host("T:__SilentVideo"));
    ASSERT_TRUE(silent);
    EXPECT_FALSE(silent->hasAudio);
    const auto probed = render_test::Probe(output_);
    ASSERT_TRUE(probed);
    EXPECT_TRUE(probed->hasAudio);
    EXPECT_NEAR(probed->duration, 2.0, 0.15);
    EXPECT_EQ(probed->frameHashes.size(), 50u);
}

TEST_F(RealRender, FinishedRenderTellsWhereItIsAndHowLong)
{
    const std::string clip = folder_ / "clip.avi";
    MakeClip(clip, true);
    Append(Video(clip, 0, 2));
    RecordedWork work;
    const std::string trace = Render();
    EXPECT_TRUE(trace.ends_with("Finishing: mencoder -oac lavc -ovc copy -o \"" + output_
                                + "\" \"T:__FinishVideo\"\n.\nRendering finished.\n"))
        << trace;
    EXPECT_EQ(work.outcome, WorkOutcome::Finished);
    EXPECT_THAT(work.message, ::testing::MatchesRegex("Rendered " + output_ + ": 0:0[1-3], [0-9.]+ (KB|MB)"));
    // The file is what its name says and as long as the crouton.
    const auto streams = MeasureStreams(output_);
    ASSERT_TRUE(streams);
    EXPECT_EQ(streams->video, "mpeg4");
    EXPECT_FALSE(streams->sound.empty());
    EXPECT_EQ(streams->frames, 50);
    EXPECT_NEAR(streams->duration, 2.0, 0.1);
    // Nothing of the render is left on T:.
    EXPECT_EQ(RenderFilesOnT(), std::vector<std::string>{});
}

// Croutons encoded side by side, each in a lane of its own: while they run
// the lanes hold their files, and once the render is done none is left; the
// output holds every crouton's frames, in the kind its name asks.
TEST_F(RealRender, LanesSideBySideLeaveOnlyTheOutput)
{
    const ScopedLanes lanes(2);
    const std::string clip = folder_ / "clip.avi";
    MakeClip(clip, true);
    ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=1", "-frames:v", "2",
                                  folder_ / "still%d.png"}),
              0);
    Append(Video(clip, 0, 1));
    Append(Images(folder_ / "still#?.png", 6))->length = 2;
    Append(Video(clip, 0, 2));
    Append(Video(clip, 1, 1));
    output_ = folder_ / "lanes.mp4";
    SetField(BUTTON_MAIN_OUTPUTFILENAME, output_);

    std::set<std::string> seenInLanes;
    SetToolWaitHook([&seenInLanes](ToolWait phase) {
        if (phase == ToolWait::Poll)
            for (const std::string& file : LaneFiles(RenderFilesOnT()))
                seenInLanes.insert(file);
    });
    RecordedWork work;
    Render();
    SetToolWaitHook({});
    ASSERT_EQ(work.outcome, WorkOutcome::Finished) << work.message;
    EXPECT_FALSE(seenInLanes.empty()) << "the croutons were not encoded in lanes";

    const auto streams = MeasureStreams(output_);
    ASSERT_TRUE(streams);
    EXPECT_EQ(streams->video, "h264");
    EXPECT_EQ(streams->sound, "aac");
    // 1 + 2 + 2 + 1 seconds at 25 frames a second.
    EXPECT_EQ(streams->frames, 150);
    EXPECT_NEAR(streams->duration, 6.0, 0.1);

    // A lane's own copy of the tools' concat script goes with the rest.
    EXPECT_EQ(RenderFilesOnT(), std::vector<std::string>{});
}

TEST_F(RealRender, CancelEndsTheRunningToolAndKeepsTheOldOutput)
{
    const std::string clip = folder_ / "clip.avi";
    MakeClip(clip, true);
    Append(Video(clip, 0, 2));
    Append(Video(clip, 0, 2));
    media_test::WriteHostFile(output_, "the old video");
    const ScopedLanes lanes(2);
    // The user cancels as soon as the first tool is waited for.
    int polls = 0;
    SetToolWaitHook([&polls](ToolWait phase) {
        if (phase == ToolWait::Poll && polls++ == 0)
            CancelWork();
    });
    RecordedWork work;
    const std::string trace = Render();
    SetToolWaitHook({});
    EXPECT_TRUE(trace.ends_with("Rendering cancelled.\n")) << trace;
    EXPECT_EQ(work.outcome, WorkOutcome::Cancelled);
    EXPECT_EQ(render_test::Count(trace, "Rendering crouton number"), 1u);
    EXPECT_EQ(media_test::ReadHostFile(output_), "the old video");
    // Neither the piece written nor the lanes' files stay.
    EXPECT_EQ(RenderFilesOnT(), std::vector<std::string>{});
}

TEST_F(RealRender, FailedRenderLeavesNoJoinedPieces)
{
    const std::string clip = folder_ / "clip.avi";
    MakeClip(clip, true);
    Append(Video(clip, 0, 1));
    Append(Video(clip, 0, 1));
    // There, but not a video: found only when it is encoded, after a join.
    std::ofstream(folder_ / "broken.avi") << "not a video";
    Append(Video(folder_ / "broken.avi", 0, 1));
    const std::string trace = Render();
    EXPECT_TRUE(trace.ends_with("Rendering failed.\n")) << trace;
    EXPECT_EQ(render_test::Count(trace, "Executing: mencoder -oac pcm -ovc lavc"), 1u) << trace;
    EXPECT_FALSE(Exists(output_));
    // The join kept its pieces on T:; a failed render takes them away too.
    std::error_code error;
    EXPECT_FALSE(std::filesystem::exists(render_test::Host("T:__CWPieces"), error)
                 && !std::filesystem::is_empty(render_test::Host("T:__CWPieces"), error));
    EXPECT_EQ(RenderFilesOnT(), std::vector<std::string>{});
}

TEST_F(RealRender, OutputOnAnotherFileSystemSurvivesTheJoins)
{
    struct stat shm {};
    struct stat temporary {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(TemporaryFolder().c_str(), &temporary) != 0
        || shm.st_dev == temporary.st_dev)
        GTEST_SKIP() << "no second file system at hand";
    std::string folder = "/dev/shm/cw-render-XXXXXX";
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    output_ = folder + "/far.mkv";
    SetField(BUTTON_MAIN_OUTPUTFILENAME, output_);

    const std::string clip = folder_ / "clip.avi";
    MakeClip(clip, true);
    ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=1", "-frames:v", "2",
                                  folder_ / "still%d.png"}),
              0);
    Append(Video(clip, 0, 2));
    Append(Images(folder_ / "still#?.png", 6))->length = 2;
    Append(Video(clip, 0, 2));

    const std::string trace = Render();
    EXPECT_TRUE(trace.ends_with("Rendering finished.\n")) << trace;
    const auto probed = render_test::Probe(output_);
    std::filesystem::remove_all(folder);
    ASSERT_TRUE(probed);
    EXPECT_NEAR(probed->duration, 6.0, 0.1);
    EXPECT_EQ(probed->frameHashes.size(), 150u);
    EXPECT_TRUE(probed->hasAudio);
}

} // namespace

struct KindRow {
    const char* output;
    const char* video;
    const char* sound;
};

// The mean brightness of a stretch of one frame.
double Brightness(const std::string& file, int frame, const std::string& crop)
{
    const auto printed = render_test::Capture({"ffmpeg", "-nostdin", "-v", "error", "-i", file, "-vf",
        "select=eq(n\\," + std::to_string(frame) + "),crop=" + crop + ",signalstats,metadata=print:file=-", "-f", "null",
        "-"});
    const std::size_t at = printed ? printed->find("YAVG=") : std::string::npos;
    return at == std::string::npos ? -1 : std::strtod(printed->c_str() + at + 5, nullptr);
}

// A phone's portrait clip (stored on its side, at 30000/1001 frames a
// second) and a 4:3 clip in a 16:9 frame: each keeps its shape upright with
// black beside it, every piece has the frames its length asks, and the file
// is what its name says.
TEST_F(RealRender, EachKindKeepsTheShapeAndTheFrames)
{
    const std::string stored = folder_ / "stored.mp4";
    const std::string phone = folder_ / "phone.mp4";
    // The tag turns the picture a quarter counter-clockwise for showing: the
    // white left of the stored picture is then its bottom.
    ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", "color=white:size=160x90:rate=30000/1001:duration=3", "-f",
                                  "lavfi", "-i", "sine=duration=3", "-vf", "drawbox=x=80:w=80:h=90:color=gray:t=fill",
                                  "-c:v", "libx264", "-c:a", "aac", stored}),
              0);
    ASSERT_EQ(media_test::Ffmpeg({"-i", stored, "-c", "copy", "-metadata:s:v:0", "rotate=90", phone}), 0);
    const std::string square = folder_ / "square.avi";
    MakeClip(square, true);
    gProject->parameters = 1; // 16:9 320x180
    Append(Video(phone, 0, 2));
    Append(Video(square, 0, 2));
    const KindRow rows[] = {{"out.mp4", "h264", "aac"}, {"out.mov", "h264", "aac"}, {"out.webm", "vp9", "opus"}};
    for (const KindRow& row : rows) {
        output_ = folder_ / row.output;
        SetField(BUTTON_MAIN_OUTPUTFILENAME, output_);
        RecordedWork work;
        Render();
        ASSERT_EQ(work.outcome, WorkOutcome::Finished) << work.message;
        const auto streams = render_test::Capture({"ffprobe", "-v", "error", "-count_frames", "-show_entries",
            "stream=codec_name,nb_read_frames,sample_aspect_ratio,display_aspect_ratio:format_tags=major_brand", "-of",
            "default=noprint_wrappers=1", output_});
        ASSERT_TRUE(streams);
        EXPECT_THAT(*streams, ::testing::HasSubstr("codec_name=" + std::string(row.video))) << row.output;
        EXPECT_THAT(*streams, ::testing::HasSubstr("codec_name=" + std::string(row.sound))) << row.output;
        EXPECT_THAT(*streams, ::testing::HasSubstr("nb_read_frames=100\n")) << *streams;
        EXPECT_THAT(*streams, ::testing::HasSubstr("display_aspect_ratio=16:9")) << row.output;
        if (std::string_view(row.output) == "out.mov") {
            EXPECT_THAT(*streams, ::testing::HasSubstr("major_brand=qt")) << *streams;
        }
        // The upright portrait is 102 wide: black beside it, grey above white.
        EXPECT_LT(Brightness(output_, 10, "100:180:0:0"), 20) << row.output;
        EXPECT_LT(Brightness(output_, 10, "100:180:220:0"), 20) << row.output;
        EXPECT_LT(Brightness(output_, 10, "90:80:115:5"), 150) << row.output;
        EXPECT_GT(Brightness(output_, 10, "90:80:115:95"), 200) << row.output;
        // The 4:3 clip is 240 wide.
        EXPECT_LT(Brightness(output_, 60, "36:180:0:0"), 20) << row.output;
        EXPECT_GT(Brightness(output_, 60, "36:180:42:0"), 40) << row.output;
    }
}

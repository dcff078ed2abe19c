// Preview stills: reading MPlayer's screenshot output, the stills' names,
// picking images, and real grabs from tiny clips and pictures made here with
// ffmpeg. "_Run MPlayer" is checked by its command line.
#include "media/preview.h"

#include "gui/vocabulary.h"
#include "media_test_support.h"
#include "model/crouton.h"
#include "model/tables.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/exec.h"
#include "mui/mui.h"
#include "support/test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using media_test::Ffmpeg;
using media_test::MakePicture;
using media_test::ReadHostFile;
using media_test::TempFolder;
using media_test::WriteHostFile;
using media_test::kEditorImages;
using media_test::kSliders;
using ::testing::HasSubstr;
using ::testing::Not;
using cwtest::HostFile;

namespace {

std::string Picture(HexButtons slot) { return gButtons[slot]->GetString(MUIA_NBitmap_Normal).value_or("<none>"); }

// A 3-second 160x120 clip without sound.
void MakeClip(const std::string& path)
{
    ASSERT_EQ(Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=3", "-c:v", "mpeg4", "-an", path}), 0);
}

bool IsPng(const std::string& bytes) { return bytes.size() > 24 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0; }

std::pair<unsigned, unsigned> PngSize(const std::string& bytes)
{
    const auto word = [&bytes](std::size_t at) {
        unsigned value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return {word(16), word(20)};
}

// The screenshots MPlayer left in T: (there should be none after a grab).
std::vector<std::string> ScreenshotsLeft()
{
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(TemporaryFolder()))
        if (entry.path().filename().string().rfind("shot", 0) == 0)
            left.push_back(entry.path().filename().string());
    return left;
}

std::size_t Count(const std::string& text, const std::string& piece)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size()))
        ++count;
    return count;
}

// ---- the screenshot rule -------------------------------------------------

TEST(PreviewScreenshotRule, NoAnnouncementMeansNoScreenshot)
{
    EXPECT_EQ(FindScreenshot("").state, ScreenshotState::None);
    EXPECT_EQ(FindScreenshot("Playing x.\nExiting... (Quit)\n").state, ScreenshotState::None);
    // A saved line alone does not count without the announcement.
    EXPECT_EQ(FindScreenshot("Saved screenshot as 'T:shot0001.png'\n").state, ScreenshotState::None);
}

TEST(PreviewScreenshotRule, AnnouncedButNotSaved)
{
    const ScreenshotSearch announced = FindScreenshot("*** screenshot 'shot0001.png' ***\nExiting...\n");
    EXPECT_EQ(announced.state, ScreenshotState::NotSaved);
    EXPECT_EQ(announced.savedAt, std::string::npos);
    // A saved line whose name has no closing quote names no file.
    const std::string open = "*** screenshot\nSaved screenshot as 'T:shot0001.png\n";
    const ScreenshotSearch unended = FindScreenshot(open);
    EXPECT_EQ(unended.state, ScreenshotState::NotSaved);
    EXPECT_EQ(unended.savedAt, open.find("Saved"));
    // Output that ends inside the saved line, or right at the opening quote.
    EXPECT_EQ(FindScreenshot("*** screenshot\nSaved screenshot as").state, ScreenshotState::NotSaved);
    EXPECT_EQ(FindScreenshot("*** screenshot\nSaved screenshot as '").state, ScreenshotState::NotSaved);
    EXPECT_EQ(FindScreenshot("*** screenshot\nSaved screenshot as ''\n").state, ScreenshotState::NotSaved);
}

TEST(PreviewScreenshotRule, NameRunsFromTheQuoteToTheLastQuote)
{
    const std::string output = "*** screenshot 'shot0001.png' ***\nSaved screenshot as 'T:shot0001.png'\n";
    const ScreenshotSearch found = FindScreenshot(output);
    EXPECT_EQ(found.state, ScreenshotState::Saved);
    EXPECT_EQ(found.name, "T:shot0001.png");
    EXPECT_EQ(found.savedAt, output.find("Saved"));
    // The last quote of the whole rest ends the name, even on a later line,
    // and the first saved line counts.
    EXPECT_EQ(FindScreenshot("*** screenshot\nSaved screenshot as 'it's.png'\n").name, "it's.png");
    EXPECT_EQ(FindScreenshot("*** screenshot\nSaved screenshot as 'a.png'\nSaved screenshot as 'b.png'\n").name,
              "a.png'\nSaved screenshot as 'b.png");
}

// ---- names and picks -----------------------------------------------------

TEST(PreviewNames, StillsAndIconLieBesideTheCroutonFile)
{
    Crouton crouton;
    crouton.directory = "Work:Clips";
    crouton.filename = "holiday.cwcrouton";
    EXPECT_EQ(PreviewStillName(&crouton, 1), "Work:Clips/holiday_preview1.png");
    EXPECT_EQ(PreviewStillName(&crouton, 5), "Work:Clips/holiday_preview5.png");
    EXPECT_EQ(PreviewIconName(&crouton), "Work:Clips/holiday.info");
    crouton.directory = "DH0:";
    crouton.filename = "a.b.cwcrouton";
    EXPECT_EQ(PreviewStillName(&crouton, 2), "DH0:a.b_preview2.png");
    crouton.filename = "plain";
    EXPECT_EQ(PreviewIconName(&crouton), "DH0:plain.info");
}

TEST(PreviewNames, SliderPicksAnImageOfTheSequence)
{
    std::vector<int> picked;
    for (LONG position : {0, 20, 40, 60, 80, 100})
        picked.push_back(PreviewImageIndex(10, position));
    EXPECT_EQ(picked, (std::vector<int>{0, 2, 4, 6, 8, 9}));
    EXPECT_EQ(PreviewImageIndex(3, 99), 2);
    EXPECT_EQ(PreviewImageIndex(3, 33), 0);
    EXPECT_EQ(PreviewImageIndex(1, 100), 0);
    EXPECT_EQ(PreviewImageIndex(10, -5), 0);
    EXPECT_EQ(PreviewImageIndex(10, 250), 9);
    EXPECT_EQ(PreviewImageIndex(0, 50), -1);
}

// ---- grabbing on the real windows ----------------------------------------

class PreviewGrab : public media_test::WindowsFixture {
protected:
    void SetUp() override
    {
        WindowsFixture::SetUp();
        ASSERT_FALSE(folder_.path().empty());
        crouton_ = CreateCrouton();
        crouton_->directory = folder_.path();
        crouton_->filename = "clip.cwcrouton";
        crouton_->previewFrame = 1;
        crouton_->previewImage = gVisualList->AdoptImage(mui::MakeNBitmap("NoImageAvailable.png"));
        for (int i = 0; i < 5; ++i)
            DeleteFile(cTemporaryPreviewFilename[static_cast<std::size_t>(i)]);
    }
    void TearDown() override
    {
        crouton_->previewImage = nullptr;
        crouton_.reset();
        for (int i = 0; i < 5; ++i)
            DeleteFile(cTemporaryPreviewFilename[static_cast<std::size_t>(i)]);
        WindowsFixture::TearDown();
    }

    void SetStretch(LONG start, LONG end, LONG max)
    {
        mui::nnset(gButtons[BUTTON_CROUTONEDITOR_START], MUIA_Numeric_Max, max);
        mui::nnset(gButtons[BUTTON_CROUTONEDITOR_END], MUIA_Numeric_Max, max);
        mui::nnset(gButtons[BUTTON_CROUTONEDITOR_START], MUIA_Numeric_Value, start);
        mui::nnset(gButtons[BUTTON_CROUTONEDITOR_END], MUIA_Numeric_Value, end);
    }
    void SetSliders(std::array<LONG, 5> values)
    {
        for (std::size_t i = 0; i < 5; ++i)
            mui::nnset(gButtons[kSliders[i]], MUIA_Numeric_Value, values[i]);
    }
    void SetSource(const std::string& name)
    {
        mui::nnset(gButtons[BUTTON_CROUTONEDITOR_VIDEO_FILENAME], MUIA_String_Contents, name);
    }
    std::string Still(int number) const { return folder_ / ("clip_preview" + std::to_string(number) + ".png"); }
    static std::string Temporary(int i) { return HostFile(cTemporaryPreviewFilename[static_cast<std::size_t>(i)]); }
    // Still i was grabbed: the crouton names its final file, and the
    // temporary still is a PNG scaled to 160 wide (MPlayer saves it at the
    // display aspect).
    void ExpectGrabbedStill(int i) const
    {
        EXPECT_EQ(crouton_->previewFilename[static_cast<std::size_t>(i)], Still(i + 1));
        const std::string still = ReadHostFile(Temporary(i));
        ASSERT_TRUE(IsPng(still));
        EXPECT_EQ(PngSize(still).first, 160u);
    }

    TempFolder folder_;
    std::unique_ptr<Crouton> crouton_;
};

TEST_F(PreviewGrab, VideoWithoutAProbedClipChangesNothing)
{
    crouton_->isVideo = TRUE;
    crouton_->videoLength = 0;
    crouton_->previewFilename[0] = "old.png";
    for (HexButtons slot : kEditorImages)
        mui::nnset(gButtons[slot], MUIA_NBitmap_Normal, std::string("Marked.png"));
    TraceCapture trace;
    GeneratePreview(crouton_.get());
    EXPECT_EQ(trace.Text(), "");
    for (HexButtons slot : kEditorImages)
        EXPECT_EQ(Picture(slot), "Marked.png");
    EXPECT_EQ(crouton_->previewImage->GetString(MUIA_NBitmap_Normal), "NoImageAvailable.png");
    EXPECT_EQ(crouton_->previewFilename[0], "old.png");
    GeneratePreview(nullptr);
}

TEST_F(PreviewGrab, VideoGetsFiveRealStillsAndTheChosenOneAsIcon)
{
    const std::string clip = folder_ / "clip.avi";
    MakeClip(clip);
    crouton_->isVideo = TRUE;
    crouton_->videoLength = 3;
    SetStretch(0, 3, 3);
    SetSliders({0, 20, 40, 60, 80});
    SetSource(clip);
    TraceCapture trace;
    GeneratePreview(crouton_.get());

    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        ExpectGrabbedStill(i);
        EXPECT_EQ(Picture(kEditorImages[static_cast<std::size_t>(i)]), cTemporaryPreviewFilename[static_cast<std::size_t>(i)]);
        // The final stills are written only when the editor saves.
        EXPECT_FALSE(std::filesystem::exists(Still(i + 1)));
    }
    EXPECT_EQ(ReadHostFile(folder_ / "clip.info"), ReadHostFile(Temporary(1)));
    EXPECT_TRUE(ScreenshotsLeft().empty());
    EXPECT_EQ(ReadHostFile(HostFile("T:__MPlayerCommand")),
              "loadfile \"" + clip + "\"\npause\nscreenshot\nplay\nquit\n");

    const std::string& text = trace.Text();
    // The 4:3 clip keeps its shape inside the 16:9 still.
    EXPECT_THAT(text, HasSubstr("Command: SYS:Utilities/MPlayer -nosound -ss 0.600000 -zoom -vf "
                                "scale=120:90,expand=160:90,screenshot -slave -idle -input file=/T/__MPlayerCommand -vo null "
                                ">T:__Mplayer.out\n.\n"));
    EXPECT_THAT(text, HasSubstr("-ss 2.400000 "));
    EXPECT_THAT(text, HasSubstr("Found screenshot at T:shot0001.png. Copying to T:__MplayerPreview3.png,\n"
                                "C:copy T:shot0001.png T:__MplayerPreview3.png\n"));
    EXPECT_THAT(text, HasSubstr("C:copy T:__MplayerPreview2.png " + folder_.path() + "/clip.info\n"));
    EXPECT_EQ(Count(text, ".info\n"), 1u);
    EXPECT_THAT(text, Not(HasSubstr("No screenshot found.")));
    // The crouton's own picture waits for the editor's save.
    EXPECT_EQ(crouton_->previewImage->GetString(MUIA_NBitmap_Normal), "Loading.png");
}

TEST_F(PreviewGrab, PositionsFollowTheStretchAndAMissingClipGivesNoKeyFrames)
{
    const std::string source = folder_ / "no such \"clip\".avi";
    crouton_->isVideo = TRUE;
    crouton_->videoLength = 60;
    SetStretch(10, 30, 60);
    SetSliders({50, 0, 100, 25, 33});
    SetSource(source);
    TraceCapture trace;
    GeneratePreview(crouton_.get());

    const std::string& text = trace.Text();
    for (const char* position : {"20.000000", "10.000000", "30.000000", "15.000000", "16.600000"})
        EXPECT_THAT(text, HasSubstr(std::string("-ss ") + position + " -zoom")) << position;
    EXPECT_EQ(Count(text, "No screenshot found.\n"), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(crouton_->previewFilename[static_cast<std::size_t>(i)], "NoKeyFrame.png");
    EXPECT_EQ(ReadHostFile(HostFile("T:__MPlayerCommand")),
              "loadfile \"" + folder_.path() + "/no such \\\"clip\\\".avi\"\npause\nscreenshot\nplay\nquit\n");
    // No still, so no icon.
    EXPECT_FALSE(std::filesystem::exists(folder_ / "clip.info"));
}

// A stand-in for the player that prints a fixed text while the object
// lives: the host's mplayer found first on PATH, and, for the runs the
// MPlayer tool carries out itself (screenshots), the runner's seam.
class FakePlayer {
public:
    explicit FakePlayer(const std::string& output)
    {
        SetCommandHook([output](std::string_view command) -> std::optional<LONG> {
            if (command.rfind("SYS:Utilities/MPlayer ", 0) != 0 && command.rfind("MPlayer ", 0) != 0)
                return std::nullopt;
            FileHandle out = Open("T:__Mplayer.out", MODE_NEWFILE);
            if (!out)
                return 20;
            FPuts(*out, output);
            Close(std::move(out));
            return 0;
        });
        const std::string script = bin_ / "mplayer";
        WriteHostFile(bin_ / "output.txt", output);
        WriteHostFile(script, "#!/bin/sh\ncat '" + (bin_ / "output.txt") + "'\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        const char* path = std::getenv("PATH");
        oldPath_ = path ? path : "";
        setenv("PATH", (bin_.path() + ":" + oldPath_).c_str(), 1);
    }
    ~FakePlayer()
    {
        SetCommandHook({});
        setenv("PATH", oldPath_.c_str(), 1);
    }
    FakePlayer(const FakePlayer&) = delete;
    FakePlayer& operator=(const FakePlayer&) = delete;

private:
    TempFolder bin_;
    std::string oldPath_;
};

TEST_F(PreviewGrab, AnnouncedButUnsavedScreenshotsLeaveTheStillsAlone)
{
    for (const std::string& output : {std::string("*** screenshot 'shot0001.png' ***\nExiting... (Quit)\n"),
                                     std::string("*** screenshot\nSaved screenshot as 'T:shot0001.png\n")}) {
        SCOPED_TRACE(output);
        FakePlayer player(output);
        crouton_->isVideo = TRUE;
        crouton_->videoLength = 3;
        for (int i = 0; i < 5; ++i)
            crouton_->previewFilename[static_cast<std::size_t>(i)] = "old" + std::to_string(i) + ".png";
        SetStretch(0, 3, 3);
        SetSource(folder_ / "clip.avi");
        TraceCapture trace;
        GrabPreviews_Video(crouton_.get(), ReadPreviewInputs());
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(crouton_->previewFilename[static_cast<std::size_t>(i)], "old" + std::to_string(i) + ".png");
        EXPECT_EQ(Count(trace.Text(), "Command: "), 5u);
        EXPECT_THAT(trace.Text(), Not(HasSubstr("No screenshot found.")));
        EXPECT_THAT(trace.Text(), Not(HasSubstr("Found screenshot")));
    }
}

// A run that took no screenshot at all: the still has no key frame, and the
// editor shows that at once, whether the still comes from a clip or a picture.
TEST_F(PreviewGrab, NoScreenshotShowsNoKeyFrameInTheEditor)
{
    const std::string picture = folder_ / "one.png";
    MakePicture(picture);
    struct Row {
        const char* what;
        std::function<void(Crouton*)> grab;
    };
    const std::vector<Row> rows = {
        {"clip", [this](Crouton* crouton) {
             crouton->isVideo = TRUE;
             crouton->videoLength = 3;
             SetStretch(0, 3, 3);
             SetSource(folder_ / "clip.avi");
             GrabPreviews_Video(crouton, ReadPreviewInputs());
         }},
        {"picture", [&picture](Crouton* crouton) {
             crouton->isVideo = FALSE;
             GrabPreviewImage(crouton, picture + "\n", cTemporaryPreviewFilename[2], 2);
         }},
    };
    FakePlayer player("Exiting... (Quit)\n");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        crouton_->previewFilename[2] = "old.png";
        mui::nnset(gButtons[kEditorImages[2]], MUIA_NBitmap_Normal, std::string("Marked.png"));
        row.grab(crouton_.get());
        EXPECT_EQ(crouton_->previewFilename[2], "NoKeyFrame.png");
        EXPECT_EQ(Picture(kEditorImages[2]), "NoKeyFrame.png");
    }
}

// Ten pictures img01.png to img10.png, of which only those in `good` (1-based)
// are pictures; the others are not images at all, so a still made from one
// of them fails.
void MakeSequence(const TempFolder& folder, std::initializer_list<int> good)
{
    for (int number = 1; number <= 10; ++number) {
        const std::string name = folder / ((number < 10 ? "img0" : "img") + std::to_string(number) + ".png");
        if (std::find(good.begin(), good.end(), number) != good.end())
            MakePicture(name);
        else
            WriteHostFile(name, "not a picture\n");
    }
}

TEST_F(PreviewGrab, ImageSequencePicksEveryOtherImageAndTheLastAtTheEnd)
{
    MakeSequence(folder_, {1, 3, 5, 7, 9});
    crouton_->isVideo = FALSE;
    crouton_->videoName = folder_ / "img#?.png";
    // The stills come from the source the editor shows.
    SetSource(*crouton_->videoName);
    SetSliders({0, 20, 40, 60, 80});
    TraceCapture trace;
    GeneratePreview(crouton_.get());
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        ExpectGrabbedStill(i);
    }
    EXPECT_EQ(ReadHostFile(folder_ / "clip.info"), ReadHostFile(Temporary(1)));
    EXPECT_TRUE(ScreenshotsLeft().empty());
    // The 4:3 pictures keep their shape inside the 16:9 stills.
    EXPECT_THAT(trace.Text(), HasSubstr("Executing mencoder mf://@/T/__CWEncodeList.lst -mf "
                                        "w=640:h=512:type=png:fps=1.000000 -o T:__CWImageVideo.mp4 -zoom -nosound "
                                        "-ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell -vf scale=120:90,expand=160:90,harddup "
                                        "Done.\n"));
    EXPECT_THAT(trace.Text(), HasSubstr("Command: SYS:Utilities/MPlayer -nosound -zoom -vf scale=160:90,screenshot "
                                        "-slave -idle -input file=/T/__MPlayerCommand -vo null >T:__Mplayer.out\n.\n"));
    // The last list named the 9th image three times.
    const std::string ninth = folder_ / "img09.png";
    EXPECT_EQ(ReadHostFile(HostFile("T:__CWEncodeList.lst")), ninth + "\n" + ninth + "\n" + ninth + "\n");
    EXPECT_EQ(ReadHostFile(HostFile("T:__MPlayerCommand")),
              "loadfile \"T:__CWImageVideo.mp4\"\npause\nscreenshot\nplay\nquit\n");

    // Sliders between those pictures, and at the very end, pick the others:
    // no still comes out, and no earlier clip stands in for one.
    for (auto& still : crouton_->previewFilename)
        still = "kept.png";
    SetSliders({100, 10, 30, 50, 70});
    trace.Clear();
    GrabPreviews_Images(crouton_.get(), ReadPreviewInputs());
    for (const auto& still : crouton_->previewFilename)
        EXPECT_EQ(still, "kept.png");
    EXPECT_THAT(trace.Text(), Not(HasSubstr("Found screenshot")));
    const std::string eighth = folder_ / "img08.png";
    EXPECT_EQ(ReadHostFile(HostFile("T:__CWEncodeList.lst")), eighth + "\n" + eighth + "\n" + eighth + "\n");
}

TEST_F(PreviewGrab, ImageCroutonWithoutImagesGetsNoKeyFramesWithoutRunningATool)
{
    crouton_->isVideo = FALSE;
    crouton_->videoName = folder_ / "none#?.png";
    WriteHostFile(Temporary(0), "an earlier still");
    TraceCapture trace;
    GeneratePreview(crouton_.get());
    for (const auto& still : crouton_->previewFilename)
        EXPECT_EQ(still, "NoKeyFrame.png");
    EXPECT_THAT(trace.Text(), HasSubstr("No images found.\n"));
    EXPECT_THAT(trace.Text(), Not(HasSubstr("Executing")));
    EXPECT_THAT(trace.Text(), Not(HasSubstr("Command:")));
    EXPECT_FALSE(std::filesystem::exists(Temporary(0)));
    EXPECT_EQ(Picture(BUTTON_CROUTONEDITOR_IMAGE), "NoImageAvailable.png");
}

TEST_F(PreviewGrab, ImageThatMencoderCannotUseLeavesTheStillAlone)
{
    WriteHostFile(folder_ / "bad.png", "not a picture\n");
    crouton_->previewFilename[2] = "kept.png";
    TraceCapture trace;
    GrabPreviewImage(crouton_.get(), std::string(folder_ / "bad.png") + "\n", cTemporaryPreviewFilename[2], 2);
    EXPECT_EQ(crouton_->previewFilename[2], "kept.png");
    EXPECT_TRUE(trace.Contains("Output file doesn't exist. Aborting.\n") ||
                trace.Contains("Error: encoded video has too small size.\n"))
        << trace.Text();
    EXPECT_THAT(trace.Text(), Not(HasSubstr("Command:")));
    // Out of range still numbers do nothing.
    trace.Clear();
    GrabPreviewImage(crouton_.get(), "x\n", cTemporaryPreviewFilename[0], 5);
    GrabPreviewImage(crouton_.get(), "x\n", cTemporaryPreviewFilename[0], -1);
    EXPECT_EQ(trace.Text(), "");
}

// ---- playing the source ---------------------------------------------------

TEST(PreviewPlay, RunsThePlayerDetachedOnTheSource)
{
    TempFolder folder;
    auto crouton = CreateCrouton();
    TraceCapture trace;
    CroutonEditor_RunMPlayer(crouton.get());
    EXPECT_EQ(trace.Text(), "No source to play.\n");
    crouton->videoName = "";
    trace.Clear();
    CroutonEditor_RunMPlayer(crouton.get());
    EXPECT_EQ(trace.Text(), "No source to play.\n");

    // Files that do not exist, so the players end at once.
    crouton->videoName = folder / "none.avi";
    trace.Clear();
    CroutonEditor_RunMPlayer(crouton.get());
    EXPECT_EQ(trace.Text(), "Command: RUN <NIL: >NIL: MPlayer -gui -playlist " + folder.path() + "/none.avi\n.\n");

    crouton->videoName = folder / "my clip.avi";
    trace.Clear();
    CroutonEditor_RunMPlayer(crouton.get());
    EXPECT_EQ(trace.Text(),
              "Command: RUN <NIL: >NIL: MPlayer -gui -playlist \"" + folder.path() + "/my clip.avi\"\n.\n");
    CroutonEditor_RunMPlayer(nullptr);
}

} // namespace

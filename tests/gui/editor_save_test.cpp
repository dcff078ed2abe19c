// The crouton editor's "_Save" and "_Load" on the real windows: what goes
// back into the record and the crouton file, the stills copied beside it,
// the main window's pictures, and a real probe of a tiny clip.
#include "editor_fixture.h"

#include "gui/editor.h"
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "gui/windows.h"
#include "media/media_test_support.h"
#include "model/tables.h"
#include "os/dos.h"
#include "support/test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include <cstdio>
#include <filesystem>

using media_test::Ffmpeg;
using media_test::ReadHostFile;
using media_test::TempFolder;
using media_test::WriteHostFile;
using media_test::kMainPreviews;
using media_test::kEditorImages;
using media_test::kSliders;
using ::testing::HasSubstr;
using ::testing::Not;
using cwtest::HostFile;

namespace {

std::string Temporary(int i) { return HostFile(cTemporaryPreviewFilename[static_cast<std::size_t>(i)]); }

std::string Picture(const mui::Object* object) { return object->GetString(MUIA_NBitmap_Normal).value_or("<none>"); }
LONG Value(HexButtons slot, Tag tag = MUIA_Numeric_Value) { return gButtons[slot]->GetLong(tag); }
void SetText(HexButtons slot, const std::string& text) { mui::nnset(gButtons[slot], MUIA_String_Contents, text); }
bool EditorOpen() { return gWindows[WINDOW_CROUTONEDITOR]->GetLong(MUIA_Window_Open) != 0; }

class EditorSaveTest : public EditorFixture {
protected:
    EditorSaveTest() : EditorFixture("Trip", "trip.cwcrouton") {}

    // A source that is there: the editor saves no crouton of a file that
    // is not.
    std::string Clip() const
    {
        const std::string clip = folder_ / "clip.avi";
        if (!std::filesystem::exists(clip))
            std::ofstream(clip) << "a clip";
        return clip;
    }
};

TEST_F(EditorSaveTest, VideoCroutonSavedUnchangedKeepsItsStretch)
{
    crouton_->isVideo = TRUE;
    crouton_->start = 5;
    crouton_->length = 20;
    crouton_->videoLength = 60;
    crouton_->videoName = Clip();
    EditCrouton(crouton_);
    EXPECT_EQ(Value(BUTTON_CROUTONEDITOR_START, MUIA_Numeric_Max), 60);
    EXPECT_EQ(Value(BUTTON_CROUTONEDITOR_END, MUIA_Numeric_Max), 60);
    EXPECT_EQ(Value(BUTTON_CROUTONEDITOR_START), 5);
    EXPECT_EQ(Value(BUTTON_CROUTONEDITOR_END), 25);
    ASSERT_TRUE(EditorOpen());

    TraceCapture trace;
    EXPECT_EQ(CroutonEditor_Save(crouton_), TRUE);
    EXPECT_EQ(crouton_->start, 5);
    EXPECT_EQ(crouton_->length, 20);
    EXPECT_FALSE(EditorOpen());
    EXPECT_EQ(ReadHostFile(CroutonFile()), "Trip\n" + Clip() + "\n\n\n\n\n\n5\n20\n60\n0\n0\n1\n0\n20\n40\n60\n80\n0\n0\n1\n"
                                       "0.000000\n0\n\n\n\n30.000000\n");
    for (int i = 1; i <= 5; ++i)
        EXPECT_THAT(trace.Text(), HasSubstr("Deleted T:__MplayerPreview" + std::to_string(i) + ".png.\n"));
    EXPECT_THAT(trace.Text(), HasSubstr("Deleted T:__MplayerPreview5.png.\nSaving Crouton Trip.\n"));

    // The crouton holds its file locked while it is in the project.
    UnlockCrouton(crouton_);
    auto loaded = LoadCrouton(CroutonFile());
    ASSERT_NE(loaded, nullptr) << trace.Text() << " ioerr " << IoErr();
    EXPECT_EQ(loaded->start, 5);
    EXPECT_EQ(loaded->length, 20);
    DestroyCrouton(std::move(loaded));
}

TEST_F(EditorSaveTest, WindowFieldsGoIntoTheRecord)
{
    crouton_->videoName = Clip();
    crouton_->soundtrack = "old.mp3";
    crouton_->videoLength = 60;
    EditCrouton(crouton_);
    SetText(BUTTON_CROUTONEDITOR_TITLE, "Beach at 5%");
    SetText(BUTTON_CROUTONEDITOR_VIDEO_FILENAME, "");
    SetText(BUTTON_CROUTONEDITOR_SOUNDTRACK, "");
    SetText(BUTTON_CROUTONEDITOR_CUSTOMFPS, "12.5 fps");
    mui::nnset(gButtons[BUTTON_CROUTONEDITOR_FPS_CYCLER], MUIA_Cycle_Active, LONG{18});
    mui::nnset(gButtons[BUTTON_CROUTONEDITOR_START], MUIA_Numeric_Value, LONG{30});
    mui::nnset(gButtons[BUTTON_CROUTONEDITOR_END], MUIA_Numeric_Value, LONG{10});
    for (std::size_t i = 0; i < 5; ++i)
        mui::nnset(gButtons[kSliders[i]], MUIA_Numeric_Value, static_cast<LONG>(5 + i * 10));
    mui::nnset(gButtons[BUTTON_CROUTONEDITOR_PREVIEWSELECTER], MUIA_Radio_Active, LONG{3});

    EXPECT_EQ(CroutonEditor_Save(crouton_), TRUE);
    EXPECT_EQ(crouton_->name, "Beach at 5%");
    ASSERT_TRUE(crouton_->videoName.has_value());
    EXPECT_EQ(*crouton_->videoName, "");
    EXPECT_EQ(crouton_->soundtrack, std::nullopt);
    EXPECT_EQ(crouton_->customFPS, 12.5f);
    EXPECT_EQ(crouton_->fps, 18);
    // An end before the start is stored as it stands.
    EXPECT_EQ(crouton_->start, 30);
    EXPECT_EQ(crouton_->length, -20);
    EXPECT_EQ(crouton_->previewPosition, (std::array<LONG, 5>{5, 15, 25, 35, 45}));
    EXPECT_EQ(crouton_->previewFrame, 3);

    EditCrouton(crouton_);
    SetText(BUTTON_CROUTONEDITOR_SOUNDTRACK, "Work:Music/song.mp3");
    SetText(BUTTON_CROUTONEDITOR_CUSTOMFPS, "fast");
    EXPECT_EQ(CroutonEditor_Save(crouton_), TRUE);
    EXPECT_EQ(crouton_->soundtrack, "Work:Music/song.mp3");
    EXPECT_EQ(crouton_->customFPS, 0.0f);
    EXPECT_EQ(CroutonEditor_Save(nullptr), FALSE);
}

TEST_F(EditorSaveTest, StillsAreCopiedBesideTheCroutonFileAndTheTemporariesGo)
{
    const std::string first = folder_ / "trip_preview1.png";
    const std::string third = folder_ / "trip_preview3.png";
    WriteHostFile(first, "OLD1");
    const std::string ownPicture = ReadHostFile("NoKeyFrame.png");
    ASSERT_FALSE(ownPicture.empty());
    crouton_->isVideo = TRUE;
    crouton_->videoLength = 60;
    crouton_->length = 60; // a crouton of no length is never saved
    crouton_->videoName = Clip();
    crouton_->previewFilename[0] = first;
    crouton_->previewFilename[1] = "NoKeyFrame.png";
    crouton_->previewFilename[2] = third;
    crouton_->previewFrame = 2;
    EditCrouton(crouton_);
    EXPECT_EQ(ReadHostFile(Temporary(0)), "OLD1");
    // New stills, as a grab leaves them.
    for (int i = 0; i < 3; ++i)
        WriteHostFile(Temporary(i), "NEW" + std::to_string(i + 1));

    EXPECT_EQ(CroutonEditor_Save(crouton_), TRUE);
    EXPECT_EQ(ReadHostFile(first), "NEW1");
    EXPECT_EQ(ReadHostFile(third), "NEW3");
    // The program's own picture is never overwritten by a still.
    EXPECT_EQ(ReadHostFile("NoKeyFrame.png"), ownPicture);
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(std::filesystem::exists(Temporary(i))) << i;
        EXPECT_EQ(Picture(gButtons[kEditorImages[static_cast<std::size_t>(i)]]), "NoImageAvailable.png");
    }
    EXPECT_EQ(Picture(gButtons[BUTTON_MAIN_PREVIEWIMAGE]), first);
    EXPECT_EQ(Picture(gButtons[BUTTON_MAIN_PREVIEWIMAGE2]), "NoKeyFrame.png");
    EXPECT_EQ(Picture(gButtons[BUTTON_MAIN_PREVIEWIMAGE3]), third);
    EXPECT_EQ(Picture(gButtons[BUTTON_MAIN_PREVIEWIMAGE4]), "<none>");
    EXPECT_EQ(Picture(gButtons[BUTTON_MAIN_PREVIEWIMAGE5]), "<none>");
    EXPECT_EQ(Picture(crouton_->previewImage), third);
}

TEST_F(EditorSaveTest, FailedSaveKeepsTheWindowOpenAndTheNewValues)
{
    crouton_->filename.reset();
    crouton_->videoName = Clip();
    crouton_->videoLength = 60;
    EditCrouton(crouton_);
    SetText(BUTTON_CROUTONEDITOR_TITLE, "Renamed");
    WriteHostFile(Temporary(0), "still");
    TraceCapture trace;
    EXPECT_EQ(CroutonEditor_Save(crouton_), FALSE);
    EXPECT_TRUE(EditorOpen());
    EXPECT_EQ(crouton_->name, "Renamed");
    EXPECT_FALSE(std::filesystem::exists(Temporary(0)));
    EXPECT_THAT(trace.Text(), HasSubstr("Saving Crouton Renamed.\n"));
}

// ---- image croutons: the length follows the pictures and the rate ----------

struct ImageLengthCase {
    int pictures;
    LONG fps;
    const char* customText;
    LONG length;
    bool noRate;
};

class ImageLengthTest : public EditorSaveTest, public ::testing::WithParamInterface<ImageLengthCase> {};

TEST_P(ImageLengthTest, LengthIsPicturesOverRateInWholeSeconds)
{
    const ImageLengthCase& c = GetParam();
    for (int number = 1; number <= c.pictures; ++number) {
        std::string name(16, '\0');
        name.resize(static_cast<std::size_t>(std::snprintf(name.data(), name.size(), "img%02d.png", number)));
        WriteHostFile(folder_ / name, "picture");
    }
    crouton_->isVideo = FALSE;
    crouton_->videoName = folder_ / "img#?.png";
    crouton_->fps = 6;
    EditCrouton(crouton_);
    mui::nnset(gButtons[BUTTON_CROUTONEDITOR_FPS_CYCLER], MUIA_Cycle_Active, c.fps);
    SetText(BUTTON_CROUTONEDITOR_CUSTOMFPS, c.customText);
    TraceCapture trace;
    EXPECT_EQ(CroutonEditor_Save(crouton_), TRUE);
    EXPECT_EQ(crouton_->length, c.length);
    EXPECT_EQ(trace.Contains("Crouton has no frame rate of its own. Length set to 1.\n"), c.noRate);
}

// "_Load" can turn a video crouton into an image crouton while the cycler
// still shows "Source (Video only)": the pictures get the rate a newly
// probed picture gets, so that the crouton can be rendered.
TEST_F(EditorSaveTest, PicturesLeftOnTheSourceRateGetThePictureRate)
{
    for (const char* name : {"a1.png", "a2.png", "a3.png"})
        WriteHostFile(folder_ / name, "picture");
    crouton_->isVideo = TRUE;
    crouton_->fps = 0;
    EditCrouton(crouton_);
    crouton_->isVideo = FALSE; // as the probe of a picture leaves it
    SetText(BUTTON_CROUTONEDITOR_VIDEO_FILENAME, folder_ / "a#?.png");
    TraceCapture trace;
    EXPECT_EQ(CroutonEditor_Save(crouton_), TRUE);
    EXPECT_EQ(crouton_->fps, cImageCroutonFPSID);
    EXPECT_EQ(crouton_->length, 4); // 3 pictures at 0.66667 a second
    EXPECT_TRUE(trace.Contains("Pictures can't keep a source's rate; using 1.5 Seconds/Frame.\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Rates, ImageLengthTest,
    ::testing::Values(ImageLengthCase{10, 7, "30.0", 5, false},  // "2 Frames/Second"
                      ImageLengthCase{3, 7, "30.0", 1, false},   // 1.5 seconds
                      ImageLengthCase{10, 1, "30.0", 49, false}, // "5 Seconds/Frame": 0.2 as a float
                      ImageLengthCase{1, 6, "30.0", 1, false},   // "1 Frame/Second"
                      ImageLengthCase{0, 6, "30.0", 1, false},   // no pictures at all
                      ImageLengthCase{10, 0, "30.0", 14, false}, // "Source (Video only)": 1.5 s each
                      ImageLengthCase{10, 18, "4", 2, false},    // custom 4 per second
                      ImageLengthCase{10, 18, "-3", 1, true},    // a custom rate below 0
                      ImageLengthCase{10, 18, "0.0001", 100000, false}));

// ---- "_Load" --------------------------------------------------------------

TEST_F(EditorSaveTest, CancelAfterLoadKeepsTheProbedValues)
{
    const std::string clip = folder_ / "beach.avi";
    ASSERT_EQ(Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=3", "-c:v", "mpeg4", "-an", clip}), 0);
    crouton_->isVideo = TRUE;
    crouton_->videoName = "old.avi";
    crouton_->videoLength = 50;
    crouton_->start = 2;
    crouton_->length = 10;
    EditCrouton(crouton_);
    SetText(BUTTON_CROUTONEDITOR_VIDEO_FILENAME, clip);

    TraceCapture trace;
    EXPECT_EQ(CroutonEditor_LoadVideo(crouton_), TRUE);
    EXPECT_EQ(trace.Text().rfind("Loading video " + clip + ".\nfilename is " + clip + ".\n", 0), 0u) << trace.Text();
    EXPECT_EQ(crouton_->videoLength, 3);
    EXPECT_EQ(crouton_->width, 160);
    EXPECT_EQ(crouton_->height, 120);
    EXPECT_EQ(Value(BUTTON_CROUTONEDITOR_END, MUIA_Numeric_Max), 3);
    EXPECT_EQ(Value(BUTTON_CROUTONEDITOR_END), 3);
    // The source name itself waits for "_Save".
    EXPECT_EQ(crouton_->videoName, "old.avi");

    CroutonEditor_Cancel();
    EXPECT_FALSE(EditorOpen());
    EXPECT_EQ(crouton_->isVideo, TRUE);
    EXPECT_EQ(crouton_->videoLength, 3);
    EXPECT_EQ(crouton_->width, 160);
    EXPECT_EQ(crouton_->start, 2);
    EXPECT_EQ(crouton_->length, 10);
    EXPECT_EQ(crouton_->videoName, "old.avi");
}

TEST_F(EditorSaveTest, LoadingAPatternMakesAnImageCroutonWithoutATool)
{
    crouton_->isVideo = TRUE;
    crouton_->videoLength = 50;
    EditCrouton(crouton_);
    SetText(BUTTON_CROUTONEDITOR_VIDEO_FILENAME, "Work:Frames/shot#?.png");
    TraceCapture trace;
    EXPECT_EQ(CroutonEditor_LoadVideo(crouton_), TRUE);
    EXPECT_EQ(crouton_->isVideo, FALSE);
    EXPECT_EQ(crouton_->length, 1);
    EXPECT_EQ(crouton_->fps, 5);
    EXPECT_EQ(crouton_->videoLength, 50);
    EXPECT_THAT(trace.Text(), Not(HasSubstr("Executing")));
    EXPECT_EQ(CroutonEditor_LoadVideo(nullptr), FALSE);
}

} // namespace

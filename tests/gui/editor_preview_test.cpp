// "_Generate Preview" from the crouton editor, where Clipweaver and
// ClipweaverBasic differ: the crouton's picture in the visual list, and
// where an image crouton's stills are taken.
#include "editor_fixture.h"

#include "gui/editor.h"
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "gui/windows.h"
#include "media/media_test_support.h"
#include "media/preview.h"
#include "model/tables.h"
#include "os/dos.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using media_test::MakePicture;
using media_test::TempFolder;
using media_test::WriteHostFile;
using media_test::kSliders;
using ::testing::HasSubstr;

namespace {

std::string Picture(const mui::Object* object) { return object->GetString(MUIA_NBitmap_Normal).value_or("<none>"); }

class EditorPreviewTest : public EditorFixture {
protected:
    EditorPreviewTest() : EditorFixture("Walk", "walk.cwcrouton") {}
};

TEST_F(EditorPreviewTest, CroutonPictureAfterGrabbing)
{
    crouton_->isVideo = TRUE;
    crouton_->videoLength = 60;
    crouton_->videoName = folder_ / "missing.avi";
    crouton_->previewFrame = 2;
    EditCrouton(crouton_);
    TraceCapture trace;
    GeneratePreview(crouton_);
    EXPECT_EQ(crouton_->previewFilename[2], "NoKeyFrame.png");
#ifdef CLIPWEAVER_BASIC
    // The visual list shows the chosen still at once.
    EXPECT_EQ(Picture(crouton_->previewImage), "NoKeyFrame.png");
#else
    // The visual list's entry is redrawn; the picture waits for the save.
    EXPECT_EQ(Picture(crouton_->previewImage), "Loading.png");
#endif
}

TEST_F(EditorPreviewTest, ImageStillsComeFromTheStoredPositionsOnlyInBasic)
{
    // Pictures at the even places of the sequence; the others are not
    // pictures, so a still taken from one of them fails.
    for (int number = 1; number <= 10; ++number) {
        const std::string name = folder_ / ((number < 10 ? "img0" : "img") + std::to_string(number) + ".png");
        if (number % 2 == 0)
            MakePicture(name);
        else
            WriteHostFile(name, "not a picture\n");
    }
    crouton_->isVideo = FALSE;
    crouton_->videoName = folder_ / "img#?.png";
    crouton_->previewPosition = {10, 30, 50, 70, 90};
    EditCrouton(crouton_);
    for (HexButtons slot : kSliders)
        mui::nnset(gButtons[slot], MUIA_Numeric_Value, LONG{0});

    TraceCapture trace;
    GeneratePreview(crouton_);
    for (int i = 0; i < 5; ++i) {
        const auto& still = crouton_->previewFilename[static_cast<std::size_t>(i)];
#ifdef CLIPWEAVER_BASIC
        EXPECT_EQ(still, folder_ / ("walk_preview" + std::to_string(i + 1) + ".png"));
#else
        // The sliders, all at 0, pick the first file, which is no picture.
        EXPECT_EQ(still, std::nullopt);
#endif
    }
#ifdef CLIPWEAVER_BASIC
    EXPECT_EQ(Picture(crouton_->previewImage), "NoImageAvailable.png"); // not saved yet
    EXPECT_TRUE(std::filesystem::exists(folder_ / "walk.info"));
#else
    EXPECT_FALSE(std::filesystem::exists(folder_ / "walk.info"));
#endif
}

} // namespace

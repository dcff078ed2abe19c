// Keeping the main window and the model in step, on the real windows.
#include "project_helper.h"

#include "gui/gui.h"
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "gui/windows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;

namespace {

class SyncTest : public AppFixture {
protected:
    static std::string Label(HexButtons slot) { return gButtons[slot]->GetString(MUIA_Text_Contents).value_or(""); }
    static std::string Field(HexButtons slot) { return gButtons[slot]->GetString(MUIA_String_Contents).value_or(""); }
    static std::string Picture(mui::Object* o) { return o->GetString(MUIA_NBitmap_Normal).value_or("<none>"); }
};

TEST_F(SyncTest, PreviewOfAVideoCrouton)
{
    Crouton* c = AppendTestCrouton(gProject.get(), "clip");
    c->width = 640;
    c->height = 480;
    c->ratio = 1.3333f;
    c->videoBitrate = 800000;
    c->audioBitrate = 128000;
    c->length = 12;
    c->customFPS = 25.0f;
    c->videoCodec = "mpeg4";
    c->previewFilename[0] = "NoKeyFrame.png";
    c->previewFilename[1] = "BlankSpacer.png";
    c->previewFilename[2] = "Missing.png";
    mui::set(gCroutonList, MUIA_NList_Active, LONG{0});
    UpdateGUIPreview();
    EXPECT_EQ(Label(BUTTON_MAIN_LENGTH), "12 Seconds");
    EXPECT_EQ(Label(BUTTON_MAIN_CROUTON_WIDTH), "640");
    EXPECT_EQ(Label(BUTTON_MAIN_CROUTON_HEIGHT), "480");
    EXPECT_EQ(Label(BUTTON_MAIN_CROUTON_VIDEOBITRATE), "800000 bps");
    EXPECT_EQ(Label(BUTTON_MAIN_CROUTON_AUDIOBITRATE), "128000 bps");
    EXPECT_EQ(Label(BUTTON_MAIN_CROUTON_RATIO), "1.33:1");
    EXPECT_EQ(Label(BUTTON_MAIN_CROUTON_FPS), "25.00 fps");
    EXPECT_EQ(Label(BUTTON_MAIN_CROUTON_VIDEOCODEC), "mpeg4");
    EXPECT_EQ(Label(BUTTON_MAIN_CROUTON_AUDIOCODEC), "none");
    EXPECT_EQ(Picture(gButtons[BUTTON_MAIN_PREVIEWIMAGE]), "NoKeyFrame.png");
    EXPECT_EQ(Picture(gButtons[BUTTON_MAIN_PREVIEWIMAGE2]), "BlankSpacer.png");
    EXPECT_EQ(Picture(gButtons[BUTTON_MAIN_PREVIEWIMAGE3]), "NoImageAvailable.png");
    EXPECT_EQ(Picture(gButtons[BUTTON_MAIN_PREVIEWIMAGE5]), "NoImageAvailable.png");
}

TEST_F(SyncTest, PreviewOfAnImageCroutonShowsItsChosenRate)
{
    Crouton* c = AppendTestCrouton(gProject.get(), "stills");
    c->isVideo = FALSE;
    c->length = 7;
    c->fps = 7; // 2 Frames/Second
    c->audioCodec = "mp3";
    mui::set(gCroutonList, MUIA_NList_Active, LONG{0});
    UpdateGUIPreview();
    EXPECT_EQ(Label(BUTTON_MAIN_LENGTH), "7 Seconds");
    for (HexButtons slot : {BUTTON_MAIN_CROUTON_WIDTH, BUTTON_MAIN_CROUTON_HEIGHT, BUTTON_MAIN_CROUTON_VIDEOBITRATE,
                            BUTTON_MAIN_CROUTON_AUDIOBITRATE, BUTTON_MAIN_CROUTON_RATIO})
        EXPECT_EQ(Label(slot), "n/a");
    EXPECT_EQ(Label(BUTTON_MAIN_CROUTON_FPS), "2.00 fps");
    EXPECT_EQ(Label(BUTTON_MAIN_CROUTON_VIDEOCODEC), "none");
    EXPECT_EQ(Label(BUTTON_MAIN_CROUTON_AUDIOCODEC), "mp3");
    c->fps = 18;
    c->customFPS = 12.5f;
    UpdateGUIPreview();
    EXPECT_EQ(Label(BUTTON_MAIN_CROUTON_FPS), "12.50 fps");
}

TEST_F(SyncTest, PreviewWithoutAnActiveEntryChangesNothing)
{
    AppendTestCrouton(gProject.get(), "clip");
    const std::string before = Label(BUTTON_MAIN_LENGTH);
    UpdateGUIPreview();
    EXPECT_EQ(Label(BUTTON_MAIN_LENGTH), before);
}

TEST_F(SyncTest, SetButtonImageFallsBackAndClears)
{
    mui::Object* image = gButtons[BUTTON_MAIN_PREVIEWIMAGE];
    SetButtonImage(image, std::string_view("NoSuchPicture.png"));
    EXPECT_EQ(Picture(image), "NoImageAvailable.png");
    SetButtonImage(image, std::string_view("NoKeyFrame.png"));
    EXPECT_EQ(Picture(image), "NoKeyFrame.png");
    SetButtonImage(image, std::nullopt);
    EXPECT_EQ(Picture(image), "<none>");
}

TEST_F(SyncTest, ProjectFieldsBothWays)
{
    gProject->projectName = "50% off";
    gProject->width = 1024;
    UpdateGUI(gProject.get());
    EXPECT_EQ(Field(BUTTON_MAIN_PROJECTNAME), "50% off");
    EXPECT_EQ(Field(BUTTON_MAIN_OUTPUTFILENAME), "RAM:GreatVideo.mp4");
    EXPECT_EQ(Field(BUTTON_MAIN_WIDTH), "1024");
    EXPECT_EQ(Field(BUTTON_MAIN_HEIGHT), "240");

    struct Case {
        const char* text;
        LONG value;
    };
    for (const Case& c : {Case{"abc", 0}, Case{" 640", 640}, Case{"-12x", -12}, Case{"+7", 7}, Case{"", 0},
                          Case{"99999999999", 2147483647}}) {
        mui::set(gButtons[BUTTON_MAIN_WIDTH], MUIA_String_Contents, std::string(c.text));
        mui::set(gButtons[BUTTON_MAIN_PROJECTNAME], MUIA_String_Contents, std::string("%s %d"));
        UpdateProjectFromGUI(gProject.get());
        EXPECT_EQ(gProject->width, c.value) << c.text;
        EXPECT_EQ(gProject->projectName, "%s %d");
    }
}

TEST_F(SyncTest, ListRewriteLeavesTheLastEntryActive)
{
    for (const char* name : {"A", "B", "C"})
        AppendTestCrouton(gProject.get(), name);
    GetCroutonFromPosition(gProject.get(), 1)->name = "Renamed";
    Crouton* c = GetCroutonFromPosition(gProject.get(), 2);
    c->previewFrame = 0;
    c->previewFilename[0] = "NoKeyFrame.png";
    TraceCapture trace;
    UpdateGUIList(gProject.get());
    EXPECT_EQ(Entries(gCroutonList), (std::vector<std::string>{"A", "Renamed", "C"}));
    EXPECT_EQ(Active(gCroutonList), 2);
    EXPECT_EQ(Picture(c->previewImage), "NoKeyFrame.png");
    EXPECT_THAT(trace.Text(), HasSubstr("Setting Crouton entry to C.\nSetting preview image for 2 to NoKeyFrame.png.\n"));
    trace.Clear();
    UpdateGUIListEntry(gProject.get(), 3);
    UpdateGUIListEntry(gProject.get(), -1);
    EXPECT_EQ(trace.Text(), "");
}

TEST_F(SyncTest, CycleGadgetsEnableTheirCustomFields)
{
    mui::set(gButtons[BUTTON_MAIN_FORMAT_CYCLER], MUIA_Cycle_Active, LONG{19});
    ChangeFormatCycler();
    EXPECT_EQ(gButtons[BUTTON_MAIN_WIDTH]->GetLong(MUIA_Disabled), 0);
    EXPECT_EQ(gButtons[BUTTON_MAIN_HEIGHT]->GetLong(MUIA_Disabled), 0);
    EXPECT_EQ(gButtons[BUTTON_MAIN_BAUDRATE_CYCLER]->GetLong(MUIA_Cycle_Active), 6);
    mui::set(gButtons[BUTTON_MAIN_FORMAT_CYCLER], MUIA_Cycle_Active, LONG{17});
    ChangeFormatCycler();
    EXPECT_NE(gButtons[BUTTON_MAIN_WIDTH]->GetLong(MUIA_Disabled), 0);
    EXPECT_NE(gButtons[BUTTON_MAIN_HEIGHT]->GetLong(MUIA_Disabled), 0);
    EXPECT_EQ(gButtons[BUTTON_MAIN_BAUDRATE_CYCLER]->GetLong(MUIA_Cycle_Active), 13);

    for (LONG entry = 0; entry < 4; ++entry) {
        mui::set(gButtons[BUTTON_MAIN_FPS_CYCLER], MUIA_Cycle_Active, entry);
        ChangeFPSCycler();
        EXPECT_EQ(gButtons[BUTTON_MAIN_CUSTOMFPS]->GetLong(MUIA_Disabled) == 0, entry == 3) << entry;
    }
}

TEST_F(SyncTest, UpdateCroutonFromGUIOnlyTraces)
{
    Crouton* c = AppendTestCrouton(gProject.get(), "clip");
    TraceCapture trace;
    UpdateCroutonFromGUI(c);
    EXPECT_EQ(trace.Text(), "UpdateCroutonFromGUI: Not implemented yet.\n");
    EXPECT_EQ(*c->name, "clip");
}

} // namespace

// A crouton's look in the editor: the gadgets a user or a script moves reach
// the crouton file on "_Save"; a field that holds no number saves nothing.
#include "editor_fixture.h"

#include "gui/editor.h"
#include "gui/look_gadgets.h"
#include "gui/loop.h"
#include "gui/vocabulary.h"
#include "support/test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

using ::testing::HasSubstr;
using cwtest::ReadHostFile;

namespace {

class LookEditorTest : public EditorFixture {
protected:
    LookEditorTest() : EditorFixture("Trip", "trip.cwcrouton") {}
    void SetUp() override
    {
        EditorFixture::SetUp();
        InstallLookNotifications(app_.get());
    }
};

// Each action's return IDs are handled before the next, as the loop does.
bool Handled(bool accepted)
{
    LoopState loop;
    std::deque<LONG>& ids = mui::CurrentApplication()->returnIds();
    while (!ids.empty()) {
        const LONG id = ids.front();
        ids.pop_front();
        if (const ReturnIdHandler handle = FindReturnIdHandler(id))
            handle(loop, id);
    }
    return accepted;
}
bool Type(HexButtons slot, const char* text) { return Handled(mui::UserType(gButtons[slot], text)); }
bool Cycle(HexButtons slot, LONG entry) { return Handled(mui::UserCycle(gButtons[slot], entry)); }
bool Slide(HexButtons slot, LONG value) { return Handled(mui::UserSlide(gButtons[slot], value)); }

TEST_F(LookEditorTest, GadgetsReachTheFileOnSave)
{
    const struct {
        const char* what;
        bool isVideo;
        std::function<bool()> act; // the user's actions; false when one is refused
        const char* lines;         // in the saved file; none when nothing is saved
    } rows[] = {
        {"fades and volume", true,
         [] { return Type(BUTTON_CROUTONEDITOR_FADEIN, "1.5") && Slide(BUTTON_CROUTONEDITOR_VOLUME, 150); },
         "FadeIn=1.5\nVolume=150\n"},
        {"a title of its own", true,
         [] {
             return Cycle(BUTTON_CROUTONEDITOR_TITLE_SHOWN, 1) && Type(BUTTON_CROUTONEDITOR_TITLE_TEXT, "Ann: 50% \"off\"")
                    && Cycle(BUTTON_CROUTONEDITOR_TITLE_PLACE, 0) && Type(BUTTON_CROUTONEDITOR_TITLE_COLOUR, "#FF0000");
         },
         "TitleShown=yes\nTitle=Ann: 50% \"off\"\nTitlePlace=top\nTitleColour=#ff0000\n"},
        // The title's gadgets wait for the title to be shown.
        {"a title not shown", true, [] { return !Type(BUTTON_CROUTONEDITOR_TITLE_TEXT, "x"); }, "30.000000\n"},
        {"pan and zoom over pictures", false,
         [] { return Cycle(BUTTON_CROUTONEDITOR_PANZOOM, 1) && Slide(BUTTON_CROUTONEDITOR_PANZOOM_END_ZOOM, 200); },
         "PanZoom=yes\nPanZoomEnd=2 0.5 0.5\n"},
        {"no pan and zoom over video", true, [] { return !Cycle(BUTTON_CROUTONEDITOR_PANZOOM, 1); }, "30.000000\n"},
        {"a fade that is no number", true, [] { return Type(BUTTON_CROUTONEDITOR_FADEOUT, "soon"); }, nullptr},
        {"a colour that is none", true,
         [] { return Cycle(BUTTON_CROUTONEDITOR_TITLE_SHOWN, 1) && Type(BUTTON_CROUTONEDITOR_TITLE_COLOUR, "red"); },
         nullptr},
    };
    const std::string clip = folder_ / "clip.avi";
    std::ofstream(clip) << "a clip";
    const std::string pictures = folder_ / "p1.png";
    std::filesystem::copy_file("NoImageAvailable.png", pictures, std::filesystem::copy_options::overwrite_existing);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove(CroutonFile());
        crouton_->look = {};
        crouton_->isVideo = row.isVideo ? TRUE : FALSE;
        crouton_->videoName = row.isVideo ? clip : pictures;
        crouton_->length = 4;
        crouton_->videoLength = 60;
        gEditingCrouton = crouton_;
        EditCrouton(crouton_);
        EXPECT_TRUE(row.act());
        EXPECT_EQ(CroutonEditor_Save(crouton_), row.lines ? TRUE : FALSE);
        if (row.lines)
            EXPECT_THAT(ReadHostFile(CroutonFile()), testing::EndsWith(row.lines));
        else
            EXPECT_FALSE(std::filesystem::exists(CroutonFile()));
        CroutonEditor_Cancel();
        UnlockCrouton(crouton_);
        gEditingCrouton = nullptr;
    }
}

} // namespace

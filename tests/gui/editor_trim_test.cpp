// The crouton editor's trims to the frame: the one setter, the sliders and
// the typed times beside them, and what "_Save" keeps.
#include "editor_fixture.h"

#include "gui/editor.h"
#include "gui/vocabulary.h"
#include "model/crouton_time.h"
#include "os/question.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

std::string Text(HexButtons slot) { return gButtons[slot]->GetString(MUIA_String_Contents).value_or(""); }
LONG Value(HexButtons slot) { return gButtons[slot]->GetLong(MUIA_Numeric_Value); }

class EditorTrimTest : public EditorFixture {
protected:
    EditorTrimTest() : EditorFixture("Trip", "trip.cwcrouton") {}

    void Open(double start, double length)
    {
        const std::string clip = folder_ / "clip.avi";
        std::ofstream(clip) << "a clip";
        crouton_->videoName = clip;
        crouton_->isVideo = TRUE;
        crouton_->customFPS = 25.0f;
        crouton_->videoLength = 10.04;
        crouton_->start = start;
        crouton_->length = length;
        EditCrouton(crouton_);
    }
};

TEST_F(EditorTrimTest, TheSetterClampsSnapsAndShows)
{
    Open(2, 4);
    std::vector<std::pair<double, double>> told;
    CroutonEditor_SetTrimListener([&told](double start, double end) { told.emplace_back(start, end); });
    const struct {
        bool isEnd;
        double asked;
        bool changed;
        double start, end;
        const char* shown;
    } rows[] = {
        {false, 3.018, true, 3.0, 6.0, "0:03.000"},   // snapped to the frame
        {false, 3.0, false, 3.0, 6.0, "0:03.000"},    // unchanged: nobody is told
        {true, 7.21, true, 3.0, 7.2, "0:07.200"},
        {true, 99.0, true, 3.0, 10.04, "0:10.040"},   // held at the source's end
        {false, 12.0, true, 10.0, 10.04, "0:10.000"}, // held a frame before the end
        {false, -5.0, true, 0.0, 10.04, "0:00.000"},
    };
    for (const auto& row : rows) {
        const std::size_t before = told.size();
        EXPECT_EQ(CroutonEditor_SetTrimSeconds(row.isEnd, row.asked), row.changed) << row.asked;
        EXPECT_NEAR(CroutonEditor_Trim().first, row.start, 1e-9) << row.asked;
        EXPECT_NEAR(CroutonEditor_Trim().second, row.end, 1e-9) << row.asked;
        EXPECT_EQ(Text(row.isEnd ? BUTTON_CROUTONEDITOR_ENDTIME : BUTTON_CROUTONEDITOR_STARTTIME), row.shown);
        EXPECT_EQ(Value(row.isEnd ? BUTTON_CROUTONEDITOR_END : BUTTON_CROUTONEDITOR_START),
                  NearestSecond(row.isEnd ? row.end : row.start));
        EXPECT_EQ(told.size(), before + (row.changed ? 1 : 0)) << row.asked;
    }
    CroutonEditor_SetTrimListener(nullptr);
}

TEST_F(EditorTrimTest, TypedTimesAndSlidersGoThroughTheSetter)
{
    Open(0, 10.04);
    EXPECT_EQ(Text(BUTTON_CROUTONEDITOR_ENDTIME), "0:10.040");
    mui::set(gButtons[BUTTON_CROUTONEDITOR_STARTTIME], MUIA_String_Contents, std::string("0:03"));
    ChangeStart(crouton_);
    mui::set(gButtons[BUTTON_CROUTONEDITOR_ENDTIME], MUIA_String_Contents, std::string("7.2"));
    ChangeEnd(crouton_);
    // The field keeps what the user typed; the slider follows.
    EXPECT_EQ(Text(BUTTON_CROUTONEDITOR_ENDTIME), "7.2");
    EXPECT_EQ(Value(BUTTON_CROUTONEDITOR_END), 7);
    ASSERT_EQ(CroutonEditor_Save(crouton_), TRUE);
    EXPECT_DOUBLE_EQ(crouton_->start, 3.0);
    EXPECT_NEAR(crouton_->length, 4.2, 1e-9);

    // A slider moved by the user lands on its whole second.
    Open(3.0, 4.2);
    mui::set(gButtons[BUTTON_CROUTONEDITOR_START], MUIA_Numeric_Value, LONG{5});
    ChangeStart(crouton_);
    EXPECT_EQ(Text(BUTTON_CROUTONEDITOR_STARTTIME), "0:05.000");
    EXPECT_DOUBLE_EQ(CroutonEditor_Trim().first, 5.0);
}

TEST_F(EditorTrimTest, StillsAreTakenWithinTheStretchToTheFrame)
{
    Open(3.04, 4.16);
    const PreviewInputs inputs = CroutonEditor_PreviewInputs();
    EXPECT_DOUBLE_EQ(inputs.start, 3.04);
    EXPECT_DOUBLE_EQ(inputs.end, 7.2);
}

TEST_F(EditorTrimTest, ATimeThatIsNoTimeKeepsTheCroutonUnsaved)
{
    Open(1, 2);
    ClearToldLog();
    mui::nnset(gButtons[BUTTON_CROUTONEDITOR_ENDTIME], MUIA_String_Contents, std::string("1:75"));
    EXPECT_EQ(CroutonEditor_Save(crouton_), FALSE);
    ASSERT_EQ(ToldLog().size(), 1u);
    EXPECT_NE(ToldLog()[0].text.find("\"1:75\" is not a time"), std::string::npos) << ToldLog()[0].text;
    EXPECT_DOUBLE_EQ(crouton_->length, 2.0);
}

} // namespace

// The project's look as users and scripts reach it: the script actions and
// their bad input, the main window's gadgets, joins that follow their
// croutons, and Undo of each.
#include "project_helper.h"

#include "gui/look_gadgets.h"
#include "gui/main.h"
#include "gui/script.h"
#include "gui/vocabulary.h"
#include "model/crouton_time.h"
#include "support/test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

using ::testing::HasSubstr;

namespace {

const char* const kPictures = "Pictures\n__no file__\n0\n4\n0\n0\n0\n1\n0\n20\n40\n60\n80\n0\n0\n0\n"
                              "0.000000\n18\n\n\n\n12.500000\n";

struct ScriptResult {
    std::string out;
    std::string errors;
};

// Runs the script after adding two picture croutons from files of its own
// ("DIR" in the script stands for their folder).
ScriptResult RunWithTwoCroutons(std::string script, std::string* projectFile = nullptr)
{
    cwtest::TempFolder dir;
    for (std::size_t at; (at = script.find("DIR")) != std::string::npos;)
        script.replace(at, 3, dir.path());
    std::string adding;
    for (const char* name : {"a.cwcrouton", "b.cwcrouton"}) {
        cwtest::WriteHostFile(dir.path() + "/" + name, kPictures);
        adding += "requester \"" + dir.path() + "\" \"" + name + "\"\npress BUTTON_MAIN_ADDCROUTON\n";
    }
    std::istringstream in(adding + script);
    std::ostringstream out;
    std::ostringstream errors;
    EXPECT_EQ(RunScript(in, out, errors), 0);
    if (projectFile)
        *projectFile = cwtest::ReadHostFile(dir.path() + "/p.cwproj");
    return {out.str(), errors.str()};
}

TEST(LookScript, ActionsSetTheLookAndUndoTakesEachBack)
{
    const ScriptResult result = RunWithTwoCroutons("transition 0 wipeleft 0.5\nfade in 1.5\nfade out 2\n"
                                                   "cliplevel 30\ndump\nundo\nundo\ndump\n");
    EXPECT_EQ(result.errors, "");
    EXPECT_THAT(result.out, HasSubstr("render none \"\"\nlook transition=cut:1 fadein=1.5 fadeout=2 cliplevel=30 "
                                      "ducking=0 fitsoundtrack=0 join0=wipeleft:0.5\nend\n"));
    EXPECT_THAT(result.out,
                HasSubstr("look transition=cut:1 fadein=1.5 fadeout=0 cliplevel=0 ducking=0 fitsoundtrack=0 "
                          "join0=wipeleft:0.5\nend\n"));
}

// The look is saved after the paths an older reader reads, and loaded back.
TEST(LookScript, TheProjectFileKeepsTheLook)
{
    std::string file;
    const ScriptResult result = RunWithTwoCroutons("transition 0 dissolve 2\ncycle BUTTON_MAIN_FITSOUNDTRACK 1\n"
                                                   "requester \"DIR\" \"p.cwproj\"\npress BUTTON_MAIN_SAVE\n"
                                                   "press BUTTON_MAIN_NEW\nrequester \"DIR\" \"p.cwproj\"\n"
                                                   "press BUTTON_MAIN_LOAD\ndump\n",
                                                   &file);
    EXPECT_EQ(result.errors, "");
    EXPECT_THAT(file, testing::EndsWith("/b.cwcrouton\nJoin=0 dissolve 2\nFitSoundtrack=yes\n"));
    EXPECT_THAT(result.out, HasSubstr("fitsoundtrack=1 join0=dissolve:2\nend\n"));
}

TEST(LookScript, BadInputIsToldAndChangesNothing)
{
    const struct {
        const char* line;
        const char* complaint;
    } rows[] = {
        {"transition 1 dissolve 1", "no join follows position 1: the project has 2 croutons"},
        {"transition -1 dissolve 1", "no join follows position -1"},
        {"transition 0 swirl 1", "unknown transition \"swirl\" (one of cut, dissolve, fadeblack"},
        {"transition 0 dissolve 0.1", "transition takes seconds from 0.2 to 3, not \"0.1\""},
        {"transition 0 dissolve soon", "not \"soon\""},
        {"fade sideways 1", "fade takes in or out"},
        {"fade in 11", "fade takes seconds from 0 to 10"},
        {"cliplevel 101", "cliplevel takes a percentage from 0 to 100"},
        {"cliplevel", "cliplevel takes 1 argument"},
    };
    for (const auto& row : rows) {
        const ScriptResult result = RunWithTwoCroutons(std::string(row.line) + "\ndump\n");
        EXPECT_THAT(result.errors, HasSubstr(row.complaint)) << row.line;
        EXPECT_THAT(result.out, HasSubstr("render none \"\"\nend\n")) << row.line; // a plain look has no line
    }
}

MainStep Steps(std::function<void()> action) { return Act(std::move(action)); }

std::vector<std::string> JoinKinds()
{
    std::vector<std::string> kinds;
    for (const auto& join : gProject->look.joins)
        kinds.push_back(join ? join->kind : "");
    return kinds;
}

// P, Q and R with P-dissolve-Q-wipeleft-R; each row's steps follow, then
// the joins and the gadgets are looked at.
TEST(LookWindow, JoinsFollowTheirCroutonsAndUndoBringsThemBack)
{
    auto undo = [] { return Act([] { mui::Application_ReturnID(App(), cUndoReturnID); }); };
    auto click = [](LONG entry) { return Act([entry] { ASSERT_TRUE(mui::UserClick(gCroutonList, entry)); }); };
    auto press = [](HexButtons slot) { return Act([slot] { ASSERT_TRUE(mui::UserPress(gButtons[slot])); }); };
    auto cycle = [](HexButtons slot, LONG entry) {
        return Act([slot, entry] { ASSERT_TRUE(mui::UserCycle(gButtons[slot], entry)); });
    };
    auto type = [](HexButtons slot, const char* text) {
        return Act([slot, text] { ASSERT_TRUE(mui::UserType(gButtons[slot], text)); });
    };
    const struct {
        const char* what;
        std::vector<MainStep> steps;
        std::vector<std::string> joins;
        double fadeIn;
    } rows[] = {
        {"delete Q", {click(1), press(BUTTON_MAIN_DELETECROUTON)}, {"dissolve"}, 0},
        {"delete Q undone", {click(1), press(BUTTON_MAIN_DELETECROUTON), undo()}, {"dissolve", "wipeleft"}, 0},
        {"P down", {click(0), press(BUTTON_MAIN_DOWN)}, {"wipeleft", "dissolve"}, 0},
        {"P down undone", {click(0), press(BUTTON_MAIN_DOWN), undo()}, {"dissolve", "wipeleft"}, 0},
        {"Q's own join back to the project's", {click(1), cycle(BUTTON_MAIN_JOIN_CYCLER, 0)}, {"dissolve"}, 0},
        {"and undone", {click(1), cycle(BUTTON_MAIN_JOIN_CYCLER, 0), undo()}, {"dissolve", "wipeleft"}, 0},
        {"a fade typed", {type(BUTTON_MAIN_FADEIN, "2.5")}, {"dissolve", "wipeleft"}, 2.5},
        {"a fade that is no number", {type(BUTTON_MAIN_FADEIN, "2.5"), type(BUTTON_MAIN_FADEIN, "soon")},
         {"dissolve", "wipeleft"}, 2.5},
        {"two fades, one undone", {type(BUTTON_MAIN_FADEIN, "2.5"), type(BUTTON_MAIN_FADEIN, "4"), undo()},
         {"dissolve", "wipeleft"}, 2.5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<MainStep> steps{Steps([] {
            for (const char* name : {"P", "Q", "R"})
                AppendTestCrouton(gProject.get(), name)->length = 5;
            GetCroutonFromPosition(gProject.get(), 1)->look.volume = 150;
            ProjectLook look;
            look.joins = {Transition{"dissolve", 1}, Transition{"wipeleft", 0.5}};
            SetProjectLook(*gProject, look);
        })};
        steps.insert(steps.end(), row.steps.begin(), row.steps.end());
        steps.push_back(Act([&] {
            EXPECT_EQ(JoinKinds(), row.joins);
            // Q's own look comes back with it.
            for (LONG i = 0; i < gProject->numberOfCroutons; ++i) {
                if (const Crouton* crouton = GetCroutonFromPosition(gProject.get(), i); crouton->name == "Q") {
                    EXPECT_EQ(crouton->look.volume, 150);
                }
            }
            EXPECT_EQ(gProject->look.fadeIn, row.fadeIn);
            EXPECT_EQ(gButtons[BUTTON_MAIN_FADEIN]->GetString(MUIA_String_Contents), LengthText(row.fadeIn));
        }));
        RunMainWithSteps(steps);
    }
}

} // namespace

// The look in crouton and project files: round trips, older readers' lines,
// damaged values; joins that follow their croutons; the total with overlaps.
#include "model/crouton.h"
#include "model/crouton_time.h"
#include "model/look_edit.h"
#include "model/look_file.h"
#include "model/project.h"
#include "model_test_util.h"

#include <gtest/gtest.h>

#include <functional>

using modeltest::ReadHostFile;
using modeltest::TempDir;
using modeltest::WriteHostFile;

namespace {

TEST(LookFile, CroutonLooksRoundTripAsKeyLines)
{
    const struct {
        std::function<void(CroutonLook&)> change;
        std::vector<std::string> lines;
    } rows[] = {
        {[](CroutonLook&) {}, {}},
        {[](CroutonLook& l) { l.fadeIn = 1.5; }, {"FadeIn=1.5"}},
        {[](CroutonLook& l) { l.volume = 0; }, {"Volume=0"}},
        {[](CroutonLook& l) {
             l.title.shown = true;
             l.title.text = "Ann's \"50%\": a\\b = مرحبا 🎬";
         },
         {"TitleShown=yes", "Title=Ann's \"50%\": a\\b = مرحبا 🎬"}},
        {[](CroutonLook& l) {
             l.title.place = TitlePlace::Centre;
             l.title.colour = "#ff8000";
             l.title.box = true;
             l.title.seconds = 3;
         },
         {"TitlePlace=centre", "TitleColour=#ff8000", "TitleBox=yes", "TitleSeconds=3"}},
        {[](CroutonLook& l) {
             l.panZoom = {true, false, {1, 0.25, 0.5}, {2.5, 0.75, 0.4}};
         },
         {"PanZoom=yes", "PanZoomEnd=2.5 0.75 0.4", "PanZoomStart=1 0.25 0.5"}},
    };
    for (const auto& row : rows) {
        CroutonLook look;
        row.change(look);
        std::vector<std::string> lines = CroutonLookLines(look);
        std::vector<std::string> expected = row.lines;
        std::sort(lines.begin(), lines.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(ReadCroutonLook(CroutonLookLines(look), 10), look) << row.lines.size();
    }
}

TEST(LookFile, DamagedCroutonValuesFallBackAndAreHeld)
{
    const struct {
        std::string line;
        std::function<bool(const CroutonLook&)> holds;
    } rows[] = {
        {"Volume=900", [](const CroutonLook& l) { return l.volume == 200; }},
        {"Volume=loud", [](const CroutonLook& l) { return l.volume == 100; }},
        {"FadeIn=99", [](const CroutonLook& l) { return l.fadeIn == 4; }}, // the crouton's length
        {"FadeOut=-2", [](const CroutonLook& l) { return l.fadeOut == 0; }},
        {"FadeOut=nan", [](const CroutonLook& l) { return l.fadeOut == 0; }},
        {"TitleColour=red", [](const CroutonLook& l) { return l.title.colour == "#ffffff"; }},
        {"TitleColour=#ABCDEF", [](const CroutonLook& l) { return l.title.colour == "#abcdef"; }},
        {"TitleSize=1", [](const CroutonLook& l) { return l.title.size == 2; }},
        {"TitlePlace=bottom", [](const CroutonLook& l) { return l.title.place == TitlePlace::LowerThird; }},
        {"TitleShown=maybe", [](const CroutonLook& l) { return !l.title.shown; }},
        {"PanZoomStart=9 -1 0.5", [](const CroutonLook& l) { return l.panZoom.from == Framing{3, 0, 0.5}; }},
        {"PanZoomStart=2 0.5", [](const CroutonLook& l) { return l.panZoom.from == Framing{}; }},
        {"Sparkle=yes", [](const CroutonLook& l) { return IsPlainLook(l); }},
        {"no key here", [](const CroutonLook& l) { return IsPlainLook(l); }},
    };
    for (const auto& row : rows)
        EXPECT_TRUE(row.holds(ReadCroutonLook({row.line}, 4))) << row.line;
}

TEST(LookFile, ProjectLooksRoundTripAndDamagedValuesAreHeld)
{
    ProjectLook look;
    look.defaultTransition = {"dissolve", 1.5};
    SetOwnJoinAfter(look, 1, Transition{"wipeleft", 0.5});
    look.fadeIn = 2;
    look.clipLevel = 30;
    look.fitSoundtrack = true;
    const std::vector<std::string> lines = ProjectLookLines(look);
    EXPECT_EQ(lines, (std::vector<std::string>{"Transition=dissolve 1.5", "Join=1 wipeleft 0.5", "ProjectFadeIn=2",
                                                "ClipLevel=30", "FitSoundtrack=yes"}));
    EXPECT_EQ(ReadProjectLook(lines, 3), look);
    EXPECT_TRUE(ProjectLookLines(ProjectLook{}).empty());

    const struct {
        std::string line;
        std::function<bool(const ProjectLook&)> holds;
    } rows[] = {
        {"Join=2 dissolve 1", [](const ProjectLook& l) { return l.joins.empty(); }}, // past the last pair
        {"Join=99999999999 dissolve 1", [](const ProjectLook& l) { return l.joins.empty(); }},
        {"Join=0 dissolve 9", [](const ProjectLook& l) { return l.joins.at(0)->seconds == 3; }},
        {"Join=0 swirl 1", [](const ProjectLook& l) { return l.joins.empty(); }},
        {"Transition=fadeblack 0", [](const ProjectLook& l) { return l.defaultTransition == Transition{"fadeblack", 0.2}; }},
        {"ClipLevel=150", [](const ProjectLook& l) { return l.clipLevel == 100; }},
        {"ProjectFadeOut=60", [](const ProjectLook& l) { return l.fadeOut == kLongestProjectFade; }},
        {"Ducking=1", [](const ProjectLook& l) { return !l.duck; }},
    };
    for (const auto& row : rows)
        EXPECT_TRUE(row.holds(ReadProjectLook({row.line}, 2))) << row.line;
}

// Joins as "kind" strings by position; "" for none of its own.
std::vector<std::string> Kinds(const ProjectLook& look)
{
    std::vector<std::string> kinds;
    for (const auto& join : look.joins)
        kinds.push_back(join ? join->kind : "");
    return kinds;
}

TEST(LookJoins, EachCroutonKeepsTheJoinAfterIt)
{
    // Four croutons A B C D with A-dissolve-B-wipeleft-C-slideleft-D.
    const struct {
        const char* what;
        std::function<void(ProjectLook&)> change;
        std::vector<std::string> kinds;
    } rows[] = {
        {"delete B", [](ProjectLook& l) { JoinsAfterRemove(l, 1, 3); }, {"dissolve", "slideleft"}},
        {"delete A", [](ProjectLook& l) { JoinsAfterRemove(l, 0, 3); }, {"wipeleft", "slideleft"}},
        {"delete D", [](ProjectLook& l) { JoinsAfterRemove(l, 3, 3); }, {"dissolve", "wipeleft"}},
        {"B to the front", [](ProjectLook& l) { JoinsAfterMove(l, 1, 0, 4); }, {"wipeleft", "dissolve", "slideleft"}},
        {"A to the end", [](ProjectLook& l) { JoinsAfterMove(l, 0, 3, 4); }, {"wipeleft", "slideleft"}},
        {"D to the front", [](ProjectLook& l) { JoinsAfterMove(l, 3, 0, 4); }, {"", "dissolve", "wipeleft"}},
    };
    for (const auto& row : rows) {
        ProjectLook look;
        look.joins = {Transition{"dissolve", 1}, Transition{"wipeleft", 1}, Transition{"slideleft", 1}};
        row.change(look);
        EXPECT_EQ(Kinds(look), row.kinds) << row.what;
    }
}

TEST(LookJoins, TheTotalLengthIsTheCroutonsLessTheOverlaps)
{
    const struct {
        Transition join;
        double seconds;
    } rows[] = {
        {{"cut", 1}, 12},
        {{"dissolve", 1}, 10},
        {{"wipeleft", 3}, 8}, // held to half the shorter crouton: 2 s
    };
    for (const auto& row : rows) {
        Project project;
        project.fps = 2; // 25 frames a second
        std::unique_ptr<ListNode>* tail = &project.croutons;
        for (int i = 0; i < 3; ++i) {
            *tail = std::make_unique<ListNode>();
            (*tail)->node = std::make_unique<Crouton>();
            (*tail)->node->length = 4;
            (*tail)->node->videoLength = 4;
            tail = &(*tail)->next;
        }
        project.numberOfCroutons = 3;
        project.look.defaultTransition = row.join;
        EXPECT_NEAR(ProjectRenderedSeconds(project), row.seconds, 1e-6) << row.join.kind;
    }
}

// A crouton of whole seconds with a look writes its times after the older
// lines and loads back as it was; a project file with a look never passes
// for a crouton, nor a crouton with a look for a project.
TEST(LookFile, CroutonFilesKeepTheirLookAndTheirKind)
{
    TempDir dir;
    auto crouton = CreateCrouton();
    crouton->name = "Pictures";
    crouton->directory = dir.path();
    crouton->filename = "p.cwcrouton";
    crouton->length = 4;
    crouton->isVideo = FALSE;
    crouton->look.fadeIn = 1;
    crouton->look.title.shown = true;
    crouton->look.panZoom.on = true;
    crouton->look.panZoom.to = Framing{2, 0.3, 0.7};
    crouton->look.fadeOut = 0.5;
    crouton->look.title.seconds = 2;
    ASSERT_EQ(SaveCrouton(crouton.get()), TRUE);
    const std::string text = ReadHostFile(dir / "p.cwcrouton");
    EXPECT_NE(text.find("\n30.000000\n0.000000\n4.000000\n0.000000\nFadeIn=1\n"), std::string::npos) << text;
    UnlockCrouton(crouton.get());
    auto loaded = LoadCrouton(dir / "p.cwcrouton");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->look, crouton->look);
    EXPECT_EQ(loaded->length, 4);
    DestroyCrouton(std::move(loaded));

    WriteHostFile(dir / "project.cwproj", "P\nout.avi\n\n320\n240\n0\n6\n0\n30\n2\nA\nB\nClipLevel=20\n");
    CroutonLoadFailure failure = CroutonLoadFailure::None;
    EXPECT_FALSE(LoadCrouton(dir / "project.cwproj", &failure));
    EXPECT_EQ(failure, CroutonLoadFailure::NotACrouton);
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    EXPECT_TRUE(LinesHoldACroutonLook(lines));
    DestroyCrouton(std::move(crouton));
}

} // namespace

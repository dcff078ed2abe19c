// The project record and its crouton list, mirrored in both lists.
#include "project_helper.h"

#include "gui/vocabulary.h"
#include "model/project.h"
#include "model/project_view.h"
#include "support/test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using cwtest::InOrder;

namespace {

std::string Fmt(const char* format, const void* a, const void* b = nullptr)
{
    const int size = std::snprintf(nullptr, 0, format, a, b);
    std::string text(static_cast<std::size_t>(size), '\0');
    std::snprintf(text.data(), text.size() + 1, format, a, b);
    return text;
}

class ProjectTest : public ::testing::Test {
protected:
    void SetUp() override { project_ = NewProject(); }
    void TearDown() override
    {
        if (project_)
            DestroyProject(std::move(project_));
    }

    void Fill(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            AppendTestCrouton(project_.get(), name);
    }

    StandaloneLists lists_;
    std::unique_ptr<Project> project_;
};

TEST(NewProjectTest, HasTheDefaultsAndTracesItsCreation)
{
    TraceCapture trace;
    std::unique_ptr<Project> project = NewProject();
    EXPECT_EQ(trace.Text(), "Creating new project.\n");
    EXPECT_EQ(project->numberOfCroutons, 0);
    EXPECT_EQ(project->croutons, nullptr);
    EXPECT_FALSE(project->soundtrack.has_value());
    EXPECT_EQ(project->customFPS, 30.0f);
    EXPECT_EQ(project->width, 320);
    EXPECT_EQ(project->height, 240);
    EXPECT_EQ(project->filename, "NewProject.cwproj");
    EXPECT_EQ(project->projectName, "New Project");
    EXPECT_EQ(project->outputFileName, "RAM:GreatVideo.mp4");
    EXPECT_EQ(project->directory, "Projects");
    EXPECT_EQ(project->parameters, 0);
    EXPECT_EQ(project->baudrate, 0);
    EXPECT_EQ(project->fps, 0);
    DestroyProject(std::move(project));
}

TEST_F(ProjectTest, PositionLookUps)
{
    Fill({"P", "Q", "R"});
    Project* p = project_.get();
    EXPECT_EQ(*GetCroutonFromPosition(p, 0)->name, "P");
    EXPECT_EQ(*GetCroutonFromPosition(p, 2)->name, "R");
    EXPECT_EQ(GetCroutonFromPosition(p, 3), nullptr);
    EXPECT_EQ(GetCroutonFromPosition(p, -1), nullptr);
    EXPECT_EQ(GetCroutonNodeFromPosition(p, 1), p->croutons->next.get());
    EXPECT_EQ(GetCroutonNodeFromPosition(p, 3), nullptr);
    EXPECT_EQ(GetCroutonNodeFromPosition(p, -5), nullptr);
    EXPECT_EQ(GetCroutonIDInProject(p, GetCroutonFromPosition(p, 2)), 2);
    Crouton stranger;
    EXPECT_EQ(GetCroutonIDInProject(p, &stranger), -1);
    EXPECT_EQ(GetCroutonIDInProject(p, nullptr), -1);
    EXPECT_EQ(GetCroutonFromPosition(nullptr, 0), nullptr);
}

TEST_F(ProjectTest, DeletingTheOnlyCroutonEmptiesProjectAndLists)
{
    Fill({"P"});
    ListNode* node = project_->croutons.get();
    TraceCapture trace;
    DeleteCroutonFromProject(project_.get(), 0);
    EXPECT_EQ(trace.Text().rfind(Fmt("Found node at %p.\n", node), 0), 0u) << trace.Text();
    EXPECT_EQ(project_->croutons, nullptr);
    EXPECT_EQ(project_->numberOfCroutons, 0);
    EXPECT_THAT(Entries(gCroutonList), IsEmpty());
    EXPECT_THAT(Entries(gVisualList), IsEmpty());
}

TEST_F(ProjectTest, DeletingTheMiddleCroutonRemovesItsEntries)
{
    Fill({"P", "Q", "R"});
    DeleteCroutonFromProject(project_.get(), 1);
    EXPECT_THAT(ProjectNames(project_.get()), ElementsAre("P", "R"));
    EXPECT_EQ(project_->numberOfCroutons, 2);
    EXPECT_THAT(Entries(gCroutonList), ElementsAre("P", "R"));
    EXPECT_THAT(VisualSlots(), ElementsAre(1, 3));
}

TEST_F(ProjectTest, DeletingWhereThereIsNoCroutonChangesNothing)
{
    Fill({"P", "Q"});
    TraceCapture trace;
    DeleteCroutonFromProject(project_.get(), 2);
    DeleteCroutonFromProject(project_.get(), -1);
    EXPECT_EQ(trace.Text(), "Didn't find node 2 to remove.\nDidn't find node -1 to remove.\n");
    EXPECT_THAT(ProjectNames(project_.get()), ElementsAre("P", "Q"));
    EXPECT_THAT(Entries(gCroutonList), ElementsAre("P", "Q"));
    EXPECT_EQ(project_->numberOfCroutons, 2);
}

// What the windows are told, through the project view's hooks, when the
// model changes the list: one row per change.
struct ViewCase {
    const char* what;
    std::function<void(std::unique_ptr<Project>&)> change;
    std::vector<std::string> told;
};

TEST_F(ProjectTest, TheWindowsAreToldOfEveryChangeTheyFollow)
{
    const std::vector<ViewCase> cases = {
        {"delete", [](auto& project) { DeleteCroutonFromProject(project.get(), 1); }, {"removed Q"}},
        {"delete nothing", [](auto& project) { DeleteCroutonFromProject(project.get(), 5); }, {}},
        {"move", [](auto& project) { MoveCroutonInProject(project.get(), 0, 2); }, {"moved"}},
        {"destroy", [](auto& project) { DestroyProject(std::move(project)); },
         {"removed P", "removed Q", "removed R"}},
        {"replace", [](auto& project) {
             DestroyProject(std::move(project));
             project = NewProject();
         },
         {"removed P", "removed Q", "removed R", "shown"}},
    };
    const ProjectViewHooks installed = ProjectView();
    for (const ViewCase& row : cases) {
        SCOPED_TRACE(row.what);
        if (project_)
            DestroyProject(std::move(project_));
        project_ = NewProject();
        Fill({"P", "Q", "R"});
        std::vector<std::string> told;
        ProjectViewHooks hooks;
        hooks.projectShown = [&told](Project*) { told.push_back("shown"); };
        hooks.croutonsMoved = [&told] { told.push_back("moved"); };
        hooks.croutonRemoved = [&told](const Crouton* crouton) { told.push_back("removed " + *crouton->name); };
        SetProjectViewHooks(std::move(hooks));
        row.change(project_);
        SetProjectViewHooks(installed);
        EXPECT_EQ(told, row.told);
    }
}

struct MoveCase {
    LONG from;
    LONG to;
    std::vector<std::string> order;
    std::string firstTraces;
};

class ProjectMoveTest : public ProjectTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(ProjectMoveTest, MovesTheCroutonAndRewritesTheCroutonList)
{
    const MoveCase& c = GetParam();
    Fill({"P", "Q", "R", "S"});
    ListNode* second = project_->croutons->next.get();
    TraceCapture trace;
    MoveCroutonInProject(project_.get(), c.from, c.to);
    std::string expected = c.firstTraces;
    if (expected.find("%p") != std::string::npos)
        expected = Fmt(expected.c_str(), second);
    EXPECT_EQ(trace.Text().substr(0, expected.size()), expected);
    EXPECT_EQ(ProjectNames(project_.get()), c.order);
    EXPECT_EQ(Entries(gCroutonList), c.order);
    EXPECT_EQ(Active(gCroutonList), c.to);
    EXPECT_EQ(Active(gVisualList), c.to);
    // The visual list is moved by whoever dragged, not here.
    EXPECT_THAT(VisualSlots(), ElementsAre(1, 2, 3, 4));
    EXPECT_EQ(project_->numberOfCroutons, 4);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, ProjectMoveTest,
    ::testing::Values(
        MoveCase{0, 2, {"Q", "R", "P", "S"},
                 "Move crouton 0 to 2.\nMoving P.\nInserting before S.\nMoving to after R.\nSetting Crouton entry to Q.\n"},
        MoveCase{3, 1, {"P", "S", "Q", "R"},
                 "Move crouton 3 to 1.\nMoving S.\nInserting before Q.\nMoving to after P.\nSetting Crouton entry to P.\n"},
        MoveCase{1, 0, {"Q", "P", "R", "S"},
                 "Move crouton 1 to 0.\nMoving Q.\nInserting before P.\nList now starts at %p.\n"},
        MoveCase{1, 3, {"P", "R", "S", "Q"},
                 "Move crouton 1 to 3.\nMoving Q.\nMoving to the end of the list.\nMoving to after S.\n"}));

TEST_F(ProjectTest, MovingToTheSamePlaceDoesNothing)
{
    Fill({"P", "Q"});
    TraceCapture trace;
    MoveCroutonInProject(project_.get(), 1, 1);
    EXPECT_EQ(trace.Text(), "");
    EXPECT_THAT(ProjectNames(project_.get()), ElementsAre("P", "Q"));
}

TEST_F(ProjectTest, UpAndDownMoveProjectAndBothLists)
{
    Fill({"P", "Q", "R", "S"});
    MoveCroutonUpInProject(project_.get(), 2);
    EXPECT_THAT(ProjectNames(project_.get()), ElementsAre("P", "R", "Q", "S"));
    EXPECT_THAT(Entries(gCroutonList), ElementsAre("P", "R", "Q", "S"));
    EXPECT_THAT(VisualSlots(), ElementsAre(1, 3, 2, 4));
    EXPECT_EQ(Active(gCroutonList), 1);
    EXPECT_EQ(Active(gVisualList), 1);

    MoveCroutonDownInProject(project_.get(), 0);
    EXPECT_THAT(ProjectNames(project_.get()), ElementsAre("R", "P", "Q", "S"));
    EXPECT_THAT(Entries(gCroutonList), ElementsAre("R", "P", "Q", "S"));
    EXPECT_THAT(VisualSlots(), ElementsAre(3, 1, 2, 4));
    EXPECT_EQ(ProjectSlots(project_.get()), VisualSlots());
    EXPECT_EQ(Active(gCroutonList), 1);
}

TEST_F(ProjectTest, UpOnTheFirstAndDownOnTheLastChangeNothing)
{
    Fill({"P", "Q", "R"});
    TraceCapture trace;
    MoveCroutonUpInProject(project_.get(), 0);
    MoveCroutonDownInProject(project_.get(), 2);
    MoveCroutonUpInProject(project_.get(), 3);
    MoveCroutonDownInProject(project_.get(), -1);
    EXPECT_EQ(trace.Text(), "");
    EXPECT_THAT(ProjectNames(project_.get()), ElementsAre("P", "Q", "R"));
    EXPECT_THAT(Entries(gCroutonList), ElementsAre("P", "Q", "R"));
    EXPECT_THAT(VisualSlots(), ElementsAre(1, 2, 3));
}

TEST_F(ProjectTest, DestroyingEmptiesEachCroutonsOwnSlotAndBothLists)
{
    Fill({"P", "Q", "R"});
    DeleteCroutonFromProject(project_.get(), 0); // slot 1 stays bound, unused
    ListNode* first = project_->croutons.get();
    ListNode* second = first->next.get();
    Crouton* q = first->node.get();
    Crouton* r = second->node.get();
    ASSERT_EQ(gVisualList->imageSlots().size(), 3u);

    TraceCapture trace;
    DestroyProject(std::move(project_));
    const std::string& text = trace.Text();
    EXPECT_EQ(text.rfind("Deleting project.\nResetting 2 images.\n", 0), 0u) << text;
    EXPECT_TRUE(InOrder(text, {Fmt("Sending NULL image in visual %p for 2.\n", gVisualList),
                               Fmt("Destroying node %p, crouton %p.\n", first, q),
                               Fmt("Next node to delete is %p. Freeing %p.\n", second, first), "Freed.\n",
                               Fmt("Sending NULL image in visual %p for 3.\n", gVisualList),
                               Fmt("Destroying node %p, crouton %p.\n", second, r),
                               Fmt("Next node to delete is %p. Freeing %p.\n", nullptr, second), "Freed.\n",
                               "Freeing project.\nFinished destroying project.\n"}))
        << text;
    EXPECT_EQ(text.find("for 1.\n"), std::string::npos);
    EXPECT_EQ(gVisualList->imageSlots().count(2), 0u);
    EXPECT_EQ(gVisualList->imageSlots().count(3), 0u);
    EXPECT_THAT(Entries(gCroutonList), IsEmpty());
    EXPECT_THAT(Entries(gVisualList), IsEmpty());
}

TEST_F(ProjectTest, DestroyingAnEmptyProjectEmptiesNoSlot)
{
    mui::Object* picture = gVisualList->AdoptImage(mui::MakeNBitmap("NoImageAvailable.png"));
    mui::NList_UseImage(gVisualList, picture, 1, 0);
    mui::NList_InsertSingle(gCroutonList, "left over", MUIV_NList_Insert_Bottom);
    TraceCapture trace;
    DestroyProject(std::move(project_));
    EXPECT_EQ(trace.Text(), "Deleting project.\nResetting 0 images.\nFreeing project.\nFinished destroying project.\n");
    EXPECT_EQ(gVisualList->imageSlots().at(1), picture);
    EXPECT_THAT(Entries(gCroutonList), IsEmpty());
}

TEST_F(ProjectTest, ImageSlotsAreNeverSharedAfterDeletions)
{
    EXPECT_EQ(FindFreeImageSlot(project_.get()), 1);
    Fill({"P", "Q", "R"});
    EXPECT_THAT(ProjectSlots(project_.get()), ElementsAre(1, 2, 3));
    DeleteCroutonFromProject(project_.get(), 1);
    EXPECT_EQ(FindFreeImageSlot(project_.get()), 2);
    Fill({"T", "U"});
    EXPECT_THAT(ProjectNames(project_.get()), ElementsAre("P", "R", "T", "U"));
    EXPECT_THAT(ProjectSlots(project_.get()), ElementsAre(1, 3, 2, 4));
    EXPECT_EQ(VisualSlots(), ProjectSlots(project_.get()));
    // Every entry shows its own crouton's picture.
    for (LONG id = 0; id < project_->numberOfCroutons; ++id) {
        Crouton* crouton = GetCroutonFromPosition(project_.get(), id);
        EXPECT_EQ(gVisualList->imageSlots().at(GetCroutonImageSlot(crouton)), crouton->previewImage);
    }
}

TEST(ImageSlotTest, ReadsTheSlotFromTheVisualEntryText)
{
    Crouton crouton;
    EXPECT_EQ(GetCroutonImageSlot(&crouton), 0);
    crouton.previewImageText = "\x1bo[12]";
    EXPECT_EQ(GetCroutonImageSlot(&crouton), 12);
    for (const char* bad : {"\x1bo[]", "o[3]", "\x1bo[3", "\x1bo[0]", "\x1bo[-2]", "\x1bo[2x]"}) {
        crouton.previewImageText = bad;
        EXPECT_EQ(GetCroutonImageSlot(&crouton), 0) << bad;
    }
    EXPECT_EQ(GetCroutonImageSlot(nullptr), 0);
}

} // namespace

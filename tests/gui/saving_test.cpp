// Saving as desktop programs do: Save writes the project's own file, Save As
// and the button ask proposing it, the Quit question saves there, Enter on a
// question keeps the work, and the editor's close gadget asks about edits.
#include "project_helper.h"

#include "gui/desktop.h"
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "os/asl.h"
#include "os/question.h"
#include "support/test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using ::testing::HasSubstr;

namespace {

std::string Title() { return gWindows[WINDOW_MAIN]->GetString(MUIA_Window_Title).value_or(""); }

// Enter on every question: its default button.
struct PressEnter {
    PressEnter() { SetQuestionHandler([](const Question& question) { return DefaultAnswer(question); }); }
    ~PressEnter() { SetQuestionHandler({}); }
};

MainStep Do(std::function<void()> action) { return Act(std::move(action)); }

} // namespace

TEST(SavingTest, TheProjectKeepsTheFileItWasSavedTo)
{
    const cwtest::TempFolder folder;
    SetRecentProjectsFile(folder / "recent");
    const std::string file = folder / "test2.cwproj";
    struct Row {
        const char* what;
        std::function<void()> secondSave; // after the name was changed to "Second"
        int requests;                     // requesters shown in all
        bool basic;                       // ClipweaverBasic can do it too
    };
    const auto answerAgain = [&] { QueueAslAnswer(AslAnswer{folder.path(), "test2.cwproj"}); };
    const Row rows[] = {
#ifndef CLIPWEAVER_BASIC
        {"Ctrl+S writes without a dialog", [] { mui::UserChooseMenu(App(), MEN_SAVE_PROJECT); }, 1, false},
        {"Save Project As asks", [&] { answerAgain(); mui::UserChooseMenu(App(), MEN_SAVE_PROJECT_AS); }, 2, false},
#endif
        {"the button asks", [&] { answerAgain(); mui::UserPress(gButtons[BUTTON_MAIN_SAVE]); }, 2, true},
        {"Quit, Save", [] { QueueQuestionAnswer("Save"); mui::UserPress(gButtons[BUTTON_MAIN_QUIT]); }, 1, true},
        {"Quit, Enter", [] { SetQuestionHandler(DefaultAnswer); mui::UserPress(gButtons[BUTTON_MAIN_QUIT]); }, 1, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove(file);
        ClearAslAnswers();
        answerAgain();
        const std::size_t before = AslRequestLog().size();
        RunMainWithSteps({Do([] { mui::UserType(gButtons[BUTTON_MAIN_PROJECTNAME], "First"); }),
                          Do([] { mui::UserPress(gButtons[BUTTON_MAIN_SAVE]); }), Do([&] {
                              EXPECT_THAT(Title(), ::testing::StartsWith("First (test2.cwproj) - "));
                              EXPECT_EQ(RecentProjects().front(), file);
                              mui::UserType(gButtons[BUTTON_MAIN_PROJECTNAME], "Second");
                          }),
                          Do([] {}), Do(row.secondSave)});
        SetQuestionHandler({});
        EXPECT_THAT(cwtest::ReadHostFile(file), ::testing::StartsWith("Second\n"));
        EXPECT_FALSE(std::filesystem::exists(folder / "NewProject.cwproj"));
        ASSERT_EQ(AslRequestLog().size() - before, static_cast<std::size_t>(row.requests));
        EXPECT_EQ(AslRequestLog().back().initialFile, row.requests == 2 ? "test2.cwproj" : "NewProject.cwproj");
    }
    SetRecentProjectsFile("");
}

TEST(SavingTest, TheEditorsCloseGadgetAsksAboutEdits)
{
    struct Row {
        const char* what;
        const char* edit;   // typed into the crouton's name; none: no edit
        const char* answer; // none: unanswered; "Enter": the default button
        bool asked, stillOpen;
        const char* name; // the crouton's name afterwards
    };
    const Row rows[] = {
        {"no edits", nullptr, nullptr, false, false, "P"},
        {"edits, unanswered: dropped as before", "Renamed", nullptr, true, false, "P"},
        {"edits, Cancel keeps the editor", "Renamed", "Cancel", true, true, "P"},
        {"edits, Enter saves", "Renamed", "Enter", true, false, "Renamed"},
    };
    const cwtest::TempFolder folder;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ClearToldLog();
        std::optional<PressEnter> enter;
        RunMainWithSteps({Do([&] {
                              Crouton* crouton = AppendTestCrouton(gProject.get(), "P");
                              crouton->isVideo = TRUE;
                              crouton->videoLength = crouton->length = 10;
                              crouton->directory = folder.path();
                              crouton->filename = "p.cwcrouton";
                          }),
                          Do([] { mui::UserClick(gCroutonList, 0); }),
                          Do([] { mui::UserPress(gButtons[BUTTON_MAIN_EDITCROUTON]); }), Do([&] {
                              if (row.edit)
                                  mui::UserType(gButtons[BUTTON_CROUTONEDITOR_TITLE], row.edit);
                              if (row.answer && std::string(row.answer) == "Enter")
                                  enter.emplace();
                              else if (row.answer)
                                  QueueQuestionAnswer(row.answer);
                              mui::UserCloseWindow(gWindows[WINDOW_CROUTONEDITOR]);
                          }),
                          Do([&] {
                              enter.reset();
                              EXPECT_EQ(gWindows[WINDOW_CROUTONEDITOR]->GetLong(MUIA_Window_Open) != 0, row.stillOpen);
                              EXPECT_EQ(gProject->croutons->node->name, row.name);
                              EXPECT_EQ(std::filesystem::exists(folder / "p.cwcrouton"), std::string(row.name) == "Renamed");
                              const bool asked = !ToldLog().empty() && ToldLog().front().question;
                              EXPECT_EQ(asked, row.asked);
                              if (asked) {
                                  EXPECT_EQ(ToldLog().front().text, "Save changes to crouton Renamed?");
                              }
                          })});
    }
}

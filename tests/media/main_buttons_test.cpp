// The main window's "_New Crouton" and "_Add Crouton" buttons reach the
// adding operations through the program's event loop.
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "media_test_support.h"
#include "model/project.h"
#include "os/asl.h"
#include "os/exec.h"
#include "mui/mui.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using media_test::TempFolder;

namespace {

// Runs the program; each wait of its loop runs the next step, then Ctrl-C.
void RunMainWithSteps(std::vector<std::function<void()>> steps)
{
    std::deque<std::function<void()>> queue(steps.begin(), steps.end());
    SetWaitHook([&queue](ULONG) -> ULONG {
        if (queue.empty())
            return SIGBREAKF_CTRL_C;
        auto step = std::move(queue.front());
        queue.pop_front();
        step();
        return MUI_APPLICATION_SIGNAL;
    });
    EXPECT_EQ(ClipweaverMain(), 0);
    SetWaitHook({});
}

TEST(MainButtons, NewCroutonAndAddCroutonAddToTheProject)
{
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    media_test::WriteHostFile(folder / "old.cwcrouton",
                          "Old one\n__no file__\n0\n1\n0\n0\n0\n1\n0\n20\n40\n60\n80\n0\n0\n0\n0.000000\n5\n\n\n\n"
                          "30.000000\n");
    ClearAslAnswers();
    std::vector<std::string> croutonEntries;
    std::vector<std::string> visualEntries;
    LONG count = -1;
    RunMainWithSteps({
        [&] {
            QueueAslAnswer(AslAnswer{folder / "garden", "img#?.png"});
            QueueAslAnswer(AslAnswer{folder.path(), "garden.IMAGES.cwcrouton"});
            ASSERT_TRUE(mui::UserPress(gButtons[BUTTON_MAIN_NEWCROUTON]));
        },
        [&] {
            QueueAslAnswer(AslAnswer{folder.path(), "old.cwcrouton"});
            ASSERT_TRUE(mui::UserPress(gButtons[BUTTON_MAIN_ADDCROUTON]));
        },
        [&] {
            count = gProject->numberOfCroutons;
            croutonEntries = gCroutonList->entries();
            visualEntries = gVisualList->entries();
        },
    });
    EXPECT_EQ(count, 2);
    EXPECT_EQ(croutonEntries, (std::vector<std::string>{"garden.IMAGES.cwcrouton", "Old one"}));
    EXPECT_EQ(visualEntries, (std::vector<std::string>{"\x1bo[1]", "\x1bo[2]"}));
    EXPECT_TRUE(std::filesystem::exists(folder / "garden.IMAGES.cwcrouton"));
    EXPECT_EQ(AslRequestLog().size(), 3u);
    ClearAslAnswers();
}

} // namespace

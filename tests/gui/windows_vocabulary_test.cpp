// The values and names of the interface vocabulary in both configurations.
#include "gui/vocabulary.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(WindowsVocabulary, SlotCountsAndWindowCounts)
{
#ifndef CLIPWEAVER_BASIC
    EXPECT_EQ(MAIN_NUMBER_OF_BUTTONS, 63);
    EXPECT_EQ(NUMBER_OF_WINDOWS, 3);
    EXPECT_EQ(BUTTON_ABOUT_OK, 0);
    EXPECT_EQ(WINDOW_ABOUT, 2);
#else
    EXPECT_EQ(MAIN_NUMBER_OF_BUTTONS, 62);
    EXPECT_EQ(NUMBER_OF_WINDOWS, 2);
#endif
    EXPECT_EQ(gButtons.size(), static_cast<std::size_t>(ALL_BUTTON_SLOTS));
    EXPECT_EQ(gWindows.size(), static_cast<std::size_t>(NUMBER_OF_WINDOWS));
    EXPECT_EQ(WINDOW_MAIN, 0);
    EXPECT_EQ(WINDOW_CROUTONEDITOR, 1);
}

// Every slot but the About button sits one lower in ClipweaverBasic.
TEST(WindowsVocabulary, SlotValuesFollowTheTable)
{
#ifndef CLIPWEAVER_BASIC
    constexpr LONG shift = 0;
#else
    constexpr LONG shift = 1;
#endif
    const std::vector<std::pair<LONG, LONG>> slots = {
        {BUTTON_CROUTONEDITOR_CANCEL, 1},
        {BUTTON_CROUTONEDITOR_TITLE, 3},
        {BUTTON_CROUTONEDITOR_IMAGE, 5},
        {BUTTON_CROUTONEDITOR_IMAGE5, 9},
        {BUTTON_CROUTONEDITOR_END, 12},
        {BUTTON_CROUTONEDITOR_VIDEO_FILENAME_POPUP, 14},
        {BUTTON_CROUTONEDITOR_PREVIEWSLIDER1, 16},
        {BUTTON_CROUTONEDITOR_PREVIEWSELECTER, 21},
        {BUTTON_CROUTONEDITOR_CUSTOMFPS, 24},
        {BUTTON_MAIN_RENDER, 25},
        {BUTTON_MAIN_OUTPUTFILENAME_POPUP, 27},
        {BUTTON_MAIN_CROUTONLIST, 29},
        {BUTTON_MAIN_PROJECTNAME, 36},
        {BUTTON_MAIN_LENGTH, 40},
        {BUTTON_MAIN_PREVIEWIMAGE, 41},
        {BUTTON_MAIN_DOWN, 47},
        {BUTTON_MAIN_VISUALLIST, 48},
        {BUTTON_MAIN_CROUTON_AUDIOCODEC, 56},
        {BUTTON_MAIN_SOUNDTRACK_POPUP, 58},
        {BUTTON_MAIN_FPS_CYCLER, 61},
        {BUTTON_MAIN_CUSTOMFPS, 62},
    };
    for (const auto& [value, full] : slots)
        EXPECT_EQ(value, full - shift) << HexButtonName(value);
}

TEST(WindowsVocabulary, ReturnIdsRunWithoutGaps)
{
    const std::vector<LONG> ids = {
#ifndef CLIPWEAVER_BASIC
        GADMSG_ABOUT_OK,
#endif
        GADMSG_CROUTONEDITOR_MSGSTART, GADMSG_CROUTONEDITOR_CREATE, GADMSG_CROUTONEDITOR_SAVE,
        GADMSG_CROUTONEDITOR_LOADVIDEO, GADMSG_CROUTONEDITOR_CANCEL, GADMSG_CROUTONEDITOR_START,
        GADMSG_CROUTONEDITOR_END, GADMSG_CROUTONEDITOR_GENERATEPREVIEW, GADMSG_CROUTONEDITOR_MPLAYER,
        GADMSG_CROUTONEDITOR_SELECTFPS, GADMSG_CROUTONEDITOR_MSGEND, GADMSG_MAIN_MSGSTART,
        GADMSG_MAIN_RENDER, GADMSG_MAIN_SAVE, GADMSG_MAIN_QUIT, GADMSG_MAIN_NEW,
        GADMSG_MAIN_EDITCROUTON, GADMSG_MAIN_DELETECROUTON, GADMSG_MAIN_LOAD,
        GADMSG_MAIN_ADDCROUTON, GADMSG_MAIN_NEWCROUTON, GADMSG_MAIN_SELECTCROUTON,
        GADMSG_MAIN_UP, GADMSG_MAIN_DOWN, GADMSG_MAIN_DRAGGEDCROUTON, GADMSG_MAIN_SELECTVISUAL,
        GADMSG_MAIN_DRAGGEDVISUAL, GADMSG_MAIN_EDITVISUAL, GADMSG_MAIN_SELECTFORMAT,
        GADMSG_MAIN_SELECTBAUDRATE, GADMSG_MAIN_SELECTFPS, GADMSG_MAIN_MSGEND,
    };
    for (std::size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(ids[i], static_cast<LONG>(44 + i)) << "position " << i;
#ifndef CLIPWEAVER_BASIC
    EXPECT_EQ(GADMSG_CROUTONEDITOR_MSGSTART, 45);
    EXPECT_EQ(GADMSG_MAIN_RENDER, 57);
    EXPECT_EQ(GADMSG_MAIN_MSGEND, 76);
#else
    EXPECT_EQ(GADMSG_CROUTONEDITOR_MSGSTART, 44);
    EXPECT_EQ(GADMSG_MAIN_RENDER, 56);
    EXPECT_EQ(GADMSG_MAIN_MSGEND, 75);
#endif
}

#ifndef CLIPWEAVER_BASIC
TEST(WindowsVocabulary, MenuIdentifiersStayBelowTheGadgetIds)
{
    EXPECT_EQ(MEN_PROJECT, 1);
    EXPECT_EQ(MEN_ABOUT, 2);
    EXPECT_EQ(MEN_NEW_PROJECT, 3);
    EXPECT_EQ(MEN_LOAD_PROJECT, 4);
    EXPECT_EQ(MEN_SAVE_PROJECT, 5);
    EXPECT_EQ(MEN_RENDER, 6);
    EXPECT_EQ(MEN_QUIT, 7);
    EXPECT_LT(MEN_QUIT, GADMSG_ABOUT_OK);
    EXPECT_NE(MEN_PROJECT, MUIV_Application_ReturnID_Quit);
}

TEST(WindowsVocabulary, MenuNamesRoundTrip)
{
    const std::vector<std::pair<LONG, std::string>> menus = {
        {MEN_PROJECT, "MEN_PROJECT"}, {MEN_ABOUT, "MEN_ABOUT"},
        {MEN_NEW_PROJECT, "MEN_NEW_PROJECT"}, {MEN_LOAD_PROJECT, "MEN_LOAD_PROJECT"},
        {MEN_SAVE_PROJECT, "MEN_SAVE_PROJECT"}, {MEN_RENDER, "MEN_RENDER"}, {MEN_QUIT, "MEN_QUIT"},
        {MEN_EDIT, "MEN_EDIT"}, {MEN_UNDO, "MEN_UNDO"}, {MEN_REDO, "MEN_REDO"},
        {MEN_SAVE_PROJECT_AS, "MEN_SAVE_PROJECT_AS"},
    };
    for (const auto& [id, name] : menus) {
        ASSERT_NE(MenuName(id), nullptr) << id;
        EXPECT_EQ(MenuName(id), name);
        EXPECT_EQ(MenuFromName(name), id);
    }
    EXPECT_EQ(MenuName(0), nullptr);
    EXPECT_EQ(MenuName(MEN_KEEP_PIECES + 1), nullptr);
    EXPECT_EQ(MenuName(-1), nullptr);
    EXPECT_EQ(MenuFromName("MEN_SETTINGS"), -1);
    EXPECT_EQ(MenuFromName(""), -1);
}
#endif

TEST(WindowsVocabulary, EverySlotHasItsOwnName)
{
    std::set<std::string> seen;
    for (LONG slot = 0; slot < ALL_BUTTON_SLOTS; ++slot) {
        const char* name = HexButtonName(slot);
        ASSERT_NE(name, nullptr) << slot;
        EXPECT_EQ(std::string(name).rfind("BUTTON_", 0), 0u) << name;
        EXPECT_TRUE(seen.insert(name).second) << name << " twice";
        EXPECT_EQ(HexButtonFromName(name), slot) << name;
    }
    EXPECT_EQ(HexButtonName(-1), nullptr);
    EXPECT_EQ(HexButtonName(ALL_BUTTON_SLOTS), nullptr);
}

TEST(WindowsVocabulary, NamesMatchTheEnumerators)
{
    EXPECT_STREQ(HexButtonName(BUTTON_MAIN_RENDER), "BUTTON_MAIN_RENDER");
    EXPECT_STREQ(HexButtonName(BUTTON_CROUTONEDITOR_CANCEL), "BUTTON_CROUTONEDITOR_CANCEL");
    EXPECT_STREQ(HexButtonName(BUTTON_MAIN_OUTPUTFILENAME_POPUP), "BUTTON_MAIN_OUTPUTFILENAME_POPUP");
    EXPECT_STREQ(HexButtonName(BUTTON_MAIN_CUSTOMFPS), "BUTTON_MAIN_CUSTOMFPS");
    EXPECT_EQ(HexButtonFromName("BUTTON_MAIN_VISUALLIST"), BUTTON_MAIN_VISUALLIST);
    EXPECT_EQ(HexButtonFromName("BUTTON_CROUTONEDITOR_PREVIEWSLIDER3"), BUTTON_CROUTONEDITOR_PREVIEWSLIDER3);
    EXPECT_EQ(HexButtonFromName("MAIN_NUMBER_OF_BUTTONS"), -1);
    EXPECT_EQ(HexButtonFromName("button_main_render"), -1);
    EXPECT_EQ(HexButtonFromName("BUTTON_MAIN_RENDER "), -1);
#ifndef CLIPWEAVER_BASIC
    EXPECT_STREQ(HexButtonName(BUTTON_ABOUT_OK), "BUTTON_ABOUT_OK");
#else
    EXPECT_EQ(HexButtonFromName("BUTTON_ABOUT_OK"), -1);
    EXPECT_STREQ(HexButtonName(0), "BUTTON_CROUTONEDITOR_CANCEL");
#endif
}

TEST(WindowsVocabulary, WindowNamesRoundTrip)
{
    EXPECT_STREQ(WindowName(WINDOW_MAIN), "WINDOW_MAIN");
    EXPECT_STREQ(WindowName(WINDOW_CROUTONEDITOR), "WINDOW_CROUTONEDITOR");
    EXPECT_EQ(WindowFromName("WINDOW_MAIN"), WINDOW_MAIN);
    EXPECT_EQ(WindowFromName("WINDOW_CROUTONEDITOR"), WINDOW_CROUTONEDITOR);
#ifndef CLIPWEAVER_BASIC
    EXPECT_STREQ(WindowName(WINDOW_ABOUT), "WINDOW_ABOUT");
    EXPECT_EQ(WindowFromName("WINDOW_ABOUT"), WINDOW_ABOUT);
#else
    EXPECT_EQ(WindowFromName("WINDOW_ABOUT"), -1);
#endif
    EXPECT_EQ(WindowName(NUMBER_OF_WINDOWS), nullptr);
    EXPECT_EQ(WindowName(-1), nullptr);
    EXPECT_EQ(WindowFromName("NUMBER_OF_WINDOWS"), -1);
}

} // namespace

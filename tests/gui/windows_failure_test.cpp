// A tree with one object that can't be made yields no application, and no
// handle is left pointing into the pieces that were made.
#include "gui/vocabulary.h"
#include "gui/windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using mui::Kind;

// Restores normal creation however a test ends.
struct CreationFailureGuard {
    explicit CreationFailureGuard(std::function<bool(Kind)> predicate) { mui::SetCreationFailure(std::move(predicate)); }
    ~CreationFailureGuard() { mui::SetCreationFailure({}); }
    CreationFailureGuard(const CreationFailureGuard&) = delete;
    CreationFailureGuard& operator=(const CreationFailureGuard&) = delete;
};

const std::vector<std::string> kCroutons = {"Beach", "Sunset"};

// The kinds made by one whole build, in order.
std::vector<Kind> CreationsOfOneBuild()
{
    std::vector<Kind> made;
    CreationFailureGuard guard([&made](Kind kind) {
        made.push_back(kind);
        return false;
    });
    mui::ObjectPtr app = BuildApplication(kCroutons);
    EXPECT_NE(app, nullptr);
    mui::DisposeObject(std::move(app));
    ForgetGadgets();
    return made;
}

::testing::AssertionResult EveryHandleIsClear()
{
    for (LONG slot = 0; slot < MAIN_NUMBER_OF_BUTTONS; ++slot)
        if (gButtons[slot] != nullptr)
            return ::testing::AssertionFailure() << HexButtonName(slot) << " still set";
    for (LONG window = 0; window < NUMBER_OF_WINDOWS; ++window)
        if (gWindows[window] != nullptr)
            return ::testing::AssertionFailure() << WindowName(window) << " still set";
    if (gCroutonList != nullptr)
        return ::testing::AssertionFailure() << "gCroutonList still set";
    if (gVisualList != nullptr)
        return ::testing::AssertionFailure() << "gVisualList still set";
    return ::testing::AssertionSuccess();
}

TEST(WindowsFailure, OneBuildMakesEveryKindItNeeds)
{
    const std::vector<Kind> made = CreationsOfOneBuild();
    std::map<Kind, int> count;
    for (Kind kind : made)
        ++count[kind];
    EXPECT_EQ(count[Kind::Application], 1);
    EXPECT_EQ(made.back(), Kind::Application);
    EXPECT_EQ(count[Kind::Window], NUMBER_OF_WINDOWS);
    EXPECT_EQ(count[Kind::NList], 2);
    EXPECT_EQ(count[Kind::NListview], 2);
    EXPECT_EQ(count[Kind::Popasl], 3);
    EXPECT_EQ(count[Kind::PopButton], 3);
    EXPECT_EQ(count[Kind::Cycle], 12);
    EXPECT_EQ(count[Kind::Radio], 1);
    EXPECT_EQ(count[Kind::Slider], 16);
#ifndef CLIPWEAVER_BASIC
    EXPECT_EQ(count[Kind::NBitmap], 11); // ten previews and the spacer
    EXPECT_EQ(count[Kind::Menustrip], 1);
    EXPECT_EQ(count[Kind::Menu], 5);      // Project, Edit, Recent Projects, Crouton, Help
    EXPECT_EQ(count[Kind::Menuitem], 22); // ten, Undo, Redo, eight recent, Delete Crouton, Help
    EXPECT_EQ(count[Kind::Button], 19);
#else
    EXPECT_EQ(count[Kind::NBitmap], 10);
    EXPECT_EQ(count[Kind::Menustrip], 0);
    EXPECT_EQ(count[Kind::Button], 18);
#endif
    // The two lists come first, before any window.
    ASSERT_GE(made.size(), 2u);
    EXPECT_EQ(made[0], Kind::NList);
    EXPECT_EQ(made[1], Kind::NList);
}

// Whichever single creation fails, the whole build fails and leaves no handle.
TEST(WindowsFailure, AnyFailedCreationGivesNoApplication)
{
    const std::size_t total = CreationsOfOneBuild().size();
    ASSERT_GT(total, 40u);
    for (std::size_t failing = 1; failing <= total; ++failing) {
        std::size_t seen = 0;
        Kind failed = Kind::Application;
        CreationFailureGuard guard([&](Kind kind) {
            if (++seen != failing)
                return false;
            failed = kind;
            return true;
        });
        mui::ObjectPtr app = BuildApplication(kCroutons);
        EXPECT_EQ(app, nullptr) << "creation " << failing << " (" << mui::KindName(failed) << ") failed";
        EXPECT_TRUE(EveryHandleIsClear()) << "creation " << failing << " (" << mui::KindName(failed) << ")";
        EXPECT_EQ(mui::CurrentApplication(), nullptr);
        mui::DisposeObject(std::move(app));
    }
}

TEST(WindowsFailure, TheFortiethCreationFailing)
{
    std::size_t seen = 0;
    CreationFailureGuard guard([&seen](Kind) { return ++seen == 40; });
    EXPECT_EQ(BuildApplication(kCroutons), nullptr);
    EXPECT_TRUE(EveryHandleIsClear());
}

TEST(WindowsFailure, NoPicturesNoApplication)
{
    CreationFailureGuard guard([](Kind kind) { return kind == Kind::NBitmap; });
    EXPECT_EQ(BuildApplication(kCroutons), nullptr);
    EXPECT_TRUE(EveryHandleIsClear());
}

TEST(WindowsFailure, EachKindFailingAloneGivesNoApplication)
{
    std::vector<Kind> kinds = CreationsOfOneBuild();
    std::sort(kinds.begin(), kinds.end());
    kinds.erase(std::unique(kinds.begin(), kinds.end()), kinds.end());
    for (Kind failing : kinds) {
        CreationFailureGuard guard([failing](Kind kind) { return kind == failing; });
        EXPECT_EQ(BuildApplication(kCroutons), nullptr) << mui::KindName(failing);
        EXPECT_TRUE(EveryHandleIsClear()) << mui::KindName(failing);
    }
}

#ifndef CLIPWEAVER_BASIC
// The menu strip is not a window: its failure must still stop the build.
TEST(WindowsFailure, AMenuStripThatCannotBeMadeStopsTheBuild)
{
    for (Kind failing : {Kind::Menustrip, Kind::Menu, Kind::Menuitem}) {
        CreationFailureGuard guard([failing](Kind kind) { return kind == failing; });
        EXPECT_EQ(BuildApplication(kCroutons), nullptr) << mui::KindName(failing);
        EXPECT_TRUE(EveryHandleIsClear()) << mui::KindName(failing);
    }
}
#endif

// A failed build leaves nothing behind that would spoil the next one.
TEST(WindowsFailure, ABuildAfterAFailureSucceeds)
{
    {
        CreationFailureGuard guard([](Kind kind) { return kind == Kind::Radio; });
        ASSERT_EQ(BuildApplication(kCroutons), nullptr);
    }
    mui::ObjectPtr app = BuildApplication(kCroutons);
    ASSERT_NE(app, nullptr);
    for (LONG slot = 0; slot < MAIN_NUMBER_OF_BUTTONS; ++slot) {
        if (slot == BUTTON_MAIN_OUTPUTFILENAME_POPUP)
            continue;
        ASSERT_NE(gButtons[slot], nullptr) << HexButtonName(slot);
        EXPECT_EQ(gButtons[slot]->application(), app.get()) << HexButtonName(slot);
    }
    EXPECT_EQ(gCroutonList->entries(), kCroutons);
    EXPECT_EQ(mui::CurrentApplication(), app.get());
    mui::DisposeObject(std::move(app));
    ForgetGadgets();
}

// Building again replaces every handle with one into the new tree.
TEST(WindowsFailure, ASecondBuildTakesOverTheHandles)
{
    mui::ObjectPtr first = BuildApplication({"Old"});
    ASSERT_NE(first, nullptr);
    mui::DisposeObject(std::move(first));
    mui::ObjectPtr second = BuildApplication({"New", "Newer"});
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(gCroutonList->entries(), (std::vector<std::string>{"New", "Newer"}));
    for (mui::Object* window : gWindows)
        EXPECT_EQ(window->parent(), second.get());
    mui::DisposeObject(std::move(second));
    ForgetGadgets();
}

} // namespace

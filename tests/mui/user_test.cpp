// The user's actions: what they queue, in what order, and when they are
// refused.
#include "mui_fixture.h"
#include "os/question.h"

#include <algorithm>
#include <optional>

using muitest::MuiTest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr LONG kRender = 57;
constexpr LONG kEdit = 61;
constexpr LONG kSelect = 66;
constexpr LONG kDrop = 69;
constexpr LONG kQuit = -1;

// Buttons ----------------------------------------------------------------------

TEST_F(MuiTest, PressNotifiesOnRelease)
{
    mui::Notify(button, MUIA_Pressed, FALSE, app, kRender);
    EXPECT_TRUE(mui::UserPress(button));
    EXPECT_EQ(button->GetLong(MUIA_Pressed), FALSE);
    EXPECT_TRUE(mui::UserPress(button));
    EXPECT_THAT(Ids(), ElementsAre(kRender, kRender));
}

TEST_F(MuiTest, DisabledOrHiddenGadgetsIgnoreTheUser)
{
    mui::Notify(button, MUIA_Pressed, FALSE, app, kRender);
    mui::set(button, MUIA_Disabled, LONG{TRUE});
    EXPECT_FALSE(mui::UserPress(button));
    mui::set(button, MUIA_Disabled, LONG{FALSE});

    // A disabled group disables what it holds.
    mui::set(button->parent(), MUIA_Disabled, LONG{TRUE});
    EXPECT_FALSE(mui::UserPress(button));
    EXPECT_FALSE(mui::UserType(string, "x"));
    EXPECT_FALSE(mui::UserClick(listview, 1));
    mui::set(button->parent(), MUIA_Disabled, LONG{FALSE});

    // A closed window's gadgets and a gadget in no window.
    mui::Notify(otherButton, MUIA_Pressed, FALSE, app, kRender);
    EXPECT_FALSE(mui::UserPress(otherButton));
    auto loose = mui::MakeButton("_Loose");
    EXPECT_FALSE(mui::UserPress(loose.get()));
    mui::set(window, MUIA_Window_Open, LONG{FALSE});
    EXPECT_FALSE(mui::UserPress(button));
    EXPECT_FALSE(mui::UserCloseWindow(window));
    EXPECT_THAT(Ids(), IsEmpty());
    EXPECT_EQ(string->GetString(MUIA_String_Contents), "RAM:GreatVideo.avi");
    EXPECT_EQ(list->GetLong(MUIA_NList_Active), -1);
}

TEST_F(MuiTest, ActionsOnNullOrWrongKindAreRefused)
{
    EXPECT_FALSE(mui::UserPress(nullptr));
    EXPECT_FALSE(mui::UserPress(string));
    EXPECT_FALSE(mui::UserType(button, "x"));
    EXPECT_FALSE(mui::UserType(nullptr, "x"));
    EXPECT_FALSE(mui::UserCycle(radio, 0));
    EXPECT_FALSE(mui::UserRadio(cycle, 0));
    EXPECT_FALSE(mui::UserSlide(cycle, 0));
    EXPECT_FALSE(mui::UserClick(button, 0));
    EXPECT_FALSE(mui::UserDoubleClick(nullptr, 0));
    EXPECT_FALSE(mui::UserDrag(string, 0, 1));
    EXPECT_FALSE(mui::UserCloseWindow(button));
    EXPECT_FALSE(mui::UserChooseMenu(window, muitest::MEN_QUIT));
    EXPECT_FALSE(mui::UserPopRequester(string));
    EXPECT_FALSE(mui::UserPopRequester(nullptr));
}

// Values -------------------------------------------------------------------------

TEST_F(MuiTest, CycleRadioAndSliderTakeOnlyValuesTheyOffer)
{
    mui::Notify(cycle, MUIA_Cycle_Active, MUIV_EveryTime, app, 73);
    mui::Notify(slider, MUIA_Numeric_Value, MUIV_EveryTime, app, 50);
    EXPECT_TRUE(mui::UserCycle(cycle, 2));
    EXPECT_TRUE(mui::UserCycle(cycle, 2)); // the same entry again: no event
    EXPECT_FALSE(mui::UserCycle(cycle, 3));
    EXPECT_FALSE(mui::UserCycle(cycle, -1));
    EXPECT_TRUE(mui::UserSlide(slider, 100));
    EXPECT_FALSE(mui::UserSlide(slider, 101));
    EXPECT_TRUE(mui::UserRadio(radio, 1));
    EXPECT_FALSE(mui::UserRadio(radio, 2));
    EXPECT_EQ(cycle->GetLong(MUIA_Cycle_Active), 2);
    EXPECT_EQ(radio->GetLong(MUIA_Radio_Active), 1);
    EXPECT_THAT(Ids(), ElementsAre(73, 50));
}

TEST_F(MuiTest, TypingIsLimitedByTheFieldLengthButCodeSetsAreNot)
{
    // The field was made with MaxLen 8: seven bytes fit; more is refused
    // whole, in words, and never cut to another name.
    mui::Notify(string, MUIA_String_Contents, MUIV_EveryTime, app, 1);
    EXPECT_FALSE(mui::UserType(string, "abcdefghijk"));
    EXPECT_EQ(string->GetString(MUIA_String_Contents), "RAM:GreatVideo.avi");
    ASSERT_FALSE(ToldLog().empty());
    EXPECT_EQ(ToldLog().back().title, "Text too long");
    EXPECT_TRUE(mui::UserType(string, "abcdefg"));
    EXPECT_FALSE(mui::UserType(string, "abc\xc3\xa9\xc3\xa9\xc3\xa9"));
    EXPECT_EQ(string->GetString(MUIA_String_Contents), "abcdefg");
    mui::set(string, MUIA_String_Contents, std::string("a much longer text"));
    EXPECT_EQ(string->GetString(MUIA_String_Contents), "a much longer text");
    EXPECT_THAT(Ids(), ElementsAre(1, 1));
}

// Windows and menus ----------------------------------------------------------------

TEST_F(MuiTest, CloseGadgetNotifiesAtEveryClick)
{
    mui::Notify(window, MUIA_Window_CloseRequest, TRUE, app, kQuit);
    EXPECT_TRUE(mui::UserCloseWindow(window));
    EXPECT_TRUE(mui::UserCloseWindow(window));
    EXPECT_THAT(Ids(), ElementsAre(kQuit, kQuit));
    EXPECT_EQ(window->GetLong(MUIA_Window_Open), TRUE); // the program decides
    EXPECT_FALSE(mui::UserCloseWindow(otherWindow)); // closed: no gadget to click
}

TEST_F(MuiTest, MenuChoiceQueuesTheItemsUserData)
{
    EXPECT_TRUE(mui::UserChooseMenu(app, muitest::MEN_ABOUT));
    EXPECT_TRUE(mui::UserChooseMenu(app, muitest::MEN_QUIT));
    EXPECT_FALSE(mui::UserChooseMenu(app, muitest::MEN_PROJECT)); // a title, not an item
    EXPECT_FALSE(mui::UserChooseMenu(app, 42));
    EXPECT_THAT(Ids(), ElementsAre(muitest::MEN_ABOUT, muitest::MEN_QUIT));

    mui::set(window, MUIA_Window_Open, LONG{FALSE}); // no window shows the menu
    EXPECT_FALSE(mui::UserChooseMenu(app, muitest::MEN_QUIT));
    EXPECT_THAT(Ids(), IsEmpty());
}

// Lists: clicks, double-clicks and drags ---------------------------------------------

class UserListTest : public MuiTest {
protected:
    void SetUp() override
    {
        MuiTest::SetUp();
        mui::Notify(list, MUIA_NList_InsertPosition, MUIV_EveryTime, app, kDrop);
        mui::Notify(list, MUIA_NList_Active, MUIV_EveryTime, app, kSelect);
        mui::Notify(list, MUIA_NList_DoubleClick, 0, app, kEdit);
    }
};

TEST_F(UserListTest, ClickSelectsOnlyExistingEntries)
{
    EXPECT_TRUE(mui::UserClick(list, 2));
    EXPECT_TRUE(mui::UserClick(listview, 2)); // the same entry: no event
    EXPECT_FALSE(mui::UserClick(list, 4));
    EXPECT_FALSE(mui::UserClick(list, -1));
    EXPECT_THAT(Ids(), ElementsAre(kSelect));
    EXPECT_EQ(list->GetLong(MUIA_NList_Active), 2);
}

TEST_F(UserListTest, DoubleClickOnAnyEntryRaisesTheTriggerZeroNotification)
{
    EXPECT_TRUE(mui::UserDoubleClick(list, 2));
    EXPECT_THAT(Ids(), ElementsAre(kSelect, kEdit));
    EXPECT_TRUE(mui::UserDoubleClick(list, 2)); // again on the active entry
    EXPECT_THAT(Ids(), ElementsAre(kEdit));
    EXPECT_TRUE(mui::UserDoubleClick(listview, 0));
    EXPECT_THAT(Ids(), ElementsAre(kSelect, kEdit));
    EXPECT_EQ(list->GetLong(MUIA_NList_DoubleClick), 0);
    EXPECT_FALSE(mui::UserDoubleClick(list, 9));
    EXPECT_THAT(Ids(), IsEmpty());
}

TEST_F(UserListTest, DragReportsTheNewActiveEntryThenTheDrop)
{
    mui::nnset(list, MUIA_NList_Active, LONG{0}); // the press already took place
    EXPECT_TRUE(mui::UserDrag(list, 0, 2));
    EXPECT_THAT(list->entries(), ElementsAre("B", "C", "A", "D"));
    EXPECT_EQ(list->GetLong(MUIA_NList_Active), 2);
    EXPECT_EQ(list->GetLong(MUIA_NList_InsertPosition), 2);
    EXPECT_THAT(Ids(), ElementsAre(kSelect, kDrop));

    // Upwards, and a drop at the same position as the last one still counts.
    mui::nnset(list, MUIA_NList_Active, LONG{3});
    EXPECT_TRUE(mui::UserDrag(list, 3, 2));
    EXPECT_THAT(list->entries(), ElementsAre("B", "C", "D", "A"));
    EXPECT_THAT(Ids(), ElementsAre(kSelect, kDrop));
    EXPECT_EQ(list->GetLong(MUIA_NList_InsertPosition), 2);
}

TEST_F(UserListTest, DragOutOfRangeIsRefused)
{
    EXPECT_FALSE(mui::UserDrag(list, 0, 4));
    EXPECT_FALSE(mui::UserDrag(list, 4, 0));
    EXPECT_FALSE(mui::UserDrag(list, -1, 0));
    EXPECT_THAT(list->entries(), ElementsAre("A", "B", "C", "D"));
    EXPECT_THAT(Ids(), IsEmpty());
}

TEST_F(UserListTest, DragWaitsUntilThePressHasBeenHandled)
{
    // No entry active: the press raises the selection first; the move and the
    // drop come only after the program has taken that ID.
    EXPECT_TRUE(mui::UserDrag(list, 1, 3));
    EXPECT_THAT(list->entries(), ElementsAre("A", "B", "C", "D"));
    EXPECT_EQ(list->GetLong(MUIA_NList_Active), 1);
    EXPECT_TRUE(mui::HasPendingReturnIds(app));

    ULONG sigs = 0;
    EXPECT_EQ(mui::Application_NewInput(app, sigs), kSelect);
    EXPECT_EQ(sigs, 0u); // the drop still waits
    EXPECT_THAT(list->entries(), ElementsAre("A", "B", "C", "D"));
    EXPECT_EQ(mui::Application_NewInput(app, sigs), kSelect);
    EXPECT_THAT(list->entries(), ElementsAre("A", "C", "D", "B"));
    EXPECT_EQ(sigs, 0u);
    EXPECT_EQ(mui::Application_NewInput(app, sigs), kDrop);
    EXPECT_EQ(sigs, MUI_APPLICATION_SIGNAL);
    EXPECT_FALSE(mui::HasPendingReturnIds(app));
}

TEST_F(UserListTest, PendingDropIsDroppedWhenTheListChangedMeanwhile)
{
    EXPECT_TRUE(mui::UserDrag(list, 1, 3));
    mui::NList_Remove(list, 0); // the program shortened the list in between
    mui::NList_Remove(list, 0);
    const auto ids = Ids();
    EXPECT_THAT(list->entries(), ElementsAre("C", "D"));
    EXPECT_EQ(std::count(ids.begin(), ids.end(), kDrop), 0);
}

// The main window's two lists and their selection steps, as the event loop
// runs them: a click in one list comes to rest after one exchange, and a
// drag leaves its source and destination for the drop handler.
class TwoListLoop : public MuiTest {
protected:
    static constexpr LONG kSelectVisual = 70;
    static constexpr LONG kDragVisual = 71;

    void SetUp() override
    {
        MuiTest::SetUp();
        auto made = mui::MakeNList({"a", "b", "c", "d"});
        visual = made.get();
        // A second list beside the first, in the same window.
        emptyGroup->AddChild(mui::MakeNListview(std::move(made)));
        mui::Notify(list, MUIA_NList_InsertPosition, MUIV_EveryTime, app, kDrop);
        mui::Notify(list, MUIA_NList_Active, MUIV_EveryTime, app, kSelect);
        mui::Notify(visual, MUIA_NList_InsertPosition, MUIV_EveryTime, app, kDragVisual);
        mui::Notify(visual, MUIA_NList_Active, MUIV_EveryTime, app, kSelectVisual);
    }

    void SelectionSteps()
    {
        lastSelected = selected;
        selected = list->GetLong(MUIA_NList_Active);
        if (selected >= 0)
            mui::set(visual, MUIA_NList_Active, selected);
        trace.push_back("Selected " + std::to_string(selected));
    }

    void Run()
    {
        ULONG sigs = 0;
        for (int guard = 0; guard < 50; ++guard) {
            const LONG id = mui::Application_NewInput(app, sigs);
            if (id == kSelect) {
                SelectionSteps();
            } else if (id == kSelectVisual) {
                mui::set(list, MUIA_NList_Active, visual->GetLong(MUIA_NList_Active));
                SelectionSteps();
            } else if (id == kDrop) {
                dropSource = lastSelected;
                dropTarget = selected;
                trace.push_back("Drop " + std::to_string(lastSelected) + " " + std::to_string(selected));
            }
            // The wait: a front end returns at once while IDs are pending.
            if (sigs != 0 && !mui::HasPendingReturnIds(app))
                return;
        }
        FAIL() << "the lists did not come to rest";
    }

    mui::Object* visual = nullptr;
    LONG selected = -1;
    LONG lastSelected = -1;
    std::optional<LONG> dropSource;
    std::optional<LONG> dropTarget;
    std::vector<std::string> trace;
};

TEST_F(TwoListLoop, ClickInOneListComesToRestWithBothOnTheEntry)
{
    EXPECT_TRUE(mui::UserClick(visual, 2));
    Run();
    EXPECT_EQ(list->GetLong(MUIA_NList_Active), 2);
    EXPECT_EQ(visual->GetLong(MUIA_NList_Active), 2);
    EXPECT_THAT(trace, ElementsAre("Selected 2", "Selected 2"));
    EXPECT_EQ(lastSelected, 2);
}

TEST_F(TwoListLoop, DragLeavesSourceAndDestinationForTheDrop)
{
    // The whole gesture at once, with another entry active before.
    EXPECT_TRUE(mui::UserClick(list, 3));
    Run();
    trace.clear();
    EXPECT_TRUE(mui::UserDrag(list, 0, 2));
    Run();
    ASSERT_TRUE(dropSource.has_value());
    EXPECT_EQ(*dropSource, 0);
    EXPECT_EQ(*dropTarget, 2);
    EXPECT_THAT(list->entries(), ElementsAre("B", "C", "A", "D"));
}

TEST_F(TwoListLoop, DragAfterAnEarlierPressLeavesSourceAndDestination)
{
    EXPECT_TRUE(mui::UserClick(list, 3)); // the press of the drag, handled on its own
    Run();
    EXPECT_TRUE(mui::UserDrag(list, 3, 1));
    Run();
    ASSERT_TRUE(dropSource.has_value());
    EXPECT_EQ(*dropSource, 3);
    EXPECT_EQ(*dropTarget, 1);
    EXPECT_THAT(list->entries(), ElementsAre("A", "D", "B", "C"));
}

// File fields ------------------------------------------------------------------------

TEST_F(MuiTest, PopRequesterPutsTheChosenPathIntoTheField)
{
    mui::Notify(popString, MUIA_String_Contents, MUIV_EveryTime, app, 5);
    QueueAslAnswer(AslAnswer{"Work:Music", "song.mp3"});
    EXPECT_TRUE(mui::UserPopRequester(popasl));
    EXPECT_EQ(popString->GetString(MUIA_String_Contents), "Work:Music/song.mp3");
    ASSERT_EQ(AslRequestLog().size(), 1u);
    EXPECT_EQ(AslRequestLog()[0].initialDrawer, "Music:old");
    EXPECT_EQ(AslRequestLog()[0].initialFile, "tune.mp3");

    // Through the pop-up button itself, a drawer that is a volume.
    QueueAslAnswer(AslAnswer{"RAM:", "x.wav"});
    EXPECT_TRUE(mui::UserPress(popButton));
    EXPECT_EQ(popString->GetString(MUIA_String_Contents), "RAM:x.wav");
    EXPECT_EQ(AslRequestLog()[1].initialDrawer, "Work:Music");
    EXPECT_EQ(AslRequestLog()[1].initialFile, "song.mp3");
    EXPECT_THAT(Ids(), ElementsAre(5, 5));
}

TEST_F(MuiTest, CancelledOrDisabledPopRequesterChangesNothing)
{
    QueueAslAnswer(std::nullopt);
    EXPECT_TRUE(mui::UserPopRequester(popButton));
    EXPECT_EQ(popString->GetString(MUIA_String_Contents), "Music:old/tune.mp3");
    mui::set(popButton, MUIA_Disabled, LONG{TRUE});
    EXPECT_FALSE(mui::UserPopRequester(popasl));
    EXPECT_EQ(AslRequestLog().size(), 1u);

    mui::set(popButton, MUIA_Disabled, LONG{FALSE});
    mui::set(popString, MUIA_String_Contents, std::string());
    EXPECT_TRUE(mui::UserPopRequester(popasl)); // nothing queued: a cancel
    EXPECT_FALSE(AslRequestLog()[1].initialDrawer.has_value());
    EXPECT_FALSE(AslRequestLog()[1].initialFile.has_value());
}

} // namespace

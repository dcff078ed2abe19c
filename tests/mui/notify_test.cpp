// Sets, notifications and the input step.
#include "mui_fixture.h"

using muitest::MuiTest;
using muitest::RecordingView;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr LONG kId = 57;

TEST_F(MuiTest, ChangedSetNotifiesUnchangedOrQuietOneDoesNot)
{
    mui::Notify(cycle, MUIA_Cycle_Active, MUIV_EveryTime, app, kId);
    mui::set(cycle, MUIA_Cycle_Active, LONG{1});
    EXPECT_THAT(Ids(), ElementsAre(kId));

    mui::set(cycle, MUIA_Cycle_Active, LONG{1}); // unchanged
    EXPECT_THAT(Ids(), IsEmpty());

    mui::nnset(cycle, MUIA_Cycle_Active, LONG{2});
    EXPECT_EQ(cycle->GetLong(MUIA_Cycle_Active), 2);
    mui::SetAttrs(cycle, {{MUIA_NoNotify, LONG{TRUE}}, {MUIA_Cycle_Active, LONG{0}}}); // flag before the value
    EXPECT_EQ(cycle->GetLong(MUIA_Cycle_Active), 0);
    EXPECT_THAT(Ids(), IsEmpty());

    mui::SetAttrs(cycle, {{MUIA_Cycle_Active, LONG{1}}, {MUIA_NoNotify, LONG{FALSE}}});
    EXPECT_THAT(Ids(), ElementsAre(kId));
}

TEST_F(MuiTest, TextValuesNotifyOnChangeOnly)
{
    mui::Notify(string, MUIA_String_Contents, MUIV_EveryTime, app, kId);
    mui::set(string, MUIA_String_Contents, std::string("RAM:GreatVideo.avi"));
    EXPECT_THAT(Ids(), IsEmpty());
    mui::set(string, MUIA_String_Contents, std::string("RAM:GreatVideo.mp4"));
    EXPECT_THAT(Ids(), ElementsAre(kId));
    EXPECT_EQ(mui::XGetString(string, MUIA_String_Contents), "RAM:GreatVideo.mp4");
}

TEST_F(MuiTest, TriggerValueOnlyMatchesThatValue)
{
    mui::Notify(button, MUIA_Pressed, FALSE, app, 1);
    mui::Notify(button, MUIA_Pressed, TRUE, app, 2);
    mui::Notify(button, MUIA_Pressed, MUIV_EveryTime, app, 3);
    mui::set(button, MUIA_Pressed, LONG{TRUE});
    EXPECT_THAT(Ids(), ElementsAre(2, 3));
    mui::set(button, MUIA_Pressed, LONG{FALSE});
    EXPECT_THAT(Ids(), ElementsAre(1, 3));
}

TEST_F(MuiTest, NullObjectIgnoresSetsAndReadsAsNothing)
{
    mui::set(nullptr, MUIA_String_Contents, std::string("x"));
    mui::nnset(nullptr, MUIA_Cycle_Active, LONG{1});
    mui::SetAttrs(nullptr, {{MUIA_Disabled, LONG{TRUE}}});
    mui::Notify(nullptr, MUIA_Pressed, FALSE, app, kId);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(mui::xget(nullptr, MUIA_String_Contents)));
    EXPECT_EQ(mui::XGetLong(nullptr, MUIA_Cycle_Active), 0);
    EXPECT_EQ(mui::XGetString(nullptr, MUIA_String_Contents), std::nullopt);
    EXPECT_THAT(Ids(), IsEmpty());
}

TEST_F(MuiTest, ViewHearsOfQuietChangesButNotOfUnchangedOnes)
{
    RecordingView view;
    app->SetView(&view);
    mui::nnset(cycle, MUIA_Cycle_Active, LONG{2});
    mui::set(cycle, MUIA_Cycle_Active, LONG{2});
    mui::set(slider, MUIA_Numeric_Value, LONG{5});
    EXPECT_THAT(view.log, ElementsAre("attr Cycle " + std::to_string(MUIA_Cycle_Active),
                              "attr Slider " + std::to_string(MUIA_Numeric_Value)));
    // A view of the object's own comes before the application's.
    RecordingView own;
    slider->SetView(&own);
    mui::set(slider, MUIA_Numeric_Value, LONG{6});
    EXPECT_EQ(own.log.size(), 1u);
    EXPECT_EQ(view.log.size(), 2u);
    slider->SetView(nullptr);
    app->SetView(nullptr);
}

TEST_F(MuiTest, ForcedNotificationFiresEvenWhenUnchanged)
{
    mui::Notify(window, MUIA_Window_CloseRequest, TRUE, app, -1);
    window->ForceNotify(MUIA_Window_CloseRequest, LONG{TRUE});
    window->ForceNotify(MUIA_Window_CloseRequest, LONG{TRUE});
    EXPECT_THAT(Ids(), ElementsAre(-1, -1));
}

TEST_F(MuiTest, InputStepHandsOutIdsInOrderWithSignals)
{
    ULONG sigs = 12345;
    EXPECT_EQ(mui::Application_NewInput(app, sigs), 0);
    EXPECT_EQ(sigs, MUI_APPLICATION_SIGNAL);
    EXPECT_FALSE(mui::HasPendingReturnIds(app));

    mui::Application_ReturnID(app, 5);
    mui::Application_ReturnID(app, 6);
    mui::Application_ReturnID(app, -1);
    EXPECT_TRUE(mui::HasPendingReturnIds(app));
    EXPECT_EQ(mui::Application_NewInput(app, sigs), 5);
    EXPECT_EQ(sigs, 0u); // more waiting: ask again at once
    EXPECT_EQ(mui::Application_NewInput(app, sigs), 6);
    EXPECT_EQ(sigs, 0u);
    EXPECT_EQ(mui::Application_NewInput(app, sigs), -1);
    EXPECT_EQ(sigs, MUI_APPLICATION_SIGNAL);
    EXPECT_FALSE(mui::HasPendingReturnIds(app));
    EXPECT_EQ(mui::Application_NewInput(app, sigs), 0);
    EXPECT_EQ(sigs, MUI_APPLICATION_SIGNAL);
}

TEST_F(MuiTest, NotificationsQueueInTheOrderTheChangesHappen)
{
    mui::Notify(cycle, MUIA_Cycle_Active, MUIV_EveryTime, app, 73);
    mui::Notify(slider, MUIA_Numeric_Value, MUIV_EveryTime, app, 50);
    mui::set(slider, MUIA_Numeric_Value, LONG{10});
    mui::set(cycle, MUIA_Cycle_Active, LONG{1});
    mui::set(slider, MUIA_Numeric_Value, LONG{11});
    EXPECT_THAT(Ids(), ElementsAre(50, 73, 50));
}

TEST_F(MuiTest, NotificationWithoutTargetGoesToTheObjectsApplication)
{
    button->AddNotify(MUIA_Pressed, FALSE, 30);
    mui::set(button, MUIA_Pressed, LONG{TRUE});
    mui::set(button, MUIA_Pressed, LONG{FALSE});
    EXPECT_THAT(Ids(), ElementsAre(30));
}

TEST_F(MuiTest, NullApplicationInputStepAsksToWait)
{
    ULONG sigs = 0;
    EXPECT_EQ(mui::Application_NewInput(nullptr, sigs), 0);
    EXPECT_EQ(sigs, MUI_APPLICATION_SIGNAL);
    EXPECT_FALSE(mui::HasPendingReturnIds(nullptr));
    mui::Application_ReturnID(nullptr, 3);
    mui::Application_ReturnID(button, 3); // not an application
    EXPECT_THAT(Ids(), IsEmpty());
}

// Values kept within bounds ------------------------------------------------------

TEST_F(MuiTest, SliderValueStaysInsideItsRange)
{
    mui::Notify(slider, MUIA_Numeric_Value, MUIV_EveryTime, app, kId);
    mui::set(slider, MUIA_Numeric_Value, LONG{150});
    EXPECT_EQ(slider->GetLong(MUIA_Numeric_Value), 100);
    EXPECT_THAT(Ids(), ElementsAre(kId));
    mui::set(slider, MUIA_Numeric_Value, LONG{120}); // still 100: unchanged
    EXPECT_THAT(Ids(), IsEmpty());

    // A smaller range moves the value, as a set of the value would.
    mui::set(slider, MUIA_Numeric_Max, LONG{40});
    EXPECT_EQ(slider->GetLong(MUIA_Numeric_Value), 40);
    EXPECT_THAT(Ids(), ElementsAre(kId));
    mui::nnset(slider, MUIA_Numeric_Max, LONG{30});
    EXPECT_EQ(slider->GetLong(MUIA_Numeric_Value), 30);
    EXPECT_THAT(Ids(), IsEmpty());
    mui::set(slider, MUIA_Numeric_Min, LONG{35});
    EXPECT_EQ(slider->GetLong(MUIA_Numeric_Value), 35);
    mui::set(slider, MUIA_Numeric_Max, LONG{200}); // a larger range leaves it
    EXPECT_EQ(slider->GetLong(MUIA_Numeric_Value), 35);
    EXPECT_THAT(Ids(), ElementsAre(kId));
}

TEST_F(MuiTest, SliderRangeAndValueInOneSetWhateverTheOrder)
{
    mui::SetAttrs(slider, {{MUIA_Numeric_Value, LONG{300}}, {MUIA_Numeric_Max, LONG{500}}});
    EXPECT_EQ(slider->GetLong(MUIA_Numeric_Value), 300);
    EXPECT_EQ(slider->GetLong(MUIA_Numeric_Max), 500);
    auto made = mui::MakeSlider(10, 20, 99);
    EXPECT_EQ(made->GetLong(MUIA_Numeric_Value), 20);
}

TEST_F(MuiTest, CycleAndRadioStayOnAnEntry)
{
    mui::set(cycle, MUIA_Cycle_Active, LONG{7});
    EXPECT_EQ(cycle->GetLong(MUIA_Cycle_Active), 2);
    mui::set(radio, MUIA_Radio_Active, LONG{-3});
    EXPECT_EQ(radio->GetLong(MUIA_Radio_Active), 0);
}

TEST_F(MuiTest, ListActiveIsAnEntryOrNone)
{
    mui::set(list, MUIA_NList_Active, LONG{9});
    EXPECT_EQ(list->GetLong(MUIA_NList_Active), 3);
    mui::set(list, MUIA_NList_Active, LONG{-7});
    EXPECT_EQ(list->GetLong(MUIA_NList_Active), MUIV_NList_Active_Off);
    mui::NList_Clear(list);
    mui::set(list, MUIA_NList_Active, LONG{0}); // "make 0 active" in an empty list
    EXPECT_EQ(list->GetLong(MUIA_NList_Active), -1);
    mui::set(list, MUIA_NList_Entries, LONG{12}); // read-only: follows the entries
    EXPECT_EQ(list->GetLong(MUIA_NList_Entries), 0);
}

TEST_F(MuiTest, WindowOutsideAnApplicationDoesNotOpen)
{
    auto loose = mui::MakeWindow("Loose", mui::MakeGroup(false, {}));
    mui::set(loose.get(), MUIA_Window_Open, LONG{TRUE});
    EXPECT_EQ(loose->GetLong(MUIA_Window_Open), FALSE);
    mui::set(otherWindow, MUIA_Window_Open, LONG{TRUE});
    EXPECT_EQ(otherWindow->GetLong(MUIA_Window_Open), TRUE);
}

} // namespace

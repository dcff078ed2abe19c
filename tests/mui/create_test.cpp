// Making and disposing objects: failures that spread to the application,
// the standard objects and the menu strip.
#include "mui_fixture.h"

using muitest::MuiTest;
using muitest::RecordingView;
using ::testing::ElementsAre;

namespace {

// The shape of the program's tree in small: gadgets in groups in windows in
// an application with a menu strip.
mui::ObjectPtr BuildTree()
{
    std::vector<mui::ObjectPtr> row;
    row.push_back(mui::MakeLabel("Soundtrack: "));
    row.push_back(mui::MakePopasl(mui::MakeString("", 256), mui::MakePopButton()));
    std::vector<mui::ObjectPtr> column;
    column.push_back(mui::MakeGroup(true, std::move(row)));
    column.push_back(mui::MakeNListview(mui::MakeNList({})));
    column.push_back(mui::MakeSlider(0, 100, 0));
    column.push_back(mui::MakeNBitmap("NoVideoLoaded.png"));
    column.push_back(mui::MakeCycle({"a", "b"}));
    column.push_back(mui::MakeRadio({"Frame 1"}));
    column.push_back(mui::MakeText("\\elLength: "));
    column.push_back(mui::MakeSpace());
    column.push_back(mui::MakeButton("_Quit"));
    std::vector<mui::ObjectPtr> windows;
    windows.push_back(mui::MakeWindow("Main", mui::MakeGroup(false, std::move(column))));
    return mui::MakeApplication("App", std::move(windows),
        mui::MakeMenustrip({{mui::NM_TITLE, "Project", 1}, {mui::NM_ITEM, "Quit", 7}, {mui::NM_END, "", 0}}));
}

class CreationTest : public ::testing::TestWithParam<mui::Kind> {
protected:
    void TearDown() override { mui::SetCreationFailure({}); }
};

TEST_P(CreationTest, OneFailedCreationFailsTheWholeApplication)
{
    const mui::Kind failing = GetParam();
    mui::Object* const before = mui::CurrentApplication();
    int asked = 0;
    mui::SetCreationFailure([&](mui::Kind kind) {
        ++asked;
        return kind == failing;
    });
    EXPECT_EQ(BuildTree(), nullptr) << mui::KindName(failing);
    EXPECT_EQ(mui::CurrentApplication(), before);
    EXPECT_GT(asked, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryKindInTheTree, CreationTest,
    ::testing::Values(mui::Kind::Label, mui::Kind::String, mui::Kind::PopButton, mui::Kind::Popasl, mui::Kind::Group,
        mui::Kind::NList, mui::Kind::NListview, mui::Kind::Slider, mui::Kind::NBitmap, mui::Kind::Cycle,
        mui::Kind::Radio, mui::Kind::Text, mui::Kind::Space, mui::Kind::Button, mui::Kind::Window,
        mui::Kind::Application),
    [](const auto& info) { return std::string(mui::KindName(info.param)); });

TEST(Creation, TreeWithoutFailuresIsMade)
{
    mui::Object* const before = mui::CurrentApplication();
    auto application = BuildTree();
    ASSERT_NE(application, nullptr);
    EXPECT_EQ(mui::CurrentApplication(), application.get());
    mui::DisposeObject(std::move(application));
    EXPECT_EQ(mui::CurrentApplication(), before);
}

TEST(Creation, ContainersRefuseANullChild)
{
    mui::Object* const before = mui::CurrentApplication();
    std::vector<mui::ObjectPtr> children;
    children.push_back(mui::MakeButton("_Up"));
    children.push_back(nullptr);
    EXPECT_EQ(mui::MakeGroup(true, std::move(children)), nullptr);
    EXPECT_EQ(mui::MakeWindow("W", nullptr), nullptr);
    EXPECT_EQ(mui::MakeNListview(nullptr), nullptr);
    EXPECT_EQ(mui::MakePopasl(mui::MakeString(""), nullptr), nullptr);
    EXPECT_EQ(mui::MakePopasl(nullptr, mui::MakePopButton()), nullptr);
    std::vector<mui::ObjectPtr> windows;
    windows.push_back(nullptr);
    EXPECT_EQ(mui::MakeApplication("A", std::move(windows), nullptr), nullptr);
    EXPECT_EQ(mui::CurrentApplication(), before);
}

TEST(Creation, ApplicationWithoutMenuStrip)
{
    std::vector<mui::ObjectPtr> windows;
    windows.push_back(mui::MakeWindow("W", mui::MakeGroup(false, {})));
    auto application = mui::MakeApplication("Basic", std::move(windows), nullptr);
    ASSERT_NE(application, nullptr);
    ASSERT_EQ(application->children().size(), 1u);
    EXPECT_EQ(application->children()[0]->kind(), mui::Kind::Window);
}

TEST(Creation, ButtonShortcutIsTheLetterAfterTheUnderscore)
{
    auto render = mui::MakeButton("_Render");
    EXPECT_EQ(render->GetString(MUIA_ControlChar), "r");
    EXPECT_EQ(render->GetString(MUIA_Text_Contents), "_Render");
    EXPECT_EQ(mui::MakeButton("D_own")->GetString(MUIA_ControlChar), "o");
    EXPECT_EQ(mui::MakeButton("_OK!")->GetString(MUIA_ControlChar), "o");
    EXPECT_FALSE(mui::MakeButton("Plain")->Has(MUIA_ControlChar));
    EXPECT_FALSE(mui::MakeButton("Trailing_")->Has(MUIA_ControlChar));
}

TEST(Creation, StartingValues)
{
    auto string = mui::MakeString("30", 6);
    EXPECT_EQ(string->GetString(MUIA_String_Contents), "30");
    EXPECT_EQ(string->GetLong(MUIA_String_MaxLen), 6);
    auto bitmap = mui::MakeNBitmap("NoSuchPicture.png"); // a missing file is no failure
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->GetLong(MUIA_NBitmap_Type, -1), 0);
    EXPECT_EQ(bitmap->GetString(MUIA_NBitmap_Normal), "NoSuchPicture.png");
    auto list = mui::MakeNList({"x", "y"});
    EXPECT_EQ(list->GetLong(MUIA_NList_Active), MUIV_NList_Active_Off);
    EXPECT_EQ(list->GetLong(MUIA_NList_Entries), 2);
    EXPECT_EQ(mui::MakeGroup(true, {})->GetLong(MUIA_Group_Horiz), TRUE);
    EXPECT_EQ(mui::MakeGroup(false, {})->GetLong(MUIA_Group_Horiz), FALSE);
    EXPECT_EQ(mui::MakeCycle({"a", "b"})->GetLong(MUIA_Cycle_Active, -1), 0);
}

TEST(Creation, ParentsLeadToWindowAndApplication)
{
    auto application = BuildTree();
    ASSERT_NE(application, nullptr);
    mui::Object* window = application->children()[0].get();
    mui::Object* column = window->children()[0].get();
    mui::Object* row = column->children()[0].get();
    mui::Object* popasl = row->children()[1].get();
    mui::Object* popString = popasl->children()[0].get();
    EXPECT_EQ(popString->window(), window);
    EXPECT_EQ(popString->application(), application.get());
    EXPECT_EQ(window->window(), window);
    EXPECT_EQ(application->window(), nullptr);
    mui::Object* strip = application->children()[1].get();
    EXPECT_EQ(strip->kind(), mui::Kind::Menustrip);
    EXPECT_EQ(strip->window(), nullptr);
    EXPECT_EQ(strip->application(), application.get());
    auto loose = mui::MakeButton("_X");
    EXPECT_EQ(loose->application(), nullptr);
}

// Menu strips -------------------------------------------------------------------

TEST(Menus, StripFromTableCarriesTitlesAndUserData)
{
    auto strip = mui::MakeMenustrip({{mui::NM_TITLE, "Project", 1},
        {mui::NM_ITEM, "New Project", 3},
        {mui::NM_ITEM, "Quit", 7},
        {mui::NM_TITLE, "Extra", 10},
        {mui::NM_ITEM, "Thing", 11},
        {mui::NM_END, "", 0},
        {mui::NM_ITEM, "After the end", 99}});
    ASSERT_NE(strip, nullptr);
    ASSERT_EQ(strip->children().size(), 2u);
    const mui::Object& project = *strip->children()[0];
    EXPECT_EQ(project.kind(), mui::Kind::Menu);
    EXPECT_EQ(project.GetString(MUIA_Menu_Title), "Project");
    EXPECT_EQ(project.GetLong(MUIA_UserData), 1);
    ASSERT_EQ(project.children().size(), 2u);
    EXPECT_EQ(project.children()[0]->kind(), mui::Kind::Menuitem);
    EXPECT_EQ(project.children()[0]->GetString(MUIA_Menuitem_Title), "New Project");
    EXPECT_EQ(project.children()[0]->GetLong(MUIA_UserData), 3);
    EXPECT_EQ(project.children()[1]->GetLong(MUIA_UserData), 7);
    EXPECT_EQ(strip->children()[1]->children().size(), 1u);
}

TEST(Menus, ItemBeforeAnyTitleOrFailedItemFails)
{
    EXPECT_EQ(mui::MakeMenustrip({{mui::NM_ITEM, "Orphan", 1}}), nullptr);
    mui::SetCreationFailure([](mui::Kind kind) { return kind == mui::Kind::Menuitem; });
    EXPECT_EQ(mui::MakeMenustrip({{mui::NM_TITLE, "Project", 1}, {mui::NM_ITEM, "Quit", 7}}), nullptr);
    mui::SetCreationFailure({});
}

// The application hook and disposal --------------------------------------------

TEST(Lifetime, HookSeesEveryApplicationAndCurrentIsTheLatest)
{
    std::vector<mui::Object*> seen;
    mui::SetApplicationHook([&](mui::Object& application) { seen.push_back(&application); });
    auto first = BuildTree();
    auto second = BuildTree();
    mui::SetApplicationHook({});
    EXPECT_THAT(seen, ElementsAre(first.get(), second.get()));
    EXPECT_EQ(mui::CurrentApplication(), second.get());
    mui::DisposeObject(std::move(second));
    EXPECT_EQ(mui::CurrentApplication(), first.get());
}

TEST(Lifetime, DisposingTellsTheViewOfEveryObjectChildrenFirst)
{
    std::vector<mui::ObjectPtr> gadgets;
    gadgets.push_back(mui::MakeButton("_A"));
    gadgets.push_back(mui::MakeNListview(mui::MakeNList({"x"})));
    std::vector<mui::ObjectPtr> windows;
    windows.push_back(mui::MakeWindow("W", mui::MakeGroup(false, std::move(gadgets))));
    auto application = mui::MakeApplication("A", std::move(windows), nullptr);
    ASSERT_NE(application, nullptr);
    mui::Object* list = application->children()[0]->children()[0]->children()[1]->children()[0].get();
    list->AdoptImage(mui::MakeNBitmap("x.png"));

    RecordingView view;
    application->SetView(&view);
    mui::DisposeObject(std::move(application));
    EXPECT_THAT(view.log, ElementsAre("disposed NBitmap", "disposed NList", "disposed NListview", "disposed Button",
                              "disposed Group", "disposed Window", "disposed Application"));
}

TEST(Lifetime, DisposingNothingIsHarmless) { mui::DisposeObject(nullptr); }

// Held by a static handle made before any object: disposed only when the
// process ends, after the object model's own statics would have gone.
mui::ObjectPtr gHeldUntilExit;

TEST(Lifetime, ApplicationHeldUntilTheProcessEnds)
{
    gHeldUntilExit = BuildTree();
    ASSERT_NE(gHeldUntilExit, nullptr);
}

} // namespace

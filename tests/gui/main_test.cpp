// The program's start-up, event loop and shut-down, driven through the
// object model's user actions at the loop's waits.
#include "project_helper.h"

#include "gui/main.h"
#include "gui/vocabulary.h"
#include "model/tables.h"
#include "mui/mui.h"
#include "os/question.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

constexpr const char* kStartUp = "Open ASL.\nCreating new project.\n";
constexpr const char* kShutDown =
    "Quitting.\nDeleting project.\nResetting 0 images.\nFreeing project.\nFinished destroying project.\nClosing down.\n";

std::string Text(HexButtons slot)
{
    mui::Object* object = gButtons[slot];
    if (!object)
        return "<none>";
    const Tag tag = object->kind() == mui::Kind::String ? MUIA_String_Contents : MUIA_Text_Contents;
    return object->GetString(tag).value_or("<unset>");
}

std::string Picture(mui::Object* object) { return object ? object->GetString(MUIA_NBitmap_Normal).value_or("<none>") : "<no object>"; }

bool Disabled(HexButtons slot) { return gButtons[slot]->GetLong(MUIA_Disabled) != 0; }
bool IsOpen(LONG window) { return gWindows[window]->GetLong(MUIA_Window_Open) != 0; }
LONG Cycle(HexButtons slot) { return gButtons[slot]->GetLong(MUIA_Cycle_Active); }

std::size_t Count(const std::string& text, const std::string& piece)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size()))
        ++count;
    return count;
}

std::size_t CountNotifications(const mui::Object& object)
{
    std::size_t count = object.notifications().size();
    for (const auto& child : object.children())
        count += CountNotifications(*child);
    return count;
}

// Three croutons P, Q and R with lengths 10, 20 and 30.
MainStep AddThree()
{
    return Act([] {
        int length = 10;
        for (const char* name : {"P", "Q", "R"}) {
            Crouton* crouton = AppendTestCrouton(gProject.get(), name);
            crouton->length = length;
            length += 10;
        }
    });
}

MainStep Click(mui::Object** list, LONG entry)
{
    return Act([list, entry] { ASSERT_TRUE(mui::UserClick(*list, entry)); });
}

MainStep Press(HexButtons slot)
{
    return Act([slot] { ASSERT_TRUE(mui::UserPress(gButtons[slot])); });
}

TEST(MainTest, StartsAndEndsWithTheTracesInOrder)
{
    TraceCapture trace;
    EXPECT_EQ(RunMainWithSteps({}), 0);
    EXPECT_EQ(trace.Text(), std::string(kStartUp) + kShutDown);
    EXPECT_EQ(gProject, nullptr);
    EXPECT_EQ(gButtons[BUTTON_MAIN_RENDER], nullptr);
}

TEST(MainTest, StartUpStateOfTheWindows)
{
    RunMainWithSteps({Act([] {
        EXPECT_TRUE(IsOpen(WINDOW_MAIN));
        EXPECT_FALSE(IsOpen(WINDOW_CROUTONEDITOR));
#ifndef CLIPWEAVER_BASIC
        EXPECT_FALSE(IsOpen(WINDOW_ABOUT));
        EXPECT_EQ(CountNotifications(*App()), 48u); // with the editor's two time fields, Preview Project and the look
#else
        EXPECT_EQ(CountNotifications(*App()), 46u);
#endif
        // The field was made after the project, so it keeps its own text.
        EXPECT_EQ(Text(BUTTON_MAIN_OUTPUTFILENAME), "RAM:GreatVideo.avi");
        EXPECT_EQ(gProject->outputFileName, "RAM:GreatVideo.mp4");
        EXPECT_EQ(gButtons[BUTTON_CROUTONEDITOR_END]->GetLong(MUIA_Numeric_Value), 100);
        EXPECT_THAT(Entries(gCroutonList), IsEmpty());
        EXPECT_EQ(gEditingCrouton, nullptr);
        EXPECT_EQ(PendingIds(), 0u);
    })});
}

// Every notification of the windows, object by object, in the order it was
// installed: attribute, trigger and return ID, each queued on the application.
TEST(MainTest, NotificationsRaiseTheirReturnIds)
{
    using Row = std::tuple<Tag, LONG, LONG>;
    auto rows = [](const mui::Object* object) {
        std::vector<Row> result;
        for (const mui::Notification& n : object->notifications()) {
            EXPECT_EQ(n.target, App());
            result.emplace_back(n.attribute, n.trigger, n.returnId);
        }
        return result;
    };
    RunMainWithSteps({Act([&rows] {
        auto pressed = [&rows](HexButtons slot) { return rows(gButtons[slot]); };
        constexpr LONG kQuit = MUIV_Application_ReturnID_Quit;
        EXPECT_THAT(rows(gWindows[WINDOW_MAIN]), ElementsAre(Row{MUIA_Window_CloseRequest, TRUE, kQuit},
                                                             Row{MUIA_AppMessage, MUIV_EveryTime, GADMSG_MAIN_DROPPEDFILES}));
        EXPECT_THAT(rows(gWindows[WINDOW_CROUTONEDITOR]),
                    ElementsAre(Row{MUIA_Window_CloseRequest, TRUE, GADMSG_CROUTONEDITOR_CLOSE}));
        const std::pair<HexButtons, LONG> buttons[] = {
            {BUTTON_CROUTONEDITOR_LOADVIDEO, GADMSG_CROUTONEDITOR_LOADVIDEO},
            {BUTTON_CROUTONEDITOR_CANCEL, GADMSG_CROUTONEDITOR_CANCEL},
            {BUTTON_CROUTONEDITOR_SAVE, GADMSG_CROUTONEDITOR_SAVE},
            {BUTTON_CROUTONEDITOR_MPLAYER, GADMSG_CROUTONEDITOR_MPLAYER},
            {BUTTON_CROUTONEDITOR_GENERATEPREVIEW, GADMSG_CROUTONEDITOR_GENERATEPREVIEW},
            {BUTTON_MAIN_RENDER, GADMSG_MAIN_RENDER},
            {BUTTON_MAIN_SAVE, GADMSG_MAIN_SAVE},
            {BUTTON_MAIN_LOAD, GADMSG_MAIN_LOAD},
            {BUTTON_MAIN_NEW, GADMSG_MAIN_NEW},
            {BUTTON_MAIN_ADDCROUTON, GADMSG_MAIN_ADDCROUTON},
            {BUTTON_MAIN_DELETECROUTON, GADMSG_MAIN_DELETECROUTON},
            {BUTTON_MAIN_NEWCROUTON, GADMSG_MAIN_NEWCROUTON},
            {BUTTON_MAIN_EDITCROUTON, GADMSG_MAIN_EDITCROUTON},
            {BUTTON_MAIN_UP, GADMSG_MAIN_UP},
            {BUTTON_MAIN_DOWN, GADMSG_MAIN_DOWN},
            {BUTTON_MAIN_QUIT, kQuit},
            {BUTTON_MAIN_OUTPUTFILENAME_BROWSE, GADMSG_MAIN_BROWSEOUTPUT},
        };
        for (const auto& [slot, id] : buttons)
            EXPECT_THAT(pressed(slot), ElementsAre(Row{MUIA_Pressed, FALSE, id})) << HexButtonName(slot);
        EXPECT_THAT(pressed(BUTTON_CROUTONEDITOR_START),
                    ElementsAre(Row{MUIA_Numeric_Value, MUIV_EveryTime, GADMSG_CROUTONEDITOR_START}));
        EXPECT_THAT(pressed(BUTTON_CROUTONEDITOR_END),
                    ElementsAre(Row{MUIA_Numeric_Value, MUIV_EveryTime, GADMSG_CROUTONEDITOR_END}));
        EXPECT_THAT(rows(gCroutonList),
                    ElementsAre(Row{MUIA_NList_InsertPosition, MUIV_EveryTime, GADMSG_MAIN_DRAGGEDCROUTON},
                                Row{MUIA_NList_Active, MUIV_EveryTime, GADMSG_MAIN_SELECTCROUTON},
                                Row{MUIA_NList_DoubleClick, 0, GADMSG_MAIN_EDITCROUTON}));
        EXPECT_THAT(rows(gVisualList),
                    ElementsAre(Row{MUIA_NList_InsertPosition, MUIV_EveryTime, GADMSG_MAIN_DRAGGEDVISUAL},
                                Row{MUIA_NList_Active, MUIV_EveryTime, GADMSG_MAIN_SELECTVISUAL},
                                Row{MUIA_NList_DoubleClick, 0, GADMSG_MAIN_EDITVISUAL}));
        EXPECT_THAT(pressed(BUTTON_MAIN_FORMAT_CYCLER),
                    ElementsAre(Row{MUIA_Cycle_Active, MUIV_EveryTime, GADMSG_MAIN_SELECTFORMAT}));
        EXPECT_THAT(pressed(BUTTON_MAIN_BAUDRATE_CYCLER),
                    ElementsAre(Row{MUIA_Cycle_Active, MUIV_EveryTime, GADMSG_MAIN_SELECTBAUDRATE}));
        EXPECT_THAT(pressed(BUTTON_MAIN_FPS_CYCLER),
                    ElementsAre(Row{MUIA_Cycle_Active, MUIV_EveryTime, GADMSG_MAIN_SELECTFPS}));
        EXPECT_THAT(pressed(BUTTON_CROUTONEDITOR_FPS_CYCLER),
                    ElementsAre(Row{MUIA_Cycle_Active, MUIV_EveryTime, GADMSG_CROUTONEDITOR_SELECTFPS}));
#ifndef CLIPWEAVER_BASIC
        EXPECT_THAT(rows(gWindows[WINDOW_ABOUT]),
                    ElementsAre(Row{MUIA_Window_CloseRequest, TRUE, GADMSG_ABOUT_OK}));
        EXPECT_THAT(pressed(BUTTON_ABOUT_OK), ElementsAre(Row{MUIA_Pressed, FALSE, GADMSG_ABOUT_OK}));
#endif
        // Fields, sliders under the previews, the radio and the pop-up
        // buttons raise nothing.
        for (HexButtons slot : {BUTTON_CROUTONEDITOR_TITLE, BUTTON_CROUTONEDITOR_PREVIEWSLIDER1,
                                BUTTON_CROUTONEDITOR_PREVIEWSELECTER, BUTTON_CROUTONEDITOR_SOUNDTRACK,
                                BUTTON_CROUTONEDITOR_CUSTOMFPS, BUTTON_CROUTONEDITOR_VIDEO_FILENAME_POPUP,
                                BUTTON_MAIN_PROJECTNAME, BUTTON_MAIN_SOUNDTRACK, BUTTON_MAIN_SOUNDTRACK_POPUP,
                                BUTTON_MAIN_CUSTOMFPS, BUTTON_MAIN_WIDTH})
            EXPECT_THAT(pressed(slot), IsEmpty()) << HexButtonName(slot);
    })});
}

TEST(MainTest, CloseGadgetAndQuitButtonTraceQuitReceived)
{
    for (bool closeGadget : {true, false}) {
        TraceCapture trace;
        RunMainWithSteps({Act([closeGadget] {
                              if (closeGadget)
                                  ASSERT_TRUE(mui::UserCloseWindow(gWindows[WINDOW_MAIN]));
                              else
                                  ASSERT_TRUE(mui::UserPress(gButtons[BUTTON_MAIN_QUIT]));
                          }),
                          Act([] { ADD_FAILURE() << "the loop waited after quitting"; })});
        EXPECT_EQ(trace.Text(), std::string(kStartUp) + "Quit received!\n" + kShutDown);
    }
}

#ifndef CLIPWEAVER_BASIC
TEST(MainTest, MenuQuitEndsWithoutATrace)
{
    TraceCapture trace;
    RunMainWithSteps({Act([] { ASSERT_TRUE(mui::UserChooseMenu(App(), MEN_QUIT)); })});
    EXPECT_EQ(trace.Text(), std::string(kStartUp) + kShutDown);
}

TEST(MainTest, AboutOpensFromTheMenuAndClosesBothWays)
{
    RunMainWithSteps({Act([] { ASSERT_TRUE(mui::UserChooseMenu(App(), MEN_ABOUT)); }),
                      Act([] {
                          EXPECT_TRUE(IsOpen(WINDOW_ABOUT));
                          ASSERT_TRUE(mui::UserCloseWindow(gWindows[WINDOW_ABOUT]));
                      }),
                      Act([] {
                          EXPECT_FALSE(IsOpen(WINDOW_ABOUT));
                          ASSERT_TRUE(mui::UserChooseMenu(App(), MEN_ABOUT));
                      }),
                      Press(BUTTON_ABOUT_OK), Act([] { EXPECT_FALSE(IsOpen(WINDOW_ABOUT)); })});
}
#endif

TEST(MainTest, CtrlCEndsTheLoopQuietly)
{
    TraceCapture trace;
    int waits = 0;
    RunMainWithSteps({[&] {
        ++waits;
        return SIGBREAKF_CTRL_C;
    }});
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(trace.Text(), std::string(kStartUp) + kShutDown);
}

TEST(MainFailureTest, NoRequesterLibrary)
{
    SetLibraryAvailable("asl.library", false);
    TraceCapture trace;
    EXPECT_EQ(RunMainWithSteps({Act([] { ADD_FAILURE() << "no loop without the library"; })}), 0);
    SetLibraryAvailable("asl.library", true);
    EXPECT_EQ(trace.Text(), "Open ASL.\nClosing down.\n");
    EXPECT_EQ(gProject, nullptr);
    EXPECT_FALSE(gCroutonStrings.has_value());
}

TEST(MainFailureTest, NoApplicationObject)
{
    mui::SetCreationFailure([](mui::Kind kind) { return kind == mui::Kind::Cycle; });
    TraceCapture trace;
    EXPECT_EQ(RunMainWithSteps({Act([] { ADD_FAILURE() << "no loop without windows"; })}), 0);
    mui::SetCreationFailure({});
    EXPECT_EQ(trace.Text(), std::string(kStartUp) + "Couldn't create app.\nClosing down.\n");
    EXPECT_EQ(gProject, nullptr);
    EXPECT_EQ(gButtons[BUTTON_MAIN_RENDER], nullptr);
    EXPECT_EQ(mui::CurrentApplication(), nullptr);
}

// A view that will not show the main window.
class RefusingView : public mui::ObjectView {
public:
    void AttributeChanged(mui::Object& object, Tag attribute) override
    {
        if (object.kind() == mui::Kind::Window && attribute == MUIA_Window_Open && object.GetLong(MUIA_Window_Open))
            mui::nnset(&object, MUIA_Window_Open, LONG{FALSE});
    }
    void EntriesChanged(mui::Object&) override {}
    void ObjectDisposed(mui::Object&) override {}
};

TEST(MainFailureTest, MainWindowThatDoesNotOpenSkipsTheLoop)
{
    RefusingView view;
    mui::SetApplicationHook([&view](mui::Object& application) { application.SetView(&view); });
    TraceCapture trace;
    EXPECT_EQ(RunMainWithSteps({Act([] { ADD_FAILURE() << "the loop ran"; })}), 0);
    mui::SetApplicationHook({});
    EXPECT_EQ(trace.Text(), std::string(kStartUp) +
                                "Deleting project.\nResetting 0 images.\nFreeing project.\nFinished destroying "
                                "project.\nClosing down.\n");
}

TEST(MainSelectionTest, ClickInTheCroutonListComesToRestAfterOneExchange)
{
    TraceCapture trace;
    RunMainWithSteps({AddThree(), Act([&trace] {
                          trace.Clear();
                          ASSERT_TRUE(mui::UserClick(gCroutonList, 2));
                          EXPECT_EQ(PendingIds(), 1u);
                      }),
                      Act([&trace] {
                          EXPECT_EQ(trace.Text(), "Selected 2.\nSelected visual.\nSelected 2.\n");
                          EXPECT_EQ(PendingIds(), 0u);
                          EXPECT_EQ(Active(gVisualList), 2);
                          EXPECT_EQ(Text(BUTTON_MAIN_LENGTH), "30 Seconds");
                      })});
}

TEST(MainSelectionTest, ClickInTheVisualListSelectsTheSameCrouton)
{
    TraceCapture trace;
    RunMainWithSteps({AddThree(), Act([&trace] {
                          trace.Clear();
                          ASSERT_TRUE(mui::UserClick(gVisualList, 1));
                          EXPECT_EQ(PendingIds(), 1u);
                      }),
                      Act([&trace] {
                          EXPECT_EQ(trace.Text(), "Selected visual.\nSelected 1.\nSelected 1.\n");
                          EXPECT_EQ(PendingIds(), 0u);
                          EXPECT_EQ(Active(gCroutonList), 1);
                          EXPECT_EQ(Text(BUTTON_MAIN_LENGTH), "20 Seconds");
                          EXPECT_EQ(Text(BUTTON_MAIN_CROUTON_WIDTH), "0");
                          EXPECT_EQ(Text(BUTTON_MAIN_CROUTON_VIDEOCODEC), "none");
                          EXPECT_EQ(Picture(gButtons[BUTTON_MAIN_PREVIEWIMAGE3]), "NoImageAvailable.png");
                      })});
}

void ExpectOrder(const std::vector<std::string>& names, const std::vector<LONG>& slots)
{
    EXPECT_EQ(ProjectNames(gProject.get()), names);
    EXPECT_EQ(Entries(gCroutonList), names);
    EXPECT_EQ(VisualSlots(), slots);
    EXPECT_EQ(ProjectSlots(gProject.get()), slots);
}

TEST(MainDragTest, DragInTheCroutonListMovesProjectAndVisualList)
{
    TraceCapture trace;
    RunMainWithSteps({AddThree(), Act([&trace] {
                          trace.Clear();
                          ASSERT_TRUE(mui::UserDrag(gCroutonList, 0, 2));
                      }),
                      Act([&trace] {
                          EXPECT_THAT(trace.Text(), HasSubstr("Move 0 to 3 in visual list.\nMove crouton 0 to 2.\n"));
                          ExpectOrder({"Q", "R", "P"}, {2, 3, 1});
                          EXPECT_EQ(Active(gCroutonList), 2);
                          EXPECT_EQ(Active(gVisualList), 2);
                          EXPECT_EQ(PendingIds(), 0u);
                      })});
}

TEST(MainDragTest, DragInTheVisualListMovesProjectAndCroutonList)
{
    TraceCapture trace;
    RunMainWithSteps({AddThree(), Click(&gVisualList, 2), Act([&trace] {
                          trace.Clear();
                          ASSERT_TRUE(mui::UserDrag(gVisualList, 2, 0));
                      }),
                      Act([&trace] {
                          EXPECT_THAT(trace.Text(), HasSubstr("Dragged visual.\nMove crouton 2 to 0.\n"));
                          EXPECT_THAT(trace.Text(), Not(HasSubstr("in visual list")));
                          ExpectOrder({"R", "P", "Q"}, {3, 1, 2});
                          EXPECT_EQ(Active(gCroutonList), 0);
                          EXPECT_EQ(Active(gVisualList), 0);
                      })});
}

TEST(MainMoveTest, UpAndDownKeepProjectAndListsTogether)
{
    RunMainWithSteps({AddThree(), Click(&gCroutonList, 2), Press(BUTTON_MAIN_UP), Act([] {
                          ExpectOrder({"P", "R", "Q"}, {1, 3, 2});
                          EXPECT_EQ(Active(gCroutonList), 1);
                          EXPECT_EQ(Active(gVisualList), 1);
                          ASSERT_TRUE(mui::UserPress(gButtons[BUTTON_MAIN_DOWN]));
                      }),
                      Act([] {
                          ExpectOrder({"P", "Q", "R"}, {1, 2, 3});
                          EXPECT_EQ(Active(gCroutonList), 2);
                      })});
}

TEST(MainMoveTest, UpOnTheFirstAndDownOnTheLastChangeNothing)
{
    TraceCapture trace;
    RunMainWithSteps({AddThree(), Click(&gCroutonList, 0), Press(BUTTON_MAIN_UP), Click(&gCroutonList, 2),
                      Press(BUTTON_MAIN_DOWN), Act([&trace] {
                          ExpectOrder({"P", "Q", "R"}, {1, 2, 3});
                          EXPECT_THAT(trace.Text(), Not(HasSubstr("Move crouton")));
                      })});
}

TEST(MainMoveTest, ButtonsDoNothingOnAnEmptyProject)
{
    TraceCapture trace;
    RunMainWithSteps({Press(BUTTON_MAIN_UP), Press(BUTTON_MAIN_DOWN), Press(BUTTON_MAIN_DELETECROUTON),
                      Press(BUTTON_MAIN_EDITCROUTON), Act([] { EXPECT_FALSE(IsOpen(WINDOW_CROUTONEDITOR)); })});
    EXPECT_EQ(trace.Text(), std::string(kStartUp) + kShutDown);
}

TEST(MainDeleteTest, DeleteRemovesTheActiveCrouton)
{
    RunMainWithSteps({AddThree(), Click(&gVisualList, 1), Press(BUTTON_MAIN_DELETECROUTON),
                      Act([] { ExpectOrder({"P", "R"}, {1, 3}); })});
}

TEST(MainEditTest, EditOpensTheEditorOnTheActiveCrouton)
{
    RunMainWithSteps({AddThree(), Act([] {
                          Crouton* q = GetCroutonFromPosition(gProject.get(), 1);
                          q->start = 5;
                          q->length = 20;
                          q->videoLength = 60;
                      }),
                      Click(&gCroutonList, 1), Press(BUTTON_MAIN_EDITCROUTON), Act([] {
                          EXPECT_TRUE(IsOpen(WINDOW_CROUTONEDITOR));
                          ASSERT_NE(gEditingCrouton, nullptr);
                          EXPECT_EQ(gEditingCrouton, GetCroutonFromPosition(gProject.get(), 1));
                          EXPECT_EQ(Text(BUTTON_CROUTONEDITOR_TITLE), "Q");
                          mui::Object* start = gButtons[BUTTON_CROUTONEDITOR_START];
                          mui::Object* end = gButtons[BUTTON_CROUTONEDITOR_END];
                          EXPECT_EQ(start->GetLong(MUIA_Numeric_Max), 60);
                          EXPECT_EQ(end->GetLong(MUIA_Numeric_Max), 60);
                          EXPECT_EQ(start->GetLong(MUIA_Numeric_Value), 5);
                          EXPECT_EQ(end->GetLong(MUIA_Numeric_Value), 25);
                          EXPECT_EQ(Text(BUTTON_CROUTONEDITOR_CUSTOMFPS), "30.000000");
                          EXPECT_TRUE(Disabled(BUTTON_CROUTONEDITOR_CUSTOMFPS));
                      })});
}

TEST(MainEditTest, DoubleClickInTheVisualListEdits)
{
    RunMainWithSteps({AddThree(), Act([] { ASSERT_TRUE(mui::UserDoubleClick(gVisualList, 2)); }), Act([] {
                          EXPECT_TRUE(IsOpen(WINDOW_CROUTONEDITOR));
                          EXPECT_EQ(gEditingCrouton, GetCroutonFromPosition(gProject.get(), 2));
                          EXPECT_EQ(Active(gCroutonList), 2);
                          EXPECT_EQ(Text(BUTTON_CROUTONEDITOR_TITLE), "R");
                      })});
}

// An active entry without a crouton behind it leaves the editor with no
// crouton: its buttons then do nothing.
TEST(MainEditTest, EditWhereThereIsNoCroutonForgetsTheEditedOne)
{
    TraceCapture trace;
    RunMainWithSteps({AddThree(), Click(&gCroutonList, 1), Press(BUTTON_MAIN_EDITCROUTON), Act([] {
                          ASSERT_NE(gEditingCrouton, nullptr);
                          mui::NList_InsertSingle(gCroutonList, "stray", MUIV_NList_Insert_Bottom);
                          mui::nnset(gCroutonList, MUIA_NList_Active, LONG{3});
                      }),
                      Act([&trace] {
                          trace.Clear();
                          ASSERT_TRUE(mui::UserPress(gButtons[BUTTON_MAIN_EDITCROUTON]));
                      }),
                      Act([&trace] {
                          EXPECT_EQ(gEditingCrouton, nullptr);
                          EXPECT_THAT(trace.Text(), Not(HasSubstr("Editing crouton")));
                          ASSERT_TRUE(mui::UserPress(gButtons[BUTTON_CROUTONEDITOR_SAVE]));
                      }),
                      Act([&trace] {
                          EXPECT_THAT(trace.Text(), Not(HasSubstr("Saving Crouton")));
                          EXPECT_THAT(ProjectNames(gProject.get()), ElementsAre("P", "Q", "R"));
                      })});
}

TEST(MainEditTest, EditorCloseGadgetCancels)
{
    TraceCapture trace;
    RunMainWithSteps({AddThree(), Click(&gCroutonList, 0), Press(BUTTON_MAIN_EDITCROUTON),
                      Act([] { ASSERT_TRUE(mui::UserCloseWindow(gWindows[WINDOW_CROUTONEDITOR])); }), Act([&trace] {
                          EXPECT_FALSE(IsOpen(WINDOW_CROUTONEDITOR));
                          EXPECT_THAT(trace.Text(), HasSubstr("Deleting T:__MplayerPreview5.png.\n"));
                          EXPECT_EQ(Picture(gButtons[BUTTON_CROUTONEDITOR_IMAGE]), "Loading.png");
                      })});
}

TEST(MainEditTest, DeletingTheEditedCroutonClosesTheEditor)
{
    RunMainWithSteps({AddThree(), Click(&gCroutonList, 1), Press(BUTTON_MAIN_EDITCROUTON),
                      Press(BUTTON_MAIN_DELETECROUTON), Act([] {
                          EXPECT_FALSE(IsOpen(WINDOW_CROUTONEDITOR));
                          EXPECT_EQ(gEditingCrouton, nullptr);
                          ExpectOrder({"P", "R"}, {1, 3});
                      })});
}

TEST(MainEditTest, DeletingAnotherCroutonKeepsTheEditorOpen)
{
    RunMainWithSteps({AddThree(), Click(&gCroutonList, 1), Press(BUTTON_MAIN_EDITCROUTON), Click(&gCroutonList, 0),
                      Press(BUTTON_MAIN_DELETECROUTON), Act([] {
                          EXPECT_TRUE(IsOpen(WINDOW_CROUTONEDITOR));
                          ASSERT_NE(gEditingCrouton, nullptr);
                          EXPECT_EQ(*gEditingCrouton->name, "Q");
                      })});
}

TEST(MainEditTest, NewProjectClosesTheEditor)
{
    RunMainWithSteps({AddThree(), Click(&gCroutonList, 0), Press(BUTTON_MAIN_EDITCROUTON), Press(BUTTON_MAIN_NEW),
                      Act([] {
                          EXPECT_FALSE(IsOpen(WINDOW_CROUTONEDITOR));
                          EXPECT_EQ(gEditingCrouton, nullptr);
                          EXPECT_THAT(Entries(gCroutonList), IsEmpty());
                          EXPECT_THAT(Entries(gVisualList), IsEmpty());
                          EXPECT_EQ(gProject->numberOfCroutons, 0);
                      })});
}

TEST(MainEditTest, ImageCroutonSpringsBackFromSourceRate)
{
    RunMainWithSteps({AddThree(), Act([] {
                          Crouton* p = GetCroutonFromPosition(gProject.get(), 0);
                          p->isVideo = FALSE;
                          p->fps = 7;
                          p->length = 4;
                      }),
                      Click(&gCroutonList, 0), Press(BUTTON_MAIN_EDITCROUTON), Act([] {
                          EXPECT_TRUE(Disabled(BUTTON_CROUTONEDITOR_START));
                          EXPECT_TRUE(Disabled(BUTTON_CROUTONEDITOR_END));
                          EXPECT_EQ(gButtons[BUTTON_CROUTONEDITOR_END]->GetLong(MUIA_Numeric_Value), 4);
                          EXPECT_EQ(gButtons[BUTTON_CROUTONEDITOR_END]->GetLong(MUIA_Numeric_Min), 1);
                          EXPECT_EQ(Cycle(BUTTON_CROUTONEDITOR_FPS_CYCLER), 7);
                          EXPECT_TRUE(Disabled(BUTTON_CROUTONEDITOR_CUSTOMFPS));
                          ASSERT_TRUE(mui::UserCycle(gButtons[BUTTON_CROUTONEDITOR_FPS_CYCLER], 0));
                      }),
                      Act([] {
                          EXPECT_EQ(Cycle(BUTTON_CROUTONEDITOR_FPS_CYCLER), 7);
                          EXPECT_EQ(gEditingCrouton->fps, 7);
                          ASSERT_TRUE(mui::UserCycle(gButtons[BUTTON_CROUTONEDITOR_FPS_CYCLER], 18));
                      }),
                      Act([] {
                          EXPECT_EQ(gEditingCrouton->fps, 18);
                          EXPECT_FALSE(Disabled(BUTTON_CROUTONEDITOR_CUSTOMFPS));
                      })});
}

TEST(MainCycleTest, FormatPicksItsDefaultBitRate)
{
    TraceCapture trace;
    RunMainWithSteps({Act([] { ASSERT_TRUE(mui::UserCycle(gButtons[BUTTON_MAIN_FORMAT_CYCLER], 9)); }),
                      Act([&trace] {
                          EXPECT_EQ(gProject->parameters, 9);
                          EXPECT_EQ(gProject->baudrate, 6);
                          EXPECT_EQ(Cycle(BUTTON_MAIN_BAUDRATE_CYCLER), 6);
                          EXPECT_EQ(Count(trace.Text(), "Changed format.\n"), 1u);
                          EXPECT_TRUE(Disabled(BUTTON_MAIN_WIDTH));
                          ASSERT_TRUE(mui::UserCycle(gButtons[BUTTON_MAIN_FORMAT_CYCLER], cCustomFormatID));
                      }),
                      Act([] {
                          EXPECT_FALSE(Disabled(BUTTON_MAIN_WIDTH));
                          EXPECT_FALSE(Disabled(BUTTON_MAIN_HEIGHT));
                          EXPECT_EQ(gProject->parameters, 19);
                          ASSERT_TRUE(mui::UserCycle(gButtons[BUTTON_MAIN_BAUDRATE_CYCLER], 2));
                      }),
                      Act([] { EXPECT_EQ(gProject->baudrate, 2); })});
}

TEST(MainCycleTest, CustomFrameRateEnablesItsField)
{
    RunMainWithSteps({Act([] { ASSERT_TRUE(mui::UserCycle(gButtons[BUTTON_MAIN_FPS_CYCLER], cCustomFPSID)); }),
                      Act([] {
                          EXPECT_EQ(gProject->fps, 3);
                          EXPECT_FALSE(Disabled(BUTTON_MAIN_CUSTOMFPS));
                          ASSERT_TRUE(mui::UserCycle(gButtons[BUTTON_MAIN_FPS_CYCLER], 1));
                      }),
                      Act([] {
                          EXPECT_EQ(gProject->fps, 1);
                          EXPECT_TRUE(Disabled(BUTTON_MAIN_CUSTOMFPS));
                      })});
}

TEST(MainNewProjectTest, ShowsTheNewProjectsSettingsQuietly)
{
    TraceCapture trace;
    RunMainWithSteps({Act([] {
                          ASSERT_TRUE(mui::UserCycle(gButtons[BUTTON_MAIN_FORMAT_CYCLER], cCustomFormatID));
                          ASSERT_TRUE(mui::UserCycle(gButtons[BUTTON_MAIN_FPS_CYCLER], cCustomFPSID));
                      }),
                      Act([] {
                          ASSERT_TRUE(mui::UserType(gButtons[BUTTON_MAIN_CUSTOMFPS], "25"));
                          ASSERT_TRUE(mui::UserType(gButtons[BUTTON_MAIN_SOUNDTRACK], "Music/song.mp3"));
                          ASSERT_TRUE(mui::UserType(gButtons[BUTTON_MAIN_WIDTH], "1000"));
                          ASSERT_TRUE(mui::UserType(gButtons[BUTTON_MAIN_PROJECTNAME], "Holiday"));
                      }),
                      Act([&trace] {
                          trace.Clear();
                          ASSERT_TRUE(mui::UserPress(gButtons[BUTTON_MAIN_NEW]));
                      }),
                      Act([&trace] {
                          EXPECT_THAT(trace.Text(), Not(HasSubstr("Changed format.")));
                          EXPECT_EQ(Cycle(BUTTON_MAIN_FORMAT_CYCLER), 0);
                          EXPECT_EQ(Cycle(BUTTON_MAIN_BAUDRATE_CYCLER), 0);
                          EXPECT_EQ(Cycle(BUTTON_MAIN_FPS_CYCLER), 0);
                          EXPECT_EQ(gProject->parameters, 0);
                          EXPECT_EQ(gProject->baudrate, 0);
                          EXPECT_EQ(gProject->fps, 0);
                          EXPECT_EQ(Text(BUTTON_MAIN_SOUNDTRACK), "");
                          EXPECT_EQ(Text(BUTTON_MAIN_CUSTOMFPS), "30");
                          EXPECT_EQ(Text(BUTTON_MAIN_WIDTH), "320");
                          EXPECT_EQ(Text(BUTTON_MAIN_HEIGHT), "240");
                          EXPECT_EQ(Text(BUTTON_MAIN_PROJECTNAME), "New Project");
                          EXPECT_EQ(Text(BUTTON_MAIN_OUTPUTFILENAME), "RAM:GreatVideo.mp4");
                          EXPECT_TRUE(Disabled(BUTTON_MAIN_WIDTH));
                          EXPECT_TRUE(Disabled(BUTTON_MAIN_HEIGHT));
                          EXPECT_TRUE(Disabled(BUTTON_MAIN_CUSTOMFPS));
                          EXPECT_EQ(PendingIds(), 0u);
                      })});
}

#ifndef CLIPWEAVER_BASIC
TEST(MainNewProjectTest, MenuNewProjectReplacesTheProject)
{
    RunMainWithSteps({AddThree(), Act([] { ASSERT_TRUE(mui::UserChooseMenu(App(), MEN_NEW_PROJECT)); }), Act([] {
                          EXPECT_EQ(gProject->numberOfCroutons, 0);
                          EXPECT_THAT(Entries(gCroutonList), IsEmpty());
                      })});
}
#endif

TEST(MainSaveTest, SaveCopiesTheFieldsIntoTheProject)
{
    RunMainWithSteps({Act([] {
                          ASSERT_TRUE(mui::UserType(gButtons[BUTTON_MAIN_PROJECTNAME], "100% mine"));
                      }),
                      Press(BUTTON_MAIN_SAVE), Act([] {
                          EXPECT_EQ(gProject->projectName, "100% mine");
                          EXPECT_EQ(gProject->outputFileName, "RAM:GreatVideo.avi");
                      })});
}

TEST(MainShutDownTest, DestroysTheProjectsCroutonsAndEmptiesTheirSlots)
{
    TraceCapture trace;
    RunMainWithSteps({AddThree()});
    EXPECT_THAT(trace.Text(), HasSubstr("Quitting.\nDeleting project.\nResetting 3 images.\n"));
    EXPECT_EQ(Count(trace.Text(), "Sending NULL image in visual"), 3u);
    EXPECT_THAT(trace.Text(), HasSubstr("Finished destroying project.\nClosing down.\n"));
}

} // namespace

// Every list operation, undone and redone, leaves the project, both lists and
// the details panel on the same crouton; each row is a fault once seen.
TEST(MainTest, ListChangesAreUndoneAndThePanelFollowsTheHighlight)
{
    auto names = [] {
        std::vector<std::string> result;
        for (LONG i = 0; i < gProject->numberOfCroutons; ++i)
            result.push_back(GetCroutonFromPosition(gProject.get(), i)->name.value_or(""));
        return result;
    };
    auto undo = [] { return Act([] { mui::Application_ReturnID(App(), cUndoReturnID); }); };
    auto redo = [] { return Act([] { mui::Application_ReturnID(App(), cRedoReturnID); }); };
    auto drag = [](LONG from, LONG to) { return Act([from, to] { ASSERT_TRUE(mui::UserDrag(gCroutonList, from, to)); }); };
    const struct {
        const char* what;
        std::vector<MainStep> steps;
        std::vector<std::string> order;
        const char* length; // the details panel's length
    } rows[] = {
        // The panel went on describing the deleted crouton.
        {"delete in the middle", {Click(&gCroutonList, 1), Press(BUTTON_MAIN_DELETECROUTON)}, {"P", "R"}, "30 Seconds"},
        {"delete undone", {Click(&gCroutonList, 1), Press(BUTTON_MAIN_DELETECROUTON), undo()}, {"P", "Q", "R"},
         "20 Seconds"},
        {"delete undone and redone",
         {Click(&gCroutonList, 0), Press(BUTTON_MAIN_DELETECROUTON), undo(), redo()}, {"Q", "R"}, "20 Seconds"},
        {"drag undone", {Click(&gCroutonList, 0), drag(0, 2), undo()}, {"P", "Q", "R"}, "10 Seconds"},
        {"down undone and redone", {Click(&gCroutonList, 0), Press(BUTTON_MAIN_DOWN), undo(), redo()},
         {"Q", "P", "R"}, "10 Seconds"},
        // An empty project still showed the last crouton's length.
        {"everything deleted",
         {Click(&gCroutonList, 0), Press(BUTTON_MAIN_DELETECROUTON), Press(BUTTON_MAIN_DELETECROUTON),
          Press(BUTTON_MAIN_DELETECROUTON)},
         {},
         "\x1b" "l------ Seconds"},
        {"New Project", {Click(&gCroutonList, 2), Press(BUTTON_MAIN_NEW)}, {}, "\x1b" "l------ Seconds"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<MainStep> steps{AddThree()};
        steps.insert(steps.end(), row.steps.begin(), row.steps.end());
        steps.push_back(Act([&] {
            EXPECT_EQ(names(), row.order);
            EXPECT_EQ(Entries(gCroutonList), row.order);
            EXPECT_EQ(Text(BUTTON_MAIN_LENGTH), row.length);
            EXPECT_EQ(gVisualList->GetLong(MUIA_NList_Active, -1), gCroutonList->GetLong(MUIA_NList_Active, -1));
        }));
        RunMainWithSteps(steps);
    }
}

// Unsaved changes: the title marks them, and a question that nobody answers
// drops them as the program always did; Cancel keeps the project.
TEST(MainTest, UnsavedChangesAreMarkedAndAskedAbout)
{
    auto title = [] { return gWindows[WINDOW_MAIN]->GetString(MUIA_Window_Title).value_or(""); };
    const struct {
        const char* what;
        const char* answer; // none: the fallback
        HexButtons button;
        const char* question;
        bool projectKept;
    } rows[] = {
        {"New Project, unanswered", nullptr, BUTTON_MAIN_NEW, "Save changes to Trip before starting a new project?",
         false},
        {"New Project, cancelled", "Cancel", BUTTON_MAIN_NEW, "Save changes to Trip before starting a new project?",
         true},
        {"Quit, cancelled", "Cancel", BUTTON_MAIN_QUIT, "Save changes to Trip before quitting?", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ClearToldLog();
        RunMainWithSteps({Act([] { ASSERT_TRUE(mui::UserType(gButtons[BUTTON_MAIN_PROJECTNAME], "Trip")); }),
                          Act([] {}), Act([&] {
                              EXPECT_EQ(title(), "*Trip - Clipweaver    0.8");
                              if (row.answer)
                                  QueueQuestionAnswer(row.answer);
                              ASSERT_TRUE(mui::UserPress(gButtons[row.button]));
                          }),
                          Act([&] {
                              ASSERT_FALSE(ToldLog().empty());
                              EXPECT_EQ(ToldLog().back().text, row.question);
                              EXPECT_EQ(Text(BUTTON_MAIN_PROJECTNAME), row.projectKept ? "Trip" : "New Project");
                              EXPECT_EQ(title(), row.projectKept ? "*Trip - Clipweaver    0.8"
                                                                 : "New Project - Clipweaver    0.8");
                          })});
    }
}

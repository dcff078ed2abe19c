// Long work in the Qt view: the progress window, its cancel, the failure
// window and the status line, the user's input held while tools run and
// handed over afterwards, quitting during work, and where the other windows
// open. The work is played here as the model reports it.
#include "os/exec.h"
#include "mui/mui.h"
#include "qtview/placement.h"
#include "qtview/qtview.h"
#include "qtview/workwindows.h"
#include "os/question.h"
#include "os/work.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;

enum : LONG {
    ID_RENDER = 200,
    ID_SAVE,
    ID_TYPED,
    ID_EDITOR_CLOSE,
};
constexpr LONG MEN_RENDER = 6;
constexpr LONG MEN_QUIT = 7;

// A main window with the buttons that matter here, a second window (the
// editor) and a menu strip with "Quit".
class WorkTest : public testing::Test {
public:
    void SetUp() override
    {
        auto renderObject = mui::MakeButton("_Render");
        render = renderObject.get();
        auto saveObject = mui::MakeButton("_Save Project");
        save = saveObject.get();
        auto quitObject = mui::MakeButton("_Quit");
        quit = quitObject.get();
        auto nameObject = mui::MakeString("New Project", 80);
        name = nameObject.get();
        std::vector<mui::ObjectPtr> children;
        children.push_back(std::move(nameObject));
        children.push_back(std::move(renderObject));
        children.push_back(std::move(saveObject));
        children.push_back(std::move(quitObject));
        auto mainObject = mui::MakeWindow("Clipweaver    0.8", mui::MakeGroup(false, std::move(children)));
        main = mainObject.get();

        std::vector<mui::ObjectPtr> editorChildren;
        editorChildren.push_back(mui::MakeButton("_Cancel"));
        auto editorObject = mui::MakeWindow("Clipweaver Crouton Editor", mui::MakeGroup(false, std::move(editorChildren)));
        editor = editorObject.get();

        std::vector<mui::ObjectPtr> windows;
        windows.push_back(std::move(editorObject));
        windows.push_back(std::move(mainObject));
        application = mui::MakeApplication("Work", std::move(windows),
            mui::MakeMenustrip({{mui::NM_TITLE, "Project", 1},
                {mui::NM_ITEM, "Render!", MEN_RENDER},
                {mui::NM_ITEM, "Quit", MEN_QUIT},
                {mui::NM_END, "", 0}}));
        ASSERT_NE(application, nullptr);
        app = application.get();
        mui::Notify(render, MUIA_Pressed, FALSE, app, ID_RENDER);
        mui::Notify(save, MUIA_Pressed, FALSE, app, ID_SAVE);
        mui::Notify(quit, MUIA_Pressed, FALSE, app, MUIV_Application_ReturnID_Quit);
        mui::Notify(name, MUIA_String_Contents, MUIV_EveryTime, app, ID_TYPED);
        mui::Notify(main, MUIA_Window_CloseRequest, TRUE, app, MUIV_Application_ReturnID_Quit);
        mui::Notify(editor, MUIA_Window_CloseRequest, TRUE, app, ID_EDITOR_CLOSE);
        qtview::SetQuitReturnIds({MEN_QUIT});
        mui::set(main, MUIA_Window_Open, LONG{TRUE});
        QApplication::processEvents();
    }

    void TearDown() override
    {
        if (WorkRunning())
            EndWork(WorkOutcome::Cancelled, "");
        qtview::SetQuitReturnIds({});
        mui::DisposeObject(std::move(application));
    }

    QMainWindow* MainWidget() { return qobject_cast<QMainWindow*>(qtview::WidgetOf(main)); }

    // The visible progress window, if any.
    static qtview::ProgressWindow* Progress()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* progress = dynamic_cast<qtview::ProgressWindow*>(widget); progress && progress->isVisible())
                return progress;
        }
        return nullptr;
    }

    static qtview::FailureWindow* Failure()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* failure = dynamic_cast<qtview::FailureWindow*>(widget); failure && failure->isVisible())
                return failure;
        }
        return nullptr;
    }

    // A click as the window system delivers it: to the window, at the
    // widget's place.
    static void ClickThroughWindow(QWidget* widget)
    {
        QWidget* top = widget->window();
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          widget->mapTo(top, widget->rect().center()));
    }

    std::vector<LONG> Ids() const { return {app->returnIds().begin(), app->returnIds().end()}; }

    // The program's loop after the work: waits and takes a return ID,
    // `count` times, noting how many were waiting each time; then makes sure
    // that nothing more arrives (the wait ends on a break instead).
    std::vector<LONG> RunLoop(int count, std::vector<std::size_t>* waiting = nullptr)
    {
        std::vector<LONG> taken;
        for (int round = 0; round < count; ++round) {
            if (Wait(MUI_APPLICATION_SIGNAL | SIGBREAKF_CTRL_C) != MUI_APPLICATION_SIGNAL)
                break;
            if (waiting != nullptr)
                waiting->push_back(app->returnIds().size());
            ULONG sigs = 0;
            taken.push_back(mui::Application_NewInput(app, sigs));
        }
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { std::raise(SIGINT); });
        guard.start(0);
        EXPECT_EQ(Wait(MUI_APPLICATION_SIGNAL | SIGBREAKF_CTRL_C), SIGBREAKF_CTRL_C) << "more input arrived";
        return taken;
    }

    qtview::Frontend frontend;
    mui::ObjectPtr application;
    mui::Object* app = nullptr;
    mui::Object* main = nullptr;
    mui::Object* editor = nullptr;
    mui::Object* render = nullptr;
    mui::Object* save = nullptr;
    mui::Object* quit = nullptr;
    mui::Object* name = nullptr;
};

struct ProgressRow {
    const char* title;
    int count;
    int step;
    const char* text;
    double within;
    int bar; // thousandths
};

TEST_F(WorkTest, TheProgressWindowShowsTheStepAndOneBarForTheWholeWork)
{
    const ProgressRow rows[] = {
        {"Rendering", 4, 1, "Crouton 1 of 4: intro", 0.0, 0},
        {"Rendering", 4, 2, "Crouton 2 of 4: beach", 0.5, 375},
        {"Rendering", 1, 1, "Crouton 1 of 1: beach", 1.0, 1000},
        {"Generating Preview", 5, 3, "Still 3 of 5", 0.0, 400},
    };
    for (const ProgressRow& row : rows) {
        SCOPED_TRACE(row.text);
        BeginWork(row.title, row.count);
        ToolWaiting(ToolWait::Begin);
        StepWork(row.step, row.text);
        WorkWithin(row.within);
        ToolWaiting(ToolWait::Poll);
        qtview::ProgressWindow* progress = Progress();
        ASSERT_NE(progress, nullptr);
        EXPECT_EQ(progress->windowTitle(), QString::fromUtf8(row.title));
        EXPECT_EQ(progress->parentWidget(), MainWidget());
        EXPECT_EQ(progress->findChild<QLabel*>("step")->text(), QString::fromUtf8(row.text));
        EXPECT_EQ(progress->findChild<QProgressBar*>("bar")->value(), row.bar);
        EXPECT_TRUE(progress->findChild<QLabel*>("elapsed")->text().startsWith("Elapsed: "));
        EXPECT_TRUE(progress->findChild<QLabel*>("remaining")->text().startsWith("Remaining: "));
        EXPECT_EQ(progress->findChild<QPushButton*>("cancel")->text(), QStringLiteral("&Cancel"));
        ToolWaiting(ToolWait::End);
        EndWork(WorkOutcome::Finished, "");
        EXPECT_EQ(Progress(), nullptr);
    }
}

TEST_F(WorkTest, ALongStepTextIsCutInTheMiddleNotTheWindowStretched)
{
    const QString name = QStringLiteral("Crouton 1 of 1: ") + QString(300, QLatin1Char('x')) + QStringLiteral("end");
    BeginWork("Rendering", 1);
    StepWork(1, name.toStdString());
    qtview::ProgressWindow* progress = Progress();
    ASSERT_NE(progress, nullptr);
    auto* step = progress->findChild<QLabel*>("step");
    EXPECT_TRUE(step->text().startsWith(QStringLiteral("Crouton 1 of 1: ")));
    EXPECT_TRUE(step->text().endsWith(QStringLiteral("end")));
    EXPECT_LT(step->text().size(), name.size());
    EXPECT_EQ(step->toolTip(), name);
    EXPECT_LT(progress->sizeHint().width(), QApplication::primaryScreen()->availableGeometry().width());
    EndWork(WorkOutcome::Finished, "");
}

TEST(WorkTimes, DurationsShowAsMinutesAndSeconds)
{
    const struct {
        qint64 seconds;
        const char* shown;
    } rows[] = {{0, "0:00"}, {7, "0:07"}, {75, "1:15"}, {754, "12:34"}, {3723, "1:02:03"}, {-4, "0:00"}};
    for (const auto& row : rows)
        EXPECT_EQ(qtview::FormatDuration(row.seconds), QString::fromLatin1(row.shown)) << row.seconds;
}

TEST_F(WorkTest, CancelEscapeAndTheCloseGadgetCancelTheWork)
{
    const struct {
        const char* way;
        void (*act)(qtview::ProgressWindow&);
    } rows[] = {
        {"Cancel button", [](qtview::ProgressWindow& w) { ClickThroughWindow(w.findChild<QPushButton*>("cancel")); }},
        {"Escape", [](qtview::ProgressWindow& w) { QTest::keyClick(w.windowHandle(), Qt::Key_Escape); }},
        {"close gadget", [](qtview::ProgressWindow& w) { w.close(); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.way);
        BeginWork("Rendering", 3);
        StepWork(1, "Crouton 1 of 3: intro");
        ToolWaiting(ToolWait::Begin);
        ToolWaiting(ToolWait::Poll);
        ASSERT_NE(Progress(), nullptr);
        QApplication::setActiveWindow(Progress());
        EXPECT_FALSE(WorkCancelled());
        row.act(*Progress());
        ToolWaiting(ToolWait::Poll);
        EXPECT_TRUE(WorkCancelled());
        // The window stays until the work has stopped.
        EXPECT_NE(Progress(), nullptr);
        ToolWaiting(ToolWait::End);
        EndWork(WorkOutcome::Cancelled, "Rendering cancelled.");
        EXPECT_EQ(Progress(), nullptr);
        EXPECT_EQ(MainWidget()->statusBar()->currentMessage(), QStringLiteral("Rendering cancelled."));
        EXPECT_THAT(Ids(), IsEmpty());
    }
}

// A short tool run outside long work (a probe, a copy).
TEST_F(WorkTest, InputDuringAToolWaitIsHeldAndHandedOverInOrder)
{
    const struct {
        const char* route;
        void (*click)(QWidget*);
    } rows[] = {
        {"to the widget", [](QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }},
        {"through the window", ClickThroughWindow},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.route);
        ToolWaiting(ToolWait::Begin);
        row.click(qtview::WidgetOf(save));
        row.click(qtview::WidgetOf(render));
        row.click(qtview::WidgetOf(save));
        ToolWaiting(ToolWait::Poll);
        ToolWaiting(ToolWait::End);
        // Between two tools and after the last one nothing has arrived.
        ToolWaiting(ToolWait::Begin);
        ToolWaiting(ToolWait::Poll);
        ToolWaiting(ToolWait::End);
        EXPECT_THAT(Ids(), IsEmpty());
        EXPECT_FALSE(WorkCancelled());

        // The program's wait hands them over one at a time.
        std::vector<std::size_t> waiting;
        EXPECT_THAT(RunLoop(3, &waiting), ElementsAre(ID_SAVE, ID_RENDER, ID_SAVE));
        EXPECT_THAT(waiting, ElementsAre(1u, 1u, 1u));
    }
}

// During long work the gadgets are grey and what the user does to them is
// dropped: carried out afterwards, a click on Render started a second render
// over the first one's output and typed text was appended to the field.
TEST_F(WorkTest, EditsDuringLongWorkAreDroppedAndTheGadgetsGrey)
{
    auto* edit = qobject_cast<QLineEdit*>(qtview::WidgetOf(name));
    ASSERT_NE(edit, nullptr);
    const struct {
        const char* edit;
        void (*act)(WorkTest&, QLineEdit&);
    } rows[] = {
        {"click on Render", [](WorkTest& t, QLineEdit&) { ClickThroughWindow(qtview::WidgetOf(t.render)); }},
        {"Alt+S", [](WorkTest& t, QLineEdit&) {
             QApplication::setActiveWindow(t.MainWidget());
             QTest::keyClick(t.MainWidget(), Qt::Key_S, Qt::AltModifier);
         }},
        {"typing", [](WorkTest&, QLineEdit& e) { QTest::keyClicks(&e, "ab"); }},
        {"menu Render!", [](WorkTest& t, QLineEdit&) {
             t.MainWidget()->menuBar()->actions().value(0)->menu()->actions().value(0)->trigger();
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.edit);
        BeginWork("Rendering", 2);
        ToolWaiting(ToolWait::Begin);
        EXPECT_FALSE(qtview::WidgetOf(render)->isEnabled());
        EXPECT_FALSE(edit->isEnabled());
        EXPECT_TRUE(qtview::WidgetOf(quit)->isEnabled());
        // The widgets are greyed only for the work: the model may not enable them.
        mui::set(render, MUIA_Disabled, LONG{FALSE});
        EXPECT_FALSE(qtview::WidgetOf(render)->isEnabled());
        row.act(*this, *edit);
        ToolWaiting(ToolWait::Poll);
        ToolWaiting(ToolWait::End);
        EndWork(WorkOutcome::Finished, "");
        EXPECT_TRUE(qtview::WidgetOf(render)->isEnabled());
        EXPECT_TRUE(edit->isEnabled());
        EXPECT_FALSE(WorkCancelled());
        EXPECT_THAT(RunLoop(0), IsEmpty());
        EXPECT_EQ(name->GetString(MUIA_String_Contents), "New Project");
    }
}

TEST_F(WorkTest, TypingDuringAToolWaitReachesTheFieldAfterwards)
{
    auto* edit = qobject_cast<QLineEdit*>(qtview::WidgetOf(name));
    ASSERT_NE(edit, nullptr);
    ToolWaiting(ToolWait::Begin);
    QTest::mouseClick(edit, Qt::LeftButton);
    // Where the click puts the cursor depends on the field's width.
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClicks(edit, "ab");
    ToolWaiting(ToolWait::Poll);
    ToolWaiting(ToolWait::End);
    EXPECT_EQ(name->GetString(MUIA_String_Contents), "New Project");
    EXPECT_EQ(edit->text(), QStringLiteral("New Project"));
    EXPECT_THAT(RunLoop(2), ElementsAre(ID_TYPED, ID_TYPED));
    EXPECT_EQ(name->GetString(MUIA_String_Contents), "New Projectab");
}

TEST_F(WorkTest, QuittingDuringWorkCancelsItAndQuitsAfterwards)
{
    const struct {
        const char* way;
        void (*act)(WorkTest&);
        LONG id; // 0: Ctrl-C, which the wait reports itself
        const char* answer = "Stop"; // to "A render is running. Stop it and quit?"
    } rows[] = {
        {"_Quit", [](WorkTest& t) { ClickThroughWindow(qtview::WidgetOf(t.quit)); }, MUIV_Application_ReturnID_Quit},
        {"Alt+Q",
         [](WorkTest& t) {
             QApplication::setActiveWindow(t.MainWidget());
             QTest::keyClick(t.MainWidget(), Qt::Key_Q, Qt::AltModifier);
         },
         MUIV_Application_ReturnID_Quit},
        {"close gadget", [](WorkTest& t) { t.MainWidget()->close(); }, MUIV_Application_ReturnID_Quit},
        {"menu Quit",
         [](WorkTest& t) { t.MainWidget()->menuBar()->actions().value(0)->menu()->actions().value(1)->trigger(); },
         MEN_QUIT},
        {"Ctrl-C", [](WorkTest&) { std::raise(SIGINT); }, 0, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.way);
        BeginWork("Rendering", 3);
        StepWork(1, "Crouton 1 of 3: intro");
        ToolWaiting(ToolWait::Begin);
        ClearToldLog();
        if (row.answer)
            QueueQuestionAnswer(row.answer);
        row.act(*this);
        for (int poll = 0; poll < 50 && !WorkCancelled(); ++poll)
            ToolWaiting(ToolWait::Poll);
        EXPECT_TRUE(WorkCancelled());
        EXPECT_THAT(Ids(), IsEmpty());
        EXPECT_TRUE(MainWidget()->isVisible());
        EXPECT_EQ(ToldLog().size(), row.answer ? 1u : 0u);
        ToolWaiting(ToolWait::End);
        EndWork(WorkOutcome::Cancelled, "Rendering cancelled.");

        // Any work begun before the quit is handed over stops at once.
        if (row.id != 0) {
            BeginWork("Rendering", 1);
            EXPECT_TRUE(WorkCancelled());
            EndWork(WorkOutcome::Cancelled, "");
        }
        if (row.id == 0) {
            EXPECT_EQ(Wait(MUI_APPLICATION_SIGNAL | SIGBREAKF_CTRL_C), SIGBREAKF_CTRL_C);
        } else {
            EXPECT_EQ(Wait(MUI_APPLICATION_SIGNAL | SIGBREAKF_CTRL_C), MUI_APPLICATION_SIGNAL);
            ULONG sigs = 0;
            EXPECT_EQ(mui::Application_NewInput(app, sigs), row.id);
        }
        app->returnIds().clear();
    }
}

// Answered "Continue", a quit during a render leaves the render running.
TEST_F(WorkTest, AQuitDuringARenderCanBeTakenBack)
{
    BeginWork("Rendering", 3);
    ToolWaiting(ToolWait::Begin);
    QueueQuestionAnswer("Continue");
    ClickThroughWindow(qtview::WidgetOf(quit));
    ToolWaiting(ToolWait::Poll);
    EXPECT_FALSE(WorkCancelled());
    ToolWaiting(ToolWait::End);
    EndWork(WorkOutcome::Finished, "");
    EXPECT_THAT(RunLoop(0), IsEmpty());
}

TEST_F(WorkTest, AFailureIsToldInAWindowOfItsOwn)
{
    const struct {
        const char* title;
        const char* failed;
    } rows[] = {{"Rendering", "Rendering failed"}, {"Generating Preview", "Generating Preview failed"}};
    const QString message = QStringLiteral("Crouton 2 (beach) could not be encoded: the folder /home/me/out does not exist.");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.title);
        BeginWork(row.title, 3);
        StepWork(2, "Crouton 2 of 3: beach");
        EndWork(WorkOutcome::Failed, message.toStdString());
        EXPECT_EQ(Progress(), nullptr);
        qtview::FailureWindow* failure = Failure();
        ASSERT_NE(failure, nullptr);
        EXPECT_EQ(failure->windowTitle(), QString::fromUtf8(row.failed));
        EXPECT_EQ(failure->findChild<QLabel*>("message")->text(), message);
        EXPECT_FALSE(failure->isModal());
        auto* ok = failure->findChild<QPushButton*>("ok");
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), QStringLiteral("&OK"));
        // The program's windows answer while it is open.
        QTest::mouseClick(qtview::WidgetOf(save), Qt::LeftButton);
        EXPECT_THAT(Ids(), ElementsAre(ID_SAVE));
        app->returnIds().clear();
        QTest::mouseClick(ok, Qt::LeftButton);
        QApplication::processEvents();
        EXPECT_EQ(Failure(), nullptr);
    }
}

TEST_F(WorkTest, AFinishedRenderIsToldInTheStatusLine)
{
    QMainWindow* window = MainWidget();
    const QString title = window->windowTitle();
    const QRect central = window->centralWidget()->geometry();
    BeginWork("Rendering", 1);
    StepWork(1, "Crouton 1 of 1: beach");
    EndWork(WorkOutcome::Finished, "Rendered /tmp/clipweaver-1000/RAM/GreatVideo.avi: 0:32, 4.1 MB");
    QApplication::processEvents();
    EXPECT_EQ(window->statusBar()->currentMessage(),
              QStringLiteral("Rendered /tmp/clipweaver-1000/RAM/GreatVideo.avi: 0:32, 4.1 MB"));
    EXPECT_EQ(window->windowTitle(), title);
    EXPECT_EQ(window->centralWidget()->geometry(), central);
    EXPECT_EQ(Failure(), nullptr);
}

TEST_F(WorkTest, ABusyCursorShowsWhileAToolRunsButNotOverTheProgressWindow)
{
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ToolWaiting(ToolWait::Begin);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ToolWaiting(ToolWait::End);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    BeginWork("Rendering", 2);
    ASSERT_NE(Progress(), nullptr);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(Progress(), &enter);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(Progress(), &leave);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EndWork(WorkOutcome::Finished, "");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WorkTest, InputToTheOtherWindowsIsHeldToo)
{
    mui::set(editor, MUIA_Window_Open, LONG{TRUE});
    ToolWaiting(ToolWait::Begin);
    qtview::WidgetOf(editor)->close();
    ClickThroughWindow(qtview::WidgetOf(save));
    ToolWaiting(ToolWait::Poll);
    ToolWaiting(ToolWait::End);
    EXPECT_THAT(Ids(), IsEmpty());
    EXPECT_FALSE(WorkCancelled());
    EXPECT_THAT(RunLoop(2), ElementsAre(ID_EDITOR_CLOSE, ID_SAVE));
}

TEST_F(WorkTest, TheOtherWindowsOpenBesideTheMainWindowAndWhereTheyWereLeft)
{
    QWidget* mainWidget = MainWidget();
    const QRect screen = mainWidget->screen()->availableGeometry();
    mainWidget->move(screen.topLeft() + QPoint(20, 30));
    QApplication::processEvents();
    mui::set(editor, MUIA_Window_Open, LONG{TRUE});
    QWidget* editorWidget = qtview::WidgetOf(editor);
    ASSERT_TRUE(editorWidget->isVisible());
    const QRect mainFrame = mainWidget->frameGeometry();
    const QRect editorFrame = editorWidget->frameGeometry();
    EXPECT_TRUE(screen.contains(editorFrame)) << editorFrame.x() << "," << editorFrame.y();
    EXPECT_FALSE(editorFrame.intersects(mainFrame));
    EXPECT_EQ(editorFrame.top(), mainFrame.top());

    // The user moves it; closed and opened again, it is where it was left.
    const QPoint moved = screen.topLeft() + QPoint(40, 60);
    editorWidget->move(moved);
    mui::set(editor, MUIA_Window_Open, LONG{FALSE});
    mui::set(editor, MUIA_Window_Open, LONG{TRUE});
    EXPECT_EQ(editorWidget->pos(), moved);
}

TEST(WindowPlacement, BesideTheMainWindowAndOnTheScreen)
{
    const QRect screen(0, 0, 1280, 900);
    const struct {
        const char* where;
        QRect main;
        QSize size;
        QPoint corner;
    } rows[] = {
        {"room on the right", {10, 20, 600, 500}, {400, 300}, {618, 20}},
        {"room on the left only", {700, 50, 500, 400}, {400, 300}, {292, 50}},
        {"room below only", {200, 50, 700, 400}, {400, 300}, {200, 458}},
        {"room above only", {200, 500, 700, 380}, {400, 300}, {200, 192}},
        {"no room, more on the right", {200, 50, 700, 800}, {400, 300}, {880, 50}},
        {"no room, more on the left", {300, 50, 700, 800}, {400, 300}, {0, 50}},
        {"too low for the main window's top", {10, 700, 600, 150}, {400, 300}, {618, 600}},
        {"larger than the screen", {10, 20, 600, 500}, {1400, 1000}, {0, 0}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(qtview::detail::PlaceBeside(row.main, row.size, screen), row.corner) << row.where;
}

TEST(WindowPlacement, ARememberedPlaceIsBroughtOntoTheScreen)
{
    const QRect screen(0, 0, 1280, 900);
    const struct {
        QPoint corner;
        QPoint kept;
    } rows[] = {{{100, 100}, {100, 100}}, {{-50, 30}, {0, 30}}, {{1200, 800}, {880, 600}}};
    for (const auto& row : rows)
        EXPECT_EQ(qtview::detail::KeepOnScreen(row.corner, QSize(400, 300), screen), row.kept);
}

} // namespace

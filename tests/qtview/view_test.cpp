// The Qt view of the object model: what the widgets show, and that a user's
// clicks and typing reach the model as the same mui::User* calls the script
// driver makes, while sets made by code never come back.
#include "os/asl.h"
#include "mui/mui.h"
#include "qtview/qtview.h"
#include "qtview/widgets.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeySequence>
#include <QUrl>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

enum : LONG {
    ID_SAVE = 100,
    ID_CLOSE,
    ID_CYCLE,
    ID_SLIDE,
    ID_RADIO,
    ID_SELECT,
    ID_DROP,
    ID_DOUBLECLICK,
    ID_TYPED,
    ID_OK,
    ID_FILES,
};
constexpr LONG MEN_NEW = 3;
constexpr LONG MEN_QUIT = 7;

// One window with a gadget of every kind, a second window and a menu strip.
class ViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        qtview::SetActionObserver([this](std::string_view action) { actions.emplace_back(action); });
        auto stringObject = mui::MakeString("abc", 8);
        string = stringObject.get();
        auto buttonObject = mui::MakeButton("_Save");
        button = buttonObject.get();
        auto cycleObject = mui::MakeCycle({"One", "Two", "Three"});
        cycle = cycleObject.get();
        auto sliderObject = mui::MakeSlider(0, 100, 10);
        slider = sliderObject.get();
        auto radioObject = mui::MakeRadio({"Frame 1", "Frame 2", "Frame 3"});
        radio = radioObject.get();
        auto fieldString = mui::MakeString("", 256);
        fileString = fieldString.get();
        auto fieldObject = mui::MakePopasl(std::move(fieldString), mui::MakePopButton());
        field = fieldObject.get();
        auto listObject = mui::MakeNList({"e0", "e1", "e2", "e3"});
        list = listObject.get();
        list->SetAttrs({{MUIA_NList_DragSortable, LONG{TRUE}}});
        auto pictureObject = mui::MakeNBitmap("NoVideoLoaded.png");
        picture = pictureObject.get();
        auto labelObject = mui::MakeLabel("Name: ");
        label = labelObject.get();
        auto textObject = mui::MakeText("\x1b" "cCentred");
        text = textObject.get();

        std::vector<mui::ObjectPtr> row;
        row.push_back(std::move(labelObject));
        row.push_back(std::move(stringObject));
        std::vector<mui::ObjectPtr> children;
        children.push_back(mui::MakeGroup(true, std::move(row)));
        children.push_back(std::move(buttonObject));
        children.push_back(std::move(cycleObject));
        children.push_back(std::move(sliderObject));
        children.push_back(std::move(radioObject));
        children.push_back(std::move(fieldObject));
        children.push_back(mui::MakeNListview(std::move(listObject)));
        children.push_back(std::move(pictureObject));
        children.push_back(std::move(textObject));
        auto windowObject = mui::MakeWindow("Test Window", mui::MakeGroup(false, std::move(children)));
        window = windowObject.get();

        auto okObject = mui::MakeButton("_OK");
        ok = okObject.get();
        std::vector<mui::ObjectPtr> otherChildren;
        otherChildren.push_back(std::move(okObject));
        auto otherObject = mui::MakeWindow("Other", mui::MakeGroup(false, std::move(otherChildren)));
        other = otherObject.get();

        std::vector<mui::ObjectPtr> windows;
        windows.push_back(std::move(otherObject));
        windows.push_back(std::move(windowObject));
        application = mui::MakeApplication("Test", std::move(windows),
            mui::MakeMenustrip({{mui::NM_TITLE, "Project", 1},
                {mui::NM_ITEM, "New", MEN_NEW},
                {mui::NM_ITEM, "Save & Quit", MEN_QUIT},
                {mui::NM_END, "", 0}}));
        ASSERT_NE(application, nullptr);
        app = application.get();

        mui::Notify(button, MUIA_Pressed, FALSE, app, ID_SAVE);
        mui::Notify(window, MUIA_Window_CloseRequest, TRUE, app, ID_CLOSE);
        mui::Notify(cycle, MUIA_Cycle_Active, MUIV_EveryTime, app, ID_CYCLE);
        mui::Notify(slider, MUIA_Numeric_Value, MUIV_EveryTime, app, ID_SLIDE);
        mui::Notify(radio, MUIA_Radio_Active, MUIV_EveryTime, app, ID_RADIO);
        mui::Notify(list, MUIA_NList_Active, MUIV_EveryTime, app, ID_SELECT);
        mui::Notify(list, MUIA_NList_InsertPosition, MUIV_EveryTime, app, ID_DROP);
        mui::Notify(list, MUIA_NList_DoubleClick, 0, app, ID_DOUBLECLICK);
        mui::Notify(string, MUIA_String_Contents, MUIV_EveryTime, app, ID_TYPED);
        mui::Notify(ok, MUIA_Pressed, FALSE, app, ID_OK);
        mui::set(window, MUIA_Window_Open, LONG{TRUE});
    }

    void TearDown() override
    {
        mui::DisposeObject(std::move(application));
        qtview::SetActionObserver({});
        ClearAslAnswers();
    }

    template <typename T>
    T* Widget(const mui::Object* object)
    {
        QWidget* widget = qtview::WidgetOf(object);
        T* typed = qobject_cast<T*>(widget);
        if (typed == nullptr && widget != nullptr)
            typed = widget->findChild<T*>();
        return typed;
    }

    std::vector<LONG> TakeIds()
    {
        std::vector<LONG> ids(app->returnIds().begin(), app->returnIds().end());
        app->returnIds().clear();
        return ids;
    }

    qtview::Frontend frontend;
    std::vector<std::string> actions;
    mui::ObjectPtr application;
    mui::Object* app = nullptr;
    mui::Object* window = nullptr;
    mui::Object* other = nullptr;
    mui::Object* ok = nullptr;
    mui::Object* string = nullptr;
    mui::Object* button = nullptr;
    mui::Object* cycle = nullptr;
    mui::Object* slider = nullptr;
    mui::Object* radio = nullptr;
    mui::Object* field = nullptr;
    mui::Object* fileString = nullptr;
    mui::Object* list = nullptr;
    mui::Object* picture = nullptr;
    mui::Object* label = nullptr;
    mui::Object* text = nullptr;
};

// Files dragged from a file manager onto a window that takes them reach the
// model as one drop, through Qt's own drag and drop events.
TEST_F(ViewTest, FilesDroppedOnAWindowReachTheModel)
{
    mui::Notify(window, MUIA_AppMessage, MUIV_EveryTime, app, ID_FILES);
    QWidget* widget = qtview::WidgetOf(window);
    ASSERT_NE(widget, nullptr);
    const struct {
        const char* what;
        bool appWindow;
        QList<QUrl> urls;
        std::vector<LONG> ids;
        std::optional<std::string> files;
    } rows[] = {
        {"two files", true, {QUrl::fromLocalFile("/v/a b.mp4"), QUrl::fromLocalFile("/v/p.cwproj")}, {ID_FILES},
         "/v/a b.mp4\n/v/p.cwproj"},
        {"no local file", true, {QUrl("https://example.org/x.mp4")}, {}, std::nullopt},
        {"a window that takes no drops", false, {QUrl::fromLocalFile("/v/a.mp4")}, {}, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        window->SetAttrs({{MUIA_Window_AppWindow, LONG{row.appWindow ? TRUE : FALSE}}, {MUIA_AppMessage, std::string()}});
        TakeIds();
        QMimeData data;
        data.setUrls(row.urls);
        const QPoint where = widget->rect().center();
        QDragEnterEvent enter(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &enter);
        EXPECT_EQ(enter.isAccepted(), !row.ids.empty());
        QDropEvent drop(QPointF(where), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &drop);
        EXPECT_EQ(TakeIds(), row.ids);
        if (row.files) {
            EXPECT_EQ(window->GetString(MUIA_AppMessage), row.files);
        }
    }
}

// Menu items show their keys; an item without a title is not shown.
TEST(ViewMenus, ShortcutsShowAndUntitledItemsHide)
{
    const qtview::Frontend frontend;
    std::vector<mui::ObjectPtr> windows;
    windows.push_back(mui::MakeWindow("Keys", mui::MakeGroup(false, {})));
    mui::Object* window = windows.back().get();
    mui::ObjectPtr application = mui::MakeApplication("Keys", std::move(windows),
        mui::MakeMenustrip({{mui::NM_TITLE, "Project", 1},
            {mui::NM_ITEM, "Save", 2, "Ctrl+S"},
            {mui::NM_ITEM, "", 3},
            {mui::NM_ITEM, "Help", 4, "F1"},
            {mui::NM_END, "", 0}}));
    ASSERT_NE(application, nullptr);
    mui::set(window, MUIA_Window_Open, LONG{TRUE});
    auto* main = qobject_cast<QMainWindow*>(qtview::WidgetOf(window));
    ASSERT_NE(main, nullptr);
    const QList<QAction*> actions = main->menuBar()->actions().front()->menu()->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_FALSE(actions[1]->isVisible());
    EXPECT_EQ(actions[2]->shortcut(), QKeySequence(Qt::Key_F1));
    // A title given later shows the item.
    mui::set(mui::FindMenuObject(application.get(), 3), MUIA_Menuitem_Title, std::string("1  Holiday.cwproj"));
    EXPECT_TRUE(actions[1]->isVisible());
    mui::DisposeObject(std::move(application));
}

TEST(ViewTexts, ButtonLabelsTurnTheirShortcutIntoAMnemonic)
{
    EXPECT_EQ(qtview::ButtonText("_Save"), QStringLiteral("&Save"));
    EXPECT_EQ(qtview::ButtonText("D_own"), QStringLiteral("D&own"));
    EXPECT_EQ(qtview::ButtonText("_OK!"), QStringLiteral("&OK!"));
    EXPECT_EQ(qtview::ButtonText("Load & _Go"), QStringLiteral("Load && &Go"));
    EXPECT_EQ(qtview::ButtonText("Plain"), QStringLiteral("Plain"));
    EXPECT_EQ(qtview::ButtonText("End_"), QStringLiteral("End_"));
}

TEST(ViewTexts, TextCodesSetTheAlignmentAndAreStripped)
{
    auto left = qtview::ParseDisplayText("\x1b" "lLength: ", Qt::AlignRight);
    EXPECT_EQ(left.text, QStringLiteral("Length: "));
    EXPECT_EQ(left.alignment, Qt::AlignLeft);
    auto centred = qtview::ParseDisplayText("\x1b" "cWelcome to Clipweaver!\n\nline", Qt::AlignLeft);
    EXPECT_EQ(centred.text, QStringLiteral("Welcome to Clipweaver!\n\nline"));
    EXPECT_EQ(centred.alignment, Qt::AlignHCenter);
    auto plain = qtview::ParseDisplayText("Width: ", Qt::AlignRight);
    EXPECT_EQ(plain.text, QStringLiteral("Width: "));
    EXPECT_EQ(plain.alignment, Qt::AlignRight);
    auto bold = qtview::ParseDisplayText("\x1b" "c\x1b" "bTitle", Qt::AlignLeft);
    EXPECT_EQ(bold.text, QStringLiteral("Title"));
    EXPECT_TRUE(bold.bold);
    // Only leading codes are codes.
    auto inner = qtview::ParseDisplayText("a\x1b" "cb", Qt::AlignLeft);
    EXPECT_EQ(inner.text.size(), 4);
}

TEST_F(ViewTest, EveryObjectShowsAsItsNaturalWidget)
{
    auto* windowWidget = qobject_cast<QMainWindow*>(qtview::WidgetOf(window));
    ASSERT_NE(windowWidget, nullptr);
    EXPECT_TRUE(windowWidget->isVisible());
    EXPECT_EQ(windowWidget->windowTitle(), QStringLiteral("Test Window"));
    EXPECT_EQ(Widget<QLineEdit>(string)->text(), QStringLiteral("abc"));
    EXPECT_EQ(Widget<QPushButton>(button)->text(), QStringLiteral("&Save"));
    EXPECT_EQ(Widget<QComboBox>(cycle)->count(), 3);
    EXPECT_EQ(Widget<QComboBox>(cycle)->currentIndex(), 0);
    EXPECT_EQ(Widget<QSlider>(slider)->value(), 10);
    EXPECT_EQ(Widget<QSlider>(slider)->maximum(), 100);
    EXPECT_EQ(qtview::WidgetOf(radio)->findChildren<QRadioButton*>().size(), 3);
    EXPECT_NE(Widget<QLineEdit>(field), nullptr);
    EXPECT_NE(Widget<QToolButton>(field), nullptr);
    EXPECT_EQ(Widget<QListWidget>(list)->count(), 4);
    EXPECT_EQ(Widget<QListWidget>(list)->item(2)->text(), QStringLiteral("e2"));
    EXPECT_EQ(Widget<QListWidget>(list)->dragDropMode(), QAbstractItemView::InternalMove);
    EXPECT_EQ(Widget<QListWidget>(list)->selectionMode(), QAbstractItemView::SingleSelection);

    auto* labelWidget = Widget<QLabel>(label);
    EXPECT_EQ(labelWidget->text(), QStringLiteral("Name: "));
    EXPECT_TRUE(labelWidget->alignment() & Qt::AlignRight);
    auto* textWidget = Widget<QLabel>(text);
    EXPECT_EQ(textWidget->text(), QStringLiteral("Centred"));
    EXPECT_TRUE(textWidget->alignment() & Qt::AlignHCenter);

    auto* pictureWidget = dynamic_cast<qtview::PictureLabel*>(qtview::WidgetOf(picture));
    ASSERT_NE(pictureWidget, nullptr);
    EXPECT_TRUE(pictureWidget->HasPicture());
    EXPECT_EQ(pictureWidget->sizeHint(), QSize(160, 120));
    // The other window is not open.
    EXPECT_FALSE(qtview::WidgetOf(other)->isVisible());
}

TEST_F(ViewTest, WindowsOpenCloseAndRetitleWithTheModel)
{
    QWidget* otherWidget = qtview::WidgetOf(other);
    mui::set(other, MUIA_Window_Open, LONG{TRUE});
    EXPECT_TRUE(otherWidget->isVisible());
    mui::set(other, MUIA_Window_Title, std::string("Renamed"));
    EXPECT_EQ(otherWidget->windowTitle(), QStringLiteral("Renamed"));
    mui::set(other, MUIA_Window_Open, LONG{FALSE});
    EXPECT_FALSE(otherWidget->isVisible());
    EXPECT_THAT(actions, IsEmpty());
}

TEST_F(ViewTest, TheCloseGadgetAsksTheModelAndTheWindowStays)
{
    QWidget* windowWidget = qtview::WidgetOf(window);
    EXPECT_FALSE(windowWidget->close());
    EXPECT_TRUE(windowWidget->isVisible());
    EXPECT_THAT(TakeIds(), ElementsAre(ID_CLOSE));
    EXPECT_THAT(actions, ElementsAre("UserCloseWindow"));
    // Each click asks again.
    windowWidget->close();
    EXPECT_THAT(TakeIds(), ElementsAre(ID_CLOSE));
    mui::set(window, MUIA_Window_Open, LONG{FALSE});
    EXPECT_FALSE(windowWidget->isVisible());
}

TEST_F(ViewTest, AClickOnAButtonQueuesItsReturnId)
{
    QTest::mouseClick(Widget<QPushButton>(button), Qt::LeftButton);
    EXPECT_THAT(TakeIds(), ElementsAre(ID_SAVE));
    EXPECT_THAT(actions, ElementsAre("UserPress"));
    EXPECT_EQ(button->GetLong(MUIA_Pressed), FALSE);
}

TEST_F(ViewTest, DisabledGadgetsAreDisabledWidgets)
{
    mui::set(button, MUIA_Disabled, LONG{TRUE});
    EXPECT_FALSE(Widget<QPushButton>(button)->isEnabled());
    QTest::mouseClick(Widget<QPushButton>(button), Qt::LeftButton);
    EXPECT_THAT(TakeIds(), IsEmpty());
    mui::set(button, MUIA_Disabled, LONG{FALSE});
    EXPECT_TRUE(Widget<QPushButton>(button)->isEnabled());
    mui::set(string, MUIA_Disabled, LONG{TRUE});
    EXPECT_FALSE(Widget<QLineEdit>(string)->isEnabled());
}

TEST_F(ViewTest, TypingUpdatesTheStringContents)
{
    QLineEdit* edit = Widget<QLineEdit>(string);
    edit->clear();
    QTest::keyClicks(edit, "Hi!");
    EXPECT_EQ(string->GetString(MUIA_String_Contents), "Hi!");
    EXPECT_THAT(actions, ElementsAre("UserType", "UserType", "UserType"));
    EXPECT_THAT(TakeIds(), ElementsAre(ID_TYPED, ID_TYPED, ID_TYPED));
    // At most MaxLen - 1 characters go in.
    QTest::keyClicks(edit, "12345678");
    EXPECT_EQ(string->GetString(MUIA_String_Contents), "Hi!1234");
}

TEST_F(ViewTest, ASetMadeByCodeShowsWithoutComingBack)
{
    mui::nnset(string, MUIA_String_Contents, std::string("RAM:GreatVideo.avi"));
    mui::set(cycle, MUIA_Cycle_Active, LONG{2});
    mui::set(slider, MUIA_Numeric_Value, LONG{42});
    mui::set(radio, MUIA_Radio_Active, LONG{1});
    mui::set(list, MUIA_NList_Active, LONG{3});
    mui::set(text, MUIA_Text_Contents, std::string("\x1b" "l12 Seconds"));
    mui::set(button, MUIA_Text_Contents, std::string("_Render"));

    EXPECT_EQ(Widget<QLineEdit>(string)->text(), QStringLiteral("RAM:GreatVideo.avi"));
    EXPECT_EQ(Widget<QComboBox>(cycle)->currentIndex(), 2);
    EXPECT_EQ(Widget<QSlider>(slider)->value(), 42);
    EXPECT_EQ(qtview::WidgetOf(slider)->findChild<QLabel*>()->text(), QStringLiteral("42"));
    EXPECT_TRUE(qtview::WidgetOf(radio)->findChildren<QRadioButton*>().at(1)->isChecked());
    EXPECT_EQ(Widget<QListWidget>(list)->currentRow(), 3);
    EXPECT_EQ(Widget<QLabel>(text)->text(), QStringLiteral("12 Seconds"));
    EXPECT_TRUE(Widget<QLabel>(text)->alignment() & Qt::AlignLeft);
    EXPECT_EQ(Widget<QPushButton>(button)->text(), QStringLiteral("&Render"));

    // The view called no user action; only the code's own sets notified.
    EXPECT_THAT(actions, IsEmpty());
    EXPECT_THAT(TakeIds(), ElementsAre(ID_CYCLE, ID_SLIDE, ID_RADIO, ID_SELECT));
}

TEST_F(ViewTest, AComboBoxChangeRaisesTheCycleNotificationOnce)
{
    QComboBox* combo = Widget<QComboBox>(cycle);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(cycle->GetLong(MUIA_Cycle_Active), 1);
    EXPECT_THAT(TakeIds(), ElementsAre(ID_CYCLE));
    EXPECT_THAT(actions, ElementsAre("UserCycle"));
}

TEST_F(ViewTest, SlidingAndChoosingReachTheModel)
{
    QSlider* knob = Widget<QSlider>(slider);
    QTest::keyClick(knob, Qt::Key_Right);
    EXPECT_EQ(slider->GetLong(MUIA_Numeric_Value), 11);
    EXPECT_EQ(qtview::WidgetOf(slider)->findChild<QLabel*>()->text(), QStringLiteral("11"));
    EXPECT_THAT(TakeIds(), ElementsAre(ID_SLIDE));

    QRadioButton* third = qtview::WidgetOf(radio)->findChildren<QRadioButton*>().at(2);
    QTest::mouseClick(third, Qt::LeftButton, {}, QPoint(4, third->height() / 2));
    EXPECT_EQ(radio->GetLong(MUIA_Radio_Active), 2);
    EXPECT_THAT(TakeIds(), ElementsAre(ID_RADIO));
    EXPECT_THAT(actions, ElementsAre("UserSlide", "UserRadio"));
}

TEST_F(ViewTest, ClicksInAListSelectAndDoubleClicksEdit)
{
    QListWidget* widget = Widget<QListWidget>(list);
    const QPoint second = widget->visualItemRect(widget->item(1)).center();
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, second);
    EXPECT_EQ(list->GetLong(MUIA_NList_Active), 1);
    EXPECT_THAT(TakeIds(), ElementsAre(ID_SELECT));
    QTest::mouseDClick(widget->viewport(), Qt::LeftButton, {}, second);
    EXPECT_THAT(TakeIds(), ElementsAre(ID_DOUBLECLICK));
    EXPECT_EQ(list->GetLong(MUIA_NList_DoubleClick), 1);
}

TEST_F(ViewTest, TheListFollowsTheModelsEntries)
{
    QListWidget* widget = Widget<QListWidget>(list);
    mui::NList_InsertSingle(list, "new", MUIV_NList_Insert_Top);
    ASSERT_EQ(widget->count(), 5);
    EXPECT_EQ(widget->item(0)->text(), QStringLiteral("new"));
    mui::NList_Move(list, 0, 5);
    EXPECT_EQ(widget->item(4)->text(), QStringLiteral("new"));
    EXPECT_EQ(widget->item(0)->text(), QStringLiteral("e0"));
    mui::NList_Remove(list, 0);
    EXPECT_EQ(widget->count(), 4);
    mui::NList_Clear(list);
    EXPECT_EQ(widget->count(), 0);
    EXPECT_THAT(actions, IsEmpty());
}

TEST_F(ViewTest, ImageEntriesShowTheirSlotsPicture)
{
    mui::Object* image = list->AdoptImage(mui::MakeNBitmap("NoImageLoaded.png"));
    mui::NList_UseImage(list, image, 1, 0);
    list->SetAttrs({{MUIA_NList_MinLineHeight, LONG{120}}});
    mui::NList_InsertSingle(list, "\x1b" "o[1]", MUIV_NList_Insert_Bottom);
    mui::NList_InsertSingle(list, "\x1b" "o[2]", MUIV_NList_Insert_Bottom);
    QListWidget* widget = Widget<QListWidget>(list);
    ASSERT_EQ(widget->count(), 6);
    QListWidgetItem* shown = widget->item(4);
    EXPECT_TRUE(shown->text().isEmpty());
    ASSERT_FALSE(shown->icon().isNull());
    EXPECT_EQ(shown->icon().availableSizes().value(0), QSize(160, 120));
    EXPECT_GE(shown->sizeHint().height(), 120);
    // An empty slot shows nothing; binding it later shows its picture.
    EXPECT_TRUE(widget->item(5)->icon().isNull());
    mui::Object* second = list->AdoptImage(mui::MakeNBitmap("NoVideoLoaded.png"));
    mui::NList_UseImage(list, second, 2, 0);
    EXPECT_FALSE(widget->item(5)->icon().isNull());
    // Changing the picture of a slot redraws the rows that show it.
    mui::set(second, MUIA_NBitmap_Normal, std::monostate{});
    EXPECT_TRUE(widget->item(5)->icon().isNull());
}

TEST_F(ViewTest, ADragInTheListReportsTheActiveEntryThenTheDrop)
{
    QListWidget* widget = Widget<QListWidget>(list);
    // The press on entry 0 that starts the drag.
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, widget->visualItemRect(widget->item(0)).center());
    EXPECT_THAT(TakeIds(), ElementsAre(ID_SELECT));

    // Dropped on the lower half of entry 2: it ends as entry 2.
    const QRect third = widget->visualItemRect(widget->item(2));
    const QPoint lower(third.center().x(), third.bottom() - 1);
    std::unique_ptr<QMimeData> data(widget->model()->mimeData({widget->model()->index(0, 0)}));
    QDropEvent drop(QPointF(lower), Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    // Qt hands a drop only to the target of a running drag, so the event
    // goes to the list's handler directly.
    auto* target = dynamic_cast<qtview::ListWidget*>(widget);
    ASSERT_NE(target, nullptr);
    target->HandleDrop(drop);
    EXPECT_FALSE(drop.isAccepted());

    EXPECT_THAT(actions, ElementsAre("UserClick", "UserDrag"));
    EXPECT_THAT(TakeIds(), ElementsAre(ID_SELECT, ID_DROP));
    EXPECT_EQ(list->GetLong(MUIA_NList_Active), 2);
    EXPECT_EQ(list->GetLong(MUIA_NList_InsertPosition), 2);
    EXPECT_THAT(list->entries(), ElementsAre("e1", "e2", "e0", "e3"));
    // The view followed the model's move and nothing else.
    ASSERT_EQ(widget->count(), 4);
    EXPECT_EQ(widget->item(2)->text(), QStringLiteral("e0"));
    EXPECT_EQ(widget->item(0)->text(), QStringLiteral("e1"));
    EXPECT_EQ(widget->currentRow(), 2);
}

TEST_F(ViewTest, DropDestinationsCountTheEntryAsMoved)
{
    auto* widget = dynamic_cast<qtview::ListWidget*>(Widget<QListWidget>(list));
    ASSERT_NE(widget, nullptr);
    auto upper = [widget](int row) {
        const QRect rect = widget->visualItemRect(widget->item(row));
        return QPoint(rect.center().x(), rect.top() + 1);
    };
    auto lower = [widget](int row) {
        const QRect rect = widget->visualItemRect(widget->item(row));
        return QPoint(rect.center().x(), rect.bottom() - 1);
    };
    EXPECT_EQ(widget->DropDestination(0, upper(2)), 1);
    EXPECT_EQ(widget->DropDestination(0, lower(2)), 2);
    EXPECT_EQ(widget->DropDestination(3, upper(0)), 0);
    EXPECT_EQ(widget->DropDestination(3, lower(0)), 1);
    EXPECT_EQ(widget->DropDestination(1, upper(1)), -1);
    EXPECT_EQ(widget->DropDestination(1, lower(0)), -1);
    // Below the last entry: the end.
    EXPECT_EQ(widget->DropDestination(0, QPoint(5, widget->viewport()->height() - 2)), 3);
}

TEST_F(ViewTest, TheFirstWindowOpenedCarriesTheMenuStrip)
{
    auto* main = qobject_cast<QMainWindow*>(qtview::WidgetOf(window));
    const QList<QAction*> menus = main->menuBar()->actions();
    ASSERT_EQ(menus.size(), 1);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("Project"));
    const QList<QAction*> items = menus[0]->menu()->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), QStringLiteral("New"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("Save && Quit"));
    items[1]->trigger();
    EXPECT_THAT(TakeIds(), ElementsAre(MEN_QUIT));
    EXPECT_THAT(actions, ElementsAre("UserChooseMenu"));

    mui::set(other, MUIA_Window_Open, LONG{TRUE});
    EXPECT_EQ(qobject_cast<QMainWindow*>(qtview::WidgetOf(other))->menuWidget(), nullptr);
}

TEST_F(ViewTest, ThePopUpButtonAsksTheFileRequester)
{
    QueueAslAnswer(AslAnswer{"/tmp/music", "song.mp3"});
    mui::set(fileString, MUIA_String_Contents, std::string("RAM:old.mp3"));
    QTest::mouseClick(Widget<QToolButton>(field), Qt::LeftButton);
    EXPECT_THAT(actions, ElementsAre("UserPopRequester"));
    EXPECT_EQ(fileString->GetString(MUIA_String_Contents), "/tmp/music/song.mp3");
    EXPECT_EQ(Widget<QLineEdit>(field)->text(), QStringLiteral("/tmp/music/song.mp3"));
    ASSERT_EQ(AslRequestLog().size(), 1u);
    EXPECT_EQ(AslRequestLog()[0].initialDrawer, "RAM:");
    EXPECT_EQ(AslRequestLog()[0].initialFile, "old.mp3");
}

TEST_F(ViewTest, PicturesFollowTheirFile)
{
    auto* widget = dynamic_cast<qtview::PictureLabel*>(qtview::WidgetOf(picture));
    mui::set(picture, MUIA_NBitmap_Normal, std::monostate{});
    EXPECT_FALSE(widget->HasPicture());
    EXPECT_EQ(widget->sizeHint(), QSize(0, 0));
    mui::set(picture, MUIA_NBitmap_Normal, std::string("BlankSpacer.png"));
    EXPECT_TRUE(widget->HasPicture());
    EXPECT_EQ(widget->sizeHint(), QSize(16, 90));
    mui::set(picture, MUIA_NBitmap_Normal, std::string("NoSuchPicture.png"));
    EXPECT_FALSE(widget->HasPicture());
}

TEST_F(ViewTest, DisposingTheApplicationDropsItsWidgets)
{
    QPointer<QWidget> windowWidget = qtview::WidgetOf(window);
    QPointer<QWidget> buttonWidget = qtview::WidgetOf(button);
    ASSERT_TRUE(windowWidget);
    mui::DisposeObject(std::move(application));
    EXPECT_TRUE(windowWidget.isNull());
    EXPECT_TRUE(buttonWidget.isNull());
    EXPECT_EQ(qtview::WidgetOf(window), nullptr);
}

TEST(ViewAttach, OnlyApplicationsMadeWhileTheFrontEndLivesGetWidgets)
{
    auto before = mui::MakeApplication("Before", {}, nullptr);
    mui::Object* early = before.get();
    {
        qtview::Frontend frontend;
        auto window = mui::MakeWindow("W", mui::MakeGroup(false, {}));
        mui::Object* shown = window.get();
        std::vector<mui::ObjectPtr> windows;
        windows.push_back(std::move(window));
        auto application = mui::MakeApplication("During", std::move(windows), nullptr);
        EXPECT_NE(qtview::WidgetOf(shown), nullptr);
        EXPECT_EQ(early->view(), nullptr);
        mui::DisposeObject(std::move(application));
    }
    mui::DisposeObject(std::move(before));
}

TEST(ViewAttach, AnApplicationThatOutlivesTheFrontEndIsLetGo)
{
    mui::ObjectPtr application;
    QPointer<QWidget> widget;
    {
        qtview::Frontend frontend;
        auto window = mui::MakeWindow("W", mui::MakeGroup(false, {}));
        mui::Object* shown = window.get();
        std::vector<mui::ObjectPtr> windows;
        windows.push_back(std::move(window));
        application = mui::MakeApplication("Outliving", std::move(windows), nullptr);
        widget = qtview::WidgetOf(shown);
        ASSERT_TRUE(widget);
    }
    EXPECT_TRUE(widget.isNull());
    EXPECT_EQ(application->view(), nullptr);
    mui::DisposeObject(std::move(application));
}

} // namespace

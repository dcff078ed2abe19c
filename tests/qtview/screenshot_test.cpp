// The program's three windows as the real view draws them: screenshots under
// the build folder (screenshots/*.png), every text whole, and the main
// window's arrangement.
#include "gui/vocabulary.h"
#include "gui/windows.h"
#include "mui/mui.h"
#include "qtview/qtview.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class ScreenshotTest : public testing::Test {
protected:
    void SetUp() override
    {
        application = BuildApplication({"Beach at dawn", "Harbour walk", "Sunset timelapse"});
        ASSERT_NE(application, nullptr);
        // The visual list shows the croutons' pictures.
        const std::vector<std::string> pictures = {"NoImageLoaded.png", "NoKeyFrame.png", "NoVideoLoaded.png"};
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            const auto slot = static_cast<LONG>(i + 1);
            mui::NList_UseImage(gVisualList, gVisualList->AdoptImage(mui::MakeNBitmap(pictures[i])), slot, 0);
            mui::NList_InsertSingle(gVisualList, "\x1b" "o[" + std::to_string(slot) + "]", MUIV_NList_Insert_Bottom);
        }
        mui::nnset(gCroutonList, MUIA_NList_Active, LONG{1});
        mui::nnset(gVisualList, MUIA_NList_Active, LONG{1});
        // The main window opens first, as in the program.
        mui::set(gWindows[WINDOW_MAIN], MUIA_Window_Open, LONG{TRUE});
        mui::set(gWindows[WINDOW_CROUTONEDITOR], MUIA_Window_Open, LONG{TRUE});
#ifndef CLIPWEAVER_BASIC
        mui::set(gWindows[WINDOW_ABOUT], MUIA_Window_Open, LONG{TRUE});
#endif
        QApplication::processEvents();
    }

    void TearDown() override
    {
        mui::DisposeObject(std::move(application));
        ForgetGadgets();
    }

    QWidget* Window(Windows window) { return qtview::WidgetOf(gWindows[window]); }

    // Saves the window's picture as screenshots/<name>.png under the build
    // folder and checks that it is a sane size and that no text is cut.
    void Shoot(Windows which, const QString& name)
    {
        QWidget* window = Window(which);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(window->isVisible());
        const QPixmap shot = window->grab();
        QDir folder(QStringLiteral(CW_BINARY_DIR));
        ASSERT_TRUE(folder.mkpath(QStringLiteral("screenshots")));
#ifdef CLIPWEAVER_BASIC
        const QString program = QStringLiteral("basic_");
#else
        const QString program;
#endif
        const QString file = folder.filePath(QStringLiteral("screenshots/") + program + name + QStringLiteral(".png"));
        ASSERT_TRUE(shot.save(file, "PNG")) << file.toStdString();
        // Fits the screen the program starts on (1280x900).
        EXPECT_GE(shot.width(), 200);
        EXPECT_GE(shot.height(), 100);
        EXPECT_LE(shot.width(), 1280);
        EXPECT_LE(shot.height(), 900);

        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (label->text().isEmpty() || !label->isVisibleTo(window))
                continue;
            EXPECT_LE(label->sizeHint().width(), label->width()) << "cut: " << label->text().toStdString();
            EXPECT_LE(label->sizeHint().height(), label->height()) << "cut: " << label->text().toStdString();
        }
        for (QPushButton* button : window->findChildren<QPushButton*>()) {
            if (!button->isVisibleTo(window))
                continue;
            EXPECT_LE(button->sizeHint().width(), button->width()) << "cut: " << button->text().toStdString();
        }
        for (QComboBox* combo : window->findChildren<QComboBox*>())
            EXPECT_LE(combo->minimumSizeHint().width(), combo->width());
    }

    // A gadget's rectangle in its window's coordinates.
    QRect Place(mui::Object* gadget)
    {
        QWidget* widget = qtview::WidgetOf(gadget);
        if (widget == nullptr)
            return {};
        return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
    }

    qtview::Frontend frontend;
    mui::ObjectPtr application;
};

TEST_F(ScreenshotTest, TheMainWindow)
{
    Shoot(WINDOW_MAIN, QStringLiteral("main"));
    auto* main = qobject_cast<QMainWindow*>(Window(WINDOW_MAIN));
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Clipweaver    0.8"));
#ifdef CLIPWEAVER_BASIC
    EXPECT_EQ(main->menuWidget(), nullptr);
#else
    ASSERT_NE(main->menuWidget(), nullptr);
    EXPECT_EQ(main->menuBar()->actions().value(0)->text(), QStringLiteral("Project"));
#endif

    const QRect visual = Place(gButtons[BUTTON_MAIN_VISUALLIST]);
    const QRect name = Place(gButtons[BUTTON_MAIN_PROJECTNAME]);
    const QRect output = Place(gButtons[BUTTON_MAIN_OUTPUTFILENAME]);
    const QRect croutons = Place(gButtons[BUTTON_MAIN_CROUTONLIST]);
    const QRect newCrouton = Place(gButtons[BUTTON_MAIN_NEWCROUTON]);
    const QRect up = Place(gButtons[BUTTON_MAIN_UP]);
    const QRect down = Place(gButtons[BUTTON_MAIN_DOWN]);
    const QRect length = Place(gButtons[BUTTON_MAIN_LENGTH]);
    const QRect codec = Place(gButtons[BUTTON_MAIN_CROUTON_AUDIOCODEC]);
    const QRect format = Place(gButtons[BUTTON_MAIN_FORMAT_CYCLER]);
    const QRect height = Place(gButtons[BUTTON_MAIN_HEIGHT]);
    const QRect fps = Place(gButtons[BUTTON_MAIN_FPS_CYCLER]);
    const QRect soundtrack = Place(gButtons[BUTTON_MAIN_SOUNDTRACK]);
    const QRect preview1 = Place(gButtons[BUTTON_MAIN_PREVIEWIMAGE]);
    const QRect preview5 = Place(gButtons[BUTTON_MAIN_PREVIEWIMAGE5]);
    const QRect render = Place(gButtons[BUTTON_MAIN_RENDER]);
    const QRect newProject = Place(gButtons[BUTTON_MAIN_NEW]);
    const QRect quit = Place(gButtons[BUTTON_MAIN_QUIT]);

    // The visual list at the left, at most 192 wide, the rest beside it.
    EXPECT_LE(visual.width(), 192);
    EXPECT_LE(visual.right(), name.left());
    EXPECT_LE(visual.right(), render.left());
    // Name above output above the crouton list and its button column.
    EXPECT_LT(name.bottom(), output.top());
    EXPECT_LT(output.bottom(), croutons.top());
    EXPECT_LT(croutons.right(), newCrouton.left());
    EXPECT_GT(croutons.width(), newCrouton.width()); // weights 60 : 40
    EXPECT_EQ(up.top(), down.top());
    EXPECT_LT(up.right(), down.left());
    EXPECT_LT(down.bottom(), length.top());
    EXPECT_LT(length.bottom(), codec.top());
    // The format row, the frame-rate row, the previews, Render, the project buttons.
    EXPECT_LT(std::max(croutons.bottom(), codec.bottom()), format.top());
    EXPECT_EQ(format.center().y(), height.center().y());
    EXPECT_LT(format.bottom(), fps.top());
    EXPECT_EQ(fps.center().y(), soundtrack.center().y());
    EXPECT_LT(fps.bottom(), preview1.top());
    EXPECT_EQ(preview1.top(), preview5.top());
    EXPECT_EQ(preview1.size(), QSize(160, 120));
    EXPECT_LT(preview5.bottom(), render.top());
    EXPECT_LT(render.bottom(), newProject.top());
    EXPECT_EQ(newProject.top(), quit.top());

    // The visual list shows the pictures, the crouton list the names.
    auto* visualList = qobject_cast<QListWidget*>(qtview::WidgetOf(gVisualList));
    ASSERT_NE(visualList, nullptr);
    ASSERT_EQ(visualList->count(), 3);
    EXPECT_FALSE(visualList->item(0)->icon().isNull());
    auto* croutonList = qobject_cast<QListWidget*>(qtview::WidgetOf(gCroutonList));
    ASSERT_NE(croutonList, nullptr);
    EXPECT_EQ(croutonList->item(2)->text(), QStringLiteral("Sunset timelapse"));
    EXPECT_EQ(croutonList->currentRow(), 1);
    // The disabled fields show as disabled.
    EXPECT_FALSE(qtview::WidgetOf(gButtons[BUTTON_MAIN_WIDTH])->isEnabled());
    EXPECT_FALSE(qtview::WidgetOf(gButtons[BUTTON_MAIN_CUSTOMFPS])->isEnabled());
    EXPECT_EQ(qobject_cast<QLineEdit*>(qtview::WidgetOf(gButtons[BUTTON_MAIN_OUTPUTFILENAME]))->text(),
              QStringLiteral("RAM:GreatVideo.avi"));
}

TEST_F(ScreenshotTest, TheCroutonEditor)
{
    Shoot(WINDOW_CROUTONEDITOR, QStringLiteral("editor"));
    QWidget* editor = Window(WINDOW_CROUTONEDITOR);
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Clipweaver Crouton Editor"));
    EXPECT_EQ(qobject_cast<QMainWindow*>(editor)->menuWidget(), nullptr);

    const QRect title = Place(gButtons[BUTTON_CROUTONEDITOR_TITLE]);
    const QRect video = Place(gButtons[BUTTON_CROUTONEDITOR_VIDEO_FILENAME]);
    const QRect load = Place(gButtons[BUTTON_CROUTONEDITOR_LOADVIDEO]);
    const QRect image1 = Place(gButtons[BUTTON_CROUTONEDITOR_IMAGE]);
    const QRect image2 = Place(gButtons[BUTTON_CROUTONEDITOR_IMAGE2]);
    const QRect slider1 = Place(gButtons[BUTTON_CROUTONEDITOR_PREVIEWSLIDER1]);
    const QRect radio = Place(gButtons[BUTTON_CROUTONEDITOR_PREVIEWSELECTER]);
    const QRect start = Place(gButtons[BUTTON_CROUTONEDITOR_START]);
    const QRect end = Place(gButtons[BUTTON_CROUTONEDITOR_END]);
    const QRect fps = Place(gButtons[BUTTON_CROUTONEDITOR_FPS_CYCLER]);
    const QRect generate = Place(gButtons[BUTTON_CROUTONEDITOR_GENERATEPREVIEW]);
    const QRect save = Place(gButtons[BUTTON_CROUTONEDITOR_SAVE]);

    EXPECT_LT(title.bottom(), video.top());
    EXPECT_LT(video.right(), load.left());
    EXPECT_LT(video.bottom(), image1.top());
    EXPECT_EQ(image2.height(), 120);
    EXPECT_LT(image1.right(), image2.left());
    EXPECT_LT(image1.bottom(), slider1.top());
    EXPECT_LT(image2.right(), radio.left());
    EXPECT_LT(slider1.bottom(), start.top());
    EXPECT_LT(start.right(), end.left());
    EXPECT_LT(start.bottom(), fps.top());
    EXPECT_LT(fps.bottom(), generate.top());
    EXPECT_LT(generate.bottom(), save.top());
}

#ifndef CLIPWEAVER_BASIC
TEST_F(ScreenshotTest, TheAboutWindow)
{
    Shoot(WINDOW_ABOUT, QStringLiteral("about"));
    QWidget* about = Window(WINDOW_ABOUT);
    QLabel* text = about->findChild<QLabel*>();
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->text().startsWith(QStringLiteral("Welcome to Clipweaver!\n")));
    EXPECT_TRUE(text->alignment() & Qt::AlignHCenter);
    const QRect ok = Place(gButtons[BUTTON_ABOUT_OK]);
    EXPECT_GT(ok.top(), QRect(text->mapTo(about, QPoint(0, 0)), text->size()).bottom());
}
#endif

} // namespace

// The program's wait on Qt's event loop, Ctrl-C as the break signal, and the
// file requester's dialog.
#include "os/asl.h"
#include "os/dos.h"
#include "os/exec.h"
#include "mui/mui.h"
#include "qtview/qtview.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

using testing::ElementsAre;

constexpr LONG ID_PRESSED = 77;

class WaitTest : public testing::Test {
protected:
    void SetUp() override
    {
        auto buttonObject = mui::MakeButton("_Go");
        button = buttonObject.get();
        std::vector<mui::ObjectPtr> children;
        children.push_back(std::move(buttonObject));
        auto window = mui::MakeWindow("Waiting", mui::MakeGroup(false, std::move(children)));
        mui::Object* shown = window.get();
        std::vector<mui::ObjectPtr> windows;
        windows.push_back(std::move(window));
        application = mui::MakeApplication("Wait", std::move(windows), nullptr);
        ASSERT_NE(application, nullptr);
        mui::Notify(button, MUIA_Pressed, FALSE, application.get(), ID_PRESSED);
        mui::set(shown, MUIA_Window_Open, LONG{TRUE});
    }

    void TearDown() override { mui::DisposeObject(std::move(application)); }

    qtview::Frontend frontend;
    mui::ObjectPtr application;
    mui::Object* button = nullptr;
};

TEST_F(WaitTest, AWaitingReturnIdEndsTheWaitAtOnce)
{
    mui::Application_ReturnID(application.get(), 5);
    EXPECT_EQ(Wait(MUI_APPLICATION_SIGNAL | SIGBREAKF_CTRL_C), MUI_APPLICATION_SIGNAL);
    EXPECT_EQ(Wait(0), 0u);
}

TEST_F(WaitTest, AUsersClickDuringTheWaitEndsIt)
{
    auto* widget = qobject_cast<QPushButton*>(qtview::WidgetOf(button));
    ASSERT_NE(widget, nullptr);
    QTimer::singleShot(0, widget, [widget] { QTest::mouseClick(widget, Qt::LeftButton); });
    EXPECT_EQ(Wait(MUI_APPLICATION_SIGNAL | SIGBREAKF_CTRL_C), MUI_APPLICATION_SIGNAL);
    ULONG sigs = 0;
    EXPECT_EQ(mui::Application_NewInput(application.get(), sigs), ID_PRESSED);
}

TEST_F(WaitTest, CtrlCDuringTheWaitArrivesAsTheBreakSignal)
{
    QTimer::singleShot(0, [] { std::raise(SIGINT); });
    EXPECT_EQ(Wait(MUI_APPLICATION_SIGNAL | SIGBREAKF_CTRL_C), SIGBREAKF_CTRL_C);
}

TEST_F(WaitTest, ABreakWaitsUntilItIsAskedFor)
{
    std::raise(SIGINT);
    mui::Application_ReturnID(application.get(), 5);
    EXPECT_EQ(Wait(MUI_APPLICATION_SIGNAL), MUI_APPLICATION_SIGNAL);
    application->returnIds().clear();
    EXPECT_EQ(Wait(MUI_APPLICATION_SIGNAL | SIGBREAKF_CTRL_C), SIGBREAKF_CTRL_C);
    // Taken once.
    mui::Application_ReturnID(application.get(), 6);
    EXPECT_EQ(Wait(MUI_APPLICATION_SIGNAL | SIGBREAKF_CTRL_C), MUI_APPLICATION_SIGNAL);
}

// A folder of its own under /tmp, removed afterwards.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = "/tmp/cw_qt_XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TempFolder()
    {
        if (!path_.empty())
            std::filesystem::remove_all(path_);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string Touch(const std::string& name) const
    {
        const std::string file = path_ + "/" + name;
        std::ofstream(file) << "x\n";
        return file;
    }

private:
    std::string path_;
};

// Runs `act` on the file dialog once it shows.
void WhenTheDialogShows(std::function<void(QFileDialog&)> act)
{
    QTimer::singleShot(0, [act = std::move(act)] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible()) {
                act(*dialog);
                return;
            }
        }
        ADD_FAILURE() << "no file dialog showed";
    });
}

TEST(FileRequester, TheDialogHonoursTheRequestersTags)
{
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    AslTags tags;
    tags.titleText = "Save Project";
    tags.doSaveMode = true;
    tags.initialDrawer = folder.path();
    tags.initialFile = "Mine.cwproj";
    tags.initialPattern = "#?.cwproj";
    tags.doPatterns = true;
    QFileDialog dialog;
    qtview::ConfigureFileDialog(dialog, tags);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Save Project"));
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.directory().absolutePath(), QString::fromStdString(folder.path()));
    EXPECT_NE(dialog.proxyModel(), nullptr);
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));

    QFileDialog plain;
    qtview::ConfigureFileDialog(plain, AslTags{});
    EXPECT_EQ(plain.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(plain.fileMode(), QFileDialog::ExistingFile);
    // Never the program's own folder, which holds its pictures: the user's.
    EXPECT_NE(plain.directory().absolutePath(), QDir::currentPath());
    EXPECT_TRUE(plain.directory().absolutePath().startsWith(QDir::homePath()));
    EXPECT_EQ(plain.proxyModel(), nullptr);
}

TEST(FileRequester, ThePatternFilterKeepsFoldersAndMatchingFiles)
{
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    std::filesystem::create_directory(folder.path() + "/Croutons");
    QStandardItemModel files;
    for (const std::string& path : {folder.Touch("One.cwproj"), folder.Touch("TWO.CWPROJ"), folder.Touch("notes.txt"),
             folder.Touch("One.cwproj.bak"), folder.path() + "/Croutons"}) {
        auto* item = new QStandardItem(QString::fromStdString(path));
        item->setData(QString::fromStdString(path), QFileSystemModel::FilePathRole);
        files.appendRow(item);
    }
    std::string tokenised;
    ASSERT_EQ(ParsePatternNoCase("#?.cwproj", tokenised), 1);
    QObject owner;
    QSortFilterProxyModel* filter = qtview::MakePatternFilter(tokenised, &owner);
    filter->setSourceModel(&files);
    QStringList shown;
    for (int row = 0; row < filter->rowCount(); ++row)
        shown << QFileInfo(filter->index(row, 0).data(QFileSystemModel::FilePathRole).toString()).fileName();
    EXPECT_EQ(shown, (QStringList{"One.cwproj", "TWO.CWPROJ", "Croutons"}));
}

TEST(FileRequester, AChosenFileComesBackAsDrawerAndFile)
{
    qtview::Frontend frontend;
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    folder.Touch("clip.cwcrouton");
    ClearAslAnswers();
    WhenTheDialogShows([](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Load Crouton"));
        dialog.selectFile(QStringLiteral("clip.cwcrouton"));
        static_cast<QDialog&>(dialog).accept();
    });
    auto requester = AllocAslRequest(ASL_FileRequest);
    AslTags tags;
    tags.titleText = "Load Crouton";
    tags.initialDrawer = folder.path();
    tags.initialPattern = "#?.cwcrouton";
    tags.doPatterns = true;
    ASSERT_EQ(AslRequest(*requester, tags), TRUE);
    EXPECT_EQ(requester->fr_Drawer, folder.path());
    EXPECT_EQ(requester->fr_File, "clip.cwcrouton");
    FreeAslRequest(std::move(requester));
}

TEST(FileRequester, ACancelledDialogIsACancelledRequest)
{
    qtview::Frontend frontend;
    ClearAslAnswers();
    WhenTheDialogShows([](QFileDialog& dialog) { dialog.reject(); });
    auto requester = AllocAslRequest(ASL_FileRequest);
    EXPECT_EQ(AslRequest(*requester, AslTags{}), FALSE);
    FreeAslRequest(std::move(requester));
}

TEST(FileRequester, QueuedAnswersStillComeFirst)
{
    qtview::Frontend frontend;
    ClearAslAnswers();
    QueueAslAnswer(AslAnswer{"RAM:", "x.cwproj"});
    auto requester = AllocAslRequest(ASL_FileRequest);
    ASSERT_EQ(AslRequest(*requester, AslTags{}), TRUE);
    EXPECT_EQ(requester->fr_Drawer, "RAM:");
    EXPECT_EQ(requester->fr_File, "x.cwproj");
    FreeAslRequest(std::move(requester));
    ClearAslAnswers();
}

} // namespace

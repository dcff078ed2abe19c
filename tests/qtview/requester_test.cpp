// The file requester's dialog as a user meets it: titles and named filters,
// picture sequences typed as a pattern or chosen together, and the
// extension a saved name gets.
#include "os/asl.h"
#include "os/question.h"
#include "qtview/qtview.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

class Folder {
public:
    Folder()
    {
        std::string pattern = "/tmp/cw_requester_XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~Folder()
    {
        if (!path_.empty())
            std::filesystem::remove_all(path_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    const std::string& path() const { return path_; }
    void Touch(const std::vector<std::string>& names) const
    {
        for (const std::string& name : names)
            std::ofstream(path_ + "/" + name) << "x\n";
    }

private:
    std::string path_;
};

// The media request of "_New Crouton".
AslTags MediaTags(const std::string& drawer)
{
    AslTags tags;
    tags.titleText = "Choose a video or still image";
    tags.initialDrawer = drawer;
    tags.initialPattern = "(#?.avi|#?.mpeg|#?.mpg|#?.mp4|#?.png|#?#0)";
    tags.doPatterns = true;
    tags.doSequences = true;
    tags.hintText = "For a picture sequence, select all its pictures together or type a pattern such as frame#?.png.";
    return tags;
}

QFileDialog* ShownDialog()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// Types into the dialog's file field as a user does, then presses Return;
// `after` sees the dialog when it is still open after that.
void TypeWhenTheDialogShows(const QString& typed, std::function<void(QFileDialog&)> after = {})
{
    QTimer::singleShot(0, [typed, after = std::move(after)] {
        QFileDialog* dialog = ShownDialog();
        if (!dialog) {
            ADD_FAILURE() << "no file dialog showed";
            return;
        }
        // A user types where the dialog puts the cursor: its file field,
        // in the window that has the keyboard.
        dialog->activateWindow();
        if (!QTest::qWaitForWindowActive(dialog))
            ADD_FAILURE() << "the dialog did not get the keyboard";
        auto* edit = qobject_cast<QLineEdit*>(dialog->focusWidget());
        if (!edit) {
            ADD_FAILURE() << "the dialog's cursor is not in a text field";
            dialog->reject();
            return;
        }
        edit->clear();
        // Several names in quotes are what choosing them together writes
        // into the field, in one go.
        if (typed.startsWith(QLatin1Char('"')))
            edit->setText(typed);
        else
            QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        if (dialog->isVisible()) {
            if (after)
                after(*dialog);
            else {
                auto* hint = dialog->findChild<QLabel*>(QStringLiteral("requesterHint"));
                ADD_FAILURE() << "the dialog stayed open for " << typed.toStdString() << ": "
                              << (hint ? hint->text().toStdString() : std::string());
            }
            dialog->reject();
        }
    });
}

std::optional<AslAnswer> Ask(const AslTags& tags)
{
    ClearAslAnswers();
    auto requester = AllocAslRequest(ASL_FileRequest);
    std::optional<AslAnswer> answer;
    if (AslRequest(*requester, tags))
        answer = AslAnswer{requester->fr_Drawer, requester->fr_File};
    FreeAslRequest(std::move(requester));
    return answer;
}

TEST(Requester, TitlesAndNamedFilters)
{
    struct Case {
        const char* what;
        std::optional<std::string> title;
        bool saving;
        std::string pattern;
        const char* shownTitle;
        QStringList filters;
    };
    const Case cases[] = {
        {"load project", std::nullopt, false, "#?.cwproj", "Load Project", {"Projects (*.cwproj)", "All files (*)"}},
        {"save project", std::nullopt, true, "#?.cwproj", "Save Project", {"Projects (*.cwproj)", "All files (*)"}},
        {"add crouton", std::nullopt, true, "#?.cwcrouton", "Add Crouton", {"Croutons (*.cwcrouton)", "All files (*)"}},
        {"create crouton", "Create a crouton", true, "#?.cwcrouton", "Create a crouton",
         {"Croutons (*.cwcrouton)", "All files (*)"}},
        {"media", "Choose a video or still image", false, "(#?.avi|#?.mpeg|#?.mpg|#?.mp4|#?.png|#?#0)",
         "Choose a video or still image",
         {"Videos and pictures (*.avi *.mpg *.mpeg *.mp4 *.m4v *.mov *.mkv *.webm *.ogv *.flv *.wmv *.3gp *.ts "
          "*.mts *.png *.jpg *.jpeg *.bmp *.gif *.tif *.tiff *.webp)",
          "Videos (*.avi *.mpg *.mpeg *.mp4 *.m4v *.mov *.mkv *.webm *.ogv *.flv *.wmv *.3gp *.ts *.mts)",
          "Pictures (*.png *.jpg *.jpeg *.bmp *.gif *.tif *.tiff *.webp)", "All files (*)"}},
    };
    for (const Case& c : cases) {
        AslTags tags;
        tags.titleText = c.title;
        tags.doSaveMode = c.saving;
        tags.initialPattern = c.pattern;
        tags.doPatterns = true;
        qtview::RequesterDialog dialog(tags);
        EXPECT_EQ(dialog.windowTitle().toStdString(), c.shownTitle) << c.what;
        EXPECT_EQ(dialog.nameFilters(), c.filters) << c.what;
    }
}

TEST(Requester, ASequenceTypedOrChosenComesBackAsOnePattern)
{
    struct Case {
        const char* what;
        QString typed;
        std::string file;
    };
    const Case cases[] = {
        {"an AmigaDOS pattern", "frame#?.png", "frame#?.png"},
        {"a shell wildcard", "frame*.png", "frame#?.png"},
        {"a shell wildcard in a folder below", "shots/img*", "img#?"},
        {"pictures chosen together", "\"frame2.png\" \"frame1.png\" \"frame10.png\"", "frame#?.png"},
        {"one picture", "frame2.png", "frame2.png"},
    };
    qtview::Frontend frontend;
    Folder folder;
    ASSERT_FALSE(folder.path().empty());
    folder.Touch({"frame1.png", "frame2.png", "frame10.png", "notes.txt"});
    std::filesystem::create_directory(folder.path() + "/shots");
    folder.Touch({"shots/img1.png", "shots/img2.png"});
    for (const Case& c : cases) {
        TypeWhenTheDialogShows(c.typed);
        const std::optional<AslAnswer> answer = Ask(MediaTags(folder.path()));
        ASSERT_TRUE(answer.has_value()) << c.what;
        const std::string drawer = c.typed.startsWith("shots/") ? folder.path() + "/shots" : folder.path();
        EXPECT_EQ(answer->drawer, drawer) << c.what;
        EXPECT_EQ(answer->file, c.file) << c.what;
    }
}

TEST(Requester, PicturesThatAreNotOneSequenceKeepTheDialogOpen)
{
    struct Case {
        const char* what;
        QString typed;
    };
    const Case cases[] = {
        {"a gap in the sequence", "\"frame2.png\" \"frame10.png\""},
        {"a pattern that matches nothing", "shot*.png"},
        {"videos chosen together", "\"clip1.avi\" \"clip2.avi\""},
        {"a pattern of videos", "clip*"},
    };
    qtview::Frontend frontend;
    Folder folder;
    ASSERT_FALSE(folder.path().empty());
    folder.Touch({"frame1.png", "frame2.png", "frame10.png", "clip1.avi", "clip2.avi"});
    for (const Case& c : cases) {
        std::string said;
        TypeWhenTheDialogShows(c.typed, [&said](QFileDialog& dialog) {
            if (auto* hint = dialog.findChild<QLabel*>(QStringLiteral("requesterHint")))
                said = hint->text().toStdString();
        });
        EXPECT_FALSE(Ask(MediaTags(folder.path())).has_value()) << c.what;
        EXPECT_FALSE(said.empty()) << c.what;
        EXPECT_EQ(said.find("For a picture sequence"), std::string::npos) << c.what;
    }
}

TEST(Requester, TheMediaDialogSaysHowToChooseASequence)
{
    qtview::RequesterDialog dialog(MediaTags(QDir::tempPath().toStdString()));
    auto* hint = dialog.findChild<QLabel*>(QStringLiteral("requesterHint"));
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->text().contains(QStringLiteral("frame#?.png")));
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFiles);
}

TEST(Requester, ASavedNameGetsThePatternsExtension)
{
    struct Case {
        const char* pattern;
        QString typed;
        std::string file;
        std::string answer = {};
    };
    const Case cases[] = {
        {"#?.cwproj", "Holiday", "Holiday.cwproj"},
        {"#?.cwproj", "Holiday.CWPROJ", "Holiday.CWPROJ"},
        {"#?.cwcrouton", "beach.VIDEO", "beach.VIDEO.cwcrouton"},
        {"#?.cwcrouton", "beach.cwcrouton", "beach.cwcrouton"},
        // The named file exists: it is replaced only when the user says so.
        {"#?.cwproj", "Trip", "Trip.cwproj", "Replace"},
        {"#?.cwproj", "Trip", "", "Cancel"},
    };
    qtview::Frontend frontend;
    Folder folder;
    ASSERT_FALSE(folder.path().empty());
    folder.Touch({"Trip.cwproj"});
    for (const Case& c : cases) {
        ClearQuestionAnswers();
        ClearToldLog();
        if (!c.answer.empty())
            QueueQuestionAnswer(c.answer);
        AslTags tags;
        tags.doSaveMode = true;
        tags.initialDrawer = folder.path();
        tags.initialPattern = c.pattern;
        tags.doPatterns = true;
        TypeWhenTheDialogShows(c.typed, [](QFileDialog&) {});
        const std::optional<AslAnswer> answer = Ask(tags);
        EXPECT_EQ(answer ? answer->file : std::string(), c.file) << c.typed.toStdString();
        EXPECT_EQ(ToldLog().size(), c.answer.empty() ? 0u : 1u) << c.typed.toStdString();
    }
    ClearQuestionAnswers();
}

TEST(Requester, TheMediaDialogShowsEveryKindInAnyCase)
{
    Folder folder;
    ASSERT_FALSE(folder.path().empty());
    folder.Touch({"IMG_0001.JPG", "img_0002.jpeg", "holiday.mkv", "beach.MOV", "talk.webm", "notes.txt"});
    qtview::RequesterDialog dialog(MediaTags(folder.path()));
    const auto* files = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(files, nullptr);
    const QModelIndex root = files->index(QString::fromStdString(folder.path()));
    QAbstractProxyModel* shown = dialog.proxyModel();
    ASSERT_NE(shown, nullptr);
    // The folder is read in the background.
    const auto shownRows = [&] { return shown->rowCount(shown->mapFromSource(root)); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownRows() == 5; }, 5000)) << shownRows();
    QStringList names;
    for (int row = 0; row < shownRows(); ++row)
        names << shown->index(row, 0, shown->mapFromSource(root)).data().toString();
    EXPECT_FALSE(names.contains(QStringLiteral("notes.txt"))) << names.join(' ').toStdString();
}

TEST(Requester, EachKindOpensWhereItWasLastChosen)
{
    Folder clips;
    Folder projects;
    ASSERT_FALSE(clips.path().empty());
    clips.Touch({"holiday.mkv"});
    qtview::Frontend frontend;
    TypeWhenTheDialogShows(QStringLiteral("holiday.mkv"));
    ASSERT_TRUE(Ask(MediaTags(clips.path())).has_value());

    // The next media request names no folder: it opens where the last one
    // chose, a project request where projects are.
    AslTags media = MediaTags("");
    media.initialDrawer.reset();
    AslTags project;
    project.initialDrawer = projects.path();
    project.initialPattern = "#?.cwproj";
    project.doPatterns = true;
    const std::pair<AslTags, std::string> cases[] = {{media, clips.path()}, {project, projects.path()}};
    for (const auto& [tags, opens] : cases) {
        qtview::RequesterDialog dialog(tags);
        EXPECT_EQ(dialog.directory().absolutePath().toStdString(), opens);
    }
}

} // namespace

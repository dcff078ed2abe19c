// The project file: saving and loading through the file requesters, on the
// real windows, with crouton files on disk.
#include "project_helper.h"

#include "gui/gui.h"
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "gui/windows.h"
#include "model/project.h"
#include "model/render.h"
#include "model/tables.h"
#include "os/asl.h"
#include "os/question.h"
#include "os/dos.h"
#include "mui/mui.h"
#include "support/test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using cwtest::InOrder;
using cwtest::ReadHostFile;
using cwtest::WriteHostFile;

namespace {

bool HostExists(const std::string& path) { return std::filesystem::exists(path); }

std::string Ptr(const void* pointer)
{
    char text[64];
    std::snprintf(text, sizeof text, "%p", pointer);
    return text;
}

std::string Field(HexButtons slot) { return gButtons[slot]->GetString(MUIA_String_Contents).value_or("<unset>"); }
void SetField(HexButtons slot, const std::string& text) { mui::set(gButtons[slot], MUIA_String_Contents, text); }
LONG Cycle(HexButtons slot) { return gButtons[slot]->GetLong(MUIA_Cycle_Active); }
bool Disabled(HexButtons slot) { return gButtons[slot]->GetLong(MUIA_Disabled) != 0; }
std::string SlotPicture(LONG slot)
{
    const mui::Object* image = mui::NList_SlotImage(gVisualList, slot);
    return image ? image->GetString(MUIA_NBitmap_Normal).value_or("<none>") : "<empty slot>";
}

class ProjectFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/cw_projfile_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ClearAslAnswers();
        app_ = BuildApplication({});
        ASSERT_NE(app_, nullptr);
        gProject = NewProject();
    }
    void TearDown() override
    {
        gEditingCrouton = nullptr;
        DestroyProject(std::move(gProject));
        mui::DisposeObject(std::move(app_));
        ForgetGadgets();
        ClearAslAnswers();
        std::filesystem::remove_all(dir_);
    }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // A crouton of the project whose file is written in the test's folder.
    Crouton* AddStoredCrouton(const std::string& name, std::optional<std::string> still = std::nullopt)
    {
        Crouton* crouton = AppendTestCrouton(gProject.get(), name);
        if (still) {
            crouton->videoName = "Videos/" + name + ".mp4";
            crouton->previewFilename[1] = still;
        }
        crouton->directory = dir_;
        crouton->filename = name + ".cwcrouton";
        crouton->length = static_cast<LONG>(name.size());
        EXPECT_TRUE(SaveCrouton(crouton));
        return crouton;
    }

    BOOL SaveAs(const std::string& file)
    {
        QueueAslAnswer(AslAnswer{dir_, file});
        return SaveProject(gProject.get());
    }

    void LoadFrom(const std::string& file)
    {
        QueueAslAnswer(AslAnswer{dir_, file});
        gProject = LoadProject(std::move(gProject));
    }

    std::string dir_;
    mui::ObjectPtr app_;
};

// ---- saving -------------------------------------------------------------

TEST_F(ProjectFileTest, AProjectWithoutCroutonsWritesExactlyTenLines)
{
    TraceCapture trace;
    EXPECT_EQ(SaveAs("empty.cwproj"), TRUE);
    EXPECT_EQ(ReadHostFile(Path("empty.cwproj")), "New Project\nRAM:GreatVideo.mp4\n\n320\n240\n0\n0\n0\n30\n0\n");
    EXPECT_EQ(trace.Text(), "Saving project.\nProject filename is " + Path("empty.cwproj") +
                                ".\nProject file opened for writing.\n");
    EXPECT_FALSE(HostExists(Path("empty.cwproj.cwtmp")));
}

TEST_F(ProjectFileTest, TheSaveRequesterProposesTheProjectsPlace)
{
    gProject->directory = "Work:Videos";
    gProject->filename = "Holiday.cwproj";
    EXPECT_EQ(SaveAs("x.cwproj"), TRUE);
    ASSERT_EQ(AslRequestLog().size(), 1u);
    const AslTags& tags = AslRequestLog()[0];
    EXPECT_EQ(tags.doSaveMode, std::optional<bool>(true));
    EXPECT_EQ(tags.initialDrawer, std::optional<std::string>("Work:Videos"));
    EXPECT_EQ(tags.initialPattern, std::optional<std::string>("#?.cwproj"));
    EXPECT_EQ(tags.initialFile, std::optional<std::string>("Holiday.cwproj"));
    EXPECT_EQ(tags.doPatterns, std::optional<bool>(true));
    EXPECT_FALSE(tags.titleText.has_value());
}

TEST_F(ProjectFileTest, TheTwoCroutonExampleByteForByte)
{
    for (const char* name : {"beach.VIDEO", "garden.IMAGES"}) {
        Crouton* crouton = AppendTestCrouton(gProject.get(), name);
        crouton->directory = "Croutons";
        crouton->filename = std::string(name) + ".cwcrouton";
    }
    SetField(BUTTON_MAIN_PROJECTNAME, "Holiday");
    SetField(BUTTON_MAIN_OUTPUTFILENAME, "RAM:GreatVideo.mp4");
    SetField(BUTTON_MAIN_SOUNDTRACK, "");
    SetField(BUTTON_MAIN_CUSTOMFPS, "30.000000");
    gProject->baudrate = 3;

    TraceCapture trace;
    EXPECT_EQ(SaveAs("Holiday.cwproj"), TRUE);
    EXPECT_EQ(ReadHostFile(Path("Holiday.cwproj")),
              "Holiday\nRAM:GreatVideo.mp4\n\n320\n240\n0\n3\n0\n30.000000\n2\n"
              "Croutons/beach.VIDEO.cwcrouton\nCroutons/garden.IMAGES.cwcrouton\n");
    EXPECT_TRUE(InOrder(trace.Text(), {"Project file opened for writing.\n",
                                       "Adding crouton Croutons/beach.VIDEO.cwcrouton.\n",
                                       "Adding crouton Croutons/garden.IMAGES.cwcrouton.\n"}))
        << trace.Text();
}

TEST_F(ProjectFileTest, CroutonPathsFollowTheDirectoryRules)
{
    const std::pair<const char*, const char*> cases[] = {{"RAM:", "a.cwcrouton"}, {"", "b.cwcrouton"},
                                                         {"Work:Croutons", "c.cwcrouton"}};
    for (const auto& [directory, file] : cases) {
        Crouton* crouton = AppendTestCrouton(gProject.get(), file);
        crouton->directory = directory;
        crouton->filename = file;
    }
    EXPECT_EQ(SaveAs("paths.cwproj"), TRUE);
    EXPECT_THAT(ReadHostFile(Path("paths.cwproj")),
                testing::EndsWith("\n3\nRAM:a.cwcrouton\nb.cwcrouton\nWork:Croutons/c.cwcrouton\n"));
}

// Lines 1 to 3 and 9 are the fields as they stand, not the record.
TEST_F(ProjectFileTest, TextLinesComeFromTheWindowFields)
{
    gProject->projectName = "stale name";
    gProject->soundtrack = "stale.mp3";
    gProject->customFPS = 12.0f;
    SetField(BUTTON_MAIN_PROJECTNAME, "Fresh");
    SetField(BUTTON_MAIN_OUTPUTFILENAME, "RAM:out.avi");
    SetField(BUTTON_MAIN_SOUNDTRACK, "Music:song.mp3");
    SetField(BUTTON_MAIN_CUSTOMFPS, "29.97");
    EXPECT_EQ(SaveAs("f.cwproj"), TRUE);
    EXPECT_EQ(ReadHostFile(Path("f.cwproj")), "Fresh\nRAM:out.avi\nMusic:song.mp3\n320\n240\n0\n0\n0\n29.97\n0\n");
}

TEST_F(ProjectFileTest, LineFeedsInTextsAreWrittenAsBlanks)
{
    Crouton* crouton = AppendTestCrouton(gProject.get(), "c");
    crouton->directory = "Croutons";
    crouton->filename = "c.cwcrouton";
    SetField(BUTTON_MAIN_PROJECTNAME, "two\nlines");
    SetField(BUTTON_MAIN_OUTPUTFILENAME, "RAM:ab.mp4");
    SetField(BUTTON_MAIN_SOUNDTRACK, "x");
    EXPECT_EQ(SaveAs("lf.cwproj"), TRUE);
    EXPECT_EQ(ReadHostFile(Path("lf.cwproj")),
              "two lines\nRAM:ab.mp4\nx\n320\n240\n0\n0\n0\n30\n1\nCroutons/c.cwcrouton\n");
}

// A name read back with a blank for its line break would name another file:
// the project is not written, and the user is told.
TEST_F(ProjectFileTest, NamesWithLineBreaksAreRefused)
{
    struct Row {
        const char* label;
        std::function<void()> arrange;
    };
    const Row rows[] = {
        {"output", [] { SetField(BUTTON_MAIN_OUTPUTFILENAME, "RAM:a\rb.mp4"); }},
        {"soundtrack", [] { SetField(BUTTON_MAIN_SOUNDTRACK, "x\n"); }},
        {"crouton file", [] { AppendTestCrouton(gProject.get(), "c")->filename = "c\n.cwcrouton"; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        WriteHostFile(Path("lf.cwproj"), "old");
        row.arrange();
        ClearToldLog();
        bool written = true;
        QueueAslAnswer(AslAnswer{dir_, "lf.cwproj"});
        EXPECT_EQ(SaveProject(gProject.get(), &written), TRUE);
        EXPECT_FALSE(written);
        EXPECT_EQ(ReadHostFile(Path("lf.cwproj")), "old");
        ASSERT_EQ(ToldLog().size(), 1u);
        EXPECT_THAT(ToldLog()[0].text, HasSubstr("line break"));
        SetField(BUTTON_MAIN_OUTPUTFILENAME, "RAM:ab.mp4");
        SetField(BUTTON_MAIN_SOUNDTRACK, "");
        DestroyProject(std::move(gProject));
        gProject = NewProject();
    }
}

TEST_F(ProjectFileTest, CancellingOrAnEmptyNameSavesNothing)
{
    TraceCapture trace;
    QueueAslAnswer(std::nullopt);
    EXPECT_EQ(SaveProject(gProject.get()), FALSE);
    QueueAslAnswer(AslAnswer{dir_, ""});
    EXPECT_EQ(SaveProject(gProject.get()), FALSE);
    EXPECT_EQ(trace.Text(), "Saving project.\nSaving project.\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

// The file saved is the project's file: the next request proposes it.
TEST_F(ProjectFileTest, SavingUnderANewNameMakesItTheProjectsFile)
{
    EXPECT_EQ(SaveAs("Other.cwproj"), TRUE);
    EXPECT_TRUE(gProject->hasFile);
    EXPECT_EQ(ProjectFilePath(*gProject), dir_ + "/Other.cwproj");
    EXPECT_EQ(SaveAs("Third.cwproj"), TRUE);
    ASSERT_EQ(AslRequestLog().size(), 2u);
    EXPECT_EQ(AslRequestLog()[1].initialDrawer, std::optional<std::string>(dir_));
    EXPECT_EQ(AslRequestLog()[1].initialFile, std::optional<std::string>("Other.cwproj"));
}

// A save that can't be completed is not reported, still counts as chosen,
// and never leaves a half-written project behind.
TEST_F(ProjectFileTest, AFailedSaveIsSilentAndLeavesTheOldFileWhole)
{
    const std::string missing = Path("no/such/folder");
    TraceCapture trace;
    QueueAslAnswer(AslAnswer{missing, "p.cwproj"});
    EXPECT_EQ(SaveProject(gProject.get()), TRUE);
    EXPECT_EQ(trace.Text(), "Saving project.\nProject filename is " + missing + "/p.cwproj.\n");

    // The old file is held by someone else: it can't be replaced, and stays
    // as it was.
    WriteHostFile(Path("held.cwproj"), "old contents\n");
    FileLock holder = Lock(Path("held.cwproj"), EXCLUSIVE_LOCK);
    ASSERT_TRUE(holder);
    trace.Clear();
    EXPECT_EQ(SaveAs("held.cwproj"), TRUE);
    EXPECT_THAT(trace.Text(), Not(HasSubstr("Couldn't")));
    UnLock(std::move(holder));
    EXPECT_EQ(ReadHostFile(Path("held.cwproj")), "old contents\n");
    EXPECT_FALSE(HostExists(Path("held.cwproj.cwtmp")));

    // Once free, the same save replaces it.
    EXPECT_EQ(SaveAs("held.cwproj"), TRUE);
    EXPECT_THAT(ReadHostFile(Path("held.cwproj")), testing::StartsWith("New Project\n"));
}

// ---- loading ------------------------------------------------------------

TEST_F(ProjectFileTest, SaveAndLoadKeepTheSettings)
{
    AddStoredCrouton("A");
    AddStoredCrouton("B");
    SetField(BUTTON_MAIN_PROJECTNAME, "100% %s %d");
    SetField(BUTTON_MAIN_OUTPUTFILENAME, "RAM:50%.mp4");
    SetField(BUTTON_MAIN_SOUNDTRACK, "Music:%n.mp3");
    SetField(BUTTON_MAIN_CUSTOMFPS, "25");
    gProject->width = 640;
    gProject->height = 360;
    gProject->parameters = 19;
    gProject->baudrate = 5;
    gProject->fps = 3;
    ASSERT_EQ(SaveAs("round.cwproj"), TRUE);

    mui::nnset(gButtons[BUTTON_MAIN_FORMAT_CYCLER], MUIA_Cycle_Active, LONG{0});
    SetField(BUTTON_MAIN_CUSTOMFPS, "30");
    SetField(BUTTON_MAIN_SOUNDTRACK, "");
    ClearAslAnswers();
    TraceCapture trace;
    LoadFrom("round.cwproj");
    ASSERT_NE(gProject, nullptr);

    ASSERT_EQ(AslRequestLog().size(), 1u);
    const AslTags& tags = AslRequestLog()[0];
    EXPECT_EQ(tags.doSaveMode, std::optional<bool>(false));
    EXPECT_EQ(tags.initialDrawer, std::optional<std::string>("Projects"));
    EXPECT_EQ(tags.initialPattern, std::optional<std::string>("#?.cwproj"));
    EXPECT_EQ(tags.doPatterns, std::optional<bool>(true));
    EXPECT_FALSE(tags.initialFile.has_value());

    EXPECT_EQ(gProject->projectName, "100% %s %d");
    EXPECT_EQ(gProject->outputFileName, "RAM:50%.mp4");
    EXPECT_EQ(gProject->soundtrack, std::optional<std::string>("Music:%n.mp3"));
    EXPECT_EQ(gProject->width, 640);
    EXPECT_EQ(gProject->height, 360);
    EXPECT_EQ(gProject->parameters, 19);
    EXPECT_EQ(gProject->baudrate, 5);
    EXPECT_EQ(gProject->fps, 3);
    EXPECT_EQ(gProject->customFPS, 25.0f);
    EXPECT_EQ(gProject->numberOfCroutons, 2);
    EXPECT_THAT(ProjectNames(gProject.get()), ElementsAre("A", "B"));
    EXPECT_EQ(GetCroutonFromPosition(gProject.get(), 1)->length, 1);
#ifdef CLIPWEAVER_BASIC
    EXPECT_EQ(gProject->filename, Path("round.cwproj"));
    EXPECT_EQ(gProject->directory, "Projects");
#else
    EXPECT_EQ(gProject->filename, "round.cwproj");
    EXPECT_EQ(gProject->directory, dir_);
#endif

    // The window shows what was loaded.
    EXPECT_EQ(Field(BUTTON_MAIN_PROJECTNAME), "100% %s %d");
    EXPECT_EQ(Field(BUTTON_MAIN_OUTPUTFILENAME), "RAM:50%.mp4");
    EXPECT_EQ(Field(BUTTON_MAIN_SOUNDTRACK), "Music:%n.mp3");
    EXPECT_EQ(Field(BUTTON_MAIN_CUSTOMFPS), "25.000000");
    EXPECT_EQ(Field(BUTTON_MAIN_WIDTH), "640");
    EXPECT_EQ(Field(BUTTON_MAIN_HEIGHT), "360");
    EXPECT_EQ(Cycle(BUTTON_MAIN_FORMAT_CYCLER), 19);
    EXPECT_EQ(Cycle(BUTTON_MAIN_BAUDRATE_CYCLER), 5);
    EXPECT_EQ(Cycle(BUTTON_MAIN_FPS_CYCLER), 3);
    EXPECT_FALSE(Disabled(BUTTON_MAIN_WIDTH));
    EXPECT_FALSE(Disabled(BUTTON_MAIN_HEIGHT));
    EXPECT_THAT(Entries(gCroutonList), ElementsAre("A", "B"));
    EXPECT_THAT(VisualSlots(), ElementsAre(1, 2));

    const std::string& t = trace.Text();
    EXPECT_TRUE(InOrder(t, {"Deleting project.\n", "Finished destroying project.\n", "Creating new project.\n",
                            "Loading project.\n", "Baudrate: 5. Format: 19.\n", "Loading crouton " + Path("A.cwcrouton"),
                            "Crouton loaded has name A.\n", "Locked crouton " + Path("A.cwcrouton") + ".\n",
                            "Crouton loaded has name B.\n", "Preview image is (null) (",
                            "Created previewImage at ", "Preview image is (null) (", "Created previewImage at ",
                            "Done loading.\n"}))
        << t;
    EXPECT_THAT(t, testing::EndsWith("Done loading.\n"));
    EXPECT_THAT(t, Not(HasSubstr("Loaded.\n")));
}

TEST_F(ProjectFileTest, TheCustomRateComesBackAsAFloatWithSixDecimals)
{
    for (const auto& [typed, shown, value] :
         {std::tuple{"25", "25.000000", 25.0f}, std::tuple{"29.97", "29.969999", 29.97f},
          std::tuple{"", "0.000000", 0.0f}, std::tuple{"fast", "0.000000", 0.0f}}) {
        SetField(BUTTON_MAIN_CUSTOMFPS, typed);
        ASSERT_EQ(SaveAs("rate.cwproj"), TRUE);
        LoadFrom("rate.cwproj");
        EXPECT_EQ(gProject->customFPS, value) << typed;
        EXPECT_EQ(Field(BUTTON_MAIN_CUSTOMFPS), shown) << typed;
    }
}

TEST_F(ProjectFileTest, AnEmptySoundtrackLoadsAsAnEmptyText)
{
    SetField(BUTTON_MAIN_SOUNDTRACK, "");
    ASSERT_EQ(SaveAs("quiet.cwproj"), TRUE);
    EXPECT_EQ(ReadHostFile(Path("quiet.cwproj")).substr(0, 32), "New Project\nRAM:GreatVideo.mp4\n\n");
    SetField(BUTTON_MAIN_SOUNDTRACK, "left over.mp3");
    LoadFrom("quiet.cwproj");
    EXPECT_EQ(gProject->soundtrack, std::optional<std::string>(""));
    EXPECT_EQ(Field(BUTTON_MAIN_SOUNDTRACK), "");
}

// A crouton file that can't be loaded stays as an entry that says so, and
// the project is saved back unchanged.
TEST_F(ProjectFileTest, AMissingCroutonFileIsKeptAsAnEntryAndSavedBack)
{
    for (const char* name : {"P", "Q", "R"})
        AddStoredCrouton(name);
    AddStoredCrouton("S", "NoKeyFrame.png");
    ASSERT_EQ(SaveAs("four.cwproj"), TRUE);
    DestroyProject(std::move(gProject));
    gProject = NewProject();
    std::filesystem::remove(Path("R.cwcrouton"));

    TraceCapture trace;
    LoadFrom("four.cwproj");
    EXPECT_EQ(gProject->numberOfCroutons, 4);
    EXPECT_THAT(ProjectNames(gProject.get()), ElementsAre("P", "Q", "R.cwcrouton (missing)", "S"));
    EXPECT_THAT(ProjectSlots(gProject.get()), ElementsAre(1, 2, 3, 4));
    EXPECT_THAT(VisualSlots(), ElementsAre(1, 2, 3, 4));
    EXPECT_THAT(Entries(gCroutonList), ElementsAre("P", "Q", "R.cwcrouton (missing)", "S"));
    EXPECT_EQ(SlotPicture(1), "NoImageAvailable.png");
    EXPECT_EQ(GetCroutonFromPosition(gProject.get(), 2)->loadProblem, "missing");
    EXPECT_THAT(trace.Text(), HasSubstr("Preview image is NoKeyFrame.png (" +
                                        Ptr(GetCroutonFromPosition(gProject.get(), 3)->previewImage) + ").\n"));
    EXPECT_THAT(trace.Text(), Not(HasSubstr("Crouton loaded has name R.\n")));

    ASSERT_EQ(SaveAs("again.cwproj"), TRUE);
    EXPECT_THAT(ReadHostFile(Path("again.cwproj")),
                testing::EndsWith("\n4\n" + Path("P.cwcrouton") + "\n" + Path("Q.cwcrouton") + "\n"
                                  + Path("R.cwcrouton") + "\n" + Path("S.cwcrouton") + "\n"));
    // Its file is never written from the entry.
    ClearToldLog();
    EXPECT_EQ(SaveCrouton(GetCroutonFromPosition(gProject.get(), 2)), FALSE);
    EXPECT_FALSE(HostExists(Path("R.cwcrouton")));
    EXPECT_EQ(ToldLog().size(), 1u);
}

// A loaded project's format opens the frame-size fields or closes them, as
// choosing it in the window does: a project loaded over a custom one must
// not leave its own size open to typing.
TEST_F(ProjectFileTest, TheLoadedFormatOpensOrClosesTheFrameSize)
{
    WriteHostFile(Path("custom.cwproj"), "C\nRAM:c.mp4\n\n720\n576\n19\n2\n1\n30.000000\n0\n");
    WriteHostFile(Path("dvd.cwproj"), "D\nRAM:d.mp4\n\n320\n240\n4\n2\n1\n30.000000\n0\n");
    ASSERT_TRUE(Disabled(BUTTON_MAIN_WIDTH));
    LoadFrom("custom.cwproj");
    EXPECT_FALSE(Disabled(BUTTON_MAIN_WIDTH));
    EXPECT_FALSE(Disabled(BUTTON_MAIN_HEIGHT));
    EXPECT_EQ(Field(BUTTON_MAIN_WIDTH), "720");
    LoadFrom("dvd.cwproj");
    EXPECT_TRUE(Disabled(BUTTON_MAIN_WIDTH));
    EXPECT_TRUE(Disabled(BUTTON_MAIN_HEIGHT));
    EXPECT_EQ(Field(BUTTON_MAIN_WIDTH), "320");
}

// The format cycler changes quietly; the bit-rate and frame-rate cyclers
// raise their notifications for the main window to handle afterwards.
TEST_F(ProjectFileTest, OnlyTheRateCyclersNotify)
{
    mui::Object* app = app_.get();
    mui::Notify(gButtons[BUTTON_MAIN_FORMAT_CYCLER], MUIA_Cycle_Active, MUIV_EveryTime, app, GADMSG_MAIN_SELECTFORMAT);
    mui::Notify(gButtons[BUTTON_MAIN_BAUDRATE_CYCLER], MUIA_Cycle_Active, MUIV_EveryTime, app,
                GADMSG_MAIN_SELECTBAUDRATE);
    mui::Notify(gButtons[BUTTON_MAIN_FPS_CYCLER], MUIA_Cycle_Active, MUIV_EveryTime, app, GADMSG_MAIN_SELECTFPS);
    WriteHostFile(Path("n.cwproj"), "N\nRAM:n.mp4\n\n320\n240\n7\n9\n2\n30.000000\n0\n");
    LoadFrom("n.cwproj");
    EXPECT_EQ(Cycle(BUTTON_MAIN_FORMAT_CYCLER), 7);
    EXPECT_THAT(std::vector<LONG>(app->returnIds().begin(), app->returnIds().end()),
                ElementsAre(GADMSG_MAIN_SELECTBAUDRATE, GADMSG_MAIN_SELECTFPS));
}

TEST_F(ProjectFileTest, IndicesOutOfRangeAreClamped)
{
    WriteHostFile(Path("wild.cwproj"), "W\nRAM:w.mp4\n\n320\n240\n57\n-3\n99\n30\n0\n");
    TraceCapture trace;
    LoadFrom("wild.cwproj");
    EXPECT_EQ(gProject->parameters, cNumberOfFormats - 1);
    EXPECT_EQ(gProject->baudrate, 0);
    EXPECT_EQ(gProject->fps, cNumberOfFPS - 1);
    EXPECT_THAT(trace.Text(), HasSubstr("Baudrate: 0. Format: 19.\n"));
    EXPECT_EQ(Cycle(BUTTON_MAIN_FORMAT_CYCLER), 19);
    EXPECT_EQ(Cycle(BUTTON_MAIN_FPS_CYCLER), 3);

    WriteHostFile(Path("wild2.cwproj"), "W\nRAM:w.mp4\n\n  12 \n-0\n-1\n99999999999\n-99999999999\n1e9999\n0\n");
    LoadFrom("wild2.cwproj");
    EXPECT_EQ(gProject->width, 12);
    EXPECT_EQ(gProject->height, 0);
    EXPECT_EQ(gProject->parameters, 0);
    EXPECT_EQ(gProject->baudrate, cNumberOfBaudRates - 1);
    EXPECT_EQ(gProject->fps, 0);
    EXPECT_EQ(gProject->customFPS, 0.0f);
}

// A count that the file can hold gives the croutons whose files are there;
// a file that announces more croutons than it holds, or a count that makes
// no sense, is no project and the loaded one stays.
TEST_F(ProjectFileTest, CountsThatDoNotMatchTheFile)
{
    AddStoredCrouton("X");
    AddStoredCrouton("Y");
    const std::string x = Path("X.cwcrouton");
    const std::string y = Path("Y.cwcrouton");
    DestroyProject(std::move(gProject));
    gProject = NewProject();
    const std::string head = "H\nRAM:h.mp4\n\n320\n240\n0\n0\n0\n30\n";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {head + "1\n" + y + "\n" + x + "\n", {"Y"}},
        {head + "3\n\n" + x + "\n" + Path("gone.cwcrouton") + "\n", {" (not a crouton file)", "X", "gone.cwcrouton (missing)"}},
        {head + "2\n" + x + "\n" + y, {"X", "Y"}},
        {head + "5\n" + x + "\n" + y + "\n", {"X", "Y"}},
        {head + "2147483647\n" + x + "\n" + y, {"X", "Y"}},
        {head + "-4\n" + x + "\n", {"X", "Y"}},
    };
    for (const auto& [contents, names] : cases) {
        WriteHostFile(Path("c.cwproj"), contents);
        LoadFrom("c.cwproj");
        EXPECT_THAT(ProjectNames(gProject.get()), testing::ElementsAreArray(names)) << contents;
        EXPECT_EQ(gProject->numberOfCroutons, static_cast<LONG>(names.size()));
        EXPECT_THAT(Entries(gCroutonList), testing::ElementsAreArray(names));
        EXPECT_EQ(VisualSlots().size(), names.size());
    }
}

TEST_F(ProjectFileTest, AShortFileIsNoProject)
{
    SetField(BUTTON_MAIN_PROJECTNAME, "Mine");
    for (const char* contents : {"Only a name\nRAM:o.mp4", ""}) {
        WriteHostFile(Path("short.cwproj"), contents);
        TraceCapture trace;
        LoadFrom("short.cwproj");
        EXPECT_EQ(trace.Text(), "Not a project file.\n");
        EXPECT_EQ(gProject->projectName, "New Project");
        EXPECT_EQ(Field(BUTTON_MAIN_PROJECTNAME), "Mine");
        EXPECT_EQ(gProject->croutons, nullptr);
    }
}

TEST_F(ProjectFileTest, CancellingOrAnUnreadableFileChangesNothing)
{
    AddStoredCrouton("K");
    AddStoredCrouton("L");
    Project* before = gProject.get();
    ListNode* first = before->croutons.get();
    mui::set(gCroutonList, MUIA_NList_Active, LONG{1});
    SetField(BUTTON_MAIN_PROJECTNAME, "typed");

    TraceCapture trace;
    QueueAslAnswer(std::nullopt);
    gProject = LoadProject(std::move(gProject));
    QueueAslAnswer(AslAnswer{dir_, ""});
    gProject = LoadProject(std::move(gProject));
    QueueAslAnswer(AslAnswer{dir_, "absent.cwproj"});
    gProject = LoadProject(std::move(gProject));
    EXPECT_EQ(trace.Text(), "");
    EXPECT_EQ(AslRequestLog().size(), 3u);

    EXPECT_EQ(gProject.get(), before);
    EXPECT_EQ(gProject->croutons.get(), first);
    EXPECT_EQ(gProject->numberOfCroutons, 2);
    EXPECT_THAT(ProjectNames(gProject.get()), ElementsAre("K", "L"));
    EXPECT_THAT(Entries(gCroutonList), ElementsAre("K", "L"));
    EXPECT_THAT(VisualSlots(), ElementsAre(1, 2));
    EXPECT_EQ(Active(gCroutonList), 1);
    EXPECT_EQ(Field(BUTTON_MAIN_PROJECTNAME), "typed");
    EXPECT_TRUE(GetCroutonFromPosition(gProject.get(), 0)->lock);
}

// A file that is no project, picked by mistake: the current project, both
// lists and every field of the window stay as they are.
TEST_F(ProjectFileTest, AFileThatIsNoProjectChangesNothing)
{
    const std::string head = "H\nRAM:h.mp4\n\n";
    std::string clip("\x1a\x45\xdf\xa3\x01\x00\x00\x00\n\x42\x86\x81\x01\n", 14);
    clip += std::string(5000, '\xff') + "\n320\n240\n";
    const std::pair<const char*, std::string> cases[] = {
        {"a clip", clip},
        {"letters in the width", head + "320px\n240\n0\n0\n0\n30\n0\n"},
        {"no format", head + "320\n240\n\n0\n0\n30\n0\n"},
        {"a fraction as the count", head + "320\n240\n0\n0\n0\n30\n1.5\n"},
        {"nine lines", head + "320\n240\n0\n0\n0\n30\n"},
        {"more croutons than lines", head + "320\n240\n0\n0\n0\n30\n2\n" + Path("K.cwcrouton") + "\n"},
        {"a negative count", head + "320\n240\n0\n0\n0\n30\n-1\n"},
    };
    AddStoredCrouton("K", "NoKeyFrame.png");
    AddStoredCrouton("L");
    Project* before = gProject.get();
    mui::set(gCroutonList, MUIA_NList_Active, LONG{1});
    SetField(BUTTON_MAIN_PROJECTNAME, "typed");
    SetField(BUTTON_MAIN_SOUNDTRACK, "Music:song.mp3");
    SetField(BUTTON_MAIN_CUSTOMFPS, "12.5");
    mui::nnset(gButtons[BUTTON_MAIN_FORMAT_CYCLER], MUIA_Cycle_Active, LONG{4});
    mui::nnset(gButtons[BUTTON_MAIN_FPS_CYCLER], MUIA_Cycle_Active, LONG{2});
    const std::string firstPicture = SlotPicture(1);

    for (const auto& [what, contents] : cases) {
        WriteHostFile(Path("wrong.cwproj"), contents);
        TraceCapture trace;
        LoadFrom("wrong.cwproj");
        EXPECT_EQ(trace.Text(), "Not a project file.\n") << what;
        EXPECT_EQ(gProject.get(), before) << what;
        EXPECT_THAT(ProjectNames(gProject.get()), ElementsAre("K", "L")) << what;
        EXPECT_EQ(gProject->numberOfCroutons, 2) << what;
        EXPECT_THAT(Entries(gCroutonList), ElementsAre("K", "L")) << what;
        EXPECT_THAT(VisualSlots(), ElementsAre(1, 2)) << what;
        EXPECT_EQ(SlotPicture(1), firstPicture) << what;
        EXPECT_EQ(Active(gCroutonList), 1) << what;
        EXPECT_EQ(Field(BUTTON_MAIN_PROJECTNAME), "typed") << what;
        EXPECT_EQ(Field(BUTTON_MAIN_SOUNDTRACK), "Music:song.mp3") << what;
        EXPECT_EQ(Field(BUTTON_MAIN_CUSTOMFPS), "12.5") << what;
        EXPECT_EQ(Cycle(BUTTON_MAIN_FORMAT_CYCLER), 4) << what;
        EXPECT_EQ(Cycle(BUTTON_MAIN_FPS_CYCLER), 2) << what;
        EXPECT_TRUE(GetCroutonFromPosition(gProject.get(), 0)->lock) << what;
    }
}

TEST_F(ProjectFileTest, LoadingClosesTheEditorBeforeTheOldProjectGoes)
{
    Crouton* edited = AddStoredCrouton("E");
    ASSERT_EQ(SaveAs("e.cwproj"), TRUE);
    gEditingCrouton = edited;
    mui::set(gWindows[WINDOW_CROUTONEDITOR], MUIA_Window_Open, LONG{TRUE});
    ASSERT_TRUE(gWindows[WINDOW_CROUTONEDITOR]->GetLong(MUIA_Window_Open));

    TraceCapture trace;
    LoadFrom("e.cwproj");
    EXPECT_EQ(gEditingCrouton, nullptr);
    EXPECT_FALSE(gWindows[WINDOW_CROUTONEDITOR]->GetLong(MUIA_Window_Open));
    EXPECT_TRUE(InOrder(trace.Text(), {"Deleting project.\n", "Deleting T:__MplayerPreview1.png.\n",
                                       "Destroying node ", "Done loading.\n"}))
        << trace.Text();
    EXPECT_THAT(ProjectNames(gProject.get()), ElementsAre("E"));
}

TEST_F(ProjectFileTest, LoadedCroutonsAreLockedAgainstOtherHolders)
{
    AddStoredCrouton("M");
    ASSERT_EQ(SaveAs("m.cwproj"), TRUE);
    DestroyProject(std::move(gProject));
    gProject = NewProject();
    const std::string path = Path("M.cwcrouton");

    auto otherProcessCanLock = [&path] {
        const pid_t child = fork();
        if (child == 0) {
            execlp("flock", "flock", "-n", "-E", "7", path.c_str(), "true", static_cast<char*>(nullptr));
            _exit(99);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_NE(WEXITSTATUS(status), 99) << "flock is not installed";
        return WEXITSTATUS(status) == 0;
    };
    EXPECT_TRUE(otherProcessCanLock());

    LoadFrom("m.cwproj");
    ASSERT_EQ(gProject->numberOfCroutons, 1);
    EXPECT_TRUE(gProject->croutons->node->lock);
    EXPECT_FALSE(Lock(path, SHARED_LOCK));
    EXPECT_EQ(IoErr(), ERROR_OBJECT_IN_USE);
    EXPECT_FALSE(otherProcessCanLock());

    DestroyProject(std::move(gProject));
    gProject = NewProject();
    EXPECT_TRUE(otherProcessCanLock());
}

// Without a main window (a script or a test of the model alone) the record's
// own values are written, and loading fills the record and both lists.
TEST(ProjectFileWithoutWindowsTest, TheRecordStandsInForTheFields)
{
    char pattern[] = "/tmp/cw_projfile_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    ClearAslAnswers();
    {
        StandaloneLists lists;
        std::unique_ptr<Project> project = NewProject();
        project->projectName = "Bare";
        project->soundtrack = "Music:a.mp3";
        project->customFPS = 29.97f;
        QueueAslAnswer(AslAnswer{dir, "bare.cwproj"});
        EXPECT_EQ(SaveProject(project.get()), TRUE);
        EXPECT_EQ(ReadHostFile(dir + "/bare.cwproj"),
                  "Bare\nRAM:GreatVideo.mp4\nMusic:a.mp3\n320\n240\n0\n0\n0\n29.969999\n0\n");
        QueueAslAnswer(AslAnswer{dir, "bare.cwproj"});
        project = LoadProject(std::move(project));
        EXPECT_EQ(project->projectName, "Bare");
        EXPECT_EQ(project->soundtrack, std::optional<std::string>("Music:a.mp3"));
        EXPECT_EQ(project->customFPS, 29.97f);
        DestroyProject(std::move(project));
    }
    ClearAslAnswers();
    std::filesystem::remove_all(dir);
}

// The program's own loop answers the rate cyclers' notifications after a
// load; the quiet format change keeps the loaded bit rate.
TEST(ProjectFileMainTest, TheLoopKeepsTheLoadedRates)
{
    char pattern[] = "/tmp/cw_projfile_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    WriteHostFile(dir + "/r.cwproj", "R\nRAM:r.mp4\n\n320\n240\n17\n2\n3\n12.5\n0\n");
    ClearAslAnswers();
    RunMainWithSteps({Act([&dir] {
                          QueueAslAnswer(AslAnswer{dir, "r.cwproj"});
                          gProject = LoadProject(std::move(gProject));
                      }),
                      Act([] {
                          EXPECT_EQ(gProject->parameters, 17);
                          EXPECT_EQ(gProject->baudrate, 2);
                          EXPECT_EQ(gProject->fps, 3);
                          EXPECT_EQ(Cycle(BUTTON_MAIN_BAUDRATE_CYCLER), 2);
                          EXPECT_FALSE(Disabled(BUTTON_MAIN_CUSTOMFPS));
                          EXPECT_EQ(Field(BUTTON_MAIN_CUSTOMFPS), "12.500000");
                      })});
    ClearAslAnswers();
    std::filesystem::remove_all(dir);
}

// The start of a video crouton goes to mencoder with "-ss"; the full
// program adds "-audio-delay 0", ClipweaverBasic does not.
TEST_F(ProjectFileTest, VideoCroutonStartOnTheEncoderCommandLine)
{
    gProject->parameters = 9;
    gProject->baudrate = 6;
    gProject->fps = 2;
    auto crouton = CreateCrouton();
    crouton->videoName = Path("GreatVideo.avi");
    crouton->start = 10;
    crouton->length = 20;
    crouton->audioCodec = "mp3";
    // An .avi render: the line the program always wrote.
    SetField(BUTTON_MAIN_OUTPUTFILENAME, Path("out.avi"));
    TraceCapture trace;
    RenderCrouton(gProject.get(), crouton.get(), Path("piece.avi"), FALSE);
    const std::string command =
        "Executing mencoder \"" + Path("GreatVideo.avi") + "\" -o \"" + Path("piece.avi") +
        "\" -zoom -oac pcm -srate 44100 -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000 "
        "-vf scale=640:480,harddup,framestep=2 -ofps 25.000000 "
#ifdef CLIPWEAVER_BASIC
        "-ss 10 -endpos 20 ";
#else
        "-ss 10 -audio-delay 0 -endpos 20 ";
#endif
    const std::string text = trace.Text();
    const std::size_t at = text.find(command);
    ASSERT_NE(at, std::string::npos) << text;
    // Nothing more belongs to the command.
    EXPECT_FALSE(text.substr(at + command.size()).starts_with("-"));
    DestroyCrouton(std::move(crouton));
}

} // namespace

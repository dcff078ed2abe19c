// The main window's settings as one record: the project file keeps every
// setting, Undo takes a change of them back whole, and the fields the
// format and frame-rate choices enable follow one rule however the choices
// arrive.
#include "project_helper.h"

#include "gui/gui.h"
#include "gui/history.h"
#include "gui/main.h"
#include "gui/main_settings.h"
#include "gui/vocabulary.h"
#include "gui/windows.h"
#include "model/project_settings.h"
#include "model/tables.h"
#include "os/asl.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

using cwtest::ReadHostFile;
using cwtest::WriteHostFile;

namespace {

bool Disabled(HexButtons slot) { return gButtons[slot]->GetLong(MUIA_Disabled) != 0; }
void Type(HexButtons slot, const std::string& text) { mui::set(gButtons[slot], MUIA_String_Contents, text); }
void Choose(HexButtons slot, LONG entry) { mui::nnset(gButtons[slot], MUIA_Cycle_Active, entry); }

std::string TempFolder()
{
    char pattern[] = "/tmp/cw_settings_XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? made : "";
}

// One change of the settings, as a row of the file and Undo tables.
struct SettingChange {
    const char* what;
    std::function<void(ProjectSettings&)> change;
};

const SettingChange kChanges[] = {
    {"names with percent signs",
     [](ProjectSettings& s) {
         s.projectName = "100% %s %d";
         s.outputFileName = "RAM:50%.avi";
     }},
    {"soundtrack", [](ProjectSettings& s) { s.soundtrack = "Music:song %n.mp3"; }},
    {"custom size", [](ProjectSettings& s) {
         s.parameters = cCustomFormatID;
         s.width = 720;
         s.height = 576;
     }},
    {"odd size", [](ProjectSettings& s) {
         s.width = -4;
         s.height = 99999;
     }},
    {"bit rate", [](ProjectSettings& s) { s.baudrate = 5; }},
    {"custom rate", [](ProjectSettings& s) {
         s.fps = cCustomFPSID;
         s.customFPS = 12.5f;
     }},
    {"look", [](ProjectSettings& s) {
         s.look.clipLevel = 30;
         s.look.fadeIn = 1.5;
         s.look.duck = true;
     }},
};

class SettingsRecordTest : public AppFixture {
protected:
    void SetUp() override
    {
        dir_ = TempFolder();
        ASSERT_FALSE(dir_.empty());
        ClearAslAnswers();
        AppFixture::SetUp();
    }
    void TearDown() override
    {
        AppFixture::TearDown();
        ClearAslAnswers();
        std::filesystem::remove_all(dir_);
    }

    std::string SaveAs(const std::string& file)
    {
        QueueAslAnswer(AslAnswer{dir_, file});
        EXPECT_EQ(SaveProject(gProject.get()), TRUE);
        return ReadHostFile(dir_ + "/" + file);
    }
    void LoadFrom(const std::string& file)
    {
        QueueAslAnswer(AslAnswer{dir_, file});
        gProject = LoadProject(std::move(gProject));
    }

    std::string dir_;
};

// A setting that is written but read back into the wrong place (or not at
// all) makes the second file differ from the first.
TEST_F(SettingsRecordTest, TheProjectFileKeepsEverySettingByteForByte)
{
    // A new project as the window shows it, changed by `change`, saved.
    auto saved = [this](const std::function<void(ProjectSettings&)>& change, const std::string& file) {
        DestroyProject(std::move(gProject));
        gProject = NewProject();
        change(*gProject);
        ShowSettings(*gProject, RateCyclers::Quiet);
        return SaveAs(file);
    };
    const std::string plain = saved([](ProjectSettings&) {}, "plain.cwproj");
    for (const SettingChange& row : kChanges) {
        SCOPED_TRACE(row.what);
        const std::string first = saved(row.change, "first.cwproj");
        EXPECT_NE(first, plain);
        LoadFrom("first.cwproj");
        EXPECT_EQ(SaveAs("second.cwproj"), first);
    }
}

// Without a window the project's own record is written and read.
TEST(SettingsRecordWithoutWindowsTest, TheProjectFileKeepsEverySettingByteForByte)
{
    const std::string dir = TempFolder();
    ASSERT_FALSE(dir.empty());
    ClearAslAnswers();
    StandaloneLists lists;
    auto save = [&dir](Project* project, const std::string& file) {
        QueueAslAnswer(AslAnswer{dir, file});
        EXPECT_EQ(SaveProject(project), TRUE);
        return ReadHostFile(dir + "/" + file);
    };
    for (const SettingChange& row : kChanges) {
        SCOPED_TRACE(row.what);
        std::unique_ptr<Project> project = NewProject();
        row.change(*project);
        const std::string first = save(project.get(), "first.cwproj");
        QueueAslAnswer(AslAnswer{dir, "first.cwproj"});
        project = LoadProject(std::move(project));
        EXPECT_EQ(save(project.get(), "second.cwproj"), first);
        DestroyProject(std::move(project));
    }
    ClearAslAnswers();
    std::filesystem::remove_all(dir);
}

// A change the window's reading or showing left out would not be seen as a
// change, or would stay after Undo.
TEST_F(SettingsRecordTest, UndoTakesBackTheWholeRecordInOneStep)
{
    ProjectHistory history;
    auto changeAll = [](ProjectSettings& s) {
        for (const SettingChange& row : kChanges)
            row.change(s);
    };
    const SettingChange all{"all at once", changeAll};
    std::vector<const SettingChange*> rows;
    for (const SettingChange& row : kChanges)
        rows.push_back(&row);
    rows.push_back(&all);
    for (const SettingChange* row : rows) {
        SCOPED_TRACE(row->what);
        history.Reset();
        const ProjectSettings before = ReadMainSettings();
        ProjectSettings changed = before;
        row->change(changed);
        // The fields show the changed numbers.
        changed.typedWidth.reset();
        changed.typedHeight.reset();
        changed.typedCustomFPS.reset();
        // The window takes the change as typing and choosing would.
        ShowSettings(changed, RateCyclers::Quiet);
        gProject->look = changed.look;
        const ProjectSettings after = ReadMainSettings();
        ASSERT_NE(after, before);

        ASSERT_TRUE(history.Undo(gProject.get()));
        EXPECT_EQ(ReadMainSettings(), before);
        EXPECT_EQ(gProject->parameters, before.parameters);
        EXPECT_EQ(gProject->baudrate, before.baudrate);
        EXPECT_EQ(gProject->fps, before.fps);
        EXPECT_EQ(gProject->look, before.look);
        // One step: nothing older is left to take back.
        EXPECT_FALSE(history.Undo(gProject.get()));

        ASSERT_TRUE(history.Redo(gProject.get()));
        EXPECT_EQ(ReadMainSettings(), after);
        EXPECT_EQ(gProject->parameters, after.parameters);
        EXPECT_EQ(gProject->look, after.look);
        ASSERT_TRUE(history.Undo(gProject.get()));
    }
}

// Typed texts come back as typed, not as the numbers read from them.
TEST_F(SettingsRecordTest, UndoBringsBackTheTextsAsTyped)
{
    ProjectHistory history;
    Type(BUTTON_MAIN_WIDTH, "0640");
    Type(BUTTON_MAIN_CUSTOMFPS, "30000/1001");
    history.Reset();
    Type(BUTTON_MAIN_WIDTH, "640");
    Type(BUTTON_MAIN_CUSTOMFPS, "29.97");
    ASSERT_TRUE(history.Undo(gProject.get()));
    EXPECT_EQ(FieldText(BUTTON_MAIN_WIDTH), "0640");
    EXPECT_EQ(FieldText(BUTTON_MAIN_CUSTOMFPS), "30000/1001");
}

// Width and height are open for typing with the custom format alone, the
// custom rate with the custom frame rate alone, whether the choice comes from
// a file, the cycle gadgets or Undo; each row starts from the other state.
TEST_F(SettingsRecordTest, TheCustomRuleHoldsForLoadWindowAndUndo)
{
    struct Way {
        const char* what;
        std::function<void(LONG format, LONG fps)> choose;
    };
    const Way ways[] = {
        {"load",
         [this](LONG format, LONG fps) {
             WriteHostFile(dir_ + "/rule.cwproj", "R\nRAM:r.avi\n\n720\n576\n" + std::to_string(format) + "\n2\n"
                                                           + std::to_string(fps) + "\n30.000000\n0\n");
             LoadFrom("rule.cwproj");
         }},
        {"window",
         [](LONG format, LONG fps) {
             Choose(BUTTON_MAIN_FORMAT_CYCLER, format);
             ChangeFormatCycler();
             Choose(BUTTON_MAIN_FPS_CYCLER, fps);
             ChangeFPSCycler();
         }},
        {"undo",
         [](LONG format, LONG fps) {
             ProjectHistory history;
             ProjectSettings wanted = ReadMainSettings();
             wanted.parameters = format;
             wanted.fps = fps;
             ShowSettings(wanted, RateCyclers::Quiet);
             history.Reset();
             ProjectSettings other = wanted;
             other.parameters = SizeIsTyped(format) ? 0 : cCustomFormatID;
             other.fps = RateIsTyped(fps) ? 0 : cCustomFPSID;
             ShowSettings(other, RateCyclers::Quiet);
             ASSERT_TRUE(history.Undo(gProject.get()));
         }},
    };
    const struct {
        LONG format;
        LONG fps;
    } choices[] = {{cCustomFormatID, cCustomFPSID}, {4, 1}, {cCustomFormatID, 0}, {0, cCustomFPSID}};
    for (const Way& way : ways) {
        for (const auto& choice : choices) {
            SCOPED_TRACE(std::string(way.what) + " " + std::to_string(choice.format) + "/" + std::to_string(choice.fps));
            ShowTypedSize(SizeIsTyped(choice.format) ? 0 : cCustomFormatID);
            ShowTypedRate(RateIsTyped(choice.fps) ? 0 : cCustomFPSID);
            way.choose(choice.format, choice.fps);
            const bool customSize = choice.format == cCustomFormatID;
            const bool customRate = choice.fps == cCustomFPSID;
            EXPECT_EQ(Disabled(BUTTON_MAIN_WIDTH), !customSize);
            EXPECT_EQ(Disabled(BUTTON_MAIN_HEIGHT), !customSize);
            EXPECT_EQ(Disabled(BUTTON_MAIN_CUSTOMFPS), !customRate);
        }
    }
}

} // namespace

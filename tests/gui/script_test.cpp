// The script driver: in-process through RunScript, and end to end through
// the clipweaver-script program.
#include "project_helper.h"

#include "gui/script.h"
#include "os/asl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

struct ScriptResult {
    std::string out;
    std::string errors;
    std::string trace;
};

ScriptResult RunText(const std::string& script)
{
    std::istringstream in(script);
    std::ostringstream out;
    std::ostringstream errors;
    TraceCapture trace;
    EXPECT_EQ(RunScript(in, out, errors), 0);
    return {out.str(), errors.str(), trace.Text()};
}

std::vector<std::string> Lines(const std::string& text, const std::string& prefix)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0)
            lines.push_back(line);
    }
    return lines;
}

TEST(ScriptTest, CycleAndDump)
{
    const ScriptResult result = RunText("# choose a format\n"
                                    "cycle BUTTON_MAIN_FORMAT_CYCLER 9   # 4:3 640x480\n"
                                    "type BUTTON_MAIN_PROJECTNAME \"My \\\"best\\\" \\\\ film\"\n"
                                    "dump\n");
    EXPECT_EQ(result.errors, "");
    EXPECT_THAT(result.out, HasSubstr("gadget BUTTON_MAIN_FORMAT_CYCLER Cycle enabled active=9 \"4:3 640x480\"\n"));
    EXPECT_THAT(result.out, HasSubstr("gadget BUTTON_MAIN_BAUDRATE_CYCLER Cycle enabled active=6 \"915Kbps\"\n"));
    EXPECT_THAT(result.out,
                HasSubstr("gadget BUTTON_MAIN_PROJECTNAME String enabled text=\"My \\\"best\\\" \\\\ film\"\n"));
    EXPECT_THAT(result.out, HasSubstr("gadget BUTTON_MAIN_LENGTH Label enabled text=\"\\el------ Seconds\"\n"));
    // The title names the project and marks its unsaved changes.
    EXPECT_THAT(result.out, HasSubstr("window WINDOW_MAIN open \"*My \\\"best\\\" \\\\ film - Clipweaver    0.8\"\n"));
    EXPECT_THAT(result.out, HasSubstr("project name=\"New Project\" croutons=0 parameters=9 baudrate=6 fps=0\n"));
    EXPECT_EQ(result.out.rfind("dump\n", 0), 0u);
    EXPECT_THAT(result.out, testing::EndsWith("editing none\nrender none \"\"\nend\n"));
    // The end of the script is a Ctrl-C: no "Quit received!".
    EXPECT_THAT(result.trace, testing::EndsWith("Changed format.\nQuitting.\nDeleting project.\nResetting 0 "
                                                "images.\nFreeing project.\nFinished destroying project.\nClosing "
                                                "down.\n"));
}

TEST(ScriptTest, BadLinesAreReportedAndSkipped)
{
    const ScriptResult result = RunText("frobnicate\n"
                                    "press BUTTON_NOWHERE\n"
                                    "press BUTTON_MAIN_WIDTH\n"
                                    "cycle BUTTON_MAIN_FPS_CYCLER x\n"
                                    "select gOtherList 0\n"
                                    "select gCroutonList 0\n"
                                    "type BUTTON_MAIN_PROJECTNAME \"open\n"
                                    "close WINDOW_NOWHERE\n"
                                    "press\n"
                                    "cycle BUTTON_MAIN_FPS_CYCLER 3\n"
                                    "dump\n");
    EXPECT_EQ(result.errors,
              "script: line 1: unknown action \"frobnicate\"\n"
              "script: line 2: unknown gadget \"BUTTON_NOWHERE\"\n"
              "script: line 3: press BUTTON_MAIN_WIDTH was ignored (missing, disabled, in a closed window or out of "
              "range)\n"
              "script: line 4: \"x\" is not a number\n"
              "script: line 5: unknown list \"gOtherList\"\n"
              "script: line 6: select gCroutonList was ignored (missing, disabled, in a closed window or out of "
              "range)\n"
              "script: line 7: unterminated text\n"
              "script: line 8: unknown window \"WINDOW_NOWHERE\"\n"
              "script: line 9: press takes 1 argument\n");
    EXPECT_THAT(result.out, HasSubstr("gadget BUTTON_MAIN_CUSTOMFPS String enabled text=\"30\"\n"));
}

TEST(ScriptTest, CloseGadgetQuitsAndTheRestIsNotRun)
{
    const ScriptResult result = RunText("close WINDOW_MAIN\ndump\n");
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.trace, HasSubstr("Quit received!\nQuitting.\n"));
}

TEST(ScriptTest, BreakEndsLikeCtrlC)
{
    const ScriptResult result = RunText("break\ndump\n");
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.trace, Not(HasSubstr("Quit received!")));
    EXPECT_THAT(result.trace, HasSubstr("Quitting.\n"));
}

TEST(ScriptTest, RequesterAnswersFillAFileField)
{
    ClearAslAnswers();
    const ScriptResult result = RunText("requester \"Music\" \"song.mp3\"\n"
                                    "press BUTTON_MAIN_SOUNDTRACK_POPUP\n"
                                    "requester cancel\n"
                                    "press BUTTON_MAIN_SOUNDTRACK_POPUP\n"
                                    "dump\n");
    EXPECT_EQ(result.errors, "");
    EXPECT_THAT(result.out, HasSubstr("gadget BUTTON_MAIN_SOUNDTRACK String enabled text=\"Music/song.mp3\"\n"));
    EXPECT_EQ(AslRequestLog().size(), 2u);
    ClearAslAnswers();
}

#ifndef CLIPWEAVER_BASIC
TEST(ScriptTest, MenuAboutAndMenuQuit)
{
    const ScriptResult result = RunText("menu MEN_ABOUT\ndump\npress BUTTON_ABOUT_OK\nmenu MEN_QUIT\ndump\n");
    EXPECT_EQ(result.errors, "");
    EXPECT_EQ(Lines(result.out, "window WINDOW_ABOUT"),
              std::vector<std::string>{"window WINDOW_ABOUT open \"Clipweaver is brought to you by its makers\""});
    EXPECT_THAT(result.trace, Not(HasSubstr("Quit received!")));
}
#else
TEST(ScriptTest, BasicHasNoMenu)
{
    const ScriptResult result = RunText("menu MEN_ABOUT\n");
    EXPECT_EQ(result.errors, "script: line 1: this program has no menu\n");
}
#endif

TEST(ScriptTest, NewProjectResetsTheCycleGadgets)
{
    const ScriptResult result = RunText("cycle BUTTON_MAIN_FORMAT_CYCLER 19\n"
                                    "cycle BUTTON_MAIN_FPS_CYCLER 3\n"
                                    "dump\n"
                                    "press BUTTON_MAIN_NEW\n"
                                    "dump\n");
    const auto width = Lines(result.out, "gadget BUTTON_MAIN_WIDTH ");
    ASSERT_EQ(width.size(), 2u);
    EXPECT_EQ(width[0], "gadget BUTTON_MAIN_WIDTH String enabled text=\"320\"");
    EXPECT_EQ(width[1], "gadget BUTTON_MAIN_WIDTH String disabled text=\"320\"");
    EXPECT_EQ(Lines(result.out, "gadget BUTTON_MAIN_FPS_CYCLER").back(),
              "gadget BUTTON_MAIN_FPS_CYCLER Cycle enabled active=0 \"30000/1001\"");
    EXPECT_EQ(Lines(result.out, "project ").back(),
              "project name=\"New Project\" croutons=0 parameters=0 baudrate=0 fps=0");
}

// The script program, run as a user runs it, in the test's folder.
TEST(ScriptProgramTest, RunsAScriptFileAndDumpsToStandardOutput)
{
    char pattern[] = "/tmp/cw-script-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path folder = pattern;
    const std::string script = (folder / "actions.txt").string();
    const std::string out = (folder / "out.txt").string();
    const std::string err = (folder / "err.txt").string();
    std::ofstream(script) << "cycle BUTTON_MAIN_FORMAT_CYCLER 17\nnonsense\ndump\n";

#ifndef CLIPWEAVER_BASIC
    const std::string program = CW_BINARY_DIR "/src/clipweaver-script";
#else
    const std::string program = CW_BINARY_DIR "/src/clipweaver-script-basic";
#endif
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>(script.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    auto read = [](const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string dump = read(out);
    const std::string errors = read(err);
    std::filesystem::remove_all(folder);

    EXPECT_EQ(Lines(dump, "gadget BUTTON_MAIN_FORMAT_CYCLER"),
              std::vector<std::string>{"gadget BUTTON_MAIN_FORMAT_CYCLER Cycle enabled active=17 \"16:9 1280x720\""});
    EXPECT_EQ(Lines(dump, "gadget BUTTON_MAIN_BAUDRATE_CYCLER"),
              std::vector<std::string>{"gadget BUTTON_MAIN_BAUDRATE_CYCLER Cycle enabled active=13 \"4096Kbps\""});
    EXPECT_EQ(Lines(dump, "list "), (std::vector<std::string>{"list gCroutonList entries=0 active=-1",
                                                              "list gVisualList entries=0 active=-1"}));
    EXPECT_THAT(dump, testing::EndsWith("end\n"));
    // The trace and the complaints go to standard error.
    EXPECT_THAT(errors, HasSubstr("script: line 2: unknown action \"nonsense\"\n"));
    EXPECT_THAT(errors, HasSubstr("Open ASL.\n"));
    EXPECT_THAT(errors, testing::EndsWith("Closing down.\n"));
    EXPECT_THAT(dump, Not(HasSubstr("Open ASL.")));
}

} // namespace

// An answer that matches no button, and a name longer than its field, are
// the script's errors, told on the line that gave them; nothing is cut.
TEST(ScriptTest, UnmatchedAnswersAndOverlongNamesAreLineErrors)
{
    const std::string longest(4095, 'a');
    const struct {
        const char* what;
        std::string script;
        std::string error; // none: no error
        std::string dumped;
    } rows[] = {
        {"answer Svae", "type BUTTON_MAIN_PROJECTNAME \"Trip\"\nanswer \"Svae\"\npress BUTTON_MAIN_NEW\ndump\n",
         "script: line 2: answer \"Svae\" matches no button of \"Unsaved changes\" (\"Save\", \"Discard\", \"Cancel\")\n",
         "text=\"New Project\""},
        {"soundtrack of 4095 bytes", "type BUTTON_MAIN_SOUNDTRACK \"" + longest + "\"\ndump\n", "", longest + "\""},
        {"soundtrack of 4096 bytes", "type BUTTON_MAIN_SOUNDTRACK \"" + longest + "b\"\ndump\n",
         "script: line 1: type BUTTON_MAIN_SOUNDTRACK was ignored", "BUTTON_MAIN_SOUNDTRACK String enabled text=\"\""},
        {"output of 4097 bytes", "type BUTTON_MAIN_OUTPUTFILENAME \"" + longest + "bb\"\ndump\n",
         "script: line 1: type BUTTON_MAIN_OUTPUTFILENAME was ignored", "RAM:GreatVideo.avi"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const ScriptResult result = RunText(row.script);
        if (row.error.empty())
            EXPECT_EQ(result.errors, "");
        else
            EXPECT_THAT(result.errors, HasSubstr(row.error));
        EXPECT_THAT(result.out, HasSubstr(row.dumped));
    }
}

// Rendering from a script: `cancel N` stops the next render at its piece N,
// and the dump's last line before "end" tells how the last render ended. The
// tools are stood in for through the command runner's seam.
#include "gui/script.h"
#include "model/crouton.h"
#include "os/asl.h"
#include "os/question.h"
#include "support/fake_tools.h"
#include "support/test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// A project "p.cwproj" of three video croutons a, b and c in a folder.
class ScriptRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder_.path().empty());
        std::string project = "Scripted\nRAM:GreatVideo.avi\n\n320\n240\n0\n0\n0\n30\n3\n";
        for (const char* name : {"a", "b", "c"}) {
            const std::string source = folder_ / (std::string(name) + ".avi");
            cwtest::WriteHostFile(source, "a clip");
            auto crouton = CreateCrouton();
            crouton->name = name;
            crouton->videoName = source;
            crouton->isVideo = TRUE;
            crouton->length = 2;
            crouton->videoLength = 2;
            crouton->directory = folder_.path();
            crouton->filename = std::string(name) + ".cwcrouton";
            ASSERT_EQ(SaveCrouton(crouton.get()), TRUE);
            DestroyCrouton(std::move(crouton));
            project += folder_ / (std::string(name) + ".cwcrouton") + "\n";
        }
        cwtest::WriteHostFile(folder_ / "p.cwproj", project);
        ClearAslAnswers();
    }
    void TearDown() override { ClearAslAnswers(); }

    // Loads the project, names the output, then runs `actions`.
    std::string Run(const std::string& output, const std::string& actions)
    {
        const std::string script = "requester \"" + folder_.path() + "\" \"p.cwproj\"\npress BUTTON_MAIN_LOAD\n"
                                    "type BUTTON_MAIN_OUTPUTFILENAME \"" + output + "\"\n" + actions;
        std::istringstream in(script);
        std::ostringstream out;
        std::ostringstream errors;
        TraceCapture trace;
        EXPECT_EQ(RunScript(in, out, errors), 0);
        EXPECT_EQ(errors.str(), expectedErrors_);
        trace_ = trace.Text();
        return out.str();
    }

    // The dump's render lines.
    static std::vector<std::string> RenderLines(const std::string& dump)
    {
        std::vector<std::string> lines;
        std::istringstream in(dump);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("render ", 0) == 0)
                lines.push_back(line);
        return lines;
    }

    cwtest::TempFolder folder_{"cw-script-render"};
    std::string trace_;
    std::string expectedErrors_;
};

TEST_F(ScriptRender, CancelStopsTheNextRenderAtItsPiece)
{
    cwtest::FakeTools tools;
    const std::string output = folder_ / "out.avi";
    const std::string dump = Run(output, "dump\ncancel 2\npress BUTTON_MAIN_RENDER\ndump\n"
                                         "press BUTTON_MAIN_RENDER\ndump\n");
    EXPECT_EQ(RenderLines(dump),
              (std::vector<std::string>{"render none \"\"",
                                        "render cancelled \"Rendering was cancelled; " + output
                                            + " is as it was before.\"",
                                        "render finished \"Rendered " + output + ": 6 KB\""}));
    EXPECT_THAT(dump, EndsWith("render finished \"Rendered " + output + ": 6 KB\"\nend\n"));
    EXPECT_THAT(trace_, HasSubstr("Rendering cancelled.\n"));
    // The cancelled render ran piece 1 only; the cancel held for it alone.
    const std::vector<std::string> lines = tools.Encoder();
    ASSERT_EQ(lines.size(), 1u + 6u);
    EXPECT_THAT(lines[0], HasSubstr(folder_ / "a.avi"));
    EXPECT_THAT(lines[1], HasSubstr(folder_ / "a.avi"));
}

TEST_F(ScriptRender, FailedRenderIsDumpedWithItsReason)
{
    cwtest::FakeTools tools;
    const std::string output = folder_ / "nowhere/out.avi";
    const std::string dump = Run(output, "press BUTTON_MAIN_RENDER\ndump\n");
    EXPECT_EQ(RenderLines(dump), std::vector<std::string>{"render failed \"The folder " + (folder_ / "nowhere")
                                                          + " for the output does not exist.\""});
    EXPECT_THAT(trace_, HasSubstr("Rendering failed.\n"));
}

TEST_F(ScriptRender, CancelTakesAPieceNumber)
{
    expectedErrors_ = "script: line 4: cancel takes a piece number counted from 1\n"
                      "script: line 5: \"x\" is not a number\n";
    cwtest::FakeTools tools;
    const std::string dump = Run(folder_ / "out.avi", "cancel 0\ncancel x\npress BUTTON_MAIN_RENDER\ndump\n");
    EXPECT_THAT(RenderLines(dump).front(), HasSubstr("render finished "));
}

} // namespace

namespace {

// A project that lists one crouton file twice loads it twice, says so, and
// renders it at both places.
TEST_F(ScriptRender, CroutonListedTwiceRendersTwice)
{
    const std::string twice = cwtest::ReadHostFile(folder_ / "p.cwproj") + folder_ / "a.cwcrouton\n";
    std::string project = twice;
    project.replace(project.find("\n3\n"), 3, "\n4\n");
    cwtest::WriteHostFile(folder_ / "p.cwproj", project);
    cwtest::FakeTools tools;
    ClearToldLog();
    const std::string dump = Run(folder_ / "out.avi", "press BUTTON_MAIN_RENDER\ndump\n");
    EXPECT_THAT(RenderLines(dump).front(), HasSubstr("render finished "));
    EXPECT_EQ(tools.Encoder().size(), 4u + 3u + 1u); // four encodes, three joins, the finish
    std::string told;
    for (const Told& each : ToldLog())
        told += each.text + "\n";
    EXPECT_THAT(told, HasSubstr("is listed twice in the project, as crouton 1 and crouton 4"));
    EXPECT_THAT(trace_, Not(HasSubstr("in use by another Clipweaver")));
}

} // namespace

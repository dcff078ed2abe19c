// Project files that are not what they should be: CR LF line ends, and crouton
// lines that name a device, a FIFO, a folder or a damaged crouton file.
#include "project_helper.h"
#include "gui/gui.h"
#include "gui/main.h"
#include "gui/windows.h"
#include "model/line_file.h"
#include "model/project.h"
#include "os/asl.h"
#include "os/dos.h"
#include "mui/mui.h"
#include "support/test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using cwtest::ReadHostFile;
using cwtest::WriteHostFile;

namespace {

class ProjectOddFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.path().empty());
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
    }

    std::string Path(const std::string& name) const { return dir_ / name; }

    // A crouton file named after the crouton, in the test's folder.
    std::string StoreCrouton(const std::string& name)
    {
        WriteHostFile(Path(name + ".cwcrouton"), name + "\n__no file__\n0\n" + std::to_string(name.size()) + "\n");
        return Path(name + ".cwcrouton");
    }

    // The project file's text for these crouton paths.
    static std::string ProjectText(const std::vector<std::string>& croutons)
    {
        std::string text = "Holiday\nout.avi\n\n320\n240\n0\n3\n0\n30.000000\n" + std::to_string(croutons.size()) + "\n";
        for (const std::string& crouton : croutons)
            text += crouton + "\n";
        return text;
    }

    void LoadFrom(const std::string& file)
    {
        QueueAslAnswer(AslAnswer{dir_.path(), file});
        gProject = LoadProject(std::move(gProject));
    }

    cwtest::TempFolder dir_{"cw-oddproj"};
    mui::ObjectPtr app_;
};

// Lines ended by CR LF load as if ended by LF, and saving writes LF again.
TEST_F(ProjectOddFiles, CrLfLinesLoadTheirCroutons)
{
    const std::string lf = ProjectText({StoreCrouton("P"), StoreCrouton("Q")});
    std::string crlf;
    for (const char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    WriteHostFile(Path("crlf.cwproj"), crlf);
    LoadFrom("crlf.cwproj");
    EXPECT_EQ(gProject->projectName, "Holiday");
    EXPECT_EQ(gProject->outputFileName, "out.avi");
    EXPECT_EQ(gProject->soundtrack, "");
    EXPECT_THAT(ProjectNames(gProject.get()), ElementsAre("P", "Q"));

    QueueAslAnswer(AslAnswer{dir_.path(), "again.cwproj"});
    ASSERT_EQ(SaveProject(gProject.get()), TRUE);
    const std::string saved = ReadHostFile(Path("again.cwproj"));
    EXPECT_EQ(saved.find('\r'), std::string::npos);
    EXPECT_THAT(saved, testing::EndsWith("\n2\n" + Path("P.cwcrouton") + "\n" + Path("Q.cwcrouton") + "\n"));
}

struct OddCrouton {
    const char* name;
    // Makes the odd crouton line's target and returns the path to write.
    std::function<std::string(const std::string& folder)> make;
};

std::ostream& operator<<(std::ostream& out, const OddCrouton& c) { return out << c.name; }

class ProjectNamingAnOddFile : public ProjectOddFiles, public ::testing::WithParamInterface<OddCrouton> {};

// The odd line is not read; it stays as an entry that says so, and the
// other croutons load.
TEST_P(ProjectNamingAnOddFile, LoadsItsOtherCroutons)
{
    const std::string odd = GetParam().make(dir_.path());
    WriteHostFile(Path("odd.cwproj"), ProjectText({StoreCrouton("P"), odd, StoreCrouton("R")}));
    LoadFrom("odd.cwproj");
    const std::vector<std::string> names = ProjectNames(gProject.get());
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], "P");
    EXPECT_EQ(names[2], "R");
    EXPECT_TRUE(GetCroutonFromPosition(gProject.get(), 1)->loadProblem);
    EXPECT_THAT(VisualSlots(), ElementsAre(1, 2, 3));
}

const OddCrouton kOddCroutons[] = {
    {"endless_device", [](const std::string&) { return std::string("/dev/zero"); }},
    {"fifo", [](const std::string& folder) {
         const std::string path = folder + "/fifo.cwcrouton";
         EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
         return path;
     }},
    {"folder", [](const std::string& folder) {
         std::filesystem::create_directory(folder + "/dir.cwcrouton");
         return folder + "/dir.cwcrouton";
     }},
    {"overlong_line", [](const std::string& folder) {
         WriteHostFile(folder + "/long.cwcrouton", std::string(2 * kLongestLine, 'x') + "\n__no file__\n");
         return folder + "/long.cwcrouton";
     }},
};

INSTANTIATE_TEST_SUITE_P(Table, ProjectNamingAnOddFile, ::testing::ValuesIn(kOddCroutons),
    [](const ::testing::TestParamInfo<OddCrouton>& info) { return std::string(info.param.name); });

// A line too long for a project file ends its reading there: what came
// before stands.
TEST_F(ProjectOddFiles, AnOverlongLineEndsTheReading)
{
    std::string text = ProjectText({StoreCrouton("P"), StoreCrouton("Q")});
    const std::string second = Path("Q.cwcrouton") + "\n";
    text.replace(text.find(second), second.size(), std::string(kLongestLine + 10, 'q') + "\n" + second);
    WriteHostFile(Path("long.cwproj"), text);
    TraceCapture trace;
    LoadFrom("long.cwproj");
    EXPECT_THAT(ProjectNames(gProject.get()), ElementsAre("P"));
    EXPECT_THAT(trace.Text(), HasSubstr("Project file " + Path("long.cwproj") + " is damaged; reading stopped there.\n"));
}

} // namespace

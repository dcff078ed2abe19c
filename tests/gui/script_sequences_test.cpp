// Picture sequences and projects as a user meets them, driven through the
// script driver: a new sequence's length, the pictures of the visual list,
// stills of the source the editor shows, and a file that is no project.
#include "project_helper.h"

#include "gui/script.h"
#include "media/media_test_support.h"
#include "os/asl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using ::testing::HasSubstr;
using ::testing::Not;
using media_test::MakePicture;
using media_test::ReadHostFile;
using media_test::TempFolder;
using media_test::WriteHostFile;

namespace {

struct ScriptRun {
    std::string out;
    std::string errors;
    std::string trace;
};

ScriptRun RunText(const std::string& script)
{
    ClearAslAnswers();
    std::istringstream in(script);
    std::ostringstream out;
    std::ostringstream errors;
    TraceCapture trace;
    EXPECT_EQ(RunScript(in, out, errors), 0);
    return {out.str(), errors.str(), trace.Text()};
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The lines of one dump that begin with `prefix`.
std::vector<std::string> DumpLines(const std::string& dump, const std::string& prefix)
{
    std::vector<std::string> lines;
    std::istringstream in(dump);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0)
            lines.push_back(line);
    }
    return lines;
}

// The dumps of a run, one text each.
std::vector<std::string> Dumps(const std::string& out)
{
    std::vector<std::string> dumps;
    std::size_t start = 0;
    while ((start = out.find("dump\n", start)) != std::string::npos) {
        const std::size_t end = out.find("end\n", start);
        dumps.push_back(out.substr(start, end == std::string::npos ? std::string::npos : end + 4 - start));
        start = end == std::string::npos ? out.size() : end + 4;
    }
    return dumps;
}

class ScriptSequencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder_.path().empty());
        std::filesystem::create_directory(folder_ / "Croutons");
    }
    void TearDown() override { ClearAslAnswers(); }

    // Lines that add a new image crouton over `pattern` in `pictures`.
    std::string NewImageCrouton(const std::string& pictures, const std::string& pattern, const std::string& name) const
    {
        return "requester " + Quoted(pictures) + " " + Quoted(pattern) + "\n" + "requester " +
               Quoted(folder_ / "Croutons") + " " + Quoted(name) + "\n" + "press BUTTON_MAIN_NEWCROUTON\n";
    }

    // `count` files named frame1.png ... in a folder of their own.
    std::string Pictures(const std::string& name, int count, bool real) const
    {
        const std::string pictures = folder_ / name;
        std::filesystem::create_directory(pictures);
        for (int i = 1; i <= count; ++i) {
            const std::string file = pictures + "/frame" + std::to_string(i) + ".png";
            if (real)
                MakePicture(file);
            else
                WriteHostFile(file, "not a picture\n");
        }
        return pictures;
    }

    TempFolder folder_;
};

// A new sequence lasts its pictures at "1.5 Seconds/Frame" at once, reckoned
// as the editor's save reckons it (the rate is a float a little above 2/3).
TEST_F(ScriptSequencesTest, ANewSequenceHasItsLengthAtOnce)
{
    struct Case {
        int pictures;
        const char* pattern;
        const char* shown;
        const char* stored;
    };
    const Case cases[] = {
        {12, "frame#?.png", "17 Seconds", "17"},
        {3, "frame#?.png", "4 Seconds", "4"},
        {1, "frame1.png", "1 Seconds", "1"},
    };
    int number = 0;
    for (const Case& c : cases) {
        const std::string name = "seq" + std::to_string(++number);
        const std::string pictures = Pictures(name, c.pictures, false);
        const ScriptRun run = RunText(NewImageCrouton(pictures, c.pattern, name + ".IMAGES.cwcrouton") +
                                "select gCroutonList 0\ndump\n");
        EXPECT_EQ(run.errors, "");
        EXPECT_THAT(run.out, HasSubstr("gadget BUTTON_MAIN_LENGTH Label enabled text=\"" + std::string(c.shown) + "\"\n"))
            << c.pictures;
        const std::vector<std::string> lines =
            media_test::Lines(ReadHostFile(folder_ / ("Croutons/" + name + ".IMAGES.cwcrouton")));
        ASSERT_GT(lines.size(), 8u);
        EXPECT_EQ(lines[8], c.stored) << c.pictures; // length
    }
}

// Croutons without a chosen still show the no-image picture in the visual
// list whatever moves them.
TEST_F(ScriptSequencesTest, NoVisualEntryIsEverBlank)
{
    const std::string pictures = Pictures("pics", 2, false);
    const std::string three = NewImageCrouton(pictures, "frame#?.png", "a.IMAGES.cwcrouton") +
                              NewImageCrouton(pictures, "frame1.png", "b.IMAGES.cwcrouton") +
                              NewImageCrouton(pictures, "frame2.png", "c.IMAGES.cwcrouton");
    const std::string project = folder_ / "Projects";
    std::filesystem::create_directory(project);
    const std::pair<const char*, std::string> cases[] = {
        {"a drag in the crouton list", "select gCroutonList 0\ndrag gCroutonList 0 2\n"},
        {"a drag in the visual list", "select gVisualList 2\ndrag gVisualList 2 0\n"},
        {"down", "select gCroutonList 0\npress BUTTON_MAIN_DOWN\n"},
        {"up", "select gCroutonList 2\npress BUTTON_MAIN_UP\n"},
        {"saving and loading the project",
         "requester " + Quoted(project) + " \"p.cwproj\"\npress BUTTON_MAIN_SAVE\n" + "requester " + Quoted(project) +
             " \"p.cwproj\"\npress BUTTON_MAIN_LOAD\n"},
    };
    for (const auto& [what, moves] : cases) {
        const ScriptRun run = RunText(three + moves + "dump\n");
        EXPECT_EQ(run.errors, "") << what;
        const std::vector<std::string> entries = DumpLines(run.out, "entry gVisualList ");
        ASSERT_EQ(entries.size(), 3u) << what;
        for (const std::string& entry : entries)
            EXPECT_THAT(entry, HasSubstr("picture=\"NoImageAvailable.png\"")) << what;
    }
}

// A clip or a damaged file picked in "_Load Project" leaves the project and
// the whole window as they were.
TEST_F(ScriptSequencesTest, AFileThatIsNoProjectLeavesEverythingAsItWas)
{
    const std::string pictures = Pictures("pics", 2, false);
    const std::string clip = folder_ / "clip.avi";
    std::string bytes("RIFF\x10\x00\x00\x00" "AVI LIST\n\x00\x01\x02", 21);
    bytes += std::string(3000, '\x7f');
    WriteHostFile(clip, bytes);
    WriteHostFile(folder_ / "short.cwproj", "Name\nRAM:out.mp4\n\n320\n240\n");
    for (const char* file : {"clip.avi", "short.cwproj"}) {
        const ScriptRun run = RunText(NewImageCrouton(pictures, "frame#?.png", "a.IMAGES.cwcrouton") +
                                "type BUTTON_MAIN_PROJECTNAME \"Holiday\"\n"
                                "cycle BUTTON_MAIN_FORMAT_CYCLER 19\n"
                                "type BUTTON_MAIN_WIDTH \"720\"\n"
                                "select gCroutonList 0\n"
                                "dump\n"
                                "requester " + Quoted(folder_.path()) + " " + Quoted(file) + "\n"
                                "press BUTTON_MAIN_LOAD\n"
                                "dump\n");
        EXPECT_EQ(run.errors, "") << file;
        const std::vector<std::string> dumps = Dumps(run.out);
        ASSERT_EQ(dumps.size(), 2u) << file;
        EXPECT_EQ(dumps[1], dumps[0]) << file;
        EXPECT_THAT(run.trace, HasSubstr("Not a project file.\n")) << file;
        EXPECT_THAT(run.trace, Not(HasSubstr("Loading project.\n"))) << file;
    }
}

// "_Generate Preview" takes the stills of the source that the editor shows,
// also for a sequence whose new source is loaded but not saved yet.
TEST_F(ScriptSequencesTest, StillsComeFromTheSourceTheEditorShows)
{
    const std::string old = Pictures("old", 3, false);
    const std::string shown = Pictures("shown", 3, true);
    const ScriptRun run = RunText(NewImageCrouton(old, "frame#?.png", "a.IMAGES.cwcrouton") +
                            "doubleclick gCroutonList 0\n"
                            "type BUTTON_CROUTONEDITOR_VIDEO_FILENAME " + Quoted(shown + "/frame#?.png") + "\n"
                            "press BUTTON_CROUTONEDITOR_LOADVIDEO\n"
                            "press BUTTON_CROUTONEDITOR_GENERATEPREVIEW\n"
                            "dump\n"
                            "press BUTTON_CROUTONEDITOR_SAVE\n");
    EXPECT_EQ(run.errors, "");
    const std::size_t grabbing = run.trace.find("Crouton previewImage is ");
    ASSERT_NE(grabbing, std::string::npos);
    const std::string grab = run.trace.substr(grabbing);
    EXPECT_THAT(grab, HasSubstr("Locking directory " + shown + ".\n"));
    EXPECT_THAT(grab, Not(HasSubstr("Locking directory " + old + ".\n")));
    const std::vector<std::string> image = DumpLines(run.out, "gadget BUTTON_CROUTONEDITOR_IMAGE ");
    ASSERT_EQ(image.size(), 1u);
    EXPECT_THAT(image[0], HasSubstr("picture=\"T:__MplayerPreview1.png\""));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "Croutons/a.IMAGES_preview1.png"));
}

// The editor's source field asks for a video or pictures as "_New Crouton"
// does: a sequence comes back as its pattern.
TEST_F(ScriptSequencesTest, TheEditorsSourceFieldTakesASequence)
{
    const std::string pictures = Pictures("pics", 3, false);
    const ScriptRun run = RunText(NewImageCrouton(pictures, "frame1.png", "a.IMAGES.cwcrouton") +
                                  "doubleclick gCroutonList 0\n"
                                  "requester " + Quoted(pictures) + " \"frame#?.png\"\n"
                                  "press BUTTON_CROUTONEDITOR_VIDEO_FILENAME_POPUP\n"
                                  "dump\n");
    EXPECT_EQ(run.errors, "");
    EXPECT_THAT(run.out, HasSubstr("gadget BUTTON_CROUTONEDITOR_VIDEO_FILENAME String enabled text=\"" + pictures +
                                   "/frame#?.png\"\n"));
    ASSERT_EQ(AslRequestLog().size(), 3u);
    const AslTags& tags = AslRequestLog()[2];
    EXPECT_EQ(tags.titleText, "Choose a video or still image");
    EXPECT_EQ(tags.doSequences, true);
    EXPECT_EQ(tags.initialPattern, "(#?.avi|#?.mpeg|#?.mpg|#?.mp4|#?.png|#?#0)");
    EXPECT_TRUE(tags.hintText.has_value());
}

} // namespace

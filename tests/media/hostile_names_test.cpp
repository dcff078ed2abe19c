// Names holding a line feed or another control character never reach a file
// that a tool reads line by line (MPlayer's command file, mencoder's list
// file): nothing is written, nothing runs, and the trace says why.
#include "media/preview.h"
#include "media/probe.h"
#include "model/render.h"
#include "os/command.h"
#include "render_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using media_test::ReadHostFile;
using media_test::WriteHostFile;
using render_test::Exists;
using render_test::Host;
using render_test::SetField;

namespace {

constexpr const char* kRefused = "holds a control character; it is not handed to the tool.\n";

struct HostileName {
    const char* name;
    std::string text; // the name's part between its folder and its extension
};

std::ostream& operator<<(std::ostream& out, const HostileName& c) { return out << c.name; }

const HostileName kHostileNames[] = {
    {"line_feed", "evil\nloadfile x.avi\nrun 'touch pwned'\n"},
    {"carriage_return", "evil\rrun 'touch pwned'"},
    {"tab", "a\tb"},
    {"escape", "a\x1b" "b"},
    {"control_a", "a\x01"},
};

class HostileNames : public render_test::RenderFixture, public ::testing::WithParamInterface<HostileName> {
protected:
    void SetUp() override
    {
        RenderFixture::SetUp();
        for (const char* file : {"T:__MPlayerCommand", "T:__CWEncodeList.lst"})
            DeleteFile(file);
        SetCommandHook([this](std::string_view command) -> std::optional<LONG> {
            commands_.emplace_back(command);
            return 0;
        });
    }
    void TearDown() override
    {
        SetCommandHook({});
        RenderFixture::TearDown();
    }

    // Nothing was written for a tool and nothing ran.
    void ExpectNothingHandedOn(const std::string& trace)
    {
        EXPECT_TRUE(commands_.empty()) << commands_.front();
        EXPECT_FALSE(Exists("T:__MPlayerCommand"));
        EXPECT_EQ(ReadHostFile(Host("T:__CWEncodeList.lst")), "");
        EXPECT_NE(trace.find(kRefused), std::string::npos) << trace;
        EXPECT_FALSE(std::filesystem::exists(folder_ / "pwned"));
    }

    std::vector<std::string> commands_;
};

TEST_P(HostileNames, ProbeRefusesTheName)
{
    auto crouton = CreateCrouton();
    TraceCapture trace;
    EXPECT_EQ(LoadVideoIntoCrouton(crouton.get(), folder_ / (GetParam().text + ".avi")), FALSE);
    ExpectNothingHandedOn(trace.Text());
    EXPECT_EQ(crouton->videoLength, 0) << "a refused name fails as a missing file does";
}

TEST_P(HostileNames, PreviewOfAVideoRefusesTheName)
{
    auto crouton = CreateCrouton();
    crouton->directory = folder_.path();
    crouton->filename = "c.cwcrouton";
    crouton->isVideo = TRUE;
    crouton->videoLength = 10;
    SetField(BUTTON_CROUTONEDITOR_VIDEO_FILENAME, folder_ / (GetParam().text + ".avi"));
    TraceCapture trace;
    GrabPreviews_Video(crouton.get(), ReadPreviewInputs());
    ExpectNothingHandedOn(trace.Text());
}

TEST_P(HostileNames, PreviewOfAPictureRefusesTheName)
{
    auto crouton = CreateCrouton();
    crouton->directory = folder_.path();
    crouton->filename = "c.cwcrouton";
    TraceCapture trace;
    // A list entry ends in its own line feed.
    GrabPreviewImage(crouton.get(), folder_ / (GetParam().text + ".png\n"), "T:__MplayerPreview1.png", 0);
    ExpectNothingHandedOn(trace.Text());
}

TEST_P(HostileNames, RenderingOfAPictureRefusesTheName)
{
    Crouton* images = Append(Images(folder_ / (GetParam().text + ".png"), 6));
    TraceCapture trace;
    RenderCrouton(gProject.get(), images, "T:__TempVideo", FALSE);
    ExpectNothingHandedOn(trace.Text());
}

// The name comes from a folder: a pattern matches a file whose name holds
// the control character.
TEST_P(HostileNames, RenderingOfASequenceRefusesTheName)
{
    WriteHostFile(folder_ / "frame1.png", "");
    WriteHostFile(folder_ / ("frame2" + GetParam().text + ".png"), "");
    Crouton* images = Append(Images(folder_ / "frame#?.png", 6));
    TraceCapture trace;
    RenderCrouton(gProject.get(), images, "T:__TempVideo", FALSE);
    ExpectNothingHandedOn(trace.Text());
}

INSTANTIATE_TEST_SUITE_P(Table, HostileNames, ::testing::ValuesIn(kHostileNames),
    [](const ::testing::TestParamInfo<HostileName>& info) { return std::string(info.param.name); });

// Names without control characters go on as they did, whatever else they hold.
TEST(FitsOnOneLine, FineNamesPass)
{
    for (const char* name : {"clip.avi", "a b \"c\" *;$(x)`y`|&<>.avi", "-dash.avi", "caf\xc3\xa9.png", "frame1.png\n"})
        EXPECT_TRUE(FitsOnOneLine(name)) << name;
    for (const char* name : {"a\nb", "a\rb", "\n\n", "a\x7f"})
        EXPECT_EQ(FitsOnOneLine(name), std::string_view(name) == "a\x7f") << name;
}

} // namespace

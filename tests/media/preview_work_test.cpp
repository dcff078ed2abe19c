// Grabbing five stills is long work: it shows "Still k of 5" as it goes and
// stops at the user's cancel. The tools are stood in for through the command
// runner's seam.
#include "media/preview.h"

#include "media_test_support.h"
#include "model/crouton.h"
#include "model/tables.h"
#include "os/dos.h"
#include "support/fake_tools.h"
#include "support/test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using cwtest::FakeAnswer;
using cwtest::FakeTools;
using cwtest::HostFile;
using cwtest::RecordedWork;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

bool IsPlayer(const std::string& line) { return line.rfind("SYS:Utilities/MPlayer ", 0) == 0; }

std::vector<std::string> PlayerLines(const FakeTools& tools)
{
    std::vector<std::string> lines;
    for (const std::string& line : tools.Lines())
        if (IsPlayer(line))
            lines.push_back(line);
    return lines;
}

class PreviewWork : public media_test::WindowsFixture {
protected:
    void SetUp() override
    {
        WindowsFixture::SetUp();
        crouton_ = CreateCrouton();
        crouton_->directory = folder_.path();
        crouton_->filename = "clip.cwcrouton";
        for (auto& still : crouton_->previewFilename)
            still = "kept.png";
        mui::nnset(gButtons[BUTTON_CROUTONEDITOR_START], MUIA_Numeric_Max, LONG{30});
        mui::nnset(gButtons[BUTTON_CROUTONEDITOR_END], MUIA_Numeric_Max, LONG{30});
        mui::nnset(gButtons[BUTTON_CROUTONEDITOR_START], MUIA_Numeric_Value, LONG{10});
        mui::nnset(gButtons[BUTTON_CROUTONEDITOR_END], MUIA_Numeric_Value, LONG{30});
        const LONG sliders[] = {50, 0, 100, 25, 33};
        for (std::size_t i = 0; i < 5; ++i)
            mui::nnset(gButtons[media_test::kSliders[i]], MUIA_Numeric_Value, sliders[i]);
        mui::nnset(gButtons[BUTTON_CROUTONEDITOR_VIDEO_FILENAME], MUIA_String_Contents,
                   std::string(folder_ / "clip.avi"));
    }
    void TearDown() override
    {
        crouton_.reset();
        for (const char* still : cTemporaryPreviewFilename)
            DeleteFile(still);
        WindowsFixture::TearDown();
    }

    // A player that saves a screenshot each time; `onRun` is told which run
    // (counted from 1) it is.
    FakeTools::Rule Player(std::function<void(int run)> onRun = {})
    {
        return [this, onRun](const std::string& line, int) -> std::optional<FakeAnswer> {
            if (!IsPlayer(line))
                return std::nullopt;
            const int run = ++playerRuns_;
            const std::string shot = "T:shot" + std::to_string(run) + ".png";
            media_test::WriteHostFile(HostFile(shot), "a picture");
            media_test::WriteHostFile(HostFile("T:__Mplayer.out"),
                                      "*** screenshot 'x' ***\nSaved screenshot as '" + shot + "'\n");
            if (onRun)
                onRun(run);
            return FakeAnswer{};
        };
    }

    media_test::TempFolder folder_;
    std::unique_ptr<Crouton> crouton_;
    int playerRuns_ = 0;
};

TEST_F(PreviewWork, FiveStillsAreShownAsTheyCome)
{
    crouton_->isVideo = TRUE;
    crouton_->videoLength = 30;
    FakeTools tools(Player());
    RecordedWork work;
    GeneratePreview(crouton_.get());

    EXPECT_EQ(work.events,
              (std::vector<std::string>{"begin Generating previews 5", "step 1 Still 1 of 5", "step 2 Still 2 of 5",
                                        "step 3 Still 3 of 5", "step 4 Still 4 of 5", "step 5 Still 5 of 5", "end"}));
    EXPECT_EQ(work.outcome, WorkOutcome::Finished);
    // The stills' positions follow the sliders over the stretch.
    const std::vector<std::string> lines = PlayerLines(tools);
    ASSERT_EQ(lines.size(), 5u);
    const char* positions[] = {"20.000000", "10.000000", "30.000000", "15.000000", "16.600000"};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_THAT(lines[i], HasSubstr(std::string(" -ss ") + positions[i] + " ")) << i;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(crouton_->previewFilename[static_cast<std::size_t>(i)],
                  folder_ / ("clip_preview" + std::to_string(i + 1) + ".png"));
}

TEST_F(PreviewWork, CancelStopsGrabbingVideoStills)
{
    crouton_->isVideo = TRUE;
    crouton_->videoLength = 30;
    // The user cancels while the second still is grabbed.
    FakeTools tools(Player([](int run) {
        if (run == 2)
            CancelWork();
    }));
    RecordedWork work;
    TraceCapture trace;
    GeneratePreview(crouton_.get());

    EXPECT_EQ(PlayerLines(tools).size(), 2u);
    EXPECT_EQ(work.outcome, WorkOutcome::Cancelled);
    EXPECT_THAT(trace.Text(), HasSubstr("Preview grabbing cancelled.\n"));
    EXPECT_THAT(trace.Text(), Not(HasSubstr("No screenshot found.")));
    EXPECT_EQ(crouton_->previewFilename[0], folder_ / "clip_preview1.png");
    for (std::size_t i = 1; i < 5; ++i)
        EXPECT_EQ(crouton_->previewFilename[i], "kept.png") << i;
}

TEST_F(PreviewWork, CancelStopsGrabbingImageStills)
{
    for (int number = 1; number <= 3; ++number)
        media_test::WriteHostFile(folder_ / ("img" + std::to_string(number) + ".png"), "a picture");
    crouton_->isVideo = FALSE;
    crouton_->videoName = folder_ / "img#?.png";
    // Stills come from the source the editor shows.
    mui::nnset(gButtons[BUTTON_CROUTONEDITOR_VIDEO_FILENAME], MUIA_String_Contents, *crouton_->videoName);
    FakeTools tools(Player());
    RecordedWork work;
    // The user cancels as the third still starts.
    work.onStep = [](int index) {
        if (index == 3)
            CancelWork();
    };
    GeneratePreview(crouton_.get());

    EXPECT_EQ(tools.Encoder().size(), 2u);
    EXPECT_EQ(PlayerLines(tools).size(), 2u);
    EXPECT_EQ(work.outcome, WorkOutcome::Cancelled);
    EXPECT_EQ(crouton_->previewFilename[1], folder_ / "clip_preview2.png");
    EXPECT_EQ(crouton_->previewFilename[2], "kept.png");
}

} // namespace

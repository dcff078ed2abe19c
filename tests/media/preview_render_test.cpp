// A preview of a project whose look needs rendering: it is made with the
// render's own lines into a file on T:, plays what the render makes (the
// clip's sound under the soundtrack, measured in it), follows its croutons,
// is made again when the project changes, and leaves the render's output
// alone. A plain project still plays from its sources.
#include "gui/player_actions.h"
#include "media/player.h"
#include "render_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using render_test::SetField;
using render_test::ToneLevel;

namespace {

// The beep against the music in what the player plays.
double BeepUnderMusic()
{
    const std::string file = PlayerCurrentMedia().url;
    return ToneLevel(file, 3000, 1.7, 2.3) - ToneLevel(file, 440, 1.7, 2.3);
}

int CroutonAt(double seconds)
{
    PlayerSeek(seconds);
    PlayerSettle();
    return PlayerCurrent().crouton;
}

class RenderedPreview : public render_test::RenderFixture {
protected:
    void SetUp() override
    {
        RenderFixture::SetUp();
        gProject->fps = 2; // 25 frames a second
        const std::string beep = folder_ / "beep.avi";
        render_test::MakeBeepClip(beep);
        const std::string music = folder_ / "music.wav";
        render_test::MakeMusic(music, 8);
        media_test::MakeClip(folder_ / "two.avi", false);
        SetField(BUTTON_MAIN_SOUNDTRACK, music);
        gProject->soundtrack = music;
        Append(Video(beep, 0, 4, "pcm_s16le"));
        Append(Video(folder_ / "two.avi", 0, 2, std::nullopt));
    }
    void TearDown() override
    {
        PlayerQuit();
        RenderFixture::TearDown();
    }
};

struct PreviewRow {
    const char* fault;
    std::function<void()> check;
};

void PrintTo(const PreviewRow& row, std::ostream* out) { *out << row.fault; }

class PreviewRows : public RenderedPreview, public ::testing::WithParamInterface<PreviewRow> {};

TEST_P(PreviewRows, AreMeasured)
{
    gProject->look.clipLevel = 30;
    PreviewProject();
    ASSERT_EQ(PlayerCurrent().problem, "");
    ASSERT_EQ(PlayerCurrentMedia().url.rfind(render_test::Host("T:"), 0), 0u) << PlayerCurrentMedia().url;
    GetParam().check();
}

const PreviewRow kRows[] = {
    {"the preview plays the clip's sound under the soundtrack as the render mixes it",
     [] { EXPECT_NEAR(BeepUnderMusic(), -10.5, 1.5); }},
    {"the list follows the crouton playing in the rendered preview",
     [] {
         EXPECT_EQ(CroutonAt(3.9), 0);
         EXPECT_EQ(CroutonAt(4.04), 1);
         EXPECT_NEAR(PlayerCurrent().end, 6.0, 0.05);
     }},
    {"a change of the project makes the preview again",
     [] {
         gProject->look.clipLevel = 100;
         PlayerAfterEvent(GADMSG_MAIN_PREVIEW);
         EXPECT_NEAR(BeepUnderMusic(), 0.0, 1.5);
     }},
    {"a dissolve is made in the preview as the render makes it: the croutons overlap",
     [] {
         gProject->look.defaultTransition = {"dissolve", 1.0};
         PlayerAfterEvent(GADMSG_MAIN_PREVIEW);
         ASSERT_EQ(PlayerCurrent().problem, "");
         EXPECT_NEAR(PlayerCurrent().end, 5.0, 0.05);
         EXPECT_EQ(CroutonAt(2.9), 0);
         EXPECT_EQ(CroutonAt(3.1), 1);
     }},
    {"the preview writes nothing of the render's own",
     [] {
         EXPECT_FALSE(render_test::Exists("T:__SilentVideo"));
         EXPECT_FALSE(render_test::Exists("T:__FinishVideo"));
     }},
};

INSTANTIATE_TEST_SUITE_P(Rows, PreviewRows, ::testing::ValuesIn(kRows));

TEST_F(RenderedPreview, OutputIsUntouchedAndAPlainProjectPlaysItsSources)
{
    gProject->look.clipLevel = 30;
    PreviewProject();
    EXPECT_FALSE(std::filesystem::exists(output_));
    gProject->look.clipLevel = 0;
    PlayerAfterEvent(GADMSG_MAIN_PREVIEW);
    EXPECT_EQ(PlayerCurrentMedia().url.rfind("edl://", 0), 0u) << PlayerCurrentMedia().url;
}

// A telephone's clip stored turned: mpv cannot turn one stretch of a
// timeline, so a project holding one is previewed as the render makes it.
TEST_F(RenderedPreview, AClipStoredTurnedIsPreviewedAsRendered)
{
    const std::string phone = folder_ / "phone.mp4";
    media_test::MakeTurnedClip(phone, "90");
    gProject->look.clipLevel = 0; // a plain project, played from its sources
    Append(Video(phone, 0, 1, std::nullopt));
    PreviewProject();
    EXPECT_NE(PlayerCurrentMedia().url.find("__CWPreview"), std::string::npos) << PlayerCurrentMedia().url;
    EXPECT_EQ(PlayerCurrent().problem, "");
}

} // namespace

namespace {

// With a face that posts to a loop (the windowed program), the preview is
// made in the background: the player says so at once and plays it when the
// posted work says it is made; a player closed meanwhile stays closed.
class BackgroundPreview : public RenderedPreview {
protected:
    void SetUp() override
    {
        RenderedPreview::SetUp();
        PlayerFace face;
        face.post = [this](std::function<void()> work) {
            const std::lock_guard lock(mutex_);
            posted_.push_back(std::move(work));
        };
        SetPlayerFace(std::move(face));
        PlayerAfterEvent(0); // the list's listener, as the loop installs it
        gProject->look.clipLevel = 30;
    }
    void TearDown() override
    {
        RenderedPreview::TearDown();
        SetPlayerFace({});
    }
    // Runs what was posted, as the loop would, until the player plays a file.
    void LoopUntilPlaying()
    {
        for (int turn = 0; turn < 6000 && PlayerCurrentMedia().url.empty(); ++turn) {
            std::vector<std::function<void()>> work;
            {
                const std::lock_guard lock(mutex_);
                work.swap(posted_);
            }
            for (auto& item : work)
                item();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    std::mutex mutex_;
    std::vector<std::function<void()>> posted_;
};

TEST_F(BackgroundPreview, SaysSoWhileMakingAndThenPlaysIt)
{
    PreviewProject();
    EXPECT_EQ(PlayerCurrent().problem.rfind("Making the preview", 0), 0u) << PlayerCurrent().problem;
    EXPECT_TRUE(PlayerCurrentMedia().url.empty());
    LoopUntilPlaying();
    EXPECT_EQ(PlayerCurrent().problem, "");
    EXPECT_NEAR(BeepUnderMusic(), -10.5, 1.5);
}

TEST_F(BackgroundPreview, ClosedWhileMakingItStaysClosed)
{
    PreviewProject();
    PlayerClose();
    // The making has ended with the close: nothing it posted opens the
    // player again.
    std::vector<std::function<void()>> work;
    {
        const std::lock_guard lock(mutex_);
        work.swap(posted_);
    }
    for (auto& item : work)
        item();
    EXPECT_FALSE(PlayerIsOpen());
}

} // namespace

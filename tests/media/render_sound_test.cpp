// The croutons' own sound under the project's soundtrack, measured in real
// renders of a clip that beeps at 3 kHz from 1.5 to 2.5 s under a 440 Hz
// soundtrack: each row sets the project's look and measures the two tones
// apart (band-pass filters) over stretches of the finished output.
#include "model/render.h"
#include "render_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

using render_test::SetField;
using render_test::ToneLevel;

namespace {

struct SoundRow {
    const char* fault;
    double music = 6;  // the soundtrack's seconds
    std::function<void(ProjectLook&)> look;
    std::function<void(const std::string& out, const std::string& trace)> check;
};

void PrintTo(const SoundRow& row, std::ostream* out) { *out << row.fault; }

class ClipSound : public render_test::RenderFixture, public ::testing::WithParamInterface<SoundRow> {};

TEST_P(ClipSound, IsMeasuredInTheOutput)
{
    const SoundRow& row = GetParam();
    gProject->fps = 2; // 25 frames a second
    const std::string clip = folder_ / "beep.avi";
    render_test::MakeBeepClip(clip);
    const std::string music = folder_ / "music.wav";
    render_test::MakeMusic(music, row.music);
    SetField(BUTTON_MAIN_SOUNDTRACK, music);
    Append(Video(clip, 0, 4, "pcm_s16le"));
    row.look(gProject->look);
    TraceCapture trace;
    RenderProject(gProject.get());
    ASSERT_TRUE(trace.Text().ends_with("Rendering finished.\n")) << trace.Text();
    row.check(output_, trace.Text());
}

const SoundRow kRows[] = {
    {"the clip's beep lies about 10 dB under the music at 30 %", 6, [](ProjectLook& look) { look.clipLevel = 30; },
     [](const std::string& out, const std::string& trace) {
         EXPECT_NE(trace.find("\" -o " + out + " -cliplevel 30.\n"), std::string::npos) << trace;
         EXPECT_EQ(trace.find(" -nosound "), std::string::npos);
         EXPECT_NEAR(ToneLevel(out, 3000, 1.7, 2.3) - ToneLevel(out, 440, 1.7, 2.3), -10.5, 1.5);
         // Without ducking the music stays level under the beep.
         EXPECT_NEAR(ToneLevel(out, 440, 1.7, 2.3), ToneLevel(out, 440, 0.3, 1.2), 1.0);
     }},
    {"ducking lowers the music under the beep, and it comes back", 6,
     [](ProjectLook& look) {
         look.clipLevel = 30;
         look.duck = true;
     },
     [](const std::string& out, const std::string&) {
         const double before = ToneLevel(out, 440, 0.3, 1.2);
         EXPECT_LT(ToneLevel(out, 440, 1.9, 2.4), before - 6);
         EXPECT_NEAR(ToneLevel(out, 440, 3.6, 3.95), before, 1.5);
     }},
    {"ducking without clip sound changes nothing on the line", 6, [](ProjectLook& look) { look.duck = true; },
     [](const std::string& out, const std::string& trace) {
         EXPECT_NE(trace.find(" -nosound "), std::string::npos);
         EXPECT_NE(trace.find("\" -o " + out + ".\n"), std::string::npos) << trace;
         EXPECT_LT(ToneLevel(out, 3000, 1.7, 2.3), -50);
     }},
    {"a short soundtrack loops to the end instead of leaving silence", 2,
     [](ProjectLook& look) { look.fitSoundtrack = true; },
     [](const std::string& out, const std::string&) {
         EXPECT_NEAR(ToneLevel(out, 440, 3.2, 3.9), ToneLevel(out, 440, 0.3, 1.2), 1.0);
     }},
    {"without fitting, a short soundtrack still ends in silence", 2, [](ProjectLook&) {},
     [](const std::string& out, const std::string&) { EXPECT_LT(ToneLevel(out, 440, 3.2, 3.9), -60); }},
    {"a long soundtrack fades out over the project's last 2 s", 6,
     [](ProjectLook& look) { look.fitSoundtrack = true; },
     [](const std::string& out, const std::string&) {
         const double full = ToneLevel(out, 440, 0.3, 1.9);
         EXPECT_NEAR(ToneLevel(out, 440, 2.0, 2.15), full, 1.5);
         EXPECT_LT(ToneLevel(out, 440, 2.9, 3.1), full - 4);
         EXPECT_LT(ToneLevel(out, 440, 3.75, 3.95), full - 15);
     }},
    {"the project's fades fade the soundtrack too", 6,
     [](ProjectLook& look) {
         look.fadeIn = 1;
         look.fadeOut = 1;
     },
     [](const std::string& out, const std::string&) {
         const double full = ToneLevel(out, 440, 1.5, 2.5);
         EXPECT_LT(ToneLevel(out, 440, 0.0, 0.25), full - 10);
         EXPECT_LT(ToneLevel(out, 440, 3.75, 3.95), full - 15);
     }},
};

INSTANTIATE_TEST_SUITE_P(Rows, ClipSound, ::testing::ValuesIn(kRows));

} // namespace

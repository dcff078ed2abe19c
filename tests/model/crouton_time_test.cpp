// Trims to the frame: typed times, the crouton file's whole seconds and the
// times after them, the command line's seconds, and rendered lengths.
#include "model/crouton.h"
#include "model/crouton_time.h"
#include "model_test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

using modeltest::ReadHostFile;
using modeltest::TempDir;
using modeltest::WriteHostFile;

namespace {

TEST(TrimTime, TypedTimesAreReadOrRefused)
{
    const struct {
        const char* typed;
        std::optional<double> seconds;
    } rows[] = {
        {"12.48", 12.48}, {"0:12.48", 12.48}, {"1:02:03.500", 3723.5}, {" 7 ", 7.0}, {"90", 90.0}, {"2:00", 120.0},
        {"", std::nullopt}, {"abc", std::nullopt}, {"-3", std::nullopt}, {"1:75", std::nullopt},
        {"1:60:00", std::nullopt}, {"1.2.3", std::nullopt}, {"1e3", std::nullopt}, {":12", std::nullopt},
        {"1:2:3:4", std::nullopt}, {".", std::nullopt}, {"0:12.", 12.0}, {"99999999999", std::nullopt},
    };
    for (const auto& row : rows) {
        const std::optional<double> read = ParseTrimTime(row.typed);
        ASSERT_EQ(read.has_value(), row.seconds.has_value()) << row.typed;
        if (read) {
            EXPECT_NEAR(*read, *row.seconds, 1e-9) << row.typed;
        }
    }
}

TEST(TrimTime, TimesAreShownAndWritten)
{
    EXPECT_EQ(FormatTrimTime(12.48), "0:12.480");
    EXPECT_EQ(FormatTrimTime(3723.5), "1:02:03.500");
    EXPECT_EQ(SecondsText(7.0), "7");
    EXPECT_EQ(SecondsText(7.2 - 3.0), "4.2");
    EXPECT_EQ(SecondsText(SnapToFrame(10.01, 30000.0 / 1001.0)), "10.01");
    EXPECT_EQ(LengthText(8.04), "8.04");
    // One frame at 25 frames a second, wherever the time was typed.
    EXPECT_DOUBLE_EQ(SnapToFrame(3.018, 25.0), 3.0);
    EXPECT_DOUBLE_EQ(SnapToFrame(3.021, 25.0), 3.04);
    EXPECT_DOUBLE_EQ(SnapToFrame(3.0004, 0.0), 3.0);
    EXPECT_EQ(NearestSecond(10.01), 10);
    EXPECT_EQ(NearestSecond(8.6), 9);
}

class TrimFile : public ::testing::Test {
protected:
    std::unique_ptr<Crouton> Saved(double start, double length, double videoLength, float rate)
    {
        auto crouton = CreateCrouton();
        crouton->name = "Trip";
        crouton->videoName = "clip.mp4";
        crouton->directory = dir_.path();
        crouton->filename = "t.cwcrouton";
        crouton->start = start;
        crouton->length = length;
        crouton->videoLength = videoLength;
        crouton->customFPS = rate;
        EXPECT_EQ(SaveCrouton(crouton.get()), TRUE);
        return crouton;
    }
    std::string Path() const { return dir_ / "t.cwcrouton"; }
    TempDir dir_;
};

TEST_F(TrimFile, WholeSecondsKeepTheirBytesAndFractionsFollowTheLastLine)
{
    const struct {
        double start, length, videoLength;
        float rate;
        const char* wholeLines; // start, length and source length as an older reader takes them
        const char* tail;       // what follows the rate's line
    } rows[] = {
        {5, 20, 60, 30.0f, "5\n20\n60\n", ""},
        {3.0, 4.2, 10.0, 25.0f, "3\n4\n10\n", "3.000000\n4.200000\n10.000000\n"},
        {0, 10.01, 10.01, 29.97003f, "0\n10\n10\n", "0.000000\n10.010000\n10.010000\n"},
        {2.48, 1.0, 8.04, 25.0f, "2\n1\n8\n", "2.480000\n1.000000\n8.040000\n"},
    };
    for (const auto& row : rows) {
        auto crouton = Saved(row.start, row.length, row.videoLength, row.rate);
        const std::string text = ReadHostFile(Path());
        const std::string rateLine = row.rate == 25.0f ? "\n25.000000\n" : row.rate == 30.0f ? "\n30.000000\n"
                                                                                          : "\n29.970030\n";
        EXPECT_NE(text.find("clip.mp4" + std::string(6, '\n') + row.wholeLines), std::string::npos)
            << row.start << "\n" << text;
        EXPECT_TRUE(text.ends_with(rateLine + row.tail)) << text;
        UnlockCrouton(crouton.get());
        auto loaded = LoadCrouton(Path());
        ASSERT_NE(loaded, nullptr) << text;
        EXPECT_NEAR(loaded->start, row.start, 1e-6);
        EXPECT_NEAR(loaded->length, row.length, 1e-6);
        EXPECT_NEAR(loaded->videoLength, row.videoLength, 1e-6);
        // Saved again unchanged, byte for byte.
        ASSERT_EQ(SaveCrouton(loaded.get()), TRUE);
        EXPECT_EQ(ReadHostFile(Path()), text);
        DestroyCrouton(std::move(loaded));
        DestroyCrouton(std::move(crouton));
    }
}

TEST_F(TrimFile, TimesThatDisagreeWithTheWholeSecondsAreLeft)
{
    auto crouton = Saved(3.0, 4.2, 10.0, 25.0f);
    UnlockCrouton(crouton.get());
    std::string text = ReadHostFile(Path());
    // A hand-edited start that no longer matches its whole second.
    text.replace(text.find("3.000000\n4.2"), 8, "9.000000");
    WriteHostFile(Path(), text);
    auto loaded = LoadCrouton(Path());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->start, 3.0);
    EXPECT_EQ(loaded->length, 4.0);
    DestroyCrouton(std::move(loaded));
    DestroyCrouton(std::move(crouton));
}

TEST(TrimLength, RenderedLengthsAreWholeFramesOfTheOutput)
{
    const struct {
        double start, length, videoLength, outputRate, seconds;
    } rows[] = {
        {3.0, 4.2, 10.0, 25.0, 4.2},                           // 105 frames
        {0, 10.01, 10.01, 30000.0 / 1001.0, 10.01},             // 300 frames, not 11 s
        {0, 11, 10.01, 30000.0 / 1001.0, 10.01},                // the encode ends with the source
        {0, 8.04, 8.04, 25.0, 8.04},
        {0, 1.01, 0, 25.0, 1.04},                               // the last frame reaches past the stretch
    };
    for (const auto& row : rows) {
        Crouton crouton;
        crouton.start = row.start;
        crouton.length = row.length;
        crouton.videoLength = row.videoLength;
        EXPECT_NEAR(RenderedSeconds(crouton, row.outputRate), row.seconds, 1e-6) << row.length;
    }
}

} // namespace

// The output tables as the render uses them: each format's frame is the
// size and shape the finished file has, and each bit rate reaches the
// encoder in the unit it reads.
#include "model/render.h"
#include "model/tables.h"
#include "os/work.h"
#include "render_support.h"
#include "support/fake_tools.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

using render_test::SetField;

namespace {

class RenderTables : public render_test::RenderFixture {
protected:
    // The encoder's line for one video crouton of the project ("" for none).
    std::string CommandFor(Crouton* crouton)
    {
        cwtest::FakeTools tools;
        TraceCapture trace;
        RenderCrouton(gProject.get(), crouton, "T:__TempVideo", FALSE);
        const std::vector<std::string> lines = tools.Encoder();
        return lines.empty() ? std::string() : lines.front();
    }
};

// The number after `key` in a line; none when the key is not there.
std::optional<long> NumberAfter(const std::string& line, const std::string& key)
{
    const auto at = line.find(key);
    if (at == std::string::npos)
        return std::nullopt;
    return std::strtol(line.c_str() + at + key.size(), nullptr, 10);
}

// Every bit rate of the cycle reaches every kind's encoder as the rate the
// label shows: kbit/s to x264, bit/s to lavc.
TEST_F(RenderTables, EachBitRateReachesEachKindsEncoderAsItsLabelSays)
{
    auto crouton = Video("/nowhere/a.avi", 0, 1);
    for (const OutputKind& kind : cOutputKinds) {
        SetField(BUTTON_MAIN_OUTPUTFILENAME, folder_ / ("out" + std::string(kind.extension)));
        const bool x264 = std::string_view(kind.videoEncoder).find("-ovc x264") != std::string_view::npos;
        for (LONG baud = 0; baud < cNumberOfBaudRates; ++baud) {
            SCOPED_TRACE(std::string(kind.extension) + " " + cBaudStrings[static_cast<std::size_t>(baud)]);
            gProject->baudrate = baud;
            const std::string line = CommandFor(crouton.get());
            const auto written = NumberAfter(line, x264 ? " bitrate=" : "vbitrate=");
            ASSERT_TRUE(written) << line;
            const long kbits = std::strtol(cBaudStrings[static_cast<std::size_t>(baud)], nullptr, 10);
            EXPECT_EQ(*written, x264 ? kbits : kbits * 1000) << line;
        }
    }
}

// What ffprobe reads of a file's first video stream.
struct Frame {
    int width = 0;
    int height = 0;
    std::string shape; // display_aspect_ratio, "16:9"
};

std::optional<Frame> MeasureFrame(const std::string& file)
{
    const auto printed = render_test::Capture({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
        "stream=width,height,display_aspect_ratio", "-of", "default=noprint_wrappers=1", file});
    if (!printed)
        return std::nullopt;
    Frame frame;
    for (const std::string& line : media_test::Lines(*printed)) {
        if (line.starts_with("width="))
            frame.width = std::atoi(line.c_str() + 6);
        else if (line.starts_with("height="))
            frame.height = std::atoi(line.c_str() + 7);
        else if (line.starts_with("display_aspect_ratio="))
            frame.shape = line.substr(21);
    }
    return frame;
}

// A shape in lowest terms, as ffprobe writes it.
std::string Shape(long width, long height)
{
    const long divisor = std::gcd(width, height);
    return std::to_string(width / divisor) + ":" + std::to_string(height / divisor);
}

// Each fixed format, rendered for real: the file's frame is the format's
// size and it is shown in the shape its label names.
TEST_F(RenderTables, EachFormatsRenderHasItsFrameAndItsLabelsShape)
{
    const std::string clip = folder_ / "clip.avi";
    media_test::MakeClip(clip, true);
    Append(Video(clip, 0, 1));
    gProject->fps = 2; // 25 frames a second
    for (LONG format = 0; format < cNumberOfFormats; ++format) {
        if (format == cCustomFormatID)
            continue;
        const auto index = static_cast<std::size_t>(format);
        SCOPED_TRACE(cFormatStrings[index]);
        gProject->parameters = format;
        output_ = folder_ / ("format" + std::to_string(format) + ".avi");
        SetField(BUTTON_MAIN_OUTPUTFILENAME, output_);
        cwtest::RecordedWork work;
        {
            TraceCapture trace;
            RenderProject(gProject.get());
        }
        ASSERT_EQ(work.outcome, WorkOutcome::Finished) << work.message;
        int width = 0;
        int height = 0;
        ASSERT_EQ(std::sscanf(cFormatParameters[index], "scale=%d:%d", &width, &height), 2);
        const auto frame = MeasureFrame(output_);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->width, width);
        EXPECT_EQ(frame->height, height);
        EXPECT_EQ(frame->shape, Shape(cFormatShapes[index].width, cFormatShapes[index].height));
        std::filesystem::remove(output_);
    }
}

// The custom format's frame is the size typed, its pixels square.
TEST_F(RenderTables, TheCustomFormatsRenderHasTheTypedFrame)
{
    const std::string clip = folder_ / "clip.avi";
    media_test::MakeClip(clip, false);
    Append(Video(clip, 0, 1));
    gProject->fps = 2;
    gProject->parameters = cCustomFormatID;
    SetField(BUTTON_MAIN_WIDTH, "200");
    SetField(BUTTON_MAIN_HEIGHT, "100");
    cwtest::RecordedWork work;
    {
        TraceCapture trace;
        RenderProject(gProject.get());
    }
    ASSERT_EQ(work.outcome, WorkOutcome::Finished) << work.message;
    const auto frame = MeasureFrame(output_);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width, 200);
    EXPECT_EQ(frame->height, 100);
    EXPECT_TRUE(frame->shape == "2:1" || frame->shape == "0:1" || frame->shape.empty()) << frame->shape;
}

} // namespace

// The format, bit-rate and frame-rate tables, entry by entry.
#include "model/tables.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Printf(float value)
{
    std::string text(64, '\0');
    const int size = std::snprintf(text.data(), text.size(), "%f", static_cast<double>(value));
    text.resize(static_cast<std::size_t>(size));
    return text;
}

template <typename Array>
std::vector<std::string> Labels(const Array& table)
{
    std::vector<std::string> labels;
    for (std::size_t i = 0; i + 1 < table.size(); ++i) {
        EXPECT_NE(table[i], nullptr) << "entry " << i;
        labels.emplace_back(table[i] ? table[i] : "");
    }
    EXPECT_EQ(table.back(), nullptr) << "label tables end with a null entry";
    return labels;
}

TEST(Tables, OutputFormats)
{
    const std::vector<std::string> strings = {
        "4:3 320x240",  "16:9 320x180",  "4:3 320x256",  "4:3 480x360",   "16:9 480x270",
        "4:3 512x384",  "16:9 512x288",  "4:3 576x432",  "16:9  576x264", "4:3 640x480",
        "4:3 640x512",  "16:9 640x360",  "4:3 704x528",  "16:9 704x396",  "4:3 720x566",
        "4:3 752x564",  "16:9 752x564",  "16:9 1280x720", "16:9 1920x1080", "Custom",
    };
    const std::vector<std::string> parameters = {
        "scale=320:240", "scale=320:180", "scale=320:256", "scale=480:360",  "scale=480:270",
        "scale=512:384", "scale=512:288", "scale=576:432", "scale=576:264",  "scale=640:480",
        "scale=640:512", "scale=640:360", "scale=704:528", "scale=704:396",  "scale=620:566",
        "scale=752:564", "scale=752:564", "scale=1280:720", "scale=1920:1080", "scale=%d:%d",
    };
    const std::vector<LONG> baud = {0, 0, 0, 4, 2, 6, 2, 6, 4, 6, 6, 6, 6, 6, 6, 6, 6, 13, 13, 6};

    EXPECT_EQ(Labels(cFormatStrings), strings);
    EXPECT_EQ(Labels(cFormatParameters), parameters);
    EXPECT_EQ(std::vector<LONG>(cDefaultBaud.begin(), cDefaultBaud.end()), baud);
    EXPECT_EQ(cCustomFormatID, 19);
    EXPECT_STREQ(cFormatStrings[cCustomFormatID], "Custom");

    // The entries people trip over.
    EXPECT_STREQ(cFormatStrings[8], "16:9  576x264");
    EXPECT_STREQ(cFormatStrings[14], "4:3 720x566");
    EXPECT_STREQ(cFormatParameters[14], "scale=620:566");
    EXPECT_STREQ(cFormatParameters[15], cFormatParameters[16]);
    EXPECT_STREQ(cBaudStrings[static_cast<std::size_t>(cDefaultBaud[17])], "4096Kbps");
    EXPECT_STREQ(cBaudStrings[static_cast<std::size_t>(cDefaultBaud[0])], "140Kbps");
}

TEST(Tables, BitRates)
{
    const std::vector<std::string> strings = {
        "140Kbps",  "280Kbps",  "512Kbps",  "640Kbps",  "715Kbps",  "816Kbps",  "915Kbps",
        "1024Kbps", "1132Kbps", "1280Kbps", "1528Kbps", "1788Kbps", "2048Kbps", "4096Kbps",
    };
    const std::vector<LONG> rates = {140, 280, 512, 640, 715, 816, 915, 1024, 1132, 1280, 1528, 1788, 2048, 4096};
    EXPECT_EQ(Labels(cBaudStrings), strings);
    EXPECT_EQ(std::vector<LONG>(cBaudRates.begin(), cBaudRates.end()), rates);
}

TEST(Tables, OutputFrameRates)
{
    EXPECT_EQ(Labels(cFPSStrings), (std::vector<std::string>{"30000/1001", "24000/1001", "25", "custom"}));
    EXPECT_EQ(cFPSValues[0], 30000.0f / 1001.0f);
    EXPECT_EQ(cFPSValues[1], 24000.0f / 1001.0f);
    EXPECT_EQ(Printf(cFPSValues[0]), "29.970030");
    EXPECT_EQ(Printf(cFPSValues[1]), "23.976025");
    EXPECT_EQ(Printf(cFPSValues[2]), "25.000000");
    EXPECT_EQ(cFPSValues[3], 0.0f);
    EXPECT_EQ(cCustomFPSID, 3);
    EXPECT_STREQ(cFPSStrings[cCustomFPSID], "custom");
}

TEST(Tables, CroutonFrameRates)
{
    const std::vector<std::string> strings = {
        "Source (Video only)", "5 Seconds/Frame",  "4 Seconds/Frame",  "3 Seconds/Frame",  "2 Seconds/Frame",
        "1.5 Seconds/Frame",   "1 Frame/Second",   "2 Frames/Second",  "3 Frames/Second",  "4 Frames/Second",
        "5 Frames/Second",     "10 Frames/Second", "15 Frames/Second", "20 Frames/Second", "(24000/1001) fps",
        "25 Frames/Second",    "(30000/1001) fps", "30 Frames/Second", "custom",
    };
    const std::vector<float> values = {
        0.0f,  0.2f,  0.25f, 0.33333f, 0.5f,  0.66667f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 10.0f, 15.0f, 20.0f,
        24000.0f / 1001.0f, 25.0f, 30000.0f / 1001.0f, 30.0f,
    };
    EXPECT_EQ(Labels(cCroutonEditorFPSStrings), strings);
    ASSERT_EQ(cCroutonEditorFPSValues.size(), 18u);
    EXPECT_EQ(std::vector<float>(cCroutonEditorFPSValues.begin(), cCroutonEditorFPSValues.end()), values);
    EXPECT_EQ(Printf(cCroutonEditorFPSValues[14]), "23.976025");
    EXPECT_EQ(Printf(cCroutonEditorFPSValues[16]), "29.970030");
    // The decimal values, not the fractions.
    EXPECT_NE(cCroutonEditorFPSValues[3], 1.0f / 3.0f);
    EXPECT_NE(cCroutonEditorFPSValues[5], 2.0f / 3.0f);
    EXPECT_EQ(cCroutonEditorInheritFPSID, 0);
    EXPECT_EQ(cCroutonEditorCustomFPSID, 18);
}

TEST(Tables, PreviewTextsAndFileNames)
{
    EXPECT_EQ(Labels(cPreviewSelecterTexts),
              (std::vector<std::string>{"Frame 1", "Frame 2", "Frame 3", "Frame 4", "Frame 5"}));
    for (int i = 0; i < cNumberOfPreviews; ++i)
        EXPECT_EQ(std::string(cTemporaryPreviewFilename[static_cast<std::size_t>(i)]),
                  "T:__MplayerPreview" + std::to_string(i + 1) + ".png");
    EXPECT_STREQ(cDefaultOutputFilename, "RAM:GreatVideo.mp4");
    EXPECT_STREQ(cSilenceFilename, "T:__CWSilence.raw");
}

TEST(Tables, IndicesFromFilesAreClamped)
{
    EXPECT_EQ(ClampFormatIndex(-1), 0);
    EXPECT_EQ(ClampFormatIndex(19), 19);
    EXPECT_EQ(ClampFormatIndex(20), 19);
    EXPECT_EQ(ClampBaudIndex(14), 13);
    EXPECT_EQ(ClampBaudIndex(-2147483647 - 1), 0);
    EXPECT_EQ(ClampFPSIndex(4), 3);
    EXPECT_EQ(ClampFPSIndex(2), 2);
    EXPECT_EQ(ClampCroutonFPSIndex(19), 18);
    EXPECT_EQ(ClampCroutonFPSIndex(2147483647), 18);
    EXPECT_EQ(ClampCroutonFPSIndex(-5), 0);
    EXPECT_EQ(ClampPreviewFrame(5), 4);
    EXPECT_EQ(ClampPreviewFrame(-1), 0);
    EXPECT_EQ(ClampPreviewFrame(3), 3);
}

TEST(Tables, CroutonRate)
{
    EXPECT_EQ(CroutonRate(0, 12.0f), 0.0f);
    EXPECT_EQ(CroutonRate(1, 12.0f), 0.2f);
    EXPECT_EQ(CroutonRate(17, 12.0f), 30.0f);
    // The custom index never reads the table.
    EXPECT_EQ(CroutonRate(18, 12.5f), 12.5f);
    // Out of range stays inside the table.
    EXPECT_EQ(CroutonRate(99, 12.0f), 30.0f);
    EXPECT_EQ(CroutonRate(-3, 12.0f), 0.0f);
}

} // namespace

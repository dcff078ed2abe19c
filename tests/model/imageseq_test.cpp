// Image sequences: counting and listing the pictures of an image crouton.
#include "model/imageseq.h"
#include "os/pattern.h"
#include "model_test_util.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

using modeltest::TempDir;
using modeltest::WriteHostFile;

namespace {

using Names = std::vector<std::string>;

struct Scan {
    int count = 0;
    Names list;
    std::string countTrace;
    std::string listTrace;
};

// Counts and lists as rendering and preview grabbing do.
Scan ScanSequence(const std::string& videoName)
{
    auto crouton = CreateCrouton();
    crouton->isVideo = FALSE;
    crouton->videoName = videoName;
    Scan scan;
    std::string tokenised;
    ParsePatternNoCase(videoName, tokenised, 1023);
    {
        TraceCapture trace;
        scan.count = GetNumberOfFilesInImageCrouton(crouton.get());
        scan.countTrace = trace.Text();
    }
    {
        TraceCapture trace;
        scan.list = BuildFileList(crouton.get(), tokenised, scan.count);
        scan.listTrace = trace.Text();
    }
    DestroyCrouton(std::move(crouton));
    return scan;
}

class ImageSequence : public ::testing::Test {
protected:
    void SetUp() override
    {
        work_ = modeltest::WorkFolder();
        modeltest::ClearFolder(work_);
        std::filesystem::create_directories(work_ + "/Pics");
    }
    void TearDown() override { modeltest::ClearFolder(work_); }
    void Picture(const std::string& name) { WriteHostFile(work_ + "/Pics/" + name, "picture"); }

    std::string work_;
};

TEST_F(ImageSequence, NumberedFramesInNumericOrder)
{
    for (const char* name : {"frame10.png", "frame2.png", "notes.txt", "frame1.png"})
        Picture(name);
    const Scan scan = ScanSequence("Work:Pics/frame#?.png");
    EXPECT_EQ(scan.count, 3);
    EXPECT_EQ(scan.list, (Names{"Work:Pics/frame1.png\n", "Work:Pics/frame2.png\n", "Work:Pics/frame10.png\n"}));
    EXPECT_EQ(scan.countTrace, "Locking directory Work:Pics.\nMatched frame#?.png.\n");
    EXPECT_EQ(scan.listTrace, "Allocating 3 char *'s.\nLocking directory Work:Pics.\nMatched frame#?.png.\n");
}

TEST_F(ImageSequence, MatchesWithoutRegardToCase)
{
    Picture("FRAME3.PNG");
    Picture("frame1.png");
    const Scan scan = ScanSequence("Work:Pics/frame#?.png");
    EXPECT_EQ(scan.count, 2);
    EXPECT_EQ(scan.list, (Names{"Work:Pics/frame1.png\n", "Work:Pics/FRAME3.PNG\n"}));
}

TEST_F(ImageSequence, MixedDigitWidthsAndGaps)
{
    for (const char* name : {"frame0012.png", "frame9.png", "frame100.png", "frame0001.png", "frame7.png", "frame.png"})
        Picture(name);
    const Scan scan = ScanSequence("Work:Pics/frame#?.png");
    EXPECT_EQ(scan.count, 6);
    EXPECT_EQ(scan.list, (Names{"Work:Pics/frame.png\n", "Work:Pics/frame0001.png\n", "Work:Pics/frame7.png\n",
                                "Work:Pics/frame9.png\n", "Work:Pics/frame0012.png\n", "Work:Pics/frame100.png\n"}));
}

TEST_F(ImageSequence, EqualNumbersBothAppear)
{
    Picture("take1.png");
    Picture("shot1.png");
    Picture("shot2.png");
    const Scan scan = ScanSequence("Work:Pics/#?1.png");
    EXPECT_EQ(scan.count, 2);
    // Ties go by name, so every scan gives the same list.
    EXPECT_EQ(scan.list, (Names{"Work:Pics/shot1.png\n", "Work:Pics/take1.png\n"}));
}

TEST_F(ImageSequence, EveryKindOfEntryCounts)
{
    Picture("frame1.png");
    std::filesystem::create_directories(work_ + "/Pics/frame2.png");
    const Scan scan = ScanSequence("Work:Pics/frame#?.png");
    EXPECT_EQ(scan.count, 2);
    EXPECT_EQ(scan.list, (Names{"Work:Pics/frame1.png\n", "Work:Pics/frame2.png\n"}));
}

TEST_F(ImageSequence, PlainFileName)
{
    Picture("frame0001.png");
    Scan scan = ScanSequence("Work:Pics/frame0001.png");
    EXPECT_EQ(scan.count, 1);
    EXPECT_EQ(scan.list, (Names{"Work:Pics/frame0001.png\n"}));
    EXPECT_EQ(scan.countTrace, "Locking directory Work:Pics.\nMatched frame0001.png.\n");

    // A plain name counts once its folder is there, even before the file.
    scan = ScanSequence("Work:Pics/frame0002.png");
    EXPECT_EQ(scan.count, 1);
    EXPECT_TRUE(scan.list.empty());
}

TEST_F(ImageSequence, MissingFolder)
{
    for (const std::string name : {"Work:Gone/frame0001.png", "Work:Gone/frame#?.png", "Nowhere:frame#?.png"}) {
        const Scan scan = ScanSequence(name);
        EXPECT_EQ(scan.count, 0) << name;
        EXPECT_TRUE(scan.list.empty()) << name;
        EXPECT_NE(scan.countTrace.find("Couldn't lock directory of video images.\n"), std::string::npos) << name;
    }
    const Scan scan = ScanSequence("Work:Gone/frame#?.png");
    EXPECT_EQ(scan.countTrace, "Locking directory Work:Gone.\nCouldn't lock directory of video images.\n");
    EXPECT_EQ(scan.listTrace, "Allocating 0 char *'s.\nLocking directory Work:Gone.\n"
                              "Couldn't lock directory of video images.\n");
}

TEST_F(ImageSequence, FolderIsAFile)
{
    Picture("frame1.png");
    const Scan scan = ScanSequence("Work:Pics/frame1.png/#?.png");
    EXPECT_EQ(scan.count, 0);
    EXPECT_TRUE(scan.list.empty());
    EXPECT_NE(scan.countTrace.find("Error in ExAll.\n"), std::string::npos) << scan.countTrace;
}

TEST_F(ImageSequence, MalformedPatternFindsNothing)
{
    Picture("frame1.png");
    const Scan scan = ScanSequence("Work:Pics/frame(#?.png");
    EXPECT_EQ(scan.count, 0);
    EXPECT_TRUE(scan.list.empty());
}

TEST_F(ImageSequence, VolumeRootHasNoSlash)
{
    const std::string ram = modeltest::RamFolder();
    modeltest::ClearFolder(ram);
    WriteHostFile(ram + "/img1.png", "picture");
    WriteHostFile(ram + "/img2.png", "picture");
    WriteHostFile(ram + "/other.png", "picture");
    const Scan scan = ScanSequence("RAM:img#?.png");
    EXPECT_EQ(scan.count, 2);
    EXPECT_EQ(scan.list, (Names{"RAM:img1.png\n", "RAM:img2.png\n"}));
    EXPECT_EQ(scan.countTrace, "Locking directory RAM:.\nMatched img#?.png.\n");
    modeltest::ClearFolder(ram);
}

TEST_F(ImageSequence, BareNameLooksInTheCurrentFolder)
{
    TempDir here;
    modeltest::ScopedCurrentDir inside(here.path());
    WriteHostFile(here / "img2.png", "picture");
    WriteHostFile(here / "img1.png", "picture");
    const Scan scan = ScanSequence("img#?.png");
    EXPECT_EQ(scan.count, 2);
    EXPECT_EQ(scan.list, (Names{"img1.png\n", "img2.png\n"}));

    const Scan plain = ScanSequence("img1.png");
    EXPECT_EQ(plain.count, 1);
    EXPECT_EQ(plain.list, (Names{"img1.png\n"}));
}

TEST_F(ImageSequence, HostFolder)
{
    TempDir pictures;
    WriteHostFile(pictures / "f10.jpg", "picture");
    WriteHostFile(pictures / "f9.jpg", "picture");
    const Scan scan = ScanSequence(pictures.path() + "/f#?.jpg");
    EXPECT_EQ(scan.count, 2);
    EXPECT_EQ(scan.list, (Names{pictures / "f9.jpg\n", pictures / "f10.jpg\n"}));
}

TEST_F(ImageSequence, FolderChangedSinceCounting)
{
    for (const char* name : {"frame1.png", "frame2.png", "frame3.png"})
        Picture(name);
    auto crouton = CreateCrouton();
    crouton->isVideo = FALSE;
    crouton->videoName = "Work:Pics/frame#?.png";
    std::string tokenised;
    ParsePatternNoCase(*crouton->videoName, tokenised, 1023);
    const int count = GetNumberOfFilesInImageCrouton(crouton.get());
    ASSERT_EQ(count, 3);

    // More pictures now: the list never outgrows the count.
    Picture("frame0.png");
    Picture("frame4.png");
    Names list = BuildFileList(crouton.get(), tokenised, count);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(),
                               [](const std::string& a, const std::string& b) { return CompareFilename(a, b) < 0; }));
    for (const std::string& entry : list)
        EXPECT_TRUE(entry.starts_with("Work:Pics/frame") && entry.ends_with(".png\n")) << entry;

    // Fewer pictures now: the list is shorter and holds no empty entries.
    for (const char* name : {"frame0.png", "frame1.png", "frame3.png", "frame4.png"})
        std::filesystem::remove(work_ + "/Pics/" + name);
    list = BuildFileList(crouton.get(), tokenised, count);
    EXPECT_EQ(list, (Names{"Work:Pics/frame2.png\n"}));

    EXPECT_TRUE(BuildFileList(crouton.get(), tokenised, 0).empty());
    EXPECT_TRUE(BuildFileList(crouton.get(), tokenised, -4).empty());
    DestroyCrouton(std::move(crouton));
}

TEST_F(ImageSequence, NoSource)
{
    auto crouton = CreateCrouton();
    EXPECT_EQ(GetNumberOfFilesInImageCrouton(crouton.get()), 0);
    EXPECT_TRUE(BuildFileList(crouton.get(), "#?", 3).empty());
    EXPECT_EQ(GetNumberOfFilesInImageCrouton(nullptr), 0);
    DestroyCrouton(std::move(crouton));
}

TEST(ImageSequenceNumbers, GetIDFromString)
{
    EXPECT_EQ(GetIDFromString(""), 0);
    EXPECT_EQ(GetIDFromString("notes.txt"), 0);
    EXPECT_EQ(GetIDFromString("007"), 7);
    EXPECT_EQ(GetIDFromString("frame0012.png"), 12);
    EXPECT_EQ(GetIDFromString("Work:Pics/frame0012.png\n"), 12);
    EXPECT_EQ(GetIDFromString("a1b2"), 2);
    EXPECT_EQ(GetIDFromString("Pics2/notes.txt\n"), 2);
    EXPECT_EQ(GetIDFromString("take 2 of 3.png"), 3);
    EXPECT_EQ(GetIDFromString("0"), 0);
    // Bytes from 128 up are not digits, whatever their sign.
    EXPECT_EQ(GetIDFromString("frame\xb2\xb3.png"), 0);
    EXPECT_EQ(GetIDFromString("frame4\xb2.png"), 4);
    // Runs too long for an int stay at its largest value.
    EXPECT_EQ(GetIDFromString("frame99999999999999999999.png"), INT_MAX);
    EXPECT_EQ(GetIDFromString("frame2147483647.png"), INT_MAX);
    EXPECT_EQ(GetIDFromString("frame2147483646.png"), INT_MAX - 1);
}

TEST(ImageSequenceNumbers, CompareFilename)
{
    EXPECT_LT(CompareFilename("frame9.png\n", "frame10.png\n"), 0);
    EXPECT_GT(CompareFilename("frame10.png\n", "frame9.png\n"), 0);
    EXPECT_LT(CompareFilename("frame0002.png\n", "frame10.png\n"), 0);
    EXPECT_EQ(CompareFilename("shot1.png\n", "shot1.png\n"), 0);
    EXPECT_LT(CompareFilename("shot1.png\n", "take1.png\n"), 0);
    EXPECT_GT(CompareFilename("take1.png\n", "shot1.png\n"), 0);
    // Runs too long for an int order by name, here and in the player's
    // playlists alike (which order by SequenceNumber, then by name).
    EXPECT_LT(CompareFilename("a9999999999999999999.png", "b3000000000.png"), 0);
    EXPECT_EQ(SequenceNumber("a9999999999999999999.png"), SequenceNumber("b3000000000.png"));
    // No overflow between the extremes.
    EXPECT_LT(CompareFilename("a0", "a99999999999"), 0);
    EXPECT_GT(CompareFilename("a99999999999", "a0"), 0);
}

} // namespace

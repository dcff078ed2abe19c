// Directory scanning with ExAll.
#include "os/dos_test_support.h"

#include <algorithm>
#include <map>
#include <set>

using namespace dostest;
namespace fs = std::filesystem;

namespace {

class DosExAll : public DosTest {
protected:
    void Touch(std::string_view name, std::size_t size = 0) { WriteHostFile(scratch_ / name, std::string(size, 'd')); }

    struct Scan {
        std::vector<std::string> names; // in delivery order
        int calls = 0;
        LONG finalError = 0;
        bool everyCallDelivered = true;
        bool entriesCountAgreed = true;
    };

    Scan ScanAll(const std::optional<std::string>& pattern, LONG size, LONG type = ED_NAME)
    {
        Scan scan;
        FileLock dir = Lock(scratch_.Path(), SHARED_LOCK);
        EXPECT_TRUE(dir);
        if (!dir)
            return scan;
        auto control = AllocDosObject(DOS_EXALLCONTROL);
        EXPECT_TRUE(control);
        control->eac_LastKey = 0;
        control->eac_MatchString = pattern;
        std::vector<ExAllData> buffer;
        BOOL more = TRUE;
        while (more && scan.calls < 10000) {
            more = ExAll(*dir, buffer, size, type, *control);
            ++scan.calls;
            if (control->eac_Entries != buffer.size())
                scan.entriesCountAgreed = false;
            if (more && buffer.empty())
                scan.everyCallDelivered = false;
            for (const auto& entry : buffer)
                scan.names.push_back(entry.ed_Name);
        }
        scan.finalError = IoErr();
        FreeDosObject(DOS_EXALLCONTROL, std::move(control));
        return scan;
    }
};

TEST_F(DosExAll, SmallBufferDeliversEachEntryExactlyOnce)
{
    std::set<std::string> expected;
    for (int i = 0; i < 25; ++i) {
        std::string name = "frame" + std::to_string(i) + ".png";
        if (i % 3 == 0)
            name = std::string(60 + i, 'L') + name; // longer than the whole buffer
        Touch(name);
        expected.insert(name);
    }
    fs::create_directory(scratch_ / "a folder");
    expected.insert("a folder");

    const Scan scan = ScanAll(std::nullopt, 40);
    EXPECT_EQ(scan.finalError, ERROR_NO_MORE_ENTRIES);
    EXPECT_TRUE(scan.everyCallDelivered) << "a call that returns TRUE brings at least one entry";
    EXPECT_TRUE(scan.entriesCountAgreed);
    EXPECT_EQ(scan.names.size(), expected.size());
    EXPECT_EQ(std::set<std::string>(scan.names.begin(), scan.names.end()), expected) << "no duplicates, none lost";
    EXPECT_TRUE(std::is_sorted(scan.names.begin(), scan.names.end())) << "names come in a stable, sorted order";
    EXPECT_GE(scan.calls, 13) << "40 bytes hold at most two short entries";
}

TEST_F(DosExAll, EntriesComeAsTheyFitTheBuffer)
{
    Touch("a");   // 8 + 2 -> 12 bytes
    Touch("bb");  // 12
    Touch("ccc"); // 12
    Touch(std::string(30, 'd')); // 8 + 31 -> 40
    FileLock dir = Lock(scratch_.Path(), SHARED_LOCK);
    ASSERT_TRUE(dir);
    auto control = AllocDosObject(DOS_EXALLCONTROL);
    ASSERT_TRUE(control);
    std::vector<ExAllData> buffer;

    EXPECT_EQ(ExAll(*dir, buffer, 24, ED_NAME, *control), TRUE);
    ASSERT_EQ(buffer.size(), 2u);
    EXPECT_EQ(buffer[0].ed_Name, "a");
    EXPECT_EQ(buffer[1].ed_Name, "bb");
    EXPECT_EQ(control->eac_Entries, 2u);

    EXPECT_EQ(ExAll(*dir, buffer, 24, ED_NAME, *control), TRUE);
    ASSERT_EQ(buffer.size(), 1u);
    EXPECT_EQ(buffer[0].ed_Name, "ccc");

    SetIoErr(0);
    EXPECT_EQ(ExAll(*dir, buffer, 24, ED_NAME, *control), FALSE) << "the last entry comes with the final FALSE";
    EXPECT_EQ(IoErr(), ERROR_NO_MORE_ENTRIES);
    ASSERT_EQ(buffer.size(), 1u);
    EXPECT_EQ(buffer[0].ed_Name, std::string(30, 'd'));
    EXPECT_EQ(control->eac_Entries, 1u);

    EXPECT_EQ(ExAll(*dir, buffer, 24, ED_NAME, *control), FALSE);
    EXPECT_EQ(control->eac_Entries, 0u) << "a finished scan stays finished";

    control->eac_LastKey = 0;
    EXPECT_EQ(ExAll(*dir, buffer, 4096, ED_NAME, *control), FALSE) << "a new scan starts at eac_LastKey 0";
    EXPECT_EQ(buffer.size(), 4u);
}

TEST_F(DosExAll, MatchStringSelectsEntriesOfAnyKind)
{
    Touch("frame1.png");
    Touch("frame2.png");
    Touch("FRAME3.PNG");
    Touch("frame10.png");
    Touch("notes.txt");
    fs::create_directory(scratch_ / "frame99.png");

    std::string tokenised;
    ASSERT_EQ(ParsePatternNoCase("frame#?.png", tokenised), 1);
    const Scan scan = ScanAll(tokenised, 40);
    EXPECT_EQ(scan.finalError, ERROR_NO_MORE_ENTRIES);
    EXPECT_EQ(scan.names, (std::vector<std::string>{"FRAME3.PNG", "frame1.png", "frame10.png", "frame2.png", "frame99.png"}));

    ASSERT_EQ(ParsePatternNoCase("~(#?.png)", tokenised), 1);
    EXPECT_EQ(ScanAll(tokenised, 40).names, std::vector<std::string>{"notes.txt"});

    ASSERT_EQ(ParsePatternNoCase("frame2.png", tokenised), 0);
    EXPECT_EQ(ScanAll(tokenised, 40).names, std::vector<std::string>{"frame2.png"}) << "a plain name lists just itself";

    ASSERT_EQ(ParsePatternNoCase("#?.avi", tokenised), 1);
    const Scan none = ScanAll(tokenised, 40);
    EXPECT_TRUE(none.names.empty());
    EXPECT_EQ(none.finalError, ERROR_NO_MORE_ENTRIES);
    EXPECT_EQ(none.calls, 1);
}

TEST_F(DosExAll, NeverDeliversDotEntries)
{
    const Scan empty = ScanAll(std::nullopt, 40);
    EXPECT_TRUE(empty.names.empty());
    EXPECT_EQ(empty.finalError, ERROR_NO_MORE_ENTRIES);

    Touch(".hidden");
    const Scan scan = ScanAll(std::string("#?"), 40);
    EXPECT_EQ(scan.names, std::vector<std::string>{".hidden"});
}

TEST_F(DosExAll, TypeAndSizeWhenAskedFor)
{
    Touch("clip.avi", 321);
    fs::create_directory(scratch_ / "sub");
    FileLock dir = Lock(scratch_.Path(), SHARED_LOCK);
    ASSERT_TRUE(dir);
    auto control = AllocDosObject(DOS_EXALLCONTROL);
    std::vector<ExAllData> buffer;
    EXPECT_EQ(ExAll(*dir, buffer, 1024, ED_SIZE, *control), FALSE);
    ASSERT_EQ(buffer.size(), 2u);
    EXPECT_EQ(buffer[0].ed_Name, "clip.avi");
    EXPECT_EQ(buffer[0].ed_Type, ST_FILE);
    EXPECT_EQ(buffer[0].ed_Size, 321u);
    EXPECT_EQ(buffer[1].ed_Name, "sub");
    EXPECT_EQ(buffer[1].ed_Type, ST_USERDIR);
}

TEST_F(DosExAll, FailuresAreNotTheEndOfTheScan)
{
    Touch("file.txt");
    FileLock file = Lock(scratch_ / "file.txt", SHARED_LOCK);
    ASSERT_TRUE(file);
    auto control = AllocDosObject(DOS_EXALLCONTROL);
    std::vector<ExAllData> buffer;
    SetIoErr(0);
    EXPECT_EQ(ExAll(*file, buffer, 40, ED_NAME, *control), FALSE);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_WRONG_TYPE);
    EXPECT_EQ(control->eac_Entries, 0u);

    FileLock dir = Lock(scratch_.Path(), SHARED_LOCK);
    control->eac_MatchString = "(unclosed";
    SetIoErr(0);
    EXPECT_EQ(ExAll(*dir, buffer, 40, ED_NAME, *control), FALSE);
    EXPECT_EQ(IoErr(), ERROR_BAD_TEMPLATE);

    EXPECT_FALSE(AllocDosObject(12345));
}

TEST_F(DosExAll, ScanThroughAVolume)
{
    EnvGuard work("CLIPWEAVER_ASSIGN_WORK", scratch_.Path());
    fs::create_directory(scratch_ / "Pics");
    for (const char* name : {"frame1.png", "frame2.png", "frame10.png", "notes.txt"})
        WriteHostFile(scratch_ / (std::string("Pics/") + name), "");

    std::string tokenised;
    ASSERT_EQ(ParsePatternNoCase("Work:Pics/frame#?.png", tokenised), 1);
    FileLock dir = Lock("Work:Pics", SHARED_LOCK);
    ASSERT_TRUE(dir);
    auto control = AllocDosObject(DOS_EXALLCONTROL);
    control->eac_MatchString = tokenised.substr(tokenised.rfind('/') + 1);
    std::vector<ExAllData> buffer;
    int count = 0;
    BOOL more;
    do {
        more = ExAll(*dir, buffer, 40, ED_NAME, *control);
        if (!more && IoErr() != ERROR_NO_MORE_ENTRIES)
            break;
        count += static_cast<int>(control->eac_Entries);
    } while (more);
    EXPECT_EQ(count, 3);
}

} // namespace

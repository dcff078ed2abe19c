// Files: Open modes, reading and writing, lines, Examine, DeleteFile,
// Rename and ReplaceFile.
#include "os/dos_test_support.h"

using namespace dostest;
namespace fs = std::filesystem;

namespace {

class DosFiles : public DosTest {
protected:
    std::string Amiga(std::string_view name) const { return scratch_ / name; }
};

TEST_F(DosFiles, WriteAndReadRoundTrip)
{
    std::string data;
    for (int i = 0; i < 200000; ++i)
        data.push_back(static_cast<char>(i * 7 % 256));
    FileHandle out = Open(Amiga("bytes.bin"), MODE_NEWFILE);
    ASSERT_TRUE(out);
    EXPECT_EQ(Write(*out, data.data(), static_cast<LONG>(data.size())), static_cast<LONG>(data.size()));
    EXPECT_EQ(Close(std::move(out)), TRUE);
    EXPECT_EQ(ReadHostFile(Amiga("bytes.bin")), data);

    FileHandle in = Open(Amiga("bytes.bin"), MODE_OLDFILE);
    ASSERT_TRUE(in);
    std::string back(data.size() + 10, '\0');
    EXPECT_EQ(Read(*in, back.data(), 10), 10);
    EXPECT_EQ(Read(*in, back.data() + 10, static_cast<LONG>(back.size() - 10)), static_cast<LONG>(data.size() - 10));
    back.resize(data.size());
    EXPECT_EQ(back, data);
    char extra = 0;
    EXPECT_EQ(Read(*in, &extra, 1), 0) << "0 at the end of the file";
    EXPECT_EQ(Close(std::move(in)), TRUE);
}

TEST_F(DosFiles, FPutsAndFGetsKeepWholeLines)
{
    const std::string longLine(5000, 'x');
    FileHandle out = Open(Amiga("lines.txt"), MODE_NEWFILE);
    ASSERT_TRUE(out);
    EXPECT_EQ(FPuts(*out, "first\n"), 0);
    EXPECT_EQ(FPuts(*out, longLine + "\n"), 0);
    EXPECT_EQ(FPuts(*out, "\n"), 0);
    EXPECT_EQ(FPuts(*out, "no line feed"), 0);
    EXPECT_EQ(Close(std::move(out)), TRUE);
    EXPECT_EQ(ReadHostFile(Amiga("lines.txt")), "first\n" + longLine + "\n\nno line feed");

    FileHandle in = Open(Amiga("lines.txt"), MODE_OLDFILE);
    ASSERT_TRUE(in);
    EXPECT_EQ(FGets(*in), "first\n");
    EXPECT_EQ(FGets(*in), longLine + "\n") << "a 5000-character line comes back whole";
    EXPECT_EQ(FGets(*in), "\n");
    EXPECT_EQ(FGets(*in), "no line feed");
    EXPECT_EQ(FGets(*in), std::nullopt);
    EXPECT_EQ(FGets(*in), std::nullopt);
}

TEST_F(DosFiles, LinesLongerThanTheReadAheadComeBackWhole)
{
    const std::string huge(200000, 'y');
    WriteHostFile(Amiga("huge.txt"), huge + "\nend\n");
    FileHandle in = Open(Amiga("huge.txt"), MODE_OLDFILE);
    ASSERT_TRUE(in);
    EXPECT_EQ(FGets(*in), huge + "\n");
    EXPECT_EQ(FGets(*in), "end\n");
    EXPECT_EQ(FGets(*in), std::nullopt);
}

TEST_F(DosFiles, WritingAfterReadingContinuesWhereReadingStopped)
{
    WriteHostFile(Amiga("mixed.txt"), "line1\nline2\nline3\n");
    FileHandle file = Open(Amiga("mixed.txt"), MODE_OLDFILE);
    ASSERT_TRUE(file);
    EXPECT_EQ(FGets(*file), "line1\n");
    EXPECT_EQ(Write(*file, "LINE2\n", 6), 6);
    EXPECT_EQ(FGets(*file), "line3\n");
    EXPECT_EQ(FPuts(*file, "line4\n"), 0);
    EXPECT_EQ(Close(std::move(file)), TRUE);
    EXPECT_EQ(ReadHostFile(Amiga("mixed.txt")), "line1\nLINE2\nline3\nline4\n");
}

TEST_F(DosFiles, OpenModes)
{
    WriteHostFile(Amiga("old.txt"), "old contents\n");

    FileHandle emptied = Open(Amiga("old.txt"), MODE_NEWFILE);
    ASSERT_TRUE(emptied);
    EXPECT_EQ(ReadHostFile(Amiga("old.txt")), "") << "MODE_NEWFILE empties an existing file";
    EXPECT_EQ(FPuts(*emptied, "new\n"), 0);
    EXPECT_EQ(Close(std::move(emptied)), TRUE);
    EXPECT_EQ(ReadHostFile(Amiga("old.txt")), "new\n");

    FileHandle kept = Open(Amiga("old.txt"), MODE_READWRITE);
    ASSERT_TRUE(kept);
    EXPECT_EQ(FGets(*kept), "new\n");
    EXPECT_EQ(FPuts(*kept, "more\n"), 0);
    EXPECT_EQ(Close(std::move(kept)), TRUE);
    EXPECT_EQ(ReadHostFile(Amiga("old.txt")), "new\nmore\n");

    FileHandle created = Open(Amiga("fresh.txt"), MODE_READWRITE);
    ASSERT_TRUE(created);
    EXPECT_EQ(Close(std::move(created)), TRUE);
    EXPECT_TRUE(fs::exists(Amiga("fresh.txt")));

    SetIoErr(0);
    EXPECT_FALSE(Open(Amiga("missing.txt"), MODE_OLDFILE));
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);
    EXPECT_FALSE(fs::exists(Amiga("missing.txt"))) << "MODE_OLDFILE never creates";

    SetIoErr(0);
    EXPECT_FALSE(Open(Amiga("no/such/folder.txt"), MODE_NEWFILE));
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);

    fs::create_directory(Amiga("folder"));
    SetIoErr(0);
    EXPECT_FALSE(Open(Amiga("folder"), MODE_OLDFILE));
    EXPECT_EQ(IoErr(), ERROR_OBJECT_WRONG_TYPE);

    EXPECT_FALSE(Open(Amiga("old.txt"), 12345));
    EXPECT_EQ(IoErr(), ERROR_BAD_NUMBER);
}

TEST_F(DosFiles, ReadOnlyMaterialOpensForReading)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    WriteHostFile(Amiga("ro.txt"), "read me\n");
    fs::permissions(Amiga("ro.txt"), fs::perms::owner_read);
    FileHandle file = Open(Amiga("ro.txt"), MODE_OLDFILE);
    ASSERT_TRUE(file);
    EXPECT_EQ(FGets(*file), "read me\n");
}

TEST_F(DosFiles, NilSwallowsWritesAndReadsEmpty)
{
    FileHandle nil = Open("NIL:", MODE_NEWFILE);
    ASSERT_TRUE(nil);
    EXPECT_EQ(Write(*nil, "abc", 3), 3);
    EXPECT_EQ(FPuts(*nil, "text\n"), 0);
    FileHandle second = Open("NIL:", MODE_NEWFILE);
    EXPECT_TRUE(second) << "the null device is never locked";
    EXPECT_EQ(Close(std::move(nil)), TRUE);
    FileHandle in = Open("NIL:", MODE_OLDFILE);
    ASSERT_TRUE(in);
    EXPECT_EQ(FGets(*in), std::nullopt);
}

TEST_F(DosFiles, WriteFailuresAreReported)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    FileHandle full = Open("/dev/full", MODE_OLDFILE);
    ASSERT_TRUE(full);
    SetIoErr(0);
    EXPECT_EQ(Write(*full, "abc", 3), -1);
    EXPECT_EQ(IoErr(), ERROR_DISK_FULL);
    EXPECT_EQ(FPuts(*full, "buffered\n"), 0) << "FPuts buffers; the failure shows at Close";
    EXPECT_EQ(Close(std::move(full)), FALSE);

    FileHandle big = Open("/dev/full", MODE_OLDFILE);
    ASSERT_TRUE(big);
    EXPECT_EQ(FPuts(*big, std::string(100000, 'z')), -1) << "a full buffer is written out at once";
    EXPECT_EQ(Close(std::move(big)), FALSE);
}

TEST_F(DosFiles, ExamineReportsSizeTypeAndName)
{
    WriteHostFile(Amiga("sized.dat"), std::string(12345, 'a'));
    FileLock lock = Lock(Amiga("sized.dat"), SHARED_LOCK);
    ASSERT_TRUE(lock);
    FileInfoBlock info;
    ASSERT_EQ(Examine(*lock, info), TRUE);
    EXPECT_EQ(info.fib_Size, 12345);
    EXPECT_LT(info.fib_DirEntryType, 0);
    EXPECT_EQ(info.fib_DirEntryType, ST_FILE);
    EXPECT_EQ(info.fib_FileName, "sized.dat");

    FileLock dir = Lock(scratch_.Path() + "/", SHARED_LOCK);
    ASSERT_TRUE(dir);
    ASSERT_EQ(Examine(*dir, info), TRUE);
    EXPECT_EQ(info.fib_DirEntryType, ST_USERDIR);
    EXPECT_EQ(info.fib_FileName, fs::path(scratch_.Path()).filename().string());

    FileLock ram = Lock("RAM:", SHARED_LOCK);
    ASSERT_TRUE(ram);
    ASSERT_EQ(Examine(*ram, info), TRUE);
    EXPECT_EQ(info.fib_FileName, "RAM");
    EXPECT_GT(info.fib_DirEntryType, 0);

    EnvGuard work("CLIPWEAVER_ASSIGN_WORK", scratch_.Path());
    FileLock viaAssign = Lock("Work:sized.dat", SHARED_LOCK);
    ASSERT_TRUE(viaAssign);
    ASSERT_EQ(Examine(*viaAssign, info), TRUE);
    EXPECT_EQ(info.fib_FileName, "sized.dat");
    EXPECT_EQ(info.fib_Size, 12345);
}

TEST_F(DosFiles, DeleteFile)
{
    WriteHostFile(Amiga("gone.txt"), "x");
    EXPECT_EQ(DeleteFile(Amiga("gone.txt")), TRUE);
    EXPECT_FALSE(fs::exists(Amiga("gone.txt")));

    SetIoErr(0);
    EXPECT_EQ(DeleteFile(Amiga("gone.txt")), FALSE);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);

    fs::create_directories(Amiga("full/inner"));
    SetIoErr(0);
    EXPECT_EQ(DeleteFile(Amiga("full")), FALSE);
    EXPECT_EQ(IoErr(), ERROR_DIRECTORY_NOT_EMPTY);
    EXPECT_EQ(DeleteFile(Amiga("full/inner")), TRUE);
    EXPECT_EQ(DeleteFile(Amiga("full")), TRUE);
    EXPECT_FALSE(fs::exists(Amiga("full")));
}

TEST_F(DosFiles, RenameNeverReplaces)
{
    WriteHostFile(Amiga("a.txt"), "A");
    WriteHostFile(Amiga("b.txt"), "B");
    SetIoErr(0);
    EXPECT_EQ(Rename(Amiga("a.txt"), Amiga("b.txt")), FALSE);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_EXISTS);
    EXPECT_EQ(ReadHostFile(Amiga("a.txt")), "A");
    EXPECT_EQ(ReadHostFile(Amiga("b.txt")), "B");

    EXPECT_EQ(Rename(Amiga("a.txt"), Amiga("c.txt")), TRUE);
    EXPECT_FALSE(fs::exists(Amiga("a.txt")));
    EXPECT_EQ(ReadHostFile(Amiga("c.txt")), "A");

    SetIoErr(0);
    EXPECT_EQ(Rename(Amiga("a.txt"), Amiga("d.txt")), FALSE);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);
}

TEST_F(DosFiles, ReplaceFileSwapsInTheNewContents)
{
    WriteHostFile(Amiga("target"), "old");
    WriteHostFile(Amiga("target.new"), "new");
    EXPECT_EQ(ReplaceFile(Amiga("target.new"), Amiga("target")), TRUE);
    EXPECT_EQ(ReadHostFile(Amiga("target")), "new");
    EXPECT_FALSE(fs::exists(Amiga("target.new")));

    WriteHostFile(Amiga("first"), "1");
    EXPECT_EQ(ReplaceFile(Amiga("first"), Amiga("absent")), TRUE) << "a missing target is simply created";
    EXPECT_EQ(ReadHostFile(Amiga("absent")), "1");

    WriteHostFile(Amiga("target.new"), "newer");
    FileLock held = Lock(Amiga("target"), EXCLUSIVE_LOCK);
    ASSERT_TRUE(held);
    SetIoErr(0);
    EXPECT_EQ(ReplaceFile(Amiga("target.new"), Amiga("target")), FALSE);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_IN_USE);
    EXPECT_EQ(ReadHostFile(Amiga("target")), "new");
    UnLock(std::move(held));
    EXPECT_EQ(ReplaceFile(Amiga("target.new"), Amiga("target")), TRUE);
    EXPECT_EQ(ReadHostFile(Amiga("target")), "newer");
}

// A name that names an existing file is that file; wildcards make a picture
// pattern only when no file of exactly that name exists.
TEST_F(DosFiles, SourceNamesArePatternsOnlyWithoutSuchAFile)
{
    struct Row {
        const char* name;
        bool exists;
        bool pattern;
    };
    const Row rows[] = {
        {"holiday (1).mp4", true, false}, {"clip[1].mp4", true, false}, {"50% off.mp4", true, false},
        {"what?.mp4", true, false},       {"img#?.png", false, true},   {"holiday (1).mp4x", false, true},
        {"plain.mp4", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.exists)
            WriteHostFile(Amiga(row.name), "a clip");
        EXPECT_EQ(IsSourcePattern(Amiga(row.name)), row.pattern);
    }
}

} // namespace

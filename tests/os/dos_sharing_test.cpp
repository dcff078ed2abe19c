// Sharing rules of locks and opens, within one instance and between two
// running instances (a forked second process).
#include "os/dos_test_support.h"

#include <cstdio>
#include <fcntl.h>

using namespace dostest;
namespace fs = std::filesystem;

namespace {

class DosSharing : public DosTest {
protected:
    void SetUp() override
    {
        path_ = scratch_ / "clip.cwcrouton";
        WriteHostFile(path_, "contents\n");
    }
    std::string path_;
};

// What a second instance manages to do with the file, one word per attempt.
enum Attempt : int { kLockShared = 1, kLockExclusive = 2, kOpenOld = 4, kOpenNew = 8, kDelete = 16 };

int TryEverything(const std::string& path)
{
    int granted = 0;
    if (Lock(path, SHARED_LOCK))
        granted |= kLockShared;
    if (Lock(path, EXCLUSIVE_LOCK))
        granted |= kLockExclusive;
    if (Open(path, MODE_OLDFILE))
        granted |= kOpenOld;
    return granted;
}

TEST_F(DosSharing, ExclusiveLockKeepsEverythingElseOutInOneInstance)
{
    FileLock exclusive = Lock(path_, EXCLUSIVE_LOCK);
    ASSERT_TRUE(exclusive);

    SetIoErr(0);
    EXPECT_FALSE(Lock(path_, SHARED_LOCK));
    EXPECT_EQ(IoErr(), ERROR_OBJECT_IN_USE);
    EXPECT_FALSE(Lock(path_, EXCLUSIVE_LOCK));
    SetIoErr(0);
    EXPECT_FALSE(Open(path_, MODE_OLDFILE));
    EXPECT_EQ(IoErr(), ERROR_OBJECT_IN_USE);
    EXPECT_FALSE(Open(path_, MODE_READWRITE));
    EXPECT_FALSE(Open(path_, MODE_NEWFILE));
    EXPECT_EQ(ReadHostFile(path_), "contents\n") << "a refused MODE_NEWFILE must not empty the file";

    SetIoErr(0);
    EXPECT_EQ(DeleteFile(path_), FALSE);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_IN_USE);
    SetIoErr(0);
    EXPECT_EQ(Rename(path_, scratch_ / "other"), FALSE);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_IN_USE);
    EXPECT_TRUE(fs::exists(path_));
    EXPECT_FALSE(fs::exists(scratch_ / "other"));

    UnLock(std::move(exclusive));
    EXPECT_TRUE(Lock(path_, SHARED_LOCK));
    EXPECT_TRUE(Lock(path_, EXCLUSIVE_LOCK));
    EXPECT_EQ(Rename(path_, scratch_ / "other"), TRUE);
    EXPECT_EQ(DeleteFile(scratch_ / "other"), TRUE);
}

TEST_F(DosSharing, SharedLocksAndOpensCoexist)
{
    FileLock first = Lock(path_, SHARED_LOCK);
    FileLock second = Lock(path_, SHARED_LOCK);
    FileHandle reader = Open(path_, MODE_OLDFILE);
    FileHandle writer = Open(path_, MODE_READWRITE);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    ASSERT_TRUE(reader);
    ASSERT_TRUE(writer);

    EXPECT_FALSE(Lock(path_, EXCLUSIVE_LOCK));
    EXPECT_FALSE(Open(path_, MODE_NEWFILE));
    EXPECT_EQ(DeleteFile(path_), FALSE) << "an open file is in use too";

    UnLock(std::move(first));
    UnLock(std::move(second));
    Close(std::move(reader));
    EXPECT_FALSE(Lock(path_, EXCLUSIVE_LOCK)) << "the last shared open still counts";
    Close(std::move(writer));
    EXPECT_TRUE(Lock(path_, EXCLUSIVE_LOCK));
}

TEST_F(DosSharing, NewFileIsExclusiveWhileOpen)
{
    FileHandle writing = Open(path_, MODE_NEWFILE);
    ASSERT_TRUE(writing);
    EXPECT_FALSE(Lock(path_, SHARED_LOCK));
    EXPECT_FALSE(Open(path_, MODE_OLDFILE));
    EXPECT_EQ(Close(std::move(writing)), TRUE);
    EXPECT_TRUE(Lock(path_, SHARED_LOCK));
}

TEST_F(DosSharing, DirectoriesCanBeLocked)
{
    FileLock a = Lock(scratch_.Path(), SHARED_LOCK);
    FileLock b = Lock(scratch_.Path(), SHARED_LOCK);
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_FALSE(Lock(scratch_.Path(), EXCLUSIVE_LOCK));
    EXPECT_TRUE(Lock(path_, EXCLUSIVE_LOCK)) << "a folder's lock does not cover what is in it";

    fs::create_directory(scratch_ / "empty");
    FileLock held = Lock(scratch_ / "empty", SHARED_LOCK);
    ASSERT_TRUE(held);
    SetIoErr(0);
    EXPECT_EQ(DeleteFile(scratch_ / "empty"), FALSE);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_IN_USE);
    UnLock(std::move(held));
    EXPECT_EQ(DeleteFile(scratch_ / "empty"), TRUE);
}

TEST_F(DosSharing, LockOfAMissingObjectFails)
{
    SetIoErr(0);
    EXPECT_FALSE(Lock(scratch_ / "absent", SHARED_LOCK));
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);
    SetIoErr(0);
    EXPECT_FALSE(Lock(scratch_ / "absent", EXCLUSIVE_LOCK));
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);
    EXPECT_FALSE(fs::exists(scratch_ / "absent")) << "Lock never creates";
}

TEST_F(DosSharing, SecondInstanceCannotTakeAnExclusivelyLockedFile)
{
    // The other instance starts first: a process forked while the lock is
    // held would share the lock's open file and keep it alive.
    const std::string path = path_;
    ChildProcess other([path](const Channel& channel) {
        channel.Receive(); // the parent has locked
        int granted = TryEverything(path);
        if (Open(path, MODE_NEWFILE))
            granted |= kOpenNew;
        if (DeleteFile(path) == TRUE)
            granted |= kDelete;
        channel.Send(std::to_string(granted));
        channel.Receive(); // the parent lets go
        granted = TryEverything(path);
        channel.Send(std::to_string(granted));
        return 0;
    });
    FileLock mine = Lock(path_, EXCLUSIVE_LOCK);
    ASSERT_TRUE(mine);
    other.Talk().Send("locked");
    const auto whileHeld = other.Talk().Receive();
    ASSERT_TRUE(whileHeld);
    EXPECT_EQ(*whileHeld, "0") << "nothing is granted to the other instance";
    EXPECT_EQ(ReadHostFile(path_), "contents\n");

    UnLock(std::move(mine));
    other.Talk().Send("released");
    const auto afterRelease = other.Talk().Receive();
    ASSERT_TRUE(afterRelease);
    EXPECT_EQ(*afterRelease, std::to_string(kLockShared | kLockExclusive | kOpenOld));
    EXPECT_EQ(other.Wait(), 0);
}

TEST_F(DosSharing, OneExclusiveLockBetweenTwoInstances)
{
    const std::string path = path_;
    ChildProcess holder([path](const Channel& channel) {
        FileLock lock = Lock(path, EXCLUSIVE_LOCK);
        channel.Send(lock ? "locked" : "refused");
        channel.Receive();
        UnLock(std::move(lock));
        channel.Send("unlocked");
        channel.Receive();
        return 0;
    });
    ASSERT_EQ(holder.Talk().Receive(), "locked");

    SetIoErr(0);
    EXPECT_FALSE(Lock(path_, EXCLUSIVE_LOCK));
    EXPECT_EQ(IoErr(), ERROR_OBJECT_IN_USE);
    EXPECT_FALSE(Lock(path_, SHARED_LOCK));
    EXPECT_FALSE(Open(path_, MODE_OLDFILE));
    EXPECT_FALSE(Open(path_, MODE_NEWFILE));
    EXPECT_EQ(ReadHostFile(path_), "contents\n");
    EXPECT_EQ(Rename(path_, scratch_ / "moved"), FALSE);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_IN_USE);

    holder.Talk().Send("let go");
    ASSERT_EQ(holder.Talk().Receive(), "unlocked");
    FileLock mine = Lock(path_, EXCLUSIVE_LOCK);
    EXPECT_TRUE(mine) << "released locks let the other instance in";
    holder.Talk().Send("bye");
    EXPECT_EQ(holder.Wait(), 0);
}

TEST_F(DosSharing, SharedLockInOneInstanceBlocksExclusiveInTheOther)
{
    const std::string path = path_;
    ChildProcess reader([path](const Channel& channel) {
        FileLock lock = Lock(path, SHARED_LOCK);
        channel.Send(lock ? "shared" : "refused");
        channel.Receive();
        return 0;
    });
    ASSERT_EQ(reader.Talk().Receive(), "shared");
    EXPECT_FALSE(Lock(path_, EXCLUSIVE_LOCK));
    EXPECT_FALSE(Open(path_, MODE_NEWFILE));
    EXPECT_EQ(DeleteFile(path_), FALSE);
    EXPECT_TRUE(Lock(path_, SHARED_LOCK));
    EXPECT_TRUE(Open(path_, MODE_OLDFILE));

    reader.Talk().Send("bye");
    EXPECT_EQ(reader.Wait(), 0);
    EXPECT_TRUE(Lock(path_, EXCLUSIVE_LOCK)) << "a process that ends releases its locks";
}

TEST_F(DosSharing, ClosingAnotherHandleOfTheFileKeepsTheLock)
{
    FileLock mine = Lock(path_, EXCLUSIVE_LOCK);
    ASSERT_TRUE(mine);

    // Other ways the same process touches the file: a plain host descriptor,
    // a C stream, refused opens and a refused delete. Classic record locks
    // would all be dropped by the first close below.
    const int fd = ::open(path_.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ::close(fd);
    if (std::FILE* stream = std::fopen(path_.c_str(), "r"))
        std::fclose(stream);
    EXPECT_FALSE(Open(path_, MODE_OLDFILE));
    EXPECT_FALSE(Lock(path_, SHARED_LOCK));
    EXPECT_EQ(DeleteFile(path_), FALSE);
    FileHandle nil = Open("NIL:", MODE_OLDFILE);
    Close(std::move(nil));

    const std::string path = path_;
    ChildProcess other([path](const Channel& channel) {
        channel.Send(std::to_string(TryEverything(path)));
        return 0;
    });
    EXPECT_EQ(other.Talk().Receive(), "0") << "the exclusive lock survived every close";
    EXPECT_EQ(other.Wait(), 0);
}

TEST_F(DosSharing, ACroutonSaveCycleAcrossTwoInstances)
{
    // Unlock, rewrite with MODE_NEWFILE, lock again: meanwhile the other
    // instance can take the lock only while this one is between the steps.
    FileLock held = Lock(path_, EXCLUSIVE_LOCK);
    ASSERT_TRUE(held);
    UnLock(std::move(held));
    FileHandle file = Open(path_, MODE_NEWFILE);
    ASSERT_TRUE(file);
    EXPECT_EQ(FPuts(*file, "saved\n"), 0);

    const std::string path = path_;
    auto probe = [path]() {
        ChildProcess other([path](const Channel& channel) {
            FileLock lock = Lock(path, EXCLUSIVE_LOCK);
            channel.Send(lock ? "got it" : "in use");
            return 0;
        });
        auto answer = other.Talk().Receive();
        other.Wait();
        return answer.value_or("");
    };
    EXPECT_EQ(probe(), "in use") << "MODE_NEWFILE holds the file while writing";
    EXPECT_EQ(Close(std::move(file)), TRUE);
    held = Lock(path_, EXCLUSIVE_LOCK);
    ASSERT_TRUE(held);
    EXPECT_EQ(probe(), "in use");
    EXPECT_EQ(ReadHostFile(path_), "saved\n");
    UnLock(std::move(held));
    EXPECT_EQ(probe(), "got it");
}

} // namespace

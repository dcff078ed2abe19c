// Volumes: the mapping of AmigaDOS names onto host folders, and the
// per-instance T: folders with their clean-up.
#include "os/dos_test_support.h"

#include <sys/file.h>
#include <fcntl.h>

using namespace dostest;
namespace fs = std::filesystem;

namespace {

class DosVolumes : public DosTest {};

TEST_F(DosVolumes, BuiltInVolumesMapToHostFolders)
{
    EXPECT_EQ(HostPath("RAM:"), root_.Path() + "/RAM");
    EXPECT_TRUE(fs::is_directory(root_.Path() + "/RAM")) << "RAM: is made on demand";
    EXPECT_EQ(HostPath("RAM:Clips/a.cwcrouton"), root_.Path() + "/RAM/Clips/a.cwcrouton");
    EXPECT_EQ(HostPath("ram:x"), root_.Path() + "/RAM/x");
    EXPECT_EQ(HostPath("NIL:"), "/dev/null");
    EXPECT_EQ(HostPath("nil:"), "/dev/null");
    EXPECT_EQ(HostPath("SYS:"), ".");
    EXPECT_EQ(HostPath("C:Copy"), "./Copy") << "a command name must never be looked up in PATH";
    EXPECT_EQ(HostPath("c:copy"), "./copy");

    const std::string t = TemporaryFolder();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(fs::path(t).parent_path(), fs::path(root_.Path()));
    EXPECT_TRUE(fs::path(t).filename().string().starts_with("T-" + std::to_string(::getpid()) + "-"));
    EXPECT_EQ(HostPath("T:__TempVideo"), t + "/__TempVideo");
    EXPECT_EQ(HostPath("t:"), t);
}

TEST_F(DosVolumes, PathsWithoutVolumeAreHostPaths)
{
    EXPECT_EQ(HostPath("/tmp/x"), "/tmp/x");
    EXPECT_EQ(HostPath("/tmp/odd:name"), "/tmp/odd:name");
    EXPECT_EQ(HostPath("Clips/a.cwcrouton"), "Clips/a.cwcrouton");
    EXPECT_EQ(HostPath("dir/a:b"), "dir/a:b");
    EXPECT_EQ(HostPath(""), ".");

    CwdGuard cwd(scratch_.Path());
    FileHandle file = Open("relative.txt", MODE_NEWFILE);
    ASSERT_TRUE(file);
    EXPECT_EQ(FPuts(*file, "here\n"), 0);
    EXPECT_EQ(Close(std::move(file)), TRUE);
    EXPECT_EQ(ReadHostFile(scratch_ / "relative.txt"), "here\n");

    FileLock current = Lock("", SHARED_LOCK);
    ASSERT_TRUE(current);
    FileInfoBlock info;
    ASSERT_EQ(Examine(*current, info), TRUE);
    EXPECT_GT(info.fib_DirEntryType, 0);
}

TEST_F(DosVolumes, UnknownVolumeFailsAsAmigaDosDoes)
{
    SetIoErr(0);
    EXPECT_FALSE(HostPath("Nowhere:x"));
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);

    SetIoErr(0);
    EXPECT_FALSE(Open("Nowhere:x", MODE_NEWFILE));
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);
    SetIoErr(0);
    EXPECT_FALSE(Lock("Nowhere:", SHARED_LOCK));
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);
    SetIoErr(0);
    EXPECT_EQ(DeleteFile("Nowhere:x"), FALSE);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);
    SetIoErr(0);
    EXPECT_EQ(Rename("RAM:x", "Nowhere:x"), FALSE);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);
}

TEST_F(DosVolumes, AssignsComeFromTheEnvironmentWithoutRegardToCase)
{
    EnvGuard work("CLIPWEAVER_ASSIGN_WORK", scratch_.Path());
    EnvGuard mixed("CLIPWEAVER_ASSIGN_MyPics", scratch_.Path() + "/pics/");
    EnvGuard empty("CLIPWEAVER_ASSIGN_EMPTY", std::string());

    EXPECT_EQ(HostPath("Work:Clips/a"), scratch_.Path() + "/Clips/a");
    EXPECT_EQ(HostPath("WORK:"), scratch_.Path());
    EXPECT_EQ(HostPath("work:b"), scratch_.Path() + "/b");
    EXPECT_EQ(HostPath("mypics:f1.png"), scratch_.Path() + "/pics/f1.png");
    EXPECT_EQ(HostPath("MYPICS:"), scratch_.Path() + "/pics/");
    EXPECT_FALSE(HostPath("Empty:x")) << "an empty assign names no folder";
    EXPECT_FALSE(HostPath("Wor:x"));

    fs::create_directory(scratch_ / "Clips");
    FileHandle file = Open("WoRk:Clips/a.cwcrouton", MODE_NEWFILE);
    ASSERT_TRUE(file);
    EXPECT_EQ(FPuts(*file, "x\n"), 0);
    EXPECT_EQ(Close(std::move(file)), TRUE);
    EXPECT_EQ(ReadHostFile(scratch_ / "Clips/a.cwcrouton"), "x\n");
}

TEST_F(DosVolumes, RootDefaultsToTmpdirPerUser)
{
    EnvGuard noRoot("CLIPWEAVER_TMPROOT", std::nullopt);
    EnvGuard tmpdir("TMPDIR", scratch_.Path());
    const std::string root = scratch_.Path() + "/clipweaver-" + std::to_string(::getuid());
    EXPECT_EQ(HostPath("RAM:a"), root + "/RAM/a");
    const std::string t = TemporaryFolder();
    EXPECT_EQ(fs::path(t).parent_path(), fs::path(root));
    struct stat st {};
    ASSERT_EQ(::stat(root.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "the root is private to its user";
}

TEST_F(DosVolumes, RenameBetweenTAndRamWorks)
{
    FileHandle file = Open("T:__move", MODE_NEWFILE);
    ASSERT_TRUE(file);
    EXPECT_EQ(FPuts(*file, "moved\n"), 0);
    ASSERT_EQ(Close(std::move(file)), TRUE);
    ASSERT_EQ(Rename("T:__move", "RAM:moved"), TRUE) << IoErr();
    EXPECT_EQ(ReadHostFile(root_.Path() + "/RAM/moved"), "moved\n");
    EXPECT_FALSE(fs::exists(TemporaryFolder() + "/__move"));
}

TEST_F(DosVolumes, TwoInstancesHaveTheirOwnT)
{
    ChildProcess other([](const Channel& channel) {
        const std::string folder = TemporaryFolder();
        FileHandle file = Open("T:__shared_name", MODE_NEWFILE);
        if (!file || FPuts(*file, "child\n") != 0 || Close(std::move(file)) != TRUE)
            return 1;
        channel.Send(folder);
        channel.Receive(); // stays alive until the parent has looked
        return 0;
    });
    const auto childFolder = other.Talk().Receive();
    ASSERT_TRUE(childFolder);

    // Our own start-up must leave the running instance's T: alone.
    InitVolumes();
    const std::string ours = TemporaryFolder();
    ASSERT_FALSE(ours.empty());
    EXPECT_NE(ours, *childFolder);
    EXPECT_TRUE(fs::exists(*childFolder + "/__shared_name"));

    FileHandle file = Open("T:__shared_name", MODE_NEWFILE);
    ASSERT_TRUE(file) << "the same name on T: is a different file in another instance";
    EXPECT_EQ(FPuts(*file, "parent\n"), 0);
    EXPECT_EQ(Close(std::move(file)), TRUE);
    EXPECT_EQ(ReadHostFile(*childFolder + "/__shared_name"), "child\n");
    EXPECT_EQ(ReadHostFile(ours + "/__shared_name"), "parent\n");

    other.Talk().Send("done");
    EXPECT_EQ(other.Wait(), 0);
}

TEST_F(DosVolumes, StartUpRemovesTFoldersOfInstancesThatNoLongerRun)
{
    // A live instance: it holds its lock until told to go.
    ChildProcess live([](const Channel& channel) {
        channel.Send(TemporaryFolder());
        channel.Receive();
        return 0;
    });
    const auto liveFolder = live.Talk().Receive();
    ASSERT_TRUE(liveFolder && !liveFolder->empty());

    // A dead one: it made its T: and then vanished without cleaning up
    // (_exit skips the clean-up at exit, as a crash would).
    std::string deadFolder;
    {
        ChildProcess dead([](const Channel& channel) {
            const std::string folder = TemporaryFolder();
            FileHandle file = Open("T:__left_behind", MODE_NEWFILE);
            if (!file)
                return 1;
            Close(std::move(file));
            channel.Send(folder);
            return 0;
        });
        deadFolder = dead.Talk().Receive().value_or("");
        EXPECT_EQ(dead.Wait(), 0);
    }
    ASSERT_FALSE(deadFolder.empty());
    ASSERT_TRUE(fs::exists(deadFolder + "/__left_behind"));

    // Left-overs of other kinds: a T- folder without its lock file (an
    // instance that never finished making it is impossible; one whose lock
    // file was lost is dead), and things that are not T: folders at all.
    fs::create_directories(root_.Path() + "/T-99999-broken/sub");
    fs::create_directories(root_.Path() + "/RAM");
    WriteHostFile(root_.Path() + "/RAM/keep", "k");
    fs::create_directories(root_.Path() + "/Tx-other");

    InitVolumes();

    EXPECT_FALSE(fs::exists(deadFolder)) << "its lock was free, so its instance is gone";
    EXPECT_FALSE(fs::exists(root_.Path() + "/T-99999-broken"));
    EXPECT_TRUE(fs::exists(*liveFolder)) << "its lock is held by a running instance";
    EXPECT_TRUE(fs::exists(root_.Path() + "/RAM/keep"));
    EXPECT_TRUE(fs::exists(root_.Path() + "/Tx-other"));
    EXPECT_TRUE(fs::exists(TemporaryFolder()));

    live.Talk().Send("done");
    EXPECT_EQ(live.Wait(), 0);
    InitVolumes();
    EXPECT_FALSE(fs::exists(*liveFolder)) << "once that instance has ended, its folder is stale";
}

TEST_F(DosVolumes, AnInstanceThatEndsNormallyRemovesItsT)
{
    const std::string parentFolder = TemporaryFolder();
    ScratchDir otherRoot;
    const std::string otherRootPath = otherRoot.Path();
    ChildProcess other([&parentFolder, &otherRootPath](const Channel& channel) {
        // A forked copy is the same instance: it shares T: and leaves it be.
        if (TemporaryFolder() != parentFolder)
            return 1;
        // Under another root it makes a T: of its own, removed at exit.
        ::setenv("CLIPWEAVER_TMPROOT", otherRootPath.c_str(), 1);
        channel.Send(TemporaryFolder());
        std::exit(0);
    });
    const auto folder = other.Talk().Receive();
    EXPECT_EQ(other.Wait(), 0);
    ASSERT_TRUE(folder && !folder->empty());
    EXPECT_EQ(fs::path(*folder).parent_path(), fs::path(otherRootPath));
    EXPECT_FALSE(fs::exists(*folder)) << "removed when its instance ended";
    EXPECT_TRUE(fs::exists(parentFolder));
}

} // namespace

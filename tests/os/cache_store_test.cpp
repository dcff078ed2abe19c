// The cache store on disk: where it lives, a damaged or half-written entry
// never taken, the least recently used entries leaving first, and two
// instances writing and taking one entry at once.
#include "os/cache_store.h"
#include "os/dos_test_support.h"

#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace dostest;
namespace fs = std::filesystem;

namespace {

std::string Text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CacheStoreTest : public ::testing::Test {
protected:
    std::string Piece(const std::string& name, std::size_t size, char fill)
    {
        const std::string path = scratch_.Path() + "/" + name;
        WriteHostFile(path, std::string(size, fill));
        return path;
    }
    // The host file of the entry's only file.
    std::string EntryFile(const std::string& key)
    {
        return store_.Folder() + "/" + TextHash(key) + "/file.piece";
    }
    ScratchDir scratch_;
    CacheStore store_{scratch_.Path() + "/store", 1 << 20};
};

TEST(CacheFolder, FollowsXdgCacheHomeElseHome)
{
    ScratchDir scratch;
    struct Row {
        std::optional<std::string> cache, home, expected;
    } rows[] = {
        {scratch.Path() + "/xdg", scratch.Path(), scratch.Path() + "/xdg/clipweaver"},
        {std::nullopt, scratch.Path(), scratch.Path() + "/.cache/clipweaver"},
        {"relative", scratch.Path(), scratch.Path() + "/.cache/clipweaver"}, // not absolute: ignored
        {std::nullopt, std::nullopt, ""},
    };
    for (const Row& row : rows) {
        EnvGuard cache("XDG_CACHE_HOME", row.cache);
        EnvGuard home("HOME", row.home);
        EXPECT_EQ(CacheFolder(), *row.expected);
        EXPECT_TRUE(row.expected->empty() || fs::is_directory(*row.expected));
    }
}

// What is taken is exactly what was kept, whatever happened to the entry.
TEST_F(CacheStoreTest, OnlyAWholeUndamagedEntryIsTaken)
{
    struct Row {
        const char* fault;
        std::function<void(const std::string& file)> damage;
        bool taken;
    } rows[] = {
        {"none", [](const std::string&) {}, true},
        {"a byte changed", [](const std::string& file) { WriteHostFile(file, std::string(9000, 'a') + "b"); }, false},
        {"cut short", [](const std::string& file) { fs::resize_file(file, 4000); }, false},
        {"gone", [](const std::string& file) { fs::remove(file); }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        const std::string key = std::string("key of ") + row.fault;
        ASSERT_TRUE(store_.Keep(key, {{"piece", Piece("made", 9001, 'a')}}));
        row.damage(EntryFile(key));
        const std::string target = scratch_.Path() + "/taken";
        fs::remove(target);
        EXPECT_EQ(store_.Take(key, {{"piece", target}}), row.taken);
        EXPECT_EQ(fs::exists(target), row.taken);
        if (row.taken)
            EXPECT_EQ(Text(target), std::string(9001, 'a'));
        else // a damaged entry goes, so the next render makes and keeps it again
            EXPECT_FALSE(fs::exists(fs::path(EntryFile(key)).parent_path()));
        EXPECT_FALSE(fs::exists(target + ".cwtake"));
    }
    EXPECT_FALSE(store_.Take("another key", {{"piece", scratch_.Path() + "/none"}}));
}

// A kept text (a remembered answer) is checked as a file is.
// Every kept file is checked against the hash written beside it when it
// was kept: the hash of a content never changes, or a whole store of
// pieces would fail its checks and be made again.
TEST(ContentHashes, AreTheHashesFilesWereKeptWith)
{
    const struct {
        const char* text;
        const char* hash;
    } rows[] = {
        {"", "e9e0033e3badaf36dfc7a99951f24649"},
        {"a", "b5446ff2074a7f7ed7cc94a1caeb2adf"},
        {"clipweav", "0156f8d550ed613510928c1fc7d4dc2f"},
        {"clipweaver", "30a38ef31b0f4a6779abac9ef67345f9"},
        {"The samples of a render, end to end.", "e7bfdcab75d844d1e3c6d5c43c99c2f7"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(TextHash(row.text), row.hash) << row.text;
}

// Files hashed end to end hash as the one file they would make, wherever
// they split it (within a word, at a word's end, over a read's chunk).
TEST(ContentHashes, FilesEndToEndHashAsOneFile)
{
    ScratchDir scratch;
    std::string whole;
    for (int i = 0; i < (1 << 20) + 29; ++i)
        whole += static_cast<char>((i * 131 + i / 7) & 0xff);
    for (const std::size_t cut : {std::size_t{0}, std::size_t{3}, std::size_t{8}, std::size_t{13}, std::size_t{1 << 20},
             whole.size()}) {
        SCOPED_TRACE(cut);
        const std::string first = scratch.Path() + "/first";
        const std::string second = scratch.Path() + "/second";
        WriteHostFile(first, whole.substr(0, cut));
        WriteHostFile(second, whole.substr(cut));
        EXPECT_EQ(ContentHashOf({first, second}), TextHash(whole));
    }
    EXPECT_EQ(ContentHashOf({scratch.Path() + "/first", scratch.Path() + "/none"}), std::nullopt);
}

TEST_F(CacheStoreTest, AKeptTextIsTakenOnlyAsItWasKept)
{
    struct Row {
        const char* fault;
        std::function<void(const std::string& file)> damage;
        const char* asked;
        std::optional<std::string> taken;
    } rows[] = {
        {"none", [](const std::string&) {}, "answer", "line one\nline two\n"},
        {"a byte changed", [](const std::string& file) { WriteHostFile(file, "line one\nline twO\n"); }, "answer",
            std::nullopt},
        {"another name asked", [](const std::string&) {}, "other", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        const std::string key = std::string("text of ") + row.fault;
        ASSERT_TRUE(store_.KeepText(key, "answer", "line one\nline two\n"));
        row.damage(store_.Folder() + "/" + TextHash(key) + "/file.answer");
        EXPECT_EQ(store_.TakeText(key, row.asked), row.taken);
    }
    EXPECT_FALSE(fs::exists(store_.Folder() + "/" + TextHash("text of a byte changed")));
    // Nothing of the writing is left beside the entries.
    for (const auto& item : fs::directory_iterator(store_.Folder()))
        EXPECT_FALSE(item.path().filename().string().starts_with(".")) << item.path();
}

// A writer killed halfway leaves a hidden folder that is never taken and is
// cleared once its process is gone; one still writing is left alone.
TEST_F(CacheStoreTest, AKilledWritersFolderIsNeverTakenAndIsCleared)
{
    const pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    waitpid(dead, nullptr, 0);
    const std::string killed = store_.Folder() + "/.new-" + std::to_string(dead) + "-0";
    const std::string writing = store_.Folder() + "/.new-" + std::to_string(getpid()) + "-999";
    for (const std::string& folder : {killed, writing}) {
        fs::create_directories(folder);
        WriteHostFile(folder + "/file.piece", "half");
    }
    EXPECT_FALSE(store_.Take("half", {{"piece", scratch_.Path() + "/taken"}}));
    store_.Trim();
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::exists(writing));
}

TEST_F(CacheStoreTest, LeastRecentlyUsedGoFirst)
{
    const CacheStore small(scratch_.Path() + "/small", 25000);
    for (const char* key : {"old", "used", "new"}) {
        ASSERT_TRUE(small.Keep(key, {{"piece", Piece(key, 10000, key[0])}}));
        // Folder times are the file system's: a step apart.
        const auto entry = fs::path(small.Folder()) / TextHash(key);
        static int age = 100;
        fs::last_write_time(entry, fs::file_time_type::clock::now() - std::chrono::seconds(age -= 10));
    }
    // Taking an entry makes it the most recently used.
    ASSERT_TRUE(small.Take("old", {{"piece", scratch_.Path() + "/again"}}));
    small.Trim();
    EXPECT_TRUE(small.Take("old", {{"piece", scratch_.Path() + "/again"}}));
    EXPECT_FALSE(small.Take("used", {{"piece", scratch_.Path() + "/again"}}));
    EXPECT_TRUE(small.Take("new", {{"piece", scratch_.Path() + "/again"}}));
    EXPECT_LE(small.Size(), 25000u);
    small.Empty();
    EXPECT_EQ(small.Size(), 0u);
}

TEST_F(CacheStoreTest, TheBoundShrinksWhenTheDiskIsShort)
{
    EXPECT_EQ(CacheLimitFor(scratch_.Path(), 1000, 0), 1000u);
    EXPECT_LT(CacheLimitFor(scratch_.Path(), ~0ULL / 2, 0), ~0ULL / 4);
}

// Two instances keep, take and trim the same entries at once: every take
// that succeeds gives the whole file.
TEST_F(CacheStoreTest, TwoInstancesNeverTakeHalfAnEntry)
{
    const std::string folder = store_.Folder();
    const std::string base = scratch_.Path();
    const auto work = [folder, base](const std::string& who) {
        const CacheStore store(folder, 300000); // room for a few entries: trims take others' entries
        int whole = 0;
        for (int i = 0; i < 60; ++i) {
            const std::string key = "k" + std::to_string(i % 6);
            const std::string content(100000 + static_cast<std::size_t>(i % 6) * 1000, static_cast<char>('a' + i % 6));
            const std::string made = base + "/" + who + "made";
            const std::string taken = base + "/" + who + "taken";
            WriteHostFile(made, content);
            store.Keep(key, {{"piece", made}});
            if (store.Take(key, {{"piece", taken}})) {
                if (Text(taken) != content)
                    return -1;
                ++whole;
            }
            store.Trim();
        }
        return whole;
    };
    const pid_t other = fork();
    if (other == 0)
        _exit(work("child") >= 0 ? 0 : 1);
    EXPECT_GE(work("parent"), 0);
    int status = 0;
    waitpid(other, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

} // namespace

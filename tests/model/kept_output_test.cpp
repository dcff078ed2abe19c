// The file at a render's output name is moved aside only after the render's
// note says where it goes; a render that succeeds drops it, one that fails
// or is cancelled takes its own partial file away and puts it back. Each
// row is a real folder whose files are compared at the end, and the claim
// on the output name must have ended however the render went.
#include "model/kept_output.h"
#include "model/model_test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

constexpr const char* kAside = ".out.avi.clipweaver-old";

// Every entry of the folder by name: a file's bytes, or "<folder>".
Files FilesIn(const std::string& folder)
{
    Files files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] =
            entry.is_directory() ? std::string("<folder>") : modeltest::ReadHostFile(entry.path().string());
    return files;
}

// The note of the render that claimed `output`, found by what it names.
std::optional<fs::path> NoteOf(const std::string& output)
{
    for (const auto& entry : fs::directory_iterator(StateFolder()))
        if (entry.path().extension() == ".note" && entry.is_regular_file()
            && modeltest::ReadHostFile(entry.path().string()).find(output) != std::string::npos)
            return entry.path();
    return std::nullopt;
}


enum class Ending { Succeeds, Fails };

struct Row {
    const char* label;
    std::function<void(const std::string& folder)> arrange; // the files before the render
    std::function<void(const std::string& output)> claimed; // after the claim, before the move
    std::string refusal; // what MoveAside says; empty: the render may write
    std::string asideInNote; // the hidden name the note gives while the render writes
    Ending ending = Ending::Fails;
    std::function<void(const std::string& output)> beforeEnd; // once the new file is written
    std::string putBackSays; // what PutBack says
    Files left; // the folder at the end
};

void Old(const std::string& folder) { modeltest::WriteHostFile(folder + "/out.avi", "old"); }

TEST(KeptOutput, TheOldFileMovesOnlyAfterTheNoteAndComesBackUnlessTheRenderSucceeds)
{
    int held = -1;
    // The note can no longer be written: a folder that is not empty stands
    // in its place, so the note's rename onto it fails.
    std::optional<fs::path> blocked;
    const auto blockNote = [&blocked](const std::string& output) {
        blocked = NoteOf(output);
        ASSERT_TRUE(blocked);
        fs::remove(*blocked);
        fs::create_directory(*blocked);
        modeltest::WriteHostFile((*blocked / "in the way").string(), "x");
    };
    Files hundred{{"out.avi", "old"}};
    for (int attempt = 0; attempt < 100; ++attempt)
        hundred[OutputAsideName("out.avi", attempt)] = "older";
    const Row rows[] = {
        {"a new name, the render succeeds", nullptr, nullptr, "", "", Ending::Succeeds, nullptr, "",
         {{"out.avi", "new"}}},
        {"a new name, the render fails: its partial file goes", nullptr, nullptr, "", "", Ending::Fails, nullptr, "",
         {}},
        {"an old file, the render succeeds: the old file goes", Old, nullptr, "", kAside, Ending::Succeeds, nullptr,
         "", {{"out.avi", "new"}}},
        {"an old file, the render fails: it is back", Old, nullptr, "", kAside, Ending::Fails, nullptr, "",
         {{"out.avi", "old"}}},
        {"an earlier render's hidden file is kept, the next name is taken",
         [](const std::string& folder) {
             Old(folder);
             modeltest::WriteHostFile(folder + "/" + kAside, "older");
         },
         nullptr, "", std::string(kAside) + "1", Ending::Fails, nullptr, "",
         {{"out.avi", "old"}, {kAside, "older"}}},
        {"the note cannot be written: nothing moves", Old, blockNote,
         "Nothing was rendered: the note that lets Clipweaver put the old file back", "", Ending::Fails, nullptr, "",
         {{"out.avi", "old"}}},
        {"another program holds the old file: nothing moves", Old,
         [&held](const std::string& output) {
             held = ::open(output.c_str(), O_RDONLY | O_CLOEXEC);
             ::flock(held, LOCK_EX | LOCK_NB);
         },
         " is in use by another program (it holds a lock on it), so nothing was rendered", "", Ending::Fails, nullptr,
         "", {{"out.avi", "old"}}},
        {"every hidden name is taken: nothing moves",
         [](const std::string& folder) {
             Old(folder);
             for (int attempt = 0; attempt < 100; ++attempt)
                 modeltest::WriteHostFile(OutputAsideName(folder + "/out.avi", attempt), "older");
         },
         nullptr, "its folder holds 100 old files of earlier renders that never ended", "", Ending::Fails, nullptr, "",
         hundred},
        {"a folder took the output name: the old file stays hidden and the user is told where", Old, nullptr, "",
         kAside, Ending::Fails,
         [](const std::string& output) {
             fs::remove(output);
             fs::create_directory(output);
             modeltest::WriteHostFile(output + "/inside", "x");
         },
         "could not be put back; it is kept as ", {{"out.avi", "<folder>"}, {kAside, "old"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        modeltest::TempDir folder;
        const std::string output = folder / "out.avi";
        if (row.arrange)
            row.arrange(folder.path());
        OutputClaimHandle claim = ClaimOutput(output);
        ASSERT_TRUE(claim);
        if (row.claimed)
            row.claimed(output);
        KeptOutput kept;
        const std::string refusal = kept.MoveAside(output, std::move(claim));
        std::string putBack;
        if (row.refusal.empty()) {
            EXPECT_EQ(refusal, "");
            // While the render writes, its note tells where the old file is.
            const std::optional<fs::path> note = NoteOf(output);
            ASSERT_TRUE(note);
            const std::string text = modeltest::ReadHostFile(note->string());
            if (row.asideInNote.empty())
                EXPECT_EQ(text.find(folder / "."), std::string::npos);
            else
                EXPECT_NE(text.find(folder / row.asideInNote + '\0'), std::string::npos);
            kept.Writing(true);
            modeltest::WriteHostFile(output, "new");
            kept.Writing(false);
            if (row.beforeEnd)
                row.beforeEnd(output);
            if (row.ending == Ending::Succeeds)
                kept.Drop();
            else
                putBack = kept.PutBack();
        } else {
            EXPECT_NE(refusal.find(row.refusal), std::string::npos) << refusal;
            putBack = kept.PutBack();
        }
        EXPECT_EQ(row.putBackSays.empty(), putBack.empty()) << putBack;
        EXPECT_NE(putBack.find(row.putBackSays), std::string::npos) << putBack;
        if (held >= 0)
            ::close(std::exchange(held, -1));
        // The claim has ended: no note is left, and the name may be claimed
        // again.
        if (blocked)
            fs::remove_all(*std::exchange(blocked, std::nullopt));
        EXPECT_FALSE(NoteOf(output));
        EXPECT_NE(ClaimOutput(output), nullptr);
        EXPECT_EQ(FilesIn(folder.path()), row.left);
    }
}

} // namespace

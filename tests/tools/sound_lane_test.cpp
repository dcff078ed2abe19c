// The sound lane with the real encoder: the samples of the pieces fed in
// order come out compressed as the finish would have compressed them, and
// anything that does not fit (pieces not fed, another container, samples
// of the wrong length, an encoder that refuses them, a cancel) gives no
// sound, ends the encoder and leaves none of the lane's files.
#include "tools/sound_lane.h"

#include "os/dos.h"
#include "os/exec.h"
#include "tools/probe_memory.h"
#include "os/dos_test_support.h"
#include "tools/tool_run_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

using namespace dostest;
using namespace toolrun;
using namespace cwtools;

namespace {

class SoundLane : public DosTest {
public: // the rows' functions take the fixture

    EnvGuard work_{"CLIPWEAVER_ASSIGN_WORK", scratch_.Path()};
    EnvGuard atEnd_{"CLIPWEAVER_SOUND_AT_END", std::nullopt};

    void TearDown() override { EndSoundLane(); }

    // A piece of `seconds` of a tone at `rate`, its samples beside it as a
    // render's piece on T: leaves them.
    AssemblyPiece Piece(const std::string& name, double seconds, int tone, long long rate = 44100)
    {
        AssemblyPiece piece;
        piece.path = TemporaryHostFile(name);
        piece.facts.sampleRate = rate;
        piece.facts.samples = static_cast<long long>(seconds * static_cast<double>(rate));
        Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=" + std::to_string(tone) + ":sample_rate=" + std::to_string(rate),
            "-ac", "2", "-af", "atrim=end_sample=" + std::to_string(piece.facts.samples), "-f", "s16le",
            SoundBeside(piece.path)});
        return piece;
    }

    // The decoded sound of a file, hashed.
    static std::string Decoded(const std::string& path)
    {
        return Capture({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-f", "md5", "-"});
    }

    // The pieces' samples compressed in one run, as the finish did alone.
    std::string AtOnce(const std::vector<AssemblyPiece>& pieces, const std::string& container)
    {
        const std::string all = TemporaryHostFile("all.raw");
        std::ofstream out(all, std::ios::binary);
        for (const AssemblyPiece& piece : pieces) {
            std::ifstream in(SoundBeside(piece.path), std::ios::binary);
            out << in.rdbuf();
        }
        out.close();
        std::vector<std::string> argv = {"-f", "s16le", "-ar", "44100", "-ac", "2", "-i", all};
        const std::vector<std::string>& words = FinishSoundOf(container)->words;
        argv.insert(argv.end(), words.begin(), words.end());
        const std::string file = TemporaryHostFile("all." + container);
        argv.insert(argv.end(), {"-f", container, file});
        Ffmpeg(argv);
        return Decoded(file);
    }

    // A render's lane into `container`, fed `pieces`, then asked for the
    // sound of `finished` (the same pieces unless given) into `asked`.
    std::optional<std::string> FedThenFinished(const std::vector<AssemblyPiece>& pieces,
        std::optional<std::vector<AssemblyPiece>> finished = std::nullopt, const std::string& asked = "mp4",
        const RunCancel& cancel = {})
    {
        ExpectSoundLane("mp4");
        FeedSoundLane(pieces, never_);
        return CompressedSound(finished.value_or(pieces), asked, cancel);
    }

    // Two pieces of two tones, the first `tone`.
    std::vector<AssemblyPiece> Pieces(int tone) { return {Piece("a", 1.0, tone), Piece("b", 0.6, 660)}; }

    static bool LaneFilesLeft()
    {
        for (const char* name : {"__CWSoundLane", "__CWSoundLane.err", "__CWSoundLane.out"})
            if (std::filesystem::exists(TemporaryHostFile(name)))
                return true;
        return false;
    }

    RunCancel never_;
};

TEST_F(SoundLane, PiecesFedInTurnSoundAsCompressedAtOnce)
{
    for (const std::string container : {"mp4", "avi", "matroska", "webm"}) {
        SCOPED_TRACE(container);
        const std::vector<AssemblyPiece> pieces = {Piece("p1", 1.0, 440), Piece("p2", 0.52, 660), Piece("p3", 1.3, 880)};
        ExpectSoundLane(container);
        FeedSoundLane({pieces[0], pieces[1]}, never_);
        FeedSoundLane(pieces, never_);
        const std::optional<std::string> sound = CompressedSound(pieces, container, never_);
        ASSERT_TRUE(sound);
        EXPECT_EQ(Decoded(*sound), AtOnce(pieces, container));
        EndSoundLane();
        EXPECT_FALSE(LaneFilesLeft());
    }
}

// Each row does something the lane cannot serve; the finish must then
// compress the sound itself.
TEST_F(SoundLane, WhatDoesNotFitGivesNoSoundAndLeavesNothing)
{
    struct Row {
        const char* name;
        std::function<std::optional<std::string>(SoundLane&)> run;
    } rows[] = {
        {"no render expected the lane",
         [](SoundLane& t) {
             const auto pieces = std::vector{t.Piece("a", 0.5, 440)};
             FeedSoundLane(pieces, t.never_);
             return CompressedSound(pieces, "mp4", t.never_);
         }},
        {"the finish is of other pieces than those fed",
         [](SoundLane& t) {
             const auto a = t.Piece("a", 0.5, 440);
             return t.FedThenFinished({a, t.Piece("b", 0.5, 660)}, std::vector{a, t.Piece("c", 0.5, 880)});
         }},
        {"a join that does not go on from the pieces fed",
         [](SoundLane& t) {
             const auto a = t.Piece("a", 0.5, 440);
             const auto b = t.Piece("b", 0.5, 660);
             ExpectSoundLane("mp4");
             FeedSoundLane({a}, t.never_);
             FeedSoundLane({b, a}, t.never_);
             return CompressedSound({b, a}, "mp4", t.never_);
         }},
        {"the finish asks another container",
         [](SoundLane& t) {
             return t.FedThenFinished({t.Piece("a", 0.5, 440)}, std::nullopt, "avi");
         }},
        {"samples shorter than the piece says",
         [](SoundLane& t) {
             auto piece = t.Piece("a", 0.5, 440);
             ++piece.facts.samples;
             return t.FedThenFinished({piece});
         }},
        {"a piece of another sample rate",
         [](SoundLane& t) {
             return t.FedThenFinished({t.Piece("a", 0.5, 440), t.Piece("b", 0.5, 440, 48000)});
         }},
        {"a piece without its samples and no sound to copy out of it",
         [](SoundLane& t) {
             AssemblyPiece piece = t.Piece("a", 0.5, 440);
             std::filesystem::remove(SoundBeside(piece.path));
             return t.FedThenFinished({piece});
         }},
        {"an encoder that cannot write (the program lives on)",
         [](SoundLane& t) {
             // A folder where the encoder would write: it ends once it has
             // read its first samples, while more are still being written.
             const std::string blocked = TemporaryHostFile("__CWSoundLane");
             std::filesystem::create_directories(blocked + "/in the way");
             const auto sound = t.FedThenFinished({t.Piece("a", 30.0, 440), t.Piece("b", 30.0, 440)});
             std::filesystem::remove_all(blocked);
             return sound;
         }},
        {"the cancel comes while the sound is finished",
         [](SoundLane& t) {
             return t.FedThenFinished({t.Piece("a", 2.0, 440)}, std::nullopt, "mp4", RunCancel{[] { return true; }});
         }},
        {"a render that asked for the sound at the end",
         [](SoundLane& t) {
             const EnvGuard atEnd("CLIPWEAVER_SOUND_AT_END", std::string("1"));
             return t.FedThenFinished({t.Piece("a", 0.5, 440)});
         }},
        {"the pieces are fed by another thread (a preview)",
         [](SoundLane& t) {
             const auto pieces = std::vector{t.Piece("a", 0.5, 440)};
             std::promise<void> fed;
             std::promise<void> looked;
             std::thread other([&] {
                 ExpectSoundLane("mp4");
                 FeedSoundLane(pieces, t.never_);
                 fed.set_value();
                 looked.get_future().wait();
                 EndSoundLane(); // its own lane, ended by its own thread
             });
             fed.get_future().wait();
             FeedSoundLane(pieces, t.never_);
             const auto sound = CompressedSound(pieces, "mp4", t.never_);
             looked.set_value();
             other.join();
             return sound;
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.run(*this), std::nullopt);
        EndSoundLane();
        EXPECT_FALSE(LaneFilesLeft());
    }
}

// With the store on, the sound compressed of the same samples before is
// taken instead of waiting for the encoder; anything that would change its
// bytes compresses it again, and whatever is taken sounds as compressed.
TEST_F(SoundLane, TheSameSamplesTakeTheSoundKeptBefore)
{
    struct Row {
        const char* between; // what differs from the render that kept a sound
        std::function<std::vector<AssemblyPiece>(SoundLane&, const std::string& store)> change;
        const char* container;
        bool reused;
    } rows[] = {
        {"nothing", [](SoundLane& t, const std::string&) { return t.Pieces(440); }, "mp4", true},
        {"one piece's samples", [](SoundLane& t, const std::string&) { return t.Pieces(550); }, "mp4", false},
        {"the container", [](SoundLane& t, const std::string&) { return t.Pieces(440); }, "avi", false},
        {"the order of the pieces",
         [](SoundLane& t, const std::string&) {
             auto pieces = t.Pieces(440);
             std::swap(pieces[0], pieces[1]);
             return pieces;
         },
         "mp4", false},
        {"the kept sound damaged",
         [](SoundLane& t, const std::string& store) {
             for (const auto& entry : std::filesystem::recursive_directory_iterator(store))
                 if (entry.path().filename() == "file.sound")
                     std::fstream(entry.path(), std::ios::in | std::ios::out | std::ios::binary).put('!');
             return t.Pieces(440);
         },
         "mp4", false},
        {"the store off",
         [](SoundLane& t, const std::string&) {
             RememberProbesIn({});
             return t.Pieces(440);
         },
         "mp4", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.between);
        const std::string store = scratch_.Path() + "/store";
        std::filesystem::remove_all(store);
        RememberProbesIn(store);
        ASSERT_TRUE(FedThenFinished(Pieces(440), std::nullopt, "mp4"));
        EndSoundLane();
        const std::vector<AssemblyPiece> pieces = row.change(*this, store);
        const TraceCapture trace;
        ExpectSoundLane(row.container);
        FeedSoundLane(pieces, never_);
        const std::optional<std::string> sound = CompressedSound(pieces, row.container, never_);
        RememberProbesIn({});
        ASSERT_TRUE(sound);
        EXPECT_EQ(trace.Contains("Reusing the compressed sound."), row.reused);
        EXPECT_EQ(Decoded(*sound), AtOnce(pieces, row.container));
        EndSoundLane();
        EXPECT_FALSE(LaneFilesLeft());
        EXPECT_FALSE(std::filesystem::exists(TemporaryHostFile("__CWSoundLane.kept")));
    }
}

TEST_F(SoundLane, APieceWithoutSamplesBesideItHasThemCopiedOut)
{
    // A render's first piece is written at its output, where nothing is
    // left beside it.
    AssemblyPiece first = Piece("first", 1.0, 440);
    Ffmpeg({"-f", "s16le", "-ar", "44100", "-ac", "2", "-i", SoundBeside(first.path), "-f", "lavfi", "-i",
        "testsrc=size=64x48:rate=25", "-t", "1", "-map", "1:v", "-c:v", "mpeg4", "-map", "0:a", "-c:a", "pcm_s16le",
        "-f", "avi", first.path});
    const AssemblyPiece second = Piece("second", 0.5, 660);
    const std::string expected = AtOnce({first, second}, "mp4");
    std::filesystem::remove(SoundBeside(first.path));
    ExpectSoundLane("mp4");
    FeedSoundLane({first, second}, never_);
    const std::optional<std::string> sound = CompressedSound({first, second}, "mp4", never_);
    ASSERT_TRUE(sound);
    EXPECT_EQ(Decoded(*sound), expected);
}

// The samples a joined piece left beside it wait, linked into the joins'
// store, until the encoder takes them: the next piece encoded under the
// same name must leave them as they were.
TEST_F(SoundLane, ANewPieceNeverWritesOverTheSamplesOfOneJoined)
{
    const std::string line = " -zoom -oac pcm -srate 44100 -ovc lavc -lavcopts vcodec=mpeg4:vbitrate=915000 "
                             "-vf scale=64:48,harddup -ofps 25 -ss 0 -audio-delay 0 -endpos 1\n";
    auto encode = [&](int tone, const std::string& piece) {
        const std::string source = scratch_.Path() + "/tone" + std::to_string(tone) + ".avi";
        Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-f", "lavfi", "-i",
            "sine=frequency=" + std::to_string(tone), "-t", "1", "-c:v", "mpeg4", "-c:a", "pcm_s16le", source});
        return SystemTagList("mencoder \"" + source + "\" -o \"" + piece + "\"" + line);
    };
    ASSERT_EQ(encode(440, "T:__TempVideo2"), 0);
    ASSERT_EQ(encode(660, "T:__TempVideo"), 0);
    ASSERT_EQ(SystemTagList("mencoder -oac pcm -ovc lavc -o \"T:__Joined\" \"T:__TempVideo2\" \"T:__TempVideo\"\n"), 0);
    const std::string joined = TemporaryHostFile("__CWPieces/p2.avi.pcm");
    const std::string before = Capture({"md5sum", joined});
    ASSERT_FALSE(before.empty());
    ASSERT_EQ(encode(880, "T:__TempVideo"), 0);
    EXPECT_EQ(Capture({"md5sum", joined}), before);
}

} // namespace

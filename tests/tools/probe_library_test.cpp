// Files read in this process: for files of every kind a user brings, a
// probe's answer reads exactly as ffprobe's own and copied samples are
// ffmpeg's bytes; a file the library cannot read, and the switch that
// turns this off, go to the tools.
#include "tools/probe_library.h"
#include "tools/tool_media.h"
#include "os/work.h"
#include "tool_run_support.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

using namespace toolrun;
namespace fs = std::filesystem;

namespace {

const std::string kFacts =
    "stream=codec_type,codec_name,width,height,r_frame_rate,avg_frame_rate,bit_rate,duration,sample_aspect_ratio,"
    "start_time,field_order:stream_side_data=rotation:format=duration,bit_rate,start_time,format_name";

// A compact answer as its reader sees it: each "stream" and "format" line's
// entries, in order.
std::vector<std::pair<std::string, std::map<std::string, std::string>>> Entries(const std::string& text)
{
    std::vector<std::pair<std::string, std::map<std::string, std::string>>> entries;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string section;
        std::getline(fields, section, '|');
        if (section != "stream" && section != "format")
            continue;
        std::map<std::string, std::string> entry;
        for (std::string field; std::getline(fields, field, '|');)
            if (const std::size_t equals = field.find('='); equals != std::string::npos)
                entry[field.substr(0, equals)] = field.substr(equals + 1);
        entries.emplace_back(section, std::move(entry));
    }
    return entries;
}

// ffprobe's answer as the library's should read: a transport stream's
// programs come first and repeat its streams, and the reader takes the
// same streams from either.
auto FfprobeEntries(const std::string& file, std::size_t streamsAndFormat)
{
    auto entries = Entries(Capture({"ffprobe", "-v", "error", "-show_entries", kFacts, "-of", "compact", file}));
    if (entries.size() > streamsAndFormat)
        entries.erase(entries.begin(), entries.end() - static_cast<std::ptrdiff_t>(streamsAndFormat));
    return entries;
}

class ProbeLibraryTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return scratch_.Path() + "/" + name; }
    ScratchDir scratch_;
};

TEST_F(ProbeLibraryTest, AnswersAsFfprobeDoesForEveryKindOfFile)
{
    const std::vector<std::string> picture = {"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=25"};
    const std::vector<std::string> tone = {"-f", "lavfi", "-i", "sine=sample_rate=44100"};
    struct Row {
        const char* name; // the file, and what it holds
        std::vector<std::string> make; // ffmpeg's arguments before the name
        bool counted; // its pictures are counted (no length per stream)
    } rows[] = {
        {"camera.mp4", {"-t", "1", "-c:v", "libx264", "-c:a", "aac"}, false},
        {"fields.ts", {"-t", "1", "-c:v", "mpeg2video", "-flags", "+ilme+ildct", "-top", "1", "-c:a", "mp2"}, false},
        {"pixels.avi", {"-t", "1", "-vf", "setsar=16/15", "-c:v", "mpeg4", "-c:a", "libmp3lame"}, false},
        {"film.mkv", {"-t", "1", "-c:v", "mpeg4", "-c:a", "libopus"}, true},
        {"web.webm", {"-t", "1", "-c:v", "libvpx", "-deadline", "realtime", "-c:a", "libopus"}, true},
        {"ntsc.mov", {"-t", "1", "-r", "30000/1001", "-c:v", "mpeg4", "-an"}, false},
        {"raw.h264", {"-t", "1", "-c:v", "libx264", "-an"}, true},
        {"song.mp3", {"-t", "1", "-vn", "-c:a", "libmp3lame"}, false},
        {"voice.wav", {"-t", "1", "-vn"}, false},
        {"still.png", {"-frames:v", "1", "-an"}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> make = picture;
        make.insert(make.end(), tone.begin(), tone.end());
        make.insert(make.end(), row.make.begin(), row.make.end());
        make.push_back(Path(row.name));
        Ffmpeg(make);
        const std::string file = Path(row.name);
        const auto library = cwtools::LibraryFacts(file, {});
        ASSERT_TRUE(library);
        EXPECT_EQ(Entries(*library), FfprobeEntries(file, Entries(*library).size()));
        if (row.counted) {
            const auto count = cwtools::LibraryPacketCount(file, {});
            ASSERT_TRUE(count);
            EXPECT_EQ(*count, Capture({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
                                  "stream=nb_read_packets", "-of", "csv=p=0", file}));
        }
    }
    // A telephone's clip says how it is turned.
    const std::string upright = Path("camera.mp4");
    const std::string phone = Path("phone.mp4");
    Ffmpeg({"-i", upright, "-c", "copy", "-metadata:s:v:0", "rotate=90", phone});
    const auto turned = cwtools::LibraryFacts(phone, {});
    ASSERT_TRUE(turned);
    EXPECT_EQ(Entries(*turned), FfprobeEntries(phone, Entries(*turned).size()));
    EXPECT_NE(turned->find("rotation=90"), std::string::npos);
}

TEST_F(ProbeLibraryTest, WhatTheLibraryCannotReadIsAskedOfFfprobe)
{
    // A stand-in ffprobe notes each run and says what a real one says of a
    // file it cannot read: nothing, and a failure.
    const std::string runs = Path("runs");
    WriteHostFile(Path("ffprobe"), "#!/bin/sh\necho run >> " + runs + "\nexit 1\n");
    fs::permissions(Path("ffprobe"), fs::perms::owner_all);
    EnvGuard path("PATH", scratch_.Path() + ":" + std::getenv("PATH"));
    MakeClip(Path("clip.avi"), "1", true);
    WriteHostFile(Path("notes.avi"), "not a video at all");
    WriteHostFile(Path("cut.avi"), ReadHostFile(Path("clip.avi")).substr(0, 64));
    struct Row {
        const char* file;
        const char* byFfprobe; // CLIPWEAVER_READ_WITH_TOOLS
        bool readable;
        int runs;
    } rows[] = {
        {"clip.avi", "", true, 0},
        {"clip.avi", "1", false, 1},
        {"notes.avi", "", false, 1},
        {"cut.avi", "", false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.file) + " " + row.byFfprobe);
        EnvGuard byFfprobe("CLIPWEAVER_READ_WITH_TOOLS", row.byFfprobe);
        fs::remove(runs);
        // A new time each row: the probes are remembered as files stand.
        fs::last_write_time(Path(row.file), fs::last_write_time(Path(row.file)) + std::chrono::seconds(1));
        ToolCall call;
        const cwtools::SourceFacts facts = cwtools::ProbeSource(Path(row.file), call);
        EXPECT_EQ(facts.readable, row.readable);
        EXPECT_EQ(facts.hasAudio, row.readable);
        EXPECT_EQ(facts.duration > 0.9, row.readable);
        int count = 0;
        std::ifstream in(runs);
        for (std::string line; std::getline(in, line);)
            ++count;
        EXPECT_EQ(count, row.runs);
    }
}

// A render's first piece has its samples copied out for the sound lane:
// the bytes ffmpeg would write, or nothing at all.
TEST_F(ProbeLibraryTest, SamplesCopiedOutAreFfmpegsBytes)
{
    struct Row {
        const char* name;
        const char* sound; // its codec
        bool copied;
    } rows[] = {
        {"piece.avi", "pcm_s16le", true},
        {"piece.mkv", "pcm_s16le", true},
        {"compressed.avi", "libmp3lame", false},
        {"silent.avi", "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> make = {"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-f", "lavfi", "-i",
            "sine=frequency=300:sample_rate=44100", "-t", "1.3", "-c:v", "mpeg4", "-ac", "2"};
        if (*row.sound)
            make.insert(make.end(), {"-c:a", row.sound});
        else
            make.push_back("-an");
        make.push_back(Path(row.name));
        Ffmpeg(make);
        const std::string samples = Path(std::string(row.name) + ".pcm");
        EXPECT_EQ(cwtools::LibraryCopySamples(Path(row.name), samples, {}), row.copied);
        EXPECT_EQ(fs::exists(samples), row.copied);
        if (!row.copied)
            continue;
        Ffmpeg({"-i", Path(row.name), "-map", "0:a:0", "-c:a", "copy", "-f", "s16le", samples + ".ffmpeg"});
        EXPECT_EQ(ReadHostFile(samples).size(), 1.3 * 44100 * 4);
        EXPECT_TRUE(ReadHostFile(samples) == ReadHostFile(samples + ".ffmpeg"));
    }
}

// Reading in the program is a wait the windows are told of, as a tool's
// run is: the front end paints while a large file is read.
TEST_F(ProbeLibraryTest, EachReadingIsOneWait)
{
    MakeClip(Path("clip.avi"), "1", true);
    std::vector<ToolWait> phases;
    SetToolWaitHook([&phases](ToolWait phase) {
        if (phase != ToolWait::Poll)
            phases.push_back(phase);
    });
    cwtools::LibraryFacts(Path("clip.avi"), {});
    cwtools::LibraryPacketCount(Path("clip.avi"), {});
    cwtools::LibraryCopySamples(Path("clip.avi"), Path("clip.pcm"), {});
    SetToolWaitHook({});
    EXPECT_EQ(phases, (std::vector<ToolWait>{ToolWait::Begin, ToolWait::End, ToolWait::Begin, ToolWait::End,
                          ToolWait::Begin, ToolWait::End}));
}

TEST_F(ProbeLibraryTest, ACancelledProbeGivesNoAnswer)
{
    MakeClip(Path("clip.avi"), "1", false);
    RunCancel cancel;
    cancel.requested = [] { return true; };
    EXPECT_FALSE(cwtools::LibraryFacts(Path("clip.avi"), cancel));
    EXPECT_FALSE(cwtools::LibraryPacketCount(Path("clip.avi"), cancel));
    EXPECT_FALSE(cwtools::LibraryCopySamples(Path("clip.avi"), Path("clip.pcm"), cancel));
    EXPECT_FALSE(fs::exists(Path("clip.pcm")));
}

} // namespace

// What the format, bit-rate, frame-rate and output-kind tables must hold for
// the program to work: names a user can tell apart, sizes an encoder takes,
// defaults inside their ranges, labels that say what the values are, and
// containers and encoders the tools know. Rows are checked by property, not
// copied: a new row has to meet them too.
#include "model/tables.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The entries of a label table up to its null; every label table must end
// with one, as the cycle and radio gadgets stop there.
template <typename Array>
std::vector<std::string> Labels(const Array& table)
{
    std::vector<std::string> labels;
    for (std::size_t i = 0; i + 1 < table.size(); ++i) {
        EXPECT_NE(table[i], nullptr) << "entry " << i << " ends the table early";
        labels.emplace_back(table[i] ? table[i] : "");
    }
    EXPECT_EQ(table.back(), nullptr) << "label tables end with a null entry";
    return labels;
}

struct LabelTable {
    const char* what;
    std::vector<std::string> labels;
    std::size_t count; // the entries the code that reads it counts on
};

std::vector<LabelTable> LabelTables()
{
    return {
        {"formats", Labels(cFormatStrings), cNumberOfFormats},
        {"bit rates", Labels(cBaudStrings), cNumberOfBaudRates},
        {"output rates", Labels(cFPSStrings), cNumberOfFPS},
        {"crouton rates", Labels(cCroutonEditorFPSStrings), cNumberOfCroutonEditorFPS},
        {"preview frames", Labels(cPreviewSelecterTexts), cNumberOfPreviews},
    };
}

// A user picks by label: an empty one can't be picked, two alike can't be
// told apart.
TEST(Tables, EveryLabelIsShownAndTellsItsEntryApart)
{
    for (const LabelTable& table : LabelTables()) {
        SCOPED_TRACE(table.what);
        EXPECT_EQ(table.labels.size(), table.count);
        std::set<std::string> seen;
        for (const std::string& label : table.labels) {
            EXPECT_NE(label.find_first_not_of(' '), std::string::npos) << "a blank label";
            EXPECT_TRUE(seen.insert(label).second) << "\"" << label << "\" twice";
        }
    }
}

// The frame size of a format's scale filter; none for one that is not
// "scale=W:H".
std::optional<std::pair<int, int>> ScaleSize(const char* scale)
{
    int width = 0;
    int height = 0;
    int used = 0;
    if (std::sscanf(scale, "scale=%d:%d%n", &width, &height, &used) != 2 || scale[used] != '\0')
        return std::nullopt;
    return std::pair{width, height};
}

// H.264 and VP9 at 4:2:0 refuse an odd width or height: every fixed format
// must make a frame the encoders take.
TEST(Tables, EveryFixedFormatMakesAFrameTheEncodersTake)
{
    for (int i = 0; i < cNumberOfFormats; ++i) {
        SCOPED_TRACE(cFormatStrings[i]);
        if (i == cCustomFormatID)
            continue;
        const auto size = ScaleSize(cFormatParameters[static_cast<std::size_t>(i)]);
        ASSERT_TRUE(size) << cFormatParameters[static_cast<std::size_t>(i)];
        EXPECT_GT(size->first, 0);
        EXPECT_GT(size->second, 0);
        EXPECT_EQ(size->first % 2, 0);
        EXPECT_EQ(size->second % 2, 0);
    }
}

// The custom format's filter takes the typed size; it is the only one that
// does, and it names no shape of its own.
TEST(Tables, OnlyTheCustomFormatTakesTheTypedSize)
{
    ASSERT_GE(cCustomFormatID, 0);
    ASSERT_LT(cCustomFormatID, cNumberOfFormats);
    const auto custom = static_cast<std::size_t>(cCustomFormatID);
    std::string filled(64, '\0');
    filled.resize(static_cast<std::size_t>(
        std::snprintf(filled.data(), filled.size(), cFormatParameters[custom], 400, 300)));
    const auto size = ScaleSize(filled.c_str());
    ASSERT_TRUE(size) << filled;
    EXPECT_EQ(size->first, 400);
    EXPECT_EQ(size->second, 300);
    EXPECT_EQ(cFormatShapes[custom].width, 0);
    EXPECT_EQ(cFormatShapes[custom].height, 0);
    for (int i = 0; i < cNumberOfFormats; ++i) {
        if (i != cCustomFormatID) {
            EXPECT_EQ(std::string_view(cFormatParameters[static_cast<std::size_t>(i)]).find('%'), std::string::npos)
                << cFormatStrings[i];
        }
    }
}

// The shape a label promises ("16:9 ...") is the one the finished file
// declares.
TEST(Tables, EachFormatDeclaresTheShapeItsLabelNames)
{
    for (int i = 0; i < cNumberOfFormats; ++i) {
        if (i == cCustomFormatID)
            continue;
        SCOPED_TRACE(cFormatStrings[i]);
        long width = 0;
        long height = 0;
        ASSERT_EQ(std::sscanf(cFormatStrings[i], "%ld:%ld", &width, &height), 2);
        EXPECT_EQ(cFormatShapes[static_cast<std::size_t>(i)].width, width);
        EXPECT_EQ(cFormatShapes[static_cast<std::size_t>(i)].height, height);
    }
}

// Choosing a format chooses its bit rate: an entry of the bit-rate cycle,
// and never fewer bits for a bigger frame.
TEST(Tables, EachFormatsDefaultBitRateIsOneOfTheCyclesAndGrowsWithTheFrame)
{
    struct Seen {
        long area;
        LONG baud;
        const char* label;
    };
    std::vector<Seen> seen;
    for (int i = 0; i < cNumberOfFormats; ++i) {
        SCOPED_TRACE(cFormatStrings[i]);
        const LONG baud = cDefaultBaud[static_cast<std::size_t>(i)];
        EXPECT_GE(baud, 0);
        EXPECT_LT(baud, cNumberOfBaudRates);
        if (const auto size = ScaleSize(cFormatParameters[static_cast<std::size_t>(i)]))
            seen.push_back({static_cast<long>(size->first) * size->second, baud, cFormatStrings[i]});
    }
    for (const Seen& small : seen)
        for (const Seen& big : seen) {
            if (big.area > small.area) {
                EXPECT_GE(big.baud, small.baud) << big.label << " gets fewer bits than " << small.label;
            }
        }
}

// The bit-rate label is the rate written, in kbit/s, and the cycle runs from
// the least to the most.
TEST(Tables, EachBitRateLabelShowsTheRateWritten)
{
    for (int i = 0; i < cNumberOfBaudRates; ++i) {
        const auto index = static_cast<std::size_t>(i);
        EXPECT_EQ(cBaudStrings[index], std::to_string(cBaudRates[index]) + "Kbps");
        EXPECT_GT(cBaudRates[index], 0);
        if (i > 0) {
            EXPECT_GT(cBaudRates[index], cBaudRates[index - 1]) << cBaudStrings[index];
        }
    }
}

// The frames a second a rate label names: "25", "30000/1001",
// "(24000/1001) fps", "3 Frames/Second", "1.5 Seconds/Frame".
std::optional<double> NamedRate(const std::string& label)
{
    // Each form read whole: "%n" tells how far it got.
    const auto read = [&label](const char* form, int values, double& a, double& b) {
        int used = -1;
        const int got = values == 2 ? std::sscanf(label.c_str(), form, &a, &b, &used)
                                    : std::sscanf(label.c_str(), form, &a, &used);
        return got == values && used == static_cast<int>(label.size());
    };
    double a = 0;
    double b = 0;
    if (read("(%lf/%lf) fps%n", 2, a, b) || read("%lf/%lf%n", 2, a, b))
        return a / b;
    if (read("%lf Seconds/Frame%n", 1, a, b) || read("%lf Second/Frame%n", 1, a, b))
        return 1 / a;
    if (read("%lf Frames/Second%n", 1, a, b) || read("%lf Frame/Second%n", 1, a, b) || read("%lf%n", 1, a, b))
        return a;
    return std::nullopt;
}

TEST(Tables, EachOutputRateIsTheRateItsLabelNames)
{
    EXPECT_EQ(cCustomFPSID, cNumberOfFPS - 1) << "the custom rate comes last in the cycle";
    EXPECT_EQ(cFPSValues[static_cast<std::size_t>(cCustomFPSID)], 0.0f) << "the custom rate is typed, not held";
    for (int i = 0; i < cNumberOfFPS; ++i) {
        if (i == cCustomFPSID)
            continue;
        SCOPED_TRACE(cFPSStrings[i]);
        const auto named = NamedRate(cFPSStrings[i]);
        ASSERT_TRUE(named);
        EXPECT_NEAR(cFPSValues[static_cast<std::size_t>(i)], *named, 1e-4);
    }
}

TEST(Tables, EachCroutonRateIsTheRateItsLabelNames)
{
    EXPECT_EQ(cCroutonEditorCustomFPSID, cNumberOfCroutonEditorFPS - 1);
    EXPECT_EQ(cCroutonEditorFPSValues.size(), static_cast<std::size_t>(cCroutonEditorCustomFPSID));
    EXPECT_EQ(cCroutonEditorFPSValues[static_cast<std::size_t>(cCroutonEditorInheritFPSID)], 0.0f)
        << "the source's own rate is none of the table's";
    for (int i = 0; i < cCroutonEditorCustomFPSID; ++i) {
        if (i == cCroutonEditorInheritFPSID)
            continue;
        SCOPED_TRACE(cCroutonEditorFPSStrings[i]);
        const auto named = NamedRate(cCroutonEditorFPSStrings[i]);
        ASSERT_TRUE(named);
        // The table holds five places: 0.33333 for a third of a frame.
        EXPECT_NEAR(cCroutonEditorFPSValues[static_cast<std::size_t>(i)], *named, 1e-4);
    }
    // A new picture gets a real rate of the table, not the source's or a
    // typed one.
    EXPECT_NE(cImageCroutonFPSID, cCroutonEditorInheritFPSID);
    EXPECT_NE(cImageCroutonFPSID, cCroutonEditorCustomFPSID);
    EXPECT_GT(CroutonRate(cImageCroutonFPSID, 99.0f), 0.0f);
}

// A crouton's rate: the table's at its index, the typed one at the custom
// index, and inside the table whatever index a file held.
TEST(Tables, CroutonRateReadsTheTableOrTheTypedRate)
{
    for (LONG i = 0; i < cCroutonEditorCustomFPSID; ++i)
        EXPECT_EQ(CroutonRate(i, 12.5f), cCroutonEditorFPSValues[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(CroutonRate(cCroutonEditorCustomFPSID, 12.5f), 12.5f);
    EXPECT_EQ(CroutonRate(-3, 12.5f), cCroutonEditorFPSValues.front());
    EXPECT_EQ(CroutonRate(99, 12.5f), cCroutonEditorFPSValues.back());
    EXPECT_EQ(CroutonRate(2147483647, 12.5f), cCroutonEditorFPSValues.back());
}

// An index a file held is brought into its table: inside stays, below is
// the first entry, above the last.
TEST(Tables, IndicesFromFilesStayInsideTheirTables)
{
    struct Clamp {
        const char* what;
        LONG (*clamp)(LONG);
        LONG count;
    };
    const Clamp clamps[] = {
        {"format", ClampFormatIndex, cNumberOfFormats},
        {"bit rate", ClampBaudIndex, cNumberOfBaudRates},
        {"output rate", ClampFPSIndex, cNumberOfFPS},
        {"crouton rate", ClampCroutonFPSIndex, cNumberOfCroutonEditorFPS},
        {"preview frame", ClampPreviewFrame, cNumberOfPreviews},
    };
    for (const Clamp& row : clamps) {
        SCOPED_TRACE(row.what);
        for (LONG i = 0; i < row.count; ++i)
            EXPECT_EQ(row.clamp(i), i);
        for (LONG below : {LONG{-1}, LONG{-2147483647 - 1}})
            EXPECT_EQ(row.clamp(below), 0);
        for (LONG above : {row.count, LONG{2147483647}})
            EXPECT_EQ(row.clamp(above), row.count - 1);
    }
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// An output name picks the kind written: each extension one kind, found in
// any case and inside any folder, and a folder's dot is no extension.
TEST(Tables, EachOutputNameFindsTheKindOfItsExtension)
{
    std::set<std::string> extensions;
    for (const OutputKind& kind : cOutputKinds) {
        const std::string extension = kind.extension;
        SCOPED_TRACE(extension);
        ASSERT_GE(extension.size(), 2u);
        EXPECT_EQ(extension[0], '.');
        EXPECT_EQ(extension.find_first_of("/: "), std::string::npos);
        EXPECT_TRUE(extensions.insert(Upper(extension)).second) << "two kinds for one extension";
        EXPECT_NE(std::string_view(kind.description), "") << "the finished render's message names the kind";
        for (const std::string& name : {"RAM:out" + extension, "/home/me/My Films/holiday" + extension,
                                        "Work:a.b/c" + Upper(extension), "x.avi" + extension}) {
            EXPECT_EQ(KnownOutputKind(name), &kind) << name;
            EXPECT_EQ(&OutputKindFor(name), &kind) << name;
        }
        const std::string inFolder = "/films" + extension + "/out";
        EXPECT_EQ(KnownOutputKind(inFolder), nullptr) << inFolder;
        EXPECT_EQ(KnownOutputKind("Vol" + extension + ":out"), nullptr);
        EXPECT_EQ(KnownOutputKind("out" + extension + "x"), nullptr);
    }
    // A name of no known kind is written as the first row says.
    for (const char* name : {"RAM:out", "RAM:out.flv", "/a.mp4/b", "out."})
        EXPECT_EQ(&OutputKindFor(name), &cOutputKinds.front()) << name;
    // The output a new project names is one the program can write.
    EXPECT_NE(KnownOutputKind(cDefaultOutputFilename), nullptr);
}

std::size_t Occurrences(std::string_view text, std::string_view needle)
{
    std::size_t count = 0;
    for (auto at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + 1))
        ++count;
    return count;
}

// Each encoder line takes the bit rate once, in the unit its encoder reads:
// x264's bitrate= in kbit/s, lavc's vbitrate= in bit/s. A wrong unit is a
// file a thousand times too big or too small.
TEST(Tables, EachKindWritesTheBitRateOnceInItsEncodersUnit)
{
    for (const OutputKind& kind : cOutputKinds) {
        SCOPED_TRACE(kind.extension);
        const std::string_view video = kind.videoEncoder;
        EXPECT_EQ(Occurrences(video, "%"), 1u);
        EXPECT_EQ(Occurrences(video, "%ld"), 1u);
        EXPECT_LE(Occurrences(kind.imageEncoder, "%"), Occurrences(kind.imageEncoder, "%ld"));
        EXPECT_LE(Occurrences(kind.imageEncoder, "%ld"), 1u);
        if (video.find("vbitrate=%ld") != std::string_view::npos) {
            EXPECT_EQ(kind.bitrateUnit, 1000);
        } else if (video.find("-ovc x264") != std::string_view::npos) {
            EXPECT_EQ(kind.bitrateUnit, 1);
        } else {
            ADD_FAILURE() << "an encoder of no known unit: " << video;
        }
    }
}

// Runs ffmpeg's help on one of its parts and returns its first line ("" when
// it could not run).
std::string FfmpegHelp(const std::string& topic)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {};
    const std::vector<std::string> arguments = {"ffmpeg", "-hide_banner", "-h", topic};
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t got; spawned == 0 && (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeEnds[0]);
    if (spawned == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    return output.substr(0, output.find('\n'));
}

// The word after `key` up to the next ':', ',' or blank; empty when absent.
std::string ValueAfter(std::string_view text, std::string_view key)
{
    const auto at = text.find(key);
    if (at == std::string_view::npos)
        return {};
    const std::string_view rest = text.substr(at + key.size());
    return std::string(rest.substr(0, rest.find_first_of(":, ")));
}

// The container each kind is finished into ("-lavfopts format=...", else
// mencoder's own AVI) and the encoders it names are ones the tools have.
TEST(Tables, EachKindsContainerAndEncodersAreKnownToTheTools)
{
    if (FfmpegHelp("muxer=avi").empty())
        GTEST_SKIP() << "no ffmpeg here";
    for (const OutputKind& kind : cOutputKinds) {
        SCOPED_TRACE(kind.extension);
        std::string container = ValueAfter(kind.finish, "format=");
        if (container.empty())
            container = "avi";
        EXPECT_EQ(FfmpegHelp("muxer=" + container).rfind("Muxer " + container + " ", 0), 0u) << container;
        for (const std::string_view line : {std::string_view(kind.videoEncoder), std::string_view(kind.imageEncoder)}) {
            std::string encoder = ValueAfter(line, "vcodec=");
            if (line.find("-ovc x264") != std::string_view::npos)
                encoder = "libx264";
            ASSERT_FALSE(encoder.empty()) << line;
            EXPECT_EQ(FfmpegHelp("encoder=" + encoder).rfind("Encoder " + encoder + " ", 0), 0u) << encoder;
        }
        if (const std::string sound = ValueAfter(kind.finish, "acodec="); !sound.empty()) {
            EXPECT_EQ(FfmpegHelp("encoder=" + sound).rfind("Encoder " + sound + " ", 0), 0u) << sound;
        }
    }
}

// The editor's stills: one file each, on T:, as pictures the still loader
// reads by their extension; the silence is on T: too.
TEST(Tables, EachPreviewStillHasAFileOfItsOwnOnT)
{
    std::set<std::string> files;
    for (const char* file : cTemporaryPreviewFilename) {
        ASSERT_NE(file, nullptr);
        const std::string name = file;
        EXPECT_EQ(name.rfind("T:", 0), 0u) << name;
        EXPECT_TRUE(name.ends_with(".png")) << name;
        EXPECT_TRUE(files.insert(name).second) << name << " twice";
    }
    EXPECT_EQ(std::string_view(cSilenceFilename).rfind("T:", 0), 0u);
    EXPECT_EQ(files.count(cSilenceFilename), 0u);
}

} // namespace

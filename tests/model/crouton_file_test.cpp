// The crouton file: layout byte for byte, reading it back, bad and short
// files, and saves that must leave the old file whole.
#include "model/crouton.h"
#include "model/tables.h"
#include "os/question.h"
#include "model_test_util.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using modeltest::HostExists;
using modeltest::ReadHostFile;
using modeltest::TempDir;
using modeltest::WriteHostFile;
using cwtest::Address;

namespace {

// Replaces the first `from` in text; the test fails when there is none.
void Replace(std::string& text, std::string_view from, std::string_view to)
{
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

std::unique_ptr<Crouton> VideoCrouton(const std::string& directory, const std::string& filename)
{
    auto crouton = CreateCrouton();
    crouton->name = "Holiday";
    crouton->videoName = "Work:Clips/holiday.avi";
    crouton->directory = directory;
    crouton->filename = filename;
    crouton->start = 12;
    crouton->length = 30;
    crouton->videoLength = 95;
    crouton->previewFilename = {"Work:Croutons/h_preview1.png", std::nullopt, "Work:Croutons/h_preview3.png",
                                "NoKeyFrame.png", "Work:Croutons/h_preview5.png"};
    crouton->previewImageText = "\x1bo[1]";
    crouton->width = 640;
    crouton->height = 480;
    crouton->videoBitrate = 800000;
    crouton->audioBitrate = 128000;
    crouton->fps = 17;
    crouton->ratio = 1.333333f;
    crouton->customFPS = 30.0f;
    crouton->videoCodec = "mpeg4";
    crouton->audioCodec = "mp3";
    crouton->previewPosition = {5, 25, 50, 75, 95};
    crouton->previewFrame = 2;
    crouton->isVideo = TRUE;
    return crouton;
}

const char* const kVideoFile = "Holiday\n"
                               "Work:Clips/holiday.avi\n"
                               "Work:Croutons/h_preview1.png\n"
                               "\n"
                               "Work:Croutons/h_preview3.png\n"
                               "NoKeyFrame.png\n"
                               "Work:Croutons/h_preview5.png\n"
                               "12\n30\n95\n640\n480\n2\n"
                               "5\n25\n50\n75\n95\n"
                               "800000\n128000\n1\n"
                               "1.333333\n17\n"
                               "mpeg4\nmp3\n\n"
                               "30.000000\n";

const char* const kNoSourceFile = "Pictures\n"
                                  "__no file__\n"
                                  "0\n4\n0\n0\n0\n1\n"
                                  "0\n20\n40\n60\n80\n"
                                  "0\n0\n0\n"
                                  "0.000000\n18\n"
                                  "\n\nWork:Music/song.mp3\n"
                                  "12.500000\n";

class CroutonFile : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return dir_ / name; }
    TempDir dir_;
};

TEST_F(CroutonFile, VideoCroutonLayout)
{
    auto crouton = VideoCrouton(dir_.path(), "h.cwcrouton");
    ASSERT_EQ(SaveCrouton(crouton.get()), TRUE);
    const std::string text = ReadHostFile(Path("h.cwcrouton"));
    EXPECT_EQ(text, kVideoFile);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 27);
    EXPECT_TRUE(crouton->lock) << "a saved crouton holds its file";
    DestroyCrouton(std::move(crouton));
}

TEST_F(CroutonFile, NoSourceLayout)
{
    auto crouton = CreateCrouton();
    crouton->name = "Pictures";
    crouton->directory = dir_.path();
    crouton->filename = "p.cwcrouton";
    crouton->length = 4;
    crouton->isVideo = FALSE;
    crouton->fps = cCroutonEditorCustomFPSID;
    crouton->customFPS = 12.5f;
    crouton->soundtrack = "Work:Music/song.mp3";
    // Previews of a crouton without a source are not written.
    crouton->previewFilename[0] = "ignored.png";
    ASSERT_EQ(SaveCrouton(crouton.get()), TRUE);
    const std::string text = ReadHostFile(Path("p.cwcrouton"));
    EXPECT_EQ(text, kNoSourceFile);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 22);
    DestroyCrouton(std::move(crouton));
}

// The truth value is written with "%d" as it is held, so a value read as 2
// is written back as 2.
TEST_F(CroutonFile, TruthValueWrittenAsHeld)
{
    auto crouton = VideoCrouton(dir_.path(), "h.cwcrouton");
    crouton->isVideo = 2;
    ASSERT_EQ(SaveCrouton(crouton.get()), TRUE);
    std::string expected = kVideoFile;
    const std::string held = "800000\n128000\n1\n";
    expected.replace(expected.find(held), held.size(), "800000\n128000\n2\n");
    EXPECT_EQ(ReadHostFile(Path("h.cwcrouton")), expected);
    DestroyCrouton(std::move(crouton));
}

TEST_F(CroutonFile, SaveTraces)
{
    auto crouton = VideoCrouton(dir_.path(), "h.cwcrouton");
    TraceCapture trace;
    ASSERT_EQ(SaveCrouton(crouton.get()), TRUE);
    EXPECT_EQ(trace.Text(), "Crouton length is 30.\nUnlocking crouton " + Address(crouton.get()) + ", lock is " +
                                Address(nullptr) + ".\nSaved crouton h.cwcrouton.\nLocked crouton " +
                                Path("h.cwcrouton") + ".\n");

    // Saving again lets go of the lock for the write and takes it back.
    const void* held = crouton->lock.get();
    trace.Clear();
    ASSERT_EQ(SaveCrouton(crouton.get()), TRUE);
    EXPECT_EQ(trace.Text(), "Crouton length is 30.\nUnlocking crouton " + Address(crouton.get()) + ", lock is " +
                                Address(held) + ".\nSucceeded.\nSaved crouton h.cwcrouton.\nLocked crouton " +
                                Path("h.cwcrouton") + ".\n");
    EXPECT_TRUE(crouton->lock);
    EXPECT_EQ(ReadHostFile(Path("h.cwcrouton")), kVideoFile);
    EXPECT_FALSE(HostExists(Path("h.cwcrouton.cwtmp")));
    DestroyCrouton(std::move(crouton));
}

TEST_F(CroutonFile, RoundTripKeepsEveryStoredField)
{
    auto saved = VideoCrouton(dir_.path(), "h.cwcrouton");
    saved->soundtrack = "Work:Music/song.mp3";
    saved->fps = cCroutonEditorCustomFPSID;
    saved->customFPS = 23.5f;
    saved->isVideo = FALSE;
    saved->start = -3;
    ASSERT_EQ(SaveCrouton(saved.get()), TRUE);
    UnlockCrouton(saved.get());

    auto loaded = LoadCrouton(Path("h.cwcrouton"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->name, saved->name);
    EXPECT_EQ(loaded->videoName, saved->videoName);
    EXPECT_EQ(loaded->directory, dir_.path());
    EXPECT_EQ(loaded->filename, "h.cwcrouton");
    EXPECT_EQ(loaded->start, saved->start);
    EXPECT_EQ(loaded->length, saved->length);
    EXPECT_EQ(loaded->videoLength, saved->videoLength);
    EXPECT_EQ(loaded->previewFilename, saved->previewFilename);
    EXPECT_EQ(loaded->width, saved->width);
    EXPECT_EQ(loaded->height, saved->height);
    EXPECT_EQ(loaded->videoBitrate, saved->videoBitrate);
    EXPECT_EQ(loaded->audioBitrate, saved->audioBitrate);
    EXPECT_EQ(loaded->fps, saved->fps);
    EXPECT_EQ(loaded->ratio, 1.333333f);
    EXPECT_EQ(loaded->customFPS, 23.5f);
    EXPECT_EQ(loaded->videoCodec, saved->videoCodec);
    EXPECT_EQ(loaded->audioCodec, saved->audioCodec);
    EXPECT_EQ(loaded->soundtrack, saved->soundtrack);
    EXPECT_EQ(loaded->previewPosition, saved->previewPosition);
    EXPECT_EQ(loaded->previewFrame, saved->previewFrame);
    EXPECT_EQ(loaded->isVideo, FALSE);
    // What the file does not hold stays at its default.
    EXPECT_FALSE(loaded->lock);
    EXPECT_EQ(loaded->previewImage, nullptr);
    EXPECT_FALSE(loaded->previewImageText);
    // The loaded crouton saves to the same file.
    EXPECT_EQ(BuildFullPath(*loaded->directory, *loaded->filename), Path("h.cwcrouton"));
    DestroyCrouton(std::move(loaded));
    DestroyCrouton(std::move(saved));
}

TEST_F(CroutonFile, NullTextsComeBackNull)
{
    auto saved = VideoCrouton(dir_.path(), "n.cwcrouton");
    saved->videoCodec.reset();
    saved->audioCodec.reset();
    saved->soundtrack.reset();
    saved->previewFilename = {};
    ASSERT_EQ(SaveCrouton(saved.get()), TRUE);
    UnlockCrouton(saved.get());
    const std::string text = ReadHostFile(Path("n.cwcrouton"));
    EXPECT_NE(text.find("\n1.333333\n17\n\n\n\n30.000000\n"), std::string::npos) << text;

    auto loaded = LoadCrouton(Path("n.cwcrouton"));
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(loaded->videoCodec);
    EXPECT_FALSE(loaded->audioCodec);
    EXPECT_FALSE(loaded->soundtrack);
    for (const auto& preview : loaded->previewFilename)
        EXPECT_FALSE(preview);
    EXPECT_EQ(loaded->videoName, "Work:Clips/holiday.avi");
    DestroyCrouton(std::move(loaded));
    DestroyCrouton(std::move(saved));
}

TEST_F(CroutonFile, NoSourceInAnyCase)
{
    for (const std::string marker : {"__no file__", "__NO FILE__", "__No File__"}) {
        std::string text = kNoSourceFile;
        Replace(text, "__no file__", marker);
        WriteHostFile(Path("p.cwcrouton"), text);
        auto loaded = LoadCrouton(Path("p.cwcrouton"));
        ASSERT_TRUE(loaded) << marker;
        EXPECT_FALSE(loaded->videoName) << marker;
        for (const auto& preview : loaded->previewFilename)
            EXPECT_FALSE(preview);
        // The numbers follow straight after the marker.
        EXPECT_EQ(loaded->length, 4);
        EXPECT_EQ(loaded->isVideo, FALSE);
        EXPECT_EQ(loaded->fps, cCroutonEditorCustomFPSID);
        EXPECT_EQ(loaded->customFPS, 12.5f);
        EXPECT_EQ(loaded->soundtrack, "Work:Music/song.mp3");
        DestroyCrouton(std::move(loaded));
    }
}

TEST_F(CroutonFile, LoadTraces)
{
    WriteHostFile(Path("h.cwcrouton"), kVideoFile);
    TraceCapture trace;
    auto loaded = LoadCrouton(Path("h.cwcrouton"));
    ASSERT_TRUE(loaded);
    const std::string address = Address(loaded.get());
    EXPECT_EQ(trace.Text(), "Loading crouton " + Path("h.cwcrouton") +
                                ".\nCrouton is opened. Creating Crouton structure.\nCrouton created. tCrouton is " +
                                address +
                                ".\nPreview is Work:Croutons/h_preview1.png.\n"
                                "Preview is Work:Croutons/h_preview3.png.\nPreview is NoKeyFrame.png.\n"
                                "Preview is Work:Croutons/h_preview5.png.\nLoaded codec mp3.\nNo soundtrack.\n"
                                "length is " +
                                std::to_string(dir_.path().size()) + ".\nCrouton Holiday has directory " + dir_.path() +
                                ", filename h.cwcrouton.\nCrouton start is 12, length is 30.\nCrouton address is " +
                                address + ".\n");
    DestroyCrouton(std::move(loaded));

    trace.Clear();
    EXPECT_FALSE(LoadCrouton(Path("missing.cwcrouton")));
    EXPECT_EQ(trace.Text(), "Loading crouton " + Path("missing.cwcrouton") + ".\n");
}

TEST_F(CroutonFile, AHeldFileCannotBeLoaded)
{
    auto saved = VideoCrouton(dir_.path(), "h.cwcrouton");
    ASSERT_EQ(SaveCrouton(saved.get()), TRUE);
    ASSERT_TRUE(saved->lock);
    EXPECT_FALSE(LoadCrouton(Path("h.cwcrouton")));
    UnlockCrouton(saved.get());
    auto loaded = LoadCrouton(Path("h.cwcrouton"));
    EXPECT_TRUE(loaded);
    DestroyCrouton(std::move(loaded));
    DestroyCrouton(std::move(saved));
}

TEST_F(CroutonFile, NumbersParseFromTheStartOfTheLine)
{
    std::string text = kNoSourceFile;
    // fps 18.9 truncates, trailing words are ignored, junk reads 0.
    Replace(text, "0.000000\n18\n", "1.5abc\n18.9\n");
    Replace(text, "0\n4\n0\n0\n0\n1\n", "  7 s\n4 seconds\nabc\n-12\n+3\n3\n");
    WriteHostFile(Path("p.cwcrouton"), text);
    auto loaded = LoadCrouton(Path("p.cwcrouton"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->start, 7);
    EXPECT_EQ(loaded->length, 4);
    EXPECT_EQ(loaded->videoLength, 0);
    EXPECT_EQ(loaded->width, -12);
    EXPECT_EQ(loaded->height, 3);
    EXPECT_EQ(loaded->previewFrame, 3);
    EXPECT_EQ(loaded->ratio, 1.5f);
    EXPECT_EQ(loaded->fps, 18);
    DestroyCrouton(std::move(loaded));
}

TEST_F(CroutonFile, OutOfRangeIndicesAreBroughtIntoRange)
{
    const auto load = [&](const std::string& previewFrame, const std::string& fps) {
        std::string text = kNoSourceFile;
        Replace(text, "0\n0\n0\n1\n0\n20\n", "0\n0\n0\n" + previewFrame + "\n0\n20\n");
        Replace(text, "0.000000\n18\n", "0.000000\n" + fps + "\n");
        WriteHostFile(Path("p.cwcrouton"), text);
        auto loaded = LoadCrouton(Path("p.cwcrouton"));
        EXPECT_TRUE(loaded);
        const std::pair<LONG, LONG> result{loaded ? loaded->previewFrame : -100, loaded ? loaded->fps : -100};
        DestroyCrouton(std::move(loaded));
        return result;
    };
    EXPECT_EQ(load("7", "19"), (std::pair<LONG, LONG>{4, 18}));
    EXPECT_EQ(load("-1", "-4"), (std::pair<LONG, LONG>{0, 0}));
    EXPECT_EQ(load("99999999999", "1e300"), (std::pair<LONG, LONG>{4, 18}));
    EXPECT_EQ(load("-99999999999", "-1e300"), (std::pair<LONG, LONG>{0, 0}));
    EXPECT_EQ(load("4", "nan"), (std::pair<LONG, LONG>{4, 0}));
    EXPECT_EQ(load("0", "17.99"), (std::pair<LONG, LONG>{0, 17}));
}

TEST_F(CroutonFile, HugeAndOddFloats)
{
    std::string text = kNoSourceFile;
    Replace(text, "0.000000\n18\n", "1e300\n18\n");
    Replace(text, "12.500000\n", "inf\n");
    WriteHostFile(Path("p.cwcrouton"), text);
    auto loaded = LoadCrouton(Path("p.cwcrouton"));
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(std::isfinite(loaded->ratio));
    EXPECT_EQ(loaded->customFPS, 0.0f);
    DestroyCrouton(std::move(loaded));
}

TEST_F(CroutonFile, LongLinesAreReadWhole)
{
    auto saved = VideoCrouton(dir_.path(), "l.cwcrouton");
    saved->name = std::string(5000, 'n');
    saved->videoName = "Work:" + std::string(1023, 'v') + ".avi";
    saved->previewFilename[0] = std::string(1022, 'p');
    saved->previewFilename[1] = std::string(1023, 'q');
    saved->soundtrack = std::string(3000, 's');
    ASSERT_EQ(SaveCrouton(saved.get()), TRUE);
    UnlockCrouton(saved.get());
    auto loaded = LoadCrouton(Path("l.cwcrouton"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->name, saved->name);
    EXPECT_EQ(loaded->videoName, saved->videoName);
    EXPECT_EQ(loaded->previewFilename, saved->previewFilename);
    EXPECT_EQ(loaded->start, 12);
    EXPECT_EQ(loaded->previewPosition, saved->previewPosition);
    EXPECT_EQ(loaded->soundtrack, saved->soundtrack);
    EXPECT_EQ(loaded->customFPS, 30.0f);
    DestroyCrouton(std::move(loaded));
    DestroyCrouton(std::move(saved));
}

TEST_F(CroutonFile, LineFeedsInsideTextsDoNotShiftTheFile)
{
    auto saved = VideoCrouton(dir_.path(), "f.cwcrouton");
    saved->name = "Two\nlines";
    ASSERT_EQ(SaveCrouton(saved.get()), TRUE);
    UnlockCrouton(saved.get());
    auto loaded = LoadCrouton(Path("f.cwcrouton"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->name, "Two lines");
    EXPECT_EQ(loaded->videoName, saved->videoName);
    EXPECT_EQ(loaded->customFPS, 30.0f);
    DestroyCrouton(std::move(loaded));
    DestroyCrouton(std::move(saved));
}

TEST_F(CroutonFile, ShortFilesKeepTheDefaults)
{
    std::string full = kVideoFile;
    Replace(full, "\n1\n1.333333\n", "\n0\n1.333333\n");
    Replace(full, "mp3\n\n30.000000\n", "mp3\nsong.mp3\n12.500000\n");
    // Cut after every line: what is missing keeps its default.
    std::size_t cut = 0;
    int lines = 0;
    while ((cut = full.find('\n', cut)) != std::string::npos) {
        ++cut;
        ++lines;
        WriteHostFile(Path("s.cwcrouton"), full.substr(0, cut));
        auto loaded = LoadCrouton(Path("s.cwcrouton"));
        ASSERT_TRUE(loaded) << lines;
        EXPECT_EQ(loaded->videoName.has_value(), lines >= 2) << lines;
        EXPECT_EQ(loaded->previewFilename[4].has_value(), lines >= 7) << lines;
        EXPECT_EQ(loaded->start, lines >= 8 ? 12 : 0) << lines;
        EXPECT_EQ(loaded->previewFrame, lines >= 13 ? 2 : 1) << lines;
        EXPECT_EQ(loaded->previewPosition[0], lines >= 14 ? 5 : 0) << lines;
        EXPECT_EQ(loaded->previewPosition[4], lines >= 18 ? 95 : 80) << lines;
        EXPECT_EQ(loaded->isVideo, lines >= 21 ? FALSE : TRUE) << lines;
        EXPECT_EQ(loaded->fps, lines >= 23 ? 17 : 0) << lines;
        EXPECT_EQ(loaded->videoCodec.has_value(), lines >= 24) << lines;
        EXPECT_EQ(loaded->soundtrack.has_value(), lines >= 26) << lines;
        EXPECT_EQ(loaded->customFPS, lines >= 27 ? 12.5f : 30.0f) << lines;
        DestroyCrouton(std::move(loaded));
    }
    EXPECT_EQ(lines, 27);

    // No line feed at the very end: the last value still counts.
    WriteHostFile(Path("s.cwcrouton"), full.substr(0, full.size() - 1));
    auto unterminated = LoadCrouton(Path("s.cwcrouton"));
    ASSERT_TRUE(unterminated);
    EXPECT_EQ(unterminated->customFPS, 12.5f);
    EXPECT_EQ(unterminated->soundtrack, "song.mp3");
    DestroyCrouton(std::move(unterminated));

    // A cut inside a text line keeps what is there.
    WriteHostFile(Path("s.cwcrouton"), "Holi");
    auto cutName = LoadCrouton(Path("s.cwcrouton"));
    ASSERT_TRUE(cutName);
    EXPECT_EQ(cutName->name, "Holi");
    DestroyCrouton(std::move(cutName));

    // An empty file gives a crouton with no texts at all.
    WriteHostFile(Path("s.cwcrouton"), "");
    auto empty = LoadCrouton(Path("s.cwcrouton"));
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->name);
    EXPECT_FALSE(empty->videoName);
    EXPECT_EQ(empty->length, 0);
    EXPECT_EQ(empty->customFPS, 30.0f);
    EXPECT_EQ(empty->previewFrame, 1);
    EXPECT_EQ(empty->filename, "s.cwcrouton");
    DestroyCrouton(std::move(empty));
}

TEST(CroutonFileLocation, DirectoryAndFilenameFromThePath)
{
    const std::string work = modeltest::WorkFolder();
    modeltest::ClearFolder(work);
    std::filesystem::create_directories(work + "/Clips");
    WriteHostFile(work + "/Clips/Holiday.cwcrouton", kVideoFile);
    auto loaded = LoadCrouton("Work:Clips/Holiday.cwcrouton");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->directory, "Work:Clips");
    EXPECT_EQ(loaded->filename, "Holiday.cwcrouton");
    // Saving writes the same file back.
    loaded->length = 31;
    ASSERT_EQ(SaveCrouton(loaded.get()), TRUE);
    EXPECT_TRUE(loaded->lock);
    std::string expected = kVideoFile;
    Replace(expected, "\n30\n95\n", "\n31\n95\n");
    EXPECT_EQ(ReadHostFile(work + "/Clips/Holiday.cwcrouton"), expected);
    DestroyCrouton(std::move(loaded));

    const std::string ram = modeltest::RamFolder();
    WriteHostFile(ram + "/x.cwcrouton", kNoSourceFile);
    loaded = LoadCrouton("RAM:x.cwcrouton");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->directory, "RAM:");
    EXPECT_EQ(loaded->filename, "x.cwcrouton");
    EXPECT_EQ(BuildFullPath(*loaded->directory, *loaded->filename), "RAM:x.cwcrouton");
    DestroyCrouton(std::move(loaded));
    std::filesystem::remove(ram + "/x.cwcrouton");

    TempDir here;
    modeltest::ScopedCurrentDir inside(here.path());
    WriteHostFile(here / "x.cwcrouton", kNoSourceFile);
    loaded = LoadCrouton("x.cwcrouton");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->directory, "");
    EXPECT_EQ(loaded->filename, "x.cwcrouton");
    loaded->name = "Renamed";
    ASSERT_EQ(SaveCrouton(loaded.get()), TRUE);
    EXPECT_EQ(ReadHostFile(here / "x.cwcrouton").substr(0, 8), "Renamed\n");
    DestroyCrouton(std::move(loaded));
}

// ---- saves that fail ----------------------------------------------------

class CroutonSaveFailure : public CroutonFile {
protected:
    // The failure trace, with the unlocking before it.
    static std::string FailureTrace(const Crouton* crouton, const void* lock, const std::string& filename)
    {
        std::string text = "Crouton length is 30.\nUnlocking crouton " + Address(crouton) + ", lock is " +
                           Address(lock) + ".\n";
        if (lock)
            text += "Succeeded.\n";
        return text + "Couldn't create crouton " + filename + ".\n";
    }
};

TEST_F(CroutonSaveFailure, MissingFolder)
{
    auto crouton = VideoCrouton(dir_ / "nowhere", "h.cwcrouton");
    TraceCapture trace;
    EXPECT_EQ(SaveCrouton(crouton.get()), FALSE);
    EXPECT_EQ(trace.Text(), FailureTrace(crouton.get(), nullptr, "h.cwcrouton"));
    EXPECT_FALSE(crouton->lock);
    EXPECT_FALSE(HostExists(dir_ / "nowhere"));
    DestroyCrouton(std::move(crouton));
}

TEST_F(CroutonSaveFailure, FolderIsAFile)
{
    WriteHostFile(Path("plain"), "not a folder");
    auto crouton = VideoCrouton(Path("plain"), "h.cwcrouton");
    EXPECT_EQ(SaveCrouton(crouton.get()), FALSE);
    EXPECT_EQ(ReadHostFile(Path("plain")), "not a folder");
    DestroyCrouton(std::move(crouton));
}

TEST_F(CroutonSaveFailure, NoFileName)
{
    auto crouton = VideoCrouton(dir_.path(), "");
    crouton->filename.reset();
    TraceCapture trace;
    EXPECT_EQ(SaveCrouton(crouton.get()), FALSE);
    EXPECT_EQ(trace.Text(), FailureTrace(crouton.get(), nullptr, "(null)"));
    EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
    DestroyCrouton(std::move(crouton));
    EXPECT_EQ(SaveCrouton(nullptr), FALSE);
}

TEST_F(CroutonSaveFailure, TargetCannotBeReplaced)
{
    // A folder where the crouton file should be: the new content is written
    // but cannot be put in place.
    std::filesystem::create_directories(Path("h.cwcrouton") + "/inside");
    auto crouton = VideoCrouton(dir_.path(), "h.cwcrouton");
    TraceCapture trace;
    EXPECT_EQ(SaveCrouton(crouton.get()), FALSE);
    EXPECT_TRUE(trace.Contains("Couldn't create crouton h.cwcrouton.\n"));
    EXPECT_FALSE(trace.Contains("Saved crouton"));
    EXPECT_TRUE(std::filesystem::is_directory(Path("h.cwcrouton") + "/inside"));
    EXPECT_FALSE(HostExists(Path("h.cwcrouton.cwtmp")));
    DestroyCrouton(std::move(crouton));
}

TEST_F(CroutonSaveFailure, AnotherHolderKeepsTheFile)
{
    WriteHostFile(Path("h.cwcrouton"), "old contents\n");
    FileLock holder = Lock(Path("h.cwcrouton"), EXCLUSIVE_LOCK);
    ASSERT_TRUE(holder);
    auto crouton = VideoCrouton(dir_.path(), "h.cwcrouton");
    TraceCapture trace;
    EXPECT_EQ(SaveCrouton(crouton.get()), FALSE);
    EXPECT_EQ(trace.Text(), FailureTrace(crouton.get(), nullptr, "h.cwcrouton"));
    EXPECT_EQ(ReadHostFile(Path("h.cwcrouton")), "old contents\n");
    EXPECT_FALSE(HostExists(Path("h.cwcrouton.cwtmp")));
    EXPECT_FALSE(crouton->lock);
    UnLock(std::move(holder));

    EXPECT_EQ(SaveCrouton(crouton.get()), TRUE);
    EXPECT_EQ(ReadHostFile(Path("h.cwcrouton")), kVideoFile);
    DestroyCrouton(std::move(crouton));
}

TEST_F(CroutonSaveFailure, AnotherProcessKeepsTheFile)
{
    WriteHostFile(Path("h.cwcrouton"), "old contents\n");
    cwtest::ChildProcess holder([this](const cwtest::Channel& parent) {
        FileLock lock = Lock(Path("h.cwcrouton"), EXCLUSIVE_LOCK);
        parent.Send(lock ? "L" : "N");
        if (!parent.Receive())
            return 3;
        UnLock(std::move(lock));
        return 0;
    });
    const std::optional<std::string> held = holder.Talk().Receive();
    ASSERT_TRUE(held);
    EXPECT_EQ(*held, "L");

    auto crouton = VideoCrouton(dir_.path(), "h.cwcrouton");
    EXPECT_EQ(SaveCrouton(crouton.get()), FALSE);
    EXPECT_EQ(ReadHostFile(Path("h.cwcrouton")), "old contents\n");
    EXPECT_FALSE(HostExists(Path("h.cwcrouton.cwtmp")));

    holder.Talk().Send("g");
    EXPECT_EQ(holder.Wait(), 0);
    DestroyCrouton(std::move(crouton));
}

// A write that fails part-way (the file-size limit stands in for a full
// disk): the old file stays whole, the half-written one goes, and the
// crouton holds its file again.
TEST_F(CroutonSaveFailure, FailedWriteKeepsTheOldFile)
{
    WriteHostFile(Path("h.cwcrouton"), kNoSourceFile);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(10);
        auto crouton = VideoCrouton(dir_.path(), "h.cwcrouton");
        crouton->name = std::string(20000, 'n');
        LockCrouton(crouton.get());
        if (!crouton->lock)
            _exit(11);
        TraceCapture trace;
        const BOOL saved = SaveCrouton(crouton.get());
        int result = 0;
        if (saved != FALSE)
            result |= 1;
        if (!trace.Contains("Couldn't create crouton h.cwcrouton.\n") || trace.Contains("Saved crouton"))
            result |= 2;
        if (!crouton->lock)
            result |= 4;
        DestroyCrouton(std::move(crouton));
        _exit(result);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const int result = WEXITSTATUS(status);
    EXPECT_EQ(result & 1, 0) << "the save reported success";
    EXPECT_EQ(result & 2, 0) << "wrong trace";
    EXPECT_EQ(result & 4, 0) << "the crouton lost its lock";
    EXPECT_LT(result, 8) << "set-up failed in the child: " << result;
    EXPECT_EQ(ReadHostFile(Path("h.cwcrouton")), kNoSourceFile);
    EXPECT_FALSE(HostExists(Path("h.cwcrouton.cwtmp")));
}

TEST_F(CroutonSaveFailure, ReadOnlyFolder)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into read-only folders";
    std::filesystem::create_directories(Path("ro"));
    WriteHostFile(Path("ro/h.cwcrouton"), "old contents\n");
    std::filesystem::permissions(Path("ro"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    auto crouton = VideoCrouton(Path("ro"), "h.cwcrouton");
    EXPECT_EQ(SaveCrouton(crouton.get()), FALSE);
    EXPECT_EQ(ReadHostFile(Path("ro/h.cwcrouton")), "old contents\n");
    DestroyCrouton(std::move(crouton));
}

} // namespace

namespace {

// ---- saving over what is there -------------------------------------------

struct SaveOverRow {
    const char* label;
    // Makes what stands at the crouton's name; returns the file that must
    // end up holding the crouton (empty: the save is refused).
    std::function<std::string(const std::string& folder)> arrange;
    unsigned mode; // the permissions the saved file has afterwards
};

std::ostream& operator<<(std::ostream& out, const SaveOverRow& row) { return out << row.label; }

class CroutonSaveOver : public CroutonFile, public ::testing::WithParamInterface<SaveOverRow> {};

TEST_P(CroutonSaveOver, KeepsWhatTheFileIs)
{
    const std::string saved = GetParam().arrange(dir_.path());
    auto crouton = VideoCrouton(dir_.path(), "h.cwcrouton");
    ClearToldLog();
    const std::string before = ReadHostFile(Path("h.cwcrouton"));
    const BOOL result = SaveCrouton(crouton.get());
    const auto mode = [](const std::string& path) {
        return static_cast<unsigned>(std::filesystem::status(path).permissions()) & 0777u;
    };
    if (saved.empty()) {
        EXPECT_EQ(result, FALSE);
        EXPECT_EQ(ReadHostFile(Path("h.cwcrouton")), before);
        ASSERT_EQ(ToldLog().size(), 1u);
        EXPECT_NE(ToldLog()[0].text.find(Path("h.cwcrouton")), std::string::npos) << ToldLog()[0].text;
        EXPECT_EQ(mode(Path("h.cwcrouton")), GetParam().mode);
    } else {
        EXPECT_EQ(result, TRUE);
        EXPECT_EQ(ReadHostFile(saved).substr(0, 8), "Holiday\n");
        EXPECT_EQ(mode(saved), GetParam().mode);
        EXPECT_TRUE(ToldLog().empty());
    }
    EXPECT_FALSE(HostExists(Path("h.cwcrouton.cwtmp")));
    DestroyCrouton(std::move(crouton));
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
}

const SaveOverRow kSaveOverRows[] = {
    {"private_file_stays_private", [](const std::string& folder) {
         const std::string file = folder + "/h.cwcrouton";
         WriteHostFile(file, "old\n");
         std::filesystem::permissions(file, std::filesystem::perms(0600));
         return file;
     }, 0600},
    {"read_only_file_is_refused", [](const std::string& folder) {
         const std::string file = folder + "/h.cwcrouton";
         WriteHostFile(file, "old\n");
         std::filesystem::permissions(file, std::filesystem::perms(0444));
         return std::string();
     }, 0444},
    {"link_keeps_pointing_to_the_saved_file", [](const std::string& folder) {
         std::filesystem::create_directory(folder + "/real");
         WriteHostFile(folder + "/real/t.cwcrouton", "old\n");
         std::filesystem::permissions(folder + "/real/t.cwcrouton", std::filesystem::perms(0640));
         std::filesystem::create_symlink("real/t.cwcrouton", folder + "/h.cwcrouton");
         return folder + "/real/t.cwcrouton";
     }, 0640},
    {"name_of_255_bytes_saves", [](const std::string& folder) {
         // The temporary name beside it would be longer than a name may be.
         const std::string file = folder + "/" + std::string(255 - 11, 'n') + ".cwcrouton";
         std::filesystem::create_symlink(file, folder + "/h.cwcrouton");
         WriteHostFile(file, "old\n");
         std::filesystem::permissions(file, std::filesystem::perms(0644));
         return file;
     }, 0644},
};

INSTANTIATE_TEST_SUITE_P(Table, CroutonSaveOver, ::testing::ValuesIn(kSaveOverRows),
    [](const ::testing::TestParamInfo<SaveOverRow>& info) { return std::string(info.param.label); });

} // namespace

namespace {

// A project or a clip chosen as a crouton is refused, never read as one.
TEST_F(CroutonFile, WhatIsNoCroutonFileIsRefused)
{
    const std::pair<const char*, std::string> rows[] = {
        {"project", "Holiday\nRAM:GreatVideo.mp4\n\n320\n240\n0\n3\n0\n30.000000\n1\nCroutons/a.cwcrouton\n"},
        {"empty project", "P\nRAM:o.mp4\n\n320\n240\n0\n0\n0\n30\n0\n"},
        {"clip", std::string("RIFF\0\0\0\0AVI LIST", 16)},
    };
    for (const auto& [label, contents] : rows) {
        SCOPED_TRACE(label);
        WriteHostFile(Path("x.cwcrouton"), contents);
        TraceCapture trace;
        CroutonLoadFailure failure = CroutonLoadFailure::None;
        EXPECT_FALSE(LoadCrouton(Path("x.cwcrouton"), &failure));
        EXPECT_EQ(failure, CroutonLoadFailure::NotACrouton);
        EXPECT_TRUE(trace.Contains("Not a crouton file.\n"));
        EXPECT_EQ(ReadHostFile(Path("x.cwcrouton")), contents);
    }
}

// A crouton without a source has only numbers after its second line, as a
// project's settings are; it is still a crouton and loads after its save.
TEST_F(CroutonFile, CroutonWithoutSourceLoadsAfterItsSave)
{
    WriteHostFile(Path("x.cwcrouton"), "Pictures\n__NO FILE__\n0\n4\n0\n0\n0\n\n80\n0\n0\n0\n0.000000\n18\n\n\nsong.mp3\n12.500000\n");
    std::unique_ptr<Crouton> crouton = LoadCrouton(Path("x.cwcrouton"));
    ASSERT_TRUE(crouton);
    crouton->directory = dir_.path();
    crouton->filename = "y.cwcrouton";
    ASSERT_TRUE(SaveCrouton(crouton.get()));
    DestroyCrouton(std::move(crouton));
    CroutonLoadFailure failure = CroutonLoadFailure::None;
    EXPECT_TRUE(LoadCrouton(Path("y.cwcrouton"), &failure));
    EXPECT_EQ(failure, CroutonLoadFailure::None);
}

} // namespace

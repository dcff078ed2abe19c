// Crouton and settings files that are not what they should be: lines ended
// by CR LF, devices, FIFOs and folders in a file's place, lines too long to be
// a value, and a crouton file in the root folder.
#include "model/crouton.h"
#include "model/line_file.h"
#include "model_test_util.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using modeltest::ReadHostFile;
using modeltest::TempDir;
using modeltest::WriteHostFile;

namespace {

const std::string kCrouton = "Holiday\n"
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
                             "mpeg4\nmp3\nWork:Music/song.mp3\n"
                             "30.000000\n";

std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// ---- CR LF ----------------------------------------------------------------

struct LineEndCase {
    const char* name;
    std::string text;
};

std::ostream& operator<<(std::ostream& out, const LineEndCase& c) { return out << c.name; }

class CroutonLineEnds : public ::testing::TestWithParam<LineEndCase> {};

// A file written on another system reads as the same crouton, and saving it
// writes line feeds only.
TEST_P(CroutonLineEnds, ReadAsLineFeeds)
{
    TempDir dir;
    WriteHostFile(dir / "lf.cwcrouton", kCrouton);
    WriteHostFile(dir / "other.cwcrouton", GetParam().text);
    auto expected = LoadCrouton(dir / "lf.cwcrouton");
    auto loaded = LoadCrouton(dir / "other.cwcrouton");
    ASSERT_TRUE(expected && loaded);
    EXPECT_EQ(loaded->name, expected->name);
    EXPECT_EQ(loaded->videoName, expected->videoName);
    EXPECT_EQ(loaded->previewFilename, expected->previewFilename);
    EXPECT_EQ(loaded->previewPosition, expected->previewPosition);
    EXPECT_EQ(loaded->start, expected->start);
    EXPECT_EQ(loaded->fps, expected->fps);
    EXPECT_EQ(loaded->videoCodec, expected->videoCodec);
    EXPECT_EQ(loaded->audioCodec, expected->audioCodec);
    EXPECT_EQ(loaded->soundtrack, expected->soundtrack);
    EXPECT_EQ(loaded->customFPS, expected->customFPS);
    ASSERT_EQ(SaveCrouton(loaded.get()), TRUE);
    EXPECT_EQ(ReadHostFile(dir / "other.cwcrouton"), kCrouton);
    DestroyCrouton(std::move(loaded));
    DestroyCrouton(std::move(expected));
}

const LineEndCase kLineEndCases[] = {
    {"cr_lf", WithCrLf(kCrouton)},
    {"cr_lf_without_the_last", WithCrLf(kCrouton).substr(0, WithCrLf(kCrouton).size() - 2)},
    {"cr_lf_mixed_with_lf", WithCrLf(kCrouton.substr(0, 40)) + kCrouton.substr(40)},
};

INSTANTIATE_TEST_SUITE_P(Table, CroutonLineEnds, ::testing::ValuesIn(kLineEndCases),
    [](const ::testing::TestParamInfo<LineEndCase>& info) { return std::string(info.param.name); });

// ---- what is not a regular file --------------------------------------------

struct OddFileCase {
    const char* name;
    // Puts the odd object at `path`.
    std::function<void(const std::string& path)> make;
};

std::ostream& operator<<(std::ostream& out, const OddFileCase& c) { return out << c.name; }

const OddFileCase kOddFiles[] = {
    {"endless_device", [](const std::string& path) { std::filesystem::create_symlink("/dev/zero", path); }},
    {"null_device", [](const std::string& path) { std::filesystem::create_symlink("/dev/null", path); }},
    {"fifo_without_writer", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
    {"folder", [](const std::string& path) { std::filesystem::create_directory(path); }},
};

class OddCroutonFiles : public ::testing::TestWithParam<OddFileCase> {};

TEST_P(OddCroutonFiles, AreRefusedAtOnce)
{
    TempDir dir;
    const std::string path = dir / "odd.cwcrouton";
    GetParam().make(path);
    TraceCapture trace;
    EXPECT_FALSE(LoadCrouton(path));
    EXPECT_NE(trace.Text().find(path + " is not a regular file; not opened.\n"), std::string::npos) << trace.Text();
}

// Saving never puts a file in the place of a device, FIFO or folder.
TEST_P(OddCroutonFiles, AreNeverReplacedBySaving)
{
    TempDir dir;
    const std::string path = dir / "odd.cwcrouton";
    GetParam().make(path);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    auto crouton = CreateCrouton();
    crouton->name = "x";
    crouton->directory = dir.path();
    crouton->filename = "odd.cwcrouton";
    EXPECT_EQ(SaveCrouton(crouton.get()), FALSE);
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_ino, before.st_ino);
    DestroyCrouton(std::move(crouton));
}

class OddSettingsFiles : public ::testing::TestWithParam<OddFileCase> {};

TEST_P(OddSettingsFiles, GiveTheDefaults)
{
    TempDir dir;
    modeltest::ScopedCurrentDir inside(dir.path());
    GetParam().make(dir / "Clipweaver.settings");
    gSettings.pad = 77;
    TraceCapture trace;
    InitSettings();
    EXPECT_EQ(gSettings.pad, 0);
    EXPECT_NE(trace.Text().find("Clipweaver.settings is not a regular file; not opened.\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Table, OddCroutonFiles, ::testing::ValuesIn(kOddFiles),
    [](const ::testing::TestParamInfo<OddFileCase>& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Table, OddSettingsFiles, ::testing::ValuesIn(kOddFiles),
    [](const ::testing::TestParamInfo<OddFileCase>& info) { return std::string(info.param.name); });

// ---- overlong lines ---------------------------------------------------------

struct LongLineCase {
    const char* name;
    std::size_t length; // of the first line, its line feed not counted
    bool loads;
};

std::ostream& operator<<(std::ostream& out, const LongLineCase& c) { return out << c.name; }

class LongCroutonLines : public ::testing::TestWithParam<LongLineCase> {};

TEST_P(LongCroutonLines, EndTheReadingAsDamaged)
{
    TempDir dir;
    const LongLineCase& c = GetParam();
    WriteHostFile(dir / "long.cwcrouton", std::string(c.length, 'n') + "\n" + kCrouton.substr(kCrouton.find('\n') + 1));
    TraceCapture trace;
    auto loaded = LoadCrouton(dir / "long.cwcrouton");
    EXPECT_EQ(static_cast<bool>(loaded), c.loads);
    if (loaded) {
        EXPECT_EQ(loaded->name->size(), c.length);
        EXPECT_EQ(loaded->soundtrack, "Work:Music/song.mp3");
        DestroyCrouton(std::move(loaded));
    } else {
        EXPECT_NE(trace.Text().find("Crouton file " + (dir / "long.cwcrouton") + " is damaged; not loaded.\n"),
                  std::string::npos);
    }
}

const LongLineCase kLongLines[] = {
    {"just_fits", kLongestLine - 1, true},
    {"one_too_many", kLongestLine, false},
    {"two_megabytes", 2 * kLongestLine, false},
};

INSTANTIATE_TEST_SUITE_P(Table, LongCroutonLines, ::testing::ValuesIn(kLongLines),
    [](const ::testing::TestParamInfo<LongLineCase>& info) { return std::string(info.param.name); });

// ---- the root folder --------------------------------------------------------

TEST(CroutonInTheRootFolder, SavesBackToTheSameFile)
{
    const std::string path = "/cw-root-test-" + std::to_string(::getpid()) + ".cwcrouton";
    if (::access("/", W_OK) != 0)
        GTEST_SKIP() << "the root folder is not writable here";
    WriteHostFile(path, kCrouton);
    auto loaded = LoadCrouton(path);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->directory, "/");
    EXPECT_EQ(loaded->filename, path.substr(1));
    EXPECT_EQ(BuildFullPath(*loaded->directory, *loaded->filename), path);
    loaded->name = "Renamed";
    TempDir elsewhere;
    modeltest::ScopedCurrentDir inside(elsewhere.path());
    EXPECT_EQ(SaveCrouton(loaded.get()), TRUE);
    EXPECT_EQ(ReadHostFile(path).substr(0, 8), "Renamed\n");
    EXPECT_FALSE(std::filesystem::exists(elsewhere / path.substr(1))) << "written into the current folder";
    DestroyCrouton(std::move(loaded));
    std::filesystem::remove(path);
}

} // namespace

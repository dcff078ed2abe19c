// Helpers of the media tests: a temporary folder, tiny clips and pictures
// made with ffmpeg, file reading, and the main window's lists.
#pragma once

#include "gui/vocabulary.h"
#include "gui/windows.h"
#include "mui/mui.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace media_test {

// A folder of its own under /tmp, removed with everything in it.
class TempFolder : public cwtest::TempFolder {
public:
    TempFolder() : cwtest::TempFolder("cw-media") {}
};

// The argument vector posix_spawn takes: the arguments, then a null.
inline std::vector<char*> ArgumentVector(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// Runs a host program with an argument vector and waits for it; its exit
// code, or -1 when it could not be started.
inline int RunProgram(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv = ArgumentVector(arguments);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

inline int Ffmpeg(std::initializer_list<std::string> arguments)
{
    std::vector<std::string> command{"ffmpeg", "-nostdin", "-v", "error", "-y"};
    command.insert(command.end(), arguments);
    return RunProgram(command);
}

// A 2-second 160x120 clip at 25 frames per second, with a 440 Hz tone when
// withSound.
inline void MakeClip(const std::string& path, bool withSound)
{
    int result = 0;
    if (withSound)
        result = Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-f", "lavfi", "-i",
                         "sine=frequency=440:duration=2", "-c:v", "mpeg4", "-c:a", "mp2", "-shortest", path});
    else
        result = Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-c:v", "mpeg4", "-an",
                         path});
    ASSERT_EQ(result, 0) << "ffmpeg could not make " << path;
    ASSERT_TRUE(std::filesystem::exists(path));
}

// A telephone's upright clip of 1 s, 90x160 with a red top half over a blue
// one, stored turned with `turn` (ffmpeg's rotate tag: 90, 180 or 270) in
// its header, as the camera stores it.
inline void MakeTurnedClip(const std::string& path, const std::string& turn)
{
    // The tag turns the picture counter-clockwise to show it; stored, it is
    // turned the other way.
    const std::string stored = turn == "90" ? "transpose=clock" : turn == "180" ? "hflip,vflip" : "transpose=cclock";
    const std::string flat = path + ".flat.mp4";
    ASSERT_EQ(Ffmpeg({"-f", "lavfi", "-i", "color=red:size=90x80:d=1", "-f", "lavfi", "-i", "color=blue:size=90x80:d=1",
                  "-filter_complex", "[0][1]vstack," + stored, "-c:v", "libx264", "-pix_fmt", "yuv420p", flat}),
        0);
    ASSERT_EQ(Ffmpeg({"-i", flat, "-c", "copy", "-metadata:s:v:0", "rotate=" + turn, path}), 0);
    std::filesystem::remove(flat);
}

// One 160x120 picture.
inline void MakePicture(const std::string& path)
{
    ASSERT_EQ(Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120", "-frames:v", "1", path}), 0);
}

using cwtest::ReadHostFile;
using cwtest::WriteHostFile;

// The preview gadgets, in preview order, as the tests expect them.
constexpr std::array<HexButtons, 5> kMainPreviews = {
    BUTTON_MAIN_PREVIEWIMAGE, BUTTON_MAIN_PREVIEWIMAGE2, BUTTON_MAIN_PREVIEWIMAGE3,
    BUTTON_MAIN_PREVIEWIMAGE4, BUTTON_MAIN_PREVIEWIMAGE5,
};
constexpr std::array<HexButtons, 5> kEditorImages = {
    BUTTON_CROUTONEDITOR_IMAGE, BUTTON_CROUTONEDITOR_IMAGE2, BUTTON_CROUTONEDITOR_IMAGE3,
    BUTTON_CROUTONEDITOR_IMAGE4, BUTTON_CROUTONEDITOR_IMAGE5,
};
constexpr std::array<HexButtons, 5> kSliders = {
    BUTTON_CROUTONEDITOR_PREVIEWSLIDER1, BUTTON_CROUTONEDITOR_PREVIEWSLIDER2, BUTTON_CROUTONEDITOR_PREVIEWSLIDER3,
    BUTTON_CROUTONEDITOR_PREVIEWSLIDER4, BUTTON_CROUTONEDITOR_PREVIEWSLIDER5,
};

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The whole application with its windows, so that gButtons, gCroutonList
// and gVisualList exist; disposed when the fixture ends.
class WindowsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        application_ = BuildApplication({});
        ASSERT_NE(application_, nullptr);
        ASSERT_NE(gCroutonList, nullptr);
        ASSERT_NE(gVisualList, nullptr);
    }
    void TearDown() override
    {
        mui::DisposeObject(std::move(application_));
        ForgetGadgets();
    }

    mui::ObjectPtr application_;
};

} // namespace media_test

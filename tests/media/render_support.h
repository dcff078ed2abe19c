// Helpers of the rendering tests: a project in gProject with the main
// window's fields, croutons appended to it, the commands read back from the
// trace, and ffprobe's view of a rendered file.
#pragma once

#include "gui/main.h"
#include "gui/vocabulary.h"
#include "media_test_support.h"
#include "model/crouton.h"
#include "model/project.h"
#include "os/cache_store.h"
#include "os/command.h"
#include "os/dos.h"
#include "mui/mui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace render_test {

inline void SetField(HexButtons slot, const std::string& text)
{
    mui::set(gButtons[slot], MUIA_String_Contents, text);
}

// The host path of an AmigaDOS path (T: is this test process's own).
inline std::string Host(const std::string& amigaPath) { return HostPath(amigaPath).value_or(""); }

inline bool Exists(const std::string& amigaPath) { return static_cast<bool>(Lock(amigaPath, SHARED_LOCK)); }

inline std::string Pointer(const void* pointer)
{
    std::string text(32, '\0');
    const int size = std::snprintf(text.data(), text.size(), "%p", pointer);
    text.resize(static_cast<std::size_t>(size));
    return text;
}

// The windows, and gProject a fresh project whose output field names
// `output_` and whose soundtrack field is empty.
class RenderFixture : public media_test::WindowsFixture {
protected:
    void SetUp() override
    {
        WindowsFixture::SetUp();
        ASSERT_FALSE(folder_.path().empty());
        // Tests of one run share T:; each starts without the rendering's files.
        for (const char* name : {"T:__TempVideo", "T:__TempVideo2", "T:__SilentVideo", "T:__CWEncodeList.lst",
                                 "T:__CWSilence.raw"})
            DeleteFile(name);
        gProject = NewProject();
        output_ = folder_ / "out.avi";
        SetField(BUTTON_MAIN_OUTPUTFILENAME, output_);
        SetField(BUTTON_MAIN_SOUNDTRACK, "");
    }
    void TearDown() override
    {
        DestroyProject(std::move(gProject));
        WindowsFixture::TearDown();
    }

    // Appends a crouton to the end of the project's list.
    Crouton* Append(std::unique_ptr<Crouton> crouton)
    {
        std::unique_ptr<ListNode>* end = &gProject->croutons;
        while (*end)
            end = &(*end)->next;
        *end = std::make_unique<ListNode>();
        (*end)->node = std::move(crouton);
        ++gProject->numberOfCroutons;
        return (*end)->node.get();
    }

    static std::unique_ptr<Crouton> Video(const std::string& source, LONG start, LONG length,
                                          std::optional<std::string> audioCodec = "mp2")
    {
        auto crouton = CreateCrouton();
        crouton->name = "clip";
        crouton->videoName = source;
        crouton->start = start;
        crouton->length = length;
        crouton->audioCodec = std::move(audioCodec);
        return crouton;
    }

    static std::unique_ptr<Crouton> Images(const std::string& source, LONG fps)
    {
        auto crouton = CreateCrouton();
        crouton->name = "pictures";
        crouton->videoName = source;
        crouton->isVideo = FALSE;
        crouton->fps = fps;
        return crouton;
    }

    media_test::TempFolder folder_;
    std::string output_;
};

// The text of a trace that follows the first occurrence of `marker`.
inline std::string After(const std::string& trace, const std::string& marker)
{
    const auto at = trace.find(marker);
    return at == std::string::npos ? std::string() : trace.substr(at + marker.size());
}

// Counts the occurrences of `needle`.
inline std::size_t Count(const std::string& text, const std::string& needle)
{
    std::size_t count = 0;
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

// Runs a host program and returns what it wrote to standard output, or none
// when it failed.
inline std::optional<std::string> Capture(const std::vector<std::string>& arguments)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return std::nullopt;
    std::vector<char*> argv = media_test::ArgumentVector(arguments);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t got; spawned == 0 && (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return output;
}

// What ffprobe sees in a file.
struct Probed {
    double duration = 0;
    bool hasAudio = false;
    std::vector<std::string> frameHashes; // one per decoded video frame, in order
};

inline std::optional<Probed> Probe(const std::string& hostPath)
{
    const auto format = Capture({"ffprobe", "-v", "error", "-show_entries", "format=duration:stream=codec_type",
                                 "-of", "default=noprint_wrappers=1", hostPath});
    const auto frames = Capture({"ffmpeg", "-nostdin", "-v", "error", "-i", hostPath, "-map", "0:v:0", "-f",
                                 "framemd5", "-"});
    if (!format || !frames)
        return std::nullopt;
    Probed probed;
    for (const std::string& line : media_test::Lines(*format)) {
        if (line.rfind("duration=", 0) == 0)
            probed.duration = std::strtod(line.c_str() + 9, nullptr);
        if (line == "codec_type=audio")
            probed.hasAudio = true;
    }
    for (const std::string& line : media_test::Lines(*frames)) {
        if (line.empty() || line[0] == '#')
            continue;
        const auto comma = line.rfind(',');
        if (comma != std::string::npos)
            probed.frameHashes.push_back(line.substr(comma + 1));
    }
    return probed;
}

// ffprobe's view of a joined video: a join leaves a list of its pieces,
// which the finish (run here on a copy) turns into one file.
inline std::optional<Probed> ProbeFinished(const std::string& hostPath)
{
    const std::string copy = Host("T:__ProbeFinish");
    std::error_code error;
    std::filesystem::copy_file(hostPath, copy, std::filesystem::copy_options::overwrite_existing, error);
    if (error)
        return std::nullopt;
    const LONG code = SystemTagList("mencoder -oac lavc -ovc copy -o \"T:__ProbeFinished.avi\" \"T:__ProbeFinish\"\n");
    DeleteFile("T:__ProbeFinish");
    if (code != 0)
        return std::nullopt;
    auto probed = Probe(Host("T:__ProbeFinished.avi"));
    DeleteFile("T:__ProbeFinished.avi");
    return probed;
}

constexpr double kSilence = -90.0;

// The RMS level in dB of one tone of `file` (two band-pass filters around
// it) from `from` to `to` seconds; kSilence at most.
inline double ToneLevel(const std::string& file, double tone, double from, double to)
{
    const std::string band = "bandpass=f=" + std::to_string(tone) + ":width_type=h:w=" + std::to_string(tone / 8);
    const auto printed = Capture({"ffmpeg", "-nostdin", "-v", "error", "-ss", std::to_string(from), "-t",
                                  std::to_string(to - from), "-i", file, "-af",
                                  band + "," + band + ",astats=metadata=1:reset=0,ametadata=mode=print:key="
                                  "lavfi.astats.Overall.RMS_level:file=-", "-f", "null", "-"});
    double level = kSilence;
    for (const std::string& line : media_test::Lines(printed.value_or("")))
        if (const auto at = line.find("RMS_level="); at != std::string::npos)
            level = std::max(kSilence, std::strtod(line.c_str() + at + 10, nullptr));
    return level;
}

// A 4 s 160x120 clip that beeps at 3 kHz from 1.5 to 2.5 s (PCM sound).
inline void MakeBeepClip(const std::string& path)
{
    ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=4", "-f", "lavfi", "-i",
                                  "aevalsrc=if(between(t\\,1.5\\,2.5)\\,0.5*sin(2*PI*3000*t)\\,0):s=44100:d=4",
                                  "-c:v", "mpeg4", "-c:a", "pcm_s16le", "-shortest", path}),
              0);
}

// A soundtrack of `seconds` of a 440 Hz tone as loud as the beep.
inline void MakeMusic(const std::string& path, double seconds)
{
    ASSERT_EQ(media_test::Ffmpeg({"-f", "lavfi", "-i", "aevalsrc=0.5*sin(2*PI*440*t):s=44100:d=" + std::to_string(seconds),
                                  path}),
              0);
}

// A rendered file's decoded pictures and sound in one text: its frame
// count and a hash of every frame's and of the sound's; "unreadable" when
// it cannot be decoded.
inline std::string DecodedPicturesAndSound(const std::string& hostPath)
{
    const auto probed = Probe(hostPath);
    const auto sound = Capture({"ffmpeg", "-nostdin", "-v", "error", "-i", hostPath, "-map", "0:a:0", "-f", "md5", "-"});
    if (!probed || !sound)
        return "unreadable";
    std::string all = *sound;
    for (const std::string& hash : probed->frameHashes)
        all += hash;
    return std::to_string(probed->frameHashes.size()) + " frames " + TextHash(all);
}

} // namespace render_test

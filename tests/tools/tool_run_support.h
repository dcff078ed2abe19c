// Helpers of the tests that run the real tools on tiny clips: running host
// programs for set-up and checks (never through a shell), making clips and
// pictures, and ffprobe's view of a result.
#pragma once

#include "os/command.h"
#include "os/dos.h"
#include "os/dos_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <optional>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace toolrun {

using namespace dostest;

// Runs a host program for the test's own set-up and checks (never through
// a shell) and returns what it printed.
inline std::string Capture(const std::vector<std::string>& argv, int* code = nullptr)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 2);
        ::close(pipeFds[0]);
        std::vector<char*> args;
        for (const std::string& word : argv)
            args.push_back(const_cast<char*>(word.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::string text;
    std::string buffer(4096, '\0');
    ssize_t got = 0;
    while ((got = ::read(pipeFds[0], buffer.data(), buffer.size())) > 0)
        text.append(buffer.data(), static_cast<std::size_t>(got));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (code)
        *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return text;
}

inline void Ffmpeg(std::vector<std::string> arguments)
{
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-v", "error", "-y"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    int code = 0;
    Capture(argv, &code);
    ASSERT_EQ(code, 0) << "ffmpeg could not make a test file";
}

// A tiny MPEG-4 AVI of a moving test picture, with or without a tone.
inline void MakeClip(const std::string& path, const std::string& seconds, bool sound)
{
    std::vector<std::string> arguments = {"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25"};
    if (sound)
        arguments.insert(arguments.end(), {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100"});
    arguments.insert(arguments.end(), {"-t", seconds, "-c:v", "mpeg4"});
    if (sound)
        arguments.insert(arguments.end(), {"-c:a", "libmp3lame"});
    arguments.push_back(path);
    Ffmpeg(arguments);
}

inline void MakeImage(const std::string& path, int number)
{
    Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=96x72:rate=1:decimals=0", "-vf",
        "select=eq(n\\," + std::to_string(number) + ")", "-frames:v", "1", path});
}

struct Stream {
    std::string codec;
    int frames = 0;
};
struct MediaFacts {
    std::optional<Stream> video;
    std::optional<Stream> audio;
    double duration = 0;
    int width = 0;
    int height = 0;
};

inline std::string Field(const std::string& line, const std::string& key)
{
    const std::size_t at = line.find(key + "=");
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + key.size() + 1;
    return line.substr(start, line.find('|', start) - start);
}

inline MediaFacts Facts(const std::string& path)
{
    MediaFacts facts;
    const std::string text = Capture({"ffprobe", "-v", "error", "-count_frames", "-show_entries",
        "stream=codec_type,codec_name,nb_read_frames,width,height:format=duration", "-of", "compact", path});
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        const std::string line = text.substr(pos, end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        if (line.rfind("format|", 0) == 0) {
            facts.duration = std::atof(Field(line, "duration").c_str());
            continue;
        }
        Stream stream{Field(line, "codec_name"), std::atoi(Field(line, "nb_read_frames").c_str())};
        if (Field(line, "codec_type") == "video" && !facts.video) {
            facts.video = stream;
            facts.width = std::atoi(Field(line, "width").c_str());
            facts.height = std::atoi(Field(line, "height").c_str());
        } else if (Field(line, "codec_type") == "audio" && !facts.audio) {
            facts.audio = stream;
        }
    }
    return facts;
}

// How many different pictures the video shows: a frozen video shows one.
inline std::size_t DistinctPictures(const std::string& path)
{
    const std::string text = Capture({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:v", "-f", "framemd5", "-"});
    std::set<std::string> hashes;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        const std::string line = text.substr(pos, end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line[0] != '#')
            hashes.insert(line.substr(line.rfind(',') + 1));
    }
    return hashes.size();
}

inline std::string ReadAmiga(const std::string& name)
{
    return ReadHostFile(*HostPath(name));
}

inline void WriteAmiga(const std::string& name, const std::string& text)
{
    WriteHostFile(*HostPath(name), text);
}

inline const std::initializer_list<TagItem> kToolTags = {{NP_StackSize, 1024000}, {SYS_Input, 0}, {SYS_Output, 0}};


} // namespace toolrun

// A tiny driver for bench/render_bench.sh: renders croutons of the given
// clips the way the program does (the first straight to the output, each
// later one through T:__TempVideo and a join, then the finish), through the
// command runner and its tools, and prints the seconds it took.
//
//   render_lines OUTPUT SECONDS WIDTH HEIGHT CLIP...
// With RENDER_LINES_H264=1 in the environment the croutons' lines are the
// H.264 ones (x264, every source picture) and the finish writes MP4 with
// AAC, as the program does for an .mp4 output.
#include "os/command.h"
#include "os/dos.h"
#include "tools/tools.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const std::initializer_list<TagItem> kTags = {{NP_StackSize, 1024000}, {SYS_Input, 0}, {SYS_Output, 0}};

bool Run(const std::string& command)
{
    const LONG code = SystemTagList(command, kTags);
    if (code != 0)
        std::fprintf(stderr, "failed (%d): %s\n", static_cast<int>(code), command.c_str());
    return code == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 6) {
        std::fprintf(stderr, "usage: render_lines OUTPUT SECONDS WIDTH HEIGHT CLIP...\n");
        return 2;
    }
    cwtools::StartInstance();
    const std::string output = argv[1];
    const std::string seconds = argv[2];
    const std::string scale = std::string("scale=") + argv[3] + ":" + argv[4];
    const char* h264 = std::getenv("RENDER_LINES_H264");
    const bool x264 = h264 && std::string(h264) == "1";
    const std::string encoder = x264 ? "-ovc x264 -x264encopts bitrate=915:preset=veryfast:subq=1:profile=high -vf " + scale + ",harddup"
                                     : "-ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000 -vf " + scale
                                           + ",harddup,framestep=2";
    const std::string finish = x264 ? "-oac faac -faacopts br=192:mpeg=4:object=2 -ovc copy -of lavf -lavfopts format=mp4"
                                    : "-oac lavc -ovc copy";
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    double encoding = 0;
    double joining = 0;
    for (int i = 5; i < argc; ++i) {
        const auto pieceStart = Clock::now();
        const std::string piece = i == 5 ? output : "T:__TempVideo";
        const std::string line = "mencoder \"" + EscapeInQuotes(argv[i]) + "\" -o \"" + EscapeInQuotes(piece)
            + "\" -zoom -oac pcm -srate 44100 " + encoder + " -ofps 25.000000 -ss 0 -audio-delay 0 -endpos " + seconds + " ";
        if (!Run(line))
            return 1;
        const auto joinStart = Clock::now();
        encoding += std::chrono::duration<double>(joinStart - pieceStart).count();
        if (i == 5)
            continue;
        DeleteFile("T:__TempVideo2");
        if (!Rename(output, "T:__TempVideo2"))
            return 1;
        if (!Run("mencoder -oac pcm -ovc lavc -o \"" + EscapeInQuotes(output) + "\" \"T:__TempVideo2\" \"T:__TempVideo\"\n"))
            return 1;
        DeleteFile("T:__TempVideo2");
        DeleteFile("T:__TempVideo");
        joining += std::chrono::duration<double>(Clock::now() - joinStart).count();
    }
    const auto finishStart = Clock::now();
    if (!Rename(output, "T:__FinishVideo"))
        return 1;
    if (!Run("mencoder " + finish + " -o \"" + EscapeInQuotes(output) + "\" \"T:__FinishVideo\"\n"))
        return 1;
    DeleteFile("T:__FinishVideo");
    const auto end = Clock::now();
    const double elapsed = std::chrono::duration<double>(end - start).count();
    // The whole on standard output; its parts on standard error.
    std::fprintf(stderr, "encodes %.3f s, joins %.3f s, finish %.3f s\n", encoding, joining,
        std::chrono::duration<double>(end - finishStart).count());
    std::printf("%.3f\n", elapsed);
    return 0;
}

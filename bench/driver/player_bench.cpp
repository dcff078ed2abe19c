// The player's figures, each beside its anchor: the time from opening a
// crouton to its first frame drawn, from opening a 20-crouton preview to its
// first frame, and playing a 1080p25 H.264 clip in real time into a 640x360
// frame (processor share and dropped frames) against ffmpeg decoding and
// scaling the same clip to 640x360 as fast as it can; the memory used.
//
//   cw_player_bench WORK_FOLDER   (bench/player_bench.sh makes the clips)
#include "media/player.h"
#include "media/player_media.h"
#include "model/project.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double ProcessorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long MaxResidentKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Opens `media` and waits for its first frame; the seconds it took.
double FirstFrame(PlayerMedia media)
{
    const auto start = Clock::now();
    PlayerOpen(std::move(media));
    PlayerSettle();
    const double seconds = Since(start);
    if (!PlayerCurrent().frameShown || !PlayerCurrent().problem.empty())
        std::printf("  (no frame: %s)\n", PlayerCurrent().problem.c_str());
    return seconds;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cw_player_bench WORK_FOLDER\n");
        return 2;
    }
    const std::string work = argv[1];
    const long startMemory = MaxResidentKilobytes();

    auto crouton = CreateCrouton();
    crouton->videoName = work + "/small0.mp4";
    crouton->start = 1;
    crouton->length = 2;
    const double croutonFirst = FirstFrame(CroutonMedia(*crouton, *crouton->videoName, 1, 3, {640, 360}));
    PlayerClose();
    std::printf("crouton: first frame %.3f s after opening (goal 0.3 s)\n", croutonFirst);

    auto project = NewProject();
    project->parameters = 11; // 16:9 640x360
    ListNode* last = nullptr;
    for (int i = 0; i < 20; ++i) {
        auto node = std::make_unique<ListNode>();
        node->node = CreateCrouton();
        node->node->videoName = work + "/small" + std::to_string(i) + ".mp4";
        node->node->start = 1;
        node->node->length = 2;
        ListNode* added = node.get();
        if (last)
            last->next = std::move(node);
        else
            project->croutons = std::move(node);
        last = added;
    }
    project->numberOfCroutons = 20;
    const double previewFirst = FirstFrame(ProjectMedia(*project));
    std::printf("preview of 20 croutons: first frame %.3f s after opening (goal 1 s)\n", previewFirst);
    PlayerSeek(39.9);
    PlayerSettle();
    std::printf("  its last frame is frame %ld of crouton %d\n", PlayerCurrent().frame, PlayerCurrent().crouton);
    PlayerClose();

    crouton->videoName = work + "/big.mp4";
    FirstFrame(CroutonMedia(*crouton, *crouton->videoName, 0, 10, {640, 360}));
    const double processorBefore = ProcessorSeconds();
    const auto playStart = Clock::now();
    PlayerPlayFor(8.0);
    const double wall = Since(playStart);
    const double processor = ProcessorSeconds() - processorBefore;
    const double dropped = PlayerProperty("frame-drop-count").value_or(-1);
    const double voDropped = PlayerProperty("vo-drop-frame-count").value_or(-1);
    PlayerClose();
    std::printf("1080p25 H.264, 8 s played into 640x360: %.2f s of wall time, %.2f processor seconds "
                "(%.0f%% of one core), %.0f frames dropped by the decoder, %.0f by the output\n",
                wall, processor, 100.0 * processor / wall, dropped, voDropped);
    std::printf("memory: %ld KB most resident (%ld KB before the player)\n", MaxResidentKilobytes(), startMemory);
    return 0;
}

// The piece store's lookups: for 1000 croutons, each crouton's key (its
// line and the identity of its source) and its entry found (the goal is
// under 50 ms for the 1000); the same with every entry taken, checked and
// put in place (small pieces, so that the copy is not what is measured);
// and the keys alone.
#include "model/piece_store.h"
#include "os/command.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// 1000 croutons' lines over 50 sources made in `folder`/src.
std::vector<std::string> CroutonLines(const std::filesystem::path& folder)
{
    std::vector<std::string> commands;
    for (int i = 0; i < 1000; ++i) {
        const std::string source = (folder / "src" / ("clip" + std::to_string(i % 50) + ".mp4")).string();
        std::ofstream(source) << "a source";
        commands.push_back("mencoder \"" + EscapeInQuotes(source) + "\" -o \"T:__TempVideo\" -zoom -oac pcm -srate 44100 "
                           "-ovc x264 -x264encopts bitrate=915:preset=veryfast:subq=1:profile=high -vf scale=640:360,harddup "
                           "-ofps 25.000000 -ss " + std::to_string(i) + " -audio-delay 0 -endpos 4 ");
    }
    return commands;
}

void BM_PieceStoreLookups1000(benchmark::State& state)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "cw-piece-store-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "src");
    ::setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
    PieceStore store((folder / "cache" / "pieces").string(), ".mp4");
    const std::vector<std::string> commands = CroutonLines(folder);
    const std::string piece = (folder / "piece").string();
    for (const std::string& command : commands) {
        std::ofstream(piece) << std::string(1000, 'p') << command;
        store.Keep(store.KeyOf(command, "T:__TempVideo"), piece);
    }
    for (auto _ : state) {
        int found = 0;
        for (const std::string& command : commands) {
            const std::string key = store.KeyOf(command, "T:__TempVideo");
            found += (state.range(0) != 0 ? store.Take(key, piece) : store.Has(key)) ? 1 : 0;
        }
        benchmark::DoNotOptimize(found);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PieceStoreLookups1000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The keys alone: what every crouton pays before its run starts.
void BM_PieceStoreKeys1000(benchmark::State& state)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "cw-piece-store-keys";
    std::filesystem::create_directories(folder / "src");
    PieceStore store((folder / "cache" / "pieces").string(), ".mp4");
    const std::vector<std::string> commands = CroutonLines(folder);
    for (auto _ : state)
        for (const std::string& command : commands)
            benchmark::DoNotOptimize(store.KeyOf(command, "T:__TempVideo"));
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PieceStoreKeys1000)->Unit(benchmark::kMillisecond);

} // namespace

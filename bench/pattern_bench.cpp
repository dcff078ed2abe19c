// Pattern matching and directory scanning speed.
#include "platform/dos.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string Tokenise(std::string_view pattern)
{
    std::string tokenised;
    ParsePatternNoCase(pattern, tokenised);
    return tokenised;
}

// A pattern that takes exponential time in a backtracking matcher, against a
// 200-character name it cannot match.
void BM_PathologicalPattern(benchmark::State& state)
{
    const std::string tokenised = Tokenise("#?#?#?#?#?#?#?#?x");
    const std::string name(200, 'a');
    for (auto _ : state)
        benchmark::DoNotOptimize(MatchPatternNoCase(tokenised, name));
}
BENCHMARK(BM_PathologicalPattern);

// An image sequence pattern against the names of a typical folder.
void BM_MatchFolderNames(benchmark::State& state)
{
    const std::string tokenised = Tokenise("frame#?.png");
    std::vector<std::string> names;
    for (int i = 0; i < 1000; ++i)
        names.push_back(i % 10 == 0 ? "notes" + std::to_string(i) + ".txt" : "Frame" + std::to_string(i) + ".PNG");
    for (auto _ : state) {
        int matched = 0;
        for (const auto& name : names)
            matched += MatchPatternNoCase(tokenised, name);
        benchmark::DoNotOptimize(matched);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(names.size()));
}
BENCHMARK(BM_MatchFolderNames);

// A whole ExAll scan of a folder of 1000 pictures with the 40-byte buffer
// the image-sequence scan uses.
void BM_ExAllScan(benchmark::State& state)
{
    std::string folder = "/tmp/cw-bench-XXXXXX";
    if (!::mkdtemp(folder.data())) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    for (int i = 0; i < 1000; ++i)
        std::ofstream(folder + "/frame" + std::to_string(i) + ".png");
    const std::string tokenised = Tokenise("frame#?.png");
    FileLock dir = Lock(folder, SHARED_LOCK);
    std::vector<ExAllData> buffer;
    for (auto _ : state) {
        auto control = AllocDosObject(DOS_EXALLCONTROL);
        control->eac_MatchString = tokenised;
        int count = 0;
        BOOL more;
        do {
            more = ExAll(*dir, buffer, 40, ED_NAME, *control);
            count += static_cast<int>(control->eac_Entries);
        } while (more);
        benchmark::DoNotOptimize(count);
        FreeDosObject(DOS_EXALLCONTROL, std::move(control));
    }
    UnLock(std::move(dir));
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}
BENCHMARK(BM_ExAllScan)->Unit(benchmark::kMillisecond);

} // namespace

// Pattern matching and directory scanning speed.
#include "os/dos.h"

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

std::string Repeated(std::string_view text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

// A name of 4096 characters against patterns of up to 1024 built to make a
// matcher slow; each figure is one whole match.
struct HostilePattern {
    const char* name;
    std::string pattern;
};

const HostilePattern kHostilePatterns[] = {
    {"nested_repeats", Repeated("#(", 60) + "a" + Repeated(")", 60)},
    {"many_any_runs", Repeated("#?", 511) + "b"},
    {"long_alternation", "#(" + Repeated("a|", 500) + "b)"},
    {"negated_window", "#?~(a" + Repeated("?", 1000) + ")#?"},
    {"negation_of_window", "~(#?a" + Repeated("?", 1000) + ")"},
    {"many_negations", Repeated("~a", 511)},
    {"repeated_negations", Repeated("#(~a)", 200)},
    {"negations_in_alternation", "#(" + Repeated("~(a?)|", 170) + "b)"},
    {"nested_negations", Repeated("#?~(", 50) + "a" + Repeated(")", 50)},
    {"classes", Repeated("[a-c]", 200) + "#?"},
};

void BM_HostilePattern(benchmark::State& state)
{
    const HostilePattern& hostile = kHostilePatterns[state.range(0)];
    const bool mixed = state.range(1) != 0;
    std::string name(4096, 'a');
    if (mixed)
        for (std::size_t i = 0; i < name.size(); ++i)
            name[i] = (i * 7 + i / 3) % 2 ? 'a' : 'b';
    std::string tokenised;
    ParsePatternNoCase(hostile.pattern, tokenised, 1025);
    state.SetLabel(std::string(hostile.name) + (mixed ? " vs ab..." : " vs aaa..."));
    for (auto _ : state)
        benchmark::DoNotOptimize(MatchPatternNoCase(tokenised, name));
}
BENCHMARK(BM_HostilePattern)
    ->ArgsProduct({benchmark::CreateDenseRange(0, std::size(kHostilePatterns) - 1, 1), {0, 1}})
    ->Unit(benchmark::kMillisecond);

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

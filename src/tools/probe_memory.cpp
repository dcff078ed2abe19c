// The probe memory: each answer an entry of the store of pieces, its key
// the prober, the file as it stands and the question (probe_memory.h).
#include "tools/probe_memory.h"

#include "os/cache_store.h"
#include "tools/tools.h"

#include <limits>
#include <memory>
#include <mutex>

namespace cwtools {
namespace {

constexpr const char* kAnswer = "answer";

std::mutex guard;
std::shared_ptr<const CacheStore> memory; // under `guard`

// Everything that decides ffprobe's answer: which ffprobe, what it was
// asked, and the file as it stands. An answer given in this process is
// ffprobe's too: the library comes in the same package as ffprobe, and a
// new ffprobe comes with a new library.
std::string KeyOf(const HostRun& run, const std::string& stamp)
{
    static const std::string prober = ProgramStamp("ffprobe");
    std::string key = "probe 1\nprober " + prober + "\nfile " + stamp + "\nargv";
    for (const std::string& word : run.argv)
        key += "\n" + word;
    return key;
}

// The question answered in this process when it can be, else by ffprobe.
HostResult Ask(ToolCall& call, const HostRun& run, const std::string& hostPath, LibraryAnswer inProcess)
{
    if (inProcess && ReadsInProcess())
        if (std::optional<std::string> answer = inProcess(hostPath, call.cancel)) {
            HostResult result;
            result.outcome = HostOutcome::Finished;
            result.code = 0;
            result.output = std::move(*answer);
            return result;
        }
    return RunTool(call, run);
}

} // namespace

std::shared_ptr<const CacheStore> RememberedIn()
{
    const std::lock_guard<std::mutex> lock(guard);
    return memory;
}

void RememberProbesIn(std::string folder)
{
    // Only the store of pieces trims it, to its own bound.
    auto store = folder.empty()
        ? nullptr
        : std::make_shared<const CacheStore>(std::move(folder), std::numeric_limits<std::uint64_t>::max());
    const std::lock_guard<std::mutex> lock(guard);
    memory = std::move(store);
}

HostResult RunProbeOf(ToolCall& call, const HostRun& run, const std::string& hostPath, LibraryAnswer inProcess)
{
    const std::shared_ptr<const CacheStore> store = RememberedIn();
    const std::optional<std::string> stamp = store ? FileStamp(hostPath) : std::nullopt;
    if (!stamp)
        return Ask(call, run, hostPath, inProcess);
    const std::string key = KeyOf(run, *stamp);
    if (std::optional<std::string> answer = store->TakeText(key, kAnswer)) {
        HostResult result;
        result.outcome = HostOutcome::Finished;
        result.code = 0;
        result.output = std::move(*answer);
        return result;
    }
    HostResult result = Ask(call, run, hostPath, inProcess);
    // A file that changed while it was probed is not remembered as it was.
    if (result.outcome == HostOutcome::Finished && result.code == 0 && FileStamp(hostPath) == stamp)
        store->KeepText(key, kAnswer, result.output);
    return result;
}

} // namespace cwtools

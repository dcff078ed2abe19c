// ffprobe's answers about files from elsewhere, remembered between runs of
// the program: a file as it stands (its path, device, inode, size and
// time) asked the same by the same ffprobe gets the same answer, so a
// project loaded again is planned without probing its sources again.
// The answers are kept in the render's store of pieces (os/cache_store.h),
// bounded and emptied with it; with that store off nothing is remembered
// and every probe runs as it always did. The sound lane keeps the sound it
// compressed in the same store (sound_lane.h).
#pragma once

#include "os/cache_store.h"
#include "os/command.h"
#include "process/process.h"
#include "tools/probe_library.h"

#include <memory>
#include <string>

namespace cwtools {

// Where answers are remembered from now on (a store's folder); empty:
// nowhere.
void RememberProbesIn(std::string folder);
// The store results are remembered in now; none while nothing is.
std::shared_ptr<const CacheStore> RememberedIn();
// The remembered answer of `run` (an ffprobe run reading the file from
// elsewhere at `hostPath`), else `inProcess`'s answer to the same question,
// else the run itself; an answer is remembered when it came out well.
HostResult RunProbeOf(ToolCall& call, const HostRun& run, const std::string& hostPath, LibraryAnswer inProcess);

} // namespace cwtools

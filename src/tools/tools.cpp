// The tools' table and start-up, and what every reader of the tools'
// command lines shares.

#include "tools/tools.h"

#include "os/cache_store.h"
#include "os/dos.h"
#include "process/tool_groups.h"
#include "tools/render_support.h"

namespace cwtools {

void StartInstance()
{
    SetCommandTools(kCommandTools);
    // A dead instance's tools go before its T: folder does: their groups
    // are recorded there.
    InitVolumes(EndRecordedToolGroups);
}

bool TakesValue(std::string_view option)
{
    for (std::string_view known : kValueOptions)
        if (known == option)
            return true;
    return false;
}

std::string FileArgument(std::string hostPath)
{
    // A relative name may also look like a protocol to ffmpeg ("x:y").
    if (!hostPath.empty() && hostPath[0] != '/'
        && (hostPath[0] == '-' || hostPath.find(':') != std::string::npos))
        return "./" + hostPath;
    return hostPath;
}

HostResult RunTool(ToolCall& call, const HostRun& run)
{
    HostResult result = RunHost(run, call.cancel);
    if (result.outcome == HostOutcome::FailedToStart)
        SetIoErr(ERROR_OBJECT_NOT_FOUND);
    // A tool may run more programs after one that failed (a probe, then
    // the encode it planned): what went wrong is not lost to one that ran
    // well.
    if (result.outcome != HostOutcome::Finished)
        call.outcome = result.outcome;
    if (!result.error.empty())
        call.error = result.error;
    return result;
}

} // namespace cwtools

const std::string& EncoderIdentity()
{
    static const std::string identity = ProgramStamp("ffmpeg");
    return identity;
}

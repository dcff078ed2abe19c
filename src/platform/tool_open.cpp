// The desktop's default handler for a file or folder, started detached:
// the program never waits for a video player or a file manager.
#include "platform/command.h"
#include "platform/dos.h"
#include "platform/tools.h"

namespace cwtools {

LONG RunOpenTool(ToolCall& call)
{
    if (call.arguments.size() != 1 || call.arguments.front().empty()) {
        SetIoErr(ERROR_REQUIRED_ARG_MISSING);
        return -1;
    }
    HostRun run;
    run.argv = {"xdg-open", ToolPath(call.arguments.front())};
    return StartDetached(run, call.output.Get()) ? RETURN_OK : -1;
}

} // namespace cwtools

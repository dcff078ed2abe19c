// xdg-open FILE: hands one file (an AmigaDOS or host path) to the desktop's
// default handler. Under RUN it is started detached, since a handler may
// stay open for as long as the user reads; else the runner waits for
// xdg-open, which returns once the handler has started.

#include "tools/tools.h"

#include "os/dos.h"

namespace cwtools {

LONG RunDesktopOpenTool(ToolCall& call)
{
    if (call.arguments.size() != 1 || call.arguments[0].empty()) {
        SetIoErr(call.arguments.empty() ? ERROR_REQUIRED_ARG_MISSING : ERROR_BAD_TEMPLATE);
        return RETURN_FAIL;
    }
    HostRun run;
    // "--" is not for xdg-open: a name beginning with "-" is made a path.
    std::string file = ToolPath(call.arguments[0]);
    if (file.starts_with('-'))
        file = "./" + file;
    run.argv = {"xdg-open", file};
    if (call.detached)
        return StartDetached(run, call.output.Get()) ? RETURN_OK : RETURN_FAIL;
    const HostResult result = RunTool(run);
    return result.code < 0 ? RETURN_FAIL : result.code;
}

} // namespace cwtools

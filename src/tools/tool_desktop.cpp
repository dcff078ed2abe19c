// xdg-open FILE: hands one file (an AmigaDOS or host path) to the desktop's
// default handler. Under RUN it is started detached, since a handler may
// stay open for as long as the user reads; else the runner waits for
// xdg-open, which returns once the handler has started.

#include "tools/tools.h"

#include "os/dos.h"
#include "os/question.h"

#include <sys/wait.h>

namespace cwtools {

namespace {

// What xdg-open's exit codes mean, in the user's words.
struct OpenFailure {
    int code;
    const char* why;
};
constexpr OpenFailure kOpenFailures[] = {
    {1, "the desktop's opener did not understand the request"},
    {2, "the file is not there"},
    {3, "no program to open it was found: the desktop has no handler for this kind of file"},
    {4, "the program the desktop chose for it could not open it"},
};

// A detached xdg-open that failed is told in a window of its own.
void TellOpenOutcome(const std::string& file, int status)
{
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return;
    std::string why = "it ended with exit code " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    for (const OpenFailure& failure : kOpenFailures) {
        if (WIFEXITED(status) && WEXITSTATUS(status) == failure.code)
            why = failure.why;
    }
    if (WIFSIGNALED(status))
        why = "the opener was ended by signal " + std::to_string(WTERMSIG(status));
    TellUserLater("Could not open", file + " could not be opened: " + why + ".");
}

} // namespace

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
        return StartDetached(run, call.output.Get(), [file](int status) { TellOpenOutcome(file, status); })
            ? RETURN_OK
            : RETURN_FAIL;
    const HostResult result = RunTool(call, run);
    return result.code < 0 ? RETURN_FAIL : result.code;
}

} // namespace cwtools

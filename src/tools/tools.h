// The tools behind the command runner: MPlayer, mencoder, C:Copy and the
// desktop's opener, made of host process runs (process/process.h), and the
// table start-up hands the runner.
#pragma once

#include "os/command.h"
#include "os/exec.h"
#include "process/process.h"

#include <string>
#include <string_view>

namespace cwtools {

LONG RunMPlayerTool(ToolCall& call);
LONG RunMencoderTool(ToolCall& call);
LONG RunCopyTool(ToolCall& call);
// xdg-open FILE: the desktop's default handler opens the file (a manual, a
// rendered video, a folder).
LONG RunDesktopOpenTool(ToolCall& call);

// Runs a host program for a command: ended when the call's cancel asks,
// how it ended and its error text noted in the call for the runner, and a
// failed start told as ERROR_OBJECT_NOT_FOUND.
HostResult RunTool(ToolCall& call, const HostRun& run);

// The command runner's tools, by the command words the program's lines use.
inline constexpr CommandTool kCommandTools[] = {
    {.name = "MPlayer", .commands = {"mplayer", "sys:utilities/mplayer"}, .run = RunMPlayerTool},
    {.name = "mencoder", .commands = {"mencoder", {}}, .run = RunMencoderTool},
    {.name = "C:Copy", .commands = {"c:copy", {}}, .run = RunCopyTool},
    {.name = "xdg-open", .commands = {"xdg-open", {}}, .run = RunDesktopOpenTool},
};

// The start-up of an instance (the script driver's and the windowed
// program's alike): the runner gets its tools, this instance its T:, and
// every dead instance's T: folder, before it goes, its tools ended.
void StartInstance();

// The MPlayer and mencoder options that take the next word as their value,
// for every reader of those command lines.
inline constexpr std::string_view kValueOptions[] = {
    "-o", "-oac", "-ovc", "-of", "-lavcopts", "-lameopts", "-x264encopts", "-xvidencopts",
    "-vf", "-af", "-vf-add", "-af-add", "-vo", "-ao", "-ofps", "-fps", "-mc", "-ss",
    "-endpos", "-frames", "-audio-delay", "-delay", "-srate", "-audiofile", "-audio-demuxer",
    "-rawaudio", "-rawvideo", "-demuxer", "-mf", "-input", "-playlist", "-sub", "-aid", "-vid",
    "-sid", "-alang", "-slang", "-volume", "-speed", "-loop", "-cache", "-geometry",
    "-dumpfile", "-channels", "-passlogfile", "-sb", "-faacopts", "-lavfopts", "-title", "-panzoom",
    "-fadein", "-fadeout", "-head", "-tail", "-transition", "-cliplevel",
};
// Whether an MPlayer or mencoder option takes the next word as its value.
bool TakesValue(std::string_view option);
// A host path for a file argument that no host program can take for an
// option or a protocol: a relative name beginning with "-" or holding ":"
// gets "./" before it.
std::string FileArgument(std::string hostPath);

} // namespace cwtools

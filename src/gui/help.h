// Help: the installed manual, opened with the desktop's default handler.
#pragma once

#include "os/command.h"
#include "os/exec.h"

#include <optional>
#include <string>
#include <string_view>

// The installed HTML manual, found from the program's own folder (the
// prefix is chosen at install time); nullopt when it is not installed.
std::optional<std::string> InstalledManual(std::string_view programFolder);
// Opens the installed manual; tells the user where it should be when it is
// missing or cannot be opened. TRUE when the handler was started.
BOOL OpenManual();

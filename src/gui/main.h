// The program's entry, its globals and its one event loop.
#pragma once

#include "model/crouton.h"
#include "model/project.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

extern std::unique_ptr<Project> gProject;
// The crouton the crouton editor works on; it refers to a crouton of the
// project and owns nothing. Cleared when that crouton leaves the project.
extern Crouton* gEditingCrouton;
// The first entries of the crouton list, made at start-up.
extern std::optional<std::vector<std::string>> gCroutonStrings;

void InitDefaults();
// The whole program: start-up, event loop, shut-down. Returns 0. A project
// file given is opened once the main window is open.
int ClipweaverMain(std::optional<std::string> projectToOpen = std::nullopt);

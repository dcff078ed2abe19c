// What makes the main window feel like a desktop program's: the project's
// total length and output size, the recent projects in the menu, the
// output's Browse button (files dropped from a file manager: drops.h).
#pragma once

#include "model/project.h"
#include "os/exec.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// "h:mm:ss", the project's total length as the window shows it.
std::string FormatTotalLength(long long seconds);
// The rendered length: "h:mm:ss", with hundredths when it is not whole
// ("0:00:10.01"), as frames at the output rate make it.
std::string FormatRenderedLength(double seconds);
// The output's size in bytes as a render at the project's bit rate and the
// finished sound's 192 kbit/s will make it, roughly.
double EstimatedOutputBytes(const Project& project);
// Shows both in the main window (the labels BUTTON_MAIN_TOTALLENGTH and
// BUTTON_MAIN_OUTPUTSIZE).
void ShowProjectTotals(const Project* project);

// The path of the project file a project was loaded from or saved to; empty
// for a project never loaded or saved.
std::string ProjectPath(const Project& project);

// The recent projects: the last eight loaded or saved, newest first, kept
// in a file of the working folder ("Clipweaver.recent") across runs.
void SetRecentProjectsFile(std::string file);
std::vector<std::string> RecentProjects();
// Puts the path first (once) and writes the list.
void NoteRecentProject(const std::string& path);
// The menu's recent items show the list; unused items are hidden and the
// menu is greyed when the list is empty.
void ShowRecentProjects();
// The project of a recent item's identifier; none when it has none.
std::optional<std::string> RecentProject(LONG menuId);

// The output field's Browse button: a save request over the output kinds;
// the chosen path goes into the output field.
void BrowseOutputFile();


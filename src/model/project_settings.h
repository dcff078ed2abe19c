// The main window's settings of a project, as one record: the project holds
// it, its file stores it, the window shows it and reads it back, and Undo
// takes it back whole. A new main-window setting is a field here, a line in
// SettingsLines and ReadSettingsLines, and a row of the window's fields
// (gui/main_settings.cpp).
#pragma once

#include "model/look.h"
#include "model/tables.h"
#include "os/exec.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct ProjectSettings {
    std::string projectName = "New Project";
    std::string outputFileName = cDefaultOutputFilename;
    // None until a file or a render gives one: a render without one lays no
    // soundtrack.
    std::optional<std::string> soundtrack;
    LONG width = 320;
    LONG height = 240;
    // The format, bit-rate and frame-rate choices: indices of their tables.
    LONG parameters = 0;
    LONG baudrate = 0;
    LONG fps = 0;
    float customFPS = 30.0f;
    // The size and rate fields' texts as the user left them, beside the
    // numbers read from them: a project file keeps the custom rate as typed,
    // a render refuses a size or rate in the words typed, and Undo brings
    // back what was typed. None where no window gave them (the project's
    // own record); the numbers stand for them then.
    std::optional<std::string> typedWidth;
    std::optional<std::string> typedHeight;
    std::optional<std::string> typedCustomFPS;
    // Joins, fades and the croutons' sound under the soundtrack.
    ProjectLook look;
    bool operator==(const ProjectSettings&) const = default;
};

// Width and height are the user's to type only with the custom format, the
// rate only with the custom frame rate; any other choice brings its own.
bool SizeIsTyped(LONG format);
bool RateIsTyped(LONG fps);

// The settings' lines of a project file, in their order: names, soundtrack,
// size, the three choices and the custom rate as typed (as "%f" of the
// number when none was typed).
constexpr std::size_t kSettingsLineCount = 9;
std::vector<std::string> SettingsLines(const ProjectSettings& settings);
// The settings of a project file's first lines, the choices brought into
// their tables' range; none when a line that holds a whole number (size and
// choices) does not. The custom rate is taken as any text and read as a
// number the way its field is; the record keeps no typed text of its own.
std::optional<ProjectSettings> ReadSettingsLines(std::span<const std::string> lines);

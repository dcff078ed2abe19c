// The main window's settings of a project and their lines in its file.
#include "model/project_settings.h"

#include "model/line_file.h"

bool SizeIsTyped(LONG format) { return format == cCustomFormatID; }

bool RateIsTyped(LONG fps) { return fps == cCustomFPSID; }

std::vector<std::string> SettingsLines(const ProjectSettings& settings)
{
    return {
        settings.projectName,
        settings.outputFileName,
        settings.soundtrack.value_or(""),
        std::to_string(settings.width),
        std::to_string(settings.height),
        std::to_string(settings.parameters),
        std::to_string(settings.baudrate),
        std::to_string(settings.fps),
        settings.typedCustomFPS.value_or(FormatFloat(settings.customFPS)),
    };
}

std::optional<ProjectSettings> ReadSettingsLines(std::span<const std::string> lines)
{
    if (lines.size() < kSettingsLineCount)
        return std::nullopt;
    // Lines 4 to 8 hold whole numbers.
    for (std::size_t number = 4; number <= 8; ++number) {
        if (!IsWholeNumber(lines[number - 1]))
            return std::nullopt;
    }
    ProjectSettings settings;
    settings.projectName = lines[0];
    settings.outputFileName = lines[1];
    settings.soundtrack = lines[2];
    settings.width = ReadLong(lines[3]);
    settings.height = ReadLong(lines[4]);
    // Indices from a file are brought into their table's range.
    settings.parameters = ClampFormatIndex(ReadLong(lines[5]));
    settings.baudrate = ClampBaudIndex(ReadLong(lines[6]));
    settings.fps = ClampFPSIndex(ReadLong(lines[7]));
    settings.customFPS = ReadFloat(lines[8]);
    return settings;
}

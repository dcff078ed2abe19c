// Saving the project as desktop programs do: Save writes the project's own
// file once it has one, Save As always asks, and whatever was written is
// the project's file from then on.
#pragma once

#include "gui/history.h"

#include <string>

enum class SaveWay {
    ToItsFile, // "Save" (Ctrl+S), and Save in the unsaved-changes question
    Asking,    // "Save Project As...", and the "_Save Project" button
};

// Saves the project with the main window's settings; true when the file was
// written. The file written is marked saved and put first among the recent
// projects.
bool SaveProjectSteps(ProjectHistory& history, SaveWay way);

// The main window's title: the project's name, its file once it has one,
// and a mark for unsaved changes.
std::string MainTitle(const std::string& projectName, bool changed, const std::string& baseTitle);

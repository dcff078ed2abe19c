// Rendering: one crouton into one video, and a whole project into the output.
#pragma once

#include "model/crouton.h"
#include "model/project.h"

#include <string_view>

void RenderCrouton(Crouton* crouton, std::string_view filename, BOOL silent);
void GenerateSilence(std::string_view filename, float length);
void RenderProject(Project* project);
void AppendVideo(std::string_view filename1, std::string_view filename2);

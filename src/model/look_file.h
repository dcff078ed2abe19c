// The look in crouton and project files: "Key=Value" lines after every line
// an older reader knows, one per value that differs from its default, so a
// plain look writes nothing. Reading passes over keys it does not know;
// a value that cannot be read keeps its default, and every value is held
// in its range.
#pragma once

#include "model/look.h"

#include <string>
#include <string_view>
#include <vector>

// A crouton's look lines ("FadeIn=1.5", "Title=Our holiday", ...).
std::vector<std::string> CroutonLookLines(const CroutonLook& look);
// The look the lines give a crouton `length` seconds long.
CroutonLook ReadCroutonLook(const std::vector<std::string>& lines, double length);

// A project's look lines ("Transition=dissolve 1", "Join=3 wipeleft 0.5",
// with the crouton counted from 0, ...).
std::vector<std::string> ProjectLookLines(const ProjectLook& look);
// The look the lines give a project of `croutons` croutons.
ProjectLook ReadProjectLook(const std::vector<std::string>& lines, long croutons);

// Whether a line has the shape of a look line: a key of letters, "=", a value.
bool IsLookLine(std::string_view line);
// Whether it is one only a project file writes.
bool IsProjectLookLine(std::string_view line);

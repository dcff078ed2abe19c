// The image files of an image crouton, counted and listed in frame order.
#pragma once

#include "model/crouton.h"

#include <string>
#include <string_view>
#include <vector>

int GetNumberOfFilesInImageCrouton(const Crouton* crouton);
// The sorted list of full paths, each ending in a line feed. Never holds more
// than numberOfFiles entries, and never an empty one: when the folder changed
// since counting, the list is shorter.
std::vector<std::string> BuildFileList(const Crouton* crouton, std::string_view parsedFilename, int numberOfFiles);
int GetIDFromString(std::string_view string);
int CompareFilename(const std::string& a, const std::string& b);

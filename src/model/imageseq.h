// The image files of an image crouton, counted and listed in frame order.
#pragma once

#include "model/crouton.h"

#include <string>
#include <string_view>
#include <vector>

int GetNumberOfFilesInImageCrouton(const Crouton* crouton);
// The same for the picture or pattern `videoName`, whatever a crouton holds.
int GetNumberOfFilesInImageSequence(std::string_view videoName);
// The sorted list of full paths, each ending in a line feed. Never holds more
// than numberOfFiles entries, and never an empty one: when the folder changed
// since counting, the list is shorter.
std::vector<std::string> BuildFileList(const Crouton* crouton, std::string_view parsedFilename, int numberOfFiles);
std::vector<std::string> BuildSequenceFileList(std::string_view videoName, std::string_view parsedFilename,
                                               int numberOfFiles);
// The length in seconds of an image crouton of `count` pictures shown at
// `rate` pictures a second: whole seconds, truncated, at least 1. Without a
// usable rate (the source's own, which a picture does not have) it is 1.
LONG ImageCroutonLength(int count, float rate);
int GetIDFromString(std::string_view string);
int CompareFilename(const std::string& a, const std::string& b);

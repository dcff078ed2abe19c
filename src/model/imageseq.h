// The image files of an image crouton, counted and listed in frame order.
#pragma once

#include "model/crouton.h"

#include <string>
#include <string_view>
#include <vector>

// Whether a source names pictures rather than a video: a picture file, or a
// pattern naming an image sequence (a name holding wildcards, or one that
// can't be parsed as a pattern at all). A file of exactly that name
// ("holiday (1).mp4") is that file.
bool NamesPictures(std::string_view filename);
// Makes the crouton a picture crouton of `filename`: no probe, one frame
// long at the picture rate until its pictures are counted.
BOOL LoadImageIntoCrouton(Crouton* crouton, std::string_view filename);
int GetNumberOfFilesInImageCrouton(const Crouton* crouton);
// The same for the picture or pattern `videoName`, whatever a crouton holds.
int GetNumberOfFilesInImageSequence(std::string_view videoName);
// The sorted list of full paths, each ending in a line feed. Never holds more
// than numberOfFiles entries, and never an empty one: when the folder changed
// since counting, the list is shorter.
std::vector<std::string> BuildFileList(const Crouton* crouton, std::string_view parsedFilename, int numberOfFiles);
std::vector<std::string> BuildSequenceFileList(std::string_view videoName, std::string_view parsedFilename,
                                               int numberOfFiles);
// Why a source chosen for a crouton cannot be taken: its name, or for a
// pattern the name of one of its pictures, holds a control character (see
// ControlCharacterProblem); empty when all are fine.
std::string SourceNameProblem(std::string_view source);
// The length in seconds of an image crouton of `count` pictures shown at
// `rate` pictures a second: whole seconds, truncated, at least 1. Without a
// usable rate (the source's own, which a picture does not have) it is 1.
LONG ImageCroutonLength(int count, float rate);
int GetIDFromString(std::string_view string);
int CompareFilename(const std::string& a, const std::string& b);

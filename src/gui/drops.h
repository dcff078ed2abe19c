// Files dropped on the main window from a file manager: a project is
// loaded; croutons, videos and slideshows become croutons of the project.
#pragma once

#include "gui/loop.h"
#include "model/project.h"
#include "os/exec.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Files dropped on the main window, sorted by what the program does with
// them. Pictures of one folder dropped together are one slideshow: the
// pattern that names exactly them (see SequencePattern), or the picture
// itself when it is alone.
struct MediaChoice {
    std::string drawer;
    std::string file;
};
struct DroppedFiles {
    std::optional<std::string> project; // the first .cwproj
    std::vector<std::string> croutons;  // .cwcrouton files
    std::vector<MediaChoice> media;     // videos, and slideshows
};
DroppedFiles SortDroppedFiles(const std::vector<std::string>& paths);
// A new crouton from dropped media, its file named as "_New Crouton"
// proposes in Croutons/ (made unique when that name is taken).
BOOL AddDroppedMedia(Project* project, const MediaChoice& media);
// The lines of a drop (MUIA_AppMessage) as paths.
std::vector<std::string> DroppedPaths(std::string_view lines);

// The main window's drop, as a row of the loop's table.
std::span<const ReturnIdRow> DropReturnIds();

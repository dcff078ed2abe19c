// What the player plays, made from a crouton or a project.
#pragma once

#include "media/player.h"
#include "model/crouton.h"
#include "model/project.h"

#include <string>
#include <utility>

// The output format's frame, width and height.
std::pair<int, int> OutputFrameSize(const Project& project);
// The frame a crouton's player draws: the project's output format, which
// the windows keep here.
void SetPlayerOutputFrame(std::pair<int, int> frame);
std::pair<int, int> PlayerOutputFrame();
// A crouton's `source` from `start` to `end` seconds (a picture source: all
// its pictures at the crouton's rate), with its own soundtrack; a problem
// in words when there is nothing to play.
PlayerMedia CroutonMedia(const Crouton& crouton, const std::string& source, double start, double end,
                         std::pair<int, int> frame);
// The whole project as the render lays it.
PlayerMedia ProjectMedia(const Project& project);

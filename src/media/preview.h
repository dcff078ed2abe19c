// Preview stills of a crouton, and playing its source.
#pragma once

#include "model/crouton.h"

#include <string_view>

void GeneratePreview(Crouton* crouton);
void GrabPreviews_Video(Crouton* crouton);
void GrabPreviews_Images(Crouton* crouton);
void GrabPreviewImage(Crouton* crouton, std::string_view inputFilename, std::string_view outputFilename, int screenshotNumber);
void CroutonEditor_RunMPlayer(Crouton* crouton);

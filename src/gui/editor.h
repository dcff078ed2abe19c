// The crouton editor window's operations.
#pragma once

#include "media/preview.h"
#include "model/crouton.h"
#include "model/project.h"
#include "mui/mui.h"

#include <string>
#include <string_view>
#include <vector>

void CroutonEditor_Clear();
void CroutonEditor_Update(Crouton* crouton);
BOOL CroutonEditor_LoadVideo(Crouton* crouton);
// The sliders take a clip's probed length: both span it, the end at its end.
void CroutonEditor_ShowClip(Crouton* crouton);
// What a preview grab reads from the editor, and where it shows a still.
PreviewInputs CroutonEditor_PreviewInputs();
void CroutonEditor_ShowStill(int still, std::string_view file);
void CroutonEditor_SelectFPS(Crouton* crouton);
BOOL CroutonEditor_Save(Crouton* crouton);
void CroutonEditor_Cancel();
void ChangeStart(Crouton* crouton);
void ChangeEnd(Crouton* crouton);
// Sets the start (or the end) of the crouton under edit to `seconds` of its
// source, as the player's "Set Start" and "Set End" do.
void CroutonEditor_SetTrimSeconds(bool isEnd, double seconds);
void ChangeParameter(Crouton* crouton, mui::Object* slider, mui::Object* image, int id);
// The crouton names of a project, in order: the first entries of the crouton
// list.
std::vector<std::string> LoadCroutonStrings(Project* project);

// The crouton editor window's operations.
#pragma once

#include "media/preview.h"
#include "model/crouton.h"
#include "model/project.h"
#include "mui/mui.h"

#include <functional>
#include <string>
#include <utility>
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
// The trims the editor holds, to the frame of the source (editor_trim.cpp).
// The one way to set one: clamped to the source and to the other end,
// snapped to the source's frame, then shown on its slider and in its time
// field, and told to the listener; false when nothing changed.
bool CroutonEditor_SetTrimSeconds(bool isEnd, double seconds);
// Told the start and end after each change (a player marks them).
using TrimListener = std::function<void(double start, double end)>;
void CroutonEditor_SetTrimListener(TrimListener listener);
// The start and end held, in seconds of the source.
std::pair<double, double> CroutonEditor_Trim();
// Takes the crouton's trims into the editor and its time fields.
void CroutonEditor_ShowTrim(const Crouton& crouton);
// A newly loaded clip: the end at its end, the start kept within it.
void CroutonEditor_ShowClipTrim(const Crouton& crouton);
// Puts the editor's trims into the record for "_Save"; false (told to the
// user) when a time field holds no time.
bool CroutonEditor_TakeTrim(Crouton* crouton);
// A slider moved or a time typed: the trim follows through the setter.
void ChangeStart(Crouton* crouton);
void ChangeEnd(Crouton* crouton);
void ChangeParameter(Crouton* crouton, mui::Object* slider, mui::Object* image, int id);
// The crouton names of a project, in order: the first entries of the crouton
// list.
std::vector<std::string> LoadCroutonStrings(Project* project);

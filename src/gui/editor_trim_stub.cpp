// Setting the editor's trims from the player, on today's sliders of whole
// seconds: the time is rounded to the nearest second.
#include "gui/editor.h"

#include "gui/vocabulary.h"

#include <cmath>

void CroutonEditor_SetTrimSeconds(bool isEnd, double seconds)
{
    mui::Object* slider = gButtons[isEnd ? BUTTON_CROUTONEDITOR_END : BUTTON_CROUTONEDITOR_START];
    if (!slider || !std::isfinite(seconds))
        return;
    mui::set(slider, MUIA_Numeric_Value, static_cast<LONG>(std::lround(std::max(0.0, seconds))));
}

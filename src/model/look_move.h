// The pan and zoom a picture crouton moves through: the two framings its
// picture is shown at, at its start and at its end, as the render draws
// them (and as a preview should).
#pragma once

#include "model/look.h"

struct PanZoomMove {
    Framing from;
    Framing to;
    bool operator==(const PanZoomMove&) const = default;
};

// A framing held to what can be shown: zoom 1 to 3, its centre where the
// frame stays on the picture.
Framing HeldFraming(Framing framing);

// The move of a crouton at project position `position` (counted from 1):
// its own framings, or with "gentle motion" a varied, gentle move (zoom
// 1 to about 1.2, a drift) chosen from its picture's name and position, the
// same at every render.
PanZoomMove MoveOf(const PanZoom& panZoom, const Crouton& crouton, int position);

// What a crouton's look asks of its piece (private to the tools): its
// sound's volume, a title drawn by the title program and laid over the
// picture, and pan and zoom over a picture.
#pragma once

#include "tools/tool_plan_parts.h"

#include <optional>
#include <string>
#include <vector>

namespace cwtools::planning {

// The part of the picture the frame shows, in fractions of the picture:
// its left and top edges and its size (1 / zoom), as wide as high.
struct PictureWindow {
    double left = 0;
    double top = 0;
    double size = 1;
};

struct LineLook {
    std::optional<double> volume;                 // the sound's factor: 1 leaves it as it is
    std::optional<std::string> title;             // the title's settings file, as the line names it
    std::optional<std::pair<PictureWindow, PictureWindow>> move; // at the start, at the end
};
// The look a line's "-volume", "-title" and "-panzoom" ask; none when one
// of them is not what a render writes.
std::optional<LineLook> ReadLineLook(const MencoderLine& line);

// The picture options of a piece's run (PiecePicture's, the picture moved
// and the title laid over it). The title's run goes into `plan` before the
// encode, and its picture into `inputs`.
std::vector<std::string> LookPicture(const LineLook& look, const std::string& filters, const PieceFacts& piece,
    ToolPlan& plan, std::vector<std::string>& inputs);
// The picture's filters with its pan and zoom (the filters as they are
// without one).
std::string LookChain(const LineLook& look, const std::string& filters, const PieceFacts& piece);
// The graph that lays the title over the picture labelled "[piece]" and
// labels the result "[titled]"; empty without a title. The title's run goes
// into `plan` before the encode, and its picture into `inputs`.
std::string LookOverlay(const LineLook& look, const PieceFacts& piece, ToolPlan& plan, std::vector<std::string>& inputs);
// The filters the piece's sound takes first, each ending in a comma.
std::string LookSound(const LineLook& look);

} // namespace cwtools::planning

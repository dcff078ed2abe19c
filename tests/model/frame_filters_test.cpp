// Fitting a source's picture into the output frame: the mencoder filters
// each crouton's line carries. A wrong row here is a picture stretched,
// squeezed, cropped or shown on its side.
#include "model/render.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct FitRow {
    const char* what;
    LONG width;
    LONG height;
    double display;
    std::optional<PictureShape> source;
    const char* filters;
};

TEST(FrameFilters, FitsTurnsAndCentresEachSource)
{
    constexpr double wide = 16.0 / 9.0;
    const FitRow rows[] = {
        {"no shape known: scaled to the frame", 640, 360, wide, std::nullopt, "scale=640:360"},
        {"the frame's own shape", 640, 360, wide, PictureShape{1920, 1080, 0}, "scale=640:360"},
        {"a shape of no size is not known", 640, 360, wide, PictureShape{0, 1080, 0}, "scale=640:360"},
        {"upside down: turned, not stretched", 640, 360, wide, PictureShape{1920, 1080, 180},
         "flip,mirror,scale=640:360"},
        {"filmed upright, a quarter turn", 640, 360, wide, PictureShape{1080, 1920, 90},
         "rotate=1,scale=202:360,expand=640:360"},
        {"filmed upright, three quarters", 640, 360, wide, PictureShape{1080, 1920, 270},
         "rotate=2,scale=202:360,expand=640:360"},
        {"4:3 in 16:9: bars at the sides", 640, 360, wide, PictureShape{640, 480, 0}, "scale=480:360,expand=640:360"},
        {"2.35:1 in 16:9: bars above and below", 640, 360, wide, PictureShape{235, 100, 0},
         "scale=640:272,expand=640:360"},
        {"within 1 % of the frame's shape: no bars", 640, 360, wide, PictureShape{179, 100, 0}, "scale=640:360"},
        {"just past 1 %: fitted", 640, 360, wide, PictureShape{180, 100, 0}, "scale=640:356,expand=640:360"},
        {"a frame of wide pixels (720x576 shown 16:9) takes 4:3 narrower", 720, 576, wide,
         PictureShape{4, 3, 0}, "scale=540:576,expand=720:576"},
    };
    for (const FitRow& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(FrameFilters(row.width, row.height, row.display, row.source), row.filters);
    }
}

} // namespace

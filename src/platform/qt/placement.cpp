// The crouton editor and the About window open next to the main window, not
// where the window system happens to put them (a corner, partly off the
// screen).
#include "platform/qt/placement.h"

#include <algorithm>

namespace qtview::detail {

namespace {

// Room left between the main window and the one beside it.
constexpr int kGap = 8;

} // namespace

QPoint KeepOnScreen(QPoint corner, const QSize& size, const QRect& screen)
{
    // Past the right or bottom edge first, so that a window larger than the
    // screen keeps its top-left corner (and title bar) on it.
    int x = std::min(corner.x(), screen.x() + screen.width() - size.width());
    int y = std::min(corner.y(), screen.y() + screen.height() - size.height());
    x = std::max(x, screen.x());
    y = std::max(y, screen.y());
    return {x, y};
}

QPoint PlaceBeside(const QRect& main, const QSize& size, const QRect& screen)
{
    const int roomRight = screen.x() + screen.width() - (main.x() + main.width() + kGap);
    const int roomLeft = main.x() - kGap - screen.x();
    int x = 0;
    if (roomRight >= size.width())
        x = main.x() + main.width() + kGap;
    else if (roomLeft >= size.width())
        x = main.x() - kGap - size.width();
    else if (roomRight >= roomLeft)
        x = screen.x() + screen.width() - size.width();
    else
        x = screen.x();
    return KeepOnScreen(QPoint(x, main.y()), size, screen);
}

} // namespace qtview::detail

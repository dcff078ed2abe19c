// The crouton editor and the About window open next to the main window, not
// where the window system happens to put them (a corner, partly off the
// screen).
#include "qtview/placement.h"

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
    const int screenRight = screen.x() + screen.width();
    const int screenBottom = screen.y() + screen.height();
    const int mainRight = main.x() + main.width();
    const int mainBottom = main.y() + main.height();
    const int roomRight = screenRight - (mainRight + kGap);
    const int roomLeft = main.x() - kGap - screen.x();
    QPoint corner;
    if (roomRight >= size.width())
        corner = QPoint(mainRight + kGap, main.y());
    else if (roomLeft >= size.width())
        corner = QPoint(main.x() - kGap - size.width(), main.y());
    else if (screenBottom - (mainBottom + kGap) >= size.height())
        corner = QPoint(main.x(), mainBottom + kGap);
    else if (main.y() - kGap - screen.y() >= size.height())
        corner = QPoint(main.x(), main.y() - kGap - size.height());
    else if (roomRight >= roomLeft)
        corner = QPoint(screenRight - size.width(), main.y());
    else
        corner = QPoint(screen.x(), main.y());
    return KeepOnScreen(corner, size, screen);
}

} // namespace qtview::detail

// Where the program's other windows open (internal to the Qt front end).
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace qtview::detail {

// The top-left corner of a window of `size` (with its frame) opened beside
// the main window (`main`, its frame) on the screen area `screen`: to its
// right when it fits there, else to its left, else below it, else above it
// (level with the main window's top or left edge), else on the side with
// more room, over the main window. Always wholly on the screen where the
// window fits on it at all.
QPoint PlaceBeside(const QRect& main, const QSize& size, const QRect& screen);
// `corner` moved as little as needed to bring a window of `size` onto
// `screen`.
QPoint KeepOnScreen(QPoint corner, const QSize& size, const QRect& screen);

} // namespace qtview::detail

// The widget classes the object view needs beyond Qt's own: a window that
// leaves closing to the model, a list whose drops are reported rather than
// carried out, and a picture label.
#pragma once

#include "mui/mui.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPixmap>
#include <QScrollArea>
#include <QValidator>

#include <functional>
#include <string>
#include <vector>

namespace qtview {

// A window's close gadget asks the model (mui::UserCloseWindow); the window
// only hides when the model sets MUIA_Window_Open FALSE.
class WindowWidget final : public QMainWindow {
public:
    WindowWidget(mui::Object& window, std::function<void(mui::Object&)> closeRequested);
    // Local files dropped from a file manager go to `dropped` (host paths);
    // the window takes drops only while the model lets it (setAcceptDrops).
    void SetDropHandler(std::function<void(mui::Object&, std::vector<std::string>)> dropped);
    // The local files a drag carries; empty when it carries none.
    static std::vector<std::string> DroppedFiles(const QMimeData* data);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    mui::Object& window_;
    std::function<void(mui::Object&)> closeRequested_;
    std::function<void(mui::Object&, std::vector<std::string>)> dropped_;
};

// What a window shows, in a scroll area: a window smaller than its gadgets
// need (a small or scaled screen) scrolls instead of being cut off, while
// the window still asks for the room its gadgets need.
class WindowScroll final : public QScrollArea {
public:
    WindowScroll();
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};

// A list with internal drag-and-drop whose drop is handed to `dropped`
// (from, to: the entry and where it ends); the items stay where they are
// until the model's entries change.
class ListWidget final : public QListWidget {
public:
    explicit ListWidget(std::function<void(int from, int to)> dropped);
    // Where an entry dropped at `position` (viewport coordinates) ends when
    // it comes from `from`; -1 when the drop moves nothing.
    int DropDestination(int from, QPoint position) const;
    // What a drop does (Qt hands drops only to the target of a running drag;
    // tests call this directly).
    void HandleDrop(QDropEvent& event);

protected:
    void dropEvent(QDropEvent* event) override;

private:
    std::function<void(int, int)> dropped_;
};

// A string's length limit in bytes (of UTF-8) for what the user types;
// a longer text set by code shows whole and may still be shortened.
class LengthLimit final : public QValidator {
public:
    explicit LengthLimit(QLineEdit& edit);
    void SetLimit(int bytes) { limit_ = bytes; }
    State validate(QString& input, int& position) const override;

private:
    QLineEdit& edit_;
    int limit_ = 0;
};

// A picture at its natural size; without a picture it shows nothing and
// takes no room.
class PictureLabel final : public QLabel {
public:
    PictureLabel();
    void SetPicture(const QPixmap& picture);
    bool HasPicture() const { return !picture_.isNull(); }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    QPixmap picture_;
};

} // namespace qtview

#include "qtview/widgets.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QStyle>

#include <utility>

namespace qtview {

WindowWidget::WindowWidget(mui::Object& window, std::function<void(mui::Object&)> closeRequested)
    : window_(window)
    , closeRequested_(std::move(closeRequested))
{
}

void WindowWidget::closeEvent(QCloseEvent* event)
{
    // The model decides: the program closes the window (or quits) when it
    // handles the close request.
    event->ignore();
    if (closeRequested_)
        closeRequested_(window_);
}

WindowScroll::WindowScroll()
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
}

QSize WindowScroll::sizeHint() const
{
    const QWidget* contents = widget();
    if (contents == nullptr)
        return QScrollArea::sizeHint();
    const int frame = 2 * frameWidth();
    return contents->sizeHint().expandedTo(contents->minimumSizeHint()) + QSize(frame, frame);
}

QSize WindowScroll::minimumSizeHint() const
{
    // Room for the scroll bars and a little of the contents.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return QSize(8 * bar, 6 * bar);
}

void WindowWidget::SetDropHandler(std::function<void(mui::Object&, std::vector<std::string>)> dropped)
{
    dropped_ = std::move(dropped);
}

std::vector<std::string> WindowWidget::DroppedFiles(const QMimeData* data)
{
    std::vector<std::string> files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files.push_back(url.toLocalFile().toStdString());
    }
    return files;
}

void WindowWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (dropped_ && acceptDrops() && !DroppedFiles(event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void WindowWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (dropped_ && acceptDrops() && !DroppedFiles(event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void WindowWidget::dropEvent(QDropEvent* event)
{
    std::vector<std::string> files = DroppedFiles(event->mimeData());
    if (!dropped_ || !acceptDrops() || files.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    dropped_(window_, std::move(files));
}

ListWidget::ListWidget(std::function<void(int, int)> dropped)
    : dropped_(std::move(dropped))
{
    setSelectionMode(QAbstractItemView::SingleSelection);
}

int ListWidget::DropDestination(int from, QPoint position) const
{
    const int entries = count();
    if (from < 0 || from >= entries)
        return -1;
    // The gap the entry is dropped into, counted in the list before the move.
    int gap = entries;
    if (QListWidgetItem* target = itemAt(position)) {
        const int row = this->row(target);
        const QRect rect = visualItemRect(target);
        gap = position.y() < rect.center().y() ? row : row + 1;
    }
    const int destination = gap > from ? gap - 1 : gap;
    return destination == from ? -1 : destination;
}

void ListWidget::dropEvent(QDropEvent* event) { HandleDrop(*event); }

void ListWidget::HandleDrop(QDropEvent& event)
{
    // Internal moves only: Qt lets no other drag get this far. The items are
    // never moved here.
    const QStringList formats = model()->mimeTypes();
    if (event.mimeData() == nullptr || formats.isEmpty() || !event.mimeData()->hasFormat(formats.front())) {
        event.ignore();
        return;
    }
    const int from = currentRow();
    const int to = DropDestination(from, event.position().toPoint());
    event.setDropAction(Qt::IgnoreAction);
    event.ignore();
    if (to >= 0 && dropped_)
        dropped_(from, to);
}

LengthLimit::LengthLimit(QLineEdit& edit)
    : QValidator(&edit)
    , edit_(edit)
{
}

QValidator::State LengthLimit::validate(QString& input, int& /*position*/) const
{
    if (limit_ <= 0 || input.toUtf8().size() <= limit_ || input.size() < edit_.text().size())
        return Acceptable;
    return Invalid;
}

PictureLabel::PictureLabel()
{
    setAlignment(Qt::AlignCenter);
}

void PictureLabel::SetPicture(const QPixmap& picture)
{
    picture_ = picture;
    if (picture_.isNull())
        clear();
    else
        setPixmap(picture_);
    updateGeometry();
}

QSize PictureLabel::sizeHint() const
{
    if (picture_.isNull())
        return QSize(0, 0);
    return picture_.deviceIndependentSize().toSize() + QSize(2 * margin(), 2 * margin());
}

QSize PictureLabel::minimumSizeHint() const { return sizeHint(); }

} // namespace qtview

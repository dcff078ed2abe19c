// A list: its entries as rows of text, or of pictures from its image slots;
// drags are reported to the model, which moves the entries itself.
#include "qtview/faces.h"
#include "qtview/objectview.h"
#include "qtview/qtview.h"
#include "qtview/widgets.h"

#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

namespace qtview::detail {

namespace {

void SyncItems(mui::Object& list, ListWidget& widget)
{
    const LONG lineHeight = list.GetLong(MUIA_NList_MinLineHeight);
    const QSize iconSize = lineHeight > 0 ? QSize(lineHeight * 4 / 3, lineHeight) : widget.iconSize();
    if (lineHeight > 0 && widget.iconSize() != iconSize) {
        // Rows of pictures: the list is as wide as a picture and its scroll bar.
        widget.setIconSize(iconSize);
        widget.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        widget.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        widget.setMinimumWidth(iconSize.width() + 2 * widget.frameWidth() + 2 * widget.spacing() + 8
                               + widget.verticalScrollBar()->sizeHint().width());
    }
    const auto& entries = list.entries();
    const int count = static_cast<int>(entries.size());
    while (widget.count() > count)
        delete widget.takeItem(widget.count() - 1);
    while (widget.count() < count)
        widget.addItem(QString());
    for (int row = 0; row < count; ++row) {
        const std::string& entry = entries[static_cast<std::size_t>(row)];
        QListWidgetItem* item = widget.item(row);
        if (const std::optional<LONG> slot = mui::ImageSlotOfEntry(entry)) {
            mui::Object* image = mui::NList_SlotImage(&list, *slot);
            QPixmap picture = image ? LoadPicture(image->GetString(MUIA_NBitmap_Normal)) : QPixmap();
            if (!picture.isNull())
                picture = picture.scaled(iconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            item->setIcon(QIcon(picture));
            item->setText(QString::fromStdString(entry.substr(entry.find(']') + 1)));
        } else {
            const DisplayText shown = ParseDisplayText(entry, Qt::AlignLeft);
            item->setIcon(QIcon());
            item->setText(shown.text);
            item->setTextAlignment(shown.alignment | Qt::AlignVCenter);
        }
        if (lineHeight > 0)
            item->setSizeHint(QSize(iconSize.width(), std::max<int>(lineHeight, item->sizeHint().height())));
    }
}

} // namespace

QWidget* BuildList(mui::Object& object, FaceHost& host)
{
    auto* list = new ListWidget([&object](int from, int to) {
        ReportAction("UserDrag");
        mui::UserDrag(&object, from, to);
    });
    QObject::connect(list, &QListWidget::currentRowChanged, list, [&host, &object](int row) {
        if (row < 0)
            return;
        HandOver(host, object, "UserClick", mui::UserClick, row, MUIA_NList_Active);
    });
    QObject::connect(list, &QListWidget::itemDoubleClicked, list, [list, &object](QListWidgetItem* item) {
        ReportAction("UserDoubleClick");
        mui::UserDoubleClick(&object, list->row(item));
    });
    return list;
}

void SyncList(mui::Object& object, QWidget& widget, Tag attribute)
{
    auto* list = dynamic_cast<ListWidget*>(&widget);
    if (list == nullptr)
        return;
    const bool all = attribute == 0;
    const QSignalBlocker blocker(list);
    if (all || attribute == MUIA_NList_DragSortable) {
        const bool sortable = object.GetLong(MUIA_NList_DragSortable) != 0;
        list->setDragEnabled(sortable);
        list->setAcceptDrops(sortable);
        list->setDropIndicatorShown(sortable);
        list->setDragDropMode(sortable ? QAbstractItemView::InternalMove : QAbstractItemView::NoDragDrop);
    }
    if (all || attribute == MUIA_NList_MinLineHeight)
        SyncItems(object, *list);
    if (all || attribute == MUIA_NList_Active) {
        const LONG active = object.GetLong(MUIA_NList_Active, MUIV_NList_Active_Off);
        if (active >= 0 && active < list->count()) {
            list->setCurrentRow(active);
            list->scrollToItem(list->item(active));
        } else if (active < 0) {
            list->setCurrentRow(-1);
            list->clearSelection();
        }
    }
}

void ListEntries(mui::Object& object, QWidget& widget)
{
    auto* list = dynamic_cast<ListWidget*>(&widget);
    if (list == nullptr)
        return;
    {
        const QSignalBlocker blocker(list);
        SyncItems(object, *list);
    }
    SyncList(object, widget, MUIA_NList_Active);
}

} // namespace qtview::detail

// Radio buttons: one per entry, one above the other.
#include "qtview/faces.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace qtview::detail {

QWidget* BuildRadio(mui::Object& object, FaceHost& host)
{
    auto* container = new QWidget;
    auto* layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* group = new QButtonGroup(container);
    int id = 0;
    for (const std::string& entry : object.entries()) {
        auto* button = new QRadioButton(QString::fromStdString(entry));
        group->addButton(button, id++);
        layout->addWidget(button);
    }
    QObject::connect(group, &QButtonGroup::idClicked, container, [&host, &object](int entry) {
        HandOver(host, object, "UserRadio", mui::UserRadio, entry, MUIA_Radio_Active);
    });
    return container;
}

void SyncRadio(mui::Object& object, QWidget& widget, Tag attribute)
{
    auto* group = widget.findChild<QButtonGroup*>();
    if (group == nullptr || (attribute != 0 && attribute != MUIA_Radio_Active))
        return;
    const QSignalBlocker blocker(group);
    if (QAbstractButton* button = group->button(object.GetLong(MUIA_Radio_Active)))
        button->setChecked(true);
}

} // namespace qtview::detail

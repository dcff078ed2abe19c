// A cycle gadget: a combo box.
#include "qtview/faces.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace qtview::detail {

QWidget* BuildCycle(mui::Object& object, FaceHost& host)
{
    auto* combo = new QComboBox;
    QObject::connect(combo, &QComboBox::activated, combo, [&host, &object](int index) {
        HandOver(host, object, "UserCycle", mui::UserCycle, index, MUIA_Cycle_Active);
    });
    return combo;
}

void SyncCycle(mui::Object& object, QWidget& widget, Tag attribute)
{
    auto* combo = qobject_cast<QComboBox*>(&widget);
    if (combo == nullptr)
        return;
    if (attribute == 0)
        CycleEntries(object, widget);
    if (attribute == 0 || attribute == MUIA_Cycle_Active) {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(object.GetLong(MUIA_Cycle_Active));
    }
}

void CycleEntries(mui::Object& object, QWidget& widget)
{
    auto* combo = qobject_cast<QComboBox*>(&widget);
    if (combo == nullptr)
        return;
    const QSignalBlocker blocker(combo);
    combo->clear();
    for (const std::string& entry : object.entries())
        combo->addItem(QString::fromStdString(entry));
    combo->setCurrentIndex(object.GetLong(MUIA_Cycle_Active));
}

} // namespace qtview::detail

// A slider: a horizontal slider with its value beside it.
#include "qtview/faces.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace qtview::detail {

QWidget* BuildSlider(mui::Object& object, FaceHost& host)
{
    auto* container = new QWidget;
    auto* layout = new QHBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setMinimumWidth(60);
    auto* display = new QLabel;
    display->setObjectName(QStringLiteral("value"));
    display->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(slider, 1);
    layout->addWidget(display, 0);
    QObject::connect(slider, &QSlider::valueChanged, slider, [&host, &object, display](int value) {
        display->setNum(value);
        HandOver(host, object, "UserSlide", mui::UserSlide, value, MUIA_Numeric_Value);
    });
    return container;
}

void SyncSlider(mui::Object& object, QWidget& widget, Tag attribute)
{
    auto* slider = widget.findChild<QSlider*>();
    if (slider == nullptr
        || (attribute != 0 && attribute != MUIA_Numeric_Min && attribute != MUIA_Numeric_Max
            && attribute != MUIA_Numeric_Value))
        return;
    const QSignalBlocker blocker(slider);
    const LONG minimum = object.GetLong(MUIA_Numeric_Min);
    const LONG maximum = object.GetLong(MUIA_Numeric_Max);
    slider->setRange(minimum, maximum);
    slider->setValue(object.GetLong(MUIA_Numeric_Value));
    if (auto* display = widget.findChild<QLabel*>(QStringLiteral("value"))) {
        // Wide enough for every value of the range.
        const QFontMetrics metrics(display->font());
        const int width = std::max(metrics.horizontalAdvance(QString::number(minimum)),
                                   metrics.horizontalAdvance(QString::number(maximum)));
        display->setMinimumWidth(width);
        display->setNum(static_cast<int>(object.GetLong(MUIA_Numeric_Value)));
    }
}

} // namespace qtview::detail

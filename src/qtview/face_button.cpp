// A text button, and a file field's pop-up button.
#include "qtview/faces.h"
#include "qtview/objectview.h"
#include "qtview/qtview.h"

#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace qtview::detail {

QWidget* BuildButton(mui::Object& object, FaceHost& /*host*/)
{
    auto* button = new QPushButton;
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, button, [&object] {
        ReportAction("UserPress");
        mui::UserPress(&object);
    });
    return button;
}

void SyncButton(mui::Object& object, QWidget& widget, Tag attribute)
{
    auto* button = qobject_cast<QPushButton*>(&widget);
    if (button != nullptr && (attribute == 0 || attribute == MUIA_Text_Contents))
        button->setText(ButtonText(object.GetString(MUIA_Text_Contents).value_or(std::string())));
}

QWidget* BuildPopButton(mui::Object& object, FaceHost& /*host*/)
{
    auto* button = new QToolButton;
    button->setIcon(button->style()->standardIcon(QStyle::SP_DirOpenIcon));
    button->setToolTip(QStringLiteral("Choose a file"));
    QObject::connect(button, &QToolButton::clicked, button, [&object] {
        mui::Object* field = object.parent();
        if (field != nullptr && field->kind() == mui::Kind::Popasl) {
            ReportAction("UserPopRequester");
            mui::UserPopRequester(field);
        } else {
            ReportAction("UserPress");
            mui::UserPress(&object);
        }
    });
    return button;
}

} // namespace qtview::detail

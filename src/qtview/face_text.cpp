// A text display or a fixed label: a label that draws the text-engine codes
// it understands.
#include "qtview/faces.h"
#include "qtview/qtview.h"

#include <QLabel>

namespace qtview::detail {

QWidget* BuildText(mui::Object& /*object*/, FaceHost& /*host*/)
{
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    return label;
}

void SyncText(mui::Object& object, QWidget& widget, Tag attribute)
{
    auto* label = qobject_cast<QLabel*>(&widget);
    if (label == nullptr || (attribute != 0 && attribute != MUIA_Text_Contents))
        return;
    // Labels stand before the gadget they name.
    const Qt::Alignment fallback = object.kind() == mui::Kind::Label ? Qt::AlignRight : Qt::AlignLeft;
    const DisplayText shown = ParseDisplayText(object.GetString(MUIA_Text_Contents).value_or(std::string()), fallback);
    label->setText(shown.text);
    label->setAlignment(shown.alignment | Qt::AlignVCenter);
    QFont font = label->font();
    font.setBold(shown.bold);
    font.setItalic(shown.italic);
    font.setUnderline(shown.underline);
    label->setFont(font);
}

} // namespace qtview::detail

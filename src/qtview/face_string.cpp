// A string: a line edit.
#include "qtview/faces.h"
#include "qtview/objectview.h"
#include "qtview/widgets.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace qtview::detail {

QWidget* BuildString(mui::Object& object, FaceHost& host)
{
    auto* edit = new QLineEdit;
    QObject::connect(edit, &QLineEdit::textEdited, edit, [&host, &object](const QString& text) {
        ReportAction("UserType");
        mui::UserType(&object, text.toStdString());
        // The model may have cut the text or refused it.
        host.Resync(object, MUIA_String_Contents);
    });
    return edit;
}

void SyncString(mui::Object& object, QWidget& widget, Tag attribute)
{
    auto* edit = qobject_cast<QLineEdit*>(&widget);
    if (edit == nullptr)
        return;
    const QSignalBlocker blocker(edit);
    if (attribute == 0 || attribute == MUIA_String_MaxLen) {
        const LONG maxLength = object.GetLong(MUIA_String_MaxLen);
        auto* limit = dynamic_cast<LengthLimit*>(const_cast<QValidator*>(edit->validator()));
        if (limit == nullptr) {
            limit = new LengthLimit(*edit);
            edit->setValidator(limit);
        }
        limit->SetLimit(maxLength > 1 ? maxLength - 1 : 0);
    }
    if (attribute == 0 || attribute == MUIA_String_Contents) {
        const std::string contents = object.GetString(MUIA_String_Contents).value_or(std::string());
        const QString text = QString::fromStdString(contents);
        if (edit->text() != text)
            edit->setText(text);
    }
}

} // namespace qtview::detail

// A picture: an image file at its natural size.
#include "qtview/faces.h"
#include "qtview/widgets.h"

#include "os/dos.h"

namespace qtview::detail {

QPixmap LoadPicture(const std::optional<std::string>& file)
{
    if (!file || file->empty())
        return {};
    const std::optional<std::string> host = HostPath(*file);
    if (!host)
        return {};
    QPixmap picture;
    picture.load(QString::fromStdString(*host));
    return picture;
}

QWidget* BuildPicture(mui::Object& /*object*/, FaceHost& /*host*/)
{
    auto* picture = new PictureLabel;
    picture->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return picture;
}

void SyncPicture(mui::Object& object, QWidget& widget, Tag attribute)
{
    auto* picture = dynamic_cast<PictureLabel*>(&widget);
    if (picture == nullptr || (attribute != 0 && attribute != MUIA_NBitmap_Normal))
        return;
    picture->SetPicture(LoadPicture(object.GetString(MUIA_NBitmap_Normal)));
}

} // namespace qtview::detail

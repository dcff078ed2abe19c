// The gadget kinds that have a face of their own.
#include "qtview/faces.h"
#include "qtview/objectview.h"

namespace qtview::detail {

namespace {

void SyncNothing(mui::Object& /*object*/, QWidget& /*widget*/, Tag /*attribute*/) {}

const GadgetFace kFaces[] = {
    {.kind = mui::Kind::String, .build = BuildString, .sync = SyncString, .entries = nullptr},
    {.kind = mui::Kind::Text, .build = BuildText, .sync = SyncText, .entries = nullptr},
    {.kind = mui::Kind::Label, .build = BuildText, .sync = SyncText, .entries = nullptr},
    {.kind = mui::Kind::Button, .build = BuildButton, .sync = SyncButton, .entries = nullptr},
    {.kind = mui::Kind::PopButton, .build = BuildPopButton, .sync = SyncNothing, .entries = nullptr},
    {.kind = mui::Kind::Cycle, .build = BuildCycle, .sync = SyncCycle, .entries = CycleEntries},
    {.kind = mui::Kind::Slider, .build = BuildSlider, .sync = SyncSlider, .entries = nullptr},
    {.kind = mui::Kind::Radio, .build = BuildRadio, .sync = SyncRadio, .entries = nullptr},
    {.kind = mui::Kind::NList, .build = BuildList, .sync = SyncList, .entries = ListEntries},
    {.kind = mui::Kind::NBitmap, .build = BuildPicture, .sync = SyncPicture, .entries = nullptr},
};

} // namespace

void HandOver(FaceHost& host, mui::Object& object, std::string_view action, bool (*user)(mui::Object*, LONG),
              LONG value, Tag attribute)
{
    ReportAction(action);
    if (!user(&object, value))
        host.Resync(object, attribute);
}

const GadgetFace* FaceOf(mui::Kind kind)
{
    for (const GadgetFace& face : kFaces) {
        if (face.kind == kind)
            return &face;
    }
    return nullptr;
}

} // namespace qtview::detail

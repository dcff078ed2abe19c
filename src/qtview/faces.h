// One small face per kind of gadget (internal to the Qt front end): how its
// widget is built and how it follows the model, side by side in a file of
// its own. The object view looks a kind's face up here; windows, groups,
// file fields, list views, spaces and menus are built by the view itself.
#pragma once

#include "mui/mui.h"

#include <QPixmap>

#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace qtview::detail {

// What a face may ask of the view.
class FaceHost {
public:
    virtual ~FaceHost() = default;
    // Brings the widget in line with the model again (after the model cut
    // or refused a user's edit).
    virtual void Resync(mui::Object& object, Tag attribute) = 0;
    // A picture changed: the lists that show it and the groups whose size
    // depends on it follow.
    virtual void PictureChanged(mui::Object& picture) = 0;
};

// Hands a user's choice of a number to the model through `user` (mui.h's
// User* call, which the trace names `action`); where the model refuses
// it, the widget shows the model's `attribute` again.
void HandOver(FaceHost& host, mui::Object& object, std::string_view action, bool (*user)(mui::Object*, LONG),
              LONG value, Tag attribute);

struct GadgetFace {
    mui::Kind kind;
    // Makes the widget and connects the user's edits to mui::User*.
    QWidget* (*build)(mui::Object& object, FaceHost& host);
    // Shows one attribute of the model, or all of them (0). Signals are
    // blocked: nothing shown comes back as a user's edit.
    void (*sync)(mui::Object& object, QWidget& widget, Tag attribute);
    // Shows the object's entries again; null for kinds without entries.
    void (*entries)(mui::Object& object, QWidget& widget);
};

// The face of a kind; null for the kinds the view builds itself.
const GadgetFace* FaceOf(mui::Kind kind);

QWidget* BuildString(mui::Object& object, FaceHost& host);
void SyncString(mui::Object& object, QWidget& widget, Tag attribute);
QWidget* BuildText(mui::Object& object, FaceHost& host);
void SyncText(mui::Object& object, QWidget& widget, Tag attribute);
QWidget* BuildButton(mui::Object& object, FaceHost& host);
void SyncButton(mui::Object& object, QWidget& widget, Tag attribute);
QWidget* BuildPopButton(mui::Object& object, FaceHost& host);
QWidget* BuildCycle(mui::Object& object, FaceHost& host);
void SyncCycle(mui::Object& object, QWidget& widget, Tag attribute);
void CycleEntries(mui::Object& object, QWidget& widget);
QWidget* BuildSlider(mui::Object& object, FaceHost& host);
void SyncSlider(mui::Object& object, QWidget& widget, Tag attribute);
QWidget* BuildRadio(mui::Object& object, FaceHost& host);
void SyncRadio(mui::Object& object, QWidget& widget, Tag attribute);
QWidget* BuildList(mui::Object& object, FaceHost& host);
void SyncList(mui::Object& object, QWidget& widget, Tag attribute);
void ListEntries(mui::Object& object, QWidget& widget);
QWidget* BuildPicture(mui::Object& object, FaceHost& host);
void SyncPicture(mui::Object& object, QWidget& widget, Tag attribute);

// A picture file named the way the program names files (bare names from
// the current folder, volumes such as "T:"); none for no file or an unknown
// volume, a null picture for a file that cannot be read.
QPixmap LoadPicture(const std::optional<std::string>& file);

} // namespace qtview::detail

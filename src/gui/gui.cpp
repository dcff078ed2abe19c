#include "gui/gui.h"

#include "gui/vocabulary.h"
#include "platform/dos.h"

namespace {
constexpr const char* kNoImageAvailable = "NoImageAvailable.png";
}

void SetButtonImage(mui::Object* button, std::optional<std::string_view> filename)
{
    mui::set(button, MUIA_NBitmap_Type, LONG{0});
    if (!filename) {
        mui::set(button, MUIA_NBitmap_Normal, std::monostate{});
        return;
    }
    FileLock lock = Lock(*filename, ACCESS_READ);
    if (!lock) {
        // When the fall-back picture is missing too the gadget shows none.
        if (*filename != kNoImageAvailable)
            SetButtonImage(button, kNoImageAvailable);
        else
            mui::set(button, MUIA_NBitmap_Normal, std::monostate{});
        return;
    }
    UnLock(std::move(lock));
    mui::set(button, MUIA_NBitmap_Normal, std::string(*filename));
}

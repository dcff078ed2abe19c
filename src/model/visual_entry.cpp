#include "model/visual_entry.h"

#include "model/project_view.h"
#include "model/tables.h"
#include "os/dos.h"

#include <variant>

namespace {

constexpr const char* kNoImageAvailable = "NoImageAvailable.png";

} // namespace

std::string ImageSlotText(LONG slot) { return "\x1bo[" + std::to_string(slot) + "]"; }

mui::Object* MakeListPicture()
{
    if (!gVisualList)
        return nullptr;
    mui::ObjectPtr picture = mui::MakeNBitmap(kNoImageAvailable);
    if (!picture)
        return nullptr;
    return gVisualList->AdoptImage(std::move(picture));
}

void AddVisualEntry(Crouton* crouton, LONG slot)
{
    mui::NList_UseImage(gVisualList, crouton->previewImage, slot, 0);
    crouton->previewImageText = ImageSlotText(slot);
    mui::NList_InsertSingle(gVisualList, *crouton->previewImageText, MUIV_NList_Insert_Bottom);
    kprintf("Created previewImage at %p.\n", static_cast<void*>(crouton->previewImage));
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

void ShowCroutonPicture(const Crouton* crouton)
{
    if (!crouton || !crouton->previewImage)
        return;
    const auto& picture = crouton->previewFilename[ClampPreviewFrame(crouton->previewFrame)];
    if (picture)
        SetButtonImage(crouton->previewImage, std::string_view(*picture));
    else
        SetButtonImage(crouton->previewImage, std::string_view(kNoImageAvailable));
}

#include "model/visual_entry.h"

#include "gui/vocabulary.h"

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

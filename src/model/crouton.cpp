// The crouton record: creation, the lock on its crouton file, destruction,
// the play length of an image crouton and the path helper.
#include "model/crouton.h"

#include "model/visual_entry.h"
#include "model/tables.h"
#include "mui/mui.h"

#include <cmath>
#include <cstdio>
#include <new>
#include <variant>

namespace {

// Address for a "%p" trace of an owned text.
const void* TraceAddress(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

} // namespace

std::unique_ptr<Crouton> CreateCrouton()
{
    // Every default lives in the record's own initialisers.
    try {
        return std::make_unique<Crouton>();
    } catch (const std::bad_alloc&) {
        kprintf("Couldn't create new crouton - no memory.\n");
        return nullptr;
    }
}

std::string BuildFullPath(std::string_view directory, std::string_view file)
{
    std::string path;
    if (!directory.empty()) {
        path.reserve(directory.size() + 1 + file.size());
        path.append(directory);
        // The host's root folder is "/" already; elsewhere a doubled "/"
        // keeps its AmigaDOS meaning (the parent folder).
        if (directory.back() != ':' && directory != "/")
            path.push_back('/');
    }
    path.append(file);
    return path;
}

PathParts SplitPath(std::string_view path)
{
    std::size_t split = path.rfind('/');
    if (split != std::string_view::npos)
        return {std::string(path.substr(0, split == 0 ? 1 : split)), std::string(path.substr(split + 1))};
    split = path.rfind(':');
    if (split != std::string_view::npos)
        return {std::string(path.substr(0, split + 1)), std::string(path.substr(split + 1))};
    return {std::string(), std::string(path)};
}

BOOL LockCrouton(Crouton* crouton)
{
    if (!crouton)
        return FALSE;
    const std::string path = BuildFullPath(crouton->directory.value_or(""), crouton->filename.value_or(""));
    // A crouton holds at most one lock; a second Lock on the same file would
    // be refused by our own, so the old one goes first.
    if (crouton->lock)
        UnLock(std::move(crouton->lock));
    crouton->lock = Lock(path, EXCLUSIVE_LOCK);
    kprintf("Locked crouton %s.\n", path.c_str());
    // TRUE whether or not the lock was granted: a new crouton is locked before
    // its file exists.
    return TRUE;
}

BOOL UnlockCrouton(Crouton* crouton)
{
    if (!crouton)
        return FALSE;
    kprintf("Unlocking crouton %p, lock is %p.\n", static_cast<const void*>(crouton),
            static_cast<const void*>(crouton->lock.get()));
    if (!crouton->lock)
        return FALSE;
    UnLock(std::move(crouton->lock));
    crouton->lock.reset();
    kprintf("Succeeded.\n");
    return TRUE;
}

void DestroyCrouton(std::unique_ptr<Crouton> crouton)
{
    if (!crouton)
        return;
    kprintf("Destroying crouton %p (%s).\n", static_cast<const void*>(crouton.get()), TraceText(crouton->name));
    if (crouton->lock)
        UnlockCrouton(crouton.get());

    kprintf("name:%s\n", TraceText(crouton->name));
    crouton->name.reset();
    kprintf("videoName:%s\n", TraceText(crouton->videoName));
    crouton->videoName.reset();
    kprintf("filename:%s\n", TraceText(crouton->filename));
    crouton->filename.reset();
    crouton->directory.reset();

    // The picture belongs to the visual list; it is only emptied here.
    kprintf("previewImage:%p\n", static_cast<const void*>(crouton->previewImage));
    if (crouton->previewImage) {
        SetButtonImage(crouton->previewImage, std::string_view("NoImageLoaded.png"));
        mui::set(crouton->previewImage, MUIA_NBitmap_Normal, std::monostate{});
        crouton->previewImage = nullptr;
    }

    kprintf("videoCodec: %p %s\n", TraceAddress(crouton->videoCodec), TraceText(crouton->videoCodec));
    crouton->videoCodec.reset();
    kprintf("audioCodec: %p %s\n", TraceAddress(crouton->audioCodec), TraceText(crouton->audioCodec));
    crouton->audioCodec.reset();
    crouton->soundtrack.reset();
    kprintf("previewImageText: %p %s\n", TraceAddress(crouton->previewImageText),
            TraceText(crouton->previewImageText));
    crouton->previewImageText.reset();
    for (auto& preview : crouton->previewFilename) {
        if (!preview)
            continue;
        kprintf("previewFilename: %p %s\n", TraceAddress(preview), TraceText(preview));
        preview.reset();
    }

    crouton.reset();
    kprintf("Crouton is destroyed.\n");
}

float GetCroutonLength(const Crouton* crouton, int numberOfFiles)
{
    float length = 0.0f;
    if (crouton) {
        const float rate = CroutonRate(crouton->fps, crouton->customFPS);
        // "Source (Video only)" has no rate of its own, and a custom rate may
        // be zero or not a number: the division then has no finite result,
        // and such a sequence has no length.
        if (std::isfinite(rate) && rate != 0.0f) {
            length = static_cast<float>(numberOfFiles - 1) / rate;
            if (!std::isfinite(length))
                length = 0.0f;
        }
    }
    std::printf("Crouton length for sample is %f.\n", static_cast<double>(length));
    std::fflush(stdout);
    return length;
}

// The Project menu's items for the kept pieces of croutons: emptying the
// store and turning keeping them on and off (model/piece_store.h).
#include "gui/loop.h"
#include "gui/vocabulary.h"

#include "model/piece_store.h"
#include "os/format.h"
#include "os/question.h"

#ifndef CLIPWEAVER_BASIC
namespace {

constexpr const char* kTitle = "Kept Pieces";

void EmptyPieces(LoopState&, LONG)
{
    const std::string folder = PieceStoreFolder();
    if (folder.empty()) {
        TellUser(kTitle, "There is no cache folder (is HOME set?), so no pieces are kept.");
        return;
    }
    const unsigned long long bytes = EmptyPieceStore();
    TellUser(kTitle, Format("The kept pieces (%.1f MB) were removed from %s.", static_cast<double>(bytes) / 1e6,
                            folder.c_str()));
}

void KeepPieces(LoopState&, LONG)
{
    SetPieceStoreSetting(!PieceStoreSetting());
    if (!PieceStoreSetting())
        TellUser(kTitle, "Renders no longer keep or take the finished pieces of croutons; every crouton is encoded "
                         "each time.");
    else if (!PieceStoreOn())
        TellUser(kTitle, "Renders would keep the finished pieces of croutons, but CLIPWEAVER_NO_PIECE_CACHE in the "
                         "environment turns that off.");
    else
        TellUser(kTitle, "Renders keep the finished pieces of croutons in " + PieceStoreFolder()
                             + " and take them again when nothing that makes them has changed.");
}

const ReturnIdRow kRows[] = {
    {MEN_EMPTY_PIECES, EmptyPieces},
    {MEN_KEEP_PIECES, KeepPieces},
};

} // namespace

std::span<const ReturnIdRow> PieceStoreReturnIds() { return kRows; }
#else
// ClipweaverBasic has no menu: CLIPWEAVER_NO_PIECE_CACHE=1 turns the store off.
std::span<const ReturnIdRow> PieceStoreReturnIds() { return {}; }
#endif

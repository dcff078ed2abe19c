// The render's store of finished pieces: a crouton whose piece was made
// before, from the same line and the same files, takes that piece instead
// of being encoded again. The store lives in the user's cache folder
// (PieceStoreFolder), is shared by every instance and bounded
// (os/cache_store.h); CLIPWEAVER_NO_PIECE_CACHE=1 or the user's setting
// turn it off, and a render is then exactly what it was without it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class CacheStore;

// What a store may hold at most; less when its disk is short of room.
inline constexpr unsigned long long kPieceStoreBytes = 2ULL * 1024 * 1024 * 1024;

class PieceStore {
public:
    // The store for one render whose output is named `output`; none when
    // the store is turned off or the cache folder cannot be made.
    static std::unique_ptr<PieceStore> ForRender(std::string_view output);
    PieceStore(std::string folder, std::string outputKind);
    ~PieceStore(); // the store is trimmed to its bound
    PieceStore(const PieceStore&) = delete;
    PieceStore& operator=(const PieceStore&) = delete;

    // The key of the piece `command` writes into `file`: the line with its
    // output named alike whatever it is, the identity of every file it
    // reads (each picture of a list), the content of the T: files it
    // names, the output kind and the plan's version. Called in the
    // crouton's lane, after its plan wrote its files there.
    std::string KeyOf(const std::string& command, std::string_view file) const;
    // Puts the piece kept under `key` (and the files beside it) at `file`,
    // checked; false when there is none or it failed its check.
    bool Take(const std::string& key, std::string_view file) const;
    // Whether a piece is kept under `key` (not yet checked).
    bool Has(const std::string& key) const;
    // Keeps the piece at `file` (and the files beside it) under `key`.
    void Keep(const std::string& key, std::string_view file) const;

private:
    std::unique_ptr<CacheStore> store_;
    std::string outputKind_;
};

// Whether renders keep and take pieces: the user's setting, unless
// CLIPWEAVER_NO_PIECE_CACHE=1 turns the store off.
bool PieceStoreOn();
// The user's setting (on by default).
void SetPieceStoreSetting(bool on);
bool PieceStoreSetting();
// Where the pieces are kept; empty when there is no cache folder.
std::string PieceStoreFolder();
// Removes every kept piece; the bytes they held.
unsigned long long EmptyPieceStore();

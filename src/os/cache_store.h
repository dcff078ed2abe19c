// A store of finished files in the user's cache folder, shared by every
// running instance: entries of named files found by a key, checked before
// use, written whole or not at all, and bounded in size (the least recently
// used go first). It knows nothing of what the files are; the render's
// piece store (model/piece_store.cpp) says what goes in and what a key is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The program's folder under an XDG base folder: $VARIABLE/clipweaver, else
// ~/UNDERHOME/clipweaver (made when missing); empty when there is none.
std::string UserFolder(const char* variable, std::string_view underHome);
// $XDG_CACHE_HOME/clipweaver, else ~/.cache/clipweaver, made when missing;
// empty when neither can be (no HOME, a folder that cannot be made).
std::string CacheFolder();

// A file as it stands: device, inode, size and modification time, as one
// line of text; none when there is no such file.
std::optional<std::string> FileStamp(const std::string& hostPath);
// A hash of a file's content (hex); none when it cannot be read.
std::optional<std::string> ContentHash(const std::string& hostPath);
// A hash of the files' contents end to end, as if they were one file;
// none when one cannot be read.
std::optional<std::string> ContentHashOf(const std::vector<std::string>& hostPaths);
// A hash of a text (hex), for names made from long keys.
std::string TextHash(std::string_view text);
// The program `name` that PATH finds first, as "FOLDER/NAME STAMP": another
// build of a tool may answer otherwise. "none" when PATH finds none.
std::string ProgramStamp(std::string_view name);

// One file of an entry: its name within the entry and where it is on the host.
struct StoredFile {
    std::string name;
    std::string hostPath;
};

class CacheStore {
public:
    // The store in `folder` (made when missing), bounded to `limit` bytes,
    // or less when its disk is short of room (CacheLimitFor).
    CacheStore(std::string folder, std::uint64_t limit);

    // Puts the entry's files where `files` says, each checked against the
    // size and hash written beside it. False when there is no entry for the
    // key, or it is not whole: a file that fails its check takes the entry
    // with it, and nothing is left at the destinations.
    bool Take(std::string_view key, const std::vector<StoredFile>& files) const;
    // The text kept under the key as the file `name`, checked as Take
    // checks; none when there is none or it is not whole.
    std::optional<std::string> TakeText(std::string_view key, std::string_view name) const;
    // Keeps `text` as the file `name` under the key, as Keep keeps files.
    bool KeepText(std::string_view key, std::string_view name, std::string_view text) const;
    // Whether an entry is kept under the key (unchecked).
    bool Has(std::string_view key) const;
    // Keeps copies of the files (those that exist) under the key. The entry
    // appears whole or not at all; an entry already there stays.
    bool Keep(std::string_view key, const std::vector<StoredFile>& files) const;
    // Removes the least recently used entries until the store fits its
    // bound, and what killed writers left behind (their process is gone).
    void Trim() const;
    // Removes every entry.
    void Empty() const;
    // The bytes its entries hold.
    std::uint64_t Size() const;
    const std::string& Folder() const { return folder_; }

private:
    std::string EntryFolder(std::string_view key) const;

    std::string folder_;
    std::uint64_t limit_;
};

// The store's bound: `wanted` bytes, or less when the disk holding `folder`
// is short of room (the store never takes more than half of what would be
// free without it). `used` is what the store holds now.
std::uint64_t CacheLimitFor(const std::string& folder, std::uint64_t wanted, std::uint64_t used);

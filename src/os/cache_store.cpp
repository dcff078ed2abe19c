// The cache store on disk. An entry is a folder named after its key's hash
// holding the key itself ("key"), each file's size and hash ("sums") and
// the files ("file.NAME"). It is written in a hidden folder beside the
// others and renamed into place, so that an entry is whole or absent
// whatever kills its writer; a reader of another instance that finds it
// gone (taken away by a trim or a failed check) simply makes the files
// again. An entry's folder time is its last use.
#include "os/cache_store.h"

#include "os/command.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kKeyFile = "key";
constexpr const char* kSumsFile = "sums";
constexpr const char* kFilePrefix = "file.";
constexpr const char* kNewPrefix = ".new-";
constexpr const char* kGonePrefix = ".gone-";
constexpr std::size_t kChunk = 1 << 20;

// Two 64-bit lanes over 8-byte words; enough to tell a damaged or
// truncated file from the one that was kept (not a defence against
// malice: the store is the user's own).
class Hasher {
public:
    void Add(const unsigned char* data, std::size_t size)
    {
        length_ += size;
        std::size_t i = 0;
        // Whole words at once where a word is its bytes in order (as the
        // loop below puts them): the same hash, a third faster.
        if constexpr (std::endian::native == std::endian::little) {
            while (filled_ != 0 && i < size)
                AddByte(data[i++]);
            for (; i + 8 <= size; i += 8) {
                std::memcpy(&word_, data + i, 8);
                Flush();
            }
        }
        for (; i < size; ++i)
            AddByte(data[i]);
    }
    std::string Hex()
    {
        if (filled_ > 0)
            Flush();
        static const char* digits = "0123456789abcdef";
        std::string text;
        for (std::uint64_t value : {Final(a_ ^ length_), Final(b_ + length_)})
            for (int shift = 60; shift >= 0; shift -= 4)
                text += digits[(value >> shift) & 15];
        return text;
    }

private:
    void AddByte(unsigned char byte)
    {
        word_ |= static_cast<std::uint64_t>(byte) << (8 * filled_);
        if (++filled_ == 8)
            Flush();
    }
    static std::uint64_t Final(std::uint64_t x)
    {
        x ^= x >> 30;
        x *= 0xBF58476D1CE4E5B9ULL;
        x ^= x >> 27;
        x *= 0x94D049BB133111EBULL;
        return x ^ (x >> 31);
    }
    void Flush()
    {
        a_ = ((a_ ^ word_) * 0x9E3779B97F4A7C15ULL);
        a_ ^= a_ >> 29;
        b_ = (b_ + word_) * 0xC2B2AE3D27D4EB4FULL;
        b_ = (b_ << 31) | (b_ >> 33);
        word_ = 0;
        filled_ = 0;
    }
    std::uint64_t a_ = 0x243F6A8885A308D3ULL;
    std::uint64_t b_ = 0x13198A2E03707344ULL;
    std::uint64_t word_ = 0;
    std::uint64_t length_ = 0;
    int filled_ = 0;
};

struct Sum {
    std::uint64_t size = 0;
    std::string hash;
};

// Reads `from` whole into `hasher`, counting its bytes into `size`, and
// writes it to `to` (a new file) when `to` is given; false when it could
// not be read or written.
bool ReadHashing(const std::string& from, const std::string* to, Hasher& hasher, std::uint64_t& size)
{
    FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.Valid())
        return false;
    FileDescriptor out;
    if (to) {
        out = FileDescriptor(::open(to->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!out.Valid())
            return false;
    }
    std::vector<unsigned char> buffer(kChunk);
    while (true) {
        const ssize_t got = ::read(in.Get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        hasher.Add(buffer.data(), static_cast<std::size_t>(got));
        size += static_cast<std::uint64_t>(got);
        for (ssize_t done = 0; to && done < got;) {
            const ssize_t put = ::write(out.Get(), buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            done += put;
        }
    }
    return true;
}

// Reads `from` whole, hashing it, and writes it to `to` (a new file) when
// `to` is given; its size and hash, or none when it could not be read or
// written.
std::optional<Sum> CopyHashing(const std::string& from, const std::string* to)
{
    Hasher hasher;
    Sum sum;
    if (!ReadHashing(from, to, hasher, sum.size))
        return std::nullopt;
    sum.hash = hasher.Hex();
    return sum;
}

std::optional<std::string> ReadText(const std::string& path)
{
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid())
        return std::nullopt;
    std::string text;
    std::string buffer(65536, '\0');
    while (true) {
        const ssize_t got = ::read(file.Get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return text;
        text.append(buffer.data(), static_cast<std::size_t>(got));
    }
}

bool WriteText(const std::string& path, std::string_view text)
{
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file.Valid())
        return false;
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t put = ::write(file.Get(), text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// "NAME SIZE HASH" lines.
std::map<std::string, Sum> ParseSums(const std::string& text)
{
    std::map<std::string, Sum> sums;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t first = line.find(' ');
        const std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
        if (second == std::string::npos)
            continue;
        Sum sum;
        sum.size = std::strtoull(line.substr(first + 1, second - first - 1).c_str(), nullptr, 10);
        sum.hash = line.substr(second + 1);
        sums[line.substr(0, first)] = sum;
    }
    return sums;
}

// A name no other writer takes: this process's id and a count.
std::string UniqueName(const char* prefix)
{
    static std::atomic<unsigned> count{0};
    return std::string(prefix) + std::to_string(::getpid()) + "-" + std::to_string(count++);
}

// The process that wrote a hidden folder, when it still runs.
bool WriterRuns(const std::string& name, const char* prefix)
{
    const long pid = std::strtol(name.c_str() + std::string_view(prefix).size(), nullptr, 10);
    if (pid <= 0)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// Out of sight first, then away: a reader never sees half an entry.
void Discard(const std::string& entry, const std::string& folder)
{
    const std::string gone = folder + "/" + UniqueName(kGonePrefix);
    std::error_code error;
    if (::rename(entry.c_str(), gone.c_str()) == 0)
        fs::remove_all(gone, error);
}

std::uint64_t FolderBytes(const fs::path& folder)
{
    std::uint64_t bytes = 0;
    std::error_code error;
    for (const fs::directory_entry& file : fs::directory_iterator(folder, error)) {
        std::error_code sizeError;
        const auto size = file.file_size(sizeError);
        if (!sizeError)
            bytes += size;
    }
    return bytes;
}

struct EntryUse {
    fs::path path;
    std::int64_t used = 0; // the folder's time in nanoseconds
    std::uint64_t bytes = 0;
};

} // namespace

std::string UserFolder(const char* variable, std::string_view underHome)
{
    std::string folder;
    if (const char* named = std::getenv(variable); named && named[0] == '/')
        folder = std::string(named) + "/clipweaver";
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        folder = std::string(home) + "/" + std::string(underHome) + "/clipweaver";
    else
        return {};
    std::error_code error;
    fs::create_directories(folder, error);
    return error ? std::string() : folder;
}

std::string CacheFolder() { return UserFolder("XDG_CACHE_HOME", ".cache"); }

std::optional<std::string> FileStamp(const std::string& hostPath)
{
    struct stat info {};
    if (::stat(hostPath.c_str(), &info) != 0)
        return std::nullopt;
    return std::to_string(info.st_dev) + " " + std::to_string(info.st_ino) + " " + std::to_string(info.st_size) + " "
        + std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
}

std::optional<std::string> ContentHash(const std::string& hostPath) { return ContentHashOf({hostPath}); }

std::optional<std::string> ContentHashOf(const std::vector<std::string>& hostPaths)
{
    Hasher hasher;
    std::uint64_t size = 0;
    for (const std::string& path : hostPaths)
        if (!ReadHashing(path, nullptr, hasher, size))
            return std::nullopt;
    return hasher.Hex();
}

std::string TextHash(std::string_view text)
{
    Hasher hasher;
    hasher.Add(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    return hasher.Hex();
}

std::string ProgramStamp(std::string_view name)
{
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/bin";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string program = std::string(rest.substr(0, colon)) + "/" + std::string(name);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (const auto found = FileStamp(program))
            return program + " " + *found;
    }
    return "none";
}

CacheStore::CacheStore(std::string folder, std::uint64_t limit) : folder_(std::move(folder)), limit_(limit)
{
    std::error_code error;
    fs::create_directories(folder_, error);
}

std::string CacheStore::EntryFolder(std::string_view key) const { return folder_ + "/" + TextHash(key); }

bool CacheStore::Take(std::string_view key, const std::vector<StoredFile>& files) const
{
    const std::string entry = EntryFolder(key);
    const auto storedKey = ReadText(entry + "/" + kKeyFile);
    if (!storedKey || *storedKey != key)
        return false;
    const auto sumsText = ReadText(entry + "/" + kSumsFile);
    if (!sumsText)
        return false;
    const std::map<std::string, Sum> sums = ParseSums(*sumsText);
    std::vector<std::pair<std::string, std::string>> placed; // scratch, destination
    const auto undo = [&placed] {
        for (const auto& [scratch, destination] : placed)
            ::unlink(scratch.c_str());
        return false;
    };
    for (const auto& [storedName, sum] : sums) {
        // A named copy: a lambda may not capture a structured binding before C++20 in every compiler.
        const std::string& name = storedName;
        const auto file = std::find_if(files.begin(), files.end(), [&name](const StoredFile& f) { return f.name == name; });
        if (file == files.end())
            return undo(); // kept by a program that wrote other files
        const std::string scratch = file->hostPath + ".cwtake";
        placed.emplace_back(scratch, file->hostPath);
        // A file missing from its entry is damage too (a trim takes whole
        // entries); at worst another instance's fresh entry is made again.
        const auto copied = CopyHashing(entry + "/" + kFilePrefix + name, &scratch);
        if (!copied || copied->size != sum.size || copied->hash != sum.hash) {
            Discard(entry, folder_);
            return undo();
        }
    }
    if (sums.empty())
        return false;
    for (const StoredFile& file : files)
        if (sums.count(file.name) == 0)
            ::unlink(file.hostPath.c_str());
    for (const auto& [scratch, destination] : placed)
        if (::rename(scratch.c_str(), destination.c_str()) != 0)
            return undo();
    ::utimensat(AT_FDCWD, entry.c_str(), nullptr, 0);
    return true;
}

std::optional<std::string> CacheStore::TakeText(std::string_view key, std::string_view name) const
{
    const std::string entry = EntryFolder(key);
    const auto storedKey = ReadText(entry + "/" + kKeyFile);
    if (!storedKey || *storedKey != key)
        return std::nullopt;
    const auto sumsText = ReadText(entry + "/" + kSumsFile);
    const std::map<std::string, Sum> sums = ParseSums(sumsText.value_or(std::string()));
    const auto sum = sums.find(std::string(name));
    if (sum == sums.end())
        return std::nullopt;
    std::optional<std::string> text = ReadText(entry + "/" + kFilePrefix + std::string(name));
    if (!text || text->size() != sum->second.size || TextHash(*text) != sum->second.hash) {
        Discard(entry, folder_);
        return std::nullopt;
    }
    ::utimensat(AT_FDCWD, entry.c_str(), nullptr, 0);
    return text;
}

bool CacheStore::KeepText(std::string_view key, std::string_view name, std::string_view text) const
{
    // The text goes in as a file of its own, so that it is kept whole or
    // not at all like any other; the hidden name is a writer's, which a
    // trim takes away once its process is gone.
    const std::string file = folder_ + "/" + UniqueName(kNewPrefix);
    const bool kept = WriteText(file, text) && Keep(key, {{std::string(name), file}});
    ::unlink(file.c_str());
    return kept;
}

bool CacheStore::Has(std::string_view key) const
{
    const auto storedKey = ReadText(EntryFolder(key) + "/" + kKeyFile);
    return storedKey && *storedKey == key;
}

bool CacheStore::Keep(std::string_view key, const std::vector<StoredFile>& files) const
{
    const std::string entry = EntryFolder(key);
    if (const auto storedKey = ReadText(entry + "/" + kKeyFile); storedKey && *storedKey == key) {
        ::utimensat(AT_FDCWD, entry.c_str(), nullptr, 0);
        return true;
    }
    const std::string scratch = folder_ + "/" + UniqueName(kNewPrefix);
    if (::mkdir(scratch.c_str(), 0755) != 0)
        return false;
    std::error_code error;
    std::string sums;
    for (const StoredFile& file : files) {
        if (::access(file.hostPath.c_str(), F_OK) != 0)
            continue;
        const std::string copy = scratch + "/" + kFilePrefix + file.name;
        const auto sum = CopyHashing(file.hostPath, &copy);
        if (!sum) {
            fs::remove_all(scratch, error);
            return false;
        }
        sums += file.name + " " + std::to_string(sum->size) + " " + sum->hash + "\n";
    }
    if (sums.empty() || !WriteText(scratch + "/" + kSumsFile, sums) || !WriteText(scratch + "/" + kKeyFile, key)) {
        fs::remove_all(scratch, error);
        return false;
    }
    // A hash shared by another key (or an entry that failed a check and
    // is on its way out) is replaced.
    if (::access(entry.c_str(), F_OK) == 0)
        Discard(entry, folder_);
    if (::rename(scratch.c_str(), entry.c_str()) != 0) {
        // Another instance kept the same piece first.
        fs::remove_all(scratch, error);
        return ::access((entry + "/" + kKeyFile).c_str(), F_OK) == 0;
    }
    return true;
}

void CacheStore::Trim() const
{
    std::vector<EntryUse> entries;
    std::uint64_t total = 0;
    std::error_code error;
    for (const fs::directory_entry& item : fs::directory_iterator(folder_, error)) {
        const std::string name = item.path().filename().string();
        for (const char* prefix : {kNewPrefix, kGonePrefix})
            if (name.starts_with(prefix) && !WriterRuns(name, prefix))
                fs::remove_all(item.path(), error);
        if (name.starts_with("."))
            continue;
        struct stat info {};
        if (::stat(item.path().c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            continue;
        EntryUse use{item.path(), static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
            FolderBytes(item.path())};
        total += use.bytes;
        entries.push_back(std::move(use));
    }
    std::sort(entries.begin(), entries.end(), [](const EntryUse& a, const EntryUse& b) { return a.used < b.used; });
    const std::uint64_t limit = CacheLimitFor(folder_, limit_, total);
    for (const EntryUse& use : entries) {
        if (total <= limit)
            break;
        Discard(use.path.string(), folder_);
        total -= use.bytes;
    }
}

void CacheStore::Empty() const
{
    std::error_code error;
    std::vector<fs::path> entries;
    for (const fs::directory_entry& item : fs::directory_iterator(folder_, error))
        entries.push_back(item.path());
    for (const fs::path& entry : entries) {
        const std::string name = entry.filename().string();
        if (name.starts_with(kNewPrefix) && WriterRuns(name, kNewPrefix))
            continue; // another instance is writing it
        if (name.starts_with("."))
            fs::remove_all(entry, error);
        else
            Discard(entry.string(), folder_);
    }
}

std::uint64_t CacheStore::Size() const
{
    std::uint64_t total = 0;
    std::error_code error;
    for (const fs::directory_entry& item : fs::directory_iterator(folder_, error))
        if (!item.path().filename().string().starts_with("."))
            total += FolderBytes(item.path());
    return total;
}

std::uint64_t CacheLimitFor(const std::string& folder, std::uint64_t wanted, std::uint64_t used)
{
    struct statvfs disk {};
    if (::statvfs(folder.c_str(), &disk) != 0)
        return wanted;
    const std::uint64_t free = static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize;
    return std::min(wanted, (free + used) / 2);
}

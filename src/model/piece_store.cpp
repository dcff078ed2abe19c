// The render's store of finished pieces: what decides a piece's bytes, and
// which files a crouton's run leaves. A key is a text that names all of it,
// so that a changed trim, setting, source or picture never finds the old
// piece; the store on disk finds an entry by the key's hash and compares
// the whole key.
#include "model/piece_store.h"

#include "model/tables.h"
#include "os/cache_store.h"
#include "os/command.h"
#include "os/dos.h"
#include "tools/probe_memory.h"
#include "tools/render_support.h"

#include <cstdlib>
#include <utility>
#include <vector>

namespace {

// Raised whenever the program plans a piece differently (the stand-in's
// ffmpeg runs, the piece's format), so that no old piece passes for a new one.
constexpr const char* kPlanVersion = "clipweaver piece plan 3";

constexpr const char* kListPrefix = "mf://@";

// The files a crouton's run may write beside its piece: named after the
// piece's output (a suffix), or a name of T: in the run's lane (the head and
// tail it gives to the transitions either side). A kind of run that writes
// more adds its row.
struct Companion {
    const char* name;
    const char* suffix;   // or
    const char* laneFile;
};
const std::vector<Companion>& Companions()
{
    static const std::vector<Companion> rows = {
        {.name = "head", .suffix = nullptr, .laneFile = "T:__CWHead"},
        {.name = "tail", .suffix = nullptr, .laneFile = "T:__CWTail"},
        {.name = "sound", .suffix = kSamplesBeside.data(), .laneFile = nullptr},
    };
    return rows;
}

// The user's choice, shared by every instance: a mark beside the pieces.
std::string OffMark()
{
    const std::string cache = CacheFolder();
    return cache.empty() ? std::string() : cache + "/pieces-off";
}

std::vector<StoredFile> FilesOf(std::string_view file)
{
    const std::string host = ToolPath(file);
    std::vector<StoredFile> files = {{"piece", host}};
    // Files named after the piece are kept only for a piece on T: (a
    // render's first piece is written at its output, whose folder is the
    // user's).
    const bool onTemporary = InTemporaryFolder(host);
    for (const Companion& companion : Companions()) {
        if (!companion.suffix)
            files.push_back({companion.name, ToolPath(companion.laneFile)});
        else if (onTemporary)
            files.push_back({companion.name, host + companion.suffix});
    }
    return files;
}

// What one word of the line reads: a file's identity, a T: file's content,
// each picture of a list; nothing for a word that names no file.
void AddReads(const std::string& word, std::string& key)
{
    if (word.starts_with(kListPrefix)) {
        FileHandle file = Open(ToolPath(word.substr(std::string_view(kListPrefix).size())), MODE_OLDFILE);
        key += "list " + word + "\n";
        while (file) {
            std::optional<std::string> line = FGets(*file);
            if (!line)
                break;
            while (!line->empty() && line->back() == '\n')
                line->pop_back();
            const std::string host = ToolPath(*line);
            key += "picture " + host + " " + FileStamp(host).value_or("missing") + "\n";
        }
        return;
    }
    const std::string host = ArgumentPath(word);
    const auto identity = FileStamp(host);
    if (!identity)
        return;
    if (InTemporaryFolder(host))
        key += "content " + word + " " + ContentHash(host).value_or("unreadable") + "\n";
    else
        key += "file " + host + " " + *identity + "\n";
}

} // namespace

std::unique_ptr<PieceStore> PieceStore::ForRender(std::string_view output)
{
    // The sources' probes are remembered in the same store, and only
    // while it is on: off, a render runs every tool as it always did.
    const std::string folder = PieceStoreOn() ? PieceStoreFolder() : std::string();
    cwtools::RememberProbesIn(folder);
    if (folder.empty())
        return nullptr;
    return std::make_unique<PieceStore>(folder, OutputKindFor(output).extension);
}

PieceStore::PieceStore(std::string folder, std::string outputKind)
    : store_(std::make_unique<CacheStore>(std::move(folder), kPieceStoreBytes)), outputKind_(std::move(outputKind))
{
}

PieceStore::~PieceStore() { store_->Trim(); }

std::string PieceStore::KeyOf(const std::string& command, std::string_view file) const
{
    std::string line = command;
    const std::string named = "-o \"" + EscapeInQuotes(file) + "\"";
    if (const std::size_t at = line.find(named); at != std::string::npos)
        line.replace(at, named.size(), "-o \"OUT\"");
    std::string key = std::string(kPlanVersion) + "\nkind " + outputKind_ + "\nencoder " + EncoderIdentity() + "\nline "
        + line + "\n";
    ParsedCommand parsed;
    if (!ParseCommandLine(command, parsed))
        return key;
    for (std::size_t i = 0; i < parsed.arguments.size(); ++i)
        if (i == 0 || parsed.arguments[i - 1] != "-o")
            AddReads(parsed.arguments[i], key);
    return key;
}

bool PieceStore::Take(const std::string& key, std::string_view file) const { return store_->Take(key, FilesOf(file)); }

bool PieceStore::Has(const std::string& key) const { return store_->Has(key); }

void PieceStore::Keep(const std::string& key, std::string_view file) const { store_->Keep(key, FilesOf(file)); }

bool PieceStoreOn()
{
    const char* off = std::getenv("CLIPWEAVER_NO_PIECE_CACHE");
    if (off && *off && std::string_view(off) != "0")
        return false;
    return PieceStoreSetting();
}

void SetPieceStoreSetting(bool on)
{
    const std::string mark = OffMark();
    if (mark.empty() || on == PieceStoreSetting())
        return;
    if (on)
        DeleteFile(mark);
    else if (FileHandle file = Open(mark, MODE_NEWFILE))
        Close(std::move(file));
}

bool PieceStoreSetting()
{
    const std::string mark = OffMark();
    return mark.empty() || !FileStamp(mark);
}

std::string PieceStoreFolder()
{
    const std::string cache = CacheFolder();
    return cache.empty() ? std::string() : cache + "/pieces";
}

unsigned long long EmptyPieceStore()
{
    const std::string folder = PieceStoreFolder();
    if (folder.empty())
        return 0;
    const CacheStore store(folder, kPieceStoreBytes);
    const unsigned long long bytes = store.Size();
    store.Empty();
    return bytes;
}

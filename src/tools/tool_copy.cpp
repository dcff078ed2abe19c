// C:Copy FROM TO, done in-process with dos calls. TO may name a folder; the
// copy then takes FROM's file name there.

#include "tools/tools.h"

#include "os/dos.h"


namespace cwtools {
namespace {

std::string FilePart(const std::string& path)
{
    const std::size_t split = path.find_last_of("/:");
    return split == std::string::npos ? path : path.substr(split + 1);
}

bool IsFolder(const std::string& name)
{
    FileLock lock = Lock(name, SHARED_LOCK);
    if (!lock)
        return false;
    FileInfoBlock info;
    const bool folder = Examine(*lock, info) && info.fib_DirEntryType > 0;
    UnLock(std::move(lock));
    return folder;
}

} // namespace

LONG RunCopyTool(ToolCall& call)
{
    std::vector<std::string> words;
    for (const std::string& word : call.arguments) {
        // The template's keywords may stand before their values.
        if (words.empty() && (word == "FROM" || word == "from"))
            continue;
        if (words.size() == 1 && (word == "TO" || word == "to"))
            continue;
        words.push_back(word);
    }
    if (words.size() != 2) {
        SetIoErr(words.size() < 2 ? ERROR_REQUIRED_ARG_MISSING : ERROR_BAD_TEMPLATE);
        return RETURN_FAIL;
    }
    const std::string& from = words[0];
    std::string to = words[1];
    if (IsFolder(to)) {
        const char last = to.empty() ? ':' : to.back();
        to += (last == ':' || last == '/') ? FilePart(from) : "/" + FilePart(from);
    }

    // A file copied onto itself stays as it is.
    const auto fromHost = HostPath(from);
    const auto toHost = HostPath(to);
    if (fromHost && toHost && ToolPath(from) == ToolPath(to))
        return HostFileExists(ToolPath(from)) ? RETURN_OK : RETURN_ERROR;

    if (!CopyDosFile(from, to))
        return RETURN_ERROR;
    return RETURN_OK;
}

} // namespace cwtools

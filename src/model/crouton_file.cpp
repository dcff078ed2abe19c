// The crouton file: one value per line, known by its position.
#include "model/crouton.h"
#include "model/line_file.h"
#include "model/tables.h"

#include <vector>

namespace {

constexpr std::string_view kNoFile = "__no file__";

const char* TraceText(const std::optional<std::string>& text) { return text ? text->c_str() : "(null)"; }

std::string FormatInt(LONG value) { return std::to_string(value); }

// A text on its line; an absent one gives an empty line.
std::string LineText(const std::optional<std::string>& text) { return OneLine(text.value_or("")); }

// The lines of a crouton file, in order.
std::vector<std::string> CroutonLines(const Crouton& crouton)
{
    std::vector<std::string> lines;
    lines.reserve(27);
    lines.push_back(LineText(crouton.name));
    if (crouton.videoName) {
        lines.push_back(LineText(crouton.videoName));
        for (const auto& preview : crouton.previewFilename)
            lines.push_back(LineText(preview));
    } else {
        lines.emplace_back(kNoFile);
    }
    lines.push_back(FormatInt(crouton.start));
    lines.push_back(FormatInt(crouton.length));
    lines.push_back(FormatInt(crouton.videoLength));
    lines.push_back(FormatInt(crouton.width));
    lines.push_back(FormatInt(crouton.height));
    lines.push_back(FormatInt(crouton.previewFrame));
    for (LONG position : crouton.previewPosition)
        lines.push_back(FormatInt(position));
    lines.push_back(FormatInt(crouton.videoBitrate));
    lines.push_back(FormatInt(crouton.audioBitrate));
    lines.push_back(FormatInt(crouton.isVideo));
    lines.push_back(FormatFloat(crouton.ratio));
    lines.push_back(FormatInt(crouton.fps));
    lines.push_back(LineText(crouton.videoCodec));
    lines.push_back(LineText(crouton.audioCodec));
    lines.push_back(LineText(crouton.soundtrack));
    lines.push_back(FormatFloat(crouton.customFPS));
    return lines;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Writes the new content beside the crouton file and puts it in place only
// when all of it is written, so the old file stays whole until then.
bool WriteCroutonFile(const Crouton& crouton, const std::string& path)
{
    // Another holder's exclusive lock keeps the file from being rewritten.
    if (FileLock probe = Lock(path, EXCLUSIVE_LOCK); probe) {
        UnLock(std::move(probe));
    } else if (IoErr() == ERROR_OBJECT_IN_USE) {
        return false;
    }

    ReplacingFile file(path);
    if (!file)
        return false;
    return file.Commit(CroutonLines(crouton));
}

} // namespace

BOOL SaveCrouton(Crouton* crouton)
{
    if (!crouton)
        return FALSE;
    kprintf("Crouton length is %d.\n", crouton->length);
    // Our own exclusive lock would keep the file from being rewritten.
    const bool wasLocked = crouton->lock != nullptr;
    UnlockCrouton(crouton);

    const std::string path = BuildFullPath(crouton->directory.value_or(""), crouton->filename.value_or(""));
    if (!crouton->filename || crouton->filename->empty() || !WriteCroutonFile(*crouton, path)) {
        kprintf("Couldn't create crouton %s.\n", TraceText(crouton->filename));
        // The file is as it was, and so is the crouton's hold on it: a
        // crouton of the open project must not lose its lock to a failed save.
        if (wasLocked)
            LockCrouton(crouton);
        return FALSE;
    }
    kprintf("Saved crouton %s.\n", TraceText(crouton->filename));
    LockCrouton(crouton);
    return TRUE;
}

std::unique_ptr<Crouton> LoadCrouton(std::string_view filename)
{
    const std::string path(filename);
    kprintf("Loading crouton %s.\n", path.c_str());
    FileHandle file = OpenRegularFile(path, MODE_OLDFILE);
    if (!file)
        return nullptr;

    kprintf("Crouton is opened. Creating Crouton structure.\n");
    std::unique_ptr<Crouton> crouton = CreateCrouton();
    if (!crouton) {
        Close(std::move(file));
        return nullptr;
    }
    kprintf("Crouton created. tCrouton is %p.\n", static_cast<const void*>(crouton.get()));

    LineReader reader(*file);
    crouton->name = reader.Next();
    const std::optional<std::string> source = reader.Next();
    if (source && !EqualsNoCase(*source, kNoFile)) {
        crouton->videoName = source;
        for (auto& preview : crouton->previewFilename) {
            preview = reader.NextText();
            if (preview)
                kprintf("Preview is %s.\n", preview->c_str());
        }
    }

    crouton->start = reader.NextInt(crouton->start);
    crouton->length = reader.NextInt(crouton->length);
    crouton->videoLength = reader.NextInt(crouton->videoLength);
    crouton->width = reader.NextInt(crouton->width);
    crouton->height = reader.NextInt(crouton->height);
    // Indices from a file are brought into their table's range.
    crouton->previewFrame = ClampPreviewFrame(reader.NextInt(crouton->previewFrame));
    for (LONG& position : crouton->previewPosition)
        position = reader.NextInt(position);
    crouton->videoBitrate = reader.NextInt(crouton->videoBitrate);
    crouton->audioBitrate = reader.NextInt(crouton->audioBitrate);
    crouton->isVideo = static_cast<BOOL>(reader.NextInt(crouton->isVideo));
    crouton->ratio = reader.NextFloat(crouton->ratio);
    crouton->fps = ClampCroutonFPSIndex(reader.NextTruncated(crouton->fps));

    crouton->videoCodec = reader.NextText();
    crouton->audioCodec = reader.NextText();
    if (crouton->audioCodec)
        kprintf("Loaded codec %s.\n", crouton->audioCodec->c_str());
    crouton->soundtrack = reader.NextText();
    if (!crouton->soundtrack)
        kprintf("No soundtrack.\n");
    crouton->customFPS = reader.NextFloat(crouton->customFPS);
    if (reader.Damaged()) {
        kprintf("Crouton file %s is damaged; not loaded.\n", path.c_str());
        Close(std::move(file));
        return nullptr;
    }

    // The record remembers where its file lies, so that a later save
    // rewrites the same file.
    // A file in the root folder keeps "/" as its directory.
    PathParts parts = SplitPath(path);
    crouton->filename = std::move(parts.file);
    crouton->directory = std::move(parts.directory);
    kprintf("length is %d.\n", static_cast<int>(crouton->directory->size()));

    kprintf("Crouton %s has directory %s, filename %s.\n", TraceText(crouton->name), crouton->directory->c_str(),
            crouton->filename->c_str());
    kprintf("Crouton start is %d, length is %d.\n", crouton->start, crouton->length);
    kprintf("Crouton address is %p.\n", static_cast<const void*>(crouton.get()));
    Close(std::move(file));
    return crouton;
}

// Probing a source for a crouton: a still image (or a pattern naming an image
// sequence) is only marked as such; a video is run through MPlayer's slave
// mode once and its answers fill the crouton's source facts.

#include "media/probe.h"

#include "model/crouton_time.h"
#include "model/imageseq.h"
#include "model/tables.h"
#include "os/asl.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/exec.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kCommandFile = "T:__MPlayerCommand";
constexpr const char* kOutputFile = "T:__Mplayer.out";
constexpr const char* kProbeCommand =
    "MPlayer -slave -idle -input file=/T/__MPlayerCommand -vo null -vf screenshot >T:__Mplayer.out\n";
constexpr std::intptr_t kStackSize = 1024000;
// Only this much of MPlayer's output is looked at.
constexpr LONG kOutputLimit = 10239;

// The text after the first "ANS_<keyword>=", up to the end of the buffer;
// nullopt when the key does not occur.
std::optional<std::string_view> FindAnswer(std::string_view buffer, std::string_view keyword)
{
    std::string key = "ANS_";
    key += keyword;
    key += '=';
    const auto at = buffer.find(key);
    if (at == std::string_view::npos)
        return std::nullopt;
    return buffer.substr(at + key.size());
}

// The value's line: up to the next line feed, or the rest of the text when
// none follows.
std::string AnswerLine(std::string_view rest)
{
    return std::string(rest.substr(0, rest.find('\n')));
}

std::string BuildSlaveCommands(std::string_view filename)
{
    std::string commands = "loadfile \"";
    commands += EscapeForSlave(filename);
    commands += "\"\n";
    commands +=
        "pause\n"
        "get_time_length\n"
        "get_property width\n"
        "get_property height\n"
        "get_property video_bitrate\n"
        "get_property audio_bitrate\n"
        "get_property aspect\n"
        "get_property fps\n"
        "get_property video_codec\n"
        "get_property audio_codec\n"
        "quit\n";
    return commands;
}

// At most kOutputLimit bytes of the tool's output; a failed read gives no
// text. The text ends at its first NUL, as the tool's output is read as a C
// string.
std::string ReadToolOutput(DosFile& file)
{
    std::string output(kOutputLimit, '\0');
    LONG total = 0;
    while (total < kOutputLimit) {
        const LONG got = Read(file, output.data() + total, kOutputLimit - total);
        if (got < 0)
            return {};
        if (got == 0)
            break;
        total += got;
    }
    output.resize(static_cast<std::size_t>(total));
    if (const auto nul = output.find('\0'); nul != std::string::npos)
        output.resize(nul);
    return output;
}

// A length the player answered, on the source's frames; one that is no
// length (negative, not a number, beyond LONG's seconds) is none.
double ClipLength(double seconds, double rate)
{
    if (!std::isfinite(seconds) || seconds <= 0.0)
        return 0.0;
    return SnapToFrame(std::min(seconds, 2147483647.0), rate);
}

} // namespace

BOOL LoadVideoIntoCrouton(Crouton* crouton, std::string_view filename)
{
    const std::string name(filename);
    kprintf("filename is %s.\n", name.c_str());
    if (!crouton)
        return FALSE;

    if (NamesPictures(filename))
        return LoadImageIntoCrouton(crouton, filename);

    crouton->isVideo = TRUE;
    if (!FitsOnOneLine(filename))
        return FALSE;

    FileHandle commandFile = Open(kCommandFile, MODE_NEWFILE);
    if (!commandFile) {
        kprintf("Can't create command file.\n");
        return FALSE;
    }
    const std::string commands = BuildSlaveCommands(filename);
    Write(*commandFile, commands.data(), static_cast<LONG>(commands.size()));
    Close(std::move(commandFile));

    kprintf("Executing MPlayer command...\n");
    SystemTagList(kProbeCommand, {{NP_StackSize, kStackSize}});
    kprintf("Done.\n");

    FileHandle outputFile = Open(kOutputFile, MODE_OLDFILE);
    if (!outputFile)
        return FALSE;
    kprintf("Opened output file...\n");
    const std::string output = ReadToolOutput(*outputFile);
    Close(std::move(outputFile));

    crouton->width = ReadIntFromBuffer(output, "width");
    crouton->height = ReadIntFromBuffer(output, "height");
    crouton->videoBitrate = ReadIntFromBuffer(output, "video_bitrate");
    crouton->audioBitrate = ReadIntFromBuffer(output, "audio_bitrate");
    crouton->ratio = ReadFloatFromBuffer(output, "aspect");
    crouton->fps = cCroutonEditorInheritFPSID;
    crouton->customFPS = ReadFloatFromBuffer(output, "fps");
    crouton->videoCodec = ReadStringFromBuffer(output, "video_codec");
    crouton->audioCodec = ReadStringFromBuffer(output, "audio_codec");
    // The clip's real length, to its frame: a clip a little longer than a
    // whole second is not a second longer.
    crouton->videoLength = ClipLength(ReadLengthAnswer(output).value_or(0.0), SourceFrameRate(*crouton));

    kprintf("Crouton is video: %d.\n", crouton->isVideo);
    return TRUE;
}

int ReadIntFromBuffer(std::string_view buffer, std::string_view keyword)
{
    const auto answer = FindAnswer(buffer, keyword);
    if (!answer)
        return 0;
    // As atoi reads it, but a number too large for an int is held at the
    // nearest end of the range rather than left undefined.
    const std::string line = AnswerLine(*answer);
    const long value = std::strtol(line.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

float ReadFloatFromBuffer(std::string_view buffer, std::string_view keyword)
{
    const auto answer = FindAnswer(buffer, keyword);
    if (!answer)
        return 0.0f;
    const std::string line = AnswerLine(*answer);
    return static_cast<float>(std::strtod(line.c_str(), nullptr));
}

// A value is every character up to the line feed, as it stands.
std::optional<std::string> ReadStringFromBuffer(std::string_view buffer, std::string_view keyword)
{
    const auto answer = FindAnswer(buffer, keyword);
    if (!answer)
        return std::nullopt;
    return AnswerLine(*answer);
}

std::optional<double> ReadLengthAnswer(std::string_view buffer)
{
    const std::optional<std::string> line = ReadStringFromBuffer(buffer, "LENGTH");
    if (!line)
        return std::nullopt;
    char* end = nullptr;
    const double seconds = std::strtod(line->c_str(), &end);
    if (end == line->c_str())
        return 0.0; // as the probe has always read a length it cannot parse
    return seconds;
}

std::optional<double> ProbeMediaLength(std::string_view path)
{
    // A name that would break the command file's line is not asked (and
    // not traced: this is no probe the user started).
    if (std::any_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 32; }))
        return std::nullopt;
    FileHandle commandFile = Open(kCommandFile, MODE_NEWFILE);
    if (!commandFile)
        return std::nullopt;
    const std::string commands = "loadfile \"" + EscapeForSlave(path) + "\"\nget_time_length\nquit\n";
    Write(*commandFile, commands.data(), static_cast<LONG>(commands.size()));
    Close(std::move(commandFile));
    // An answer left by an earlier probe must not pass for this one's.
    DeleteFile(kOutputFile);
    if (SystemTagList(kProbeCommand, {{NP_StackSize, kStackSize}}) != 0)
        return std::nullopt;
    FileHandle outputFile = Open(kOutputFile, MODE_OLDFILE);
    if (!outputFile)
        return std::nullopt;
    const std::string output = ReadToolOutput(*outputFile);
    Close(std::move(outputFile));
    const std::optional<double> seconds = ReadLengthAnswer(output);
    if (!seconds || !(*seconds >= 0))
        return std::nullopt;
    return seconds;
}

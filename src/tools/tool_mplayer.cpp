// The MPlayer tool: runs the host's mplayer for the program's command lines.
//
// - Paths in the arguments, in "-input file=..." and in the slave-command
//   file's loadfile lines are AmigaDOS paths; they are turned into host paths
//   (a translated copy of the command file is written to T:).
// - Synchronous runs get "-ao null" unless they choose an audio output, so
//   that the audio properties of a clip with sound can be answered without a
//   sound server.
// - mplayer runs in this instance's T: folder, so screenshots land there and
//   never in the user's folder. The host player only announces a screenshot
//   ("*** screenshot 'shot0001.png' ***"); for each announced screenshot whose
//   file exists, this tool adds "Saved screenshot as 'T:shot0001.png'" to the
//   output, naming the file as an AmigaDOS path.
// - "-gui" is dropped (the host player has none), and "-playlist NAME" plays
//   NAME: a media file directly, an image or image pattern as a slide show of
//   the matching images in numeric order, a text file as a playlist.

#include "tools/tool_media.h"

#include "os/asl.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/format.h"
#include "os/pattern.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace cwtools {
namespace {

// Counter for files that a detached player reads after we have returned.
int NextDetachedNumber()
{
    static int number = 0;
    return ++number;
}

// Undoes the backslash escapes of a quoted slave-command argument.
std::string UnescapeSlave(std::string_view text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\'))
            ++i;
        plain += text[i];
    }
    return plain;
}

// Rewrites one line of a slave-command file: a loadfile line gets the host
// path of its file. The name runs from the first to the last double quote
// of the line, so a name written into the file without escapes still comes
// out whole.
std::string TranslateSlaveLine(const std::string& line, std::vector<std::string>& loaded)
{
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, 8, "loadfile") != 0)
        return line;
    const std::size_t open = line.find('"', start + 8);
    const std::size_t close = line.rfind('"');
    std::string name;
    std::string rest;
    if (open != std::string::npos && close != std::string::npos && close > open) {
        name = UnescapeSlave(std::string_view(line).substr(open + 1, close - open - 1));
        rest = line.substr(close + 1);
    } else {
        const std::size_t nameStart = line.find_first_not_of(" \t", start + 8);
        if (nameStart == std::string::npos)
            return line;
        const std::size_t nameEnd = line.find_first_of(" \t\r\n", nameStart);
        name = line.substr(nameStart, nameEnd == std::string::npos ? std::string::npos : nameEnd - nameStart);
        rest = nameEnd == std::string::npos ? std::string() : line.substr(nameEnd);
    }
    loaded.push_back(name);
    return "loadfile \"" + EscapeForSlave(ToolPath(name)) + "\"" + rest;
}

// "file=NAME" of -input: a translated copy of the command file. The
// commands and the files they load are kept for the tool's own answers.
struct SlaveCommands {
    std::string text;
    std::vector<std::string> loaded;
};

std::string TranslateInputOption(const std::string& value, bool detached, SlaveCommands& commands)
{
    static const std::string prefix = "file=";
    if (value.compare(0, prefix.size(), prefix) != 0)
        return value;
    const std::string source = ToolPath(value.substr(prefix.size()));
    const auto text = ReadHostFile(source);
    if (!text)
        return prefix + source; // the player reports the missing file itself
    std::string translated;
    std::size_t pos = 0;
    while (pos < text->size()) {
        const std::size_t end = text->find('\n', pos);
        const std::size_t lineEnd = end == std::string::npos ? text->size() : end;
        translated += TranslateSlaveLine(text->substr(pos, lineEnd - pos), commands.loaded);
        if (end != std::string::npos)
            translated += '\n';
        pos = lineEnd + 1;
    }
    commands.text = *text;
    const std::string copy = TemporaryHostFile(detached
            ? "__CWSlaveCommands" + std::to_string(NextDetachedNumber())
            : std::string("__CWSlaveCommands"));
    if (!WriteHostFile(copy, translated))
        return prefix + source;
    return prefix + copy;
}

// The host paths of the files that an AmigaDOS pattern matches, in numeric
// order.
std::vector<std::string> MatchingFiles(const std::string& pattern)
{
    std::size_t split = pattern.rfind('/');
    std::string directory;
    std::string filePart;
    if (split != std::string::npos) {
        directory = pattern.substr(0, split);
        filePart = pattern.substr(split + 1);
    } else if ((split = pattern.rfind(':')) != std::string::npos) {
        directory = pattern.substr(0, split + 1);
        filePart = pattern.substr(split + 1);
    } else {
        filePart = pattern;
    }
    std::string tokenised;
    if (ParsePatternNoCase(filePart, tokenised, 1023) < 0)
        return {};
    const std::string hostDirectory = directory.empty() ? std::filesystem::current_path().string() : ToolPath(directory);

    std::vector<std::pair<int, std::string>> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(hostDirectory, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(error) && MatchPatternNoCase(tokenised, name))
            found.emplace_back(SequenceNumber(name), entry.path().string());
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> files;
    for (auto& [number, path] : found)
        files.push_back(std::move(path));
    return files;
}

// Whether a file reads as a text playlist rather than as media.
bool IsTextFile(const std::string& hostPath)
{
    const auto text = ReadHostFile(hostPath);
    if (!text || text->empty())
        return false;
    const std::string_view head = std::string_view(*text).substr(0, 4096);
    return std::all_of(head.begin(), head.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 || c == '\n' || c == '\r' || c == '\t';
    });
}

// What the player is given in place of "-playlist NAME".
std::vector<std::string> PlaylistArguments(const std::string& name, bool detached)
{
    const bool pattern = IsSourcePattern(name);
    if (pattern || IsPictureName(name)) {
        const std::vector<std::string> images = pattern ? MatchingFiles(name) : std::vector<std::string>{ToolPath(name)};
        std::string list;
        for (const std::string& image : images)
            list += image + "\n";
        const std::string listFile = TemporaryHostFile(detached
                ? "__CWPlayList" + std::to_string(NextDetachedNumber()) + ".lst"
                : std::string("__CWPlayList.lst"));
        WriteHostFile(listFile, list);
        return {"mf://@" + listFile, "-mf", "fps=1"};
    }
    const std::string host = ToolPath(name);
    if (IsTextFile(host))
        return {"-playlist", host};
    return {host};
}

std::string ScreenshotLines(const std::string& output)
{
    static const std::string announce = "*** screenshot '";
    std::string lines;
    std::size_t pos = 0;
    while ((pos = output.find(announce, pos)) != std::string::npos) {
        pos += announce.size();
        const std::size_t end = output.find('\'', pos);
        if (end == std::string::npos)
            break;
        const std::string name = output.substr(pos, end - pos);
        pos = end;
        if (name.empty() || name.find('/') != std::string::npos)
            continue;
        if (HostFileExists(TemporaryHostFile(name)))
            lines += "Saved screenshot as 'T:" + name + "'\n";
    }
    return lines;
}

// The first screenshot name that is free in T:, as the player's filter
// picks it.
std::string FreeScreenshotName()
{
    for (int number = 1; number < 100000; ++number) {
        const std::string name = Format("shot%04d.png", number);
        if (!HostFileExists(TemporaryHostFile(name)))
            return name;
    }
    return "shot0001.png";
}

// A screenshot taken with ffmpeg at the exact position (the player seeks
// to the keyframe before it), announced as the player announces it.
LONG TakeScreenshot(const ScreenshotAsk& ask, ToolCall& call)
{
    const std::string name = FreeScreenshotName();
    const std::string target = TemporaryHostFile(name);
    const HostResult result = RunTool(call, ScreenshotRun(ask, ToolPath(ask.file), target));
    if (result.code < 0)
        return -1;
    std::string output;
    if (HostFileSize(target) > 0)
        output = "*** screenshot '" + name + "' ***\n";
    else
        ::unlink(target.c_str());
    output += ScreenshotLines(output);
    WriteAll(call.output.Get(), output);
    return result.code;
}

bool AsksFacts(const SlaveCommands& commands)
{
    return commands.text.find("get_time_length") != std::string::npos
        || commands.text.find("get_property") != std::string::npos;
}

} // namespace

LONG RunMPlayerTool(ToolCall& call)
{
    std::vector<std::string> arguments;
    std::optional<std::string> playlist;
    bool audioChosen = false;
    SlaveCommands commands;
    const auto& given = call.arguments;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const std::string& word = given[i];
        if (word == "-gui")
            continue;
        if (word == "-playlist" && i + 1 < given.size()) {
            playlist = given[++i];
            continue;
        }
        const bool quoted = i < call.quoted.size() && call.quoted[i];
        if (!quoted && !word.empty() && word[0] == '-') {
            if (word == "-ao" || word == "-nosound")
                audioChosen = true;
            arguments.push_back(word);
            if (TakesValue(word) && i + 1 < given.size()) {
                const std::string& value = given[++i];
                if (word == "-input")
                    arguments.push_back(TranslateInputOption(value, call.detached, commands));
                else if (word == "-audiofile" || word == "-sub" || word == "-dumpfile")
                    arguments.push_back(ToolPath(value));
                else
                    arguments.push_back(value);
            }
            continue;
        }
        // A file to play: relative names are relative to the program's
        // folder, not to the player's.
        arguments.push_back(FileArgument(ToolPath(word)));
    }
    if (playlist) {
        const std::vector<std::string> play = PlaylistArguments(*playlist, call.detached);
        arguments.insert(arguments.end(), play.begin(), play.end());
    }

    if (!call.detached && !playlist) {
        if (const auto ask = ReadScreenshotAsk(given, commands.loaded, commands.text))
            return TakeScreenshot(*ask, call);
    }

    // A probe is answered from ffprobe's look at the file alone: starting
    // the player as well would cost twice that again.
    if (!call.detached && !playlist && AsksFacts(commands) && commands.loaded.size() == 1) {
        if (const auto answers = ProbeAnswers(commands.text, ProbeSource(ToolPath(commands.loaded.front()), call))) {
            WriteAll(call.output.Get(), *answers);
            return RETURN_OK;
        }
    }

    HostRun run;
    run.argv = {"mplayer", "-nolirc"};
    if (!call.detached && !audioChosen) {
        run.argv.push_back("-ao");
        run.argv.push_back("null");
    }
    run.argv.insert(run.argv.end(), arguments.begin(), arguments.end());
    run.workingDirectory = TemporaryFolder();
    run.input = call.input.Get();

    if (call.detached)
        return StartDetached(run, call.output.Get()) ? RETURN_OK : -1;

    HostResult result = RunTool(call, run);
    if (result.code < 0)
        return -1;
    result.output += ScreenshotLines(result.output);
    if (AsksFacts(commands) && commands.loaded.size() == 1)
        result.output = CorrectAnswers(result.output, ProbeSource(ToolPath(commands.loaded.front()), call));
    WriteAll(call.output.Get(), result.output);
    return result.code;
}

} // namespace cwtools

// The mencoder tool: a line that one of the recognised operations
// (tool_mencoder_plan.cpp) takes is planned from what the tool knows of its
// files and carried out with ffmpeg; any other line goes to the host's
// mencoder as it is, with its paths translated, "-oac lavc" replaced by MP3
// and the hang guard on.

#include "tools/tool_media.h"
#include "tools/sound_lane.h"

#include "os/command.h"
#include "tools/render_support.h"
#include "os/dos.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace cwtools {
namespace {

// The lines of mencoder's list file as host paths.
std::vector<std::string> ListedImages(const std::string& listName)
{
    std::vector<std::string> images;
    const auto text = ReadHostFile(ToolPath(listName));
    if (!text)
        return images;
    std::size_t pos = 0;
    while (pos < text->size()) {
        const std::size_t end = std::min(text->find('\n', pos), text->size());
        std::string entry = text->substr(pos, end - pos);
        pos = end + 1;
        while (!entry.empty() && (entry.back() == '\r' || entry.back() == '\0'))
            entry.pop_back();
        if (!entry.empty())
            images.push_back(ToolPath(entry));
    }
    return images;
}

std::string Store() { return TemporaryHostFile("__CWPieces"); }

// The first number no piece in the store has.
long long NextPieceNumber(const std::string& store)
{
    long long next = 1;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(store, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 5 && name[0] == 'p' && name.ends_with(".avi"))
            next = std::max(next, std::atoll(name.c_str() + 1) + 1);
    }
    return next;
}

LineFacts GatherFacts(const MencoderLine& line, const MencoderOperation& operation, ToolCall& call)
{
    LineFacts facts;
    for (const std::string& input : line.inputs)
        if (input.rfind("mf://", 0) != 0)
            facts.hostPaths[input] = ToolPath(input);
    for (const char* option : {"-o", "-audiofile"})
        if (const auto value = line.Value(option))
            facts.hostPaths[*value] = ToolPath(*value);
    for (const std::string& input : operation.inputs(line)) {
        const std::string& host = facts.hostPaths[input];
        facts.files[host] = ExamineFile(host, call);
    }
    if (!line.inputs.empty() && line.inputs[0].rfind("mf://@", 0) == 0)
        facts.images = ListedImages(line.inputs[0].substr(6));
    facts.store = Store();
    facts.nextPiece = NextPieceNumber(facts.store);
    facts.progress = RunScratchFile("__CWProgress");
    facts.scratch = RunScratchFile("__CWScript.ffconcat");
    facts.compressedSound = [&call](const std::vector<AssemblyPiece>& pieces, const std::string& container) {
        return CompressedSound(pieces, container, call.cancel);
    };
    return facts;
}

bool IsRegularFile(const std::string& path, nlink_t* links = nullptr)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if (links)
        *links = info.st_nlink;
    return true;
}

LONG Carry(const ToolPlan& plan, const std::string& store, ToolCall& call)
{
    std::error_code error;
    if (plan.clearStore)
        std::filesystem::remove_all(store, error);
    std::filesystem::create_directories(store, error);
    for (const auto& [path, text] : plan.scripts)
        if (!WriteHostFile(path, text))
            return RETURN_FAIL;
    for (const PlannedLink& link : plan.links)
        if (!CopyDosFile(link.from, link.to, true))
            return RETURN_FAIL;
    for (const PlannedRun& run : plan.runs) {
        const LONG code = CarryRun(run, call);
        if (code != RETURN_OK)
            return code;
    }
    if (!plan.outputAfterRun.empty() && !plan.runs.empty()) {
        if (IsRegularFile(plan.outputAfterRun) && !MoveDosFile(plan.runs.back().output, plan.outputAfterRun, true))
            return RETURN_ERROR;
    }
    if (plan.assembly) {
        const auto& [path, text] = *plan.assembly;
        // The output may be one name of a piece just placed in the store;
        // the piece must stay as it is.
        nlink_t links = 0;
        if (IsRegularFile(path, &links) && links > 1)
            ::unlink(path.c_str());
        if (!WriteHostFile(path, text)) {
            kprintf("Couldn't write %s.\n", path.c_str());
            return RETURN_ERROR;
        }
    }
    for (const std::string& piece : plan.consumed)
        ::unlink(piece.c_str());
    return RETURN_OK;
}

// Anything else: the host's mencoder, paths translated.
LONG RunHostMencoder(ToolCall& call)
{
    const std::vector<std::string>& arguments = call.arguments;
    const std::vector<bool>& quoted = call.quoted;
    HostRun run;
    run.argv = {"mencoder"};
    run.endAfterSummary = true;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const bool wasQuoted = i < quoted.size() && quoted[i];
        if (!wasQuoted && !word.empty() && word[0] == '-') {
            run.argv.push_back(word);
            if (TakesValue(word) && i + 1 < arguments.size()) {
                std::string value = arguments[++i];
                if (word == "-o" || word == "-audiofile" || word == "-passlogfile")
                    value = FileArgument(ToolPath(value));
                if (word == "-o")
                    run.watch.push_back(value);
                if (word == "-oac" && value == "lavc")
                    value = "mp3lame";
                run.argv.push_back(value);
            }
            continue;
        }
        if (word.rfind("mf://@", 0) == 0) {
            std::string list;
            for (const std::string& image : ListedImages(word.substr(6)))
                list += image + "\n";
            const std::string copy = RunScratchFile("__CWMencoderList.lst");
            WriteHostFile(copy, list);
            run.argv.push_back("mf://@" + copy);
            continue;
        }
        run.argv.push_back(FileArgument(wasQuoted ? ToolPath(word) : ArgumentPath(word)));
    }
    const HostResult result = RunTool(call, run);
    return result.code < 0 ? -1 : result.code;
}

} // namespace

LONG RunMencoderTool(ToolCall& call)
{
    const auto line = ReadMencoderLine(call.arguments, call.quoted);
    const MencoderOperation* operation = line ? RecogniseMencoderLine(*line) : nullptr;
    if (!operation) {
        kprintf("mencoder line not recognised; running the host's mencoder.\n");
        return RunHostMencoder(call);
    }
    const LineFacts facts = GatherFacts(*line, *operation, call);
    const std::optional<ToolPlan> plan = operation->plan(*line, facts);
    if (!plan)
        return RETURN_FAIL;
    const LONG code = Carry(*plan, facts.store, call);
    if (code == RETURN_OK && plan->assembly)
        if (const auto pieces = ReadAssembly(plan->assembly->second))
            FeedSoundLane(*pieces, call.cancel);
    return code;
}

} // namespace cwtools

void ForgetJoinedPieces()
{
    cwtools::EndSoundLane();
    std::error_code error;
    std::filesystem::remove_all(cwtools::Store(), error);
}

// The plain parts of the media tools: rates and lengths, the mencoder line
// reader, piece tags and assembly texts.

#include "tools/tool_media.h"
#include "tools/render_support.h"

#include "os/format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>

namespace cwtools {
namespace {

std::optional<long long> Whole(std::string_view text)
{
    const auto value = ParseNumber(text);
    if (!value || *value != std::floor(*value) || std::fabs(*value) > 1e15)
        return std::nullopt;
    return static_cast<long long>(*value);
}

std::vector<std::string> Words(std::string_view text)
{
    std::vector<std::string> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == ' ')
            ++pos;
        const std::size_t end = std::min(text.find(' ', pos), text.size());
        if (end > pos)
            words.emplace_back(text.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

// "key=value" words into a map.
std::map<std::string, std::string> Pairs(const std::vector<std::string>& words, std::size_t from)
{
    std::map<std::string, std::string> pairs;
    for (std::size_t i = from; i < words.size(); ++i) {
        const std::size_t equals = words[i].find('=');
        if (equals != std::string::npos)
            pairs[words[i].substr(0, equals)] = words[i].substr(equals + 1);
    }
    return pairs;
}

} // namespace

std::string Rate::Text() const { return std::to_string(num) + "/" + std::to_string(den); }

std::optional<Rate> ParseRate(std::string_view text)
{
    const std::size_t slash = text.find('/');
    if (slash != std::string_view::npos) {
        const auto num = Whole(text.substr(0, slash));
        const auto den = Whole(text.substr(slash + 1));
        if (!num || !den || *num <= 0 || *den <= 0)
            return std::nullopt;
        const long long divisor = std::gcd(*num, *den);
        return Rate{*num / divisor, *den / divisor};
    }
    const auto value = ParseNumber(text);
    if (!value || *value <= 0 || *value > 1000)
        return std::nullopt;
    // The NTSC rates as the tables write them ("29.970030").
    for (const long long base : {24000LL, 30000LL, 60000LL})
        if (std::fabs(*value - static_cast<double>(base) / 1001.0) < 1e-5)
            return Rate{base, 1001};
    // Any other rate to a thousandth of a frame.
    const long long den = 1000;
    const auto num = static_cast<long long>(std::llround(*value * static_cast<double>(den)));
    if (num <= 0)
        return std::nullopt;
    const long long divisor = std::gcd(num, den);
    return Rate{num / divisor, den / divisor};
}

long long FramesFor(double seconds, const Rate& rate)
{
    // Beyond a year of frames there is nothing to encode.
    const double frames = std::ceil(seconds * rate.Value() - 1e-6);
    if (!(frames > 0) || frames > 1e9)
        return 0;
    return static_cast<long long>(frames);
}

long long SamplesFor(long long frames, const Rate& rate, long long sampleRate)
{
    // frames * den / num seconds of samples, rounded to the nearest sample.
    const long double exact = static_cast<long double>(frames) * static_cast<long double>(rate.den)
        * static_cast<long double>(sampleRate) / static_cast<long double>(rate.num);
    return static_cast<long long>(std::llround(exact));
}

std::optional<std::string> MencoderLine::Value(const std::string& option) const
{
    const auto found = values.find(option);
    if (found == values.end())
        return std::nullopt;
    return found->second;
}

std::optional<MencoderLine> ReadMencoderLine(const std::vector<std::string>& arguments,
    const std::vector<bool>& quoted)
{
    MencoderLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const bool wasQuoted = i < quoted.size() && quoted[i];
        if (wasQuoted || word.empty() || word[0] != '-') {
            line.inputs.push_back(word);
            continue;
        }
        if (word == "-zoom" || word == "-nosound" || word == "-duck" || word == "-fit") {
            line.flags.insert(word);
            continue;
        }
        if (!TakesValue(word) || i + 1 >= arguments.size() || line.values.count(word) != 0)
            return std::nullopt;
        line.values[word] = arguments[++i];
    }
    return line;
}

std::string PieceTag(const PieceFacts& facts)
{
    return "cwpiece 1 w=" + std::to_string(facts.width) + " h=" + std::to_string(facts.height) + " r="
        + facts.rate.Text() + " n=" + std::to_string(facts.frames) + " ar=" + std::to_string(facts.sampleRate)
        + " ns=" + std::to_string(facts.samples) + (facts.codec == "mpeg4" ? std::string() : " c=" + facts.codec)
        + (facts.darNum > 0 ? " dar=" + std::to_string(facts.darNum) + "/" + std::to_string(facts.darDen) : std::string())
        + " end";
}

std::string PieceContainer(const std::string& codec)
{
    return codec == "mpeg4" ? "avi" : "matroska";
}

std::string SoundBeside(const std::string& piecePath) { return piecePath + std::string(kSamplesBeside); }

namespace {

// A name as the tee muxer reads it between its "|".
std::string TeeName(const std::string& path)
{
    std::string escaped;
    for (char c : path) {
        if (c == '\\' || c == '\'' || c == '|' || c == '[' || c == ']')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

} // namespace

std::vector<std::string> PieceFileOptions(const PieceFacts& piece, const std::string& path, bool samplesBeside)
{
    const std::string container = PieceContainer(piece.codec);
    std::vector<std::string> words = {"-metadata", "comment=" + PieceTag(piece)};
    // A piece written elsewhere (a render's first, at its output) leaves
    // nothing beside it in the user's folder.
    if (piece.sampleRate <= 0 || !samplesBeside || !InTemporaryFolder(path)) {
        words.insert(words.end(), {"-f", container, path});
        return words;
    }
    // One run writes both: the samples as the piece holds them, copied.
    // Matroska wants the picture's codec set-up in its header, which the
    // encoder gives only when asked (as ffmpeg asks for Matroska itself).
    if (container == "matroska")
        words.insert(words.end(), {"-flags:v", "+global_header"});
    words.insert(words.end(), {"-f", "tee", "[f=" + container + "]" + TeeName(path) + "|[f=s16le:select=a]"
        + TeeName(SoundBeside(path))});
    return words;
}

std::optional<PieceFacts> ReadPieceTag(std::string_view text)
{
    const std::size_t at = text.find("cwpiece 1 ");
    if (at == std::string_view::npos)
        return std::nullopt;
    const std::size_t end = text.find(" end", at);
    if (end == std::string_view::npos)
        return std::nullopt;
    auto pairs = Pairs(Words(text.substr(at, end - at)), 2);
    PieceFacts facts;
    const auto width = Whole(pairs["w"]);
    const auto height = Whole(pairs["h"]);
    const auto rate = ParseRate(pairs["r"]);
    const auto frames = Whole(pairs["n"]);
    const auto sampleRate = Whole(pairs["ar"]);
    const auto samples = Whole(pairs["ns"]);
    if (!width || !height || !rate || !frames || !sampleRate || !samples || *frames <= 0 || std::llabs(*width) > 100000
        || std::llabs(*height) > 100000)
        return std::nullopt;
    facts.width = static_cast<int>(*width);
    facts.height = static_cast<int>(*height);
    facts.rate = *rate;
    facts.frames = *frames;
    facts.sampleRate = *sampleRate;
    facts.samples = *samples;
    if (pairs.count("c") != 0) {
        if (pairs["c"] != "h264" && pairs["c"] != "vp9" && pairs["c"] != "utvideo")
            return std::nullopt;
        facts.codec = pairs["c"];
    }
    if (pairs.count("dar") != 0) {
        const auto dar = ParseRate(pairs["dar"]);
        if (!dar || dar->den > 100000)
            return std::nullopt;
        facts.darNum = dar->num;
        facts.darDen = dar->den;
    }
    return facts;
}

namespace {
constexpr std::string_view kAssemblyHeader = "cwassembly 1\n";
}

std::string AssemblyText(const std::vector<AssemblyPiece>& pieces)
{
    std::string text(kAssemblyHeader);
    for (const AssemblyPiece& piece : pieces)
        text += PieceTag(piece.facts) + " " + piece.path + "\n";
    // The program judges a video file by its size (5000 bytes or more for
    // a usable one); an assembly stands for a video and is never smaller.
    constexpr std::size_t kSmallestVideo = 5000;
    if (text.size() < kSmallestVideo)
        text += "#" + std::string(kSmallestVideo - text.size() - 2, ' ') + "\n";
    return text;
}

std::optional<std::vector<AssemblyPiece>> ReadAssembly(std::string_view text)
{
    if (text.substr(0, kAssemblyHeader.size()) != kAssemblyHeader)
        return std::nullopt;
    std::vector<AssemblyPiece> pieces;
    std::size_t pos = kAssemblyHeader.size();
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        const auto facts = ReadPieceTag(line);
        const std::size_t pathAt = line.find(" end ");
        if (!facts || pathAt == std::string_view::npos)
            return std::nullopt;
        pieces.push_back({std::string(line.substr(pathAt + 5)), *facts});
    }
    if (pieces.empty())
        return std::nullopt;
    return pieces;
}

std::string ContainerForName(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    const std::size_t slash = name.find_last_of("/:");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return "avi";
    std::string extension(name.substr(dot + 1));
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "mp4" || extension == "m4v")
        return "mp4";
    if (extension == "mov")
        return "mov";
    if (extension == "mkv")
        return "matroska";
    if (extension == "webm")
        return "webm";
    return "avi";
}

std::vector<std::string> FfmpegStart(const std::string& progressFile)
{
    // "-stats" keeps a progress line coming on standard error, which the
    // no-progress bound watches; "-progress" tells how far the run has come.
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-stats", "-y"};
    if (!progressFile.empty())
        argv.insert(argv.end(), {"-progress", progressFile});
    return argv;
}

std::string ConcatQuote(const std::string& path)
{
    std::string quoted = "'";
    for (const char c : path) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::optional<std::string> FieldParity(const SourceFacts& source)
{
    // ffprobe names the coded field first, then the shown one ("tb": top
    // coded first, bottom shown first); the deinterlacer wants the shown.
    static const std::map<std::string, std::string> shownFirst = {
        {"tt", "tff"}, {"bt", "tff"}, {"bb", "bff"}, {"tb", "bff"}};
    const auto found = shownFirst.find(source.fieldOrder);
    if (found == shownFirst.end())
        return std::nullopt;
    return found->second;
}

std::string Decimal(double value, int places)
{
    return Format("%.*f", places, value);
}

} // namespace cwtools

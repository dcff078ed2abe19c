// A crouton's look in its piece's run: the volume of its sound, its title
// (drawn into a transparent picture by the title program, a run of its own
// before the encode, then laid over the picture and faded in and out), and
// pan and zoom over a picture.
//
// ffmpeg's zoompan places its frame on whole pixels, so a slow move shakes.
// The move here samples between pixels instead: the picture, scaled to about
// the size the closest framing needs, goes through the perspective filter
// with bicubic interpolation, its corners worked out for every frame, and is
// only then fitted into the output frame.
#include "tools/tool_plan_look.h"

#include "os/dos.h"
#include "os/format.h"
#include "tools/render_support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace cwtools::planning {
namespace {

constexpr const char* kInstalledPrograms = "/usr/libexec/clipweaver/";
// The picture a move samples is at most twice the frame, and at most this
// many pixels: each of its frames is resampled whole.
constexpr double kMostMoveScale = 2.0;
constexpr double kMostMovePixels = 4.2e6;

// "Z:X:Y" of a framing as a window on the picture; none for values a render
// never writes.
std::optional<PictureWindow> WindowOf(double zoom, double x, double y)
{
    if (!(zoom >= 1 && zoom <= 3 && x >= 0 && x <= 1 && y >= 0 && y <= 1))
        return std::nullopt;
    const double size = 1 / zoom;
    return PictureWindow{std::clamp(x - size / 2, 0.0, 1 - size), std::clamp(y - size / 2, 0.0, 1 - size), size};
}

std::optional<std::pair<PictureWindow, PictureWindow>> ReadMove(const std::string& text)
{
    const std::vector<std::string> parts = Split(text, ':');
    if (parts.size() != 6)
        return std::nullopt;
    std::array<double, 6> values{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto value = ParseNumber(parts[i]);
        if (!value)
            return std::nullopt;
        values[i] = *value;
    }
    const auto from = WindowOf(values[0], values[1], values[2]);
    const auto to = WindowOf(values[3], values[4], values[5]);
    if (!from || !to)
        return std::nullopt;
    return std::make_pair(*from, *to);
}

// ---- the move ---------------------------------------------------------

// Goes from 0 to 1 over the piece's frames, starting and ending gently
// (smoothstep); the perspective filter counts its frames from 1.
std::string Eased(long long frames)
{
    const std::string t = "clip((in-1)/" + std::to_string(std::max(1LL, frames - 1)) + ",0,1)";
    return "(" + t + "*" + t + "*(3-2*" + t + "))";
}

// A coordinate going from `from` to `to` (fractions of `side`, W or H).
std::string Moving(const char* side, double from, double to, const std::string& eased)
{
    return "'" + std::string(side) + "*(" + Decimal(from, 9) + "+" + Decimal(to - from, 9) + "*" + eased + ")'";
}

std::string Perspective(const PictureWindow& from, const PictureWindow& to, long long frames)
{
    const std::string s = Eased(frames);
    const std::string left = Moving("W", from.left, to.left, s);
    const std::string right = Moving("W", from.left + from.size, to.left + to.size, s);
    const std::string top = Moving("H", from.top, to.top, s);
    const std::string bottom = Moving("H", from.top + from.size, to.top + to.size, s);
    return "perspective=x0=" + left + ":y0=" + top + ":x1=" + right + ":y1=" + top + ":x2=" + left + ":y2=" + bottom
        + ":x3=" + right + ":y3=" + bottom + ":interpolation=cubic:sense=source:eval=frame";
}

// The line's picture filters with the move before the picture is fitted
// into the frame: the picture at the rate of the piece, scaled to about
// what the closest framing shows at full size, then moved.
std::string Moved(const std::string& filters, const PictureWindow& from, const PictureWindow& to,
    const PieceFacts& piece)
{
    const double closest = 1 / std::min(from.size, to.size);
    const double frame = static_cast<double>(std::max(1, piece.width)) * std::max(1, piece.height);
    const double scale = std::max(1.0, std::min({closest, kMostMoveScale, std::sqrt(kMostMovePixels / frame)}));
    const std::string box = "scale=w=" + std::to_string(std::lround(piece.width * scale)) + ":h="
        + std::to_string(std::lround(piece.height * scale))
        + ":force_original_aspect_ratio=decrease:force_divisible_by=2:flags=bicubic";
    const std::string move = box + ",fps=" + piece.rate.Text() + "," + Perspective(from, to, piece.frames) + ",";
    const std::size_t fit = filters.find("scale=");
    return fit == std::string::npos ? move + filters : filters.substr(0, fit) + move + filters.substr(fit);
}

// ---- the title --------------------------------------------------------

// How long the title stands and fades, from its settings file ("seconds=",
// "fade=" lines before the text).
struct TitleTiming {
    double seconds = 0;
    double fade = 0;
};

TitleTiming ReadTitleTiming(const std::string& hostPath)
{
    TitleTiming timing;
    const std::string text = ReadHostFile(hostPath).value_or("");
    for (const std::string& line : Split(text, '\n')) {
        if (line.rfind("text=", 0) == 0)
            break;
        const auto number = [&line](std::size_t at) { return std::max(0.0, ParseNumber(line.substr(at)).value_or(0)); };
        if (line.rfind("seconds=", 0) == 0)
            timing.seconds = number(8);
        else if (line.rfind("fade=", 0) == 0)
            timing.fade = number(5);
    }
    return timing;
}

// The width of the piece's pixels against their height.
double PixelShape(const PieceFacts& piece)
{
    if (piece.darNum <= 0 || piece.darDen <= 0 || piece.width <= 0 || piece.height <= 0)
        return 1;
    return static_cast<double>(piece.darNum) / static_cast<double>(piece.darDen) * piece.height / piece.width;
}

// The title program draws the text into a transparent picture of the
// piece's frame size.
PlannedRun TitleRun(const std::string& settings, const std::string& picture, const PieceFacts& piece)
{
    PlannedRun planned;
    planned.run.argv = {TitleProgram().value_or(kTitleProgramName), settings, picture, std::to_string(piece.width),
        std::to_string(piece.height), Decimal(PixelShape(piece))};
    planned.run.watch = {picture};
    planned.output = picture;
    return planned;
}

// The title's picture faded in from nothing and out again, standing its
// seconds (0: the whole piece), and laid over the piece's picture.
std::string TitleGraph(const TitleTiming& timing, const PieceFacts& piece, std::size_t input)
{
    const double length = piece.Seconds();
    const double shown = timing.seconds > 0 ? std::min(timing.seconds, length) : length;
    const double fade = std::min(timing.fade, shown / 2);
    std::string graph = "[" + std::to_string(input) + ":v]format=rgba";
    if (fade > 0)
        graph += ",fade=t=in:st=0:d=" + Decimal(fade) + ":alpha=1,fade=t=out:st=" + Decimal(shown - fade)
            + ":d=" + Decimal(fade) + ":alpha=1";
    graph += "[title];[piece][title]overlay=0:0:shortest=1";
    if (shown < length)
        graph += ":enable='lt(t," + Decimal(shown) + ")'";
    return graph + "[titled]";
}

std::size_t InputCount(const std::vector<std::string>& arguments)
{
    return static_cast<std::size_t>(std::count(arguments.begin(), arguments.end(), std::string("-i")));
}

} // namespace

std::optional<LineLook> ReadLineLook(const MencoderLine& line)
{
    LineLook look;
    if (const auto volume = line.Value("-volume")) {
        const auto percent = ParseNumber(*volume);
        if (!percent || *percent < 0 || *percent > 200)
            return std::nullopt;
        look.volume = *percent / 100;
    }
    if (const auto title = line.Value("-title")) {
        if (title->empty())
            return std::nullopt;
        look.title = *title;
    }
    if (const auto move = line.Value("-panzoom")) {
        look.move = ReadMove(*move);
        if (!look.move)
            return std::nullopt;
    }
    return look;
}

std::string LookChain(const LineLook& look, const std::string& filters, const PieceFacts& piece)
{
    return look.move ? Moved(filters, look.move->first, look.move->second, piece) : filters;
}

std::string LookOverlay(const LineLook& look, const PieceFacts& piece, ToolPlan& plan, std::vector<std::string>& inputs)
{
    if (!look.title)
        return {};
    const std::string settings = ToolPath(*look.title);
    const std::string drawn = RunScratchFile("__CWTitle.png");
    plan.runs.push_back(TitleRun(settings, drawn, piece));
    const std::size_t input = InputCount(inputs);
    Append(inputs, {"-loop", "1", "-framerate", piece.rate.Text(), "-i", FileArgument(drawn)});
    return TitleGraph(ReadTitleTiming(settings), piece, input);
}

std::vector<std::string> LookPicture(const LineLook& look, const std::string& filters, const PieceFacts& piece,
    ToolPlan& plan, std::vector<std::string>& inputs)
{
    std::vector<std::string> picture = PiecePicture(LookChain(look, filters, piece), piece.rate, piece.frames);
    const std::string overlay = LookOverlay(look, piece, plan, inputs);
    if (overlay.empty())
        return picture;
    // The piece's picture as PiecePicture makes it, its time starting at 0
    // as the title's does, then the title over it.
    std::string source = "0:v:0";
    for (std::size_t i = 0; i + 1 < picture.size(); ++i) {
        if (picture[i] == "-map") {
            source = picture[i + 1];
            picture[i + 1] = "[titled]";
        } else if (picture[i] == "-vf") {
            picture[i] = "-filter_complex";
            picture[i + 1] = "[" + source + "]" + picture[i + 1] + ",setpts=PTS-STARTPTS[piece];" + overlay;
        }
    }
    return picture;
}

std::string LookSound(const LineLook& look)
{
    return look.volume ? "volume=" + Decimal(*look.volume, 4) + "," : std::string();
}

} // namespace cwtools::planning

std::optional<std::string> TitleProgram()
{
    const auto runnable = [](const std::string& path) {
        std::error_code error;
        return !path.empty() && std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
    };
    if (const char* asked = std::getenv("CLIPWEAVER_TITLE_PROGRAM"))
        return runnable(asked) ? std::optional<std::string>(asked) : std::nullopt;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const std::string beside = (self.parent_path() / kTitleProgramName).string();
        if (runnable(beside))
            return beside;
    }
    const std::string installed = std::string(cwtools::planning::kInstalledPrograms) + kTitleProgramName;
    if (runnable(installed))
        return installed;
    return std::nullopt;
}

// Encoding one crouton: its mencoder command line and the reasons a crouton
// is refused. The list and silence files of an image crouton are
// render_images.cpp; the project's walk over its croutons is
// render_project.cpp.
#include "model/render.h"

#include "model/render_internal.h"

#include "model/crouton_time.h"
#include "model/imageseq.h"
#include "model/tables.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/exec.h"
#include "os/format.h"
#include "os/work.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr LONG kLongMax = std::numeric_limits<LONG>::max();
constexpr LONG kLongMin = std::numeric_limits<LONG>::min();

using render_detail::kListInput;

std::string FormatFloat(double value)
{
    std::string text(64, '\0');
    const int size = std::snprintf(text.data(), text.size(), "%f", value);
    text.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
    return text;
}

bool IsSet(const std::optional<std::string>& text) { return text && !text->empty(); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits with an optional fraction ("25", "12.5"); its value when the text
// is exactly that.
std::optional<double> PlainDecimal(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    if (i == 0)
        return std::nullopt;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fraction = ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
        if (i == fraction)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    return std::strtod(std::string(text).c_str(), nullptr);
}

// The custom frame-rate text goes into the command as typed, so it must be
// one plain positive number ("25", "12.5") or a ratio of two ("30000/1001");
// anything else could add words to the command line.
bool IsValidRateText(std::string_view text)
{
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) {
        const auto value = PlainDecimal(text);
        return value && std::isfinite(*value) && *value > 0.0;
    }
    const auto numerator = PlainDecimal(text.substr(0, slash));
    const auto denominator = PlainDecimal(text.substr(slash + 1));
    if (!numerator || !denominator || *denominator <= 0.0)
        return false;
    const double value = *numerator / *denominator;
    return std::isfinite(value) && value > 0.0;
}

// A field's text read as atoi reads it: leading white space and a sign, then
// digits; anything after them is ignored, no digits read as 0.
LONG ReadDecimal(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), static_cast<long long>(kLongMax) + 1);
    if (negative)
        value = -value;
    return static_cast<LONG>(std::clamp<long long>(value, kLongMin, kLongMax));
}

// The output frame rate as written after "-ofps"; none for a custom text
// that is not a plain positive number.
std::optional<std::string> RateText(const Project& project)
{
    const LONG fps = ClampFPSIndex(project.fps);
    if (RateIsTyped(fps)) {
        std::string typed = ShownText(&ProjectSettings::typedCustomFPS);
        if (!IsValidRateText(typed))
            return std::nullopt;
        return typed;
    }
    return FormatFloat(static_cast<double>(cFPSValues[static_cast<std::size_t>(fps)]));
}

// Whether two shapes differ by more than 1 %.
bool ShapesDiffer(double a, double b)
{
    return std::fabs(a / b - 1.0) > 0.01;
}

LONG NearestEven(double value)
{
    return std::max<LONG>(2, static_cast<LONG>(std::lround(value / 2.0)) * 2);
}

} // namespace

std::string FrameFilters(LONG width, LONG height, double display, const std::optional<PictureShape>& source)
{
    const std::string frame = std::to_string(width) + ":" + std::to_string(height);
    if (!source || width <= 0 || height <= 0 || source->width <= 0 || source->height <= 0)
        return "scale=" + frame;
    std::string turn;
    if (source->rotation == 90)
        turn = "rotate=1,";
    else if (source->rotation == 270)
        turn = "rotate=2,";
    else if (source->rotation == 180)
        turn = "flip,mirror,";
    const double shape = source->width / source->height;
    if (!ShapesDiffer(shape, display))
        return turn + "scale=" + frame;
    // The output's pixels are as wide as the shown frame makes them.
    const double pixel = display * static_cast<double>(height) / static_cast<double>(width);
    LONG fitWidth = width;
    LONG fitHeight = height;
    if (shape < display)
        fitWidth = std::min(width, NearestEven(shape * static_cast<double>(height) / pixel));
    else
        fitHeight = std::min(height, NearestEven(static_cast<double>(width) * pixel / shape));
    return turn + "scale=" + std::to_string(fitWidth) + ":" + std::to_string(fitHeight) + ",expand=" + frame;
}

namespace {

std::string WithBitrate(const char* options, LONG bitrate)
{
    std::string text = options;
    const std::size_t at = text.find("%ld");
    if (at != std::string::npos)
        text.replace(at, 3, std::to_string(bitrate));
    return text;
}

// Nothing is run for the crouton, for `why` in plain words; `setting` when
// the project's settings are at fault rather than the crouton.
render_detail::CroutonRun Refused(std::string why, bool setting = false)
{
    render_detail::CroutonRun run;
    run.refusal = std::move(why);
    run.setting = setting;
    return run;
}

// The project's custom frame rate or size is no rate or size.
render_detail::CroutonRun RateRefused()
{
    kprintf("Invalid custom frame rate.\n");
    return Refused("the custom frame rate \"" + ShownText(&ProjectSettings::typedCustomFPS)
                       + "\" is not a number of frames per second (such as 25 or 12.5)",
                   true);
}

render_detail::CroutonRun SizeRefused()
{
    kprintf("Invalid custom size.\n");
    return Refused("the custom size " + ShownText(&ProjectSettings::typedWidth) + " x " + ShownText(&ProjectSettings::typedHeight)
                       + " is not a picture size (neither may be 0)",
                   true);
}

// The output frame: its size, and the shape it is shown in.
struct OutputFrame {
    LONG width = 0;
    LONG height = 0;
    bool declared = false; // the format's label names a shape other than the frame's own
    double display = 1.0;  // the shown width over the shown height
    std::string shapeText; // the label's shape, "4/3"
};

// The frame of the project's format; none for a custom size of 0. Only 0 is
// refused: mencoder's scale filter gives negative sizes meanings of their own.
std::optional<OutputFrame> FrameOf(const Project& project)
{
    OutputFrame frame;
    const LONG format = ClampFormatIndex(project.parameters);
    if (SizeIsTyped(format)) {
        frame.width = ReadDecimal(ShownText(&ProjectSettings::typedWidth));
        frame.height = ReadDecimal(ShownText(&ProjectSettings::typedHeight));
        if (frame.width == 0 || frame.height == 0)
            return std::nullopt;
    } else {
        std::sscanf(cFormatParameters[static_cast<std::size_t>(format)], "scale=%d:%d", &frame.width, &frame.height);
    }
    // The shape the file is shown in: the label's, where the frame's own
    // differs from it (the custom format's pixels are square).
    const FormatShape label = cFormatShapes[static_cast<std::size_t>(format)];
    const double own = frame.height != 0 ? static_cast<double>(frame.width) / static_cast<double>(frame.height) : 1.0;
    frame.declared = label.width > 0 && ShapesDiffer(static_cast<double>(label.width) / label.height, own);
    frame.display = frame.declared ? static_cast<double>(label.width) / label.height : own;
    frame.shapeText = std::to_string(label.width) + "/" + std::to_string(label.height);
    return frame;
}

// Where the output's shown shape is declared: in the lavcopts (":aspect=4/3")
// or as a filter (",dsize=4/3"); nothing for a frame of the label's shape.
std::string AspectOption(const OutputFrame& frame, const OutputKind& kind)
{
    return frame.declared && kind.aspectInLavcopts ? ":aspect=" + frame.shapeText : std::string();
}

std::string DsizeFilter(const OutputFrame& frame, const OutputKind& kind)
{
    return frame.declared && !kind.aspectInLavcopts ? ",dsize=" + frame.shapeText : std::string();
}

// Everything an encoding line is written from.
struct LineParts {
    const Project& project;
    const Crouton& crouton;
    bool silent;
    const OutputKind& kind;
    std::string rate;      // after "-ofps"
    std::string encoder;   // the encoder options with the bit rate and the lavcopts aspect
    std::string filters;   // after "-vf", before the duplicating filters
    std::string lookText;  // the look's options, each with the space before it
};

std::string CroutonRateText(const Crouton& crouton)
{
    return FormatFloat(static_cast<double>(CroutonRate(crouton.fps, crouton.customFPS)));
}

std::string VideoInput(const LineParts& parts)
{
    return "mencoder \"" + EscapeInQuotes(*parts.crouton.videoName) + "\" ";
}

std::string ImageInput(const LineParts& parts)
{
    return "mencoder " + std::string(kListInput) + " -mf w=" + std::to_string(parts.project.width)
           + ":h=" + std::to_string(parts.project.height) + ":type=png:fps=" + CroutonRateText(parts.crouton) + " ";
}

std::string VideoDuplicates(const LineParts& parts)
{
    return parts.kind.framestep ? ",harddup,framestep=2" : ",harddup";
}

std::string ImageDuplicates(const LineParts&) { return ",harddup"; }

// A video crouton's sound, its own trim and the look's options.
std::string VideoTail(const LineParts& parts)
{
    const Crouton& crouton = parts.crouton;
    std::string tail;
    if (parts.silent)
        tail += "-nosound ";
    else if (IsSet(crouton.soundtrack))
        tail += "-audiofile \"" + EscapeInQuotes(*crouton.soundtrack) + "\" ";
    else if (!IsSet(crouton.audioCodec))
        tail += "-audiofile silence.mp3 ";
    if (crouton.fps != cCroutonEditorInheritFPSID)
        tail += "-fps " + CroutonRateText(crouton) + " -mc 0 ";
    // Whole seconds are written as they always were; a trim to the frame
    // carries its fraction.
#ifdef CLIPWEAVER_BASIC
    tail += "-ss " + SecondsText(crouton.start) + " ";
#else
    tail += "-ss " + SecondsText(crouton.start) + " -audio-delay 0 ";
#endif
    tail += "-endpos " + SecondsText(crouton.length) + " ";
    if (!parts.lookText.empty())
        tail += parts.lookText.substr(1) + " ";
    return tail;
}

// An image crouton's sound: its soundtrack or the silence written beside
// it; the look's options go before the line break it ends in.
std::string ImageTail(const LineParts& parts)
{
    std::string tail;
    if (parts.silent)
        tail = "-nosound";
    else if (IsSet(parts.crouton.soundtrack))
        tail = "-audiofile \"" + EscapeInQuotes(*parts.crouton.soundtrack) + "\" -audio-delay 0000000\n";
    else
        tail = "-audio-delay 0000000 -audio-demuxer rawaudio -rawaudio rate=11025:samplesize=1:channels=1 -audiofile "
               + QuoteIfNeeded(cSilenceFilename) + "\n";
    if (!parts.lookText.empty()) {
        const bool broken = tail.back() == '\n';
        if (broken)
            tail.pop_back();
        tail += parts.lookText + (broken ? "\n" : "");
    }
    return tail;
}

// How each kind of crouton is encoded: what the traces call it, its encoder
// options, where its pictures come from, the filters that keep its frames
// and what its line says after the output rate.
struct CroutonKind {
    const char* name;
    const char* OutputKind::*encoder;
    std::string (*input)(const LineParts&);
    std::string (*duplicates)(const LineParts&);
    std::string (*tail)(const LineParts&);
};
constexpr std::array<CroutonKind, 2> kCroutonKinds = {{
    {"images", &OutputKind::imageEncoder, ImageInput, ImageDuplicates, ImageTail},
    {"video", &OutputKind::videoEncoder, VideoInput, VideoDuplicates, VideoTail},
}};

const CroutonKind& KindOf(const Crouton& crouton) { return kCroutonKinds[crouton.isVideo != FALSE ? 1 : 0]; }

// The line that encodes the crouton, and the encoder options a piece made
// beside it from pieces at the output's size takes.
void WriteLines(const CroutonKind& kind, const LineParts& parts, const OutputFrame& frame, std::string_view filename,
                render_detail::CroutonRun& run)
{
    run.command = kind.input(parts) + "-o \"" + EscapeInQuotes(filename) + "\" -zoom -oac pcm -srate 44100 "
                  + parts.encoder + " -vf " + parts.filters + kind.duplicates(parts) + " -ofps " + parts.rate + " "
                  + kind.tail(parts);
    kprintf("Executing %s", run.command.c_str());
    run.encoder = "-oac pcm -srate 44100 " + parts.encoder + " -vf scale=" + std::to_string(frame.width) + ":"
                  + std::to_string(frame.height) + DsizeFilter(frame, parts.kind) + ",harddup -ofps " + parts.rate
                  + (parts.silent ? " -nosound" : "");
}

} // namespace

std::string JoinCommand(std::string_view output, std::string_view assembled, std::string_view piece)
{
    return "mencoder -oac pcm -ovc lavc -o \"" + EscapeInQuotes(output) + "\" \"" + EscapeInQuotes(assembled) + "\" \""
           + EscapeInQuotes(piece) + "\"\n";
}

std::string SoundtrackCommand(std::string_view silentVideo, std::string_view soundtrack, std::string_view output)
{
    return "mencoder -oac lavc -ovc copy " + std::string(silentVideo) + " -audiofile \"" + EscapeInQuotes(soundtrack)
           + "\" -o " + QuoteIfNeeded(output);
}

std::string FinishCommand(std::string_view output, std::string_view finishVideo)
{
    return "mencoder " + std::string(OutputKindFor(output).finish) + " -o \"" + EscapeInQuotes(output) + "\" \""
           + std::string(finishVideo) + "\"\n";
}

namespace render_detail {

LONG RunRenderCommand(const std::string& command)
{
    CommandResult result = RunCommand(command, {{NP_StackSize, 1024000}, {SYS_Input, 0}, {SYS_Output, 0}});
    NoteToolError(std::move(result.error));
    return result.code;
}

CroutonRun EncodeCrouton(const Project& project, Crouton* crouton, std::string_view filename, bool silent)
{
    CroutonRun run = PlanCroutonEncode(project, crouton, filename, silent);
    if (!run.command.empty()) {
        run.ran = true;
        run.code = RunRenderCommand(run.command);
    }
    return run;
}

CroutonRun PlanCroutonEncode(const Project& project, Crouton* crouton, std::string_view filename, bool silent,
                             const PieceLook& piece)
{
    if (!crouton)
        return Refused("it is missing");
    if (!IsSet(crouton->videoName)) {
        kprintf("Crouton has no source.\n");
        return Refused("it has no source file");
    }
    const CroutonKind& kind = KindOf(*crouton);
    const bool isVideo = crouton->isVideo != FALSE;
    kprintf("Rendering %s %s from %s to %s.\n", kind.name, crouton->videoName->c_str(), SecondsText(crouton->start).c_str(),
            SecondsText(crouton->start + crouton->length).c_str());
    const std::optional<std::string> rateText = RateText(project);
    if (!rateText)
        return RateRefused();
    std::optional<PictureShape> sourceShape;
    if (!isVideo) {
        if (std::optional<std::string> problem = PrepareImages(*crouton, sourceShape))
            return Refused(std::move(*problem));
    }
    const std::optional<OutputFrame> frame = FrameOf(project);
    if (!frame)
        return SizeRefused();
    if (isVideo)
        sourceShape = ProbePictureShape(*crouton->videoName);

    const OutputKind& output = OutputKindFor(ShownText(&ProjectSettings::outputFileName));
    const LONG bitrate = cBaudRates[static_cast<std::size_t>(ClampBaudIndex(project.baudrate))] * output.bitrateUnit;
    LineParts parts{project, *crouton, silent, output, *rateText,
                    WithBitrate(output.*kind.encoder, bitrate) + AspectOption(*frame, output),
                    FrameFilters(frame->width, frame->height, frame->display, sourceShape) + DsizeFilter(*frame, output),
                    {}};
    // The look's options come after everything a plain crouton's line says.
    LookOptions look = LookOptionsOf(piece, *crouton, project);
    if (!look.refusal.empty())
        return Refused(std::move(look.refusal));
    parts.lookText = std::move(look.options);
    CroutonRun run;
    WriteLines(kind, parts, *frame, filename, run);
    return run;
}

std::optional<LONG> FileSize(std::string_view name)
{
    FileLock lock = Lock(name, SHARED_LOCK);
    if (!lock)
        return std::nullopt;
    FileInfoBlock info;
    if (!Examine(*lock, info))
        return 0;
    return info.fib_Size;
}


} // namespace render_detail

void RenderCrouton(const Project* project, Crouton* crouton, std::string_view filename, BOOL silent)
{
    if (!project) {
        kprintf("No project to render.\n");
        return;
    }
    render_detail::EncodeCrouton(*project, crouton, filename, silent != FALSE);
}

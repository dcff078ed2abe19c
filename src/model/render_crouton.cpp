// Encoding one crouton: its mencoder command line, the list and silence
// files of an image crouton, and the reasons a crouton is refused. The
// project's walk over its croutons is render_project.cpp.
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
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

using render_detail::FieldText;

constexpr LONG kLongMax = std::numeric_limits<LONG>::max();
constexpr LONG kLongMin = std::numeric_limits<LONG>::min();

constexpr const char* kListFilename = "T:__CWEncodeList.lst";
// The list file in the path form mencoder takes.
constexpr const char* kListInput = "mf://@/T/__CWEncodeList.lst";
constexpr LONG kSilenceRate = 11025;
constexpr unsigned char kSilenceValue = 128;
constexpr LONG kCopyChunk = 64 * 1024;

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
    if (fps == cCustomFPSID) {
        std::string typed = FieldText(&ProjectFields::customFps);
        if (!IsValidRateText(typed))
            return std::nullopt;
        return typed;
    }
    return FormatFloat(static_cast<double>(cFPSValues[static_cast<std::size_t>(fps)]));
}

struct ImageList {
    int count = 0;
    std::string first; // the first picture listed
};

// A name as the user can read it in a message: line breaks and other
// control characters as \n, \t, \xNN.
std::string Readable(std::string_view name)
{
    std::string readable;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n')
            readable += "\\n";
        else if (c == '\r')
            readable += "\\r";
        else if (byte < 0x20 || byte == 0x7f)
            readable += Format("\\x%02X", byte);
        else
            readable += c;
    }
    return readable;
}

// Writes the list of an image crouton's pictures; the number listed and the
// first of them, or none when the list file could not be made (`problem`
// then says why, naming the picture when a name was at fault).
std::optional<ImageList> WriteImageList(const Crouton& crouton, std::string& problem)
{
    problem = "the list of its pictures could not be written on T:";
    FileHandle list = Open(kListFilename, MODE_NEWFILE);
    if (!list) {
        kprintf("Couldn't open list file for writing.\n");
        return std::nullopt;
    }
    const std::string& videoName = *crouton.videoName;
    std::string tokenised;
    // A file of exactly that name is that one picture, wildcards or not.
    const bool wildcards = IsSourcePattern(videoName);
    if (wildcards)
        ParsePatternNoCase(videoName, tokenised, 1023);
    const int count = wildcards ? GetNumberOfFilesInImageCrouton(&crouton) : 1;
    kprintf(" %d files in crouton.\n", count);
    int listed = 0;
    const std::vector<std::string> entries = wildcards ? BuildFileList(&crouton, tokenised, count) : std::vector<std::string>{};
    // A name that would spill onto a line of its own is not listed at all.
    const auto spills = [](const std::string& name) { return !FitsOnOneLine(name); };
    const auto spilling = std::find_if(entries.begin(), entries.end(), spills);
    if (wildcards ? spilling != entries.end() : spills(videoName)) {
        Close(std::move(list));
        std::string_view name = wildcards ? *spilling : videoName;
        if (name.ends_with('\n'))
            name.remove_suffix(1);
        const bool lineBreak = name.find_first_of("\n\r") != std::string_view::npos;
        problem = "the picture \"" + Readable(name) + "\" holds " + (lineBreak ? "a line break" : "a control character")
                  + " in its name, which the list of pictures given to the encoder cannot hold: rename the picture";
        return std::nullopt;
    }
    bool written = true;
    if (!wildcards) {
        written = FPuts(*list, videoName) == 0 && FPuts(*list, "\n") == 0;
        listed = 1;
    } else {
        for (const std::string& entry : entries) {
            written = FPuts(*list, entry) == 0 && written;
            ++listed;
        }
    }
    // A list whose end never reached the disk would encode fewer pictures.
    if (!Close(std::move(list)) || !written) {
        kprintf("Couldn't write list file.\n");
        DeleteFile(kListFilename);
        return std::nullopt;
    }
    ImageList made{listed, wildcards ? std::string() : videoName};
    if (wildcards && !entries.empty())
        made.first = entries.front().substr(0, entries.front().find('\n'));
    return made;
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

std::string FieldText(std::optional<std::string> ProjectFields::*field)
{
    return (ReadProjectFields().*field).value_or("");
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
    CroutonRun run;
    if (!crouton) {
        run.refusal = "it is missing";
        return run;
    }
    if (!IsSet(crouton->videoName)) {
        kprintf("Crouton has no source.\n");
        run.refusal = "it has no source file";
        return run;
    }
    const std::string& videoName = *crouton->videoName;
    const bool isVideo = crouton->isVideo != FALSE;
    // Whole seconds are written as they always were; a trim to the frame
    // carries its fraction.
    const std::string startPos = SecondsText(crouton->start);
    const std::string lengthText = SecondsText(crouton->length);
    kprintf("Rendering %s %s from %s to %s.\n", isVideo ? "video" : "images", videoName.c_str(), startPos.c_str(),
            SecondsText(crouton->start + crouton->length).c_str());

    const std::optional<std::string> rateText = RateText(project);
    if (!rateText) {
        kprintf("Invalid custom frame rate.\n");
        run.refusal = "the custom frame rate \"" + FieldText(&ProjectFields::customFps)
                      + "\" is not a number of frames per second (such as 25 or 12.5)";
        run.setting = true;
        return run;
    }

    const float croutonRate = CroutonRate(crouton->fps, crouton->customFPS);
    std::optional<PictureShape> sourceShape;
    if (!isVideo) {
        std::string problem;
        const std::optional<ImageList> listed = WriteImageList(*crouton, problem);
        if (!listed) {
            run.refusal = problem;
            return run;
        }
        // No rate (or a rate of 0) gives no length, so the silence is empty.
        if (!WriteSilence(cSilenceFilename, GetCroutonLength(crouton, listed->count))) {
            run.refusal = "its silence could not be written on T:";
            return run;
        }
        if (!listed->first.empty())
            sourceShape = ProbePictureShape(listed->first);
    }

    LONG width = 0;
    LONG height = 0;
    const LONG format = ClampFormatIndex(project.parameters);
    if (format == cCustomFormatID) {
        width = ReadDecimal(FieldText(&ProjectFields::width));
        height = ReadDecimal(FieldText(&ProjectFields::height));
        // Only a size of 0 is refused; mencoder's scale filter gives
        // negative sizes meanings of their own.
        if (width == 0 || height == 0) {
            kprintf("Invalid custom size.\n");
            run.refusal = "the custom size " + FieldText(&ProjectFields::width) + " x " + FieldText(&ProjectFields::height)
                          + " is not a picture size (neither may be 0)";
            run.setting = true;
            return run;
        }
    } else {
        std::sscanf(cFormatParameters[static_cast<std::size_t>(format)], "scale=%d:%d", &width, &height);
    }
    if (isVideo)
        sourceShape = ProbePictureShape(videoName);

    // The shape the file is shown in: the label's, where the frame's own
    // differs from it (the custom format's pixels are square).
    const FormatShape label = cFormatShapes[static_cast<std::size_t>(format)];
    const double frameShape = height != 0 ? static_cast<double>(width) / static_cast<double>(height) : 1.0;
    const bool declared = label.width > 0 && ShapesDiffer(static_cast<double>(label.width) / label.height, frameShape);
    const double display = declared ? static_cast<double>(label.width) / label.height : frameShape;
    const std::string shapeText = std::to_string(label.width) + "/" + std::to_string(label.height);

    const OutputKind& kind = OutputKindFor(FieldText(&ProjectFields::outputFileName));
    const LONG bitrate = cBaudRates[static_cast<std::size_t>(ClampBaudIndex(project.baudrate))] * kind.bitrateUnit;
    const std::string aspect = declared && kind.aspectInLavcopts ? ":aspect=" + shapeText : std::string();
    std::string filters = FrameFilters(width, height, display, sourceShape);
    if (declared && !kind.aspectInLavcopts)
        filters += ",dsize=" + shapeText;

    // The look's options come after everything a plain crouton's line says.
    const LookOptions look = LookOptionsOf(piece, *crouton, project);
    if (!look.refusal.empty()) {
        run.refusal = look.refusal;
        return run;
    }

    const std::string output = EscapeInQuotes(filename);
    std::string command;
    if (isVideo) {
        command = "mencoder \"" + EscapeInQuotes(videoName) + "\" ";
        command += "-o \"" + output + "\" -zoom -oac pcm -srate 44100 " + WithBitrate(kind.videoEncoder, bitrate) + aspect
                   + " -vf " + filters + (kind.framestep ? ",harddup,framestep=2" : ",harddup") + " -ofps " + *rateText + " ";
        if (silent)
            command += "-nosound ";
        else if (IsSet(crouton->soundtrack))
            command += "-audiofile \"" + EscapeInQuotes(*crouton->soundtrack) + "\" ";
        else if (!IsSet(crouton->audioCodec))
            command += "-audiofile silence.mp3 ";
        if (crouton->fps != cCroutonEditorInheritFPSID)
            command += "-fps " + FormatFloat(static_cast<double>(croutonRate)) + " -mc 0 ";
#ifdef CLIPWEAVER_BASIC
        command += "-ss " + startPos + " ";
#else
        command += "-ss " + startPos + " -audio-delay 0 ";
#endif
        command += "-endpos " + lengthText + " ";
        if (!look.options.empty())
            command += look.options.substr(1) + " ";
    } else {
        command = "mencoder ";
        command += std::string(kListInput) + " -mf w=" + std::to_string(project.width) + ":h="
                   + std::to_string(project.height) + ":type=png:fps=" + FormatFloat(static_cast<double>(croutonRate))
                   + " ";
        command += "-o \"" + output + "\" -zoom -oac pcm -srate 44100 " + WithBitrate(kind.imageEncoder, bitrate) + aspect
                   + " -vf " + filters + ",harddup -ofps " + *rateText + " ";
        if (silent)
            command += "-nosound";
        else if (IsSet(crouton->soundtrack))
            command += "-audiofile \"" + EscapeInQuotes(*crouton->soundtrack) + "\" -audio-delay 0000000\n";
        else
            command += "-audio-delay 0000000 -audio-demuxer rawaudio -rawaudio rate=11025:samplesize=1:channels=1 "
                       "-audiofile "
                       + QuoteIfNeeded(cSilenceFilename) + "\n";
    }

    if (!isVideo && !look.options.empty()) {
        // An image line ends in a line break: the look goes before it.
        const bool broken = !command.empty() && command.back() == '\n';
        if (broken)
            command.pop_back();
        command += look.options + (broken ? "\n" : "");
    }
    kprintf("Executing %s", command.c_str());
    run.command = std::move(command);
    run.encoder = "-oac pcm -srate 44100 " + WithBitrate(isVideo ? kind.videoEncoder : kind.imageEncoder, bitrate) + aspect
                  + " -vf scale=" + std::to_string(width) + ":" + std::to_string(height)
                  + (declared && !kind.aspectInLavcopts ? ",dsize=" + shapeText : std::string()) + ",harddup -ofps "
                  + *rateText + (silent ? " -nosound" : "");
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

bool render_detail::WriteSilence(std::string_view filename, float length)
{
    // The byte count, truncated toward zero; a length that is not a positive
    // finite number (a sequence without a rate) gives no bytes.
    const float bytes = length * static_cast<float>(kSilenceRate);
    LONG count = 0;
    if (std::isfinite(bytes) && bytes >= 1.0f)
        count = bytes >= static_cast<float>(kLongMax) ? kLongMax : static_cast<LONG>(bytes);

    FileHandle file = Open(filename, MODE_NEWFILE);
    if (!file)
        return false;
    const std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min(count, kCopyChunk)), kSilenceValue);
    bool written = true;
    for (LONG left = count; left > 0 && written;) {
        const LONG part = std::min(left, kCopyChunk);
        written = Write(*file, buffer.data(), part) == part;
        left -= part;
    }
    // A short silence would end the sound before the picture.
    if (!Close(std::move(file)) || !written) {
        DeleteFile(filename);
        return false;
    }
    return true;
}

void GenerateSilence(std::string_view filename, float length) { render_detail::WriteSilence(filename, length); }

void RenderCrouton(const Project* project, Crouton* crouton, std::string_view filename, BOOL silent)
{
    if (!project) {
        kprintf("No project to render.\n");
        return;
    }
    render_detail::EncodeCrouton(*project, crouton, filename, silent != FALSE);
}

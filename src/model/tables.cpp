#include "model/tables.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr FormatShape k4x3{4, 3};
constexpr FormatShape k16x9{16, 9};

constexpr std::array<OutputFormat, cNumberOfFormats> kOutputFormats = {{
    {"4:3 320x240", "scale=320:240", 0, k4x3},
    {"16:9 320x180", "scale=320:180", 0, k16x9},
    {"4:3 320x256", "scale=320:256", 0, k4x3},
    {"4:3 480x360", "scale=480:360", 4, k4x3},
    {"16:9 480x270", "scale=480:270", 2, k16x9},
    {"4:3 512x384", "scale=512:384", 6, k4x3},
    {"16:9 512x288", "scale=512:288", 2, k16x9},
    {"4:3 576x432", "scale=576:432", 6, k4x3},
    {"16:9  576x264", "scale=576:264", 4, k16x9},
    {"4:3 640x480", "scale=640:480", 6, k4x3},
    {"4:3 640x512", "scale=640:512", 6, k4x3},
    {"16:9 640x360", "scale=640:360", 6, k16x9},
    {"4:3 704x528", "scale=704:528", 6, k4x3},
    {"16:9 704x396", "scale=704:396", 6, k16x9},
    {"4:3 720x566", "scale=620:566", 6, k4x3},
    {"4:3 752x564", "scale=752:564", 6, k4x3},
    {"16:9 752x564", "scale=752:564", 6, k16x9},
    {"16:9 1280x720", "scale=1280:720", 13, k16x9},
    {"16:9 1920x1080", "scale=1920:1080", 13, k16x9},
    {"Custom", "scale=%d:%d", 6, {0, 0}},
}};

// One column of the table; `Terminated` adds the null entry gadgets take.
template <typename T, typename Field>
constexpr std::array<T, cNumberOfFormats> Column(Field field)
{
    std::array<T, cNumberOfFormats> column{};
    for (std::size_t i = 0; i < kOutputFormats.size(); ++i)
        column[i] = kOutputFormats[i].*field;
    return column;
}

template <typename Field>
constexpr std::array<const char*, cNumberOfFormats + 1> Terminated(Field field)
{
    std::array<const char*, cNumberOfFormats + 1> column{};
    for (std::size_t i = 0; i < kOutputFormats.size(); ++i)
        column[i] = kOutputFormats[i].*field;
    column[cNumberOfFormats] = nullptr;
    return column;
}

} // namespace

const std::array<OutputFormat, cNumberOfFormats> cOutputFormats = kOutputFormats;
const std::array<const char*, cNumberOfFormats + 1> cFormatStrings = Terminated(&OutputFormat::label);
const std::array<const char*, cNumberOfFormats + 1> cFormatParameters = Terminated(&OutputFormat::scale);
const std::array<LONG, cNumberOfFormats> cDefaultBaud = Column<LONG>(&OutputFormat::defaultBaud);
const std::array<FormatShape, cNumberOfFormats> cFormatShapes = Column<FormatShape>(&OutputFormat::shape);

namespace {
constexpr const char* kX264 = "-ovc x264 -x264encopts bitrate=%ld:preset=veryfast:subq=1:profile=high";
constexpr const char* kVP9 = "-ovc lavc -lavcopts vcodec=libvpx-vp9:vbitrate=%ld:o=deadline=realtime,cpu-used=8,row-mt=1";
constexpr OutputKind kMp4 = {.extension = ".mp4", .description = "an MP4 file (H.264 video, AAC sound)",
    .videoEncoder = kX264, .bitrateUnit = 1, .imageEncoder = kX264,
    .finish = "-oac faac -faacopts br=192:mpeg=4:object=2 -ovc copy -of lavf -lavfopts format=mp4"};

// A kind that another extension names too.
constexpr OutputKind SameKindAs(OutputKind kind, const char* extension)
{
    kind.extension = extension;
    return kind;
}
} // namespace

// The .avi row holds the lines the program always wrote; a name of no known
// kind is rendered as it says.
const std::array<OutputKind, cNumberOfOutputKinds> cOutputKinds = {{
    {.extension = ".avi",
        .description = "an AVI file (MPEG-4 video, MP3 sound)",
        .videoEncoder = "-ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=%ld",
        .bitrateUnit = 1000,
        .imageEncoder = "-ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell",
        .framestep = true,
        .aspectInLavcopts = true,
        .finish = "-oac lavc -ovc copy"},
    kMp4,
    SameKindAs(kMp4, ".m4v"),
    {.extension = ".mov", .description = "a QuickTime file (H.264 video, AAC sound)", .videoEncoder = kX264,
        .bitrateUnit = 1, .imageEncoder = kX264, 
        .finish = "-oac faac -faacopts br=192:mpeg=4:object=2 -ovc copy -of lavf -lavfopts format=mov"},
    {.extension = ".mkv", .description = "a Matroska file (H.264 video, AAC sound)", .videoEncoder = kX264,
        .bitrateUnit = 1, .imageEncoder = kX264, 
        .finish = "-oac faac -faacopts br=192:mpeg=4:object=2 -ovc copy -of lavf -lavfopts format=matroska"},
    {.extension = ".webm", .description = "a WebM file (VP9 video, Opus sound)", .videoEncoder = kVP9,
        .bitrateUnit = 1000, .imageEncoder = kVP9, .aspectInLavcopts = true,
        .finish = "-oac lavc -lavcopts acodec=libopus:abitrate=128 -ovc copy -of lavf -lavfopts format=webm"},
}};

const OutputKind* KnownOutputKind(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    const std::size_t folder = name.find_last_of("/:");
    if (dot == std::string_view::npos || (folder != std::string_view::npos && dot < folder))
        return nullptr;
    const std::string_view extension = name.substr(dot);
    for (const OutputKind& kind : cOutputKinds) {
        if (std::string_view(kind.extension).size() != extension.size())
            continue;
        if (std::equal(extension.begin(), extension.end(), kind.extension, [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == b;
            }))
            return &kind;
    }
    return nullptr;
}

const OutputKind& OutputKindFor(std::string_view name)
{
    const OutputKind* kind = KnownOutputKind(name);
    return kind ? *kind : cOutputKinds.front();
}

const std::array<const char*, cNumberOfBaudRates + 1> cBaudStrings = {
    "140Kbps", "280Kbps", "512Kbps", "640Kbps", "715Kbps", "816Kbps", "915Kbps",
    "1024Kbps", "1132Kbps", "1280Kbps", "1528Kbps", "1788Kbps", "2048Kbps", "4096Kbps",
    nullptr,
};

const std::array<LONG, cNumberOfBaudRates> cBaudRates = {
    140, 280, 512, 640, 715, 816, 915, 1024, 1132, 1280, 1528, 1788, 2048, 4096,
};

const std::array<const char*, cNumberOfFPS + 1> cFPSStrings = {
    "30000/1001", "24000/1001", "25", "custom", nullptr,
};

const std::array<float, cNumberOfFPS> cFPSValues = {
    30000.0f / 1001.0f, 24000.0f / 1001.0f, 25.0f, 0.0f,
};

const std::array<const char*, cNumberOfCroutonEditorFPS + 1> cCroutonEditorFPSStrings = {
    "Source (Video only)", "5 Seconds/Frame", "4 Seconds/Frame", "3 Seconds/Frame",
    "2 Seconds/Frame", "1.5 Seconds/Frame", "1 Frame/Second", "2 Frames/Second",
    "3 Frames/Second", "4 Frames/Second", "5 Frames/Second", "10 Frames/Second",
    "15 Frames/Second", "20 Frames/Second", "(24000/1001) fps", "25 Frames/Second",
    "(30000/1001) fps", "30 Frames/Second", "custom", nullptr,
};

const std::array<float, cNumberOfCroutonEditorFPS - 1> cCroutonEditorFPSValues = {
    0.0f, 0.2f, 0.25f, 0.33333f, 0.5f, 0.66667f, 1.0f, 2.0f, 3.0f, 4.0f,
    5.0f, 10.0f, 15.0f, 20.0f, 24000.0f / 1001.0f, 25.0f, 30000.0f / 1001.0f, 30.0f,
};

const std::array<const char*, cNumberOfPreviews + 1> cPreviewSelecterTexts = {
    "Frame 1", "Frame 2", "Frame 3", "Frame 4", "Frame 5", nullptr,
};

const std::array<const char*, cNumberOfPreviews> cTemporaryPreviewFilename = {
    "T:__MplayerPreview1.png", "T:__MplayerPreview2.png", "T:__MplayerPreview3.png",
    "T:__MplayerPreview4.png", "T:__MplayerPreview5.png",
};

const char* const cDefaultOutputFilename = "RAM:GreatVideo.mp4";
const char* const cSilenceFilename = "T:__CWSilence.raw";

namespace {
LONG Clamp(LONG index, LONG count) { return std::clamp<LONG>(index, 0, count - 1); }
} // namespace

LONG ClampFormatIndex(LONG index) { return Clamp(index, cNumberOfFormats); }
LONG ClampBaudIndex(LONG index) { return Clamp(index, cNumberOfBaudRates); }
LONG ClampFPSIndex(LONG index) { return Clamp(index, cNumberOfFPS); }
LONG ClampCroutonFPSIndex(LONG index) { return Clamp(index, cNumberOfCroutonEditorFPS); }
LONG ClampPreviewFrame(LONG index) { return Clamp(index, cNumberOfPreviews); }

float CroutonRate(LONG fps, float customFPS)
{
    if (fps == cCroutonEditorCustomFPSID)
        return customFPS;
    const LONG index = std::clamp<LONG>(fps, 0, cCroutonEditorCustomFPSID - 1);
    return cCroutonEditorFPSValues[static_cast<std::size_t>(index)];
}

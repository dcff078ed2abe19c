// What the player is given to play: a crouton's stretch of its source, or
// the whole project as the render lays it (one mpv EDL timeline of the
// croutons' stretches in list order), at the output format's frame size.
#include "media/player_media.h"

#include "model/imageseq.h"
#include "model/tables.h"
#include "os/dos.h"
#include "os/exec.h"
#include "os/format.h"
#include "tools/render_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string Decimal(double value) { return Format("%.6f", value); }

std::string Host(std::string_view path) { return HostPath(path).value_or(std::string(path)); }

bool Exists(std::string_view path)
{
    std::error_code error;
    return std::filesystem::exists(Host(path), error);
}

// The pictures of a source, in order; none when no picture matches.
std::vector<std::string> PictureFiles(std::string_view source)
{
    std::vector<std::string> files;
    const int matching = GetNumberOfFilesInImageSequence(source);
    if (matching > 0 && !IsSourcePattern(source) && IdentityOf(source)) {
        files.push_back(std::string(source));
    } else if (matching > 0) {
        std::string parsed;
        ParsePatternNoCase(source, parsed, 1023);
        files = BuildSequenceFileList(source, parsed, matching);
    }
    for (std::string& file : files) {
        if (!file.empty() && file.back() == '\n')
            file.pop_back();
        file = Host(file);
    }
    return files;
}

// The pictures listed, one frame a line, in a file mpv reads
// ("mf://@list"); the list's name, or none when it cannot be written.
std::optional<std::string> PictureList(const std::vector<std::string>& frames, int number)
{
    const std::string list = Host("T:__CWPlayerList" + std::to_string(number) + ".lst");
    std::string text;
    for (const std::string& frame : frames)
        text += frame + '\n';
    // mpv may be reading the list the player plays: it is rewritten only
    // when the pictures changed.
    std::ifstream in(list, std::ios::binary);
    const std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (old == text)
        return list;
    std::ofstream out(list, std::ios::trunc | std::ios::binary);
    out << text;
    return out.flush() ? std::optional<std::string>(list) : std::nullopt;
}

// The pictures as the render shows them in an output of `outputRate`
// frames a second: each frame the picture due at its time. mpv's picture
// rate is one for the whole player, so in a preview every picture crouton
// is listed at the output's rate, and each keeps its own rate and length.
std::vector<std::string> FramesAt(const std::vector<std::string>& pictures, double rate, double outputRate)
{
    const auto count = static_cast<long>(pictures.size());
    const long frames = std::max(1L, std::lround(static_cast<double>(count) * outputRate / rate));
    std::vector<std::string> shown;
    shown.reserve(static_cast<std::size_t>(frames));
    for (long frame = 0; frame < frames; ++frame) {
        const auto due = static_cast<long>(std::floor(static_cast<double>(frame) * rate / outputRate + 1e-6));
        shown.push_back(pictures[static_cast<std::size_t>(std::min(due, count - 1))]);
    }
    return shown;
}

// One crouton as a stretch: what mpv opens, where it starts and how long.
struct Stretch {
    std::string url;
    double start = 0.0;
    double length = 0.0;
    double rate = 0.0; // pictures a second; 0 for a video
    std::string problem;
};

// `outputRate` is the preview's frame rate, 0 when the crouton plays alone.
Stretch CroutonStretch(const Crouton& crouton, const std::string& source, double start, double end, int number,
                       double outputRate)
{
    Stretch stretch;
    if (crouton.loadProblem) {
        stretch.problem = "The crouton " + source + " could not be loaded (" + *crouton.loadProblem + ").";
        return stretch;
    }
    if (source.empty()) {
        stretch.problem = "The crouton has no source to play.";
        return stretch;
    }
    if (!crouton.isVideo || NamesPictures(source)) {
        const std::vector<std::string> pictures = PictureFiles(source);
        const float rate = CroutonRate(crouton.fps, crouton.customFPS);
        stretch.rate = rate > 0.0f ? rate : 1.0;
        const std::vector<std::string> frames =
            outputRate > 0.0 && !pictures.empty() ? FramesAt(pictures, stretch.rate, outputRate) : pictures;
        const std::optional<std::string> list = frames.empty() ? std::nullopt : PictureList(frames, number);
        if (!list) {
            stretch.problem = "No picture matches " + source + ".";
            return stretch;
        }
        stretch.url = "mf://@" + *list;
        stretch.length = static_cast<double>(frames.size()) / (outputRate > 0.0 ? outputRate : stretch.rate);
        return stretch;
    }
    if (!Exists(source)) {
        stretch.problem = "The source " + source + " cannot be found.";
        return stretch;
    }
    stretch.url = Host(source);
    stretch.start = start;
    stretch.length = std::max(0.0, end - start);
    return stretch;
}

std::string EdlEntry(const std::string& url, double start, double length)
{
    return "%" + std::to_string(url.size()) + "%" + url + ",start=" + Decimal(start) + ",length=" + Decimal(length) + ";";
}
std::string EdlEntry(const Stretch& stretch) { return EdlEntry(stretch.url, stretch.start, stretch.length); }

// A file name as a value inside a lavfi graph: escaped once for the
// filter's options and once for the graph.
std::string GraphValue(const std::string& text)
{
    std::string once;
    for (const char c : text) {
        if (c == '\\' || c == '\'' || c == ':')
            once += '\\';
        once += c;
    }
    std::string twice;
    for (const char c : once) {
        if (c == '\\' || c == '\'' || c == '[' || c == ']' || c == ',' || c == ';')
            twice += '\\';
        twice += c;
    }
    return twice;
}

// The sound under one crouton's stretch, as the render lays it when the
// project has no soundtrack: the crouton's own soundtrack (from the
// stretch's start for a video, as mencoder seeks both), else the video's
// own sound, else silence. Only sound: the picture comes from the other
// stream, and every entry here gives mpv the same single sound track.
std::string SoundEntry(const Crouton& crouton, const Stretch& stretch)
{
    const double start = stretch.rate > 0.0 ? 0.0 : stretch.start;
    if (crouton.soundtrack && !crouton.soundtrack->empty())
        return EdlEntry(Host(*crouton.soundtrack), start, stretch.length);
    if (stretch.rate <= 0.0 && crouton.audioCodec && !crouton.audioCodec->empty())
        return EdlEntry("av://lavfi:amovie=" + GraphValue(stretch.url) + ":seek_point=" + Decimal(start), start,
                        stretch.length);
    return EdlEntry("av://lavfi:anullsrc=r=44100:cl=stereo", 0.0, stretch.length);
}

double ProjectRate(const Project& project)
{
    const LONG fps = ClampFPSIndex(project.fps);
    const double rate = RateIsTyped(fps) ? project.customFPS : cFPSValues[static_cast<std::size_t>(fps)];
    return rate > 0.0 ? rate : 25.0;
}

std::pair<int, int> gOutputFrame{320, 240};

} // namespace

void SetPlayerOutputFrame(std::pair<int, int> frame) { gOutputFrame = frame; }
std::pair<int, int> PlayerOutputFrame() { return gOutputFrame; }

std::pair<int, int> OutputFrameSize(const Project& project)
{
    const LONG format = ClampFormatIndex(project.parameters);
    int width = static_cast<int>(project.width);
    int height = static_cast<int>(project.height);
    if (!SizeIsTyped(format))
        std::sscanf(cFormatParameters[static_cast<std::size_t>(format)], "scale=%d:%d", &width, &height);
    return {std::clamp(width, 16, 4096), std::clamp(height, 16, 4096)};
}

namespace {

// The filter that shows a picture stored turned upright, by its turn in
// degrees clockwise (as the render turns it); none for any other.
constexpr std::pair<int, const char*> kUprightFilters[] = {
    {90, "lavfi=[transpose=clock]"},
    {180, "lavfi=[vflip,hflip]"},
    {270, "lavfi=[transpose=cclock]"},
};

std::optional<std::string> UprightFilter(const std::string& source)
{
    const std::optional<PictureShape> shape = ProbePictureShape(source);
    for (const auto& [turn, filter] : kUprightFilters)
        if (shape && shape->rotation == turn)
            return filter;
    return std::nullopt;
}

} // namespace

PlayerMedia CroutonMedia(const Crouton& crouton, const std::string& source, double start, double end,
                         std::pair<int, int> frame)
{
    PlayerMedia media;
    media.shownName = source;
    std::tie(media.width, media.height) = frame;
    const Stretch stretch = CroutonStretch(crouton, source, start, end, 0, 0.0);
    media.problem = stretch.problem;
    media.url = stretch.url;
    media.start = stretch.rate > 0.0 ? 0.0 : stretch.start;
    media.end = media.start + stretch.length;
    media.fps = stretch.rate > 0.0 ? stretch.rate : 0.0;
    if (stretch.rate > 0.0)
        media.options.emplace_back("mf-fps", Decimal(stretch.rate));
    else if (const std::optional<std::string> upright = stretch.problem.empty() ? UprightFilter(source) : std::nullopt)
        media.options.emplace_back("vf", *upright);
    if (crouton.soundtrack && !crouton.soundtrack->empty())
        media.options.emplace_back("audio-files", Host(*crouton.soundtrack));
    return media;
}

PlayerMedia ProjectMedia(const Project& project)
{
    PlayerMedia media;
    media.preview = true;
    media.shownName = project.projectName;
    media.fps = ProjectRate(project);
    std::tie(media.width, media.height) = OutputFrameSize(project);
    std::string edl;
    std::string sound;
    bool ownSoundtracks = false;
    double at = 0.0;
    int position = 0;
    bool pictures = false;
    for (const ListNode* node = project.croutons.get(); node; node = node->next.get(), ++position) {
        if (!node->node)
            continue;
        const Crouton& crouton = *node->node;
        const std::string source = crouton.videoName.value_or("");
        const Stretch stretch = CroutonStretch(crouton, source, crouton.start,
                                               static_cast<double>(crouton.start + crouton.length), position, media.fps);
        if (!stretch.problem.empty()) {
            media.problem = "Crouton " + std::to_string(position + 1) + ": " + stretch.problem;
            return media;
        }
        if (stretch.length <= 0.0)
            continue;
        pictures = pictures || stretch.rate > 0.0;
        ownSoundtracks = ownSoundtracks || (crouton.soundtrack && !crouton.soundtrack->empty());
        media.joins.push_back(at);
        media.croutons.push_back(position);
        edl += EdlEntry(stretch);
        sound += SoundEntry(crouton, stretch);
        at += stretch.length;
    }
    if (media.joins.empty()) {
        media.problem = "The project has no crouton to play.";
        return media;
    }
    const bool projectSoundtrack = project.soundtrack && !project.soundtrack->empty();
    // Croutons' own soundtracks: a sound stream first (mpv picks its track),
    // then the pictures.
    media.url = ownSoundtracks && !projectSoundtrack ? "edl://" + sound + "!new_stream;" + edl : "edl://" + edl;
    media.end = at;
    // Every picture crouton is listed a frame at a time at the output's rate.
    if (pictures)
        media.options.emplace_back("mf-fps", Decimal(media.fps));
    if (projectSoundtrack)
        media.options.emplace_back("audio-files", Host(*project.soundtrack));
    return media;
}

// What the player is given to play: a crouton's stretch of its source, or
// the whole project as the render lays it (one mpv EDL timeline of the
// croutons' stretches in list order), at the output format's frame size.
#include "media/player_media.h"

#include "model/imageseq.h"
#include "model/tables.h"
#include "os/dos.h"
#include "os/exec.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string Decimal(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

std::string Host(std::string_view path) { return HostPath(path).value_or(std::string(path)); }

bool Exists(std::string_view path)
{
    std::error_code error;
    return std::filesystem::exists(Host(path), error);
}

// The pictures of a source, listed in a file mpv reads ("mf://@list"); the
// list's name, or none when no picture matches.
std::optional<std::string> PictureList(std::string_view source, int number, int* count)
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
    if (files.empty())
        return std::nullopt;
    const std::string list = Host("T:__CWPlayerList" + std::to_string(number) + ".lst");
    std::string text;
    for (std::string file : files) {
        if (!file.empty() && file.back() == '\n')
            file.pop_back();
        text += Host(file) + '\n';
    }
    *count = static_cast<int>(files.size());
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

// One crouton as a stretch: what mpv opens, where it starts and how long.
struct Stretch {
    std::string url;
    double start = 0.0;
    double length = 0.0;
    double rate = 0.0; // pictures a second; 0 for a video
    std::string problem;
};

Stretch CroutonStretch(const Crouton& crouton, const std::string& source, double start, double end, int number)
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
        int count = 0;
        const std::optional<std::string> list = PictureList(source, number, &count);
        const float rate = CroutonRate(crouton.fps, crouton.customFPS);
        if (!list) {
            stretch.problem = "No picture matches " + source + ".";
            return stretch;
        }
        stretch.rate = rate > 0.0f ? rate : 1.0;
        stretch.url = "mf://@" + *list;
        stretch.length = count / stretch.rate;
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

std::string EdlEntry(const Stretch& stretch)
{
    return "%" + std::to_string(stretch.url.size()) + "%" + stretch.url + ",start=" + Decimal(stretch.start)
           + ",length=" + Decimal(stretch.length) + ";";
}

double ProjectRate(const Project& project)
{
    const LONG fps = ClampFPSIndex(project.fps);
    const double rate = fps == cCustomFPSID ? project.customFPS : cFPSValues[static_cast<std::size_t>(fps)];
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
    if (format != cCustomFormatID)
        std::sscanf(cFormatParameters[static_cast<std::size_t>(format)], "scale=%d:%d", &width, &height);
    return {std::clamp(width, 16, 4096), std::clamp(height, 16, 4096)};
}

PlayerMedia CroutonMedia(const Crouton& crouton, const std::string& source, double start, double end,
                         std::pair<int, int> frame)
{
    PlayerMedia media;
    media.shownName = source;
    std::tie(media.width, media.height) = frame;
    const Stretch stretch = CroutonStretch(crouton, source, start, end, 0);
    media.problem = stretch.problem;
    media.url = stretch.url;
    media.start = stretch.rate > 0.0 ? 0.0 : stretch.start;
    media.end = media.start + stretch.length;
    media.fps = stretch.rate > 0.0 ? stretch.rate : 0.0;
    if (stretch.rate > 0.0)
        media.options.emplace_back("mf-fps", Decimal(stretch.rate));
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
    std::string edl = "edl://";
    double at = 0.0;
    int position = 0;
    std::optional<double> pictureRate;
    for (const ListNode* node = project.croutons.get(); node; node = node->next.get(), ++position) {
        if (!node->node)
            continue;
        const Crouton& crouton = *node->node;
        const std::string source = crouton.videoName.value_or("");
        const Stretch stretch = CroutonStretch(crouton, source, crouton.start,
                                               static_cast<double>(crouton.start + crouton.length), position);
        if (!stretch.problem.empty()) {
            media.problem = "Crouton " + std::to_string(position + 1) + ": " + stretch.problem;
            return media;
        }
        if (stretch.length <= 0.0)
            continue;
        if (stretch.rate > 0.0 && !pictureRate)
            pictureRate = stretch.rate;
        media.joins.push_back(at);
        media.croutons.push_back(position);
        edl += EdlEntry(stretch);
        at += stretch.length;
    }
    if (media.joins.empty()) {
        media.problem = "The project has no crouton to play.";
        return media;
    }
    media.url = edl;
    media.end = at;
    // The pictures' rate is one for the whole timeline: the first picture
    // crouton's.
    if (pictureRate)
        media.options.emplace_back("mf-fps", Decimal(*pictureRate));
    if (project.soundtrack && !project.soundtrack->empty())
        media.options.emplace_back("audio-files", Host(*project.soundtrack));
    return media;
}

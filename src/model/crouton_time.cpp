// Times within a crouton's source: typed, shown, snapped to the source's
// frames and written on command lines; and the lengths croutons take in the
// rendered file, which the main window's totals add up.
#include "model/crouton_time.h"

#include "model/imageseq.h"
#include "model/look.h"
#include "model/project_view.h"
#include "model/tables.h"
#include "os/exec.h"
#include "os/format.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Digits with at most one decimal point, and at least one digit.
std::optional<double> PlainSeconds(std::string_view text)
{
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos
        || std::count(text.begin(), text.end(), '.') > 1 || text == ".")
        return std::nullopt;
    return ParseNumber(text);
}

// Digits only.
std::optional<double> PlainWhole(std::string_view text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return ParseNumber(text);
}

std::vector<std::string_view> SplitColons(std::string_view text)
{
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (std::size_t colon = text.find(':'); colon != std::string_view::npos; colon = text.find(':', from)) {
        parts.push_back(text.substr(from, colon - from));
        from = colon + 1;
    }
    parts.push_back(text.substr(from));
    return parts;
}

// A time beyond this is no time in any clip (and keeps LONG's range safe).
constexpr double kLongestTime = 24.0 * 3600.0 * 366.0;

} // namespace

std::optional<double> ParseTrimTime(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    const std::vector<std::string_view> parts = SplitColons(text);
    if (parts.size() > 3)
        return std::nullopt;
    const std::optional<double> seconds = PlainSeconds(parts.back());
    if (!seconds || (parts.size() > 1 && *seconds >= 60.0))
        return std::nullopt;
    double total = *seconds;
    double unit = 60.0;
    for (std::size_t i = parts.size() - 1; i-- > 0; unit *= 60.0) {
        const std::optional<double> whole = PlainWhole(parts[i]);
        // Minutes after hours stay below 60; the first part may be any size.
        if (!whole || (i > 0 && *whole >= 60.0))
            return std::nullopt;
        total += *whole * unit;
    }
    if (!std::isfinite(total) || total > kLongestTime)
        return std::nullopt;
    return total;
}

std::string FormatTrimTime(double seconds)
{
    const long long millis = std::isfinite(seconds) ? std::llround(std::clamp(seconds, 0.0, kLongestTime) * 1000.0) : 0;
    const long long whole = millis / 1000;
    if (whole >= 3600)
        return Format("%lld:%02lld:%02lld.%03lld", whole / 3600, whole / 60 % 60, whole % 60, millis % 1000);
    return Format("%lld:%02lld.%03lld", whole / 60, whole % 60, millis % 1000);
}

double SnapToFrame(double seconds, double rate)
{
    if (!std::isfinite(seconds))
        return 0.0;
    const double step = std::isfinite(rate) && rate > 0.0 && rate <= 1000.0 ? rate : 1000.0;
    return std::round(seconds * step) / step;
}

double SourceFrameRate(const Crouton& crouton)
{
    // A video's probed rate lives in customFPS, whatever rate it is played at.
    return crouton.isVideo ? static_cast<double>(crouton.customFPS) : 0.0;
}

bool IsWholeSecond(double seconds) { return std::isfinite(seconds) && seconds == std::trunc(seconds); }

namespace {

// Seconds as a whole number when they are one, else with at most `places`
// decimals and no trailing zeros.
std::string ShortDecimal(double seconds, int places)
{
    if (IsWholeSecond(seconds) && std::fabs(seconds) < 2147483648.0)
        return std::to_string(static_cast<long long>(seconds));
    std::string text = Format("%.*f", places, seconds);
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

} // namespace

std::string SecondsText(double seconds) { return ShortDecimal(seconds, 6); }

std::string LengthText(double seconds) { return ShortDecimal(seconds, 3); }

LONG NearestSecond(double seconds)
{
    if (!std::isfinite(seconds))
        return 0;
    return static_cast<LONG>(std::clamp(std::round(seconds), static_cast<double>(std::numeric_limits<LONG>::min()),
                                        static_cast<double>(std::numeric_limits<LONG>::max())));
}

std::optional<double> ProjectOutputRate(const Project& project)
{
    const LONG fps = ClampFPSIndex(project.fps);
    if (!RateIsTyped(fps))
        return static_cast<double>(cFPSValues[static_cast<std::size_t>(fps)]);
    // The custom rate as the render reads it: the field's text, a plain
    // number or a ratio of two ("30000/1001").
    const std::string typed = ShownText(&ProjectSettings::typedCustomFPS);
    const std::size_t slash = typed.find('/');
    const std::optional<double> top = PlainSeconds(typed.substr(0, slash));
    const std::optional<double> bottom = slash == std::string::npos ? 1.0 : PlainSeconds(typed.substr(slash + 1));
    if (!top || !bottom || !(*bottom > 0.0) || !(*top / *bottom > 0.0))
        return std::nullopt;
    return *top / *bottom;
}

double RenderedSeconds(const Crouton& crouton, double outputRate)
{
    if (!(outputRate > 0.0) || !std::isfinite(outputRate))
        return 0.0;
    double seconds = std::max(0.0, crouton.length);
    if (!crouton.isVideo) {
        const double rate = CroutonRate(crouton.fps, crouton.customFPS);
        if (!(rate > 0.0) || !std::isfinite(rate))
            return 0.0;
        int pictures = 0;
        {
            // The totals are no operation of the user's: the count is
            // made without a trace.
            TraceHold quiet;
            pictures = GetNumberOfFilesInImageCrouton(&crouton);
        }
        seconds = static_cast<double>(pictures) / rate;
    } else if (crouton.fps == cCroutonEditorInheritFPSID && crouton.videoLength > 0.0) {
        // The encode stops where the source does.
        seconds = std::min(seconds, std::max(0.0, crouton.videoLength - crouton.start));
    }
    // Whole frames cover the stretch, the last one may reach past it.
    const double frames = std::ceil(seconds * outputRate - 1e-6);
    return frames > 0.0 ? frames / outputRate : 0.0;
}

double ProjectRenderedSeconds(const Project& project)
{
    const std::optional<double> rate = ProjectOutputRate(project);
    if (!rate)
        return 0.0;
    std::vector<double> lengths;
    for (const ListNode* node = project.croutons.get(); node != nullptr; node = node->next.get()) {
        const bool renders = node->node && !node->node->loadProblem;
        lengths.push_back(renders ? RenderedSeconds(*node->node, *rate) : 0.0);
    }
    // Each transition lays the croutons either side of it over each other.
    double seconds = 0.0;
    for (const double length : lengths)
        seconds += length;
    for (const double overlap : JoinOverlaps(project, lengths))
        seconds -= overlap;
    return seconds;
}

#include "os/work_time_left.h"

#include "os/format.h"

#include <algorithm>
#include <cmath>

namespace {

// Before this much of the work is done, a guess at what remains is noise.
constexpr double kEstimateFrom = 0.01;

} // namespace

double WorkProgress::Fraction() const
{
    if (count <= 0 || index <= 0)
        return 0.0;
    return std::clamp((index - 1 + within) / count, 0.0, 1.0);
}

double WorkProgress::TimedFraction() const
{
    const int timed = count - static_cast<int>(atOnce.size());
    if (timed <= 0 || index <= 0)
        return 0.0;
    int before = 0;
    for (int step = 1; step < index; ++step)
        before += atOnce.count(step) == 0 ? 1 : 0;
    const double current = atOnce.count(index) == 0 ? within : 0.0;
    return std::clamp((before + current) / timed, 0.0, 1.0);
}

std::string TimeLeftText(double elapsedSeconds, double timedFraction)
{
    if (!(timedFraction >= kEstimateFrom))
        return "estimating";
    const double left = std::max(0.0, elapsedSeconds) * (1.0 - timedFraction) / timedFraction;
    return "about " + FormatClock(std::llround(left));
}

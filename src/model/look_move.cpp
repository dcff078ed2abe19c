// Pan and zoom moves: a crouton's own framings held to its picture, or a
// gentle move chosen for it.
#include "model/look_move.h"

#include "model/crouton.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr double kLeastZoom = 1.0;
constexpr double kMostZoom = 3.0;

double Finite(double value, double otherwise) { return std::isfinite(value) ? value : otherwise; }

// Numbers drawn from a seed (splitmix64): the same seed, the same numbers.
class Draws {
public:
    explicit Draws(std::uint64_t seed) : state_(seed) {}
    // A number from `low` to `high`.
    double Between(double low, double high)
    {
        state_ += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        z ^= z >> 31;
        return low + (high - low) * static_cast<double>(z >> 11) / static_cast<double>(1ULL << 53);
    }
    // A centre at `zoom`, somewhere the frame stays on the picture.
    double Centre(double zoom) { return Between(0.5 / zoom, 1.0 - 0.5 / zoom); }

private:
    std::uint64_t state_;
};

// The kinds of gentle move. Zooms stay near 1.2 and drifts within the
// picture, so that no picture is cut much or moves fast.
struct GentleKind {
    const char* name;
    PanZoomMove (*make)(Draws& draws);
};

PanZoomMove ZoomIn(Draws& draws)
{
    const double zoom = draws.Between(1.12, 1.22);
    return {{}, {zoom, draws.Centre(zoom), draws.Centre(zoom)}};
}

PanZoomMove ZoomOut(Draws& draws)
{
    const PanZoomMove in = ZoomIn(draws);
    return {in.to, in.from};
}

// Across the picture at one zoom, to the left or to the right.
PanZoomMove Drift(Draws& draws)
{
    const double zoom = draws.Between(1.12, 1.2);
    const double half = 0.5 / zoom;
    const double reach = (0.5 - half) * draws.Between(0.6, 0.9);
    const double y = draws.Centre(zoom);
    const double side = draws.Between(0, 1) < 0.5 ? -1.0 : 1.0;
    return {{zoom, 0.5 - side * reach, y}, {zoom, 0.5 + side * reach, y}};
}

// Up or down the picture while it comes a little closer.
PanZoomMove Rise(Draws& draws)
{
    const double start = draws.Between(1.06, 1.1);
    const double end = draws.Between(1.16, 1.22);
    const double x = draws.Centre(start);
    const double side = draws.Between(0, 1) < 0.5 ? -1.0 : 1.0;
    const double y0 = 0.5 - side * (0.5 - 0.5 / start) * 0.8;
    const double y1 = 0.5 + side * (0.5 - 0.5 / end) * 0.8;
    return {{start, x, y0}, {end, x, y1}};
}

const std::vector<GentleKind>& GentleKinds()
{
    static const std::vector<GentleKind> kinds = {
        {"zoom in", ZoomIn},
        {"zoom out", ZoomOut},
        {"drift", Drift},
        {"rise", Rise},
    };
    return kinds;
}

// FNV-1a over the picture's name, then the position mixed in.
std::uint64_t SeedOf(const Crouton& crouton, int position)
{
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (const char c : crouton.videoName.value_or(""))
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
    return hash ^ (static_cast<std::uint64_t>(position) * 0x9E3779B97F4A7C15ULL);
}

} // namespace

Framing HeldFraming(Framing framing)
{
    framing.zoom = std::clamp(Finite(framing.zoom, kLeastZoom), kLeastZoom, kMostZoom);
    const double half = 0.5 / framing.zoom;
    framing.x = std::clamp(Finite(framing.x, 0.5), half, 1.0 - half);
    framing.y = std::clamp(Finite(framing.y, 0.5), half, 1.0 - half);
    return framing;
}

PanZoomMove MoveOf(const PanZoom& panZoom, const Crouton& crouton, int position)
{
    if (!panZoom.gentle)
        return {HeldFraming(panZoom.from), HeldFraming(panZoom.to)};
    Draws draws(SeedOf(crouton, position));
    const std::vector<GentleKind>& kinds = GentleKinds();
    const auto kind = std::min(kinds.size() - 1, static_cast<std::size_t>(draws.Between(0, 1) * kinds.size()));
    const PanZoomMove move = kinds[kind].make(draws);
    return {HeldFraming(move.from), HeldFraming(move.to)};
}

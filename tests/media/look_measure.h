// Measures of rendered croutons' looks: gray frames decoded from a file,
// how far a picture moved between two frames (phase correlation, to a
// fraction of a pixel), how much two frames differ row by row, and how loud
// a file's sound is.
#pragma once

#include "render_support.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <optional>
#include <string>
#include <vector>

namespace look_measure {

// The gray frames of a file, each `width` x `height` (cropped around the
// centre when `crop` is set to a size).
struct Frames {
    int width = 0;
    int height = 0;
    std::vector<std::vector<double>> frames;
};

inline Frames Decode(const std::string& file, int width, int height, int crop = 0)
{
    Frames decoded;
    std::vector<std::string> command = {"ffmpeg", "-nostdin", "-v", "error", "-i", file, "-map", "0:v:0"};
    if (crop > 0) {
        const std::string size = std::to_string(crop);
        command.insert(command.end(), {"-vf", "crop=" + size + ":" + size});
        width = height = crop;
    }
    command.insert(command.end(), {"-f", "rawvideo", "-pix_fmt", "gray", "-"});
    const std::string bytes = render_test::Capture(command).value_or("");
    decoded.width = width;
    decoded.height = height;
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t at = 0; size > 0 && at + size <= bytes.size(); at += size) {
        std::vector<double> frame(size);
        for (std::size_t i = 0; i < size; ++i)
            frame[i] = static_cast<unsigned char>(bytes[at + i]);
        decoded.frames.push_back(std::move(frame));
    }
    return decoded;
}

// The mean absolute difference of each row of two frames.
inline std::vector<double> RowDifferences(const Frames& frames, const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> rows(static_cast<std::size_t>(frames.height), 0.0);
    for (int y = 0; y < frames.height; ++y) {
        for (int x = 0; x < frames.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(frames.width) + static_cast<std::size_t>(x);
            rows[static_cast<std::size_t>(y)] += std::fabs(a[i] - b[i]);
        }
        rows[static_cast<std::size_t>(y)] /= frames.width;
    }
    return rows;
}

using Complex = std::complex<double>;

// In-place radix-2 transform of `n` values `stride` apart.
inline void Transform(Complex* data, std::size_t n, std::size_t stride, bool inverse)
{
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(data[i * stride], data[j * stride]);
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const double angle = 2 * M_PI / static_cast<double>(length) * (inverse ? 1 : -1);
        const Complex step(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += length) {
            Complex w(1);
            for (std::size_t k = 0; k < length / 2; ++k, w *= step) {
                const Complex u = data[(i + k) * stride];
                const Complex v = data[(i + k + length / 2) * stride] * w;
                data[(i + k) * stride] = u + v;
                data[(i + k + length / 2) * stride] = u - v;
            }
        }
    }
}

inline void Transform2(std::vector<Complex>& data, std::size_t n, bool inverse)
{
    for (std::size_t row = 0; row < n; ++row)
        Transform(data.data() + row * n, n, 1, inverse);
    for (std::size_t column = 0; column < n; ++column)
        Transform(data.data() + column, n, n, inverse);
}

struct Shift {
    double x = 0;
    double y = 0;
};

// How far the picture moved from `a` to `b` (square frames, a power of two
// wide): the peak of their phase correlation, refined between pixels by a
// parabola through it and its neighbours.
inline Shift PhaseShift(const std::vector<double>& a, const std::vector<double>& b, std::size_t n)
{
    std::vector<Complex> fa(n * n);
    std::vector<Complex> fb(n * n);
    for (std::size_t y = 0; y < n; ++y) {
        for (std::size_t x = 0; x < n; ++x) {
            // A window, so that the frames' edges do not correlate.
            const double w = (0.5 - 0.5 * std::cos(2 * M_PI * x / n)) * (0.5 - 0.5 * std::cos(2 * M_PI * y / n));
            fa[y * n + x] = a[y * n + x] * w;
            fb[y * n + x] = b[y * n + x] * w;
        }
    }
    Transform2(fa, n, false);
    Transform2(fb, n, false);
    for (std::size_t i = 0; i < n * n; ++i) {
        const Complex cross = fb[i] * std::conj(fa[i]);
        fa[i] = std::abs(cross) > 1e-12 ? cross / std::abs(cross) : Complex(0);
    }
    Transform2(fa, n, true);
    std::size_t peak = 0;
    for (std::size_t i = 1; i < n * n; ++i)
        if (fa[i].real() > fa[peak].real())
            peak = i;
    const auto at = [&fa, n](std::size_t x, std::size_t y) { return fa[(y % n) * n + (x % n)].real(); };
    const std::size_t px = peak % n;
    const std::size_t py = peak / n;
    const auto refine = [](double before, double centre, double after) {
        const double curve = before - 2 * centre + after;
        return std::fabs(curve) < 1e-12 ? 0.0 : 0.5 * (before - after) / curve;
    };
    const auto wrapped = [n](std::size_t p) {
        return p >= n / 2 ? static_cast<double>(p) - static_cast<double>(n) : static_cast<double>(p);
    };
    return {wrapped(px) + refine(at(px + n - 1, py), at(px, py), at(px + 1, py)),
        wrapped(py) + refine(at(px, py + n - 1), at(px, py), at(px, py + 1))};
}

// The loudness of a file's sound from `from` for `seconds`, in dB of full
// scale (root mean square); none without sound.
inline std::optional<double> Loudness(const std::string& file, double from, double seconds)
{
    const auto bytes = render_test::Capture({"ffmpeg", "-nostdin", "-v", "error", "-i", file, "-map", "0:a:0", "-ss",
        std::to_string(from), "-t", std::to_string(seconds), "-ac", "1", "-f", "s16le", "-"});
    if (!bytes || bytes->size() < 2)
        return std::nullopt;
    double sum = 0;
    const std::size_t count = bytes->size() / 2;
    for (std::size_t i = 0; i < count; ++i) {
        const auto low = static_cast<unsigned char>((*bytes)[2 * i]);
        const auto high = static_cast<unsigned char>((*bytes)[2 * i + 1]);
        const double sample = static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8))) / 32768.0;
        sum += sample * sample;
    }
    return 10 * std::log10(std::max(sum / static_cast<double>(count), 1e-12));
}

} // namespace look_measure

#include "os/format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

std::string VFormat(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (size > 0) {
        text.resize(static_cast<std::size_t>(size) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<std::size_t>(size));
    }
    return text;
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = VFormat(format, args);
    va_end(args);
    return text;
}

std::string FormatClock(long long seconds)
{
    if (seconds < 0)
        seconds = 0;
    const long long hours = seconds / 3600;
    const long long minutes = seconds / 60 % 60;
    const long long rest = seconds % 60;
    if (hours > 0)
        return Format("%lld:%02lld:%02lld", hours, minutes, rest);
    return Format("%lld:%02lld", minutes, rest);
}

std::optional<std::int32_t> ParseWhole(std::string_view text)
{
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || last != end)
        return std::nullopt;
    return value;
}

std::optional<double> ParseNumber(std::string_view text)
{
    const std::string copy(text);
    if (copy.empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || *end != '\0' || !std::isfinite(value))
        return std::nullopt;
    return value;
}

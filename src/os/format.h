// printf-style formatting into a std::string, for commands and traces.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The text `format` gives with the arguments; empty when it gives none.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A length of time as a clock shows it: "0:32", or "1:02:03" from an hour
// on; below 0 shows as "0:00".
std::string FormatClock(long long seconds);
std::string VFormat(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
// The whole text read as a finite decimal number ("25", "-1.5", "1e3");
// none for an empty text, trailing characters, infinity or NaN.
std::optional<double> ParseNumber(std::string_view text);
// The whole text read as a whole number that fits a LONG ("25", "-3");
// none for an empty text, a fraction, trailing characters or an overflow.
std::optional<std::int32_t> ParseWhole(std::string_view text);

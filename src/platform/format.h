// printf-style formatting into a std::string, for commands and traces.
#pragma once

#include <cstdarg>
#include <string>

// The text `format` gives with the arguments; empty when it gives none.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string VFormat(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

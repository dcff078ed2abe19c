// What the fuzz targets share: a quiet trace, a private folder to work in,
// and the input as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {

// Drops the debug trace, makes a private folder, makes it the current one
// and points T: and RAM: into it. Once per process.
void SetUp();

// The private folder.
const std::string& Folder();

inline std::string_view Text(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// Writes a host file in the private folder; its full path.
std::string WriteFile(const std::string& name, std::string_view text);

std::string ReadFile(const std::string& path);

} // namespace fuzz

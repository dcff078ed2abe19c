// The player's frame as a PNG file: RGB, its pixel rows stored without
// compression, so the file needs no library and reads back exactly.
#include "media/player.h"

#include <array>
#include <cstdlib>
#include <fstream>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Crc(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            entries[n] = c;
        }
        return entries;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xff] ^ (crc >> 8);
    return ~crc;
}

void Put32(Bytes& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void Chunk(Bytes& out, const char* type, const Bytes& data)
{
    Put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    Put32(out, Crc(out.data() + start, out.size() - start));
}

// A zlib stream of stored blocks.
Bytes Stored(const Bytes& raw)
{
    Bytes out{0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t size = std::min<std::size_t>(65535, raw.size() - at);
        out.push_back(at + size == raw.size() ? 1 : 0);
        out.push_back(static_cast<std::uint8_t>(size));
        out.push_back(static_cast<std::uint8_t>(size >> 8));
        out.push_back(static_cast<std::uint8_t>(~size));
        out.push_back(static_cast<std::uint8_t>(~size >> 8));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    } while (at < raw.size());
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    Put32(out, (b << 16) | a);
    return out;
}

} // namespace

bool WritePng(const std::string& hostFile, const PlayerFrame& frame)
{
    if (frame.width <= 0 || frame.height <= 0)
        return false;
    Bytes raw;
    raw.reserve(static_cast<std::size_t>(frame.height) * (static_cast<std::size_t>(frame.width) * 3 + 1));
    for (int y = 0; y < frame.height; ++y) {
        raw.push_back(0);
        const std::uint8_t* row = frame.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(frame.width) * 4;
        for (int x = 0; x < frame.width; ++x)
            raw.insert(raw.end(), {row[x * 4 + 2], row[x * 4 + 1], row[x * 4]});
    }
    Bytes header;
    Put32(header, static_cast<std::uint32_t>(frame.width));
    Put32(header, static_cast<std::uint32_t>(frame.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    Bytes file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Chunk(file, "IHDR", header);
    Chunk(file, "IDAT", Stored(raw));
    Chunk(file, "IEND", {});
    std::ofstream out(hostFile, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out.flush());
}

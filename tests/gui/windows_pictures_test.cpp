// The program's own pictures: present beside the tests and in data/, and
// well-formed PNG files of a size that fits the preview gadgets.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct PngInfo {
    bool valid = false;
    std::string fault;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int chunks = 0;
};

std::uint32_t Crc32(const unsigned char* data, std::size_t length)
{
    std::uint32_t crc = 0xffffffffu;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xffffffffu;
}

std::uint32_t BigEndian(const unsigned char* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// Walks the chunks: signature, IHDR first, every CRC right, at least one
// IDAT, IEND last with nothing after it.
PngInfo ReadPng(const std::filesystem::path& path)
{
    PngInfo info;
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    constexpr std::array<unsigned char, 8> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (bytes.size() < signature.size() || !std::equal(signature.begin(), signature.end(), bytes.begin())) {
        info.fault = "no PNG signature";
        return info;
    }
    std::size_t at = signature.size();
    bool sawData = false;
    while (at + 12 <= bytes.size()) {
        const std::uint32_t length = BigEndian(&bytes[at]);
        if (at + 12 + length > bytes.size()) {
            info.fault = "chunk runs past the end";
            return info;
        }
        const std::string type(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
        const std::uint32_t stored = BigEndian(&bytes[at + 8 + length]);
        if (Crc32(&bytes[at + 4], length + 4) != stored) {
            info.fault = "bad CRC in " + type;
            return info;
        }
        if (info.chunks == 0) {
            if (type != "IHDR" || length != 13) {
                info.fault = "first chunk is not IHDR";
                return info;
            }
            info.width = BigEndian(&bytes[at + 8]);
            info.height = BigEndian(&bytes[at + 12]);
        }
        ++info.chunks;
        sawData = sawData || type == "IDAT";
        at += 12 + length;
        if (type == "IEND") {
            info.valid = sawData && at == bytes.size();
            if (!info.valid)
                info.fault = sawData ? "bytes after IEND" : "no IDAT";
            return info;
        }
    }
    info.fault = "no IEND";
    return info;
}

const std::array<const char*, 6> kPictures = {
    "NoVideoLoaded.png", "NoImageAvailable.png", "NoImageLoaded.png",
    "NoKeyFrame.png",    "BlankSpacer.png",      "Loading.png",
};

TEST(WindowsPictures, EveryPictureIsAWellFormedPng)
{
    for (const char* name : kPictures) {
        for (const std::filesystem::path& folder :
             {std::filesystem::path(CW_SOURCE_DIR) / "data", std::filesystem::path(CW_TEST_RUN_DIR)}) {
            const auto path = folder / name;
            ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
            const PngInfo info = ReadPng(path);
            EXPECT_TRUE(info.valid) << path << ": " << info.fault;
            EXPECT_GT(info.width, 0u) << path;
            EXPECT_GT(info.height, 0u) << path;
        }
    }
}

// The program opens its pictures by bare name from its current directory,
// which for the tests is the run folder.
TEST(WindowsPictures, PicturesAreFoundByBareName)
{
    for (const char* name : kPictures)
        EXPECT_TRUE(std::filesystem::exists(name)) << name;
}

TEST(WindowsPictures, StandInsFitThePreviewGadgets)
{
    for (const char* name : {"NoVideoLoaded.png", "NoImageAvailable.png", "NoImageLoaded.png",
                             "NoKeyFrame.png", "Loading.png"}) {
        const PngInfo info = ReadPng(std::filesystem::path(CW_SOURCE_DIR) / "data" / name);
        EXPECT_EQ(info.width, 160u) << name;
        EXPECT_EQ(info.height, 120u) << name;
    }
    // The spacer closes a preview row at most 240 pixels wide.
    const PngInfo spacer = ReadPng(std::filesystem::path(CW_SOURCE_DIR) / "data" / "BlankSpacer.png");
    EXPECT_LT(spacer.width, 240u);
    EXPECT_LE(spacer.height, 120u);
}

TEST(WindowsPictures, DamagedFilesAreNotTakenForPictures)
{
    const auto good = std::filesystem::path(CW_SOURCE_DIR) / "data" / "NoVideoLoaded.png";
    std::ifstream in(good, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(bytes.size(), 64u);

    char folderTemplate[] = "/tmp/cw-pictures-XXXXXX";
    ASSERT_NE(mkdtemp(folderTemplate), nullptr);
    const std::filesystem::path folder = folderTemplate;
    const auto write = [&](const std::string& name, const std::string& content) {
        std::ofstream(folder / name, std::ios::binary) << content;
        return ReadPng(folder / name);
    };

    std::string flipped = bytes;
    flipped[40] = static_cast<char>(flipped[40] ^ 0x01);
    EXPECT_FALSE(write("flipped.png", flipped).valid);
    EXPECT_FALSE(write("cut.png", bytes.substr(0, bytes.size() - 5)).valid);
    EXPECT_FALSE(write("text.png", "No video\n").valid);
    EXPECT_TRUE(write("copy.png", bytes).valid);

    std::filesystem::remove_all(folder);
}

} // namespace

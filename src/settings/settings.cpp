// Program-wide preferences: the record in force, its snapshot while a
// settings window is open, and the settings file (the record's 4 bytes,
// little-endian).
#include "settings/settings.h"

#include "model/line_file.h"
#include "os/question.h"

#include <array>
#include <cstdint>

Settings gSettings;
Settings gOldSettings;
const char gSettingsFilename[20] = "Clipweaver.settings";

namespace {

constexpr LONG kRecordSize = 4;

// Writes the record; false when the bytes did not all go out.
bool WriteSettings(DosFile& file)
{
    const auto value = static_cast<std::uint32_t>(gSettings.pad);
    const std::array<unsigned char, kRecordSize> bytes = {
        static_cast<unsigned char>(value & 0xff),
        static_cast<unsigned char>((value >> 8) & 0xff),
        static_cast<unsigned char>((value >> 16) & 0xff),
        static_cast<unsigned char>((value >> 24) & 0xff),
    };
    return Write(file, bytes.data(), kRecordSize) == kRecordSize;
}

} // namespace

void LoadDefaults() { gSettings.pad = 0; }

void LoadSettings(DosFile& file)
{
    LoadDefaults();
    std::array<unsigned char, kRecordSize> bytes{};
    LONG got = 0;
    while (got < kRecordSize) {
        const LONG count = Read(file, bytes.data() + got, kRecordSize - got);
        if (count <= 0)
            break;
        got += count;
    }
    // A file too short to hold the record leaves the defaults.
    if (got < kRecordSize)
        return;
    const std::uint32_t value = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
                                (static_cast<std::uint32_t>(bytes[2]) << 16) |
                                (static_cast<std::uint32_t>(bytes[3]) << 24);
    gSettings.pad = static_cast<LONG>(value);
}

void SaveSettings(DosFile& file) { WriteSettings(file); }

void InitSettings()
{
    FileHandle file = OpenRegularFile(gSettingsFilename, MODE_OLDFILE);
    if (file) {
        LoadSettings(*file);
        Close(std::move(file));
    } else {
        LoadDefaults();
    }
}

void OpenSettings(mui::Object* window)
{
    kprintf("Opening settings window.\n");
    gOldSettings = gSettings;
    mui::set(window, MUIA_Window_Open, LONG{TRUE});
}

void CloseSettings(mui::Object* window)
{
    kprintf("Closing settings window.\n");
    mui::set(window, MUIA_Window_Open, LONG{FALSE});
    gSettings = gOldSettings;
}

void UseSettings(mui::Object* /*window*/, BOOL save)
{
    gOldSettings = gSettings;
    if (!save)
        return;
    // Written beside the old file and put in place whole, like the project.
    const auto value = static_cast<std::uint32_t>(gSettings.pad);
    const std::string bytes = {
        static_cast<char>(value & 0xff),
        static_cast<char>((value >> 8) & 0xff),
        static_cast<char>((value >> 16) & 0xff),
        static_cast<char>((value >> 24) & 0xff),
    };
    ReplacingFile file(gSettingsFilename);
    if (!file.CommitBytes(bytes)) {
        kprintf("Couldn't save settings.\n");
        TellUser("Settings not saved", std::string("The settings could not be saved to ") + gSettingsFilename + ": "
                                           + SaveFailureReason(file.Error()) + ". The file is as it was.");
    }
}

void UpdateSettings(mui::Object* /*window*/, LONG /*signal*/) { kprintf("Unknown signal in UpdateSettings().\n"); }

void DestroySettings() {}

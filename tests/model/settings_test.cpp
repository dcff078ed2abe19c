// The preferences record, its file and the settings window's life cycle.
#include "settings/settings.h"
#include "model_test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using modeltest::HostExists;
using modeltest::ReadHostFile;
using modeltest::TempDir;
using modeltest::WriteHostFile;

namespace {

// Each test works in a folder of its own, where the settings file lies.
class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() : inside_(dir_.path())
    {
        gSettings = Settings{};
        gOldSettings = Settings{};
    }
    std::string File() const { return dir_ / "Clipweaver.settings"; }

    TempDir dir_;
    modeltest::ScopedCurrentDir inside_;
};

TEST_F(SettingsTest, FileName)
{
    EXPECT_STREQ(gSettingsFilename, "Clipweaver.settings");
    EXPECT_EQ(std::strlen(gSettingsFilename), 19u);
    EXPECT_EQ(sizeof gSettingsFilename, 20u);
}

TEST_F(SettingsTest, NoFileGivesTheDefaults)
{
    gSettings.pad = 42;
    TraceCapture trace;
    InitSettings();
    EXPECT_EQ(gSettings.pad, 0);
    EXPECT_EQ(trace.Text(), "");
    EXPECT_FALSE(HostExists(File()));
}

TEST_F(SettingsTest, ReadsLittleEndian)
{
    WriteHostFile(File(), std::string("\x01\x00\x00\x00", 4));
    InitSettings();
    EXPECT_EQ(gSettings.pad, 1);

    WriteHostFile(File(), std::string("\x78\x56\x34\x12", 4));
    InitSettings();
    EXPECT_EQ(gSettings.pad, 0x12345678);

    WriteHostFile(File(), std::string("\xfe\xff\xff\xff", 4));
    InitSettings();
    EXPECT_EQ(gSettings.pad, -2);

    // Bytes after the record are not read.
    WriteHostFile(File(), std::string("\x05\x00\x00\x00\x09", 5));
    InitSettings();
    EXPECT_EQ(gSettings.pad, 5);
}

TEST_F(SettingsTest, ShortFileGivesTheDefaults)
{
    for (const std::string& contents : {std::string(), std::string("\x07", 1), std::string("\x07\x01\x02", 3)}) {
        gSettings.pad = 99;
        WriteHostFile(File(), contents);
        InitSettings();
        EXPECT_EQ(gSettings.pad, 0) << contents.size() << " bytes";
    }
}

TEST_F(SettingsTest, LoadAndSaveOnOpenFiles)
{
    WriteHostFile(File(), std::string("\x2a\x00\x00\x00", 4));
    FileHandle file = Open(gSettingsFilename, MODE_OLDFILE);
    ASSERT_TRUE(file);
    gSettings.pad = 7;
    LoadSettings(*file);
    EXPECT_EQ(gSettings.pad, 42);
    Close(std::move(file));

    gSettings.pad = -123456789;
    file = Open("other.settings", MODE_NEWFILE);
    ASSERT_TRUE(file);
    SaveSettings(*file);
    ASSERT_EQ(Close(std::move(file)), TRUE);
    EXPECT_EQ(ReadHostFile(dir_ / "other.settings"), std::string("\xeb\x32\xa4\xf8", 4));
}

TEST_F(SettingsTest, UseWithSaveWritesTheFile)
{
    gSettings.pad = 0x01020304;
    TraceCapture trace;
    UseSettings(nullptr, TRUE);
    EXPECT_EQ(ReadHostFile(File()), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(gOldSettings.pad, 0x01020304);
    EXPECT_EQ(trace.Text(), "");

    gSettings = Settings{};
    InitSettings();
    EXPECT_EQ(gSettings.pad, 0x01020304);
}

TEST_F(SettingsTest, UseWithoutSaveChangesNoFile)
{
    gSettings.pad = 5;
    UseSettings(nullptr, FALSE);
    EXPECT_EQ(gOldSettings.pad, 5);
    EXPECT_FALSE(HostExists(File()));

    WriteHostFile(File(), std::string("\x01\x00\x00\x00", 4));
    gSettings.pad = 6;
    UseSettings(nullptr, FALSE);
    EXPECT_EQ(ReadHostFile(File()), std::string("\x01\x00\x00\x00", 4));
}

TEST_F(SettingsTest, SaveFailureIsTraced)
{
    // A folder in the file's place cannot be opened as a file.
    std::filesystem::create_directories(File());
    gSettings.pad = 9;
    TraceCapture trace;
    UseSettings(nullptr, TRUE);
    EXPECT_EQ(trace.Text(), "Clipweaver.settings is not a regular file; not opened.\nCouldn't save settings.\n");
    EXPECT_EQ(gSettings.pad, 9);
    EXPECT_EQ(gOldSettings.pad, 9);
}

TEST_F(SettingsTest, WindowLifeCycle)
{
    std::vector<mui::ObjectPtr> children;
    children.push_back(mui::MakeText("none yet"));
    std::vector<mui::ObjectPtr> windows;
    windows.push_back(mui::MakeWindow("Settings", mui::MakeGroup(false, std::move(children))));
    mui::Object* window = windows.front().get();
    mui::ObjectPtr application = mui::MakeApplication("Settings test", std::move(windows), nullptr);
    ASSERT_TRUE(application);
    gSettings.pad = 1;

    // Open, change, close: the change is dropped.
    TraceCapture trace;
    OpenSettings(window);
    EXPECT_EQ(trace.Text(), "Opening settings window.\n");
    EXPECT_EQ(window->GetLong(MUIA_Window_Open), TRUE);
    gSettings.pad = 2;
    trace.Clear();
    CloseSettings(window);
    EXPECT_EQ(trace.Text(), "Closing settings window.\n");
    EXPECT_EQ(window->GetLong(MUIA_Window_Open), FALSE);
    EXPECT_EQ(gSettings.pad, 1);

    // Open, change, use, close: the change stays, and the window is left as
    // it was by the use.
    OpenSettings(window);
    gSettings.pad = 3;
    UseSettings(window, FALSE);
    EXPECT_EQ(window->GetLong(MUIA_Window_Open), TRUE);
    CloseSettings(window);
    EXPECT_EQ(gSettings.pad, 3);
    EXPECT_FALSE(HostExists(File()));
    mui::DisposeObject(std::move(application));
}

TEST_F(SettingsTest, UpdateKnowsNoSignals)
{
    gSettings.pad = 4;
    gOldSettings.pad = 8;
    TraceCapture trace;
    UpdateSettings(nullptr, 0);
    UpdateSettings(nullptr, 17);
    EXPECT_EQ(trace.Text(), "Unknown signal in UpdateSettings().\nUnknown signal in UpdateSettings().\n");
    EXPECT_EQ(gSettings.pad, 4);
    EXPECT_EQ(gOldSettings.pad, 8);
    DestroySettings();
    LoadDefaults();
    EXPECT_EQ(gSettings.pad, 0);
}

} // namespace

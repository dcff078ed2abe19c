// What every face of the file requester answers: the pattern that names a
// chosen picture sequence, the shell's wildcard in AmigaDOS form, and the
// extension a saved name gets.
#include "os/asl.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

TEST(RequesterAnswers, ThePatternOfPicturesChosenTogether)
{
    struct Case {
        const char* what;
        std::vector<std::string> chosen;
        std::vector<std::string> folder;
        std::optional<std::string> pattern;
    };
    const std::vector<std::string> frames = {"frame1.png", "frame2.png", "frame10.png", "notes.txt"};
    const Case cases[] = {
        {"the whole sequence", {"frame2.png", "frame10.png", "frame1.png"}, frames, "frame#?.png"},
        {"a gap", {"frame2.png", "frame10.png"}, frames, std::nullopt},
        {"the numbers that share a digit", {"frame1.png", "frame10.png"}, frames, "frame1#?.png"},
        {"zero-padded numbers", {"img001.png", "img002.png"}, {"img001.png", "img002.png"}, "img#?.png"},
        {"names without a common end", {"a1", "b1x"}, {"a1", "b1x"}, "#?"},
        {"special characters are escaped", {"shot(1).png", "shot(2).png"}, {"shot(1).png", "shot(2).png"},
         "shot'(#?').png"},
        {"one picture is no sequence", {"frame1.png"}, frames, std::nullopt},
        {"the same picture twice", {"frame1.png", "frame1.png"}, frames, std::nullopt},
        {"overlapping start and end", {"ab.png", "abb.png"}, {"ab.png", "abb.png"}, "ab#?.png"},
        {"letters in another case", {"Frame1.png", "frame2.png"}, {"Frame1.png", "frame2.png"}, "#?.png"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SequencePattern(c.chosen, c.folder), c.pattern) << c.what;
}

TEST(RequesterAnswers, TheShellsWildcardInAmigaDosForm)
{
    const std::pair<const char*, const char*> cases[] = {
        {"frame*.png", "frame#?.png"},
        {"frame#?.png", "frame#?.png"},
        {"*", "#?"},
        {"img?.png", "img?.png"},
        {"plain.png", "plain.png"},
    };
    for (const auto& [typed, pattern] : cases)
        EXPECT_EQ(AmigaPatternFromShell(typed), pattern) << typed;
}

TEST(RequesterAnswers, ASavedNameGetsThePatternsExtension)
{
    struct Case {
        bool saving;
        const char* pattern;
        const char* name;
        const char* saved;
    };
    const Case cases[] = {
        {true, "#?.cwproj", "Holiday", "Holiday.cwproj"},
        {true, "#?.cwproj", "Holiday.cwproj", "Holiday.cwproj"},
        {true, "#?.cwproj", "Holiday.CWPROJ", "Holiday.CWPROJ"},
        {true, "#?.cwcrouton", "beach.VIDEO", "beach.VIDEO.cwcrouton"},
        {true, "#?.cwcrouton", "", ""},
        {false, "#?.cwproj", "Holiday", "Holiday"},
        {true, "(#?.avi|#?.mp4)", "clip", "clip"},
    };
    for (const Case& c : cases) {
        AslTags tags;
        tags.doSaveMode = c.saving;
        tags.initialPattern = c.pattern;
        tags.doPatterns = true;
        EXPECT_EQ(WithPatternExtension(tags, c.name), c.saved) << c.pattern << " " << c.name;
    }
}

TEST(RequesterAnswers, OnlyPicturesMakeASequence)
{
    const std::pair<const char*, bool> cases[] = {
        {"frame1.png", true}, {"FRAME1.PNG", true}, {"shot.jpg", true}, {"shot.JPEG", true},
        {"clip.avi", false},  {"png", false},       {"frame1.png.avi", false},
        {"scan01.TIFF", true}, {"frame1.webp", true}, {"old.bmp", true}, {"clip.mkv", false},
    };
    for (const auto& [name, picture] : cases)
        EXPECT_EQ(IsPictureName(name), picture) << name;
}

TEST(RequesterAnswers, TheMediaFiltersListEveryKindTheProgramTakes)
{
    AslTags tags;
    tags.initialPattern = "(#?.avi|#?.mpeg|#?.mpg|#?.mp4|#?.png|#?#0)";
    tags.doPatterns = true;
    const std::vector<std::string> filters = RequesterFilters(tags);
    ASSERT_EQ(filters.size(), 4u);
    EXPECT_EQ(filters[0].rfind("Videos and pictures (", 0), 0u) << filters[0];
    EXPECT_EQ(filters[1].rfind("Videos (", 0), 0u) << filters[1];
    EXPECT_EQ(filters[2].rfind("Pictures (", 0), 0u) << filters[2];
    EXPECT_EQ(filters[3], "All files (*)");
    for (const char* glob : {"*.mkv", "*.mov", "*.webm", "*.m4v", "*.mts", "*.jpg", "*.jpeg", "*.webp", "*.tiff"})
        EXPECT_NE(filters[0].find(std::string(glob) + (std::string(glob) == "*.webp" ? ")" : " ")),
                  std::string::npos)
            << glob;
    EXPECT_EQ(filters[1].find("*.jpg"), std::string::npos);
    EXPECT_EQ(filters[2].find("*.mkv"), std::string::npos);
}

TEST(RequesterFolders, WhereEachRequesterOpens)
{
    struct Case {
        const char* what;
        std::optional<std::string> pattern;
        std::optional<std::string> drawer;
        RememberedFolders remembered;
        std::string opens;
    };
    const UserFolders user{.home = "/home/u", .videos = "/home/u/Videos", .pictures = "/home/u/Pictures",
                           .music = "/home/u/Music"};
    const std::set<std::string> existing = {"/home/u",       "/home/u/Videos", "/home/u/Music", "/work/Projects",
                                            "/work/Croutons", "/media/clips",  "/old/projects"};
    const auto isFolder = [&existing](const std::string& host) { return existing.count(host) != 0; };
    const Case cases[] = {
        {"media, first time: Videos, never the program's folder", "(#?.avi|#?.mpeg|#?#0)", std::nullopt, {},
         "/home/u/Videos"},
        {"media, remembered", "(#?.avi|#?.mpeg|#?#0)", std::nullopt, {{"media", "/media/clips"}}, "/media/clips"},
        {"media, remembered folder gone", "(#?.avi|#?#0)", std::nullopt, {{"media", "/media/gone"}},
         "/home/u/Videos"},
        {"the folder of the field's own file", "(#?.avi|#?#0)", "/old/projects", {{"media", "/media/clips"}},
         "/old/projects"},
        {"projects, first time: the program's Projects", "#?.cwproj", "/work/Projects", {}, "/work/Projects"},
        {"projects, remembered over the default drawer", "#?.cwproj", "/work/Projects",
         {{"projects", "/old/projects"}, {"media", "/media/clips"}}, "/old/projects"},
        {"croutons remember their own kind only", "#?.cwcrouton", "/work/Croutons",
         {{"projects", "/old/projects"}}, "/work/Croutons"},
        {"other files (soundtracks): Music", std::nullopt, std::nullopt, {}, "/home/u/Music"},
    };
    for (const Case& c : cases) {
        AslTags tags;
        tags.initialPattern = c.pattern;
        tags.doPatterns = true;
        tags.initialDrawer = c.drawer;
        // The program's own drawers are the relative names it passes.
        if (c.drawer && c.drawer->rfind("/work/", 0) == 0)
            tags.initialDrawer = c.drawer->substr(6);
        const auto relativeToWork = [&](const std::string& host) {
            return isFolder(host) || (host.front() != '/' && isFolder("/work/" + host));
        };
        const std::string opens = RequesterStartFolder(tags, c.remembered, user, relativeToWork);
        const std::string expected = c.opens;
        // A relative drawer comes back as the current folder's.
        if (expected.rfind("/work/", 0) == 0)
            EXPECT_EQ(opens.substr(opens.rfind('/')), expected.substr(expected.rfind('/'))) << c.what;
        else
            EXPECT_EQ(opens, expected) << c.what;
    }
}

TEST(RequesterFolders, TheUsersFoldersAndTheRememberedOnes)
{
    const UserFolders named = ParseUserDirs("# written by xdg-user-dirs-update\n"
                                            "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n"
                                            "XDG_PICTURES_DIR=\"/srv/photos\"\n"
                                            "XDG_MUSIC_DIR=relative\n",
                                            "/home/u");
    EXPECT_EQ(named.videos, "/home/u/Filme");
    EXPECT_EQ(named.pictures, "/srv/photos");
    EXPECT_EQ(named.music, "/home/u/Music");
    EXPECT_EQ(ParseUserDirs("", "/home/u").videos, "/home/u/Videos");

    const RememberedFolders folders = ParseRememberedFolders("media=/media/clips\nbroken\n=/x\nprojects=rel\n"
                                                             "projects=/p=q\n");
    EXPECT_EQ(folders, (RememberedFolders{{"media", "/media/clips"}, {"projects", "/p=q"}}));
    EXPECT_EQ(ParseRememberedFolders(FormatRememberedFolders(folders)), folders);
}

} // namespace

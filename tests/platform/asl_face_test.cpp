// What every face of the file requester answers: the pattern that names a
// chosen picture sequence, the shell's wildcard in AmigaDOS form, and the
// extension a saved name gets.
#include "platform/asl.h"

#include <gtest/gtest.h>

#include <optional>
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
    };
    for (const auto& [name, picture] : cases)
        EXPECT_EQ(IsPictureName(name), picture) << name;
}

} // namespace

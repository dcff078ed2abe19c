// The main window's desktop helpers: drops sorted into projects, croutons
// and slideshows, the recent projects, the total length.
#include "gui/desktop.h"
#include "gui/drops.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class DesktopTest : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("cw_desktop_" + std::to_string(::getpid()));
        fs::create_directories(folder_ / "pics");
        for (const char* name : {"img001.png", "img002.png", "img003.png", "cover.png"})
            std::ofstream(folder_ / "pics" / name) << "x";
    }
    void TearDown() override
    {
        SetRecentProjectsFile("Clipweaver.recent");
        fs::remove_all(folder_);
    }
    std::string Pics() const { return (folder_ / "pics").string(); }

    fs::path folder_;
};

TEST_F(DesktopTest, DropsAreSortedByWhatTheyBecome)
{
    const std::string pics = Pics();
    const struct {
        const char* what;
        std::vector<std::string> paths;
        std::optional<std::string> project;
        std::vector<std::string> croutons;
        std::vector<std::string> media; // drawer/file
    } rows[] = {
        {"the first project only", {"/p/a.cwproj", "/p/b.CWPROJ"}, "/p/a.cwproj", {}, {}},
        {"a crouton file", {"/c/x.cwcrouton"}, std::nullopt, {"/c/x.cwcrouton"}, {}},
        {"each video on its own", {"/v/a.mkv", "/v/b.MOV"}, std::nullopt, {}, {"/v|a.mkv", "/v|b.MOV"}},
        // Numbered pictures together are one slideshow; the folder's other
        // picture stays out of its pattern.
        {"numbered pictures", {pics + "/img002.png", pics + "/img001.png", pics + "/img003.png"}, std::nullopt, {},
         {pics + "|img#?.png"}},
        {"one picture", {pics + "/cover.png"}, std::nullopt, {}, {pics + "|cover.png"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const DroppedFiles sorted = SortDroppedFiles(row.paths);
        EXPECT_EQ(sorted.project, row.project);
        EXPECT_EQ(sorted.croutons, row.croutons);
        std::vector<std::string> media;
        for (const MediaChoice& choice : sorted.media)
            media.push_back(choice.drawer + "|" + choice.file);
        EXPECT_EQ(media, row.media);
    }
}

TEST_F(DesktopTest, DropLinesBecomePaths)
{
    EXPECT_EQ(DroppedPaths("/a b.mp4\n/c.png\n"), (std::vector<std::string>{"/a b.mp4", "/c.png"}));
    EXPECT_TRUE(DroppedPaths("").empty());
}

TEST_F(DesktopTest, TotalLengthReadsHoursMinutesSeconds)
{
    const std::pair<long long, const char*> rows[] = {{0, "0:00:00"}, {59, "0:00:59"}, {61, "0:01:01"},
                                                      {3600 + 120 + 3, "1:02:03"}, {-5, "0:00:00"}};
    for (const auto& [seconds, shown] : rows)
        EXPECT_EQ(FormatTotalLength(seconds), shown) << seconds;
}

TEST_F(DesktopTest, TheEstimateFollowsLengthAndBitRate)
{
    Project project;
    EXPECT_EQ(EstimatedOutputBytes(project), 0.0);
    auto node = std::make_unique<ListNode>();
    node->node = std::make_unique<Crouton>();
    node->node->length = 10;
    project.croutons = std::move(node);
    const double slow = EstimatedOutputBytes(project);
    project.baudrate = 5;
    EXPECT_GT(EstimatedOutputBytes(project), slow);
    EXPECT_GT(slow, 10 * 192000.0 / 8);
}

TEST_F(DesktopTest, RecentProjectsKeepTheLastEightNewestFirst)
{
    SetRecentProjectsFile((folder_ / "recent").string());
    EXPECT_TRUE(RecentProjects().empty());
    for (int i = 1; i <= 9; ++i)
        NoteRecentProject("/p/" + std::to_string(i) + ".cwproj");
    std::vector<std::string> expected;
    for (int i = 9; i >= 2; --i)
        expected.push_back("/p/" + std::to_string(i) + ".cwproj");
    EXPECT_EQ(RecentProjects(), expected);
    // Loading one again puts it first, once.
    NoteRecentProject("/p/5.cwproj");
    const std::vector<std::string> recent = RecentProjects();
    EXPECT_EQ(recent.front(), "/p/5.cwproj");
    EXPECT_EQ(recent.size(), 8u);
    EXPECT_EQ(std::count(recent.begin(), recent.end(), "/p/5.cwproj"), 1);
}

} // namespace

// A real render in a program of its own, killed with SIGKILL, its temporary
// root cleared (as a reboot does), and a new start: the old output is back
// byte for byte when what stands at the output name is the dead render's
// own, and a file the user put there after the crash is left alone with the
// old one still kept beside it.
#include "model/crouton.h"
#include "render_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>

using media_test::ReadHostFile;
using media_test::WriteHostFile;

namespace {

constexpr const char* kOld = "the video that stood at the output name before";

class RenderKill : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder_.path().empty());
        media_test::MakeClip(folder_ / "clip.avi", true);
        std::string project = "Killed\n" + Output() + "\n\n320\n240\n0\n0\n0\n30\n4\n";
        for (const char* name : {"a", "b", "c", "d"}) {
            auto crouton = CreateCrouton();
            crouton->name = name;
            crouton->videoName = folder_ / "clip.avi";
            crouton->isVideo = TRUE;
            crouton->length = 2;
            crouton->videoLength = 2;
            crouton->directory = folder_.path();
            crouton->filename = std::string(name) + ".cwcrouton";
            ASSERT_EQ(SaveCrouton(crouton.get()), TRUE);
            DestroyCrouton(std::move(crouton));
            project += folder_ / (std::string(name) + ".cwcrouton") + "\n";
        }
        WriteHostFile(folder_ / "p.cwproj", project);
        WriteHostFile(Output(), kOld);
        std::filesystem::create_directory(root_);
    }

    std::string Output() const { return folder_ / "out.avi"; }
    std::string Aside() const { return folder_ / ".out.avi.clipweaver-old"; }

    // Starts the script driver on `script` with its own temporary root.
    pid_t Start(const std::string& script) const
    {
        WriteHostFile(folder_ / "run.script", script);
        const std::string program = std::string(CW_BINARY_DIR) + "/src/clipweaver-script";
        const std::vector<std::string> arguments{program, folder_ / "run.script"};
        std::vector<char*> argv = media_test::ArgumentVector(arguments);
        ::setenv("CLIPWEAVER_TMPROOT", root_.c_str(), 1);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::unsetenv("CLIPWEAVER_TMPROOT");
        return pid;
    }

    // Waits until `ready` holds (or the render ended without it).
    static bool Await(pid_t pid, const std::function<bool()>& ready)
    {
        for (int poll = 0; poll < 6000; ++poll) {
            if (ready())
                return true;
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    media_test::TempFolder folder_;
    std::string root_ = folder_ / "tmproot";
};

TEST_F(RenderKill, OldOutputComesBackAfterKillAndClearedRootUnlessTheUserWroteThere)
{
    struct Row {
        const char* label;
        bool partial;      // killed once the render has put a file at the output name
        bool userWrites;   // the user writes the output name after the crash
    };
    const Row rows[] = {
        {"killed while the old file is aside", false, false},
        {"killed with a partial output", true, false},
        {"the user's file written after the crash", true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        WriteHostFile(Output(), kOld);
        const pid_t render = Start("requester \"" + folder_.path() + "\" \"p.cwproj\"\npress BUTTON_MAIN_LOAD\n"
                                   "type BUTTON_MAIN_OUTPUTFILENAME \"" + Output() + "\"\npress BUTTON_MAIN_RENDER\n");
        ASSERT_GT(render, 0);
        const bool caught = Await(render, [&] {
            return std::filesystem::exists(Aside()) && (!row.partial || std::filesystem::exists(Output()));
        });
        ::kill(render, SIGKILL);
        ::waitpid(render, nullptr, 0);
        ASSERT_TRUE(caught) << "the render ended before it could be killed";
        std::filesystem::remove_all(root_);
        std::filesystem::create_directory(root_);
        if (row.userWrites) {
            // Past the time the dead render's tools could still have written.
            std::this_thread::sleep_for(std::chrono::seconds(2));
            WriteHostFile(Output(), "the user's own file");
        }
        const pid_t next = Start("dump\n");
        ASSERT_GT(next, 0);
        ::waitpid(next, nullptr, 0);
        if (row.userWrites) {
            EXPECT_EQ(ReadHostFile(Output()), "the user's own file");
            EXPECT_EQ(ReadHostFile(Aside()), kOld);
            std::filesystem::remove(Aside());
        } else {
            EXPECT_EQ(ReadHostFile(Output()), kOld);
            EXPECT_FALSE(std::filesystem::exists(Aside()));
        }
    }
}

} // namespace

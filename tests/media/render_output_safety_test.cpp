// The output name is the render's only when it is a regular file or a new
// name, none of the project's files, held by nobody, and rendered by no
// other render; otherwise nothing runs and no file changes (every file of
// the folder is compared before and after). Long names render again and
// again, and a note that cannot be written stops the render.
#include "media/preview.h"
#include "model/render.h"
#include "os/question.h"
#include "render_support.h"
#include "support/fake_tools.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using cwtest::FakeTools;
using cwtest::RecordedWork;
using media_test::ReadHostFile;
using media_test::WriteHostFile;
using render_test::SetField;

namespace {

class RenderOutputSafety : public render_test::RenderFixture {
protected:
    void SetUp() override
    {
        RenderFixture::SetUp();
        std::filesystem::create_directory(folder_ / "pics");
        for (const char* picture : {"pics/img1.png", "pics/img2.png"})
            WriteHostFile(folder_ / picture, "a picture");
        WriteHostFile(folder_ / "beach.avi", "a source clip");
        auto clip = Video(folder_ / "beach.avi", 0, 2);
        clip->name = "beach";
        clip->directory = folder_.path();
        clip->filename = "beach.cwcrouton";
        WriteHostFile(folder_ / "beach.cwcrouton", "the crouton file");
        WriteHostFile(PreviewStillName(clip.get(), 3), "a still");
        Append(std::move(clip));
        auto pictures = Images(folder_ / "pics/img#?.png", 0);
        pictures->name = "pics";
        Append(std::move(pictures));
        gProject->directory = folder_.path();
        gProject->filename = "p.cwproj";
        WriteHostFile(folder_ / "p.cwproj", "the project file");
        WriteHostFile(output_, "the old output");
    }

    // Every file under the test's folder and its bytes.
    std::map<std::string, std::string> Files() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_.path()))
            if (entry.is_regular_file())
                files[entry.path().string()] = ReadHostFile(entry.path().string());
        return files;
    }
};

TEST_F(RenderOutputSafety, OutputsNoRenderMayTakeAreRefusedBeforeAnythingRuns)
{
    struct Row {
        const char* label;
        std::function<std::string()> arrange; // gives the output name
        std::string said;                     // what the failure says
    };
    int held = -1;
    OutputClaimHandle other;
    const auto hold = [&](int how) {
        held = ::open(output_.c_str(), O_RDONLY | O_CLOEXEC);
        ::flock(held, how | LOCK_NB);
        return output_;
    };
    const Row rows[] = {
        {"held with an exclusive flock", [&] { return hold(LOCK_EX); }, " is in use by another program"},
        {"held with a shared flock", [&] { return hold(LOCK_SH); }, " is in use by another program"},
        {"a crouton file", [&] { return folder_ / "beach.cwcrouton"; }, " is the file of crouton 1 (beach)"},
        {"a picture of a sequence", [&] { return folder_ / "pics/img2.png"; }, " is a picture of crouton 2 (pics)"},
        {"a still beside a crouton file", [&] { return folder_ / "beach_preview3.png"; }, " is a still of crouton 1"},
        {"a still not made yet", [&] { return folder_ / "beach_preview5.png"; }, " is a still of crouton 1"},
        {"the project file", [&] { return folder_ / "p.cwproj"; }, " is the project's own file"},
        {"a device node", [] { return std::string("/dev/null"); }, " is a device, not a file"},
        {"a folder", [&] { return folder_ / "pics"; }, " is a folder"},
        {"a name on T:", [] { return std::string("T:out.avi"); }, " is on T:"},
        {"rendered by another Clipweaver", [&] {
             other = ClaimOutput(output_);
             return output_;
         },
         " is being rendered by another Clipweaver"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const std::string output = row.arrange();
        SetField(BUTTON_MAIN_OUTPUTFILENAME, output);
        const auto before = Files();
        FakeTools tools;
        RecordedWork work;
        RenderProject(gProject.get());
        EXPECT_EQ(work.outcome, WorkOutcome::Failed);
        EXPECT_NE(work.message.find(HostPath(output).value_or(output) + row.said), std::string::npos) << work.message;
        EXPECT_TRUE(tools.Encoder().empty());
        EXPECT_EQ(Files(), before);
        if (held >= 0)
            ::close(std::exchange(held, -1));
        other.reset();
    }
}

// The hidden name that keeps the old file stays within 255 bytes, so a
// name that rendered once renders again; and a project that lists one
// crouton file twice renders it twice.
TEST_F(RenderOutputSafety, LongNamesRenderAgainAndAgain)
{
    for (const std::size_t length : {200u, 240u, 250u, 255u}) {
        const std::string name = folder_ / (std::string(length - 4, 'n') + ".avi");
        SetField(BUTTON_MAIN_OUTPUTFILENAME, name);
        for (int time = 1; time <= 2; ++time) {
            SCOPED_TRACE(std::to_string(length) + " bytes, render " + std::to_string(time));
            FakeTools tools;
            RecordedWork work;
            QueueQuestionAnswer("Replace");
            RenderProject(gProject.get());
            ClearQuestionAnswers();
            EXPECT_EQ(work.outcome, WorkOutcome::Finished) << work.message;
        }
        EXPECT_LE(OutputAsideName(name, 99).size() - folder_.path().size() - 1, 255u);
    }
}

// A note that cannot be written stops the render before the old file moves.
TEST_F(RenderOutputSafety, UnwritableNoteStopsTheRender)
{
    const char* saved = std::getenv("XDG_STATE_HOME");
    const std::string keep = saved ? saved : "";
    WriteHostFile(folder_ / "state", "a file where the state folder should be");
    ::setenv("XDG_STATE_HOME", (folder_ / "state").c_str(), 1);
    const auto before = Files();
    FakeTools tools;
    RecordedWork work;
    RenderProject(gProject.get());
    if (saved)
        ::setenv("XDG_STATE_HOME", keep.c_str(), 1);
    else
        ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(work.outcome, WorkOutcome::Failed);
    EXPECT_NE(work.message.find("could not be written"), std::string::npos) << work.message;
    EXPECT_TRUE(tools.Encoder().empty());
    EXPECT_EQ(Files(), before);
}

} // namespace

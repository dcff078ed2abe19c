// Adding croutons to a project: the requesters, the proposed crouton file
// names, the crouton files written, the list entries and the image slots.
#include "gui/vocabulary.h"
#include "media/probe.h"
#include "media_test_support.h"
#include "model/crouton.h"
#include "model/imageseq.h"
#include "model/project.h"
#include "os/asl.h"
#include "os/dos.h"
#include "os/exec.h"
#include "mui/mui.h"
#include "os/question.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

using media_test::Lines;
using media_test::MakeClip;
using media_test::MakePicture;
using media_test::ReadHostFile;
using media_test::TempFolder;
using media_test::WriteHostFile;
using cwtest::Address;

namespace {

constexpr const char* kMediaPattern = "(#?.avi|#?.mpeg|#?.mpg|#?.mp4|#?.png|#?#0)";

std::string Float(float value)
{
    std::string text(64, '\0');
    const int size = std::snprintf(text.data(), text.size(), "%f", static_cast<double>(value));
    text.resize(static_cast<std::size_t>(size));
    return text;
}

std::string SlotText(int slot) { return "\x1bo[" + std::to_string(slot) + "]"; }

void ExpectMediaRequest(const AslTags& tags)
{
    EXPECT_EQ(tags.titleText, "Choose a video or still image");
    EXPECT_EQ(tags.doSaveMode, std::nullopt);
    EXPECT_EQ(tags.initialDrawer, std::nullopt);
    EXPECT_EQ(tags.initialPattern, kMediaPattern);
    EXPECT_EQ(tags.initialFile, std::nullopt);
    EXPECT_EQ(tags.doPatterns, true);
}

void ExpectNewCroutonRequest(const AslTags& tags, const std::string& proposal)
{
    EXPECT_EQ(tags.titleText, "Create a crouton");
    EXPECT_EQ(tags.doSaveMode, true);
    EXPECT_EQ(tags.initialDrawer, "Croutons");
    EXPECT_EQ(tags.initialPattern, "#?.cwcrouton");
    EXPECT_EQ(tags.initialFile, proposal);
    EXPECT_EQ(tags.doPatterns, true);
}

class AddCrouton : public media_test::WindowsFixture {
protected:
    void SetUp() override
    {
        WindowsFixture::SetUp();
        ClearAslAnswers();
        ASSERT_FALSE(folder_.path().empty());
        croutons_ = folder_ / "Croutons";
        std::filesystem::create_directory(croutons_);
        project_ = NewProject();
        ASSERT_TRUE(project_);
    }
    void TearDown() override
    {
        if (project_)
            DestroyProject(std::move(project_));
        ClearAslAnswers();
        WindowsFixture::TearDown();
    }

    // A picture sequence in folder/garden with gaps and numbers of mixed
    // widths, plus a file that is not part of it.
    std::string MakeGarden()
    {
        const std::string garden = folder_ / "garden";
        std::filesystem::create_directory(garden);
        for (const char* name : {"img1.png", "img2.png", "img05.png", "img010.png", "img100.png"})
            MakePicture(garden + "/" + name);
        WriteHostFile(garden + "/notes.txt", "not a picture\n");
        return garden;
    }

    // Adds an image crouton (no tool run) saved as `file` in the crouton
    // folder.
    void AddImageCrouton(const std::string& file)
    {
        QueueAslAnswer(AslAnswer{folder_ / "pics", "shot#?.png"});
        QueueAslAnswer(AslAnswer{croutons_, file});
        ASSERT_EQ(AddNewCroutonToProject(project_.get()), TRUE);
    }

    void ExpectNothingAdded()
    {
        EXPECT_EQ(project_->numberOfCroutons, 0);
        EXPECT_EQ(project_->croutons, nullptr);
        EXPECT_TRUE(gCroutonList->entries().empty());
        EXPECT_TRUE(gVisualList->entries().empty());
    }

    // Every crouton's entry text names a slot of its own, bound to its own
    // picture, and the lists match the project.
    void ExpectListsInStep()
    {
        std::set<LONG> slots;
        LONG position = 0;
        for (ListNode* node = project_->croutons.get(); node; node = node->next.get(), ++position) {
            Crouton* crouton = node->node.get();
            SCOPED_TRACE(position);
            EXPECT_EQ(mui::NList_GetEntry(gCroutonList, position), crouton->name);
            EXPECT_EQ(mui::NList_GetEntry(gVisualList, position), crouton->previewImageText);
            const LONG slot = GetCroutonImageSlot(crouton);
            EXPECT_GE(slot, 1);
            EXPECT_TRUE(slots.insert(slot).second) << "slot " << slot << " is shared";
            ASSERT_TRUE(gVisualList->imageSlots().count(slot));
            EXPECT_NE(crouton->previewImage, nullptr);
            EXPECT_EQ(gVisualList->imageSlots().at(slot), crouton->previewImage);
        }
        EXPECT_EQ(position, project_->numberOfCroutons);
        EXPECT_EQ(static_cast<LONG>(gCroutonList->entries().size()), position);
        EXPECT_EQ(static_cast<LONG>(gVisualList->entries().size()), position);
    }

    TempFolder folder_;
    std::string croutons_;
    std::unique_ptr<Project> project_;
};

// ---- new croutons ---------------------------------------------------------

TEST_F(AddCrouton, NewVideoCroutonHoldsTheProbedFactsInItsFile)
{
    MakeClip(folder_ / "beach.avi", true);
    QueueAslAnswer(AslAnswer{folder_.path(), "beach.avi"});
    QueueAslAnswer(AslAnswer{croutons_, "beach.VIDEO.cwcrouton"});
    TraceCapture trace;
    ASSERT_EQ(AddNewCroutonToProject(project_.get()), TRUE);

    ASSERT_EQ(AslRequestLog().size(), 2u);
    ExpectMediaRequest(AslRequestLog()[0]);
    ExpectNewCroutonRequest(AslRequestLog()[1], "beach.VIDEO.cwcrouton");

    ASSERT_EQ(project_->numberOfCroutons, 1);
    Crouton* crouton = GetCroutonFromPosition(project_.get(), 0);
    ASSERT_NE(crouton, nullptr);
    EXPECT_EQ(crouton->videoName, folder_ / "beach.avi");
    EXPECT_EQ(crouton->filename, "beach.VIDEO.cwcrouton");
    EXPECT_EQ(crouton->directory, croutons_);
    EXPECT_EQ(crouton->name, "beach.VIDEO.cwcrouton");
    EXPECT_EQ(crouton->isVideo, TRUE);
    EXPECT_EQ(crouton->start, 0);
    EXPECT_EQ(crouton->videoLength, 2);
    EXPECT_EQ(crouton->length, crouton->videoLength);
    ASSERT_TRUE(crouton->audioCodec);
    ASSERT_TRUE(crouton->videoCodec);

    EXPECT_EQ(crouton->previewImageText, SlotText(1));
    EXPECT_EQ(gCroutonList->entries(), std::vector<std::string>{"beach.VIDEO.cwcrouton"});
    EXPECT_EQ(gVisualList->entries(), std::vector<std::string>{SlotText(1)});
    ASSERT_NE(crouton->previewImage, nullptr);
    EXPECT_EQ(crouton->previewImage->kind(), mui::Kind::NBitmap);
    EXPECT_EQ(mui::XGetString(crouton->previewImage, MUIA_NBitmap_Normal), "NoImageAvailable.png");
    ExpectListsInStep();

    EXPECT_TRUE(trace.Contains("Setting crouton length to 2.\n"));
    EXPECT_TRUE(trace.Contains("Created previewImage at " + Address(crouton->previewImage) + ".\n"));
    // Saving took the lock on the file that now exists.
    EXPECT_TRUE(crouton->lock);

    const std::vector<std::string> expected{
        "beach.VIDEO.cwcrouton",
        folder_ / "beach.avi",
        "", "", "", "", "",
        "0",
        "2",
        "2",
        "160",
        "120",
        "1",
        "0", "20", "40", "60", "80",
        std::to_string(crouton->videoBitrate),
        std::to_string(crouton->audioBitrate),
        "1",
        Float(crouton->ratio),
        "0",
        *crouton->videoCodec,
        *crouton->audioCodec,
        "",
        Float(crouton->customFPS),
    };
    const std::string file = ReadHostFile(croutons_ + "/beach.VIDEO.cwcrouton");
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file.back(), '\n');
    EXPECT_EQ(Lines(file), expected);
    EXPECT_EQ(Float(crouton->customFPS), "25.000000");
    EXPECT_EQ(Float(crouton->ratio), "1.333333");
    EXPECT_GT(crouton->videoBitrate, 0);
    EXPECT_GT(crouton->audioBitrate, 0);
}

TEST_F(AddCrouton, NewImageCroutonIsNamedAfterItsFolder)
{
    const std::string garden = MakeGarden();
    QueueAslAnswer(AslAnswer{garden, "img#?.png"});
    QueueAslAnswer(AslAnswer{croutons_, "garden.IMAGES.cwcrouton"});
    TraceCapture trace;
    ASSERT_EQ(AddNewCroutonToProject(project_.get()), TRUE);
    EXPECT_FALSE(trace.Contains("Executing MPlayer command"));
    EXPECT_FALSE(trace.Contains("Setting crouton length"));

    ASSERT_EQ(AslRequestLog().size(), 2u);
    ExpectMediaRequest(AslRequestLog()[0]);
    ExpectNewCroutonRequest(AslRequestLog()[1], "garden.IMAGES.cwcrouton");

    Crouton* crouton = GetCroutonFromPosition(project_.get(), 0);
    ASSERT_NE(crouton, nullptr);
    EXPECT_EQ(crouton->isVideo, FALSE);
    EXPECT_EQ(crouton->videoName, garden + "/img#?.png");
    EXPECT_EQ(crouton->fps, 5);
    // Five pictures at "1.5 Seconds/Frame", as the crouton editor's save
    // reckons them.
    EXPECT_EQ(crouton->length, 7);
    ExpectListsInStep();

    // The crouton names the whole sequence, in frame order.
    EXPECT_EQ(GetNumberOfFilesInImageCrouton(crouton), 5);
    std::string tokenised;
    ASSERT_EQ(ParsePatternNoCase(*crouton->videoName, tokenised, 1023), 1);
    EXPECT_EQ(BuildFileList(crouton, tokenised, 5),
              (std::vector<std::string>{garden + "/img1.png\n", garden + "/img2.png\n", garden + "/img05.png\n",
                                        garden + "/img010.png\n", garden + "/img100.png\n"}));

    const std::vector<std::string> expected{
        "garden.IMAGES.cwcrouton", garden + "/img#?.png", "", "", "", "", "",
        "0", "7", "0", "0", "0", "1", "0", "20", "40", "60", "80", "0", "0",
        "0", "0.000000", "5", "", "", "", "30.000000",
    };
    EXPECT_EQ(Lines(ReadHostFile(croutons_ + "/garden.IMAGES.cwcrouton")), expected);
}

TEST_F(AddCrouton, ProposedNames)
{
    struct Case {
        std::string drawer;
        std::string file;
        std::string proposal;
    };
    // Videos that do not exist are still videos; the tool just finds
    // nothing in them.
    const std::vector<Case> cases{
        {folder_.path(), "beach.avi", "beach.VIDEO.cwcrouton"},
        {folder_.path(), "a.b.mp4", "a.b.VIDEO.cwcrouton"},
        {folder_.path(), "clip", "clip.VIDEO.cwcrouton"},
        {"Work:Pics/garden", "img001.png", "garden.IMAGES.cwcrouton"},
        {"Work:Pics", "img001.png", "Pics.IMAGES.cwcrouton"},
        {"RAM:", "img001.png", "img001.pngIMAGES.cwcrouton"},
        {"", "img001.png", "img001.pngIMAGES.cwcrouton"},
        {"Work:Pics/", "img#?.png", "img#?.pngIMAGES.cwcrouton"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.drawer + " " + c.file);
        ClearAslAnswers();
        QueueAslAnswer(AslAnswer{c.drawer, c.file});
        QueueAslAnswer(std::nullopt);
        EXPECT_EQ(AddNewCroutonToProject(project_.get()), FALSE);
        ASSERT_EQ(AslRequestLog().size(), 2u);
        ExpectNewCroutonRequest(AslRequestLog()[1], c.proposal);
        // Cancelling the crouton file request adds nothing.
        ExpectNothingAdded();
    }
    EXPECT_TRUE(std::filesystem::is_empty(croutons_));
}

TEST_F(AddCrouton, CancelOrEmptyNameAddsNothing)
{
    // Cancelled media request: one request only.
    EXPECT_EQ(AddNewCroutonToProject(project_.get()), FALSE);
    EXPECT_EQ(AslRequestLog().size(), 1u);
    ExpectNothingAdded();

    ClearAslAnswers();
    QueueAslAnswer(AslAnswer{folder_.path(), ""});
    EXPECT_EQ(AddNewCroutonToProject(project_.get()), FALSE);
    EXPECT_EQ(AslRequestLog().size(), 1u);
    ExpectNothingAdded();

    ClearAslAnswers();
    QueueAslAnswer(AslAnswer{folder_ / "pics", "shot#?.png"});
    QueueAslAnswer(AslAnswer{croutons_, ""});
    EXPECT_EQ(AddNewCroutonToProject(project_.get()), FALSE);
    EXPECT_EQ(AslRequestLog().size(), 2u);
    ExpectNothingAdded();
    EXPECT_TRUE(std::filesystem::is_empty(croutons_));
}

TEST_F(AddCrouton, ThreeCroutonsTakeSlotsOneTwoThree)
{
    AddImageCrouton("a.cwcrouton");
    AddImageCrouton("b.cwcrouton");
    AddImageCrouton("c.cwcrouton");
    EXPECT_EQ(project_->numberOfCroutons, 3);
    EXPECT_EQ(gCroutonList->entries(), (std::vector<std::string>{"a.cwcrouton", "b.cwcrouton", "c.cwcrouton"}));
    EXPECT_EQ(gVisualList->entries(), (std::vector<std::string>{SlotText(1), SlotText(2), SlotText(3)}));
    ExpectListsInStep();
    for (const char* name : {"a.cwcrouton", "b.cwcrouton", "c.cwcrouton"})
        EXPECT_EQ(Lines(ReadHostFile(croutons_ + "/" + name)).size(), 27u) << name;
}

TEST_F(AddCrouton, SlotsStayDistinctAfterDeletions)
{
    AddImageCrouton("a.cwcrouton");
    AddImageCrouton("b.cwcrouton");
    AddImageCrouton("c.cwcrouton");
    DeleteCroutonFromProject(project_.get(), 0);
    // Two croutons left: the next one must not take slot 3, which c shows.
    AddImageCrouton("d.cwcrouton");
    EXPECT_EQ(gVisualList->entries(), (std::vector<std::string>{SlotText(2), SlotText(3), SlotText(1)}));
    ExpectListsInStep();

    DeleteCroutonFromProject(project_.get(), 1);
    AddImageCrouton("e.cwcrouton");
    AddImageCrouton("f.cwcrouton");
    EXPECT_EQ(gCroutonList->entries(),
              (std::vector<std::string>{"b.cwcrouton", "d.cwcrouton", "e.cwcrouton", "f.cwcrouton"}));
    EXPECT_EQ(gVisualList->entries(),
              (std::vector<std::string>{SlotText(2), SlotText(1), SlotText(3), SlotText(4)}));
    ExpectListsInStep();
}

// ---- existing croutons ----------------------------------------------------

class AddOldCrouton : public AddCrouton {
protected:
    // A crouton file whose chosen still (previewFrame 2) is `still`.
    std::string WriteCroutonFile(const std::string& name, const std::string& still)
    {
        const std::string text = "Holiday\n" + (folder_ / "holiday.avi") + "\n" + "\n\n" + still +
                                 "\n\n\n"
                                 "3\n10\n42\n320\n240\n2\n0\n20\n40\n60\n80\n1000\n128\n1\n1.777778\n0\n"
                                 "ffh264\nmpg123\n\n25.000000\n";
        WriteHostFile(croutons_ + "/" + name, text);
        return text;
    }

    void ExpectOldCroutonRequest()
    {
        ASSERT_EQ(AslRequestLog().size(), 1u);
        const AslTags& tags = AslRequestLog()[0];
        EXPECT_EQ(tags.titleText, std::nullopt);
        // An open requester: a save requester offered to replace the
        // chosen crouton and proposed a file that does not exist.
        EXPECT_EQ(tags.doSaveMode, false);
        EXPECT_EQ(tags.initialDrawer, "Croutons");
        EXPECT_EQ(tags.initialPattern, "#?.cwcrouton");
        EXPECT_EQ(tags.initialFile, std::nullopt);
        EXPECT_EQ(tags.doPatterns, true);
    }
};

// The same crouton file twice would share its stills and its lock: the
// second time the user is told, and nothing is added.
TEST_F(AddOldCrouton, ACroutonAlreadyInTheProjectIsToldAndNotAddedTwice)
{
    WriteCroutonFile("holiday.cwcrouton", "");
    ClearToldLog();
    ASSERT_EQ(AddOldCroutonFromFile(project_.get(), croutons_ + "/holiday.cwcrouton"), TRUE);
    EXPECT_TRUE(ToldLog().empty());
    EXPECT_EQ(AddOldCroutonFromFile(project_.get(), croutons_ + "/holiday.cwcrouton"), FALSE);
    EXPECT_EQ(project_->numberOfCroutons, 1);
    ASSERT_EQ(ToldLog().size(), 1u);
    EXPECT_NE(ToldLog()[0].text.find("\"Holiday\" is already in the project"), std::string::npos);
    ClearToldLog();
}

TEST_F(AddOldCrouton, ExistingFileIsAddedWithItsChosenStill)
{
    const std::string still = folder_ / "holiday_preview3.png";
    MakePicture(still);
    const std::string text = WriteCroutonFile("holiday.cwcrouton", still);
    QueueAslAnswer(AslAnswer{croutons_, "holiday.cwcrouton"});
    TraceCapture trace;
    ASSERT_EQ(AddOldCroutonToProject(project_.get()), TRUE);
    ExpectOldCroutonRequest();

    ASSERT_EQ(project_->numberOfCroutons, 1);
    Crouton* crouton = GetCroutonFromPosition(project_.get(), 0);
    ASSERT_NE(crouton, nullptr);
    EXPECT_EQ(crouton->name, "Holiday");
    EXPECT_EQ(crouton->directory, croutons_);
    EXPECT_EQ(crouton->filename, "holiday.cwcrouton");
    EXPECT_EQ(crouton->start, 3);
    EXPECT_EQ(crouton->length, 10);
    EXPECT_EQ(gCroutonList->entries(), std::vector<std::string>{"Holiday"});
    EXPECT_EQ(gVisualList->entries(), std::vector<std::string>{SlotText(1)});
    ASSERT_NE(crouton->previewImage, nullptr);
    EXPECT_EQ(mui::XGetString(crouton->previewImage, MUIA_NBitmap_Normal), still);
    ExpectListsInStep();

    // Written back unchanged.
    EXPECT_EQ(ReadHostFile(croutons_ + "/holiday.cwcrouton"), text);
    EXPECT_EQ(trace.Text().find("Adding crouton...\n"), 0u);
    EXPECT_TRUE(trace.Contains("Adding crouton Holiday.\n"));
    EXPECT_TRUE(trace.Contains("Created previewImage at " + Address(crouton->previewImage) + ".\n"));
    // No lock of its own: the only one is the write-back's.
    const std::string& log = trace.Text();
    const auto first = log.find("Locked crouton ");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("Locked crouton ", first + 1), std::string::npos);
}

TEST_F(AddOldCrouton, MissingStillShowsTheNoImagePicture)
{
    WriteCroutonFile("holiday.cwcrouton", folder_ / "gone.png");
    QueueAslAnswer(AslAnswer{croutons_, "holiday.cwcrouton"});
    ASSERT_EQ(AddOldCroutonToProject(project_.get()), TRUE);
    Crouton* crouton = GetCroutonFromPosition(project_.get(), 0);
    ASSERT_NE(crouton, nullptr);
    EXPECT_EQ(mui::XGetString(crouton->previewImage, MUIA_NBitmap_Normal), "NoImageAvailable.png");

    // A crouton without a chosen still keeps the no-image picture too.
    WriteCroutonFile("bare.cwcrouton", "");
    QueueAslAnswer(AslAnswer{croutons_, "bare.cwcrouton"});
    ASSERT_EQ(AddOldCroutonToProject(project_.get()), TRUE);
    Crouton* bare = GetCroutonFromPosition(project_.get(), 1);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(mui::XGetString(bare->previewImage, MUIA_NBitmap_Normal), "NoImageAvailable.png");
    EXPECT_EQ(gVisualList->entries(), (std::vector<std::string>{SlotText(1), SlotText(2)}));
    ExpectListsInStep();
}

TEST_F(AddOldCrouton, MissingOrUnreadableFileAddsNothing)
{
    QueueAslAnswer(AslAnswer{croutons_, "missing.cwcrouton"});
    EXPECT_EQ(AddOldCroutonToProject(project_.get()), FALSE);
    ExpectOldCroutonRequest();
    ExpectNothingAdded();

    // A folder is no crouton file.
    std::filesystem::create_directory(croutons_ + "/folder.cwcrouton");
    QueueAslAnswer(AslAnswer{croutons_, "folder.cwcrouton"});
    EXPECT_EQ(AddOldCroutonToProject(project_.get()), FALSE);
    ExpectNothingAdded();

    // Cancelled, or no name.
    EXPECT_EQ(AddOldCroutonToProject(project_.get()), FALSE);
    QueueAslAnswer(AslAnswer{croutons_, ""});
    EXPECT_EQ(AddOldCroutonToProject(project_.get()), FALSE);
    ExpectNothingAdded();
    EXPECT_FALSE(std::filesystem::exists(croutons_ + "/missing.cwcrouton"));
}

TEST_F(AddOldCrouton, FailedWriteBackLeavesTheProjectAsItWas)
{
    AddImageCrouton("first.cwcrouton");
    const std::string text = WriteCroutonFile("busy.cwcrouton", "");
    // Somebody else reads the file: it can be loaded but not rewritten.
    FileLock reader = Lock(croutons_ + "/busy.cwcrouton", SHARED_LOCK);
    ASSERT_TRUE(reader);
    QueueAslAnswer(AslAnswer{croutons_, "busy.cwcrouton"});
    TraceCapture trace;
    EXPECT_EQ(AddOldCroutonToProject(project_.get()), FALSE);
    UnLock(std::move(reader));

    EXPECT_TRUE(trace.Contains("Adding crouton Holiday.\n"));
    EXPECT_TRUE(trace.Contains("Couldn't create crouton busy.cwcrouton.\n"));
    EXPECT_EQ(project_->numberOfCroutons, 1);
    ASSERT_NE(project_->croutons, nullptr);
    EXPECT_EQ(project_->croutons->next, nullptr);
    EXPECT_EQ(gCroutonList->entries(), std::vector<std::string>{"first.cwcrouton"});
    EXPECT_EQ(gVisualList->entries(), std::vector<std::string>{SlotText(1)});
    ExpectListsInStep();
    EXPECT_EQ(ReadHostFile(croutons_ + "/busy.cwcrouton"), text);
}

TEST_F(AddOldCrouton, ACroutonAlreadyInTheProjectIsToldAndNotAdded)
{
    struct Case {
        const char* what;
        std::string drawer;
        std::string file;
    };
    AddImageCrouton("a.cwcrouton");
    WriteCroutonFile("holiday.cwcrouton", "");
    QueueAslAnswer(AslAnswer{croutons_, "holiday.cwcrouton"});
    ASSERT_EQ(AddOldCroutonToProject(project_.get()), TRUE);
    std::filesystem::create_directory(folder_ / "elsewhere");
    std::filesystem::create_hard_link(croutons_ + "/holiday.cwcrouton", folder_ / "elsewhere/linked.cwcrouton");
    const Case cases[] = {
        {"the same path", croutons_, "holiday.cwcrouton"},
        {"another spelling of it", croutons_ + "/../" + std::filesystem::path(croutons_).filename().string(),
         "holiday.cwcrouton"},
        {"a hard link to it", folder_ / "elsewhere", "linked.cwcrouton"},
    };
    for (const Case& c : cases) {
        ClearToldLog();
        QueueAslAnswer(AslAnswer{c.drawer, c.file});
        EXPECT_EQ(AddOldCroutonToProject(project_.get()), FALSE) << c.what;
        EXPECT_EQ(project_->numberOfCroutons, 2) << c.what;
        ExpectListsInStep();
        ASSERT_EQ(ToldLog().size(), 1u) << c.what;
        EXPECT_FALSE(ToldLog()[0].question);
        EXPECT_NE(ToldLog()[0].text.find("already in the project, as crouton 2"), std::string::npos)
            << ToldLog()[0].text;
    }
}

TEST_F(AddOldCrouton, MixesWithNewCroutonsWithoutSharingSlots)
{
    AddImageCrouton("a.cwcrouton");
    WriteCroutonFile("holiday.cwcrouton", "");
    QueueAslAnswer(AslAnswer{croutons_, "holiday.cwcrouton"});
    ASSERT_EQ(AddOldCroutonToProject(project_.get()), TRUE);
    AddImageCrouton("c.cwcrouton");
    DeleteCroutonFromProject(project_.get(), 1);
    QueueAslAnswer(AslAnswer{croutons_, "holiday.cwcrouton"});
    // The file is held by nobody now that its crouton left the project.
    ASSERT_EQ(AddOldCroutonToProject(project_.get()), TRUE);
    EXPECT_EQ(gCroutonList->entries(), (std::vector<std::string>{"a.cwcrouton", "c.cwcrouton", "Holiday"}));
    EXPECT_EQ(gVisualList->entries(), (std::vector<std::string>{SlotText(1), SlotText(3), SlotText(2)}));
    ExpectListsInStep();
}

} // namespace

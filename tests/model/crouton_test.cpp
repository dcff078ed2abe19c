// The crouton record: defaults, paths, locks, destruction and play length.
#include "model/crouton.h"
#include "model/tables.h"
#include "model_test_util.h"
#include "mui/mui.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <variant>
#include <vector>

using modeltest::TempDir;
using modeltest::WriteHostFile;
using cwtest::Address;

namespace {

TEST(Crouton, CreateGivesDefaults)
{
    auto crouton = CreateCrouton();
    ASSERT_TRUE(crouton);
    EXPECT_FALSE(crouton->name);
    EXPECT_FALSE(crouton->videoName);
    EXPECT_FALSE(crouton->directory);
    EXPECT_FALSE(crouton->filename);
    for (const auto& preview : crouton->previewFilename)
        EXPECT_FALSE(preview);
    EXPECT_FALSE(crouton->previewImageText);
    EXPECT_FALSE(crouton->videoCodec);
    EXPECT_FALSE(crouton->audioCodec);
    EXPECT_FALSE(crouton->soundtrack);
    EXPECT_EQ(crouton->start, 0);
    EXPECT_EQ(crouton->length, 0);
    EXPECT_EQ(crouton->videoLength, 0);
    EXPECT_EQ(crouton->width, 0);
    EXPECT_EQ(crouton->height, 0);
    EXPECT_EQ(crouton->videoBitrate, 0);
    EXPECT_EQ(crouton->audioBitrate, 0);
    EXPECT_FALSE(crouton->lock);
    EXPECT_EQ(crouton->previewImage, nullptr);
    EXPECT_EQ(crouton->fps, cCroutonEditorInheritFPSID);
    EXPECT_EQ(crouton->ratio, 0.0f);
    EXPECT_EQ(crouton->customFPS, 30.0f);
    EXPECT_EQ(crouton->previewPosition, (std::array<LONG, 5>{0, 20, 40, 60, 80}));
    EXPECT_EQ(crouton->previewFrame, 1);
    EXPECT_EQ(crouton->isVideo, TRUE);
    DestroyCrouton(std::move(crouton));
}

TEST(Crouton, BuildFullPath)
{
    EXPECT_EQ(BuildFullPath("Work:Clips", "a.cwcrouton"), "Work:Clips/a.cwcrouton");
    EXPECT_EQ(BuildFullPath("RAM:", "a.cwcrouton"), "RAM:a.cwcrouton");
    EXPECT_EQ(BuildFullPath("", "a.cwcrouton"), "a.cwcrouton");
    EXPECT_EQ(BuildFullPath("DH0:", "x"), "DH0:x");
    EXPECT_EQ(BuildFullPath("DH0:Dir", "x"), "DH0:Dir/x");
    // Only ":" saves the separator.
    EXPECT_EQ(BuildFullPath("DH0:Dir/", "x"), "DH0:Dir//x");
    EXPECT_EQ(BuildFullPath("/tmp/a", "b"), "/tmp/a/b");
    EXPECT_EQ(BuildFullPath("Dir", ""), "Dir/");
    // The root folder is "/" already.
    EXPECT_EQ(BuildFullPath("/", "c"), "/c");
}

// A path splits where BuildFullPath joins; a host file name may hold ":".
TEST(Crouton, SplitPath)
{
    struct Row {
        const char* path;
        const char* directory;
        const char* file;
    };
    const Row rows[] = {
        {"Work:Clips/a.avi", "Work:Clips", "a.avi"},
        {"RAM:a.avi", "RAM:", "a.avi"},
        {"a.avi", "", "a.avi"},
        {"/c", "/", "c"},
        {"/videos/12:30.avi", "/videos", "12:30.avi"},
    };
    for (const Row& row : rows) {
        const PathParts parts = SplitPath(row.path);
        EXPECT_EQ(parts.directory, row.directory) << row.path;
        EXPECT_EQ(parts.file, row.file) << row.path;
        EXPECT_EQ(BuildFullPath(parts.directory, parts.file), row.path) << row.path;
    }
}

class CroutonLock : public ::testing::Test {
protected:
    void SetUp() override
    {
        crouton_ = CreateCrouton();
        crouton_->directory = dir_.path();
        crouton_->filename = "a.cwcrouton";
        path_ = dir_ / "a.cwcrouton";
    }
    void TearDown() override { DestroyCrouton(std::move(crouton_)); }

    TempDir dir_;
    std::string path_;
    std::unique_ptr<Crouton> crouton_;
};

TEST_F(CroutonLock, MissingFileIsTrueWithoutLock)
{
    TraceCapture trace;
    EXPECT_EQ(LockCrouton(crouton_.get()), TRUE);
    EXPECT_FALSE(crouton_->lock);
    EXPECT_EQ(trace.Text(), "Locked crouton " + path_ + ".\n");
    trace.Clear();
    EXPECT_EQ(UnlockCrouton(crouton_.get()), FALSE);
    EXPECT_EQ(trace.Text(), "Unlocking crouton " + Address(crouton_.get()) + ", lock is " + Address(nullptr) + ".\n");
}

TEST_F(CroutonLock, LockThenUnlockTwice)
{
    WriteHostFile(path_, "x\n");
    EXPECT_EQ(LockCrouton(crouton_.get()), TRUE);
    ASSERT_TRUE(crouton_->lock);
    const void* held = crouton_->lock.get();

    TraceCapture trace;
    EXPECT_EQ(UnlockCrouton(crouton_.get()), TRUE);
    EXPECT_FALSE(crouton_->lock);
    EXPECT_EQ(trace.Text(), "Unlocking crouton " + Address(crouton_.get()) + ", lock is " + Address(held) +
                                ".\nSucceeded.\n");
    EXPECT_EQ(UnlockCrouton(crouton_.get()), FALSE);
}

TEST_F(CroutonLock, TheLockIsExclusive)
{
    WriteHostFile(path_, "x\n");
    ASSERT_EQ(LockCrouton(crouton_.get()), TRUE);
    ASSERT_TRUE(crouton_->lock);
    // Nobody else may lock, delete or rename the file while it is held.
    EXPECT_FALSE(Lock(path_, SHARED_LOCK));
    EXPECT_FALSE(Lock(path_, EXCLUSIVE_LOCK));
    EXPECT_EQ(DeleteFile(path_), FALSE);

    auto other = CreateCrouton();
    other->directory = crouton_->directory;
    other->filename = crouton_->filename;
    EXPECT_EQ(LockCrouton(other.get()), TRUE);
    EXPECT_FALSE(other->lock);
    DestroyCrouton(std::move(other));

    // Locking again keeps one lock.
    EXPECT_EQ(LockCrouton(crouton_.get()), TRUE);
    EXPECT_TRUE(crouton_->lock);
    EXPECT_EQ(UnlockCrouton(crouton_.get()), TRUE);
    EXPECT_TRUE(Lock(path_, EXCLUSIVE_LOCK));
}

TEST_F(CroutonLock, NullCrouton)
{
    EXPECT_EQ(LockCrouton(nullptr), FALSE);
    EXPECT_EQ(UnlockCrouton(nullptr), FALSE);
    TraceCapture trace;
    DestroyCrouton(nullptr);
    EXPECT_EQ(trace.Text(), "");
}

// Two instances of the program never hold the same crouton file.
TEST_F(CroutonLock, TwoProcessesCannotBothHoldTheLock)
{
    WriteHostFile(path_, "x\n");
    cwtest::ChildProcess holder([this](const cwtest::Channel& parent) {
        LockCrouton(crouton_.get());
        parent.Send(crouton_->lock ? "L" : "N");
        if (!parent.Receive())
            return 3;
        UnlockCrouton(crouton_.get());
        return 0;
    });
    const std::optional<std::string> held = holder.Talk().Receive();
    ASSERT_TRUE(held);
    EXPECT_EQ(*held, "L");

    EXPECT_EQ(LockCrouton(crouton_.get()), TRUE);
    EXPECT_FALSE(crouton_->lock) << "both processes hold the exclusive lock";

    holder.Talk().Send("g");
    EXPECT_EQ(holder.Wait(), 0);

    EXPECT_EQ(LockCrouton(crouton_.get()), TRUE);
    EXPECT_TRUE(crouton_->lock);
}

TEST(CroutonDestroy, TracesEveryFieldInOrder)
{
    TempDir dir;
    WriteHostFile(dir / "d.cwcrouton", "x\n");
    auto crouton = CreateCrouton();
    crouton->name = "Holiday";
    crouton->videoName = "Work:Clips/holiday.avi";
    crouton->directory = dir.path();
    crouton->filename = "d.cwcrouton";
    crouton->videoCodec = "mpeg4";
    crouton->soundtrack = "Work:song.mp3";
    crouton->previewImageText = "\x1bo[2]";
    crouton->previewFilename[1] = "Work:d_preview2.png";
    crouton->previewFilename[4] = "NoKeyFrame.png";
    LockCrouton(crouton.get());
    ASSERT_TRUE(crouton->lock);

    const Crouton* record = crouton.get();
    const std::string expected =
        "Destroying crouton " + Address(record) + " (Holiday).\n" + "Unlocking crouton " + Address(record) +
        ", lock is " + Address(crouton->lock.get()) + ".\nSucceeded.\n" + "name:Holiday\n" +
        "videoName:Work:Clips/holiday.avi\n" + "filename:d.cwcrouton\n" + "previewImage:" + Address(nullptr) + "\n" +
        "videoCodec: " + Address(crouton->videoCodec->c_str()) + " mpeg4\n" + "audioCodec: " + Address(nullptr) +
        " (null)\n" + "previewImageText: " + Address(crouton->previewImageText->c_str()) + " \x1bo[2]\n" +
        "previewFilename: " + Address(crouton->previewFilename[1]->c_str()) + " Work:d_preview2.png\n" +
        "previewFilename: " + Address(crouton->previewFilename[4]->c_str()) + " NoKeyFrame.png\n" +
        "Crouton is destroyed.\n";
    TraceCapture trace;
    DestroyCrouton(std::move(crouton));
    EXPECT_EQ(trace.Text(), expected);
    // The lock went with the crouton.
    EXPECT_TRUE(Lock(dir / "d.cwcrouton", EXCLUSIVE_LOCK));
}

// Records what the picture showed at each change.
class PictureLog : public mui::ObjectView {
public:
    void AttributeChanged(mui::Object& object, Tag attribute) override
    {
        if (attribute != MUIA_NBitmap_Normal)
            return;
        const auto file = object.GetString(MUIA_NBitmap_Normal);
        shown.push_back(file.value_or("<none>"));
    }
    void EntriesChanged(mui::Object&) override {}
    void ObjectDisposed(mui::Object&) override {}
    std::vector<std::string> shown;
};

TEST(CroutonDestroy, EmptiesThePictureButKeepsTheObject)
{
    // The tests run beside the program's pictures.
    ASSERT_TRUE(modeltest::HostExists("NoImageLoaded.png"));
    TempDir dir;
    WriteHostFile(dir / "still.png", "not really a picture");
    mui::ObjectPtr picture = mui::MakeNBitmap(dir / "still.png");
    ASSERT_TRUE(picture);
    PictureLog log;
    picture->SetView(&log);

    auto crouton = CreateCrouton();
    crouton->previewImage = picture.get();
    DestroyCrouton(std::move(crouton));

    EXPECT_EQ(log.shown, (std::vector<std::string>{"NoImageLoaded.png", "<none>"}));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(picture->Get(MUIA_NBitmap_Normal)));
    picture->SetView(nullptr);
}

TEST(CroutonDestroy, NeverLockedAndNoPicture)
{
    auto crouton = CreateCrouton();
    const Crouton* record = crouton.get();
    TraceCapture trace;
    DestroyCrouton(std::move(crouton));
    const std::string none = Address(nullptr);
    EXPECT_EQ(trace.Text(), "Destroying crouton " + Address(record) + " ((null)).\nname:(null)\nvideoName:(null)\n" +
                                "filename:(null)\npreviewImage:" + none + "\nvideoCodec: " + none +
                                " (null)\naudioCodec: " + none + " (null)\npreviewImageText: " + none +
                                " (null)\nCrouton is destroyed.\n");
}

float Length(LONG fps, float customFPS, int files, std::string* printed = nullptr)
{
    auto crouton = CreateCrouton();
    crouton->fps = fps;
    crouton->customFPS = customFPS;
    ::testing::internal::CaptureStdout();
    const float length = GetCroutonLength(crouton.get(), files);
    const std::string out = ::testing::internal::GetCapturedStdout();
    if (printed)
        *printed = out;
    DestroyCrouton(std::move(crouton));
    return length;
}

TEST(CroutonLength, OneImageFewerThanTheCount)
{
    std::string printed;
    EXPECT_EQ(Length(6, 30.0f, 11, &printed), 10.0f);
    EXPECT_EQ(printed, "Crouton length for sample is 10.000000.\n");
    EXPECT_FLOAT_EQ(Length(1, 30.0f, 11), 50.0f);
    EXPECT_EQ(Length(7, 30.0f, 10), 4.5f);
    EXPECT_EQ(Length(17, 30.0f, 1, &printed), 0.0f);
    EXPECT_EQ(printed, "Crouton length for sample is 0.000000.\n");
    // The custom index uses the crouton's own rate.
    EXPECT_EQ(Length(cCroutonEditorCustomFPSID, 4.0f, 9), 2.0f);
}

// Any finite, non-zero rate divides the count less one, whatever its sign:
// no images give minus one frame's time, a negative rate a negative length.
TEST(CroutonLength, PlainDivisionForOtherRates)
{
    std::string printed;
    EXPECT_EQ(Length(6, 30.0f, 0, &printed), -1.0f);
    EXPECT_EQ(printed, "Crouton length for sample is -1.000000.\n");
    EXPECT_FLOAT_EQ(Length(cCroutonEditorCustomFPSID, -5.0f, 10), -1.8f);
}

TEST(CroutonLength, NoRateGivesNoLength)
{
    std::string printed;
    EXPECT_EQ(Length(cCroutonEditorInheritFPSID, 30.0f, 10, &printed), 0.0f);
    EXPECT_EQ(printed, "Crouton length for sample is 0.000000.\n");
    EXPECT_EQ(Length(cCroutonEditorCustomFPSID, 0.0f, 10), 0.0f);

    EXPECT_EQ(Length(cCroutonEditorCustomFPSID, std::numeric_limits<float>::quiet_NaN(), 10), 0.0f);
    EXPECT_EQ(Length(cCroutonEditorCustomFPSID, std::numeric_limits<float>::infinity(), 10), 0.0f);
    EXPECT_EQ(Length(cCroutonEditorCustomFPSID, std::numeric_limits<float>::denorm_min(), 10), 0.0f);
    // An index out of range never reads past the table.
    EXPECT_TRUE(std::isfinite(Length(400, 30.0f, 10)));
    EXPECT_TRUE(std::isfinite(Length(-400, 30.0f, 10)));
}

} // namespace

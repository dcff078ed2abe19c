// How a render ends, with the tools stood in for through the command
// runner's seam: it stops at the first piece that fails, a cancel stops it at
// once, the file that stood at the output name survives both byte for byte,
// a good render replaces it, nothing is left on T:, the progress comes in
// order and the user is told the outcome in plain words.
#include "model/render.h"
#include "os/question.h"
#include "render_support.h"
#include "support/fake_tools.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

using cwtest::FakeAnswer;
using cwtest::FakeTools;
using cwtest::RecordedWork;
using media_test::ReadHostFile;
using media_test::WriteHostFile;
using render_test::Exists;
using render_test::Host;
using cwtest::HostFile;
using render_test::SetField;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

constexpr const char* kOld = "the video that was there before the render";

class RenderOutcome : public render_test::RenderFixture {
protected:
    void SetUp() override
    {
        RenderFixture::SetUp();
        for (const char* name : {"a", "beach", "c"}) {
            const std::string source = folder_ / (std::string(name) + ".avi");
            WriteHostFile(source, "a source clip");
            auto crouton = Video(source, 0, 2);
            crouton->name = name;
            Append(std::move(crouton));
        }
    }

    std::string Render()
    {
        TraceCapture trace;
        RenderProject(gProject.get());
        return trace.Text();
    }

    // The files in the output's folder other than the sources (clips and tunes).
    std::set<std::string> Leftovers() const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
            const std::string name = entry.path().filename().string();
            if ((!name.ends_with(".avi") && !name.ends_with(".wav")) || name == "out.avi")
                names.insert(name);
        }
        return names;
    }

    // Nothing of the render is left: the old file as it was (or none), no
    // file beside it, no piece on T:.
    void ExpectNothingLeft(bool hadOld) const
    {
        if (hadOld) {
            EXPECT_EQ(ReadHostFile(output_), kOld);
            EXPECT_EQ(Leftovers(), std::set<std::string>{"out.avi"});
        } else {
            EXPECT_FALSE(std::filesystem::exists(output_));
            EXPECT_EQ(Leftovers(), std::set<std::string>{});
        }
        for (const char* piece : {"T:__TempVideo", "T:__TempVideo2", "T:__FinishVideo", "T:__SilentVideo"})
            EXPECT_FALSE(Exists(piece)) << piece;
    }

    std::string Source(const char* name) const { return folder_ / (std::string(name) + ".avi"); }
};

// ---- the first failed piece ends the render ------------------------------

enum class Failure { NoPiece, SmallPiece, ExitCode, NoSource };

struct FailureRow {
    const char* label;
    int crouton; // counted from 1
    Failure failure;
    const char* reason;
};

const FailureRow kFailures[] = {
    {"first, no piece", 1, Failure::NoPiece, "the tool wrote no usable video"},
    {"first, 4999 bytes", 1, Failure::SmallPiece, "the tool wrote no usable video"},
    {"first, exit code", 1, Failure::ExitCode, "the tool reported \"Conversion failed!\""},
    {"first, refused", 1, Failure::NoSource, "it has no source file"},
    {"second, no piece", 2, Failure::NoPiece, "the tool wrote no usable video"},
    {"second, 4999 bytes", 2, Failure::SmallPiece, "the tool wrote no usable video"},
    {"second, exit code", 2, Failure::ExitCode, "the tool reported \"Conversion failed!\""},
    {"second, refused", 2, Failure::NoSource, "it has no source file"},
    {"last, no piece", 3, Failure::NoPiece, "the tool wrote no usable video"},
    {"last, exit code", 3, Failure::ExitCode, "the tool reported \"Conversion failed!\""},
    {"last, refused", 3, Failure::NoSource, "it has no source file"},
};

TEST_F(RenderOutcome, FirstFailedPieceEndsTheRenderAndKeepsTheOldOutput)
{
    const char* names[] = {"a", "beach", "c"};
    for (const FailureRow& row : kFailures) {
        for (const bool hadOld : {true, false}) {
            SCOPED_TRACE(std::string(row.label) + (hadOld ? ", old output" : ", no old output"));
            const std::string failing = Source(names[row.crouton - 1]);
            Crouton* crouton = GetCroutonFromPosition(gProject.get(), row.crouton - 1);
            if (row.failure == Failure::NoSource)
                crouton->videoName.reset();
            if (hadOld)
                WriteHostFile(output_, kOld);
            else
                std::filesystem::remove(output_);

            FakeTools tools([&](const std::string& line, int) -> std::optional<FakeAnswer> {
                if (line.find(failing) == std::string::npos)
                    return std::nullopt;
                switch (row.failure) {
                case Failure::NoPiece: return FakeAnswer{0, std::nullopt, ""};
                case Failure::SmallPiece: return FakeAnswer{0, std::string(4999, 'x'), ""};
                case Failure::ExitCode: return FakeAnswer{1, FakeTools::Piece(9), "Conversion failed!"};
                case Failure::NoSource: break;
                }
                return std::nullopt;
            });
            RecordedWork work;
            const std::string trace = Render();
            crouton->videoName = failing;

            EXPECT_TRUE(trace.ends_with("Rendering failed.\n")) << trace;
            EXPECT_THAT(trace, Not(HasSubstr("Rendering crouton number " + std::to_string(row.crouton) + ".")));
            EXPECT_THAT(trace, Not(HasSubstr("Finishing:")));
            ASSERT_TRUE(work.outcome);
            EXPECT_EQ(*work.outcome, WorkOutcome::Failed);
            EXPECT_EQ(work.message, "Crouton " + std::to_string(row.crouton) + " (" + names[row.crouton - 1]
                                        + ") could not be encoded: " + row.reason + ".");
            // Nothing runs after the failed piece.
            const std::vector<std::string> lines = tools.Encoder();
            ASSERT_FALSE(lines.empty() && row.crouton > 1);
            if (row.failure != Failure::NoSource) {
                EXPECT_THAT(lines.back(), HasSubstr(failing));
            }
            ExpectNothingLeft(hadOld);
        }
    }
}

// ---- cancel ----------------------------------------------------------------

enum class CancelAt { StepStart, Encoding, Joining, Finishing };

struct CancelRow {
    const char* label;
    int piece;
    CancelAt at;
};

const CancelRow kCancels[] = {
    {"as piece 1 starts", 1, CancelAt::StepStart},
    {"while piece 1 encodes", 1, CancelAt::Encoding},
    {"as piece 2 starts", 2, CancelAt::StepStart},
    {"while piece 2 encodes", 2, CancelAt::Encoding},
    {"while piece 2 is joined", 2, CancelAt::Joining},
    {"while piece 3 encodes", 3, CancelAt::Encoding},
    {"while the video is finished", 3, CancelAt::Finishing},
};

TEST_F(RenderOutcome, CancelStopsTheRenderAndKeepsTheOldOutput)
{
    const char* names[] = {"a", "beach", "c"};
    for (const CancelRow& row : kCancels) {
        for (const bool hadOld : {true, false}) {
            SCOPED_TRACE(std::string(row.label) + (hadOld ? ", old output" : ", no old output"));
            if (hadOld)
                WriteHostFile(output_, kOld);
            else
                std::filesystem::remove(output_);
            const std::string source = Source(names[row.piece - 1]);
            std::string cancelling;
            int joins = 0;
            FakeTools tools([&](const std::string& line, int) -> std::optional<FakeAnswer> {
                const bool hit = (row.at == CancelAt::Encoding && line.find(source) != std::string::npos)
                                 || (row.at == CancelAt::Joining && line.find("T:__TempVideo2") != std::string::npos
                                     && cancelling.empty() && joins++ == row.piece - 2)
                                 || (row.at == CancelAt::Finishing && line.find("T:__FinishVideo") != std::string::npos);
                if (!hit)
                    return std::nullopt;
                // The user cancels while the tool runs: it is ended, and
                // leaves what it wrote so far.
                cancelling = line;
                CancelWork();
                return FakeAnswer{20, std::string(100, 'p'), ""};
            });
            RecordedWork work;
            if (row.at == CancelAt::StepStart)
                work.onStep = [&row](int index) {
                    if (index == row.piece)
                        CancelWork();
                };
            const std::string trace = Render();

            EXPECT_TRUE(trace.ends_with("Rendering cancelled.\n")) << trace;
            EXPECT_THAT(trace, Not(HasSubstr("Rendering failed.")));
            ASSERT_TRUE(work.outcome);
            EXPECT_EQ(*work.outcome, WorkOutcome::Cancelled);
            EXPECT_EQ(work.message, "Rendering was cancelled; " + output_ + " is as it was before.");
            const std::vector<std::string> lines = tools.Encoder();
            if (row.at == CancelAt::StepStart) {
                // The piece's tool never ran.
                for (const std::string& line : lines)
                    EXPECT_THAT(line, Not(HasSubstr(source)));
                EXPECT_EQ(work.events.back(), "end");
            } else {
                ASSERT_FALSE(lines.empty());
                EXPECT_EQ(lines.back(), cancelling);
            }
            ExpectNothingLeft(hadOld);
        }
    }
}

// ---- croutons encoded side by side -----------------------------------------

enum class SideEnd { Finished, Fails, Cancelled };

struct SideRow {
    const char* label;
    int waits[4]; // how long each crouton's encode runs, in the render's waits
    int failing;  // the crouton (from 1) whose encode writes nothing, or 0
    int cancelAt; // the crouton whose encode's start the user cancels at, or 0
    SideEnd end;
};

const SideRow kSideBySide[] = {
    // Later croutons end first; their lines, joins and steps still come in order.
    {"ending in reverse", {4, 3, 2, 1}, 0, 0, SideEnd::Finished},
    {"ending at once", {0, 0, 0, 0}, 0, 0, SideEnd::Finished},
    // The third has ended and the fourth still runs when the second fails.
    {"second fails", {1, 2, 0, 9}, 2, 0, SideEnd::Fails},
    {"cancel as the third starts", {5, 5, 5, 5}, 0, 3, SideEnd::Cancelled},
};

TEST_F(RenderOutcome, CroutonsEncodedSideBySideAreTakenInOrder)
{
    const char* names[] = {"a", "beach", "c", "d"};
    const std::string fourth = Source("d");
    WriteHostFile(fourth, "a source clip");
    auto crouton = Video(fourth, 0, 2);
    crouton->name = "d";
    Append(std::move(crouton));
    struct Lanes {
        Lanes() { setenv("CLIPWEAVER_RENDER_LANES", "3", 1); }
        ~Lanes() { unsetenv("CLIPWEAVER_RENDER_LANES"); }
    } lanes;
    for (const SideRow& row : kSideBySide) {
        SCOPED_TRACE(row.label);
        WriteHostFile(output_, kOld);
        std::vector<std::string> joined; // what each join found at T:__TempVideo
        FakeTools tools([&](const std::string& line, int) -> std::optional<FakeAnswer> {
            if (line.find("T:__TempVideo2") != std::string::npos) {
                joined.push_back(ReadHostFile(HostFile("T:__TempVideo")));
                return std::nullopt;
            }
            for (int k = 0; k < 4; ++k) {
                if (line.find(Source(names[k])) == std::string::npos)
                    continue;
                if (row.cancelAt == k + 1)
                    CancelWork();
                std::optional<std::string> piece = std::string("piece of ") + names[k];
                piece->resize(6000, '.');
                if (row.failing == k + 1)
                    piece.reset();
                return FakeAnswer{0, piece, "", row.waits[k]};
            }
            return std::nullopt;
        });
        RecordedWork work;
        const std::string trace = Render();

        // Three encodes that take their time run side by side before the
        // first join.
        const std::vector<std::string> lines = tools.Encoder();
        ASSERT_GE(lines.size(), 3u);
        if (row.waits[0] > 0) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_THAT(lines[static_cast<std::size_t>(k)], HasSubstr(Source(names[k])));
            }
        }
        // Each crouton's lines stand together, in project order.
        std::size_t at = 0;
        const int shown = row.end == SideEnd::Finished ? 4 : row.end == SideEnd::Fails ? row.failing : 1;
        for (int k = 0; k < 4; ++k) {
            const std::string start = "Rendering crouton number " + std::to_string(k) + ".\nRendering video "
                                      + Source(names[k]) + " from 0 to 2.\nExecuting mencoder";
            const std::size_t found = trace.find(start);
            if (k >= shown) {
                EXPECT_EQ(found, std::string::npos) << k << "\n" << trace;
                continue;
            }
            ASSERT_NE(found, std::string::npos) << k << "\n" << trace;
            EXPECT_GE(found, at) << k;
            // The crouton before was joined before this one's lines begin.
            if (k >= 2) {
                EXPECT_THAT(trace.substr(at, found - at), HasSubstr("Renaming ")) << k;
            }
            at = found;
        }
        switch (row.end) {
        case SideEnd::Finished:
            EXPECT_TRUE(trace.ends_with("Rendering finished.\n")) << trace;
            EXPECT_EQ(joined.size(), 3u);
            for (std::size_t k = 0; k < joined.size(); ++k)
                EXPECT_TRUE(joined[k].starts_with(std::string("piece of ") + names[k + 1] + ".")) << k;
            EXPECT_EQ(work.events,
                      (std::vector<std::string>{"begin Rendering 4", "step 1 Crouton 1 of 4: a",
                                                "step 2 Crouton 2 of 4: beach", "step 3 Crouton 3 of 4: c",
                                                "step 4 Crouton 4 of 4: d", "end"}));
            EXPECT_TRUE(tools.Ended().empty());
            break;
        case SideEnd::Fails:
            EXPECT_THAT(trace, HasSubstr(Source("beach") + "\" -o \"T:__TempVideo\" -zoom"));
            EXPECT_TRUE(trace.ends_with("Error: encoded video doesn't exist.\nPut " + output_
                                        + " back.\nRendering failed.\n"))
                << trace;
            EXPECT_EQ(work.message, "Crouton 2 (beach) could not be encoded: the tool wrote no usable video.");
            EXPECT_TRUE(joined.empty());
            // The fourth was still encoding: it was ended.
            EXPECT_EQ(tools.Ended(), std::vector<std::string>{lines.back()});
            EXPECT_THAT(lines.back(), HasSubstr(fourth));
            break;
        case SideEnd::Cancelled:
            EXPECT_TRUE(trace.ends_with("Rendering cancelled.\n")) << trace;
            // Nothing starts after the cancel; every encode that ran was ended.
            EXPECT_EQ(lines.size(), 3u);
            EXPECT_EQ(tools.Ended(), lines);
            break;
        }
        if (row.end != SideEnd::Finished)
            ExpectNothingLeft(true);
        // No lane's piece is left on T: either.
        for (const auto& entry : std::filesystem::directory_iterator(TemporaryFolder()))
            EXPECT_FALSE(entry.path().filename().string().starts_with("__CWLane")) << entry.path();
    }
}

// ---- success ---------------------------------------------------------------

TEST_F(RenderOutcome, GoodRenderReplacesTheOldOutputAndReportsInOrder)
{
    WriteHostFile(output_, kOld);
    FakeTools tools;
    RecordedWork work;
    const std::string trace = Render();

    const std::string finish = "mencoder -oac lavc -ovc copy -o \"" + output_ + "\" \"T:__FinishVideo\"\n";
    EXPECT_TRUE(trace.ends_with("Finishing: " + finish + ".\nRendering finished.\n")) << trace;
    const std::vector<std::string> lines = tools.Encoder();
    ASSERT_EQ(lines.size(), 6u); // three pieces, two joins, the finish
    EXPECT_EQ(lines.back(), finish);
    // The output is what the finishing run wrote.
    EXPECT_EQ(ReadHostFile(output_), FakeTools::Piece(5));
    EXPECT_EQ(Leftovers(), std::set<std::string>{"out.avi"});
    for (const char* piece : {"T:__TempVideo", "T:__TempVideo2", "T:__FinishVideo"})
        EXPECT_FALSE(Exists(piece)) << piece;

    EXPECT_EQ(work.events, (std::vector<std::string>{"begin Rendering 3", "step 1 Crouton 1 of 3: a",
                                                     "step 2 Crouton 2 of 3: beach", "step 3 Crouton 3 of 3: c",
                                                     "end"}));
    ASSERT_TRUE(work.outcome);
    EXPECT_EQ(*work.outcome, WorkOutcome::Finished);
    // The stand-in's file is no video, so its length is not known.
    EXPECT_EQ(work.message, "Rendered " + output_ + ": 6 KB");
    // Within each step the bar only moves forward and ends full.
    ASSERT_FALSE(work.within.empty());
    for (std::size_t i = 1; i < work.within.size(); ++i) {
        const auto& [step, fraction] = work.within[i];
        const auto& [lastStep, lastFraction] = work.within[i - 1];
        EXPECT_GE(step, lastStep);
        if (step == lastStep) {
            EXPECT_GE(fraction, lastFraction);
        }
    }
    for (int step = 1; step <= 3; ++step) {
        double last = -1;
        for (const auto& [at, fraction] : work.within)
            if (at == step)
                last = fraction;
        EXPECT_DOUBLE_EQ(last, 1.0) << step;
    }
}

TEST_F(RenderOutcome, SoundtrackRenderEndsWithTheFinish)
{
    const std::string tune = folder_ / "tune.wav";
    WriteHostFile(tune, "a tune");
    SetField(BUTTON_MAIN_SOUNDTRACK, tune);
    FakeTools tools;
    RecordedWork work;
    const std::string trace = Render();
    EXPECT_TRUE(trace.ends_with("Rendering finished.\n")) << trace;
    const std::vector<std::string> lines = tools.Encoder();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[5], "mencoder -oac lavc -ovc copy T:__SilentVideo -audiofile \"" + tune + "\" -o " + output_);
    EXPECT_EQ(lines[6], "mencoder -oac lavc -ovc copy -o \"" + output_ + "\" \"T:__FinishVideo\"\n");
    EXPECT_TRUE(Exists("T:__SilentVideo"));
    EXPECT_EQ(work.outcome, WorkOutcome::Finished);
}

// ---- the failure told in plain words --------------------------------------

struct ToldRow {
    const char* label;
    FakeAnswer answer;       // of the first crouton's tool
    const char* outputName;  // in the test's folder
    const char* message;     // with FOLDER for the test's folder
};

const ToldRow kTold[] = {
    // Found before anything runs, and not blamed on a crouton.
    {"missing folder", {1, std::nullopt, "x: No such file or directory"}, "nowhere/out.avi",
     "The folder FOLDER/nowhere for the output does not exist."},
    {"full disk", {1, std::nullopt, "Error writing trailer of out.avi: No space left on device"}, "out.avi",
     "Crouton 1 (a) could not be encoded: the disk holding FOLDER is full."},
    {"write refused", {1, std::nullopt, "FOLDER/out.avi: Permission denied"}, "out.avi",
     "Crouton 1 (a) could not be encoded: the file FOLDER/out.avi may not be written (permission denied)."},
    {"tool's own words", {1, std::nullopt, "[mpeg4 @ 0x1] something odd"}, "out.avi",
     "Crouton 1 (a) could not be encoded: the tool reported \"[mpeg4 @ 0x1] something odd\"."},
    {"exit code only", {3, std::nullopt, ""}, "out.avi",
     "Crouton 1 (a) could not be encoded: the tool failed with exit code 3."},
};

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

TEST_F(RenderOutcome, FailuresAreToldInPlainWords)
{
    for (const ToldRow& row : kTold) {
        SCOPED_TRACE(row.label);
        SetField(BUTTON_MAIN_OUTPUTFILENAME, folder_ / row.outputName);
        FakeAnswer answer = row.answer;
        answer.error = Replace(answer.error, "FOLDER", folder_.path());
        FakeTools tools([&](const std::string&, int index) -> std::optional<FakeAnswer> {
            if (index == 0)
                return answer;
            return std::nullopt;
        });
        RecordedWork work;
        Render();
        EXPECT_EQ(work.outcome, WorkOutcome::Failed);
        EXPECT_EQ(work.message, Replace(row.message, "FOLDER", folder_.path()));
    }
}

TEST_F(RenderOutcome, MissingSourceIsNamed)
{
    Crouton* second = GetCroutonFromPosition(gProject.get(), 1);
    second->videoName = folder_ / "gone.avi";
    FakeTools tools([](const std::string& line, int) -> std::optional<FakeAnswer> {
        if (line.find("gone.avi") != std::string::npos)
            return FakeAnswer{1, std::nullopt, "gone.avi: No such file or directory"};
        return std::nullopt;
    });
    RecordedWork work;
    Render();
    // Found before anything is encoded.
    EXPECT_EQ(work.message, "Crouton 2 (beach): " + (folder_ / "gone.avi") + " is missing.");
    EXPECT_TRUE(tools.Encoder().empty());
}

TEST_F(RenderOutcome, FailedJoinFinishAndSoundtrackAreTold)
{
    struct Row {
        const char* label;
        const char* line; // the failing line holds this
        const char* message;
    };
    const Row rows[] = {
        {"join", "T:__TempVideo2", "Crouton 2 (beach) could not be joined to the video before it: the tool reported "
                                   "\"boom\"."},
        {"finish", "T:__FinishVideo", "The video could not be finished: the tool reported \"boom\"."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        WriteHostFile(output_, kOld);
        FakeTools tools([&](const std::string& line, int) -> std::optional<FakeAnswer> {
            if (line.find(row.line) != std::string::npos)
                return FakeAnswer{1, std::nullopt, "boom"};
            return std::nullopt;
        });
        RecordedWork work;
        const std::string trace = Render();
        EXPECT_TRUE(trace.ends_with("Rendering failed.\n")) << trace;
        EXPECT_EQ(work.message, row.message);
        ExpectNothingLeft(true);
    }

    const std::string tune = folder_ / "tune.wav";
    WriteHostFile(tune, "a tune");
    SetField(BUTTON_MAIN_SOUNDTRACK, tune);
    FakeTools tools([](const std::string& line, int) -> std::optional<FakeAnswer> {
        if (line.find("-audiofile") != std::string::npos)
            return FakeAnswer{1, std::nullopt, "boom"};
        return std::nullopt;
    });
    RecordedWork work;
    Render();
    EXPECT_EQ(work.message, "The soundtrack " + tune + " could not be laid under the video: the tool reported \"boom\".");
    ExpectNothingLeft(true);
}

TEST_F(RenderOutcome, NothingToRenderAndBadSettingsFail)
{
    struct Row {
        const char* label;
        std::function<void()> arrange;
        const char* message;
    };
    const Row rows[] = {
        {"no output name", [] { SetField(BUTTON_MAIN_OUTPUTFILENAME, ""); },
         "There is no output file name: type one into the output field."},
        {"custom size 0",
         [] {
             gProject->parameters = 19;
             SetField(BUTTON_MAIN_WIDTH, "0");
         },
         "The video could not be rendered: the custom size 0 x 240 is not a picture size (neither may be 0)."},
        {"custom rate not a number",
         [] {
             gProject->fps = 3;
             SetField(BUTTON_MAIN_CUSTOMFPS, "fast");
         },
         "The video could not be rendered: the custom frame rate \"fast\" is not a number of frames per second "
         "(such as 25 or 12.5)."},
        {"no croutons", [] { DestroyProject(std::move(gProject)); gProject = NewProject(); },
         "There is nothing to render: the project has no croutons."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        WriteHostFile(output_, kOld);
        row.arrange();
        FakeTools tools;
        RecordedWork work;
        const std::string trace = Render();
        EXPECT_TRUE(trace.ends_with("Rendering failed.\n")) << trace;
        EXPECT_EQ(work.outcome, WorkOutcome::Failed);
        EXPECT_EQ(work.message, row.message);
        EXPECT_TRUE(tools.Encoder().empty());
        EXPECT_EQ(ReadHostFile(output_), kOld);
        SetField(BUTTON_MAIN_OUTPUTFILENAME, output_);
    }
}

TEST_F(RenderOutcome, OutputThatNoRenderMayWriteIsRefused)
{
    struct Row {
        const char* label;
        std::string output;
        std::string message;
    };
    std::filesystem::create_directory(folder_ / "folder");
    const Row rows[] = {
        {"a folder", folder_ / "folder",
         "The output name " + (folder_ / "folder") + " is a folder: type a file name into the output field."},
        {"a crouton's source", Source("beach"),
         "The output file " + Source("beach") + " is also what Crouton 2 (beach) is made from: choose another "
                                                "output name."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        SetField(BUTTON_MAIN_OUTPUTFILENAME, row.output);
        FakeTools tools;
        RecordedWork work;
        const std::string trace = Render();
        EXPECT_TRUE(trace.ends_with("Rendering failed.\n")) << trace;
        EXPECT_EQ(work.message, row.message);
        EXPECT_TRUE(tools.Encoder().empty());
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / "folder"));
    EXPECT_EQ(ReadHostFile(Source("beach")), "a source clip");
}

// The same file as a source, whatever the spelling; and every other problem
// found before anything is encoded, all of them in one message.
TEST_F(RenderOutcome, ProblemsAreFoundBeforeAnythingIsEncoded)
{
    struct Row {
        const char* label;
        std::function<std::string()> arrange; // returns the output name
        std::string message;
    };
    std::filesystem::create_directory(folder_ / "sub");
    std::filesystem::create_directory_symlink(folder_.path(), folder_ / "link");
    const std::string beachIs = " is also what Crouton 2 (beach) is made from: choose another output name.";
    const Row rows[] = {
        {"through ..", [&] { return folder_ / "sub/../beach.avi"; },
         "The output file " + (folder_ / "sub/../beach.avi") + beachIs},
        {"through a link", [&] { return folder_ / "link/beach.avi"; },
         "The output file " + (folder_ / "link/beach.avi") + beachIs},
        {"a link to the source", [&] {
             std::filesystem::create_symlink(Source("beach"), folder_ / "alias.avi");
             return folder_ / "alias.avi";
         },
         "The output file " + (folder_ / "alias.avi") + beachIs},
        {"full disk names its folder", [&] {
             SetFreeBytesHook([](const std::string&) { return std::optional<long long>(1000); });
             return output_;
         },
         "Nothing was rendered:\nThere is not room enough in " + folder_.path()
             + ": the render needs about 0.2 MB there, and 0.0 MB are free.\nThere is not room enough in "
             + TemporaryFolder() + ": the render needs about 2.5 MB there, and 0.0 MB are free."},
        {"unloadable crouton and missing source together", [&] {
             Crouton* first = GetCroutonFromPosition(gProject.get(), 0);
             first->loadProblem = "in use by another Clipweaver";
             first->directory = folder_.path();
             first->filename = "a.cwcrouton";
             GetCroutonFromPosition(gProject.get(), 2)->videoName = folder_ / "gone.avi";
             return output_;
         },
         "Nothing was rendered:\nCrouton 1 (a) could not be loaded (in use by another Clipweaver): "
             + (folder_ / "a.cwcrouton") + ".\nCrouton 3 (c): " + (folder_ / "gone.avi") + " is missing."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        SetField(BUTTON_MAIN_OUTPUTFILENAME, row.arrange());
        FakeTools tools;
        RecordedWork work;
        const std::string trace = Render();
        SetFreeBytesHook({});
        EXPECT_TRUE(trace.ends_with("Rendering failed.\n")) << trace;
        EXPECT_EQ(work.message, row.message);
        EXPECT_TRUE(tools.Encoder().empty());
    }
    EXPECT_EQ(ReadHostFile(Source("beach")), "a source clip");
}

// A file the project's own render did not make is replaced only when the
// user says so; the project's own output is replaced without a question.
TEST_F(RenderOutcome, ReplacingAFileOfSomebodyElseIsAsked)
{
    WriteHostFile(output_, kOld);
    FakeTools tools;
    ClearToldLog();
    QueueQuestionAnswer("Cancel");
    EXPECT_EQ(Render(), "Rendering cancelled.\n");
    EXPECT_TRUE(tools.Encoder().empty());
    EXPECT_EQ(ReadHostFile(output_), kOld);
    ASSERT_EQ(ToldLog().size(), 1u);
    EXPECT_EQ(ToldLog()[0].text, output_ + " exists. Replace it?");

    EXPECT_TRUE(Render().ends_with("Rendering finished.\n"));
    ASSERT_EQ(ToldLog().size(), 2u);
    EXPECT_EQ(ToldLog()[1].answer, "Replace");
    EXPECT_TRUE(Render().ends_with("Rendering finished.\n"));
    EXPECT_EQ(ToldLog().size(), 2u);
    ClearQuestionAnswers();
}

} // namespace

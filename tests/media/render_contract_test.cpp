// The contract between the render and the mencoder tool: every kind of line
// the render writes for a crouton is taken by one of the tool's operations
// (none falls through to the host's mencoder), and the plan made of it holds
// what the line asks: the frame's size, the rate, the codec and the sound.
#include "media/preview.h"
#include "model/render.h"
#include "model/render_internal.h"
#include "model/tables.h"
#include "os/command.h"
#include "os/format.h"
#include "render_support.h"
#include "support/fake_tools.h"
#include "tools/tool_media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using render_test::SetField;

namespace {

struct ContractRow {
    std::string what;
    bool pictures = false;   // a picture-sequence crouton, else a video crouton
    LONG format = 9;         // index into the output formats
    LONG baud = 6;           // index into the bit rates
    LONG fps = 2;            // index into the frame rates
    std::string customFps;   // for the custom rate
    std::string output = "out.avi";
    std::string soundtrack;  // the crouton's own soundtrack
    bool silent = false;
    PieceLook look;          // what the project's joins and fades ask of it
};

std::vector<ContractRow> Rows()
{
    std::vector<ContractRow> rows;
    for (const bool pictures : {false, true}) {
        // Each row the base one with one thing changed.
        const auto add = [&rows, pictures](const std::string& what, auto change) {
            ContractRow row;
            row.what = (pictures ? "pictures, " : "video, ") + what;
            row.pictures = pictures;
            change(row);
            rows.push_back(row);
        };
        for (LONG format = 0; format <= cCustomFormatID; ++format)
            add("format " + std::to_string(format), [format](ContractRow& row) { row.format = format; });
        for (LONG baud = 0; baud < cNumberOfBaudRates; ++baud)
            add("bit rate " + std::to_string(baud), [baud](ContractRow& row) { row.baud = baud; });
        for (LONG fps = 0; fps < cCustomFPSID; ++fps)
            add("rate " + std::to_string(fps), [fps](ContractRow& row) { row.fps = fps; });
        for (const char* rate : {"12.5", "30000/1001", "50"})
            add(std::string("custom rate ") + rate, [rate](ContractRow& row) {
                row.fps = cCustomFPSID;
                row.customFps = rate;
            });
        for (const char* output : {"out.avi", "out.mp4", "out.mov", "out.mkv", "out.webm", "out.m4v", "out.video"})
            add(output, [output](ContractRow& row) { row.output = output; });
        add("own soundtrack", [](ContractRow& row) { row.soundtrack = "tune.mp3"; });
        add("no sound", [](ContractRow& row) { row.silent = true; });
        add("no sound, .mp4", [](ContractRow& row) {
            row.silent = true;
            row.output = "out.mp4";
        });
        add("fades, head and tail", [](ContractRow& row) {
            row.look.look.fadeIn = 1;
            row.look.look.fadeOut = 0.5;
            row.look.head = row.look.tail = 1.5;
            row.look.before.kind = row.look.after.kind = "wipeleft";
        });
        add("fades, head and tail, no sound, .webm", [](ContractRow& row) {
            row.look.look.fadeOut = 2;
            row.look.tail = 0.2;
            row.look.after.kind = "dissolve";
            row.silent = true;
            row.output = "out.webm";
        });
    }
    return rows;
}

class RenderContract : public render_test::RenderFixture {};

// The picture codec an encoder's options ask for, as the tool names it.
std::string CodecOf(std::string_view options)
{
    if (options.find("x264") != std::string_view::npos)
        return "h264";
    if (options.find("vp9") != std::string_view::npos)
        return "vp9";
    return "mpeg4";
}

TEST_F(RenderContract, EveryCroutonLineIsPlannedAsItAsks)
{
    const std::string still = folder_ / "still0001.png";
    std::FILE* file = std::fopen(still.c_str(), "wb");
    ASSERT_TRUE(file);
    std::fclose(file);
    SetField(BUTTON_MAIN_WIDTH, "400");
    SetField(BUTTON_MAIN_HEIGHT, "300");
    for (const ContractRow& row : Rows()) {
        SCOPED_TRACE(row.what);
        gProject->parameters = row.format;
        gProject->baudrate = row.baud;
        gProject->fps = row.fps;
        SetField(BUTTON_MAIN_CUSTOMFPS, row.customFps);
        const std::string output = folder_ / row.output;
        SetField(BUTTON_MAIN_OUTPUTFILENAME, output);
        auto crouton = row.pictures ? Images(still, 6) : Video(folder_ / "clip.avi", 2, 4);
        if (!row.soundtrack.empty())
            crouton->soundtrack = folder_ / row.soundtrack;

        std::string command;
        {
            cwtest::FakeTools tools;
            RenderCrouton(gProject.get(), crouton.get(), "T:__TempVideo", row.silent ? TRUE : FALSE);
            ASSERT_EQ(tools.Encoder().size(), 1u);
            command = tools.Encoder().front();
        }
        const render_detail::CroutonRun planned =
            render_detail::PlanCroutonEncode(*gProject, crouton.get(), "T:__TempVideo", row.silent, row.look);
        if (!(row.look.look == CroutonLook{}) || row.look.tail > 0)
            command = planned.command;
        SCOPED_TRACE(command);
        ParsedCommand parsed;
        ASSERT_TRUE(ParseCommandLine(command, parsed));
        const auto line = cwtools::ReadMencoderLine(parsed.arguments, parsed.quoted);
        ASSERT_TRUE(line);
        const cwtools::MencoderOperation* operation = cwtools::RecogniseMencoderLine(*line);
        ASSERT_TRUE(operation) << "the line would run the host's mencoder";
        EXPECT_STREQ(operation->name, row.pictures ? "images" : "video");

        // What the line asks, from the program's own tables.
        LONG width = 400;
        LONG height = 300;
        if (row.format != cCustomFormatID)
            std::sscanf(cFormatParameters[static_cast<std::size_t>(row.format)], "scale=%d:%d", &width, &height);
        const OutputKind& kind = OutputKindFor(output);
        const std::string rateText = row.fps == cCustomFPSID ? row.customFps : *line->Value("-ofps");
        const auto rate = cwtools::ParseRate(rateText);
        ASSERT_TRUE(rate);

        cwtools::LineFacts facts;
        for (const std::string& input : operation->inputs(*line))
            facts.hostPaths[input] = "/src/" + input;
        facts.hostPaths[*line->Value("-o")] = "/out/piece";
        const auto foreign = [](const std::string& host, bool video, bool sound) {
            cwtools::FileFacts file;
            file.kind = cwtools::FileFacts::Kind::Foreign;
            file.path = host;
            file.source.readable = true;
            file.source.hasVideo = video;
            file.source.hasAudio = sound;
            file.source.width = 640;
            file.source.height = 480;
            file.source.frameRate = cwtools::Rate{25, 1};
            file.source.duration = file.source.pictureDuration = 60;
            return file;
        };
        for (const auto& [word, host] : facts.hostPaths) {
            if (host == "/out/piece")
                continue;
            const bool sound = word.find(".mp3") != std::string::npos || word.find(".raw") != std::string::npos;
            facts.files[host] = foreign(host, !sound, sound || !row.pictures);
        }
        if (row.pictures) {
            facts.images = {"/src/still0001.png"};
            facts.files["/src/still0001.png"] = foreign("/src/still0001.png", true, false);
        }
        facts.store = "/t/store";
        facts.progress = "/t/progress";
        facts.scratch = "/t/script";
        const auto plan = operation->plan(*line, facts);
        ASSERT_TRUE(plan) << "the tool refuses a line the render wrote";
        ASSERT_FALSE(plan->runs.empty());
        std::optional<cwtools::PieceFacts> piece;
        for (const std::string& word : plan->runs.back().run.argv)
            if (!piece)
                piece = cwtools::ReadPieceTag(word);
        ASSERT_TRUE(piece) << "the piece names its facts";
        EXPECT_EQ(piece->width, width);
        EXPECT_EQ(piece->height, height);
        EXPECT_NEAR(piece->rate.Value(), rate->Value(), 1e-3);
        EXPECT_EQ(piece->codec, CodecOf(row.pictures ? kind.imageEncoder : kind.videoEncoder));
        EXPECT_EQ(piece->sampleRate == 0, row.silent);
        EXPECT_EQ(plan->runs.back().output.empty(), false);
        DeleteFile("T:__TempVideo");

        // The transition beside it is encoded as its piece is, so that a
        // join copies both alike.
        const std::string transition =
            TransitionCommand("T:__CWTransition", "T:__CWJoinTail", "T:__CWHead", "fade", 1, planned.encoder);
        SCOPED_TRACE(transition);
        ASSERT_TRUE(ParseCommandLine(transition, parsed));
        const auto transitionLine = cwtools::ReadMencoderLine(parsed.arguments, parsed.quoted);
        ASSERT_TRUE(transitionLine);
        const cwtools::MencoderOperation* made = cwtools::RecogniseMencoderLine(*transitionLine);
        ASSERT_TRUE(made) << "the line would run the host's mencoder";
        EXPECT_STREQ(made->name, "transition");
        cwtools::FileFacts stretch;
        stretch.kind = cwtools::FileFacts::Kind::Piece;
        stretch.piece = *piece;
        stretch.piece.codec = "utvideo";
        for (const std::string& input : transitionLine->inputs) {
            facts.hostPaths[input] = "/t/" + input;
            facts.files["/t/" + input] = stretch;
        }
        const auto transitionPlan = made->plan(*transitionLine, facts);
        ASSERT_TRUE(transitionPlan) << "the tool refuses a line the render wrote";
        const std::vector<std::string>& argv = transitionPlan->runs.back().run.argv;
        const auto tag = std::find_if(argv.begin(), argv.end(),
                                      [](const std::string& word) { return cwtools::ReadPieceTag(word).has_value(); });
        ASSERT_NE(tag, argv.end());
        EXPECT_TRUE(cwtools::ReadPieceTag(*tag)->SameFormat(*piece));
    }
}

// The lines around the croutons' (the joins, the soundtrack, the finish):
// for each output kind, the operation that takes it and what its plan does.
TEST(RenderContractLines, JoinSoundtrackAndFinishArePlannedAsTheyAsk)
{
    struct Row {
        const char* output;
        const char* codec;     // the pieces' picture
        const char* container; // the finished file's
        const char* sound;     // the finished file's sound encoder
    };
    const Row rows[] = {
        {"RAM:out.avi", "mpeg4", "avi", "libmp3lame"},
        {"RAM:out.mp4", "h264", "mp4", "aac"},
        {"RAM:out.m4v", "h264", "mp4", "aac"},
        {"RAM:out.mov", "h264", "mov", "aac"},
        {"RAM:out.mkv", "h264", "matroska", "aac"},
        {"RAM:out.webm", "vp9", "webm", "libopus"},
        {"RAM:out.video", "mpeg4", "avi", "libmp3lame"},
    };
    for (const Row& row : rows) {
        const std::string output = row.output;
        for (const auto& [operationName, command] : std::vector<std::pair<std::string, std::string>>{
                 {"join", JoinCommand(output, "T:__TempVideo2", "T:__TempVideo")},
                 {"soundtrack", SoundtrackCommand("T:__SilentVideo", "Work:tune.mp3", output)},
                 {"soundtrack", SoundtrackCommand("T:__SilentVideo", "Work:tune.mp3", output)
                                    + " -cliplevel 30 -duck -fit -fadein 1.5 -fadeout 2"},
                 {"finish", FinishCommand(output, "T:__FinishVideo")}}) {
            SCOPED_TRACE(command);
            ParsedCommand parsed;
            ASSERT_TRUE(ParseCommandLine(command, parsed));
            const auto line = cwtools::ReadMencoderLine(parsed.arguments, parsed.quoted);
            ASSERT_TRUE(line);
            const cwtools::MencoderOperation* operation = cwtools::RecogniseMencoderLine(*line);
            ASSERT_TRUE(operation) << "the line would run the host's mencoder";
            EXPECT_EQ(operation->name, operationName);

            cwtools::LineFacts facts;
            facts.hostPaths[*line->Value("-o")] = "/out/video";
            for (const std::string& input : line->inputs) {
                const std::string host = "/src/" + input;
                facts.hostPaths[input] = host;
                cwtools::FileFacts file;
                file.path = host;
                if (input.find(".mp3") != std::string::npos) {
                    file.kind = cwtools::FileFacts::Kind::Foreign;
                    file.source.readable = file.source.hasAudio = true;
                    file.source.audioCodec = "mp3";
                    file.source.duration = 60;
                } else {
                    file.kind = cwtools::FileFacts::Kind::Piece;
                    file.piece = {.width = 640, .height = 480, .rate = {25, 1}, .frames = 100, .sampleRate = 44100,
                        .samples = 176400, .codec = row.codec, .darNum = 0, .darDen = 0};
                }
                facts.files[host] = file;
            }
            if (const auto value = line->Value("-audiofile")) {
                facts.hostPaths[*value] = "/src/tune.mp3";
                cwtools::FileFacts tune;
                tune.kind = cwtools::FileFacts::Kind::Foreign;
                tune.path = "/src/tune.mp3";
                tune.source.readable = tune.source.hasAudio = true;
                tune.source.audioCodec = "mp3";
                tune.source.duration = 60;
                facts.files[tune.path] = tune;
            }
            facts.store = "/t/store";
            facts.progress = "/t/progress";
            facts.scratch = "/t/script";
            const auto plan = operation->plan(*line, facts);
            ASSERT_TRUE(plan) << "the tool refuses a line the render wrote";
            if (operationName == "join") {
                // Pieces of one format are listed, not encoded again.
                EXPECT_TRUE(plan->assembly);
                EXPECT_TRUE(plan->runs.empty());
                continue;
            }
            ASSERT_FALSE(plan->runs.empty());
            const std::vector<std::string>& argv = plan->runs.back().run.argv;
            if (operationName == "finish") {
                EXPECT_EQ(argv[argv.size() - 2], row.container);
                EXPECT_NE(std::find(argv.begin(), argv.end(), row.sound), argv.end());
            } else {
                EXPECT_NE(std::find(argv.begin(), argv.end(), "/src/tune.mp3"), argv.end()) << "the tune is read";
            }
        }
    }
}

// Every still the preview grab asks for is taken by the MPlayer tool's
// screenshot run (never the host's player), at the asked place, fitted as
// the line says.
TEST(StillContract, EveryStillLineIsTakenAsItAsks)
{
    struct Row {
        const char* what;
        std::optional<double> position; // none: a picture list's still
        std::optional<PictureShape> shape;
    };
    const Row rows[] = {
        {"video of the still's shape", 2.5, PictureShape{1280, 720, 0}},
        {"video of unknown shape", 0.0, std::nullopt},
        {"4:3 video", 59.96, PictureShape{640, 480, 0}},
        {"portrait video", 1.0, PictureShape{1080, 1920, 0}},
        {"video stored turned", 3.0, PictureShape{1920, 1080, 90}},
        {"video stored upside down", 3.0, PictureShape{1920, 1080, 180}},
        {"picture list", std::nullopt, std::nullopt},
    };
    const std::string source = "Work:clips/beach.avi";
    for (const Row& row : rows) {
        const std::string filters =
            row.position ? FrameFilters(160, 90, 160.0 / 90.0, row.shape) : std::string("scale=160:90");
        const std::string command = ScreenshotCommand(row.position, filters);
        SCOPED_TRACE(std::string(row.what) + ": " + command);
        ParsedCommand parsed;
        ASSERT_TRUE(ParseCommandLine(command, parsed));
        const auto ask = cwtools::ReadScreenshotAsk(parsed.arguments, {source}, ScreenshotCommands(source));
        ASSERT_TRUE(ask) << "the line would run the host's player";
        EXPECT_EQ(ask->file, source);
        EXPECT_EQ(ask->position, row.position ? Format("%f", *row.position) : std::string("0"));
        EXPECT_FALSE(ask->filters.empty());
        EXPECT_EQ(ask->filters.find("screenshot"), std::string::npos);
        EXPECT_EQ(ask->turns, row.shape && row.shape->rotation != 0);
    }
}

} // namespace

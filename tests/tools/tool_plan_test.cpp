// How the tools turn a command line and what they know of its files into
// host runs, without running anything.
#include "os/command.h"
#include "tools/tool_media.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace cwtools;

namespace {

MencoderLine Line(const std::string& command)
{
    ParsedCommand parsed;
    EXPECT_TRUE(ParseCommandLine(command, parsed)) << command;
    const auto line = ReadMencoderLine(parsed.arguments, parsed.quoted);
    EXPECT_TRUE(line) << command;
    return line.value_or(MencoderLine{});
}

std::string Operation(const std::string& command)
{
    ParsedCommand parsed;
    if (!ParseCommandLine(command, parsed))
        return "unparsed";
    const auto line = ReadMencoderLine(parsed.arguments, parsed.quoted);
    const MencoderOperation* operation = line ? RecogniseMencoderLine(*line) : nullptr;
    return operation ? operation->name : "";
}

const std::string kPieceOptions = "-zoom -oac pcm -srate 44100 -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000 "
                                  "-vf scale=640:480,harddup,framestep=2 ";

std::string VideoLine(const std::string& rate, const std::string& rest)
{
    return "mencoder \"RAM:clip.avi\" -o \"T:__TempVideo\" " + kPieceOptions + "-ofps " + rate + " " + rest;
}

std::string TransitionLine(const std::string& transition)
{
    return "mencoder \"T:__CWJoinTail\" \"T:__CWHead\" -o \"T:__CWTransition\" -transition " + transition
           + " -oac pcm -srate 44100 -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000 "
             "-vf scale=640:480,harddup -ofps 25.000000";
}

struct RecogniseRow {
    const char* what;
    std::string command;
    const char* operation;
};

TEST(ToolPlan, EachRenderLineHasItsOperation)
{
    const RecogniseRow rows[] = {
        {"video crouton", VideoLine("25.000000", "-ss 10 -audio-delay 0 -endpos 20 "), "video"},
        {"video crouton, basic", VideoLine("25.000000", "-nosound -ss 10 -endpos 20 "), "video"},
        {"source named like an option", "mencoder \"-dash.avi\" -o \"T:__TempVideo\" " + kPieceOptions + "-ofps 25 -ss 0 -endpos 2 ", "video"},
        {"image crouton", "mencoder mf://@/T/__CWEncodeList.lst -mf w=320:h=240:type=png:fps=2.000000 -o \"T:__TempVideo\" -zoom "
                          "-oac pcm -srate 44100 -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell -vf scale=160:120,harddup "
                          "-ofps 25.000000 -audio-delay 0000000 -audio-demuxer rawaudio -rawaudio rate=11025:samplesize=1:channels=1 "
                          "-audiofile T:__CWSilence.raw\n", "images"},
        {"preview clip", "mencoder mf://@/T/__CWEncodeList.lst -mf w=640:h=512:type=png:fps=1.000000 -o T:__CWImageVideo.mp4 "
                         "-zoom -nosound -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell -vf scale=160:120,harddup ", "images"},
        {"join", "mencoder -oac pcm -ovc lavc -o \"RAM:GreatVideo.mp4\" \"T:__TempVideo2\" \"T:__TempVideo\"\n", "join"},
        {"soundtrack", "mencoder -oac lavc -ovc copy T:__SilentVideo -audiofile \"Work:tune.mp3\" -o RAM:GreatVideo.mp4", "soundtrack"},
        {"finish", "mencoder -oac lavc -ovc copy -o \"RAM:GreatVideo.mp4\" \"T:__FinishVideo\"\n", "finish"},
        {"stream copy", "mencoder Work:clip.avi -ovc copy -nosound -o T:__Copied.avi\n", ""},
        {"join with more options", "mencoder -oac pcm -ovc lavc -srate 22050 -o x.avi a.avi b.avi\n", ""},
        {"unknown option", VideoLine("25.000000", "-ss 0 -endpos 2 -foo "), ""},
        {"other codec", "mencoder a.avi -o b.avi -ovc lavc -lavcopts vcodec=h264\n", ""},
        {"other filter", "mencoder a.avi -o b.avi -ovc lavc -vf eq2=1.2\n", ""},
        {"H.264 crouton", "mencoder \"RAM:clip.mp4\" -o \"T:__TempVideo\" -zoom -oac pcm -srate 44100 -ovc x264 "
                          "-x264encopts bitrate=915:preset=veryfast:subq=1:profile=high -vf rotate=1,scale=202:360,expand=640:360,harddup "
                          "-ofps 25.000000 -ss 0 -audio-delay 0 -endpos 4 ", "video"},
        {"VP9 crouton", "mencoder \"RAM:clip.mp4\" -o \"T:__TempVideo\" -zoom -oac pcm -srate 44100 -ovc lavc -lavcopts "
                        "vcodec=libvpx-vp9:vbitrate=915000:o=deadline=realtime,cpu-used=8,row-mt=1 -vf scale=640:360,harddup "
                        "-ofps 25.000000 -ss 0 -audio-delay 0 -endpos 4 ", "video"},
        {"H.264 pictures", "mencoder mf://@/T/__CWEncodeList.lst -mf w=320:h=240:type=png:fps=2.000000 -o \"T:__TempVideo\" "
                           "-zoom -oac pcm -srate 44100 -ovc x264 -x264encopts bitrate=915:preset=veryfast:subq=1:profile=high "
                           "-vf scale=480:360,expand=640:360,dsize=16/9,harddup -ofps 25.000000 -nosound", "images"},
        {"finish to MP4", "mencoder -oac faac -faacopts br=192:mpeg=4:object=2 -ovc copy -of lavf -lavfopts format=mp4 "
                          "-o \"RAM:a.mp4\" \"T:__FinishVideo\"\n", "finish"},
        {"finish to WebM", "mencoder -oac lavc -lavcopts acodec=libopus:abitrate=128 -ovc copy -of lavf -lavfopts format=webm "
                           "-o \"RAM:a.webm\" \"T:__FinishVideo\"\n", "finish"},
        {"x264 options with lavc", "mencoder a.avi -o b.avi -ovc lavc -x264encopts bitrate=915\n", ""},
        {"x264 option unknown", "mencoder a.avi -o b.avi -ovc x264 -x264encopts bitrate=915:crf=3\n", ""},
        {"placed expand", "mencoder a.avi -o b.avi -ovc lavc -vf scale=320:240,expand=640:360:0:0\n", ""},
        {"sound delayed", VideoLine("25.000000", "-ss 0 -audio-delay 1 -endpos 2 "), ""},
        {"sound filtered", VideoLine("25.000000", "-ss 0 -af volume=2 -endpos 2 "), ""},
        {"faded crouton with head and tail", VideoLine("25.000000", "-ss 0 -endpos 4 -fadein 1 -fadeout 0.5 -head 1 -tail 2 "),
         "video"},
        {"fade of no time", VideoLine("25.000000", "-ss 0 -endpos 4 -fadein soon "), ""},
        {"transition", TransitionLine("fade:1"), "transition"},
        {"transition whose name would add filters", TransitionLine("fade,split:1"), ""},
        {"transition of no time", TransitionLine("fade:0"), ""},
    };
    for (const RecogniseRow& row : rows)
        EXPECT_EQ(Operation(row.command), row.operation) << row.what;
}

TEST(ToolPlan, QuotedWordIsAnInputEvenWithADash)
{
    const MencoderLine line = Line("mencoder \"-dash.avi\" -o \"T:__TempVideo\" -ovc lavc -nosound");
    ASSERT_EQ(line.inputs.size(), 1u);
    EXPECT_EQ(line.inputs[0], "-dash.avi");
    EXPECT_EQ(FileArgument("-dash.avi"), "./-dash.avi");
    EXPECT_EQ(FileArgument("/home/me/-dash.avi"), "/home/me/-dash.avi");
}

LineFacts FactsFor(const MencoderLine& line, double duration, bool hasAudio)
{
    LineFacts facts;
    for (const std::string& input : line.inputs)
        facts.hostPaths[input] = "/src/" + input;
    facts.hostPaths[*line.Value("-o")] = "/out/piece.avi";
    FileFacts file;
    file.kind = FileFacts::Kind::Foreign;
    file.path = "/src/" + line.inputs[0];
    file.source.readable = file.source.hasVideo = true;
    file.source.hasAudio = hasAudio;
    file.source.duration = file.source.pictureDuration = duration;
    file.source.frameRate = Rate{25, 1};
    facts.files[file.path] = file;
    facts.store = "/t/store";
    facts.progress = "/t/progress";
    facts.scratch = "/t/script";
    return facts;
}

bool HasWord(const std::vector<std::string>& argv, const std::string& word)
{
    return std::find(argv.begin(), argv.end(), word) != argv.end();
}

bool HasText(const std::vector<std::string>& argv, const std::string& text)
{
    return std::any_of(argv.begin(), argv.end(), [&](const std::string& word) { return word.find(text) != std::string::npos; });
}

struct LengthRow {
    const char* rate;
    const char* stretch;
    double sourceSeconds;
    long long frames;
    long long samples;
};

// Each piece's sound lasts exactly as long as its picture's frames at the
// output rate, so no join adds drift.
TEST(ToolPlan, PieceSoundLastsAsLongAsItsPicture)
{
    const LengthRow rows[] = {
        {"25.000000", "-ss 0 -audio-delay 0 -endpos 4 ", 10, 100, 176400},
        {"29.970030", "-ss 0 -audio-delay 0 -endpos 4 ", 10, 120, 176576},
        {"30000/1001", "-ss 0 -audio-delay 0 -endpos 4 ", 10, 120, 176576},
        {"23.976025", "-ss 0 -audio-delay 0 -endpos 4 ", 10, 96, 176576},
        {"12.5", "-ss 3 -audio-delay 0 -endpos 4 ", 10, 50, 176400},
        // The source ends clearly before the stretch: the piece ends with it.
        {"25.000000", "-ss 0 -audio-delay 0 -endpos 4 ", 2.5, 63, 111132},
        // A last frame its timestamps leave out is held instead.
        {"25.000000", "-ss 0 -audio-delay 0 -endpos 6 ", 5.92, 150, 264600},
    };
    for (const LengthRow& row : rows) {
        const MencoderLine line = Line(VideoLine(row.rate, row.stretch));
        const auto plan = RecogniseMencoderLine(line)->plan(line, FactsFor(line, row.sourceSeconds, true));
        ASSERT_TRUE(plan) << row.rate;
        ASSERT_EQ(plan->runs.size(), 1u);
        const std::vector<std::string>& argv = plan->runs[0].run.argv;
        EXPECT_EQ(plan->runs[0].expectedFrames, row.frames) << row.rate;
        EXPECT_TRUE(HasText(argv, "trim=end_frame=" + std::to_string(row.frames))) << row.rate;
        EXPECT_TRUE(HasText(argv, "atrim=end_sample=" + std::to_string(row.samples) + "")) << row.rate;
        EXPECT_TRUE(HasText(argv, " n=" + std::to_string(row.frames) + " ")) << "the piece names its length";
        EXPECT_EQ(plan->runs[0].run.progressFile, "/t/progress");
    }
}

struct PictureRow {
    const char* what;
    std::string encoding; // the line's picture options
    std::vector<std::string> texts; // each in some word of the run
    const char* container;
};

// The picture the line asks for is the picture the piece holds: its codec,
// its turn, its fitting into the frame and the shape it declares.
TEST(ToolPlan, PiecePictureIsWhatTheLineSays)
{
    const PictureRow rows[] = {
        {"MPEG-4 held to its rate", "-ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000 -vf scale=640:480,harddup,framestep=2",
            {"-bt", "91500", "setsar=1"}, "avi"},
        {"declared 4:3 on a 620 wide frame", "-ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell:vbitrate=915000:aspect=4/3 -vf scale=620:566,harddup,framestep=2",
            {"scale=620:566,framestep=2,setdar=4/3", " dar=4/3 "}, "avi"},
        {"H.264 in kbit/s", "-ovc x264 -x264encopts bitrate=915:preset=veryfast:subq=1:profile=high -vf scale=640:360,harddup",
            {"libx264", "915000", "veryfast", "yuv420p", " c=h264 "}, "matroska"},
        {"portrait fitted and turned", "-ovc x264 -x264encopts bitrate=915 -vf rotate=1,scale=202:360,expand=640:360,harddup",
            {"-noautorotate", "transpose=1,scale=202:360,pad=640:360:(ow-iw)/2:(oh-ih)/2:black,setsar=1", " w=640 h=360 "}, "matroska"},
        {"upside down", "-ovc x264 -x264encopts bitrate=915 -vf flip,mirror,scale=640:360,harddup",
            {"-noautorotate", "vflip,hflip,scale=640:360"}, "matroska"},
        {"H.264 declared 16:9", "-ovc x264 -x264encopts bitrate=915 -vf scale=576:264,dsize=16/9,harddup",
            {"setdar=16/9"}, "matroska"},
        {"VP9 fast", "-ovc lavc -lavcopts vcodec=libvpx-vp9:vbitrate=915000:o=deadline=realtime,cpu-used=8,row-mt=1 -vf scale=640:360,harddup",
            {"libvpx-vp9", "realtime", "-row-mt", " c=vp9 "}, "matroska"},
    };
    for (const PictureRow& row : rows) {
        const MencoderLine line = Line("mencoder \"RAM:clip.avi\" -o \"T:__TempVideo\" -zoom -oac pcm -srate 44100 " + row.encoding
                                       + " -ofps 25.000000 -ss 0 -audio-delay 0 -endpos 4 ");
        const MencoderOperation* operation = RecogniseMencoderLine(line);
        ASSERT_TRUE(operation) << row.what;
        const auto plan = operation->plan(line, FactsFor(line, 10, true));
        ASSERT_TRUE(plan) << row.what;
        const std::vector<std::string>& argv = plan->runs[0].run.argv;
        for (const std::string& text : row.texts)
            EXPECT_TRUE(HasText(argv, text)) << row.what << ": " << text;
        EXPECT_EQ(argv[argv.size() - 2], row.container) << row.what;
        EXPECT_EQ(HasWord(argv, "-noautorotate"), row.encoding.find("rotate=") != std::string::npos
                                                     || row.encoding.find("flip") != std::string::npos) << row.what;
    }
}

TEST(ToolPlan, ClipWithoutSoundGetsSilenceOfItsLength)
{
    const MencoderLine line = Line(VideoLine("25.000000", "-ss 0 -audio-delay 0 -endpos 2 "));
    const auto plan = RecogniseMencoderLine(line)->plan(line, FactsFor(line, 10, false));
    ASSERT_TRUE(plan);
    EXPECT_TRUE(HasText(plan->runs[0].run.argv, "anullsrc"));
    EXPECT_TRUE(HasText(plan->runs[0].run.argv, "atrim=end_sample=88200"));
}

TEST(ToolPlan, ImageCroutonCoversItsLastPicture)
{
    const MencoderLine line = Line("mencoder mf://@/T/__CWEncodeList.lst -mf w=320:h=240:type=png:fps=2.000000 -o \"T:__TempVideo\" -zoom "
                                   "-oac pcm -srate 44100 -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell -vf scale=160:120,harddup "
                                   "-ofps 25.000000 -audio-delay 0000000 -audio-demuxer rawaudio -rawaudio rate=11025:samplesize=1:channels=1 "
                                   "-audiofile T:__CWSilence.raw\n");
    LineFacts facts;
    facts.images = {"/p/1.png", "/p/2.png", "/p/3.png"};
    facts.scratch = "/t/script";
    const auto plan = RecogniseMencoderLine(line)->plan(line, facts);
    ASSERT_TRUE(plan);
    // Three pictures of half a second each: 1.5 s, 37.5 frames, the last
    // picture held to the 38th.
    EXPECT_EQ(plan->runs[0].expectedFrames, 38);
    EXPECT_TRUE(HasText(plan->runs[0].run.argv, "atrim=end_sample=67032"));
    ASSERT_EQ(plan->scripts.size(), 1u);
    EXPECT_NE(plan->scripts[0].second.find("file '/p/3.png'"), std::string::npos);
}

FileFacts Piece(const std::string& path, int width, long long frames)
{
    FileFacts file;
    file.kind = FileFacts::Kind::Piece;
    file.path = path;
    file.piece = PieceFacts{width, 480, Rate{25, 1}, frames, 44100, SamplesFor(frames, Rate{25, 1}, 44100)};
    return file;
}

LineFacts JoinFacts(const FileFacts& a, const FileFacts& b)
{
    LineFacts facts;
    facts.hostPaths = {{"T:__TempVideo2", a.path}, {"T:__TempVideo", b.path}, {"RAM:out.mp4", "/ram/out.mp4"}};
    facts.files = {{a.path, a}, {b.path, b}};
    facts.store = "/t/store";
    facts.nextPiece = 7;
    return facts;
}

const char* const kJoin = "mencoder -oac pcm -ovc lavc -o \"RAM:out.mp4\" \"T:__TempVideo2\" \"T:__TempVideo\"\n";

TEST(ToolPlan, JoinOfMatchingPiecesListsThemWithoutRunning)
{
    const MencoderLine line = Line(kJoin);
    const auto plan = RecogniseMencoderLine(line)->plan(line, JoinFacts(Piece("/t/a", 640, 100), Piece("/t/b", 640, 50)));
    ASSERT_TRUE(plan);
    EXPECT_TRUE(plan->runs.empty());
    ASSERT_EQ(plan->links.size(), 2u);
    EXPECT_EQ(plan->links[1].to, "/t/store/p8.avi");
    EXPECT_TRUE(plan->clearStore);
    ASSERT_TRUE(plan->assembly);
    EXPECT_EQ(plan->assembly->first, "/ram/out.mp4");
    const auto pieces = ReadAssembly(plan->assembly->second);
    ASSERT_TRUE(pieces);
    ASSERT_EQ(pieces->size(), 2u);
    EXPECT_EQ((*pieces)[1].facts.frames, 50);
    EXPECT_GE(plan->assembly->second.size(), 5000u) << "a usable video's size";
}

TEST(ToolPlan, JoinToAnAssemblyAddsOnlyTheNewPiece)
{
    FileFacts assembly;
    assembly.kind = FileFacts::Kind::Assembly;
    assembly.path = "/t/a";
    for (int i = 0; i < 5; ++i)
        assembly.pieces.push_back({"/t/store/p" + std::to_string(i) + ".avi", Piece("", 640, 100).piece});
    const MencoderLine line = Line(kJoin);
    const auto plan = RecogniseMencoderLine(line)->plan(line, JoinFacts(assembly, Piece("/t/b", 640, 50)));
    ASSERT_TRUE(plan);
    EXPECT_TRUE(plan->runs.empty());
    EXPECT_EQ(plan->links.size(), 1u);
    EXPECT_FALSE(plan->clearStore);
    EXPECT_EQ(ReadAssembly(plan->assembly->second)->size(), 6u);
}

TEST(ToolPlan, JoinOfAnUnlikePieceEncodesOnlyThatPiece)
{
    const MencoderLine line = Line(kJoin);
    const auto plan = RecogniseMencoderLine(line)->plan(line, JoinFacts(Piece("/t/a", 640, 100), Piece("/t/b", 320, 50)));
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->runs.size(), 1u);
    EXPECT_TRUE(HasWord(plan->runs[0].run.argv, "/t/b"));
    EXPECT_TRUE(HasText(plan->runs[0].run.argv, "scale=640:480"));
    EXPECT_EQ(plan->links.size(), 1u);
}

struct ContainerRow {
    const char* output;
    const char* container;
    const char* soundCodec;
};

TEST(ToolPlan, FinishWritesTheContainerItsNameSays)
{
    const ContainerRow rows[] = {
        {"RAM:GreatVideo.mp4", "mp4", "aac"},
        {"RAM:a.M4V", "mp4", "aac"},
        {"RAM:a.mov", "mov", "aac"},
        {"RAM:a.M4V", "mp4", "aac"},
        {"RAM:a.webm", "webm", "libopus"},
        {"RAM:a.mkv", "matroska", "aac"},
        {"RAM:a.avi", "avi", "libmp3lame"},
        {"RAM:a.mpg", "avi", "libmp3lame"},
        {"RAM:noname", "avi", "libmp3lame"},
        {"RAM:dir.mp4/film", "avi", "libmp3lame"},
    };
    for (const ContainerRow& row : rows) {
        const MencoderLine line = Line(std::string("mencoder -oac lavc -ovc copy -o \"") + row.output + "\" \"T:__FinishVideo\"\n");
        LineFacts facts;
        facts.hostPaths = {{"T:__FinishVideo", "/t/finish"}, {row.output, "/ram/out"}};
        facts.files = {{"/t/finish", Piece("/t/finish", 640, 100)}};
        const auto plan = RecogniseMencoderLine(line)->plan(line, facts);
        ASSERT_TRUE(plan) << row.output;
        const std::vector<std::string>& argv = plan->runs[0].run.argv;
        EXPECT_EQ(argv[argv.size() - 2], row.container) << row.output;
        EXPECT_TRUE(HasWord(argv, row.soundCodec)) << row.output;
        EXPECT_TRUE(HasWord(argv, "copy")) << "the picture is copied";
    }
}

TEST(ToolPlan, RatesAsFractions)
{
    EXPECT_EQ(ParseRate("29.970030"), (Rate{30000, 1001}));
    EXPECT_EQ(ParseRate("23.976025"), (Rate{24000, 1001}));
    EXPECT_EQ(ParseRate("30000/1001"), (Rate{30000, 1001}));
    EXPECT_EQ(ParseRate("12.5"), (Rate{25, 2}));
    EXPECT_EQ(ParseRate("25.000000"), (Rate{25, 1}));
    EXPECT_FALSE(ParseRate("0"));
    EXPECT_FALSE(ParseRate("fast"));
}

TEST(ToolPlan, ScreenshotAskedOfTheMPlayerTool)
{
    const std::vector<std::string> arguments = {"-nosound", "-ss", "20.000000", "-zoom", "-vf", "scale=160:90,screenshot",
        "-slave", "-idle", "-input", "file=/T/__MPlayerCommand", "-vo", "null"};
    const auto ask = ReadScreenshotAsk(arguments, {"Work:clip.avi"}, "loadfile \"Work:clip.avi\"\npause\nscreenshot\nplay\nquit\n");
    ASSERT_TRUE(ask);
    EXPECT_EQ(ask->position, "20.000000");
    EXPECT_EQ(ask->filters, "scale=160:90");
    const HostRun run = ScreenshotRun(*ask, "/w/clip.avi", "/t/shot0001.png");
    // The position goes before the input: ffmpeg then decodes up to it.
    const auto ss = std::find(run.argv.begin(), run.argv.end(), "-ss");
    const auto input = std::find(run.argv.begin(), run.argv.end(), "-i");
    EXPECT_LT(ss, input);
    EXPECT_FALSE(ReadScreenshotAsk(arguments, {"Work:clip.avi"}, "loadfile \"Work:clip.avi\"\nget_time_length\nquit\n"));
    // A still fitted into its frame, and turned upright by the line itself.
    const auto fitted = ReadScreenshotAsk({"-vf", "rotate=2,scale=50:90,expand=160:90,screenshot"}, {"Work:clip.avi"},
        "loadfile \"Work:clip.avi\"\nscreenshot\nquit\n");
    ASSERT_TRUE(fitted);
    EXPECT_EQ(fitted->filters, "transpose=2,scale=50:90,pad=160:90:(ow-iw)/2:(oh-ih)/2:black");
    const HostRun turned = ScreenshotRun(*fitted, "/w/clip.avi", "/t/shot0001.png");
    EXPECT_LT(std::find(turned.argv.begin(), turned.argv.end(), "-noautorotate"),
        std::find(turned.argv.begin(), turned.argv.end(), "-i"));
}

TEST(ToolPlan, ProbeAnswersAreWhatTheFileHolds)
{
    SourceFacts facts;
    facts.readable = true;
    facts.duration = 6.01;
    facts.videoBitrate = 250000;
    const std::string corrected = CorrectAnswers(
        "ANS_LENGTH=18.00\nANS_width=160\nANS_video_bitrate=31250\nANS_audio_bitrate=24000\n", facts);
    EXPECT_EQ(corrected, "ANS_LENGTH=6.01\nANS_width=160\nANS_video_bitrate=250000\nANS_audio_bitrate=192000\n");
}

struct CutRow {
    const char* what;
    const char* stretch;
    double pictureStart;
    const char* container;
    const char* fieldOrder;
    long long frames;
    std::vector<std::string> texts; // each in some word of the run
};

// A piece starts at the frame shown at its start on the source's own clock,
// lasts its stretch to the frame, and weaves an interlaced picture apart.
TEST(ToolPlan, CutStartsAtTheFrameShown)
{
    const CutRow rows[] = {
        {"fractional stretch", "-ss 3.48 -audio-delay 0 -endpos 4.2 ", 0, "avi", "progressive", 105, {"3.48"}},
        {"start between frames", "-ss 3.47 -audio-delay 0 -endpos 4.2 ", 0, "avi", "", 105, {"3.439000"}},
        {"time stamps from half a second", "-ss 2 -audio-delay 0 -endpos 1 ", 0.54, "mpeg", "", 25,
            {"trim=start_frame=50,setpts=PTS-STARTPTS,", "atrim=start=2.540000,asetpts"}},
        {"transport stream", "-ss 12 -audio-delay 0 -endpos 1 ", 1.4, "mpegts", "", 25, {"3.400000", "trim=start=9.999000,", "atrim=start=10.000000"}},
        {"late start from zero", "-ss 0 -audio-delay 0 -endpos 1 ", 1.4, "mov,mp4,m4a,3gp,3g2,mj2", "", 25, {"1.399000"}},
        // Else the rate filter puts the first picture at frame 1 and the
        // constant rate repeats it before: one frame too many.
        {"picture over half a frame late", "-ss 0 -audio-delay 0 -endpos 1 ", 0.023, "matroska,webm", "", 25, {"0.022000"}},
        {"top field first", "-ss 0 -audio-delay 0 -endpos 1 ", 0, "avi", "tt", 25, {"bwdif=mode=send_frame:parity=tff:deint=all,scale"}},
        {"bottom field shown first", "-ss 0 -audio-delay 0 -endpos 1 ", 0, "dv", "tb", 25, {"parity=bff"}},
    };
    for (const CutRow& row : rows) {
        const MencoderLine line = Line(VideoLine("25.000000", row.stretch));
        LineFacts facts = FactsFor(line, 20, true);
        SourceFacts& source = facts.files.begin()->second.source;
        source.pictureStart = row.pictureStart;
        source.container = row.container;
        source.fieldOrder = row.fieldOrder;
        const auto plan = RecogniseMencoderLine(line)->plan(line, facts);
        ASSERT_TRUE(plan) << row.what;
        EXPECT_EQ(plan->runs[0].expectedFrames, row.frames) << row.what;
        for (const std::string& text : row.texts)
            EXPECT_TRUE(HasText(plan->runs[0].run.argv, text)) << row.what << ": " << text;
        EXPECT_EQ(HasText(plan->runs[0].run.argv, "bwdif"), std::string(row.fieldOrder).size() == 2) << row.what;
    }
}

} // namespace

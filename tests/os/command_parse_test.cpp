// The command runner's reading of AmigaDOS command lines, its quoting
// helpers, and what it refuses to run.
#include "os/command.h"
#include "tools/tools.h"

#include "os/dos_test_support.h"

#include <gtest/gtest.h>

using namespace dostest;

namespace {

ParsedCommand Parse(std::string_view line)
{
    ParsedCommand parsed;
    EXPECT_TRUE(ParseCommandLine(line, parsed)) << line;
    return parsed;
}

bool Refused(std::string_view line)
{
    ParsedCommand parsed;
    return !ParseCommandLine(line, parsed);
}

using Words = std::vector<std::string>;

TEST(CommandParse, WordsSplitAtBlanksAndTrailingLineFeed)
{
    const ParsedCommand parsed = Parse("mencoder -oac pcm  -ovc\tlavc T:__SilentVideo\n");
    EXPECT_EQ(parsed.name, "mencoder");
    EXPECT_EQ(parsed.arguments, (Words{"-oac", "pcm", "-ovc", "lavc", "T:__SilentVideo"}));
    EXPECT_FALSE(parsed.detached);
    EXPECT_EQ(parsed.input, "");
    EXPECT_EQ(parsed.output, "");
}

TEST(CommandParse, QuotedWordsWithAmigaEscapes)
{
    const ParsedCommand parsed = Parse(R"(C:copy "a b" "say *"hi*"" "star ** x" "two*Nlines" "" tail)");
    EXPECT_EQ(parsed.arguments, (Words{"a b", "say \"hi\"", "star * x", "two\nlines", "", "tail"}));
    // Outside quotes a star is an ordinary character.
    EXPECT_EQ(Parse("C:copy a*b c").arguments, (Words{"a*b", "c"}));
    // A quote ends its word; what follows is the next word.
    EXPECT_EQ(Parse(R"(C:copy "a"b)").arguments, (Words{"a", "b"}));
}

TEST(CommandParse, RedirectionsWithAndWithoutBlank)
{
    ParsedCommand parsed = Parse("MPlayer -slave -idle -input file=/T/__MPlayerCommand -vo null -vf screenshot >T:__Mplayer.out\n");
    EXPECT_EQ(parsed.output, "T:__Mplayer.out");
    EXPECT_FALSE(parsed.append);
    EXPECT_EQ(parsed.arguments.back(), "screenshot");

    parsed = Parse("C:Copy <NIL: >NIL: RAM:a RAM:b\n");
    EXPECT_EQ(parsed.name, "C:Copy");
    EXPECT_EQ(parsed.input, "NIL:");
    EXPECT_EQ(parsed.output, "NIL:");
    EXPECT_EQ(parsed.arguments, (Words{"RAM:a", "RAM:b"}));

    parsed = Parse("MPlayer x > T:out < T:in");
    EXPECT_EQ(parsed.output, "T:out");
    EXPECT_EQ(parsed.input, "T:in");
    EXPECT_EQ(parsed.arguments, (Words{"x"}));

    parsed = Parse("MPlayer x >>T:log");
    EXPECT_EQ(parsed.output, "T:log");
    EXPECT_TRUE(parsed.append);

    parsed = Parse(R"(MPlayer x >"RAM:my *"log*"")");
    EXPECT_EQ(parsed.output, "RAM:my \"log\"");
    // A quoted word that starts with > is an argument, not a redirection.
    EXPECT_EQ(Parse(R"(MPlayer ">x")").arguments, (Words{">x"}));
}

TEST(CommandParse, RunPrefixDetaches)
{
    const ParsedCommand parsed = Parse("RUN <NIL: >NIL: MPlayer -gui -playlist Work:Clips/a.avi\n");
    EXPECT_TRUE(parsed.detached);
    EXPECT_EQ(parsed.name, "MPlayer");
    EXPECT_EQ(parsed.arguments, (Words{"-gui", "-playlist", "Work:Clips/a.avi"}));
    EXPECT_EQ(parsed.input, "NIL:");
    EXPECT_EQ(parsed.output, "NIL:");
    EXPECT_TRUE(Parse("run mplayer x").detached);
}

TEST(CommandParse, CommentsEndTheLine)
{
    EXPECT_EQ(Parse("C:copy a b ; c d").arguments, (Words{"a", "b"}));
    EXPECT_EQ(Parse("C:copy \"a;b\" c").arguments, (Words{"a;b", "c"}));
}

TEST(CommandParse, MalformedLinesAreRefused)
{
    EXPECT_TRUE(Refused(""));
    EXPECT_TRUE(Refused("   \n"));
    EXPECT_TRUE(Refused("RUN"));
    EXPECT_TRUE(Refused("C:copy \"unclosed b"));
    EXPECT_TRUE(Refused("C:copy a b >"));
    EXPECT_TRUE(Refused("C:copy a b >T:x >T:y"));
    EXPECT_TRUE(Refused("C:copy a b\nC:copy c d\n"));
    EXPECT_TRUE(Refused("MPlayer >\"T:unclosed"));
}

TEST(CommandParse, ProgramCommandLinesParseAsBuilt)
{
    ParsedCommand parsed = Parse("mencoder -oac pcm -ovc lavc -o \"RAM:Great Video.mp4\" \"T:__TempVideo2\" \"T:__TempVideo\"\n");
    EXPECT_EQ(parsed.arguments, (Words{"-oac", "pcm", "-ovc", "lavc", "-o", "RAM:Great Video.mp4", "T:__TempVideo2", "T:__TempVideo"}));

    parsed = Parse("mencoder mf://@/T/__CWEncodeList.lst -mf w=640:h=512:type=png:fps=1.000000 -o T:__CWImageVideo.mp4 -zoom -nosound -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell -vf scale=160:120,harddup ");
    EXPECT_EQ(parsed.arguments.front(), "mf://@/T/__CWEncodeList.lst");
    EXPECT_EQ(parsed.arguments.back(), "scale=160:120,harddup");
    EXPECT_EQ(parsed.arguments.size(), 13u);
}

TEST(CommandQuoting, EscapeInQuotes)
{
    EXPECT_EQ(EscapeInQuotes("plain name.avi"), "plain name.avi");
    EXPECT_EQ(EscapeInQuotes("a\"b*c\nd"), "a*\"b**c*Nd");
}

TEST(CommandQuoting, QuoteIfNeededLeavesOrdinaryNamesAlone)
{
    for (const char* name : {"RAM:GreatVideo.mp4", "T:__MplayerPreview1.png", "Work:Clips/holiday_preview2.png",
             "shot0001.png", "frames/img#?.png", "/tmp/x-y_z.avi"})
        EXPECT_EQ(QuoteIfNeeded(name), name);
    EXPECT_EQ(QuoteIfNeeded("My Clip.avi"), "\"My Clip.avi\"");
    EXPECT_EQ(QuoteIfNeeded("a\"b"), "\"a*\"b\"");
    EXPECT_EQ(QuoteIfNeeded(""), "\"\"");
}

TEST(CommandQuoting, EscapeForSlave)
{
    EXPECT_EQ(EscapeForSlave("Work:Clips/a.avi"), "Work:Clips/a.avi");
    EXPECT_EQ(EscapeForSlave("a\"b\\c"), "a\\\"b\\\\c");
}

// Whatever the name, quoting brings it back as exactly one argument.
TEST(CommandQuoting, HostileNamesComeBackWhole)
{
    const std::vector<std::string> names = {"clip\" -o \"victim.avi", "a b", "semi;colon", "$(touch pwned)",
        "`id`", "star*name", "*\"", "**", "<in", ">out", ">>x", "RUN", "line\nfeed", "100%", "tab\there", "'q'",
        "ends with *"};
    for (const std::string& name : names) {
        ParsedCommand parsed = Parse("C:copy " + QuoteIfNeeded(name) + " T:x\n");
        EXPECT_EQ(parsed.arguments, (Words{name, "T:x"})) << name;
        EXPECT_EQ(parsed.output, "");
        parsed = Parse("mencoder \"" + EscapeInQuotes(name) + "\" -o \"T:out\"");
        EXPECT_EQ(parsed.arguments, (Words{name, "-o", "T:out"})) << name;
    }
}

class CommandLineRun : public DosTest {};

TEST_F(CommandLineRun, UnknownCommandsRunNothing)
{
    const std::string marker = scratch_ / "pwned";
    for (const std::string& line : {"touch " + marker, "/usr/bin/touch " + marker, "sh -c \"touch " + marker + "\"",
             "C:Delete " + marker, "RUN touch " + marker, std::string("Copy a b"), std::string("ffmpeg -version")}) {
        SetIoErr(0);
        EXPECT_EQ(SystemTagList(line), -1) << line;
        EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND) << line;
    }
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_EQ(SystemTagList("C:copy \"open"), -1);
}

// The runner knows only the tools it is handed: each row a line and what a
// table holding one stand-in ("Stand-In", also "SYS:StandIn") makes of it.
TEST_F(CommandLineRun, TheToolComesFromTheTableHandedIn)
{
    static std::vector<std::string> seen;
    static constexpr CommandTool kStandIn[] = {
        {.name = "Stand-In", .commands = {"stand-in", "sys:standin"}, .run = [](ToolCall& call) -> LONG {
             seen = call.arguments;
             return 7;
         }}};
    struct Row {
        const char* line;
        LONG code;
        std::vector<std::string> arguments;
    };
    const Row rows[] = {
        {"stand-in a \"b c\"", 7, {"a", "b c"}},
        {"STAND-IN x", 7, {"x"}},
        {"SYS:StandIn", 7, {}},
        {"mplayer -identify x", -1, {}},
        {"C:Copy a b", -1, {}},
        {"stand", -1, {}},
    };
    SetCommandTools(kStandIn);
    for (const Row& row : rows) {
        seen = {"(not run)"};
        EXPECT_EQ(SystemTagList(row.line), row.code) << row.line;
        EXPECT_EQ(seen, row.code == -1 ? std::vector<std::string>{"(not run)"} : row.arguments) << row.line;
    }
    SetCommandTools(cwtools::kCommandTools);
}

TEST_F(CommandLineRun, CopyTakesHostileNamesAsOneArgumentEach)
{
    CwdGuard cwd(scratch_.Path());
    const std::string source = "my clip\" -o \"victim;$(touch pwned)*`id`.avi";
    WriteHostFile(scratch_ / source, "picture data");
    const std::string target = "copy of \"it\" $HOME;*.avi";
    const std::string line = "C:copy " + QuoteIfNeeded(source) + " " + QuoteIfNeeded(target) + "\n";
    EXPECT_EQ(SystemTagList(line, {}), 0);
    EXPECT_EQ(ReadHostFile(scratch_ / target), "picture data");
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "pwned"));
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "victim"));

    // The other spelling, with the shell's null redirections.
    EXPECT_EQ(SystemTagList("C:Copy <NIL: >NIL: " + QuoteIfNeeded(source) + " RAM:copied\n"), 0);
    EXPECT_EQ(ReadHostFile(*HostPath("RAM:copied")), "picture data");
}

TEST_F(CommandLineRun, CopyIntoFolderAndFailures)
{
    WriteHostFile(scratch_ / "still.png", "png bytes");
    std::filesystem::create_directory(scratch_ / "folder");
    EXPECT_EQ(SystemTagList("C:copy " + (scratch_ / "still.png") + " " + (scratch_ / "folder")), 0);
    EXPECT_EQ(ReadHostFile(scratch_ / "folder/still.png"), "png bytes");

    EXPECT_NE(SystemTagList("C:copy " + (scratch_ / "missing.png") + " " + (scratch_ / "out.png")), 0);
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "out.png"));
    EXPECT_NE(SystemTagList("C:copy " + (scratch_ / "still.png")), 0);
    EXPECT_NE(SystemTagList("C:copy a b c"), 0);
}

TEST_F(CommandLineRun, RedirectionsOpenTheirFiles)
{
    WriteHostFile(scratch_ / "a", "x");
    // An output redirection is created (emptied) even when the command
    // prints nothing, as the shell does.
    WriteHostFile(*HostPath("T:log"), "old text");
    EXPECT_EQ(SystemTagList("C:copy " + (scratch_ / "a") + " " + (scratch_ / "b") + " >T:log"), 0);
    EXPECT_EQ(ReadHostFile(*HostPath("T:log")), "");
    WriteHostFile(*HostPath("T:log"), "kept");
    EXPECT_EQ(SystemTagList("C:copy " + (scratch_ / "a") + " " + (scratch_ / "b") + " >>T:log"), 0);
    EXPECT_EQ(ReadHostFile(*HostPath("T:log")), "kept");

    SetIoErr(0);
    EXPECT_EQ(SystemTagList("C:copy a b >Nowhere:log"), -1);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);
    EXPECT_EQ(SystemTagList("C:copy a b <" + (scratch_ / "no-such-input")), -1);
}

TEST(CommandParse, QuotedWordsAreMarked)
{
    const ParsedCommand parsed = Parse("mencoder \"-dash.avi\" -o \"out.avi\" -nosound\n");
    EXPECT_EQ(parsed.arguments, (Words{"-dash.avi", "-o", "out.avi", "-nosound"}));
    EXPECT_EQ(parsed.quoted, (std::vector<bool>{true, false, true, false}));
}

} // namespace

TEST_F(CommandLineRun, TheDesktopsHandlerGetsTheFileAsOneArgument)
{
    // A stand-in for xdg-open on the PATH that writes down what it was given.
    const std::string bin = scratch_ / "bin";
    std::filesystem::create_directory(bin);
    const std::string seen = scratch_ / "seen";
    WriteHostFile(bin + "/xdg-open", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + seen + "'\n");
    std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    EnvGuard pathGuard("PATH", bin + ":" + (path ? path : "/usr/bin:/bin"));

    struct Case {
        const char* what;
        std::string file;
        std::string given;
    };
    const std::string manual = scratch_ / "my manual; $(touch pwned) \"it\".html";
    const Case cases[] = {
        {"a host path with a shell's specials", manual, manual},
        {"an AmigaDOS path", "RAM:notes.html", *HostPath("RAM:notes.html")},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(seen);
        EXPECT_EQ(SystemTagList("xdg-open \"" + EscapeInQuotes(c.file) + "\""), 0) << c.what;
        EXPECT_EQ(ReadHostFile(seen), c.given + "\n") << c.what;
    }
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "pwned"));
    EXPECT_NE(SystemTagList("xdg-open"), 0);
    EXPECT_NE(SystemTagList("xdg-open a b"), 0);
}

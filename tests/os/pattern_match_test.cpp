// AmigaDOS patterns: ParsePatternNoCase and MatchPatternNoCase.
#include "os/dos.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

struct MatchCase {
    const char* pattern;
    const char* name;
    bool matches;
};

std::ostream& operator<<(std::ostream& out, const MatchCase& c)
{
    return out << '"' << c.pattern << "\" vs \"" << c.name << '"';
}

bool Matches(std::string_view pattern, std::string_view name)
{
    std::string tokenised;
    const LONG result = ParsePatternNoCase(pattern, tokenised);
    EXPECT_NE(result, -1) << pattern;
    return MatchPatternNoCase(tokenised, name) == TRUE;
}

class PatternMatching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(PatternMatching, Matches)
{
    const MatchCase& c = GetParam();
    EXPECT_EQ(Matches(c.pattern, c.name), c.matches);
}

const MatchCase kMatchCases[] = {
    // Plain characters, without regard to case.
    {"frame1.png", "frame1.png", true},
    {"frame1.png", "FRAME1.PNG", true},
    {"frame1.png", "frame1.pn", false},
    {"frame1.png", "frame1.pngx", false},
    {"", "", true},
    {"", "a", false},
    // ? and #
    {"frame?.png", "frame3.png", true},
    {"frame?.png", "frame.png", false},
    {"frame?.png", "frame10.png", false},
    {"frame#?.png", "FRAME3.PNG", true},
    {"frame#?.png", "frame.png", true},
    {"frame#?.png", "frame0001.png", true},
    {"frame#?.png", "notes.txt", false},
    {"frame#?.png", "frame1.png.bak", false},
    {"#?1.png", "shot1.png", true},
    {"#?1.png", "take1.png", true},
    {"#?1.png", "take2.png", false},
    {"#?", "", true},
    {"#?", "anything at all", true},
    {"a#bc", "ac", true},
    {"a#bc", "abbbbc", true},
    {"a#bc", "abxc", false},
    {"#[0-9].png", "0123.png", true},
    {"#[0-9].png", "01a3.png", false},
    {"#(ab)x", "ababx", true},
    {"#(ab)x", "abax", false},
    {"##ax", "aaax", true},
    // Alternatives.
    {"(#?.avi|#?.mpeg|#?.mpg|#?.mp4|#?.png|#?#0)", "holiday.AVI", true},
    {"(#?.avi|#?.mpeg|#?.mpg|#?.mp4|#?.png|#?#0)", "readme.txt", true},
    {"(#?.avi|#?.mpeg|#?.mpg|#?.mp4|#?.png|#?#0)", "", true},
    {"(a|b)c", "ac", true},
    {"(a|b)c", "bc", true},
    {"(a|b)c", "cc", false},
    {"(a|)c", "c", true},
    {"(frame|shot)#?.(png|jpg)", "Shot12.JPG", true},
    {"(frame|shot)#?.(png|jpg)", "take12.jpg", false},
    {"((a|b)|(c|d))x", "dx", true},
    {"a|b", "a|b", true},
    {"a|b", "a", false},
    // Negation.
    {"~(#?.bak)", "clip.avi", true},
    {"~(#?.bak)", "clip.bak", false},
    {"~(#?.bak)", "CLIP.BAK", false},
    {"~(#?.bak)", "clip.bak2", true},
    {"~(#?.bak)", "", true},
    {"~a", "a", false},
    {"~a", "b", true},
    {"~a", "aa", true},
    {"~a", "", true},
    {"~(a|b)x", "cx", true},
    {"~(a|b)x", "ax", false},
    {"~(a|b)x", "x", true},
    {"~%", "", false},
    {"~%", "x", true},
    // Classes.
    {"[a-c]x", "bx", true},
    {"[a-c]x", "Bx", true},
    {"[A-C]x", "bx", true},
    {"[a-c]x", "dx", false},
    {"[~a-c]x", "dx", true},
    {"[~a-c]x", "ax", false},
    {"[~a-c]x", "Cx", false},
    {"[~a-c]x", "x", false},
    {"[abc]", "c", true},
    {"[abc]", "d", false},
    {"[a-]", "-", true},
    {"[']]", "]", true},
    {"[z-a]", "m", true},
    {"[]x", "x", false},
    // % and escapes; * is ordinary.
    {"a%b", "ab", true},
    {"%", "", true},
    {"%", "a", false},
    {"a'?b", "a?b", true},
    {"a'?b", "axb", false},
    {"a'#b", "a#b", true},
    {"''", "'", true},
    {"a*b", "a*b", true},
    {"a*b", "axb", false},
    {"*", "anything", false},
    {"a(b'|c|d)", "ab|c", true},
    // Non-ASCII names: one ? stands for one character; Latin letters fold.
    {"caf?", "café", true},
    {"CAFÉ", "café", true},
    {"caf?", "caf\xe9", true},
    {"??", "é", false},
};

INSTANTIATE_TEST_SUITE_P(Table, PatternMatching, ::testing::ValuesIn(kMatchCases),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return "case" + std::to_string(info.index); });

TEST(PatternParse, ReportsWhetherThereAreWildcards)
{
    const std::pair<const char*, LONG> cases[] = {
        {"frame0001.png", 0},
        {"a*b", 0},
        {"a'?b", 0},
        {"a'#b'(c", 0},
        {"Work:Pics/frame0001.png", 0},
        {"a|b", 0},
        {"", 0},
        {"frame#?.png", 1},
        {"frame?.png", 1},
        {"(a|b)", 1},
        {"~(#?.bak)", 1},
        {"[a-z]", 1},
        {"a%b", 1},
        {"Work:Pics/frame#?.png", 1},
    };
    for (const auto& [source, expected] : cases) {
        std::string tokenised;
        EXPECT_EQ(ParsePatternNoCase(source, tokenised), expected) << source;
    }
}

TEST(PatternParse, MalformedPatternsGiveMinusOne)
{
    const char* const cases[] = {
        "(a|b",       // unclosed group
        "a)",         // unbalanced parenthesis
        "((a)",       // unclosed outer group
        "frame#?.png'", // dangling escape
        "[a-z",       // unclosed bracket
        "[~",         // unclosed bracket
        "['",         // escape inside an unclosed bracket
        "a#",         // nothing to repeat
        "~",          // nothing to negate
        "(a|#)",      // nothing to repeat before )
        "(~)",        // nothing to negate before )
    };
    for (const char* source : cases) {
        std::string tokenised = "stale";
        EXPECT_EQ(ParsePatternNoCase(source, tokenised), -1) << source;
        EXPECT_TRUE(tokenised.empty()) << source;
    }
}

TEST(PatternParse, TokenisedFormMustFitTheGivenLength)
{
    std::string tokenised;
    EXPECT_EQ(ParsePatternNoCase("abc#?", tokenised, 6), 1) << "five characters and the terminator fit in six";
    EXPECT_EQ(ParsePatternNoCase("abc#?", tokenised, 5), -1);
    EXPECT_EQ(ParsePatternNoCase("abc", tokenised, 0), -1);
    const std::string longName(1023, 'a');
    EXPECT_EQ(ParsePatternNoCase(longName, tokenised, 1023), -1);
    EXPECT_EQ(ParsePatternNoCase(longName.substr(0, 1022), tokenised, 1023), 0);
}

TEST(PatternParse, DeepNestingIsRefusedNotFatal)
{
    std::string nested;
    for (int i = 0; i < 50; ++i)
        nested += "(";
    nested += "a";
    for (int i = 0; i < 50; ++i)
        nested += ")";
    std::string tokenised;
    EXPECT_EQ(ParsePatternNoCase(nested, tokenised), 1);
    EXPECT_EQ(MatchPatternNoCase(tokenised, "A"), TRUE);

    std::string tooDeep(400, '(');
    tooDeep += "a" + std::string(400, ')');
    EXPECT_EQ(ParsePatternNoCase(tooDeep, tokenised), -1);
    EXPECT_EQ(ParsePatternNoCase(std::string(900, '#') + "a", tokenised), -1);
}

TEST(PatternParse, TokenisedFormKeepsSlashesAndColonsInPlace)
{
    const std::string source = "Work:Pics/frame#?.png";
    std::string tokenised;
    ASSERT_EQ(ParsePatternNoCase(source, tokenised), 1);
    EXPECT_EQ(tokenised.find(':'), source.find(':'));
    EXPECT_EQ(tokenised.rfind('/'), source.rfind('/'));
    const std::string filePart = tokenised.substr(tokenised.rfind('/') + 1);
    EXPECT_EQ(MatchPatternNoCase(filePart, "frame12.png"), TRUE);
    EXPECT_EQ(MatchPatternNoCase(filePart, "FRAME3.PNG"), TRUE);
    EXPECT_EQ(MatchPatternNoCase(filePart, "notes.txt"), FALSE);

    ASSERT_EQ(ParsePatternNoCase("RAM:img#?.png", tokenised), 1);
    const std::string ramPart = tokenised.substr(tokenised.rfind(':') + 1);
    EXPECT_EQ(MatchPatternNoCase(ramPart, "img1.png"), TRUE);
}

TEST(PatternMatch, MalformedTokenisedTextMatchesNothing)
{
    SetIoErr(0);
    EXPECT_EQ(MatchPatternNoCase("(a", "(a"), FALSE);
    EXPECT_EQ(IoErr(), ERROR_BAD_TEMPLATE);
}

TEST(PatternMatch, PathologicalPatternsFinish)
{
    // Exponential in a backtracking matcher; these must simply return.
    const std::string name(200, 'a');
    EXPECT_EQ(Matches("#?#?#?#?#?#?#?#?x", name), false);
    EXPECT_EQ(Matches("#?#?#?#?#?#?#?#?a", name), true);
    EXPECT_EQ(Matches("#(#a)b", name), false);
    EXPECT_EQ(Matches("#(a|aa|aaa)#(a|aa)x", name), false);
    EXPECT_EQ(Matches("~(#?#?#?#?b)", name), true);
    EXPECT_EQ(Matches("#(#?~(#?a#?))c", name + "c"), true);
}

// A second, deliberately naive implementation of the same meaning: random
// patterns are built as trees, written out as pattern text, and both must
// agree on every short name.
struct Tree {
    enum Kind { Char, Any, Class, NotClass, Empty, Seq, Alt, Repeat, Not } kind = Empty;
    char c = 'a';
    std::vector<Tree> kids;
};

std::set<std::size_t> NaiveEnds(const Tree& t, const std::string& s, std::size_t i)
{
    const auto lower = [](char ch) { return static_cast<char>(std::tolower(static_cast<unsigned char>(ch))); };
    std::set<std::size_t> out;
    switch (t.kind) {
    case Tree::Char:
        if (i < s.size() && lower(s[i]) == t.c)
            out.insert(i + 1);
        break;
    case Tree::Any:
        if (i < s.size())
            out.insert(i + 1);
        break;
    case Tree::Class:
    case Tree::NotClass:
        if (i < s.size() && ((lower(s[i]) == t.c) != (t.kind == Tree::NotClass)))
            out.insert(i + 1);
        break;
    case Tree::Empty:
        out.insert(i);
        break;
    case Tree::Seq: {
        std::set<std::size_t> current{i};
        for (const auto& kid : t.kids) {
            std::set<std::size_t> next;
            for (const auto p : current)
                for (const auto q : NaiveEnds(kid, s, p))
                    next.insert(q);
            current = next;
        }
        out = current;
        break;
    }
    case Tree::Alt:
        for (const auto& kid : t.kids)
            for (const auto q : NaiveEnds(kid, s, i))
                out.insert(q);
        break;
    case Tree::Repeat: {
        std::vector<std::size_t> work{i};
        out.insert(i);
        while (!work.empty()) {
            const auto p = work.back();
            work.pop_back();
            for (const auto q : NaiveEnds(t.kids[0], s, p))
                if (out.insert(q).second)
                    work.push_back(q);
        }
        break;
    }
    case Tree::Not: {
        const auto inner = NaiveEnds(t.kids[0], s, i);
        for (std::size_t j = i; j <= s.size(); ++j)
            if (!inner.count(j))
                out.insert(j);
        break;
    }
    }
    return out;
}

std::string Render(const Tree& t)
{
    switch (t.kind) {
    case Tree::Char:
        return std::string(1, t.c);
    case Tree::Any:
        return "?";
    case Tree::Class:
        return std::string("[") + t.c + "]";
    case Tree::NotClass:
        return std::string("[~") + t.c + "]";
    case Tree::Empty:
        return "%";
    case Tree::Seq: {
        std::string text;
        for (const auto& kid : t.kids)
            text += Render(kid);
        return text;
    }
    case Tree::Alt: {
        std::string text = "(";
        for (std::size_t k = 0; k < t.kids.size(); ++k)
            text += (k ? "|" : "") + Render(t.kids[k]);
        return text + ")";
    }
    case Tree::Repeat:
    case Tree::Not: {
        const Tree& kid = t.kids[0];
        const std::string inner = kid.kind == Tree::Seq ? "(" + Render(kid) + ")" : Render(kid);
        return (t.kind == Tree::Repeat ? "#" : "~") + inner;
    }
    }
    return {};
}

Tree RandomTree(std::mt19937& random, int depth)
{
    Tree t;
    const int pick = static_cast<int>(random() % (depth > 0 ? 9 : 5));
    const char letters[] = {'a', 'b'};
    switch (pick) {
    case 0:
    case 1:
        t.kind = Tree::Char;
        t.c = letters[random() % 2];
        break;
    case 2:
        t.kind = Tree::Any;
        break;
    case 3:
        t.kind = random() % 2 ? Tree::Class : Tree::NotClass;
        t.c = letters[random() % 2];
        break;
    case 4:
        t.kind = Tree::Empty;
        break;
    case 5:
    case 6: {
        t.kind = pick == 5 ? Tree::Seq : Tree::Alt;
        const int count = 1 + static_cast<int>(random() % 3);
        for (int k = 0; k < count; ++k)
            t.kids.push_back(RandomTree(random, depth - 1));
        break;
    }
    case 7:
        t.kind = Tree::Repeat;
        t.kids.push_back(RandomTree(random, depth - 1));
        break;
    default:
        t.kind = Tree::Not;
        t.kids.push_back(RandomTree(random, depth - 1));
        break;
    }
    return t;
}

TEST(PatternMatch, AgreesWithANaiveMatcherOnRandomPatterns)
{
    std::vector<std::string> names{""};
    for (std::size_t k = 0; k < names.size() && names.size() < 63; ++k)
        if (names[k].size() < 5)
            for (const char* letter : {"a", "b"})
                names.push_back(names[k] + letter);
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        Tree seq;
        seq.kind = Tree::Seq;
        const int count = 1 + static_cast<int>(random() % 4);
        for (int k = 0; k < count; ++k)
            seq.kids.push_back(RandomTree(random, 3));
        const std::string pattern = Render(seq);
        std::string tokenised;
        ASSERT_NE(ParsePatternNoCase(pattern, tokenised), -1) << pattern;
        for (const auto& name : names) {
            std::string shouted = name;
            for (auto& ch : shouted)
                ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            const bool expected = NaiveEnds(seq, name, 0).count(name.size()) > 0;
            ASSERT_EQ(MatchPatternNoCase(tokenised, name) == TRUE, expected) << pattern << " vs \"" << name << '"';
            ASSERT_EQ(MatchPatternNoCase(tokenised, shouted) == TRUE, expected) << pattern << " vs \"" << shouted << '"';
        }
    }
}

} // namespace

namespace {

std::string Repeated(std::string_view text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

// Long names against patterns of up to 1024 characters built to make a
// matcher slow: each must give the right answer (its speed is measured by
// the pattern benchmark).
struct HostileCase {
    const char* name;
    std::string pattern;
    std::string text;
    bool matches;
};

std::ostream& operator<<(std::ostream& out, const HostileCase& c) { return out << c.name; }

class HostilePatterns : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostilePatterns, GiveTheRightAnswer)
{
    const HostileCase& c = GetParam();
    std::string tokenised;
    ASSERT_NE(ParsePatternNoCase(c.pattern, tokenised, 1025), -1) << c.name;
    EXPECT_EQ(MatchPatternNoCase(tokenised, c.text) == TRUE, c.matches) << c.name;
}

const std::string kAs(4096, 'a');
const std::string kAsThenB = std::string(4095, 'a') + "b";
const std::string kMixed = [] {
    std::string text;
    for (int i = 0; i < 4096; ++i)
        text += (i * 7 + i / 3) % 2 ? 'a' : 'b';
    return text;
}();

const HostileCase kHostileCases[] = {
    {"nested_repeats", Repeated("#(", 60) + "a" + Repeated(")", 60), kAs, true},
    {"nested_repeats_miss", Repeated("#(", 60) + "a" + Repeated(")", 60), kAsThenB, false},
    {"many_any_runs", Repeated("#?", 511) + "b", kAsThenB, true},
    {"many_any_runs_miss", Repeated("#?", 511) + "b", kAs, false},
    {"long_alternation", "#(" + Repeated("a|", 500) + "b)", kMixed, true},
    {"long_alternation_miss", "#(" + Repeated("a|", 500) + "b)", kMixed + "c", false},
    {"negated_window", "#?~(a" + Repeated("?", 1000) + ")#?", kAs, true},
    {"negated_everything", "#?~(#?)", kAs, false},
    {"double_negation", "~(~(#?b))", kAsThenB, true},
    {"double_negation_miss", "~(~(#?b))", kAs, false},
    {"negation_of_window", "~(#?a" + Repeated("?", 1000) + ")", kAs, false},
    {"negation_of_window_hit", "~(#?b" + Repeated("?", 1000) + ")", kAs, true},
    {"many_negations", Repeated("~a", 511), kAs, true},
    {"repeated_negations", Repeated("#(~a)", 200), kMixed, true},
    {"negations_in_alternation", "#(" + Repeated("~(a?)|", 170) + "b)", kMixed, true},
    {"exact_long_name", Repeated("a", 1000) + "#?" + Repeated("?", 3) + "b", kAsThenB, true},
};

INSTANTIATE_TEST_SUITE_P(Table, HostilePatterns, ::testing::ValuesIn(kHostileCases),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

} // namespace

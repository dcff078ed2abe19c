// AmigaDOS wildcard patterns, compiled once and matched many times. Used by
// ParsePatternNoCase, MatchPatternNoCase and ExAll; not part of the
// dos.library surface.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace dospattern {

class Pattern {
public:
    // Nullopt when the text is malformed: unbalanced parentheses, a dangling
    // escape or operator, an unclosed bracket, or nesting deeper than
    // kMaxDepth.
    static std::optional<Pattern> Compile(std::string_view text);

    // Whether the text used any wildcard construct (an escaped character is
    // not one).
    bool HasWildcards() const { return wildcards_; }

    // Whether the whole name matches, without regard to case. One pass over
    // the name with a set of states: time linear in the name for each state
    // of the pattern (see Matcher).
    bool Matches(std::string_view name) const;

    static constexpr int kMaxDepth = 200;

    enum class Kind : std::uint8_t { Char, Any, Class, Empty, Seq, Alt, Repeat, Not };
    struct Range {
        char32_t low;
        char32_t high;
    };
    struct Node {
        Kind kind = Kind::Empty;
        char32_t ch = 0;             // Char: the folded character
        bool negated = false;        // Class: [~...]
        std::vector<Range> ranges;   // Class
        std::vector<int> children;   // Seq items, Alt branches, Repeat/Not operand
    };

    // The compiled form: one program for the pattern and one for each "~"
    // operand.
    enum class Op : std::uint8_t { Consume, Split, Jump, Not, Match };
    struct Instruction {
        Op op = Op::Match;
        int node = -1;            // Consume: the one-character node
        int next = -1;            // Consume, Jump, Not: where to go on
        std::vector<int> targets; // Split
        int program = -1;         // Not: the operand's program
        int slot = -1;            // Not: its number among its program's "~"s
    };
    struct Program {
        std::vector<Instruction> code;
        int start = 0;
        std::vector<int> nots; // the Not instructions, by slot
    };

private:
    // Compiles the parsed tree into programs_.
    void BuildPrograms();

    friend class Parser;
    friend class Compiler;
    friend class Matcher;
    std::vector<Node> nodes_;
    std::vector<Program> programs_;
    int root_ = 0;
    bool wildcards_ = false;
};

// Decodes UTF-8; a byte that does not start a well-formed sequence stands for
// itself (as a Latin-1 character).
std::vector<char32_t> DecodeText(std::string_view text);
// Lower case of ASCII and Latin-1 letters; other characters unchanged.
char32_t FoldCase(char32_t c);

} // namespace dospattern

// The number that orders a picture in its sequence: the last run of decimal
// digits in its name (0 when there is none), a run too long for an int held
// at INT_MAX. The program's lists and the player's playlists both order by
// it, so a sequence plays in the order it is shown.
int SequenceNumber(std::string_view name);

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

    // Whether the whole name matches, without regard to case. Runs in
    // polynomial time whatever the pattern: the sets of end positions of each
    // (node, start) pair are computed once.
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

private:
    friend class Parser;
    friend class Matcher;
    std::vector<Node> nodes_;
    int root_ = 0;
    bool wildcards_ = false;
};

// Decodes UTF-8; a byte that does not start a well-formed sequence stands for
// itself (as a Latin-1 character).
std::vector<char32_t> DecodeText(std::string_view text);
// Lower case of ASCII and Latin-1 letters; other characters unchanged.
char32_t FoldCase(char32_t c);

} // namespace dospattern

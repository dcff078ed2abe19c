// AmigaDOS wildcard patterns and the pattern calls of dos.library.
//
// Grammar (one item at a time, left to right):
//   ?        any one character
//   #x       zero or more of x (x: one character, a class or a group)
//   ~x       any text that x does not match, at that point of the pattern
//   (a|b)    alternatives; "|" means alternation only inside parentheses
//   [a-z]    a class; [~a-z] its complement; ' escapes inside too
//   %        the empty text
//   'c       the character c itself
// Everything else, "*" included, is an ordinary character.
//
// The tokenised form handed to callers is the checked pattern text itself:
// it keeps "/" and ":" where the source has them, so callers can cut a path
// pattern into directory and file-name parts, and it reads well in traces.
#include "platform/pattern.h"

#include "platform/dos.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace dospattern {

std::vector<char32_t> DecodeText(std::string_view text)
{
    std::vector<char32_t> out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t c = b;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            c = b & 0x07;
        }
        bool good = extra > 0 && i + static_cast<std::size_t>(extra) < text.size();
        for (int k = 1; good && k <= extra; ++k) {
            const auto cont = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((cont & 0xC0) != 0x80)
                good = false;
            else
                c = (c << 6) | (cont & 0x3F);
        }
        if (good && ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF))
                        || (c >= 0xD800 && c <= 0xDFFF)))
            good = false;
        if (good) {
            out.push_back(c);
            i += static_cast<std::size_t>(extra) + 1;
        } else {
            out.push_back(b);
            ++i;
        }
    }
    return out;
}

char32_t FoldCase(char32_t c)
{
    if (c >= U'A' && c <= U'Z')
        return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    return c;
}

namespace {

char32_t UpperCase(char32_t c)
{
    if (c >= U'a' && c <= U'z')
        return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 32;
    return c;
}

} // namespace

class Parser {
public:
    Parser(std::string_view text, Pattern& pattern)
        : text_(DecodeText(text))
        , pattern_(pattern)
    {
    }

    bool Run()
    {
        const auto root = ParseSequence(false, 0);
        if (!root || pos_ != text_.size())
            return false;
        pattern_.root_ = *root;
        return true;
    }

private:
    using Kind = Pattern::Kind;

    bool AtEnd() const { return pos_ >= text_.size(); }
    char32_t Peek() const { return text_[pos_]; }

    int Add(Pattern::Node node)
    {
        pattern_.nodes_.push_back(std::move(node));
        return static_cast<int>(pattern_.nodes_.size()) - 1;
    }

    // Items up to the end, or up to "|" or ")" inside a group.
    std::optional<int> ParseSequence(bool inGroup, int depth)
    {
        Pattern::Node seq;
        seq.kind = Kind::Seq;
        while (!AtEnd()) {
            const char32_t c = Peek();
            if (inGroup && (c == U'|' || c == U')'))
                break;
            if (!inGroup && c == U')')
                return std::nullopt; // unbalanced
            const auto item = ParseItem(inGroup, depth + 1);
            if (!item)
                return std::nullopt;
            seq.children.push_back(*item);
        }
        return Add(std::move(seq));
    }

    std::optional<int> ParseItem(bool inGroup, int depth)
    {
        if (depth > Pattern::kMaxDepth || AtEnd())
            return std::nullopt;
        const char32_t c = text_[pos_++];
        Pattern::Node node;
        switch (c) {
        case U'?':
            pattern_.wildcards_ = true;
            node.kind = Kind::Any;
            return Add(std::move(node));
        case U'%':
            pattern_.wildcards_ = true;
            node.kind = Kind::Empty;
            return Add(std::move(node));
        case U'#':
        case U'~': {
            pattern_.wildcards_ = true;
            if (AtEnd() || Peek() == U')' || (inGroup && Peek() == U'|'))
                return std::nullopt; // nothing to repeat or negate
            const auto operand = ParseItem(inGroup, depth + 1);
            if (!operand)
                return std::nullopt;
            node.kind = c == U'#' ? Kind::Repeat : Kind::Not;
            node.children.push_back(*operand);
            return Add(std::move(node));
        }
        case U'(': {
            pattern_.wildcards_ = true;
            node.kind = Kind::Alt;
            for (;;) {
                const auto branch = ParseSequence(true, depth + 1);
                if (!branch)
                    return std::nullopt;
                node.children.push_back(*branch);
                if (AtEnd())
                    return std::nullopt; // unclosed group
                if (text_[pos_++] == U')')
                    break;
            }
            return Add(std::move(node));
        }
        case U'[':
            pattern_.wildcards_ = true;
            return ParseClass();
        case U'\'':
            if (AtEnd())
                return std::nullopt; // dangling escape
            node.kind = Kind::Char;
            node.ch = FoldCase(text_[pos_++]);
            return Add(std::move(node));
        default:
            node.kind = Kind::Char;
            node.ch = FoldCase(c);
            return Add(std::move(node));
        }
    }

    // After "[": an optional "~", then characters and ranges up to "]".
    std::optional<int> ParseClass()
    {
        Pattern::Node node;
        node.kind = Kind::Class;
        if (!AtEnd() && Peek() == U'~') {
            node.negated = true;
            ++pos_;
        }
        for (;;) {
            auto low = ClassChar();
            if (!low)
                return std::nullopt;
            if (*low == kClose)
                break;
            char32_t high = *low;
            if (pos_ + 1 < text_.size() && Peek() == U'-' && text_[pos_ + 1] != U']') {
                ++pos_;
                const auto upper = ClassChar();
                if (!upper || *upper == kClose)
                    return std::nullopt;
                high = *upper;
            }
            if (high < *low)
                std::swap(*low, high);
            node.ranges.push_back({*low, high});
        }
        return Add(std::move(node));
    }

    static constexpr char32_t kClose = 0xFFFFFFFF;

    // One character of a class, kClose for the closing "]", nullopt at the
    // end of the text.
    std::optional<char32_t> ClassChar()
    {
        if (AtEnd())
            return std::nullopt;
        const char32_t c = text_[pos_++];
        if (c == U']')
            return kClose;
        if (c == U'\'') {
            if (AtEnd())
                return std::nullopt;
            return text_[pos_++];
        }
        return c;
    }

    std::vector<char32_t> text_;
    std::size_t pos_ = 0;
    Pattern& pattern_;
};

// Computes, for a node and a start position, the set of positions where a
// match of that node can end, memoised per (node, start).
class Matcher {
public:
    Matcher(const Pattern& pattern, std::vector<char32_t> text)
        : pattern_(pattern)
        , text_(std::move(text))
        , length_(text_.size())
        , words_((length_ + 1 + 63) / 64)
        , index_(pattern.nodes_.size() * (length_ + 1), kNone)
    {
        arena_.reserve(std::min<std::size_t>(index_.size(), 4096) * words_);
        for (auto& c : text_)
            c = FoldCase(c);
    }

    bool Run()
    {
        const std::size_t set = Ends(pattern_.root_, 0);
        return Test(set, length_);
    }

private:
    using Kind = Pattern::Kind;
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    std::size_t NewSet()
    {
        const std::size_t offset = arena_.size();
        arena_.resize(arena_.size() + words_, 0);
        return offset;
    }

    bool Test(std::size_t set, std::size_t pos) const
    {
        return (arena_[set + pos / 64] >> (pos % 64)) & 1u;
    }
    void Put(std::size_t set, std::size_t pos) { arena_[set + pos / 64] |= std::uint64_t{1} << (pos % 64); }
    // Calls fn for each member of a set from `from` on, in ascending order.
    // fn may add sets: the set is read by offset, one word at a time.
    template <typename Fn> void ForEach(std::size_t set, std::size_t from, Fn&& fn)
    {
        for (std::size_t w = from / 64; w < words_; ++w) {
            std::uint64_t bits = arena_[set + w];
            if (w == from / 64)
                bits &= ~std::uint64_t{0} << (from % 64);
            while (bits) {
                const auto bit = static_cast<std::size_t>(__builtin_ctzll(bits));
                bits &= bits - 1;
                fn(w * 64 + bit);
            }
        }
    }

    void Merge(std::size_t into, std::size_t from)
    {
        for (std::size_t w = 0; w < words_; ++w)
            arena_[into + w] |= arena_[from + w];
    }

    bool ClassMatches(const Pattern::Node& node, char32_t c) const
    {
        const char32_t upper = UpperCase(c);
        bool in = false;
        for (const auto& range : node.ranges) {
            if ((c >= range.low && c <= range.high) || (upper >= range.low && upper <= range.high)) {
                in = true;
                break;
            }
        }
        return in != node.negated;
    }

    static bool SingleCharacter(const Pattern::Node& node)
    {
        return node.kind == Kind::Char || node.kind == Kind::Any || node.kind == Kind::Class;
    }

    // Whether a one-character node matches the character at pos.
    bool Step(const Pattern::Node& node, std::size_t pos) const
    {
        if (pos >= length_)
            return false;
        const char32_t c = text_[pos];
        return node.kind == Kind::Any || (node.kind == Kind::Char && node.ch == c)
            || (node.kind == Kind::Class && ClassMatches(node, c));
    }

    // Offset of the set of end positions for node started at pos.
    std::size_t Ends(int nodeIndex, std::size_t pos)
    {
        const std::size_t key = static_cast<std::size_t>(nodeIndex) * (length_ + 1) + pos;
        if (index_[key] != kNone)
            return index_[key];
        const Pattern::Node& node = pattern_.nodes_[static_cast<std::size_t>(nodeIndex)];
        std::size_t result = kNone;
        switch (node.kind) {
        case Kind::Char:
        case Kind::Any:
        case Kind::Class:
            result = NewSet();
            if (Step(node, pos))
                Put(result, pos + 1);
            break;
        case Kind::Empty:
            result = NewSet();
            Put(result, pos);
            break;
        case Kind::Seq: {
            std::size_t current = NewSet();
            Put(current, pos);
            for (const int item : node.children) {
                const std::size_t next = NewSet();
                const Pattern::Node& itemNode = pattern_.nodes_[static_cast<std::size_t>(item)];
                if (SingleCharacter(itemNode))
                    ForEach(current, pos, [&](std::size_t p) {
                        if (Step(itemNode, p))
                            Put(next, p + 1);
                    });
                else
                    ForEach(current, pos, [&](std::size_t p) { Merge(next, Ends(item, p)); });
                current = next;
            }
            result = current;
            break;
        }
        case Kind::Alt: {
            result = NewSet();
            for (const int branch : node.children)
                Merge(result, Ends(branch, pos));
            break;
        }
        case Kind::Repeat:
            // #x from p ends at p, or wherever #x ends from a later end of
            // x. Ends lie at or after their start, so filling every start
            // from the end of the text down to pos finds each later set
            // already done, in time linear in the text for a one-character x.
            for (std::size_t p = length_ + 1; p-- > pos;) {
                const std::size_t key = static_cast<std::size_t>(nodeIndex) * (length_ + 1) + p;
                if (index_[key] != kNone)
                    continue;
                const int operand = node.children.front();
                const Pattern::Node& operandNode = pattern_.nodes_[static_cast<std::size_t>(operand)];
                const auto later = [&](std::size_t q) { return index_[static_cast<std::size_t>(nodeIndex) * (length_ + 1) + q]; };
                if (SingleCharacter(operandNode)) {
                    const std::size_t set = NewSet();
                    Put(set, p);
                    if (Step(operandNode, p))
                        Merge(set, later(p + 1));
                    index_[key] = set;
                    continue;
                }
                const std::size_t once = Ends(operand, p);
                const std::size_t set = NewSet();
                Put(set, p);
                ForEach(once, p + 1, [&](std::size_t q) { Merge(set, later(q)); });
                index_[key] = set;
            }
            return index_[key];
        case Kind::Not: {
            const std::size_t inner = Ends(node.children.front(), pos);
            result = NewSet();
            for (std::size_t p = pos; p <= length_; ++p) {
                if (!Test(inner, p))
                    Put(result, p);
            }
            break;
        }
        }
        index_[key] = result;
        return result;
    }

    const Pattern& pattern_;
    std::vector<char32_t> text_;
    std::size_t length_;
    std::size_t words_;
    std::vector<std::size_t> index_;
    std::vector<std::uint64_t> arena_;
};

std::optional<Pattern> Pattern::Compile(std::string_view text)
{
    Pattern pattern;
    Parser parser(text, pattern);
    if (!parser.Run())
        return std::nullopt;
    return pattern;
}

bool Pattern::Matches(std::string_view name) const
{
    Matcher matcher(*this, DecodeText(name));
    return matcher.Run();
}

} // namespace dospattern

LONG ParsePatternNoCase(std::string_view source, std::string& tokenised, LONG length)
{
    tokenised.clear();
    if (length <= 0 || source.size() + 1 > static_cast<std::size_t>(length))
        return -1;
    const auto pattern = dospattern::Pattern::Compile(source);
    if (!pattern)
        return -1;
    tokenised.assign(source);
    return pattern->HasWildcards() ? 1 : 0;
}

BOOL MatchPatternNoCase(std::string_view tokenised, std::string_view name)
{
    const auto pattern = dospattern::Pattern::Compile(tokenised);
    if (!pattern) {
        SetIoErr(ERROR_BAD_TEMPLATE);
        return FALSE;
    }
    return pattern->Matches(name) ? TRUE : FALSE;
}

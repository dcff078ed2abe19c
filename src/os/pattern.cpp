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
#include "os/pattern.h"

#include <climits>

#include "os/dos.h"

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

std::optional<Pattern> Pattern::Compile(std::string_view text)
{
    Pattern pattern;
    Parser parser(text, pattern);
    if (!parser.Run())
        return std::nullopt;
    pattern.BuildPrograms();
    return pattern;
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

int SequenceNumber(std::string_view name)
{
    const auto isDigit = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= '0' && byte <= '9';
    };
    std::size_t end = name.size();
    while (end > 0 && !isDigit(name[end - 1]))
        --end;
    std::size_t begin = end;
    while (begin > 0 && isDigit(name[begin - 1]))
        --begin;
    long long value = 0;
    for (std::size_t i = begin; i < end; ++i) {
        value = value * 10 + (name[i] - '0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(value);
}

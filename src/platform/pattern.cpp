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
#include <compare>
#include <cstddef>
#include <string>
#include <unordered_map>

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

// Turns the tree into programs for the matcher, one per scope: program 0
// for the whole pattern and one for each "~" operand. Built back to front,
// each item compiled knowing where to go on after it.
class Compiler {
public:
    explicit Compiler(Pattern& pattern) : pattern_(pattern) {}

    void Run()
    {
        pattern_.programs_.clear();
        pattern_.programs_.emplace_back();
        Finish(0, pattern_.root_);
    }

private:
    using Kind = Pattern::Kind;
    using Op = Pattern::Op;

    // Compiles `node` into program `program`, ending in its Match.
    void Finish(int program, int node)
    {
        const int match = Emit(program, Instruction(Op::Match));
        const int entry = Compile(program, node, match);
        pattern_.programs_[static_cast<std::size_t>(program)].start = entry;
    }

    static Pattern::Instruction Instruction(Op op)
    {
        Pattern::Instruction instruction;
        instruction.op = op;
        return instruction;
    }

    int Emit(int program, Pattern::Instruction instruction)
    {
        auto& code = pattern_.programs_[static_cast<std::size_t>(program)].code;
        code.push_back(std::move(instruction));
        return static_cast<int>(code.size()) - 1;
    }

    Pattern::Instruction& At(int program, int index)
    {
        return pattern_.programs_[static_cast<std::size_t>(program)].code[static_cast<std::size_t>(index)];
    }

    // The entry of `node` in `program`, continuing at `next`.
    int Compile(int program, int nodeIndex, int next)
    {
        const Pattern::Node& node = pattern_.nodes_[static_cast<std::size_t>(nodeIndex)];
        switch (node.kind) {
        case Kind::Char:
        case Kind::Any:
        case Kind::Class: {
            Pattern::Instruction consume = Instruction(Op::Consume);
            consume.node = nodeIndex;
            consume.next = next;
            return Emit(program, std::move(consume));
        }
        case Kind::Empty:
            return next;
        case Kind::Seq:
            for (auto child = node.children.rbegin(); child != node.children.rend(); ++child)
                next = Compile(program, *child, next);
            return next;
        case Kind::Alt: {
            std::vector<int> targets;
            for (const int branch : node.children)
                targets.push_back(Compile(program, branch, next));
            Pattern::Instruction split = Instruction(Op::Split);
            split.targets = std::move(targets);
            return Emit(program, std::move(split));
        }
        case Kind::Repeat: {
            Pattern::Instruction split = Instruction(Op::Split);
            split.targets = {-1, next};
            const int loop = Emit(program, std::move(split));
            const int body = Compile(program, node.children.front(), loop);
            At(program, loop).targets[0] = body;
            return loop;
        }
        case Kind::Not: {
            const int operand = static_cast<int>(pattern_.programs_.size());
            pattern_.programs_.emplace_back();
            Finish(operand, node.children.front());
            Pattern::Instruction negation = Instruction(Op::Not);
            negation.program = operand;
            negation.next = next;
            negation.slot = static_cast<int>(pattern_.programs_[static_cast<std::size_t>(program)].nots.size());
            const int index = Emit(program, std::move(negation));
            pattern_.programs_[static_cast<std::size_t>(program)].nots.push_back(index);
            return index;
        }
        }
        return next;
    }

    Pattern& pattern_;
};

// Runs the programs over the name once, left to right, as a set of states
// (a Thompson simulation), with every state met numbered and its moves
// cached (a DFA built as the name needs it): a name costs one table look per
// character once its states have been seen, and a new state costs one pass
// over the program.
//
// "~x" entered at a position p ends at every later position where x, run
// from p, does not accept. Each entry starts a thread of x's program (one per
// position, whatever the number of paths that enter it), and the "~" ends
// wherever one of its threads does not accept; a program's state is its set
// and the threads of its "~"s. Threads in the same state are one. Of two
// threads of a program without "~" whose sets lie one inside the other only
// the smaller one matters (whenever the larger does not accept, neither does
// the smaller, and running keeps the one inside the other), so the larger is
// dropped. A thread that can never accept again means the "~" ends
// everywhere from then on, and its threads are dropped.
class Matcher {
public:
    Matcher(const Pattern& pattern, std::vector<char32_t> text)
        : pattern_(pattern)
        , text_(std::move(text))
        , scratch_(pattern.programs_.size())
        , tables_(pattern.programs_.size())
    {
        for (auto& c : text_)
            c = FoldCase(c);
    }

    bool Run()
    {
        int state = Start(0);
        for (const char32_t c : text_) {
            state = Step(0, state, c);
            if (Info(0, state).dead)
                return false;
        }
        return Info(0, state).accepting;
    }

private:
    using Kind = Pattern::Kind;
    using Op = Pattern::Op;

    // The threads of one "~": numbers of states of its operand's program.
    struct Negation {
        bool always = false; // a thread died: it ends everywhere from now on
        std::vector<int> threads; // sorted
    };
    struct State {
        std::vector<int> states; // Consume and Match instructions, sorted
        std::vector<Negation> negations; // one per "~" of the program
        bool accepting = false;
        bool dead = false; // can never accept again
    };
    struct KeyHash {
        std::size_t operator()(const std::vector<int>& key) const
        {
            std::uint64_t hash = 1469598103934665603ull;
            for (const int value : key)
                hash = (hash ^ static_cast<std::uint32_t>(value)) * 1099511628211ull;
            return static_cast<std::size_t>(hash);
        }
    };
    // The states of one program met so far, and their moves.
    struct Table {
        std::unordered_map<std::vector<int>, int, KeyHash> ids;
        std::vector<State> states;
        std::vector<int> asciiMoves; // 128 per state, -1: not known yet
        std::vector<std::unordered_map<char32_t, int>> otherMoves;
        int start = -1;
    };
    // Per program: marks for the closure and its work lists. A program's
    // closure never runs inside another closure of the same program.
    struct Scratch {
        std::vector<unsigned> marks;
        unsigned generation = 0;
        std::vector<int> stack;
    };

    const Pattern::Program& ProgramAt(int program) const { return pattern_.programs_[static_cast<std::size_t>(program)]; }
    Table& TableOf(int program) { return tables_[static_cast<std::size_t>(program)]; }
    const State& Info(int program, int id) { return TableOf(program).states[static_cast<std::size_t>(id)]; }
    int OperandOf(int program, std::size_t slot) const
    {
        const Pattern::Program& code = ProgramAt(program);
        return code.code[static_cast<std::size_t>(code.nots[slot])].program;
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

    bool Consumes(const Pattern::Instruction& instruction, char32_t c) const
    {
        const Pattern::Node& node = pattern_.nodes_[static_cast<std::size_t>(instruction.node)];
        return node.kind == Kind::Any || (node.kind == Kind::Char && node.ch == c)
            || (node.kind == Kind::Class && ClassMatches(node, c));
    }

    // The number of a state, added when new.
    int Intern(int program, State state)
    {
        std::vector<int> key = state.states;
        for (const Negation& negation : state.negations) {
            key.push_back(negation.always ? -2 : -1);
            key.insert(key.end(), negation.threads.begin(), negation.threads.end());
        }
        Table& table = TableOf(program);
        const auto [entry, added] = table.ids.emplace(std::move(key), static_cast<int>(table.states.size()));
        if (added) {
            state.dead = state.states.empty()
                && std::none_of(state.negations.begin(), state.negations.end(),
                    [](const Negation& negation) { return negation.always || !negation.threads.empty(); });
            table.states.push_back(std::move(state));
            table.asciiMoves.resize(table.asciiMoves.size() + 128, -1);
            table.otherMoves.emplace_back();
        }
        return entry->second;
    }

    int Start(int program)
    {
        if (const int known = TableOf(program).start; known >= 0)
            return known;
        State state;
        state.negations.resize(ProgramAt(program).nots.size());
        std::vector<char> endsHere(state.negations.size(), 0);
        const int id = Close(program, {ProgramAt(program).start}, std::move(state), endsHere);
        TableOf(program).start = id;
        return id;
    }

    // The state after moving over one character.
    int Step(int program, int id, char32_t c)
    {
        {
            Table& table = TableOf(program);
            const auto at = static_cast<std::size_t>(id);
            if (c < 128) {
                if (const int known = table.asciiMoves[at * 128 + c]; known >= 0)
                    return known;
            } else if (const auto found = table.otherMoves[at].find(c); found != table.otherMoves[at].end()) {
                return found->second;
            }
        }
        // A copy: the table grows while the new state is worked out.
        State state = Info(program, id);
        const Pattern::Program& code = ProgramAt(program);
        std::vector<int> seeds;
        for (const int index : state.states) {
            const Pattern::Instruction& instruction = code.code[static_cast<std::size_t>(index)];
            if (instruction.op == Op::Consume && Consumes(instruction, c))
                seeds.push_back(instruction.next);
        }
        std::vector<char> endsHere(state.negations.size(), 0);
        for (std::size_t slot = 0; slot < state.negations.size(); ++slot) {
            Negation& negation = state.negations[slot];
            const int operand = OperandOf(program, slot);
            if (!negation.always) {
                for (int& inner : negation.threads) {
                    inner = Step(operand, inner, c);
                    if (Info(operand, inner).dead)
                        negation.always = true;
                }
                if (negation.always)
                    negation.threads.clear();
                if (!std::is_sorted(negation.threads.begin(), negation.threads.end()))
                    std::sort(negation.threads.begin(), negation.threads.end());
                negation.threads.erase(std::unique(negation.threads.begin(), negation.threads.end()), negation.threads.end());
            }
            endsHere[slot] = negation.always || std::any_of(negation.threads.begin(), negation.threads.end(),
                [&](int inner) { return !Info(operand, inner).accepting; });
            if (endsHere[slot])
                seeds.push_back(code.code[static_cast<std::size_t>(code.nots[slot])].next);
        }
        const int next = Close(program, seeds, std::move(state), endsHere);
        Table& table = TableOf(program);
        if (c < 128)
            table.asciiMoves[static_cast<std::size_t>(id) * 128 + c] = next;
        else
            table.otherMoves[static_cast<std::size_t>(id)][c] = next;
        return next;
    }

    static bool Within(const std::vector<int>& small, const std::vector<int>& large)
    {
        return small.size() <= large.size() && std::includes(large.begin(), large.end(), small.begin(), small.end());
    }

    // Adds a new thread to a "~".
    void AddThread(int operand, Negation& negation, int inner)
    {
        auto& threads = negation.threads;
        if (std::binary_search(threads.begin(), threads.end(), inner))
            return;
        if (ProgramAt(operand).nots.empty()) {
            const std::vector<int> fresh = Info(operand, inner).states;
            for (const int old : threads)
                if (Within(Info(operand, old).states, fresh))
                    return;
            std::erase_if(threads, [&](int old) { return Within(fresh, Info(operand, old).states); });
        }
        threads.insert(std::lower_bound(threads.begin(), threads.end(), inner), inner);
    }

    // Follows every path that consumes nothing from the seeds; the states
    // reached, with the "~"s as they stand, make the new state.
    int Close(int program, const std::vector<int>& seeds, State state, std::vector<char>& endsHere)
    {
        const Pattern::Program& code = ProgramAt(program);
        Scratch& scratch = scratch_[static_cast<std::size_t>(program)];
        if (scratch.marks.size() != code.code.size())
            scratch.marks.assign(code.code.size(), 0);
        if (++scratch.generation == 0) {
            std::fill(scratch.marks.begin(), scratch.marks.end(), 0);
            scratch.generation = 1;
        }
        const unsigned generation = scratch.generation;
        state.states.clear();
        state.accepting = false;
        scratch.stack.assign(seeds.rbegin(), seeds.rend());
        while (!scratch.stack.empty()) {
            const int index = scratch.stack.back();
            scratch.stack.pop_back();
            unsigned& mark = scratch.marks[static_cast<std::size_t>(index)];
            if (mark == generation)
                continue;
            mark = generation;
            const Pattern::Instruction& instruction = code.code[static_cast<std::size_t>(index)];
            switch (instruction.op) {
            case Op::Match:
                state.accepting = true;
                state.states.push_back(index);
                break;
            case Op::Consume:
                state.states.push_back(index);
                break;
            case Op::Jump:
                scratch.stack.push_back(instruction.next);
                break;
            case Op::Split:
                for (auto target = instruction.targets.rbegin(); target != instruction.targets.rend(); ++target)
                    scratch.stack.push_back(*target);
                break;
            case Op::Not: {
                const auto slot = static_cast<std::size_t>(instruction.slot);
                Negation& negation = state.negations[slot];
                if (!negation.always) {
                    const int inner = Start(instruction.program);
                    const State& started = Info(instruction.program, inner);
                    if (!started.accepting)
                        endsHere[slot] = 1;
                    if (started.dead) {
                        negation.always = true;
                        negation.threads.clear();
                    } else {
                        AddThread(instruction.program, negation, inner);
                    }
                }
                if (endsHere[slot] || negation.always)
                    scratch.stack.push_back(instruction.next);
                break;
            }
            }
        }
        std::sort(state.states.begin(), state.states.end());
        return Intern(program, std::move(state));
    }

    const Pattern& pattern_;
    std::vector<char32_t> text_;
    std::vector<Scratch> scratch_;
    std::vector<Table> tables_;
};

std::optional<Pattern> Pattern::Compile(std::string_view text)
{
    Pattern pattern;
    Parser parser(text, pattern);
    if (!parser.Run())
        return std::nullopt;
    Compiler(pattern).Run();
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

// AmigaDOS patterns: the compiled form of a parsed pattern and the matcher
// that runs it over a name.
#include "os/pattern.h"

#include <algorithm>
#include <compare>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace dospattern {

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

void Pattern::BuildPrograms() { Compiler(*this).Run(); }

bool Pattern::Matches(std::string_view name) const
{
    Matcher matcher(*this, DecodeText(name));
    return matcher.Run();
}

} // namespace dospattern

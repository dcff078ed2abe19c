// The script driver's actions as rows: an action's name and the function
// that performs one line of it. Each feature's file holds its actions and
// its rows; the driver looks a line's first word up in all of them
// (ScriptActionTables, script.cpp). A new action is one row and one function
// in the file of its feature, and its table listed once.
#pragma once

#include "mui/mui.h"
#include "os/exec.h"

#include <cstddef>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct ScriptWord {
    std::string text;
    bool quoted = false;
};

// One line of a script as its action sees it, and what the action may ask
// of the driver. Complaints go to the driver's error stream with the line's
// number; a refused line is answered with none (the next line follows at
// once).
class ScriptLine {
public:
    ScriptLine(const std::vector<ScriptWord>& words, std::ostream& out, std::ostream& errors, int lineNumber);

    const std::string& Action() const { return words_[0].text; }
    std::size_t Arguments() const { return words_.size() - 1; }
    // The argument counted from 1.
    const ScriptWord& Word(std::size_t i) const { return words_[i]; }
    std::ostream& Out() { return out_; }
    int LineNumber() const { return lineNumber_; }

    void Complain(const std::string& message);
    // True when the line has `count` arguments; complains otherwise.
    bool Expect(std::size_t count);
    // The gadget of a slot name, the list of a name and the whole number of
    // an argument; none (after a complaint) when there is none.
    mui::Object* Gadget(std::size_t i);
    mui::Object* List(std::size_t i);
    std::optional<LONG> Number(std::size_t i);
    // The answer of a user action the object model took or refused.
    std::optional<ULONG> Done(bool accepted, const std::string& what);

private:
    const std::vector<ScriptWord>& words_;
    std::ostream& out_;
    std::ostream& errors_;
    int lineNumber_;
};

using ScriptPerform = std::optional<ULONG> (*)(ScriptLine& line);
struct ScriptAction {
    std::string_view name;
    ScriptPerform perform;
};

// The features' rows.
std::span<const ScriptAction> ScriptInputActions();   // gui/script_input.cpp
std::span<const ScriptAction> ScriptDriverActions();  // gui/script.cpp
std::span<const ScriptAction> HistoryScriptActions(); // gui/history.cpp
std::span<const ScriptAction> PlayerScriptActions();  // gui/player_actions.cpp
// All of them, in the order they are searched.
std::span<const std::span<const ScriptAction>> ScriptActionTables();

// A text in double quotes; \ and " escaped, ESC as \e, other control
// characters as \n, \t or \xNN.
std::string QuoteText(std::string_view text);

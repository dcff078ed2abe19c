// The script driver: every wait of the event loop performs the next action of
// the script through the object model's user actions.
#include "gui/script.h"

#include "gui/look_gadgets.h"
#include "gui/main.h"
#include "gui/player_actions.h"
#include "gui/script_actions.h"
#include "gui/vocabulary.h"
#include "model/project.h"
#include "os/asl.h"
#include "os/exec.h"
#include "os/format.h"
#include "mui/mui.h"
#include "os/question.h"
#include "os/work.h"

#include <atomic>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

// ---- dump ----------------------------------------------------------------

std::string QuoteOrNone(const std::optional<std::string>& text) { return text ? QuoteText(*text) : "none"; }

// The slot number of a visual entry text "\eo[n]"; 0 when it is none.
LONG SlotOfEntry(const std::string& entry)
{
    Crouton probe;
    probe.previewImageText = entry;
    return GetCroutonImageSlot(&probe);
}

void DumpGadget(std::ostream& out, LONG slot)
{
    const mui::Object* object = gButtons[slot];
    out << "gadget " << HexButtonName(slot);
    if (!object) {
        out << " none\n";
        return;
    }
    out << ' ' << mui::KindName(object->kind()) << ' '
        << (mui::XGetLong(object, MUIA_Disabled) ? "disabled" : "enabled");
    switch (object->kind()) {
    case mui::Kind::String:
        out << " text=" << QuoteOrNone(mui::XGetString(object, MUIA_String_Contents));
        break;
    case mui::Kind::Cycle:
    case mui::Kind::Radio: {
        const Tag tag = object->kind() == mui::Kind::Cycle ? MUIA_Cycle_Active : MUIA_Radio_Active;
        const LONG active = mui::XGetLong(object, tag);
        out << " active=" << active;
        if (active >= 0 && static_cast<std::size_t>(active) < object->entries().size())
            out << ' ' << QuoteText(object->entries()[static_cast<std::size_t>(active)]);
        break;
    }
    case mui::Kind::Slider:
        out << " value=" << mui::XGetLong(object, MUIA_Numeric_Value) << " min="
            << mui::XGetLong(object, MUIA_Numeric_Min) << " max=" << mui::XGetLong(object, MUIA_Numeric_Max);
        break;
    case mui::Kind::NBitmap:
        out << " picture=" << QuoteOrNone(mui::XGetString(object, MUIA_NBitmap_Normal));
        break;
    default:
        if (object->Has(MUIA_Text_Contents))
            out << " text=" << QuoteOrNone(mui::XGetString(object, MUIA_Text_Contents));
        break;
    }
    out << '\n';
}

void DumpList(std::ostream& out, const char* name, const mui::Object* list, bool pictures)
{
    if (!list) {
        out << "list " << name << " none\n";
        return;
    }
    const auto& entries = list->entries();
    out << "list " << name << " entries=" << entries.size()
        << " active=" << list->GetLong(MUIA_NList_Active, MUIV_NList_Active_Off) << '\n';
    for (std::size_t i = 0; i < entries.size(); ++i) {
        out << "entry " << name << ' ' << i << ' ' << QuoteText(entries[i]);
        if (pictures) {
            const LONG slot = SlotOfEntry(entries[i]);
            if (slot > 0) {
                out << " slot=" << slot;
                const auto& slots = list->imageSlots();
                const auto it = slots.find(slot);
                if (it == slots.end() || !it->second)
                    out << " picture=unbound";
                else
                    out << " picture=" << QuoteOrNone(mui::XGetString(it->second, MUIA_NBitmap_Normal));
            }
        }
        out << '\n';
    }
}

void DumpProject(std::ostream& out)
{
    Project* project = gProject.get();
    if (!project) {
        out << "project none\n";
        return;
    }
    out << "project name=" << QuoteText(project->projectName) << " croutons=" << project->numberOfCroutons
        << " parameters=" << project->parameters << " baudrate=" << project->baudrate << " fps=" << project->fps
        << '\n';
    LONG id = 0;
    for (const ListNode* node = project->croutons.get(); node; node = node->next.get(), ++id) {
        const Crouton* crouton = node->node.get();
        out << "crouton " << id << ' ' << QuoteOrNone(crouton ? crouton->name : std::nullopt)
            << " slot=" << GetCroutonImageSlot(crouton) << '\n';
    }
    if (gEditingCrouton)
        out << "editing " << GetCroutonIDInProject(project, gEditingCrouton) << ' '
            << QuoteOrNone(gEditingCrouton->name) << '\n';
    else
        out << "editing none\n";
}

// ---- long work -------------------------------------------------------------

// What the script driver keeps of long work: the cancel a script asked for,
// and how the last render ended.
struct ScriptWork {
    int cancelAtPiece = 0;  // cancel the next render when this piece starts; 0: none
    bool rendering = false; // the running work is a render
    std::string lastOutcome = "none";
    std::string lastMessage;
};

ScriptWork& Work()
{
    static ScriptWork work;
    return work;
}

WorkFace ScriptWorkFace()
{
    WorkFace face;
    face.begin = [](std::string_view title, int) { Work().rendering = title == "Rendering"; };
    face.step = [](int index, std::string_view) {
        ScriptWork& work = Work();
        if (work.rendering && work.cancelAtPiece > 0 && index == work.cancelAtPiece)
            CancelWork();
    };
    face.end = [](WorkOutcome outcome, std::string_view message) {
        ScriptWork& work = Work();
        if (!work.rendering)
            return;
        work.rendering = false;
        // A cancel is asked for the next render only.
        work.cancelAtPiece = 0;
        work.lastOutcome = outcome == WorkOutcome::Finished ? "finished"
                           : outcome == WorkOutcome::Failed ? "failed"
                                                            : "cancelled";
        work.lastMessage = std::string(message);
    };
    return face;
}

// ---- script lines --------------------------------------------------------

// Splits a line into words: blanks separate them, a word that begins with #
// starts a comment, texts in double quotes may hold blanks, \" and \\.
std::optional<std::vector<ScriptWord>> SplitLine(const std::string& line, std::string& problem)
{
    std::vector<ScriptWord> words;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        if (i >= line.size() || line[i] == '#')
            break;
        ScriptWord word;
        if (line[i] == '"') {
            word.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\'))
                    word.text += line[i++];
                else
                    word.text += c;
            }
            if (!closed) {
                problem = "unterminated text";
                return std::nullopt;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                word.text += line[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}


std::optional<ULONG> Break(ScriptLine& line)
{
    if (!line.Expect(0))
        return std::nullopt;
    return SIGBREAKF_CTRL_C;
}

// Cancels the next render when the piece counted from 1 starts.
std::optional<ULONG> CancelAtPiece(ScriptLine& line)
{
    if (!line.Expect(1))
        return std::nullopt;
    const auto piece = line.Number(1);
    if (!piece)
        return std::nullopt;
    if (*piece < 1) {
        line.Complain("cancel takes a piece number counted from 1");
        return std::nullopt;
    }
    Work().cancelAtPiece = static_cast<int>(*piece);
    return MUI_APPLICATION_SIGNAL;
}

std::optional<ULONG> Dump(ScriptLine& line)
{
    if (!line.Expect(0))
        return std::nullopt;
    DumpState(line.Out());
    return MUI_APPLICATION_SIGNAL;
}

const ScriptAction kDriverActions[] = {
    {"break", Break},
    {"cancel", CancelAtPiece},
    {"dump", Dump},
};

const std::span<const ScriptAction> kScriptActionTables[] = {
    ScriptInputActions(),
    ScriptDriverActions(),
    HistoryScriptActions(),
    PlayerScriptActions(),
    LookScriptActions(),
};

std::atomic<bool> gStopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

class ScriptRunner {
public:
    ScriptRunner(std::istream& script, std::ostream& out, std::ostream& errors)
        : script_(script), out_(out), errors_(errors)
    {
    }

    // One wait of the event loop: performs the next action.
    ULONG Step(ULONG signals)
    {
        const ULONG appSignal = (signals & ~SIGBREAKF_CTRL_C) ? (signals & ~SIGBREAKF_CTRL_C) : MUI_APPLICATION_SIGNAL;
        ReportUnmatchedAnswers();
        TellWaitingMessages();
        if (gStopRequested.load())
            return SIGBREAKF_CTRL_C;
        std::string line;
        while (std::getline(script_, line)) {
            ++lineNumber_;
            std::string problem;
            const auto words = SplitLine(line, problem);
            if (!words) {
                Complain(problem);
                continue;
            }
            if (words->empty())
                continue;
            const std::optional<ULONG> result = Perform(*words);
            if (result)
                return *result == SIGBREAKF_CTRL_C ? SIGBREAKF_CTRL_C : appSignal;
        }
        // The end of the script: the program shuts down its own way.
        return SIGBREAKF_CTRL_C;
    }

    // An answer that matched no button of its question is the line's fault,
    // told once the question has taken its fallback.
    void ReportUnmatchedAnswers()
    {
        for (const UnmatchedAnswer& unmatched : TakeUnmatchedAnswers()) {
            std::string buttons;
            for (const std::string& button : unmatched.buttons)
                buttons += (buttons.empty() ? "" : ", ") + QuoteText(button);
            errors_ << "script: line " << unmatched.origin << ": answer " << QuoteText(unmatched.answer)
                    << " matches no button of " << QuoteText(unmatched.title) << " (" << buttons << ")\n";
        }
    }

private:
    void Complain(const std::string& message) { errors_ << "script: line " << lineNumber_ << ": " << message << '\n'; }

    // The signal to answer with, or none when the line was refused (the next
    // line follows at once).
    std::optional<ULONG> Perform(const std::vector<ScriptWord>& words)
    {
        ScriptLine line(words, out_, errors_, lineNumber_);
        for (const std::span<const ScriptAction> table : ScriptActionTables())
            for (const ScriptAction& action : table)
                if (action.name == line.Action())
                    return action.perform(line);
        Complain("unknown action " + QuoteText(line.Action()));
        return std::nullopt;
    }

    std::istream& script_;
    std::ostream& out_;
    std::ostream& errors_;
    int lineNumber_ = 0;
};

} // namespace

// A text in double quotes; \ and " escaped, ESC as \e, other control
// characters as \n, \t or \xNN.
std::string QuoteText(std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            quoted += "\\\"";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        case '\x1b':
            quoted += "\\e";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\t':
            quoted += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                quoted += "\\x";
                quoted += kHex[byte >> 4];
                quoted += kHex[byte & 15];
            } else {
                quoted += c;
            }
        }
    }
    quoted += '"';
    return quoted;
}

ScriptLine::ScriptLine(const std::vector<ScriptWord>& words, std::ostream& out, std::ostream& errors, int lineNumber)
    : words_(words), out_(out), errors_(errors), lineNumber_(lineNumber)
{
}

void ScriptLine::Complain(const std::string& message)
{
    errors_ << "script: line " << lineNumber_ << ": " << message << '\n';
}

bool ScriptLine::Expect(std::size_t count)
{
    if (Arguments() == count)
        return true;
    Complain(Action() + " takes " + std::to_string(count) + (count == 1 ? " argument" : " arguments"));
    return false;
}

std::optional<ULONG> ScriptLine::Done(bool accepted, const std::string& what)
{
    if (!accepted) {
        Complain(what + " was ignored (missing, disabled, in a closed window or out of range)");
        return std::nullopt;
    }
    return MUI_APPLICATION_SIGNAL;
}

mui::Object* ScriptLine::Gadget(std::size_t i)
{
    const std::string& name = words_[i].text;
    const LONG slot = HexButtonFromName(name);
    if (slot < 0) {
        Complain("unknown gadget " + QuoteText(name));
        return nullptr;
    }
    mui::Object* gadget = gButtons[static_cast<std::size_t>(slot)];
    if (!gadget)
        Complain(name + " does not exist");
    return gadget;
}

mui::Object* ScriptLine::List(std::size_t i)
{
    const std::string& name = words_[i].text;
    if (name == "gCroutonList")
        return gCroutonList;
    if (name == "gVisualList")
        return gVisualList;
    Complain("unknown list " + QuoteText(name));
    return nullptr;
}

std::optional<LONG> ScriptLine::Number(std::size_t i)
{
    const auto value = ParseWhole(words_[i].text);
    if (!value)
        Complain(QuoteText(words_[i].text) + " is not a number");
    return value;
}

std::span<const ScriptAction> ScriptDriverActions() { return kDriverActions; }
std::span<const std::span<const ScriptAction>> ScriptActionTables() { return kScriptActionTables; }

void DumpState(std::ostream& out)
{
    out << "dump\n";
    for (LONG window = 0; window < NUMBER_OF_WINDOWS; ++window) {
        const mui::Object* object = gWindows[static_cast<std::size_t>(window)];
        out << "window " << WindowName(window);
        if (!object)
            out << " none\n";
        else
            out << ' ' << (mui::XGetLong(object, MUIA_Window_Open) ? "open" : "closed") << ' '
                << QuoteOrNone(mui::XGetString(object, MUIA_Window_Title)) << '\n';
    }
    DumpPlayer(out);
    for (LONG slot = 0; slot < ALL_BUTTON_SLOTS; ++slot)
        DumpGadget(out, slot);
    DumpList(out, "gCroutonList", gCroutonList, false);
    DumpList(out, "gVisualList", gVisualList, true);
    DumpProject(out);
    out << "render " << Work().lastOutcome << ' ' << QuoteText(Work().lastMessage) << '\n';
    // A plain look adds no line, so older scripts' dumps end as they did.
    if (gProject && !IsPlainLook(gProject->look))
        out << LookDumpLine(*gProject);
    out << "end\n";
    out.flush();
}

void StopScript() { gStopRequested.store(true); }

int RunScript(std::istream& script, std::ostream& out, std::ostream& errors)
{
    ScriptRunner runner(script, out, errors);
    Work() = ScriptWork{};
    ClearQuestionAnswers();
    ClearToldLog();
    SetWorkFace(ScriptWorkFace());
    SetWaitHook([&runner](ULONG signals) { return runner.Step(signals); });
    SetToolWaitHook([](ToolWait phase) {
        if (phase == ToolWait::Poll && gStopRequested.load())
            CancelWork();
    });
    const int result = ClipweaverMain();
    runner.ReportUnmatchedAnswers();
    SetToolWaitHook({});
    SetWaitHook({});
    SetWorkFace({});
    return result;
}

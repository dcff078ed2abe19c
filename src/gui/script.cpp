// The script driver: every wait of the event loop performs the next action of
// the script through the object model's user actions.
#include "gui/script.h"

#include "gui/main.h"
#include "gui/player_actions.h"
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

// A text in double quotes; \ and " escaped, ESC as \e, other control
// characters as \n, \t or \xNN.
std::string Quote(std::string_view text)
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

std::string QuoteOrNone(const std::optional<std::string>& text) { return text ? Quote(*text) : "none"; }

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
            out << ' ' << Quote(object->entries()[static_cast<std::size_t>(active)]);
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
        out << "entry " << name << ' ' << i << ' ' << Quote(entries[i]);
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
    out << "project name=" << Quote(project->projectName) << " croutons=" << project->numberOfCroutons
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

struct Word {
    std::string text;
    bool quoted = false;
};

// Splits a line into words: blanks separate them, a word that begins with #
// starts a comment, texts in double quotes may hold blanks, \" and \\.
std::optional<std::vector<Word>> SplitLine(const std::string& line, std::string& problem)
{
    std::vector<Word> words;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        if (i >= line.size() || line[i] == '#')
            break;
        Word word;
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

private:
    void Complain(const std::string& message) { errors_ << "script: line " << lineNumber_ << ": " << message << '\n'; }

    // The signal to answer with, or none when the line was refused (the next
    // line follows at once).
    std::optional<ULONG> Perform(const std::vector<Word>& words)
    {
        const std::string& action = words[0].text;
        const std::size_t arguments = words.size() - 1;
        auto expect = [&](std::size_t count) {
            if (arguments == count)
                return true;
            Complain(action + " takes " + std::to_string(count) + (count == 1 ? " argument" : " arguments"));
            return false;
        };
        auto done = [&](bool accepted, const std::string& what) -> std::optional<ULONG> {
            if (!accepted) {
                Complain(what + " was ignored (missing, disabled, in a closed window or out of range)");
                return std::nullopt;
            }
            return MUI_APPLICATION_SIGNAL;
        };

        if (action == "press") {
            if (!expect(1))
                return std::nullopt;
            mui::Object* gadget = Gadget(words[1].text);
            if (!gadget)
                return std::nullopt;
            // A file field's pop-up button asks its file requester.
            return done(mui::UserPress(gadget), "press " + words[1].text);
        }
        if (action == "type") {
            if (!expect(2))
                return std::nullopt;
            mui::Object* gadget = Gadget(words[1].text);
            if (!gadget)
                return std::nullopt;
            return done(mui::UserType(gadget, words[2].text), "type " + words[1].text);
        }
        if (action == "cycle" || action == "slider" || action == "radio") {
            if (!expect(2))
                return std::nullopt;
            mui::Object* gadget = Gadget(words[1].text);
            const auto value = Argument(words[2]);
            if (!gadget || !value)
                return std::nullopt;
            const bool accepted = action == "cycle"    ? mui::UserCycle(gadget, *value)
                                  : action == "slider" ? mui::UserSlide(gadget, *value)
                                                       : mui::UserRadio(gadget, *value);
            return done(accepted, action + " " + words[1].text);
        }
        if (action == "select" || action == "doubleclick") {
            if (!expect(2))
                return std::nullopt;
            mui::Object* list = List(words[1].text);
            const auto entry = Argument(words[2]);
            if (!list || !entry)
                return std::nullopt;
            const bool accepted =
                action == "select" ? mui::UserClick(list, *entry) : mui::UserDoubleClick(list, *entry);
            return done(accepted, action + " " + words[1].text);
        }
        if (action == "drag") {
            if (!expect(3))
                return std::nullopt;
            mui::Object* list = List(words[1].text);
            const auto from = Argument(words[2]);
            const auto to = Argument(words[3]);
            if (!list || !from || !to)
                return std::nullopt;
            // The click on the entry is handled before the drop, as a user's.
            return done(mui::UserDrag(list, *from, *to), "drag " + words[1].text);
        }
        if (action == "menu") {
            if (!expect(1))
                return std::nullopt;
#ifndef CLIPWEAVER_BASIC
            const LONG id = MenuFromName(words[1].text);
            if (id < 0) {
                Complain("unknown menu item " + Quote(words[1].text));
                return std::nullopt;
            }
            return done(mui::UserChooseMenu(mui::CurrentApplication(), id), "menu " + words[1].text);
#else
            Complain("this program has no menu");
            return std::nullopt;
#endif
        }
        if (action == "close") {
            if (!expect(1))
                return std::nullopt;
            const LONG window = WindowFromName(words[1].text);
            if (window < 0) {
                Complain("unknown window " + Quote(words[1].text));
                return std::nullopt;
            }
            return done(mui::UserCloseWindow(gWindows[static_cast<std::size_t>(window)]), "close " + words[1].text);
        }
        if (action == "undo" || action == "redo") {
            // As the Edit menu's items or their keys; ClipweaverBasic has
            // neither, so its scripts reach Undo and Redo this way.
            if (!expect(0))
                return std::nullopt;
            mui::Application_ReturnID(mui::CurrentApplication(), action == "undo" ? cUndoReturnID : cRedoReturnID);
            return MUI_APPLICATION_SIGNAL;
        }
        if (action == "break") {
            if (!expect(0))
                return std::nullopt;
            return SIGBREAKF_CTRL_C;
        }
        if (action == "requester") {
            if (arguments == 1 && !words[1].quoted && words[1].text == "cancel") {
                QueueAslAnswer(std::nullopt);
                return MUI_APPLICATION_SIGNAL;
            }
            if (arguments != 2) {
                Complain("requester takes \"drawer\" \"file\" or cancel");
                return std::nullopt;
            }
            QueueAslAnswer(AslAnswer{words[1].text, words[2].text});
            return MUI_APPLICATION_SIGNAL;
        }
        if (action == "cancel") {
            if (!expect(1))
                return std::nullopt;
            const auto piece = Argument(words[1]);
            if (!piece)
                return std::nullopt;
            if (*piece < 1) {
                Complain("cancel takes a piece number counted from 1");
                return std::nullopt;
            }
            Work().cancelAtPiece = static_cast<int>(*piece);
            return MUI_APPLICATION_SIGNAL;
        }
        if (action == "answer") {
            // The answer to the next question the program asks, by its
            // button's text ("Save") or its number counted from 0.
            if (!expect(1))
                return std::nullopt;
            QueueQuestionAnswer(words[1].text);
            return MUI_APPLICATION_SIGNAL;
        }
        if (action == "told") {
            // The questions and messages put to the user since the last "told".
            if (!expect(0))
                return std::nullopt;
            for (const Told& told : ToldLog())
                out_ << (told.question ? "question " : "message ") << Quote(told.title) << ' ' << Quote(told.text)
                     << (told.question ? " -> " + Quote(told.answer) : std::string()) << '\n';
            ClearToldLog();
            return MUI_APPLICATION_SIGNAL;
        }
        if (action == "dump") {
            if (!expect(0))
                return std::nullopt;
            DumpState(out_);
            return MUI_APPLICATION_SIGNAL;
        }
        if (action == "player" || action == "preview") {
            std::vector<std::string> texts;
            for (const Word& word : words)
                texts.push_back(word.text);
            if (const std::optional<std::string> complaint = PerformPlayerAction(texts)) {
                Complain(*complaint);
                return std::nullopt;
            }
            return MUI_APPLICATION_SIGNAL;
        }
        Complain("unknown action " + Quote(action));
        return std::nullopt;
    }

    mui::Object* Gadget(const std::string& name)
    {
        const LONG slot = HexButtonFromName(name);
        if (slot < 0) {
            Complain("unknown gadget " + Quote(name));
            return nullptr;
        }
        mui::Object* gadget = gButtons[static_cast<std::size_t>(slot)];
        if (!gadget)
            Complain(name + " does not exist");
        return gadget;
    }

    mui::Object* List(const std::string& name)
    {
        if (name == "gCroutonList")
            return gCroutonList;
        if (name == "gVisualList")
            return gVisualList;
        Complain("unknown list " + Quote(name));
        return nullptr;
    }

    std::optional<LONG> Argument(const Word& word)
    {
        const auto value = ParseWhole(word.text);
        if (!value)
            Complain(Quote(word.text) + " is not a number");
        return value;
    }

    std::istream& script_;
    std::ostream& out_;
    std::ostream& errors_;
    int lineNumber_ = 0;
};

} // namespace

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
    out << "render " << Work().lastOutcome << ' ' << Quote(Work().lastMessage) << '\n';
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
    SetToolWaitHook({});
    SetWaitHook({});
    SetWorkFace({});
    return result;
}

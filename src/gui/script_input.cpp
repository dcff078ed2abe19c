// The script actions a user's hands stand for: gadgets pressed, typed in,
// cycled and slid; list entries chosen and dragged; menu items; windows
// closed; and the answers to file requesters and questions.
#include "gui/script_actions.h"

#include "gui/vocabulary.h"
#include "os/asl.h"
#include "os/question.h"

namespace {

// A file field's pop-up button asks its file requester.
std::optional<ULONG> Press(ScriptLine& line)
{
    if (!line.Expect(1))
        return std::nullopt;
    mui::Object* gadget = line.Gadget(1);
    if (!gadget)
        return std::nullopt;
    return line.Done(mui::UserPress(gadget), "press " + line.Word(1).text);
}

std::optional<ULONG> Type(ScriptLine& line)
{
    if (!line.Expect(2))
        return std::nullopt;
    mui::Object* gadget = line.Gadget(1);
    if (!gadget)
        return std::nullopt;
    return line.Done(mui::UserType(gadget, line.Word(2).text), "type " + line.Word(1).text);
}

// A gadget given a number: a cycle's entry, a slider's value, a radio's
// button; or a list's entry clicked once or twice.
template <mui::Object* (ScriptLine::*Find)(std::size_t), bool (*UserAct)(mui::Object*, LONG)>
std::optional<ULONG> GiveNumber(ScriptLine& line)
{
    if (!line.Expect(2))
        return std::nullopt;
    mui::Object* object = (line.*Find)(1);
    const auto value = line.Number(2);
    if (!object || !value)
        return std::nullopt;
    return line.Done(UserAct(object, *value), line.Action() + " " + line.Word(1).text);
}

// The click on the entry is handled before the drop, as a user's.
std::optional<ULONG> Drag(ScriptLine& line)
{
    if (!line.Expect(3))
        return std::nullopt;
    mui::Object* list = line.List(1);
    const auto from = line.Number(2);
    const auto to = line.Number(3);
    if (!list || !from || !to)
        return std::nullopt;
    return line.Done(mui::UserDrag(list, *from, *to), "drag " + line.Word(1).text);
}

std::optional<ULONG> Menu(ScriptLine& line)
{
    if (!line.Expect(1))
        return std::nullopt;
#ifndef CLIPWEAVER_BASIC
    const LONG id = MenuFromName(line.Word(1).text);
    if (id < 0) {
        line.Complain("unknown menu item " + QuoteText(line.Word(1).text));
        return std::nullopt;
    }
    return line.Done(mui::UserChooseMenu(mui::CurrentApplication(), id), "menu " + line.Word(1).text);
#else
    line.Complain("this program has no menu");
    return std::nullopt;
#endif
}

std::optional<ULONG> Close(ScriptLine& line)
{
    if (!line.Expect(1))
        return std::nullopt;
    const LONG window = WindowFromName(line.Word(1).text);
    if (window < 0) {
        line.Complain("unknown window " + QuoteText(line.Word(1).text));
        return std::nullopt;
    }
    return line.Done(mui::UserCloseWindow(gWindows[static_cast<std::size_t>(window)]), "close " + line.Word(1).text);
}

std::optional<ULONG> Requester(ScriptLine& line)
{
    if (line.Arguments() == 1 && !line.Word(1).quoted && line.Word(1).text == "cancel") {
        QueueAslAnswer(std::nullopt);
        return MUI_APPLICATION_SIGNAL;
    }
    if (line.Arguments() != 2) {
        line.Complain("requester takes \"drawer\" \"file\" or cancel");
        return std::nullopt;
    }
    QueueAslAnswer(AslAnswer{line.Word(1).text, line.Word(2).text});
    return MUI_APPLICATION_SIGNAL;
}

// The answer to the next question the program asks, by its button's text
// ("Save") or its number counted from 0.
std::optional<ULONG> Answer(ScriptLine& line)
{
    if (!line.Expect(1))
        return std::nullopt;
    QueueQuestionAnswer(line.Word(1).text, line.LineNumber());
    return MUI_APPLICATION_SIGNAL;
}

// The questions and messages put to the user since the last "told".
std::optional<ULONG> Told(ScriptLine& line)
{
    if (!line.Expect(0))
        return std::nullopt;
    for (const ::Told& told : ToldLog())
        line.Out() << (told.question ? "question " : "message ") << QuoteText(told.title) << ' '
                   << QuoteText(told.text) << (told.question ? " -> " + QuoteText(told.answer) : std::string())
                   << '\n';
    ClearToldLog();
    return MUI_APPLICATION_SIGNAL;
}

const ScriptAction kActions[] = {
    {"press", Press},
    {"type", Type},
    {"cycle", GiveNumber<&ScriptLine::Gadget, mui::UserCycle>},
    {"slider", GiveNumber<&ScriptLine::Gadget, mui::UserSlide>},
    {"radio", GiveNumber<&ScriptLine::Gadget, mui::UserRadio>},
    {"select", GiveNumber<&ScriptLine::List, mui::UserClick>},
    {"doubleclick", GiveNumber<&ScriptLine::List, mui::UserDoubleClick>},
    {"drag", Drag},
    {"menu", Menu},
    {"close", Close},
    {"requester", Requester},
    {"answer", Answer},
    {"told", Told},
};

} // namespace

std::span<const ScriptAction> ScriptInputActions() { return kActions; }

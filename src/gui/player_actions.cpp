// The player in the program: its ties to the project, the crouton list and
// the editor, and the script driver's actions on it.
#include "gui/player_actions.h"

#include "gui/editor.h"
#include "gui/loop.h"
#include "gui/script_actions.h"
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "media/player.h"
#include "media/player_media.h"
#include "model/project_view.h"
#include "model/render_preview.h"
#include "os/dos.h"
#include "os/format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <utility>

namespace {

LONG gHighlighted = -1; // the crouton list entry the preview last chose

// What a rendered preview is made from: when any of it changes, it is made
// again.
struct MadeFrom {
    std::string sources; // the croutons' stretches, as a plain preview plays them
    std::vector<std::pair<std::string, std::string>> options;
    int width = 0;
    int height = 0;
    double fps = 0;
    LONG baudrate = 0;
    std::string output;
    std::string soundtrack;
    std::optional<std::string> customFps;
    ProjectLook look;
    std::vector<CroutonLook> looks;
    std::vector<std::string> names; // a title without a text of its own shows its crouton's name
    bool operator==(const MadeFrom&) const = default;
};

MadeFrom InputsOf(const Project& project, const PlayerMedia& plain)
{
    const std::optional<ProjectSettings> shown = ShownSettings();
    MadeFrom inputs{plain.url + plain.problem, plain.options, plain.width, plain.height, plain.fps,
                         project.baudrate, ShownText(&ProjectSettings::outputFileName),
                         ShownText(&ProjectSettings::soundtrack),
                         shown ? shown->typedCustomFPS : std::nullopt, project.look, {}, {}};
    for (const ListNode* node = project.croutons.get(); node; node = node->next.get()) {
        inputs.looks.push_back(node->node ? node->node->look : CroutonLook{});
        inputs.names.push_back(node->node ? node->node->name.value_or("") : std::string());
    }
    return inputs;
}

// A preview rendered in the background, for a project whose look needs it;
// what it was made from; the text the player shows meanwhile.
std::unique_ptr<PreviewRender> gMaking;
MadeFrom gMadeFrom;
double gResumeAt = 0; // where a preview made again goes on, and whether it played
bool gResumePlaying = false;

std::string MakingText(double progress)
{
    return "Making the preview\u2026 " + std::to_string(static_cast<int>(std::floor(progress * 100))) + " %";
}

// The rendered preview as the player plays it: its crouton starts are the
// pieces' lengths less the joins' overlaps.
PlayerMedia MadeMedia(const Project& project, const PreviewRender& made, double start)
{
    PlayerMedia media;
    media.preview = true;
    media.shownName = project.projectName;
    std::tie(media.width, media.height) = OutputFrameSize(project);
    media.fps = ProjectMedia(project).fps;
    if (!made.Problem().empty()) {
        media.problem = made.Problem();
        return media;
    }
    media.url = made.File();
    media.joins = made.Starts();
    media.croutons = made.Positions();
    media.end = made.Length();
    media.start = std::clamp(start, 0.0, media.end);
    return media;
}

// The making moved on or ended: the player says how far, or plays it.
void MakingMoved()
{
    if (!gMaking || !gProject || !PlayerIsOpen() || !PlayerCurrent().preview)
        return;
    if (!gMaking->Done()) {
        PlayerTell(MakingText(gMaking->Progress()));
        return;
    }
    PlayerMedia made = MadeMedia(*gProject, *gMaking, gResumeAt);
    const PlayerMedia& playing = PlayerCurrentMedia();
    if (made.url == playing.url && made.problem == playing.problem)
        return; // already shown
    const bool play = std::exchange(gResumePlaying, false) && made.problem.empty();
    PlayerOpen(std::move(made));
    if (play)
        PlayerSetPlaying(true);
}

// Makes the preview of a project that needs rendering, in the background
// where a face posts to the loop, else (a script) waiting for it.
void MakePreview(const MadeFrom& inputs)
{
    gMaking.reset();
    gMadeFrom = inputs;
    const bool again = PlayerIsOpen() && PlayerCurrent().preview;
    gResumeAt = again ? PlayerCurrent().position : 0.0;
    gResumePlaying = again && PlayerCurrent().playing;
    PlayerMedia making;
    making.preview = true;
    making.shownName = gProject->projectName;
    std::tie(making.width, making.height) = OutputFrameSize(*gProject);
    making.problem = MakingText(0.0);
    PlayerOpen(std::move(making));
    std::function<void()> wake;
    if (auto post = PlayerPoster())
        wake = [post] { post(MakingMoved); };
    gMaking = std::make_unique<PreviewRender>(*gProject, std::move(wake));
    if (!PlayerPoster())
        gMaking->Wait();
    MakingMoved();
}

// The preview's crouton is chosen in the list, quietly: the list does not
// ask the player to jump to where it already is.
void FollowPreview(const PlayerState& state)
{
    if (!state.open) {
        gHighlighted = -1;
        // Closing the player ends a making that has not ended.
        if (gMaking && !gMaking->Done())
            gMaking.reset();
        return;
    }
    if (!state.preview || state.crouton < 0 || state.crouton == gHighlighted || !gCroutonList)
        return;
    gHighlighted = state.crouton;
    mui::nnset(gCroutonList, MUIA_NList_Active, LONG{state.crouton});
}

// Where crouton `position` begins in the preview; none when it plays no
// stretch.
std::optional<double> JoinOf(LONG position)
{
    const PlayerMedia& media = PlayerCurrentMedia();
    for (std::size_t i = 0; i < media.croutons.size(); ++i)
        if (media.croutons[i] == position)
            return media.joins[i];
    return std::nullopt;
}

// The project changed under a preview: it plays the new one from where it
// was.
void RefreshPreview()
{
    PlayerMedia media = ProjectMedia(*gProject);
    if (PreviewNeedsRender(*gProject)) {
        const MadeFrom inputs = InputsOf(*gProject, media);
        if (!gMaking || !(inputs == gMadeFrom))
            MakePreview(inputs);
        return;
    }
    gMaking.reset();
    const PlayerMedia& playing = PlayerCurrentMedia();
    if (media.url == playing.url && media.problem == playing.problem && media.options == playing.options
        && media.width == playing.width && media.height == playing.height)
        return;
    const double position = PlayerCurrent().position;
    const bool wasPlaying = PlayerCurrent().playing;
    media.start = std::clamp(position, 0.0, std::max(0.0, media.end));
    PlayerOpen(std::move(media));
    PlayerSetPlaying(wasPlaying);
}

bool EditorOpen()
{
    return gEditingCrouton && gWindows[WINDOW_CROUTONEDITOR]
           && mui::XGetLong(gWindows[WINDOW_CROUTONEDITOR], MUIA_Window_Open);
}

std::string Seconds(double value) { return Format("%.3f", value); }

std::optional<double> Number(const std::string& text)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value))
        return std::nullopt;
    return value;
}

using Words = std::vector<std::string>;
// One "player" action: its argument count and what it does; the complaint
// when it could not be done.
struct PlayerAction {
    std::size_t arguments;
    std::function<std::optional<std::string>(const Words&)> run;
};

std::optional<std::string> WithNumber(const std::string& text, const std::function<void(double)>& run)
{
    const std::optional<double> value = Number(text);
    if (!value)
        return "\"" + text + "\" is not a number";
    run(*value);
    PlayerSettle();
    return std::nullopt;
}

const std::map<std::string, PlayerAction>& PlayerActions()
{
    static const std::map<std::string, PlayerAction> actions = {
        {"seek", {1, [](const Words& w) { return WithNumber(w[2], PlayerSeek); }}},
        {"step", {1, [](const Words& w) {
             return WithNumber(w[2], [](double n) { PlayerStep(std::lround(n)); });
         }}},
        {"play", {1, [](const Words& w) { return WithNumber(w[2], PlayerPlayFor); }}},
        {"pause", {0, [](const Words&) -> std::optional<std::string> {
             PlayerSetPlaying(false);
             PlayerSettle();
             return std::nullopt;
         }}},
        {"mark", {1, [](const Words& w) -> std::optional<std::string> {
             if (w[2] != "start" && w[2] != "end")
                 return "player mark takes start or end";
             if (PlayerCurrent().preview || !EditorOpen())
                 return "player mark needs a crouton's player beside its editor";
             PlayerMark(w[2] == "end");
             return std::nullopt;
         }}},
        {"frame", {1, [](const Words& w) -> std::optional<std::string> {
             const std::string file = HostPath(w[2]).value_or(w[2]);
             if (!PlayerWriteFrame(file))
                 return "no frame to write to " + w[2];
             return std::nullopt;
         }}},
        {"close", {0, [](const Words&) -> std::optional<std::string> {
             PlayerClose();
             return std::nullopt;
         }}},
    };
    return actions;
}

} // namespace

void PreviewProject()
{
    if (!gProject)
        return;
    PlayerMedia media = ProjectMedia(*gProject);
    if (PreviewNeedsRender(*gProject)) {
        const MadeFrom inputs = InputsOf(*gProject, media);
        // A preview made of the same project is played again.
        if (gMaking && gMaking->Done() && gMaking->Problem().empty() && inputs == gMadeFrom)
            PlayerOpen(MadeMedia(*gProject, *gMaking, 0.0));
        else
            MakePreview(inputs);
        return;
    }
    gMaking.reset();
    PlayerOpen(std::move(media));
}

void PlayerBeforeEvent(LONG id)
{
    if (gProject)
        SetPlayerOutputFrame(OutputFrameSize(*gProject));
#ifndef CLIPWEAVER_BASIC
    const bool render = id == GADMSG_MAIN_RENDER || id == MEN_RENDER;
#else
    const bool render = id == GADMSG_MAIN_RENDER;
#endif
    if (!render)
        return;
    // The preview's making uses the tools' store of pieces: it ends before
    // a render begins.
    gMaking.reset();
    if (!PlayerIsOpen())
        return;
    if (PlayerCurrent().preview)
        PlayerClose();
    else
        PlayerSetPlaying(false);
}

void PlayerAfterEvent(LONG id)
{
    SetPlayerListener(FollowPreview);
    if (id == 0 || !PlayerIsOpen())
        return;
    if (!PlayerCurrent().preview) {
        if (!EditorOpen())
            PlayerClose();
        return;
    }
    if (!gProject) {
        PlayerClose();
        return;
    }
    if (id == GADMSG_MAIN_SELECTCROUTON || id == GADMSG_MAIN_SELECTVISUAL) {
        const LONG chosen = mui::XGetLong(gCroutonList, MUIA_NList_Active);
        if (chosen != PlayerCurrent().crouton)
            if (const std::optional<double> join = JoinOf(chosen)) {
                gHighlighted = chosen;
                PlayerSeek(*join);
            }
        return;
    }
    RefreshPreview();
}

void PlayerMark(bool isEnd)
{
    if (!PlayerIsOpen() || PlayerCurrent().preview || !gEditingCrouton)
        return;
    CroutonEditor_SetTrimSeconds(isEnd, PlayerCurrent().position);
}

void PlayerQuit()
{
    gMaking.reset();
    PlayerClose();
    SetPlayerListener({});
}

std::optional<std::string> PerformPlayerAction(const std::vector<std::string>& words)
{
    if (words[0] == "preview") {
        if (words.size() != 1)
            return "preview takes 0 arguments";
        mui::Application_ReturnID(mui::CurrentApplication(), GADMSG_MAIN_PREVIEW);
        return std::nullopt;
    }
    if (words.size() < 2)
        return "player takes an action: seek, step, play, pause, mark, frame or close";
    const auto found = PlayerActions().find(words[1]);
    if (found == PlayerActions().end())
        return "unknown player action \"" + words[1] + "\"";
    if (words.size() != found->second.arguments + 2)
        return "player " + words[1] + " takes " + std::to_string(found->second.arguments)
               + (found->second.arguments == 1 ? " argument" : " arguments");
    if (!PlayerIsOpen())
        return "player " + words[1] + ": the player is not open";
    PlayerSettle();
    return found->second.run(words);
}

void DumpPlayer(std::ostream& out)
{
    PlayerSettle();
    const PlayerState& state = PlayerCurrent();
    out << "player " << (state.open ? "open" : "closed") << " file=" << QuoteText(state.file)
        << " position=" << Seconds(state.position) << " frame=" << state.frame << " playing=" << (state.playing ? 1 : 0)
        << " start=" << Seconds(state.start) << " end=" << Seconds(state.end) << " crouton=" << state.crouton;
    if (!state.problem.empty())
        out << " problem=" << QuoteText(state.problem);
    out << '\n';
}

namespace {

void PreviewFromLoop(LoopState&, LONG) { PreviewProject(); }

const ReturnIdRow kPlayerRows[] = {
    {GADMSG_MAIN_PREVIEW, PreviewFromLoop},
#ifndef CLIPWEAVER_BASIC
    {MEN_PREVIEW_PROJECT, PreviewFromLoop},
#endif
};

// "player ..." and "preview" lines: the words as typed, the action first.
std::optional<ULONG> PlayerLine(ScriptLine& line)
{
    std::vector<std::string> texts;
    for (std::size_t i = 0; i <= line.Arguments(); ++i)
        texts.push_back(line.Word(i).text);
    if (const std::optional<std::string> complaint = PerformPlayerAction(texts)) {
        line.Complain(*complaint);
        return std::nullopt;
    }
    return MUI_APPLICATION_SIGNAL;
}

const ScriptAction kPlayerActions[] = {
    {"player", PlayerLine},
    {"preview", PlayerLine},
};

} // namespace

std::span<const ReturnIdRow> PlayerReturnIds() { return kPlayerRows; }
std::span<const ScriptAction> PlayerScriptActions() { return kPlayerActions; }

// The player's mpv client. mpv decodes and times playback on its own
// threads; its two callbacks (events waiting, a frame waiting) only note
// what came, wake a script's wait and post one pump to the view's loop.
// The pump, on the program's thread, is the only caller of mpv besides the
// controls, so no lock is held while mpv works.
#include "media/player.h"

#include "os/format.h"


#include <mpv/client.h>
#include <mpv/render.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>

namespace {

// What mpv's threads raise, shared with the posted pumps (which may run
// after the player they were posted for has gone).
struct Signals : std::enable_shared_from_this<Signals> {
    std::mutex mutex;
    std::condition_variable raised;
    bool events = false;
    bool frame = false;
    std::atomic<bool> posted{false};
    std::function<void(std::function<void()>)> post;

    void Raise(bool isFrame)
    {
        {
            const std::lock_guard lock(mutex);
            (isFrame ? frame : events) = true;
        }
        raised.notify_all();
        if (post && !posted.exchange(true))
            post([keep = shared_from_this()] {
                keep->posted.store(false);
                PlayerPump();
            });
    }
};

extern "C" void OnWakeup(void* signals) { static_cast<Signals*>(signals)->Raise(false); }
extern "C" void OnUpdate(void* signals) { static_cast<Signals*>(signals)->Raise(true); }

using Clock = std::chrono::steady_clock;

struct Player {
    std::shared_ptr<Signals> signals = std::make_shared<Signals>();
    mpv_handle* mpv = nullptr;
    mpv_render_context* render = nullptr;
    PlayerMedia media;
    PlayerState state;
    PlayerFrame frame;
    bool loaded = false;         // the file has started (or failed)
    bool seeking = false;        // a seek is on its way
    std::optional<Clock::time_point> restartedAt; // the last seek arrived then
    std::optional<double> stopAt; // PlayerPlayFor's end

    Player() = default;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;
    // The render context goes first: after it no callback comes.
    ~Player()
    {
        if (render)
            mpv_render_context_free(render);
        if (mpv) {
            mpv_set_wakeup_callback(mpv, nullptr, nullptr);
            mpv_terminate_destroy(mpv);
        }
    }
};

std::unique_ptr<Player> gPlayer;
PlayerFace gFace;
std::function<void(const PlayerState&)> gListener;
const PlayerState kClosed;
const PlayerMedia kNoMedia;

std::string Number(double value) { return Format("%.6f", value); }

void Command(std::initializer_list<std::string> words)
{
    if (!gPlayer || !gPlayer->mpv)
        return;
    std::vector<const char*> args;
    for (const std::string& word : words)
        args.push_back(word.c_str());
    args.push_back(nullptr);
    mpv_command(gPlayer->mpv, args.data());
}

long FrameAt(double seconds, double fps) { return static_cast<long>(std::floor(seconds * fps + 1e-6)); }

// Frames are counted at the media's rate; a video's own rate comes from
// mpv once the file is open.
double Rate(const PlayerMedia& media) { return media.fps > 0.0 ? media.fps : 25.0; }

int CroutonAt(const PlayerMedia& media, double position)
{
    int crouton = -1;
    for (std::size_t i = 0; i < media.joins.size(); ++i)
        if (position + 1e-6 >= media.joins[i])
            crouton = media.croutons[i];
    return crouton;
}

void Notify()
{
    if (gListener && gPlayer)
        gListener(gPlayer->state);
    if (gFace.changed)
        gFace.changed();
}

// The position moved: the frame count, the crouton playing, and the stop a
// play or the stretch's end asks for.
void Moved(Player& player, double position)
{
    player.state.position = position;
    player.state.frame = FrameAt(position, Rate(player.media));
    player.state.crouton = CroutonAt(player.media, position);
    if (!player.state.playing)
        return;
    if (player.stopAt && position + 1e-6 >= *player.stopAt) {
        const double at = *player.stopAt;
        player.stopAt.reset();
        PlayerSetPlaying(false);
        PlayerSeek(at);
    } else if (!player.media.preview && position + 1e-6 >= player.media.end && player.media.end > player.media.start) {
        if (player.state.loop) {
            PlayerSeek(player.media.start);
        } else {
            PlayerSetPlaying(false);
            PlayerSeek(player.media.end);
        }
    }
}

void PropertyChanged(Player& player, const mpv_event_property& property)
{
    const std::string name = property.name;
    if (property.format == MPV_FORMAT_DOUBLE) {
        const double value = *static_cast<double*>(property.data);
        if (name == "time-pos")
            Moved(player, value);
        else if (name == "duration")
            player.state.duration = value;
        else if (name == "volume")
            player.state.volume = value;
        else if (name == "container-fps" && player.media.fps <= 0.0 && value > 0.0) {
            player.media.fps = value;
            player.state.frame = FrameAt(player.state.position, value);
        }
    } else if (property.format == MPV_FORMAT_FLAG) {
        const bool value = *static_cast<int*>(property.data) != 0;
        if (name == "pause")
            player.state.playing = !value;
        else if (name == "mute")
            player.state.mute = value;
        else if (name == "eof-reached" && value)
            player.state.playing = false;
    }
}

void Ended(Player& player, const mpv_event_end_file& end)
{
    player.loaded = true;
    player.seeking = false;
    if (end.reason != MPV_END_FILE_REASON_ERROR)
        return;
    player.state.problem = "The player cannot open " + player.media.shownName + ": " + mpv_error_string(end.error) + ".";
}

void HandleEvent(Player& player, const mpv_event& event)
{
    switch (event.event_id) {
    case MPV_EVENT_PROPERTY_CHANGE:
        PropertyChanged(player, *static_cast<mpv_event_property*>(event.data));
        break;
    case MPV_EVENT_FILE_LOADED:
        player.loaded = true;
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        player.seeking = false;
        player.restartedAt = Clock::now();
        break;
    case MPV_EVENT_END_FILE:
        Ended(player, *static_cast<mpv_event_end_file*>(event.data));
        break;
    default:
        break;
    }
}

void Draw(Player& player)
{
    PlayerFrame& frame = player.frame;
    frame.width = player.media.width;
    frame.height = player.media.height;
    frame.pixels.resize(static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height) * 4);
    int size[2] = {frame.width, frame.height};
    std::size_t stride = static_cast<std::size_t>(frame.width) * 4;
    char format[] = "bgr0";
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                                 {MPV_RENDER_PARAM_SW_FORMAT, format},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, frame.pixels.data()},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_render(player.render, params) >= 0)
        player.state.frameShown = true;
}

// Takes what the callbacks raised; true when anything came.
bool Drain(Player& player)
{
    bool events = false;
    bool frame = false;
    {
        const std::lock_guard lock(player.signals->mutex);
        std::swap(events, player.signals->events);
        std::swap(frame, player.signals->frame);
    }
    if (events) {
        for (;;) {
            const mpv_event* event = mpv_wait_event(player.mpv, 0);
            if (event->event_id == MPV_EVENT_NONE)
                break;
            HandleEvent(player, *event);
            if (!gPlayer)
                return true;
        }
    }
    if (frame && (mpv_render_context_update(player.render) & MPV_RENDER_UPDATE_FRAME))
        Draw(player);
    return events || frame;
}

void SetOptions(mpv_handle* mpv, const PlayerMedia& media)
{
    const std::pair<const char*, std::string> options[] = {
        {"vo", "libmpv"},          {"ao", SoundDeviceAvailable() ? "pulse,alsa,null" : "null"},
        {"terminal", "no"},        {"config", "no"},
        {"input-default-bindings", "no"}, {"osc", "no"},
        {"load-scripts", "no"},    {"ytdl", "no"},
        {"pause", "yes"},          {"keep-open", "always"},
        {"hr-seek", "yes"},        {"idle", "yes"},
        {"audio-display", "no"},   {"hwdec", "no"},
        {"start", Number(media.start)},
        // mpv's software renderer aborts the whole program on a picture
        // stored turned (a telephone's upright clip): the turn is left
        // to a filter of the media's own (player_media.cpp).
        {"video-rotate", "no"},
    };
    for (const auto& [name, value] : options)
        mpv_set_option_string(mpv, name, value.c_str());
    for (const auto& [name, value] : media.options)
        mpv_set_option_string(mpv, name.c_str(), value.c_str());
}

// mpv and its software renderer, or the reason there is none.
std::string Start(Player& player)
{
    player.mpv = mpv_create();
    if (!player.mpv)
        return "The player could not be started.";
    SetOptions(player.mpv, player.media);
    if (mpv_initialize(player.mpv) < 0)
        return "The player could not be started.";
    char api[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, api}, {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&player.render, player.mpv, params) < 0)
        return "The player cannot draw frames.";
    for (const char* name : {"time-pos", "duration", "volume", "container-fps"})
        mpv_observe_property(player.mpv, 0, name, MPV_FORMAT_DOUBLE);
    for (const char* name : {"pause", "mute", "eof-reached"})
        mpv_observe_property(player.mpv, 0, name, MPV_FORMAT_FLAG);
    mpv_set_wakeup_callback(player.mpv, OnWakeup, player.signals.get());
    mpv_render_context_set_update_callback(player.render, OnUpdate, player.signals.get());
    player.seeking = true;
    const char* load[] = {"loadfile", player.media.url.c_str(), nullptr};
    mpv_command(player.mpv, load);
    return {};
}

} // namespace

void SetPlayerFace(PlayerFace face) { gFace = std::move(face); }
void SetPlayerListener(std::function<void(const PlayerState&)> listener) { gListener = std::move(listener); }

void PlayerOpen(PlayerMedia media)
{
    PlayerClose();
    auto player = std::make_unique<Player>();
    player->signals->post = gFace.post;
    player->media = std::move(media);
    PlayerState& state = player->state;
    state.open = true;
    state.preview = player->media.preview;
    state.file = player->media.shownName;
    state.start = player->media.start;
    state.end = player->media.end;
    state.position = player->media.start;
    state.frame = FrameAt(state.position, Rate(player->media));
    state.crouton = CroutonAt(player->media, state.position);
    state.problem = player->media.problem;
    if (state.problem.empty())
        state.problem = Start(*player);
    // A problem is told in the player's window (and the dump), not in the
    // trace, which stays what "_Run MPlayer" always wrote.
    if (!state.problem.empty()) {
        player->loaded = true;
        player->seeking = false;
    }
    gPlayer = std::move(player);
    if (gFace.opened)
        gFace.opened();
    Notify();
}

void PlayerClose()
{
    if (!gPlayer)
        return;
    gPlayer.reset();
    if (gFace.closed)
        gFace.closed();
    if (gListener)
        gListener(kClosed);
}

std::function<void(std::function<void()>)> PlayerPoster() { return gFace.post; }

void PlayerTell(const std::string& text)
{
    if (!gPlayer || gPlayer->mpv || gPlayer->state.problem == text)
        return;
    gPlayer->state.problem = text;
    Notify();
}

bool PlayerIsOpen() { return gPlayer != nullptr; }
const PlayerState& PlayerCurrent() { return gPlayer ? gPlayer->state : kClosed; }
const PlayerMedia& PlayerCurrentMedia() { return gPlayer ? gPlayer->media : kNoMedia; }

void PlayerPump()
{
    if (!gPlayer || !gPlayer->mpv)
        return;
    if (Drain(*gPlayer))
        Notify();
}

void PlayerSeek(double seconds)
{
    if (!gPlayer || !gPlayer->mpv)
        return;
    const double fps = Rate(gPlayer->media);
    const long frame = std::max(0L, FrameAt(seconds, fps));
    const double at = static_cast<double>(frame) / fps;
    gPlayer->seeking = true;
    gPlayer->restartedAt.reset();
    gPlayer->state.position = at;
    gPlayer->state.frame = frame;
    Command({"seek", Number(at), "absolute+exact"});
}

void PlayerStep(long frames)
{
    if (!gPlayer)
        return;
    PlayerSeek(static_cast<double>(gPlayer->state.frame + frames) / Rate(gPlayer->media));
}

void PlayerSetPlaying(bool playing)
{
    if (!gPlayer || !gPlayer->mpv)
        return;
    // Playing on from a crouton's end starts the stretch again.
    if (playing && !gPlayer->media.preview && gPlayer->state.position + 1e-6 >= gPlayer->media.end
        && gPlayer->media.end > gPlayer->media.start)
        PlayerSeek(gPlayer->media.start);
    gPlayer->state.playing = playing;
    Command({"set", "pause", playing ? "no" : "yes"});
}

void PlayerSetLoop(bool loop)
{
    if (gPlayer)
        gPlayer->state.loop = loop;
}

void PlayerSetVolume(double volume)
{
    Command({"set", "volume", Number(std::clamp(volume, 0.0, 130.0))});
}

std::optional<double> PlayerProperty(const char* name)
{
    double value = 0.0;
    if (!gPlayer || !gPlayer->mpv || mpv_get_property(gPlayer->mpv, name, MPV_FORMAT_DOUBLE, &value) < 0)
        return std::nullopt;
    return value;
}

void PlayerSetMute(bool mute) { Command({"set", "mute", mute ? "yes" : "no"}); }

namespace {

// Waits for mpv's next signal, or `most` at the longest.
void WaitForSignal(Player& player, std::chrono::milliseconds most)
{
    std::unique_lock lock(player.signals->mutex);
    player.signals->raised.wait_for(lock, most, [&] { return player.signals->events || player.signals->frame; });
}

// A settled player has its seek behind it and has drawn what it shows; a
// frame that reached the renderer just before the seek's news is drawn
// again after a short wait.
bool Settled(const Player& player)
{
    if (player.seeking || !player.loaded || player.stopAt)
        return false;
    if (!player.restartedAt)
        return true;
    return Clock::now() - *player.restartedAt > std::chrono::milliseconds(150);
}

} // namespace

void PlayerSettle()
{
    const auto giveUp = Clock::now() + std::chrono::seconds(20);
    while (gPlayer && gPlayer->mpv && !Settled(*gPlayer) && Clock::now() < giveUp) {
        WaitForSignal(*gPlayer, std::chrono::milliseconds(20));
        PlayerPump();
        if (gPlayer && gPlayer->state.problem.size())
            return;
    }
    if (!gPlayer || !gPlayer->mpv || gPlayer->state.problem.size())
        return;
    gPlayer->restartedAt.reset();
    mpv_render_context_update(gPlayer->render);
    Draw(*gPlayer);
    Notify();
}

void PlayerPlayFor(double seconds)
{
    PlayerSettle();
    if (!gPlayer || !gPlayer->mpv)
        return;
    gPlayer->stopAt = gPlayer->state.position + std::max(0.0, seconds);
    PlayerSetPlaying(true);
    const auto giveUp = Clock::now() + std::chrono::duration<double>(seconds * 4 + 20);
    while (gPlayer && gPlayer->stopAt && gPlayer->state.playing && Clock::now() < giveUp) {
        WaitForSignal(*gPlayer, std::chrono::milliseconds(20));
        PlayerPump();
    }
    // The media's end came first, or the wait gave up: stop where asked.
    if (gPlayer && gPlayer->stopAt) {
        const double at = *gPlayer->stopAt;
        gPlayer->stopAt.reset();
        PlayerSetPlaying(false);
        PlayerSeek(at);
    }
    PlayerSettle();
}

const PlayerFrame& PlayerLastFrame()
{
    static const PlayerFrame none;
    return gPlayer ? gPlayer->frame : none;
}

bool PlayerWriteFrame(const std::string& hostFile)
{
    const PlayerFrame& frame = PlayerLastFrame();
    return !frame.pixels.empty() && WritePng(hostFile, frame);
}

std::string PlayerTimeText(double seconds)
{
    const long long millis = std::llround(std::max(0.0, seconds) * 1000.0);
    return Format("%lld:%02lld:%02lld.%03lld", millis / 3600000, millis / 60000 % 60, millis / 1000 % 60,
                  millis % 1000);
}

bool SoundDeviceAvailable()
{
    std::error_code error;
    if (std::getenv("PULSE_SERVER"))
        return true;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
        const std::string folder = runtime;
        if (std::filesystem::exists(folder + "/pulse/native", error) || std::filesystem::exists(folder + "/pipewire-0", error))
            return true;
    }
    return std::filesystem::exists("/dev/snd", error);
}

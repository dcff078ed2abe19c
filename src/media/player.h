// Clipweaver's own player: one mpv client that decodes on threads of its
// own and a frame source drawn by mpv's software renderer. It knows no
// window: mpv's callbacks only post to whichever loop runs the program (the
// view's, through PlayerFace::post) or wake a script's wait, and every call
// into mpv is made from the program's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// What the player plays: a crouton's source, or a project laid end to end.
struct PlayerMedia {
    std::string shownName;            // the file="..." the dump names
    std::string url;                  // what mpv opens: a file, mf://@list, edl://...
    std::vector<std::pair<std::string, std::string>> options; // set before loading
    double fps = 25.0;                // frames are counted at this rate
    double start = 0.0;               // the stretch, in seconds of the media
    double end = 0.0;
    std::vector<double> joins;        // a preview's crouton starts, in its seconds
    std::vector<int> croutons;        // the project position of each stretch
    int width = 320;                  // the output format's frame
    int height = 240;
    std::string problem;              // told instead of playing when set
    bool preview = false;
};

// What the player shows, as the dump and the controls read it.
struct PlayerState {
    bool open = false;
    bool preview = false;
    std::string file;
    double position = 0.0;
    double duration = 0.0;
    long frame = 0;
    bool playing = false;
    bool loop = false;
    bool mute = false;
    double volume = 100.0;
    double start = 0.0;
    double end = 0.0;
    int crouton = -1;
    std::string problem;  // what went wrong, in words; empty when playing
    bool frameShown = false; // a frame has been drawn since opening
};

// How the player meets a view; all optional. `post` is called on mpv's
// threads and must only queue PlayerPump() on the program's loop.
struct PlayerFace {
    std::function<void(std::function<void()>)> post;
    std::function<void()> changed; // the state or the frame changed
    std::function<void()> opened;
    std::function<void()> closed;
};
void SetPlayerFace(PlayerFace face);
// Called by the gui after each change the player reports (a preview's
// crouton moving on); may be empty.
void SetPlayerListener(std::function<void(const PlayerState&)> listener);

// Opens `media` paused at its start, closing whatever played before. A
// problem (the media's own, or mpv's) is kept in the state and told.
void PlayerOpen(PlayerMedia media);
void PlayerClose();
bool PlayerIsOpen();
const PlayerState& PlayerCurrent();
const PlayerMedia& PlayerCurrentMedia();

// The face's way of queuing work on the program's loop, callable from any
// thread; empty when no face posts (the script driver, which waits instead).
std::function<void(std::function<void()>)> PlayerPoster();
// What a player that plays nothing says (a preview being made); the window
// and the dump show it as they show a problem.
void PlayerTell(const std::string& text);

// Takes mpv's events and draws a waiting frame; the loop calls it when posted.
void PlayerPump();

void PlayerSeek(double seconds);      // to the frame shown at that time
void PlayerStep(long frames);
void PlayerSetPlaying(bool playing);
void PlayerSetLoop(bool loop);
void PlayerSetVolume(double volume);
void PlayerSetMute(bool mute);

// A number mpv tells about its playback ("frame-drop-count", ...); none
// without a player or when mpv has none.
std::optional<double> PlayerProperty(const char* name);

// Waits (for scripts and tests) until mpv has shown the frame asked for.
void PlayerSettle();
// Plays `seconds` of media time from the position, then stops there.
void PlayerPlayFor(double seconds);

// The frame source: the last frame mpv drew, 4 bytes a pixel (B, G, R, x)
// at the output format's size.
struct PlayerFrame {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};
const PlayerFrame& PlayerLastFrame();
// Writes the last frame as a PNG; false when there is none or the file
// could not be written.
bool PlayerWriteFrame(const std::string& hostFile);
bool WritePng(const std::string& hostFile, const PlayerFrame& frame);

// h:mm:ss.mmm
std::string PlayerTimeText(double seconds);
// Whether a sound device is there to play on; without one mpv plays silently.
bool SoundDeviceAvailable();

// How a video looks beyond its cuts: the joins between croutons (cuts,
// dissolves, wipes), fades from and to black, titles over the picture, pan
// and zoom over pictures, and the sound of the croutons under the project's
// soundtrack. A crouton or project whose look is the default one renders,
// saves and traces exactly as one made before any of this existed.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct Crouton;
struct Project;

// The row of a table of named rows whose name is `name`; null when none is.
template <typename Row>
const Row* FindNamed(const std::vector<Row>& rows, std::string_view name)
{
    const auto found = std::find_if(rows.begin(), rows.end(), [name](const Row& row) { return row.name == name; });
    return found == rows.end() ? nullptr : &*found;
}

// ---- a crouton's own look ------------------------------------------------

// Where a title stands on the picture.
enum class TitlePlace { Top, Centre, LowerThird };

// A title drawn over a crouton's picture with the desktop's fonts.
struct CroutonTitle {
    bool shown = false;
    // The text drawn; empty draws the crouton's name.
    std::string text;
    TitlePlace place = TitlePlace::LowerThird;
    // The letters' height in hundredths of the picture's height (2 to 20).
    int size = 7;
    // "#rrggbb".
    std::string colour = "#ffffff";
    // A box behind the letters instead of a shadow under them.
    bool box = false;
    // How long it stands from the crouton's start; 0 for the whole crouton.
    double seconds = 0;
    // How long it takes to appear and to go.
    double fade = 0.5;
    bool operator==(const CroutonTitle&) const = default;
};

// One framing of a picture: how far it is zoomed (1 to 3) and the point of
// the picture, in fractions of its width and height, at the frame's centre.
struct Framing {
    double zoom = 1.0;
    double x = 0.5;
    double y = 0.5;
    bool operator==(const Framing&) const = default;
};

struct PanZoom {
    bool on = false;
    // A varied move chosen by the program (from the crouton's place in the
    // project), in place of `from` and `to`.
    bool gentle = false;
    Framing from;
    Framing to;
    bool operator==(const PanZoom&) const = default;
};

struct CroutonLook {
    // Seconds from black at its start, to black at its end (picture and sound).
    double fadeIn = 0;
    double fadeOut = 0;
    // Its own sound, in percent (0 to 200).
    int volume = 100;
    CroutonTitle title;
    PanZoom panZoom;
    bool operator==(const CroutonLook&) const = default;
};

// Whether the look is the one every crouton had before looks existed.
bool IsPlainLook(const CroutonLook& look);

// ---- joins ------------------------------------------------------------------

// The kinds of join, as rows: the script's and file's name, the window's
// label, and the transition ffmpeg's xfade draws (empty for a cut).
struct TransitionKind {
    std::string_view name;
    std::string_view label;
    std::string_view xfade;
};
const std::vector<TransitionKind>& TransitionKinds();
// The row named `name`; none for a name that is no kind.
const TransitionKind* FindTransitionKind(std::string_view name);

constexpr double kShortestTransition = 0.2;
constexpr double kLongestTransition = 3.0;

struct Transition {
    std::string kind = "cut";
    double seconds = 1.0;
    bool operator==(const Transition&) const = default;
};
bool IsCut(const Transition& transition);

// ---- a project's look -----------------------------------------------------

struct ProjectLook {
    // The join every pair of croutons gets unless it has one of its own.
    Transition defaultTransition;
    // Joins of their own: joins[i] is the join after the crouton at project
    // position i + 1; none (or past the end) takes the default.
    std::vector<std::optional<Transition>> joins;
    // Seconds from black at the project's start, to black at its end.
    double fadeIn = 0;
    double fadeOut = 0;
    // The croutons' own sound under the project's soundtrack, in percent;
    // 0 leaves only the soundtrack, as it always was.
    int clipLevel = 0;
    // The soundtrack is lowered while a crouton's own sound is loud.
    bool duck = false;
    // The soundtrack loops when the project is longer and fades out over
    // the project's last 2 seconds when it is longer than the project.
    bool fitSoundtrack = false;
    bool operator==(const ProjectLook&) const = default;
};

bool IsPlainLook(const ProjectLook& look);

// The join after the crouton at project position `position` (counted from
// 1), as asked: its own or the default.
Transition JoinAfter(const Project& project, int position);

// What one crouton's piece is asked to be, with the joins and the project's
// fades worked in: the seconds its head and tail give to the transitions
// on either side, and its fades (its own, or the project's at the project's
// ends, whichever is longer). Lengths are seconds of the rendered piece.
struct PieceLook {
    CroutonLook look;
    double head = 0; // seconds that go into the transition before it
    double tail = 0; // seconds that go into the transition after it
    Transition before;
    Transition after;
};

// `lengths` are the rendered lengths of the project's croutons in order;
// a transition is held to half the shorter crouton either side of it.
std::vector<PieceLook> PieceLooks(const Project& project, const std::vector<double>& lengths);
// The seconds of each join actually overlapped (0 for a cut), given the
// croutons' rendered lengths; one fewer than the croutons.
std::vector<double> JoinOverlaps(const Project& project, const std::vector<double>& lengths);

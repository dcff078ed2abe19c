// Looks as users and files change them: the ranges every value is held to,
// the title's places by name, and the joins that follow their croutons when
// the project's list changes.
#pragma once

#include "model/look.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr int kLoudestVolume = 200;
constexpr double kLeastZoom = 1.0;
constexpr double kMostZoom = 3.0;
constexpr int kSmallestTitle = 2;
constexpr int kLargestTitle = 20;
// A project's fade from or to black; longer ones would leave the middle of
// a short project dark.
constexpr double kLongestProjectFade = 10.0;
constexpr int kLoudestClipLevel = 100;

// The places a title stands, as rows: the file's name and the window's label.
struct TitlePlaceRow {
    TitlePlace place;
    std::string_view name;
    std::string_view label;
};
const std::vector<TitlePlaceRow>& TitlePlaces();
const TitlePlaceRow* FindTitlePlace(std::string_view name);
const TitlePlaceRow& TitlePlaceOf(TitlePlace place);

// A colour as "#rrggbb" (lower case); none for anything else.
std::optional<std::string> ParseColour(std::string_view text);

// Holds every value of a crouton's look in its range: fades and the title's
// time within `length` (the crouton's seconds), volume 0 to 200 %, zoom 1 to
// 3, centres 0 to 1, title size 2 to 20, the colour "#rrggbb" (else white).
// A line break in the title's text becomes a blank.
void ClampCroutonLook(CroutonLook& look, double length);
// The same for a project of `croutons` croutons: its fades, clip level,
// known kinds of join (else a cut) of 0.2 to 3 s, no join past the last pair.
void ClampProjectLook(ProjectLook& look, long croutons);
Transition ClampTransition(Transition transition);

// The join after the crouton at `position` (counted from 0) of its own;
// none takes the project's default.
std::optional<Transition> OwnJoinAfter(const ProjectLook& look, long position);
void SetOwnJoinAfter(ProjectLook& look, long position, std::optional<Transition> join);

// Each crouton keeps the join after it: the joins follow their croutons when
// one leaves or moves (positions counted from 0, `croutons` the count
// afterwards), and the last crouton keeps none. A crouton that comes in
// comes last and brings none.
void JoinsAfterRemove(ProjectLook& look, long position, long croutons);
void JoinsAfterMove(ProjectLook& look, long from, long to, long croutons);

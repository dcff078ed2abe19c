// Times within a crouton's source: trims hold fractions of a second, down to
// one frame of the source. How they are typed, shown, written on a command
// line, and what length a crouton takes in the rendered file.
#pragma once

#include "model/crouton.h"
#include "model/project.h"

#include <optional>
#include <string>
#include <string_view>

// A typed time: seconds ("12.48"), minutes and seconds ("0:12.48") or hours,
// minutes and seconds ("1:02:03.500"). Digits and one decimal point only;
// the minutes and seconds after a colon stay below 60. None for anything
// else (empty, a sign, letters, "1:75").
std::optional<double> ParseTrimTime(std::string_view text);
// A time as the editor shows it: "0:12.480", "1:02:03.500" from an hour on.
std::string FormatTrimTime(double seconds);
// The time of the source frame nearest to `seconds` at `rate` frames per
// second; a rate that tells nothing (0, not finite) snaps to milliseconds.
double SnapToFrame(double seconds, double rate);
// The rate a video crouton's trims snap to: its source's frame rate.
double SourceFrameRate(const Crouton& crouton);
// Whether a time is a whole number of seconds, as the older files and
// command lines hold every time.
bool IsWholeSecond(double seconds);
// A time on a command line or in a trace: "7" for whole seconds, as the
// lines have always said; otherwise the decimal with what it needs of six
// places ("7.2", "10.010011").
std::string SecondsText(double seconds);
// A length in the window: "4" or "4.2" (at most three places).
std::string LengthText(double seconds);
// The whole number of seconds nearest to a time, held within LONG's range.
LONG NearestSecond(double seconds);

// The rate of the project's output, frames per second; none when the
// custom rate typed is no rate.
std::optional<double> ProjectOutputRate(const Project& project);
// How long a crouton lasts in the rendered file at `outputRate`: whole
// frames at that rate cover its stretch, as the encode makes them. An image
// sequence lasts its pictures at its own rate.
double RenderedSeconds(const Crouton& crouton, double outputRate);
// The rendered length of the whole project (0 without an output rate): the
// croutons less what their transitions overlap.
double ProjectRenderedSeconds(const Project& project);

// How far long work has come, and the time it will still take, as the
// progress window tells them. Kept apart from the window so that the
// estimate can be reasoned about (and tested) without a display.
#pragma once

#include <set>
#include <string>

struct WorkProgress {
    int count = 0;       // the work's steps
    int index = 0;       // the step under way, counted from 1; 0 before the first
    double within = 0.0; // how far the step under way has come, 0 to 1
    std::set<int> atOnce; // steps done at once (a kept piece): they take no time

    // How far the whole work has come, 0 to 1: the bar.
    double Fraction() const;
    // How far the steps that take time have come, 0 to 1. The time left is
    // told from them, so a run of steps done at once does not make the
    // rest look quicker than it will be.
    double TimedFraction() const;
};

// What follows "Remaining: " after `elapsedSeconds` of work that has come
// `timedFraction` of the way: "estimating" until a guess is more than
// noise, then "about M:SS" (or H:MM:SS) at the pace so far.
std::string TimeLeftText(double elapsedSeconds, double timedFraction);

// The croutons' encodes side by side, for the render and the preview alike.
// Up to one crouton per place is encoded at a time, each in a lane of T: of
// its own (TemporaryLane, dos.h) that holds the names its command line
// says. They are taken in project order: the trace, the piece tests, the
// joins and the progress come as if they had run one after the other, and
// the first one that fails, or a cancel, ends the others. A piece made
// before from the same line and files is taken from the piece store instead
// of being encoded; it is put in a lane of its own and holds no place, so no
// encode waits for it to be joined.
#pragma once

#include "os/command.h"
#include "os/dos.h"

#include <memory>
#include <string>

class PieceStore;

namespace render_detail {

// One crouton's piece on its way through the walk.
struct WalkPiece {
    int index = 0; // the crouton's place in the project, counted from 0
    int place = 0; // which of the places side by side it holds
    const TemporaryLane* lane = nullptr; // where its files are
    std::string file; // the name its line writes, in its lane
    std::string key;  // in the piece store; empty without one
    bool kept = false; // taken from the store: it holds no place
    std::unique_ptr<CommandRun> command; // none when kept or refused
    bool Ended() const { return !command || command->Done(); }
};

// A crouton's line and the name it writes; an empty line when the crouton
// is refused.
struct PiecePlan {
    std::string command;
    std::string file;
};

// What the render (or the preview) does with each crouton; the walk calls
// it on its own thread, in project order. What a preview has no use for
// does nothing.
class PieceSteps {
public:
    virtual ~PieceSteps() = default;
    // Nothing has failed and nobody cancelled.
    virtual bool Going() const = 0;
    // Whether the user cancelled; asked before each start.
    virtual bool Cancelled() = 0;
    // The lane crouton `index` is planned, encoded and taken in when it
    // holds `place`.
    virtual const TemporaryLane& LaneOf(int index, int place) = 0;
    // Crouton `index` is now the first not yet taken (the one the progress
    // shows); false when a cancel came with it.
    virtual bool BecomeFirst(int /*index*/) { return true; }
    // The crouton's line, planned in its lane.
    virtual PiecePlan Plan(const WalkPiece& piece) = 0;
    // Its piece was taken from the store instead of being encoded.
    virtual void Reused(const WalkPiece& /*piece*/) {}
    // Its line has ended, or was never run: its piece is tested and joined,
    // in its lane. A failure makes Going false.
    virtual void Take(WalkPiece& piece) = 0;
    // Just before and just after each wait for the runs, with the first
    // piece not yet taken, which runs.
    virtual void Waiting(const WalkPiece& /*first*/) {}
    virtual void Waited(const WalkPiece& /*first*/) {}
    // The walk stopped early with `first` not taken; every run has ended.
    virtual void Left(WalkPiece& /*first*/) {}
};

// Walks `count` croutons through `steps`, `places` of them side by side,
// taking the pieces `store` keeps when there is one. Returns when every
// piece is taken or the walk stopped early; the lanes of kept pieces are
// emptied then, the places' lanes are the caller's.
void WalkSideBySide(int count, int places, const PieceStore* store, PieceSteps& steps);

} // namespace render_detail

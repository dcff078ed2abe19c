// The side-by-side walk of the croutons' encodes (render_schedule.h), and
// how many places a render has.
#include "model/render_schedule.h"

#include "model/piece_store.h"
#include "model/render_internal.h"
#include "os/command.h"
#include "tools/render_support.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <optional>
#include <thread>
#include <vector>

using namespace render_detail;

namespace {

class SideBySide {
public:
    SideBySide(int count, int places, const PieceStore* store, PieceSteps& steps)
        : count_(count), places_(places), store_(store), steps_(steps),
          busy_(static_cast<std::size_t>(places), false)
    {
    }

    void Walk()
    {
        int next = 0;
        while (steps_.Going()) {
            while (steps_.Going() && !pieces_.empty() && pieces_.front().Ended()) {
                TakeFirst();
                if (steps_.Going() && !pieces_.empty())
                    steps_.BecomeFirst(pieces_.front().index);
            }
            if (!steps_.Going() || steps_.Cancelled())
                break;
            if (next < count_ && std::count(busy_.begin(), busy_.end(), true) < places_) {
                if (!Start(next++))
                    break;
                continue;
            }
            if (pieces_.empty())
                break;
            Wait();
        }
        End();
    }

private:
    // Plans crouton `index` in a free place and starts its encode; false
    // when the walk is cancelled first.
    bool Start(int index)
    {
        WalkPiece piece;
        piece.index = index;
        while (busy_[static_cast<std::size_t>(piece.place)])
            ++piece.place;
        if (pieces_.empty() && !steps_.BecomeFirst(index))
            return false;
        const TemporaryLane& lane = steps_.LaneOf(index, piece.place);
        piece.lane = &lane;
        const InTemporaryLane inLane(lane);
        PiecePlan plan = steps_.Plan(piece);
        piece.file = std::move(plan.file);
        if (store_ && !plan.command.empty())
            TakeKept(piece, plan.command);
        if (!plan.command.empty() && !piece.kept)
            piece.command = std::make_unique<CommandRun>(std::move(plan.command), lane);
        busy_[static_cast<std::size_t>(piece.place)] = !piece.kept;
        pieces_.push_back(std::move(piece));
        return true;
    }

    // A piece made before from the same line and files is put in a lane of
    // its own (numbered after the places') instead of encoding it.
    void TakeKept(WalkPiece& piece, const std::string& command)
    {
        piece.key = store_->KeyOf(command, piece.file);
        keptLanes_.push_back({places_ + piece.index + 1, piece.lane->names});
        const InTemporaryLane inLane(keptLanes_.back());
        if (!store_->Take(piece.key, piece.file)) {
            keptLanes_.pop_back();
            return;
        }
        piece.lane = &keptLanes_.back();
        piece.kept = true;
        steps_.Reused(piece);
    }

    // The first piece not yet taken has ended: an encoded piece that passed
    // is kept before it is joined.
    void TakeFirst()
    {
        WalkPiece& piece = pieces_.front();
        {
            const InTemporaryLane inLane(*piece.lane);
            if (store_ && piece.command && piece.command->Code() == 0) {
                const std::optional<LONG> size = FileSize(piece.file);
                if (size && *size >= kSmallestPiece)
                    store_->Keep(piece.key, piece.file);
            }
            steps_.Take(piece);
        }
        if (!piece.kept)
            busy_[static_cast<std::size_t>(piece.place)] = false;
        pieces_.pop_front();
    }

    void Wait()
    {
        std::vector<CommandRun*> running;
        for (WalkPiece& piece : pieces_)
            if (piece.command)
                running.push_back(piece.command.get());
        const WalkPiece& first = pieces_.front();
        steps_.Waiting(first);
        WaitForCommands(running);
        steps_.Waited(first);
    }

    // The pieces still on their way when the walk ends early: their tools
    // are ended and the kept pieces' lanes emptied.
    void End()
    {
        for (WalkPiece& piece : pieces_)
            if (piece.command)
                piece.command->End();
        if (!pieces_.empty())
            steps_.Left(pieces_.front());
        pieces_.clear();
        for (const TemporaryLane& lane : keptLanes_) {
            const InTemporaryLane inLane(lane);
            for (const std::string& name : lane.names)
                DeleteFile("T:" + name);
        }
    }

    const int count_;
    const int places_;
    const PieceStore* store_;
    PieceSteps& steps_;
    std::vector<bool> busy_;
    std::deque<WalkPiece> pieces_;
    std::deque<TemporaryLane> keptLanes_; // one per kept piece on its way
};

} // namespace

void render_detail::WalkSideBySide(int count, int places, const PieceStore* store, PieceSteps& steps)
{
    SideBySide(count, places, store, steps).Walk();
}

// How many croutons are encoded side by side: one per processor (an
// encoder keeps one core busy; its own threads gain less than a second
// encode does), at most eight, so memory stays bounded whatever the
// machine. CLIPWEAVER_RENDER_LANES sets it (tests, measurements).
int render_detail::RenderLaneCount()
{
    long count = static_cast<long>(std::thread::hardware_concurrency());
    if (const char* text = std::getenv("CLIPWEAVER_RENDER_LANES")) {
        char* end = nullptr;
        const long asked = std::strtol(text, &end, 10);
        if (end != text && asked > 0)
            count = asked;
    }
    return static_cast<int>(std::clamp(count, 1L, 8L));
}

std::vector<std::string> render_detail::RenderLaneNames()
{
    // The tools' own scratch files of a lane are named the same way, so
    // that the render's clean-up takes them too.
    return {"__TempVideo", "__TempVideo" + std::string(kSamplesBeside), "__CWEncodeList.lst", "__CWSilence.raw", "__CWTool.out", "__CWTool.err", "__CWProgress",
            "__CWTitle.txt", "__CWTitle.png", "__CWScript.ffconcat", std::string(kHeadStretch.substr(2)), std::string(kTailStretch.substr(2))};
}

// The side-by-side walk that the render and the preview share: croutons
// start in free places, are taken strictly in project order whenever their
// runs end, each in its own lane, and the first one that fails, or a cancel,
// ends the runs still going and starts nothing more. The tools are a hook
// that holds each run for a number of the walk's waits.
#include "model/render_schedule.h"
#include "model/model_test_util.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

using render_detail::PiecePlan;
using render_detail::PieceSteps;
using render_detail::WalkPiece;
using render_detail::WalkSideBySide;

namespace {

constexpr int kRefused = -1; // a crouton whose plan gives no line

// Records what the walk asks of each crouton.
class Recorder final : public PieceSteps {
public:
    Recorder(int places, int failAt, int cancelAfter) : failAt_(failAt), cancelAfter_(cancelAfter)
    {
        for (int place = 0; place < places; ++place)
            lanes_.push_back({200 + place, {"__TempVideo"}});
    }

    bool Going() const override { return !failed_ && !cancelled_; }
    bool Cancelled() override { return cancelled_; }
    const TemporaryLane& LaneOf(int, int place) override { return lanes_[static_cast<std::size_t>(place)]; }
    PiecePlan Plan(const WalkPiece& piece) override
    {
        started.push_back(piece.index);
        places.push_back(piece.place);
        startedAfterTakes.push_back(static_cast<int>(taken.size()));
        return {refused.count(piece.index) ? std::string() : "Echo " + std::to_string(piece.index),
                "T:__TempVideo"};
    }
    void Take(WalkPiece& piece) override
    {
        taken.push_back(piece.index);
        const TemporaryLane* lane = CurrentTemporaryLane();
        EXPECT_TRUE(lane && lane == piece.lane) << "crouton " << piece.index << " is taken outside its lane";
        failed_ = piece.index == failAt_;
        cancelled_ = piece.index == cancelAfter_;
    }
    void Left(WalkPiece& first) override { left = first.index; }

    std::set<int> refused;
    std::vector<int> started;
    std::vector<int> places;
    std::vector<int> startedAfterTakes; // how many croutons were taken when each started
    std::vector<int> taken;
    int left = -1;

private:
    std::vector<TemporaryLane> lanes_;
    const int failAt_;
    const int cancelAfter_;
    bool failed_ = false;
    bool cancelled_ = false;
};

struct Row {
    const char* label;
    int sideBySide;
    std::vector<int> waits; // per crouton: how many waits its run lasts, or kRefused
    int failAt;             // the crouton whose take fails; -1: none
    int cancelAfter;        // the crouton whose take brings a cancel; -1: none
    std::vector<int> taken;
    std::vector<int> endedEarly; // runs the walk ended before they were through
    int left;                    // the first crouton not taken when the walk stopped early
    std::vector<int> places;     // where each started crouton ran
};

TEST(RenderSchedule, CroutonsRunSideBySideAndAreTakenInOrderUntilOneFails)
{
    const Row rows[] = {
        {"a later crouton that ends first waits for the one before", 2, {3, 0, 0}, -1, -1, {0, 1, 2}, {}, -1,
         {0, 1, 0}},
        {"one place: one crouton at a time", 1, {1, 1, 1}, -1, -1, {0, 1, 2}, {}, -1, {0, 0, 0}},
        {"the first failure ends the runs still going and starts nothing more", 2, {2, 6, 0}, 0, -1, {0}, {1}, 1,
         {0, 1}},
        {"a cancel ends the runs still going", 2, {1, 6, 0}, -1, 0, {0}, {1}, 1, {0, 1}},
        {"a refused crouton is taken in its turn and its failure ends the others", 3, {2, kRefused, 6}, 1, -1,
         {0, 1}, {2}, 2, {0, 1, 2}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::vector<int> endedEarly;
        SetCommandHook([&row, &endedEarly](std::string_view line) -> std::optional<HookAnswer> {
            const int index = std::stoi(std::string(line.substr(line.find(' ') + 1)));
            return HookAnswer(0, row.waits[static_cast<std::size_t>(index)],
                              [index, &endedEarly] { endedEarly.push_back(index); });
        });
        Recorder steps(row.sideBySide, row.failAt, row.cancelAfter);
        for (std::size_t index = 0; index < row.waits.size(); ++index)
            if (row.waits[index] == kRefused)
                steps.refused.insert(static_cast<int>(index));
        WalkSideBySide(static_cast<int>(row.waits.size()), row.sideBySide, nullptr, steps);
        SetCommandHook({});

        EXPECT_EQ(steps.taken, row.taken);
        EXPECT_EQ(endedEarly, row.endedEarly);
        EXPECT_EQ(steps.left, row.left);
        EXPECT_EQ(steps.places, row.places);
        // Crouton n starts only once crouton n - places has been taken.
        for (std::size_t n = 0; n < steps.started.size(); ++n)
            EXPECT_GE(steps.startedAfterTakes[n], static_cast<int>(n) - row.sideBySide) << "crouton " << n;
    }
}

} // namespace

// Questions take queued answers by text or number, else the face's, else
// their fallback; a bad answer never yields an index outside the buttons.
#include "os/question.h"

#include <gtest/gtest.h>

namespace {

const Question kSave{"Clipweaver", "Save changes to Holiday before quitting?", {"_Save", "_Discard", "_Cancel"}, 1, 2};

struct AnswerCase {
    const char* name;
    std::vector<std::string> queued;
    std::optional<int> face; // what the face answers; nullopt: no face
    int expected;
};

class QuestionAnswers : public ::testing::TestWithParam<AnswerCase> {
protected:
    void TearDown() override
    {
        SetQuestionHandler({});
        ClearQuestionAnswers();
        ClearToldLog();
    }
};

TEST_P(QuestionAnswers, TakeTheRightButton)
{
    const AnswerCase& c = GetParam();
    for (const std::string& answer : c.queued)
        QueueQuestionAnswer(answer);
    if (c.face)
        SetQuestionHandler([&](const Question&) { return c.face; });
    EXPECT_EQ(AskQuestion(kSave), c.expected);
    ASSERT_EQ(ToldLog().size(), 1u);
    EXPECT_EQ(ToldLog().back().answer, AnswerLabel(kSave.answers[static_cast<std::size_t>(c.expected)]));
}

INSTANTIATE_TEST_SUITE_P(
    Table, QuestionAnswers,
    ::testing::Values(AnswerCase{"NothingQueuedTakesFallback", {}, std::nullopt, 1},
                      AnswerCase{"ByText", {"Save"}, std::nullopt, 0},
                      AnswerCase{"ByTextAnyCaseWithUnderscore", {"_cANCEL"}, std::nullopt, 2},
                      AnswerCase{"ByNumber", {"2"}, std::nullopt, 2},
                      AnswerCase{"NumberOutOfRangeTakesFallback", {"7"}, std::nullopt, 1},
                      AnswerCase{"HugeNumberTakesFallback", {"99999999999999999999"}, std::nullopt, 1},
                      AnswerCase{"UnknownTextTakesFallback", {"Maybe"}, std::nullopt, 1},
                      AnswerCase{"QueuedBeatsFace", {"Save"}, 2, 0},
                      AnswerCase{"FaceAnswers", {}, 0, 0},
                      AnswerCase{"FaceOutOfRangeTakesFallback", {}, 5, 1},
                      AnswerCase{"FaceLeavesItTakesFallback", {}, -1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Questions, QueuedAnswersAreUsedOnceInOrder)
{
    QueueQuestionAnswer("Save");
    QueueQuestionAnswer("Cancel");
    EXPECT_EQ(AskQuestion(kSave), 0);
    EXPECT_EQ(AskQuestion(kSave), 2);
    EXPECT_EQ(AskQuestion(kSave), 1);
    ClearToldLog();
}

TEST(Questions, MessagesReachTheFaceAndTheLog)
{
    std::string seen;
    SetMessageHandler([&](std::string_view title, std::string_view text) { seen = std::string(title) + ": " + std::string(text); });
    TellUser("Save failed", "The disk is full.");
    SetMessageHandler({});
    EXPECT_EQ(seen, "Save failed: The disk is full.");
    ASSERT_EQ(ToldLog().size(), 1u);
    EXPECT_FALSE(ToldLog().back().question);
    ClearToldLog();
}

} // namespace

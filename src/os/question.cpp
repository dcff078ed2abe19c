// The switchboard between those who ask and the face that answers.
#include "os/question.h"

#include <cctype>
#include <deque>
#include <mutex>
#include <utility>

namespace {

struct QuestionState {
    QuestionHandler handler;
    MessageHandler message;
    std::deque<std::pair<std::string, int>> queued;
    std::vector<Told> log;
    std::vector<std::pair<std::string, std::string>> held; // told before a face was there
    std::vector<UnmatchedAnswer> unmatched;
};

QuestionState& State()
{
    static QuestionState state;
    return state;
}

bool ValidAnswer(const Question& question, int index)
{
    return index >= 0 && static_cast<std::size_t>(index) < question.answers.size();
}

// A queued answer by index ("2") or by its text ("Save", "_Save"), any case.
std::optional<int> QueuedAnswer(const Question& question, const std::string& queued)
{
    const std::string wanted = AnswerLabel(queued);
    for (std::size_t i = 0; i < question.answers.size(); ++i) {
        const std::string label = AnswerLabel(question.answers[i]);
        if (label.size() != wanted.size())
            continue;
        bool same = true;
        for (std::size_t c = 0; c < label.size() && same; ++c)
            same = std::tolower(static_cast<unsigned char>(label[c])) ==
                   std::tolower(static_cast<unsigned char>(wanted[c]));
        if (same)
            return static_cast<int>(i);
    }
    if (!queued.empty() && queued.find_first_not_of("0123456789") == std::string::npos &&
        queued.size() < 6) {
        const int index = std::stoi(queued);
        if (ValidAnswer(question, index))
            return index;
    }
    return std::nullopt;
}

// The log is for scripts and tests; a long session keeps only the latest.
void Record(QuestionState& state, Told told)
{
    constexpr std::size_t kKept = 200;
    if (state.log.size() >= kKept)
        state.log.erase(state.log.begin());
    state.log.push_back(std::move(told));
}

} // namespace

void SetQuestionHandler(QuestionHandler handler) { State().handler = std::move(handler); }
void SetMessageHandler(MessageHandler handler)
{
    QuestionState& state = State();
    state.message = std::move(handler);
    if (!state.message)
        return;
    for (const auto& [title, text] : std::exchange(state.held, {}))
        state.message(title, text);
}

std::string AnswerLabel(std::string_view answer)
{
    std::string label;
    for (const char c : answer)
        if (c != '_')
            label += c;
    return label;
}

int AskQuestion(const Question& question)
{
    QuestionState& state = State();
    int answer = ValidAnswer(question, question.fallback) ? question.fallback : 0;
    if (!state.queued.empty()) {
        const auto [queued, origin] = state.queued.front();
        state.queued.pop_front();
        if (const auto index = QueuedAnswer(question, queued)) {
            answer = *index;
        } else {
            UnmatchedAnswer unmatched{origin, queued, question.title, {}};
            for (const std::string& button : question.answers)
                unmatched.buttons.push_back(AnswerLabel(button));
            state.unmatched.push_back(std::move(unmatched));
        }
    } else if (state.handler) {
        if (const auto index = state.handler(question); index && ValidAnswer(question, *index))
            answer = *index;
    }
    Record(state, {true, question.title, question.text,
                   question.answers.empty() ? std::string()
                                            : AnswerLabel(question.answers[static_cast<std::size_t>(answer)])});
    return answer;
}

void TellUser(std::string_view title, std::string_view text)
{
    QuestionState& state = State();
    Record(state, {false, std::string(title), std::string(text), {}});
    if (state.message)
        state.message(title, text);
}

void TellUserWhenShown(std::string_view title, std::string_view text)
{
    QuestionState& state = State();
    if (state.message) {
        TellUser(title, text);
        return;
    }
    Record(state, {false, std::string(title), std::string(text), {}});
    state.held.emplace_back(title, text);
}

int DefaultAnswer(const Question& question)
{
    if (ValidAnswer(question, question.defaultAnswer))
        return question.defaultAnswer;
    return ValidAnswer(question, question.fallback) ? question.fallback : 0;
}

namespace {

struct LaterMessages {
    std::mutex guard;
    std::vector<std::pair<std::string, std::string>> waiting;
    std::function<void()> wakeUp;
};

LaterMessages& Later()
{
    static LaterMessages later;
    return later;
}

} // namespace

void TellUserLater(std::string title, std::string text)
{
    std::function<void()> wakeUp;
    {
        const std::lock_guard<std::mutex> lock(Later().guard);
        Later().waiting.emplace_back(std::move(title), std::move(text));
        wakeUp = Later().wakeUp;
    }
    if (wakeUp)
        wakeUp();
}

void TellWaitingMessages()
{
    std::vector<std::pair<std::string, std::string>> waiting;
    {
        const std::lock_guard<std::mutex> lock(Later().guard);
        waiting.swap(Later().waiting);
    }
    for (const auto& [title, text] : waiting)
        TellUser(title, text);
}

void SetTellLaterWakeUp(std::function<void()> wakeUp)
{
    const std::lock_guard<std::mutex> lock(Later().guard);
    Later().wakeUp = std::move(wakeUp);
}

void QueueQuestionAnswer(std::string answer, int origin) { State().queued.emplace_back(std::move(answer), origin); }
void ClearQuestionAnswers()
{
    State().queued.clear();
    State().unmatched.clear();
}

std::vector<UnmatchedAnswer> TakeUnmatchedAnswers() { return std::exchange(State().unmatched, {}); }
const std::vector<Told>& ToldLog() { return State().log; }
void ClearToldLog() { State().log.clear(); }

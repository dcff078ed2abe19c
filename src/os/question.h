// Questions and messages put to the user in a window of their own: "Save
// changes to Holiday before quitting?", "The project could not be saved:
// ...". Model and window code asks through these calls and never knows who
// answers. The front end installs a face (the Qt view: a message box); the
// script driver and tests queue answers. A question that nobody answers
// takes its fallback, which is always what the program did before it asked,
// so that scripts written without answers run as they always have.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct Question {
    std::string title;                // the window's title
    std::string text;                 // the question in plain words
    std::vector<std::string> answers; // button texts, MUI style: "_Save", "_Discard", "_Cancel"
    int fallback = 0;                 // the answer taken when none is given
    int cancel = -1;                  // the answer that Escape and the close gadget give; -1: the fallback
    // The button Enter presses; -1: the fallback. It differs from the
    // fallback where the old way loses work (Discard) and the user's
    // Enter should keep it (Save).
    int defaultAnswer = -1;
};

// The button Enter presses on a question.
int DefaultAnswer(const Question& question);

// A face answers a question with the index of the chosen answer; nullopt
// leaves it to the fallback.
using QuestionHandler = std::function<std::optional<int>(const Question&)>;
// A face shows a message; it need not wait for the user.
using MessageHandler = std::function<void(std::string_view title, std::string_view text)>;
void SetQuestionHandler(QuestionHandler handler);
void SetMessageHandler(MessageHandler handler);

// Asks; returns the index of the answer, which is always a valid index of
// `question.answers`.
int AskQuestion(const Question& question);
// Tells the user something they caused or must act on, with "_OK".
void TellUser(std::string_view title, std::string_view text);
// The same for what the program finds before its face is there (at
// start-up): held until a face is installed, then shown.
void TellUserWhenShown(std::string_view title, std::string_view text);
// The same from any thread (a detached program that failed): the message
// waits until the program's thread calls TellWaitingMessages, which the
// wake-up, called at once on the sending thread, asks for (the Qt view posts
// it to its loop; the script driver tells them before each action).
void TellUserLater(std::string title, std::string text);
void TellWaitingMessages();
void SetTellLaterWakeUp(std::function<void()> wakeUp);

// Scripted answers: given in order to the next questions, by index or by
// button text without its underscore ("Save"); a question with none queued
// takes its fallback. Every question and message is recorded.
// `origin` says where the answer came from (a script's line number), for
// UnmatchedAnswers.
void QueueQuestionAnswer(std::string answer, int origin = 0);
void ClearQuestionAnswers();
// Queued answers that matched no button of the question they met (which
// then took its fallback), taken from the record as they are read.
struct UnmatchedAnswer {
    int origin = 0;
    std::string answer;
    std::string title;
    std::vector<std::string> buttons; // without their underscores
};
std::vector<UnmatchedAnswer> TakeUnmatchedAnswers();
struct Told {
    bool question = false;
    std::string title;
    std::string text;
    std::string answer; // the answer taken, without its underscore; empty for a message
};
const std::vector<Told>& ToldLog();
void ClearToldLog();

// The answers a face shows: the button's text without its MUI underscore.
std::string AnswerLabel(std::string_view answer);

// Questions and messages as message boxes. A question waits for its answer
// (the box is modal, so the program's other windows take nothing meanwhile);
// a message does not: it stays up while the windows answer again, as a
// render's failure window does.
#include "qtview/questions.h"

#include "qtview/objectview.h"
#include "qtview/qtview.h"
#include "os/question.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMetaObject>
#include <QMessageBox>
#include <QPushButton>

namespace qtview {

namespace {

QString FromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::optional<int> Ask(const Question& question)
{
    QMessageBox box(QMessageBox::Question, FromView(question.title), FromView(question.text), QMessageBox::NoButton,
                    detail::MainWindow());
    box.setTextFormat(Qt::PlainText);
    std::vector<QPushButton*> buttons;
    for (const std::string& answer : question.answers)
        buttons.push_back(box.addButton(ButtonText(answer), QMessageBox::ActionRole));
    const auto index = [&](int i) { return static_cast<std::size_t>(i); };
    if (!buttons.empty())
        box.setDefaultButton(buttons[index(DefaultAnswer(question))]);
    const int cancel = question.cancel >= 0 ? question.cancel : question.fallback;
    if (cancel >= 0 && index(cancel) < buttons.size())
        box.setEscapeButton(buttons[index(cancel)]);
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i])
            return static_cast<int>(i);
    return cancel;
}

void Tell(std::string_view title, std::string_view text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, FromView(title), FromView(text), QMessageBox::NoButton,
                                detail::MainWindow());
    box->setTextFormat(Qt::PlainText);
    box->addButton(ButtonText("_OK"), QMessageBox::AcceptRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    box->raise();
}

} // namespace

namespace detail {

void InstallQuestions()
{
    SetQuestionHandler(Ask);
    SetMessageHandler(Tell);
    // Messages from other threads are told on the program's thread, when
    // its loop comes to them.
    SetTellLaterWakeUp([] {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [] { TellWaitingMessages(); }, Qt::QueuedConnection);
    });
}

void RemoveQuestions()
{
    SetTellLaterWakeUp({});
    SetQuestionHandler({});
    SetMessageHandler({});
}

} // namespace detail

} // namespace qtview

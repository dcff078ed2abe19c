// Long work as the user watches it. The windows live only during Qt's
// event processing: the tool waits' polls and the program's own wait.
#include "qtview/workwindows.h"

#include "os/command.h"
#include "os/format.h"
#include "qtview/inputhold.h"
#include "qtview/objectview.h"
#include "qtview/qtview.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace qtview {

namespace {

QString FromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The bar counts in thousandths of the whole work.
constexpr int kBarSteps = 1000;
// The widest step text shown whole, in average characters.
constexpr int kStepChars = 72;

} // namespace

QString FormatDuration(qint64 seconds)
{
    return QString::fromStdString(::FormatClock(seconds));
}

ProgressWindow::ProgressWindow(QWidget* parent, const QString& title, int count)
    : QDialog(parent)
    , step_(new QLabel)
    , bar_(new QProgressBar)
    , elapsed_(new QLabel)
    , remaining_(new QLabel)
    , cancel_(new QPushButton(ButtonText("_Cancel")))
{
    progress_.count = std::max(0, count);
    setWindowTitle(title);
    setModal(false);
    step_->setObjectName(QStringLiteral("step"));
    step_->setTextFormat(Qt::PlainText);
    step_->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    bar_->setObjectName(QStringLiteral("bar"));
    bar_->setRange(0, kBarSteps);
    bar_->setValue(0);
    elapsed_->setObjectName(QStringLiteral("elapsed"));
    remaining_->setObjectName(QStringLiteral("remaining"));
    remaining_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setAutoDefault(false);
    QObject::connect(cancel_, &QPushButton::clicked, this, [this] { Cancel(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(step_);
    layout->addWidget(bar_);
    auto* times = new QHBoxLayout;
    times->addWidget(elapsed_);
    times->addStretch(1);
    times->addWidget(remaining_);
    layout->addLayout(times);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);

    clock_.start();
    tick_.setInterval(500);
    QObject::connect(&tick_, &QTimer::timeout, this, [this] { ShowTimes(); });
    tick_.start();
    ShowProgress();
}

void ProgressWindow::Step(int index, const QString& text)
{
    progress_.index = index;
    progress_.within = 0.0;
    // A long crouton name is cut in the middle rather than stretching the
    // window across the screen; the whole text is in the tool tip.
    const QFontMetrics metrics(step_->font());
    step_->setText(metrics.elidedText(text, Qt::ElideMiddle, metrics.averageCharWidth() * kStepChars));
    step_->setToolTip(text);
    ShowProgress();
}

void ProgressWindow::Within(double fraction)
{
    progress_.within = std::clamp(fraction, 0.0, 1.0);
    ShowProgress();
}

double ProgressWindow::Fraction() const { return progress_.Fraction(); }

void ProgressWindow::AtOnce(int index) { progress_.atOnce.insert(index); }

double ProgressWindow::TimedFraction() const { return progress_.TimedFraction(); }

void ProgressWindow::ShowProgress()
{
    bar_->setValue(static_cast<int>(std::lround(Fraction() * kBarSteps)));
    ShowTimes();
}

void ProgressWindow::ShowTimes()
{
    const double seconds = static_cast<double>(clock_.elapsed()) / 1000.0;
    elapsed_->setText(QStringLiteral("Elapsed: ") + FormatDuration(static_cast<qint64>(seconds)));
    remaining_->setText(QStringLiteral("Remaining: ") + QString::fromStdString(TimeLeftText(seconds, TimedFraction())));
}

void ProgressWindow::Cancel()
{
    CancelWork();
    cancel_->setEnabled(false);
    cancel_->setText(QStringLiteral("Cancelling..."));
}

// Escape.
void ProgressWindow::reject() { Cancel(); }

void ProgressWindow::closeEvent(QCloseEvent* event)
{
    // The window goes when the work has ended, not before.
    event->ignore();
    Cancel();
}

void ProgressWindow::enterEvent(QEnterEvent* event)
{
    detail::SetCursorExempt(true);
    QDialog::enterEvent(event);
}

void ProgressWindow::leaveEvent(QEvent* event)
{
    detail::SetCursorExempt(false);
    QDialog::leaveEvent(event);
}

// A window that tells how work ended: not modal, its text plain, wrapped,
// and selectable so that a path can be copied.
static void SetUpMessageWindow(QDialog& window, QLabel& message)
{
    window.setModal(false);
    message.setObjectName(QStringLiteral("message"));
    message.setTextFormat(Qt::PlainText);
    message.setWordWrap(true);
    message.setTextInteractionFlags(Qt::TextSelectableByMouse);
    message.setMinimumWidth(message.fontMetrics().averageCharWidth() * 48);
}

// A button of such a window, named for whatever finds it by name.
static QPushButton* NamedButton(std::string_view label, const char* name)
{
    auto* button = new QPushButton(ButtonText(label));
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// The button that closes such a window, the one Return presses.
static QPushButton* ClosingButton(QDialog& window, std::string_view label, const char* name)
{
    QPushButton* button = NamedButton(label, name);
    button->setDefault(true);
    QObject::connect(button, &QPushButton::clicked, &window, &QDialog::accept);
    return button;
}

// The message above its row of buttons.
static void LayOutMessage(QDialog& window, QLabel* message, QHBoxLayout* buttons)
{
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(message);
    layout->addLayout(buttons);
}

FailureWindow::FailureWindow(QWidget* parent, const QString& title, const QString& message)
    : QDialog(parent)
    , message_(new QLabel)
{
    SetUpMessageWindow(*this, *message_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ClosingButton(*this, "_OK", "ok"));
    LayOutMessage(*this, message_, buttons);
    Tell(title, message);
}

void FailureWindow::Tell(const QString& title, const QString& message)
{
    setWindowTitle(title);
    message_->setText(message);
}

std::string OpenCommand(std::string_view file)
{
    return DesktopOpenCommand(file.empty() ? std::string_view(".") : file);
}

std::string FolderOf(std::string_view file)
{
    const std::size_t slash = file.rfind('/');
    if (slash != std::string_view::npos)
        return std::string(file.substr(0, slash == 0 ? 1 : slash));
    const std::size_t colon = file.rfind(':');
    if (colon != std::string_view::npos)
        return std::string(file.substr(0, colon + 1));
    return std::string();
}

FinishedWindow::FinishedWindow(QWidget* parent, const QString& title, const QString& message, const std::string& file)
    : QDialog(parent)
    , message_(new QLabel)
{
    SetUpMessageWindow(*this, *message_);
    QPushButton* play = NamedButton("_Play", "play");
    play->setToolTip(QStringLiteral("Play the video with the desktop's video player"));
    QPushButton* folder = NamedButton("Open _Folder", "folder");
    folder->setToolTip(QStringLiteral("Show the folder that holds the video"));
    QPushButton* close = ClosingButton(*this, "_Close", "close");
    // The desktop's programs start detached; the window stays for the other button.
    QObject::connect(play, &QPushButton::clicked, this, [this] { SystemTagList(OpenCommand(file_)); });
    QObject::connect(folder, &QPushButton::clicked, this, [this] { SystemTagList(OpenCommand(FolderOf(file_))); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(play);
    buttons->addWidget(folder);
    buttons->addStretch(1);
    buttons->addWidget(close);
    LayOutMessage(*this, message_, buttons);
    Tell(title, message, file);
}

void FinishedWindow::Tell(const QString& title, const QString& message, const std::string& file)
{
    setWindowTitle(title);
    message_->setText(message);
    file_ = file;
}

namespace detail {

namespace {

struct FaceState {
    QString title;
    QPointer<ProgressWindow> progress;
    QPointer<FailureWindow> failure;
    QPointer<FinishedWindow> finished;
};

FaceState& State()
{
    static FaceState state;
    return state;
}

void ShowStatus(const QString& text)
{
    if (QMainWindow* main = MainWindow())
        main->statusBar()->showMessage(text);
}

void Begin(std::string_view title, int count)
{
    FaceState& state = State();
    delete state.progress.data();
    // The last work's outcome ("... cancelled.") is not this one's.
    if (QMainWindow* main = MainWindow())
        main->statusBar()->clearMessage();
    state.title = FromView(title);
    state.progress = new ProgressWindow(MainWindow(), state.title, count);
    state.progress->show();
    state.progress->raise();
    // Escape reaches it at once.
    state.progress->activateWindow();
    SetWorkBusy(true);
    // The user has already asked to quit: whatever work comes before the
    // quit is handled stops at once.
    if (QuitPending())
        CancelWork();
}

void Step(int index, std::string_view text)
{
    if (State().progress)
        State().progress->Step(index, FromView(text));
}

void Within(double fraction)
{
    if (State().progress)
        State().progress->Within(fraction);
}

void End(WorkOutcome outcome, std::string_view message)
{
    FaceState& state = State();
    SetCursorExempt(false);
    SetWorkBusy(false);
    delete state.progress.data();
    const QString text = FromView(message);
    const QString title = state.title.isEmpty() ? QStringLiteral("Work") : state.title;
    // Someone who minimised the window while the work ran learns that it
    // ended (the window's urgency hint).
    if (QMainWindow* main = MainWindow(); main != nullptr && main->isMinimized())
        QApplication::alert(main);
    switch (outcome) {
    case WorkOutcome::Finished:
        ShowStatus(text);
        if (!WorkResult().empty()) {
            const QString finished = title + QStringLiteral(" finished");
            if (state.finished) {
                state.finished->Tell(finished, text, WorkResult());
            } else {
                state.finished = new FinishedWindow(MainWindow(), finished, text, WorkResult());
                state.finished->setAttribute(Qt::WA_DeleteOnClose);
            }
            state.finished->show();
            state.finished->raise();
        }
        break;
    case WorkOutcome::Cancelled:
        ShowStatus(text.isEmpty() ? title + QStringLiteral(" cancelled.") : text);
        break;
    case WorkOutcome::Failed: {
        const QString failed = title + QStringLiteral(" failed");
        ShowStatus(failed + QLatin1Char('.'));
        if (state.failure) {
            state.failure->Tell(failed, text);
        } else {
            state.failure = new FailureWindow(MainWindow(), failed, text);
            state.failure->setAttribute(Qt::WA_DeleteOnClose);
        }
        state.failure->show();
        state.failure->raise();
        break;
    }
    }
}

void AtOnce(int index)
{
    if (State().progress)
        State().progress->AtOnce(index);
}

} // namespace

WorkFace QtWorkFace() { return WorkFace{Begin, Step, Within, End, AtOnce}; }

void CloseWorkWindows()
{
    FaceState& state = State();
    delete state.progress.data();
    delete state.failure.data();
    delete state.finished.data();
    state.title.clear();
}

} // namespace detail

} // namespace qtview

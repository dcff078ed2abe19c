// The Qt face of long work (internal to the Qt front end): a progress window
// while it runs, a window that tells a failure, and the main window's status
// line for how it ended.
#pragma once

#include "os/work.h"
#include "os/work_time_left.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <set>

#include <string>
#include <string_view>

class QLabel;
class QProgressBar;
class QPushButton;

namespace qtview {

// A duration as the progress window shows it: "0:07", "12:34", "1:02:03".
QString FormatDuration(qint64 seconds);

// The window that shows long work: its step, one bar for the whole work,
// the time it has taken and the time it will still take. "_Cancel", Escape
// and the close gadget all cancel the work; the window stays until the work
// ends.
class ProgressWindow final : public QDialog {
public:
    ProgressWindow(QWidget* parent, const QString& title, int count);

    void Step(int index, const QString& text);
    void Within(double fraction);
    void AtOnce(int index);
    // How far the whole work has come, 0 to 1.
    double Fraction() const;
    // How far the steps that take time have come, 0 to 1: the time left
    // is told from them.
    double TimedFraction() const;
    // Shows the times again (a timer does it every half second).
    void ShowTimes();

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Cancel();
    void ShowProgress();

    WorkProgress progress_;
    QElapsedTimer clock_;
    QTimer tick_;
    QLabel* step_;
    QProgressBar* bar_;
    QLabel* elapsed_;
    QLabel* remaining_;
    QPushButton* cancel_;
};

// A failure told in plain words, with "_OK". It does not block: the
// program's windows answer while it is open.
class FailureWindow final : public QDialog {
public:
    FailureWindow(QWidget* parent, const QString& title, const QString& message);
    void Tell(const QString& title, const QString& message);

private:
    QLabel* message_;
};

// A finished render: where its file is, with buttons that hand the file
// and its folder to the desktop's default programs. It does not block.
class FinishedWindow final : public QDialog {
public:
    FinishedWindow(QWidget* parent, const QString& title, const QString& message, const std::string& file);
    void Tell(const QString& title, const QString& message, const std::string& file);

private:
    QLabel* message_;
    std::string file_;
};

// The command line that opens a file (AmigaDOS or host path) with the
// desktop's default program, detached: "RUN <NIL: >NIL: xdg-open NAME".
std::string OpenCommand(std::string_view file);
// The folder part of a path as the program writes paths ("RAM:" for
// "RAM:x.mp4", "Work:a" for "Work:a/x.mp4", "" for a bare name).
std::string FolderOf(std::string_view file);

namespace detail {

// The face that the front end installs for long work.
WorkFace QtWorkFace();
// Closes the windows of the face (the front end is going).
void CloseWorkWindows();

} // namespace detail

} // namespace qtview

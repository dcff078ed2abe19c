// The player's window (internal to the Qt front end): the frames mpv's
// software renderer draws, scaled to the window in the output format's
// shape, and the controls a player's users know.
#pragma once

#include <QImage>
#include <QSlider>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace qtview {

// The picture: the player's last frame, scaled to fit with its shape kept;
// the player's problem in words when it has one.
class FrameView final : public QWidget {
public:
    explicit FrameView(QWidget* parent);
    void Show(const QImage& frame, const QString& problem);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage frame_;
    QString problem_;
};

// The scrub bar over the whole source, with the stretch's start and end
// marked on its groove.
class ScrubBar final : public QSlider {
public:
    explicit ScrubBar(QWidget* parent);
    void SetMarks(double start, double end, double duration);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double start_ = 0.0;
    double end_ = 0.0;
    double duration_ = 0.0;
};

class PlayerWindow final : public QWidget {
public:
    PlayerWindow();
    // Shows the player's state and its last frame.
    void Refresh();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Build();
    void SeekBy(double seconds);

    FrameView* view_ = nullptr;
    ScrubBar* scrub_ = nullptr;
    QLabel* position_ = nullptr;
    QPushButton* play_ = nullptr;
    QCheckBox* loop_ = nullptr;
    QCheckBox* mute_ = nullptr;
    QSlider* volume_ = nullptr;
    QPushButton* setStart_ = nullptr;
    QPushButton* setEnd_ = nullptr;
    bool refreshing_ = false;
};

namespace detail {
// Shows the player's window while the player is open.
void InstallPlayerFace();
void RemovePlayerFace();
// The window while it is open (tests look at it); null otherwise.
PlayerWindow* CurrentPlayerWindow();
} // namespace detail

} // namespace qtview

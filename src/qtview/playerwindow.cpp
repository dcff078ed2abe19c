// The player's window. It never waits for mpv: mpv's callbacks post a pump
// to Qt's loop, the pump draws the waiting frame into the player's frame
// source, and the window paints that image when Qt next paints.
#include "qtview/playerwindow.h"

#include "gui/player_actions.h"
#include "media/player.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>
#include <memory>

namespace qtview {

namespace {

std::unique_ptr<PlayerWindow>& Window()
{
    static std::unique_ptr<PlayerWindow> window;
    return window;
}

// The position text: h:mm:ss.mmm and the frame number.
QString PositionText(const PlayerState& state)
{
    return QStringLiteral("%1   frame %2")
        .arg(QString::fromStdString(PlayerTimeText(state.position)))
        .arg(state.frame);
}

QImage FrameImage()
{
    const PlayerFrame& frame = PlayerLastFrame();
    if (frame.pixels.empty())
        return {};
    return QImage(frame.pixels.data(), frame.width, frame.height, frame.width * 4, QImage::Format_RGB32).copy();
}

// One button of the control row.
struct Control {
    const char* label;
    const char* help;
    std::function<void()> act;
};

} // namespace

FrameView::FrameView(QWidget* parent)
    : QWidget(parent)
{
    setMinimumSize(160, 90);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void FrameView::Show(const QImage& frame, const QString& problem)
{
    frame_ = frame;
    problem_ = problem;
    update();
}

QSize FrameView::sizeHint() const
{
    const PlayerMedia& media = PlayerCurrentMedia();
    return QSize(std::max(media.width, 320), std::max(media.height, 180));
}

void FrameView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!problem_.isEmpty()) {
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, problem_);
        return;
    }
    if (frame_.isNull())
        return;
    const QSize shown = frame_.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, frame_);
}

ScrubBar::ScrubBar(QWidget* parent)
    : QSlider(Qt::Horizontal, parent)
{
    setRange(0, 0);
    setToolTip(QStringLiteral("The whole source; the stretch's start and end are marked"));
}

void ScrubBar::SetMarks(double start, double end, double duration)
{
    start_ = start;
    end_ = end;
    duration_ = duration;
    update();
}

void ScrubBar::paintEvent(QPaintEvent* event)
{
    QSlider::paintEvent(event);
    if (duration_ <= 0.0)
        return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    QPainter painter(this);
    painter.setPen(QPen(palette().highlight().color(), 3));
    for (const double mark : {start_, end_}) {
        const int x = groove.left() + static_cast<int>(groove.width() * std::clamp(mark / duration_, 0.0, 1.0));
        painter.drawLine(x, rect().top() + 2, x, rect().bottom() - 2);
    }
}

PlayerWindow::PlayerWindow()
{
    setWindowTitle(QStringLiteral("Clipweaver Player"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    Build();
}

void PlayerWindow::Build()
{
    auto* layout = new QVBoxLayout(this);
    view_ = new FrameView(this);
    layout->addWidget(view_, 1);
    scrub_ = new ScrubBar(this);
    // The keys are the window's own: arrows step the player, not a slider.
    scrub_->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(scrub_);
    connect(scrub_, &QSlider::sliderMoved, this, [](int millis) { PlayerSeek(millis / 1000.0); });

    const Control controls[] = {
        {"|<", "To the stretch's start (Home)", [] { PlayerSeek(PlayerCurrent().start); }},
        {"-10s", "Back 10 seconds (Down)", [this] { SeekBy(-10); }},
        {"-1s", "Back 1 second (Left)", [this] { SeekBy(-1); }},
        {"<|", "One frame back (,)", [] { PlayerStep(-1); }},
        {"Play", "Play or pause (Space, K)", [] { PlayerSetPlaying(!PlayerCurrent().playing); }},
        {"|>", "One frame forward (.)", [] { PlayerStep(1); }},
        {"+1s", "Forward 1 second (Right)", [this] { SeekBy(1); }},
        {"+10s", "Forward 10 seconds (Up)", [this] { SeekBy(10); }},
        {">|", "To the stretch's end (End)", [] { PlayerSeek(PlayerCurrent().end); }},
    };
    auto* row = new QHBoxLayout;
    for (const Control& control : controls) {
        auto* button = new QPushButton(QString::fromUtf8(control.label), this);
        button->setToolTip(QString::fromUtf8(control.help));
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, control.act);
        row->addWidget(button);
        if (QString::fromUtf8(control.label) == QStringLiteral("Play"))
            play_ = button;
    }
    position_ = new QLabel(this);
    row->addWidget(position_, 1);
    layout->addLayout(row);

    auto* second = new QHBoxLayout;
    loop_ = new QCheckBox(QStringLiteral("Loop start..end"), this);
    connect(loop_, &QCheckBox::toggled, this, [](bool on) { PlayerSetLoop(on); });
    mute_ = new QCheckBox(QStringLiteral("Mute"), this);
    connect(mute_, &QCheckBox::toggled, this, [](bool on) { PlayerSetMute(on); });
    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setRange(0, 130);
    volume_->setToolTip(QStringLiteral("Volume"));
    connect(volume_, &QSlider::valueChanged, this, [this](int value) {
        if (!refreshing_)
            PlayerSetVolume(value);
    });
    setStart_ = new QPushButton(QStringLiteral("Set Start (I)"), this);
    setStart_->setToolTip(QStringLiteral("The editor's start to the frame shown"));
    connect(setStart_, &QPushButton::clicked, this, [] { PlayerMark(false); });
    setEnd_ = new QPushButton(QStringLiteral("Set End (O)"), this);
    setEnd_->setToolTip(QStringLiteral("The editor's end to the frame shown"));
    connect(setEnd_, &QPushButton::clicked, this, [] { PlayerMark(true); });
    for (QWidget* widget : std::initializer_list<QWidget*>{loop_, mute_, volume_, setStart_, setEnd_}) {
        widget->setFocusPolicy(Qt::NoFocus);
        second->addWidget(widget);
    }
    layout->addLayout(second);
    setFocusPolicy(Qt::StrongFocus);
}

void PlayerWindow::SeekBy(double seconds) { PlayerSeek(std::max(0.0, PlayerCurrent().position + seconds)); }

void PlayerWindow::Refresh()
{
    const PlayerState& state = PlayerCurrent();
    refreshing_ = true;
    view_->Show(FrameImage(), QString::fromStdString(state.problem));
    position_->setText(PositionText(state));
    play_->setText(state.playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    const int duration = static_cast<int>(std::lround(std::max(state.duration, state.end) * 1000.0));
    scrub_->setRange(0, duration);
    if (!scrub_->isSliderDown())
        scrub_->setValue(static_cast<int>(std::lround(state.position * 1000.0)));
    scrub_->SetMarks(state.start, state.end, std::max(state.duration, state.end));
    QSignalBlocker loop(loop_);
    loop_->setChecked(state.loop);
    loop_->setEnabled(!state.preview);
    QSignalBlocker mute(mute_);
    mute_->setChecked(state.mute);
    if (!volume_->isSliderDown())
        volume_->setValue(static_cast<int>(std::lround(state.volume)));
    setStart_->setEnabled(!state.preview && state.problem.empty());
    setEnd_->setEnabled(!state.preview && state.problem.empty());
    setWindowTitle(QStringLiteral("Clipweaver Player - %1").arg(QString::fromStdString(state.file)));
    refreshing_ = false;
}

void PlayerWindow::keyPressEvent(QKeyEvent* event)
{
    struct Key {
        int key;
        std::function<void()> act;
    };
    const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    const Key keys[] = {
        {Qt::Key_Space, [] { PlayerSetPlaying(!PlayerCurrent().playing); }},
        {Qt::Key_K, [] { PlayerSetPlaying(!PlayerCurrent().playing); }},
        {Qt::Key_Comma, [] { PlayerStep(-1); }},
        {Qt::Key_Period, [] { PlayerStep(1); }},
        {Qt::Key_Left, [this, shift] { SeekBy(shift ? -10 : -1); }},
        {Qt::Key_Right, [this, shift] { SeekBy(shift ? 10 : 1); }},
        {Qt::Key_Down, [this] { SeekBy(-10); }},
        {Qt::Key_Up, [this] { SeekBy(10); }},
        {Qt::Key_Home, [] { PlayerSeek(PlayerCurrent().start); }},
        {Qt::Key_End, [] { PlayerSeek(PlayerCurrent().end); }},
        {Qt::Key_L, [] { PlayerSetLoop(!PlayerCurrent().loop); }},
        {Qt::Key_M, [] { PlayerSetMute(!PlayerCurrent().mute); }},
        {Qt::Key_9, [] { PlayerSetVolume(PlayerCurrent().volume - 5); }},
        {Qt::Key_0, [] { PlayerSetVolume(PlayerCurrent().volume + 5); }},
        {Qt::Key_I, [] { PlayerMark(false); }},
        {Qt::Key_O, [] { PlayerMark(true); }},
    };
    for (const Key& key : keys) {
        if (key.key == event->key()) {
            key.act();
            Refresh();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

// The close gadget closes the player; the window itself goes when the
// player says it has closed, after this event.
void PlayerWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    QTimer::singleShot(0, qApp, [] { PlayerClose(); });
}

namespace detail {

void InstallPlayerFace()
{
    PlayerFace face;
    face.post = [](std::function<void()> pump) {
        QMetaObject::invokeMethod(qApp, std::move(pump), Qt::QueuedConnection);
    };
    face.opened = [] {
        if (!Window())
            Window() = std::make_unique<PlayerWindow>();
        Window()->show();
        Window()->raise();
        Window()->activateWindow();
    };
    face.changed = [] {
        if (Window())
            Window()->Refresh();
    };
    // The window may be handling the event that closed the player: it is
    // hidden, and kept for the next opening.
    face.closed = [] {
        if (Window())
            Window()->hide();
    };
    SetPlayerFace(std::move(face));
}

void RemovePlayerFace()
{
    PlayerClose();
    SetPlayerFace({});
    Window().reset();
}

PlayerWindow* CurrentPlayerWindow() { return Window().get(); }

} // namespace detail

} // namespace qtview

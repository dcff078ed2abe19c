// While a tool runs the program is in the middle of an operation: Qt may
// paint, move and restore windows, but the user's clicks and keys must not
// reach the model yet, or a return ID would be raised (and fields changed)
// halfway through. During a short tool run (a probe, a copy) they are taken
// away as copies before any widget sees them and handed over one at a time
// by the program's wait, so each click is handled completely (its return ID
// dispatched) before the next one arrives, in the order the user made them.
// During long work (a render, a grab of stills) the gadgets are greyed and
// the user's edits are dropped: carried out afterwards they would act on a
// project the user no longer saw (a second render over the first one's
// output, a crouton deleted unseen). Quitting and the close gadgets are kept
// and act once the work has stopped; a quit during a render first asks.
#include "qtview/inputhold.h"

#include "qtview/objectview.h"
#include "qtview/qtview.h"
#include "qtview/widgets.h"
#include "os/question.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QScopedValueRollback>
#include <QWindow>

#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

namespace qtview {

namespace {

// One held input: a copy of a Qt event for its receiver, or an action.
struct HeldInput {
    QPointer<QObject> target;
    std::unique_ptr<QEvent> event;
    std::function<void()> action;
    bool quits = false;
};

class InputHold final : public QObject {
public:
    bool eventFilter(QObject* receiver, QEvent* event) override;

    void Hold(HeldInput input);
    bool DeliverNext();
    bool Holding() const { return busy_ || !held_.empty(); }
    bool Dropping() const { return workBusy_; }
    bool Greyed(const QWidget* widget) const;
    bool Greyed(const QAction* action) const;
    bool QuitPending() const { return quitsHeld_ > 0; }
    void SetToolDepth(int change);
    void SetWorkBusy(bool busy);
    void SetCursorExempt(bool exempt);
    void Drop();

private:
    void UpdateBusy();
    void Grey(bool grey);
    void GreyMenuItem(const mui::Object& item);
    bool MayQuit();
    void ApplyCursor();

    std::deque<HeldInput> held_;
    int quitsHeld_ = 0;
    // The event being handed over: it passes the filter.
    const QEvent* delivering_ = nullptr;
    // While one is handed over, what Qt makes of it (the window passes a
    // click on to the button under it) passes too.
    bool handingOver_ = false;
    int toolDepth_ = 0;
    bool workBusy_ = false;
    bool busy_ = false;
    bool cursorShown_ = false;
    bool cursorExempt_ = false;
    bool asking_ = false;
    bool grey_ = false;
    std::vector<QPointer<QWidget>> greyed_;
    std::vector<std::pair<QPointer<QAction>, const mui::Object*>> greyedItems_;
};

std::unique_ptr<InputHold>& TheHold()
{
    static std::unique_ptr<InputHold> hold;
    return hold;
}

std::vector<LONG>& QuitIds()
{
    static std::vector<LONG> ids;
    return ids;
}

bool IsUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

// The program's window (a window of the object model) that a receiver
// belongs to: the widget itself or the window Qt delivers to; null for the
// progress window, dialogs, menus and everything else.
WindowWidget* ProgramWindowOf(QObject* receiver)
{
    if (receiver == nullptr)
        return nullptr;
    if (receiver->isWidgetType())
        return dynamic_cast<WindowWidget*>(static_cast<QWidget*>(receiver)->window());
    if (auto* window = qobject_cast<QWindow*>(receiver)) {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->windowHandle() == window)
                return dynamic_cast<WindowWidget*>(top);
        }
    }
    return nullptr;
}

bool InMenuBar(const QWidget* widget)
{
    for (const QWidget* w = widget; w != nullptr && !w->isWindow(); w = w->parentWidget()) {
        if (qobject_cast<const QMenuBar*>(w) != nullptr)
            return true;
    }
    return false;
}

bool Notifies(const mui::Object* object, Tag attribute, LONG value)
{
    if (object == nullptr)
        return false;
    return std::any_of(object->notifications().begin(), object->notifications().end(), [&](const auto& n) {
        return n.attribute == attribute && (n.trigger == value || n.trigger == MUIV_EveryTime)
            && detail::IsQuitId(n.returnId);
    });
}

// A button of the model whose release quits ("_Quit").
bool QuitButton(const QWidget* widget)
{
    const mui::Object* object = detail::ObjectOf(widget);
    return object != nullptr && object->kind() == mui::Kind::Button && Notifies(object, MUIA_Pressed, FALSE);
}

bool InputQuits(QEvent* event, QWidget* landing)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    return mouse->button() == Qt::LeftButton && QuitButton(landing);
}

bool InputHold::eventFilter(QObject* receiver, QEvent* event)
{
    if (event == delivering_ || handingOver_ || !Holding())
        return false;
    const QEvent::Type type = event->type();
    // A menu or list that pops up is the user's own business; it cannot
    // open while input is held, except the menu strip's, which stays live.
    // Input is taken where Qt hands it to a widget (the window under the
    // pointer, the focus for keys has been found by then).
    if (IsUserInput(type)) {
        if (!event->spontaneous() || !receiver->isWidgetType() || QApplication::activePopupWidget() != nullptr)
            return false;
        auto* landing = static_cast<QWidget*>(receiver);
        if (ProgramWindowOf(landing) == nullptr || InMenuBar(landing))
            return false;
        // Moving the pointer over a window only lights things up.
        if (type == QEvent::MouseMove && static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton)
            return false;
        if (Dropping()) {
            if (InputQuits(event, landing)) {
                QPointer<QWidget> target = landing;
                Hold({nullptr, nullptr, [target] {
                          if (auto* button = qobject_cast<QAbstractButton*>(target.data()))
                              button->click();
                      },
                      true});
            }
            event->accept();
            return true;
        }
        Hold({receiver, std::unique_ptr<QEvent>(event->clone()), {}, InputQuits(event, landing)});
        event->accept();
        return true;
    }
    if (type == QEvent::Shortcut) {
        // A button's keyboard shortcut ("_Quit": Alt+Q); Qt sends it as a
        // plain event, so it is told apart by its receiver alone.
        WindowWidget* window = ProgramWindowOf(receiver);
        auto* button = qobject_cast<QAbstractButton*>(receiver);
        if (window == nullptr || !receiver->isWidgetType() || InMenuBar(static_cast<QWidget*>(receiver)))
            return false;
        if (Dropping() && !(button != nullptr && QuitButton(button))) {
            event->accept();
            return true;
        }
        if (button != nullptr) {
            QPointer<QAbstractButton> target = button;
            Hold({nullptr, nullptr, [target] {
                      if (target && target->isEnabled() && target->isVisible())
                          target->click();
                  },
                  QuitButton(button)});
        } else {
            Hold({receiver, std::unique_ptr<QEvent>(event->clone()), {}, false});
        }
        event->accept();
        return true;
    }
    if (type == QEvent::Close) {
        WindowWidget* window = ProgramWindowOf(receiver);
        if (window == nullptr)
            return false;
        QPointer<WindowWidget> target = window;
        const bool quits = Notifies(detail::ObjectOf(window), MUIA_Window_CloseRequest, TRUE);
        Hold({nullptr, nullptr, [this, target] {
                  if (!target)
                      return;
                  QCloseEvent close;
                  delivering_ = &close;
                  QCoreApplication::sendEvent(target, &close);
                  delivering_ = nullptr;
              },
              quits});
        // The window stays; the model decides when its close is handed over.
        event->ignore();
        return true;
    }
    return false;
}

// A quit during a render asks first; unanswered, the render stops and the
// program quits, as it always did.
bool InputHold::MayQuit()
{
    if (WorkTitle() != "Rendering" || asking_)
        return !asking_;
    const QScopedValueRollback<bool> asking(asking_, true);
    enum { kStop, kContinue };
    return AskQuestion({"Quit", "A render is running. Stop it and quit?", {"_Stop", "_Continue"}, kStop, kContinue})
        == kStop;
}

void InputHold::Hold(HeldInput input)
{
    if (input.quits && !MayQuit())
        return;
    if (input.quits) {
        ++quitsHeld_;
        CancelWork();
    }
    held_.push_back(std::move(input));
}

bool InputHold::DeliverNext()
{
    if (held_.empty())
        return false;
    HeldInput input = std::move(held_.front());
    held_.pop_front();
    if (input.quits)
        --quitsHeld_;
    const QScopedValueRollback<bool> handingOver(handingOver_, true);
    if (input.action) {
        input.action();
    } else if (input.target) {
        delivering_ = input.event.get();
        QCoreApplication::sendEvent(input.target, input.event.get());
        delivering_ = nullptr;
    }
    return true;
}

void InputHold::SetToolDepth(int change)
{
    toolDepth_ = std::max(0, toolDepth_ + change);
    UpdateBusy();
}

void InputHold::SetWorkBusy(bool busy)
{
    workBusy_ = busy;
    UpdateBusy();
}

void InputHold::UpdateBusy()
{
    busy_ = toolDepth_ > 0 || workBusy_;
    Grey(workBusy_);
    ApplyCursor();
}

bool InputHold::Greyed(const QWidget* widget) const
{
    return std::any_of(greyed_.begin(), greyed_.end(), [widget](const QPointer<QWidget>& w) { return w == widget; });
}

bool InputHold::Greyed(const QAction* action) const
{
    return std::any_of(greyedItems_.begin(), greyedItems_.end(), [action](const auto& item) { return item.first == action; });
}

// A menu item looks as its gadget does: greyed, unless it quits.
void InputHold::GreyMenuItem(const mui::Object& item)
{
    QAction* action = ActionOf(&item);
    if (action == nullptr || !action->isEnabled() || detail::IsQuitId(item.GetLong(MUIA_UserData)))
        return;
    action->setEnabled(false);
    greyedItems_.emplace_back(action, &item);
}

// The gadgets the user edits with and the menu items, in every window of
// the program; the "_Quit" button and the Quit item stay as they are.
void InputHold::Grey(bool grey)
{
    if (grey == grey_)
        return;
    grey_ = grey;
    if (!grey) {
        std::vector<QPointer<QWidget>> greyed = std::move(greyed_);
        greyed_.clear();
        for (const QPointer<QWidget>& widget : greyed) {
            if (const mui::Object* object = widget ? detail::ObjectOf(widget) : nullptr)
                widget->setEnabled(object->GetLong(MUIA_Disabled) == 0);
        }
        auto items = std::move(greyedItems_);
        greyedItems_.clear();
        for (const auto& [action, object] : items) {
            // The item's object is looked up again: it may have gone.
            if (action && ActionOf(object) == action)
                action->setEnabled(object->GetLong(MUIA_Disabled) == 0);
        }
        return;
    }
    const mui::Object* application = mui::CurrentApplication();
    if (application == nullptr)
        return;
    std::vector<const mui::Object*> pending{application};
    while (!pending.empty()) {
        const mui::Object* object = pending.back();
        pending.pop_back();
        for (const auto& child : object->children())
            pending.push_back(child.get());
        switch (object->kind()) {
        case mui::Kind::String:
        case mui::Kind::Button:
        case mui::Kind::PopButton:
        case mui::Kind::Cycle:
        case mui::Kind::Slider:
        case mui::Kind::Radio:
        case mui::Kind::NList:
            break;
        case mui::Kind::Menuitem:
            GreyMenuItem(*object);
            continue;
        default:
            continue;
        }
        QWidget* widget = WidgetOf(object);
        if (widget == nullptr || QuitButton(widget) || !widget->isEnabled())
            continue;
        widget->setEnabled(false);
        greyed_.emplace_back(widget);
    }
}

void InputHold::SetCursorExempt(bool exempt)
{
    cursorExempt_ = exempt;
    ApplyCursor();
}

void InputHold::ApplyCursor()
{
    if (busy_) {
        const QCursor cursor(cursorExempt_ ? Qt::ArrowCursor : Qt::WaitCursor);
        if (cursorShown_) {
            QApplication::changeOverrideCursor(cursor);
        } else {
            QApplication::setOverrideCursor(cursor);
            cursorShown_ = true;
        }
    } else if (cursorShown_) {
        QApplication::restoreOverrideCursor();
        cursorShown_ = false;
    }
}

void InputHold::Drop()
{
    held_.clear();
    quitsHeld_ = 0;
    toolDepth_ = 0;
    workBusy_ = false;
    UpdateBusy();
}

} // namespace

void SetQuitReturnIds(std::vector<LONG> returnIds) { QuitIds() = std::move(returnIds); }

namespace detail {

void InstallInputHold()
{
    if (TheHold() || QCoreApplication::instance() == nullptr)
        return;
    TheHold() = std::make_unique<InputHold>();
    QCoreApplication::instance()->installEventFilter(TheHold().get());
}

void RemoveInputHold()
{
    if (!TheHold())
        return;
    TheHold()->Drop();
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeEventFilter(TheHold().get());
    TheHold().reset();
}

void OnToolWait(ToolWait phase)
{
    InputHold* hold = TheHold().get();
    switch (phase) {
    case ToolWait::Begin:
        if (hold != nullptr)
            hold->SetToolDepth(+1);
        break;
    case ToolWait::Poll:
        // Qt's own events only: the program's loop is not run from here, and
        // the user's input to its windows is held by the filter.
        if (QCoreApplication::instance() != nullptr)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        break;
    case ToolWait::End:
        if (hold != nullptr)
            hold->SetToolDepth(-1);
        break;
    }
}

void SetWorkBusy(bool busy)
{
    if (TheHold())
        TheHold()->SetWorkBusy(busy);
}

bool HoldingInput() { return TheHold() && TheHold()->Holding(); }

bool EditsDropped() { return TheHold() && TheHold()->Dropping(); }

bool GreyedForWork(const QWidget* widget) { return TheHold() && TheHold()->Greyed(widget); }

bool GreyedForWork(const QAction* action) { return TheHold() && TheHold()->Greyed(action); }

void HoldAction(std::function<void()> action, bool quits)
{
    if (TheHold())
        TheHold()->Hold({nullptr, nullptr, std::move(action), quits});
    else if (action)
        action();
}

bool DeliverHeldInput() { return TheHold() && TheHold()->DeliverNext(); }

bool QuitPending() { return TheHold() && TheHold()->QuitPending(); }

bool IsQuitId(LONG returnId)
{
    return returnId == MUIV_Application_ReturnID_Quit
        || std::find(QuitIds().begin(), QuitIds().end(), returnId) != QuitIds().end();
}

void SetCursorExempt(bool exempt)
{
    if (TheHold())
        TheHold()->SetCursorExempt(exempt);
}

} // namespace detail

} // namespace qtview

// Every object of the model shows as its natural widget (a gadget through its
// face, faces.h). Values set by code reach the widgets with their signals
// blocked, so they never come back as a user's edit; a user's edit goes to
// the model only through mui::User*.
#include "qtview/objectview.h"

#include "qtview/faces.h"
#include "qtview/inputhold.h"
#include "qtview/placement.h"
#include "qtview/qtview.h"
#include "qtview/widgets.h"

#include <QAction>
#include <QFile>
#include <QSaveFile>
#include <QKeySequence>
#include <QApplication>
#include <QGuiApplication>
#include <QBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace qtview {

namespace {

using detail::ReportAction;
using mui::Kind;
using mui::Object;

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

ActionObserver& Observer()
{
    static ActionObserver observer;
    return observer;
}

Object* ChildOfKind(const Object& parent, Kind kind)
{
    for (const auto& child : parent.children()) {
        if (child->kind() == kind)
            return child.get();
    }
    return nullptr;
}

// How much of a horizontal group's spare width a child takes: its weight,
// 100 by default, none for a fixed label.
int HorizontalStretch(const Object& child)
{
    if (child.Has(MUIA_HorizWeight))
        return std::max<LONG>(0, child.GetLong(MUIA_HorizWeight));
    return child.kind() == Kind::Label ? 0 : 100;
}

// A shortcut with Ctrl or Alt, or a function key, works anywhere in the
// window; a plain key such as Delete edits text elsewhere, so it works only
// in the window's lists.
void SetMenuShortcut(QAction& action, const QKeySequence& key, QWidget& window)
{
    if (key.isEmpty())
        return;
    action.setShortcut(key);
    const QKeyCombination combination = key[0];
    const bool modified = (combination.keyboardModifiers() & (Qt::ControlModifier | Qt::AltModifier)) != 0;
    const bool functionKey = combination.key() >= Qt::Key_F1 && combination.key() <= Qt::Key_F35;
    if (modified || functionKey) {
        action.setShortcutContext(Qt::WindowShortcut);
        return;
    }
    action.setShortcutContext(Qt::WidgetShortcut);
    for (ListWidget* list : window.findChildren<ListWidget*>())
        list->addAction(&action);
}

// What a window's frame takes before it has one to measure: the sides, and
// (three times) the title bar.
constexpr int kFrameAllowance = 16;

class View final : public mui::ObjectView, public detail::FaceHost {
public:
    void Attach(Object& application);
    void DetachAll();
    QWidget* WidgetOf(const Object* object) const;
    QAction* ActionOf(const Object* object) const;
    Object* ObjectOf(const QWidget* widget) const;
    WindowWidget* MainWindow() const { return mainWindow_; }

    void AttributeChanged(Object& object, Tag attribute) override;
    void EntriesChanged(Object& list) override;
    void ObjectDisposed(Object& object) override;
    void Resync(Object& object, Tag attribute) override { Sync(object, attribute); }
    void PictureChanged(Object& picture) override;

private:
    struct Binding {
        Object* object = nullptr;
        Kind kind = Kind::Application;
        QPointer<QWidget> outer;          // what its parent lays out (a window: the window)
        QPointer<QMenu> menu;             // Menu
        QPointer<QAction> action;         // Menuitem
        bool menuShown = false;           // Application: its menu strip has a window
    };

    QWidget* Build(Object& object, bool windowRoot);
    // Windows, groups, file fields, lists and pictures.
    QWidget* BuildContainer(Object& object, bool windowRoot);
    QWidget* BuildGroup(Object& group, bool windowRoot);
    void BuildMenuBar(Object& application, WindowWidget& window);

    // Brings the widget in line with the model: one attribute, or all (0).
    void Sync(Object& object, Tag attribute);
    void SyncEntries(Object& object);
    void ApplyGeometry(Object& object);
    void ShowWindow(Object& window);
    void PlaceWindow(Object& window, WindowWidget& widget);
    // Gives a window its first size: what its gadgets need, within the screen.
    void FitOnScreen(WindowWidget& widget);

    Binding* Find(const Object* object);

    std::unordered_map<const Object*, Binding> bindings_;
    QPointer<WindowWidget> mainWindow_;
    // Where the user last left each of the other windows during this run.
    std::unordered_map<const Object*, QPoint> placements_;
    bool mainPlaceRestored_ = false;
};

// The file that keeps the main window's place and size from one run to the
// next; none (tests) keeps nothing.
QString& PlaceFile()
{
    static QString file;
    return file;
}

void RestorePlace(QWidget& window)
{
    if (PlaceFile().isEmpty())
        return;
    QFile file(PlaceFile());
    if (!file.open(QIODevice::ReadOnly))
        return;
    // Qt brings a place kept on another screen layout back onto a screen.
    window.restoreGeometry(QByteArray::fromBase64(file.readAll().trimmed()));
}

void SavePlace(QWidget& window)
{
    if (PlaceFile().isEmpty() || !window.testAttribute(Qt::WA_WState_Created))
        return;
    QSaveFile file(PlaceFile());
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(window.saveGeometry().toBase64() + '\n');
    file.commit();
}

View& TheView()
{
    static View view;
    return view;
}

View::Binding* View::Find(const Object* object)
{
    auto it = bindings_.find(object);
    return it == bindings_.end() ? nullptr : &it->second;
}

QWidget* View::WidgetOf(const Object* object) const
{
    auto it = bindings_.find(object);
    return it == bindings_.end() ? nullptr : it->second.outer.data();
}

QAction* View::ActionOf(const Object* object) const
{
    auto it = bindings_.find(object);
    return it == bindings_.end() ? nullptr : it->second.action.data();
}

Object* View::ObjectOf(const QWidget* widget) const
{
    for (; widget != nullptr; widget = widget->parentWidget()) {
        for (const auto& [object, binding] : bindings_) {
            if (binding.outer == widget)
                return binding.object;
        }
        if (widget->isWindow())
            break;
    }
    return nullptr;
}

void View::Attach(Object& application)
{
    application.SetView(this);
    Binding& binding = bindings_[&application];
    binding.object = &application;
    binding.kind = Kind::Application;
    for (const auto& child : application.children()) {
        if (child->kind() != Kind::Window)
            continue;
        Build(*child, false);
        Sync(*child, 0);
    }
}

void View::DetachAll()
{
    std::vector<Object*> applications;
    std::vector<QPointer<QWidget>> windows;
    for (auto& [object, binding] : bindings_) {
        if (binding.kind == Kind::Application)
            applications.push_back(binding.object);
        else if (binding.kind == Kind::Window)
            windows.push_back(binding.outer);
    }
    if (mainWindow_)
        SavePlace(*mainWindow_);
    mainPlaceRestored_ = false;
    bindings_.clear();
    placements_.clear();
    for (Object* application : applications)
        application->SetView(nullptr);
    for (QPointer<QWidget>& window : windows)
        delete window.data();
}

QWidget* View::Build(Object& object, bool windowRoot)
{
    const detail::GadgetFace* face = detail::FaceOf(object.kind());
    QWidget* widget = face != nullptr ? face->build(object, *this) : BuildContainer(object, windowRoot);
    if (widget == nullptr)
        return nullptr;
    widget->setObjectName(QString::fromLatin1(mui::KindName(object.kind())));
    Binding binding;
    binding.object = &object;
    binding.kind = object.kind();
    binding.outer = widget;
    bindings_[&object] = binding;
    if (object.kind() != Kind::Window)
        Sync(object, 0);
    return widget;
}

QWidget* View::BuildContainer(Object& object, bool windowRoot)
{
    QWidget* widget = nullptr;
    switch (object.kind()) {
    case Kind::Window: {
        auto* window = new WindowWidget(object, [](Object& closing) {
            ReportAction("UserCloseWindow");
            mui::UserCloseWindow(&closing);
        });
        window->SetDropHandler([](Object& target, std::vector<std::string> files) {
            auto drop = [&target, files] {
                ReportAction("UserDropFiles");
                mui::UserDropFiles(&target, files);
            };
            // A drop while a tool runs waits its turn like any other input
            // (unless the program has ended the window's application).
            if (detail::HoldingInput()) {
                Object* app = target.application();
                detail::HoldAction([app, drop] {
                    if (app != nullptr && mui::CurrentApplication() == app)
                        drop();
                }, false);
            } else {
                drop();
            }
        });
        if (!object.children().empty()) {
            auto* scroll = new WindowScroll;
            scroll->setWidget(Build(*object.children().front(), true));
            window->setCentralWidget(scroll);
        }
        widget = window;
        break;
    }
    case Kind::Group:
        widget = BuildGroup(object, windowRoot);
        break;
    case Kind::Popasl: {
        auto* field = new QWidget;
        auto* layout = new QHBoxLayout(field);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(2);
        for (const auto& child : object.children())
            layout->addWidget(Build(*child, false), child->kind() == Kind::String ? 1 : 0);
        widget = field;
        break;
    }
    case Kind::NListview: {
        auto* view = new QWidget;
        auto* layout = new QVBoxLayout(view);
        layout->setContentsMargins(0, 0, 0, 0);
        for (const auto& child : object.children())
            layout->addWidget(Build(*child, false));
        widget = view;
        break;
    }
    case Kind::Space: {
        widget = new QWidget;
        widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        break;
    }
    default:
        // Gadgets with a face of their own; the application and its menus
        // have no widget of their own.
        break;
    }
    return widget;
}

QWidget* View::BuildGroup(Object& group, bool windowRoot)
{
    auto* container = new QWidget;
    const bool horizontal = group.GetLong(MUIA_Group_Horiz) != 0;
    QBoxLayout* layout = horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(container))
                                    : static_cast<QBoxLayout*>(new QVBoxLayout(container));
    if (!windowRoot)
        layout->setContentsMargins(0, 0, 0, 0);
    for (const auto& child : group.children()) {
        QWidget* widget = Build(*child, false);
        if (widget == nullptr)
            continue;
        layout->addWidget(widget, horizontal ? HorizontalStretch(*child) : 0);
    }
    return container;
}

void View::BuildMenuBar(Object& application, WindowWidget& window)
{
    Object* strip = ChildOfKind(application, Kind::Menustrip);
    if (strip == nullptr)
        return;
    QMenuBar* bar = window.menuBar();
    auto menuText = [](const std::optional<std::string>& text) {
        return ToQString(text.value_or(std::string())).replace(QLatin1Char('&'), QStringLiteral("&&"));
    };
    for (const auto& menuObject : strip->children()) {
        if (menuObject->kind() != Kind::Menu)
            continue;
        QMenu* menu = bar->addMenu(menuText(menuObject->GetString(MUIA_Menu_Title)));
        Binding& menuBinding = bindings_[menuObject.get()];
        menuBinding.object = menuObject.get();
        menuBinding.kind = Kind::Menu;
        menuBinding.menu = menu;
        for (const auto& itemObject : menuObject->children()) {
            if (itemObject->kind() != Kind::Menuitem)
                continue;
            QAction* action = menu->addAction(menuText(itemObject->GetString(MUIA_Menuitem_Title)));
            action->setVisible(!action->text().isEmpty());
            if (const std::optional<std::string> key = itemObject->GetString(MUIA_Menuitem_Shortcut))
                SetMenuShortcut(*action, QKeySequence(ToQString(*key)), window);
            const LONG userData = itemObject->GetLong(MUIA_UserData);
            Object* app = &application;
            QObject::connect(action, &QAction::triggered, action, [app, userData] {
                auto choose = [app, userData] {
                    ReportAction("UserChooseMenu");
                    mui::UserChooseMenu(app, userData);
                };
                // The menu strip stays usable while a tool runs; the choice
                // waits its turn like any other input (unless the program has
                // ended its application meanwhile). During long work only a
                // quit is kept: anything else would act on a project the user
                // no longer saw when choosing it.
                if (detail::EditsDropped() && !detail::IsQuitId(userData))
                    return;
                if (detail::HoldingInput()) {
                    detail::HoldAction([app, choose] {
                        if (mui::CurrentApplication() == app)
                            choose();
                    }, detail::IsQuitId(userData));
                } else {
                    choose();
                }
            });
            Binding& itemBinding = bindings_[itemObject.get()];
            itemBinding.object = itemObject.get();
            itemBinding.kind = Kind::Menuitem;
            itemBinding.action = action;
            Sync(*itemObject, MUIA_Disabled);
        }
        Sync(*menuObject, MUIA_Disabled);
    }
}

void View::ApplyGeometry(Object& object)
{
    Binding* binding = Find(&object);
    if (binding == nullptr || !binding->outer || object.kind() == Kind::Window)
        return;
    QWidget* widget = binding->outer;
    // A maximum width never cuts into what the contents need.
    const LONG maxWidth = object.GetLong(MUIA_MaxWidth);
    if (maxWidth > 0)
        widget->setMaximumWidth(std::max<int>(maxWidth, widget->minimumSizeHint().width()));
    else
        widget->setMaximumWidth(QWIDGETSIZE_MAX);
    const LONG fixHeight = object.GetLong(MUIA_FixHeight);
    if (fixHeight > 0) {
        widget->setFixedHeight(fixHeight);
    } else {
        widget->setMinimumHeight(0);
        widget->setMaximumHeight(QWIDGETSIZE_MAX);
    }
}

void View::ShowWindow(Object& window)
{
    Binding* binding = Find(&window);
    auto* widget = binding ? static_cast<WindowWidget*>(binding->outer.data()) : nullptr;
    if (widget == nullptr)
        return;
    if (window.GetLong(MUIA_Window_Open) == 0) {
        if (widget->isVisible() && widget != mainWindow_)
            placements_[&window] = widget->pos();
        widget->hide();
        return;
    }
    // The menu strip and the status line go to the first window that opens:
    // the program's main window.
    if (Object* application = window.application()) {
        Binding* app = Find(application);
        if (app != nullptr && !app->menuShown) {
            app->menuShown = true;
            mainWindow_ = widget;
            BuildMenuBar(*application, *widget);
            widget->statusBar()->setSizeGripEnabled(false);
        }
    }
    if (!widget->isVisible() && widget == mainWindow_ && !mainPlaceRestored_) {
        mainPlaceRestored_ = true;
        RestorePlace(*widget);
    }
    if (!widget->isVisible())
        FitOnScreen(*widget);
    if (!widget->isVisible() && widget != mainWindow_)
        PlaceWindow(window, *widget);
    widget->show();
    widget->raise();
    widget->activateWindow();
}

void View::FitOnScreen(WindowWidget& widget)
{
    if (widget.testAttribute(Qt::WA_Resized))
        return;
    QWidget* main = mainWindow_;
    QScreen* screen = main != nullptr && main->isVisible() ? main->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    // A first showing asks for what the gadgets need, at most the screen
    // less the window's frame; the rest scrolls.
    const QSize frame = main != nullptr && main->isVisible() && main != &widget
        ? main->frameGeometry().size() - main->size()
        : QSize(kFrameAllowance, 3 * kFrameAllowance);
    const QSize room = screen->availableGeometry().size() - frame;
    widget.resize(widget.sizeHint().boundedTo(room));
}

void View::PlaceWindow(Object& window, WindowWidget& widget)
{
    QWidget* main = mainWindow_;
    if (main == nullptr || !main->isVisible())
        return;
    QScreen* screen = main->screen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    if (!widget.testAttribute(Qt::WA_Resized))
        widget.adjustSize();
    // Before its first showing a window has no frame yet; the main window's
    // tells how large it will be.
    const QSize frame = widget.isWindow() && widget.testAttribute(Qt::WA_WState_Created)
        ? widget.frameGeometry().size()
        : widget.size() + (main->frameGeometry().size() - main->size());
    auto remembered = placements_.find(&window);
    const QPoint corner = remembered != placements_.end()
        ? detail::KeepOnScreen(remembered->second, frame, area)
        : detail::PlaceBeside(main->frameGeometry(), frame, area);
    widget.move(corner);
}

void View::PictureChanged(Object& picture)
{
    // Lists that show it in an image slot draw their entries again.
    std::vector<Object*> lists;
    for (auto& [object, binding] : bindings_) {
        if (binding.kind != Kind::NList)
            continue;
        const auto& bound = binding.object->imageSlots();
        if (std::any_of(bound.begin(), bound.end(), [&picture](const auto& slot) { return slot.second == &picture; }))
            lists.push_back(binding.object);
    }
    for (Object* list : lists)
        SyncEntries(*list);
    // A picture of another size changes what its groups need.
    for (Object* ancestor = picture.parent(); ancestor != nullptr; ancestor = ancestor->parent()) {
        if (ancestor->GetLong(MUIA_MaxWidth) > 0)
            ApplyGeometry(*ancestor);
    }
}

void View::Sync(Object& object, Tag attribute)
{
    Binding* binding = Find(&object);
    if (binding == nullptr) {
        if (object.kind() == Kind::NBitmap && (attribute == 0 || attribute == MUIA_NBitmap_Normal))
            PictureChanged(object);
        return;
    }
    const bool all = attribute == 0;
    auto wants = [&](Tag tag) { return all || attribute == tag; };

    if (wants(MUIA_Disabled)) {
        const bool enabled = object.GetLong(MUIA_Disabled) == 0;
        if (binding->action)
            binding->action->setEnabled(enabled && !detail::GreyedForWork(binding->action));
        else if (binding->menu)
            binding->menu->setEnabled(enabled);
        else if (binding->outer && object.kind() != Kind::Window)
            binding->outer->setEnabled(enabled && !detail::GreyedForWork(binding->outer));
    }
    if (wants(MUIA_MaxWidth) || wants(MUIA_FixHeight))
        ApplyGeometry(object);
    if (wants(MUIA_ShortHelp) && binding->outer && object.Has(MUIA_ShortHelp))
        binding->outer->setToolTip(ToQString(object.GetString(MUIA_ShortHelp).value_or(std::string())));

    QWidget* widget = binding->outer;
    if (const detail::GadgetFace* face = detail::FaceOf(object.kind())) {
        if (widget != nullptr)
            face->sync(object, *widget, attribute);
        // A picture of another file: what shows it follows (on building,
        // the picture has no place yet).
        if (object.kind() == Kind::NBitmap && attribute == MUIA_NBitmap_Normal)
            PictureChanged(object);
        return;
    }
    switch (object.kind()) {
    case Kind::Window:
        if (wants(MUIA_Window_AppWindow) && widget)
            widget->setAcceptDrops(object.GetLong(MUIA_Window_AppWindow) != 0);
        if (wants(MUIA_Window_Title) && widget)
            widget->setWindowTitle(ToQString(object.GetString(MUIA_Window_Title).value_or(std::string())));
        if (wants(MUIA_Window_Open))
            ShowWindow(object);
        break;
    case Kind::Menu:
        if (binding->menu && wants(MUIA_Menu_Title))
            binding->menu->setTitle(ToQString(object.GetString(MUIA_Menu_Title).value_or(std::string())));
        break;
    case Kind::Menuitem:
        if (binding->action && wants(MUIA_Menuitem_Title)) {
            binding->action->setText(ToQString(object.GetString(MUIA_Menuitem_Title).value_or(std::string()))
                                         .replace(QLatin1Char('&'), QStringLiteral("&&")));
            binding->action->setVisible(!binding->action->text().isEmpty());
        }
        break;
    default:
        break;
    }
}

void View::SyncEntries(Object& object)
{
    Binding* binding = Find(&object);
    const detail::GadgetFace* face = detail::FaceOf(object.kind());
    if (binding != nullptr && binding->outer && face != nullptr && face->entries != nullptr)
        face->entries(object, *binding->outer);
}

void View::AttributeChanged(Object& object, Tag attribute) { Sync(object, attribute); }

void View::EntriesChanged(Object& list) { SyncEntries(list); }

void View::ObjectDisposed(Object& object)
{
    auto it = bindings_.find(&object);
    if (it == bindings_.end())
        return;
    Binding binding = it->second;
    bindings_.erase(it);
    placements_.erase(&object);
    if (binding.outer && binding.outer == mainWindow_.data()) {
        SavePlace(*mainWindow_);
        mainPlaceRestored_ = false;
    }
    // Children are disposed before their parents, so a window's gadgets go
    // one by one and the window last.
    if (binding.action)
        delete binding.action.data();
    else if (binding.menu)
        delete binding.menu.data();
    else if (binding.outer)
        delete binding.outer.data();
}

} // namespace

namespace detail {

void AttachApplication(mui::Object& application) { TheView().Attach(application); }

void DetachAll() { TheView().DetachAll(); }

QMainWindow* MainWindow() { return TheView().MainWindow(); }

mui::Object* ObjectOf(const QWidget* widget) { return TheView().ObjectOf(widget); }

void ReportAction(std::string_view action)
{
    if (Observer())
        Observer()(action);
}

} // namespace detail

QWidget* WidgetOf(const mui::Object* object) { return TheView().WidgetOf(object); }

QAction* ActionOf(const mui::Object* object) { return TheView().ActionOf(object); }

void RememberMainWindowPlace(const QString& file) { PlaceFile() = file; }

void SetActionObserver(ActionObserver observer) { Observer() = std::move(observer); }

QString ButtonText(std::string_view label)
{
    QString text;
    const QString source = ToQString(label);
    for (qsizetype i = 0; i < source.size(); ++i) {
        const QChar c = source[i];
        if (c == QLatin1Char('&'))
            text += QStringLiteral("&&");
        else if (c == QLatin1Char('_') && i + 1 < source.size())
            text += QLatin1Char('&');
        else
            text += c;
    }
    return text;
}

DisplayText ParseDisplayText(std::string_view text, Qt::Alignment fallback)
{
    DisplayText shown;
    shown.alignment = fallback;
    while (text.size() >= 2 && text[0] == '\x1b') {
        switch (text[1]) {
        case 'l': shown.alignment = Qt::AlignLeft; break;
        case 'c': shown.alignment = Qt::AlignHCenter; break;
        case 'r': shown.alignment = Qt::AlignRight; break;
        case 'b': shown.bold = true; break;
        case 'i': shown.italic = true; break;
        case 'u': shown.underline = true; break;
        case 'n': shown.bold = shown.italic = shown.underline = false; break;
        default:
            // A code this view does not draw (colours, pens): skipped.
            break;
        }
        text.remove_prefix(2);
    }
    shown.text = ToQString(text);
    return shown;
}

} // namespace qtview

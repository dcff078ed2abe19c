// The Qt face of the object model: every object shows as its natural widget,
// a user's edit becomes the same mui::User* call the script driver makes,
// and the program's wait runs Qt's event loop. Also the file requester's Qt
// dialog and the Ctrl-C break.
#pragma once

#include "os/asl.h"
#include "mui/mui.h"

#include <QFileDialog>
#include <QString>
#include <Qt>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QObject;
class QSortFilterProxyModel;
class QWidget;

namespace qtview {

// Installs the whole front end while it lives: the application hook (widgets
// for every application made), the wait hook, the file requester, the
// Ctrl-C handler, the tool-wait hook (windows paint while tools run, the
// user's input to the program's windows is held until the program waits
// again) and the face of long work (progress window, failures, status
// line). Numbers are read and written the C library's way ("4.5") whatever
// the user's locale. Needs a QApplication. Only one may live at a time.
class Frontend {
public:
    Frontend();
    ~Frontend();
    Frontend(const Frontend&) = delete;
    Frontend& operator=(const Frontend&) = delete;
};

// The widget an object shows as (a window's top-level widget, a group's
// container, a string's line edit, a list's QListWidget...); null when it has
// none.
QWidget* WidgetOf(const mui::Object* object);
// The menu action a menu item shows as; null when it has none.
QAction* ActionOf(const mui::Object* object);

// Keeps the main window's place and size in `file` when it goes and gives
// them back when it first opens (the program's own working folder holds the
// file); an empty name keeps nothing, as at first.
void RememberMainWindowPlace(const QString& file);

// A button label with its "_" shortcut as a Qt mnemonic: "_Save" -> "&Save",
// "D_own" -> "D&own"; a literal "&" is doubled.
QString ButtonText(std::string_view label);

// A text display's text without its leading text-engine codes ("\x1bl" left,
// "\x1bc" centred, "\x1br" right, "\x1bb" bold, "\x1bi" italic, "\x1bu"
// underlined, "\x1bn" plain), with the alignment they ask for.
struct DisplayText {
    QString text;
    Qt::Alignment alignment;
    bool bold = false;
    bool italic = false;
    bool underline = false;
};
DisplayText ParseDisplayText(std::string_view text, Qt::Alignment fallback);

// Each user action the view passes to the model, as "UserPress", "UserType",
// ...; tests watch it to see that a set made by code does not echo back.
using ActionObserver = std::function<void(std::string_view action)>;
void SetActionObserver(ActionObserver observer);

// Return IDs besides MUIV_Application_ReturnID_Quit that end the program (a
// menu's "Quit"): held while a tool runs, they cancel the running work at
// once.
void SetQuitReturnIds(std::vector<LONG> returnIds);

// The wait hook: runs Qt's event loop until the current application has a
// return ID or input waiting (MUI_APPLICATION_SIGNAL) or the break arrived
// (SIGBREAKF_CTRL_C), for the signals asked for.
ULONG WaitForSignals(ULONG signalSet);
// What Ctrl-C does: raises the break signal (safe in a signal handler).
void RaiseBreak();

// The file requester's face.
std::optional<AslAnswer> RequestFile(const AslTags& tags);

// The dialog RequestFile shows. Where the request takes sequences, a
// pattern typed into the file field (frame#?.png, or frame*.png as a shell
// writes it) or several pictures of one folder chosen together come back as
// one AmigaDOS pattern; a save dialog adds the pattern's extension to a name
// typed without it.
class RequesterDialog : public QFileDialog {
public:
    explicit RequesterDialog(const AslTags& tags);
    // The answer made by the dialog itself (a sequence, or a saved name given
    // its extension); nullopt when the chosen file stands.
    const std::optional<AslAnswer>& answer() const { return answer_; }

    void accept() override;

private:
    std::optional<AslAnswer> TypedPattern() const;
    bool AcceptSequence();
    bool AcceptWithExtension();
    void Say(const QString& text);

    AslTags tags_;
    bool sequences_ = false;
    std::optional<AslAnswer> answer_;
};
// Sets a dialog up from the requester's tags (title, save mode, drawer,
// file, pattern).
void ConfigureFileDialog(QFileDialog& dialog, const AslTags& tags);
// The filter of a requester's pattern: folders always pass, files when their
// name matches the tokenised AmigaDOS pattern.
QSortFilterProxyModel* MakePatternFilter(std::string tokenisedPattern, QObject* parent);

} // namespace qtview

// Installing and removing the Qt front end's hooks.
#include "os/asl.h"
#include "os/exec.h"
#include "qtview/eventloop.h"
#include "qtview/inputhold.h"
#include "qtview/objectview.h"
#include "qtview/playerwindow.h"
#include "qtview/qtview.h"
#include "qtview/questions.h"
#include "qtview/workwindows.h"
#include "os/work.h"

#include <QApplication>

#include <clocale>

namespace qtview {

Frontend::Frontend()
{
    // QApplication takes the user's locale for the C library too, and a
    // German or French one writes 4.5 as "4,5": into project files, the
    // tools' command lines and every number the program reads back, and
    // mpv refuses to start under it. The windows' own text comes from
    // QLocale, which this leaves as it is.
    std::setlocale(LC_NUMERIC, "C");
    // Windows close only when the program says so; the event loop is ours.
    QApplication::setQuitOnLastWindowClosed(false);
    mui::SetApplicationHook([](mui::Object& application) { detail::AttachApplication(application); });
    SetWaitHook(WaitForSignals);
    SetAslHandler(RequestFile);
    detail::InstallBreakHandler();
    detail::InstallInputHold();
    SetToolWaitHook(detail::OnToolWait);
    SetWorkFace(detail::QtWorkFace());
    detail::InstallQuestions();
    detail::InstallPlayerFace();
}

Frontend::~Frontend()
{
    detail::RemovePlayerFace();
    detail::RemoveQuestions();
    SetWorkFace({});
    SetToolWaitHook({});
    detail::CloseWorkWindows();
    detail::RemoveInputHold();
    detail::RemoveBreakHandler();
    SetAslHandler({});
    SetWaitHook({});
    mui::SetApplicationHook({});
    detail::DetachAll();
}

} // namespace qtview

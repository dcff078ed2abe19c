// Installing and removing the Qt front end's hooks.
#include "platform/asl.h"
#include "platform/exec.h"
#include "platform/qt/eventloop.h"
#include "platform/qt/inputhold.h"
#include "platform/qt/objectview.h"
#include "platform/qt/qtview.h"
#include "platform/qt/questions.h"
#include "platform/qt/workwindows.h"
#include "platform/work.h"

#include <QApplication>

namespace qtview {

Frontend::Frontend()
{
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
}

Frontend::~Frontend()
{
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

// The windowed programs' entry: Qt's application, the front end's hooks,
// then the program itself.
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "os/dos.h"
#include "tools/tools.h"
#include "qtview/qtview.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

#ifndef CW_PROGRAMS_TO_ICON
#define CW_PROGRAMS_TO_ICON "../../share/icons/hicolor/256x256/apps/clipweaver.png"
#endif

namespace {

// The installed icon, found relative to the program (the prefix is chosen
// at install time), or beside it in the build tree; else the desktop's
// icon theme.
QIcon ProgramIcon()
{
    const QString folder = QApplication::applicationDirPath();
    for (const QString& path : {folder + QStringLiteral("/" CW_PROGRAMS_TO_ICON), folder + QStringLiteral("/clipweaver.png")}) {
        if (QFileInfo(path).isFile())
            return QIcon(path);
    }
    return QIcon::fromTheme(QStringLiteral("clipweaver"));
}

} // namespace
#include <QStringList>

#include <optional>
#include <string>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // The name is the windows' class, which the desktop entries' StartupWMClass
    // names, so each program's windows go with its own entry.
#ifdef CLIPWEAVER_BASIC
    QApplication::setApplicationName(QStringLiteral("ClipweaverBasic"));
    QGuiApplication::setDesktopFileName(QStringLiteral("clipweaver-basic"));
#else
    QApplication::setApplicationName(QStringLiteral("Clipweaver"));
    QGuiApplication::setDesktopFileName(QStringLiteral("clipweaver"));
#endif
    QApplication::setWindowIcon(ProgramIcon());
    // The runner's tools, this instance's T:, and away with those of
    // instances that have ended (and their tools).
    cwtools::StartInstance();
    const qtview::Frontend frontend;
    qtview::RememberMainWindowPlace(QStringLiteral("Clipweaver.window"));
#ifndef CLIPWEAVER_BASIC
    qtview::SetQuitReturnIds({MEN_QUIT});
#endif
    // "clipweaver FILE.cwproj" (a file manager's double-click) opens it,
    // its name kept as the bytes the file system has (which need not be
    // UTF-8); Qt has taken its own options out of argv.
    std::optional<std::string> project;
    if (argc > 1 && argv[1] != nullptr)
        project = std::string(argv[1]);
    return ClipweaverMain(project);
}

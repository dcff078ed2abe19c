// The windowed programs' entry: Qt's application, the front end's hooks,
// then the program itself.
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "platform/dos.h"
#include "platform/qt/qtview.h"

#include <QApplication>
#include <QStringList>

#include <optional>
#include <string>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Clipweaver"));
    // This instance's T:, and away with those of instances that have ended.
    InitVolumes();
    const qtview::Frontend frontend;
    qtview::RememberMainWindowPlace(QStringLiteral("Clipweaver.window"));
#ifndef CLIPWEAVER_BASIC
    qtview::SetQuitReturnIds({MEN_QUIT});
#endif
    // "clipweaver FILE.cwproj" (a file manager's double-click) opens it.
    const QStringList arguments = QApplication::arguments();
    std::optional<std::string> project;
    if (arguments.size() > 1)
        project = arguments.at(1).toStdString();
    return ClipweaverMain(project);
}

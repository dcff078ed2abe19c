// The windowed programs' entry: Qt's application, the front end's hooks,
// then the program itself.
#include "gui/main.h"
#include "gui/vocabulary.h"
#include "platform/dos.h"
#include "platform/qt/qtview.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Clipweaver"));
    // This instance's T:, and away with those of instances that have ended.
    InitVolumes();
    const qtview::Frontend frontend;
#ifndef CLIPWEAVER_BASIC
    qtview::SetQuitReturnIds({MEN_QUIT});
#endif
    return ClipweaverMain();
}

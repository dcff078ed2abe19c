// The Qt tests' entry: one QApplication for the whole run, on the offscreen
// platform unless one is chosen.
#include "os/asl.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    // The dialogs remember their folders in a file of the run's own.
    const QString folders = QDir::temp().filePath(QStringLiteral("cw_qt_tests_%1.folders").arg(QCoreApplication::applicationPid()));
    SetRememberedFoldersFile(folders.toStdString());
    const int result = RUN_ALL_TESTS();
    QFile::remove(folders);
    return result;
}

// clipweaver-title SETTINGS PICTURE WIDTH HEIGHT [PIXEL-SHAPE]
//
// Draws the title that the settings file describes (written by the render
// on T:; the text never passes through a command line) into a transparent
// PNG of WIDTH x HEIGHT pixels, PIXEL-SHAPE times as wide as high. Runs on
// Qt's offscreen platform: no display is needed. Exits 0 when the picture
// was written; otherwise says why on its error output.
#include "titler/title_draw.h"

#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace {

int Fail(const QString& why)
{
    std::fprintf(stderr, "clipweaver-title: %s\n", why.toLocal8Bit().constData());
    return 1;
}

// Qt's own notes (a missing runtime folder, font warnings) are not the
// program's errors: the runner keeps the last line of the error output.
void Quiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "clipweaver-title: %s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5 || argc > 6)
        return Fail(QStringLiteral("usage: clipweaver-title SETTINGS PICTURE WIDTH HEIGHT [PIXEL-SHAPE]"));
    qInstallMessageHandler(Quiet);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);

    const QString settingsName = QString::fromLocal8Bit(argv[1]);
    const QString pictureName = QString::fromLocal8Bit(argv[2]);
    bool wide = false;
    bool high = false;
    const int width = QByteArray(argv[3]).toInt(&wide);
    const int height = QByteArray(argv[4]).toInt(&high);
    if (!wide || !high || width < 1 || height < 1 || width > 16384 || height > 16384)
        return Fail(QStringLiteral("%1 x %2 is no frame size").arg(argv[3], argv[4]));
    bool shaped = true;
    const double pixelShape = argc == 6 ? QByteArray(argv[5]).toDouble(&shaped) : 1.0;
    if (!shaped || !(pixelShape >= 0.1 && pixelShape <= 10))
        return Fail(QStringLiteral("%1 is no pixel shape").arg(argv[5]));

    QFile settings(settingsName);
    if (!settings.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("cannot read the title's settings %1: %2").arg(settingsName, settings.errorString()));
    const QImage picture = DrawTitle(ReadTitleSettings(settings.readAll()), QSize(width, height), pixelShape);
    if (!picture.save(pictureName, "PNG"))
        return Fail(QStringLiteral("cannot write the title's picture %1").arg(pictureName));
    return 0;
}

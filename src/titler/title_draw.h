// A title as the title program draws it: its settings, read from the file
// the render writes, and the transparent picture of the frame's size that
// holds it.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

struct TitleSettings {
    QString text;
    QString place = QStringLiteral("lowerthird"); // "top", "centre" or "lowerthird"
    int size = 7;                                 // the letters' height, hundredths of the frame's
    QColor colour = Qt::white;
    bool box = false; // a box behind the letters instead of a shadow under them
};

// The file's "key=value" lines; "text=" is the last and runs to the end of
// the file. Keys it does not know are passed over.
TitleSettings ReadTitleSettings(const QByteArray& file);

// The title on a transparent picture of `frame`'s size whose pixels are
// `pixelShape` times as wide as high (as the video's are).
QImage DrawTitle(const TitleSettings& title, QSize frame, double pixelShape);

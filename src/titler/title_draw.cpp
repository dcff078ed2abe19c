// Drawing a title: Qt lays the text out (line breaks, right-to-left
// scripts, fallback fonts for every script and emoji) in the frame's width
// and places it at the top, the centre or the lower third; a dark outline
// and shadow, or a box, keep it readable on any picture.
#include "titler/title_draw.h"

#include <QFont>
#include <QGuiApplication>
#include <QList>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Where the text block's top goes in a frame `height` high.
struct PlaceRow {
    const char* name;
    double (*top)(double height, double block);
};
const QList<PlaceRow>& Places()
{
    static const QList<PlaceRow> rows = {
        {"top", [](double height, double) { return height * 0.06; }},
        {"centre", [](double height, double block) { return (height - block) / 2; }},
        {"lowerthird", [](double height, double block) { return height * 0.88 - block; }},
    };
    return rows;
}

double TopOf(const QString& place, double height, double block)
{
    for (const PlaceRow& row : Places())
        if (place == QLatin1String(row.name))
            return std::max(0.0, row.top(height, block));
    return std::max(0.0, Places().back().top(height, block));
}

// The letters' own alpha in one colour.
QImage Silhouette(const QImage& letters, const QColor& colour)
{
    QImage shape = letters;
    QPainter painter(&shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(shape.rect(), colour);
    return shape;
}

// A dark rim around the letters and a soft shadow below and to the right.
void DrawShadow(QPainter& painter, const QImage& letters, double pixels)
{
    const QImage dark = Silhouette(letters, Qt::black);
    const double shadow = std::max(1.0, pixels * 0.07);
    painter.setOpacity(0.45);
    painter.drawImage(QPointF(shadow, shadow), dark);
    const double rim = std::max(1.0, pixels * 0.04);
    painter.setOpacity(0.5);
    for (int step = 0; step < 8; ++step) {
        const double angle = step * M_PI / 4;
        painter.drawImage(QPointF(rim * std::cos(angle), rim * std::sin(angle)), dark);
    }
    painter.setOpacity(1.0);
}

void DrawBox(QPainter& painter, const QRectF& text, double pixels)
{
    const double pad = pixels * 0.3;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 150));
    painter.drawRoundedRect(text.adjusted(-pad, -pad * 0.6, pad, pad * 0.6), pad * 0.6, pad * 0.6);
}

} // namespace

TitleSettings ReadTitleSettings(const QByteArray& file)
{
    TitleSettings title;
    qsizetype at = 0;
    while (at < file.size()) {
        const qsizetype end = file.indexOf('\n', at);
        const QByteArray line = file.mid(at, end < 0 ? -1 : end - at);
        if (line.startsWith("text=")) {
            title.text = QString::fromUtf8(file.mid(at + 5));
            break;
        }
        const qsizetype equals = line.indexOf('=');
        const QByteArray key = line.left(equals);
        const QString value = QString::fromUtf8(line.mid(equals + 1)).trimmed();
        if (key == "place")
            title.place = value;
        else if (key == "size")
            title.size = std::clamp(value.toInt(), 2, 20);
        else if (key == "colour" && QColor::isValidColorName(value))
            title.colour = QColor::fromString(value);
        else if (key == "backing")
            title.box = value == QLatin1String("box");
        if (end < 0)
            break;
        at = end + 1;
    }
    return title;
}

QImage DrawTitle(const TitleSettings& title, QSize frame, double pixelShape)
{
    // Laid out in square pixels, then squeezed to the frame's own.
    const int width = std::max(1, static_cast<int>(std::lround(frame.width() * pixelShape)));
    const int height = std::max(1, frame.height());
    QImage letters(width, height, QImage::Format_ARGB32_Premultiplied);
    letters.fill(Qt::transparent);

    QFont font = QGuiApplication::font();
    const double pixels = std::max(4.0, title.size / 100.0 * height);
    font.setPixelSize(static_cast<int>(std::lround(pixels)));
    font.setBold(true);
    const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    QRectF placed;
    {
        QPainter painter(&letters);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font);
        painter.setPen(title.colour);
        const QRectF area(width * 0.05, 0, width * 0.9, height);
        const QRectF block = painter.boundingRect(area, flags, title.text);
        const QRectF line(area.left(), TopOf(title.place, height, block.height()), area.width(), block.height());
        painter.drawText(line, flags, title.text, &placed);
    }

    QImage picture(width, height, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        if (title.box)
            DrawBox(painter, placed, pixels);
        else
            DrawShadow(painter, letters, pixels);
        painter.drawImage(0, 0, letters);
    }
    if (picture.size() != frame)
        picture = picture.scaled(frame, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return picture;
}

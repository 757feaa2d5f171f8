// Draws the game's own pictures: the application icons (the game's and the pair editor's) in
// four sizes and the hand pointer,
// written as a Windows cursor file. Run by hand (target draw-assets) when the drawing changes;
// its output is kept in assets/.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>
#include <cstdio>

namespace {

// Two framed pictures side by side, the right one with a red ring round a difference; the
// editor's icon has a drawn rectangle with handles there instead, and a pencil.
QImage drawIcon(int size, bool alpha, bool editor = false)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(alpha ? Qt::transparent : QColor(0xFF, 0xFF, 0xFF));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);

    QPainterPath tile;
    tile.addRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
    QLinearGradient back(0, 8, 0, 248);
    back.setColorAt(0, QColor(0x2F, 0x6F, 0xB5));
    back.setColorAt(1, QColor(0x1D, 0x46, 0x7A));
    p.fillPath(tile, back);

    const auto picture = [&](qreal left, bool changed) {
        const QRectF frame(left, 64, 100, 128);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xF4, 0xF1, 0xE8));
        p.drawRoundedRect(frame, 8, 8);
        const QRectF sky = frame.adjusted(8, 8, -8, -8);
        p.setBrush(QColor(0x9F, 0xD3, 0xF0));
        p.drawRect(sky);
        QPainterPath hill;
        hill.moveTo(sky.left(), sky.bottom());
        hill.lineTo(sky.left(), sky.top() + 70);
        hill.quadTo(sky.left() + 40, sky.top() + 40, sky.right(), sky.top() + 78);
        hill.lineTo(sky.right(), sky.bottom());
        p.setBrush(QColor(0x4C, 0xA6, 0x4C));
        p.drawPath(hill);
        p.setBrush(changed ? QColor(0xF2, 0x8C, 0x28) : QColor(0xFF, 0xD6, 0x3A));
        p.drawEllipse(QPointF(sky.left() + 58, sky.top() + 26), 14, 14);
        if (changed && editor) {
            QPen outline(QColor(0xE5, 0x1B, 0x1B));
            outline.setWidthF(6);
            p.setPen(outline);
            p.setBrush(Qt::NoBrush);
            const QRectF box(sky.left() + 30, sky.top() - 2, 56, 56);
            p.drawRect(box);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0xFF, 0xFF, 0xFF));
            for (const QPointF& corner :
                 {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()})
                p.drawRect(QRectF(corner - QPointF(7, 7), QSizeF(14, 14)));
        } else if (changed) {
            QPen ring(QColor(0xE5, 0x1B, 0x1B));
            ring.setWidthF(9);
            p.setPen(ring);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(sky.left() + 58, sky.top() + 26), 27, 27);
        }
    };
    picture(20, false);
    picture(136, true);
    if (editor) {
        // A pencil across the lower right corner, writing towards the pictures.
        p.save();
        p.translate(196, 204);
        p.rotate(-135);
        p.setPen(QPen(QColor(0x1D, 0x2A, 0x3A), 5));
        p.setBrush(QColor(0xF6, 0xC3, 0x3B));
        p.drawRect(QRectF(0, -13, 92, 26));
        p.setBrush(QColor(0xF4, 0xD9, 0xB0));
        QPainterPath tip;
        tip.moveTo(0, -13);
        tip.lineTo(-30, 0);
        tip.lineTo(0, 13);
        tip.closeSubpath();
        p.drawPath(tip);
        p.setBrush(QColor(0xE0, 0x6C, 0x8A));
        p.drawRect(QRectF(92, -13, 18, 26));
        p.restore();
    }
    p.end();
    return alpha ? image : image.convertToFormat(QImage::Format_RGB888);
}

// A white pointing hand with a dark outline; the tip of the index finger is the hot spot.
QImage drawHand(QPoint& hotSpot)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.moveTo(10.5, 1.5); // tip of the index finger
    hand.cubicTo(12.5, 1.5, 13.5, 2.5, 13.5, 4.5);
    hand.lineTo(13.5, 12.5); // index finger, right side
    hand.cubicTo(14.5, 11.0, 17.5, 11.0, 17.5, 13.5);
    hand.cubicTo(18.5, 12.0, 21.5, 12.0, 21.5, 14.5);
    hand.cubicTo(22.5, 13.0, 25.5, 13.5, 25.5, 16.0);
    hand.lineTo(25.5, 22.0);
    hand.cubicTo(25.5, 26.0, 23.0, 29.5, 19.0, 29.5);
    hand.lineTo(13.0, 29.5);
    hand.cubicTo(10.5, 29.5, 9.0, 28.0, 7.5, 26.0);
    hand.lineTo(3.0, 19.5); // thumb side
    hand.cubicTo(2.0, 18.0, 3.5, 15.5, 6.0, 17.0);
    hand.lineTo(7.5, 18.5);
    hand.lineTo(7.5, 4.5);
    hand.cubicTo(7.5, 2.5, 8.5, 1.5, 10.5, 1.5);
    hand.closeSubpath();
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1.4));
    p.setBrush(QColor(0xFF, 0xFF, 0xFF));
    p.drawPath(hand);
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1.0));
    for (qreal x : {17.5, 21.5})
        p.drawLine(QPointF(x, 14.5), QPointF(x, 19.5));
    p.end();
    hotSpot = QPoint(10, 1);
    return image;
}

// A cursor file: the directory with the hot spot, then one 32-bit bitmap with its AND mask.
QByteArray cursorFile(const QImage& image, QPoint hotSpot)
{
    const int w = image.width();
    const int h = image.height();
    const int maskStride = ((w + 31) / 32) * 4;
    const quint32 bitmapSize = quint32(40 + w * h * 4 + maskStride * h);

    QByteArray out;
    const auto u16 = [&](quint16 v) {
        v = qToLittleEndian(v);
        out.append(reinterpret_cast<const char*>(&v), 2);
    };
    const auto u32 = [&](quint32 v) {
        v = qToLittleEndian(v);
        out.append(reinterpret_cast<const char*>(&v), 4);
    };
    u16(0);
    u16(2);
    u16(1); // directory: a cursor, one image
    out.append(char(w));
    out.append(char(h));
    out.append(char(0));
    out.append(char(0));
    u16(quint16(hotSpot.x()));
    u16(quint16(hotSpot.y()));
    u32(bitmapSize);
    u32(6 + 16);
    u32(40);
    u32(quint32(w));
    u32(quint32(h * 2));
    u16(1);
    u16(32); // bitmap header, colour + mask
    u32(0);
    u32(0);
    u32(0);
    u32(0);
    u32(0);
    u32(0);
    for (int y = h - 1; y >= 0; --y) { // bottom-up BGRA rows
        for (int x = 0; x < w; ++x) {
            const QRgb c = image.pixel(x, y);
            out.append(char(qBlue(c)));
            out.append(char(qGreen(c)));
            out.append(char(qRed(c)));
            out.append(char(qAlpha(c)));
        }
    }
    for (int y = h - 1; y >= 0; --y) { // AND mask: 1 = transparent
        QByteArray row(maskStride, 0);
        for (int x = 0; x < w; ++x)
            if (qAlpha(image.pixel(x, y)) < 128)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out.append(row);
    }
    return out;
}

bool save(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw-assets ASSETS-FOLDER\n");
        return 2;
    }
    const QDir assets(QString::fromLocal8Bit(argv[1]));
    for (const int size : {32, 48, 128, 256}) {
        if (!drawIcon(size, size != 32)
                 .save(assets.filePath(QStringLiteral("icons/tavrello-%1.png").arg(size))))
            return 1;
        if (!drawIcon(size, size != 32, true)
                 .save(assets.filePath(QStringLiteral("icons/tavrello-editor-%1.png").arg(size))))
            return 1;
    }
    QPoint hotSpot;
    const QImage hand = drawHand(hotSpot);
    return save(assets.filePath(QStringLiteral("HAND-M.CUR")), cursorFile(hand, hotSpot)) ? 0 : 1;
}

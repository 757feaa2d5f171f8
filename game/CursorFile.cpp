#include "CursorFile.h"

#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>
#include <stdexcept>

namespace game {
namespace {
[[noreturn]] void fail(const QString& path, const QString& why)
{
    throw std::runtime_error(
        QStringLiteral("The cursor file %1 could not be read (%2).").arg(path, why).toStdString());
}

// The cursor file starts with a 6-byte header (reserved 0, type 2 for a cursor, image count) and
// a 16-byte entry per image; bytes 4 to 7 of an entry hold the hot spot's x and y.
QPoint hotSpotOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(path, file.errorString());
    const QByteArray head = file.read(6 + 16);
    if (head.size() < 22)
        fail(path, QStringLiteral("too short"));
    const auto* bytes = reinterpret_cast<const uchar*>(head.constData());
    if (qFromLittleEndian<quint16>(bytes) != 0 || qFromLittleEndian<quint16>(bytes + 2) != 2 ||
        qFromLittleEndian<quint16>(bytes + 4) == 0)
        fail(path, QStringLiteral("not a cursor"));
    return QPoint(qFromLittleEndian<quint16>(bytes + 6 + 4),
                  qFromLittleEndian<quint16>(bytes + 6 + 6));
}
} // namespace

QCursor LoadCursorFile(const QString& path)
{
    const QPoint hotSpot = hotSpotOf(path);
    // Read as a cursor and nothing else: guessing the format would load every image plugin.
    QImageReader reader(path, "cur");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (image.isNull())
        fail(path, reader.errorString());
    if (!image.rect().contains(hotSpot))
        fail(path, QStringLiteral("hot spot outside the picture"));
    return QCursor(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y());
}

} // namespace game

#include "PictureLoader.h"

#include <QImageReader>
#include <stdexcept>

namespace game {
namespace {
// Far beyond any picture that fits a picture box, far below what would hurt: a 40 000 x 40 000
// picture is refused from its header before a byte of it is decoded.
constexpr qint64 maxPixels = 64LL * 1024 * 1024;
constexpr int allocationLimitMiB = 512;

[[noreturn]] void fail(const QString& path, const QString& why)
{
    throw std::runtime_error(
        QStringLiteral("Invalid picture: %1 (%2).").arg(path, why).toStdString());
}
} // namespace

QImage LoadPicture(const QString& path)
{
    if (path.isEmpty())
        return {};
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(allocationLimitMiB);
    if (!reader.canRead())
        fail(path, reader.errorString());
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > maxPixels)
        fail(path,
             QStringLiteral("%1 x %2 pixels is too large").arg(size.width()).arg(size.height()));
    QImage image = reader.read();
    if (image.isNull())
        fail(path, reader.errorString());
    return image;
}

} // namespace game

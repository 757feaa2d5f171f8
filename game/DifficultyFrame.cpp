#include "DifficultyFrame.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QMouseEvent>
#include <QPixmap>
#include <QPixmapCache>

namespace game {

namespace {

// Qt's pixmap cache names a picture loaded by file name after the file: "qt_pixmap", its absolute
// path, then its time of change, size and the pixmap type, each as the bytes of its value in hex,
// lowest byte first, low digit first.
template <typename T> QString hexBytes(T value)
{
    static const char digits[] = "0123456789abcdef";
    QString text;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    for (size_t i = 0; i < sizeof(T); ++i) {
        text += QLatin1Char(digits[bytes[i] & 0xf]);
        text += QLatin1Char(digits[bytes[i] >> 4]);
    }
    return text;
}

// The Fusion style draws the frame from a picture it loads by file name alone; Qt then guesses
// the format by asking every installed image plugin, which loads them all: a tenth of the game's
// start-up. Reading the picture here as the PNG it is, and leaving it in the pixmap cache under
// the name the style asks for, spares that. Should the name or the file differ in another Qt,
// the style loads the picture itself as before.
void primeFramePicture()
{
    const QFileInfo file(
        QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png"));
    if (!file.exists())
        return;
    const QString key = QStringLiteral("qt_pixmap") + file.absoluteFilePath() +
                        hexBytes<uint>(uint(file.lastModified().toSecsSinceEpoch())) +
                        hexBytes<quint64>(quint64(file.size())) + hexBytes<uint>(0);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return;
    QImageReader reader(file.filePath(), "png");
    reader.setAutoDetectImageFormat(false);
    const QImage picture = reader.read();
    if (!picture.isNull())
        QPixmapCache::insert(key, QPixmap::fromImage(picture));
}

} // namespace

DifficultyFrame::DifficultyFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent)
{
    setMouseTracking(true);
    primeFramePicture();
}

void DifficultyFrame::mouseMoveEvent(QMouseEvent* event)
{
    QGroupBox::mouseMoveEvent(event);
    // Movement over an option button arrives here too, passed up by Qt; only the frame's own
    // surface counts.
    if (!childAt(event->position().toPoint()))
        emit mouseMoved();
    event->accept();
}

} // namespace game

#include "Picture.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace editor {
namespace {
// The same ceiling check uses: a picture whose header promises more pixels than any screen shows
// is refused rather than allocated.
constexpr int kAllocationLimitMiB = 256;
// Beyond any picture the game can show; reading a bigger file is a mistake, not a picture.
constexpr qint64 kMaxPictureFile = 64 * 1024 * 1024;
} // namespace

Picture Picture::fromFile(const QString& path)
{
    Picture p;
    p.m_path = path;
    return p;
}

Picture Picture::fromBytes(QByteArray bytes)
{
    Picture p;
    p.m_bytes = std::move(bytes);
    return p;
}

const QByteArray& Picture::bytes() const
{
    load();
    return m_bytes;
}

const QImage& Picture::image() const
{
    load();
    return m_image;
}

const QString& Picture::problem() const
{
    load();
    return m_problem;
}

void Picture::load() const
{
    if (m_loaded)
        return;
    m_loaded = true;
    if (isMissing()) {
        m_problem = QStringLiteral("there is none");
        return;
    }
    if (m_path && m_bytes.isEmpty()) {
        QFile file(*m_path);
        if (!file.open(QIODevice::ReadOnly)) {
            m_problem = QStringLiteral("%1 can't be read (%2)").arg(*m_path, file.errorString());
            return;
        }
        if (file.size() > kMaxPictureFile) {
            m_problem = QStringLiteral("%1 is too large for a picture").arg(*m_path);
            return;
        }
        m_bytes = file.readAll();
    }
    QByteArray data = m_bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(kAllocationLimitMiB);
    m_image = reader.read();
    if (m_image.isNull())
        m_problem = QStringLiteral("%1 doesn't decode (%2)")
                        .arg(m_path ? *m_path : QStringLiteral("it"), reader.errorString());
}

} // namespace editor

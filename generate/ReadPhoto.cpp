#include "generate/Generate.h"

#include <QFile>
#include <QImageReader>
#include <opencv2/imgcodecs.hpp>

namespace generate {

cv::Mat readPhoto(const QString& path)
{
    // The header says how large the picture is before anything is decoded: a small file can
    // hold a huge picture (a 30 000 x 30 000 PNG of flat colour is under 3 MB) that would take
    // gigabytes and half a minute to decode only to be shrunk to the picture box.
    const QSize size = QImageReader(path).size();
    if (size.isValid() && double(size.width()) * double(size.height()) > kMaxPhotoPixels)
        throw GenerateError(QStringLiteral("the photo is %1 x %2 pixels, over %3 megapixels: "
                                           "scale it down first")
                                .arg(size.width())
                                .arg(size.height())
                                .arg(int(kMaxPhotoPixels / 1e6))
                                .toStdString());
    // IMREAD_COLOR turns grey, paletted, 16-bit and alpha pictures into 8-bit BGR.
    const cv::Mat image = cv::imread(QFile::encodeName(path).toStdString(), cv::IMREAD_COLOR);
    if (image.empty())
        throw GenerateError("cannot read the picture (not an image OpenCV can decode)");
    return image;
}

} // namespace generate

#pragma once
// Pairs drawn for the purpose (a striped gradient, red squares for the changes) and a folder of
// them with its manifest, for the tests of check, extract and sheet.

#include "pack/Build.h"
#include "pack/Manifest.h"
#include "tests/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>

namespace packtest {

// Four difference squares, in pixels, well apart.
inline const QList<QRect> kSquares{QRect(40, 40, 40, 40), QRect(300, 60, 40, 40),
                                   QRect(80, 300, 40, 40), QRect(320, 340, 40, 40)};

// Blue to yellow with dark stripes: structure for a difference to differ from, and no magenta.
inline QImage drawBase(QSize size = {450, 459})
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(60, 120, 180));
    g.setColorAt(1, QColor(200, 180, 90));
    p.fillRect(image.rect(), g);
    for (int i = 0; i < size.width(); i += 50)
        p.fillRect(i, 0, 6, size.height(), QColor(40, 40, 40));
    return image;
}

inline QImage withChanges(QImage image, const QList<QRect>& squares = kSquares)
{
    QPainter p(&image);
    for (const QRect& r : squares)
        p.fillRect(r, QColor(230, 30, 30));
    return image;
}

// Sets one corner ("x1" to "y2") of difference k (0 to 3) of a pair's entry.
inline void setCorner(QJsonObject& pair, int k, const char* corner, const QJsonValue& value)
{
    QJsonArray differences = pair["differences"].toArray();
    QJsonObject box = differences[k].toObject();
    box[corner] = value;
    differences[k] = box;
    pair["differences"] = differences;
}

// A folder of pairs: their pictures, and the manifest of `pairs`.
struct PairsFolder
{
    QTemporaryDir dir;
    QJsonArray pairs;
    QString coordinateType = "long";

    // A pair's entry, its pictures saved in the folder in `format`; its differences are `rects`
    // with three pixels of margin, in twips.
    QJsonObject pair(int id, int level, const QImage& original, const QImage& modified,
                     const QList<QRect>& rects = kSquares, const char* format = "png")
    {
        QJsonObject p{{"id", id}, {"level", level}};
        for (const auto& [key, image] :
             {std::pair{"original", original}, std::pair{"modified", modified}}) {
            const QString name =
                QStringLiteral("%1-%2-%3.%4").arg(id).arg(key).arg(pairs.size()).arg(format);
            image.save(dir.filePath(name), format, 95);
            p[key] = name;
        }
        QJsonArray differences;
        for (const QRect& r : rects)
            differences.append(QJsonObject{{"x1", (r.left() - 3) * 15},
                                           {"y1", (r.top() - 3) * 15},
                                           {"x2", (r.right() + 3) * 15},
                                           {"y2", (r.bottom() + 3) * 15}});
        p["differences"] = differences;
        return p;
    }

    // Writes the manifest and gives its path.
    QString manifest()
    {
        const QString path = dir.filePath("manifest.json");
        const QJsonObject top{{"coordinate_type", coordinateType}, {"pairs", pairs}};
        testfiles::writeFile(path, QJsonDocument(top).toJson());
        return path;
    }

    // Builds the pairs into a database; with `twice`, every pair twice: the manifest refuses
    // duplicate ids, the writer doesn't, so this goes around it as a file from elsewhere could.
    QString database(bool twice = false)
    {
        pack::Manifest m = pack::readManifest(manifest());
        const std::vector<pack::Pair> once = m.pairs;
        if (twice)
            m.pairs.insert(m.pairs.end(), once.begin(), once.end());
        const QString db = dir.filePath("pairs.mdb");
        pack::buildDatabase(m, db, true);
        return db;
    }
};

} // namespace packtest

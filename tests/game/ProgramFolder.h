#pragma once

// A program folder of the game's own for a test: the database made by tavrello-pack from pictures
// drawn here, so every test plays real files through the real reading path.

#include "tests/TestFiles.h"

#include <QColor>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <array>
#include <optional>

using testfiles::writeFile;

struct TestPair
{
    int id = 1;
    int level = 1;
    // Every pair's original is filled with its own colour, so a test can tell which is on screen.
    QColor colour = Qt::darkCyan;
    // x1, y1, x2 and y2 in twips.
    std::array<std::array<double, 4>, 4> differences{{{150, 300, 600, 450},
                                                      {900, 1200, 1350, 1500},
                                                      {3000, 150, 3450, 600},
                                                      {4500, 4500, 5400, 5100}}};
    std::optional<QByteArray> originalBytes; // raw bytes instead of a drawn picture
};

inline TestPair pairOf(int id, int level = 1, QColor colour = Qt::darkCyan)
{
    TestPair pair;
    pair.id = id;
    pair.level = level;
    pair.colour = colour;
    return pair;
}

class ProgramFolder
{
  public:
    ProgramFolder() = default;
    // A program folder of this name inside the temporary one, for names that need testing.
    explicit ProgramFolder(const QString& name) : m_path(m_dir.filePath(name))
    {
        QDir().mkpath(m_path);
    }
    QString path() const { return m_path; }
    QString file(const QString& name) const { return m_path + "/" + name; }

    // Writes the pictures and the manifest, then builds dbImages.mdb with tavrello-pack.
    void addDatabase(const QList<TestPair>& pairs)
    {
        QJsonArray list;
        for (const TestPair& pair : pairs) {
            const QString original = QStringLiteral("%1-original.png").arg(pair.id);
            const QString modified = QStringLiteral("%1-modified.png").arg(pair.id);
            QVERIFY(writeFile(file(original),
                              pair.originalBytes ? *pair.originalBytes : drawn(pair.colour)));
            QImage changed(450, 459, QImage::Format_RGB32);
            changed.fill(pair.colour.darker());
            QVERIFY(changed.save(file(modified)));
            QJsonArray differences;
            for (const auto& r : pair.differences)
                differences.append(
                    QJsonObject{{"x1", r[0]}, {"y1", r[1]}, {"x2", r[2]}, {"y2", r[3]}});
            list.append(QJsonObject{{"id", pair.id},
                                    {"level", pair.level},
                                    {"original", original},
                                    {"modified", modified},
                                    {"differences", differences}});
        }
        const QJsonObject manifest{
            {"units", "twips"}, {"coordinate_type", "long"}, {"pairs", list}};
        QVERIFY(writeFile(file("manifest.json"), QJsonDocument(manifest).toJson()));
        QProcess pack;
        pack.start(TAVRELLO_PACK,
                   {"build", file("manifest.json"), "-o", file("dbImages.mdb"), "--force"});
        QVERIFY(pack.waitForFinished(60000));
        QVERIFY2(pack.exitCode() == 0, pack.readAllStandardError().constData());
    }

    static QByteArray drawn(const QColor& colour)
    {
        QImage image(450, 459, QImage::Format_RGB32);
        image.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }

  private:
    QTemporaryDir m_dir;
    QString m_path = m_dir.path();
};
